// Control classes and the paint manager on real Qt widgets, driven offscreen with QTest input.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFocusFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mouse/preset_colours.h"
#include "tests/support/swatch_probe.h"
#include "ui/controls.h"
#include "ui/focus_frame.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace gmd::ui {
namespace {

using Attrs = std::vector<std::pair<std::string, std::string>>;

struct Note {
    std::string type;
    std::string sender;
    bool operator==(const Note&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Note& note) {
    return os << "(" << note.type << ", " << note.sender << ")";
}

class Recorder : public INotifyUI {
  public:
    void Notify(TNotifyUI& msg) override {
        all.push_back(msg);
        names.push_back({msg.sType, msg.pSender != nullptr ? msg.pSender->GetName() : ""});
    }
    // Without the pointer and focus traffic that every click brings along.
    std::vector<Note> Actions() const {
        std::vector<Note> out;
        for (const Note& note : names) {
            if (note.type != notify::kMouseEnter && note.type != notify::kMouseLeave &&
                note.type != notify::kSetFocus && note.type != notify::kKillFocus) {
                out.push_back(note);
            }
        }
        return out;
    }
    void Clear() {
        all.clear();
        names.clear();
    }
    std::vector<TNotifyUI> all;
    std::vector<Note> names;
};

template <class T>
T* Make(CContainerUI* parent, const std::string& name, const Attrs& attrs = {}) {
    auto* control = new T;
    control->SetName(name);
    for (const auto& [key, value] : attrs) {
        EXPECT_EQ(control->SetAttribute(key, value), AttrStatus::Ok) << name << " " << key;
    }
    if (parent != nullptr) {
        parent->Add(control);
    }
    return control;
}

void Show(QWidget* widget, int width, int height) {
    widget->resize(width, height);
    widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget));
    widget->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(widget));
}

QRgb PixelAt(QWidget* widget, QPoint point) {
    return widget->grab().toImage().pixel(point);
}

// Clicks through the window, so the click lands on whatever is at that point (as a user's).
void ClickAt(QWidget* widget, QPoint at) {
    QWidget* window = widget->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, widget->mapTo(window, at));
}

void Click(CControlUI* control, QPoint at = {}) {
    QWidget* widget = control->GetWidget();
    ClickAt(widget, at.isNull() ? widget->rect().center() : at);
}

// Every class in one window: the starting point of the notification cases.
struct Gui {
    Recorder rec;
    CPaintManagerUI pm;
    CVerticalLayoutUI* root = nullptr;
    CLabelUI* label = nullptr;
    CButtonUI* button = nullptr;
    COptionUI* optA = nullptr;
    COptionUI* optB = nullptr;
    COptionUI* optFree = nullptr;
    CCheckBoxUI* check = nullptr;
    CEditUI* edit = nullptr;
    CSliderUI* slider = nullptr;
    CProgressUI* progress = nullptr;
    CComboUI* combo = nullptr;
    CListUI* list = nullptr;
    CListContainerElementUI* rowC = nullptr;
    CTabLayoutUI* tabs = nullptr;

    Gui() {
        root = Make<CVerticalLayoutUI>(nullptr, "root", {{"inset", "4,4,4,4"}});
        label = Make<CLabelUI>(root, "label", {{"text", "Hello"}, {"height", "24"}});
        button = Make<CButtonUI>(root, "button", {{"text", "Press"}, {"height", "28"}});
        auto* options = Make<CHorizontalLayoutUI>(root, "options", {{"height", "28"}});
        optA = Make<COptionUI>(options, "opt_a", {{"group", "g"}, {"text", "A"}});
        optB = Make<COptionUI>(options, "opt_b", {{"group", "g"}, {"text", "B"}});
        optFree = Make<COptionUI>(options, "opt_free", {{"text", "Free"}});
        check = Make<CCheckBoxUI>(options, "check", {{"text", "Check"}});
        edit = Make<CEditUI>(root, "edit", {{"height", "26"}});
        slider = Make<CSliderUI>(root, "slider", {{"width", "200"}, {"height", "24"}});
        progress = Make<CProgressUI>(root, "progress", {{"height", "12"}, {"value", "30"}});
        combo = Make<CComboUI>(root, "combo", {{"height", "26"}});
        for (const char* text : {"zero", "one", "two"}) {
            Make<CListLabelElementUI>(combo, std::string("combo_") + text, {{"text", text}});
        }
        list = Make<CListUI>(root, "list", {{"height", "120"}, {"itemheight", "25"}});
        Make<CListLabelElementUI>(list, "row_0", {{"text", "Row 0"}});
        Make<CListLabelElementUI>(list, "row_1", {{"text", "Row 1"}});
        rowC = Make<CListContainerElementUI>(list, "row_c", {{"height", "30"}});
        Make<CLabelUI>(rowC, "row_c_name", {{"text", "Name"}});
        Make<CLabelUI>(rowC, "row_c_delay", {{"text", "10 ms"}});
        tabs = Make<CTabLayoutUI>(root, "tabs", {{"height", "40"}});
        for (int i = 0; i < 3; ++i) {
            Make<CControlUI>(tabs, "page_" + std::to_string(i));
        }
        optA->Selected(true, false);
        combo->SelectItem(0, false, false);
        pm.AttachDialog(root);
        pm.AddNotifier(&rec);
        Show(root->GetWidget(), 420, 480);
        rec.Clear();
    }
};

// ---- value readers -------------------------------------------------------------------------

TEST(ParseTest, ColorsAndImageStrings) {
    const struct {
        const char* text;
        bool ok;
        DWORD color;
    } colors[] = {
        {"#FF112233", true, 0xFF112233},
        {"#112233", true, 0xFF112233},
        {"0x80ABCDEF", true, 0x80ABCDEF},
        {"0XFFFFFFFF", true, 0xFFFFFFFF},
        {"#11223", false, 0},
        {"#GG112233", false, 0},
        {"112233", false, 0},
        {"0x112233", false, 0},
        {"#FF1122334", false, 0},
        {"", false, 0},
    };
    for (const auto& c : colors) {
        DWORD color = 7;
        EXPECT_EQ(ParseColor(c.text, color), c.ok) << c.text;
        EXPECT_EQ(color, c.ok ? c.color : 7u) << c.text;
    }

    const struct {
        const char* text;
        bool ok;
        const char* file;
        bool hasSource;
    } images[] = {
        {"file='ms/key_left_normal.png'", true, "ms/key_left_normal.png", false},
        {"a/b.svg", true, "a/b.svg", false},
        {"  file=\"x.png\"  source='0,0,10,20' ", true, "x.png", true},
        {"file='x.png' corner='2,2,2,2'", true, "x.png", false},
        {"file='x.png' source='5,5,5,10'", false, "", false},  // empty width
        {"file='x.png' source='0,0,10'", false, "", false},
        {"file='x.png", false, "", false},  // unclosed quote
        {"file=x.png", false, "", false},   // unquoted
        {"source='0,0,1,1'", false, "", false},
        {"file='x.png' fade='10'", false, "", false},
        {"file=''", false, "", false},
        {"", false, "", false},
        {"it's.png", false, "", false},
    };
    for (const auto& c : images) {
        ImageSpec imageSpec;
        EXPECT_EQ(ParseImageString(c.text, imageSpec), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(imageSpec.file, c.file) << c.text;
            EXPECT_EQ(imageSpec.hasSource, c.hasSource) << c.text;
        }
    }
    ImageSpec imageSpec;
    ASSERT_TRUE(ParseImageString("file='x.png' source='1,2,30,40' corner='3,4,5,6'", imageSpec));
    EXPECT_EQ(imageSpec.source, (RECT{1, 2, 30, 40}));
    EXPECT_EQ(imageSpec.corner, (RECT{3, 4, 5, 6}));
}

template <class T, class Pred>
std::function<bool(CControlUI*)> As(Pred pred) {
    return [pred](CControlUI* c) { return pred(static_cast<T*>(c)); };
}

// ---- attributes ----------------------------------------------------------------------------

class AttributeTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(CResourceManager::GetInstance()->LoadResource("res.xml"))
            << CResourceManager::GetInstance()->GetLastError();
    }
};

TEST_F(AttributeTest, EveryClassAcceptsItsAttributesAndRejectsBadOnes) {
    using Factory = std::function<CControlUI*()>;
    const std::vector<std::pair<const char*, Factory>> classes = {
        {"Control", [] { return new CControlUI; }},
        {"Container", [] { return new CContainerUI; }},
        {"VerticalLayout", [] { return new CVerticalLayoutUI; }},
        {"HorizontalLayout", [] { return new CHorizontalLayoutUI; }},
        {"TabLayout", [] { return new CTabLayoutUI; }},
        {"Label", [] { return new CLabelUI; }},
        {"Text", [] { return new CTextUI; }},
        {"Button", [] { return new CButtonUI; }},
        {"Option", [] { return new COptionUI; }},
        {"CheckBox", [] { return new CCheckBoxUI; }},
        {"Edit", [] { return new CEditUI; }},
        {"Progress", [] { return new CProgressUI; }},
        {"Slider", [] { return new CSliderUI; }},
        {"Combo", [] { return new CComboUI; }},
        {"List", [] { return new CListUI; }},
        {"ListLabelElement", [] { return new CListLabelElementUI; }},
        {"ListContainerElement", [] { return new CListContainerElementUI; }},
        {"ColorPalette", [] { return new CColorPaletteUI; }},
    };
    // Common attributes work on every class, and every class reports what it does not know.
    for (const auto& [className, make] : classes) {
        std::unique_ptr<CControlUI> control(make());
        EXPECT_EQ(control->GetClass(), className);
        const Attrs common = {{"name", "n"},
                              {"text", "t"},
                              {"tooltip", "tip"},
                              {"userdata", "u"},
                              {"visible", "true"},
                              {"enabled", "TRUE"},
                              {"width", "10"},
                              {"height", "0"},
                              {"padding", "1,2,3,4"},
                              {"bkcolor", "#FF010203"},
                              {"bkimage", "file='images/bg.svg'"},
                              {"textcolor", "#102030"},
                              {"mouse", "false"},
                              {"keyboard", "1"},
                              {"bordersize", "1"},
                              {"bordercolor", "#FF000000"},
                              {"borderround", "2"},
                              {"style", "listex_item_style"}};
        for (const auto& [key, value] : common) {
            EXPECT_EQ(control->SetAttribute(key, value), AttrStatus::Ok) << className << " " << key;
        }
        EXPECT_EQ(control->GetFixedHeight(), 25) << "the style applies its attributes";
        for (const char* key : {"bogus", "float", "pos"}) {
            EXPECT_EQ(control->SetAttribute(key, "1"), AttrStatus::UnknownName) << className;
        }
        for (const auto& [key, value] : Attrs{{"visible", "yes"},
                                              {"width", "-1"},
                                              {"width", "12px"},
                                              {"padding", "1,2,3"},
                                              {"bkcolor", "red"},
                                              {"bkimage", "file='a.png"},
                                              {"style", "no_such_style"}}) {
            EXPECT_EQ(control->SetAttribute(key, value), AttrStatus::BadValue)
                << className << " " << key << "=" << value;
        }
    }

    // Class-specific attributes: (class, name, value, expected status, check).
    struct Case {
        Factory make;
        const char* key;
        const char* value;
        AttrStatus status;
        std::function<bool(CControlUI*)> check;
    };
    const auto label = [] { return new CLabelUI; };
    const auto button = [] { return new CButtonUI; };
    const auto option = [] { return new COptionUI; };
    const auto edit = [] { return new CEditUI; };
    const auto progress = [] { return new CProgressUI; };
    const auto slider = [] { return new CSliderUI; };
    const auto palette = [] { return new CColorPaletteUI; };
    const auto tabs = [] {
        auto* t = new CTabLayoutUI;
        t->Add(new CControlUI);
        t->Add(new CControlUI);
        return t;
    };
    const auto ok = [](CControlUI*) { return true; };
    const Case cases[] = {
        {label, "textpadding", "1,2,3,4", AttrStatus::Ok, As<CLabelUI>([](CLabelUI* c) {
             return c->GetTextPadding() == RECT{1, 2, 3, 4};
         })},
        {label, "align", "middle", AttrStatus::BadValue, ok},
        {label, "valign", "bottom", AttrStatus::Ok, ok},
        {label, "font", "-2", AttrStatus::BadValue, ok},
        {button, "normalimage", "file='images/btn_normal.svg'", AttrStatus::Ok,
         As<CButtonUI>(
             [](CButtonUI* c) { return c->GetNormalImage() == "file='images/btn_normal.svg'"; })},
        {button, "hotimage", "file='x.svg' source='1,1'", AttrStatus::BadValue, ok},
        {button, "pushedimage", "", AttrStatus::Ok, ok},
        {option, "group", "g1", AttrStatus::Ok,
         As<COptionUI>([](COptionUI* c) { return c->GetGroup() == "g1"; })},
        {option, "selected", "true", AttrStatus::Ok,
         As<COptionUI>([](COptionUI* c) { return c->IsSelected(); })},
        {option, "selected", "maybe", AttrStatus::BadValue, ok},
        {option, "selectedimage", "images/tab_selected.svg", AttrStatus::Ok, ok},
        {edit, "maxchar", "5", AttrStatus::Ok,
         As<CEditUI>([](CEditUI* c) { return c->GetMaxChar() == 5; })},
        {edit, "maxchar", "0", AttrStatus::BadValue, ok},
        {edit, "readonly", "true", AttrStatus::Ok,
         As<CEditUI>([](CEditUI* c) { return c->IsReadOnly(); })},
        {edit, "numberonly", "1", AttrStatus::Ok, ok},
        {progress, "max", "200", AttrStatus::Ok,
         As<CProgressUI>([](CProgressUI* c) { return c->GetMaxValue() == 200; })},
        {progress, "value", "150", AttrStatus::Ok,
         As<CProgressUI>([](CProgressUI* c) { return c->GetValue() == 100; })},
        {progress, "value", "abc", AttrStatus::BadValue, ok},
        {progress, "forecolor", "#FF00FF00", AttrStatus::Ok,
         As<CProgressUI>([](CProgressUI* c) { return c->GetForeColor() == 0xFF00FF00; })},
        {progress, "hor", "false", AttrStatus::Ok, ok},
        {slider, "step", "5", AttrStatus::Ok,
         As<CSliderUI>([](CSliderUI* c) { return c->GetChangeStep() == 5; })},
        {slider, "step", "0", AttrStatus::BadValue, ok},
        {tabs, "selectedid", "1", AttrStatus::Ok,
         As<CTabLayoutUI>([](CTabLayoutUI* c) { return c->GetCurSel() == 1; })},
        {tabs, "selectedid", "-1", AttrStatus::BadValue, ok},
        {tabs, "inset", "1,2,3", AttrStatus::BadValue, ok},
        {tabs, "childpadding", "4", AttrStatus::Ok, ok},
        {tabs, "childalign", "middle", AttrStatus::BadValue, ok},
        {[] { return new CComboUI; }, "itemheight", "30", AttrStatus::Ok,
         As<CComboUI>([](CComboUI* c) { return c->GetItemStyle().height == 30; })},
        {[] { return new CListUI; }, "itemselectedbkcolor", "#FF0000FF", AttrStatus::Ok,
         As<CListUI>([](CListUI* c) { return c->GetItemStyle().selectedBkColor == 0xFF0000FF; })},
        {[] { return new CListUI; }, "itemtextcolor", "blue", AttrStatus::BadValue, ok},
        {palette, "selectcolor", "#123456", AttrStatus::Ok,
         As<CColorPaletteUI>([](CColorPaletteUI* c) { return c->GetSelectColor() == 0xFF123456; })},
        {palette, "selectcolor", "#12345", AttrStatus::BadValue, ok},
        {palette, "presets", "false", AttrStatus::Ok, ok},
        {palette, "rgbfields", "maybe", AttrStatus::BadValue, ok},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CControlUI> control(c.make());
        EXPECT_EQ(control->SetAttribute(c.key, c.value), c.status)
            << control->GetClass() << " " << c.key << "=" << c.value;
        EXPECT_TRUE(c.check(control.get())) << control->GetClass() << " " << c.key;
    }
}

TEST_F(AttributeTest, AttributeListsReportTheFailingName) {
    CLabelUI label;
    std::string failed;
    EXPECT_EQ(
        label.ApplyAttributeList(R"(text="a b" textcolor='#FF102030' align="right")", &failed),
        AttrStatus::Ok);
    EXPECT_EQ(label.GetText(), "a b");
    EXPECT_EQ(label.GetTextColor(), 0xFF102030u);
    EXPECT_EQ(label.ApplyAttributeList(R"(text="x" nonsense="1")", &failed),
              AttrStatus::UnknownName);
    EXPECT_EQ(failed, "nonsense");
    for (const char* broken : {R"(text="x)", R"(text=x)", R"(="x")", R"(text "x")"}) {
        EXPECT_EQ(label.ApplyAttributeList(broken, &failed), AttrStatus::BadValue) << broken;
    }
}

// ---- notifications -------------------------------------------------------------------------

QPoint SliderHandleCenter(QSlider* slider) {
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = slider->orientation();
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    opt.singleStep = slider->singleStep();
    opt.pageStep = slider->pageStep();
    opt.subControls = QStyle::SC_SliderHandle;
    return slider->style()
        ->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider)
        .center();
}

QPoint ListRowCenter(CListUI* list, int row) {
    auto* view = static_cast<QListWidget*>(list->GetWidget());
    return view->visualItemRect(view->item(row)).center();
}

TEST(NotificationTest, UserActionsAndProgrammaticChanges) {
    const auto N = [](const char* type, const char* sender) { return Note{type, sender}; };
    struct Case {
        const char* what;
        std::function<void(Gui&)> act;
        std::vector<Note> expected;
        bool pointerAndFocus = false;  // keep enter/leave and focus traffic in the record
    };
    const Case cases[] = {
        {"button click", [](Gui& g) { Click(g.button); }, {N("click", "button")}},
        {"button Activate", [](Gui& g) { g.button->Activate(); }, {N("click", "button")}},
        {"disabled button click",
         [](Gui& g) {
             g.button->SetEnabled(false);
             Click(g.button);
             EXPECT_FALSE(g.button->Activate());
         },
         {}},
        {"mouse taken away",
         [](Gui& g) {
             g.button->SetMouseEnabled(false);
             Click(g.button);
             g.button->SetMouseEnabled(true);
             Click(g.button);
         },
         {N("click", "button")}},
        {"group option click",
         [](Gui& g) {
             Click(g.optB);
             EXPECT_TRUE(g.optB->IsSelected());
             EXPECT_FALSE(g.optA->IsSelected());
             EXPECT_FALSE(static_cast<QAbstractButton*>(g.optA->GetWidget())->isChecked());
         },
         {N("click", "opt_b"), N("selectchanged", "opt_b")}},
        {"click on the selected group option",
         [](Gui& g) {
             Click(g.optA);
             EXPECT_TRUE(g.optA->IsSelected());
             EXPECT_TRUE(static_cast<QAbstractButton*>(g.optA->GetWidget())->isChecked());
         },
         {N("click", "opt_a")}},
        {"free option toggles both ways",
         [](Gui& g) {
             Click(g.optFree);
             EXPECT_TRUE(g.optFree->IsSelected());
             Click(g.optFree);
             EXPECT_FALSE(g.optFree->IsSelected());
         },
         {N("click", "opt_free"), N("selectchanged", "opt_free"), N("click", "opt_free"),
          N("selectchanged", "opt_free")}},
        {"check box click",
         [](Gui& g) {
             Click(g.check, QPoint(8, g.check->GetWidget()->height() / 2));
             EXPECT_TRUE(g.check->GetCheck());
         },
         {N("click", "check"), N("selectchanged", "check")}},
        {"option Selected with and without notification",
         [](Gui& g) {
             g.optB->Selected(true, false);
             g.optA->Selected(true, true);
             g.optA->Selected(true, true);  // no change, nothing to say
             g.optA->Selected(false, true);
             g.check->SetCheck(true);
         },
         {N("selectchanged", "opt_a"), N("selectchanged", "opt_a")}},
        {"edit typing",
         [](Gui& g) {
             QTest::keyClicks(g.edit->GetWidget(), "ab");
             EXPECT_EQ(g.edit->GetText(), "ab");
         },
         {N("textchanged", "edit"), N("textchanged", "edit")}},
        {"edit SetText", [](Gui& g) { g.edit->SetText("silent"); }, {}},
        {"slider drag",
         [](Gui& g) {
             auto* s = static_cast<QSlider*>(g.slider->GetWidget());
             const QPoint start = SliderHandleCenter(s);
             QTest::mousePress(s, Qt::LeftButton, {}, start);
             QTest::mouseMove(s, start + QPoint(30, 0));
             QTest::mouseMove(s, start + QPoint(60, 0));
             QTest::mouseRelease(s, Qt::LeftButton, {}, start + QPoint(60, 0));
             EXPECT_GT(g.slider->GetValue(), 0);
             EXPECT_EQ(g.slider->GetValue(), s->value());
         },
         {N("movevaluechanged", "slider"), N("movevaluechanged", "slider"),
          N("valuechanged", "slider")}},
        {"slider keyboard step",
         [](Gui& g) {
             QTest::keyClick(g.slider->GetWidget(), Qt::Key_Right);
             EXPECT_EQ(g.slider->GetValue(), 1);
         },
         {N("valuechanged", "slider")}},
        {"slider and progress SetValue",
         [](Gui& g) {
             g.slider->SetValue(40);
             g.progress->SetValue(70);
         },
         {}},
        {"combo keyboard choice",
         [](Gui& g) {
             QTest::keyClick(g.combo->GetWidget(), Qt::Key_Down);
             EXPECT_EQ(g.combo->GetCurSel(), 1);
             EXPECT_EQ(g.combo->GetText(), "one");
         },
         {N("itemselect", "combo")}},
        {"combo SelectItem with and without notification",
         [](Gui& g) {
             EXPECT_TRUE(g.combo->SelectItem(2, false, true));
             EXPECT_TRUE(g.combo->SelectItem(1, false, false));
             EXPECT_TRUE(g.combo->SelectItem(1, false, true));  // already selected
             EXPECT_FALSE(g.combo->SelectItem(3));
             EXPECT_EQ(static_cast<QComboBox*>(g.combo->GetWidget())->currentIndex(), 1);
         },
         {N("itemselect", "combo")}},
        {"list row click",
         [](Gui& g) {
             ClickAt(static_cast<QListWidget*>(g.list->GetWidget())->viewport(),
                     ListRowCenter(g.list, 1));
             EXPECT_EQ(g.list->GetCurSel(), 1);
         },
         {N("itemselect", "list")}},
        {"list container row click",
         [](Gui& g) {
             ClickAt(static_cast<QListWidget*>(g.list->GetWidget())->viewport(),
                     ListRowCenter(g.list, 2));
             EXPECT_TRUE(g.rowC->IsSelected());
         },
         {N("itemselect", "list"), N("itemclick", "row_c")}},
        {"list SelectItem with and without notification",
         [](Gui& g) {
             EXPECT_TRUE(g.list->SelectItem(0, false, false));
             EXPECT_TRUE(g.list->SelectItem(2, true, true));
             EXPECT_TRUE(g.list->IsFocused());
         },
         {N("itemselect", "list")}},
        {"pointer over controls",
         [](Gui& g) {
             QWidget* root = g.root->GetWidget();
             QTest::mouseMove(root, QPoint(1, 1));  // the inset: over no control
             QTest::mouseMove(g.label->GetWidget());
             QTest::mouseMove(g.button->GetWidget());
         },
         {N("msenter", "label"), N("msleave", "label"), N("msenter", "button")},
         true},
        {"focus changes",
         [](Gui& g) {
             // The window gave the first control in the tab order the focus.
             EXPECT_TRUE(g.button->IsFocused());
             g.edit->SetFocus();
             EXPECT_TRUE(g.edit->IsFocused());
             g.button->SetFocus();
             EXPECT_FALSE(g.edit->IsFocused());
         },
         {N("killfocus", "button"), N("setfocus", "edit"), N("killfocus", "edit"),
          N("setfocus", "button")},
         true},
        {"keyboard taken away",
         [](Gui& g) {
             g.edit->SetFocus();
             g.edit->SetKeyboardEnabled(false);
             EXPECT_FALSE(g.edit->IsFocused());
             g.edit->SetFocus();
             EXPECT_FALSE(g.edit->IsFocused());
             g.check->SetFocus();
             QTest::keyClick(g.check->GetWidget(), Qt::Key_Tab);  // passes the edit by
             EXPECT_TRUE(g.slider->IsFocused());
             g.edit->SetKeyboardEnabled(true);
             EXPECT_EQ(g.edit->GetWidget()->focusPolicy(), Qt::StrongFocus);
             EXPECT_TRUE(g.edit->GetWidget()->isEnabled());  // no disabled look meanwhile
             g.check->SetFocus();
             QTest::keyClick(g.check->GetWidget(), Qt::Key_Tab);
             EXPECT_TRUE(g.edit->IsFocused());
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Gui gui;
        c.act(gui);
        if (c.pointerAndFocus) {
            std::vector<Note> seen;
            for (const Note& n : gui.rec.names) {
                if (n.sender != "root" && n.sender != "options") {
                    seen.push_back(n);
                }
            }
            EXPECT_EQ(seen, c.expected);
        } else {
            EXPECT_EQ(gui.rec.Actions(), c.expected);
        }
    }
}

TEST(NotificationTest, SelectionNotificationsCarryNewAndOldIndex) {
    Gui gui;
    gui.combo->SelectItem(2);
    gui.list->SelectItem(1);
    ASSERT_EQ(gui.rec.all.size(), 2u);
    EXPECT_EQ(gui.rec.all[0].wParam, 2u);
    EXPECT_EQ(gui.rec.all[0].lParam, 0);
    EXPECT_EQ(gui.rec.all[1].wParam, 1u);
    EXPECT_EQ(gui.rec.all[1].lParam, -1);
    EXPECT_EQ(gui.rec.all[1].pSender, gui.list);
}

TEST(NotificationTest, NotifierMayRemoveItselfAndAsyncDeliveryWaits) {
    struct SelfRemover : INotifyUI {
        CPaintManagerUI* pm = nullptr;
        int calls = 0;
        void Notify(TNotifyUI&) override {
            ++calls;
            pm->RemoveNotifier(this);
        }
    };
    Gui gui;
    SelfRemover remover;
    remover.pm = &gui.pm;
    gui.pm.AddNotifier(&remover);
    gui.button->Activate();
    gui.button->Activate();
    EXPECT_EQ(remover.calls, 1);
    EXPECT_EQ(gui.rec.Actions().size(), 2u);

    gui.rec.Clear();
    gui.pm.SendNotify(gui.button, "custom", 0, 0, true);
    EXPECT_TRUE(gui.rec.names.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(gui.rec.names, (std::vector<Note>{{"custom", "button"}}));
}

// ---- the colour palette --------------------------------------------------------------------

// A palette alone in a window, as a user meets it; the parts are found by their object names.
struct PaletteGui {
    Recorder rec;
    CPaintManagerUI pm;
    CVerticalLayoutUI* root = nullptr;
    CColorPaletteUI* palette = nullptr;
    CButtonUI* other = nullptr;  // somewhere else to put the focus

    explicit PaletteGui(Attrs attrs = {{"width", "528"}, {"height", "300"}}) {
        root = Make<CVerticalLayoutUI>(nullptr, "root", {{"inset", "8,8,8,8"}});
        palette = Make<CColorPaletteUI>(root, "palette", attrs);
        other = Make<CButtonUI>(root, "other", {{"text", "Other"}, {"height", "26"}});
        pm.AttachDialog(root);
        pm.AddNotifier(&rec);
        Show(root->GetWidget(), 560, 360);
        rec.Clear();
    }

    template <class W = QWidget>
    W* Part(const char* name) {
        W* part = palette->GetWidget()->findChild<W*>(QLatin1String(name));
        EXPECT_NE(part, nullptr) << name;
        return part;
    }

    // How many colours the user picked since the last look; anything but "colorchanged" from
    // the palette fails.
    int TakePicks() {
        int picks = 0;
        for (const Note& note : rec.Actions()) {
            EXPECT_EQ(note, (Note{"colorchanged", "palette"}));
            ++picks;
        }
        rec.Clear();
        return picks;
    }

    // The hex and the red, green and blue fields show the selected colour.
    void ExpectFieldsShowTheColour() {
        const QRgb rgb = palette->GetSelectColor();
        EXPECT_EQ(Part<QLineEdit>("palette_hex")->text(),
                  QStringLiteral("#%1").arg(rgb & 0xFFFFFFu, 6, 16, QLatin1Char('0')).toUpper());
        EXPECT_EQ(Part<QSpinBox>("palette_red")->value(), qRed(rgb));
        EXPECT_EQ(Part<QSpinBox>("palette_green")->value(), qGreen(rgb));
        EXPECT_EQ(Part<QSpinBox>("palette_blue")->value(), qBlue(rgb));
    }
};

// A point of a part by fractions of its size (0: left or top edge, 1: right or bottom edge).
QPoint At(QWidget* part, double fx, double fy) {
    return {static_cast<int>(std::lround(fx * (part->width() - 1))),
            static_cast<int>(std::lround(fy * (part->height() - 1)))};
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

TEST(PaletteTest, AreaAndValueBarClicksPickTheColourUnderThePointer) {
    PaletteGui gui;
    // Inside the painted parts the pick is the colour shown where the user clicks.
    struct Inside {
        DWORD start;
        const char* part;
        double fx, fy;
    };
    const Inside inside[] = {
        {0xFFFFFFFF, "palette_area", 1.0 / 3, 0.1}, {0xFFFFFFFF, "palette_area", 0.5, 0.5},
        {0xFFFFFFFF, "palette_area", 0.8, 0.7},     {0xFFFFFFFF, "palette_area", 0.15, 0.9},
        {0xFF00FF00, "palette_value", 0.5, 0.5},    {0xFF3366CC, "palette_value", 0.5, 0.4},
        {0xFFFF8000, "palette_value", 0.5, 0.85},
    };
    for (const Inside& c : inside) {
        SCOPED_TRACE(std::string(c.part) + " at " + std::to_string(c.fx) + "," +
                     std::to_string(c.fy));
        gui.palette->SetSelectColor(c.start);
        QWidget* part = gui.Part(c.part);
        const QPoint point = At(part, c.fx, c.fy);
        const QRgb shown = part->grab().toImage().pixel(point);
        ClickAt(part, point);
        EXPECT_TRUE(Near(gui.palette->GetSelectColor(), shown, 3))
            << std::hex << gui.palette->GetSelectColor() << " shown " << shown;
        EXPECT_EQ(gui.TakePicks(), 1);
        gui.ExpectFieldsShowTheColour();
    }
    // What the area shows: hue from red on the left through green, saturation to none at the
    // bottom.
    const QRgb greenish = gui.Part("palette_area")
                              ->grab()
                              .toImage()
                              .pixel(At(gui.Part("palette_area"), 1.0 / 3, 0.1));
    EXPECT_GT(qGreen(greenish), 2 * std::max(qRed(greenish), qBlue(greenish)));

    // Past the painted edges the pick stops at the edge.
    struct Edge {
        const char* name;
        DWORD start;
        const char* part;
        double fx, fy;
        DWORD expected;
    };
    const Edge edges[] = {
        {"area top left is red", 0xFFFFFFFF, "palette_area", 0, 0, 0xFFFF0000},
        {"area bottom is grey", 0xFFFF0000, "palette_area", 0.5, 1, 0xFFFFFFFF},
        {"area right end is red again", 0xFFFFFFFF, "palette_area", 1, 0, 0xFFFF0004},
        {"the area keeps the value", 0xFF808080, "palette_area", 0, 0, 0xFF800000},
        {"black takes full value", 0xFF000000, "palette_area", 0, 0, 0xFFFF0000},
        {"value bar bottom is black", 0xFFFF0000, "palette_value", 0.5, 1, 0xFF000000},
        {"value bar top is full", 0xFF400000, "palette_value", 0.5, 0, 0xFFFF0000},
    };
    for (const Edge& c : edges) {
        SCOPED_TRACE(c.name);
        gui.palette->SetSelectColor(c.start);
        QWidget* part = gui.Part(c.part);
        ClickAt(part, At(part, c.fx, c.fy));
        EXPECT_EQ(gui.palette->GetSelectColor(), c.expected);
        EXPECT_EQ(gui.TakePicks(), 1);
        gui.ExpectFieldsShowTheColour();
    }

    // Through black and back: the hue and saturation survive.
    gui.palette->SetSelectColor(0xFF3366CC);
    QWidget* bar = gui.Part("palette_value");
    ClickAt(bar, At(bar, 0.5, 1));
    EXPECT_EQ(gui.palette->GetSelectColor(), 0xFF000000u);
    ClickAt(bar, At(bar, 0.5, 0));
    EXPECT_TRUE(Near(gui.palette->GetSelectColor(), 0xFF4080FF, 2))
        << std::hex << gui.palette->GetSelectColor();

    // A drag follows the pointer; picking the colour already chosen says nothing.
    gui.rec.Clear();
    gui.palette->SetSelectColor(0xFFFFFFFF);
    QWidget* area = gui.Part("palette_area");
    QWindow* window = area->window()->windowHandle();
    const auto inWindow = [&](double fx, double fy) {
        return area->mapTo(area->window(), At(area, fx, fy));
    };
    const QRgb blueish = area->grab().toImage().pixel(At(area, 2.0 / 3, 0.1));
    EXPECT_GT(qBlue(blueish), 2 * std::max(qRed(blueish), qGreen(blueish)));
    QTest::mousePress(window, Qt::LeftButton, {}, inWindow(0, 0.1));
    QTest::mouseMove(window, inWindow(1.0 / 3, 0.1));
    QTest::mouseMove(window, inWindow(2.0 / 3, 0.1));
    QTest::mouseRelease(window, Qt::LeftButton, {}, inWindow(2.0 / 3, 0.1));
    EXPECT_TRUE(Near(gui.palette->GetSelectColor(), blueish, 3))
        << std::hex << gui.palette->GetSelectColor();
    EXPECT_EQ(gui.TakePicks(), 3);
    ClickAt(area, At(area, 2.0 / 3, 0.1));
    EXPECT_EQ(gui.TakePicks(), 0);
}

TEST(PaletteTest, HexFieldTakesGoodColoursAndRefusesBadOnesVisibly) {
    constexpr DWORD kStart = 0xFF123456;
    struct Case {
        const char* typed;
        Qt::Key key;  // Return applies; Tab leaves the field
        bool accepted;
        DWORD expected;
    };
    const Case cases[] = {
        {"#A0B0C0", Qt::Key_Return, true, 0xFFA0B0C0},
        {"a0b0c1", Qt::Key_Return, true, 0xFFA0B0C1},
        {"  #0199cb ", Qt::Key_Return, true, 0xFF0199CB},
        {"#102030", Qt::Key_Tab, true, 0xFF102030},
        {"#12345", Qt::Key_Return, false, kStart},
        {"#1234567", Qt::Key_Return, false, kStart},
        {"#12G456", Qt::Key_Return, false, kStart},
        {"0x1234", Qt::Key_Return, false, kStart},
        {"##102030", Qt::Key_Return, false, kStart},
        {"red", Qt::Key_Return, false, kStart},
        {"", Qt::Key_Return, false, kStart},
        {"#12G456", Qt::Key_Tab, false, kStart},
    };
    PaletteGui gui;
    auto* hex = gui.Part<QLineEdit>("palette_hex");
    const QString tip = hex->toolTip();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("'") + c.typed + "'");
        gui.palette->SetSelectColor(kStart);
        hex->setFocus(Qt::TabFocusReason);
        hex->selectAll();
        QTest::keyClick(hex, Qt::Key_Backspace);
        QTest::keyClicks(hex, QString::fromUtf8(c.typed));
        QTest::keyClick(hex, c.key);
        EXPECT_EQ(gui.palette->GetSelectColor(), c.expected);
        EXPECT_EQ(gui.TakePicks(), c.accepted ? 1 : 0);
        const bool refusedInPlace = !c.accepted && c.key == Qt::Key_Return;
        EXPECT_EQ(hex->property("refused").toBool(), refusedInPlace);
        if (refusedInPlace) {
            // The bad text stays for the user to mend, marked, with the reason as its tip.
            EXPECT_EQ(hex->text(), QString::fromUtf8(c.typed));
            EXPECT_TRUE(hex->hasFocus());
            EXPECT_NE(hex->toolTip(), tip);
            const QImage marked = hex->grab().toImage();
            QTest::keyClick(hex, Qt::Key_End);
            QTest::keyClick(hex, Qt::Key_Space);  // editing clears the mark
            EXPECT_FALSE(hex->property("refused").toBool());
            EXPECT_EQ(hex->toolTip(), tip);
            EXPECT_NE(hex->grab().toImage(), marked);
            gui.other->SetFocus();  // leaving puts the chosen colour back
        }
        EXPECT_EQ(gui.TakePicks(), 0);
        EXPECT_FALSE(hex->property("refused").toBool());
        gui.ExpectFieldsShowTheColour();
    }
}

TEST(PaletteTest, RedGreenAndBlueFieldsSetOneChannel) {
    struct Case {
        const char* field;
        const char* typed;  // then Return
        DWORD expected;
    };
    const Case cases[] = {
        {"palette_red", "200", 0xFFC83456},
        {"palette_green", "0", 0xFF120056},
        {"palette_blue", "255", 0xFF1234FF},
        {"palette_red", "999", 0xFF633456},  // a number above 255 cannot be typed
    };
    PaletteGui gui;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.typed);
        gui.palette->SetSelectColor(0xFF123456);
        auto* spin = gui.Part<QSpinBox>(c.field);
        spin->setFocus(Qt::TabFocusReason);
        spin->selectAll();
        QTest::keyClicks(spin, QString::fromUtf8(c.typed));
        EXPECT_EQ(gui.TakePicks(), 0) << "nothing applies digit by digit";
        QTest::keyClick(spin, Qt::Key_Return);
        EXPECT_EQ(gui.palette->GetSelectColor(), c.expected);
        EXPECT_EQ(gui.TakePicks(), 1);
        gui.ExpectFieldsShowTheColour();
    }
    // The arrow keys step a channel at once.
    gui.palette->SetSelectColor(0xFF123456);
    auto* blue = gui.Part<QSpinBox>("palette_blue");
    blue->setFocus(Qt::TabFocusReason);
    QTest::keyClick(blue, Qt::Key_Up);
    EXPECT_EQ(gui.palette->GetSelectColor(), 0xFF123457u);
    EXPECT_EQ(gui.TakePicks(), 1);
}

using test::SwatchOf;

TEST(PaletteTest, PresetsAreOursAndPickedByPointerOrKeyboard) {
    PaletteGui gui;
    auto* grid = gui.Part("palette_presets");
    gui.palette->SetSelectColor(0xFF010203);
    for (size_t index : {29u, 21u, 2u}) {
        const DWORD preset = kPresetColours[index];
        ClickAt(grid, SwatchOf(grid, preset));
        EXPECT_EQ(gui.palette->GetSelectColor(), preset) << index;
        EXPECT_EQ(gui.TakePicks(), 1);
        gui.ExpectFieldsShowTheColour();
    }
    // One tab stop; arrows move between the swatches, Space or Enter takes one.
    grid->setFocus(Qt::TabFocusReason);
    QTest::keyClick(grid, Qt::Key_End);
    EXPECT_EQ(gui.TakePicks(), 0);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(gui.palette->GetSelectColor(), kPresetColours[29]);
    QTest::keyClick(grid, Qt::Key_Home);
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(gui.palette->GetSelectColor(), kPresetColours[1]);
    EXPECT_EQ(gui.TakePicks(), 2);
    // The keyboard starts at the swatch of the chosen colour.
    gui.palette->SetSelectColor(kPresetColours[5]);
    gui.other->SetFocus();
    grid->setFocus(Qt::TabFocusReason);
    QTest::keyClick(grid, Qt::Key_Right);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(gui.palette->GetSelectColor(), kPresetColours[6]);
}

TEST(PaletteTest, KeyboardReachesEveryPartWithVisibleFocus) {
    PaletteGui gui;
    gui.palette->SetSelectColor(0xFFFF0000);
    QWidget* area = gui.Part("palette_area");
    area->setFocus(Qt::TabFocusReason);
    // The part that holds the focus (a spin box's focus sits in its inner edit).
    const auto focused = [] {
        for (QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget()) {
            if (w->objectName().startsWith(QLatin1String("palette_"))) {
                return w->objectName().toStdString();
            }
        }
        return std::string("(none)");
    };
    std::vector<std::string> order = {focused()};
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.push_back(focused());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"palette_area", "palette_value", "palette_hex",
                                               "palette_red", "palette_green", "palette_blue",
                                               "palette_presets"}));

    // The keyboard focus frame shows which part has the focus, as everywhere in the window;
    // in the presets a ring shows the swatch the arrow keys are on.
    InstallKeyboardFocusFrame();
    area->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 7; ++i) {
        QWidget* focus = QApplication::focusWidget();
        bool framed = false;
        for (QWidget* w : QApplication::allWidgets()) {
            auto* frame = qobject_cast<QFocusFrame*>(w);
            framed = framed || (frame != nullptr && frame->isVisible() && frame->widget() == focus);
        }
        EXPECT_TRUE(framed) << focused();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QWidget* grid = gui.Part("palette_presets");
    grid->setFocus(Qt::TabFocusReason);
    const QImage before = grid->grab().toImage();
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_NE(grid->grab().toImage(), before);

    // Keys move the markers: Right turns the hue, End takes the value to black and Home
    // brings the colour back. The hue stops at its ends.
    gui.rec.Clear();
    area->setFocus(Qt::TabFocusReason);
    QTest::keyClick(area, Qt::Key_Left);
    EXPECT_EQ(gui.palette->GetSelectColor(), 0xFFFF0000u);
    EXPECT_EQ(gui.TakePicks(), 0);
    QTest::keyClick(area, Qt::Key_Right);
    const DWORD turned = gui.palette->GetSelectColor();
    EXPECT_EQ(qRed(turned), 255);
    EXPECT_GT(qGreen(turned), 0);
    QWidget* bar = gui.Part("palette_value");
    bar->setFocus(Qt::TabFocusReason);
    QTest::keyClick(bar, Qt::Key_End);
    EXPECT_EQ(gui.palette->GetSelectColor(), 0xFF000000u);
    QTest::keyClick(bar, Qt::Key_Home);
    EXPECT_EQ(gui.palette->GetSelectColor(), turned);
    EXPECT_EQ(gui.TakePicks(), 3);
}

TEST(PaletteTest, PartsFitTheSizeAndLeaveOutWhatTheLayoutSays) {
    struct Case {
        const char* name;
        Attrs attrs;
        std::vector<const char*> shown;
        std::vector<const char*> hidden;
    };
    const std::vector<const char*> all = {"palette_area",   "palette_value", "palette_hex",
                                          "palette_red",    "palette_green", "palette_blue",
                                          "palette_presets"};
    const Case cases[] = {
        {"dialog", {{"width", "528"}, {"height", "300"}}, all, {}},
        {"narrow", {{"width", "300"}, {"height", "300"}}, all, {}},
        {"light page",
         {{"width", "236"}, {"height", "172"}, {"rgbfields", "false"}, {"presets", "false"}},
         {"palette_area", "palette_value", "palette_hex"},
         {"palette_red", "palette_green", "palette_blue", "palette_presets"}},
        {"bare",
         {{"width", "236"},
          {"height", "172"},
          {"hexfield", "0"},
          {"rgbfields", "0"},
          {"presets", "0"}},
         {"palette_area", "palette_value"},
         {"palette_hex", "palette_red", "palette_presets"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaletteGui gui(c.attrs);
        const QRect bounds = gui.palette->GetWidget()->rect();
        std::vector<QRect> taken;
        for (const char* name : c.shown) {
            QWidget* part = gui.Part(name);
            ASSERT_TRUE(part->isVisible()) << name;
            const QRect r = part->geometry();
            EXPECT_TRUE(bounds.contains(r)) << name;
            for (const QRect& other : taken) {
                EXPECT_FALSE(r.intersects(other)) << name << " overlaps another part";
            }
            taken.push_back(r);
        }
        EXPECT_GE(gui.Part("palette_area")->height(), 80);
        EXPECT_GE(gui.Part("palette_area")->width(), 120);
        for (const char* name : c.hidden) {
            EXPECT_FALSE(gui.Part(name)->isVisible()) << name;
        }
    }
}

// ---- generic operations --------------------------------------------------------------------

TEST(ControlTest, NamesLookupAndRenaming) {
    Gui gui;
    EXPECT_EQ(gui.pm.FindControl("button"), gui.button);
    EXPECT_EQ(gui.pm.FindControl("row_c_delay")->GetParent(), gui.rowC);
    EXPECT_EQ(gui.pm.FindControl("nothing"), nullptr);
    gui.button->SetName("renamed");
    EXPECT_EQ(gui.pm.FindControl("button"), nullptr);
    EXPECT_EQ(gui.pm.FindControl("renamed"), gui.button);
    EXPECT_EQ(gui.button->GetWidget()->objectName(), "renamed");

    // Controls leave the index with their container; late additions join it.
    gui.list->Remove(gui.rowC);
    EXPECT_EQ(gui.pm.FindControl("row_c"), nullptr);
    EXPECT_EQ(gui.pm.FindControl("row_c_name"), nullptr);
    auto* late = Make<CButtonUI>(nullptr, "late");
    gui.root->AddAt(late, 0);
    EXPECT_EQ(gui.pm.FindControl("late"), late);
    EXPECT_EQ(gui.root->GetItemIndex(late), 0);

    // By point: the control under a client point, through overlays and inner widgets.
    QCoreApplication::processEvents();
    gui.label->SetIsChangerColor(true);
    const RECT pos = gui.label->GetPos();
    EXPECT_GT(pos.Width(), 0);
    EXPECT_EQ(gui.pm.FindControl(POINT{pos.left + 2, pos.top + 2}), gui.label);
    EXPECT_EQ(gui.pm.FindControl(POINT{-5, -5}), nullptr);
}

TEST(ControlTest, GenericProperties) {
    Gui gui;
    CButtonUI* b = gui.button;
    QWidget* w = b->GetWidget();

    b->SetUserData("payload");
    EXPECT_EQ(b->GetUserData(), "payload");
    b->SetToolTip("Explains");
    EXPECT_EQ(w->toolTip(), "Explains");
    EXPECT_EQ(static_cast<QPushButton*>(w)->text(), "Press");
    b->SetText("A&B");
    EXPECT_EQ(static_cast<QPushButton*>(w)->text(), "A&&B");  // shown as typed, no mnemonic

    b->SetEnabled(false);
    EXPECT_FALSE(w->isEnabled());
    b->SetEnabled(true);

    // Visibility includes the parents' flags; widgets follow.
    auto* options = gui.pm.FindControl("options");
    options->SetVisible(false);
    EXPECT_FALSE(gui.optA->IsVisible());
    EXPECT_TRUE(gui.optA->IsOwnVisible());
    EXPECT_FALSE(gui.optA->GetWidget()->isVisible());
    options->SetVisible(true);
    EXPECT_TRUE(gui.optA->IsVisible());
    EXPECT_TRUE(gui.optA->GetWidget()->isVisible());

    b->SetBkColor(0xFF336699);
    EXPECT_EQ(b->GetBkColor(), 0xFF336699u);
    EXPECT_EQ(PixelAt(w, QPoint(2, 2)), qRgb(0x33, 0x66, 0x99));
    gui.label->SetTextColor(0xFFFF0000);
    EXPECT_EQ(gui.label->GetTextColor(), 0xFFFF0000u);
    EXPECT_EQ(static_cast<QLabel*>(gui.label->GetWidget())->palette().color(QPalette::WindowText),
              QColor(Qt::red));
}

TEST(ControlTest, BackgroundImagesAndParts) {
    CPaintManagerUI pm;
    auto* root = Make<CHorizontalLayoutUI>(nullptr, "root");
    auto* whole = Make<CControlUI>(root, "whole", {{"bkimage", "images/controls/solid_green.svg"}});
    auto* part = Make<CControlUI>(
        root, "part", {{"bkimage", "file='images/controls/halves.svg' source='50,0,100,100'"}});
    pm.AttachDialog(root);
    Show(root->GetWidget(), 200, 60);
    EXPECT_EQ(whole->GetBkImage(), "images/controls/solid_green.svg");
    EXPECT_EQ(PixelAt(whole->GetWidget(), QPoint(5, 5)), qRgb(0, 255, 0));
    EXPECT_EQ(PixelAt(part->GetWidget(), QPoint(5, 5)), qRgb(0, 0, 255));
    whole->SetBkImage("");
    whole->SetBkColor(0xFF808080);
    EXPECT_EQ(PixelAt(whole->GetWidget(), QPoint(5, 5)), qRgb(0x80, 0x80, 0x80));
}

TEST(ControlTest, ChangerOverlayBlendsItsColourOverTheControl) {
    CPaintManagerUI pm;
    auto* root = Make<CHorizontalLayoutUI>(nullptr, "root");
    auto* led = Make<CButtonUI>(root, "led", {{"bkcolor", "#FF000000"}, {"width", "40"}});
    pm.AttachDialog(root);
    Show(root->GetWidget(), 100, 40);
    QWidget* w = led->GetWidget();
    led->SetIsChangerColor(true);
    led->SetChangerAlpha(0);
    led->SetChangerColor(0xFFFF0000);
    EXPECT_EQ(PixelAt(w, QPoint(10, 10)), qRgb(0, 0, 0));
    led->SetChangerAlpha(255);
    EXPECT_EQ(PixelAt(w, QPoint(10, 10)), qRgb(255, 0, 0));
    led->SetChangerAlpha(128);
    EXPECT_NEAR(qRed(PixelAt(w, QPoint(10, 10))), 128, 2);
    led->SetChangerAlpha(999);
    EXPECT_EQ(led->GetChangerAlpha(), 255);
    led->SetIsChangerColor(false);
    EXPECT_EQ(PixelAt(w, QPoint(10, 10)), qRgb(0, 0, 0));
    EXPECT_TRUE(led->IsMouseEnabled());
}

TEST(ControlTest, ButtonStatusImagesFollowTheState) {
    CPaintManagerUI pm;
    auto* root = Make<CHorizontalLayoutUI>(nullptr, "root", {{"inset", "10,10,10,10"}});
    auto* button = Make<CButtonUI>(root, "button",
                                   {{"normalimage", "file='images/controls/solid_gray.svg'"},
                                    {"hotimage", "images/controls/solid_green.svg"},
                                    {"pushedimage", "images/controls/solid_blue.svg"},
                                    {"disabledimage", "file='images/controls/solid_red.svg'"},
                                    {"width", "40"},
                                    {"height", "30"}});
    pm.AttachDialog(root);
    Show(root->GetWidget(), 100, 60);
    QWidget* w = button->GetWidget();
    const QPoint inside(5, 5);
    QTest::mouseMove(root->GetWidget(), QPoint(2, 2));
    EXPECT_EQ(PixelAt(w, inside), qRgb(0x80, 0x80, 0x80));
    QTest::mouseMove(w, w->rect().center());
    EXPECT_EQ(PixelAt(w, inside), qRgb(0, 255, 0));
    QTest::mousePress(w, Qt::LeftButton, {}, w->rect().center());
    EXPECT_EQ(PixelAt(w, inside), qRgb(0, 0, 255));
    QTest::mouseRelease(w, Qt::LeftButton, {}, w->rect().center());
    button->SetEnabled(false);
    EXPECT_EQ(PixelAt(w, inside), qRgb(255, 0, 0));
}

TEST(ControlTest, ResourceTextFollowsTheLanguage) {
    Gui gui;
    CResourceManager* resources = CResourceManager::GetInstance();
    ASSERT_TRUE(resources->LoadLanguage("lan_en.xml")) << resources->GetLastError();
    gui.label->SetAttribute("textid", "button_ok");
    EXPECT_TRUE(gui.label->IsResourceText());
    EXPECT_EQ(gui.label->GetText(), "button_ok");
    EXPECT_EQ(gui.label->GetShownText(), "OK");
    auto* row = static_cast<CListLabelElementUI*>(gui.combo->GetItemAt(1));
    row->SetResourceText(true);
    row->SetText("button_cancel");
    gui.combo->SelectItem(1, false, false);
    auto* combo = static_cast<QComboBox*>(gui.combo->GetWidget());
    EXPECT_EQ(combo->itemText(1), "Cancel");
    EXPECT_EQ(gui.combo->GetText(), "Cancel");

    ASSERT_TRUE(resources->LoadLanguage("lan_cn.xml")) << resources->GetLastError();
    resources->ReloadText();
    EXPECT_EQ(static_cast<QLabel*>(gui.label->GetWidget())->text(), QString::fromUtf8("确定"));
    EXPECT_EQ(combo->itemText(1), QString::fromUtf8("取消"));
    EXPECT_EQ(combo->currentText(), QString::fromUtf8("取消"));
    EXPECT_EQ(gui.combo->GetText(), "取消");

    gui.label->SetResourceText(false);
    EXPECT_EQ(static_cast<QLabel*>(gui.label->GetWidget())->text(), "button_ok");
    ASSERT_TRUE(resources->LoadLanguage("lan_en.xml"));
}

// ---- containers ----------------------------------------------------------------------------

TEST(ContainerTest, BoxLayoutPlacesChildren) {
    struct Case {
        const char* what;
        bool horizontal;
        Attrs layout;
        std::vector<Attrs> children;
        std::vector<QRect> expected;  // child geometry inside a 200x100 container
    };
    const Case cases[] = {
        {"fixed children pack at the top",
         false,
         {{"inset", "2,3,4,5"}, {"childpadding", "6"}},
         {{{"height", "20"}}, {{"height", "10"}}},
         {QRect(2, 3, 194, 20), QRect(2, 29, 194, 10)}},
        {"a free child takes the rest",
         false,
         {},
         {{{"height", "20"}}, {}, {{"height", "10"}}},
         {QRect(0, 0, 200, 20), QRect(0, 20, 200, 70), QRect(0, 90, 200, 10)}},
        {"padding and fixed width, left aligned",
         false,
         {},
         {{{"height", "20"}, {"width", "50"}, {"padding", "5,6,7,8"}}, {{"height", "10"}}},
         {QRect(5, 6, 50, 20), QRect(0, 34, 200, 10)}},
        {"centred across",
         false,
         {{"childalign", "center"}},
         {{{"height", "20"}, {"width", "50"}}},
         {QRect(75, 0, 50, 20)}},
        {"horizontal: fixed widths pack left, bottom aligned",
         true,
         {{"childvalign", "bottom"}},
         {{{"width", "30"}, {"height", "40"}}, {{"width", "20"}}},
         {QRect(0, 60, 30, 40), QRect(30, 0, 20, 100)}},
        {"hidden children take no room",
         true,
         {},
         {{{"width", "30"}, {"visible", "false"}}, {{"width", "20"}}},
         {QRect(), QRect(0, 0, 20, 100)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CPaintManagerUI pm;
        CContainerUI* box = c.horizontal ? static_cast<CContainerUI*>(new CHorizontalLayoutUI)
                                         : new CVerticalLayoutUI;
        for (const auto& [key, value] : c.layout) {
            ASSERT_EQ(box->SetAttribute(key, value), AttrStatus::Ok);
        }
        std::vector<CControlUI*> children;
        for (const Attrs& attrs : c.children) {
            children.push_back(Make<CControlUI>(box, "", attrs));
        }
        pm.AttachDialog(box);
        Show(box->GetWidget(), 200, 100);
        for (size_t i = 0; i < children.size(); ++i) {
            if (c.expected[i].isNull()) {
                EXPECT_FALSE(children[i]->GetWidget()->isVisible());
            } else {
                EXPECT_EQ(children[i]->GetWidget()->geometry(), c.expected[i]) << i;
            }
        }
    }
}

TEST(ContainerTest, TabLayoutShowsOnePage) {
    CPaintManagerUI pm;
    auto* tabs = Make<CTabLayoutUI>(nullptr, "tabs", {{"selectedid", "1"}});
    std::vector<CControlUI*> pages;
    for (int i = 0; i < 3; ++i) {
        pages.push_back(Make<CControlUI>(tabs, "page_" + std::to_string(i)));
    }
    pm.AttachDialog(tabs);
    Show(tabs->GetWidget(), 100, 100);
    auto* stack = static_cast<QStackedWidget*>(tabs->GetWidget());
    const auto shown = [&] {
        std::vector<bool> v;
        for (CControlUI* page : pages) {
            v.push_back(page->IsVisible());
        }
        return v;
    };
    EXPECT_EQ(tabs->GetCurSel(), 1);
    EXPECT_EQ(stack->currentIndex(), 1);
    EXPECT_EQ(shown(), (std::vector<bool>{false, true, false}));
    EXPECT_TRUE(pages[1]->GetWidget()->isVisible());

    EXPECT_TRUE(tabs->SelectItem(2));
    EXPECT_EQ(stack->currentIndex(), 2);
    EXPECT_EQ(shown(), (std::vector<bool>{false, false, true}));
    EXPECT_FALSE(pages[1]->GetWidget()->isVisible());
    EXPECT_FALSE(tabs->SelectItem(3));
    EXPECT_FALSE(tabs->SelectItem(-1));
    EXPECT_EQ(tabs->GetCurSel(), 2);

    // A page inserted before the current one keeps the current page in view.
    auto* first = new CControlUI;
    tabs->AddAt(first, 0);
    EXPECT_EQ(tabs->GetCurSel(), 3);
    EXPECT_EQ(stack->currentWidget(), pages[2]->GetWidget());
    EXPECT_FALSE(first->IsVisible());
    // Removing the current page shows a neighbour.
    tabs->Remove(pages[2]);
    EXPECT_EQ(tabs->GetCurSel(), 2);
    EXPECT_EQ(stack->currentWidget(), pages[1]->GetWidget());
    EXPECT_TRUE(pages[1]->IsVisible());
}

// Pages are built when first shown, or when one of their controls is asked for before that; a
// control built early must land in its page, in the window, not in a window of its own.
TEST(ContainerTest, TabLayoutBuildsAPageWhenFirstShownOrAskedFor) {
    Recorder rec;
    CPaintManagerUI pm;
    auto* tabs = Make<CTabLayoutUI>(nullptr, "tabs");
    std::vector<CControlUI*> pages;
    for (int i = 0; i < 4; ++i) {
        auto* page = Make<CVerticalLayoutUI>(tabs, "page_" + std::to_string(i));
        Make<CButtonUI>(page, "btn_" + std::to_string(i), {{"height", "30"}});
        pages.push_back(page);
    }
    pm.AttachDialog(tabs);
    pm.AddNotifier(&rec);
    Show(tabs->GetWidget(), 200, 100);
    auto* stack = static_cast<QStackedWidget*>(tabs->GetWidget());
    const auto built = [&] {
        std::vector<bool> v;
        for (int i = 0; i < tabs->GetCount(); ++i) {
            v.push_back(tabs->IsPageBuilt(i));
        }
        return v;
    };
    EXPECT_EQ(built(), (std::vector<bool>{true, false, false, false}));

    QWidget* early = pm.FindControl("btn_2")->GetWidget();
    EXPECT_EQ(built(), (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(early->window(), stack->window());
    EXPECT_EQ(stack->widget(2), pages[2]->GetWidget());
    EXPECT_TRUE(stack->widget(2)->isAncestorOf(early));
    EXPECT_EQ(stack->currentIndex(), 0);
    EXPECT_FALSE(early->isVisible());

    ASSERT_TRUE(tabs->SelectItem(1));
    EXPECT_EQ(built(), (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(stack->currentWidget(), pages[1]->GetWidget());
    QWidget* shown = pm.FindControl("btn_1")->GetWidget();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(stack));
    EXPECT_TRUE(shown->isVisible());
    rec.Clear();
    Click(pm.FindControl("btn_1"));
    EXPECT_EQ(rec.Actions(), (std::vector<Note>{{notify::kClick, "btn_1"}}));

    // Pages added or removed while some are unbuilt keep the stack in step with the pages.
    tabs->Remove(pages[3]);
    tabs->AddAt(Make<CControlUI>(nullptr, "late"), 0);
    EXPECT_EQ(stack->count(), tabs->GetCount());
    EXPECT_EQ(built(), (std::vector<bool>{false, true, true, true}));
    EXPECT_EQ(stack->currentWidget(), pages[1]->GetWidget());
}

// ---- class operations ----------------------------------------------------------------------

TEST(ListTest, RowsCarryTextDataHeightAndStyle) {
    ASSERT_TRUE(CResourceManager::GetInstance()->LoadResource("res.xml"));
    Gui gui;
    auto* added = new CListLabelElementUI;
    added->SetFixedHeight(25);
    ASSERT_EQ(added->SetAttribute("style", "listex_item_style"), AttrStatus::Ok);
    added->SetText("profile1");
    added->SetUserData("profile1");
    gui.combo->Add(added);
    auto* combo = static_cast<QComboBox*>(gui.combo->GetWidget());
    EXPECT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->itemText(3), "profile1");
    EXPECT_EQ(combo->itemData(3, Qt::SizeHintRole).toSize().height(), 25);
    EXPECT_EQ(combo->itemData(3, Qt::ForegroundRole).value<QColor>(), QColor(0xE0, 0xE0, 0xE0));
    EXPECT_EQ(gui.combo->GetItemAt(3)->GetUserData(), "profile1");
    added->SetText("renamed");
    EXPECT_EQ(combo->itemText(3), "renamed");

    // List rows are the row controls' own widgets.
    auto* list = static_cast<QListWidget*>(gui.list->GetWidget());
    EXPECT_EQ(list->itemWidget(list->item(2)), gui.rowC->GetWidget());
    EXPECT_EQ(list->visualItemRect(list->item(0)).height(), 25);  // the list's item height
    EXPECT_EQ(list->visualItemRect(list->item(2)).height(), 30);  // the row's own
    EXPECT_EQ(static_cast<QLabel*>(gui.list->GetItemAt(1)->GetWidget())->text(), "Row 1");
    EXPECT_EQ(gui.rowC->GetIndex(), 2);
}

TEST(ListTest, SelectionFollowsInsertionsAndRemovals) {
    Gui gui;
    for (IListOwnerUI* owner :
         {static_cast<IListOwnerUI*>(gui.combo), static_cast<IListOwnerUI*>(gui.list)}) {
        auto* container = dynamic_cast<CContainerUI*>(owner);
        ASSERT_TRUE(owner->SelectItem(1, false, false));
        container->AddAt(new CListLabelElementUI, 0);
        EXPECT_EQ(owner->GetCurSel(), 2);
        container->Remove(container->GetItemAt(0));
        EXPECT_EQ(owner->GetCurSel(), 1);
        container->Remove(container->GetItemAt(1));
        EXPECT_EQ(owner->GetCurSel(), -1);
        ASSERT_TRUE(owner->SelectItem(0, false, false));
        EXPECT_TRUE(owner->SelectItem(-1, false, false));
        EXPECT_EQ(owner->GetCurSel(), -1);
    }
    EXPECT_EQ(static_cast<QComboBox*>(gui.combo->GetWidget())->currentIndex(), -1);
    EXPECT_EQ(static_cast<QListWidget*>(gui.list->GetWidget())->currentRow(), -1);
    EXPECT_TRUE(gui.rec.Actions().empty());
}

TEST(ListTest, EnsureVisibleScrollsAndSelectionColoursRows) {
    CPaintManagerUI pm;
    auto* list = Make<CListUI>(nullptr, "list",
                               {{"itemheight", "25"}, {"itemselectedbkcolor", "#FF0000FF"}});
    for (int i = 0; i < 20; ++i) {
        Make<CListLabelElementUI>(list, "", {{"text", "Row " + std::to_string(i)}});
    }
    pm.AttachDialog(list);
    Show(list->GetWidget(), 120, 80);
    auto* view = static_cast<QListWidget*>(list->GetWidget());
    list->EnsureVisible(15);
    EXPECT_GT(view->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(view->viewport()->rect().contains(view->visualItemRect(view->item(15))));
    list->EnsureVisible(0);
    EXPECT_EQ(view->verticalScrollBar()->value(), 0);

    list->SelectItem(1, false, false);
    QWidget* row1 = list->GetItemAt(1)->GetWidget();
    EXPECT_TRUE(static_cast<CListLabelElementUI*>(list->GetItemAt(1))->IsSelected());
    EXPECT_EQ(PixelAt(row1, QPoint(row1->width() - 3, 3)), qRgb(0, 0, 255));
    list->SelectItem(2, false, false);
    EXPECT_NE(PixelAt(row1, QPoint(row1->width() - 3, 3)), qRgb(0, 0, 255));
}

TEST(ValueControlTest, RangesAreKept) {
    Gui gui;
    auto* bar = static_cast<QProgressBar*>(gui.progress->GetWidget());
    EXPECT_EQ(bar->value(), 30);
    gui.progress->SetMaxValue(200);
    gui.progress->SetValue(250);
    EXPECT_EQ(gui.progress->GetValue(), 200);
    gui.progress->SetMinValue(100);
    gui.progress->SetValue(50);
    EXPECT_EQ(gui.progress->GetValue(), 100);
    EXPECT_EQ(bar->minimum(), 100);
    EXPECT_EQ(bar->maximum(), 200);
    gui.progress->SetMinValue(300);  // the maximum follows
    EXPECT_EQ(gui.progress->GetMaxValue(), 300);
    EXPECT_EQ(gui.progress->GetValue(), 300);

    auto* slider = static_cast<QSlider*>(gui.slider->GetWidget());
    gui.slider->SetMinValue(10);
    gui.slider->SetMaxValue(20);
    gui.slider->SetValue(15);
    gui.slider->SetChangeStep(3);
    EXPECT_EQ(slider->value(), 15);
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(gui.slider->GetValue(), 18);
    gui.slider->SetMaxValue(12);
    EXPECT_EQ(gui.slider->GetValue(), 12);
    EXPECT_EQ(slider->value(), 12);
    EXPECT_EQ(gui.rec.Actions(), (std::vector<Note>{{"valuechanged", "slider"}}));
}

TEST(EditTest, TextSelectionCaretAndLimit) {
    Gui gui;
    auto* line = static_cast<QLineEdit*>(gui.edit->GetWidget());
    gui.edit->SetMaxChar(6);
    gui.edit->SetText("abcdefgh");
    EXPECT_EQ(gui.edit->GetText(), "abcdef");
    EXPECT_EQ(line->text(), "abcdef");
    gui.edit->SetSel(1, 3);
    EXPECT_EQ(line->selectedText(), "bc");
    gui.edit->SetSel(2, -1);
    EXPECT_EQ(line->selectedText(), "cdef");
    gui.edit->SetSelAll();
    EXPECT_EQ(line->selectedText(), "abcdef");
    line->setCursorPosition(0);
    gui.edit->SetCaretToEnd();
    EXPECT_EQ(line->cursorPosition(), 6);
    EXPECT_FALSE(line->hasSelectedText());

    gui.edit->SetText("");
    gui.edit->SetAttribute("numberonly", "true");
    QTest::keyClicks(line, "1a2");
    EXPECT_EQ(gui.edit->GetText(), "12");
    gui.edit->SetReadOnly(true);
    QTest::keyClicks(line, "3");
    EXPECT_EQ(gui.edit->GetText(), "12");
}

TEST(LabelTest, TextPaddingAndColour) {
    Gui gui;
    auto* label = static_cast<QLabel*>(gui.label->GetWidget());
    gui.label->SetTextPadding(RECT{7, 2, 5, 1});
    label->ensurePolished();
    const QMargins margins = label->contentsMargins();
    EXPECT_EQ(margins.left(), 7);
    EXPECT_EQ(margins.top(), 2);
    EXPECT_EQ(margins.right(), 5);
    EXPECT_EQ(margins.bottom(), 1);
    EXPECT_EQ(gui.label->GetTextPadding(), (RECT{7, 2, 5, 1}));
    ASSERT_EQ(gui.label->SetAttribute("align", "right"), AttrStatus::Ok);
    EXPECT_TRUE(label->alignment() & Qt::AlignRight);
}

// ---- paint manager -------------------------------------------------------------------------

TEST(PaintManagerTest, OptionGroupsBelongToOneWindow) {
    Gui first;
    Gui second;
    EXPECT_EQ(first.pm.GetOptionGroup("g"), (std::vector<COptionUI*>{first.optA, first.optB}));
    second.optB->Selected(true, true);
    EXPECT_TRUE(first.optA->IsSelected());
    EXPECT_FALSE(second.optA->IsSelected());
    EXPECT_TRUE(first.rec.Actions().empty());

    // Leaving a group, or the window, takes the option out of it.
    first.optB->SetGroup("other");
    EXPECT_EQ(first.pm.GetOptionGroup("g"), (std::vector<COptionUI*>{first.optA}));
    first.optB->Selected(true, false);
    EXPECT_TRUE(first.optA->IsSelected());
    first.optA->GetParent()->AsContainer()->Remove(first.optA);
    EXPECT_TRUE(first.pm.GetOptionGroup("g").empty());
}

TEST(PaintManagerTest, QuitCodeDpiAndFolders) {
    // A quit posted before the loop runs ends it as soon as it starts.
    CPaintManagerUI::PostQuitMessage(3);
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 3);

    CPaintManagerUI pm;
    EXPECT_EQ(pm.GetDPIObj()->GetDPI(), 96);
    pm.SetDPI(144);
    EXPECT_EQ(pm.GetDPIObj()->Scale(10), 15);
    pm.SetDPI(0);
    EXPECT_EQ(pm.GetDPIObj()->GetDPI(), 144);

    const std::string exeDir = CPaintManagerUI::GetInstancePath();
    ASSERT_FALSE(exeDir.empty());
    EXPECT_EQ(exeDir.back(), '/');
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(exeDir + "controls_test")));
    const QString beside = QString::fromStdString(exeDir + "skin");
    if (!QFileInfo::exists(beside)) {
        // The installed data folder, unless a skin folder sits beside the program.
        const std::string installed = CPaintManagerUI::FindSkinFolder();
        EXPECT_EQ(installed.front(), '/');
        EXPECT_TRUE(installed.ends_with("/gaming-mouse-driver/skin/")) << installed;
        ASSERT_TRUE(QDir().mkdir(beside));
        EXPECT_EQ(CPaintManagerUI::FindSkinFolder(), exeDir + "skin/");
        QDir().rmdir(beside);
    }
    EXPECT_EQ(CPaintManagerUI::GetResourcePath(), GMD_TEST_SKIN_DIR);
}

}  // namespace
}  // namespace gmd::ui
