#pragma once
// The mouse lighting engine: seven modes as pure step functions over an effect state. A given
// state, light fields and flash request give given LEDs, frame bytes and step period.

#include <array>
#include <cstddef>
#include <cstdint>

#include "mouse/light_tables.h"
#include "mouse/mouse_blocks.h"

namespace gmd::mouse {

inline constexpr size_t kMouseLedCount = 20;   // 17 LEDs on the mouse, 3 more for sync effects
inline constexpr size_t kMouseModeLeds = 17;   // what the mouse modes drive
inline constexpr size_t kMouseFrameSize = 51;  // command 18 from the mouse engine
inline constexpr int kMouseLightModes = 7;

using MouseLeds = std::array<light::Led, kMouseLedCount>;
using MouseFrame = std::array<uint8_t, kMouseFrameSize>;

// Copy of the live block's light fields (bytes 1-9), taken under MouseBlocks::lightMutex.
struct LightFields {
    uint8_t mode = 0;
    uint8_t brightness = 0;
    uint8_t speed = 0;
    uint8_t direction = 0;
    uint8_t colourCycle = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t effectPhase = 0;
    friend bool operator==(const LightFields&, const LightFields&) = default;
};
LightFields ReadLightFields(const LiveBlock& live);
// Writes back what a step changes (the effect phase of mode 4).
void WriteEffectPhase(LiveBlock& live, const LightFields& fields);

// Choosing mode 0 on the light page turns the colour cycle on; other modes keep it.
void ApplyModeChoice(LightFields& fields, uint8_t mode);

struct MouseEffectState {
    uint8_t position = 0;              // P
    std::array<uint8_t, 126> trail{};  // T[0..16] are the mouse's
    uint16_t gradientPhase = 0;        // Φ, 0-399
    uint8_t cycleColour4 = 0;          // K4
    uint8_t cycleColour1 = 0;          // K1
    uint8_t envelope = 0;              // E
    uint8_t flashColour = 0;           // Q
    bool flashActive = false;
    MouseLeds leds{};
};

// P = 0 and the trail cleared; the rest carries on.
void ResetEffects(MouseEffectState& state);
// P forwards (direction non-zero) or backwards, wrapping within 0..n-1; returns P.
uint8_t Step(MouseEffectState& state, uint8_t direction, int n);
// Lowers T[i] the faster the brighter it is.
void Fade(MouseEffectState& state, size_t i);

// The time one step takes: 12 x speed + 3 ms, plus 40, 20 or 5 ms in modes 1, 3 and 4.
int MouseStepPeriodMs(const LightFields& fields);

// Runs one step of fields.mode. The flash request (event 0x403) is consumed by mode 6 only.
// Mode 4 advances fields.effectPhase. Returns false for a mode outside 0-6, which changes
// nothing.
bool StepMouseLight(MouseEffectState& state, LightFields& fields, bool flashRequest);

// The 51 bytes of command 18: per LED 0-16 red, green, blue, each x alpha / 256.
MouseFrame BuildMouseFrame(const MouseLeds& leds);

}  // namespace gmd::mouse
