#pragma once
// The mousepad lighting engine: nine modes as pure step functions over an effect state. The
// light fields, the state, a flash request and the time give the 15 LEDs, the frame and the
// step period.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "mouse/light_tables.h"

namespace gmd::mousepad {

inline constexpr size_t kPadLeds = 15;
inline constexpr size_t kShortFrameSize = 45;  // 15 LEDs x 3
inline constexpr size_t kLongFrameSize = 60;   // modes 2, 3 and 8: 15 zero bytes follow
inline constexpr int kPadLightModes = 9;
inline constexpr int kPadColumns = 7;
inline constexpr int kFlashMs = 100;
inline constexpr int kBandPauseMs = 1000;

using PadLeds = std::array<light::Led, kPadLeds>;

// Bytes 1-8 of the mousepad live block, copied under the driver's lock.
struct PadLightFields {
    uint8_t mode = 0;
    uint8_t brightness = 0;
    uint8_t speed = 0;
    uint8_t direction = 0;
    uint8_t colourCycle = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend bool operator==(const PadLightFields&, const PadLightFields&) = default;
};
PadLightFields PadLightFieldsFromBytes(std::span<const uint8_t, 8> bytes);

// LEDs of each column of the pad (left edge 0-4, bottom 4-10, right edge 10-14).
extern const std::array<std::vector<uint8_t>, kPadColumns> kPadColumnLeds;

struct PadEffectState {
    uint8_t position = 0;
    // Mode 4: the bouncing bar.
    int32_t barCount = 0;
    bool barFalling = false;
    // Mode 5: the trail.
    std::array<uint8_t, kPadLeds> headMask{};
    std::array<uint8_t, kPadLeds> levels{};
    std::array<uint8_t, kPadLeds> hues{};
    uint8_t hueCounter = 0;
    // Mode 7: the sliding band.
    bool bandShifting = false;  // F
    int bandCount = 0;          // N
    uint16_t bandPattern = 0;   // Q
    // Mode 8: the reactive flash.
    bool flashActive = false;
    uint8_t flashColour = 0;
    int64_t flashAtMs = 0;
    PadLeds leds{};
};

// The position and the trail cleared.
void ResetPadEffects(PadEffectState& state);
// The light page's choice: the reset, and mode 5's head on LED 0.
void ChoosePadMode(PadEffectState& state, uint8_t mode);

struct PadStepResult {
    bool ran = false;        // false for a mode outside 0-8: nothing changes
    bool sendFrame = false;  // mode 7's pauses send none
    std::vector<uint8_t> frame;
    int periodMs = 0;  // 9 + 4 x speed, the mode's extra sleep and mode 7's pause
};

// One step. flashRequest (event 0x403) is taken by mode 8 only; nowMs is a steady clock in ms.
PadStepResult StepPadLight(PadEffectState& state, const PadLightFields& fields, bool flashRequest,
                           int64_t nowMs);

}  // namespace gmd::mousepad
