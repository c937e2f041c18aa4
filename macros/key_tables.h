#pragma once
// The lookup tables behind the function records: each entry's position is the item index of
// its selector. Label fields are language keys.

#include <cstdint>
#include <span>
#include <string_view>

namespace gmd::macros {

struct TableEntry {
    uint8_t arg1;
    uint8_t arg2;
    std::string_view label;
    std::string_view word;  // the command-line name
};

// A key as the hook reports it, with the record it stands for.
struct VirtualKeyEntry {
    uint16_t code;  // Windows virtual-key code, or a synthetic code (0x101 keypad Enter ...)
    uint8_t kind;
    uint8_t arg1;
    uint8_t arg2;
    std::string_view label;
};

inline constexpr uint8_t kShortcutModifier = 0x01;  // left Ctrl
inline constexpr uint16_t kKeypadEnterCode = 0x101;
inline constexpr size_t kVirtualKeyCount = 125;
inline constexpr size_t kKeySelectorItems = 104;  // the modifier and key entries

std::span<const TableEntry> MouseButtonTable();  // kind 0x10; arg1 button bit
std::span<const TableEntry> DpiTable();          // kind 0x13; items 2, 3 repeat 0, 1
std::span<const TableEntry> ShortcutTable();     // kind 0x20, arg1 0x01; arg2 key
std::span<const TableEntry> ConsumerTable();     // kind 0x30; arg1, arg2 = usage low, high
std::span<const TableEntry> SystemTable();       // kind 0x40; arg1
std::span<const VirtualKeyEntry> VirtualKeyTable();

// First entry matching arg1 and arg2 (the kind is implied), or -1.
int FindEntry(std::span<const TableEntry> table, uint8_t arg1, uint8_t arg2);
const VirtualKeyEntry* FindVirtualKeyByCode(uint16_t code);
const VirtualKeyEntry* FindVirtualKeyByArgs(uint8_t arg1, uint8_t arg2);

}  // namespace gmd::macros
