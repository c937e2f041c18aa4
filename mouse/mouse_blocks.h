#pragma once
// The mouse's settings blocks as the host keeps them: byte arrays with named offsets, because
// they are the wire format and the profile-file format at once.

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace gmd::mouse {

inline constexpr size_t kInfoSize = 33;
inline constexpr size_t kImageSize = 512;
inline constexpr size_t kHostBlockSize = 64;
inline constexpr size_t kLiveSize = 46;
inline constexpr size_t kLiveSendSize = 56;  // the live block and 10 zero bytes
inline constexpr int kProfileCount = 5;
inline constexpr int kDpiStages = 5;  // stages with a step in the live block

inline constexpr size_t kLightBlobSize = kHostBlockSize;                // ".led"
inline constexpr size_t kDeviceBlobSize = kImageSize + kHostBlockSize;  // ".config"
inline constexpr size_t kKeyBlobSize = kImageSize;                      // ".pro"

// Information block fields.
namespace info {
inline constexpr size_t macroMemory = 6;
inline constexpr size_t sensorId = 9;  // 16-bit little-endian
inline constexpr size_t dpiStepMax = 12;
}  // namespace info

// Live block fields (host blocks use the same layout for bytes 0-45).
namespace live {
inline constexpr size_t profileIndex = 0;
inline constexpr size_t lightMode = 1;
inline constexpr size_t lightBrightness = 2;
inline constexpr size_t lightSpeed = 3;
inline constexpr size_t lightDirection = 4;
inline constexpr size_t colourCycle = 5;
inline constexpr size_t lightRed = 6;
inline constexpr size_t lightGreen = 7;
inline constexpr size_t lightBlue = 8;
inline constexpr size_t effectPhase = 9;
inline constexpr size_t reportRate = 14;
inline constexpr size_t dpiStep1 = 15;
inline constexpr size_t dpiStep2 = 16;
inline constexpr size_t dpiStep3 = 17;
inline constexpr size_t dpiStep4 = 18;
inline constexpr size_t dpiStage = 19;
inline constexpr size_t dpiStep5 = 20;
inline constexpr size_t dpiColour1 = 23;  // red, green, blue; stage n at 23 + 3 (n - 1)
inline constexpr size_t liftHeight = 44;
inline constexpr size_t lineAdjust = 45;
}  // namespace live

// Host-side settings kept in a host block when it is stored.
namespace host {
inline constexpr size_t pointerSpeed = 46;
inline constexpr size_t wheelLines = 47;
}  // namespace host

// Offset of stage 1-5's step (the steps are not contiguous: stage 5 follows the active stage).
// A stage outside 1-5 is taken as the nearest one, so no caller writes outside the steps.
size_t DpiStepOffset(int stage);
// Offset of stage 1-5's red byte (stages clamped as above).
size_t DpiColourOffset(int stage);

using Image = std::array<uint8_t, kImageSize>;
using HostBlock = std::array<uint8_t, kHostBlockSize>;
using LiveBlock = std::array<uint8_t, kLiveSize>;

// The current image before the first read-out: the factory functions of the first six keys.
Image InitialCurrentImage();

// All mouse blocks of the program, owned by one object and passed by reference. The UI thread
// owns them; lightMutex guards the live block once a lighting thread reads it too. The member
// functions below and the device sequences of mouse_device.h take lightMutex themselves while
// they touch the live block, so callers must not hold it when calling them.
struct MouseBlocks {
    std::array<uint8_t, kInfoSize> mouseInfo{};
    Image mouseCurrentImage = InitialCurrentImage();
    std::array<Image, kProfileCount> mouseBankImage{};
    std::array<HostBlock, kProfileCount> mouseHostBlock{};
    LiveBlock mouseLive{};
    // Host-side settings, 1-20 and 1-100.
    int pointerSpeed = 10;
    int wheelLines = 3;
    // Asks the next image-to-controls pass to refresh light mode and lift height too.
    bool fullRefresh = false;
    mutable std::mutex lightMutex;

    uint16_t SensorId() const;
    uint8_t DpiStepMax() const;
    uint8_t ProfileIndex() const { return mouseLive[live::profileIndex]; }

    // What goes to address 0: the live block and 10 zero bytes.
    std::array<uint8_t, kLiveSendSize> LiveSendBlock() const;
    // Host block 0 from the live block, the pointer speed and the wheel lines.
    void RefreshHostBlock0();
    // Profile blobs; both refresh host block 0 first.
    std::array<uint8_t, kLightBlobSize> LightBlob();
    std::vector<uint8_t> DeviceBlob();  // bank image 0, then host block 0
    // Loading a blob of the wrong size is refused (false) and changes nothing. A stored 0 for
    // the pointer speed or the wheel lines is read as 1, and a value above its range as the
    // highest. A device profile carries no pointer speed of its own: the system's current one
    // is given.
    bool LoadLightBlob(std::span<const uint8_t> blob);
    bool LoadDeviceBlob(std::span<const uint8_t> blob, int systemPointerSpeed);
};

// DPI shown for a step: 50 x (step + 1).
int DpiFromStep(int step);

// Texts of the DPI range labels for a known sensor.
struct SensorRange {
    std::string_view min;
    std::string_view max;
};
std::optional<SensorRange> SensorRangeOf(uint16_t sensorId);

// The pointer speed slider: speed = 2 x position + 2 (a negative position counts as 0), and
// back: position = speed / 2 - 1.
int PointerSpeedFromPosition(int position);
int PositionFromPointerSpeed(int speed);
// 0 (and below) becomes 1, above 20 becomes 20.
int ClampPointerSpeed(int speed);
// One step of the wheel-lines buttons from the number shown (1-100).
int StepWheelLines(int shown, bool up);

// The live-block fields, each described once for the tool and the pages: its range (fields
// bounded by the mouse's highest DPI step say so), its width (a stage colour spans three bytes,
// red first, read and written as one 0xRRGGBB value), whether the light profile stores it as
// well as the device profile, and the control that sets it ("" when none does).
struct LiveField {
    std::string_view name;
    size_t offset;
    int min;
    int max;
    bool maxIsDpiStepMax = false;
    size_t width = 1;
    bool inLightProfile = true;
    std::string_view control;
};
std::span<const LiveField> LiveFields();
const LiveField* FindLiveField(std::string_view name);  // exact name, nullptr when unknown
const LiveField* LiveFieldAt(size_t offset);            // the field starting there, or nullptr
// The field's top for a mouse whose highest DPI step is dpiStepMax.
int FieldMax(const LiveField& field, int dpiStepMax);
bool FieldAccepts(const LiveField& field, int value, int dpiStepMax);
int ClampToField(const LiveField& field, int value, int dpiStepMax);
int ReadLiveField(const LiveBlock& block, const LiveField& field);
void WriteLiveField(LiveBlock& block, const LiveField& field, int value);

}  // namespace gmd::mouse
