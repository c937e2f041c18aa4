#pragma once
// The device commands, one operation each. The same numbers serve the mouse, the keyboard and
// the mousepad; only the channel differs. Results are the DeviceResult codes.

#include <cstdint>
#include <span>

#include "device/device_channel.h"

namespace gmd {

enum class Command : uint8_t {
    OpenSession = 1,
    CloseSession = 2,
    ReadInfo = 3,
    ReadMemory = 5,
    WriteMemory = 6,
    ReadImage = 7,
    ReadBankImage = 8,
    WriteBankImage = 9,
    FactoryReset = 13,
    WriteLightFrame = 18,
    WriteMacroData = 21,
    WriteCursorData = 23,
};

inline constexpr size_t kInfoBlockSize = 33;
inline constexpr int kBankCount = 5;
inline constexpr uint16_t kBankStride = 126;
inline constexpr uint32_t kCloseSessionPauseMs = 10;

// Information block fields.
namespace info_byte {
inline constexpr size_t kKeyCount = 5;
inline constexpr size_t kMacroMemory = 6;  // units of 128 bytes
inline constexpr size_t kSensorIdLow = 9;
inline constexpr size_t kSensorIdHigh = 10;
inline constexpr size_t kDpiStepMax = 12;
}  // namespace info_byte

int OpenSession(CDeviceChannel& channel);
int CloseSession(CDeviceChannel& channel);
// info must hold 33 bytes; it is only written on success.
int ReadInfo(CDeviceChannel& channel, std::span<uint8_t> info);
// count is at most 56 and data must hold it; larger requests are refused (0) unsent.
int ReadMemory(CDeviceChannel& channel, std::span<uint8_t> data, uint8_t count, uint16_t address);
int WriteMemory(CDeviceChannel& channel, std::span<const uint8_t> data, uint8_t count,
                uint16_t address);
// Moves ImageSize() bytes; image must hold them (a smaller buffer is refused unsent).
int ReadImage(CDeviceChannel& channel, std::span<uint8_t> image);
int ReadBankImage(CDeviceChannel& channel, std::span<uint8_t> image, int bank);
// length 0 means ImageSize(); image must hold length bytes.
int WriteBankImage(CDeviceChannel& channel, std::span<const uint8_t> image, int bank,
                   size_t length = 0);
int FactoryReset(CDeviceChannel& channel);
int WriteLightFrame(CDeviceChannel& channel, std::span<const uint8_t> data);
int WriteMacroData(CDeviceChannel& channel, std::span<const uint8_t> data);
int WriteCursorData(CDeviceChannel& channel, std::span<const uint8_t> data);

}  // namespace gmd
