#pragma once
// The seven profile lists, their devices, kinds, files and index-file sections.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "device/device_kind.h"

namespace gmd::profiles {

enum class ProfileKind { Key, Device, Light };

// In the order of the application's lists.
enum class ListId {
    MouseDevice,
    MouseLight,
    MouseKey,
    KeyboardDevice,
    KeyboardLight,
    KeyboardKey,
    MousepadLight
};
inline constexpr int kListCount = 7;

inline constexpr size_t kMouseKeyBlob = 512;
inline constexpr size_t kMouseLightBlob = 64;
inline constexpr size_t kMouseDeviceBlob = 576;
inline constexpr size_t kKeyboardKeyBlob = 512;
inline constexpr size_t kKeyboardLightBlob = 1958;
inline constexpr size_t kKeyboardDeviceBlob = 2470;
inline constexpr size_t kMousepadLightBlob = 64;

struct ListInfo {
    ListId id;
    DeviceKind device;
    ProfileKind kind;
    std::string_view extension;  // ".config", ".led", ".pro"
    size_t blobSize;
    std::string_view defaultFile;   // in the application folder
    std::string_view indexFile;     // "msProfile.ini" ...
    std::string_view countSection;  // "PROFILEDEVICECOUNT" ...
    std::string_view nameSection;
    std::string_view selectSection;
    std::string_view linkSection;
    std::string_view programSection;  // the keyboard's device and key lists share "PROCESS"
    std::string_view cliName;         // "ms-device" ...
    std::string_view controlStem;     // "ms_device" ...
};

const ListInfo& Info(ListId list);
std::optional<ListId> ListFromCliName(std::string_view name);

// The device's data folder (created on demand) and the list's index file in it.
std::filesystem::path DeviceFolder(DeviceKind device);
std::filesystem::path IndexPath(ListId list);
// The profile file of a name: the device folder + name + the list's extension.
std::filesystem::path ProfilePath(ListId list, const std::string& name);

}  // namespace gmd::profiles
