#include "emulator/emulated_device.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <span>
#include <thread>

#include "device/command_report.h"
#include "emulator/factory_data.h"

namespace gmd::emu {

namespace {

using Clock = VirtualHidBus::Clock;

namespace command {
constexpr uint8_t kOpenSession = 1;
constexpr uint8_t kCloseSession = 2;
constexpr uint8_t kReadInfo = 3;
constexpr uint8_t kReadMemory = 5;
constexpr uint8_t kWriteMemory = 6;
constexpr uint8_t kReadImage = 7;
constexpr uint8_t kReadBankImage = 8;
constexpr uint8_t kWriteBankImage = 9;
constexpr uint8_t kFactoryReset = 13;
constexpr uint8_t kLightFrame = 18;
constexpr uint8_t kMacroData = 21;
constexpr uint8_t kCursorData = 23;
}  // namespace command

constexpr size_t kProfileCount = 5;

// Sleeping alone overshoots by a scheduler tick; the last stretch is spun so a 1 ms transfer
// takes 1 ms.
void SleepPrecisely(std::chrono::microseconds duration) {
    constexpr auto kSpinMargin = std::chrono::microseconds(150);
    const Clock::time_point deadline = Clock::now() + duration;
    if (duration > kSpinMargin) {
        std::this_thread::sleep_until(deadline - kSpinMargin);
    }
    // Busy: a yield on a loaded machine can hand the core away for a whole time slice.
    while (Clock::now() < deadline) {
    }
}

// Reads `length` bytes at `address` of a memory into the reply payload.
bool ReadRange(const std::vector<uint8_t>& memory, size_t address, size_t length,
               uint8_t* payload) {
    if (length > kReportPayloadSize || address + length > memory.size()) {
        return false;
    }
    std::copy_n(memory.begin() + static_cast<std::ptrdiff_t>(address), length, payload);
    return true;
}

bool WriteRange(std::vector<uint8_t>& memory, size_t address, size_t length,
                const uint8_t* payload) {
    if (length > kReportPayloadSize || address + length > memory.size()) {
        return false;
    }
    std::copy_n(payload, length, memory.begin() + static_cast<std::ptrdiff_t>(address));
    return true;
}

// The Consumer Control node takes no output reports.
class EventEndpoint final : public VirtualHidEndpoint {
  public:
    bool OnHostWrite(std::span<const uint8_t> /*report*/) override { return false; }
};

}  // namespace

struct EmulatedDevice::Impl final : public VirtualHidEndpoint {
    Impl(DeviceKind k, VirtualHidBus& b) : kind(k), bus(b) { RestoreFactory(); }

    const DeviceKind kind;
    VirtualHidBus& bus;

    mutable std::mutex mutex;  // guards everything below
    bool plugged = false;
    VirtualHidBus::NodeId commandNode = 0;
    VirtualHidBus::NodeId eventNode = 0;
    std::chrono::microseconds delay{0};
    std::array<int, 4> faults{};  // remaining count per Fault; negative = until cleared
    std::deque<TrafficRecord> traffic;

    std::array<uint8_t, kInfoBlockSize> info{};
    std::vector<uint8_t> settings;
    std::vector<uint8_t> currentImage;
    std::vector<uint8_t> bankMemory;
    std::vector<uint8_t> lightFrame;
    std::vector<uint8_t> macroMemory;
    std::vector<uint8_t> cursorMemory;
    bool sessionOpen = false;
    int factoryResets = 0;

    void RestoreFactory() {
        info = FactoryInfoBlock(kind);
        settings = FactorySettingsMemory(kind);
        // The current image is kept apart from the banks and holds the factory key table; it
        // is what a single key is restored from, so writes to the banks leave it alone.
        currentImage = FactoryKeyTable(kind);
        bankMemory = FactoryBankMemory(kind);
        lightFrame.clear();
        macroMemory.assign(static_cast<size_t>(info[6]) * 128, 0);
        cursorMemory.assign(kCursorMemorySize, 0);
    }

    void Log(bool fromHost, std::span<const uint8_t> report) {
        TrafficRecord record;
        record.fromHost = fromHost;
        std::copy_n(report.begin(), std::min(report.size(), record.report.size()),
                    record.report.begin());
        if (traffic.size() >= kTrafficLogLimit) {
            traffic.pop_front();
        }
        traffic.push_back(record);
    }

    // Takes one count of the highest-ranking active fault, if any.
    bool TakeFault(Fault& taken) {
        for (const Fault fault :
             {Fault::WriteFailure, Fault::NoReply, Fault::StatusFF, Fault::StatusFE}) {
            int& count = faults[static_cast<size_t>(fault)];
            if (count != 0) {
                if (count > 0) {
                    --count;
                }
                taken = fault;
                return true;
            }
        }
        return false;
    }

    // Runs one command report and returns the reply. Anything the firmware cannot do (bad
    // checksum, unknown command, address or length out of range, a bad profile index) is
    // answered with status 0xFF and changes nothing; the error status is this firmware's choice.
    CommandReport Execute(const uint8_t* request) {
        CommandReport reply{};
        // Header echoed; the checksum bytes are recomputed once the reply is complete.
        std::copy_n(request, report_byte::kStatus, reply.begin());
        const uint8_t cmd = request[report_byte::kCommand];
        const size_t length = request[report_byte::kLength];
        const size_t address = ReportAddress(request);
        const uint8_t* in = request + kReportPayloadOffset;
        uint8_t* out = reply.data() + kReportPayloadOffset;

        const uint16_t checksum = static_cast<uint16_t>(request[report_byte::kChecksumLow] |
                                                        (request[report_byte::kChecksumHigh] << 8));
        bool ok = cmd == command::kFactoryReset || checksum == CommandChecksum(request);
        if (ok) {
            ok = Run(cmd, length, address, in, out);
        }
        if (!ok) {
            std::fill(reply.begin() + kReportPayloadOffset, reply.end(), uint8_t{0});
            reply[report_byte::kStatus] = kStatusErrorFF;
        }
        return reply;
    }

    bool Run(uint8_t cmd, size_t length, size_t address, const uint8_t* in, uint8_t* out) {
        switch (cmd) {
            case command::kOpenSession:
                sessionOpen = true;
                return true;
            case command::kCloseSession:
                sessionOpen = false;
                return true;
            case command::kReadInfo:
                std::copy(info.begin(), info.end(), out);
                return true;
            case command::kReadMemory:
                return ReadRange(settings, address, length, out);
            case command::kWriteMemory:
                // The byte at address 0 selects the current profile.
                if (address == 0 && length > 0 && in[0] >= kProfileCount) {
                    return false;
                }
                return WriteRange(settings, address, length, in);
            case command::kReadImage:
                return ReadRange(currentImage, address, length, out);
            case command::kReadBankImage:
                return ReadRange(bankMemory, address, length, out);
            case command::kWriteBankImage:
                return WriteRange(bankMemory, address, length, in);
            case command::kFactoryReset:
                RestoreFactory();
                ++factoryResets;
                return true;
            case command::kLightFrame:
                return WriteLightChunk(length, address, in);
            case command::kMacroData:
                return WriteRange(macroMemory, address, length, in);
            case command::kCursorData:
                return WriteRange(cursorMemory, address, length, in);
            default:
                return false;
        }
    }

    // A chunk at offset 0 starts a new frame; later chunks must continue it without a gap.
    bool WriteLightChunk(size_t length, size_t address, const uint8_t* in) {
        if (length > kReportPayloadSize || address + length > kLightFrameCapacity) {
            return false;
        }
        if (address == 0) {
            lightFrame.clear();
        }
        if (address > lightFrame.size()) {
            return false;
        }
        lightFrame.resize(std::max(lightFrame.size(), address + length));
        std::copy_n(in, length, lightFrame.begin() + static_cast<std::ptrdiff_t>(address));
        return true;
    }

    bool OnHostWrite(std::span<const uint8_t> report) override {
        VirtualHidBus::NodeId node = 0;
        std::chrono::microseconds transfer{0};
        Fault fault{};
        bool faulted = false;
        {
            std::lock_guard lock(mutex);
            if (!plugged) {
                return false;
            }
            Log(true, report);
            // Only whole command reports are taken, as the output report length is fixed.
            if (report.size() != kReportSize || report[0] != kCommandReportId) {
                return false;
            }
            faulted = TakeFault(fault);
            if (faulted && fault == Fault::WriteFailure) {
                return false;
            }
            node = commandNode;
            transfer = delay;
        }

        if (transfer.count() > 0) {
            SleepPrecisely(transfer);
        }

        std::lock_guard lock(mutex);
        if (!plugged || commandNode != node) {
            return false;  // unplugged while the report was on its way
        }
        // A lost reply still leaves the command done: the device acted, the host hears nothing.
        CommandReport reply = Execute(report.data());
        if (faulted && fault == Fault::NoReply) {
            return true;
        }
        if (faulted && (fault == Fault::StatusFF || fault == Fault::StatusFE)) {
            reply[report_byte::kStatus] =
                fault == Fault::StatusFF ? kStatusErrorFF : kStatusErrorFE;
        }
        SealReport(reply.data());
        Log(false, reply);
        bus.PushInput(node, reply, Clock::now() + transfer);
        return true;
    }
};

EmulatedDevice::EmulatedDevice(DeviceKind kind, VirtualHidBus& bus)
    : impl_(std::make_shared<Impl>(kind, bus)) {}

EmulatedDevice::~EmulatedDevice() {
    Unplug();
}

DeviceKind EmulatedDevice::Kind() const {
    return impl_->kind;
}

uint16_t EmulatedDevice::ProductId() const {
    return ProductIdOf(impl_->kind);
}

void EmulatedDevice::Plug() {
    std::lock_guard lock(impl_->mutex);
    if (impl_->plugged) {
        return;
    }
    const HidAttributes attributes{kVendorId, ProductIdOf(impl_->kind), kFirmwareVersion};
    const std::string name = NodeNameOf(impl_->kind);
    impl_->commandNode = impl_->bus.Plug(name, attributes, CommandNodeDescriptor(), impl_);
    if (HasConsumerControl(impl_->kind)) {
        impl_->eventNode = impl_->bus.Plug(name + "-events", attributes, ConsumerNodeDescriptor(),
                                           std::make_shared<EventEndpoint>());
    }
    impl_->plugged = true;
}

void EmulatedDevice::Unplug() {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->plugged) {
        return;
    }
    impl_->bus.Unplug(impl_->commandNode);
    if (HasConsumerControl(impl_->kind)) {
        impl_->bus.Unplug(impl_->eventNode);
    }
    impl_->plugged = false;
}

bool EmulatedDevice::IsPlugged() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->plugged;
}

void EmulatedDevice::SetReportDelay(std::chrono::microseconds perReport) {
    std::lock_guard lock(impl_->mutex);
    impl_->delay = std::max(perReport, std::chrono::microseconds(0));
}

void EmulatedDevice::InjectFault(Fault fault, int count) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults[static_cast<size_t>(fault)] = count;
}

void EmulatedDevice::ClearFaults() {
    std::lock_guard lock(impl_->mutex);
    impl_->faults.fill(0);
}

std::vector<TrafficRecord> EmulatedDevice::TrafficLog() const {
    std::lock_guard lock(impl_->mutex);
    return {impl_->traffic.begin(), impl_->traffic.end()};
}

void EmulatedDevice::ClearTrafficLog() {
    std::lock_guard lock(impl_->mutex);
    impl_->traffic.clear();
}

void EmulatedDevice::EmitConsumerEvent(uint16_t code) {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->plugged || !HasConsumerControl(impl_->kind)) {
        return;
    }
    // No report ID on this node: byte 0 is 0, then the usage little-endian; 0 is the release.
    const std::array<uint8_t, 3> press{0, static_cast<uint8_t>(code & 0xFFu),
                                       static_cast<uint8_t>(code >> 8)};
    const std::array<uint8_t, 3> release{0, 0, 0};
    const Clock::time_point pressAt = Clock::now() + impl_->delay;
    impl_->bus.PushInput(impl_->eventNode, press, pressAt);
    impl_->bus.PushInput(impl_->eventNode, release, pressAt + impl_->delay);
}

std::array<uint8_t, kInfoBlockSize> EmulatedDevice::InfoBlock() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->info;
}

std::vector<uint8_t> EmulatedDevice::SettingsMemory() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->settings;
}

std::vector<uint8_t> EmulatedDevice::CurrentImage() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->currentImage;
}

std::vector<uint8_t> EmulatedDevice::BankMemory() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->bankMemory;
}

std::vector<uint8_t> EmulatedDevice::LastLightFrame() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->lightFrame;
}

std::vector<uint8_t> EmulatedDevice::MacroMemory() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->macroMemory;
}

std::vector<uint8_t> EmulatedDevice::CursorMemory() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->cursorMemory;
}

bool EmulatedDevice::SessionOpen() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->sessionOpen;
}

int EmulatedDevice::FactoryResetCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->factoryResets;
}

std::vector<uint8_t> EmulatedDevice::FactoryProfileBlock(DeviceKind kind, int index) {
    return FactoryProfile(kind, index);
}

std::vector<uint8_t> EmulatedDevice::FactoryImage(DeviceKind kind) {
    return FactoryKeyTable(kind);
}

}  // namespace gmd::emu
