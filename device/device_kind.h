#pragma once
// The three devices of the family, and what each is called in control names and profile files.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace gmd {

enum class DeviceKind { Keyboard, Mouse, Mousepad };

inline constexpr std::array<DeviceKind, 3> kAllDevices = {DeviceKind::Keyboard, DeviceKind::Mouse,
                                                          DeviceKind::Mousepad};

// The prefix of the device's control names in the skin: "kb_", "ms_", "mp_".
constexpr std::string_view ControlPrefix(DeviceKind device) {
    switch (device) {
        case DeviceKind::Keyboard:
            return "kb_";
        case DeviceKind::Mouse:
            return "ms_";
        case DeviceKind::Mousepad:
            return "mp_";
    }
    return "ms_";
}

// The device code in the header of a profile file.
constexpr uint16_t FileDeviceCode(DeviceKind device) {
    switch (device) {
        case DeviceKind::Keyboard:
            return 1;
        case DeviceKind::Mouse:
            return 2;
        case DeviceKind::Mousepad:
            return 3;
    }
    return 0;
}

constexpr std::optional<DeviceKind> DeviceOfFileCode(uint16_t code) {
    for (const DeviceKind device : kAllDevices) {
        if (FileDeviceCode(device) == code) {
            return device;
        }
    }
    return std::nullopt;
}

}  // namespace gmd
