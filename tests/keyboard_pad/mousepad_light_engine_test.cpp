// The mousepad lighting engine: the nine modes exact per LED and frame byte, frame sizes and
// step periods.

#include "keyboard_pad/mousepad_light_engine.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace gmd::mousepad {
namespace {

using light::kHueWheel;
using light::Led;
using light::MakeLed;

PadLightFields Fields(uint8_t mode, uint8_t direction = 0, uint8_t cycle = 0,
                      uint8_t brightness = 4, uint8_t speed = 0) {
    return {mode, brightness, speed, direction, cycle, 200, 100, 50};
}

// Frame bytes of one LED: the colour x (level + 1) / 256 [x (factor + 1) / 256].
std::array<uint8_t, 3> Bytes(light::Rgb c, unsigned level, int factor = -1) {
    const auto scale = [&](unsigned v) {
        v = v * (level + 1) / 256;
        if (factor >= 0) {
            v = v * (static_cast<unsigned>(factor) + 1) / 256;
        }
        return static_cast<uint8_t>(v);
    };
    return {scale(c.red), scale(c.green), scale(c.blue)};
}

std::array<uint8_t, 3> FrameLed(const std::vector<uint8_t>& frame, size_t i) {
    return {frame[3 * i], frame[3 * i + 1], frame[3 * i + 2]};
}

std::set<size_t> LitLeds(const PadEffectState& state) {
    std::set<size_t> lit;
    for (size_t i = 0; i < kPadLeds; ++i) {
        if (state.leds[i].alpha != 0) {
            lit.insert(i);
        }
    }
    return lit;
}

TEST(MousepadLightEngine, FrameSizesPeriodsAndSimpleModes) {
    struct Case {
        uint8_t mode, speed;
        size_t size;
        int periodMs;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 45, 9},
                                           {1, 1, 45, 13},
                                           {2, 2, 60, 17},
                                           {3, 3, 60, 21},
                                           {4, 4, 45, 25 + 140},
                                           {5, 0, 45, 9 + 50},
                                           {6, 1, 45, 13},
                                           {8, 4, 60, 25}}) {
        PadEffectState state;
        const PadStepResult step = StepPadLight(state, Fields(c.mode, 0, 0, 4, c.speed), false, 0);
        ASSERT_TRUE(step.ran && step.sendFrame) << int{c.mode};
        EXPECT_EQ(step.frame.size(), c.size) << int{c.mode};
        EXPECT_EQ(step.periodMs, c.periodMs) << int{c.mode};
        for (size_t b = 45; b < step.frame.size(); ++b) {
            EXPECT_EQ(step.frame[b], 0);
        }
    }
    PadEffectState state;
    EXPECT_FALSE(StepPadLight(state, Fields(9), false, 0).ran);

    // Static at level 149: the frame is scaled by 150 / 256, the preview keeps the colour.
    PadStepResult step = StepPadLight(state, Fields(3, 0, 0, 2), false, 0);
    EXPECT_EQ(FrameLed(step.frame, 14), Bytes({200, 100, 50}, 149));
    EXPECT_EQ(FrameLed(step.frame, 14)[0], 117);
    EXPECT_EQ(state.leds[14], (Led{200, 100, 50, 149}));

    // Wave, cycle on: LED i at wheel p + 7i.
    state.position = 191;
    step = StepPadLight(state, Fields(0, 1, 255), false, 0);
    EXPECT_EQ(state.leds[3], MakeLed(kHueWheel[21], 255));
    EXPECT_EQ(FrameLed(step.frame, 3), Bytes(kHueWheel[21], 255));
    // Off: the user colour over pulse table 2, ten entries further per LED, in the frame too.
    state.position = 0;
    step = StepPadLight(state, Fields(0, 0, 0, 3), false, 0);
    EXPECT_EQ(state.position, 95);
    const uint8_t pulse = light::kPulse2[(95 + 20) % 96];
    EXPECT_EQ(state.leds[2], (Led{200, 100, 50, static_cast<uint8_t>(201 * pulse / 256)}));
    EXPECT_EQ(FrameLed(step.frame, 2), Bytes({200, 100, 50}, 201, pulse));

    // Breathing: the pulse scales the frame as well as the preview.
    state.position = 127;
    step = StepPadLight(state, Fields(2, 1, 0), false, 0);
    EXPECT_EQ(FrameLed(step.frame, 0), (std::array<uint8_t, 3>{0, 0, 0}));
    state.position = 62;
    step = StepPadLight(state, Fields(2, 1, 255), false, 0);
    EXPECT_EQ(FrameLed(step.frame, 0), Bytes(kHueWheel[113], 255, 255));

    // Columns: the left edge (0-4) shares column 0's colour, the right edge (10-14) column 6's.
    state.position = 0;
    step = StepPadLight(state, Fields(6, 1, 0), false, 0);
    for (size_t i = 0; i < kPadLeds; ++i) {
        const size_t column = i <= 4 ? 0 : (i >= 10 ? 6 : i - 4);
        EXPECT_EQ(state.leds[i], MakeLed(kHueWheel[1 + 7 * column], 255)) << i;
    }
}

TEST(MousepadLightEngine, BouncingBarRunsUpAndDownThroughMinusOne) {
    PadEffectState state;
    std::vector<int> counts;
    for (int n = 0; n < 34; ++n) {
        const PadStepResult step = StepPadLight(state, Fields(4, 1, 255), false, 0);
        counts.push_back(state.barCount);
        // With the direction set LED i is lit when N < i; colours advance by 7 per LED.
        for (size_t i = 0; i < kPadLeds; ++i) {
            const bool lit = state.barCount < static_cast<int>(i);
            EXPECT_EQ(state.leds[i], lit ? MakeLed(kHueWheel[7 * i], 255) : Led{}) << n;
            EXPECT_EQ(FrameLed(step.frame, i),
                      (lit ? Bytes(kHueWheel[7 * i], 255) : std::array<uint8_t, 3>{}));
        }
    }
    const std::vector<int> expected = {1,  2,  3,  4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 14, 13,
                                       12, 11, 10, 9, 8, 7, 6, 5, 4, 3,  2,  1,  0,  -1, 0,  1,  2};
    EXPECT_EQ(counts, expected);
    // At N = -1 every LED is lit with the direction set, none without; the reverse at 15.
    state.barCount = 0;
    state.barFalling = true;
    StepPadLight(state, Fields(4, 0, 0), false, 0);
    EXPECT_TRUE(LitLeds(state).empty());
    state.barCount = 14;
    state.barFalling = false;
    StepPadLight(state, Fields(4, 0, 0), false, 0);
    EXPECT_EQ(LitLeds(state).size(), 15u);
}

TEST(MousepadLightEngine, TrailFadesBehindTheHead) {
    PadEffectState state;
    ChoosePadMode(state, 5);
    std::vector<uint8_t> led0;
    PadStepResult step;
    for (int n = 0; n < 12; ++n) {
        step = StepPadLight(state, Fields(5, 0, 0, 2), false, 0);
        led0.push_back(state.levels[0]);
    }
    // 255 faded by 30 while bit 7 is set, by 20 with bit 6, 10 with bit 5, then 5 and 1.
    EXPECT_EQ(led0, (std::vector<uint8_t>{225, 195, 165, 135, 105, 85, 65, 45, 35, 25, 20, 15}));
    // The head went one LED up per step: LED 11 was lit in the last step.
    EXPECT_EQ(state.levels[11], 225);
    EXPECT_EQ(state.levels[12], 0);
    EXPECT_EQ(state.headMask[12], 1);
    EXPECT_EQ(state.leds[11], (Led{200, 100, 50, static_cast<uint8_t>(149 * 225 / 256)}));
    EXPECT_EQ(FrameLed(step.frame, 11), Bytes({200, 100, 50}, 149, 225));

    // Direction set: the head runs down, wrapping from LED 0 to 14; the colour cycle gives each
    // lit LED the next hue, 11 further.
    PadEffectState down;
    ChoosePadMode(down, 5);
    StepPadLight(down, Fields(5, 1, 255), false, 0);
    StepPadLight(down, Fields(5, 1, 255), false, 0);
    EXPECT_EQ(down.levels[14], 225);
    EXPECT_EQ(down.hues[0], 11);
    EXPECT_EQ(down.hues[14], 22);
    EXPECT_EQ(down.leds[14], MakeLed(kHueWheel[22], 255 * 225 / 256));
}

TEST(MousepadLightEngine, SlidingBandPausesAndSlidesAcrossTheColumns) {
    PadEffectState state;
    std::vector<std::set<size_t>> columns;
    std::vector<size_t> pauses;
    for (size_t n = 0; n < 33; ++n) {
        const PadStepResult step = StepPadLight(state, Fields(7, 0, 0, 4, 2), false, 0);
        if (!step.sendFrame) {
            EXPECT_EQ(step.periodMs, 17 + 60 + kBandPauseMs);
            pauses.push_back(n);
            continue;
        }
        EXPECT_EQ(step.periodMs, 17 + 60);
        std::set<size_t> lit;
        for (size_t c = 0; c < kPadColumns; ++c) {
            const uint8_t first = kPadColumnLeds[c].front();
            if (state.leds[first].alpha != 0) {
                lit.insert(c);
            }
            for (const uint8_t led : kPadColumnLeds[c]) {
                EXPECT_EQ(state.leds[led], state.leds[first]);
            }
        }
        columns.push_back(lit);
    }
    EXPECT_EQ(pauses, (std::vector<size_t>{0, 15, 31}));
    // In from the left, across, out to the right; then back in from the right.
    EXPECT_EQ(columns[0], (std::set<size_t>{0}));
    EXPECT_EQ(columns[1], (std::set<size_t>{0, 1}));
    EXPECT_EQ(columns[6], (std::set<size_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(columns[7], (std::set<size_t>{2, 3, 4, 5, 6}));
    EXPECT_EQ(columns[11], (std::set<size_t>{6}));
    EXPECT_TRUE(columns[12].empty());
    EXPECT_EQ(columns[14], (std::set<size_t>{4, 5, 6}));
    EXPECT_EQ(columns[16], (std::set<size_t>{3, 4, 5}));

    // Colours: the position steps back once per step, lit columns 20 apart.
    PadEffectState colour;
    StepPadLight(colour, Fields(7, 0, 255), false, 0);  // pause: position 191
    StepPadLight(colour, Fields(7, 0, 255), false, 0);  // 190, column 0 lit
    StepPadLight(colour, Fields(7, 0, 255), false, 0);  // 189, columns 0 and 1
    EXPECT_EQ(colour.leds[0], MakeLed(kHueWheel[189], 255));
    EXPECT_EQ(colour.leds[5], MakeLed(kHueWheel[(189 + 20) % 192], 255));
}

TEST(MousepadLightEngine, ReactiveFlashLastsOneHundredMilliseconds) {
    PadEffectState state;
    PadStepResult step = StepPadLight(state, Fields(8, 0, 255), false, 1000);
    EXPECT_EQ(step.frame, std::vector<uint8_t>(60, 0));
    step = StepPadLight(state, Fields(8, 0, 255), true, 1000);
    EXPECT_EQ(state.leds[7], MakeLed(kHueWheel[14], 255));
    EXPECT_EQ(FrameLed(step.frame, 7), Bytes(kHueWheel[14], 255));
    StepPadLight(state, Fields(8, 0, 255), false, 1099);
    EXPECT_EQ(LitLeds(state).size(), 15u);
    step = StepPadLight(state, Fields(8, 0, 255), false, 1100);
    EXPECT_TRUE(LitLeds(state).empty());
    EXPECT_EQ(step.frame, std::vector<uint8_t>(60, 0));
    // The colour position moves 14 on per flash; beyond 191 it starts again at 0.
    state.flashColour = 182;
    StepPadLight(state, Fields(8, 0, 255), true, 2000);
    EXPECT_EQ(state.flashColour, 0);
    // Without the colour cycle the flash is the user colour.
    StepPadLight(state, Fields(8, 0, 0, 0), true, 3000);
    EXPECT_EQ(state.leds[0], (Led{200, 100, 50, 45}));
}

TEST(MousepadLightEngine, EveryModeStaysInsideItsTablesWhateverTheState) {
    // Leftover state and foreign field values: no step reads past a table (the sanitizer build
    // checks), frames keep their sizes.
    PadEffectState state;
    state.position = 255;
    state.hues.fill(255);
    state.headMask.fill(1);
    state.flashColour = 255;
    state.barCount = 1000;
    state.bandCount = -5;
    state.bandPattern = 0xFFFF;
    for (uint8_t mode = 0; mode < kPadLightModes; ++mode) {
        for (int n = 0; n < 200; ++n) {
            const PadLightFields fields{mode, 9, 9, static_cast<uint8_t>(n % 3), 255, 1, 2, 3};
            const PadStepResult step = StepPadLight(state, fields, n % 7 == 0, n);
            ASSERT_TRUE(step.ran);
            ASSERT_TRUE(!step.sendFrame || step.frame.size() == kShortFrameSize ||
                        step.frame.size() == kLongFrameSize);
        }
    }
}

}  // namespace
}  // namespace gmd::mousepad
