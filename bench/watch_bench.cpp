// Cost of one mouse detection pass on the emulated bus.
//
//   build/bench/watch_bench
//
// Reports, side by side in one run: a pass while the mouse is connected (presence test only),
// passes that find no mouse (an empty bus, and a bus where only the keyboard's interfaces carry
// the vendor ID, so they are opened and refused), and a pass that attaches the mouse (enumerate,
// open, identity check; each iteration then detaches it again for the next). Each row gives
// passes per second and its cost relative to the connected pass.

#include <benchmark/benchmark.h>

#include <chrono>
#include <mutex>

#include "device/device_channel.h"
#include "device/device_identity.h"
#include "device/device_watch.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"

namespace {

using gmd::DeviceKind;

class SilentEvents final : public gmd::MouseWatchEvents {
  public:
    void FirstPassConnected() override {}
    void Attached() override { ++attached; }
    void Detached(Next) override { ++detached; }
    void StillPresent(bool) override {}
    void Absent() override {}
    int attached = 0;
    int detached = 0;
};

enum class Scene { Connected, EmptyBus, OtherProductOnly, AttachEachPass };

struct Rig {
    explicit Rig(Scene scene) {
        mouseChannel.SetIdentity(gmd::kVendorId, gmd::kMouseProductId, gmd::kCommandUsage,
                                 gmd::kCommandUsagePage);
        keyboardChannel.SetIdentity(gmd::kVendorId, gmd::kKeyboardProductId, gmd::kCommandUsage,
                                    gmd::kCommandUsagePage);
        mousepadChannel.SetIdentity(gmd::kVendorId, gmd::kMousepadProductId, gmd::kCommandUsage,
                                    gmd::kCommandUsagePage);
        if (scene == Scene::OtherProductOnly) {
            keyboard.Plug();
        }
        if (scene == Scene::Connected || scene == Scene::AttachEachPass) {
            // The keyboard too, so the attaching walk passes other interfaces as it would.
            keyboard.Plug();
            mouse.Plug();
        }
        if (scene == Scene::Connected) {
            Pass();
        }
    }
    bool Pass() {
        return gmd::MouseDetectionPass(mouseChannel, keyboardChannel, mousepadChannel, events,
                                       false);
    }
    void Detach() {
        std::lock_guard lock(mouseChannel.IoLock());
        mouseChannel.SetConnected(false);
        mouseChannel.Hid().Close();
    }

    gmd::VirtualHidBus bus;
    gmd::emu::EmulatedDevice mouse{DeviceKind::Mouse, bus};
    gmd::emu::EmulatedDevice keyboard{DeviceKind::Keyboard, bus};
    gmd::CDeviceChannel mouseChannel{bus.MakeBackend()};
    gmd::CDeviceChannel keyboardChannel{nullptr};
    gmd::CDeviceChannel mousepadChannel{nullptr};
    SilentEvents events;
};

// Seconds per connected pass, once that row has run; the other rows compare against it.
double connectedPassSeconds = 0;

void DetectionPass(benchmark::State& state, Scene scene) {
    Rig rig(scene);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(rig.Pass());
        if (scene == Scene::AttachEachPass) {
            rig.Detach();
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
        static_cast<double>(state.iterations());
    state.counters["passes_per_s"] = 1.0 / seconds;
    state.counters["us_per_pass"] = seconds * 1e6;
    if (scene == Scene::Connected) {
        connectedPassSeconds = seconds;
    } else if (connectedPassSeconds > 0) {
        state.counters["cost_vs_connected"] = seconds / connectedPassSeconds;
    }
    const int iterations = static_cast<int>(state.iterations());
    const int expectedAttaches = scene == Scene::Connected        ? 1
                                 : scene == Scene::AttachEachPass ? iterations
                                                                  : 0;
    if (rig.events.attached != expectedAttaches || rig.events.detached != 0) {
        state.SkipWithError("the passes did not do what this row measures");
    }
}

BENCHMARK_CAPTURE(DetectionPass, connected, Scene::Connected)->UseRealTime()->MinTime(0.5);
BENCHMARK_CAPTURE(DetectionPass, absent_empty_bus, Scene::EmptyBus)->UseRealTime()->MinTime(0.5);
BENCHMARK_CAPTURE(DetectionPass, absent_other_product, Scene::OtherProductOnly)
    ->UseRealTime()
    ->MinTime(0.5);
BENCHMARK_CAPTURE(DetectionPass, present_attach, Scene::AttachEachPass)
    ->UseRealTime()
    ->MinTime(0.5);

}  // namespace

BENCHMARK_MAIN();
