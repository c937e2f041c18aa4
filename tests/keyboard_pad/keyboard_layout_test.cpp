// The keyboard layout data: every table names each key where it must, and the default key codes
// find the virtual keyboard's records.

#include "keyboard_pad/keyboard_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string_view>
#include <vector>

#include "emulator/factory_data.h"
#include "keyboard_pad/sync_light_engine.h"

namespace gmd::keyboard {
namespace {

// The keys a table names, holes left out; fails on a key named twice or out of range.
std::vector<uint8_t> KeysOf(std::span<const uint8_t> table) {
    std::vector<uint8_t> keys;
    std::set<uint8_t> seen;
    for (const uint8_t key : table) {
        if (key == kNoKey) {
            continue;
        }
        EXPECT_LT(key, kKeyCount);
        EXPECT_TRUE(seen.insert(key).second) << "key " << int{key} << " twice";
        keys.push_back(key);
    }
    return keys;
}

size_t KeyNamed(std::string_view name) {
    for (size_t k = 0; k < kKeyCount; ++k) {
        if (name == kKeyPlaces[k].name) {
            return k;
        }
    }
    ADD_FAILURE() << name;
    return 0;
}

TEST(KeyboardLayout, EveryTableNamesEachKeyOnceAndAgreesWithThePicture) {
    // Column table: all 126 keys once, each at the column and row the picture gives it.
    std::vector<uint8_t> flat;
    for (size_t c = 0; c < kColumns; ++c) {
        for (size_t r = 0; r < kRows; ++r) {
            const uint8_t key = kColumnTable[c][r];
            flat.push_back(key);
            if (key != kNoKey) {
                EXPECT_EQ(kKeyPlaces[key].column, c) << kKeyPlaces[key].name;
                EXPECT_EQ(kKeyPlaces[key].row, r) << kKeyPlaces[key].name;
            }
        }
    }
    EXPECT_EQ(KeysOf(flat).size(), kKeyCount);
    // Keys are numbered in reading order: row by row, left to right.
    for (size_t k = 1; k < kKeyCount; ++k) {
        const KeyPlace& a = kKeyPlaces[k - 1];
        const KeyPlace& b = kKeyPlaces[k];
        EXPECT_TRUE(a.row < b.row || (a.row == b.row && a.column < b.column)) << b.name;
    }

    // Frame positions distinct and inside the 378 bytes.
    EXPECT_EQ(KeysOf(kKeyToFrame).size(), kKeyCount);
    for (const uint8_t f : kKeyToFrame) {
        EXPECT_LE(3u * f + 2, kFrameSize - 1);
    }

    // The orders are permutations of what they visit, and nest as the modes use them.
    EXPECT_EQ(KeysOf(kKeyOrder).size(), kKeyCount);
    const std::set<uint8_t> first104(kKeyOrder.begin(), kKeyOrder.begin() + kStandardKeys);
    const std::set<uint8_t> first106(kKeyOrder.begin(), kKeyOrder.begin() + kSnakeLength);
    const std::set<uint8_t> first111(kKeyOrder.begin(), kKeyOrder.begin() + kPulseKeys);
    EXPECT_EQ(KeysOf(kSnakePath).size(), kSnakeLength);
    EXPECT_EQ(std::set<uint8_t>(kSnakePath.begin(), kSnakePath.end()), first106);
    EXPECT_EQ(KeysOf(kSecondKeyOrder).size(), kPulseKeys);
    EXPECT_EQ(std::set<uint8_t>(kSecondKeyOrder.begin(), kSecondKeyOrder.end()), first111);
    std::array<uint8_t, kStandardKeys> sorted = kRandomOrder;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < sorted.size(); ++i) {
        EXPECT_EQ(sorted[i], i);
    }
    EXPECT_NE(kRandomOrder[0] + 1, kRandomOrder[1]);  // not the identity
    // The standard keys are the full-size ANSI set: every one has a keyboard usage.
    for (const uint8_t key : first104) {
        EXPECT_EQ(kDefaultKeyCodes[key].kind, 0x20) << kKeyPlaces[key].name;
        EXPECT_NE(kKeyPlaces[key].column, 0) << kKeyPlaces[key].name;
    }

    // The snake moves between neighbours in a row, or down one row at an end.
    for (size_t i = 1; i < kSnakeLength; ++i) {
        const KeyPlace& a = kKeyPlaces[kSnakePath[i - 1]];
        const KeyPlace& b = kKeyPlaces[kSnakePath[i]];
        EXPECT_TRUE(a.row == b.row || b.row == a.row + 1) << a.name << " -> " << b.name;
    }

    // The grid holds every key once, its bands running from the top left to the bottom right.
    std::vector<uint8_t> grid;
    int lastDiagonal = -1;
    for (const auto& band : kDiagonalGrid) {
        int low = 1000;
        int high = -1;
        for (const uint8_t key : band) {
            grid.push_back(key);
            if (key != kNoKey) {
                const int d = kKeyPlaces[key].column + kKeyPlaces[key].row;
                low = std::min(low, d);
                high = std::max(high, d);
            }
        }
        EXPECT_GE(low, lastDiagonal);
        lastDiagonal = high;
    }
    EXPECT_EQ(KeysOf(grid).size(), kKeyCount);

    // Mode 6's script stays inside the keyboard.
    for (const uint8_t row : kRowSweep) {
        EXPECT_LT(row, kRows);
    }
    for (const auto& pair : kColumnPairs) {
        EXPECT_LT(pair[0], kColumns);
        EXPECT_EQ(pair[0] + pair[1], kColumns - 1);
    }
    // Default codes are distinct (the key-index map takes the first match).
    std::set<std::array<uint8_t, 3>> codes;
    for (const KeyCode& code : kDefaultKeyCodes) {
        if (code.kind != 0) {
            EXPECT_TRUE(codes.insert({code.kind, code.arg1, code.arg2}).second);
        }
    }
}

TEST(KeyboardLayout, KeyIndexMapFindsTheVirtualKeyboardsRecords) {
    const std::vector<uint8_t> image = emu::FactoryKeyTable(DeviceKind::Keyboard);
    const std::array<uint8_t, kKeyCount> map = BuildKeyIndexMap(image, kKeyCount);
    // The 106 keys of a full-size ISO/ANSI keyboard carry records; macro keys, media keys and
    // Fn have none on the factory keyboard.
    std::set<uint8_t> records;
    for (size_t p = 0; p < kKeyCount; ++p) {
        const bool standard = std::find(kKeyOrder.begin(), kKeyOrder.begin() + kSnakeLength, p) !=
                              kKeyOrder.begin() + kSnakeLength;
        if (!standard) {
            EXPECT_EQ(map[p], kNoKey) << kKeyPlaces[p].name;
            continue;
        }
        ASSERT_NE(map[p], kNoKey) << kKeyPlaces[p].name;
        const size_t j = map[p];
        EXPECT_EQ(image[3 * j], kDefaultKeyCodes[p].kind);
        EXPECT_EQ(image[3 * j + 1], kDefaultKeyCodes[p].arg1);
        EXPECT_EQ(image[3 * j + 2], kDefaultKeyCodes[p].arg2);
        records.insert(map[p]);
    }
    EXPECT_EQ(records.size(), kSnakeLength);
    // A usage: 'A' is the first record the factory table carries; Left Ctrl the first modifier.
    const size_t a = KeyNamed("A");
    EXPECT_EQ(map[a], 0);
    EXPECT_EQ(map[KeyNamed("Left Ctrl")], 98);
    EXPECT_EQ(map[KeyNamed("Fn")], kNoKey);

    // Only records below the key count are looked at, and the first match wins.
    std::vector<uint8_t> twice = image;
    std::copy_n(image.begin(), 3, twice.begin() + 3 * 120);  // 'A' again at record 120
    twice[0] = 0x05;
    EXPECT_EQ(BuildKeyIndexMap(twice, kKeyCount)[a], 120);
    EXPECT_EQ(BuildKeyIndexMap(twice, 100)[a], kNoKey);
    EXPECT_EQ(BuildKeyIndexMap(std::span<const uint8_t>(image).first(30), kKeyCount)[a], 0);
    EXPECT_EQ(BuildKeyIndexMap({}, kKeyCount)[a], kNoKey);
}

TEST(KeyboardLayout, SynchronisedWaveGivesTheKeyboardItsFrameByColumn) {
    sync_light::SyncEffectState state;
    const sync_light::SyncFields fields{0, 4, 0, 1, 255, 0, 0, 0};
    const sync_light::SyncStepResult step =
        sync_light::StepSyncLight(state, fields, {true, true, true}, &SyncFrameLayout());
    ASSERT_TRUE(step.ran);
    ASSERT_EQ(step.frames.keyboard.size(), sync_light::kKeyboardFrameSize);
    EXPECT_EQ(step.frames.mouse.size(), sync_light::kMouseFrameSize);
    EXPECT_EQ(step.frames.mousepad.size(), sync_light::kMousepadFrameSize);
    // Column c takes wheel entry 1 + 7c; each key's bytes sit at its LED position.
    for (size_t k = 0; k < kKeyCount; ++k) {
        const light::Rgb colour = light::kHueWheel[(1u + 7u * kKeyPlaces[k].column) % 192];
        const size_t f = kKeyToFrame[k];
        EXPECT_EQ(step.frames.keyboard[3 * f], colour.red) << kKeyPlaces[k].name;
        EXPECT_EQ(step.frames.keyboard[3 * f + 1], colour.green) << kKeyPlaces[k].name;
        EXPECT_EQ(step.frames.keyboard[3 * f + 2], colour.blue) << kKeyPlaces[k].name;
        EXPECT_EQ(state.keyboard[k], light::MakeLed(colour, 255));
    }
}

}  // namespace
}  // namespace gmd::keyboard
