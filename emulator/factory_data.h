#pragma once
// Factory contents of the emulated firmware and the HID descriptors of its nodes.

#include <array>
#include <cstdint>
#include <vector>

#include "emulator/emulated_device.h"

namespace gmd::emu {

inline constexpr uint16_t kVendorId = 0x0C45;
inline constexpr uint16_t kMouseProductId = 0x7643;
inline constexpr uint16_t kKeyboardProductId = 0x6556;
inline constexpr uint16_t kMousepadProductId = 0x5004;
inline constexpr uint16_t kFirmwareVersion = 0x0105;  // also the nodes' HID version number

// The host may stream up to this many cursor bytes (four sequences); the firmware keeps them
// in one flat memory.
inline constexpr size_t kCursorMemorySize = 3072;
// Longest lighting frame any of the three accepts (the keyboard's 126 LEDs need 378 bytes).
inline constexpr size_t kLightFrameCapacity = 512;

uint16_t ProductIdOf(DeviceKind kind);
const char* NodeNameOf(DeviceKind kind);
bool HasConsumerControl(DeviceKind kind);

std::array<uint8_t, kInfoBlockSize> FactoryInfoBlock(DeviceKind kind);
std::vector<uint8_t> FactoryProfile(DeviceKind kind, int index);  // kProfileBlockSize bytes
std::vector<uint8_t> FactoryKeyTable(DeviceKind kind);            // kImageSize bytes
std::vector<uint8_t> FactorySettingsMemory(DeviceKind kind);      // kSettingsMemorySize bytes
std::vector<uint8_t> FactoryBankMemory(DeviceKind kind);          // kBankMemorySize bytes

// Vendor command interface: one collection, report ID 4, 63 data bytes each way.
std::vector<uint8_t> CommandNodeDescriptor();
// Consumer Control: one 16-bit array entry (usages 0 to 0x7FF), no report ID.
std::vector<uint8_t> ConsumerNodeDescriptor();

}  // namespace gmd::emu
