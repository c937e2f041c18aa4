// The main window's routing: the shell's own controls (title bar, tabs and device pages, menus,
// skin, the DPI colour palette) and the dispatch of every other notification to the route of the
// subsystem that owns the control. Controls of features still to come are marked as such.

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "app/dialogs.h"
#include "app/main_wnd.h"
#include "platform/debug_output.h"
#include "platform/ini_file.h"
#include "platform/text.h"
#include "ui/controls.h"
#include "ui/resource_manager.h"

namespace gmd::app {

namespace {

using ui::CControlUI;

CControlUI* Find(CMainWnd& wnd, const std::string& name) {
    return wnd.GetPaintManager().FindControl(name);
}

ui::COptionUI* FindOption(CMainWnd& wnd, const std::string& name) {
    return dynamic_cast<ui::COptionUI*>(Find(wnd, name));
}

// Selects an option with its change notification.
void SelectOption(CMainWnd& wnd, const std::string& name) {
    if (ui::COptionUI* option = FindOption(wnd, name)) {
        option->Selected(true, true);
    }
}

void SetVisible(CMainWnd& wnd, const std::string& name, bool visible) {
    if (CControlUI* control = Find(wnd, name)) {
        control->SetVisible(visible);
    }
}

void SetEnabled(CMainWnd& wnd, const std::string& name, bool enabled) {
    if (CControlUI* control = Find(wnd, name)) {
        control->SetEnabled(enabled);
    }
}

void SelectTabPage(CMainWnd& wnd, const std::string& name, int page) {
    if (auto* tab = dynamic_cast<ui::CTabLayoutUI*>(Find(wnd, name))) {
        tab->SelectItem(page);
    }
}

int TabPage(CMainWnd& wnd, const std::string& name) {
    const auto* tab = dynamic_cast<ui::CTabLayoutUI*>(Find(wnd, name));
    return tab != nullptr ? tab->GetCurSel() : -1;
}

bool IsSelected(const CControlUI* control) {
    const auto* option = dynamic_cast<const ui::COptionUI*>(control);
    return option != nullptr && option->IsSelected();
}

// An edit's number within its limits; a corrected number is shown in the edit. SetText raises no
// "textchanged", so the write-back does not come round again.
int LimitedEditNumber(CControlUI& edit, host::EditLimits limits) {
    const std::string text = edit.GetText();
    const int read = ParseLeadingInt(text);
    int value = read;
    if (limits.max > 0 && value > limits.max) {
        value = limits.max;
    } else if (limits.min > 0 && value <= 0) {
        value = limits.min;
    } else if (value < 0) {
        value = 0;  // no field takes a negative number
    }
    if (value != read && !text.empty()) {
        edit.SetText(std::to_string(value));
    }
    return value;
}

// Controls of features still to come (light modes, colours, presets and sync; key assignment;
// macros and recording; cursor sequences; the keyboard and mousepad pages), by whole name or by
// name prefix (without case: "kb_Deng_" would also take the profile panel's
// "kb_deng_profile_combo", so the prefixes stay narrow). A page's own tab ("..._Op_tab") stays
// reachable.
enum class Take { Name, Prefix, Indexed };  // Indexed: the prefix followed by a digit
struct Unbuilt {
    const char* name;
    Take take;
};
constexpr Unbuilt kUnbuilt[] = {
    // The mouse lighting page beyond brightness, speed, direction and the colour cycle.
    {"ms_deng_combo_modeSelect", Take::Prefix},
    {"ms_Deng_color_btn_", Take::Prefix},
    {"ms_Deng_colordp_btn", Take::Name},
    {"ms_Deng_edit_", Take::Prefix},
    {"ms_deng_Color_Pallet", Take::Name},
    {"ms_deng_same_mode", Take::Name},
    // Key assignment.
    {"ms_key_", Take::Indexed},
    {"ms_key_fct_", Take::Prefix},
    {"ms_key_butt_", Take::Prefix},
    {"kb_key_", Take::Indexed},
    {"kb_key_fct_", Take::Prefix},
    {"kb_key_butt_", Take::Prefix},
    // Macros and recording.
    {"ms_macro_", Take::Prefix},
    {"kb_macro_", Take::Prefix},
    {"ms__macro_", Take::Prefix},
    {"kb__macro_", Take::Prefix},
    {"ms_MacroName_list", Take::Name},
    {"kb_MacroName_list", Take::Name},
    {"ms_Macro_list", Take::Name},
    {"kb_Macro_list", Take::Name},
    {"ms_mouse_", Take::Prefix},
    {"kb_mouse_", Take::Prefix},
    // Cursor sequences.
    {"ms_bullet", Take::Prefix},
    {"bullet_selected_", Take::Prefix},
    {"ms_gun_op_", Take::Prefix},
    {"ms_cursor_", Take::Prefix},
    // Keyboard and mousepad lighting.
    {"kb_Deng_7color_check", Take::Name},
    {"kb_Deng_FX", Take::Prefix},
    {"kb_Deng_all_", Take::Prefix},
    {"kb_Deng_color_btn_", Take::Prefix},
    {"kb_Deng_colordp_btn", Take::Name},
    {"kb_Deng_custom_colordp_btn", Take::Name},
    {"kb_Deng_edit_", Take::Prefix},
    {"kb_deng_combo_", Take::Prefix},
    {"kb_deng_Color_Pallet", Take::Name},
    {"kb_deng_light_slider", Take::Name},
    {"kb_deng_speed_slider", Take::Name},
    {"kb_deng_same_mode", Take::Name},
    {"kb_dkey_", Take::Prefix},
    {"mp_Deng_7color_check", Take::Name},
    {"mp_Deng_FX", Take::Prefix},
    {"mp_Deng_color_btn_", Take::Prefix},
    {"mp_Deng_colordp_btn", Take::Name},
    {"mp_Deng_edit_", Take::Prefix},
    {"mp_deng_combo_", Take::Prefix},
    {"mp_deng_Color_Pallet", Take::Name},
    {"mp_deng_light_slider", Take::Name},
    {"mp_deng_speed_slider", Take::Name},
    {"mp_deng_same_mode", Take::Name},
    {"mp_one_profile_default", Take::Name},
};

bool IsUnbuilt(std::string_view name) {
    constexpr std::string_view kTab = "_Op_tab";
    if (name.size() >= kTab.size() &&
        EqualsIgnoreCase(name.substr(name.size() - kTab.size()), kTab)) {
        return false;
    }
    for (const Unbuilt& entry : kUnbuilt) {
        const std::string_view n = entry.name;
        switch (entry.take) {
            case Take::Name:
                if (EqualsIgnoreCase(name, n)) {
                    return true;
                }
                break;
            case Take::Prefix:
                if (StartsWithIgnoreCase(name, n)) {
                    return true;
                }
                break;
            case Take::Indexed:
                if (StartsWithIgnoreCase(name, n) && name.size() > n.size() &&
                    name[n.size()] >= '0' && name[n.size()] <= '9') {
                    return true;
                }
                break;
        }
    }
    return false;
}

void MarkUnbuilt(CControlUI& control, const std::string& tip) {
    if (IsUnbuilt(control.GetName())) {
        control.SetEnabled(false);
        control.SetToolTip(tip);
    }
    if (ui::CContainerUI* children = control.AsContainer()) {
        for (int i = 0; i < children->GetCount(); ++i) {
            if (CControlUI* child = children->GetItemAt(i)) {
                MarkUnbuilt(*child, tip);
            }
        }
    }
}

// The macro editor's unsaved changes keep the user on its page: a page switch selects the
// macro page again and explains why. True when the switch was refused.
bool RefusedByMacroEdit(CMainWnd& wnd, const std::string& sender) {
    struct Guard {
        const char* panel;
        const char* macroTab;
        const char* deviceTab;
        bool showDeviceTab;
    };
    constexpr Guard guards[] = {
        {"ms_macro_tab_saveorcancel", "ms_macro_Op_tab", "ms_tab", false},
        {"kb_macro_tab_saveorcancel", "kb_macro_Op_tab", "kb_tab", true},
    };
    for (const Guard& guard : guards) {
        const CControlUI* panel = Find(wnd, guard.panel);
        if (panel == nullptr || !panel->IsVisible() || EqualsIgnoreCase(sender, guard.macroTab) ||
            EqualsIgnoreCase(sender, guard.deviceTab)) {
            continue;
        }
        SelectOption(wnd, guard.macroTab);
        if (guard.showDeviceTab) {
            SetVisible(wnd, guard.deviceTab, true);
        }
        SelectOption(wnd, guard.deviceTab);
        wnd.ShowMessageBox("message_text_3");
        return true;
    }
    return false;
}

}  // namespace

void CMainWnd::MarkUnbuiltControls() {
    if (CControlUI* root = m_pm.GetRoot()) {
        MarkUnbuilt(*root, ui::CResourceManager::GetInstance()->GetText("not_available_yet"));
    }
}

// ---- Notify ---------------------------------------------------------------------------------

void CMainWnd::Notify(ui::TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    const std::string name = sender != nullptr ? sender->GetName() : std::string();
    DebugTrace(msg.sType + " " + name);
    const std::string& type = msg.sType;

    if (type == ui::notify::kWindowInit) {
        FirstShowInit();
    } else if (type == ui::notify::kWindowSize) {
        // Nothing of its own.
    } else if (type == ui::notify::kShowActiveX) {
        // No ActiveX host exists here, so there is never a hosted movie to set up.
    } else if (type == ui::notify::kClick) {
        // The title bar's close button only minimises: the application lives on in the tray,
        // so the base window's close handling must not see it.
        if (EqualsIgnoreCase(name, "closebtn")) {
            Minimize();
            return;
        }
        if (sender != nullptr) {
            if (sender == m_minBtn) {
                Minimize();
                return;
            }
            if (sender == m_maxBtn) {
                Maximize();
                return;
            }
            if (sender == m_restoreBtn) {
                Restore();
                return;
            }
            if (sender == m_skinBtn) {
                OpenSkinChooser(m_skinBtn);
            }
        }
        RouteClick(msg);
    } else if (type == ui::notify::kSelectChanged) {
        RouteSelectChanged(msg);
    } else if (type == ui::notify::kSetFocus) {
        // Any mouse page's tab folds the profile operations in.
        for (const char* tab : {"ms_deng_Op_tab", "ms_key_Op_tab", "ms_rich_Op_tab",
                                "ms_macro_Op_tab", "ms_cursor_Op_tab"}) {
            if (EqualsIgnoreCase(name, tab)) {
                SetVisible(*this, "ms_profile_fun_spead_tab", false);
                break;
            }
        }
        RouteToSubsystem(msg);
    } else {
        RouteToSubsystem(msg);
    }
    BaseNotify(msg);
}

void CMainWnd::BaseNotify(ui::TNotifyUI& msg) {
    WindowImplBase::Notify(msg);
}

bool CMainWnd::RouteToSubsystem(ui::TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    if (sender == nullptr) {
        return false;
    }
    const std::string& type = msg.sType;
    const std::string& name = sender->GetName();
    const host::Router::Bound* route = routes_.Find(type, name);
    if (route == nullptr) {
        return false;
    }
    host::Event event{*sender};
    event.index = host::SplitIndexedName(name).index;
    event.selected = IsSelected(sender);
    if (type == ui::notify::kValueChanged || type == ui::notify::kMoveValueChanged) {
        const auto* slider = dynamic_cast<const ui::CProgressUI*>(sender);
        if (slider == nullptr) {
            return false;
        }
        event.value = slider->GetValue();
    } else if (type == ui::notify::kItemSelect) {
        int item = static_cast<int>(static_cast<intptr_t>(msg.wParam));
        if (const auto* owner = dynamic_cast<const ui::IListOwnerUI*>(sender)) {
            item = owner->GetCurSel();
        }
        // A list that lost its selection chose nothing.
        if (item < 0) {
            return true;
        }
        event.value = item;
    } else if (type == ui::notify::kTextChanged) {
        event.value = LimitedEditNumber(*sender, route->limits);
    } else if (type == ui::notify::kKillFocus || type == ui::notify::kSetFocus) {
        event.value = ParseLeadingInt(sender->GetText());
    }
    route->run(event);
    return true;
}

// ---- clicks ---------------------------------------------------------------------------------

void CMainWnd::RouteClick(ui::TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    if (sender == nullptr) {
        return;
    }
    const std::string& name = sender->GetName();
    if (EqualsIgnoreCase(name, "menubtn")) {
        OpenMainMenu();
        return;
    }
    if (EqualsIgnoreCase(name, "dpi_btn")) {
        m_pm.SetDPI(ParseLeadingInt(sender->GetUserData()));
        return;
    }
    for (int stage = 1; stage <= 5; ++stage) {
        if (EqualsIgnoreCase(name, "ms_DPIcolor_btn_" + std::to_string(stage))) {
            ChooseDpiStageColour(stage);
            return;
        }
    }
    RouteToSubsystem(msg);
}

void CMainWnd::ChooseDpiStageColour(int stage) {
    CControlUI* button = Find(*this, "ms_DPIcolor_btn_" + std::to_string(stage));
    if (button == nullptr) {
        return;
    }
    auto dialog = std::make_unique<CPalletDialog>("GmPalletDialog.xml", button->GetBkColor());
    if (dialog->RunAtCursor(GetHWND()) != CPalletDialog::kResultOk) {
        return;
    }
    const ui::DWORD colour = dialog->GetColor();
    button->SetBkColor(colour);
    if (mouse_ != nullptr) {
        mouse_->SetDpiStageColour(stage, colour);
    }
}

// ---- options --------------------------------------------------------------------------------

void CMainWnd::RouteSelectChanged(ui::TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    if (sender == nullptr || RouteToSubsystem(msg)) {
        return;
    }
    if (RefusedByMacroEdit(*this, sender->GetName())) {
        return;
    }
    SwitchDevicePage(msg);
}

void CMainWnd::SwitchDevicePage(ui::TNotifyUI& msg) {
    const std::string name = msg.pSender != nullptr ? msg.pSender->GetName() : std::string();
    constexpr std::array<const char*, 6> topTabs = {"kb_tab",  "ms_tab",    "mp_tab",
                                                    "ani_tab", "split_tab", "nodev_tab"};
    for (size_t page = 0; page < topTabs.size(); ++page) {
        if (EqualsIgnoreCase(name, topTabs[page])) {
            SelectTabPage(*this, "tab_switch", static_cast<int>(page));
            return;
        }
    }

    const std::array<const char*, 4> keyboardProfileControls = {
        "kb_profile_fun_spread_btn", "kb_profile_select_tab", "kb_profile_fun_spead_tab",
        "kb_device_profile_edit"};
    if (EqualsIgnoreCase(name, "kb_deng_Op_tab")) {
        SelectTabPage(*this, "kb_tab_switch", 2);
        SetVisible(*this, "kb_deng_layout", true);
        SetVisible(*this, "kb_tab_key_seting", false);
        for (const char* control : keyboardProfileControls) {
            SetEnabled(*this, control, true);
        }
    } else if (EqualsIgnoreCase(name, "kb_macro_Op_tab")) {
        SelectTabPage(*this, "kb_tab_switch", 1);
        for (const char* control :
             {"kb_profile_fun_spread_btn", "kb_profile_select_tab", "kb_profile_fun_spead_tab",
              "kb_key_profile_edit", "kb_deng_profile_edit", "kb_device_profile_edit"}) {
            SetEnabled(*this, control, false);
        }
    } else if (EqualsIgnoreCase(name, "kb_key_Op_tab")) {
        // Page 2 is shared with the lighting page; the key function panel starts hidden only
        // when coming from another page.
        if (TabPage(*this, "kb_tab_switch") != 2) {
            SetVisible(*this, "kb_tab_function", false);
            SetEnabled(*this, "kb_tab_function", false);
            SelectTabPage(*this, "kb_tab_switch", 2);
        }
        SetVisible(*this, "kb_deng_layout", false);
        SetVisible(*this, "kb_tab_key_seting", true);
        for (const char* control : keyboardProfileControls) {
            SetEnabled(*this, control, true);
        }
    } else if (EqualsIgnoreCase(name, "kb_cursor_Op_tab")) {
        SelectTabPage(*this, "kb_tab_switch", 3);
    } else if (EqualsIgnoreCase(name, "ms_deng_Op_tab")) {
        SelectTabPage(*this, "ms_tab_switch", 0);
    } else if (EqualsIgnoreCase(name, "ms_macro_Op_tab")) {
        SelectTabPage(*this, "ms_tab_switch", 1);
    } else if (EqualsIgnoreCase(name, "ms_cursor_Op_tab")) {
        SelectTabPage(*this, "ms_tab_switch", 4);
    } else if (EqualsIgnoreCase(name, "ms_key_Op_tab")) {
        if (TabPage(*this, "ms_tab_switch") != 2) {
            SetVisible(*this, "ms_tab_function", true);
            SelectTabPage(*this, "ms_tab_switch", 2);
        }
    } else if (EqualsIgnoreCase(name, "ms_rich_Op_tab")) {
        SelectTabPage(*this, "ms_tab_switch", 3);
    }
}

}  // namespace gmd::app
