// The skin chooser through the real window (offscreen Qt): from the click on "skinbtn" until
// the chooser's first frame has gone out, opened and closed again ten times. The first opening
// is reported apart: it is the one that reads the chooser's images.

#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/custom_controls.h"
#include "app/main_wnd.h"
#include "app/subsystems.h"
#include "bench/window_bench_main.h"
#include "device/virtual_hid_bus.h"
#include "platform/debug_output.h"
#include "platform/foreground_program.h"
#include "platform/pointer_settings.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace {

using namespace gmd;
using Clock = std::chrono::steady_clock;

constexpr int kOpenings = 10;

std::atomic<int> g_chooserFrames{0};

using bench::SpinUntil;

QWidget* OpenChooser() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == "SkinFrame" && w->isVisible()) {
            return w;
        }
    }
    return nullptr;
}

void BM_SkinChooserOpen(benchmark::State& state) {
    SetDebugTraceSink([](std::string_view line) {
        if (line == "skin chooser: first frame shown") {
            ++g_chooserFrames;
        }
    });
    VirtualHidBus bus;
    auto window = std::make_unique<app::CMainWnd>(bus.MakeBackend());
    app::InstallSubsystems(*window, MakeStoredPointerSettings(), MakeForegroundProgram());
    window->Create(0, "Gaming Mouse Driver", ui::UI_WNDSTYLE_FRAME, 0, 0, 0, 800, 572);
    ui::CControlUI* skinButton = window->GetPaintManager().FindControl("skinbtn");
    auto* button =
        skinButton != nullptr ? qobject_cast<QAbstractButton*>(skinButton->GetWidget()) : nullptr;
    if (button == nullptr) {
        state.SkipWithError("no skin button");
        return;
    }
    SpinUntil([] { return false; }, 500);  // first-show initialisation and the first frames

    std::vector<double> times;
    for (auto _ : state) {
        times.clear();
        for (int i = 0; i < kOpenings; ++i) {
            const int before = g_chooserFrames.load();
            const Clock::time_point clicked = Clock::now();
            button->click();
            if (!SpinUntil([&] { return g_chooserFrames.load() != before; })) {
                state.SkipWithError("the skin chooser did not show");
                return;
            }
            times.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - clicked).count());
            if (QWidget* chooser = OpenChooser()) {
                chooser->close();
            }
            SpinUntil([] { return OpenChooser() == nullptr; });
        }
    }
    const double first = times.front();
    std::sort(times.begin() + 1, times.end());
    state.counters["first_open_ms"] = first;
    state.counters["later_median_ms"] = times[times.size() / 2];
    state.counters["worst_ms"] = std::max(first, times.back());

    window->Close();
    QApplication::processEvents();
    SetDebugTraceSink(nullptr);
}
BENCHMARK(BM_SkinChooserOpen)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return gmd::bench::RunWindowBenchmarks(argc, argv);
}
