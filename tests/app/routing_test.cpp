// The main window's switchboard: notifications from the real skin's controls reach the right
// operations, and the shell's own control changes (pages, panels, edits) happen.

#include <QApplication>
#include <QLineEdit>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/main_wnd.h"
#include "mouse/preset_colours.h"
#include "tests/app/app_test_support.h"
#include "ui/controls.h"

namespace gmd::app {
namespace {

using testing::AppTest;
using testing::RecordingOperations;
using testing::SpinUntil;
using ui::CControlUI;

// Sees what reaches the base window's notification handling.
class BaseRecordingWnd : public CMainWnd {
  public:
    using CMainWnd::CMainWnd;
    std::vector<std::string> baseNotified;  // "type name"
    void Forget() { baseNotified.clear(); }
    bool Reached(const std::string& type, const std::string& name) const {
        return std::find(baseNotified.begin(), baseNotified.end(), type + " " + name) !=
               baseNotified.end();
    }

  protected:
    void BaseNotify(ui::TNotifyUI& msg) override {
        baseNotified.push_back(msg.sType + " " +
                               (msg.pSender != nullptr ? msg.pSender->GetName() : ""));
        CMainWnd::BaseNotify(msg);
    }
};

// Any window of the application other than `except` that holds a control named `name`.
CControlUI* FindInOtherWindow(const std::string& name, QWidget* except) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top == except || !top->isVisible()) {
            continue;
        }
        for (QWidget* child : top->findChildren<QWidget*>()) {
            CControlUI* control = CControlUI::FromWidget(child);
            if (control == nullptr || control->GetManager() == nullptr) {
                continue;
            }
            if (CControlUI* found = control->GetManager()->FindControl(name)) {
                return found;
            }
            break;  // one control is enough to know the window's tree
        }
    }
    return nullptr;
}

// Once a modal window with these controls is up, clicks them in order (from inside its modal
// loop); `seen` receives the text of `textControl` when given.
void ClickInModalWhenShown(QWidget* mainWidget, std::vector<std::string> buttons,
                           std::string textControl = {}, std::string* seen = nullptr) {
    auto* timer = new QTimer;
    const auto started = std::chrono::steady_clock::now();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(20)) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        if (FindInOtherWindow(buttons.back(), mainWidget) == nullptr) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (seen != nullptr && !textControl.empty()) {
            if (CControlUI* text = FindInOtherWindow(textControl, mainWidget)) {
                *seen = text->GetText();
            }
        }
        for (const std::string& name : buttons) {
            if (auto* button = dynamic_cast<ui::CButtonUI*>(FindInOtherWindow(name, mainWidget))) {
                button->Activate();
            }
        }
    });
    timer->start();
}

QPoint SliderHandleCenter(QSlider* slider) {
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = slider->orientation();
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    opt.subControls = QStyle::SC_SliderHandle;
    return slider->style()
        ->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider)
        .center();
}

class RoutingTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        auto wnd = std::make_unique<BaseRecordingWnd>(backend_);
        win_ = wnd.get();
        wnd_ = std::move(wnd);
        wnd_->SetOperations(std::make_unique<RecordingOperations>(calls_));
        ASSERT_NE(wnd_->Create(0, "Gaming Mouse Driver", ui::UI_WNDSTYLE_FRAME, 0, 0, 0, 800, 572),
                  0u);
        wnd_->CenterWindow();
        ASSERT_TRUE(SpinUntil([&] { return wnd_->KeyboardDevice().ProductId() == 0x6556; }));
        // The start-up read-outs come 500 ms after first show; let them pass first.
        ASSERT_TRUE(SpinUntil([&] {
            return calls_->Contains("KeyboardReadOut()") && calls_->Contains("MousepadReadOut()");
        }));
        SetVisible("ms_macro_tab_saveorcancel", false);
        SetVisible("kb_macro_tab_saveorcancel", false);
        calls_->Clear();
        win_->Forget();
    }

    // The control by name; a failure names the missing control.
    CControlUI* Ctl(const std::string& name) {
        CControlUI* control = Find(name);
        EXPECT_NE(control, nullptr) << "the skin has no control \"" << name << "\"";
        return control;
    }
    template <typename T>
    T* As(const std::string& name) {
        auto* control = dynamic_cast<T*>(Ctl(name));
        EXPECT_NE(control, nullptr) << "\"" << name << "\" is not of the expected class";
        return control;
    }

    void Send(const std::string& type, const std::string& name) {
        CControlUI* sender = Ctl(name);
        if (sender == nullptr) {
            return;
        }
        ui::TNotifyUI msg{type, sender, 0, 0};
        wnd_->Notify(msg);
    }

    void Select(const std::string& name, bool selected) {
        if (auto* option = As<ui::COptionUI>(name)) {
            option->Selected(selected, false);
        }
    }
    void SelectNotified(const std::string& name) {
        if (auto* option = As<ui::COptionUI>(name)) {
            option->Selected(true, true);
        }
    }
    void SetVisible(const std::string& name, bool visible) {
        if (CControlUI* control = Ctl(name)) {
            control->SetVisible(visible);
        }
    }
    void SetEnabled(const std::string& name, bool enabled) {
        if (CControlUI* control = Ctl(name)) {
            control->SetEnabled(enabled);
        }
    }
    bool Visible(const std::string& name) {
        CControlUI* control = Ctl(name);
        return control != nullptr && control->IsOwnVisible();
    }
    bool Enabled(const std::string& name) {
        CControlUI* control = Ctl(name);
        return control != nullptr && control->IsEnabled();
    }
    bool Selected(const std::string& name) {
        auto* option = As<ui::COptionUI>(name);
        return option != nullptr && option->IsSelected();
    }
    int Page(const std::string& tab) {
        auto* layout = As<ui::CTabLayoutUI>(tab);
        return layout != nullptr ? layout->GetCurSel() : -1;
    }
    // Chooses a row of a combo box or list silently, adding rows when it has too few.
    void Choose(const std::string& name, int item) {
        CControlUI* control = Ctl(name);
        auto* owner = dynamic_cast<ui::IListOwnerUI*>(control);
        ASSERT_NE(owner, nullptr) << name << " is no list";
        ui::CContainerUI* rows = control->AsContainer();
        while (rows->GetCount() <= item) {
            auto* row = new ui::CListLabelElementUI;
            row->SetText("row " + std::to_string(rows->GetCount()));
            rows->Add(row);
        }
        owner->SelectItem(item, false, false);
    }
    void SetSlider(const std::string& name, int value) {
        if (auto* slider = As<ui::CSliderUI>(name)) {
            slider->SetValue(value);
        }
    }
    void SetText(const std::string& name, const std::string& text) {
        if (CControlUI* control = Ctl(name)) {
            control->SetText(text);
        }
    }
    std::string Text(const std::string& name) {
        CControlUI* control = Ctl(name);
        return control != nullptr ? control->GetText() : std::string();
    }
    // The mouse page's sub-page `option` on screen in a visible main window.
    void ShowPage(const std::string& device, const std::string& option) {
        SetVisible(device, true);
        SelectNotified(device);
        if (!option.empty()) {
            SelectNotified(option);
        }
        wnd_->ShowWindow(true);
        wnd_->Restore();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd_->GetWidget()));
        calls_->Clear();
        win_->Forget();
    }
    // Brings a control on screen: every tab layout above it shows the page that holds it.
    void Reveal(const std::string& name) {
        CControlUI* control = Ctl(name);
        ASSERT_NE(control, nullptr);
        for (CControlUI* child = control; child->GetParent() != nullptr;
             child = child->GetParent()) {
            if (auto* tab = dynamic_cast<ui::CTabLayoutUI*>(child->GetParent())) {
                tab->SelectItem(tab->GetItemIndex(child));
            }
        }
        wnd_->ShowWindow(true);
        wnd_->Restore();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd_->GetWidget()));
        calls_->Clear();
        win_->Forget();
    }
    void ClickByMouse(const std::string& name) {
        CControlUI* control = Ctl(name);
        ASSERT_NE(control, nullptr);
        QWidget* widget = control->GetWidget();
        ASSERT_TRUE(widget->isVisible()) << name << " is not on screen";
        QWidget* window = widget->window();
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                          widget->mapTo(window, widget->rect().center()));
    }

    // The recorded calls whose text starts with one of `prefixes`, in order (timers and window
    // activation add their own calls while events are processed).
    std::vector<std::string> CallsOf(std::initializer_list<const char*> prefixes) {
        std::vector<std::string> out;
        for (const std::string& call : calls_->All()) {
            for (const char* prefix : prefixes) {
                if (call.rfind(prefix, 0) == 0) {
                    out.push_back(call);
                    break;
                }
            }
        }
        return out;
    }

    BaseRecordingWnd* win_ = nullptr;
};

std::vector<std::string> Cat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
// What every option change that reaches the page switching does first.
const std::vector<std::string> kStopRecording = {"RemoveInputHooks()", "StopMacroRecording()"};

class RoutingTableTest;
struct Case {
    const char* type;
    const char* sender;
    std::function<void(RoutingTableTest&)> setup;
    std::vector<std::string> calls;
    std::function<void(RoutingTableTest&)> check;
};

// The fixture with its helpers open to the lambdas of the case tables.
class RoutingTableTest : public RoutingTest {
  public:
    using RoutingTest::Choose;
    using RoutingTest::Enabled;
    using RoutingTest::Page;
    using RoutingTest::Select;
    using RoutingTest::Selected;
    using RoutingTest::SetEnabled;
    using RoutingTest::SetSlider;
    using RoutingTest::SetText;
    using RoutingTest::SetVisible;
    using RoutingTest::Text;
    using RoutingTest::Visible;
    using RoutingTest::wnd_;
    CControlUI* Control(const std::string& name) { return Ctl(name); }
    // The control, or a stand-in of that name in the layout's root for one that our layouts
    // leave out (routed names a layout lacks simply never arrive).
    template <typename T = ui::CButtonUI>
    CControlUI* Ensure(const std::string& name) {
        if (CControlUI* control = Find(name)) {
            return control;
        }
        auto* control = new T;
        wnd_->GetPaintManager().GetRoot()->AsContainer()->Add(control);
        control->SetName(name);
        return control;
    }
    // A setup step that only makes sure the sender exists.
    template <typename T = ui::CButtonUI>
    static std::function<void(RoutingTableTest&)> Present(const char* name) {
        return [name](RoutingTableTest& t) { t.Ensure<T>(name); };
    }

    void Run(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.type) + " " + c.sender);
            if (c.setup) {
                c.setup(*this);
            }
            calls_->Clear();
            win_->Forget();
            Send(c.type, c.sender);
            EXPECT_EQ(calls_->All(), c.calls);
            EXPECT_TRUE(win_->Reached(c.type, c.sender)) << "the base notify was skipped";
            if (c.check) {
                c.check(*this);
            }
        }
    }
};

TEST_F(RoutingTableTest, ClicksReachTheirOperations) {
    uint32_t preset29 = 0;
    ASSERT_TRUE(PresetColour(29, preset29));
    EXPECT_EQ(preset29, 0xFF4776A4u);
    auto rename = [](const char* from, const char* to) {
        return [from, to](RoutingTableTest& t) {
            if (CControlUI* c = t.Control(from)) {
                c->SetName(to);
            }
        };
    };
    const std::vector<Case> cases = {
        // Indexed names: the prefix keeps its underscore, the tail is the index.
        {"click",
         "ms_Deng_color_btn_29",
         rename("ms_Deng_color_btn_1", "ms_Deng_color_btn_29"),
         {"SetLightColourPreset(Mouse,29)"},
         {}},
        {"click", "mp_Deng_color_btn_5", {}, {"SetLightColourPreset(Mousepad,5)"}, {}},
        {"click", "kb_Deng_color_btn_1", {}, {"SetLightColourPreset(Keyboard,1)"}, {}},
        {"click",
         "ms_Deng_color_btn_x",
         rename("ms_Deng_color_btn_3", "ms_Deng_color_btn_x"),
         {"SetLightColourPreset(Mouse,0)"},
         {}},
        {"click",
         "MS_DENG_COLOR_BTN_7",
         rename("ms_Deng_color_btn_7", "MS_DENG_COLOR_BTN_7"),
         {"SetLightColourPreset(Mouse,7)"},
         {}},
        {"click",
         "ms_Deng_color_btn_30",
         rename("ms_Deng_color_btn_4", "ms_Deng_color_btn_30"),
         {},
         {}},  // beyond the preset table: nothing
        {"click", "ms_profile_3", {}, {"SwitchMouseOnboardProfile(3)"}, {}},
        {"click",
         "kb_key_12",
         [](RoutingTableTest& t) {
             t.Select("kb_key_Op_tab", true);
             t.Select("kb_deng_Op_tab", false);
             t.SetVisible("kb_tab_function", false);
             t.SetEnabled("kb_tab_function", false);
         },
         {"SelectKey(Keyboard,12)"},
         [](RoutingTableTest& t) {
             EXPECT_TRUE(t.Visible("kb_tab_function"));
             EXPECT_TRUE(t.Enabled("kb_tab_function"));
         }},
        {"click",
         "kb_key_12",
         [](RoutingTableTest& t) {
             t.Select("kb_key_Op_tab", false);
             t.Select("kb_deng_Op_tab", true);
         },
         {"SelectKeyboardKeyForColour(12)"},
         {}},
        {"click",
         "kb_dkey_7",
         rename("kb_key_7", "kb_dkey_7"),
         {"SelectKeyboardKeyForColour(7)"},
         {}},
        {"click", "ms_bullet_op_2",
         [](RoutingTableTest& t) {
             t.Select("ms_bullet_op_2", true);
             t.SetEnabled("cursor_edit_layout", true);
         },
         // Dropping the selection raises its own change, which the option routing sees.
         Cat({"SelectCursorStep(2)"}, kStopRecording),
         [](RoutingTableTest& t) {
             EXPECT_FALSE(t.Selected("ms_bullet_op_2"));
             EXPECT_FALSE(t.Enabled("cursor_edit_layout"));
         }},
        // Names, one or more of every family.
        {"click", "ms_bulletdate_save_btn", {}, {"SendCursorSequences()"}, {}},
        {"click", "ms_bulletdate_reset_btn", {}, {"ResetCursorSequence()"}, {}},
        {"click", "bullet_selected_prev", {}, {"SelectCursorStepRelative(-1)"}, {}},
        {"click", "bullet_selected_next", {}, {"SelectCursorStepRelative(1)"}, {}},
        {"click",
         "dpi_btn",
         [](RoutingTableTest& t) {
             // Not every layout has one; a stand-in shows the routing.
             t.Ensure("dpi_btn")->SetUserData("144");
         },
         {},
         [](RoutingTableTest& t) {
             EXPECT_EQ(t.wnd_->GetPaintManager().GetDPIObj()->GetDPI(), 144);
         }},
        {"click", "ms_key_butt_keysave", {}, {"SaveMouseKeyAssignment()"}, {}},
        {"click",
         "heightMiddle",
         [](RoutingTableTest& t) {
             t.Select("heightHigh", true);
             t.Select("heightLow", true);
             t.Select("heightMiddle", true);
         },
         {"SetLiftHeight(1)"},
         [](RoutingTableTest& t) {
             EXPECT_FALSE(t.Selected("heightHigh"));
             EXPECT_FALSE(t.Selected("heightLow"));
         }},
        {"click", "heightHigh", {}, {"SetLiftHeight(2)"}, {}},
        {"click", "heightLow", {}, {"SetLiftHeight(0)"}, {}},
        {"click", "ms_device_cancle_link_btn", {}, {"RemoveProfileLink(MouseDevice)"}, {}},
        {"click", "kb_deng_cancle_link_btn", {}, {"RemoveProfileLink(KeyboardLight)"}, {}},
        {"click", "ms_macro_btn_redio", {}, {"ToggleMacroRecording(Mouse)"}, {}},
        {"click", "kb_macro_btn_redio", {}, {"ToggleMacroRecording(Keyboard)"}, {}},
        {"click", "ms_macro_btn_name_add", {}, {"AddMacro(Mouse)"}, {}},
        {"click", "kb_macro_btn_name_sub", {}, {"DeleteMacro(Keyboard)"}, {}},
        {"click", "ms_key_butt_prosave", {}, {"UploadKeysAndMacros(Mouse)"}, {}},
        {"click", "kb_key_butt_prosave", {}, {"UploadKeysAndMacros(Keyboard)"}, {}},
        {"click", "ms_macro_btn_uptop", {}, {"MoveMacroStep(Mouse,ToTop)"}, {}},
        {"click", "ms_macro_btn_downbottom", {}, {"MoveMacroStep(Mouse,ToBottom)"}, {}},
        {"click", "kb_macro_btn_delete", {}, {"MoveMacroStep(Keyboard,Delete)"}, {}},
        {"click", "kb_macro_btn_deleteall", {}, {"MoveMacroStep(Keyboard,DeleteAll)"}, {}},
        {"click", "ms_macro_btn_cancel", {}, {"CancelMacroEdit(Mouse)"}, {}},
        {"click", "kb_macro_btn_save", {}, {"SaveMacroEdit(Keyboard)"}, {}},
        {"click", "ms_macro_btn_export", {}, {"ExportMacro(Mouse)"}, {}},
        {"click", "kb_macro_btn_import", {}, {"ImportMacro(Keyboard)"}, {}},
        {"click", "kb_key_butt_keydefalut", {}, {"RestoreDefaultKeys(Keyboard)"}, {}},
        {"click", "ms_gunlun_speed_up_btn", {}, {"ChangeWheelLines(1)"}, {}},
        {"click", "ms_gunlun_speed_down_btn", {}, {"ChangeWheelLines(-1)"}, {}},
        {"click", "ms_one_profile_default", {}, {"RestoreMouseDefaults()"}, {}},
        {"click",
         "ms_Deng_FXL_btn",
         Present("ms_Deng_FXL_btn"),
         {"MouseDirectionButton(true)"},
         {}},
        {"click",
         "ms_Deng_FXR_btn",
         Present("ms_Deng_FXR_btn"),
         {"MouseDirectionButton(false)"},
         {}},
        {"click", "ms_macro_btn_savemacroname", {}, {"SaveMacroName(Mouse)"}, {}},
        {"click", "kb_macro_btn_savemacroname", {}, {"SaveMacroName(Keyboard)"}, {}},
        {"click", "kb_deng_same_mode", {}, {"SyncLighting(Keyboard)"}, {}},
        {"click", "mp_deng_same_mode", {}, {"SyncLighting(Mousepad)"}, {}},
        {"click",
         "ms_profile_fun_spread_btn",
         [](RoutingTableTest& t) { t.SetVisible("ms_profile_fun_spead_tab", false); },
         {},
         [](RoutingTableTest& t) { EXPECT_TRUE(t.Visible("ms_profile_fun_spead_tab")); }},
        {"click",
         "ms_profile_fun_spread_btn",
         {},
         {},
         [](RoutingTableTest& t) { EXPECT_FALSE(t.Visible("ms_profile_fun_spead_tab")); }},
        {"click",
         "kb_pro_key_edit_btn",
         [](RoutingTableTest& t) { t.SetVisible("kb_key_profile_edit", true); },
         {},
         [](RoutingTableTest& t) { EXPECT_FALSE(t.Visible("kb_key_profile_edit")); }},
        {"click",
         "ms_pro_deng_edit_btn",
         [](RoutingTableTest& t) { t.SetVisible("ms_deng_profile_edit", false); },
         {},
         [](RoutingTableTest& t) { EXPECT_TRUE(t.Visible("ms_deng_profile_edit")); }},
        {"click", "kb_pro_deng_add_btn", {}, {"RunProfileOp(KeyboardLight,Add)"}, {}},
        {"click", "mp_pro_deng_sub_btn", {}, {"RunProfileOp(MousepadLight,Delete)"}, {}},
        {"click", "ms_pro_device_copy_btn", {}, {"RunProfileOp(MouseDevice,Copy)"}, {}},
        {"click", "ms_pro_key_reset_btn", {}, {"RunProfileOp(MouseKey,Reset)"}, {}},
        {"click", "kb_pro_device_import_btn", {}, {"RunProfileOp(KeyboardDevice,Import)"}, {}},
        {"click", "ms_pro_deng_export_btn", {}, {"RunProfileOp(MouseLight,Export)"}, {}},
        {"click", "ms_bulletdate_import_btn", {}, {"ImportCursorFile()"}, {}},
        {"click", "ms_bulletdate_export_btn", {}, {"ExportCursorFile()"}, {}},
        {"click", "kb_key_profile_link_btn", {}, {"LinkProfileToExecutable(KeyboardKey)"}, {}},
        {"click", "mp_deng_profile_link_btn", {}, {"LinkProfileToExecutable(MousepadLight)"}, {}},
        {"click", "ms_device_profile_edit_save_btn", {}, {"RenameProfile(MouseDevice)"}, {}},
        {"click", "kb_deng_profile_edit_save_btn", {}, {"RenameProfile(KeyboardLight)"}, {}},
        {"click", "ms_macro_inset_leftkey_btn", {}, {"InsertMacroMouseAction(Mouse,LeftKey)"}, {}},
        {"click",
         "kb_macro_inset_moudlekeyup_btn",
         {},
         {"InsertMacroMouseAction(Keyboard,MiddleKeyUp)"},
         {}},
        {"click",
         "ms_macro_inset_movedownkey_btn",
         {},
         {"InsertMacroMouseAction(Mouse,MoveDown)"},
         {}},
        // No operation of its own, but the base window still hears of it.
        {"click", "str_test", {}, {}, {}},
        // Hover.
        {"msenter", "ms_key_3", {}, {"MouseKeyHover(3,true)"}, {}},
        {"msleave", "ms_key_0", {}, {"MouseKeyHover(0,false)"}, {}},
        {"msenter", "ms_DPIcolor_btn_6", {}, {"DpiColourButtonHover(6,true)"}, {}},
        {"msleave", "ms_DPIcolor_btn_1", {}, {"DpiColourButtonHover(1,false)"}, {}},
    };
    Run(cases);
}

TEST_F(RoutingTableTest, OptionsListsSlidersColoursAndFocus) {
    const std::vector<Case> cases = {
        // Cursor sequences: the sequence brings its first step with it.
        {"selectchanged", "ms_gun_op_2",
         [](RoutingTableTest& t) {
             t.Select("ms_bullet_op_0", false);
             t.Select("ms_bullet_op_3", true);
         },
         Cat(Cat({"SelectCursorSequence(2)", "SelectCursorStep(0)"}, kStopRecording),
             kStopRecording),
         [](RoutingTableTest& t) {
             EXPECT_TRUE(t.Selected("ms_bullet_op_0"));
             EXPECT_EQ(t.Text("bullet_select_index"), "1");
         }},
        {"selectchanged", "ms_bullet_op_4",
         [](RoutingTableTest& t) {
             t.Select("ms_bullet_op_4", true);
             t.SetEnabled("cursor_edit_layout", false);
         },
         Cat({"SelectCursorStep(4)"}, kStopRecording),
         [](RoutingTableTest& t) {
             EXPECT_EQ(t.Text("bullet_select_index"), "5");
             EXPECT_TRUE(t.Enabled("cursor_edit_layout"));
         }},
        {"selectchanged", "ms_macro_check_time", {}, {}, {}},
        {"selectchanged", "ms_macro_mouse_move", {}, {}, {}},
        {"selectchanged",
         "ms_cursor_x_check",
         [](RoutingTableTest& t) { t.Select("ms_cursor_x_check", true); },
         {"SetCursorDirection(X,true)"},
         [](RoutingTableTest& t) {
             EXPECT_EQ(t.Text("ms_cursor_x_check"), "mouse_move_to_left_text");
             EXPECT_TRUE(t.Control("ms_cursor_x_check")->IsResourceText());
         }},
        {"selectchanged",
         "ms_cursor_y_check",
         [](RoutingTableTest& t) { t.Select("ms_cursor_y_check", false); },
         {"SetCursorDirection(Y,false)"},
         [](RoutingTableTest& t) {
             EXPECT_EQ(t.Text("ms_cursor_y_check"), "mouse_move_to_down_text");
         }},
        {"selectchanged", "ms_key_4", {}, {"SelectKey(Mouse,4)"}, {}},
        {"selectchanged",
         "kb_macro_btn_shubiao",
         [](RoutingTableTest& t) { t.Select("kb_macro_btn_shubiao", true); },
         {},
         [](RoutingTableTest& t) {
             EXPECT_TRUE(t.Visible("kb_MacroMouseEvent"));
             EXPECT_FALSE(t.Visible("kb_MacroName"));
         }},
        {"selectchanged",
         "ms_macro_btn_shubiao",
         [](RoutingTableTest& t) { t.Select("ms_macro_btn_shubiao", false); },
         {},
         [](RoutingTableTest& t) {
             EXPECT_FALSE(t.Visible("ms_MacroMouseEvent"));
             EXPECT_TRUE(t.Visible("ms_MacroName"));
         }},
        {"selectchanged",
         "mp_Deng_7color_check",
         [](RoutingTableTest& t) { t.Select("mp_Deng_7color_check", true); },
         {"SetSevenColourCycle(Mousepad,true)"},
         {}},
        {"selectchanged",
         "ms_Deng_7color_check",
         [](RoutingTableTest& t) { t.Select("ms_Deng_7color_check", false); },
         {"SetSevenColourCycle(Mouse,false)"},
         {}},
        {"selectchanged",
         "kb_Deng_FXR_check",
         [](RoutingTableTest& t) {
             t.Select("kb_Deng_FXL_check", true);
             t.Select("kb_Deng_FXR_check", true);
         },
         {"SetLightDirection(Keyboard,false)"},
         [](RoutingTableTest& t) { EXPECT_FALSE(t.Selected("kb_Deng_FXL_check")); }},
        {"selectchanged",
         "ms_Deng_FXL_check",
         [](RoutingTableTest& t) { t.Select("ms_Deng_FXL_check", true); },
         {"SetLightDirection(Mouse,true)"},
         {}},
        // Page switching.
        {"selectchanged",
         "mp_tab",
         {},
         kStopRecording,
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("tab_switch"), 2); }},
        {"selectchanged",
         "split_tab",
         {},
         kStopRecording,
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("tab_switch"), 4); }},
        {"selectchanged",
         "kb_tab",
         {},
         kStopRecording,
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("tab_switch"), 0); }},
        {"selectchanged",
         "kb_macro_Op_tab",
         {},
         kStopRecording,
         [](RoutingTableTest& t) {
             EXPECT_EQ(t.Page("kb_tab_switch"), 1);
             for (const char* name :
                  {"kb_profile_fun_spread_btn", "kb_profile_select_tab", "kb_profile_fun_spead_tab",
                   "kb_key_profile_edit", "kb_deng_profile_edit", "kb_device_profile_edit"}) {
                 EXPECT_FALSE(t.Enabled(name)) << name;
             }
         }},
        {"selectchanged",
         "kb_deng_Op_tab",
         {},
         kStopRecording,
         [](RoutingTableTest& t) {
             EXPECT_EQ(t.Page("kb_tab_switch"), 2);
             EXPECT_TRUE(t.Visible("kb_deng_layout"));
             EXPECT_FALSE(t.Visible("kb_tab_key_seting"));
             for (const char* name : {"kb_profile_fun_spread_btn", "kb_profile_select_tab",
                                      "kb_profile_fun_spead_tab", "kb_device_profile_edit"}) {
                 EXPECT_TRUE(t.Enabled(name)) << name;
             }
         }},
        {"selectchanged",
         "kb_cursor_Op_tab",
         {},
         kStopRecording,
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("kb_tab_switch"), 3); }},
        {"selectchanged",
         "ms_cursor_Op_tab",
         {},
         kStopRecording,
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("ms_tab_switch"), 4); }},
        {"selectchanged", "ms_key_Op_tab",
         [](RoutingTableTest& t) { t.SetVisible("ms_tab_function", false); }, kStopRecording,
         [](RoutingTableTest& t) {
             EXPECT_EQ(t.Page("ms_tab_switch"), 2);
             EXPECT_TRUE(t.Visible("ms_tab_function"));
         }},
        {"selectchanged",
         "ms_rich_Op_tab",
         {},
         kStopRecording,
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("ms_tab_switch"), 3); }},
        {"selectchanged",
         "ms_deng_Op_tab",
         {},
         kStopRecording,
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("ms_tab_switch"), 0); }},
        // After the page switching.
        {"selectchanged",
         "ms_key_profile_link_check",
         [](RoutingTableTest& t) { t.Select("ms_key_profile_link_check", true); },
         Cat(kStopRecording, {"SetProfileLinkEnabled(MouseKey,true)"}),
         {}},
        {"selectchanged",
         "kb_device_profile_link_check",
         [](RoutingTableTest& t) { t.Select("kb_device_profile_link_check", false); },
         Cat(kStopRecording, {"SetProfileLinkEnabled(KeyboardDevice,false)"}),
         {}},
        {"selectchanged",
         "ms_line_adjust",
         [](RoutingTableTest& t) { t.Select("ms_line_adjust", true); },
         Cat(kStopRecording, {"SetLineAdjust(true)"}),
         {}},
        {"selectchanged", "kb_Deng_all_bright_check",
         [](RoutingTableTest& t) {
             t.Select("kb_Deng_all_kill_check", true);
             t.Select("kb_Deng_all_bright_check", true);
         },
         Cat(kStopRecording, {"SetKeyboardAllKeysLight(true)"}),
         [](RoutingTableTest& t) { EXPECT_FALSE(t.Selected("kb_Deng_all_kill_check")); }},
        {"selectchanged", "kb_Deng_all_kill_check",
         [](RoutingTableTest& t) { t.Select("kb_Deng_all_kill_check", true); },
         Cat(kStopRecording, {"SetKeyboardAllKeysLight(false)"}),
         [](RoutingTableTest& t) { EXPECT_FALSE(t.Selected("kb_Deng_all_bright_check")); }},

        // Lists and combo boxes.
        {"itemselect",
         "ms_deng_combo_modeSelect2",
         [](RoutingTableTest& t) {
             t.Ensure<ui::CComboUI>("ms_deng_combo_modeSelect2");
             t.Choose("ms_deng_combo_modeSelect2", 1);
         },
         {"ChooseLightMode(Mouse,2,1)"},
         {}},
        {"itemselect",
         "kb_deng_combo_modeSelect",
         [](RoutingTableTest& t) { t.Choose("kb_deng_combo_modeSelect", 3); },
         {"ChooseLightMode(Keyboard,0,3)"},
         {}},
        {"itemselect",
         "kb_deng_combo_curtom_count",
         [](RoutingTableTest& t) { t.Choose("kb_deng_combo_curtom_count", 2); },
         {"ChooseKeyboardCustomSlotCount(2)"},
         {}},
        {"itemselect",
         "ms_report_fct_combo",
         [](RoutingTableTest& t) { t.Choose("ms_report_fct_combo", 3); },
         {"SetReportRate(3)"},
         {}},
        {"itemselect",
         "kb_MacroName_list",
         [](RoutingTableTest& t) { t.Choose("kb_MacroName_list", 1); },
         {"OpenMacro(Keyboard,1)"},
         {}},
        {"itemselect",
         "ms_macro_combo_upordown",
         [](RoutingTableTest& t) { t.Choose("ms_macro_combo_upordown", 1); },
         {"ChangeMacroStep(Mouse,Direction,1)"},
         {}},
        {"itemselect",
         "kb_macro_combo_keyselect",
         [](RoutingTableTest& t) { t.Choose("kb_macro_combo_keyselect", 4); },
         {"ChangeMacroStep(Keyboard,Key,4)"},
         {}},
        {"itemselect",
         "ms_key_fct_combo",
         [](RoutingTableTest& t) { t.Choose("ms_key_fct_combo", 2); },
         {"ChooseKeyFunctionClass(Mouse,2)"},
         {}},
        {"itemselect",
         "ms_key_fct_combo_24",
         [](RoutingTableTest& t) {
             t.Choose("ms_key_fct_combo_24", 1);
             t.SetVisible("ms_tab_function_26", false);
         },
         {"ApplyKeyFunction(Mouse,24,1)"},
         [](RoutingTableTest& t) { EXPECT_TRUE(t.Visible("ms_tab_function_26")); }},
        {"itemselect",
         "kb_key_fct_combo_13",
         [](RoutingTableTest& t) { t.Choose("kb_key_fct_combo_13", 1); },
         {"ApplyKeyFunction(Keyboard,13,1)"},
         {}},
        {"itemselect",
         "mp_deng_combo_profile",
         [](RoutingTableTest& t) { t.Choose("mp_deng_combo_profile", 5); },
         {"SwitchMousepadOnboardProfile(5)"},
         {}},
        {"itemselect",
         "ms_deng_profile_combo",
         [](RoutingTableTest& t) { t.Choose("ms_deng_profile_combo", 1); },
         {"LoadProfile(MouseLight,1)"},
         {}},

        // Sliders: only the DPI labels follow a drag.
        {"movevaluechanged",
         "ms_DPI3_slider",
         [](RoutingTableTest& t) { t.SetSlider("ms_DPI3_slider", 2); },
         {"ShowDpiStageValue(3,2)"},
         {}},
        {"valuechanged", "ms_DPI3_slider", {}, {"SetDpiStage(3,2)"}, {}},
        {"movevaluechanged",
         "ms_DPI6_slider",
         [](RoutingTableTest& t) { t.SetSlider("ms_DPI6_slider", 1); },
         {"ShowDpiStageValue(6,1)"},
         {}},
        {"valuechanged", "ms_DPI6_slider", {}, {}, {}},
        {"movevaluechanged",
         "ms_deng_light_slider",
         [](RoutingTableTest& t) { t.SetSlider("ms_deng_light_slider", 2); },
         {},
         {}},
        {"valuechanged", "ms_deng_light_slider", {}, {"SetLightBrightness(Mouse,2)"}, {}},
        {"valuechanged",
         "kb_deng_speed_slider",
         [](RoutingTableTest& t) { t.SetSlider("kb_deng_speed_slider", 2); },
         {"SetLightSpeed(Keyboard,2)"},
         {}},
        {"valuechanged",
         "mp_deng_light_slider",
         [](RoutingTableTest& t) { t.SetSlider("mp_deng_light_slider", 1); },
         {"SetLightBrightness(Mousepad,1)"},
         {}},
        {"valuechanged",
         "ms_point_speed_slider",
         [](RoutingTableTest& t) { t.SetSlider("ms_point_speed_slider", 2); },
         {"SetPointerSpeed(2)"},
         {}},
        {"valuechanged",
         "ms_sensor_height_slider",
         Present<ui::CSliderUI>("ms_sensor_height_slider"),
         {},
         {}},

        // Colour palettes.
        {"colorchanged",
         "kb_deng_Color_Pallet",
         [](RoutingTableTest& t) {
             dynamic_cast<ui::CColorPaletteUI*>(t.Control("kb_deng_Color_Pallet"))
                 ->SetSelectColor(0xFF102030);
         },
         {"SetLightColour(Keyboard,0xFF102030)"},
         {}},

        // Focus.
        {"killfocus",
         "ms_gunlun_speed_edit",
         [](RoutingTableTest& t) { t.SetText("ms_gunlun_speed_edit", "7"); },
         {"ApplyWheelLines(7)"},
         {}},
        {"killfocus", "kb_macro_edit_macroname", {}, {"SaveMacroName(Keyboard)"}, {}},
        {"setfocus",
         "ms_rich_Op_tab",
         [](RoutingTableTest& t) { t.SetVisible("ms_profile_fun_spead_tab", true); },
         {},
         [](RoutingTableTest& t) { EXPECT_FALSE(t.Visible("ms_profile_fun_spead_tab")); }},
    };
    Run(cases);
}

// Every routed edit keeps its number within limits and shows the corrected number.
TEST_F(RoutingTableTest, EditLimitsWriteTheCorrectedNumberBack) {
    struct EditCase {
        const char* name;
        const char* typed;
        const char* shown;
        std::vector<std::string> calls;
    };
    const std::vector<EditCase> cases = {
        {"ms_Deng_edit_R", "300", "255", {"SetLightColourComponent(Mouse,0,255)"}},
        {"kb_Deng_edit_B", "12", "12", {"SetLightColourComponent(Keyboard,2,12)"}},
        {"mp_Deng_edit_G", "256", "255", {"SetLightColourComponent(Mousepad,1,255)"}},
        {"ms_gunlun_speed_edit", "0", "1", {}},  // takes effect on focus loss
        {"ms_gunlun_speed_edit", "250", "100", {}},
        {"ms_gunlun_speed_edit", "42", "42", {}},
        {"ms_key_fct_edit_11", "", "", {"ApplyKeyFunctionParameter(Mouse,11,1)"}},
        {"kb_key_fct_edit_11", "", "", {"ApplyKeyFunctionParameter(Keyboard,11,0)"}},
        {"ms_key_fct_edit_12", "999", "255", {"ApplyKeyFunctionParameter(Mouse,12,255)"}},
        {"ms_key_fct_edit_25", "0", "1", {"ApplyKeyFunctionParameter(Mouse,25,1)"}},
        {"kb_key_fct_edit_16", "128", "127", {"ApplyKeyFunctionParameter(Keyboard,16,127)"}},
        {"ms_key_fct_edit_15", "127", "127", {"ApplyKeyFunctionParameter(Mouse,15,127)"}},
        {"ms_key_fct_edit_18", "16", "15", {"ApplyKeyFunctionParameter(Mouse,18,15)"}},
        {"kb_key_fct_edit_20", "3", "3", {"ApplyKeyFunctionParameter(Keyboard,20,3)"}},
        {"ms__macro_edit_ActionDelay",
         "65536",
         "65535",
         {"ChangeMacroStepValue(Mouse,ActionDelay,65535)"}},
        {"kb__macro_edit_mou_action_delay",
         "70000",
         "65535",
         {"ChangeMacroStepValue(Keyboard,MouseActionDelay,65535)"}},
        {"ms_macro_edit_mou_pointer_skewing",
         "256",
         "255",
         {"ChangeMacroStepValue(Mouse,PointerSkewing,255)"}},
        {"kb_mouse_y_down_edit", "9", "9", {"TakeMacroPointerMove(Keyboard,Down,9)"}},
        {"ms_mouse_x_left_edit", "300", "255", {"TakeMacroPointerMove(Mouse,Left,255)"}},
        {"ms_cursor_x_eidt", "260", "255", {"ChangeCursorStepOffset(X,255)"}},
        {"ms_cursor_delay_eidt", "99999999999", "65535", {"ChangeCursorStepDelay(65535)"}},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " \"" + c.typed + "\"");
        SetText(c.name, c.typed);
        calls_->Clear();
        Send("textchanged", c.name);
        EXPECT_EQ(Text(c.name), c.shown);
        EXPECT_EQ(calls_->All(), c.calls);
        EXPECT_TRUE(win_->Reached("textchanged", c.name));
    }
}

TEST_F(RoutingTest, TitleBarButtonsNeverReachTheBaseNotify) {
    const ui::HWND hwnd = wnd_->GetHWND();
    ShowPage("ms_tab", "");
    // A real click on the close button: minimised, still there, the base never told.
    ClickByMouse("closebtn");
    ASSERT_TRUE(SpinUntil([&] { return wnd_->IsMinimized(); }));
    QTest::qWait(50);
    EXPECT_TRUE(ui::IsWindow(hwnd));
    EXPECT_FALSE(win_->Reached("click", "closebtn"));

    Send("click", "restorebtn");
    ASSERT_TRUE(SpinUntil([&] { return !wnd_->IsMinimized(); }));
    Send("click", "minbtn");
    ASSERT_TRUE(SpinUntil([&] { return wnd_->IsMinimized(); }));
    Send("click", "maxbtn");
    EXPECT_TRUE(SpinUntil([&] { return wnd_->GetWidget()->isMaximized(); }));
    Send("click", "closebtn");
    EXPECT_TRUE(SpinUntil([&] { return wnd_->IsMinimized(); }));
    EXPECT_TRUE(ui::IsWindow(hwnd));
    for (const char* name : {"closebtn", "minbtn", "maxbtn", "restorebtn"}) {
        EXPECT_FALSE(win_->Reached("click", name)) << name;
    }
}

TEST_F(RoutingTest, RealInputReachesTheOperations) {
    SetVisible("ms_tab", true);
    Ctl("ms_Deng_color_btn_18")->SetName("ms_Deng_color_btn_29");
    Reveal("ms_Deng_color_btn_29");
    ClickByMouse("ms_Deng_color_btn_29");
    EXPECT_TRUE(SpinUntil([&] { return calls_->Contains("SetLightColourPreset(Mouse,29)"); }));

    // Typing into a colour edit: every keystroke applies, the last one is cut to 255.
    calls_->Clear();
    SetText("ms_Deng_edit_G", "");
    auto* edit = qobject_cast<QLineEdit*>(Ctl("ms_Deng_edit_G")->GetWidget());
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClicks(edit, "300");
    EXPECT_EQ(Text("ms_Deng_edit_G"), "255");
    EXPECT_EQ(CallsOf({"SetLightColourComponent"}),
              (std::vector<std::string>{"SetLightColourComponent(Mouse,1,3)",
                                        "SetLightColourComponent(Mouse,1,30)",
                                        "SetLightColourComponent(Mouse,1,255)"}));

    // Dragging a DPI slider only shows values; the release sets the stage.
    Reveal("ms_DPI3_slider");
    auto* slider = qobject_cast<QSlider*>(Ctl("ms_DPI3_slider")->GetWidget());
    ASSERT_NE(slider, nullptr);
    ASSERT_TRUE(slider->isVisible());
    slider->setValue(slider->minimum());
    calls_->Clear();
    const QPoint start = SliderHandleCenter(slider);
    const QPoint step = slider->orientation() == Qt::Horizontal ? QPoint(slider->width() / 4, 0)
                                                                : QPoint(0, -slider->height() / 4);
    QTest::mousePress(slider, Qt::LeftButton, {}, start);
    QTest::mouseMove(slider, start + step);
    QTest::mouseMove(slider, start + step * 2);
    const std::vector<std::string> whileDragging = CallsOf({"ShowDpiStageValue", "SetDpiStage"});
    ASSERT_FALSE(whileDragging.empty());
    for (const std::string& call : whileDragging) {
        EXPECT_EQ(call.rfind("ShowDpiStageValue(3,", 0), 0u) << call;
    }
    QTest::mouseRelease(slider, Qt::LeftButton, {}, start + step * 2);
    const std::vector<std::string> all = CallsOf({"ShowDpiStageValue", "SetDpiStage"});
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back(), "SetDpiStage(3," + std::to_string(slider->value()) + ")");
    EXPECT_EQ(calls_->CountPrefix("SetDpiStage("), 1);
}

// An unsaved macro edit keeps the user on the macro page of its device.
TEST_F(RoutingTest, PageSwitchIsRefusedWhileAMacroEditIsUnsaved) {
    struct GuardCase {
        const char* device;  // the page with the unsaved edit
        const char* macroTab;
        const char* panel;
        const char* otherTab;  // the page the user tries to reach
        int devicePage;        // of "tab_switch"
        const char* subSwitch;
        bool byMouse;
    };
    const GuardCase cases[] = {
        {"ms_tab", "ms_macro_Op_tab", "ms_macro_tab_saveorcancel", "kb_tab", 1, "ms_tab_switch",
         true},
        {"kb_tab", "kb_macro_Op_tab", "kb_macro_tab_saveorcancel", "mp_tab", 0, "kb_tab_switch",
         false},
    };
    for (const GuardCase& c : cases) {
        SCOPED_TRACE(c.device);
        SetVisible("kb_tab", true);
        SetVisible("mp_tab", true);
        ShowPage(c.device, c.macroTab);
        ASSERT_EQ(Page("tab_switch"), c.devicePage);
        ASSERT_EQ(Page(c.subSwitch), 1);
        SetVisible(c.panel, true);
        if (std::string(c.device) == "kb_tab") {
            SetVisible("kb_tab", false);  // the guard brings it back
        }
        calls_->Clear();

        std::string shown;
        ClickInModalWhenShown(wnd_->GetWidget(), {"closebtn"}, "MessageText", &shown);
        if (c.byMouse) {
            ClickByMouse(c.otherTab);
        } else {
            SelectNotified(c.otherTab);
        }
        EXPECT_EQ(shown, "message_text_3");
        EXPECT_EQ(Page("tab_switch"), c.devicePage);
        EXPECT_EQ(Page(c.subSwitch), 1);
        EXPECT_TRUE(Selected(c.device));
        EXPECT_TRUE(Selected(c.macroTab));
        EXPECT_FALSE(Selected(c.otherTab));
        EXPECT_TRUE(Visible(c.device));
        SetVisible(c.panel, false);
    }
}

TEST_F(RoutingTest, KeyboardKeyPageChosenTwiceKeepsTheFunctionPanel) {
    SelectNotified("kb_tab");
    SelectNotified("kb_macro_Op_tab");
    SetVisible("kb_tab_function", true);
    SelectNotified("kb_key_Op_tab");  // from another page: the panel starts hidden
    EXPECT_EQ(Page("kb_tab_switch"), 2);
    EXPECT_FALSE(Visible("kb_tab_function"));
    EXPECT_FALSE(Enabled("kb_tab_function"));
    EXPECT_FALSE(Visible("kb_deng_layout"));
    EXPECT_TRUE(Visible("kb_tab_key_seting"));

    SetVisible("kb_tab_function", true);  // a key was chosen
    SetEnabled("kb_tab_function", true);
    Send("selectchanged", "kb_key_Op_tab");
    EXPECT_TRUE(Visible("kb_tab_function"));
    EXPECT_TRUE(Enabled("kb_tab_function"));
}

TEST_F(RoutingTest, DpiColourButtonRunsThePaletteDialog) {
    CControlUI* button = Ctl("ms_DPIcolor_btn_3");
    ASSERT_NE(button, nullptr);
    button->SetBkColor(0xFF112233);
    // Closed: nothing changes.
    ClickInModalWhenShown(wnd_->GetWidget(), {"closebtn"});
    Send("click", "ms_DPIcolor_btn_3");
    EXPECT_EQ(button->GetBkColor(), 0xFF112233u);
    EXPECT_EQ(calls_->CountPrefix("SetDpiStageColour"), 0);

    // A preset and OK: the button shows it and the stage takes it.
    ClickInModalWhenShown(wnd_->GetWidget(), {"ms_dpi_color_png_29", "okbtn"});
    Send("click", "ms_DPIcolor_btn_3");
    EXPECT_EQ(button->GetBkColor(), 0xFF4776A4u);
    EXPECT_EQ(CallsOf({"SetDpiStageColour"}),
              std::vector<std::string>{"SetDpiStageColour(3,0xFF4776A4)"});
    EXPECT_TRUE(win_->Reached("click", "ms_DPIcolor_btn_3"));
}

TEST_F(RoutingTest, MousepadDefaultsAreReadBackASecondLater) {
    const auto start = std::chrono::steady_clock::now();
    Send("click", "mp_one_profile_default");
    EXPECT_EQ(calls_->All(), std::vector<std::string>{"RestoreMousepadDefaults()"});
    ASSERT_TRUE(SpinUntil([&] { return calls_->Contains("MousepadReadOut()"); }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
}

TEST_F(RoutingTest, SkinAndMenuButtonsOpenTheirWindowsAndReachTheBase) {
    ShowPage("ms_tab", "");
    Send("click", "skinbtn");
    CControlUI* chooser = nullptr;
    ASSERT_TRUE(SpinUntil([&] {
        chooser = FindInOtherWindow("skin_tab", wnd_->GetWidget());
        return chooser != nullptr;
    }));
    EXPECT_TRUE(win_->Reached("click", "skinbtn"));
    chooser->GetManager()->GetWindow()->Close(0);

    EXPECT_EQ(wnd_->m_popupMenu, nullptr);
    Send("click", "menubtn");
    EXPECT_NE(wnd_->m_popupMenu, nullptr);
    EXPECT_TRUE(win_->Reached("click", "menubtn"));
    ui::CMenuWnd::DestroyMenu();
}

TEST_F(RoutingTest, MacroStepRowsOpenForEditing) {
    for (const auto& [list, row, call] :
         {std::tuple{"ms_Macro_list", "ms_macro_action", "EditMacroStep(Mouse,2)"},
          std::tuple{"kb_Macro_list", "kb_macro_action", "EditMacroStep(Keyboard,2)"}}) {
        SCOPED_TRACE(list);
        auto* steps = As<ui::CListUI>(list);
        ASSERT_NE(steps, nullptr);
        std::vector<ui::CListContainerElementUI*> rows;
        for (int i = 0; i < 3; ++i) {
            rows.push_back(new ui::CListContainerElementUI);
            steps->Add(rows.back());
            rows.back()->SetName(row);
        }
        calls_->Clear();
        ui::TNotifyUI msg{"itemclick", rows[2], 0, 0};
        wnd_->Notify(msg);
        EXPECT_EQ(calls_->All(), std::vector<std::string>{call});
        EXPECT_TRUE(win_->Reached("itemclick", row));
    }
}

}  // namespace
}  // namespace gmd::app
