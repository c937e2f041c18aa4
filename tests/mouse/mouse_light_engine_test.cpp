// The mouse lighting engine step by step: given state and fields, exact LEDs and frame bytes.

#include "mouse/mouse_light_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "mouse/light_tables.h"

namespace gmd::mouse {
namespace {

using light::kHueWheel;
using light::kPulse;
using light::Led;

LightFields Fields(uint8_t mode, uint8_t brightness = 4, uint8_t direction = 0,
                   uint8_t colourCycle = 0, light::Rgb colour = {200, 100, 50}) {
    LightFields f;
    f.mode = mode;
    f.brightness = brightness;
    f.speed = 2;
    f.direction = direction;
    f.colourCycle = colourCycle;
    f.red = colour.red;
    f.green = colour.green;
    f.blue = colour.blue;
    return f;
}

TEST(LightTables, ShapesAsGiven) {
    for (size_t n = 0; n < 64; ++n) {
        EXPECT_EQ(kPulse[64 + n], kPulse[63 - n]) << n;
    }
    EXPECT_EQ(kPulse[0], 0);
    EXPECT_EQ(kPulse[10], 10);
    EXPECT_EQ(kPulse[11], 12);
    EXPECT_EQ(kPulse[125], 2);
    // Segment seams of the hue wheel: every segment starts where the one before ends.
    EXPECT_EQ(kHueWheel[0], (light::Rgb{255, 1, 0}));
    EXPECT_EQ(kHueWheel[31], (light::Rgb{255, 255, 0}));
    EXPECT_EQ(kHueWheel[32], (light::Rgb{248, 255, 0}));
    EXPECT_EQ(kHueWheel[63], (light::Rgb{0, 255, 0}));
    EXPECT_EQ(kHueWheel[127], (light::Rgb{0, 0, 255}));
    EXPECT_EQ(kHueWheel[191], (light::Rgb{255, 0, 0}));
    EXPECT_EQ(light::kGradientWheel[100], kHueWheel[100]);
    EXPECT_EQ(light::kGradientWheel[192], (light::Rgb{0, 0, 0}));
    EXPECT_EQ(light::kPulse2.front(), 22);
    EXPECT_EQ(light::kPulse2[47], 255);
    EXPECT_TRUE(std::is_sorted(light::kPulse2.begin(), light::kPulse2.begin() + 48));
    EXPECT_TRUE(std::equal(light::kPulse2.begin(), light::kPulse2.end(), light::kPulse2.rbegin()));
    // A brightness beyond 0-4 is read as the brightest, never past the table.
    EXPECT_EQ(light::BrightnessLevel(2), 149);
    EXPECT_EQ(light::BrightnessLevel(200), 255);
}

TEST(MouseLightEngine, StepAndFade) {
    MouseEffectState s;
    EXPECT_EQ(Step(s, 0, 192), 191);  // backwards from 0 wraps
    EXPECT_EQ(Step(s, 1, 192), 0);    // forwards from n - 1 wraps
    s.position = 150;                 // left there by a mode with a longer cycle
    EXPECT_EQ(Step(s, 0, 17), 16);
    s.position = 150;
    EXPECT_EQ(Step(s, 1, 17), 0);

    struct FadeCase {
        uint8_t before;
        uint8_t after;
    };
    for (const FadeCase c : {FadeCase{254, 239}, FadeCase{128, 113}, FadeCase{127, 117},
                             FadeCase{64, 54}, FadeCase{63, 56}, FadeCase{32, 25}, FadeCase{31, 28},
                             FadeCase{17, 14}, FadeCase{16, 15}, FadeCase{1, 0}, FadeCase{0, 0}}) {
        s.trail[3] = c.before;
        Fade(s, 3);
        EXPECT_EQ(s.trail[3], c.after) << int{c.before};
    }
    s.position = 9;
    ResetEffects(s);
    EXPECT_EQ(s.position, 0);
    EXPECT_EQ(s.trail[3], 0);
}

// The cases with exact results.
TEST(MouseLightEngine, ModesGiveExactLeds) {
    struct Case {
        const char* name;
        LightFields fields;
        std::function<void(MouseEffectState&)> setUp;
        bool flash;
        std::function<void(const MouseEffectState&, const LightFields&, const MouseFrame&)> check;
    };
    const Case cases[] = {
        {"brightness 2 at the pulse peak: alpha 149, red 200 gives 116", Fields(4, 2, 1),
         [](MouseEffectState& s) { s.position = 62; }, false,
         [](const MouseEffectState& s, const LightFields&, const MouseFrame& frame) {
             EXPECT_EQ(s.position, 63);
             EXPECT_EQ(s.leds[0], (Led{200, 100, 50, 149}));
             EXPECT_EQ(frame[0], 116);
             EXPECT_EQ(frame[1], 58);
             EXPECT_EQ(frame[2], 29);
         }},
        {"mode 2 backwards steps the wheel from 0 to 191", Fields(2, 4, 0), nullptr, false,
         [](const MouseEffectState& s, const LightFields&, const MouseFrame&) {
             EXPECT_EQ(s.position, 191);
             for (size_t i = 0; i < kMouseModeLeds; ++i) {
                 EXPECT_EQ(s.leds[i], light::MakeLed(kHueWheel[191], 255));
             }
         }},
        {"mode 3 forwards from 395 wraps to 2", Fields(3, 4, 1),
         [](MouseEffectState& s) { s.gradientPhase = 395; }, false,
         [](const MouseEffectState& s, const LightFields&, const MouseFrame&) {
             EXPECT_EQ(s.gradientPhase, 2);
             EXPECT_EQ(s.leds[0], light::MakeLed(light::kGradientWheel[2], 255 * 17 / 256));
             EXPECT_EQ(s.leds[16], light::MakeLed(light::kGradientWheel[(2 + 16 * 21) % 400],
                                                  255 * (14 * 16 + 17) / 256));
         }},
        {"mode 3 backwards below 0", Fields(3, 4, 0),
         [](MouseEffectState& s) { s.gradientPhase = 3; }, false,
         [](const MouseEffectState& s, const LightFields&, const MouseFrame&) {
             EXPECT_EQ(s.gradientPhase, 399);
         }},
        {"mode 6 without a request is dark", Fields(6), nullptr, false,
         [](const MouseEffectState&, const LightFields&, const MouseFrame& frame) {
             EXPECT_EQ(frame, MouseFrame{});
         }},
        {"mode 6 after a request reads the pulse at 125", Fields(6, 4, 0, 255), nullptr, true,
         [](const MouseEffectState& s, const LightFields&, const MouseFrame&) {
             EXPECT_EQ(s.envelope, 125);
             EXPECT_TRUE(s.flashActive);
             EXPECT_EQ(s.flashColour, 16);
             EXPECT_EQ(s.leds[5],
                       light::MakeLed(kHueWheel[16],
                                      static_cast<uint8_t>(255 * (kPulse[125] + 1) / 256)));
         }},
        {"mode 6 ends its flash at 3 or below", Fields(6),
         [](MouseEffectState& s) {
             s.flashActive = true;
             s.envelope = 6;
         },
         false,
         [](const MouseEffectState& s, const LightFields&, const MouseFrame&) {
             EXPECT_EQ(s.envelope, 3);
             EXPECT_FALSE(s.flashActive);
         }},
        {"mode 1: the new head has faded to 239, the one before to 224", Fields(1, 4, 1),
         [](MouseEffectState& s) {
             s.position = 5;
             s.trail[5] = 239;
         },
         false,
         [](const MouseEffectState& s, const LightFields&, const MouseFrame&) {
             EXPECT_EQ(s.position, 4);  // the head runs against the direction
             EXPECT_EQ(s.trail[4], 239);
             EXPECT_EQ(s.trail[5], 224);
             EXPECT_EQ(s.leds[4], (Led{200, 100, 50, 255 * 239 / 256}));
             EXPECT_EQ(s.leds[6].alpha, 0);
         }},
        {"mode 1 cycles the seven colours B each time the head passes LED 0", Fields(1, 4, 0, 255),
         [](MouseEffectState& s) { s.position = 16; }, false,
         [](const MouseEffectState& s, const LightFields&, const MouseFrame&) {
             EXPECT_EQ(s.position, 0);
             EXPECT_EQ(s.cycleColour1, 1);
             EXPECT_EQ(s.leds[0], light::MakeLed(light::kSevenColoursB[1], 255 * 239 / 256));
         }},
        {"mode 0 colour cycle: LED i 15 wheel entries further", Fields(0, 4, 1, 255),
         [](MouseEffectState& s) { s.position = 180; }, false,
         [](const MouseEffectState& s, const LightFields&, const MouseFrame&) {
             EXPECT_EQ(s.position, 181);
             for (size_t i = 0; i < kMouseModeLeds; ++i) {
                 EXPECT_EQ(s.leds[i], light::MakeLed(kHueWheel[(181 + 15 * i) % 192], 255)) << i;
             }
         }},
        {"mode 0 single colour on the six groups", Fields(0, 0, 0), nullptr, false,
         [](const MouseEffectState& s, const LightFields&, const MouseFrame& frame) {
             EXPECT_EQ(s.position, 95);
             EXPECT_EQ(s.leds[16], (Led{200, 100, 50, 45}));
             EXPECT_EQ(frame[48], 200 * 45 / 256);
         }},
        {"mode 4 wrap advances the effect phase and the colour", Fields(4, 4, 1, 255),
         [](MouseEffectState& s) {
             s.position = 127;
             s.cycleColour4 = 6;
         },
         false,
         [](const MouseEffectState& s, const LightFields& f, const MouseFrame& frame) {
             EXPECT_EQ(s.position, 0);
             EXPECT_EQ(f.effectPhase, 0);  // from 2
             EXPECT_EQ(s.cycleColour4, 0);
             EXPECT_EQ(s.leds[0], light::MakeLed(light::kSevenColoursA[0], 0));
             EXPECT_EQ(frame, MouseFrame{});
         }},
        {"mode 5 static, whole frame", Fields(5, 2), nullptr, false,
         [](const MouseEffectState&, const LightFields&, const MouseFrame& frame) {
             MouseFrame expected{};
             for (size_t i = 0; i < 17; ++i) {
                 expected[3 * i] = 116;
                 expected[3 * i + 1] = 58;
                 expected[3 * i + 2] = 29;
             }
             EXPECT_EQ(frame, expected);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MouseEffectState state;
        if (c.setUp) {
            c.setUp(state);
        }
        LightFields fields = c.fields;
        if (fields.mode == 4) {
            fields.effectPhase = 2;
        }
        ASSERT_TRUE(StepMouseLight(state, fields, c.flash));
        c.check(state, fields, BuildMouseFrame(state.leds));
    }
}

TEST(MouseLightEngine, UnknownModeChangesNothingAndFlashWaitsForMode6) {
    MouseEffectState state;
    state.leds[3] = Led{1, 2, 3, 4};
    state.position = 7;
    LightFields fields = Fields(7);
    EXPECT_FALSE(StepMouseLight(state, fields, true));
    EXPECT_EQ(state.position, 7);
    EXPECT_EQ(state.leds[3], (Led{1, 2, 3, 4}));
    EXPECT_FALSE(state.flashActive);
}

// Light fields come from the device and from profile files: any byte values, and a state left
// by another mode, stay inside the tables (the sanitizer builds check the reads).
TEST(MouseLightEngine, AnyFieldsAndLeftoverStateStayInBounds) {
    for (int mode = 0; mode < 8; ++mode) {
        for (const int brightness : {0, 4, 5, 255}) {
            for (const int position : {0, 16, 17, 95, 127, 191, 255}) {
                MouseEffectState state;
                state.position = static_cast<uint8_t>(position);
                state.gradientPhase = 65535;
                state.flashColour = 255;
                state.cycleColour1 = 200;
                state.cycleColour4 = 200;
                LightFields fields =
                    Fields(static_cast<uint8_t>(mode), static_cast<uint8_t>(brightness), 255, 255);
                fields.effectPhase = 255;
                for (int step = 0; step < 3; ++step) {
                    StepMouseLight(state, fields, true);
                }
                EXPECT_EQ(state.leds[17], Led{});  // the mouse modes leave 17-19 alone
                if (mode == 5) {
                    EXPECT_EQ(
                        state.leds[0].alpha,
                        light::BrightnessLevel(static_cast<uint8_t>(std::min(brightness, 4))));
                }
            }
        }
    }
}

TEST(MouseLightEngine, PeriodsAndFields) {
    struct PeriodCase {
        uint8_t mode;
        uint8_t speed;
        int ms;
    };
    for (const PeriodCase c : {PeriodCase{0, 0, 3}, PeriodCase{1, 0, 43}, PeriodCase{3, 2, 47},
                               PeriodCase{4, 0, 8}, PeriodCase{6, 4, 51}}) {
        LightFields f = Fields(c.mode);
        f.speed = c.speed;
        EXPECT_EQ(MouseStepPeriodMs(f), c.ms) << int{c.mode} << ' ' << int{c.speed};
    }

    LiveBlock live{};
    for (size_t i = 1; i <= 9; ++i) {
        live[i] = static_cast<uint8_t>(10 * i);
    }
    LightFields f = ReadLightFields(live);
    EXPECT_EQ(f.mode, 10);
    EXPECT_EQ(f.blue, 80);
    EXPECT_EQ(f.effectPhase, 90);
    f.effectPhase = 1;
    WriteEffectPhase(live, f);
    EXPECT_EQ(live[live::effectPhase], 1);
    EXPECT_EQ(live[live::lightBlue], 80);

    // Choosing mode 0 turns the colour cycle on; another mode leaves it.
    LightFields chosen = Fields(5);
    ApplyModeChoice(chosen, 0);
    EXPECT_EQ(chosen.mode, 0);
    EXPECT_EQ(chosen.colourCycle, 255);
    chosen.colourCycle = 0;
    ApplyModeChoice(chosen, 4);
    EXPECT_EQ(chosen.colourCycle, 0);
}

}  // namespace
}  // namespace gmd::mouse
