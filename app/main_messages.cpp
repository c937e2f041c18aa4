// The main window's custom messages, timers and menu commands.

#include <cstdio>
#include <memory>
#include <string>

#include "app/custom_controls.h"
#include "app/main_wnd.h"
#include "platform/debug_output.h"
#include "platform/text.h"

namespace gmd::app {

ui::LRESULT CMainWnd::HandleCustomMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam,
                                          bool& handled) {
    if (msg == WM_NO_DEVICE) {
        NoDevice();
    }
    if (g_instanceMessage != 0 && msg == g_instanceMessage) {
        char line[96];
        std::snprintf(line, sizeof line, "软件标示 %u，%lxd%lxd", msg,
                      static_cast<unsigned long>(wParam), static_cast<unsigned long>(lParam));
        DebugTrace(line);
        // A start with the session keeps the window in the tray when the mouse is first
        // found; the user opens it.
        if (startHidden_ && wParam == kWakeOnFirstFind) {
            DebugTrace("window: stays hidden, started with the session");
        } else {
            WakeUp(wParam != kWakeOnFirstFind);
        }
    }

    switch (msg) {
        case ui::WM_DESTROY:
            DebugTrace("退出测试");
            ShowWindow(false);
            StopWorkerThreads();
            ui::CPaintManagerUI::PostQuitMessage(0);
            handled = true;
            return 0;
        case ui::WM_TIMER:
            OnTimer(static_cast<ui::UINT>(wParam));
            break;
        case ui::WM_MENU_CLICK:
            OnMenuCommand(reinterpret_cast<ui::MenuCmd*>(wParam));
            handled = true;
            return 0;
        case ui::WM_TRAY_NOTIFY:
            if (lParam == ui::WM_LBUTTONUP) {
                TrayLeftClick();
            } else if (lParam == ui::WM_RBUTTONUP) {
                TrayRightClick();
            }
            break;
        case ui::WM_DPICHANGED: {
            m_pm.SetDPI(static_cast<int>(wParam & 0xFFFF));
            m_pm.ResetDPIAssets();
            if (const auto* suggested = reinterpret_cast<const ui::RECT*>(lParam)) {
                MoveWindow(suggested->left, suggested->top);
                ResizeClient(suggested->Width(), suggested->Height());
            }
            if (ui::CControlUI* root = m_pm.GetRoot()) {
                root->NeedUpdate();
            }
            break;
        }
        case WM_MOUSE_RELOAD:
            if (mouse_ != nullptr) {
                mouse_->ReadOut();
                mouse_->RefreshControls();
            }
            break;
        case WM_MOUSE_ATTACHED:
            OnMouseAttached();
            break;
        case WM_MOUSE_DETACHED:
            OnMouseDetached(static_cast<int>(wParam));
            break;
        case WM_MOUSE_PRESENT:
            OnMousePresent(wParam != 0);
            break;
        case WM_MOUSE_ABSENT:
            OnMouseAbsent();
            break;
        case WM_PROFILE_WATCH:
            if (profiles_ != nullptr) {
                profiles_->ApplyWatcherDecision({static_cast<int>(wParam), lParam != 0});
            }
            break;
        case WM_PROGRESS_SHOW:
            if (ui::CControlUI* progress = m_pm.FindControl("setting_progress")) {
                progress->SetVisible(true);
            }
            break;
        case WM_PROGRESS_DONE:
            ui::SetTimer(GetHWND(), TIMER_PROGRESS_HIDE, 1000);
            break;
        default:
            break;
    }
    // The UI library and the default handling still see everything else.
    handled = false;
    return 0;
}

void CMainWnd::OnTimer(ui::UINT id) {
    const ui::HWND hwnd = GetHWND();
    switch (id) {
        case TIMER_PROGRESS_HIDE:
            ui::KillTimer(hwnd, id);
            if (ui::CControlUI* progress = m_pm.FindControl("setting_progress")) {
                progress->SetVisible(false);
            }
            break;
        case TIMER_SEND_LIVE:
            if (mouse_ != nullptr) {
                mouse_->SendChangedLiveBlocks();
            }
            // The keyboard and the mousepad never attach: their marks are dropped, as their
            // channels would refuse the write at once.
            TakeLiveChanged(DeviceKind::Keyboard);
            TakeLiveChanged(DeviceKind::Mousepad);
            break;
        case TIMER_REPAINT_ONCE:
            ui::KillTimer(hwnd, id);
            m_pm.Invalidate();
            m_pm.NeedUpdate();
            DebugTrace("1234567890");
            break;
        case TIMER_MOUSE_ATTACH:
            ui::KillTimer(hwnd, id);
            if (mouse_ != nullptr) {
                mouse_->ReadOut();
                mouse_->RefreshControls();
            }
            break;
        case TIMER_MOUSE_PROFILE_RELOAD:
            ui::KillTimer(hwnd, id);
            if (mouse_ != nullptr) {
                mouse_->RefreshOnRequest();
                mouse_->RefreshControls();
            }
            m_pm.Invalidate();
            ui::SetTimer(hwnd, TIMER_REPAINT, 50);
            break;
        case TIMER_REPAINT:
            // Only lights that changed are redrawn, and nothing while nobody can see it: a
            // whole-window repaint 20 times a second costs a tenth of a core.
            if (IsWindowVisible() && !IsMinimized()) {
                for (ui::CControlUI* control : m_keyButtons) {
                    if (auto* key = dynamic_cast<CDeviceKeyButtonUI*>(control)) {
                        key->FlushLight();
                    }
                }
            }
            ui::SetTimer(hwnd, TIMER_REPAINT, 50);
            break;
        default:
            break;
    }
}

void CMainWnd::OnMenuCommand(ui::MenuCmd* command) {
    if (command == nullptr) {
        return;
    }
    const std::unique_ptr<ui::MenuCmd> owned(command);
    const std::string name = owned->szName;
    const std::string text = owned->szText;

    if (EqualsIgnoreCase(name, "lan_en")) {
        SwitchLanguage(0);
    } else if (EqualsIgnoreCase(name, "lan_cn")) {
        SwitchLanguage(1);
    } else if (EqualsIgnoreCase(name, "lan_tw")) {
        SwitchLanguage(2);
    } else if (EqualsIgnoreCase(name, "autostart")) {
        ToggleAutostart();
    } else if (name == "tray_show") {
        ShowFromTray();
    } else if (name == "tray_hide") {
        ShowWindow(false);
    } else if (EqualsIgnoreCase(name, "About_setting")) {
        OpenAboutWindow();
    } else if (name == "qianting" || name == "Menu_Import" || name == "Menu_Export") {
        // Menu entries without an action.
    } else if (name == "exit") {
        Close();
    } else {
        ShowMessageBox(text, false);
    }
}

}  // namespace gmd::app
