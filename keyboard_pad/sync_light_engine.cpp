#include "keyboard_pad/sync_light_engine.h"

#include <algorithm>

namespace gmd::sync_light {

using light::BrightnessLevel;
using light::Led;
using light::MakeLed;
using light::Rgb;

namespace {

// Colour with the pulse applied where the mode has one; previews get the unscaled colour.
struct Paint {
    Rgb colour;
    uint8_t level = 0;
    int pulse = -1;  // -1: no pulse
};

Led PreviewLed(const Paint& paint) {
    const unsigned alpha =
        paint.pulse < 0 ? paint.level : paint.level * static_cast<unsigned>(paint.pulse) / 256;
    return MakeLed(paint.colour, static_cast<uint8_t>(alpha));
}

// Frame byte: the colour x (level + 1) / 256, and x (pulse + 1) / 256 with a pulse.
uint8_t FrameByte(uint8_t value, const Paint& paint) {
    unsigned v = value * (paint.level + 1u) / 256;
    if (paint.pulse >= 0) {
        v = v * (static_cast<unsigned>(paint.pulse) + 1) / 256;
    }
    return static_cast<uint8_t>(v);
}

void PutBytes(std::vector<uint8_t>& frame, size_t position, const Paint& paint) {
    frame[3 * position] = FrameByte(paint.colour.red, paint);
    frame[3 * position + 1] = FrameByte(paint.colour.green, paint);
    frame[3 * position + 2] = FrameByte(paint.colour.blue, paint);
}

class Painter {
  public:
    Painter(SyncEffectState& state, const SyncTargets& targets, const KeyboardFrameLayout* layout)
        : state_(state), layout_(layout) {
        if (targets.keyboard && layout != nullptr) {
            frames.keyboard.assign(kKeyboardFrameSize, 0);
        }
        if (targets.mouse) {
            frames.mouse.assign(kMouseFrameSize, 0);
        }
        if (targets.mousepad) {
            frames.mousepad.assign(kMousepadFrameSize, 0);
        }
    }

    void Key(size_t key, const Paint& paint) {
        if (key >= kKeyboardKeys) {
            return;
        }
        state_.keyboard[key] = PreviewLed(paint);
        if (!frames.keyboard.empty()) {
            const uint8_t position = layout_->keyToFrame[key];
            if (position < kKeyboardKeys) {
                PutBytes(frames.keyboard, position, paint);
            }
        }
    }
    void KeyColumn(size_t column, const Paint& paint) {
        if (layout_ == nullptr) {
            return;
        }
        for (const uint8_t key : layout_->columns[column]) {
            Key(key, paint);
        }
    }
    void MouseLed(size_t led, const Paint& paint) {
        state_.mouse[led] = PreviewLed(paint);
        if (!frames.mouse.empty()) {
            PutBytes(frames.mouse, led, paint);
        }
    }
    void PadLed(size_t led, const Paint& paint) {
        state_.mousepad[led] = PreviewLed(paint);
        if (!frames.mousepad.empty()) {
            PutBytes(frames.mousepad, led, paint);
        }
    }
    void All(const Paint& paint) {
        for (size_t k = 0; k < kKeyboardKeys; ++k) {
            Key(k, paint);
        }
        for (size_t i = 0; i < kMouseLeds; ++i) {
            MouseLed(i, paint);
        }
        for (size_t i = 0; i < kMousepadLeds; ++i) {
            PadLed(i, paint);
        }
    }

    SyncFrames frames;

  private:
    SyncEffectState& state_;
    const KeyboardFrameLayout* layout_;
};

uint8_t StepPosition(SyncEffectState& state, uint8_t direction, int n) {
    int p = state.position;
    if (direction != 0) {
        p = p + 1 >= n ? 0 : p + 1;
    } else {
        p = p == 0 || p > n ? n - 1 : p - 1;
    }
    state.position = static_cast<uint8_t>(p);
    return state.position;
}

void Wave(SyncEffectState& state, const SyncFields& fields, Painter& painter) {
    const uint8_t level = BrightnessLevel(fields.brightness);
    const Rgb user{fields.red, fields.green, fields.blue};
    // LEDs outside the six groups (17-19) stay dark in the wave.
    state.mouse.fill(Led{});
    const bool cycle = fields.colourCycle != 0;
    const int wrap = cycle ? 192 : 96;
    int p = StepPosition(state, fields.direction, wrap);
    for (size_t c = 0; c < kKeyboardColumns; ++c) {
        const Paint paint = cycle ? Paint{light::kHueWheel[static_cast<size_t>(p)], level, -1}
                                  : Paint{user, level, light::kPulse2[static_cast<size_t>(p)]};
        painter.KeyColumn(c, paint);
        if (c < light::kLedGroups.size()) {
            for (const uint8_t led : light::kLedGroups[c]) {
                painter.MouseLed(led, paint);
            }
        }
        if (c < kMousepadLeds) {
            painter.PadLed(c, paint);
        }
        p = (p + (cycle ? 7 : 10)) % wrap;
    }
}

}  // namespace

SyncFields SyncFieldsFromBytes(std::span<const uint8_t, kSyncBlockSize> bytes) {
    return {bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]};
}

SyncStepResult StepSyncLight(SyncEffectState& state, const SyncFields& fields,
                             const SyncTargets& targets, const KeyboardFrameLayout* layout) {
    SyncStepResult result;
    Painter painter(state, targets, layout);
    const uint8_t level = BrightnessLevel(fields.brightness);
    const Rgb user{fields.red, fields.green, fields.blue};
    // Sleeps in place of a frame not sent, per mode: keyboard, mouse, mousepad; then a fixed one.
    int keyboardGap = 0;
    int smallGap = 0;
    int fixed = 0;
    switch (fields.mode) {
        case 0:
            Wave(state, fields, painter);
            fixed = 8;  // 6, 1 and 1 ms after the frames, sent or not
            break;
        case 1: {
            const uint8_t p = StepPosition(state, fields.direction, 192);
            painter.All({light::kHueWheel[p], level, -1});
            keyboardGap = 9;
            smallGap = 1;
            fixed = 6;
            break;
        }
        case 2: {
            const uint8_t p = StepPosition(state, fields.direction, 128);
            const Rgb colour = fields.colourCycle != 0 ? light::kHueWheel[p] : user;
            painter.All({colour, level, light::kPulse[p]});
            keyboardGap = 8;
            smallGap = 1;
            break;
        }
        case 3:
            painter.All({user, level, -1});
            keyboardGap = 6;
            smallGap = 1;
            fixed = 5;
            break;
        default:
            result.periodMs = std::max(1, 4 * fields.speed);
            return result;
    }
    result.ran = true;
    result.frames = std::move(painter.frames);
    int period = 4 * fields.speed + fixed;
    const auto cost = [&](const std::vector<uint8_t>& frame, bool target, int gap) {
        if (!target) {
            period += gap;
        } else {
            period += static_cast<int>((frame.size() + 55) / 56) * kReportRoundTripMs;
        }
    };
    cost(result.frames.keyboard, targets.keyboard, keyboardGap);
    cost(result.frames.mouse, targets.mouse, smallGap);
    cost(result.frames.mousepad, targets.mousepad, smallGap);
    result.periodMs = std::max(1, period);
    return result;
}

}  // namespace gmd::sync_light
