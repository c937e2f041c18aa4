#pragma once
// The operations the subsystems provide, put together for the main window.

#include <memory>

#include "app/operations.h"
#include "mouse/mouse_page.h"
#include "platform/pointer_settings.h"

namespace gmd::app {

class CMainWnd;

class AppOperations : public SubsystemOperations {
  public:
    AppOperations(CMainWnd& wnd, std::shared_ptr<PointerSettings> pointer);

    MousePage& Mouse() { return mouse_; }

    void PageStartup(Device device) override;
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

    void SetSevenColourCycle(Device device, bool on) override;
    void SetLightDirection(Device device, bool left) override;
    void SetLightBrightness(Device device, int value) override;
    void SetLightSpeed(Device device, int value) override;

  private:
    CMainWnd& wnd_;
    MousePage mouse_;
};

// Everything the application runs with: the operations and the device link's threads. Call
// before the window is created.
void InstallSubsystems(CMainWnd& wnd, std::shared_ptr<PointerSettings> pointer);

}  // namespace gmd::app
