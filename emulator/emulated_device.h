#pragma once
// A virtual device of the family: firmware that answers 64-byte command reports (report ID 4)
// on a vendor command interface, plus a Consumer Control interface for the mouse and keyboard.
// Written from the wire format only. Thread-safe.

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "device/device_kind.h"
#include "device/virtual_hid_bus.h"

namespace gmd::emu {

enum class Fault {
    NoReply,       // accept the write, send nothing back
    StatusFF,      // reply with status byte 0xFF
    StatusFE,      // reply with status byte 0xFE
    WriteFailure,  // refuse the host's write
};

struct TrafficRecord {
    bool fromHost = true;  // true: the host wrote it; false: the device replied
    std::array<uint8_t, 64> report{};
};

// Sizes of the firmware's memories.
inline constexpr size_t kInfoBlockSize = 33;
inline constexpr size_t kSettingsMemorySize = 5 * 64;
inline constexpr size_t kProfileBlockSize = 56;
inline constexpr size_t kImageSize = 512;
inline constexpr size_t kBankMemorySize = 4 * 126 + kImageSize;

// Starts unplugged with factory contents; Plug() attaches it. The bus must outlive the device.
class EmulatedDevice {
  public:
    EmulatedDevice(DeviceKind kind, VirtualHidBus& bus);
    ~EmulatedDevice();  // unplugs
    EmulatedDevice(const EmulatedDevice&) = delete;
    EmulatedDevice& operator=(const EmulatedDevice&) = delete;

    DeviceKind Kind() const;
    uint16_t ProductId() const;

    void Plug();    // plugs the command node (and the Consumer Control node) into the bus
    void Unplug();  // the host's open handles fail from now on
    bool IsPlugged() const;

    // Transfer time per report each way; 0 answers at once, 1 ms models full-speed USB.
    void SetReportDelay(std::chrono::microseconds perReport);
    // The next `count` commands meet the fault; a negative count keeps it until cleared, 0
    // clears it. Each command meets at most one fault: WriteFailure before NoReply before
    // StatusFF before StatusFE.
    void InjectFault(Fault fault, int count = 1);
    void ClearFaults();

    std::vector<TrafficRecord> TrafficLog() const;
    void ClearTrafficLog();
    // Bounded: the oldest records go first once this many are kept.
    static constexpr size_t kTrafficLogLimit = 4096;

    // Consumer Control event (0x401 refresh, 0x402 read-out, 0x403 flash); mouse and keyboard.
    void EmitConsumerEvent(uint16_t code);

    // Firmware state, copied out for tests and tools.
    std::array<uint8_t, kInfoBlockSize> InfoBlock() const;
    std::vector<uint8_t> SettingsMemory() const;  // kSettingsMemorySize bytes
    std::vector<uint8_t> CurrentImage() const;    // kImageSize bytes
    std::vector<uint8_t> BankMemory() const;      // kBankMemorySize bytes, bank b at b * 126
    // Bytes of the latest light frame so far; a chunk at offset 0 starts the next frame.
    std::vector<uint8_t> LastLightFrame() const;
    std::vector<uint8_t> MacroMemory() const;   // macroMemory units * 128 bytes
    std::vector<uint8_t> CursorMemory() const;  // 3072 bytes, room for the host's largest blob
    bool SessionOpen() const;
    int FactoryResetCount() const;
    // Factory settings of profile block i (56 bytes), as a reset restores them.
    static std::vector<uint8_t> FactoryProfileBlock(DeviceKind kind, int index);
    static std::vector<uint8_t> FactoryImage(DeviceKind kind);

    struct Impl;

  private:
    std::shared_ptr<Impl> impl_;
};

}  // namespace gmd::emu
