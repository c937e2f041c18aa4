// The switchboard of the main window: every control notification is turned into an operation of
// a subsystem or into a change of the shell's own controls, by notification type and sender name.

#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialogs.h"
#include "app/main_wnd.h"
#include "mouse/preset_colours.h"
#include "platform/debug_output.h"
#include "platform/ini_file.h"
#include "platform/text.h"
#include "ui/controls.h"

namespace gmd::app {

namespace {

using ui::CControlUI;

// An indexed name: "ms_Deng_color_btn_7" is the prefix "ms_Deng_color_btn_" and the index 7.
struct IndexedName {
    bool hasPrefix = false;
    std::string prefix;  // with the trailing underscore
    int index = 0;       // 0 when the tail is not a decimal number
};

IndexedName SplitIndexedName(const std::string& name) {
    IndexedName split;
    const size_t underscore = name.rfind('_');
    if (underscore == std::string::npos) {
        return split;
    }
    split.hasPrefix = true;
    split.prefix = name.substr(0, underscore + 1);
    const std::string_view tail = std::string_view(name).substr(underscore + 1);
    if (tail.empty() || tail.size() > 9) {
        return split;
    }
    int value = 0;
    for (char c : tail) {
        if (c < '0' || c > '9') {
            return split;
        }
        value = value * 10 + (c - '0');
    }
    split.index = value;
    return split;
}

DeviceKind DeviceOfName(std::string_view name) {
    if (StartsWithIgnoreCase(name, "kb_")) {
        return DeviceKind::Keyboard;
    }
    if (StartsWithIgnoreCase(name, "mp_")) {
        return DeviceKind::Mousepad;
    }
    return DeviceKind::Mouse;
}

CControlUI* Find(CMainWnd& wnd, const std::string& name) {
    return wnd.GetPaintManager().FindControl(name);
}

ui::COptionUI* FindOption(CMainWnd& wnd, const std::string& name) {
    return dynamic_cast<ui::COptionUI*>(Find(wnd, name));
}

bool IsOptionSelected(CMainWnd& wnd, const std::string& name) {
    const ui::COptionUI* option = FindOption(wnd, name);
    return option != nullptr && option->IsSelected();
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

void ToggleVisible(CMainWnd& wnd, const std::string& name) {
    if (CControlUI* control = Find(wnd, name)) {
        control->SetVisible(!control->IsOwnVisible());
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

// ---- click routing by full name -------------------------------------------------------------

using ClickAction = std::function<void(CMainWnd&, CControlUI&)>;
struct NamedClick {
    std::string name;
    ClickAction run;
};

// The profile kinds that carry buttons, by the name part between the device prefix and "_btn".
struct ProfileButtons {
    const char* stem;  // "kb_pro_deng" ...
    ListId list;
};
constexpr std::array<ProfileButtons, 7> kProfileButtons = {{
    {"kb_pro_deng", ListId::KeyboardLight},
    {"kb_pro_device", ListId::KeyboardDevice},
    {"kb_pro_key", ListId::KeyboardKey},
    {"mp_pro_deng", ListId::MousepadLight},
    {"ms_pro_deng", ListId::MouseLight},
    {"ms_pro_device", ListId::MouseDevice},
    {"ms_pro_key", ListId::MouseKey},
}};

// The profile lists by the "kb_deng" style stem of the link, link-check and rename controls.
constexpr std::array<ProfileButtons, 7> kProfileStems = {{
    {"kb_deng", ListId::KeyboardLight},
    {"kb_key", ListId::KeyboardKey},
    {"kb_device", ListId::KeyboardDevice},
    {"ms_device", ListId::MouseDevice},
    {"ms_deng", ListId::MouseLight},
    {"ms_key", ListId::MouseKey},
    {"mp_deng", ListId::MousepadLight},
}};

void AddMacroButtons(std::vector<NamedClick>& table, const std::string& p, DeviceKind page) {
    const std::pair<const char*, MacroStepMove> moves[] = {
        {"down", MacroStepMove::Down},     {"up", MacroStepMove::Up},
        {"uptop", MacroStepMove::ToTop},   {"downbottom", MacroStepMove::ToBottom},
        {"delete", MacroStepMove::Delete}, {"deleteall", MacroStepMove::DeleteAll},
    };
    table.push_back({p + "macro_btn_name_add",
                     [page](CMainWnd& w, CControlUI&) { w.Operations().AddMacro(page); }});
    table.push_back({p + "macro_btn_name_sub",
                     [page](CMainWnd& w, CControlUI&) { w.Operations().DeleteMacro(page); }});
    for (const auto& [word, move] : moves) {
        table.push_back({p + "macro_btn_" + word, [page, m = move](CMainWnd& w, CControlUI&) {
                             w.Operations().MoveMacroStep(page, m);
                         }});
    }
    table.push_back({p + "macro_btn_cancel",
                     [page](CMainWnd& w, CControlUI&) { w.Operations().CancelMacroEdit(page); }});
    table.push_back({p + "macro_btn_save",
                     [page](CMainWnd& w, CControlUI&) { w.Operations().SaveMacroEdit(page); }});
}

std::vector<NamedClick> BuildClickTable() {
    std::vector<NamedClick> t;
    auto add = [&t](std::string name, ClickAction run) {
        t.push_back({std::move(name), std::move(run)});
    };
    add("ms_bulletdate_save_btn",
        [](CMainWnd& w, CControlUI&) { w.Operations().SendCursorSequences(); });
    add("ms_bulletdate_reset_btn",
        [](CMainWnd& w, CControlUI&) { w.Operations().ResetCursorSequence(); });
    add("bullet_selected_prev",
        [](CMainWnd& w, CControlUI&) { w.Operations().SelectCursorStepRelative(-1); });
    add("bullet_selected_next",
        [](CMainWnd& w, CControlUI&) { w.Operations().SelectCursorStepRelative(1); });
    add("menubtn", [](CMainWnd& w, CControlUI&) { w.OpenMainMenu(); });
    add("dpi_btn", [](CMainWnd& w, CControlUI& sender) {
        w.GetPaintManager().SetDPI(ParseLeadingInt(sender.GetUserData()));
    });
    add("ms_key_butt_keysave",
        [](CMainWnd& w, CControlUI&) { w.Operations().SaveMouseKeyAssignment(); });
    // The three lift heights behave as one group; the other two drop their selection silently.
    const std::array<std::pair<const char*, int>, 3> heights = {
        {{"heightHigh", 2}, {"heightMiddle", 1}, {"heightLow", 0}}};
    for (const auto& [name, level] : heights) {
        add(name, [heights, self = std::string(name), lv = level](CMainWnd& w, CControlUI&) {
            for (const auto& other : heights) {
                if (!EqualsIgnoreCase(other.first, self)) {
                    if (ui::COptionUI* option = FindOption(w, other.first)) {
                        option->Selected(false, false);
                    }
                }
            }
            w.Operations().SetLiftHeight(lv);
        });
    }
    add("ms_device_cancle_link_btn",
        [](CMainWnd& w, CControlUI&) { w.Operations().RemoveProfileLink(ListId::MouseDevice); });
    add("kb_deng_cancle_link_btn",
        [](CMainWnd& w, CControlUI&) { w.Operations().RemoveProfileLink(ListId::KeyboardLight); });
    add("kb_device_cancle_link_btn",
        [](CMainWnd& w, CControlUI&) { w.Operations().RemoveProfileLink(ListId::KeyboardDevice); });
    add("ms_macro_btn_redio",
        [](CMainWnd& w, CControlUI&) { w.Operations().ToggleMacroRecording(DeviceKind::Mouse); });
    add("ms_key_butt_prosave",
        [](CMainWnd& w, CControlUI&) { w.Operations().UploadKeysAndMacros(DeviceKind::Mouse); });
    add("kb_key_butt_prosave",
        [](CMainWnd& w, CControlUI&) { w.Operations().UploadKeysAndMacros(DeviceKind::Keyboard); });
    AddMacroButtons(t, "ms_", DeviceKind::Mouse);
    add("ms_macro_btn_import",
        [](CMainWnd& w, CControlUI&) { w.Operations().ImportMacro(DeviceKind::Mouse); });
    add("ms_macro_btn_export",
        [](CMainWnd& w, CControlUI&) { w.Operations().ExportMacro(DeviceKind::Mouse); });
    add("kb_macro_btn_export",
        [](CMainWnd& w, CControlUI&) { w.Operations().ExportMacro(DeviceKind::Keyboard); });
    add("kb_macro_btn_import",
        [](CMainWnd& w, CControlUI&) { w.Operations().ImportMacro(DeviceKind::Keyboard); });
    add("kb_macro_btn_redio", [](CMainWnd& w, CControlUI&) {
        w.Operations().ToggleMacroRecording(DeviceKind::Keyboard);
    });
    AddMacroButtons(t, "kb_", DeviceKind::Keyboard);
    add("ms_key_butt_keydefalut",
        [](CMainWnd& w, CControlUI&) { w.Operations().RestoreDefaultKeys(DeviceKind::Mouse); });
    add("kb_key_butt_keydefalut",
        [](CMainWnd& w, CControlUI&) { w.Operations().RestoreDefaultKeys(DeviceKind::Keyboard); });
    add("ms_gunlun_speed_up_btn",
        [](CMainWnd& w, CControlUI&) { w.Operations().ChangeWheelLines(1); });
    add("ms_gunlun_speed_down_btn",
        [](CMainWnd& w, CControlUI&) { w.Operations().ChangeWheelLines(-1); });
    add("ms_one_profile_default",
        [](CMainWnd& w, CControlUI&) { w.Operations().RestoreMouseDefaults(); });
    add("mp_one_profile_default", [](CMainWnd& w, CControlUI&) {
        w.Operations().RestoreMousepadDefaults();
        // The mousepad needs a moment to apply its defaults before it is read back.
        QTimer::singleShot(1000, [hwnd = w.GetHWND()] { ui::PostMessage(hwnd, WM_PAD_RELOAD); });
    });
    add("ms_Deng_FXL_btn",
        [](CMainWnd& w, CControlUI&) { w.Operations().MouseDirectionButton(true); });
    add("ms_Deng_FXR_btn",
        [](CMainWnd& w, CControlUI&) { w.Operations().MouseDirectionButton(false); });
    add("ms_macro_btn_savemacroname",
        [](CMainWnd& w, CControlUI&) { w.Operations().SaveMacroName(DeviceKind::Mouse); });
    add("kb_macro_btn_savemacroname",
        [](CMainWnd& w, CControlUI&) { w.Operations().SaveMacroName(DeviceKind::Keyboard); });
    for (const DeviceKind source :
         {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad}) {
        const char* name = source == DeviceKind::Keyboard ? "kb_deng_same_mode"
                           : source == DeviceKind::Mouse  ? "ms_deng_same_mode"
                                                          : "mp_deng_same_mode";
        add(name, [source](CMainWnd& w, CControlUI&) { w.Operations().SyncLighting(source); });
    }
    for (const char* p : {"kb_", "mp_", "ms_"}) {
        add(std::string(p) + "profile_fun_spread_btn",
            [panel = std::string(p) + "profile_fun_spead_tab"](CMainWnd& w, CControlUI&) {
                ToggleVisible(w, panel);
            });
    }
    for (const char* stem :
         {"kb_pro_deng", "kb_pro_key", "mp_pro_deng", "ms_pro_deng", "ms_pro_key"}) {
        // "kb_pro_deng_edit_btn" toggles "kb_deng_profile_edit".
        const std::string s(stem);
        const std::string panel = s.substr(0, 3) + s.substr(7) + "_profile_edit";
        add(s + "_edit_btn", [panel](CMainWnd& w, CControlUI&) { ToggleVisible(w, panel); });
    }
    const std::pair<const char*, ProfileOp> ops[] = {
        {"_add_btn", ProfileOp::Add},       {"_sub_btn", ProfileOp::Delete},
        {"_import_btn", ProfileOp::Import}, {"_export_btn", ProfileOp::Export},
        {"_copy_btn", ProfileOp::Copy},     {"_reset_btn", ProfileOp::Reset},
    };
    for (const auto& [suffix, op] : ops) {
        for (const ProfileButtons& b : kProfileButtons) {
            add(std::string(b.stem) + suffix, [list = b.list, o = op](CMainWnd& w, CControlUI&) {
                w.Operations().RunProfileOp(list, o);
            });
        }
    }
    add("ms_bulletdate_import_btn",
        [](CMainWnd& w, CControlUI&) { w.Operations().ImportCursorFile(); });
    add("ms_bulletdate_export_btn",
        [](CMainWnd& w, CControlUI&) { w.Operations().ExportCursorFile(); });
    for (const ProfileButtons& b : kProfileStems) {
        add(std::string(b.stem) + "_profile_link_btn", [list = b.list](CMainWnd& w, CControlUI&) {
            w.Operations().LinkProfileToExecutable(list);
        });
    }
    for (const ProfileButtons& b : kProfileStems) {
        add(std::string(b.stem) + "_profile_edit_save_btn",
            [list = b.list](CMainWnd& w, CControlUI&) { w.Operations().RenameProfile(list); });
    }
    const std::pair<const char*, MacroMouseInsert> inserts[] = {
        {"leftkey_btn", MacroMouseInsert::LeftKey},
        {"rightkey_btn", MacroMouseInsert::RightKey},
        {"moudlekey_btn", MacroMouseInsert::MiddleKey},
        {"forwardkey_btn", MacroMouseInsert::ForwardKey},
        {"backkey_btn", MacroMouseInsert::BackKey},
        {"leftkeydown_btn", MacroMouseInsert::LeftKeyDown},
        {"rightkeydown_btn", MacroMouseInsert::RightKeyDown},
        {"moudlekeydown_btn", MacroMouseInsert::MiddleKeyDown},
        {"forwardkeydown_btn", MacroMouseInsert::ForwardKeyDown},
        {"backkeydown_btn", MacroMouseInsert::BackKeyDown},
        {"leftkeyup_btn", MacroMouseInsert::LeftKeyUp},
        {"rightkeyup_btn", MacroMouseInsert::RightKeyUp},
        {"moudlekeyup_btn", MacroMouseInsert::MiddleKeyUp},
        {"forwardkeyup_btn", MacroMouseInsert::ForwardKeyUp},
        {"backkeyup_btn", MacroMouseInsert::BackKeyUp},
        {"moveleftkey_btn", MacroMouseInsert::MoveLeft},
        {"moverightkey_btn", MacroMouseInsert::MoveRight},
        {"moveupkey_btn", MacroMouseInsert::MoveUp},
        {"movedownkey_btn", MacroMouseInsert::MoveDown},
    };
    for (const auto& [page, prefix] : {std::pair{DeviceKind::Mouse, "ms_macro_inset_"},
                                       std::pair{DeviceKind::Keyboard, "kb_macro_inset_"}}) {
        for (const auto& [suffix, action] : inserts) {
            add(std::string(prefix) + suffix, [pg = page, a = action](CMainWnd& w, CControlUI&) {
                w.Operations().InsertMacroMouseAction(pg, a);
            });
        }
    }
    return t;
}

const NamedClick* FindNamedClick(const std::string& name) {
    static const std::vector<NamedClick> table = BuildClickTable();
    for (const NamedClick& entry : table) {
        if (EqualsIgnoreCase(entry.name, name)) {
            return &entry;
        }
    }
    return nullptr;
}

// ---- "itemselect" ---------------------------------------------------------------------------

using ItemAction = std::function<void(CMainWnd&, CControlUI&, int item)>;
struct NamedItem {
    std::string name;
    ItemAction run;
};

void AddKeyFunctionCombos(std::vector<NamedItem>& t, const std::string& p, DeviceKind device) {
    t.push_back({p + "key_fct_combo", [device](CMainWnd& w, CControlUI&, int item) {
                     w.Operations().ChooseKeyFunctionClass(device, item);
                 }});
    t.push_back({p + "key_fct_combo_24", [device, p](CMainWnd& w, CControlUI&, int item) {
                     w.Operations().ApplyKeyFunction(device, 24, item);
                     SetVisible(w, p + "tab_function_26", true);
                 }});
    for (int number : {11, 12, 13, 14, 21, 22, 23, 25, 26}) {
        t.push_back({p + "key_fct_combo_" + std::to_string(number),
                     [device, number](CMainWnd& w, CControlUI&, int item) {
                         w.Operations().ApplyKeyFunction(device, number, item);
                     }});
    }
}

std::vector<NamedItem> BuildItemTable() {
    std::vector<NamedItem> t;
    for (int list = 0; list < 3; ++list) {
        t.push_back({"ms_deng_combo_modeSelect" + std::to_string(list),
                     [list](CMainWnd& w, CControlUI&, int item) {
                         w.Operations().ChooseLightMode(DeviceKind::Mouse, list, item);
                     }});
    }
    t.push_back({"mp_deng_combo_modeSelect", [](CMainWnd& w, CControlUI&, int item) {
                     w.Operations().ChooseLightMode(DeviceKind::Mousepad, 0, item);
                 }});
    t.push_back({"kb_deng_combo_modeSelect", [](CMainWnd& w, CControlUI&, int item) {
                     w.Operations().ChooseLightMode(DeviceKind::Keyboard, 0, item);
                 }});
    t.push_back({"kb_deng_combo_curtom_count", [](CMainWnd& w, CControlUI&, int item) {
                     w.Operations().ChooseKeyboardCustomSlotCount(item);
                 }});
    t.push_back({"ms_report_fct_combo",
                 [](CMainWnd& w, CControlUI&, int item) { w.Operations().SetReportRate(item); }});
    for (const auto& [p, page] :
         {std::pair{"ms_", DeviceKind::Mouse}, std::pair{"kb_", DeviceKind::Keyboard}}) {
        const std::string prefix(p);
        const DeviceKind pg = page;
        t.push_back({prefix + "MacroName_list", [pg](CMainWnd& w, CControlUI&, int item) {
                         w.Operations().OpenMacro(pg, item);
                     }});
        for (const auto& [word, field] : {std::pair{"keyselect", MacroStepField::Key},
                                          std::pair{"mouselect", MacroStepField::MouseButton},
                                          std::pair{"upordown", MacroStepField::Direction}}) {
            t.push_back({prefix + "macro_combo_" + word,
                         [pg, f = field](CMainWnd& w, CControlUI&, int item) {
                             w.Operations().ChangeMacroStep(pg, f, item);
                         }});
        }
    }
    AddKeyFunctionCombos(t, "ms_", DeviceKind::Mouse);
    t.push_back({"mp_deng_combo_profile", [](CMainWnd& w, CControlUI&, int item) {
                     w.Operations().SwitchMousepadOnboardProfile(item);
                 }});
    AddKeyFunctionCombos(t, "kb_", DeviceKind::Keyboard);
    for (const ProfileButtons& b : kProfileStems) {
        t.push_back({std::string(b.stem) + "_profile_combo",
                     [list = b.list](CMainWnd& w, CControlUI&, int item) {
                         w.Operations().LoadProfile(list, item);
                     }});
    }
    return t;
}

// ---- "textchanged" --------------------------------------------------------------------------

struct EditRoute {
    std::string name;
    int max = 0;
    int min = 0;  // 0: no lower bound
    std::function<void(CMainWnd&, int)> run;
};

std::vector<EditRoute> BuildEditTable() {
    std::vector<EditRoute> t;
    for (const auto& [p, device] :
         {std::pair{"ms_", DeviceKind::Mouse}, std::pair{"kb_", DeviceKind::Keyboard}}) {
        const std::string prefix(p);
        const DeviceKind d = device;
        auto keyParameter = [d](int number) {
            return [d, number](CMainWnd& w, int value) {
                w.Operations().ApplyKeyFunctionParameter(d, number, value);
            };
        };
        for (int number : {11, 12, 25}) {
            const int min = (number == 25 && d == DeviceKind::Mouse) ? 1 : 0;
            t.push_back({prefix + "key_fct_edit_" + std::to_string(number), 255, min,
                         keyParameter(number)});
        }
        for (int number : {15, 16}) {
            t.push_back(
                {prefix + "key_fct_edit_" + std::to_string(number), 127, 0, keyParameter(number)});
        }
        for (int number = 17; number <= 20; ++number) {
            t.push_back(
                {prefix + "key_fct_edit_" + std::to_string(number), 15, 0, keyParameter(number)});
        }
    }
    for (const auto& [p, device] :
         {std::pair{"ms_", DeviceKind::Mouse}, std::pair{"mp_", DeviceKind::Mousepad},
          std::pair{"kb_", DeviceKind::Keyboard}}) {
        const char* channels[] = {"R", "G", "B"};
        for (int channel = 0; channel < 3; ++channel) {
            t.push_back({std::string(p) + "Deng_edit_" + channels[channel], 255, 0,
                         [d = device, channel](CMainWnd& w, int value) {
                             w.Operations().SetLightColourComponent(d, channel, value);
                         }});
        }
    }
    // The wheel lines take effect when the edit loses the focus.
    t.push_back({"ms_gunlun_speed_edit", 100, 1, [](CMainWnd&, int) {}});
    for (const auto& [p, device] :
         {std::pair{"ms_", DeviceKind::Mouse}, std::pair{"kb_", DeviceKind::Keyboard}}) {
        const std::string prefix(p);
        const DeviceKind d = device;
        t.push_back({prefix + "_macro_edit_ActionDelay", 65535, 0, [d](CMainWnd& w, int value) {
                         w.Operations().ChangeMacroStepValue(d, MacroEditField::ActionDelay, value);
                     }});
        t.push_back(
            {prefix + "_macro_edit_mou_action_delay", 65535, 0, [d](CMainWnd& w, int value) {
                 w.Operations().ChangeMacroStepValue(d, MacroEditField::MouseActionDelay, value);
             }});
        t.push_back(
            {prefix + "macro_edit_mou_pointer_skewing", 255, 0, [d](CMainWnd& w, int value) {
                 w.Operations().ChangeMacroStepValue(d, MacroEditField::PointerSkewing, value);
             }});
        for (const auto& [word, move] :
             {std::pair{"x_left", PointerMove::Left}, std::pair{"x_right", PointerMove::Right},
              std::pair{"y_up", PointerMove::Up}, std::pair{"y_down", PointerMove::Down}}) {
            t.push_back(
                {prefix + "mouse_" + word + "_edit", 255, 0, [d, m = move](CMainWnd& w, int value) {
                     w.Operations().TakeMacroPointerMove(d, m, value);
                 }});
        }
    }
    t.push_back({"ms_cursor_x_eidt", 255, 0, [](CMainWnd& w, int value) {
                     w.Operations().ChangeCursorStepOffset(Axis::X, value);
                 }});
    t.push_back({"ms_cursor_y_eidt", 255, 0, [](CMainWnd& w, int value) {
                     w.Operations().ChangeCursorStepOffset(Axis::Y, value);
                 }});
    t.push_back({"ms_cursor_delay_eidt", 65535, 0,
                 [](CMainWnd& w, int value) { w.Operations().ChangeCursorStepDelay(value); }});
    return t;
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

// Two options of which at most one is selected: selecting one drops the other silently.
// Returns whether the sender is now selected.
bool ExcludePair(CMainWnd& wnd, const CControlUI& sender, const std::string& other) {
    if (!IsSelected(&sender)) {
        return false;
    }
    if (ui::COptionUI* option = FindOption(wnd, other)) {
        option->Selected(false, false);
    }
    return true;
}

}  // namespace

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
    } else if (type == ui::notify::kColorChanged) {
        RouteColorChanged(msg);
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
    } else if (type == ui::notify::kMouseLeave || type == ui::notify::kMouseEnter) {
        RouteHover(msg, type == ui::notify::kMouseEnter);
    } else if (type == ui::notify::kSelectChanged) {
        RouteSelectChanged(msg);
    } else if (type == ui::notify::kValueChanged || type == ui::notify::kMoveValueChanged) {
        RouteValueChanged(msg, type == ui::notify::kMoveValueChanged);
    } else if (type == ui::notify::kItemSelect) {
        RouteItemSelect(msg);
    } else if (type == ui::notify::kItemClick) {
        if (sender != nullptr && (EqualsIgnoreCase(name, "ms_macro_action") ||
                                  EqualsIgnoreCase(name, "kb_macro_action"))) {
            int row = -1;
            if (const auto* element = dynamic_cast<ui::CListContainerElementUI*>(sender)) {
                row = element->GetIndex();
            } else if (const auto* label = dynamic_cast<ui::CListLabelElementUI*>(sender)) {
                row = label->GetIndex();
            }
            Operations().EditMacroStep(DeviceOfName(name), row);
        }
    } else if (type == ui::notify::kKillFocus || type == ui::notify::kSetFocus) {
        RouteFocus(msg, type == ui::notify::kSetFocus);
    } else if (type == ui::notify::kTextChanged) {
        RouteTextChanged(msg);
    }
    BaseNotify(msg);
}

void CMainWnd::BaseNotify(ui::TNotifyUI& msg) {
    WindowImplBase::Notify(msg);
}

// ---- clicks ---------------------------------------------------------------------------------

void CMainWnd::RouteClick(ui::TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    if (sender == nullptr) {
        return;
    }
    const std::string& name = sender->GetName();
    const IndexedName split = SplitIndexedName(name);
    if (split.hasPrefix) {
        const std::string& prefix = split.prefix;
        const int index = split.index;
        if (EqualsIgnoreCase(prefix, "kb_key_")) {
            if (IsOptionSelected(*this, "kb_key_Op_tab")) {
                CControlUI* function = Find(*this, "kb_tab_function");
                if (function != nullptr && !function->IsVisible()) {
                    function->SetVisible(true);
                    function->SetEnabled(true);
                }
                Operations().SelectKey(DeviceKind::Keyboard, index);
            } else if (IsOptionSelected(*this, "kb_deng_Op_tab")) {
                Operations().SelectKeyboardKeyForColour(index);
            }
            return;
        }
        if (EqualsIgnoreCase(prefix, "kb_dkey_")) {
            Operations().SelectKeyboardKeyForColour(index);
            return;
        }
        for (int stage = 1; stage <= 5; ++stage) {
            if (EqualsIgnoreCase(name, "ms_DPIcolor_btn_" + std::to_string(stage))) {
                ChooseDpiStageColour(stage);
                return;
            }
        }
        if (EqualsIgnoreCase(prefix, "ms_Deng_color_btn_") ||
            EqualsIgnoreCase(prefix, "mp_Deng_color_btn_") ||
            EqualsIgnoreCase(prefix, "kb_Deng_color_btn_")) {
            // A button beyond the preset table has no colour: it does nothing.
            if (index >= 0 && static_cast<size_t>(index) < kPresetColours.size()) {
                Operations().SetLightColourPreset(DeviceOfName(prefix), index);
            } else {
                DebugTrace("preset colour " + std::to_string(index) + " does not exist");
            }
            return;
        }
        if (EqualsIgnoreCase(prefix, "ms_profile_")) {
            Operations().SwitchMouseOnboardProfile(index);
            return;
        }
        if (EqualsIgnoreCase(prefix, "ms_bullet_op_")) {
            if (auto* option = dynamic_cast<ui::COptionUI*>(sender);
                option && option->IsSelected()) {
                option->Selected(false, true);
                SetEnabled(*this, "cursor_edit_layout", false);
            }
            return;
        }
    }
    if (const NamedClick* entry = FindNamedClick(name)) {
        entry->run(*this, *sender);
    }
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
    Operations().SetDpiStageColour(stage, colour);
}

// ---- options --------------------------------------------------------------------------------

void CMainWnd::RouteSelectChanged(ui::TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    if (sender == nullptr) {
        return;
    }
    const std::string& name = sender->GetName();
    const bool selected = IsSelected(sender);
    const IndexedName split = SplitIndexedName(name);

    if (split.hasPrefix && EqualsIgnoreCase(split.prefix, "ms_gun_op_")) {
        Operations().SelectCursorSequence(split.index);
        SelectOption(*this, "ms_bullet_op_0");
    } else if (split.hasPrefix && EqualsIgnoreCase(split.prefix, "ms_bullet_op_")) {
        Operations().SelectCursorStep(split.index);
        if (selected) {
            SetEnabled(*this, "cursor_edit_layout", true);
        }
        if (CControlUI* label = Find(*this, "bullet_select_index")) {
            label->SetText(std::to_string(split.index + 1));
        }
    }

    for (const char* ignored :
         {"ms_macro_check_time", "ms_macro_keyboard_event", "ms_macro_mouse_click",
          "ms_macro_mouse_roller", "ms_macro_mouse_move"}) {
        if (EqualsIgnoreCase(name, ignored)) {
            return;
        }
    }
    if (EqualsIgnoreCase(name, "ms_cursor_x_check") ||
        EqualsIgnoreCase(name, "ms_cursor_y_check")) {
        const bool x = EqualsIgnoreCase(name, "ms_cursor_x_check");
        sender->SetResourceText(true);
        sender->SetText(x ? (selected ? "mouse_move_to_left_text" : "mouse_move_to_right_text")
                          : (selected ? "mouse_move_to_up_text" : "mouse_move_to_down_text"));
        Operations().SetCursorDirection(x ? Axis::X : Axis::Y, selected);
        return;
    }
    if (split.hasPrefix && EqualsIgnoreCase(split.prefix, "ms_key_")) {
        Operations().SelectKey(DeviceKind::Mouse, split.index);
        return;
    }
    if (EqualsIgnoreCase(name, "ms_macro_btn_shubiao") ||
        EqualsIgnoreCase(name, "kb_macro_btn_shubiao")) {
        const std::string p = name.substr(0, 3);
        SetVisible(*this, p + "MacroMouseEvent", selected);
        SetVisible(*this, p + "MacroName", !selected);
        return;
    }
    for (const char* p : {"ms_", "mp_", "kb_"}) {
        if (EqualsIgnoreCase(name, std::string(p) + "Deng_7color_check")) {
            Operations().SetSevenColourCycle(DeviceOfName(p), selected);
            return;
        }
        const std::string left = std::string(p) + "Deng_FXL_check";
        const std::string right = std::string(p) + "Deng_FXR_check";
        if (EqualsIgnoreCase(name, left) || EqualsIgnoreCase(name, right)) {
            const bool isLeft = EqualsIgnoreCase(name, left);
            if (ExcludePair(*this, *sender, isLeft ? right : left)) {
                Operations().SetLightDirection(DeviceOfName(p), isLeft);
            }
            return;
        }
    }

    if (RefusedByMacroEdit(*this, name)) {
        return;
    }
    SwitchDevicePage(msg);

    for (const ProfileButtons& b : kProfileStems) {
        if (EqualsIgnoreCase(name, std::string(b.stem) + "_profile_link_check")) {
            Operations().SetProfileLinkEnabled(b.list, selected);
            return;
        }
    }
    if (EqualsIgnoreCase(name, "ms_line_adjust")) {
        Operations().SetLineAdjust(selected);
        return;
    }
    if (EqualsIgnoreCase(name, "kb_Deng_all_kill_check") ||
        EqualsIgnoreCase(name, "kb_Deng_all_bright_check")) {
        const bool allOn = EqualsIgnoreCase(name, "kb_Deng_all_bright_check");
        if (ExcludePair(*this, *sender,
                        allOn ? "kb_Deng_all_kill_check" : "kb_Deng_all_bright_check")) {
            Operations().SetKeyboardAllKeysLight(allOn);
        }
    }
}

void CMainWnd::SwitchDevicePage(ui::TNotifyUI& msg) {
    const std::string name = msg.pSender != nullptr ? msg.pSender->GetName() : std::string();
    // Any page change ends a macro recording.
    Operations().RemoveInputHooks();
    Operations().StopMacroRecording();

    constexpr std::array<const char*, 5> topTabs = {"kb_tab", "ms_tab", "mp_tab", "ani_tab",
                                                    "split_tab"};
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

// ---- sliders, lists, colours ----------------------------------------------------------------

void CMainWnd::RouteValueChanged(ui::TNotifyUI& msg, bool moving) {
    const auto* slider = dynamic_cast<const ui::CProgressUI*>(msg.pSender);
    if (slider == nullptr) {
        return;
    }
    const std::string& name = slider->GetName();
    const int value = slider->GetValue();
    // While a slider is dragged only the DPI labels follow it.
    for (int stage = 1; stage <= 6; ++stage) {
        if (EqualsIgnoreCase(name, "ms_DPI" + std::to_string(stage) + "_slider")) {
            if (moving) {
                Operations().ShowDpiStageValue(stage, value);
            } else if (stage <= 5) {
                Operations().SetDpiStage(stage, value);
            }
            return;
        }
    }
    if (moving) {
        return;
    }
    for (const char* p : {"ms_", "mp_", "kb_"}) {
        if (EqualsIgnoreCase(name, std::string(p) + "deng_light_slider")) {
            Operations().SetLightBrightness(DeviceOfName(p), value);
            return;
        }
        if (EqualsIgnoreCase(name, std::string(p) + "deng_speed_slider")) {
            Operations().SetLightSpeed(DeviceOfName(p), value);
            return;
        }
    }
    if (EqualsIgnoreCase(name, "ms_point_speed_slider")) {
        Operations().SetPointerSpeed(value);
    }
}

void CMainWnd::RouteItemSelect(ui::TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    if (sender == nullptr) {
        return;
    }
    int item = static_cast<int>(static_cast<intptr_t>(msg.wParam));
    if (const auto* owner = dynamic_cast<const ui::IListOwnerUI*>(sender)) {
        item = owner->GetCurSel();
    }
    // A list that lost its selection chose nothing.
    if (item < 0) {
        return;
    }
    static const std::vector<NamedItem> table = BuildItemTable();
    for (const NamedItem& entry : table) {
        if (EqualsIgnoreCase(entry.name, sender->GetName())) {
            entry.run(*this, *sender, item);
            return;
        }
    }
}

void CMainWnd::RouteColorChanged(ui::TNotifyUI& msg) {
    const auto* palette = dynamic_cast<const ui::CColorPaletteUI*>(msg.pSender);
    if (palette == nullptr) {
        return;
    }
    for (const char* p : {"ms_", "mp_", "kb_"}) {
        if (EqualsIgnoreCase(palette->GetName(), std::string(p) + "deng_Color_Pallet")) {
            Operations().SetLightColour(DeviceOfName(p), palette->GetSelectColor());
            return;
        }
    }
}

// ---- edits, focus, hover --------------------------------------------------------------------

void CMainWnd::RouteTextChanged(ui::TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    if (sender == nullptr) {
        return;
    }
    static const std::vector<EditRoute> table = BuildEditTable();
    const std::string& name = sender->GetName();
    for (const EditRoute& route : table) {
        if (!EqualsIgnoreCase(route.name, name)) {
            continue;
        }
        const std::string text = sender->GetText();
        const int read = ParseLeadingInt(text);
        int value = read;
        if (value > route.max) {
            value = route.max;
        } else if (route.min > 0 && value <= 0) {
            value = route.min;
        } else if (value < 0) {
            value = 0;  // no field takes a negative number
        }
        if (text.empty() && EqualsIgnoreCase(name, "ms_key_fct_edit_11")) {
            value = 1;
        } else if (value != read && !text.empty()) {
            // SetText raises no "textchanged", so the write-back does not come round again.
            sender->SetText(std::to_string(value));
        }
        route.run(*this, value);
        return;
    }
}

void CMainWnd::RouteFocus(ui::TNotifyUI& msg, bool gained) {
    CControlUI* sender = msg.pSender;
    if (sender == nullptr) {
        return;
    }
    const std::string& name = sender->GetName();
    if (gained) {
        for (const char* tab : {"ms_deng_Op_tab", "ms_key_Op_tab", "ms_rich_Op_tab",
                                "ms_macro_Op_tab", "ms_cursor_Op_tab"}) {
            if (EqualsIgnoreCase(name, tab)) {
                SetVisible(*this, "ms_profile_fun_spead_tab", false);
                return;
            }
        }
        return;
    }
    if (EqualsIgnoreCase(name, "ms_macro_edit_macroname") ||
        EqualsIgnoreCase(name, "kb_macro_edit_macroname")) {
        Operations().SaveMacroName(DeviceOfName(name));
    } else if (EqualsIgnoreCase(name, "ms_gunlun_speed_edit")) {
        Operations().ApplyWheelLines(ParseLeadingInt(sender->GetText()));
    }
}

void CMainWnd::RouteHover(ui::TNotifyUI& msg, bool enter) {
    if (msg.pSender == nullptr) {
        return;
    }
    const std::string& name = msg.pSender->GetName();
    for (int key = 0; key <= 6; ++key) {
        if (EqualsIgnoreCase(name, "ms_key_" + std::to_string(key))) {
            Operations().MouseKeyHover(key, enter);
            return;
        }
    }
    for (int stage = 1; stage <= 6; ++stage) {
        if (EqualsIgnoreCase(name, "ms_DPIcolor_btn_" + std::to_string(stage))) {
            Operations().DpiColourButtonHover(stage, enter);
            return;
        }
    }
}

}  // namespace gmd::app
