#include "keyboard_pad/keyboard_light_engine.h"

namespace gmd::keyboard {

using light::BrightnessLevel;
using light::kHueWheel;
using light::Led;
using light::MakeLed;
using light::Rgb;

namespace {

constexpr std::array<uint8_t, kKeyPulseSize> MakeKeyPulse() {
    std::array<uint8_t, kKeyPulseSize> pulse{};
    for (size_t e = 0; e < pulse.size(); ++e) {
        if (e <= 16) {
            pulse[e] = static_cast<uint8_t>(255 * e / 16);
        } else if (e <= 80) {
            pulse[e] = static_cast<uint8_t>(255 * (80 - e) / 64);
        }
    }
    return pulse;
}

constexpr uint8_t kRowBits = 0x7F;  // rows 0-5 and the one beyond

uint8_t Scale(unsigned value, unsigned factor) {
    return static_cast<uint8_t>(value * factor / 256);
}

Rgb User(const KeyboardLightFields& fields) {
    return {fields.red, fields.green, fields.blue};
}

uint8_t Step(KeyboardEffectState& state, uint8_t direction, int n) {
    int p = state.position;
    if (direction != 0) {
        p = p + 1 >= n ? 0 : p + 1;
    } else {
        p = p == 0 || p > n ? n - 1 : p - 1;
    }
    state.position = static_cast<uint8_t>(p);
    return state.position;
}

void FadeAll(KeyboardEffectState& state) {
    for (uint8_t& level : state.levels) {
        light::FadeTrail(level);
    }
}

void SetAll(KeyboardEffectState& state, Led led) {
    state.leds.fill(led);
}

void SetColumn(KeyboardEffectState& state, size_t column, Led led) {
    for (const uint8_t key : kColumnTable[column]) {
        if (key != kNoKey) {
            state.leds[key] = led;
        }
    }
}

// Modes that light keys by level: the key's hue (colour cycle) or the user colour.
void PaintLevels(KeyboardEffectState& state, const KeyboardLightFields& fields) {
    const uint8_t level = BrightnessLevel(fields.brightness);
    for (size_t k = 0; k < kKeyCount; ++k) {
        const Rgb colour = fields.colourCycle != 0 ? kHueWheel[state.hues[k] % 192] : User(fields);
        state.leds[k] = MakeLed(colour, Scale(level, state.levels[k]));
    }
}

void ColumnWave(KeyboardEffectState& state, const KeyboardLightFields& fields) {
    const uint8_t level = BrightnessLevel(fields.brightness);
    const bool cycle = fields.colourCycle != 0;
    const int wrap = cycle ? 192 : 96;
    unsigned p = Step(state, fields.direction, wrap);
    for (size_t c = 0; c < kColumns; ++c) {
        SetColumn(state, c,
                  cycle ? MakeLed(kHueWheel[p], level)
                        : MakeLed(User(fields), Scale(level, light::kPulse2[p])));
        p = (p + (cycle ? 7 : 10)) % static_cast<unsigned>(wrap);
    }
}

void SeedHues(KeyboardEffectState& state) {
    uint8_t sum = 0;
    for (uint8_t& hue : state.hues) {
        hue = sum;
        sum = static_cast<uint8_t>(sum + (sum >= 160 && sum <= 222 ? 97 : 33));
    }
    state.huesSeeded = true;
}

void OwnHues(KeyboardEffectState& state, const KeyboardLightFields& fields) {
    if (!state.huesSeeded) {
        SeedHues(state);
    }
    const uint8_t level = BrightnessLevel(fields.brightness);
    for (size_t k = 0; k < kKeyCount; ++k) {
        uint8_t& hue = state.hues[k];
        hue = static_cast<uint8_t>(hue + 1 >= 192 ? 0 : hue + 1);
        state.leds[k] = MakeLed(kHueWheel[hue], level);
    }
}

bool PlanesEmpty(const KeyboardEffectState& state) {
    for (const auto& plane : state.planes) {
        for (const uint8_t bits : plane) {
            if (bits != 0) {
                return false;
            }
        }
    }
    return true;
}

uint8_t ColumnBits(const KeyboardEffectState& state, size_t column) {
    uint8_t bits = 0;
    for (const auto& plane : state.planes) {
        bits |= plane[column];
    }
    return bits;
}

void SetInAllPlanes(KeyboardEffectState& state, size_t column, uint8_t bit) {
    for (auto& plane : state.planes) {
        plane[column] |= bit;
    }
}

// Lights the keys under the fronts (of `allowed` keys), then moves every front one column and
// one row on. A front rising past the top row turns down; one sinking past the bottom or
// leaving the last column ends.
void Ripple(KeyboardEffectState& state, const KeyboardLightFields& fields,
            const std::array<bool, kKeyCount>& allowed) {
    for (size_t c = 0; c < kColumns; ++c) {
        const uint8_t bits = ColumnBits(state, c);
        for (size_t r = 0; r < kRows; ++r) {
            const uint8_t key = kColumnTable[c][r];
            if ((bits & (1u << r)) == 0 || key == kNoKey || !allowed[key]) {
                continue;
            }
            state.levels[key] = 255;
            if (fields.colourCycle != 0) {
                state.hueCounter = static_cast<uint8_t>((state.hueCounter + 11) % 192);
                state.hues[key] = state.hueCounter;
            }
        }
    }
    std::array<std::array<uint8_t, kColumns>, kPlanes> next{};
    for (size_t c = 0; c < kColumns; ++c) {
        for (size_t side = 0; side < 2; ++side) {
            const size_t up = 2 * side;
            const size_t down = up + 1;
            const bool towardsZero = side == 0;
            if (towardsZero ? c == 0 : c == kColumns - 1) {
                continue;
            }
            const size_t to = towardsZero ? c - 1 : c + 1;
            const uint8_t rising = state.planes[up][c];
            next[up][to] |= static_cast<uint8_t>(rising >> 1);
            next[down][to] |= static_cast<uint8_t>(rising & 1u);  // turns at the top
            next[down][to] |= static_cast<uint8_t>((state.planes[down][c] << 1) & kRowBits);
        }
    }
    state.planes = next;
}

void Ripple5(KeyboardEffectState& state, const KeyboardLightFields& fields) {
    static const std::array<bool, kKeyCount> kAll = [] {
        std::array<bool, kKeyCount> all{};
        all.fill(true);
        return all;
    }();
    Ripple(state, fields, kAll);
    const uint8_t bits = ColumnBits(state, kRippleSeedColumn);
    if (bits == 0x01 || bits == 0x40) {
        SetInAllPlanes(state, kRippleSeedColumn, bits);
    }
    if (PlanesEmpty(state)) {
        SetInAllPlanes(state, kRippleSeedColumn, 0x40);  // the next ripple
    }
    FadeAll(state);
    PaintLevels(state, fields);
}

void Ripple15(KeyboardEffectState& state, const KeyboardLightFields& fields) {
    static const std::array<bool, kKeyCount> kFirst111 = [] {
        std::array<bool, kKeyCount> allowed{};
        for (const uint8_t key : kSecondKeyOrder) {
            allowed[key] = true;
        }
        return allowed;
    }();
    // Nothing seeds this mode when it is chosen: an empty keyboard starts a front at column 1.
    if (PlanesEmpty(state)) {
        SetInAllPlanes(state, 1, 0x01);
    }
    Ripple(state, fields, kFirst111);
    if (ColumnBits(state, 1) == 0x01) {
        SetInAllPlanes(state, 1, 0x01);
    }
    if (ColumnBits(state, kColumns - 1) == 0x01) {
        SetInAllPlanes(state, kColumns - 1, 0x40);
    }
    FadeAll(state);
    PaintLevels(state, fields);
}

void LightRow(KeyboardEffectState& state, size_t row, uint8_t hue) {
    for (size_t c = 0; c < kColumns; ++c) {
        const uint8_t key = kColumnTable[c][row];
        if (key != kNoKey) {
            state.levels[key] = 255;
            state.hues[key] = hue;
        }
    }
}

void LightColumn(KeyboardEffectState& state, size_t column, uint8_t hue) {
    for (const uint8_t key : kColumnTable[column]) {
        if (key != kNoKey) {
            state.levels[key] = 255;
            state.hues[key] = hue;
        }
    }
}

// Five phases: row sweep (20 steps), column pairs (31), fill (23), fade (32), restart (1).
void Script(KeyboardEffectState& state, const KeyboardLightFields& fields) {
    constexpr std::array<uint8_t, 5> kPhaseSteps = {kRowSweepSteps, kPairSteps, kColumns, 32, 1};
    // A script left mid-way by a foreign state starts over rather than reading past a table.
    if (state.scriptPhase >= kPhaseSteps.size() ||
        state.scriptStep >= kPhaseSteps[state.scriptPhase]) {
        state.scriptPhase = 0;
        state.scriptStep = 0;
    }
    state.hueCounter = static_cast<uint8_t>((state.hueCounter + 8) % 192);
    const uint8_t hue = state.hueCounter;
    const size_t s = state.scriptStep;
    switch (state.scriptPhase) {
        case 0:
            FadeAll(state);
            LightRow(state, kRowSweep[s], hue);
            break;
        case 1:
            FadeAll(state);
            LightColumn(state, kColumnPairs[s][0], hue);
            LightColumn(state, kColumnPairs[s][1], hue);
            break;
        case 2:
            LightColumn(state, s, hue);
            break;
        case 3:
            FadeAll(state);
            break;
        default:
            state.levels.fill(0);
            break;
    }
    if (++state.scriptStep >= kPhaseSteps[state.scriptPhase]) {
        state.scriptStep = 0;
        state.scriptPhase = static_cast<uint8_t>((state.scriptPhase + 1) % kPhaseSteps.size());
    }
    PaintLevels(state, fields);
}

void KeyOrderRipple(KeyboardEffectState& state, const KeyboardLightFields& fields) {
    const uint8_t level = BrightnessLevel(fields.brightness);
    const bool cycle = fields.colourCycle != 0;
    const unsigned base = Step(state, fields.direction, cycle ? 192 : 96);
    SetAll(state, Led{});
    for (size_t i = 0; i < kStandardKeys; ++i) {
        state.leds[kKeyOrder[i]] =
            cycle ? MakeLed(kHueWheel[(base + 5 * i) % 192], level)
                  : MakeLed(User(fields), Scale(level, light::kPulse2[(base + i) % 96]));
    }
}

void Custom(KeyboardEffectState& state, const KeyboardLightFields& fields, CustomColours custom) {
    const uint8_t level = BrightnessLevel(fields.brightness);
    for (size_t k = 0; k < kKeyCount; ++k) {
        const size_t f = kKeyToFrame[k];
        state.leds[k] =
            f < kKeyCount ? Led{custom[3 * f], custom[3 * f + 1], custom[3 * f + 2], level} : Led{};
    }
}

void Sparkle(KeyboardEffectState& state, const KeyboardLightFields& fields) {
    for (int n = 0; n < 3; ++n) {
        ReactToKey(state, kKeyOrder[kRandomOrder[state.sparkleIndex % kStandardKeys]]);
        state.sparkleIndex = static_cast<uint8_t>((state.sparkleIndex + 1) % kStandardKeys);
    }
    FadeAll(state);
    PaintLevels(state, fields);
}

void RowWave(KeyboardEffectState& state, const KeyboardLightFields& fields) {
    const uint8_t level = BrightnessLevel(fields.brightness);
    const unsigned p = Step(state, fields.direction, 192);
    for (size_t r = 0; r < kRows; ++r) {
        const Led led = MakeLed(kHueWheel[(p + 32 * r) % 192], level);
        for (size_t c = 0; c < kColumns; ++c) {
            if (kColumnTable[c][r] != kNoKey) {
                state.leds[kColumnTable[c][r]] = led;
            }
        }
    }
}

// Each key of the first `count` of the key order runs through the key pulse; at its end the
// key takes the next hue. Phases start spread over the keys so the keyboard twinkles.
void PerKeyPulse(KeyboardEffectState& state, const KeyboardLightFields& fields, size_t count,
                 uint8_t hueStep, bool secondTable) {
    if (!state.phasesSeeded) {
        for (size_t i = 0; i < kKeyCount; ++i) {
            state.phases[kKeyOrder[i]] = static_cast<uint8_t>((i * 37) % kKeyPulseSize);
        }
        state.phasesSeeded = true;
    }
    const uint8_t level = BrightnessLevel(fields.brightness);
    SetAll(state, Led{});
    for (size_t i = 0; i < count; ++i) {
        const uint8_t key = kKeyOrder[i];
        uint8_t& phase = state.phases[key];
        if (++phase > 191) {
            phase = 0;
            state.hueCounter = static_cast<uint8_t>(state.hueCounter + hueStep);
            state.hues[key] = state.hueCounter;
        }
        Rgb colour = User(fields);
        if (fields.colourCycle != 0) {
            colour = secondTable ? kSecondColourTable[state.hues[key]]
                                 : kHueWheel[state.hues[key] % 192];
        }
        state.leds[key] = MakeLed(colour, Scale(level, kKeyPulse[phase % kKeyPulseSize]));
    }
}

void Snake(KeyboardEffectState& state, const KeyboardLightFields& fields) {
    const uint8_t head = Step(state, fields.direction, static_cast<int>(kSnakeLength));
    const uint8_t key = kSnakePath[head];
    state.levels[key] = 254;
    state.hueCounter = static_cast<uint8_t>((state.hueCounter + 2) % 192);
    state.hues[key] = state.hueCounter;
    FadeAll(state);
    PaintLevels(state, fields);
}

void Diagonal(KeyboardEffectState& state, const KeyboardLightFields& fields) {
    const unsigned base = state.position % 192;
    state.position =
        static_cast<uint8_t>(fields.direction != 0 ? (base + 4) % 192 : (base + 190) % 192);
    const uint8_t level = BrightnessLevel(fields.brightness);
    for (size_t i = 0; i < kGridSize; ++i) {
        const Led led = MakeLed(kHueWheel[(state.position + 21 * (i + 1)) % 192], level);
        for (const uint8_t key : kDiagonalGrid[i]) {
            if (key != kNoKey) {
                state.leds[key] = led;
            }
        }
    }
}

void ColumnPulse(KeyboardEffectState& state, const KeyboardLightFields& fields) {
    const uint8_t level = BrightnessLevel(fields.brightness);
    if (fields.colourCycle != 0) {
        state.position = static_cast<uint8_t>((state.position + 1) % 192);
        for (size_t c = 0; c < kColumns; ++c) {
            SetColumn(state, c, MakeLed(kHueWheel[(state.position + 2 * c) % 192], level));
        }
        return;
    }
    state.position = static_cast<uint8_t>((state.position + 1) % 96);
    for (size_t c = 0; c < kColumns; ++c) {
        SetColumn(state, c,
                  MakeLed(User(fields), Scale(level, kKeyPulse[(state.position + 5 * c) % 96])));
    }
}

}  // namespace

const std::array<uint8_t, kKeyPulseSize> kKeyPulse = MakeKeyPulse();

KeyboardLightFields KeyboardLightFieldsFromBytes(std::span<const uint8_t, 8> bytes) {
    return {bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]};
}

void ResetKeyboardEffects(KeyboardEffectState& state) {
    state.position = 0;
    state.levels.fill(0);
}

void ChooseKeyboardMode(KeyboardEffectState& state, uint8_t mode) {
    ResetKeyboardEffects(state);
    switch (mode) {
        case 4:
            state.huesSeeded = false;
            break;
        case 5:
            for (auto& plane : state.planes) {
                plane.fill(0);
            }
            SetInAllPlanes(state, kRippleSeedColumn, 0x40);
            break;
        case 6:
            state.scriptPhase = 0;
            state.scriptStep = 0;
            break;
        case 11:
        case 16:
            state.phasesSeeded = false;
            break;
        default:
            break;
    }
}

void ReactToKey(KeyboardEffectState& state, size_t key) {
    if (key >= kKeyCount) {
        return;
    }
    state.levels[key] = 255;
    state.hueCounter = static_cast<uint8_t>((state.hueCounter + 10) % 192);
    state.hues[key] = state.hueCounter;
}

int KeyboardStepPeriodMs(const KeyboardLightFields& fields) {
    constexpr std::array<int, 5> kSlow = {13, 13, 27, 37, 45};  // speed 1-4; 0 by mode below
    const size_t speed = fields.speed < kSlow.size() ? fields.speed : kSlow.size() - 1;
    int sleep = kSlow[speed];
    if (speed == 0) {
        sleep = fields.mode == 0                                              ? 2
                : (fields.mode == 4 || fields.mode == 7 || fields.mode == 12) ? 3
                                                                              : 9;
    }
    int extra = 0;
    switch (fields.mode) {
        case 1:
            extra = 20;
            break;
        case 4:
            extra = 12;
            break;
        case 5:
            extra = 40;
            break;
        case 6:
            extra = 15;
            break;
        case 7:
            extra = 1;
            break;
        case 13:
            extra = 10;
            break;
        case 15:
            extra = 50;
            break;
        default:
            break;
    }
    return sleep + extra;
}

bool StepKeyboardLight(KeyboardEffectState& state, const KeyboardLightFields& fields,
                       CustomColours custom) {
    const uint8_t level = BrightnessLevel(fields.brightness);
    switch (fields.mode) {
        case 0:
            ColumnWave(state, fields);
            break;
        case 1:
            SetAll(state, MakeLed(kHueWheel[Step(state, fields.direction, 192)], level));
            break;
        case 2: {
            const uint8_t p = Step(state, fields.direction, 128);
            const Rgb colour = fields.colourCycle != 0 ? kHueWheel[(p + 50u) % 192] : User(fields);
            SetAll(state, MakeLed(colour, Scale(level, light::kPulse[p])));
            break;
        }
        case 3:
            SetAll(state, MakeLed(User(fields), level));
            break;
        case 4:
            OwnHues(state, fields);
            break;
        case 5:
            Ripple5(state, fields);
            break;
        case 6:
            Script(state, fields);
            break;
        case 7:
            KeyOrderRipple(state, fields);
            break;
        case 8:
            Custom(state, fields, custom);
            break;
        case 9:
            Sparkle(state, fields);
            break;
        case 10:
            RowWave(state, fields);
            break;
        case 11:
            PerKeyPulse(state, fields, kPulseKeys, 5, true);
            break;
        case 12:
            Snake(state, fields);
            break;
        case 13:
            Diagonal(state, fields);
            break;
        case 14:
            ColumnPulse(state, fields);
            break;
        case 15:
            Ripple15(state, fields);
            break;
        case 16:
            PerKeyPulse(state, fields, kKeyCount, 10, false);
            break;
        default:
            return false;
    }
    return true;
}

KeyboardFrame BuildKeyboardFrame(const KeyLeds& leds) {
    KeyboardFrame frame{};
    for (size_t k = 0; k < kKeyCount; ++k) {
        const size_t f = kKeyToFrame[k];
        if (f >= kKeyCount) {
            continue;
        }
        frame[3 * f] = Scale(leds[k].red, leds[k].alpha);
        frame[3 * f + 1] = Scale(leds[k].green, leds[k].alpha);
        frame[3 * f + 2] = Scale(leds[k].blue, leds[k].alpha);
    }
    return frame;
}

}  // namespace gmd::keyboard
