// The main window's routing: notifications from the real skin's controls reach the right
// subsystem operations, the shell's own control changes (pages, panels, edits) happen, and the
// controls of features still to come are marked as such.

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
#include "host/routes.h"
#include "tests/app/app_test_support.h"
#include "ui/controls.h"
#include "ui/resource_manager.h"

namespace gmd::app {
namespace {

using testing::AppTest;
using testing::SpinUntil;
using testing::Without;
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
        PlugRecordingMouse(*wnd_);
        PlugRecordingProfiles(*wnd_);
        ASSERT_NE(wnd_->Create(0, "Gaming Mouse Driver", ui::UI_WNDSTYLE_FRAME, 0, 0, 0, 800, 572),
                  0u);
        wnd_->CenterWindow();
        ASSERT_TRUE(SpinUntil([&] { return wnd_->KeyboardDevice().ProductId() == 0x6556; }));
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
            EXPECT_EQ(Without(calls_->All(), {"SendChangedLiveBlocks()"}), c.calls);
            EXPECT_TRUE(win_->Reached(c.type, c.sender)) << "the base notify was skipped";
            if (c.check) {
                c.check(*this);
            }
        }
    }
};

TEST_F(RoutingTableTest, ClicksReachTheirOperations) {
    auto rename = [](const char* from, const char* to) {
        return [from, to](RoutingTableTest& t) {
            if (CControlUI* c = t.Control(from)) {
                c->SetName(to);
            }
        };
    };
    const std::vector<Case> cases = {
        // Indexed names: the prefix keeps its underscore, the tail is the index.
        {"click", "ms_profile_3", {}, {"SwitchOnboardProfile(3)"}, {}},
        {"click",
         "MS_PROFILE_29",
         rename("ms_profile_1", "MS_PROFILE_29"),
         {"SwitchOnboardProfile(29)"},
         {}},
        {"click",
         "ms_profile_x",
         rename("ms_profile_2", "ms_profile_x"),
         {"SwitchOnboardProfile(0)"},
         {}},
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
             EXPECT_TRUE(t.Selected("heightMiddle"));
         }},
        {"click", "heightHigh", {}, {"SetLiftHeight(2)"}, {}},
        {"click", "heightLow", {}, {"SetLiftHeight(0)"}, {}},
        {"click", "ms_gunlun_speed_up_btn", {}, {"StepWheelLines(true)"}, {}},
        {"click", "ms_gunlun_speed_down_btn", {}, {"StepWheelLines(false)"}, {}},
        {"click", "ms_one_profile_default", {}, {"RestoreDefaults()"}, {}},
        {"click",
         "ms_Deng_FXL_btn",
         [](RoutingTableTest& t) {
             t.Ensure("ms_Deng_FXL_btn");
             t.Select("ms_Deng_FXR_check", true);
         },
         {"SetLightDirection(true)"},
         [](RoutingTableTest& t) {
             EXPECT_TRUE(t.Selected("ms_Deng_FXL_check"));
             EXPECT_FALSE(t.Selected("ms_Deng_FXR_check"));
         }},
        {"click",
         "ms_Deng_FXR_btn",
         Present("ms_Deng_FXR_btn"),
         {"SetLightDirection(false)"},
         [](RoutingTableTest& t) {
             EXPECT_FALSE(t.Selected("ms_Deng_FXL_check"));
             EXPECT_TRUE(t.Selected("ms_Deng_FXR_check"));
         }},
        // Profiles.
        {"click", "ms_device_cancle_link_btn", {}, {"CancelLink(MouseDevice)"}, {}},
        {"click", "kb_deng_cancle_link_btn", {}, {"CancelLink(KeyboardLight)"}, {}},
        {"click", "kb_device_cancle_link_btn", {}, {"CancelLink(KeyboardDevice)"}, {}},
        {"click", "kb_pro_deng_add_btn", {}, {"RunOperation(KeyboardLight,Add)"}, {}},
        {"click", "mp_pro_deng_sub_btn", {}, {"RunOperation(MousepadLight,Delete)"}, {}},
        {"click", "ms_pro_device_copy_btn", {}, {"RunOperation(MouseDevice,Copy)"}, {}},
        {"click", "ms_pro_key_reset_btn", {}, {"RunOperation(MouseKey,Reset)"}, {}},
        {"click", "kb_pro_device_import_btn", {}, {"RunOperation(KeyboardDevice,Import)"}, {}},
        {"click", "ms_pro_deng_export_btn", {}, {"RunOperation(MouseLight,Export)"}, {}},
        {"click", "kb_key_profile_link_btn", {}, {"ChooseLinkedProgram(KeyboardKey)"}, {}},
        {"click", "mp_deng_profile_link_btn", {}, {"ChooseLinkedProgram(MousepadLight)"}, {}},
        {"click", "ms_device_profile_edit_save_btn", {}, {"RenameProfile(MouseDevice)"}, {}},
        {"click", "kb_deng_profile_edit_save_btn", {}, {"RenameProfile(KeyboardLight)"}, {}},
        {"return", "ms_key_profile_name_edit", {}, {"RenameProfile(MouseKey)"}, {}},
        {"return", "kb_device_profile_name_edit", {}, {"RenameProfile(KeyboardDevice)"}, {}},
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
        // No operation of its own, but the base window still hears of it.
        {"click", "str_test", {}, {}, {}},
        // Controls of features still to come reach nothing.
        {"click", "ms_Deng_color_btn_5", {}, {}, {}},
        {"click", "ms_macro_btn_redio", {}, {}, {}},
        {"click", "mp_one_profile_default", {}, {}, {}},
        {"msenter", "ms_DPIcolor_btn_6", {}, {}, {}},
    };
    Run(cases);
}

TEST_F(RoutingTableTest, OptionsListsSlidersAndFocus) {
    const std::vector<Case> cases = {
        {"selectchanged",
         "ms_Deng_7color_check",
         [](RoutingTableTest& t) { t.Select("ms_Deng_7color_check", false); },
         {"SetColourCycle(false)"},
         {}},
        {"selectchanged",
         "ms_Deng_FXL_check",
         [](RoutingTableTest& t) {
             t.Select("ms_Deng_FXR_check", true);
             t.Select("ms_Deng_FXL_check", true);
         },
         {"SetLightDirection(true)"},
         [](RoutingTableTest& t) { EXPECT_FALSE(t.Selected("ms_Deng_FXR_check")); }},
        // A direction check that lost its selection changes nothing.
        {"selectchanged",
         "ms_Deng_FXR_check",
         [](RoutingTableTest& t) { t.Select("ms_Deng_FXR_check", false); },
         {},
         {}},
        {"selectchanged",
         "ms_line_adjust",
         [](RoutingTableTest& t) { t.Select("ms_line_adjust", true); },
         {"SetLineAdjust(true)"},
         {}},
        {"selectchanged",
         "ms_key_profile_link_check",
         [](RoutingTableTest& t) { t.Select("ms_key_profile_link_check", true); },
         {"LinkCheckChanged(MouseKey,true)"},
         {}},
        {"selectchanged",
         "kb_device_profile_link_check",
         [](RoutingTableTest& t) { t.Select("kb_device_profile_link_check", false); },
         {"LinkCheckChanged(KeyboardDevice,false)"},
         {}},
        // Page switching.
        {"selectchanged",
         "mp_tab",
         {},
         {},
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("tab_switch"), 2); }},
        {"selectchanged",
         "split_tab",
         {},
         {},
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("tab_switch"), 4); }},
        {"selectchanged",
         "kb_tab",
         {},
         {},
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("tab_switch"), 0); }},
        {"selectchanged",
         "nodev_tab",
         {},
         {},
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("tab_switch"), 5); }},
        {"selectchanged",
         "kb_macro_Op_tab",
         {},
         {},
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
         {},
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
         {},
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("kb_tab_switch"), 3); }},
        {"selectchanged",
         "ms_cursor_Op_tab",
         {},
         {},
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("ms_tab_switch"), 4); }},
        {"selectchanged",
         "ms_key_Op_tab",
         [](RoutingTableTest& t) { t.SetVisible("ms_tab_function", false); },
         {},
         [](RoutingTableTest& t) {
             EXPECT_EQ(t.Page("ms_tab_switch"), 2);
             EXPECT_TRUE(t.Visible("ms_tab_function"));
         }},
        {"selectchanged",
         "ms_rich_Op_tab",
         {},
         {},
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("ms_tab_switch"), 3); }},
        {"selectchanged",
         "ms_deng_Op_tab",
         {},
         {},
         [](RoutingTableTest& t) { EXPECT_EQ(t.Page("ms_tab_switch"), 0); }},

        // Lists and combo boxes.
        {"itemselect",
         "ms_report_fct_combo",
         [](RoutingTableTest& t) { t.Choose("ms_report_fct_combo", 3); },
         {"SetReportRate(3)"},
         {}},
        {"itemselect",
         "ms_deng_profile_combo",
         [](RoutingTableTest& t) { t.Choose("ms_deng_profile_combo", 1); },
         {"SelectProfile(MouseLight,1)"},
         {}},
        {"itemselect",
         "kb_key_profile_combo",
         [](RoutingTableTest& t) { t.Choose("kb_key_profile_combo", 2); },
         {"SelectProfile(KeyboardKey,2)"},
         {}},
        // A list that lost its selection chose nothing.
        {"itemselect",
         "ms_device_profile_combo",
         [](RoutingTableTest& t) {
             dynamic_cast<ui::IListOwnerUI*>(t.Control("ms_device_profile_combo"))
                 ->SelectItem(-1, false, false);
         },
         {},
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
        {"valuechanged", "ms_deng_light_slider", {}, {"SetBrightness(2)"}, {}},
        {"valuechanged",
         "ms_deng_speed_slider",
         [](RoutingTableTest& t) { t.SetSlider("ms_deng_speed_slider", 1); },
         {"SetLightSpeed(1)"},
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
        // The keyboard's lighting is still to come.
        {"valuechanged",
         "kb_deng_speed_slider",
         [](RoutingTableTest& t) { t.SetSlider("kb_deng_speed_slider", 2); },
         {},
         {}},

        // Focus.
        {"killfocus",
         "ms_gunlun_speed_edit",
         [](RoutingTableTest& t) { t.SetText("ms_gunlun_speed_edit", "7"); },
         {"SetWheelLines(7)"},
         {}},
        {"setfocus",
         "ms_rich_Op_tab",
         [](RoutingTableTest& t) { t.SetVisible("ms_profile_fun_spead_tab", true); },
         {},
         [](RoutingTableTest& t) { EXPECT_FALSE(t.Visible("ms_profile_fun_spead_tab")); }},
    };
    Run(cases);
}

// A routed edit keeps its number within limits and shows the corrected number; an edit without a
// route is left as typed.
TEST_F(RoutingTableTest, EditLimitsWriteTheCorrectedNumberBack) {
    struct EditCase {
        const char* name;
        const char* typed;
        const char* shown;
    };
    const std::vector<EditCase> cases = {
        {"ms_gunlun_speed_edit", "0", "1"},     {"ms_gunlun_speed_edit", "-5", "1"},
        {"ms_gunlun_speed_edit", "250", "100"}, {"ms_gunlun_speed_edit", "42", "42"},
        {"ms_gunlun_speed_edit", "", ""},       {"ms_Deng_edit_R", "300", "300"},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " \"" + c.typed + "\"");
        SetText(c.name, c.typed);
        calls_->Clear();
        Send("textchanged", c.name);
        EXPECT_EQ(Text(c.name), c.shown);
        // The wheel lines take effect when the edit loses the focus.
        EXPECT_EQ(Without(calls_->All(), {"SendChangedLiveBlocks()"}), std::vector<std::string>{});
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
    Reveal("heightLow");
    ClickByMouse("heightLow");
    EXPECT_TRUE(SpinUntil([&] { return calls_->Contains("SetLiftHeight(0)"); }));

    // Typing into the wheel-lines edit: the number stays within 1-100 while typed and takes effect
    // when the edit loses the focus.
    Reveal("ms_gunlun_speed_edit");
    SetText("ms_gunlun_speed_edit", "");
    auto* edit = qobject_cast<QLineEdit*>(Ctl("ms_gunlun_speed_edit")->GetWidget());
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClicks(edit, "300");
    EXPECT_EQ(Text("ms_gunlun_speed_edit"), "100");
    EXPECT_TRUE(CallsOf({"SetWheelLines"}).empty());
    Ctl("heightLow")->GetWidget()->setFocus();
    EXPECT_TRUE(SpinUntil([&] { return calls_->Contains("SetWheelLines(100)"); }));

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

    // OK: the stage takes the colour the dialog answers with (picks: dialogs_test).
    ClickInModalWhenShown(wnd_->GetWidget(), {"okbtn"});
    Send("click", "ms_DPIcolor_btn_3");
    EXPECT_EQ(button->GetBkColor(), 0xFF112233u);
    EXPECT_EQ(CallsOf({"SetDpiStageColour"}),
              std::vector<std::string>{"SetDpiStageColour(3,0xFF112233)"});
    EXPECT_TRUE(win_->Reached("click", "ms_DPIcolor_btn_3"));
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

// Controls of features still to come are disabled and say so in the language shown; their
// tabs and the built controls beside them stay usable.
TEST_F(RoutingTest, ControlsOfFeaturesToComeAreDisabledWithATooltip) {
    const char* unbuilt[] = {
        "ms_Deng_color_btn_5",        "ms_deng_combo_modeSelect0",
        "ms_deng_Color_Pallet",       "ms_Deng_edit_R",
        "ms_deng_same_mode",          "ms_key_3",
        "ms_key_fct_combo",           "kb_key_12",
        "ms_key_butt_prosave",        "ms_macro_btn_redio",
        "kb_macro_inset_leftkey_btn", "ms_MacroName_list",
        "ms__macro_edit_ActionDelay", "ms_mouse_x_left_edit",
        "ms_bulletdate_save_btn",     "ms_gun_op_1",
        "ms_cursor_x_eidt",           "bullet_selected_next",
        "kb_Deng_7color_check",       "kb_Deng_all_bright_check",
        "mp_Deng_FXL_check",          "kb_Deng_color_btn_1",
        "kb_deng_light_slider",       "mp_deng_combo_profile",
        "mp_one_profile_default",
    };
    const char* built[] = {
        "ms_macro_Op_tab",
        "ms_cursor_Op_tab",
        "ms_key_Op_tab",
        "kb_macro_Op_tab",
        "ms_deng_light_slider",
        "ms_deng_speed_slider",
        "ms_Deng_7color_check",
        "ms_Deng_FXL_check",
        "ms_DPI1_slider",
        "ms_profile_1",
        "ms_report_fct_combo",
        "ms_gunlun_speed_edit",
        "heightLow",
        "ms_key_profile_combo",
        "ms_key_profile_link_check",
        "kb_pro_key_add_btn",
        "kb_deng_profile_combo",
        "kb_deng_cancle_link_btn",
        "mp_deng_profile_link_check",
        "kb_deng_Op_tab",
        "mp_deng_profile_combo",
        "ms_DPIcolor_btn_2",
    };
    auto* resources = ui::CResourceManager::GetInstance();
    for (const int language : {0, 1}) {
        wnd_->SwitchLanguage(language);
        const std::string tip = resources->GetText("not_available_yet");
        SCOPED_TRACE(tip);
        EXPECT_EQ(tip, language == 0 ? "Not available yet" : "暂不可用");
        for (const char* name : unbuilt) {
            CControlUI* control = Ctl(name);
            ASSERT_NE(control, nullptr);
            EXPECT_FALSE(control->IsEnabled()) << name;
            EXPECT_EQ(control->GetToolTip(), tip) << name;
            EXPECT_EQ(control->GetWidget()->toolTip().toStdString(), tip) << name;
        }
        for (const char* name : built) {
            CControlUI* control = Ctl(name);
            ASSERT_NE(control, nullptr);
            EXPECT_TRUE(control->IsEnabled()) << name;
            EXPECT_NE(control->GetToolTip(), tip) << name;
        }
    }
}

// The route table: whole names before indexed prefixes, the type must match, names without case.
TEST(RouterTest, FindsWholeNamesBeforeIndexedPrefixes) {
    struct Ops {
        std::vector<std::string> seen;
    } ops;
    auto note = [](std::string what) {
        return [what](Ops& o, const host::Event& e) {
            o.seen.push_back(what + ":" + std::to_string(e.index));
        };
    };
    host::RouteTable<Ops> table = {
        {"click", "ms_profile_", note("indexed"), host::Match::IndexedPrefix},
        {"click", "ms_profile_2", note("whole")},
        {"selectchanged", "ms_line_adjust", note("option")},
    };
    host::Router router;
    router.Add(table, ops);
    ui::CButtonUI sender;
    struct Lookup {
        const char* type;
        const char* name;
        const char* found;  // nullptr: no route
    };
    const Lookup lookups[] = {
        {"click", "ms_profile_3", "indexed:3"},
        {"click", "MS_Profile_2", "whole:2"},
        {"click", "ms_profile_x", "indexed:0"},
        // The prefix is all up to the last underscore.
        {"click", "ms_profile_fun_spread_btn", nullptr},
        {"click", "ms_profile", nullptr},
        {"selectchanged", "ms_profile_3", nullptr},
        {"selectchanged", "MS_LINE_ADJUST", "option:0"},
        {"click", "ms_line_adjust", nullptr},
    };
    for (const Lookup& l : lookups) {
        SCOPED_TRACE(std::string(l.type) + " " + l.name);
        ops.seen.clear();
        const host::Router::Bound* route = router.Find(l.type, l.name);
        ASSERT_EQ(route != nullptr, l.found != nullptr);
        if (route != nullptr) {
            route->run(host::Event{sender, host::SplitIndexedName(l.name).index});
            EXPECT_EQ(ops.seen, std::vector<std::string>{l.found});
        }
    }
}

}  // namespace
}  // namespace gmd::app
