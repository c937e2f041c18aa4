#pragma once
// The keyboard lighting engine: 17 modes as pure step functions over an effect state. The light
// fields, the custom colour table and the state give the 126 key LEDs and the step period; the
// 378-byte frame places each key's bytes at its LED position.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "keyboard_pad/keyboard_layout.h"
#include "mouse/light_tables.h"

namespace gmd::keyboard {

inline constexpr int kKeyboardLightModes = 17;
inline constexpr size_t kKeyPulseSize = 192;
inline constexpr size_t kPlanes = 4;
inline constexpr uint8_t kRippleSeedColumn = 9;

using KeyLeds = std::array<light::Led, kKeyCount>;
using KeyboardFrame = std::array<uint8_t, kFrameSize>;
using CustomColours = std::span<const uint8_t, kFrameSize>;

// Rises from 0 at entry 0 to 255 at entry 16, falls back to 0 by entry 80, 0 after that.
extern const std::array<uint8_t, kKeyPulseSize> kKeyPulse;

// Bytes 1-8 of the keyboard live block, copied under the driver's lock.
struct KeyboardLightFields {
    uint8_t mode = 0;
    uint8_t brightness = 0;
    uint8_t speed = 0;
    uint8_t direction = 0;
    uint8_t colourCycle = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend bool operator==(const KeyboardLightFields&, const KeyboardLightFields&) = default;
};
KeyboardLightFields KeyboardLightFieldsFromBytes(std::span<const uint8_t, 8> bytes);

struct KeyboardEffectState {
    uint8_t position = 0;
    std::array<uint8_t, kKeyCount> hues{};    // a hue per key
    std::array<uint8_t, kKeyCount> levels{};  // per-key brightness, 255 = full
    std::array<uint8_t, kKeyCount> phases{};  // the second array: pulse phases of modes 11, 16
    uint8_t hueCounter = 0;
    bool huesSeeded = false;    // mode 4
    bool phasesSeeded = false;  // modes 11 and 16
    // Ripple fronts: one byte per column, bit r = row r (bit 6 one row beyond the last). Planes
    // 0 and 1 run towards column 0, 2 and 3 towards column 22; 0 and 2 upwards, 1 and 3 down.
    std::array<std::array<uint8_t, kColumns>, kPlanes> planes{};
    uint8_t scriptPhase = 0;  // mode 6
    uint8_t scriptStep = 0;
    uint8_t sparkleIndex = 0;  // mode 9
    KeyLeds leds{};
};

// The position and the levels cleared (the shared effect reset).
void ResetKeyboardEffects(KeyboardEffectState& state);
// The light page's choice of a mode: the reset, plus what the mode starts from (mode 5's seed,
// mode 4's hues, the pulse phases, mode 6's script).
void ChooseKeyboardMode(KeyboardEffectState& state, uint8_t mode);

// A key clicked in mode 9 (or sparkled): full level and the next hue of the running counter.
void ReactToKey(KeyboardEffectState& state, size_t key);

// The sleep of one pass by mode and speed, plus the mode's extra sleep.
int KeyboardStepPeriodMs(const KeyboardLightFields& fields);

// One step of fields.mode; false for a mode outside 0-16, which changes nothing.
bool StepKeyboardLight(KeyboardEffectState& state, const KeyboardLightFields& fields,
                       CustomColours custom);

// Key k's red, green, blue x alpha / 256 at bytes 3f to 3f + 2, f its LED position.
KeyboardFrame BuildKeyboardFrame(const KeyLeds& leds);

}  // namespace gmd::keyboard
