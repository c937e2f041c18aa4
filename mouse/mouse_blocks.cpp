#include "mouse/mouse_blocks.h"

#include <algorithm>
#include <climits>

namespace gmd::mouse {

namespace {

constexpr int kMinPointerSpeed = 1;
constexpr int kMaxPointerSpeed = 20;
constexpr int kMinWheelLines = 1;
constexpr int kMaxWheelLines = 100;

int ClampWheelLines(int lines) {
    return std::clamp(lines, kMinWheelLines, kMaxWheelLines);
}

// The live block's fields, in block order: the tool sets them by name, the mouse page by offset,
// and both take a value only within the field's range. The light profile stores the whole host
// block, but a stage colour is a setting of the device profile alone.
constexpr LiveField kLiveFields[] = {
    {"profileIndex", live::profileIndex, 0, kProfileCount - 1, false, 1, true, ""},
    {"lightMode", live::lightMode, 0, 6, false, 1, true, ""},
    {"lightBrightness", live::lightBrightness, 0, 255, false, 1, true, "ms_deng_light_slider"},
    {"lightSpeed", live::lightSpeed, 0, 4, false, 1, true, "ms_deng_speed_slider"},
    {"lightDirection", live::lightDirection, 0, 1, false, 1, true, "ms_Deng_FXL_check"},
    {"colourCycle", live::colourCycle, 0, 255, false, 1, true, "ms_Deng_7color_check"},
    {"lightRed", live::lightRed, 0, 255, false, 1, true, ""},
    {"lightGreen", live::lightGreen, 0, 255, false, 1, true, ""},
    {"lightBlue", live::lightBlue, 0, 255, false, 1, true, ""},
    {"effectPhase", live::effectPhase, 0, 2, false, 1, true, ""},
    {"reportRate", live::reportRate, 0, 3, false, 1, true, "ms_report_fct_combo"},
    {"dpiStep1", live::dpiStep1, 0, 255, true, 1, true, "ms_DPI1_slider"},
    {"dpiStep2", live::dpiStep2, 0, 255, true, 1, true, "ms_DPI2_slider"},
    {"dpiStep3", live::dpiStep3, 0, 255, true, 1, true, "ms_DPI3_slider"},
    {"dpiStep4", live::dpiStep4, 0, 255, true, 1, true, "ms_DPI4_slider"},
    {"dpiStage", live::dpiStage, 0, 5, false, 1, true, ""},
    {"dpiStep5", live::dpiStep5, 0, 255, true, 1, true, "ms_DPI5_slider"},
    {"dpiColour1", live::dpiColour1 + 0, 0, 0xFFFFFF, false, 3, false, "ms_DPIcolor_btn_1"},
    {"dpiColour2", live::dpiColour1 + 3, 0, 0xFFFFFF, false, 3, false, "ms_DPIcolor_btn_2"},
    {"dpiColour3", live::dpiColour1 + 6, 0, 0xFFFFFF, false, 3, false, "ms_DPIcolor_btn_3"},
    {"dpiColour4", live::dpiColour1 + 9, 0, 0xFFFFFF, false, 3, false, "ms_DPIcolor_btn_4"},
    {"dpiColour5", live::dpiColour1 + 12, 0, 0xFFFFFF, false, 3, false, "ms_DPIcolor_btn_5"},
    {"liftHeight", live::liftHeight, 0, 2, false, 1, true, "heightLow"},
    {"lineAdjust", live::lineAdjust, 0, 1, false, 1, true, "ms_line_adjust"},
};

struct SensorEntry {
    uint16_t id;
    SensorRange range;
};

constexpr SensorEntry kSensors[] = {
    {0x3325, {"200", "5000"}}, {0x3327, {"200", "6200"}},  {0x3050, {"250", "4000"}},
    {0x3330, {"50", "7200"}},  {0x3360, {"100", "12000"}}, {0x3310, {"50", "5000"}},
};

}  // namespace

size_t DpiStepOffset(int stage) {
    switch (std::clamp(stage, 1, kDpiStages)) {
        case 1:
            return live::dpiStep1;
        case 2:
            return live::dpiStep2;
        case 3:
            return live::dpiStep3;
        case 4:
            return live::dpiStep4;
        default:
            return live::dpiStep5;
    }
}

size_t DpiColourOffset(int stage) {
    return live::dpiColour1 + 3 * static_cast<size_t>(std::clamp(stage, 1, kDpiStages) - 1);
}

Image InitialCurrentImage() {
    Image image{};
    // The factory functions of the first six keys; the rest hold 0x05.
    constexpr uint8_t kFirstKeys[6][3] = {{0x10, 0x01, 0x00}, {0x10, 0x04, 0x00},
                                          {0x10, 0x02, 0x00}, {0x10, 0x10, 0x00},
                                          {0x10, 0x08, 0x00}, {0x13, 0x03, 0x00}};
    for (size_t key = 0; key < 6; ++key) {
        std::copy_n(kFirstKeys[key], 3, image.begin() + static_cast<std::ptrdiff_t>(3 * key));
    }
    std::fill(image.begin() + 18, image.begin() + 510, uint8_t{0x05});
    return image;
}

uint16_t MouseBlocks::SensorId() const {
    return static_cast<uint16_t>(mouseInfo[info::sensorId] | (mouseInfo[info::sensorId + 1] << 8));
}

uint8_t MouseBlocks::DpiStepMax() const {
    return mouseInfo[info::dpiStepMax];
}

std::array<uint8_t, kLiveSendSize> MouseBlocks::LiveSendBlock() const {
    std::array<uint8_t, kLiveSendSize> bytes{};
    std::lock_guard lock(lightMutex);
    std::copy(mouseLive.begin(), mouseLive.end(), bytes.begin());
    return bytes;
}

void MouseBlocks::RefreshHostBlock0() {
    HostBlock& block = mouseHostBlock[0];
    {
        std::lock_guard lock(lightMutex);
        std::copy(mouseLive.begin(), mouseLive.end(), block.begin());
    }
    // Kept in range so a stray value cannot wrap around in its byte.
    block[host::pointerSpeed] = static_cast<uint8_t>(ClampPointerSpeed(pointerSpeed));
    block[host::wheelLines] = static_cast<uint8_t>(ClampWheelLines(wheelLines));
}

std::array<uint8_t, kLightBlobSize> MouseBlocks::LightBlob() {
    RefreshHostBlock0();
    return mouseHostBlock[0];
}

std::vector<uint8_t> MouseBlocks::DeviceBlob() {
    RefreshHostBlock0();
    std::vector<uint8_t> blob(mouseBankImage[0].begin(), mouseBankImage[0].end());
    blob.insert(blob.end(), mouseHostBlock[0].begin(), mouseHostBlock[0].end());
    return blob;
}

bool MouseBlocks::LoadLightBlob(std::span<const uint8_t> blob) {
    if (blob.size() != kLightBlobSize) {
        return false;
    }
    HostBlock& block = mouseHostBlock[0];
    std::copy(blob.begin(), blob.end(), block.begin());
    {
        std::lock_guard lock(lightMutex);
        std::copy_n(block.begin(), kLiveSize, mouseLive.begin());
    }
    pointerSpeed = ClampPointerSpeed(block[host::pointerSpeed]);
    wheelLines = ClampWheelLines(block[host::wheelLines]);
    return true;
}

bool MouseBlocks::LoadDeviceBlob(std::span<const uint8_t> blob, int systemPointerSpeed) {
    if (blob.size() != kDeviceBlobSize) {
        return false;
    }
    std::copy_n(blob.begin(), kImageSize, mouseBankImage[0].begin());
    HostBlock& block = mouseHostBlock[0];
    std::copy(blob.begin() + kImageSize, blob.end(), block.begin());
    {
        std::lock_guard lock(lightMutex);
        std::copy_n(block.begin(), kLiveSize, mouseLive.begin());
    }
    wheelLines = ClampWheelLines(block[host::wheelLines]);
    pointerSpeed = ClampPointerSpeed(systemPointerSpeed);
    return true;
}

int DpiFromStep(int step) {
    return 50 * (step + 1);
}

std::optional<SensorRange> SensorRangeOf(uint16_t sensorId) {
    for (const SensorEntry& sensor : kSensors) {
        if (sensor.id == sensorId) {
            return sensor.range;
        }
    }
    return std::nullopt;
}

int PointerSpeedFromPosition(int position) {
    // Saturates rather than overflowing for a position no slider gives.
    const int clamped = std::clamp(position, 0, (INT_MAX - 2) / 2);
    return 2 * clamped + 2;
}

int PositionFromPointerSpeed(int speed) {
    return speed / 2 - 1;
}

int ClampPointerSpeed(int speed) {
    return std::clamp(speed, kMinPointerSpeed, kMaxPointerSpeed);
}

int StepWheelLines(int shown, bool up) {
    // Capping first keeps the arithmetic away from the int limits; it changes no result.
    const int capped = std::clamp(shown, 0, kMaxWheelLines);
    if (up) {
        return std::min(std::max(capped, 1) + 1, kMaxWheelLines);
    }
    return std::max(capped - 1, 1);
}

std::span<const LiveField> LiveFields() {
    return kLiveFields;
}

int ReadLiveField(const LiveBlock& block, const LiveField& field) {
    int value = 0;
    for (size_t i = 0; i < field.width; ++i) {
        value = value << 8 | block[field.offset + i];
    }
    return value;
}

void WriteLiveField(LiveBlock& block, const LiveField& field, int value) {
    for (size_t i = field.width; i-- > 0; value >>= 8) {
        block[field.offset + i] = static_cast<uint8_t>(value);
    }
}

const LiveField* LiveFieldAt(size_t offset) {
    for (const LiveField& field : kLiveFields) {
        if (field.offset == offset) {
            return &field;
        }
    }
    return nullptr;
}

int FieldMax(const LiveField& field, int dpiStepMax) {
    return field.maxIsDpiStepMax ? std::min(dpiStepMax, field.max) : field.max;
}

bool FieldAccepts(const LiveField& field, int value, int dpiStepMax) {
    return value >= field.min && value <= FieldMax(field, dpiStepMax);
}

int ClampToField(const LiveField& field, int value, int dpiStepMax) {
    return std::clamp(value, field.min, FieldMax(field, dpiStepMax));
}

const LiveField* FindLiveField(std::string_view name) {
    for (const LiveField& field : kLiveFields) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

}  // namespace gmd::mouse
