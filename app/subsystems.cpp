#include "app/subsystems.h"

#include "app/main_wnd.h"
#include "keyboard_pad/keyboard_pad_profiles.h"
#include "mouse/mouse_page.h"
#include "mouse/mouse_routes.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "profiles/profile_page.h"
#include "profiles/profile_routes.h"

namespace gmd::app {

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

void PlugSubsystems(CMainWnd& wnd, std::shared_ptr<PointerSettings> pointer,
                    const std::filesystem::path& applicationFolder) {
    // Profiles first: the device models bind their lists to it.
    ProfilePage& profiles = wnd.Own(std::make_unique<ProfilePage>(wnd));
    profiles.SetApplicationFolder(applicationFolder);
    wnd.PlugProfiles(profiles);
    wnd.Routes().Add(profiles::ProfileRoutes(), profiles);

    MousePage& mouse = wnd.Own(std::make_unique<MousePage>(wnd, std::move(pointer)));
    wnd.PlugMouse(mouse);
    wnd.Routes().Add(mouse::MouseRoutes(), mouse);

    auto& keyboardPad = wnd.Own(std::make_unique<keyboard_pad::KeyboardPadProfiles>(wnd));
    for (auto& [list, binding] : mouse.ProfileBindings()) {
        profiles.Bind(list, std::move(binding));
    }
    for (auto& [list, binding] : keyboardPad.ProfileBindings()) {
        profiles.Bind(list, std::move(binding));
    }
}

void InstallSubsystems(CMainWnd& wnd, std::shared_ptr<PointerSettings> pointer,
                       std::shared_ptr<ForegroundProgram> foreground) {
    PlugSubsystems(wnd, std::move(pointer), ApplicationFolder());
    wnd.InstallDeviceWatch();
    InstallDeviceProfileWatcher(wnd, std::move(foreground));
}

}  // namespace gmd::app
