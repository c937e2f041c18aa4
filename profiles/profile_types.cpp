#include "profiles/profile_types.h"

#include <array>

#include "platform/folders.h"

namespace gmd::profiles {

namespace {

// Index order equals ListId order.
constexpr std::array<ListInfo, kListCount> kLists{{
    {ListId::MouseDevice, DeviceKind::Mouse, ProfileKind::Device, ".config", kMouseDeviceBlob,
     "msdevicedefault.config", "msProfile.ini", "PROFILEDEVICECOUNT", "PROFILEDEVICENAME",
     "PROFILEDEVICESELECT", "PROFILELIKEDEVICEEXE", "DEVICEPROCESS", "ms-device", "ms_device"},
    {ListId::MouseLight, DeviceKind::Mouse, ProfileKind::Light, ".led", kMouseLightBlob,
     "msdengdefault.led", "msProfile.ini", "PROFILEDENGCOUNT", "PROFILEDENGNAME",
     "PROFILEDENGSELECT", "PROFILELIKEDENGEXE", "DENGPROCESS", "ms-light", "ms_deng"},
    {ListId::MouseKey, DeviceKind::Mouse, ProfileKind::Key, ".pro", kMouseKeyBlob,
     "mskeydefault.pro", "msProfile.ini", "PROFILECOUNT", "PROFILENAME", "PROFILESELECT",
     "PROFILELIKEEXE", "PROCESS", "ms-key", "ms_key"},
    // The keyboard's device and key lists share "PROCESS".
    {ListId::KeyboardDevice, DeviceKind::Keyboard, ProfileKind::Device, ".config",
     kKeyboardDeviceBlob, "kbdevicedefault.config", "kbProfile.ini", "PROFILEDEVICECOUNT",
     "PROFILEDEVICENAME", "PROFILEDEVICESELECT", "PROFILELIKEDEVICEEXE", "PROCESS", "kb-device",
     "kb_device"},
    {ListId::KeyboardLight, DeviceKind::Keyboard, ProfileKind::Light, ".led", kKeyboardLightBlob,
     "kbdengdefault.led", "kbProfile.ini", "PROFILEDENGCOUNT", "PROFILEDENGNAME",
     "PROFILEDENGSELECT", "PROFILELIKEDENGEXE", "DENGPROCESS", "kb-light", "kb_deng"},
    {ListId::KeyboardKey, DeviceKind::Keyboard, ProfileKind::Key, ".pro", kKeyboardKeyBlob,
     "kbkeydefault.pro", "kbProfile.ini", "PROFILECOUNT", "PROFILENAME", "PROFILESELECT",
     "PROFILELIKEEXE", "PROCESS", "kb-key", "kb_key"},
    {ListId::MousepadLight, DeviceKind::Mousepad, ProfileKind::Light, ".led", kMousepadLightBlob,
     "mpdengdefault.led", "mpProfile.ini", "PROFILEDENGCOUNT", "PROFILEDENGNAME",
     "PROFILEDENGSELECT", "PROFILELIKEDENGEXE", "DENGPROCESS", "mp-light", "mp_deng"},
}};

}  // namespace

const ListInfo& Info(ListId list) {
    return kLists[static_cast<size_t>(list)];
}

std::optional<ListId> ListFromCliName(std::string_view name) {
    for (const ListInfo& info : kLists) {
        if (info.cliName == name) {
            return info.id;
        }
    }
    return std::nullopt;
}

std::filesystem::path DeviceFolder(DeviceKind device) {
    switch (device) {
        case DeviceKind::Keyboard:
            return KeyboardFolder();
        case DeviceKind::Mouse:
            return MouseFolder();
        case DeviceKind::Mousepad:
            break;
    }
    return MousepadFolder();
}

std::filesystem::path IndexPath(ListId list) {
    const ListInfo& info = Info(list);
    return DeviceFolder(info.device) / std::string(info.indexFile);
}

std::filesystem::path ProfilePath(ListId list, const std::string& name) {
    // Plain concatenation: a name is never taken as a path of its own (an absolute name would
    // replace the folder with operator/). Names are checked before anything is written.
    const ListInfo& info = Info(list);
    std::string file = name;
    file += info.extension;
    return std::filesystem::path(DeviceFolder(info.device).string() + "/" + file);
}

}  // namespace gmd::profiles
