// The main window's custom messages, timers and menu commands.

#include <cstdio>
#include <memory>
#include <string>

#include "app/custom_controls.h"
#include "app/main_wnd.h"
#include "platform/debug_output.h"
#include "platform/text.h"

namespace gmd::app {

namespace {}  // namespace

ui::LRESULT CMainWnd::HandleCustomMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam,
                                          bool& handled) {
    if (msg == ui::WM_ACTIVATE && wParam == 0) {
        Operations().RemoveInputHooks();
    }
    if (msg == WM_NO_DEVICE) {
        NoDevice();
    }
    if (g_instanceMessage != 0 && msg == g_instanceMessage) {
        char line[96];
        std::snprintf(line, sizeof line, "软件标示 %u，%lxd%lxd", msg,
                      static_cast<unsigned long>(wParam), static_cast<unsigned long>(lParam));
        DebugTrace(line);
        WakeUp();
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
        case WM_HOOK_KEY_SINGLEKEY:
            DebugTrace("WM_HOOK_KEY_SINGLEKEY");
            Operations().CaptureKey(DeviceKind::Keyboard, wParam, static_cast<uintptr_t>(lParam));
            break;
        case WM_HOOK_MOU_SINGLEKEY:
            DebugTrace("WM_HOOK_MOU_SINGLEKEY");
            Operations().CaptureKey(DeviceKind::Mouse, wParam, static_cast<uintptr_t>(lParam));
            break;
        case WM_HOOK_KEY_MACRO:
            DebugTrace("WM_HOOK_KEY_MACRO");
            Operations().RecordMacroKeyboardEvent(DeviceKind::Keyboard, wParam, lParam);
            break;
        case WM_HOOK_KEY_MACRO_MOUSE:
            Operations().RecordMacroMouseEvent(DeviceKind::Keyboard, wParam, lParam);
            break;
        case WM_HOOK_MOU_MACRO:
            DebugTrace("WM_HOOK_MOU_MACRO");
            Operations().RecordMacroKeyboardEvent(DeviceKind::Mouse, wParam, lParam);
            break;
        case WM_HOOK_MOU_MACRO_MOUSE:
            Operations().RecordMacroMouseEvent(DeviceKind::Mouse, wParam, lParam);
            break;
        case WM_MOUSE_RELOAD:
            Operations().MouseReadOut();
            Operations().RefreshMouseControls();
            break;
        case WM_PAD_RELOAD:
            Operations().MousepadReadOut();
            break;
        case WM_KEYBOARD_RELOAD:
            Operations().KeyboardReadOut();
            break;
        case WM_KEYBOARD_PROFILE_RELOAD:
            Operations().KeyboardProfileReload();
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
        case WM_PROFILE_WATCH:
            Operations().ApplyDeviceProfileWatch(static_cast<int>(wParam), lParam != 0);
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
            Operations().SendChangedLiveBlocks();
            break;
        case TIMER_REPAINT_ONCE:
            ui::KillTimer(hwnd, id);
            m_pm.Invalidate();
            m_pm.NeedUpdate();
            DebugTrace("1234567890");
            break;
        case TIMER_MOUSE_ATTACH:
            ui::KillTimer(hwnd, id);
            Operations().MouseReadOut();
            Operations().RefreshMouseControls();
            Operations().RefreshKeyFunctionLists();
            break;
        case TIMER_MOUSE_PROFILE_RELOAD:
            ui::KillTimer(hwnd, id);
            Operations().MouseRefreshOnRequest();
            Operations().RefreshMouseControls();
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
        case TIMER_KEYBOARD_START:
            ui::KillTimer(hwnd, id);
            Operations().KeyboardReadOut();
            break;
        case TIMER_PAD_START:
            ui::KillTimer(hwnd, id);
            Operations().MousepadReadOut();
            break;
        case TIMER_MOUSE_FRAME:
            ui::KillTimer(hwnd, id);
            if (m_mouseDevice.IsConnected()) {
                Operations().SendMouseFrame();
            }
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
