#include "keyboard_pad/keyboard_layout.h"

#include <algorithm>

namespace gmd::keyboard {

namespace {

// The picture: a full-size keyboard with two columns of macro keys on the left, media keys over
// the keypad and volume keys over the arrows. Columns (0-22) and rows (0-5) are those of the
// column table; keys are numbered row by row, left to right. "." is a hole (no key there).
//
// clang-format off
//  col 0   1   2     3     4    5  6  7  8     9  10 11   12   13  14   15
//  r0  G1  G7  Esc   .     F1   F2 F3 F4 F5    F6 F7 F8   F9   F10 F11  F12
//  r1  G2  G8  `     1     2    3  4  5  6     7  8  9    0    -   =    Bksp
//  r2  G3  G9  Tab   Q     W    E  R  T  Y     U  I  O    P    [   ]    \ (ANSI)
//  r3  G4  G10 Caps  A     S    D  F  G  H     J  K  L    ;    '   #    Enter
//  r4  G5  G11 Shift ISO\  Z    X  C  V  B     N  M  ,    .    /   .    Shift
//  r5  G6  G12 Ctrl  Win   Alt  .  .  .  Space .  .  RAlt RWin Fn  Menu Ctrl
//
//  col 16     17     18     19       20     21     22
//  r0  PrtSc  ScrLk  Pause  Mute     Prev   Play   Next
//  r1  Insert Home   PgUp   NumLock  Kp/    Kp*    Kp-
//  r2  Delete End    PgDn   Kp7      Kp8    Kp9    Kp+ (two rows tall)
//  r3  Stop   Vol-   Vol+   Kp4      Kp5    Kp6    .
//  r4  .      Up     .      Kp1      Kp2    Kp3    KpEnter (two rows tall)
//  r5  Left   Down   Right  Kp0      .      Kp.    .
// clang-format on
//
// Widths in key units where not 1: Backspace 2, Tab 1.5, \ 1.5, Caps 1.75, Enter 1.25 (the ISO
// # key sits left of it), left Shift 1.25, right Shift 2.75, the bottom row's Ctrl, Win, Alt,
// RAlt, RWin, Fn, Menu 1.25, Space 6.25, Kp0 2. The macro keys sit 0.5 units apart from Esc.
enum Group : uint8_t {
    kStandard,  // the 104 keys of a full-size ANSI keyboard
    kIso,       // the two keys of ISO layouts
    kTop,       // Fn and the media keys over the keypad
    kExtra,     // macro keys G1-G12 and the volume keys
};

struct KeyDef {
    const char* name;
    uint8_t column;
    uint8_t row;
    KeyCode code;
    Group group;
};

constexpr uint8_t kKeyboardKind = 0x20;
constexpr uint8_t kConsumerKind = 0x30;

constexpr KeyCode Usage(uint8_t usage) {
    return {kKeyboardKind, 0x00, usage};
}
constexpr KeyCode Modifier(uint8_t bit) {
    return {kKeyboardKind, static_cast<uint8_t>(1u << bit), 0x00};
}
constexpr KeyCode Consumer(uint16_t usage) {
    return {kConsumerKind, static_cast<uint8_t>(usage & 0xFF), static_cast<uint8_t>(usage >> 8)};
}
// Fn is handled by the keyboard itself: it has no record and cannot be reassigned.
constexpr KeyCode kNoCode{0x00, 0x00, 0x00};

// Macro keys send F13-F24 until they are assigned.
constexpr KeyCode MacroKey(uint8_t n) {
    return Usage(static_cast<uint8_t>(0x68 + n));
}

constexpr std::array<KeyDef, kKeyCount> kKeys = {{
    // row 0
    {"G1", 0, 0, MacroKey(0), kExtra},
    {"G7", 1, 0, MacroKey(6), kExtra},
    {"Esc", 2, 0, Usage(0x29), kStandard},
    {"F1", 4, 0, Usage(0x3A), kStandard},
    {"F2", 5, 0, Usage(0x3B), kStandard},
    {"F3", 6, 0, Usage(0x3C), kStandard},
    {"F4", 7, 0, Usage(0x3D), kStandard},
    {"F5", 8, 0, Usage(0x3E), kStandard},
    {"F6", 9, 0, Usage(0x3F), kStandard},
    {"F7", 10, 0, Usage(0x40), kStandard},
    {"F8", 11, 0, Usage(0x41), kStandard},
    {"F9", 12, 0, Usage(0x42), kStandard},
    {"F10", 13, 0, Usage(0x43), kStandard},
    {"F11", 14, 0, Usage(0x44), kStandard},
    {"F12", 15, 0, Usage(0x45), kStandard},
    {"Print Screen", 16, 0, Usage(0x46), kStandard},
    {"Scroll Lock", 17, 0, Usage(0x47), kStandard},
    {"Pause", 18, 0, Usage(0x48), kStandard},
    {"Mute", 19, 0, Consumer(0x00E2), kTop},
    {"Previous", 20, 0, Consumer(0x00B6), kTop},
    {"Play/Pause", 21, 0, Consumer(0x00CD), kTop},
    {"Next", 22, 0, Consumer(0x00B5), kTop},
    // row 1
    {"G2", 0, 1, MacroKey(1), kExtra},
    {"G8", 1, 1, MacroKey(7), kExtra},
    {"`", 2, 1, Usage(0x35), kStandard},
    {"1", 3, 1, Usage(0x1E), kStandard},
    {"2", 4, 1, Usage(0x1F), kStandard},
    {"3", 5, 1, Usage(0x20), kStandard},
    {"4", 6, 1, Usage(0x21), kStandard},
    {"5", 7, 1, Usage(0x22), kStandard},
    {"6", 8, 1, Usage(0x23), kStandard},
    {"7", 9, 1, Usage(0x24), kStandard},
    {"8", 10, 1, Usage(0x25), kStandard},
    {"9", 11, 1, Usage(0x26), kStandard},
    {"0", 12, 1, Usage(0x27), kStandard},
    {"-", 13, 1, Usage(0x2D), kStandard},
    {"=", 14, 1, Usage(0x2E), kStandard},
    {"Backspace", 15, 1, Usage(0x2A), kStandard},
    {"Insert", 16, 1, Usage(0x49), kStandard},
    {"Home", 17, 1, Usage(0x4A), kStandard},
    {"Page Up", 18, 1, Usage(0x4B), kStandard},
    {"Num Lock", 19, 1, Usage(0x53), kStandard},
    {"Keypad /", 20, 1, Usage(0x54), kStandard},
    {"Keypad *", 21, 1, Usage(0x55), kStandard},
    {"Keypad -", 22, 1, Usage(0x56), kStandard},
    // row 2
    {"G3", 0, 2, MacroKey(2), kExtra},
    {"G9", 1, 2, MacroKey(8), kExtra},
    {"Tab", 2, 2, Usage(0x2B), kStandard},
    {"Q", 3, 2, Usage(0x14), kStandard},
    {"W", 4, 2, Usage(0x1A), kStandard},
    {"E", 5, 2, Usage(0x08), kStandard},
    {"R", 6, 2, Usage(0x15), kStandard},
    {"T", 7, 2, Usage(0x17), kStandard},
    {"Y", 8, 2, Usage(0x1C), kStandard},
    {"U", 9, 2, Usage(0x18), kStandard},
    {"I", 10, 2, Usage(0x0C), kStandard},
    {"O", 11, 2, Usage(0x12), kStandard},
    {"P", 12, 2, Usage(0x13), kStandard},
    {"[", 13, 2, Usage(0x2F), kStandard},
    {"]", 14, 2, Usage(0x30), kStandard},
    {"\\", 15, 2, Usage(0x31), kStandard},
    {"Delete", 16, 2, Usage(0x4C), kStandard},
    {"End", 17, 2, Usage(0x4D), kStandard},
    {"Page Down", 18, 2, Usage(0x4E), kStandard},
    {"Keypad 7", 19, 2, Usage(0x5F), kStandard},
    {"Keypad 8", 20, 2, Usage(0x60), kStandard},
    {"Keypad 9", 21, 2, Usage(0x61), kStandard},
    {"Keypad +", 22, 2, Usage(0x57), kStandard},
    // row 3
    {"G4", 0, 3, MacroKey(3), kExtra},
    {"G10", 1, 3, MacroKey(9), kExtra},
    {"Caps Lock", 2, 3, Usage(0x39), kStandard},
    {"A", 3, 3, Usage(0x04), kStandard},
    {"S", 4, 3, Usage(0x16), kStandard},
    {"D", 5, 3, Usage(0x07), kStandard},
    {"F", 6, 3, Usage(0x09), kStandard},
    {"G", 7, 3, Usage(0x0A), kStandard},
    {"H", 8, 3, Usage(0x0B), kStandard},
    {"J", 9, 3, Usage(0x0D), kStandard},
    {"K", 10, 3, Usage(0x0E), kStandard},
    {"L", 11, 3, Usage(0x0F), kStandard},
    {";", 12, 3, Usage(0x33), kStandard},
    {"'", 13, 3, Usage(0x34), kStandard},
    {"#", 14, 3, Usage(0x32), kIso},
    {"Enter", 15, 3, Usage(0x28), kStandard},
    {"Stop", 16, 3, Consumer(0x00B7), kExtra},
    {"Volume Down", 17, 3, Consumer(0x00EA), kExtra},
    {"Volume Up", 18, 3, Consumer(0x00E9), kExtra},
    {"Keypad 4", 19, 3, Usage(0x5C), kStandard},
    {"Keypad 5", 20, 3, Usage(0x5D), kStandard},
    {"Keypad 6", 21, 3, Usage(0x5E), kStandard},
    // row 4
    {"G5", 0, 4, MacroKey(4), kExtra},
    {"G11", 1, 4, MacroKey(10), kExtra},
    {"Left Shift", 2, 4, Modifier(1), kStandard},
    {"ISO \\", 3, 4, Usage(0x64), kIso},
    {"Z", 4, 4, Usage(0x1D), kStandard},
    {"X", 5, 4, Usage(0x1B), kStandard},
    {"C", 6, 4, Usage(0x06), kStandard},
    {"V", 7, 4, Usage(0x19), kStandard},
    {"B", 8, 4, Usage(0x05), kStandard},
    {"N", 9, 4, Usage(0x11), kStandard},
    {"M", 10, 4, Usage(0x10), kStandard},
    {",", 11, 4, Usage(0x36), kStandard},
    {".", 12, 4, Usage(0x37), kStandard},
    {"/", 13, 4, Usage(0x38), kStandard},
    {"Right Shift", 15, 4, Modifier(5), kStandard},
    {"Up", 17, 4, Usage(0x52), kStandard},
    {"Keypad 1", 19, 4, Usage(0x59), kStandard},
    {"Keypad 2", 20, 4, Usage(0x5A), kStandard},
    {"Keypad 3", 21, 4, Usage(0x5B), kStandard},
    {"Keypad Enter", 22, 4, Usage(0x58), kStandard},
    // row 5
    {"G6", 0, 5, MacroKey(5), kExtra},
    {"G12", 1, 5, MacroKey(11), kExtra},
    {"Left Ctrl", 2, 5, Modifier(0), kStandard},
    {"Left Windows", 3, 5, Modifier(3), kStandard},
    {"Left Alt", 4, 5, Modifier(2), kStandard},
    {"Space", 8, 5, Usage(0x2C), kStandard},
    {"Right Alt", 11, 5, Modifier(6), kStandard},
    {"Right Windows", 12, 5, Modifier(7), kStandard},
    {"Fn", 13, 5, kNoCode, kTop},
    {"Menu", 14, 5, Usage(0x65), kStandard},
    {"Right Ctrl", 15, 5, Modifier(4), kStandard},
    {"Left", 16, 5, Usage(0x50), kStandard},
    {"Down", 17, 5, Usage(0x51), kStandard},
    {"Right", 18, 5, Usage(0x4F), kStandard},
    {"Keypad 0", 19, 5, Usage(0x62), kStandard},
    {"Keypad .", 21, 5, Usage(0x63), kStandard},
}};

constexpr ColumnTable MakeColumnTable() {
    ColumnTable table{};
    for (auto& column : table) {
        column.fill(kNoKey);
    }
    for (size_t k = 0; k < kKeyCount; ++k) {
        table[kKeys[k].column][kKeys[k].row] = static_cast<uint8_t>(k);
    }
    return table;
}

// The LEDs are wired column by column, top to bottom.
constexpr std::array<uint8_t, kKeyCount> MakeKeyToFrame() {
    const ColumnTable columns = MakeColumnTable();
    std::array<uint8_t, kKeyCount> frame{};
    uint8_t next = 0;
    for (const auto& column : columns) {
        for (const uint8_t key : column) {
            if (key != kNoKey) {
                frame[key] = next++;
            }
        }
    }
    return frame;
}

constexpr std::array<uint8_t, kKeyCount> MakeKeyOrder() {
    std::array<uint8_t, kKeyCount> order{};
    size_t n = 0;
    for (const Group group : {kStandard, kIso, kTop, kExtra}) {
        for (size_t k = 0; k < kKeyCount; ++k) {
            if (kKeys[k].group == group) {
                order[n++] = static_cast<uint8_t>(k);
            }
        }
    }
    return order;
}

constexpr std::array<uint8_t, kPulseKeys> MakeSecondKeyOrder() {
    const ColumnTable columns = MakeColumnTable();
    std::array<uint8_t, kPulseKeys> order{};
    size_t n = 0;
    for (const auto& column : columns) {
        for (const uint8_t key : column) {
            if (key != kNoKey && kKeys[key].group != kExtra) {
                order[n++] = key;
            }
        }
    }
    return order;
}

// Fisher-Yates over a fixed linear congruential sequence: the same permutation on every build.
constexpr std::array<uint8_t, kStandardKeys> MakeRandomOrder() {
    std::array<uint8_t, kStandardKeys> order{};
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<uint8_t>(i);
    }
    uint32_t seed = 0x2545F491u;
    for (size_t i = order.size() - 1; i > 0; --i) {
        seed = seed * 1664525u + 1013904223u;
        const size_t j = (seed >> 8) % (i + 1);
        std::swap(order[i], order[j]);
    }
    return order;
}

constexpr std::array<uint8_t, kSnakeLength> MakeSnakePath() {
    const ColumnTable columns = MakeColumnTable();
    std::array<uint8_t, kSnakeLength> path{};
    size_t n = 0;
    for (size_t row = 0; row < kRows; ++row) {
        for (size_t i = 0; i < kColumns; ++i) {
            const size_t column = row % 2 == 0 ? i : kColumns - 1 - i;
            const uint8_t key = columns[column][row];
            if (key != kNoKey && (kKeys[key].group == kStandard || kKeys[key].group == kIso)) {
                path[n++] = key;
            }
        }
    }
    return path;
}

// Keys sorted by column + row (top-left first), cut into 12 bands of 10 or 11.
constexpr KeyGrid MakeDiagonalGrid() {
    std::array<uint8_t, kKeyCount> sorted{};
    for (size_t k = 0; k < kKeyCount; ++k) {
        sorted[k] = static_cast<uint8_t>(k);
    }
    std::sort(sorted.begin(), sorted.end(), [](uint8_t a, uint8_t b) {
        const int da = kKeys[a].column + kKeys[a].row;
        const int db = kKeys[b].column + kKeys[b].row;
        return da != db ? da < db : a < b;
    });
    KeyGrid grid{};
    for (auto& band : grid) {
        band.fill(kNoKey);
    }
    for (size_t band = 0; band < kGridSize; ++band) {
        const size_t begin = band * kKeyCount / kGridSize;
        const size_t end = (band + 1) * kKeyCount / kGridSize;
        for (size_t i = begin; i < end; ++i) {
            grid[band][i - begin] = sorted[i];
        }
    }
    return grid;
}

// Hue wheel colours in a scattered order, every fourth one mixed halfway towards white.
std::array<light::Rgb, kSecondColourTableSize> MakeSecondColourTable() {
    std::array<light::Rgb, kSecondColourTableSize> table{};
    for (size_t i = 0; i < table.size(); ++i) {
        light::Rgb colour = light::kHueWheel[(i * 71 + i / 16) % light::kHueWheelSize];
        if (i % 4 == 3) {
            colour = {static_cast<uint8_t>((colour.red + 255) / 2),
                      static_cast<uint8_t>((colour.green + 255) / 2),
                      static_cast<uint8_t>((colour.blue + 255) / 2)};
        }
        table[i] = colour;
    }
    return table;
}

constexpr std::array<std::array<uint8_t, 2>, kPairSteps> MakeColumnPairs() {
    std::array<std::array<uint8_t, 2>, kPairSteps> pairs{};
    for (size_t s = 0; s < kPairSteps; ++s) {
        // 0..11 inwards, back out to 0, then in again to 8.
        const size_t c = s <= 11 ? s : (s <= 22 ? 22 - s : s - 22);
        pairs[s] = {static_cast<uint8_t>(c), static_cast<uint8_t>(kColumns - 1 - c)};
    }
    return pairs;
}

}  // namespace

constexpr auto kColumnValues = MakeColumnTable();
constexpr auto kKeyToFrameValues = MakeKeyToFrame();
constexpr auto kKeyOrderValues = MakeKeyOrder();
constexpr auto kSecondKeyOrderValues = MakeSecondKeyOrder();
constexpr auto kSnakeValues = MakeSnakePath();
constexpr auto kGridValues = MakeDiagonalGrid();

const std::array<KeyPlace, kKeyCount> kKeyPlaces = [] {
    std::array<KeyPlace, kKeyCount> places{};
    for (size_t k = 0; k < kKeyCount; ++k) {
        places[k] = {kKeys[k].name, kKeys[k].column, kKeys[k].row};
    }
    return places;
}();
const std::array<KeyCode, kKeyCount> kDefaultKeyCodes = [] {
    std::array<KeyCode, kKeyCount> codes{};
    for (size_t k = 0; k < kKeyCount; ++k) {
        codes[k] = kKeys[k].code;
    }
    return codes;
}();
const ColumnTable kColumnTable = kColumnValues;
const std::array<uint8_t, kKeyCount> kKeyToFrame = kKeyToFrameValues;
const std::array<uint8_t, kKeyCount> kKeyOrder = kKeyOrderValues;
const std::array<uint8_t, kPulseKeys> kSecondKeyOrder = kSecondKeyOrderValues;
const std::array<uint8_t, kStandardKeys> kRandomOrder = MakeRandomOrder();
const std::array<uint8_t, kSnakeLength> kSnakePath = kSnakeValues;
const KeyGrid kDiagonalGrid = kGridValues;
const std::array<light::Rgb, kSecondColourTableSize> kSecondColourTable = MakeSecondColourTable();
const std::array<uint8_t, kRowSweepSteps> kRowSweep = {0, 1, 2, 3, 4, 5, 4, 3, 2, 1,
                                                       0, 1, 2, 3, 4, 5, 4, 3, 2, 1};
const std::array<std::array<uint8_t, 2>, kPairSteps> kColumnPairs = MakeColumnPairs();

const sync_light::KeyboardFrameLayout& SyncFrameLayout() {
    static const sync_light::KeyboardFrameLayout layout = [] {
        sync_light::KeyboardFrameLayout l;
        l.columns = kColumnValues;
        l.keyToFrame = kKeyToFrameValues;
        return l;
    }();
    return layout;
}

std::array<uint8_t, kKeyCount> BuildKeyIndexMap(std::span<const uint8_t> image, size_t keyCount) {
    std::array<uint8_t, kKeyCount> map{};
    map.fill(kNoKey);
    const size_t records = std::min({keyCount, image.size() / 3, size_t{kNoKey}});
    for (size_t p = 0; p < kKeyCount; ++p) {
        const KeyCode code = kKeys[p].code;
        if (code == kNoCode) {
            continue;
        }
        for (size_t j = 0; j < records; ++j) {
            if (image[3 * j] == code.kind && image[3 * j + 1] == code.arg1 &&
                image[3 * j + 2] == code.arg2) {
                map[p] = static_cast<uint8_t>(j);
                break;
            }
        }
    }
    return map;
}

static_assert(kKeyCount == sync_light::kKeyboardKeys && kColumns == sync_light::kKeyboardColumns &&
              kRows == sync_light::kKeyboardRows && kNoKey == sync_light::kNoKey);

}  // namespace gmd::keyboard
