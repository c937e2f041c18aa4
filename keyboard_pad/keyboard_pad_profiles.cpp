#include "keyboard_pad/keyboard_pad_profiles.h"

#include "device/command_set.h"
#include "ui/controls.h"
#include "ui/paint_manager.h"

namespace gmd::keyboard_pad {

using profiles::ListId;

void KeyboardPadProfiles::WriteKeyImage() {
    WriteBankImage(host_.Channel(DeviceKind::Keyboard), keyboard_.image, 0);
}

void KeyboardPadProfiles::CloseKeyFunctionPanel(bool hide) {
    ui::CControlUI* panel = host_.Controls().FindControl("kb_tab_function");
    if (panel == nullptr) {
        return;
    }
    if (!hide) {
        panel->SetEnabled(false);
    } else if (panel->IsVisible()) {
        panel->SetVisible(false);
        panel->SetEnabled(false);
    }
}

std::vector<std::pair<ListId, host::ProfileListBinding>> KeyboardPadProfiles::ProfileBindings() {
    host::ProfileListBinding device{
        [this] { return KeyboardDeviceBlob(keyboard_); },
        [this](std::span<const uint8_t> blob) { LoadKeyboardDeviceBlob(keyboard_, blob); },
        [this] {
            host_.MarkLiveChanged(DeviceKind::Keyboard);
            WriteKeyImage();
        },
        [this](std::span<const uint8_t> blob) {
            LoadKeyboardDeviceBlob(keyboard_, blob);
            host_.StoreProfile(ListId::KeyboardDevice);
            host_.MarkLiveChanged(DeviceKind::Keyboard);
            WriteKeyImage();
        }};
    host::ProfileListBinding light{
        [this] { return KeyboardLightBlob(keyboard_); },
        [this](std::span<const uint8_t> blob) { LoadKeyboardLightBlob(keyboard_, blob); },
        [this] { host_.MarkLiveChanged(DeviceKind::Keyboard); },
        [this](std::span<const uint8_t> blob) {
            LoadKeyboardLightBlob(keyboard_, blob);
            host_.StoreProfile(ListId::KeyboardLight);
            host_.MarkLiveChanged(DeviceKind::Keyboard);
        }};
    host::ProfileListBinding key{
        [this] { return KeyboardKeyBlob(keyboard_); },
        [this](std::span<const uint8_t> blob) { LoadKeyboardKeyBlob(keyboard_, blob); },
        [this] {
            CloseKeyFunctionPanel(false);
            WriteKeyImage();
        },
        [this](std::span<const uint8_t> blob) {
            CloseKeyFunctionPanel(true);
            LoadKeyboardKeyBlob(keyboard_, blob);
            host_.StoreProfile(ListId::KeyboardKey);
            WriteKeyImage();
        }};
    host::ProfileListBinding pad{
        [this] { return MousepadLightBlob(mousepad_); },
        [this](std::span<const uint8_t> blob) { LoadMousepadLightBlob(mousepad_, blob); },
        [this] { host_.MarkLiveChanged(DeviceKind::Mousepad); },
        [this](std::span<const uint8_t> blob) {
            LoadMousepadLightBlob(mousepad_, blob, kMousepadResetSize);
            host_.StoreProfile(ListId::MousepadLight);
            host_.MarkLiveChanged(DeviceKind::Mousepad);
        }};
    return {{ListId::KeyboardDevice, std::move(device)},
            {ListId::KeyboardLight, std::move(light)},
            {ListId::KeyboardKey, std::move(key)},
            {ListId::MousepadLight, std::move(pad)}};
}

}  // namespace gmd::keyboard_pad
