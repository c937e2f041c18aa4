#pragma once
// Constant tables of the host-driven lighting, shared by the mouse, keyboard, mousepad and
// synchronised engines. The 30 preset colours live in mouse/preset_colours.h.

#include <array>
#include <cstddef>
#include <cstdint>

namespace gmd::light {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// One LED as the engines keep it: its colour and the alpha it is shown with.
struct Led {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;
    friend bool operator==(const Led&, const Led&) = default;
};

inline constexpr Led MakeLed(Rgb colour, uint8_t alpha) {
    return Led{colour.red, colour.green, colour.blue, alpha};
}

inline constexpr std::array<uint8_t, 5> kBrightnessLevels = {45, 97, 149, 201, 255};

// The level of a brightness field; a value beyond the table (a foreign profile or device
// block) is taken as the brightest rather than read past the end.
inline constexpr uint8_t BrightnessLevel(uint8_t brightness) {
    return kBrightnessLevels[brightness < kBrightnessLevels.size() ? brightness
                                                                   : kBrightnessLevels.size() - 1];
}

inline constexpr size_t kPulseSize = 128;
inline constexpr size_t kHueWheelSize = 192;
inline constexpr size_t kGradientWheelSize = 400;
inline constexpr size_t kPulse2Size = 96;

extern const std::array<uint8_t, kPulseSize> kPulse;
extern const std::array<Rgb, kHueWheelSize> kHueWheel;
extern const std::array<Rgb, kGradientWheelSize> kGradientWheel;
// Rises from 22 to 255 over 48 entries and falls back over the other 48.
extern const std::array<uint8_t, kPulse2Size> kPulse2;

inline constexpr std::array<Rgb, 7> kSevenColoursA = {{{255, 0, 0},
                                                       {0, 255, 0},
                                                       {0, 0, 255},
                                                       {255, 255, 0},
                                                       {255, 0, 255},
                                                       {0, 255, 255},
                                                       {255, 255, 255}}};
inline constexpr std::array<Rgb, 7> kSevenColoursB = {{{255, 0, 0},
                                                       {255, 128, 0},
                                                       {255, 255, 0},
                                                       {0, 0, 255},
                                                       {0, 255, 255},
                                                       {0, 0, 255},
                                                       {255, 0, 255}}};

// The mouse's 17 LEDs in six groups of three (LED 16 belongs to the last two).
inline constexpr std::array<std::array<uint8_t, 3>, 6> kLedGroups = {
    {{0, 6, 12}, {1, 7, 13}, {2, 8, 14}, {3, 9, 15}, {4, 10, 16}, {5, 11, 16}}};

// One fade step of a trail level, shared by the mouse and keyboard engines: bright levels fall
// fast, dim ones slowly, so a trail ends softly.
void FadeTrail(uint8_t& level);

}  // namespace gmd::light
