#include "keyboard_pad/mousepad_light_engine.h"

namespace gmd::mousepad {

using light::BrightnessLevel;
using light::kHueWheel;
using light::Led;
using light::MakeLed;
using light::Rgb;

const std::array<std::vector<uint8_t>, kPadColumns> kPadColumnLeds = {{
    {0, 1, 2, 3, 4},
    {5},
    {6},
    {7},
    {8},
    {9},
    {10, 11, 12, 13, 14},
}};

namespace {

// One LED of a step: the preview gets the colour with `alpha`; the frame gets the colour
// x (level + 1) / 256, and x (factor + 1) / 256 where the mode has a second factor.
struct Paint {
    Rgb colour;
    uint8_t level = 0;
    int factor = -1;  // -1: none
    uint8_t alpha = 0;
};

Paint Dark() {
    return {};
}

Paint AtLevel(Rgb colour, uint8_t level) {
    return {colour, level, -1, level};
}

Paint WithFactor(Rgb colour, uint8_t level, uint8_t factor) {
    return {colour, level, factor, static_cast<uint8_t>(level * factor / 256)};
}

uint8_t FrameByte(uint8_t value, const Paint& paint) {
    unsigned v = value * (paint.level + 1u) / 256;
    if (paint.factor >= 0) {
        v = v * (static_cast<unsigned>(paint.factor) + 1) / 256;
    }
    return static_cast<uint8_t>(v);
}

class Painter {
  public:
    explicit Painter(PadEffectState& state) : state_(state) {}
    void Set(size_t led, const Paint& paint) {
        state_.leds[led] = MakeLed(paint.colour, paint.alpha);
        bytes_[3 * led] = FrameByte(paint.colour.red, paint);
        bytes_[3 * led + 1] = FrameByte(paint.colour.green, paint);
        bytes_[3 * led + 2] = FrameByte(paint.colour.blue, paint);
    }
    void All(const Paint& paint) {
        for (size_t i = 0; i < kPadLeds; ++i) {
            Set(i, paint);
        }
    }
    void Column(size_t column, const Paint& paint) {
        for (const uint8_t led : kPadColumnLeds[column]) {
            Set(led, paint);
        }
    }
    std::vector<uint8_t> Frame(size_t size) const {
        std::vector<uint8_t> frame(size, 0);
        std::copy(bytes_.begin(), bytes_.end(), frame.begin());
        return frame;
    }

  private:
    PadEffectState& state_;
    std::array<uint8_t, kShortFrameSize> bytes_{};
};

uint8_t Step(PadEffectState& state, uint8_t direction, int n) {
    int p = state.position;
    if (direction != 0) {
        p = p + 1 >= n ? 0 : p + 1;
    } else {
        p = p == 0 || p > n ? n - 1 : p - 1;
    }
    state.position = static_cast<uint8_t>(p);
    return state.position;
}

Rgb User(const PadLightFields& fields) {
    return {fields.red, fields.green, fields.blue};
}

void PadFade(uint8_t& t) {
    if ((t & 0x80) != 0) {
        t = static_cast<uint8_t>(t - 30);
    } else if ((t & 0x40) != 0) {
        t = static_cast<uint8_t>(t - 20);
    } else if ((t & 0x20) != 0) {
        t = static_cast<uint8_t>(t - 10);
    } else if (t > 16) {
        t = static_cast<uint8_t>(t - 5);
    } else if (t != 0) {
        t = static_cast<uint8_t>(t - 1);
    }
}

void Wave(PadEffectState& state, const PadLightFields& fields, Painter& painter) {
    const uint8_t level = BrightnessLevel(fields.brightness);
    if (fields.colourCycle != 0) {
        unsigned p = Step(state, fields.direction, 192);
        for (size_t i = 0; i < kPadLeds; ++i) {
            painter.Set(i, AtLevel(kHueWheel[p], level));
            p = (p + 7) % 192;
        }
        return;
    }
    unsigned p = Step(state, fields.direction, 96);
    for (size_t i = 0; i < kPadLeds; ++i) {
        painter.Set(i, WithFactor(User(fields), level, light::kPulse2[p]));
        p = (p + 10) % 96;
    }
}

void Bar(PadEffectState& state, const PadLightFields& fields, Painter& painter) {
    if (!state.barFalling) {
        if (++state.barCount >= 15) {
            state.barFalling = true;
        }
    } else if (--state.barCount <= -1) {
        state.barFalling = false;
    }
    const uint8_t level = BrightnessLevel(fields.brightness);
    unsigned p = 0;
    for (size_t i = 0; i < kPadLeds; ++i) {
        const auto led = static_cast<int32_t>(i);
        const bool lit = fields.direction != 0 ? state.barCount < led : led < state.barCount;
        painter.Set(i, lit ? AtLevel(fields.colourCycle != 0 ? kHueWheel[p] : User(fields), level)
                           : Dark());
        p = (p + 7) % 192;
    }
}

void Trail(PadEffectState& state, const PadLightFields& fields, Painter& painter) {
    for (size_t i = 0; i < kPadLeds; ++i) {
        if (state.headMask[i] != 0) {
            state.levels[i] = 255;
            if (fields.colourCycle != 0) {
                state.hueCounter = static_cast<uint8_t>(state.hueCounter + 11);
                state.hues[i] = state.hueCounter;
            }
        }
    }
    std::array<uint8_t, kPadLeds> mask{};
    for (size_t i = 0; i < kPadLeds; ++i) {
        const size_t to =
            fields.direction == 0 ? (i + 1) % kPadLeds : (i + kPadLeds - 1) % kPadLeds;
        mask[to] = state.headMask[i];
    }
    state.headMask = mask;
    const uint8_t level = BrightnessLevel(fields.brightness);
    for (size_t i = 0; i < kPadLeds; ++i) {
        PadFade(state.levels[i]);
        const Rgb colour = fields.colourCycle != 0 ? kHueWheel[state.hues[i] % 192] : User(fields);
        painter.Set(i, WithFactor(colour, level, state.levels[i]));
    }
}

void Columns(PadEffectState& state, const PadLightFields& fields, Painter& painter) {
    const uint8_t level = BrightnessLevel(fields.brightness);
    unsigned p = Step(state, fields.direction, 192);
    for (size_t c = 0; c < kPadColumns; ++c) {
        painter.Column(c, AtLevel(kHueWheel[p], level));
        p = (p + 7) % 192;
    }
}

// Returns false for the two pauses, which send no frame.
bool Band(PadEffectState& state, const PadLightFields& fields, Painter& painter) {
    unsigned p = Step(state, 0, 192);
    std::array<bool, kPadColumns> lit{};
    if (!state.bandShifting && state.bandCount <= 0) {
        state.bandShifting = true;
        state.bandCount = 0;
        state.bandPattern = 0x3F00;
        return false;
    }
    if (state.bandShifting) {
        ++state.bandCount;
        state.bandPattern =
            static_cast<uint16_t>(static_cast<int16_t>(state.bandPattern) >> 1);  // sign kept
        if (state.bandCount >= 15) {
            state.bandShifting = false;
            state.bandPattern = 0xFC;
            return false;
        }
        for (int c = 0; c < kPadColumns; ++c) {
            lit[static_cast<size_t>(c)] = ((state.bandPattern >> (7 - c)) & 1) != 0;
        }
    } else {
        for (int c = 0; c < kPadColumns; ++c) {
            const auto shifted = static_cast<uint16_t>(state.bandPattern << c);
            lit[static_cast<size_t>(c)] = ((shifted >> (15 - c)) & 1) != 0;
        }
        state.bandPattern = static_cast<uint16_t>(state.bandPattern * 2);
        --state.bandCount;
    }
    const uint8_t level = BrightnessLevel(fields.brightness);
    for (size_t c = 0; c < kPadColumns; ++c) {
        if (!lit[c]) {
            painter.Column(c, Dark());
            continue;
        }
        painter.Column(c, AtLevel(fields.colourCycle != 0 ? kHueWheel[p] : User(fields), level));
        p = (p + 20) % 192;
    }
    return true;
}

void Reactive(PadEffectState& state, const PadLightFields& fields, bool flashRequest, int64_t nowMs,
              Painter& painter) {
    if (flashRequest) {
        state.flashAtMs = nowMs;
        state.flashActive = true;
        state.flashColour =
            static_cast<uint8_t>(state.flashColour + 14 > 191 ? 0 : state.flashColour + 14);
    }
    if (state.flashActive && nowMs - state.flashAtMs >= kFlashMs) {
        state.flashActive = false;
    }
    if (!state.flashActive) {
        painter.All(Dark());
        return;
    }
    const Rgb colour = fields.colourCycle != 0 ? kHueWheel[state.flashColour % 192] : User(fields);
    painter.All(AtLevel(colour, BrightnessLevel(fields.brightness)));
}

int ExtraSleepMs(const PadLightFields& fields) {
    switch (fields.mode) {
        case 4:
            return 10 * fields.speed + 100;
        case 5:
            return 50;
        case 7:
            return 5 * fields.speed + 50;
        default:
            return 0;
    }
}

}  // namespace

PadLightFields PadLightFieldsFromBytes(std::span<const uint8_t, 8> bytes) {
    return {bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]};
}

void ResetPadEffects(PadEffectState& state) {
    state.position = 0;
    state.levels.fill(0);
    state.headMask.fill(0);
}

void ChoosePadMode(PadEffectState& state, uint8_t mode) {
    ResetPadEffects(state);
    if (mode == 5) {
        state.headMask[0] = 1;
    }
}

PadStepResult StepPadLight(PadEffectState& state, const PadLightFields& fields, bool flashRequest,
                           int64_t nowMs) {
    PadStepResult result;
    result.periodMs = 9 + 4 * fields.speed;
    if (fields.mode >= kPadLightModes) {
        return result;
    }
    result.periodMs += ExtraSleepMs(fields);
    const uint8_t level = BrightnessLevel(fields.brightness);
    Painter painter(state);
    bool send = true;
    switch (fields.mode) {
        case 0:
            Wave(state, fields, painter);
            break;
        case 1:
            painter.All(AtLevel(kHueWheel[Step(state, fields.direction, 192)], level));
            break;
        case 2: {
            const uint8_t p = Step(state, fields.direction, 128);
            const Rgb colour = fields.colourCycle != 0 ? kHueWheel[(p + 50u) % 192] : User(fields);
            // The pulse scales the frame too, so the pad breathes as its preview does.
            painter.All(WithFactor(colour, level, light::kPulse[p]));
            break;
        }
        case 3:
            painter.All(AtLevel(User(fields), level));
            break;
        case 4:
            Bar(state, fields, painter);
            break;
        case 5:
            Trail(state, fields, painter);
            break;
        case 6:
            Columns(state, fields, painter);
            break;
        case 7:
            send = Band(state, fields, painter);
            if (!send) {
                result.periodMs += kBandPauseMs;
            }
            break;
        case 8:
            Reactive(state, fields, flashRequest, nowMs, painter);
            break;
        default:
            break;
    }
    result.ran = true;
    result.sendFrame = send;
    if (send) {
        const bool longFrame = fields.mode == 2 || fields.mode == 3 || fields.mode == 8;
        result.frame = painter.Frame(longFrame ? kLongFrameSize : kShortFrameSize);
    }
    return result;
}

}  // namespace gmd::mousepad
