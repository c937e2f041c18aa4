#include "mouse/light_tables.h"

namespace gmd::light {

namespace {

constexpr std::array<uint8_t, 64> kPulseRise = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  12,  14,  16,  18,  20,
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

constexpr std::array<uint8_t, 32> kWheelRise = {
    1,  3,  5,  7,   10,  14,  18,  22,  26,  32,  38,  44,  50,  57,  65,  73,
    81, 89, 99, 109, 119, 129, 140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
constexpr std::array<uint8_t, 32> kWheelFall = {
    248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124, 114, 104, 94, 85, 77,
    69,  61,  53,  47,  41,  35,  29,  24,  20,  16,  12,  8,   6,   4,  2,  0};

constexpr std::array<uint8_t, kPulseSize> MakePulse() {
    std::array<uint8_t, kPulseSize> pulse{};
    for (size_t n = 0; n < 64; ++n) {
        pulse[n] = kPulseRise[n];
        pulse[64 + n] = kPulseRise[63 - n];
    }
    return pulse;
}

constexpr std::array<Rgb, kHueWheelSize> MakeHueWheel() {
    std::array<Rgb, kHueWheelSize> wheel{};
    for (size_t i = 0; i < 32; ++i) {
        const uint8_t up = kWheelRise[i];
        const uint8_t down = kWheelFall[i];
        wheel[i] = {255, up, 0};          // red to yellow
        wheel[32 + i] = {down, 255, 0};   // yellow to green
        wheel[64 + i] = {0, 255, up};     // green to cyan
        wheel[96 + i] = {0, down, 255};   // cyan to blue
        wheel[128 + i] = {up, 0, 255};    // blue to magenta
        wheel[160 + i] = {255, 0, down};  // magenta to red
    }
    return wheel;
}

constexpr std::array<Rgb, kGradientWheelSize> MakeGradientWheel() {
    std::array<Rgb, kGradientWheelSize> wheel{};  // 192-399 stay dark
    const std::array<Rgb, kHueWheelSize> hue = MakeHueWheel();
    for (size_t i = 0; i < hue.size(); ++i) {
        wheel[i] = hue[i];
    }
    return wheel;
}

// Our own ramp: linear from 22 to 255 in 48 entries, then the mirror image.
constexpr std::array<uint8_t, kPulse2Size> MakePulse2() {
    std::array<uint8_t, kPulse2Size> pulse{};
    constexpr size_t kHalf = kPulse2Size / 2;
    for (size_t i = 0; i < kHalf; ++i) {
        const auto value =
            static_cast<uint8_t>(22 + ((255 - 22) * i + (kHalf - 1) / 2) / (kHalf - 1));
        pulse[i] = value;
        pulse[kPulse2Size - 1 - i] = value;
    }
    return pulse;
}

}  // namespace

constexpr std::array<uint8_t, kPulseSize> kPulseValues = MakePulse();
constexpr std::array<Rgb, kHueWheelSize> kHueWheelValues = MakeHueWheel();
constexpr std::array<uint8_t, kPulse2Size> kPulse2Values = MakePulse2();
static_assert(kPulseValues[63] == 255 && kPulseValues[64] == 255 && kPulseValues[127] == 0);
static_assert(kHueWheelValues[0] == Rgb{255, 1, 0});
static_assert(kPulse2Values[0] == 22 && kPulse2Values[47] == 255 && kPulse2Values[95] == 22);

const std::array<uint8_t, kPulseSize> kPulse = kPulseValues;
const std::array<Rgb, kHueWheelSize> kHueWheel = kHueWheelValues;
const std::array<Rgb, kGradientWheelSize> kGradientWheel = MakeGradientWheel();
const std::array<uint8_t, kPulse2Size> kPulse2 = kPulse2Values;

void FadeTrail(uint8_t& t) {
    if ((t & 0x80) != 0) {
        t = static_cast<uint8_t>(t - 15);
    } else if ((t & 0x40) != 0) {
        t = static_cast<uint8_t>(t - 10);
    } else if ((t & 0x20) != 0) {
        t = static_cast<uint8_t>(t - 7);
    } else if (t > 16) {
        t = static_cast<uint8_t>(t - 3);
    } else if (t != 0) {
        t = static_cast<uint8_t>(t - 1);
    }
}

}  // namespace gmd::light
