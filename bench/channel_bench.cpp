// Channel throughput on the emulated mouse.
//
//   build/bench/channel_bench
//
// Reports, side by side in one run: the host's own cost per transaction (device answering at
// once), the transaction rate at full-speed USB timing (1 ms per report each way) against its
// ideal of 500 per second, and the whole mouse read-out against its ideal of one millisecond
// per report.

#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "device/command_set.h"
#include "device/device_channel.h"
#include "device/device_identity.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"

namespace {

using namespace std::chrono_literals;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Rig {
    explicit Rig(std::chrono::microseconds delay) {
        mouse.SetReportDelay(delay);
        mouse.Plug();
        channel.SetIdentity(gmd::kVendorId, gmd::kMouseProductId, gmd::kCommandUsage,
                            gmd::kCommandUsagePage);
        std::lock_guard lock(channel.IoLock());
        channel.FindAndOpen();
    }
    gmd::VirtualHidBus bus;
    gmd::emu::EmulatedDevice mouse{gmd::DeviceKind::Mouse, bus};
    gmd::CDeviceChannel channel{bus.MakeBackend()};
};

// One 56-byte settings read per iteration.
void Transaction(benchmark::State& state, std::chrono::microseconds delay) {
    Rig rig(delay);
    std::vector<uint8_t> block(56);
    int failures = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        failures += gmd::ReadMemory(rig.channel, block, 56, 64) != gmd::kResultSuccess;
    }
    const double perSecond = static_cast<double>(state.iterations()) / SecondsSince(start);
    state.counters["transactions_per_s"] = perSecond;
    state.counters["failures"] = failures;
    if (delay.count() > 0) {
        // Ideal: two reports per transaction at the per-report delay.
        const double idealPerSecond = 1e6 / (2.0 * static_cast<double>(delay.count()));
        state.counters["ratio_to_ideal"] = perSecond / idealPerSecond;
    } else {
        state.counters["host_us_per_transaction"] = 1e6 / perSecond;
    }
}

// The attach read-out: session, info, current image, five bank images, five settings blocks.
void MouseReadOut(benchmark::State& state) {
    Rig rig(1000us);
    std::vector<uint8_t> info(gmd::kInfoBlockSize), image(512), block(56);
    size_t transactions = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        rig.mouse.ClearTrafficLog();
        gmd::OpenSession(rig.channel);
        gmd::ReadInfo(rig.channel, info);
        gmd::ReadImage(rig.channel, image);
        for (int bank = 0; bank < gmd::kBankCount; ++bank) {
            gmd::ReadBankImage(rig.channel, image, bank);
        }
        for (int i = 0; i < gmd::kBankCount; ++i) {
            gmd::ReadMemory(rig.channel, block, 56, static_cast<uint16_t>(i * 64));
        }
        gmd::CloseSession(rig.channel);
        transactions = rig.mouse.TrafficLog().size() / 2;
    }
    // Close-session's own 10 ms pause is part of the sequence, so it belongs to the ideal too.
    const double idealSeconds = static_cast<double>(transactions) * 2e-3 + 10e-3;
    state.counters["transactions"] = static_cast<double>(transactions);
    state.counters["ideal_ms"] = idealSeconds * 1e3;
    const double seconds = SecondsSince(start) / static_cast<double>(state.iterations());
    state.counters["ratio_to_ideal"] = idealSeconds / seconds;
}

BENCHMARK_CAPTURE(Transaction, no_delay, 0us)->UseRealTime()->MinTime(1.0);
BENCHMARK_CAPTURE(Transaction, usb_full_speed, 1000us)->UseRealTime()->MinTime(2.0);
BENCHMARK(MouseReadOut)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
