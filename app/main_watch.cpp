// The device link's threads on the main window: what the mouse detection thread and the sync
// threads found, turned into work on the UI thread.

#include <cerrno>
#include <string>
#include <vector>

#include "app/main_wnd.h"
#include "device/device_watch.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "profiles/profile_index.h"
#include "ui/controls.h"
#include "ui/resource_manager.h"

namespace gmd::app {

namespace {

// Runs on the detection thread with the mouse channel locked: post and return, never wait.
class WindowMouseWatch final : public MouseWatchEvents {
  public:
    explicit WindowMouseWatch(ui::HWND hwnd) : hwnd_(hwnd) {}

    void FirstPassConnected() override {
        ui::PostMessage(hwnd_, g_instanceMessage, kWakeOnFirstFind, 0);
    }
    void Attached() override {
        ui::PostMessage(hwnd_, WM_MOUSE_ATTACHED);
        ui::SetTimer(hwnd_, TIMER_MOUSE_ATTACH, 500);
    }
    void Detached(Next next) override {
        ui::PostMessage(hwnd_, WM_MOUSE_DETACHED, static_cast<ui::WPARAM>(next));
    }
    void StillPresent(bool otherDeviceConnected) override {
        ui::PostMessage(hwnd_, WM_MOUSE_PRESENT, otherDeviceConnected ? 1 : 0);
    }
    void Absent() override { ui::PostMessage(hwnd_, WM_MOUSE_ABSENT); }

  private:
    ui::HWND hwnd_;
};

ui::COptionUI* FindOption(ui::CPaintManagerUI& pm, const char* name) {
    return dynamic_cast<ui::COptionUI*>(pm.FindControl(name));
}

// One line per node that is there but refused to open, in the language shown.
std::string BlockedNodesText(const std::vector<HidBlockedNode>& nodes) {
    const ui::CResourceManager* texts = ui::CResourceManager::GetInstance();
    std::string shown;
    for (const HidBlockedNode& node : nodes) {
        const char* id = node.error == EACCES || node.error == EPERM ? "device_node_denied"
                         : node.error == EBUSY                       ? "device_node_busy"
                                                                     : "device_node_failed";
        std::string line = texts != nullptr ? texts->GetText(id) : id;
        if (const size_t at = line.find("%s"); at != std::string::npos) {
            line.replace(at, 2, node.node);
        }
        shown += (shown.empty() ? "" : "\n") + line;
    }
    return shown;
}

}  // namespace

void CMainWnd::InstallDeviceWatch() {
    SetWorkerBody(1, [](WorkerThreadParam& param) {
        CMainWnd& wnd = *param.owner;
        WindowMouseWatch events(wnd.GetHWND());
        RunMouseDetection(wnd.m_mouseDevice, wnd.m_keyboardDevice, wnd.m_mousepadDevice,
                          *param.stopEvent, events);
    });
    SetWorkerBody(3, [](WorkerThreadParam& param) {
        const ui::HWND hwnd = param.owner->GetHWND();
        // Event 0x403, the reactive flash, is for the lighting pages still to come.
        RunSyncThread(param.owner->backend_, MouseSyncConfig(), *param.stopEvent,
                      [hwnd](uint16_t code) {
                          switch (code) {
                              case 0x401:
                                  ui::SetTimer(hwnd, TIMER_MOUSE_PROFILE_RELOAD, 10);
                                  break;
                              case 0x402:
                                  ui::SendMessage(hwnd, WM_MOUSE_RELOAD);
                                  break;
                              default:
                                  break;
                          }
                      });
    });
    SetWorkerBody(4, [](WorkerThreadParam& param) {
        const ui::HWND hwnd = param.owner->GetHWND();
        RunSyncThread(param.owner->backend_, KeyboardSyncConfig(), *param.stopEvent,
                      [hwnd](uint16_t code) {
                          if (code == 0x401) {
                              ui::SendMessage(hwnd, WM_KEYBOARD_PROFILE_RELOAD);
                          } else if (code == 0x402) {
                              ui::SendMessage(hwnd, WM_KEYBOARD_RELOAD);
                          }
                      });
    });
}

void CMainWnd::OnMouseAbsent() {
    if (!AnyDeviceConnected()) {
        ShowNoDevicePage();
    }
}

void CMainWnd::ShowNoDevicePage() {
    if (!noDevicePageShown_) {
        noDevicePageShown_ = true;
        if (ui::COptionUI* tab = FindOption(m_pm, "nodev_tab")) {
            tab->SetVisible(true);
            tab->Selected(true, true);
        }
        DebugTrace("window: no device page");
    }
    const std::string problem = BlockedNodesText(m_mouseDevice.BlockedNodes());
    if (ui::CControlUI* label = m_pm.FindControl("no_device_problem")) {
        if (label->GetText() != problem) {
            label->SetText(problem);
        }
        label->SetVisible(!problem.empty());
    }
}

void CMainWnd::OnMouseAttached() {
    noDevicePageShown_ = false;
    if (ui::CControlUI* tab = m_pm.FindControl("nodev_tab")) {
        tab->SetVisible(false);
    }
    // The stored device profile; the combo's selection loads it unless it is already selected.
    const int stored = profiles::ReadSelect(profiles::ListId::MouseDevice);
    if (auto* combo = dynamic_cast<ui::CComboUI*>(m_pm.FindControl("ms_device_profile_combo"))) {
        if (stored >= 0 && stored < combo->GetCount() && stored != combo->GetCurSel()) {
            combo->SelectItem(stored, false, true);
        }
    }
    if (ui::COptionUI* tab = FindOption(m_pm, "ms_tab")) {
        tab->SetVisible(true);
        tab->Selected(true, true);
    }
    if (ui::CControlUI* panel = m_pm.FindControl("ms_tab_panel")) {
        panel->SetVisible(true);
    }
}

void CMainWnd::OnMouseDetached(int next) {
    if (ui::CControlUI* tab = m_pm.FindControl("ms_tab")) {
        tab->SetVisible(false);
    }
    switch (static_cast<MouseWatchEvents::Next>(next)) {
        case MouseWatchEvents::Next::Keyboard:
            if (ui::COptionUI* tab = FindOption(m_pm, "kb_tab")) {
                tab->Selected(true, true);
                tab->SetFocus();
                tab->SetVisible(true);
            }
            break;
        case MouseWatchEvents::Next::Mousepad:
            if (ui::COptionUI* tab = FindOption(m_pm, "mp_tab")) {
                tab->Selected(true, true);
                tab->SetFocus();
            }
            break;
        case MouseWatchEvents::Next::NoDevice:
            ui::PostMessage(GetHWND(), WM_NO_DEVICE);
            break;
    }
}

void CMainWnd::OnMousePresent(bool otherDevice) {
    if (ui::CControlUI* sameMode = m_pm.FindControl("ms_deng_same_mode")) {
        sameMode->SetVisible(otherDevice);
    }
}

}  // namespace gmd::app
