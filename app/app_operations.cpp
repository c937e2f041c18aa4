#include "app/app_operations.h"

#include "app/main_wnd.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "ui/controls.h"

namespace gmd::app {

AppOperations::AppOperations(CMainWnd& wnd, std::shared_ptr<PointerSettings> pointer)
    : wnd_(wnd), mouse_(wnd, std::move(pointer)), profiles_(wnd), keyboardPad_(wnd) {
    profiles_.SetApplicationFolder(ApplicationFolder());
    for (auto& [list, binding] : mouse_.ProfileBindings()) {
        profiles_.Bind(list, std::move(binding));
    }
    for (auto& [list, binding] : keyboardPad_.ProfileBindings()) {
        profiles_.Bind(list, std::move(binding));
    }
}

void AppOperations::PageStartup(DeviceKind device) {
    if (device == DeviceKind::Mouse) {
        mouse_.Startup();
    }
    if (!profiles_.FillProfileLists(device)) {
        return;  // a default file is missing: the rest of this device's start-up waits
    }
    SubsystemOperations::PageStartup(device);
}

void AppOperations::MouseReadOut() {
    mouse_.ReadOut();
}

void AppOperations::MouseRefreshOnRequest() {
    mouse_.RefreshOnRequest();
}

void AppOperations::RefreshMouseControls() {
    mouse_.RefreshControls();
}

void AppOperations::SendChangedLiveBlocks() {
    // The keyboard and the mousepad never attach: their flags are cleared, as their channels
    // would refuse the write at once.
    wnd_.m_keyboardSendFlag.store(0);
    mouse_.SendChangedLiveBlocks();
    wnd_.m_mousepadSendFlag.store(0);
}

void AppOperations::SetDpiStageColour(int stage, uint32_t argb) {
    mouse_.SetDpiStageColour(stage, argb);
}

void AppOperations::SetDpiStage(int stage, int position) {
    mouse_.SetDpiStage(stage, position);
}

void AppOperations::ShowDpiStageValue(int stage, int position) {
    mouse_.ShowDpiStageValue(stage, position);
}

void AppOperations::SetPointerSpeed(int position) {
    mouse_.SetPointerSpeed(position);
}

void AppOperations::SetReportRate(int item) {
    mouse_.SetReportRate(item);
}

void AppOperations::SetLiftHeight(int level) {
    mouse_.SetLiftHeight(level);
}

void AppOperations::SetLineAdjust(bool on) {
    mouse_.SetLineAdjust(on);
}

void AppOperations::SwitchMouseOnboardProfile(int index) {
    mouse_.SwitchOnboardProfile(index);
}

void AppOperations::ChangeWheelLines(int delta) {
    mouse_.StepWheelLines(delta > 0);
}

void AppOperations::ApplyWheelLines(int lines) {
    mouse_.SetWheelLines(lines);
}

void AppOperations::RestoreMouseDefaults() {
    mouse_.RestoreDefaults();
}

void AppOperations::MouseDirectionButton(bool left) {
    // Buttons for the two directions act like the check boxes.
    ui::CPaintManagerUI& pm = wnd_.GetPaintManager();
    if (auto* l = dynamic_cast<ui::COptionUI*>(pm.FindControl("ms_Deng_FXL_check"))) {
        l->Selected(left, false);
    }
    if (auto* r = dynamic_cast<ui::COptionUI*>(pm.FindControl("ms_Deng_FXR_check"))) {
        r->Selected(!left, false);
    }
    mouse_.SetLightDirection(left);
}

void AppOperations::SetSevenColourCycle(DeviceKind device, bool on) {
    if (device != DeviceKind::Mouse) {
        SubsystemOperations::SetSevenColourCycle(device, on);
        return;
    }
    mouse_.SetColourCycle(on);
}

void AppOperations::SetLightDirection(DeviceKind device, bool left) {
    if (device != DeviceKind::Mouse) {
        SubsystemOperations::SetLightDirection(device, left);
        return;
    }
    mouse_.SetLightDirection(left);
}

void AppOperations::SetLightBrightness(DeviceKind device, int value) {
    if (device != DeviceKind::Mouse) {
        SubsystemOperations::SetLightBrightness(device, value);
        return;
    }
    mouse_.SetBrightness(value);
}

void AppOperations::SetLightSpeed(DeviceKind device, int value) {
    if (device != DeviceKind::Mouse) {
        SubsystemOperations::SetLightSpeed(device, value);
        return;
    }
    mouse_.SetLightSpeed(value);
}

void AppOperations::RunProfileOp(ListId list, ProfileOp op) {
    profiles_.RunOperation(list, op);
}

void AppOperations::RenameProfile(ListId list) {
    profiles_.RenameProfile(list);
}

void AppOperations::LoadProfile(ListId list, int item) {
    profiles_.SelectProfile(list, item);
}

void AppOperations::LinkProfileToExecutable(ListId list) {
    profiles_.ChooseLinkedProgram(list);
}

void AppOperations::RemoveProfileLink(ListId list) {
    profiles_.CancelLink(list);
}

void AppOperations::SetProfileLinkEnabled(ListId list, bool on) {
    profiles_.LinkCheckChanged(list, on);
}

void AppOperations::StoreCurrentProfile(ListId list) {
    profiles_.StoreCurrentProfile(list);
}

void AppOperations::ApplyDeviceProfileWatch(int position, bool linked) {
    profiles_.ApplyWatcherDecision({position, linked});
}

void InstallDeviceProfileWatcher(CMainWnd& wnd, std::shared_ptr<ForegroundProgram> foreground) {
    DebugTrace("foreground program: " + foreground->Name());
    wnd.SetWorkerBody(11, [foreground](WorkerThreadParam& param) {
        const ui::HWND hwnd = param.owner->GetHWND();
        profiles::RunDeviceProfileWatcher(
            *foreground, *param.stopEvent, [hwnd](profiles::WatcherDecision decision) {
                ui::PostMessage(hwnd, WM_PROFILE_WATCH, static_cast<ui::WPARAM>(decision.position),
                                decision.linked ? 1 : 0);
            });
    });
}

void InstallSubsystems(CMainWnd& wnd, std::shared_ptr<PointerSettings> pointer,
                       std::shared_ptr<ForegroundProgram> foreground) {
    wnd.SetOperations(std::make_unique<AppOperations>(wnd, std::move(pointer)));
    wnd.InstallDeviceWatch();
    InstallDeviceProfileWatcher(wnd, std::move(foreground));
}

}  // namespace gmd::app
