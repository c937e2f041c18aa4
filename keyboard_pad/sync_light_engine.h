#pragma once
// The synchronised lighting engine: one common effect on every device whose channel has
// lightSync set, as pure step functions. The keyboard's layout tables are parameters, so the
// keyboard engine's data plugs in without touching this file.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "mouse/light_tables.h"

namespace gmd::sync_light {

inline constexpr size_t kSyncBlockSize = 8;
inline constexpr size_t kKeyboardKeys = 126;
inline constexpr size_t kMouseLeds = 20;
inline constexpr size_t kMousepadLeds = 15;
inline constexpr size_t kKeyboardFrameSize = 378;  // 126 keys x 3
inline constexpr size_t kMouseFrameSize = 60;      // 20 LEDs x 3
inline constexpr size_t kMousepadFrameSize = 45;   // 15 LEDs x 3
inline constexpr uint8_t kNoKey = 126;
inline constexpr size_t kKeyboardColumns = 23;
inline constexpr size_t kKeyboardRows = 6;

// The synchronisation block: a copy of bytes 1-8 (the light fields) of the live block of the
// device the user synchronised from.
struct SyncFields {
    uint8_t mode = 0;
    uint8_t brightness = 0;
    uint8_t speed = 0;
    uint8_t direction = 0;
    uint8_t colourCycle = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend bool operator==(const SyncFields&, const SyncFields&) = default;
};
// bytes = live block bytes 1-8.
SyncFields SyncFieldsFromBytes(std::span<const uint8_t, kSyncBlockSize> bytes);

// The keyboard's physical layout: key index per column and row (kNoKey = none) and each key's
// position in the 378-byte frame (kNoKey = not sent).
struct KeyboardFrameLayout {
    std::array<std::array<uint8_t, kKeyboardRows>, kKeyboardColumns> columns{};
    std::array<uint8_t, kKeyboardKeys> keyToFrame{};
};

// Which devices take part (their channel's lightSync).
struct SyncTargets {
    bool keyboard = false;
    bool mouse = false;
    bool mousepad = false;
};

struct SyncEffectState {
    uint8_t position = 0;
    std::array<light::Led, kKeyboardKeys> keyboard{};
    std::array<light::Led, kMouseLeds> mouse{};
    std::array<light::Led, kMousepadLeds> mousepad{};
};

// The frames of one step, for the devices that take part; empty for the others.
struct SyncFrames {
    std::vector<uint8_t> keyboard;
    std::vector<uint8_t> mouse;
    std::vector<uint8_t> mousepad;
};

struct SyncStepResult {
    bool ran = false;  // false for a mode outside 0-3: no frames
    SyncFrames frames;
    int periodMs = 0;
};

// Nominal USB time of one 64-byte report written and answered: a frame that is sent paces the
// step as the device's own transaction did, now that sending runs beside the engine.
inline constexpr int kReportRoundTripMs = 2;

// One step of fields.mode: 0 wave, 1 spectrum cycle, 2 breathing, 3 static. The keyboard frame
// is built only with a layout. The period holds the pass's sleeps (4 x speed, the mode's own),
// the transfer time of each frame sent, and at least 1 ms.
SyncStepResult StepSyncLight(SyncEffectState& state, const SyncFields& fields,
                             const SyncTargets& targets, const KeyboardFrameLayout* layout);

}  // namespace gmd::sync_light
