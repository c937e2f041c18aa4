// Mouse lighting on the virtual mouse at USB timing (1 ms per report each way).
//
//   build/bench/light_bench
//
// For each mode (0-6) at speeds 0, 2 and 4, side by side in one run: the engine thread and the
// frame sender run over the virtual mouse for twenty step periods (one to two seconds), and the
// row gives
//   - frames_per_s: frames the mouse received per second;
//   - intended_per_s: one per step period, capped at one per 10 ms;
//   - ratio: the two against each other (target: at least 0.95);
//   - engine_cpu_pct / sender_cpu_pct: CPU time of the engine thread and of the sender thread
//     as a share of one core (target for the engine at the default speed 2: under 1 %).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "device/device_channel.h"
#include "device/device_identity.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "mouse/light_frame_sender.h"
#include "mouse/mouse_light_thread.h"

namespace {

using Clock = std::chrono::steady_clock;

double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Counts the frames the mouse accepted and when the first and last went out.
class CountingSink final : public gmd::light::LightFrameSink {
  public:
    explicit CountingSink(gmd::CDeviceChannel& channel) : inner_(channel) {}
    bool Ready() const override { return inner_.Ready(); }
    int Send(std::span<const uint8_t> frame) override {
        const auto start = Clock::now();
        const int result = inner_.Send(frame);
        if (result == gmd::kResultSuccess) {
            if (count == 0) {
                first = start;
            }
            last = start;
            ++count;
        }
        return result;
    }
    // Only the sender thread touches these until it is joined.
    int count = 0;
    Clock::time_point first;
    Clock::time_point last;

  private:
    gmd::light::ChannelFrameSink inner_;
};

void BM_MouseLighting(benchmark::State& state) {
    const auto mode = static_cast<uint8_t>(state.range(0));
    const auto speed = static_cast<uint8_t>(state.range(1));
    for (auto _ : state) {
        gmd::VirtualHidBus bus;
        gmd::emu::EmulatedDevice mouse(gmd::DeviceKind::Mouse, bus);
        mouse.Plug();
        mouse.SetReportDelay(std::chrono::milliseconds(1));
        gmd::CDeviceChannel channel(std::shared_ptr<gmd::HidBackend>(bus.MakeBackend()));
        const gmd::DeviceIdentity& id = gmd::kMouseCommandInterface;
        channel.SetIdentity(id.vendorId, id.productId, id.usage, id.usagePage);
        {
            std::lock_guard lock(channel.IoLock());
            if (channel.FindAndOpen() != 1) {
                state.SkipWithError("virtual mouse not found");
                return;
            }
        }
        gmd::mouse::MouseBlocks blocks;
        gmd::mouse::LightFields fields;
        {
            std::lock_guard lock(blocks.lightMutex);
            auto& live = blocks.mouseLive;
            live[gmd::mouse::live::lightMode] = mode;
            live[gmd::mouse::live::lightBrightness] = 4;
            live[gmd::mouse::live::lightSpeed] = speed;
            live[gmd::mouse::live::colourCycle] = 255;
            fields = gmd::mouse::ReadLightFields(live);
        }
        const int periodMs = gmd::mouse::MouseStepPeriodMs(fields);
        const auto run = std::chrono::milliseconds(std::clamp(20 * periodMs, 1000, 2000));

        gmd::mouse::MouseLightShared shared;
        CountingSink sink(channel);
        gmd::StopEvent engineStop;
        gmd::StopEvent senderStop;
        double engineCpu = 0;
        double senderCpu = 0;
        const auto start = Clock::now();
        std::thread engine([&] {
            gmd::mouse::RunMouseLightThread({channel, blocks, shared}, engineStop,
                                            {.startDelayMs = 0, .idleWaitMs = 100});
            engineCpu = ThreadCpuSeconds();
        });
        std::thread sender([&] {
            gmd::light::RunLightFrameSender(shared.frames, sink, senderStop, "mouse");
            senderCpu = ThreadCpuSeconds();
        });
        std::this_thread::sleep_for(run);
        engineStop.Set();
        senderStop.Set();
        engine.join();
        sender.join();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();

        const double span = std::chrono::duration<double>(sink.last - sink.first).count();
        const double delivered = sink.count > 1 ? (sink.count - 1) / span : 0.0;
        const double intended = 1000.0 / std::max(periodMs, 10);
        state.counters["step_ms"] = periodMs;
        state.counters["frames_per_s"] = delivered;
        state.counters["intended_per_s"] = intended;
        state.counters["ratio"] = delivered / intended;
        state.counters["engine_cpu_pct"] = 100.0 * engineCpu / wall;
        state.counters["sender_cpu_pct"] = 100.0 * senderCpu / wall;
    }
}

void Cases(benchmark::internal::Benchmark* bench) {
    bench->ArgNames({"mode", "speed"});
    for (int mode = 0; mode < gmd::mouse::kMouseLightModes; ++mode) {
        for (const int speed : {0, 2, 4}) {
            bench->Args({mode, speed});
        }
    }
}

BENCHMARK(BM_MouseLighting)
    ->Apply(Cases)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
