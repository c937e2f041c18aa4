#pragma once
// The mouse pages on the main window: the mouse blocks shown in the controls, the control
// handlers that write them, the coalesced send to the mouse, onboard profiles and the desktop's
// pointer speed and wheel lines.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "host/page_host.h"
#include "mouse/mouse_blocks.h"
#include "mouse/mouse_operations.h"
#include "platform/pointer_settings.h"

namespace gmd::ui {
class CPaintManagerUI;
}

namespace gmd::app {

using profiles::ListId;

// Applies pointer speed and wheel lines to the desktop off the UI thread (a desktop backend may
// run a helper program). Only the newest value of each waits; the thread ends with the object.
class PointerApplier {
  public:
    explicit PointerApplier(std::shared_ptr<PointerSettings> settings);
    ~PointerApplier();
    PointerApplier(const PointerApplier&) = delete;
    PointerApplier& operator=(const PointerApplier&) = delete;

    void ApplyPointerSpeed(int speed);  // clamped to 1-20
    void ApplyWheelLines(int lines);    // clamped to 1-100
    // Waits until everything asked for so far has been applied (tests, shutdown).
    void Flush();
    PointerSettings& Settings() { return *settings_; }

  private:
    void Run();

    std::shared_ptr<PointerSettings> settings_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<int> speed_;
    std::optional<int> lines_;
    bool busy_ = false;
    bool stop_ = false;
    std::thread thread_;
};

class MousePage final : public mouse::MouseOperations {
  public:
    MousePage(host::PageHost& host, std::shared_ptr<PointerSettings> pointer);

    mouse::MouseBlocks& Blocks() { return blocks_; }
    PointerApplier& Pointer() { return pointer_; }

    // Page start: the desktop's pointer speed and wheel lines into the blocks and controls.
    void Startup() override;
    // Timer 8 and message 0x901: the whole configuration from the mouse, then stored.
    void ReadOut() override;
    // Timer 9: the active onboard profile again.
    void RefreshOnRequest() override;
    // The blocks into the controls.
    void RefreshControls() override;
    // Timer 2: the live block to the mouse when it changed.
    void SendChangedLiveBlocks() override;

    // Control handlers (mouse::MouseOperations).
    void SetBrightness(int value) override;
    void SetLightSpeed(int sliderValue) override;
    void SetDpiStage(int stage, int position) override;
    void ShowDpiStageValue(int stage, int position) override;
    void SetReportRate(int item) override;
    void SetDpiStageColour(int stage, uint32_t argb) override;
    void SetColourCycle(bool on) override;
    void SetLightDirection(bool left) override;
    void SetLiftHeight(int level) override;
    void SetLineAdjust(bool on) override;
    void SetPointerSpeed(int position) override;
    void SetWheelLines(int lines) override;
    void StepWheelLines(bool up) override;
    void SwitchOnboardProfile(int index) override;
    void RestoreDefaults() override;

    // The mouse's three profile lists (device, light, key) bound to these blocks.
    std::vector<std::pair<ListId, host::ProfileListBinding>> ProfileBindings();

    // After a profile of the list was loaded into the blocks: the pages, the desktop and the
    // mouse follow it.
    void ApplyDeviceProfile();
    void ApplyLightProfile();
    void ApplyKeyProfile();
    // A list reset to its default blob (already read, of the list's size).
    void ResetDeviceProfile(std::span<const uint8_t> blob);
    void ResetLightProfile(std::span<const uint8_t> blob);
    void ResetKeyProfile(std::span<const uint8_t> blob);

    // The desktop's current pointer speed (1-20), for device-profile loads.
    int SystemPointerSpeed();
    // Whether host block 0 came from a profile; until then the read-out takes the mouse's own
    // settings, so a first change never sends an empty block.
    void SetHostBlockFromProfile(bool fromProfile) { hostBlockFromProfile_ = fromProfile; }

  private:
    ui::CPaintManagerUI& Pm();
    CDeviceChannel& Channel();
    void MarkLiveChanged();
    // A live-block field changed by a control: bounded by the field table, sent, and stored in
    // the profiles the table names.
    void ChangeLive(size_t offset, int value);
    // Pointer speed and wheel lines into the blocks, the controls and the desktop.
    void PutHostSettings(int speed, int lines);
    void Store(bool light, bool device);
    void ShowPointerSpeed();
    void ShowWheelLines();
    void ShowColourFields();
    void ShowPointerTips();
    // The onboard profile the mouse is on, marked among its buttons.
    void ShowActiveOnboardProfile();

    host::PageHost& host_;
    mouse::MouseBlocks blocks_;
    PointerApplier pointer_;
    bool hostBlockFromProfile_ = false;
    // A factory reset waits for its read-back to be told to the user.
    bool reportResetAfterReadOut_ = false;
};

}  // namespace gmd::app
