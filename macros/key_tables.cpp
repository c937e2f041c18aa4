#include "macros/key_tables.h"

#include <array>

namespace gmd::macros {

namespace {

constexpr TableEntry kMouseButtons[] = {
    {0x01, 0, "mouse_key_left", "left"},   {0x04, 0, "mouse_key_middle", "middle"},
    {0x02, 0, "mouse_key_right", "right"}, {0x10, 0, "mouse_key_forward", "forward"},
    {0x08, 0, "mouse_key_back", "back"},
};

constexpr TableEntry kDpi[] = {
    {0x01, 0, "mouse_key_DPI_loop", "up"},
    {0x02, 0, "mouse_key_DPI1_loop", "down"},
    {0x01, 0, "mouse_key_DPI_loop", "up"},
    {0x02, 0, "mouse_key_DPI1_loop", "down"},
};

constexpr TableEntry kShortcuts[] = {
    {kShortcutModifier, 0x12, "combo_open", "open"},
    {kShortcutModifier, 0x11, "combo_new", "new"},
    {kShortcutModifier, 0x1D, "combo_revocation", "undo"},
    {kShortcutModifier, 0x16, "combo_save", "save"},
    {kShortcutModifier, 0x06, "combo_copy", "copy"},
    {kShortcutModifier, 0x1B, "combo_cut", "cut"},
    {kShortcutModifier, 0x19, "combo_paste", "paste"},
    {kShortcutModifier, 0x09, "combo_finde", "find"},
    {kShortcutModifier, 0x04, "combo_all", "select-all"},
    {kShortcutModifier, 0x2D, "combo_narrow", "zoom-out"},
    {kShortcutModifier, 0x2E, "combo_magnify", "zoom-in"},
};

constexpr TableEntry Usage(uint16_t usage, std::string_view label, std::string_view word) {
    return {static_cast<uint8_t>(usage & 0xFF), static_cast<uint8_t>(usage >> 8), label, word};
}

constexpr TableEntry kConsumer[] = {
    Usage(0x0183, "media_text", "media-player"),
    Usage(0x00CD, "media_play", "play-pause"),
    Usage(0x00B7, "media_stop", "stop"),
    Usage(0x00B6, "media_prev", "previous"),
    Usage(0x00B5, "media_next", "next"),
    Usage(0x00EA, "media_vol_sub", "volume-down"),
    Usage(0x00E9, "media_vol_add", "volume-up"),
    Usage(0x00E2, "media_mute", "mute"),
    Usage(0x0223, "web_text", "browser-home"),
    Usage(0x0227, "web_refresh", "browser-refresh"),
    Usage(0x0226, "wed_stop", "browser-stop"),
    Usage(0x0224, "wed_back", "browser-back"),
    Usage(0x0225, "wed_forward", "browser-forward"),
    Usage(0x022A, "wed_favorite", "browser-favorites"),
    Usage(0x0221, "web_search", "browser-search"),
    Usage(0x0194, "media_mypc", "computer"),
    Usage(0x0192, "media_calc", "calculator"),
    Usage(0x018A, "media_mail", "mail"),
};

constexpr TableEntry kSystem[] = {
    {0x01, 0, "system_power", "power"},
    {0x02, 0, "system_sleep", "sleep"},
    {0x04, 0, "system_wake_up", "wake-up"},
};

constexpr uint8_t kKey = 0x20;
constexpr uint8_t kConsumer16 = 0x30;
constexpr uint8_t kSystemKind = 0x40;

constexpr VirtualKeyEntry K(uint16_t code, uint8_t usage, std::string_view label) {
    return {code, kKey, 0, usage, label};
}
constexpr VirtualKeyEntry M(uint16_t code, uint8_t bit, std::string_view label) {
    return {code, kKey, bit, 0, label};
}
constexpr VirtualKeyEntry C(uint16_t code, uint16_t usage, std::string_view label) {
    return {code, kConsumer16, static_cast<uint8_t>(usage & 0xFF), static_cast<uint8_t>(usage >> 8),
            label};
}
constexpr VirtualKeyEntry S(uint16_t code, uint8_t bit, std::string_view label) {
    return {code, kSystemKind, bit, 0, label};
}

// In this order: label lookups and capture both take the first match.
constexpr VirtualKeyEntry kVirtualKeys[] = {
    M(0xA2, 0x01, "keyboard_key_LCtrl"),
    M(0xA0, 0x02, "keyboard_key_LShift"),
    M(0xA4, 0x04, "keyboard_key_LAlt"),
    M(0x5B, 0x08, "keyboard_key_LWin"),
    M(0xA3, 0x10, "keyboard_key_RCtrl"),
    M(0xA1, 0x20, "keyboard_key_RShift"),
    M(0xA5, 0x40, "keyboard_key_RAlt"),
    M(0x5C, 0x80, "keyboard_key_RWin"),
    K(0x41, 0x04, "keyboard_key_A"),
    K(0x42, 0x05, "keyboard_key_B"),
    K(0x43, 0x06, "keyboard_key_C"),
    K(0x44, 0x07, "keyboard_key_D"),
    K(0x45, 0x08, "keyboard_key_E"),
    K(0x46, 0x09, "keyboard_key_F"),
    K(0x47, 0x0A, "keyboard_key_G"),
    K(0x48, 0x0B, "keyboard_key_H"),
    K(0x49, 0x0C, "keyboard_key_I"),
    K(0x4A, 0x0D, "keyboard_key_J"),
    K(0x4B, 0x0E, "keyboard_key_K"),
    K(0x4C, 0x0F, "keyboard_key_L"),
    K(0x4D, 0x10, "keyboard_key_M"),
    K(0x4E, 0x11, "keyboard_key_N"),
    K(0x4F, 0x12, "keyboard_key_O"),
    K(0x50, 0x13, "keyboard_key_P"),
    K(0x51, 0x14, "keyboard_key_Q"),
    K(0x52, 0x15, "keyboard_key_R"),
    K(0x53, 0x16, "keyboard_key_S"),
    K(0x54, 0x17, "keyboard_key_T"),
    K(0x55, 0x18, "keyboard_key_U"),
    K(0x56, 0x19, "keyboard_key_V"),
    K(0x57, 0x1A, "keyboard_key_W"),
    K(0x58, 0x1B, "keyboard_key_X"),
    K(0x59, 0x1C, "keyboard_key_Y"),
    K(0x5A, 0x1D, "keyboard_key_Z"),
    K(0x31, 0x1E, "keyboard_key_1"),
    K(0x32, 0x1F, "keyboard_key_2"),
    K(0x33, 0x20, "keyboard_key_3"),
    K(0x34, 0x21, "keyboard_key_4"),
    K(0x35, 0x22, "keyboard_key_5"),
    K(0x36, 0x23, "keyboard_key_6"),
    K(0x37, 0x24, "keyboard_key_7"),
    K(0x38, 0x25, "keyboard_key_8"),
    K(0x39, 0x26, "keyboard_key_9"),
    K(0x30, 0x27, "keyboard_key_0"),
    K(0x0D, 0x28, "keyboard_key_Enter"),
    K(0x1B, 0x29, "keyboard_key_Esc"),
    K(0x08, 0x2A, "keyboard_key_BackSpace"),
    K(0x09, 0x2B, "keyboard_key_Tab"),
    K(0x20, 0x2C, "keyboard_key_Space"),
    K(0xBD, 0x2D, "keyboard_key_-"),
    K(0xBB, 0x2E, "keyboard_key_="),
    K(0xDB, 0x2F, "keyboard_key_["),
    K(0xDD, 0x30, "keyboard_key_]"),
    K(0xDC, 0x31, "keyboard_key_xiegang"),
    K(0xBA, 0x33, "keyboard_key_;"),
    K(0xDE, 0x34, "keyboard_key_'"),
    K(0xC0, 0x35, "keyboard_key_`"),
    K(0xBC, 0x36, "keyboard_key_<"),
    K(0xBE, 0x37, "keyboard_key_."),
    K(0xBF, 0x38, "keyboard_key_/"),
    K(0x14, 0x39, "keyboard_key_Caplk"),
    K(0x70, 0x3A, "keyboard_key_F1"),
    K(0x71, 0x3B, "keyboard_key_F2"),
    K(0x72, 0x3C, "keyboard_key_F3"),
    K(0x73, 0x3D, "keyboard_key_F4"),
    K(0x74, 0x3E, "keyboard_key_F5"),
    K(0x75, 0x3F, "keyboard_key_F6"),
    K(0x76, 0x40, "keyboard_key_F7"),
    K(0x77, 0x41, "keyboard_key_F8"),
    K(0x78, 0x42, "keyboard_key_F9"),
    K(0x79, 0x43, "keyboard_key_F10"),
    K(0x7A, 0x44, "keyboard_key_F11"),
    K(0x7B, 0x45, "keyboard_key_F12"),
    K(0x2C, 0x46, "keyboard_key_Print Scr"),
    K(0x91, 0x47, "keyboard_key_Scroll Lock"),
    K(0x13, 0x48, "keyboard_key_Pause"),
    K(0x2D, 0x49, "keyboard_key_Insert"),
    K(0x24, 0x4A, "keyboard_key_Home"),
    K(0x21, 0x4B, "keyboard_key_Page Up"),
    K(0x2E, 0x4C, "keyboard_key_Delete"),
    K(0x23, 0x4D, "keyboard_key_End"),
    K(0x22, 0x4E, "keyboard_key_Page Down"),
    K(0x27, 0x4F, "keyboard_key_Right"),
    K(0x25, 0x50, "keyboard_key_Left"),
    K(0x28, 0x51, "keyboard_key_Down"),
    K(0x26, 0x52, "keyboard_key_Up"),
    K(0x90, 0x53, "keyboard_key_Num Lock"),
    K(0x6F, 0x54, "keyboard_key_Num /"),
    K(0x6A, 0x55, "keyboard_key_Num *"),
    K(0x6D, 0x56, "keyboard_key_Num -"),
    K(0x6B, 0x57, "keyboard_key_Num +"),
    K(kKeypadEnterCode, 0x58, "keyboard_key_Num Enter"),
    K(0x61, 0x59, "keyboard_key_Num 1"),
    K(0x62, 0x5A, "keyboard_key_Num 2"),
    K(0x63, 0x5B, "keyboard_key_Num 3"),
    K(0x64, 0x5C, "keyboard_key_Num 4"),
    K(0x65, 0x5D, "keyboard_key_Num 5"),
    K(0x66, 0x5E, "keyboard_key_Num 6"),
    K(0x67, 0x5F, "keyboard_key_Num 7"),
    K(0x68, 0x60, "keyboard_key_Num 8"),
    K(0x69, 0x61, "keyboard_key_Num 9"),
    K(0x60, 0x62, "keyboard_key_Num 0"),
    K(0x6E, 0x63, "keyboard_key_Decimal"),
    K(0x5D, 0x65, "keyboard_key_App"),
    C(0xB7, 0x0192, "keyboard_key_Launch App2"),
    C(0xAC, 0x0223, "keyboard_key_Browaer Home"),
    C(0xB3, 0x00CD, "keyboard_key_Media Play Pause"),
    C(0xAA, 0x0221, "keyboard_key_Browser Search"),
    C(0xB4, 0x018A, "keyboard_key_Launch Mail"),
    C(0xAF, 0x00E9, "keyboard_key_Volume Up"),
    C(0xAD, 0x00E2, "keyboard_key_Volume Mute"),
    C(0xB2, 0x00B7, "keyboard_key_Media Stop"),
    C(0xAE, 0x00EA, "keyboard_key_Volume Down"),
    C(0xAB, 0x022A, "keyboard_key_Browser Favorites"),
    C(0xA7, 0x0225, "keyboard_key_Browser ForWard"),
    C(0xA6, 0x0224, "keyboard_key_Browser Back"),
    C(0xB1, 0x00B6, "keyboard_key_Media Prev Track"),
    C(0xB0, 0x00B5, "keyboard_key_Media Next Track"),
    C(0xB6, 0x0194, "keyboard_key_Computer"),
    C(0xA8, 0x0227, "keyboard_key_Browser Refresh"),
    C(0xB5, 0x0183, "keyboard_key_Launch Media Select"),
    C(0xB5, 0x0183, "keyboard_key_Launch Media Select"),
    S(0x103, 0x01, "keyboard_key_Power"),
    S(0x104, 0x02, "keyboard_key_Sleep"),
    S(0x105, 0x04, "keyboard_key_Wakeup"),
};
static_assert(std::size(kVirtualKeys) == kVirtualKeyCount);
static_assert(kVirtualKeys[kKeySelectorItems - 1].kind == kKey &&
              kVirtualKeys[kKeySelectorItems].kind != kKey);

}  // namespace

std::span<const TableEntry> MouseButtonTable() {
    return kMouseButtons;
}
std::span<const TableEntry> DpiTable() {
    return kDpi;
}
std::span<const TableEntry> ShortcutTable() {
    return kShortcuts;
}
std::span<const TableEntry> ConsumerTable() {
    return kConsumer;
}
std::span<const TableEntry> SystemTable() {
    return kSystem;
}
std::span<const VirtualKeyEntry> VirtualKeyTable() {
    return kVirtualKeys;
}

int FindEntry(std::span<const TableEntry> table, uint8_t arg1, uint8_t arg2) {
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].arg1 == arg1 && table[i].arg2 == arg2) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const VirtualKeyEntry* FindVirtualKeyByCode(uint16_t code) {
    for (const VirtualKeyEntry& entry : kVirtualKeys) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

const VirtualKeyEntry* FindVirtualKeyByArgs(uint8_t arg1, uint8_t arg2) {
    for (const VirtualKeyEntry& entry : kVirtualKeys) {
        if (entry.arg1 == arg1 && entry.arg2 == arg2) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace gmd::macros
