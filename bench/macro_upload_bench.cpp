// Macro upload: the host's cost of building a full macro blob, and the whole save-to-device
// run (cursor sequences, a macro set filling the mouse's memory, key records) on the emulated
// mouse at full-speed USB timing, against its ideal of 2 ms per transaction plus the pauses
// before closing a session. The run is long enough to need a worker and a progress indicator.
//
//   build/bench/macro_upload_bench

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "device/command_set.h"
#include "device/device_identity.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "macros/cursor_sequences.h"
#include "macros/macro_upload.h"
#include "mouse/mouse_blocks.h"

namespace {

namespace fs = std::filesystem;
namespace macros = gmd::macros;
using namespace std::chrono_literals;

// Actions that fill `bytes` of blob in `count` macros.
std::vector<macros::BlobEntry> FullSet(size_t bytes, size_t count) {
    const size_t actions = (bytes - 16 - 6 * count) / 4;
    std::vector<macros::BlobEntry> entries(count);
    for (size_t i = 0; i < actions; ++i) {
        entries[i % count].push_back({50, 0, 0x8A, 4, 1, "keyboard_key_A"});
    }
    return entries;
}

void BuildBlob(benchmark::State& state) {
    const std::vector<macros::BlobEntry> entries = FullSet(4096, 50);
    for (auto _ : state) {
        benchmark::DoNotOptimize(macros::BuildMacroBlob(entries));
    }
}
BENCHMARK(BuildBlob);

void SaveToDeviceAtUsbTiming(benchmark::State& state) {
    std::string pattern = (fs::temp_directory_path() / "gmd-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const fs::path folder = pattern;
    const macros::MacroStore store{folder, macros::KeyDevice::Mouse};
    gmd::VirtualHidBus bus;
    gmd::emu::EmulatedDevice mouse{gmd::DeviceKind::Mouse, bus};
    mouse.SetReportDelay(1ms);
    mouse.Plug();
    gmd::CDeviceChannel channel{bus.MakeBackend()};
    channel.SetIdentity(gmd::kVendorId, gmd::kMouseProductId, gmd::kCommandUsage,
                        gmd::kCommandUsagePage);
    {
        std::lock_guard lock(channel.IoLock());
        channel.FindAndOpen();
    }
    // Four default sequences and a macro set that fills the mouse's memory.
    macros::EnsureCursorFiles(store, folder);
    for (int g = 0; g < macros::kCursorSequenceCount; ++g) {
        macros::WriteActionFile(macros::CursorFilePath(store, g), macros::DefaultCursorActions(g),
                                nullptr);
    }
    const int units = mouse.InfoBlock()[6];
    for (const macros::BlobEntry& entry : FullSet(static_cast<size_t>(units) * 128, 10)) {
        std::string name;
        macros::AddMacro(store, name);
        std::vector<std::string> texts;
        for (const macros::MacroAction& action : entry) {
            texts.push_back(macros::FormatMacroAction(action));
        }
        macros::SaveMacroActions(store, static_cast<int>(macros::ReadMacroNames(store).size()) - 1,
                                 texts);
    }
    macros::UploadRequest request;
    request.macros = store;
    request.cursors = store;
    request.keyBlock = macros::MouseKeyBlock(gmd::mouse::InitialCurrentImage());
    request.capacityUnits = units;
    int transactions = 0;
    int failures = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const macros::UploadReport report = macros::SaveToDevice(
            channel, request, [&](macros::UploadStep, int, int total) { transactions = total; });
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        failures += report.outcome != macros::UploadOutcome::Ok;
    }
    // Data transactions are chunks: count them from the blob sizes.
    const size_t chunks = (macros::MacroBlobSize(macros::ReadCursorEntries(store)) + 55) / 56 +
                          (static_cast<size_t>(units) * 128 + 55) / 56 + (126 + 55) / 56;
    const double perRun = seconds / static_cast<double>(state.iterations());
    // Three framed writes: an open and a close each, and the pause before every close.
    const double ideal =
        0.002 * static_cast<double>(chunks + 6) + 3 * 0.001 * gmd::kCloseSessionPauseMs;
    state.counters["seconds_per_upload"] = perRun;
    state.counters["ideal_seconds"] = ideal;
    state.counters["to_ideal"] = perRun / ideal;
    state.counters["failures"] = failures;
    state.counters["progress_steps"] = transactions;
    std::error_code ec;
    fs::remove_all(folder, ec);
}
BENCHMARK(SaveToDeviceAtUsbTiming)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
