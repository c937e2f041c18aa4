#include "mouse/mouse_light_engine.h"

namespace gmd::mouse {

using light::BrightnessLevel;
using light::Led;
using light::MakeLed;
using light::Rgb;

namespace {

uint8_t Scale(unsigned value, unsigned factor) {
    return static_cast<uint8_t>(value * factor / 256);
}

// Brightness level scaled by a pulse entry. Counting the pulse as (entry + 1) / 256 lets the
// peak of the pulse keep the full level (149 at level 149, not 148).
uint8_t PulseAlpha(uint8_t level, uint8_t pulse) {
    return Scale(level, pulse + 1u);
}

Rgb UserColour(const LightFields& fields) {
    return {fields.red, fields.green, fields.blue};
}

void SetGroups(MouseLeds& leds, Led led) {
    for (const auto& group : light::kLedGroups) {
        for (const uint8_t i : group) {
            leds[i] = led;
        }
    }
}

void SetAll(MouseLeds& leds, Led led) {
    for (size_t i = 0; i < kMouseModeLeds; ++i) {
        leds[i] = led;
    }
}

void ColourWave(MouseEffectState& state, const LightFields& fields) {
    const uint8_t level = BrightnessLevel(fields.brightness);
    if (fields.colourCycle != 0) {
        unsigned p = Step(state, fields.direction, 192);
        for (size_t i = 0; i < kMouseModeLeds; ++i) {
            state.leds[i] = MakeLed(light::kHueWheel[p], level);
            p += 15;
            if (p >= 192) {
                p -= 192;
            }
        }
        return;
    }
    Step(state, fields.direction, 96);
    SetGroups(state.leds, MakeLed(UserColour(fields), level));
}

void Trail(MouseEffectState& state, const LightFields& fields) {
    // The head runs against the direction.
    const uint8_t head = Step(state, fields.direction == 0 ? 1 : 0, 17);
    state.trail[head] = 254;
    if (head == 0) {
        state.cycleColour1 =
            static_cast<uint8_t>(state.cycleColour1 >= 6 ? 0 : state.cycleColour1 + 1);
    }
    const uint8_t level = BrightnessLevel(fields.brightness);
    const Rgb colour = fields.colourCycle != 0 ? light::kSevenColoursB[state.cycleColour1 % 7]
                                               : UserColour(fields);
    for (size_t i = 0; i < kMouseModeLeds; ++i) {
        Fade(state, i);
        state.leds[i] = MakeLed(colour, Scale(level, state.trail[i]));
    }
}

void Spectrum(MouseEffectState& state, const LightFields& fields) {
    const uint8_t p = Step(state, fields.direction, 192);
    SetAll(state.leds, MakeLed(light::kHueWheel[p], BrightnessLevel(fields.brightness)));
}

void Gradient(MouseEffectState& state, const LightFields& fields) {
    int phase = state.gradientPhase % 400;
    if (fields.direction != 0) {
        phase += 7;
        if (phase >= 400) {
            phase -= 400;
        }
    } else {
        phase -= 7;
        if (phase < 0) {
            phase = 399;
        }
    }
    state.gradientPhase = static_cast<uint16_t>(phase);
    const uint8_t level = BrightnessLevel(fields.brightness);
    unsigned a = state.gradientPhase;
    for (size_t i = 0; i < kMouseModeLeds; ++i) {
        state.leds[i] =
            MakeLed(light::kGradientWheel[a], Scale(level, static_cast<unsigned>(14 * i + 17)));
        a = (a + 21) % 400;
    }
}

void Breathing(MouseEffectState& state, LightFields& fields) {
    const uint8_t p = Step(state, fields.direction, 128);
    if (p == 0) {
        fields.effectPhase =
            static_cast<uint8_t>(fields.effectPhase >= 2 ? 0 : fields.effectPhase + 1);
        state.cycleColour4 =
            static_cast<uint8_t>(state.cycleColour4 >= 6 ? 0 : state.cycleColour4 + 1);
    }
    const Rgb colour = fields.colourCycle != 0 ? light::kSevenColoursA[state.cycleColour4 % 7]
                                               : UserColour(fields);
    SetGroups(state.leds,
              MakeLed(colour, PulseAlpha(BrightnessLevel(fields.brightness), light::kPulse[p])));
}

void Static(MouseEffectState& state, const LightFields& fields) {
    SetAll(state.leds, MakeLed(UserColour(fields), BrightnessLevel(fields.brightness)));
}

void Reactive(MouseEffectState& state, const LightFields& fields, bool flashRequest) {
    if (flashRequest) {
        state.envelope = 128;
        state.flashActive = true;
        state.flashColour =
            static_cast<uint8_t>(state.flashColour + 16 >= 192 ? 0 : state.flashColour + 16);
    }
    if (!state.flashActive) {
        SetAll(state.leds, Led{});
        return;
    }
    state.envelope = static_cast<uint8_t>(state.envelope >= 3 ? state.envelope - 3 : 0);
    if (state.envelope <= 3) {
        state.flashActive = false;
    }
    const Rgb colour =
        fields.colourCycle != 0 ? light::kHueWheel[state.flashColour % 192] : UserColour(fields);
    SetAll(state.leds, MakeLed(colour, PulseAlpha(BrightnessLevel(fields.brightness),
                                                  light::kPulse[state.envelope % 128])));
}

}  // namespace

LightFields ReadLightFields(const LiveBlock& live) {
    return {live[live::lightMode],      live[live::lightBrightness], live[live::lightSpeed],
            live[live::lightDirection], live[live::colourCycle],     live[live::lightRed],
            live[live::lightGreen],     live[live::lightBlue],       live[live::effectPhase]};
}

void WriteEffectPhase(LiveBlock& live, const LightFields& fields) {
    live[live::effectPhase] = fields.effectPhase;
}

void ApplyModeChoice(LightFields& fields, uint8_t mode) {
    fields.mode = mode;
    if (mode == 0) {
        fields.colourCycle = 255;
    }
}

void ResetEffects(MouseEffectState& state) {
    state.position = 0;
    state.trail.fill(0);
}

uint8_t Step(MouseEffectState& state, uint8_t direction, int n) {
    int p = state.position;
    if (direction != 0) {
        p = p + 1 >= n ? 0 : p + 1;
    } else {
        // A position left beyond n by another mode restarts at the top.
        p = p == 0 || p > n ? n - 1 : p - 1;
    }
    state.position = static_cast<uint8_t>(p);
    return state.position;
}

void Fade(MouseEffectState& state, size_t i) {
    light::FadeTrail(state.trail[i]);
}

int MouseStepPeriodMs(const LightFields& fields) {
    int extra = 0;
    switch (fields.mode) {
        case 1:
            extra = 40;
            break;
        case 3:
            extra = 20;
            break;
        case 4:
            extra = 5;
            break;
        default:
            break;
    }
    return 12 * fields.speed + 3 + extra;
}

bool StepMouseLight(MouseEffectState& state, LightFields& fields, bool flashRequest) {
    switch (fields.mode) {
        case 0:
            ColourWave(state, fields);
            break;
        case 1:
            Trail(state, fields);
            break;
        case 2:
            Spectrum(state, fields);
            break;
        case 3:
            Gradient(state, fields);
            break;
        case 4:
            Breathing(state, fields);
            break;
        case 5:
            Static(state, fields);
            break;
        case 6:
            Reactive(state, fields, flashRequest);
            break;
        default:
            return false;
    }
    return true;
}

MouseFrame BuildMouseFrame(const MouseLeds& leds) {
    MouseFrame frame{};
    for (size_t i = 0; i < kMouseModeLeds; ++i) {
        frame[3 * i] = Scale(leds[i].red, leds[i].alpha);
        frame[3 * i + 1] = Scale(leds[i].green, leds[i].alpha);
        frame[3 * i + 2] = Scale(leds[i].blue, leds[i].alpha);
    }
    return frame;
}

}  // namespace gmd::mouse
