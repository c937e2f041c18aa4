// The message box (results, the self-closing variant, templates), the palette dialog (picks, OK,
// Cancel, Escape and close, placement on the screen, its texts) and the about window (placement,
// release).

#include "app/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "mouse/preset_colours.h"
#include "tests/app/app_test_support.h"
#include "tests/support/swatch_probe.h"
#include "ui/control.h"
#include "ui/resource_manager.h"

namespace gmd::app {
namespace {

using testing::AppTest;
using testing::SpinUntil;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The visible top-level window of a window class.
QWidget* TopLevel(const char* windowClass) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(windowClass) && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

// A control of the window that `top` shows.
ui::CControlUI* ControlIn(QWidget* top, const std::string& name) {
    for (QWidget* child : top->findChildren<QWidget*>()) {
        ui::CControlUI* control = ui::CControlUI::FromWidget(child);
        if (control != nullptr && control->GetManager() != nullptr) {
            return control->GetManager()->FindControl(name);
        }
    }
    return nullptr;
}

// Clicks a control; a missing one fails the test and closes the window, so no modal run hangs.
void Click(QWidget* top, const std::string& name) {
    ui::CControlUI* control = ControlIn(top, name);
    if (control == nullptr) {
        ADD_FAILURE() << "no control '" << name << "' in " << top->objectName().toStdString();
        top->close();
        return;
    }
    QTest::mouseClick(control->GetWidget(), Qt::LeftButton);
}

// Runs `action` once a window of the class shows (from inside its modal run).
void WhenShown(const char* windowClass, std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    const auto deadline = Clock::now() + 10s;
    QObject::connect(timer, &QTimer::timeout, [timer, windowClass, deadline, action] {
        QWidget* top = TopLevel(windowClass);
        if (top == nullptr && Clock::now() < deadline) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        if (top == nullptr) {
            ADD_FAILURE() << windowClass << " never showed";
            return;
        }
        action(top);
    });
    timer->start(5);
}

std::string Text(const std::string& id) {
    return ui::CResourceManager::GetInstance()->GetText(id);
}

class DialogsTest : public AppTest {};

TEST_F(DialogsTest, MessageBoxReturnsOneForConfirmOnlyAndOffersCancelOnlyWhenItAsks) {
    CMainWnd* wnd = CreateMainWnd();
    struct Case {
        const char* button;
        const char* text;
        bool isTextId;
        bool ask;
        int expected;
    };
    const Case cases[] = {
        {"confirm_btn", "message_text_3", true, false, 1},
        {"closebtn", "a literal message", false, false, 0},
        {"confirm_btn", "message_text_12", true, true, 1},
        {"cancel_btn", "a literal question", false, true, 0},
        {"closebtn", "message_text_12", true, true, 0},
    };
    ASSERT_NE(Text("message_text_3"), "message_text_3") << "the language file lacks the text";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + (c.ask ? " asking" : " telling"));
        std::string shown;
        bool cancelShown = !c.ask;
        WhenShown("MsgWnd", [&](QWidget* top) {
            if (ui::CControlUI* message = ControlIn(top, "MessageText")) {
                shown = message->GetShownText();
            }
            if (ui::CControlUI* cancel = ControlIn(top, "cancel_btn")) {
                cancelShown = cancel->GetWidget()->isVisible();
            }
            Click(top, c.button);
        });
        const int result = c.ask ? (wnd->AskMessageBox(c.text, c.isTextId) ? 1 : 0)
                                 : wnd->ShowMessageBox(c.text, c.isTextId);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(cancelShown, c.ask);
        EXPECT_EQ(shown, c.isTextId ? Text(c.text) : std::string(c.text));
        EXPECT_EQ(TopLevel("MsgWnd"), nullptr);
    }
}

TEST_F(DialogsTest, SelfClosingBoxClosesAfterHalfASecondWithZero) {
    CMainWnd* wnd = CreateMainWnd();
    auto start = Clock::now();
    wnd->ShowTimedMessageBox(true, "message_text_20");
    auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 400ms);
    EXPECT_LT(elapsed, 10s);

    // The result of a box that closed itself.
    auto* box = new CMsgWnd;  // deletes itself
    ASSERT_NE(box->Create(wnd->GetHWND(), "msgwnd", ui::WS_POPUP, ui::WS_EX_TOOLWINDOW), 0u);
    ui::SetTimer(box->GetHWND(), CMsgWnd::kAutoCloseTimer, CMsgWnd::kAutoCloseMs);
    EXPECT_EQ(box->ShowModal(), 0u);

    // Without the flag the box waits for the user.
    bool answered = false;
    WhenShown("MsgWnd", [&](QWidget* top) {
        QTimer::singleShot(700, top, [&answered, top] {
            answered = true;
            Click(top, "confirm_btn");
        });
    });
    start = Clock::now();
    wnd->ShowTimedMessageBox(false, "message_text_20");
    EXPECT_TRUE(answered);
    EXPECT_GE(Clock::now() - start, 700ms);
}

TEST_F(DialogsTest, TemplatesAreFilledThroughTheHiddenLabel) {
    CMainWnd* wnd = CreateMainWnd();
    for (int language : {0, 1}) {
        SCOPED_TRACE(language);
        wnd->SwitchLanguage(language);
        const std::string pattern = Text("message_text_17");
        ASSERT_NE(pattern.find("%d"), std::string::npos) << pattern;
        const std::string filled = wnd->FormatTemplate("message_text_17", 50);
        EXPECT_EQ(filled, FillNumberTemplate(pattern, 50));
        EXPECT_NE(filled.find("50"), std::string::npos);
        EXPECT_EQ(filled.find("%d"), std::string::npos);
    }

    struct Case {
        const char* pattern;
        int number;
        const char* expected;
    };
    const Case cases[] = {
        {"at most %d macros", 50, "at most 50 macros"},
        {"%d%% done", 7, "7% done"},
        {"%d and %d", 3, "3 and %d"},  // one number fills one place
        {"%s %n %x %d", -1, "%s %n %x -1"},
        {"no place", 5, "no place"},
        {"ends with %", 1, "ends with %"},
        {"", 1, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FillNumberTemplate(c.pattern, c.number), c.expected) << c.pattern;
    }
}

using test::SwatchOf;

// A part of the palette in the dialog `top` (by its object name).
template <class W = QWidget>
W* PalettePart(QWidget* top, const char* name) {
    W* part = top->findChild<W*>(QLatin1String(name));
    if (part == nullptr) {
        ADD_FAILURE() << "no palette part " << name;
    }
    return part;
}

enum class Pick { Nothing, Preset, Hex };
constexpr ui::DWORD kTypedColour = 0xFF00A0F0;

// Picks a colour in the dialog the way a user does; returns the colour picked.
ui::DWORD PickIn(QWidget* top, Pick pick, ui::DWORD unchanged) {
    if (pick == Pick::Preset) {
        QWidget* grid = PalettePart(top, "palette_presets");
        if (grid != nullptr) {
            QTest::mouseClick(grid, Qt::LeftButton, {}, SwatchOf(grid, kPresetColours[29]));
        }
        return kPresetColours[29];
    }
    if (pick == Pick::Hex) {
        if (auto* hex = PalettePart<QLineEdit>(top, "palette_hex")) {
            hex->setFocus();
            hex->selectAll();
            QTest::keyClicks(hex, QStringLiteral("#00a0f0"));
            QTest::keyClick(hex, Qt::Key_Return);
        }
        return kTypedColour;
    }
    return unchanged;
}

// Answers the dialog: a button by name, or "Escape" from the focused part.
void Answer(QWidget* top, const std::string& how) {
    if (how == "Escape") {
        top->activateWindow();
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr && focus->window() == top ? focus : top, Qt::Key_Escape);
        return;
    }
    Click(top, how);
}

TEST_F(DialogsTest, PaletteDialogReturnsThePickedColourOnlyOnOk) {
    constexpr ui::DWORD kStart = 0xFF123456;
    struct Case {
        const char* name;
        Pick pick;
        const char* answer;
        ui::UINT result;
    };
    const Case cases[] = {
        {"preset then OK", Pick::Preset, "okbtn", 1},
        {"hex then OK", Pick::Hex, "okbtn", 1},
        {"OK alone", Pick::Nothing, "okbtn", 1},
        {"preset then Cancel", Pick::Preset, "cancelbtn", 2},
        {"hex then Escape", Pick::Hex, "Escape", 2},
        {"preset then close", Pick::Preset, "closebtn", 2},
    };
    QCursor::setPos(100, 200);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui::DWORD picked = kStart;
        ui::DWORD previewAtStart = 0;
        WhenShown("UIPalletDialog", [&](QWidget* top) {
            EXPECT_EQ(top->pos(), QCursor::pos() + QPoint(-20, 20));
            ui::CControlUI* preview = ControlIn(top, "color_show_btn");
            auto* palette = dynamic_cast<ui::CColorPaletteUI*>(ControlIn(top, "Pallet"));
            if (preview == nullptr || palette == nullptr) {
                ADD_FAILURE() << "the palette layout lacks its preview or palette";
                top->close();
                return;
            }
            previewAtStart = preview->GetBkColor();
            EXPECT_EQ(palette->GetSelectColor(), kStart);
            picked = PickIn(top, c.pick, kStart);
            EXPECT_EQ(palette->GetSelectColor(), picked);
            EXPECT_EQ(preview->GetBkColor(), picked);
            Answer(top, c.answer);
        });
        CPalletDialog dialog("GmPalletDialog.xml", kStart);
        EXPECT_EQ(dialog.RunAtCursor(0), c.result);
        EXPECT_EQ(previewAtStart, kStart);
        EXPECT_EQ(dialog.GetColor(), c.result == 1 ? picked : kStart);
        EXPECT_EQ(TopLevel("UIPalletDialog"), nullptr);
    }
}

TEST_F(DialogsTest, PaletteDialogTakesPresetButtonsOfItsLayout) {
    const std::string layout = home_.path().toStdString() + "/preset_buttons.xml";
    std::ofstream(layout) << R"(<Window size="400,300"><VerticalLayout>
        <ColorPalette name="Pallet" presets="false" height="200"/>
        <HorizontalLayout height="30"><Button name="color_show_btn"/>
        <Button name="ms_dpi_color_png_29"/><Button name="ms_dpi_color_png_x"/>
        <Button name="ms_dpi_color_png_30"/><Button name="okbtn"/></HorizontalLayout>
        </VerticalLayout></Window>)";
    struct Case {
        const char* button;
        ui::DWORD expected;
    };
    const Case cases[] = {
        {"ms_dpi_color_png_29", kPresetColours[29]},
        {"ms_dpi_color_png_x", kPresetColours[0]},  // no number: the first preset
        {"ms_dpi_color_png_30", 0xFF010203},        // past the table: nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        ClearTraces();
        WhenShown("UIPalletDialog", [&](QWidget* top) {
            Click(top, c.button);
            Click(top, "okbtn");
        });
        CPalletDialog dialog(layout, 0xFF010203);
        EXPECT_EQ(dialog.RunAtCursor(0), CPalletDialog::kResultOk);
        EXPECT_EQ(dialog.GetColor(), c.expected);
        EXPECT_TRUE(HasTrace("hongse"));
    }
}

// Near the screen's lower right corner the rule would put OK out of reach: the dialog moves
// onto the screen instead.
TEST_F(DialogsTest, PaletteDialogStaysOnTheScreen) {
    QCursor::setPos(700, 700);
    QRect shownAt;
    WhenShown("UIPalletDialog", [&](QWidget* top) {
        shownAt = top->geometry();
        EXPECT_TRUE(top->screen()->availableGeometry().contains(shownAt));
        Click(top, "closebtn");
    });
    CPalletDialog dialog("GmPalletDialog.xml", 0xFF010203);
    EXPECT_EQ(dialog.RunAtCursor(0), CPalletDialog::kResultClosed);
    EXPECT_FALSE(shownAt.isEmpty());
}

TEST_F(DialogsTest, PaletteDialogWithoutAPaletteNeverReturnsOk) {
    const std::string layout = home_.path().toStdString() + "/no_palette.xml";
    std::ofstream(layout) << R"(<Window size="200,100"><HorizontalLayout>
        <Button name="color_show_btn"/><Button name="okbtn"/><Button name="closebtn"/>
        </HorizontalLayout></Window>)";
    WhenShown("UIPalletDialog", [](QWidget* top) { Click(top, "okbtn"); });
    CPalletDialog dialog(layout, 0xFF010203);
    EXPECT_EQ(dialog.RunAtCursor(0), CPalletDialog::kResultClosed);
    EXPECT_EQ(dialog.GetColor(), 0xFF010203u);
}

TEST_F(DialogsTest, DpiStageColourChangesOnOkOnly) {
    CreateMainWnd();
    // The performance page, where the stage colours are.
    for (const char* tab : {"ms_tab", "ms_rich_Op_tab"}) {
        auto* option = dynamic_cast<ui::COptionUI*>(Find(tab));
        ASSERT_NE(option, nullptr) << tab;
        option->Selected(true);
    }
    ui::CControlUI* button = Find("ms_DPIcolor_btn_2");
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(SpinUntil([&] { return button->GetWidget()->isVisible(); }));
    struct Case {
        const char* name;
        Pick pick;
        const char* answer;
        bool applied;
    };
    const Case cases[] = {
        {"Cancel keeps it", Pick::Hex, "cancelbtn", false},
        {"Escape keeps it", Pick::Preset, "Escape", false},
        {"closing keeps it", Pick::Hex, "closebtn", false},
        {"OK applies the typed colour", Pick::Hex, "okbtn", true},
        {"OK applies the preset", Pick::Preset, "okbtn", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        button->SetBkColor(0xFF112233);
        calls_->Clear();
        ui::DWORD picked = 0;
        WhenShown("UIPalletDialog", [&](QWidget* top) {
            picked = PickIn(top, c.pick, 0);
            Answer(top, c.answer);
        });
        QTest::mouseClick(button->GetWidget(), Qt::LeftButton);
        const ui::DWORD expected = c.applied ? picked : 0xFF112233;
        EXPECT_EQ(button->GetBkColor(), expected);
        EXPECT_EQ(calls_->CountPrefix("SetDpiStageColour"), c.applied ? 1 : 0);
        if (c.applied) {
            char call[64];
            std::snprintf(call, sizeof call, "SetDpiStageColour(2,0x%08X)", expected);
            EXPECT_TRUE(calls_->Contains(call)) << call;
        }
    }
}

// The texts a user can meet in `root` and the widgets in it: labels, button texts, tips and
// the names read out to screen reader users.
void CollectTexts(QWidget* root, std::vector<QString>& texts) {
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            texts.push_back(label->text());
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            texts.push_back(button->text());
        }
        texts.push_back(widget->toolTip());
        texts.push_back(widget->accessibleName());
    }
}

// Every text of the palettes in the Chinese interfaces, on the lighting pages after a switch
// and in the dialog, tips and the refusal included: no English word, no text id unresolved.
TEST_F(DialogsTest, PalettesSpeakChinese) {
    CMainWnd* wnd = CreateMainWnd();
    auto* resources = ui::CResourceManager::GetInstance();
    for (const char* file : {"lan_cn.xml", "lan_sn.xml"}) {
        SCOPED_TRACE(file);
        if (std::string(file) == "lan_cn.xml") {
            wnd->SwitchLanguage(1);
        } else {
            // Traditional Chinese is chosen at start-up; the live texts reload the same way.
            ASSERT_TRUE(resources->LoadLanguage(file)) << resources->GetLastError();
            resources->ReloadText();
        }
        std::vector<QString> texts;
        for (const char* name :
             {"ms_deng_Color_Pallet", "kb_deng_Color_Pallet", "mp_deng_Color_Pallet"}) {
            ui::CControlUI* palette = Find(name);
            ASSERT_NE(palette, nullptr) << name;
            CollectTexts(palette->GetWidget(), texts);
        }
        WhenShown("UIPalletDialog", [&](QWidget* top) {
            // A refused colour shows its reason as the field's tip.
            if (auto* hex = PalettePart<QLineEdit>(top, "palette_hex")) {
                hex->setFocus();
                hex->selectAll();
                QTest::keyClicks(hex, QStringLiteral("#12"));
                QTest::keyClick(hex, Qt::Key_Return);
            }
            CollectTexts(top, texts);
            if (QWidget* grid = PalettePart(top, "palette_presets")) {
                const QPoint at = SwatchOf(grid, kPresetColours[29]);
                QHelpEvent help(QEvent::ToolTip, at, grid->mapToGlobal(at));
                QApplication::sendEvent(grid, &help);
                texts.push_back(QToolTip::text());
                EXPECT_TRUE(QToolTip::text().contains(QLatin1String("#4776A4")))
                    << QToolTip::text().toStdString();
                QToolTip::hideText();
            }
            Click(top, "cancelbtn");
        });
        CPalletDialog dialog("GmPalletDialog.xml", 0xFF0199CB);
        EXPECT_EQ(dialog.RunAtCursor(wnd->GetHWND()), CPalletDialog::kResultClosed);
        EXPECT_GT(texts.size(), 60u);
        // Colour notations are not words.
        const QRegularExpression notation(QStringLiteral("#(RRGGBB|[0-9A-Fa-f]{6})"));
        const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
        for (QString text : texts) {
            text.remove(notation);
            EXPECT_FALSE(text.contains(latin)) << text.toStdString();
        }
    }
    wnd->SwitchLanguage(0);
}

// The about window opens at its rule's place (twice the main window's left edge, half its
// bottom edge less 80) where that is on the screen, and is moved onto it where not. It has no
// web link: the project has no page of its own.
TEST_F(DialogsTest, AboutCommandPlacesTheWindowOnTheScreen) {
    CMainWnd* wnd = CreateMainWnd();
    const QRect work = wnd->GetWidget()->screen()->availableGeometry();
    for (const QPoint mainAt : {QPoint(120, 90), QPoint(300, 400)}) {
        SCOPED_TRACE(mainAt.y());
        wnd->MoveWindow(mainAt.x(), mainAt.y());
        ASSERT_TRUE(SpinUntil([&] { return wnd->GetWindowRect().left == mainAt.x(); }));
        const ui::RECT main = wnd->GetWindowRect();

        auto* command = new ui::MenuCmd;  // the receiver owns it
        command->szName = "About_setting";
        ui::SendMessage(wnd->GetHWND(), ui::WM_MENU_CLICK, reinterpret_cast<ui::WPARAM>(command));
        ASSERT_TRUE(SpinUntil([] { return TopLevel("UICOPYRIGHT") != nullptr; }));
        QWidget* about = TopLevel("UICOPYRIGHT");
        ui::CControlUI* close = ControlIn(about, "closebtn");
        ASSERT_NE(close, nullptr);
        const ui::SIZE layoutSize = close->GetManager()->GetInitSize();
        EXPECT_EQ(about->size(), QSize(layoutSize.cx, layoutSize.cy));
        const QRect rule(main.left * 2, main.bottom / 2 - 80, layoutSize.cx, layoutSize.cy);
        EXPECT_TRUE(work.contains(about->geometry())) << "off the screen";
        if (work.contains(rule)) {
            EXPECT_EQ(about->pos(), rule.topLeft());
        }
        EXPECT_EQ(ControlIn(about, "NetText"), nullptr);

        Click(about, "closebtn");
        EXPECT_TRUE(SpinUntil([] { return TopLevel("UICOPYRIGHT") == nullptr; }));
    }
}

class ProbeCopyright : public Ccopyright {
  public:
    explicit ProbeCopyright(bool* deleted) : deleted_(deleted) {}
    ~ProbeCopyright() override { *deleted_ = true; }

  private:
    bool* deleted_;
};

TEST_F(DialogsTest, AboutWindowIsReleasedWhenItCloses) {
    bool deleted = false;
    auto* about = new ProbeCopyright(&deleted);
    ASSERT_NE(about->Create(0, "about", ui::UI_WNDSTYLE_DIALOG, 0x100), 0u);
    ASSERT_TRUE(SpinUntil([] { return TopLevel("UICOPYRIGHT") != nullptr; }));
    Click(TopLevel("UICOPYRIGHT"), "closebtn");
    EXPECT_TRUE(SpinUntil([&] { return deleted; }));
}

}  // namespace
}  // namespace gmd::app
