#pragma once
// The operations the subsystems provide, put together for the main window.

#include <memory>

#include "app/operations.h"
#include "keyboard_pad/keyboard_pad_profiles.h"
#include "mouse/mouse_page.h"
#include "platform/foreground_program.h"
#include "platform/pointer_settings.h"
#include "profiles/profile_page.h"

namespace gmd::app {

class CMainWnd;

class AppOperations : public SubsystemOperations {
  public:
    AppOperations(CMainWnd& wnd, std::shared_ptr<PointerSettings> pointer);

    MousePage& Mouse() { return mouse_; }
    ProfilePage& Profiles() { return profiles_; }

    void PageStartup(DeviceKind device) override;
    void MouseReadOut() override;
    void MouseRefreshOnRequest() override;
    void RefreshMouseControls() override;
    void SendChangedLiveBlocks() override;

    void SetDpiStageColour(int stage, uint32_t argb) override;
    void SetDpiStage(int stage, int position) override;
    void ShowDpiStageValue(int stage, int position) override;
    void SetPointerSpeed(int position) override;
    void SetReportRate(int item) override;
    void SetLiftHeight(int level) override;
    void SetLineAdjust(bool on) override;
    void SwitchMouseOnboardProfile(int index) override;
    void ChangeWheelLines(int delta) override;
    void ApplyWheelLines(int lines) override;
    void RestoreMouseDefaults() override;
    void MouseDirectionButton(bool left) override;

    void SetSevenColourCycle(DeviceKind device, bool on) override;
    void SetLightDirection(DeviceKind device, bool left) override;
    void SetLightBrightness(DeviceKind device, int value) override;
    void SetLightSpeed(DeviceKind device, int value) override;

    void RunProfileOp(ListId list, ProfileOp op) override;
    void RenameProfile(ListId list) override;
    void LoadProfile(ListId list, int item) override;
    void LinkProfileToExecutable(ListId list) override;
    void RemoveProfileLink(ListId list) override;
    void SetProfileLinkEnabled(ListId list, bool on) override;
    void StoreCurrentProfile(ListId list) override;
    void ApplyDeviceProfileWatch(int position, bool linked) override;

  private:
    CMainWnd& wnd_;
    MousePage mouse_;
    ProfilePage profiles_;
    keyboard_pad::KeyboardPadProfiles keyboardPad_;
};

// The mouse device-profile watcher (thread 11) on a foreground-program service.
void InstallDeviceProfileWatcher(CMainWnd& wnd, std::shared_ptr<ForegroundProgram> foreground);

// Everything the application runs with: the operations and the device link's threads. Call
// before the window is created.
void InstallSubsystems(CMainWnd& wnd, std::shared_ptr<PointerSettings> pointer,
                       std::shared_ptr<ForegroundProgram> foreground);

}  // namespace gmd::app
