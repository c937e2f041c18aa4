#include "macros/key_function.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "macros/key_tables.h"
#include "macros/macro_model.h"

namespace gmd::macros {

namespace kk = key_kind;

std::string_view ControlPrefix(KeyDevice device) {
    return device == KeyDevice::Mouse ? "ms_" : "kb_";
}

KeyFunction ReadKeyRecord(std::span<const uint8_t> image, size_t record) {
    const size_t at = record * kKeyRecordSize;
    if (at + kKeyRecordSize > image.size()) {
        return {0x05, 0x05, 0x05};
    }
    return {image[at], image[at + 1], image[at + 2]};
}

bool WriteKeyRecord(std::span<uint8_t> image, size_t record, KeyFunction function) {
    const size_t at = record * kKeyRecordSize;
    if (at + kKeyRecordSize > image.size()) {
        return false;
    }
    image[at] = function.kind;
    image[at + 1] = function.arg1;
    image[at + 2] = function.arg2;
    return true;
}

bool IsOnlyLeftButton(std::span<const uint8_t> image, size_t key) {
    constexpr KeyFunction kLeft{kk::kMouseButton, 0x01, 0x00};
    if (ReadKeyRecord(image, key) != kLeft) {
        return false;
    }
    for (size_t n = 0; n < static_cast<size_t>(kLeftGuardRecords); ++n) {
        if (n != key && ReadKeyRecord(image, n) == kLeft) {
            return false;
        }
    }
    return true;
}

namespace {

std::optional<KeyLabel> Lang(std::string_view key) {
    return KeyLabel{std::string(key), true};
}

bool KeepsLabel(uint8_t kind) {
    switch (kind) {
        case 0x15:
        case 0x50:
        case 0x60:
        case 0xA0:
        case 0xB0:
        case 0xC0:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::optional<KeyLabel> LabelOf(KeyFunction record, KeyDevice device,
                                const std::vector<std::string>& macroNames) {
    switch (record.kind) {
        case kk::kDefault:
        case kk::kKeyboardKey: {
            std::optional<KeyLabel> label;
            if (const VirtualKeyEntry* entry = FindVirtualKeyByArgs(record.arg1, record.arg2)) {
                label = Lang(entry->label);
            }
            if (const int item = FindEntry(ShortcutTable(), record.arg1, record.arg2); item >= 0) {
                label = Lang(ShortcutTable()[static_cast<size_t>(item)].label);
            }
            return label;
        }
        case kk::kMouseButton:
            for (const TableEntry& entry : MouseButtonTable()) {
                if (entry.arg1 == record.arg1) {
                    return Lang(entry.label);
                }
            }
            return std::nullopt;
        case kk::kHorizontalScroll:
            return Lang((record.arg2 & 0x80) != 0 ? "mouse_key_right_Swing"
                                                  : "mouse_key_left_Swing");
        case kk::kVerticalScroll:
            return Lang((record.arg2 & 0x80) != 0 ? "mouse_key_down_Swing" : "mouse_key_up_Swing");
        case kk::kDpiSwitch:
            for (const TableEntry& entry : DpiTable()) {
                if (entry.arg1 == record.arg1) {
                    return Lang(entry.label);
                }
            }
            return std::nullopt;
        case kk::kFireKey:
            return Lang("mouse_key_fire_key");
        case kk::kConsumerAlias:
        case kk::kConsumerKey:
            if (const int item = FindEntry(ConsumerTable(), record.arg1, record.arg2); item >= 0) {
                return Lang(ConsumerTable()[static_cast<size_t>(item)].label);
            }
            return std::nullopt;
        case kk::kSystemKey:
            if (const int item = FindEntry(SystemTable(), record.arg1, record.arg2); item >= 0) {
                return Lang(SystemTable()[static_cast<size_t>(item)].label);
            }
            return std::nullopt;
        case kk::kMacroMode:
        case kk::kMacroRepeat:
            if (record.arg1 < macroNames.size()) {
                return KeyLabel{macroNames[record.arg1], false};
            }
            return std::nullopt;
        case kk::kCursorSequence:
            if (record.arg1 < 4) {
                return Lang("GUN_" + std::to_string(record.arg1 + 1));
            }
            return std::nullopt;
        default:
            break;
    }
    if (KeepsLabel(record.kind)) {
        return std::nullopt;
    }
    if (device == KeyDevice::Mouse) {
        return Lang("close_text");
    }
    return KeyLabel{"关闭", false};
}

namespace {

constexpr FunctionItem kMouseItems[] = {
    FunctionItem::Default,
    FunctionItem::MouseButton,
    FunctionItem::HorizontalScroll,
    FunctionItem::VerticalScroll,
    FunctionItem::Dpi,
    FunctionItem::FireKey,
    FunctionItem::CapturedKey,
    FunctionItem::Consumer,
    FunctionItem::System,
    FunctionItem::Macro,
    FunctionItem::CursorSequence,
    FunctionItem::Shortcut,
};
constexpr FunctionItem kKeyboardItems[] = {
    FunctionItem::Default,        FunctionItem::CapturedKey,
    FunctionItem::MouseButton,    FunctionItem::HorizontalScroll,
    FunctionItem::VerticalScroll, FunctionItem::Dpi,
    FunctionItem::FireKey,        FunctionItem::Consumer,
    FunctionItem::System,         FunctionItem::Macro,
    FunctionItem::Shortcut,
};

void SelectIfFound(std::span<const TableEntry> table, KeyFunction record, int& item) {
    if (const int found = FindEntry(table, record.arg1, record.arg2); found >= 0) {
        item = found;
    }
}

std::optional<KeyFunction> EntryRecord(std::span<const TableEntry> table, uint8_t kind, int item) {
    if (item < 0 || static_cast<size_t>(item) >= table.size()) {
        return std::nullopt;
    }
    const TableEntry& entry = table[static_cast<size_t>(item)];
    return KeyFunction{kind, entry.arg1, entry.arg2};
}

uint8_t Low8(int value) {
    return static_cast<uint8_t>(static_cast<unsigned>(value) & 0xFF);
}

}  // namespace

std::span<const FunctionItem> FunctionItems(KeyDevice device) {
    if (device == KeyDevice::Mouse) {
        return kMouseItems;
    }
    return kKeyboardItems;
}

int ItemIndex(KeyDevice device, FunctionItem item) {
    const std::span<const FunctionItem> items = FunctionItems(device);
    const auto it = std::find(items.begin(), items.end(), item);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

namespace {

void SetControls(KeyFunction record, KeyFunction defaultRecord, KeyDevice device, int macroCount,
                 FunctionChoice& choice) {
    if (record == defaultRecord) {
        choice.item = FunctionItem::Default;
        return;
    }
    switch (record.kind) {
        case kk::kDefault:
            choice.item = FunctionItem::Default;
            return;
        case kk::kMouseButton:
            SelectIfFound(MouseButtonTable(), record, choice.buttonItem);
            choice.item = FunctionItem::MouseButton;
            return;
        case kk::kHorizontalScroll:
        case kk::kVerticalScroll: {
            const bool horizontal = record.kind == kk::kHorizontalScroll;
            (horizontal ? choice.hHigh : choice.vHigh) = record.arg1 >> 4;
            (horizontal ? choice.hLow : choice.vLow) = record.arg1 & 0x0F;
            const bool flagged = (record.arg2 & 0x80) != 0;
            (horizontal ? choice.hAmount : choice.vAmount) =
                flagged ? (record.arg2 & 0x7F) : record.arg2;
            (horizontal ? choice.hDirection : choice.vDirection) = flagged ? 1 : 0;
            choice.item =
                horizontal ? FunctionItem::HorizontalScroll : FunctionItem::VerticalScroll;
            return;
        }
        case kk::kDpiSwitch:
            SelectIfFound(DpiTable(), record, choice.dpiItem);
            choice.item = FunctionItem::Dpi;
            return;
        case kk::kFireKey:
            choice.fireArg1 = record.arg1;
            choice.fireArg2 = record.arg2;
            choice.item = FunctionItem::FireKey;
            return;
        case kk::kKeyboardKey:
            if (record.arg1 != 0 && record.arg2 != 0) {
                if (const int item = FindEntry(ShortcutTable(), record.arg1, record.arg2);
                    item >= 0) {
                    choice.shortcutItem = item;
                    choice.item = FunctionItem::Shortcut;
                    return;
                }
                // Another combination: shown by its key, kept whole with its modifiers.
                if (const VirtualKeyEntry* entry = FindVirtualKeyByArgs(0, record.arg2)) {
                    choice.capturedLabel = std::string(entry->label);
                }
            } else if (const VirtualKeyEntry* entry =
                           FindVirtualKeyByArgs(record.arg1, record.arg2)) {
                choice.capturedLabel = std::string(entry->label);
            }
            // The working record is the shown one; the edit only says whether there is one.
            choice.capturedKey = record;
            choice.item = FunctionItem::CapturedKey;
            return;
        case kk::kConsumerKey:
            SelectIfFound(ConsumerTable(), record, choice.consumerItem);
            choice.item = FunctionItem::Consumer;
            return;
        case kk::kSystemKey:
            SelectIfFound(SystemTable(), record, choice.systemItem);
            choice.item = FunctionItem::System;
            return;
        case kk::kMacroMode:
        case kk::kMacroRepeat:
            // An index at or beyond the list names no macro: the selector shows none.
            if (record.arg1 >= macroCount) {
                choice.macroItem = -1;
            } else {
                choice.macroItem = record.arg1;
                if (record.kind == kk::kMacroRepeat) {
                    choice.macroPlayback = kMacroRepeatItem;
                    choice.macroRepeat = record.arg2;
                } else if (record.arg2 < kMacroRepeatItem) {
                    choice.macroPlayback = record.arg2;
                }
            }
            choice.item = FunctionItem::Macro;
            return;
        case kk::kCursorSequence:
            if (device != KeyDevice::Mouse) {
                return;
            }
            if (record.arg1 < 4) {
                choice.cursorItem = record.arg1;
            }
            choice.item = FunctionItem::CursorSequence;
            return;
        default:
            return;  // a kind the pages do not know: nothing changes
    }
}

}  // namespace

bool ShowRecord(KeyFunction record, KeyFunction defaultRecord, KeyDevice device, int macroCount,
                FunctionChoice& choice) {
    SetControls(record, defaultRecord, device, macroCount, choice);
    return RecordFromChoice(choice, defaultRecord, device) == record;
}

std::optional<KeyFunction> RecordFromChoice(const FunctionChoice& choice, KeyFunction defaultRecord,
                                            KeyDevice device) {
    if (ItemIndex(device, choice.item) < 0) {
        return std::nullopt;
    }
    switch (choice.item) {
        case FunctionItem::Default:
            return defaultRecord;
        case FunctionItem::MouseButton:
            return EntryRecord(MouseButtonTable(), kk::kMouseButton, choice.buttonItem);
        case FunctionItem::HorizontalScroll:
            return KeyFunction{
                kk::kHorizontalScroll, Low8(choice.hHigh * 16 | choice.hLow),
                Low8(choice.hDirection != 0 ? choice.hAmount + 128 : choice.hAmount)};
        case FunctionItem::VerticalScroll:
            return KeyFunction{
                kk::kVerticalScroll, Low8(choice.vHigh * 16 | choice.vLow),
                Low8(choice.vDirection != 0 ? choice.vAmount + 128 : choice.vAmount)};
        case FunctionItem::Dpi:
            return EntryRecord(DpiTable(), kk::kDpiSwitch, choice.dpiItem);
        case FunctionItem::FireKey:
            return KeyFunction{kk::kFireKey, Low8(choice.fireArg1), Low8(choice.fireArg2)};
        case FunctionItem::CapturedKey:
            if (choice.capturedLabel.empty() || !choice.capturedKey) {
                return std::nullopt;
            }
            return choice.capturedKey;
        case FunctionItem::Shortcut:
            return EntryRecord(ShortcutTable(), kk::kKeyboardKey, choice.shortcutItem);
        case FunctionItem::Consumer:
            return EntryRecord(ConsumerTable(), kk::kConsumerKey, choice.consumerItem);
        case FunctionItem::System:
            return EntryRecord(SystemTable(), kk::kSystemKey, choice.systemItem);
        case FunctionItem::Macro:
            if (choice.macroItem < 0) {
                return std::nullopt;
            }
            if (choice.macroPlayback == kMacroRepeatItem) {
                return KeyFunction{kk::kMacroRepeat, Low8(choice.macroItem),
                                   Low8(choice.macroRepeat)};
            }
            return KeyFunction{kk::kMacroMode, Low8(choice.macroItem), Low8(choice.macroPlayback)};
        case FunctionItem::CursorSequence:
            return KeyFunction{kk::kCursorSequence, Low8(choice.cursorItem), 0};
    }
    return std::nullopt;
}

int ClampFunctionEdit(KeyDevice device, int edit, int value, bool empty) {
    const bool mouse = device == KeyDevice::Mouse;
    switch (edit) {
        case 11:
            if (mouse && empty) {
                return 1;
            }
            return std::min(value, 255);
        case 12:
            return std::min(value, 255);
        case 15:
        case 16:
            return std::min(value, 127);
        case 17:
        case 18:
        case 19:
        case 20:
            return std::min(value, 15);
        case 25:
            if (mouse && value <= 0) {
                return 1;
            }
            return std::min(value, 255);
        default:
            return value;
    }
}

std::optional<CapturedKey> CaptureKey(uint16_t virtualKey, uint32_t flags) {
    const uint16_t code =
        virtualKey == 0x0D && (flags == 0x01 || flags == 0x81) ? kKeypadEnterCode : virtualKey;
    const VirtualKeyEntry* entry = FindVirtualKeyByCode(code);
    if (entry == nullptr || entry->kind != kk::kKeyboardKey) {
        return std::nullopt;
    }
    return CapturedKey{{entry->kind, entry->arg1, entry->arg2}, entry->label};
}

bool AnyKeyBoundToMacro(std::span<const std::span<const uint8_t>> images, int records, int index) {
    for (const std::span<const uint8_t> image : images) {
        for (int n = 0; n < records; ++n) {
            const KeyFunction r = ReadKeyRecord(image, static_cast<size_t>(n));
            if ((r.kind == kk::kMacroMode || r.kind == kk::kMacroRepeat) && r.arg1 == index) {
                return true;
            }
        }
    }
    return false;
}

void RenumberMacroKeys(std::span<const std::span<uint8_t>> images, int records, int index,
                       std::span<const uint8_t> defaults) {
    for (const std::span<uint8_t> image : images) {
        for (int n = 0; n < records; ++n) {
            const size_t at = static_cast<size_t>(n);
            KeyFunction r = ReadKeyRecord(image, at);
            if (r.kind != kk::kMacroMode && r.kind != kk::kMacroRepeat) {
                continue;
            }
            if (r.arg1 == index) {
                WriteKeyRecord(image, at, ReadKeyRecord(defaults, at));
            } else if (r.arg1 > index) {
                --r.arg1;
                WriteKeyRecord(image, at, r);
            }
        }
    }
}

// ---- Command-line text form ---------------------------------------------------------------

namespace {

struct Modifier {
    std::string_view name;
    uint8_t bit;
};
// The first name of each bit is the one printed.
constexpr Modifier kModifiers[] = {
    {"Ctrl", 0x01},   {"LCtrl", 0x01}, {"Shift", 0x02}, {"LShift", 0x02}, {"Alt", 0x04},
    {"LAlt", 0x04},   {"Win", 0x08},   {"LWin", 0x08},  {"Super", 0x08},  {"RCtrl", 0x10},
    {"RShift", 0x20}, {"RAlt", 0x40},  {"RWin", 0x80},
};
constexpr std::string_view kKeyLabelPrefix = "keyboard_key_";

bool SameWord(std::string_view a, std::string_view b) {
    // Letter case and blanks do not count: "Page Up", "pageup" and "PageUp" are one key.
    auto next = [](std::string_view s, size_t& i) -> int {
        while (i < s.size() && s[i] == ' ') {
            ++i;
        }
        return i < s.size() ? std::tolower(static_cast<unsigned char>(s[i++])) : -1;
    };
    size_t i = 0;
    size_t j = 0;
    for (;;) {
        const int x = next(a, i);
        const int y = next(b, j);
        if (x != y) {
            return false;
        }
        if (x < 0) {
            return true;
        }
    }
}

std::optional<uint8_t> ModifierBit(std::string_view name) {
    for (const Modifier& m : kModifiers) {
        if (SameWord(m.name, name)) {
            return m.bit;
        }
    }
    return std::nullopt;
}

std::optional<uint8_t> KeyUsage(std::string_view name) {
    if (SameWord(name, "Backslash") || name == "\\") {
        name = "xiegang";
    }
    for (size_t i = 0; i < kKeySelectorItems; ++i) {
        const VirtualKeyEntry& entry = VirtualKeyTable()[i];
        if (entry.arg2 != 0 && SameWord(entry.label.substr(kKeyLabelPrefix.size()), name)) {
            return entry.arg2;
        }
    }
    return std::nullopt;
}

std::string KeyName(uint8_t usage) {
    for (size_t i = 0; i < kKeySelectorItems; ++i) {
        const VirtualKeyEntry& entry = VirtualKeyTable()[i];
        if (entry.arg1 == 0 && entry.arg2 == usage) {
            std::string name(entry.label.substr(kKeyLabelPrefix.size()));
            if (name == "xiegang") {
                return "Backslash";
            }
            std::erase(name, ' ');
            return name;
        }
    }
    return {};
}

std::optional<int> Number(std::string_view text, int min, int max) {
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < min ||
        value > max) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos) {
            return parts;
        }
        start = at + 1;
    }
}

std::optional<KeyFunction> FromWord(std::span<const TableEntry> table, uint8_t kind,
                                    std::string_view word) {
    for (const TableEntry& entry : table) {
        if (SameWord(entry.word, word)) {
            return KeyFunction{kind, entry.arg1, entry.arg2};
        }
    }
    return std::nullopt;
}

std::string Words(std::span<const TableEntry> table) {
    std::string words;
    for (const TableEntry& entry : table) {
        if (words.find(std::string(entry.word)) == std::string::npos) {
            words += words.empty() ? "" : ", ";
            words += entry.word;
        }
    }
    return words;
}

std::optional<KeyFunction> ParseKey(std::string_view keyText, std::string& error) {
    uint8_t modifiers = 0;
    // Modifiers come first, each followed by '+'; the rest is the key ("Num +" keeps its '+').
    for (;;) {
        const size_t plus = keyText.find('+');
        if (plus == std::string_view::npos || plus == 0) {
            break;
        }
        const std::optional<uint8_t> bit = ModifierBit(keyText.substr(0, plus));
        if (!bit) {
            break;
        }
        modifiers |= *bit;
        keyText.remove_prefix(plus + 1);
    }
    if (const std::optional<uint8_t> bit = ModifierBit(keyText)) {
        return KeyFunction{kk::kKeyboardKey, static_cast<uint8_t>(modifiers | *bit), 0};
    }
    if (const std::optional<uint8_t> usage = KeyUsage(keyText)) {
        return KeyFunction{kk::kKeyboardKey, modifiers, *usage};
    }
    error = "unknown key '" + std::string(keyText) +
            "' (keys are named as on the keyboard: A, 1, Enter, F5, PageUp, NumEnter, LCtrl ...)";
    return std::nullopt;
}

}  // namespace

std::optional<KeyFunction> ParseFunctionText(std::string_view text, KeyFunction defaultRecord,
                                             const std::vector<std::string>& macroNames,
                                             std::string& error) {
    error.clear();
    const size_t colon = text.find(':');
    const std::string_view head = text.substr(0, colon);
    const std::string_view rest =
        colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    const std::vector<std::string_view> args = Split(rest, ':');
    if (colon == std::string_view::npos) {
        if (SameWord(head, "default")) {
            return defaultRecord;
        }
        if (auto r = FromWord(MouseButtonTable(), kk::kMouseButton, head)) {
            return r;
        }
    } else if (SameWord(head, "key")) {
        return ParseKey(rest, error);
    } else if (SameWord(head, "shortcut")) {
        if (auto r = FromWord(ShortcutTable(), kk::kKeyboardKey, rest)) {
            return r;
        }
        error = "unknown shortcut '" + std::string(rest) + "'; one of: " + Words(ShortcutTable());
        return std::nullopt;
    } else if (SameWord(head, "consumer")) {
        if (auto r = FromWord(ConsumerTable(), kk::kConsumerKey, rest)) {
            return r;
        }
        if (const std::optional<int> usage = Number(rest, 0, 0xFFFF);
            usage && rest.starts_with("0x")) {
            return KeyFunction{kk::kConsumerKey, Low8(*usage), Low8(*usage >> 8)};
        }
        error = "unknown consumer key '" + std::string(rest) +
                "'; one of: " + Words(ConsumerTable()) + ", or a usage such as 0x00e9";
        return std::nullopt;
    } else if (SameWord(head, "system")) {
        if (auto r = FromWord(SystemTable(), kk::kSystemKey, rest)) {
            return r;
        }
        error = "unknown system key '" + std::string(rest) + "'; one of: " + Words(SystemTable());
        return std::nullopt;
    } else if (SameWord(head, "dpi")) {
        if (SameWord(rest, "cycle")) {
            return KeyFunction{kk::kDpiSwitch, DpiTable()[0].arg1, 0};
        }
        if (auto r = FromWord(DpiTable(), kk::kDpiSwitch, rest)) {
            return r;
        }
        error = "unknown DPI action '" + std::string(rest) + "'; one of: cycle, up, down";
        return std::nullopt;
    } else if (SameWord(head, "scroll")) {
        const std::optional<int> amount =
            args.size() >= 2 ? Number(args[1], 0, 127) : std::optional<int>();
        const std::optional<int> high =
            args.size() == 4 ? Number(args[2], 0, 15) : std::optional<int>(0);
        const std::optional<int> low =
            args.size() == 4 ? Number(args[3], 0, 15) : std::optional<int>(0);
        std::optional<uint8_t> kind;
        bool flagged = false;
        if (!args.empty()) {
            if (SameWord(args[0], "left") || SameWord(args[0], "right")) {
                kind = kk::kHorizontalScroll;
                flagged = SameWord(args[0], "right");
            } else if (SameWord(args[0], "up") || SameWord(args[0], "down")) {
                kind = kk::kVerticalScroll;
                flagged = SameWord(args[0], "down");
            }
        }
        if (kind && amount && high && low && (args.size() == 2 || args.size() == 4)) {
            return KeyFunction{*kind, Low8(*high * 16 + *low), Low8(*amount + (flagged ? 128 : 0))};
        }
        error =
            "scroll takes DIRECTION:AMOUNT[:HIGH:LOW]: left, right, up or down, an amount "
            "0-127 and two nibbles 0-15";
        return std::nullopt;
    } else if (SameWord(head, "fire")) {
        const std::optional<int> a = args.size() == 2 ? Number(args[0], 0, 255) : std::nullopt;
        const std::optional<int> b = args.size() == 2 ? Number(args[1], 0, 255) : std::nullopt;
        if (a && b) {
            return KeyFunction{kk::kFireKey, Low8(*a), Low8(*b)};
        }
        error = "fire takes two numbers 0-255: fire:A:B";
        return std::nullopt;
    } else if (SameWord(head, "cursor")) {
        if (const std::optional<int> n = Number(rest, 1, 4)) {
            return KeyFunction{kk::kCursorSequence, Low8(*n - 1), 0};
        }
        error = "cursor takes a sequence 1-4";
        return std::nullopt;
    } else if (SameWord(head, "macro")) {
        std::string_view name = rest;
        uint8_t kind = kk::kMacroMode;
        int arg2 = 0;
        const auto find = [&macroNames](std::string_view wanted) -> int {
            for (const bool exact : {true, false}) {
                for (size_t i = 0; i < macroNames.size(); ++i) {
                    if (exact ? macroNames[i] == wanted
                              : SameMacroName(macroNames[i], std::string(wanted))) {
                        return static_cast<int>(i);
                    }
                }
            }
            return -1;
        };
        // A macro name may hold colons: the whole text names a macro first, then the rightmost
        // ":repeat:N" or ":mode:M" is the playback part.
        if (const int whole = find(name); whole >= 0) {
            return KeyFunction{kind, Low8(whole), 0};
        }
        const size_t repeatAt = name.rfind(":repeat:");
        const size_t modeAt = name.rfind(":mode:");
        const bool repeat = repeatAt != std::string_view::npos &&
                            (modeAt == std::string_view::npos || repeatAt > modeAt);
        const size_t at = repeat ? repeatAt : modeAt;
        if (at != std::string_view::npos) {
            const std::string_view word = repeat ? ":repeat:" : ":mode:";
            const std::optional<int> n =
                Number(name.substr(at + word.size()), repeat ? 1 : 0, repeat ? 255 : 3);
            if (!n) {
                error = repeat ? "a macro's repeat count is 1-255" : "a macro's mode is 0-3";
                return std::nullopt;
            }
            kind = repeat ? kk::kMacroRepeat : kk::kMacroMode;
            arg2 = *n;
            name = name.substr(0, at);
        }
        if (const int index = find(name); index >= 0) {
            return KeyFunction{kind, Low8(index), Low8(arg2)};
        }
        error = "no macro named '" + std::string(name) + "'";
        return std::nullopt;
    } else if (SameWord(head, "raw")) {
        if (args.size() == 3) {
            const auto a = Number(args[0], 0, 255);
            const auto b = Number(args[1], 0, 255);
            const auto c = Number(args[2], 0, 255);
            if (a && b && c) {
                return KeyFunction{Low8(*a), Low8(*b), Low8(*c)};
            }
        }
        error = "raw takes three bytes: raw:0x10:0x01:0x00";
        return std::nullopt;
    }
    error = "unknown function '" + std::string(text) +
            "'; the functions are: default, left, middle, right, forward, back, "
            "scroll:DIR:N[:H:L], dpi:cycle|up|down, fire:A:B, key:KEYS, shortcut:NAME, "
            "consumer:NAME, system:NAME, macro:NAME[:repeat:N|:mode:M], cursor:N, raw:K:A:B";
    return std::nullopt;
}

std::string FunctionText(KeyFunction record, const std::vector<std::string>& macroNames) {
    auto raw = [&] {
        char text[32];
        std::snprintf(text, sizeof text, "raw:0x%02x:0x%02x:0x%02x", record.kind, record.arg1,
                      record.arg2);
        return std::string(text);
    };
    auto word = [&](std::span<const TableEntry> table, std::string_view head) {
        const int item = FindEntry(table, record.arg1, record.arg2);
        return item < 0 ? raw()
                        : std::string(head) + std::string(table[static_cast<size_t>(item)].word);
    };
    switch (record.kind) {
        case kk::kMouseButton:
            return word(MouseButtonTable(), "");
        case kk::kHorizontalScroll:
        case kk::kVerticalScroll: {
            const bool flagged = (record.arg2 & 0x80) != 0;
            const char* direction = record.kind == kk::kHorizontalScroll
                                        ? (flagged ? "right" : "left")
                                        : (flagged ? "down" : "up");
            return std::string("scroll:") + direction + ':' + std::to_string(record.arg2 & 0x7F) +
                   ':' + std::to_string(record.arg1 >> 4) + ':' +
                   std::to_string(record.arg1 & 0x0F);
        }
        case kk::kDpiSwitch:
            return word(DpiTable(), "dpi:");
        case kk::kFireKey:
            return "fire:" + std::to_string(record.arg1) + ':' + std::to_string(record.arg2);
        case kk::kKeyboardKey: {
            std::string keys;
            for (int bit = 0; bit < 8; ++bit) {
                if ((record.arg1 & (1 << bit)) == 0) {
                    continue;
                }
                for (const Modifier& m : kModifiers) {
                    if (m.bit == (1 << bit)) {
                        if (!keys.empty()) {
                            keys += '+';
                        }
                        keys += m.name;
                        break;
                    }
                }
            }
            if (record.arg2 != 0) {
                const std::string name = KeyName(record.arg2);
                if (name.empty()) {
                    return raw();
                }
                keys += (keys.empty() ? "" : "+") + name;
            }
            return keys.empty() ? raw() : "key:" + keys;
        }
        case kk::kConsumerKey:
            return word(ConsumerTable(), "consumer:");
        case kk::kSystemKey:
            return word(SystemTable(), "system:");
        case kk::kMacroMode:
        case kk::kMacroRepeat: {
            if (record.arg1 >= macroNames.size()) {
                return raw();
            }
            const std::string text = "macro:" + macroNames[record.arg1] +
                                     (record.kind == kk::kMacroRepeat ? ":repeat:" : ":mode:") +
                                     std::to_string(record.arg2);
            // Names that look like other names or playback parts, modes above 3 and a repeat
            // count of 0 cannot be written this way.
            std::string error;
            return ParseFunctionText(text, {}, macroNames, error) == record ? text : raw();
        }
        case kk::kCursorSequence:
            return record.arg1 < 4 && record.arg2 == 0 ? "cursor:" + std::to_string(record.arg1 + 1)
                                                       : raw();
        default:
            return raw();
    }
}

}  // namespace gmd::macros
