// The application's skin: every layout builds without a fault or a warning, the main window's
// placeholders load their sub-pages, the controls the application finds by name exist with the
// classes it casts them to and start in the states it relies on, the language files agree with
// each other and with the layouts, and every image the skin names can be loaded.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/custom_controls.h"
#include "mouse/preset_colours.h"
#include "platform/text.h"
#include "ui/controls.h"
#include "ui/dialog_builder.h"
#include "ui/menu.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"
#include "ui/window.h"

namespace gmd::app {
namespace {

using ui::CControlUI;

// Placeholder tags of the main layout and the sub-page files they stand for.
const std::map<std::string, std::string> kSubPages = {
    {"kb_key_ui", "keyboard_key.xml"},     {"kb_deng_ui", "keyboard_deng.xml"},
    {"kb_macro_ui", "keyboard_macro.xml"}, {"ms_deng_ui", "Mouse_deng.xml"},
    {"ms_macro_ui", "Mouse_macro.xml"},    {"ms_key_ui", "Mouse_key.xml"},
    {"mp_deng_ui", "MousePad_deng.xml"},   {"ms_dpi_ui", "Mouse_DPI.xml"},
    {"ms_cursor_ui", "Mouse_cursor.xml"},  {"kb_cursor_ui", "Mouse_cursor.xml"},
};

const std::vector<std::string> kLayoutFiles = {
    "main.xml",       "keyboard_key.xml", "keyboard_deng.xml", "keyboard_macro.xml",
    "Mouse_deng.xml", "Mouse_macro.xml",  "Mouse_key.xml",     "MousePad_deng.xml",
    "Mouse_DPI.xml",  "Mouse_cursor.xml", "msg.xml",           "GmPalletDialog.xml",
    "CopyRight.xml",  "skin.xml",
};
const std::vector<std::string> kMenuFiles = {"menu.xml", "menu1.xml"};
const std::vector<std::string> kLanguageFiles = {"lan_en.xml", "lan_cn.xml", "lan_sn.xml"};

// Loads sub-pages for the placeholders the way the main window does (a fresh builder, no
// callback, the window's manager) and keeps every fault and warning of those builds.
class SubPageCallback : public ui::IDialogBuilderCallback {
  public:
    explicit SubPageCallback(ui::CPaintManagerUI& manager) : manager_(manager) {}

    CControlUI* CreateControl(const std::string& className) override {
        const auto page = kSubPages.find(ToLowerAscii(className));
        if (page == kSubPages.end()) {
            return nullptr;
        }
        ui::CDialogBuilder builder;
        CControlUI* root = builder.Create(page->second, nullptr, nullptr, &manager_);
        if (root == nullptr) {
            faults.push_back(builder.GetLastError());
        }
        faults.insert(faults.end(), builder.GetWarnings().begin(), builder.GetWarnings().end());
        loaded.push_back(page->second);
        return root;
    }

    std::vector<std::string> faults;
    std::vector<std::string> loaded;

  private:
    ui::CPaintManagerUI& manager_;
};

// Every control of a tree, so controls sharing a name can be reached too.
void ForEachControl(CControlUI* control, const std::function<void(CControlUI*)>& visit) {
    visit(control);
    if (ui::CContainerUI* container = control->AsContainer()) {
        for (int i = 0; i < container->GetCount(); ++i) {
            ForEachControl(container->GetItemAt(i), visit);
        }
    }
}

CControlUI* FindIn(CControlUI* tree, const std::string& name) {
    CControlUI* found = nullptr;
    ForEachControl(tree, [&](CControlUI* c) {
        if (found == nullptr && c->GetName() == name) {
            found = c;
        }
    });
    return found;
}

// An empty class stands for any container: panels are shown, hidden and enabled, nothing more.
struct Expected {
    std::string name;
    std::string cls;
};

void ExpectControls(ui::CPaintManagerUI& manager, const std::vector<Expected>& table) {
    for (const Expected& e : table) {
        SCOPED_TRACE(e.name);
        CControlUI* control = manager.FindControl(e.name);
        ASSERT_NE(control, nullptr);
        if (e.cls.empty()) {
            EXPECT_NE(control->AsContainer(), nullptr) << control->GetClass();
        } else {
            EXPECT_EQ(control->GetClass(), e.cls);
        }
    }
}

void AddFamily(std::vector<Expected>& table, const std::string& prefix, int first, int last,
               const std::string& cls, const std::string& suffix = {}) {
    for (int i = first; i <= last; ++i) {
        table.push_back({prefix + std::to_string(i) + suffix, cls});
    }
}

// The controls of the main window and its sub-pages that the shell, the routing and the page
// rules find by name.
std::vector<Expected> MainWindowControls() {
    std::vector<Expected> t = {
        // Window and pages.
        {"root", ""},
        {"closebtn", "Button"},
        {"minbtn", "Button"},
        {"maxbtn", "Button"},
        {"restorebtn", "Button"},
        {"skinbtn", "Button"},
        {"menubtn", "Button"},
        {"setting_progress", "Progress"},
        {"str_test", "Label"},
        {"tab_switch", "TabLayout"},
        {"kb_tab", "Option"},
        {"ms_tab", "Option"},
        {"mp_tab", "Option"},
        {"ani_tab", "Option"},
        {"split_tab", "Option"},
        {"kb_tab_switch", "TabLayout"},
        {"kb_macro_Op_tab", "Option"},
        {"kb_deng_Op_tab", "Option"},
        {"kb_key_Op_tab", "Option"},
        {"kb_cursor_Op_tab", "Option"},
        {"kb_deng_layout", ""},
        {"kb_tab_key_seting", ""},
        {"kb_tab_function", ""},
        {"kb_profile_fun_spread_btn", "Button"},
        {"kb_profile_select_tab", ""},
        {"kb_profile_fun_spead_tab", ""},
        {"kb_macro_tab_saveorcancel", ""},
        {"ms_tab_panel", ""},
        {"ms_tab_switch", "TabLayout"},
        {"ms_deng_Op_tab", "Option"},
        {"ms_macro_Op_tab", "Option"},
        {"ms_key_Op_tab", "Option"},
        {"ms_rich_Op_tab", "Option"},
        {"ms_cursor_Op_tab", "Option"},
        {"ms_tab_function", ""},
        {"ms_macro_tab_saveorcancel", ""},
        {"ms_deng_same_mode", "Button"},
        {"ms_profile_fun_spread_btn", "Button"},
        {"ms_profile_fun_spead_tab", ""},
        {"mp_profile_fun_spread_btn", "Button"},
        {"mp_profile_fun_spead_tab", ""},
        {"kb_deng_same_mode", "Button"},
        {"mp_deng_same_mode", "Button"},
        // Light pages.
        {"ms_deng_Color_Pallet", "ColorPalette"},
        {"mp_deng_Color_Pallet", "ColorPalette"},
        {"kb_deng_Color_Pallet", "ColorPalette"},
        {"ms_deng_mode_switch", "TabLayout"},
        {"ms_deng_combo_modeSelect0", "Combo"},
        {"mp_deng_combo_modeSelect", "Combo"},
        {"kb_deng_combo_modeSelect", "Combo"},
        {"kb_deng_combo_curtom_count", "Combo"},
        {"mp_deng_combo_profile", "Combo"},
        {"mp_one_profile_default", "Button"},
        {"ms_Deng_label_Color_dp", "Label"},
        {"ms_Deng_label_7color", "Label"},
        {"ms_Deng_FX_label", "Label"},
        {"ms_Deng_label_FXL", "Label"},
        {"ms_Deng_label_FXR", "Label"},
        {"ms_deng_speed_layout", ""},
        {"kb_deng_speed_layout", ""},
        {"mp_deng_speed_layout", ""},
        {"kb_deng_fx_layout", ""},
        {"kb_deng_7colorselect_layout", ""},
        {"kb_deng_color_display_layout", ""},
        {"kb_deng_custom_tool_layout", ""},
        {"kb_deng_custom_select_layout", ""},
        {"kb_deng_custom_color_layout", ""},
        {"mp_deng_fx_layout", ""},
        {"mp_deng_color_layout", ""},
        {"mp_deng_7colorselect_layout", ""},
        {"kb_Deng_custom_colordp_btn", "Button"},
        {"kb_Deng_all_kill_check", "CheckBox"},
        {"kb_Deng_all_bright_check", "CheckBox"},
        // Performance page.
        {"ms_report_fct_combo", "Combo"},
        {"heightLow", "Option"},
        {"heightMiddle", "Option"},
        {"heightHigh", "Option"},
        {"ms_line_adjust", "CheckBox"},
        {"ms_point_speed_slider", "Slider"},
        {"ms_gunlun_speed_edit", "Edit"},
        {"ms_gunlun_speed_up_btn", "Button"},
        {"ms_gunlun_speed_down_btn", "Button"},
        {"ms_one_profile_default", "Button"},
        // Key pages.
        {"ms_key_fct_combo", "Combo"},
        {"kb_key_fct_combo", "Combo"},
        {"ms_key_butt_keysave", "Button"},
        {"ms_key_butt_keydefalut", "Button"},
        {"ms_key_butt_prosave", "Button"},
        {"kb_key_butt_keydefalut", "Button"},
        {"kb_key_butt_prosave", "Button"},
        {"ms_tab_function_26", ""},
        {"kb_tab_function_26", ""},
        // Cursor page.
        {"cursor_edit_layout", ""},
        {"bullet_select_index", "Label"},
        {"bullet_selected_prev", "Button"},
        {"bullet_selected_next", "Button"},
        {"ms_bulletdate_save_btn", "Button"},
        {"ms_bulletdate_reset_btn", "Button"},
        {"ms_bulletdate_import_btn", "Button"},
        {"ms_bulletdate_export_btn", "Button"},
        {"ms_cursor_x_check", "Option"},
        {"ms_cursor_y_check", "Option"},
        {"ms_cursor_x_eidt", "Edit"},
        {"ms_cursor_y_eidt", "Edit"},
        {"ms_cursor_delay_eidt", "Edit"},
    };
    AddFamily(t, "ms_dkey_", 0, 19, "Control");
    AddFamily(t, "mp_dkey_", 0, 14, "Control");
    AddFamily(t, "kb_key_", 0, 125, "DeviceKeyButton");
    AddFamily(t, "ms_profile_", 0, 4, "Button");
    AddFamily(t, "ms_gun_op_", 0, 3, "Option");
    AddFamily(t, "ms_bullet_op_", 0, 29, "Option");
    AddFamily(t, "ms_key_", 0, 6, "Option");
    AddFamily(t, "ms_key_", 0, 6, "Control", "_0");
    AddFamily(t, "ms_tab_function_", 0, 11, "");
    AddFamily(t, "kb_tab_function_", 0, 10, "");
    for (int n = 1; n <= 6; ++n) {
        const std::string stage = "ms_DPI" + std::to_string(n);
        t.push_back({stage + "_slider", "Slider"});
        t.push_back({stage + "_label_rank", "Label"});
        t.push_back({stage + "_label_value", "Label"});
        t.push_back({stage + "_min", "Label"});
        t.push_back({stage + "_max", "Label"});
        t.push_back({"ms_DPIcolor_btn_" + std::to_string(n), "Button"});
    }
    // Light controls of the three devices.
    for (const std::string dev : {"ms_", "mp_", "kb_"}) {
        t.push_back({dev + "deng_light_slider", "Slider"});
        t.push_back({dev + "deng_speed_slider", "Slider"});
        t.push_back({dev + "Deng_7color_check", "CheckBox"});
        t.push_back({dev + "Deng_FXL_check", "CheckBox"});
        t.push_back({dev + "Deng_FXR_check", "CheckBox"});
        t.push_back({dev + "Deng_colordp_btn", "Button"});
        for (const char* c : {"R", "G", "B"}) {
            t.push_back({dev + "Deng_edit_" + c, "Edit"});
        }
        AddFamily(t, dev + "Deng_color_btn_", 1, 8, "Button");
        AddFamily(t, dev + "Deng_color_btn_", 11, 18, "Button");
    }
    // The seven profile lists: list, name, operations, link controls.
    struct List {
        std::string dev, kind;
        bool renamePanel, cancelLink;
    };
    const List lists[] = {{"ms", "device", false, true}, {"ms", "deng", true, false},
                          {"ms", "key", true, false},    {"kb", "device", true, true},
                          {"kb", "deng", true, true},    {"kb", "key", true, false},
                          {"mp", "deng", true, false}};
    for (const List& l : lists) {
        const std::string p = l.dev + "_" + l.kind;
        t.push_back({p + "_profile_combo", "Combo"});
        t.push_back({p + "_profile_name_edit", "Edit"});
        t.push_back({p + "_profile_edit_save_btn", "Button"});
        t.push_back({p + "_profile_link_check", "CheckBox"});
        t.push_back({p + "_profile_link_btn", "Button"});
        t.push_back({p + "_profile_link_edit", "Edit"});
        t.push_back({p + "_profile_link_name_hor", ""});
        for (const char* op : {"add", "sub", "copy", "import", "export", "reset"}) {
            t.push_back({l.dev + "_pro_" + l.kind + "_" + op + "_btn", "Button"});
        }
        if (l.renamePanel) {
            t.push_back({p + "_profile_edit", ""});
        }
        if (l.renamePanel && l.kind != "device") {
            t.push_back({l.dev + "_pro_" + l.kind + "_edit_btn", "Button"});
        }
        if (l.cancelLink) {
            t.push_back({p + "_cancle_link_btn", "Button"});
        }
    }
    // Key function selectors and number fields of both key pages.
    for (const std::string dev : {"ms_", "kb_"}) {
        for (int n : {11, 12, 13, 14, 21, 22, 23, 24, 26}) {
            t.push_back({dev + "key_fct_combo_" + std::to_string(n), "Combo"});
        }
        for (int n : {11, 12, 15, 16, 17, 18, 19, 20, 21, 25}) {
            t.push_back({dev + "key_fct_edit_" + std::to_string(n), "Edit"});
        }
    }
    t.push_back({"ms_key_fct_combo_25", "Combo"});
    // Macro pages.
    for (const std::string d : {"ms_", "kb_"}) {
        t.push_back({d + "MacroName_list", "List"});
        t.push_back({d + "Macro_list", "List"});
        t.push_back({d + "MacroName", ""});
        t.push_back({d + "MacroMouseEvent", ""});
        t.push_back({d + "tab_macro_edit", "TabLayout"});
        t.push_back({d + "macro_edit_macroname", "Edit"});
        t.push_back({d + "macro_combo_keyselect", "Combo"});
        t.push_back({d + "macro_combo_upordown", "Combo"});
        t.push_back({d + "macro_combo_mouselect", "Combo"});
        t.push_back({d + "_macro_edit_ActionDelay", "Edit"});
        t.push_back({d + "_macro_edit_mou_action_delay", "Edit"});
        t.push_back({d + "macro_edit_mou_pointer_skewing", "Edit"});
        t.push_back({d + "macro_tab_mou_pointer_skewing", ""});
        t.push_back({d + "macro_btn_shubiao", "Option"});
        for (const char* o : {"macro_check_time", "macro_keyboard_event", "macro_mouse_click",
                              "macro_mouse_roller", "macro_mouse_move"}) {
            t.push_back({d + o, "Option"});
        }
        for (const char* b :
             {"redio", "name_add", "name_sub", "import", "export", "up", "down", "uptop",
              "downbottom", "delete", "deleteall", "save", "cancel", "savemacroname"}) {
            t.push_back({d + "macro_btn_" + b, "Button"});
        }
        for (const char* e : {"x_left", "x_right", "y_up", "y_down"}) {
            t.push_back({d + "mouse_" + e + "_edit", "Edit"});
        }
        for (const char* k : {"leftkey", "rightkey", "moudlekey", "forwardkey", "backkey"}) {
            t.push_back({d + "macro_inset_" + k + "_btn", "Button"});
            t.push_back({d + "macro_inset_" + k + "down_btn", "Button"});
            t.push_back({d + "macro_inset_" + k + "up_btn", "Button"});
            t.push_back({d + "macro_inset_" + k + "_tab", ""});
        }
        for (const char* m : {"moveleftkey", "moverightkey", "moveupkey", "movedownkey"}) {
            t.push_back({d + "macro_inset_" + m + "_btn", "Button"});
        }
    }
    return t;
}

class SkinTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { RegisterCustomControls(); }

    void SetUp() override {
        ui::CPaintManagerUI::SetResourcePath(GMD_SKIN_DIR);
        resources_->Release();
        ASSERT_TRUE(resources_->LoadResource("res.xml")) << resources_->GetLastError();
        resources_->SetLanguage("en");
        ASSERT_TRUE(resources_->LoadLanguage("lan_en.xml")) << resources_->GetLastError();
    }

    void TearDown() override {
        resources_->Release();
        ui::CPaintManagerUI::SetResourcePath(GMD_TEST_SKIN_DIR);
    }

    // A skin file parsed as plain XML (the parts that no build shows, hidden or not).
    static ui::XmlElement Parse(const std::string& file) {
        std::string bytes;
        std::string error;
        ui::XmlElement root;
        int line = 0;
        EXPECT_TRUE(ui::ReadSkinFile(file, bytes, error)) << error;
        EXPECT_TRUE(ui::ParseXmlDocument(bytes, root, line, error))
            << file << ":" << line << ": " << error;
        return root;
    }

    static void ForEachElement(const ui::XmlElement& element,
                               const std::function<void(const ui::XmlElement&)>& visit) {
        visit(element);
        for (const ui::XmlElement& child : element.children) {
            ForEachElement(child, visit);
        }
    }

    // The tool tip text id of each style of res.xml that has one.
    static std::map<std::string, std::string> StyleToolTips() {
        std::map<std::string, std::string> tips;
        for (const ui::XmlElement& e : Parse("res.xml").children) {
            std::string name;
            std::string value;
            for (const ui::XmlAttribute& a : e.attributes) {
                (a.name == "name" ? name : value) = a.value;
            }
            ui::AttributeList list;
            if (e.tag != "Style" || !ui::ParseAttributeList(value, list)) {
                continue;
            }
            for (const auto& [attribute, id] : list) {
                if (attribute == "tooltipid") {
                    tips[name] = id;
                }
            }
        }
        return tips;
    }

    ui::CResourceManager* resources_ = ui::CResourceManager::GetInstance();
};

// Buttons that show only an icon (the title bar's and the "icon_" styles) say what they do in
// a tool tip, by a text id (their own or their style's), in every language.
TEST_F(SkinTest, IconButtonsHaveToolTipsInEveryLanguage) {
    const std::map<std::string, std::string> styleTips = StyleToolTips();
    std::map<std::string, std::string> tips;  // "file: button" -> text id
    for (const std::string& file : kLayoutFiles) {
        ForEachElement(Parse(file), [&](const ui::XmlElement& e) {
            std::string name;
            std::string style;
            std::string own;
            bool text = false;
            for (const ui::XmlAttribute& a : e.attributes) {
                const std::string key = ToLowerAscii(a.name);
                if (key == "name") {
                    name = a.value;
                } else if (key == "style") {
                    style = a.value;
                } else if (key == "tooltipid") {
                    own = a.value;
                } else if (key == "text" || key == "textid") {
                    text = true;
                }
            }
            if (text || (style.rfind("icon_", 0) != 0 && style.rfind("title_", 0) != 0)) {
                return;
            }
            const auto fromStyle = styleTips.find(style);
            tips[file + ": " + name] = !own.empty()                   ? own
                                       : fromStyle != styleTips.end() ? fromStyle->second
                                                                      : "";
        });
    }
    ASSERT_GT(tips.size(), 50u);
    for (const std::string& language : kLanguageFiles) {
        ASSERT_TRUE(resources_->LoadLanguage(language)) << resources_->GetLastError();
        for (const auto& [button, id] : tips) {
            EXPECT_TRUE(resources_->HasText(id))
                << language << ", " << button << ": '" << id << "'";
        }
    }
}

TEST_F(SkinTest, MainWindowBuildsWithItsSubPagesAndNamedControls) {
    ui::CPaintManagerUI manager;
    SubPageCallback callback(manager);
    ui::CDialogBuilder builder;
    CControlUI* root = builder.Create("XML_MAIN", nullptr, &callback, &manager);
    ASSERT_NE(root, nullptr) << builder.GetLastError();
    ASSERT_TRUE(manager.AttachDialog(root));
    EXPECT_TRUE(builder.GetWarnings().empty()) << builder.GetWarnings().front();
    EXPECT_TRUE(callback.faults.empty()) << callback.faults.front();

    // Each placeholder once; the cursor page serves both devices.
    std::vector<std::string> expectedLoads;
    for (const auto& [tag, file] : kSubPages) {
        expectedLoads.push_back(file);
    }
    std::sort(expectedLoads.begin(), expectedLoads.end());
    std::sort(callback.loaded.begin(), callback.loaded.end());
    EXPECT_EQ(callback.loaded, expectedLoads);

    EXPECT_EQ(manager.GetInitSize().cx, 800);
    EXPECT_EQ(manager.GetInitSize().cy, 572);
    EXPECT_GT(manager.GetCaptionRect().bottom, 0);

    ExpectControls(manager, MainWindowControls());

    // Pages sit at the indices the page switching selects.
    const struct {
        const char* tab;
        int page;
        const char* holds;
    } kPages[] = {
        {"tab_switch", 0, "kb_tab_switch"},
        {"tab_switch", 1, "ms_tab_switch"},
        {"tab_switch", 2, "mp_deng_combo_modeSelect"},
        {"tab_switch", 5, "no_device_problem"},
        {"kb_tab_switch", 1, "kb_MacroName_list"},
        {"kb_tab_switch", 2, "kb_deng_layout"},
        {"kb_tab_switch", 2, "kb_tab_key_seting"},
        {"kb_tab_switch", 2, "kb_key_125"},
        {"kb_tab_switch", 3, "ms_gun_op_0"},
        {"ms_tab_switch", 0, "ms_deng_combo_modeSelect0"},
        {"ms_tab_switch", 1, "ms_MacroName_list"},
        {"ms_tab_switch", 2, "ms_key_fct_combo"},
        {"ms_tab_switch", 3, "ms_DPI1_slider"},
        {"ms_tab_switch", 4, "ms_gun_op_0"},
        {"kb_deng_layout", 0, "kb_deng_combo_modeSelect"},
        {"kb_tab_key_seting", 0, "kb_tab_function"},
    };
    for (const auto& p : kPages) {
        SCOPED_TRACE(std::string(p.tab) + " page " + std::to_string(p.page) + " holds " + p.holds);
        auto* tab = static_cast<ui::CContainerUI*>(manager.FindControl(p.tab)->AsContainer());
        ASSERT_NE(tab, nullptr);
        ASSERT_LT(p.page, tab->GetCount());
        EXPECT_NE(FindIn(tab->GetItemAt(p.page), p.holds), nullptr);
    }
    EXPECT_EQ(static_cast<ui::CContainerUI*>(manager.FindControl("tab_switch"))->GetCount(), 6);
    EXPECT_EQ(static_cast<ui::CContainerUI*>(manager.FindControl("ms_tab_switch"))->GetCount(), 5);
    EXPECT_EQ(static_cast<ui::CContainerUI*>(manager.FindControl("kb_tab_switch"))->GetCount(), 4);

    // Starting states the shell relies on: the overview up until the device detection has
    // looked, the mouse's tab and the no-device tab hidden until it has, nothing pending, no
    // busy bar.
    EXPECT_EQ(static_cast<ui::CTabLayoutUI*>(manager.FindControl("tab_switch"))->GetCurSel(), 4);
    EXPECT_TRUE(static_cast<ui::COptionUI*>(manager.FindControl("split_tab"))->IsSelected());
    EXPECT_FALSE(manager.FindControl("ms_tab")->IsOwnVisible());
    EXPECT_FALSE(manager.FindControl("nodev_tab")->IsOwnVisible());
    EXPECT_EQ(static_cast<ui::CTabLayoutUI*>(manager.FindControl("ms_tab_switch"))->GetCurSel(), 0);
    EXPECT_TRUE(static_cast<ui::COptionUI*>(manager.FindControl("ms_deng_Op_tab"))->IsSelected());
    for (const char* hidden :
         {"restorebtn", "setting_progress", "str_test", "ms_macro_tab_saveorcancel",
          "kb_macro_tab_saveorcancel", "kb_tab_key_seting", "ms_tab_function_26",
          "kb_tab_function_26", "ms_profile_fun_spead_tab", "kb_profile_fun_spead_tab",
          "mp_profile_fun_spead_tab", "ms_deng_same_mode", "ms_MacroMouseEvent"}) {
        EXPECT_FALSE(manager.FindControl(hidden)->IsOwnVisible()) << hidden;
    }
    for (int i = 1; i <= 11; ++i) {
        EXPECT_FALSE(manager.FindControl("ms_tab_function_" + std::to_string(i))->IsOwnVisible())
            << i;
    }
    EXPECT_TRUE(manager.FindControl("ms_tab_function_0")->IsOwnVisible());

    // The light pages' preset buttons carry the preset colour of their index.
    for (const std::string dev : {"ms_", "mp_", "kb_"}) {
        for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, 16, 17, 18}) {
            const std::string name = dev + "Deng_color_btn_" + std::to_string(i);
            EXPECT_EQ(manager.FindControl(name)->GetBkColor(),
                      kPresetColours[static_cast<size_t>(i)])
                << name;
        }
    }
}

TEST_F(SkinTest, DialogLayoutsCarryTheirControls) {
    const struct {
        const char* layout;
        std::vector<Expected> controls;
    } kDialogs[] = {
        {"XML_MSG",
         {{"MessageTitle", "Label"},
          {"MessageText", "Text"},
          {"closebtn", "Button"},
          {"confirm_btn", "Button"},
          {"cancel_btn", "Button"}}},
        {"GmPalletDialog.xml",
         {{"Pallet", "ColorPalette"},
          {"color_show_btn", "Button"},
          {"okbtn", "Button"},
          {"cancelbtn", "Button"},
          {"closebtn", "Button"},
          {"Pallet_BTN_OK", "Button"},
          {"Pallet_BTN_CANCEL", "Button"}}},
        {"CopyRight.xml", {{"closebtn", "Button"}}},
        {"skin.xml",
         {{"skin_tab", "TabLayout"},
          {"skin_image_btn", "Button"},
          {"skin_color_btn", "Button"},
          {"skin_color", "Option"},
          {"skin_image", "Option"},
          {"skin_reset", "Button"},
          {"skin_Custom", "Button"}}},
    };
    for (const auto& dialog : kDialogs) {
        SCOPED_TRACE(dialog.layout);
        ui::CPaintManagerUI manager;
        ui::CDialogBuilder builder;
        CControlUI* root = builder.Create(dialog.layout, nullptr, nullptr, &manager);
        ASSERT_NE(root, nullptr) << builder.GetLastError();
        ASSERT_TRUE(manager.AttachDialog(root));
        EXPECT_TRUE(builder.GetWarnings().empty()) << builder.GetWarnings().front();
        EXPECT_GT(manager.GetInitSize().cx, 0);
        EXPECT_FALSE(manager.GetTitleTextId().empty()) << "a window title for the window system";
        ExpectControls(manager, dialog.controls);
    }

    // The palette dialog shows OK and Cancel (the two looked-up buttons stay hidden).
    ui::CPaintManagerUI pallet;
    ui::CDialogBuilder builder;
    ASSERT_TRUE(
        pallet.AttachDialog(builder.Create("GmPalletDialog.xml", nullptr, nullptr, &pallet)));
    for (const char* answer : {"okbtn", "cancelbtn"}) {
        EXPECT_TRUE(pallet.FindControl(answer)->IsVisible()) << answer;
    }

    // The skin chooser: image buttons name images of the skin, colour buttons have a colour,
    // and the reset image exists.
    ui::CPaintManagerUI chooser;
    ASSERT_TRUE(chooser.AttachDialog(builder.Create("skin.xml", nullptr, nullptr, &chooser)));
    EXPECT_EQ(static_cast<ui::CContainerUI*>(chooser.FindControl("skin_tab"))->GetCount(), 2);
    int images = 0;
    int colours = 0;
    ForEachControl(chooser.GetRoot(), [&](CControlUI* c) {
        if (c->GetName() == "skin_image_btn") {
            ++images;
            EXPECT_FALSE(
                QImage(QString::fromStdString(ui::SkinFilePath(c->GetUserData()))).isNull())
                << c->GetUserData();
        } else if (c->GetName() == "skin_color_btn") {
            ++colours;
            EXPECT_EQ(c->GetBkColor() >> 24, 0xFFu);
        }
    });
    EXPECT_GE(images, 2);
    EXPECT_GE(colours, 2);
}

TEST_F(SkinTest, MenusHoldTheCommandsTheWindowHandles) {
    class Owner : public ui::CWindowWnd {
      public:
        Owner() { Create(0, "owner", ui::WS_POPUP, ui::WS_EX_TOOLWINDOW); }

      protected:
        std::string GetWindowClassName() const override { return "SkinTestOwner"; }
    } owner;
    const struct {
        const char* file;
        std::vector<std::string> items;
    } kMenus[] = {
        {"menu.xml", {"lan_en", "lan_cn", "lan_tw", "autostart", "About_setting", "exit"}},
        // The tray menu: the window adds "Show" or "Hide" on top and "Close" last.
        {"menu1.xml", {"lan_en", "lan_cn", "lan_tw", "About_setting"}},
    };
    for (const auto& m : kMenus) {
        SCOPED_TRACE(m.file);
        ui::CMenuWnd menu;
        ASSERT_TRUE(menu.Init(owner.GetHWND(), m.file, ui::POINT{10, 10})) << menu.GetLastError();
        std::vector<std::string> names;
        for (int i = 0; i < menu.GetMenuUI()->GetCount(); ++i) {
            const ui::CMenuElementUI* item = menu.GetMenuUI()->GetItemAt(i);
            if (item->separator) {
                continue;
            }
            names.push_back(item->name);
            EXPECT_FALSE(item->text.empty()) << item->name;
            EXPECT_TRUE(item->enabled) << item->name;
        }
        EXPECT_EQ(names, m.items);
        menu.Close();
    }
}

TEST_F(SkinTest, LanguageFilesAgreeAndCoverEveryTextId) {
    // Ids of every language file, and that each file loads.
    std::vector<std::map<std::string, std::string>> languages;
    for (const std::string& file : kLanguageFiles) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(resources_->LoadLanguage(file)) << resources_->GetLastError();
        std::map<std::string, std::string> texts;
        for (const ui::XmlElement& text : Parse(file).children) {
            for (const ui::XmlAttribute& a : text.attributes) {
                if (a.name == "id") {
                    EXPECT_FALSE(text.text.empty()) << a.value;
                    EXPECT_TRUE(texts.emplace(a.value, text.text).second) << "repeated " << a.value;
                }
            }
        }
        languages.push_back(std::move(texts));
    }
    ASSERT_EQ(languages.size(), 3u);
    // The same ids in all three.
    for (size_t a = 0; a < languages.size(); ++a) {
        for (size_t b = 0; b < languages.size(); ++b) {
            for (const auto& [id, text] : languages[a]) {
                EXPECT_EQ(languages[b].count(id), 1u)
                    << kLanguageFiles[a] << " has " << id << ", " << kLanguageFiles[b] << " not";
            }
        }
    }

    // Text ids of the layouts (texts, window titles and tool tips; attribute names without
    // case), of the styles' tool tips and of the menus.
    std::set<std::string> used;
    for (const std::string& file : kLayoutFiles) {
        ForEachElement(Parse(file), [&](const ui::XmlElement& e) {
            for (const ui::XmlAttribute& a : e.attributes) {
                const std::string name = ToLowerAscii(a.name);
                if (name == "textid" || name == "titleid" || name == "tooltipid") {
                    used.insert(a.value);
                }
            }
        });
    }
    for (const auto& [style, tip] : StyleToolTips()) {
        used.insert(tip);
    }
    for (const std::string& file : kMenuFiles) {
        ForEachElement(Parse(file), [&](const ui::XmlElement& e) {
            for (const ui::XmlAttribute& a : e.attributes) {
                if (a.name == "textid") {
                    used.insert(a.value);
                }
            }
        });
    }
    // Ids the operations show or use as labels.
    for (int i = 1; i <= 20; ++i) {
        used.insert("message_text_" + std::to_string(i));
    }
    for (const char* id :
         {"menu_show", "menu_hide", "menu_close", "menu_lan_tw", "message_autostart_failed"}) {
        used.insert(id);
    }
    for (const char* id : {"macro_btn_stop_redio_text",
                           "macro_btn_star_redio_text",
                           "mouse_move_to_left_text",
                           "mouse_move_to_right_text",
                           "mouse_move_to_up_text",
                           "mouse_move_to_down_text",
                           "close_text",
                           "Key_Set",
                           "mouse_key_fire_key",
                           "mouse_key_left_Swing",
                           "mouse_key_right_Swing",
                           "mouse_key_up_Swing",
                           "mouse_key_down_Swing",
                           "GUN_1",
                           "GUN_2",
                           "GUN_3",
                           "GUN_4",
                           "Deng_FXL_text",
                           "Deng_FXR_text",
                           "Deng_FXU_text",
                           "Deng_FXD_text",
                           "Deng_FXJ_text",
                           "Deng_FXK_text",
                           "keyboard_key_LCtrl",
                           "keyboard_key_RWin",
                           "keyboard_key_xiegang",
                           "keyboard_key_<",
                           "keyboard_key_Print Scr",
                           "keyboard_key_Num Enter",
                           "keyboard_key_Decimal",
                           "keyboard_key_App",
                           "keyboard_key_Launch App2",
                           "keyboard_key_Browaer Home",
                           "keyboard_key_Media Play Pause",
                           "keyboard_key_Browser Search",
                           "keyboard_key_Launch Mail",
                           "keyboard_key_Volume Up",
                           "keyboard_key_Volume Mute",
                           "keyboard_key_Media Stop",
                           "keyboard_key_Volume Down",
                           "keyboard_key_Browser Favorites",
                           "keyboard_key_Browser ForWard",
                           "keyboard_key_Browser Back",
                           "keyboard_key_Media Prev Track",
                           "keyboard_key_Media Next Track",
                           "keyboard_key_Computer",
                           "keyboard_key_Browser Refresh",
                           "keyboard_key_Launch Media Select",
                           "keyboard_key_Power",
                           "keyboard_key_Sleep",
                           "keyboard_key_Wakeup"}) {
        used.insert(id);
    }
    for (const auto& texts : languages) {
        for (const std::string& id : used) {
            EXPECT_EQ(texts.count(id), 1u) << "missing text id " << id;
        }
        // The window's own text source answers these; a language text would hide it.
        EXPECT_EQ(texts.count("titletext"), 0u);
        EXPECT_EQ(texts.count("hometext"), 0u);
        // Templates filled in with one number.
        for (const char* id : {"message_text_16", "message_text_17"}) {
            const auto found = texts.find(id);
            if (found == texts.end()) {
                continue;  // reported above
            }
            const std::string& text = found->second;
            EXPECT_EQ(std::count(text.begin(), text.end(), '%'), 1) << text;
            EXPECT_NE(text.find("%d"), std::string::npos) << text;
        }
    }
}

TEST_F(SkinTest, EveryImageTheSkinNamesLoads) {
    std::set<std::string> images;
    const auto addImage = [&](const std::string& attribute, const std::string& value) {
        static const std::set<std::string> kImageAttributes = {
            "bkimage",       "normalimage", "hotimage",   "pushedimage", "disabledimage",
            "selectedimage", "foreimage",   "lightimage", "keysetimage"};
        if (!kImageAttributes.count(ToLowerAscii(attribute)) || value.empty()) {
            return;
        }
        ui::ImageSpec imageSpec;
        EXPECT_TRUE(ui::ParseImageString(value, imageSpec)) << value;
        images.insert(imageSpec.file);
    };
    for (const std::string& file : kLayoutFiles) {
        ForEachElement(Parse(file), [&](const ui::XmlElement& e) {
            for (const ui::XmlAttribute& a : e.attributes) {
                addImage(a.name, a.value);
            }
        });
    }
    // Styles and class defaults of res.xml.
    for (const ui::XmlElement& entry : Parse("res.xml").children) {
        for (const ui::XmlAttribute& a : entry.attributes) {
            if (a.name != "value") {
                continue;
            }
            ui::AttributeList list;
            EXPECT_TRUE(ui::ParseAttributeList(a.value, list)) << a.value;
            for (const auto& [name, value] : list) {
                addImage(name, value);
            }
        }
    }
    // Images the application sets at run time, and the tray icon.
    for (const char* part : {"left", "wheel", "right", "forward", "back", "dpi", "dpi1"}) {
        images.insert(std::string("ms/key_") + part + "_normal.png");
        images.insert(std::string("ms/key_") + part + "_down.png");
    }
    for (const char* file :
         {"common/background.png", "common/up_top_over.png", "common/unuse.png", "tray.svg"}) {
        images.insert(file);
    }
    EXPECT_GT(images.size(), 40u);
    for (const std::string& file : images) {
        const QString path = QString::fromStdString(ui::SkinFilePath(file));
        EXPECT_TRUE(QFileInfo::exists(path)) << file;
        EXPECT_FALSE(QImage(path).isNull()) << file;
    }
}

}  // namespace
}  // namespace gmd::app
