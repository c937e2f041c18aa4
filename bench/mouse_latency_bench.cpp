// Latency from the release of a DPI slider to the live block's write on the mouse, through the
// real window, routing and the 100 ms coalescing timer, on the virtual mouse at USB timing.
//
//   build-release/bench/mouse_latency_bench
//
// One run makes 200 changes at random phases of the send timer and reports, side by side: the
// median, 95th percentile and worst latency, one device transaction measured on the same
// channel, and the worst against its bound (the 100 ms period plus one transaction; at most 1).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSlider>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/custom_controls.h"
#include "app/main_wnd.h"
#include "app/subsystems.h"
#include "bench/window_bench_main.h"
#include "device/command_set.h"
#include "device/tracing_hid_backend.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "platform/foreground_program.h"
#include "platform/pointer_settings.h"
#include "ui/controls.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace {

using namespace gmd;
using Clock = std::chrono::steady_clock;

constexpr int kChanges = 200;

// Time of the last live-block write the mouse was sent ("> 04 .. .. 06 38 ...").
std::atomic<Clock::rep> g_lastLiveWrite{0};

void OnReport(const std::string& line) {
    if (line.rfind("> 04 ", 0) == 0 && line.compare(11, 5, "06 38") == 0) {
        g_lastLiveWrite.store(Clock::now().time_since_epoch().count());
    }
}

using bench::SpinUntil;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void BM_SliderReleaseToDeviceWrite(benchmark::State& state) {
    VirtualHidBus bus;
    emu::EmulatedDevice mouse(DeviceKind::Mouse, bus);
    mouse.SetReportDelay(std::chrono::milliseconds(1));  // full-speed USB, each way
    mouse.Plug();
    auto window = std::make_unique<app::CMainWnd>(MakeTracingBackend(bus.MakeBackend(), OnReport));
    app::InstallSubsystems(*window, MakeStoredPointerSettings(), MakeForegroundProgram());
    window->Create(0, "Gaming Mouse Driver", ui::UI_WNDSTYLE_FRAME, 0, 0, 0, 800, 572);
    auto* dpi =
        dynamic_cast<ui::CSliderUI*>(window->GetPaintManager().FindControl("ms_DPI3_slider"));
    if (dpi == nullptr ||
        !SpinUntil([&] { return dpi->GetMaxValue() > 0 && window->MouseDevice().IsConnected(); })) {
        state.SkipWithError("the mouse did not attach");
        return;
    }
    SpinUntil([] { return false; }, 700);  // the attach read-out and its stores settle
    auto* slider = qobject_cast<QSlider*>(dpi->GetWidget());

    std::vector<double> latencies;
    double transactionMs = 0;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> phase(0, 99);
    for (auto _ : state) {
        latencies.clear();
        for (int i = 0; i < kChanges; ++i) {
            SpinUntil([] { return false; }, phase(random));
            const auto before = g_lastLiveWrite.load();
            slider->setSliderDown(true);
            slider->setValue(10 + i % 100);
            const Clock::time_point released = Clock::now();
            slider->setSliderDown(false);
            if (!SpinUntil([&] { return g_lastLiveWrite.load() != before; })) {
                state.SkipWithError("no write reached the mouse");
                return;
            }
            latencies.push_back(
                Ms(Clock::duration(g_lastLiveWrite.load()) - released.time_since_epoch()));
        }
        // One transaction on the same channel, for the bound.
        std::array<uint8_t, 56> block{};
        const Clock::time_point start = Clock::now();
        constexpr int kTransactions = 20;
        for (int i = 0; i < kTransactions; ++i) {
            ReadMemory(window->MouseDevice(), block, 56, 0);
        }
        transactionMs = Ms(Clock::now() - start) / kTransactions;
    }
    std::sort(latencies.begin(), latencies.end());
    const double median = latencies[latencies.size() / 2];
    const double p95 = latencies[latencies.size() * 95 / 100];
    const double worst = latencies.back();
    const double bound = 100.0 + transactionMs;
    state.counters["changes"] = kChanges;
    state.counters["median_ms"] = median;
    state.counters["p95_ms"] = p95;
    state.counters["worst_ms"] = worst;
    state.counters["transaction_ms"] = transactionMs;
    state.counters["worst_to_bound"] = worst / bound;

    window->Close();
    QApplication::processEvents();
}
BENCHMARK(BM_SliderReleaseToDeviceWrite)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return gmd::bench::RunWindowBenchmarks(argc, argv);
}
