#include "profiles/default_profiles.h"

#include <algorithm>
#include <array>

#include "mouse/mouse_blocks.h"
#include "profiles/profile_file.h"

namespace gmd::profiles {

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

// The lighting fields at bytes 1-8, the same layout for all three devices.
struct Light {
    uint8_t mode;         // 0-6
    uint8_t brightness;   // 0-4
    uint8_t speed;        // 0 fastest - 4
    uint8_t direction;    // 1 left, 0 right
    uint8_t colourCycle;  // 0 single colour, non-zero seven-colour cycle
    Rgb colour;
};

// ---- Mouse: host block 0 -------------------------------------------------------------------

constexpr Light kMouseLight{0, 4, 2, 0, 255, kRed};
constexpr uint8_t kReportRate1000Hz = 3;  // item index: 125, 250, 500, 1000 Hz
// DPI = 50 x (step + 1): 400, 800, 1600, 3200, 4800.
constexpr std::array<uint8_t, 5> kDpiSteps{7, 15, 31, 63, 95};
constexpr uint8_t kActiveStage = 1;  // 800 DPI
constexpr std::array<Rgb, 5> kStageColours{kRed, kGreen, kBlue, kYellow, kMagenta};
constexpr uint8_t kLiftMiddle = 1;
constexpr uint8_t kLineAdjustOff = 0;
constexpr uint8_t kPointerSpeed = 10;
constexpr uint8_t kWheelLines = 3;

// ---- Keyboard --------------------------------------------------------------------------------

constexpr Light kKeyboardLight{0, 4, 2, 0, 255, kWhite};
constexpr size_t kKeyboardKeys = 126;
constexpr uint32_t kKeyboardCustomTable = 0;  // selected custom colour table
// The five custom colour tables: every key in one colour, to paint over.
constexpr std::array<Rgb, 5> kKeyboardCustomColours{kWhite, kRed, kGreen, kBlue, kCyan};
// Key records {kind, arg1, arg2}: kind 0x20 sends a keyboard usage (arg2) with modifiers (arg1).
constexpr uint8_t kKeyboardKeyKind = 0x20;
constexpr uint8_t kFirstUsage = 0x04;  // A
constexpr uint8_t kLastUsage = 0x65;   // Application
constexpr uint8_t kUnprogrammed = 0x05;
constexpr size_t kKeyRecordBytes = 510;  // 170 records; the last two bytes stay 0

// ---- Mousepad --------------------------------------------------------------------------------

constexpr Light kMousepadLight{0, 4, 2, 0, 255, kWhite};

// Light block offsets shared by the devices.
constexpr size_t kModeByte = 1;

void PutLight(uint8_t* block, const Light& light) {
    block[kModeByte] = light.mode;
    block[kModeByte + 1] = light.brightness;
    block[kModeByte + 2] = light.speed;
    block[kModeByte + 3] = light.direction;
    block[kModeByte + 4] = light.colourCycle;
    block[kModeByte + 5] = light.colour.red;
    block[kModeByte + 6] = light.colour.green;
    block[kModeByte + 7] = light.colour.blue;
}

std::vector<uint8_t> MouseKeyImage() {
    const mouse::Image image = mouse::InitialCurrentImage();
    return {image.begin(), image.end()};
}

std::vector<uint8_t> MouseHostBlock() {
    namespace live = mouse::live;
    std::vector<uint8_t> block(mouse::kHostBlockSize, 0);
    PutLight(block.data(), kMouseLight);
    block[live::reportRate] = kReportRate1000Hz;
    for (int stage = 1; stage <= 5; ++stage) {
        const auto i = static_cast<size_t>(stage - 1);
        block[mouse::DpiStepOffset(stage)] = kDpiSteps[i];
        const size_t colour = mouse::DpiColourOffset(stage);
        block[colour] = kStageColours[i].red;
        block[colour + 1] = kStageColours[i].green;
        block[colour + 2] = kStageColours[i].blue;
    }
    block[live::dpiStage] = kActiveStage;
    block[live::liftHeight] = kLiftMiddle;
    block[live::lineAdjust] = kLineAdjustOff;
    block[mouse::host::pointerSpeed] = kPointerSpeed;
    block[mouse::host::wheelLines] = kWheelLines;
    return block;
}

std::vector<uint8_t> KeyboardKeyImage() {
    std::vector<uint8_t> image(kKeyboardKeyBlob, 0);
    std::fill_n(image.begin(), kKeyRecordBytes, kUnprogrammed);
    size_t record = 0;
    for (unsigned usage = kFirstUsage; usage <= kLastUsage; ++usage, ++record) {
        image[3 * record] = kKeyboardKeyKind;
        image[3 * record + 1] = 0;
        image[3 * record + 2] = static_cast<uint8_t>(usage);
    }
    // The eight modifiers alone: left control, shift, alt, GUI, then the right ones.
    for (unsigned bit = 0; bit < 8; ++bit, ++record) {
        image[3 * record] = kKeyboardKeyKind;
        image[3 * record + 1] = static_cast<uint8_t>(1u << bit);
        image[3 * record + 2] = 0;
    }
    return image;
}

// Light block (64), custom table number (32-bit little-endian), five colour tables.
std::vector<uint8_t> KeyboardLightContent() {
    std::vector<uint8_t> blob(kKeyboardLightBlob, 0);
    PutLight(blob.data(), kKeyboardLight);
    for (size_t b = 0; b < 4; ++b) {
        blob[64 + b] = static_cast<uint8_t>(kKeyboardCustomTable >> (8 * b));
    }
    constexpr size_t kTableBytes = kKeyboardKeys * 3;
    for (size_t table = 0; table < kKeyboardCustomColours.size(); ++table) {
        for (size_t key = 0; key < kKeyboardKeys; ++key) {
            const size_t at = 68 + table * kTableBytes + key * 3;
            blob[at] = kKeyboardCustomColours[table].red;
            blob[at + 1] = kKeyboardCustomColours[table].green;
            blob[at + 2] = kKeyboardCustomColours[table].blue;
        }
    }
    return blob;
}

std::vector<uint8_t> MousepadLightBlock() {
    std::vector<uint8_t> block(kMousepadLightBlob, 0);
    PutLight(block.data(), kMousepadLight);
    return block;
}

std::vector<uint8_t> Join(std::vector<uint8_t> first, const std::vector<uint8_t>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

}  // namespace

std::vector<uint8_t> DefaultBlob(ListId list) {
    switch (list) {
        case ListId::MouseDevice:
            return Join(MouseKeyImage(), MouseHostBlock());
        case ListId::MouseLight:
            return MouseHostBlock();
        case ListId::MouseKey:
            return MouseKeyImage();
        case ListId::KeyboardDevice:
            return Join(KeyboardKeyImage(), KeyboardLightContent());
        case ListId::KeyboardLight:
            return KeyboardLightContent();
        case ListId::KeyboardKey:
            return KeyboardKeyImage();
        case ListId::MousepadLight:
            break;
    }
    return MousepadLightBlock();
}

std::vector<uint8_t> DefaultFileBytes(ListId list) {
    const std::string bytes = ProfileFileBytes(DefaultBlob(list), Info(list).device);
    return {bytes.begin(), bytes.end()};
}

}  // namespace gmd::profiles
