// The keyboard lighting engine: the modes whose arithmetic is fixed, exact per key; the frame;
// the step periods; and every mode kept inside its tables.

#include "keyboard_pad/keyboard_light_engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace gmd::keyboard {
namespace {

using light::kHueWheel;
using light::Led;
using light::MakeLed;

const std::array<uint8_t, kFrameSize> kNoCustom{};

KeyboardLightFields Fields(uint8_t mode, uint8_t direction, uint8_t cycle, uint8_t brightness = 4) {
    return {mode, brightness, 0, direction, cycle, 200, 100, 50};
}

uint8_t Alpha(unsigned level, unsigned factor) {
    return static_cast<uint8_t>(level * factor / 256);
}

Led Hue(size_t p, uint8_t alpha = 255) {
    return MakeLed(kHueWheel[p % 192], alpha);
}

Led User(uint8_t alpha) {
    return Led{200, 100, 50, alpha};
}

size_t Column(size_t key) {
    return kKeyPlaces[key].column;
}

size_t Band(size_t key) {
    for (size_t i = 0; i < kGridSize; ++i) {
        for (const uint8_t k : kDiagonalGrid[i]) {
            if (k == key) {
                return i;
            }
        }
    }
    ADD_FAILURE() << key;
    return 0;
}

struct StepCase {
    std::string what;
    KeyboardLightFields fields;
    uint8_t startPosition;
    uint8_t position;  // after the step
    std::function<Led(size_t key)> expected;
};

TEST(KeyboardLightEngine, FixedModesLightEachKeyExactly) {
    const std::vector<StepCase> cases = {
        {"0 wave, cycle: column c at wheel p + 7c", Fields(0, 1, 255), 191, 0,
         [](size_t k) { return Hue(7 * Column(k)); }},
        {"0 wave, one colour: pulse table 2, 10 further per column", Fields(0, 0, 0), 0, 95,
         [](size_t k) { return User(Alpha(255, light::kPulse2[(95 + 10 * Column(k)) % 96])); }},
        {"1 spectrum backwards", Fields(1, 0, 0, 2), 5, 4, [](size_t) { return Hue(4, 149); }},
        {"1 spectrum wraps forwards", Fields(1, 1, 0), 191, 0, [](size_t) { return Hue(0); }},
        {"2 breathing, cycle: wheel p + 50 at the pulse", Fields(2, 1, 255), 62, 63,
         [](size_t) { return Hue(113, Alpha(255, light::kPulse[63])); }},
        {"2 breathing, one colour at the pulse's floor", Fields(2, 1, 0), 127, 0,
         [](size_t) { return User(0); }},
        {"2 breathing backwards", Fields(2, 0, 0, 1), 0, 127,
         [](size_t) { return User(Alpha(97, light::kPulse[127])); }},
        {"3 static", Fields(3, 0, 0, 2), 7, 7, [](size_t) { return User(149); }},
        {"13 diagonal forwards by 4", Fields(13, 1, 0), 190, 2,
         [](size_t k) { return Hue(2 + 21 * (Band(k) + 1)); }},
        {"13 diagonal back by 2", Fields(13, 0, 0, 0), 1, 191,
         [](size_t k) { return Hue(191 + 21 * (Band(k) + 1), 45); }},
        {"14 column wave, cycle: wheel p + 2c", Fields(14, 0, 255), 191, 0,
         [](size_t k) { return Hue(2 * Column(k)); }},
        {"14 column wave, one colour: the key pulse 5 further per column", Fields(14, 1, 0), 95, 0,
         [](size_t k) { return User(Alpha(255, kKeyPulse[(5 * Column(k)) % 96])); }},
    };
    for (const StepCase& c : cases) {
        KeyboardEffectState state;
        state.position = c.startPosition;
        ASSERT_TRUE(StepKeyboardLight(state, c.fields, kNoCustom)) << c.what;
        EXPECT_EQ(state.position, c.position) << c.what;
        for (size_t k = 0; k < kKeyCount; ++k) {
            ASSERT_EQ(state.leds[k], c.expected(k)) << c.what << ", key " << kKeyPlaces[k].name;
        }
    }
}

TEST(KeyboardLightEngine, OwnHuesAreSeededKeyByKeyAndWrapAt192) {
    KeyboardEffectState state;
    ChooseKeyboardMode(state, 4);
    ASSERT_TRUE(StepKeyboardLight(state, Fields(4, 0, 0), kNoCustom));
    // Seeds 0, 33, 66, 99, 132, 165, then 165 + 97 wraps to 6, then 39 ...; each steps by one.
    const std::array<uint8_t, 8> hues = {1, 34, 67, 100, 133, 166, 7, 40};
    for (size_t k = 0; k < hues.size(); ++k) {
        EXPECT_EQ(state.leds[k], Hue(hues[k])) << k;
    }
    state.hues[0] = 191;
    state.hues[1] = 210;  // a seed beyond the wheel
    StepKeyboardLight(state, Fields(4, 0, 0), kNoCustom);
    EXPECT_EQ(state.hues[0], 0);
    EXPECT_EQ(state.hues[1], 0);
    EXPECT_EQ(state.leds[2], Hue(68));
}

TEST(KeyboardLightEngine, FramePlacesEachKeyAtItsLedPosition) {
    KeyLeds leds{};
    leds[5] = Led{200, 100, 0, 149};
    leds[125] = Led{255, 255, 255, 255};
    const KeyboardFrame frame = BuildKeyboardFrame(leds);
    const size_t f = kKeyToFrame[5];
    EXPECT_EQ(frame[3 * f], 116);  // 200 x 149 / 256
    EXPECT_EQ(frame[3 * f + 1], 58);
    EXPECT_EQ(frame[3 * f + 2], 0);
    EXPECT_EQ(frame[3u * kKeyToFrame[125] + 2], 254);
    size_t lit = 0;
    for (const uint8_t byte : frame) {
        lit += byte != 0 ? 1u : 0u;
    }
    EXPECT_EQ(lit, 5u);

    // Custom colours: each key shows the bytes at its LED position, at the brightness level.
    std::array<uint8_t, kFrameSize> custom{};
    custom[3u * kKeyToFrame[7]] = 10;
    custom[3u * kKeyToFrame[7] + 2] = 30;
    KeyboardEffectState state;
    StepKeyboardLight(state, Fields(8, 0, 0, 4), custom);
    EXPECT_EQ(state.leds[7], (Led{10, 0, 30, 255}));
    EXPECT_EQ(state.leds[8], (Led{0, 0, 0, 255}));
}

TEST(KeyboardLightEngine, StepPeriodBySpeedAndExtraSleep) {
    struct Case {
        uint8_t mode, speed;
        int ms;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 2},
                                           {4, 0, 3 + 12},
                                           {7, 0, 3 + 1},
                                           {12, 0, 3},
                                           {3, 0, 9},
                                           {1, 0, 9 + 20},
                                           {0, 1, 13},
                                           {5, 2, 27 + 40},
                                           {6, 3, 37 + 15},
                                           {13, 1, 13 + 10},
                                           {15, 4, 45 + 50},
                                           {16, 9, 45}}) {
        KeyboardLightFields fields = Fields(c.mode, 0, 0);
        fields.speed = c.speed;
        EXPECT_EQ(KeyboardStepPeriodMs(fields), c.ms) << int{c.mode} << "/" << int{c.speed};
    }
}

TEST(KeyboardLightEngine, ReactiveKeysRipplesAndSparkles) {
    // A clicked key lights at full level with the next hue; the step fades it once.
    KeyboardEffectState state;
    ReactToKey(state, 40);
    ReactToKey(state, 400);  // not a key: ignored
    StepKeyboardLight(state, Fields(9, 0, 255), kNoCustom);
    EXPECT_EQ(state.levels[40], 240);
    EXPECT_EQ(state.leds[40].red, kHueWheel[10].red);
    // The sparkle lit three keys of the random order too, in turn.
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(state.levels[kKeyOrder[kRandomOrder[i]]], 240) << i;
    }
    EXPECT_EQ(state.sparkleIndex, 3);

    // Mode 5 starts below column 9: the next step lights the bottom row beside it.
    KeyboardEffectState ripple;
    ChooseKeyboardMode(ripple, 5);
    const uint8_t space = kColumnTable[8][5];
    StepKeyboardLight(ripple, Fields(5, 0, 0), kNoCustom);
    EXPECT_EQ(ripple.levels[space], 0);
    StepKeyboardLight(ripple, Fields(5, 0, 0), kNoCustom);
    EXPECT_EQ(ripple.levels[space], 240);
    // ... and keeps running by itself.
    for (int n = 0; n < 300; ++n) {
        StepKeyboardLight(ripple, Fields(5, 0, 255), kNoCustom);
        const bool anyLit = std::any_of(ripple.levels.begin(), ripple.levels.end(),
                                        [](uint8_t level) { return level != 0; });
        ASSERT_TRUE(anyLit) << n;
    }

    // Mode 15 needs no seed and lights only the first 111 keys of the second order.
    KeyboardEffectState second;
    ChooseKeyboardMode(second, 15);
    bool lit = false;
    for (int n = 0; n < 200; ++n) {
        StepKeyboardLight(second, Fields(15, 0, 0), kNoCustom);
        for (size_t r = 0; r < kRows; ++r) {
            ASSERT_EQ(second.levels[kColumnTable[0][r]], 0);  // macro keys stay dark
        }
        lit = lit || std::any_of(second.levels.begin(), second.levels.end(),
                                 [](uint8_t level) { return level != 0; });
    }
    EXPECT_TRUE(lit);
}

TEST(KeyboardLightEngine, EveryModeStaysInsideItsTablesWhateverTheState) {
    // Leftover state from other modes and foreign field values: no step reads past a table
    // (the sanitizer build checks), and a mode beyond 16 changes nothing.
    KeyboardEffectState state;
    state.hues.fill(255);
    state.phases.fill(255);
    state.position = 255;
    state.scriptStep = 200;
    state.sparkleIndex = 250;
    for (auto& plane : state.planes) {
        plane.fill(0xFF);
    }
    for (uint8_t mode = 0; mode < kKeyboardLightModes; ++mode) {
        for (int n = 0; n < 400; ++n) {
            KeyboardLightFields fields{mode, 9, 9, static_cast<uint8_t>(n % 3), 255, 1, 2, 3};
            ASSERT_TRUE(StepKeyboardLight(state, fields, kNoCustom)) << int{mode};
            BuildKeyboardFrame(state.leds);
        }
    }
    const KeyLeds before = state.leds;
    EXPECT_FALSE(StepKeyboardLight(state, Fields(17, 0, 0), kNoCustom));
    EXPECT_EQ(state.leds, before);
}

}  // namespace
}  // namespace gmd::keyboard
