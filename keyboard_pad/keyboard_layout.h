#pragma once
// The keyboard's layout data: its 126 keys (buttons "kb_key_0".."kb_key_125", LEDs 0-125), their
// default key codes, where they sit, and the tables the lighting modes walk. Every table is
// derived from the one key list in keyboard_layout.cpp, so the picture, the key page and the
// lighting cannot disagree.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "keyboard_pad/sync_light_engine.h"
#include "mouse/light_tables.h"

namespace gmd::keyboard {

inline constexpr size_t kKeyCount = 126;
inline constexpr uint8_t kNoKey = 126;  // a hole in a table; also "not sent" and "no record"
inline constexpr size_t kColumns = 23;
inline constexpr size_t kRows = 6;
inline constexpr size_t kFrameSize = 378;  // 126 LEDs x 3

// Prefix lengths of the key order that the modes use.
inline constexpr size_t kStandardKeys = 104;  // the full-size ANSI set
inline constexpr size_t kSnakeLength = 106;   // + the two ISO keys
inline constexpr size_t kPulseKeys = 111;     // + Fn and the four media keys
inline constexpr size_t kGridSize = 12;
inline constexpr size_t kSecondColourTableSize = 256;

// A key's default function record (kind, arg1, arg2), as the factory key table carries it.
struct KeyCode {
    uint8_t kind = 0;
    uint8_t arg1 = 0;
    uint8_t arg2 = 0;
    friend bool operator==(const KeyCode&, const KeyCode&) = default;
};

struct KeyPlace {
    const char* name;  // what the key is labelled with in the picture
    uint8_t column;    // 0-22, left to right
    uint8_t row;       // 0-5, top to bottom
};

extern const std::array<KeyPlace, kKeyCount> kKeyPlaces;
extern const std::array<KeyCode, kKeyCount> kDefaultKeyCodes;

// Key index at each column and row (kNoKey = none).
using ColumnTable = std::array<std::array<uint8_t, kRows>, kColumns>;
extern const ColumnTable kColumnTable;
// Each key's LED position in the 378-byte frame (bytes 3f to 3f + 2).
extern const std::array<uint8_t, kKeyCount> kKeyToFrame;
// All 126 keys: the 104 standard keys in reading order, then the two ISO keys, Fn and the media
// keys above the keypad, then the macro and volume keys.
extern const std::array<uint8_t, kKeyCount> kKeyOrder;
// The first 111 keys of the key order, column by column from the left, top to bottom.
extern const std::array<uint8_t, kPulseKeys> kSecondKeyOrder;
// A fixed permutation of 0-103: positions in the key order for the sparkle.
extern const std::array<uint8_t, kStandardKeys> kRandomOrder;
// The first 106 keys of the key order row by row, turning at each end (a snake).
extern const std::array<uint8_t, kSnakeLength> kSnakePath;
// Keys in 12 diagonal bands from the top left (row i of the grid), kNoKey pads a band.
using KeyGrid = std::array<std::array<uint8_t, kGridSize>, kGridSize>;
extern const KeyGrid kDiagonalGrid;
// Mode 11's colours: 256 assorted saturated colours.
extern const std::array<light::Rgb, kSecondColourTableSize> kSecondColourTable;

// Mode 6's script: the row lit in each step of the sweep, and the pair of columns lit in each
// step of the pairs phase (from the edges to the middle and back).
inline constexpr size_t kRowSweepSteps = 20;
inline constexpr size_t kPairSteps = 31;
extern const std::array<uint8_t, kRowSweepSteps> kRowSweep;
extern const std::array<std::array<uint8_t, 2>, kPairSteps> kColumnPairs;

// The layout as the synchronised engine takes it.
const sync_light::KeyboardFrameLayout& SyncFrameLayout();

// For each key position, the first of the `keyCount` records of `image` equal to the key's
// default code; kNoKey when there is none (the key then has no record).
std::array<uint8_t, kKeyCount> BuildKeyIndexMap(std::span<const uint8_t> image, size_t keyCount);

}  // namespace gmd::keyboard
