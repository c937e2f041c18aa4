#include "emulator/factory_data.h"

#include <algorithm>

namespace gmd::emu {

namespace {

struct Rgb {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kMagenta{255, 0, 255};
constexpr Rgb kCyan{0, 255, 255};
constexpr Rgb kWhite{255, 255, 255};

// Information block, the same layout for all three kinds:
//   byte  0      device class: 1 keyboard, 2 mouse, 3 mousepad
//   bytes 1-2    firmware version, little-endian (0x0105 = 1.05)
//   byte  3      hardware revision
//   byte  4      onboard profiles
//   byte  5      number of keys
//   byte  6      macro memory in 128-byte units
//   byte  7      number of LEDs
//   byte  8      cursor sequences held
//   bytes 9-10   sensor id, little-endian (0 without a sensor)
//   byte  11     lowest DPI step, byte 12 highest DPI step (DPI = 50 x (step + 1))
//   byte  13     report rates offered (125, 250, 500, 1000 Hz)
//   bytes 14-15  product ID, little-endian
//   bytes 16-32  reserved, zero
struct InfoDefaults {
    uint8_t deviceClass;
    uint8_t keys;
    uint8_t macroUnits;
    uint8_t leds;
    uint8_t cursorSequences;
    uint16_t sensorId;
    uint8_t dpiStepMin;
    uint8_t dpiStepMax;
    uint8_t reportRates;
};

constexpr InfoDefaults kMouseInfo{2, 6, 32, 17, 4, 0x3360, 1, 239, 4};
constexpr InfoDefaults kKeyboardInfo{1, 126, 32, 126, 0, 0, 0, 0, 4};
constexpr InfoDefaults kMousepadInfo{3, 0, 0, 15, 0, 0, 0, 0, 0};

// Settings block offsets shared by the three kinds.
namespace block {
constexpr size_t kProfileIndex = 0;
constexpr size_t kLightMode = 1;
constexpr size_t kBrightness = 2;
constexpr size_t kSpeed = 3;
constexpr size_t kDirection = 4;
constexpr size_t kColourCycle = 5;
constexpr size_t kColour = 6;
constexpr size_t kReportRate = 14;
constexpr size_t kDpiStep1 = 15;  // steps 1-4 at 15-18
constexpr size_t kDpiStage = 19;
constexpr size_t kDpiStep5 = 20;
constexpr size_t kStageColours = 23;  // five RGB triples
constexpr size_t kLiftHeight = 44;
constexpr size_t kLineAdjust = 45;
}  // namespace block

struct LightDefaults {
    uint8_t mode;         // 0-6
    uint8_t brightness;   // 0-4
    uint8_t speed;        // 0 fastest - 4
    uint8_t direction;    // 1 left, 0 right
    uint8_t colourCycle;  // 0 single colour, 255 seven-colour cycle
    Rgb colour;
};

struct MouseProfileDefaults {
    LightDefaults light;
    uint8_t reportRate;  // index: 0 125 Hz, 1 250 Hz, 2 500 Hz, 3 1000 Hz
    std::array<uint8_t, 5> dpiSteps;
    uint8_t dpiStage;  // active stage, 0-based
    std::array<Rgb, 5> stageColours;
    uint8_t liftHeight;  // 0 low, 1 middle, 2 high
    uint8_t lineAdjust;
};

// DPI 800, 1600, 2400, 3200, 4800.
constexpr std::array<uint8_t, 5> kDpiSteps{15, 31, 47, 63, 95};
constexpr std::array<Rgb, 5> kStageColours{kRed, kGreen, kBlue, kYellow, kMagenta};

// The five profiles differ in their lighting only.
constexpr std::array<MouseProfileDefaults, 5> kMouseProfiles{{
    //  mode bright speed dir cycle colour     rate  DPI        stage  colours  lift line
    {{0, 4, 2, 0, 255, kRed}, 3, kDpiSteps, 1, kStageColours, 0, 0},
    {{1, 4, 2, 1, 0, kRed}, 3, kDpiSteps, 1, kStageColours, 0, 0},
    {{2, 4, 2, 0, 0, kGreen}, 3, kDpiSteps, 1, kStageColours, 0, 0},
    {{3, 4, 2, 1, 0, kBlue}, 3, kDpiSteps, 1, kStageColours, 0, 0},
    {{4, 4, 2, 0, 255, kCyan}, 3, kDpiSteps, 1, kStageColours, 0, 0},
}};

// Keyboard and mousepad keep the lighting fields only.
constexpr std::array<LightDefaults, 5> kKeyboardProfiles{{
    {0, 4, 2, 0, 255, kWhite},
    {1, 4, 2, 1, 0, kRed},
    {2, 4, 2, 0, 0, kGreen},
    {3, 4, 2, 1, 0, kBlue},
    {4, 4, 2, 0, 255, kCyan},
}};
constexpr std::array<LightDefaults, 5> kMousepadProfiles{{
    {0, 4, 2, 0, 255, kWhite},
    {1, 4, 2, 0, 0, kRed},
    {2, 4, 2, 1, 0, kGreen},
    {3, 4, 2, 0, 0, kBlue},
    {4, 4, 2, 1, 255, kMagenta},
}};

// Mouse buttons in key-table order: left, middle, right, forward, back, DPI loop.
constexpr std::array<std::array<uint8_t, 3>, 6> kMouseButtons{{
    {0x10, 0x01, 0x00},
    {0x10, 0x04, 0x00},
    {0x10, 0x02, 0x00},
    {0x10, 0x10, 0x00},
    {0x10, 0x08, 0x00},
    {0x13, 0x03, 0x00},
}};

constexpr uint8_t kUnprogrammed = 0x05;
constexpr size_t kKeyRecordBytes = 510;  // 170 records; the last two bytes stay 0

void PutLight(std::vector<uint8_t>& out, const LightDefaults& light) {
    out[block::kLightMode] = light.mode;
    out[block::kBrightness] = light.brightness;
    out[block::kSpeed] = light.speed;
    out[block::kDirection] = light.direction;
    out[block::kColourCycle] = light.colourCycle;
    out[block::kColour] = light.colour.red;
    out[block::kColour + 1] = light.colour.green;
    out[block::kColour + 2] = light.colour.blue;
}

void PutRecord(std::vector<uint8_t>& table, size_t record, uint8_t kind, uint8_t arg1,
               uint8_t arg2) {
    table[3 * record] = kind;
    table[3 * record + 1] = arg1;
    table[3 * record + 2] = arg2;
}

}  // namespace

uint16_t ProductIdOf(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Mouse:
            return kMouseProductId;
        case DeviceKind::Keyboard:
            return kKeyboardProductId;
        case DeviceKind::Mousepad:
            break;
    }
    return kMousepadProductId;
}

const char* NodeNameOf(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Mouse:
            return "mouse";
        case DeviceKind::Keyboard:
            return "keyboard";
        case DeviceKind::Mousepad:
            break;
    }
    return "mousepad";
}

bool HasConsumerControl(DeviceKind kind) {
    return kind != DeviceKind::Mousepad;
}

std::array<uint8_t, kInfoBlockSize> FactoryInfoBlock(DeviceKind kind) {
    const InfoDefaults& d = kind == DeviceKind::Mouse      ? kMouseInfo
                            : kind == DeviceKind::Keyboard ? kKeyboardInfo
                                                           : kMousepadInfo;
    const uint16_t productId = ProductIdOf(kind);
    std::array<uint8_t, kInfoBlockSize> info{};
    info[0] = d.deviceClass;
    info[1] = static_cast<uint8_t>(kFirmwareVersion & 0xFFu);
    info[2] = static_cast<uint8_t>(kFirmwareVersion >> 8);
    info[3] = 1;
    info[4] = 5;
    info[5] = d.keys;
    info[6] = d.macroUnits;
    info[7] = d.leds;
    info[8] = d.cursorSequences;
    info[9] = static_cast<uint8_t>(d.sensorId & 0xFFu);
    info[10] = static_cast<uint8_t>(d.sensorId >> 8);
    info[11] = d.dpiStepMin;
    info[12] = d.dpiStepMax;
    info[13] = d.reportRates;
    info[14] = static_cast<uint8_t>(productId & 0xFFu);
    info[15] = static_cast<uint8_t>(productId >> 8);
    return info;
}

std::vector<uint8_t> FactoryProfile(DeviceKind kind, int index) {
    std::vector<uint8_t> out(kProfileBlockSize, 0);
    if (index < 0 || index >= 5) {
        return out;
    }
    const auto i = static_cast<size_t>(index);
    out[block::kProfileIndex] = static_cast<uint8_t>(index);
    if (kind == DeviceKind::Keyboard) {
        PutLight(out, kKeyboardProfiles[i]);
        return out;
    }
    if (kind == DeviceKind::Mousepad) {
        PutLight(out, kMousepadProfiles[i]);
        return out;
    }
    const MouseProfileDefaults& p = kMouseProfiles[i];
    PutLight(out, p.light);
    out[block::kReportRate] = p.reportRate;
    for (size_t s = 0; s < 4; ++s) {
        out[block::kDpiStep1 + s] = p.dpiSteps[s];
    }
    out[block::kDpiStep5] = p.dpiSteps[4];
    out[block::kDpiStage] = p.dpiStage;
    for (size_t s = 0; s < p.stageColours.size(); ++s) {
        out[block::kStageColours + 3 * s] = p.stageColours[s].red;
        out[block::kStageColours + 3 * s + 1] = p.stageColours[s].green;
        out[block::kStageColours + 3 * s + 2] = p.stageColours[s].blue;
    }
    out[block::kLiftHeight] = p.liftHeight;
    out[block::kLineAdjust] = p.lineAdjust;
    return out;
}

std::vector<uint8_t> FactoryKeyTable(DeviceKind kind) {
    std::vector<uint8_t> table(kImageSize, 0);
    std::fill_n(table.begin(), kKeyRecordBytes, kUnprogrammed);
    if (kind == DeviceKind::Mouse) {
        for (size_t k = 0; k < kMouseButtons.size(); ++k) {
            PutRecord(table, k, kMouseButtons[k][0], kMouseButtons[k][1], kMouseButtons[k][2]);
        }
    } else if (kind == DeviceKind::Keyboard) {
        // Keys send the keyboard usages 0x04 (A) to 0x65 (Application) in order, then the
        // eight modifiers alone; the remaining key slots are unprogrammed.
        constexpr size_t kUsageKeys = 0x65 - 0x04 + 1;
        for (size_t k = 0; k < kUsageKeys; ++k) {
            PutRecord(table, k, 0x20, 0x00, static_cast<uint8_t>(0x04 + k));
        }
        for (size_t m = 0; m < 8; ++m) {
            PutRecord(table, kUsageKeys + m, 0x20, static_cast<uint8_t>(1u << m), 0x00);
        }
    }
    return table;
}

std::vector<uint8_t> FactorySettingsMemory(DeviceKind kind) {
    std::vector<uint8_t> memory(kSettingsMemorySize, 0);
    for (int i = 0; i < 5; ++i) {
        const std::vector<uint8_t> profile = FactoryProfile(kind, i);
        std::copy(profile.begin(), profile.end(),
                  memory.begin() + static_cast<std::ptrdiff_t>(i) * 64);
    }
    memory[0] = 0;  // current profile
    return memory;
}

std::vector<uint8_t> FactoryBankMemory(DeviceKind kind) {
    // Bank b starts at b x 126, so a bank's own keys are its first 42 entries and the rest of a
    // 512-byte read overlaps the banks above. Every profile of a mouse starts with the factory
    // buttons; the keyboard keeps one bank.
    std::vector<uint8_t> memory(kBankMemorySize, kUnprogrammed);
    const std::vector<uint8_t> table = FactoryKeyTable(kind);
    std::copy(table.begin(), table.end(), memory.begin());
    if (kind == DeviceKind::Mouse) {
        constexpr std::ptrdiff_t kButtonBytes = 6 * 3;
        for (std::ptrdiff_t bank = 1; bank < 5; ++bank) {
            std::copy(table.begin(), table.begin() + kButtonBytes, memory.begin() + bank * 126);
        }
    }
    return memory;
}

std::vector<uint8_t> CommandNodeDescriptor() {
    return {
        0x06, 0x1C, 0xFF,  // Usage Page (vendor 0xFF1C)
        0x09, 0x92,        // Usage (0x92)
        0xA1, 0x01,        // Collection (Application)
        0x85, 0x04,        //   Report ID (4)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x00,  //   Logical Maximum (255)
        0x75, 0x08,        //   Report Size (8)
        0x95, 0x3F,        //   Report Count (63)
        0x09, 0x01,        //   Usage (1)
        0x81, 0x02,        //   Input (Data, Variable, Absolute)
        0x09, 0x02,        //   Usage (2)
        0x91, 0x02,        //   Output (Data, Variable, Absolute)
        0xC0,              // End Collection
    };
}

std::vector<uint8_t> ConsumerNodeDescriptor() {
    return {
        0x05, 0x0C,        // Usage Page (Consumer)
        0x09, 0x01,        // Usage (Consumer Control)
        0xA1, 0x01,        // Collection (Application)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x07,  //   Logical Maximum (0x7FF)
        0x19, 0x00,        //   Usage Minimum (0)
        0x2A, 0xFF, 0x07,  //   Usage Maximum (0x7FF)
        0x75, 0x10,        //   Report Size (16)
        0x95, 0x01,        //   Report Count (1)
        0x81, 0x00,        //   Input (Data, Array, Absolute)
        0xC0,              // End Collection
    };
}

}  // namespace gmd::emu
