// The message box (results, the self-closing variant, templates), the palette dialog (presets,
// OK and close, placement on the screen) and the about window (placement, release).

#include "app/dialogs.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "mouse/preset_colours.h"
#include "tests/app/app_test_support.h"
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

// The highest-numbered preset button of the palette layout, so the whole suffix is parsed.
int HighestPresetInLayout(QWidget* top) {
    for (int index = static_cast<int>(kPresetColours.size()) - 1; index >= 0; --index) {
        if (ControlIn(top, "ms_dpi_color_png_" + std::to_string(index)) != nullptr) {
            return index;
        }
    }
    return -1;
}

TEST_F(DialogsTest, PaletteDialogReturnsThePickedColourOnlyOnOk) {
    constexpr ui::DWORD kStart = 0xFF123456;
    enum class Pick { Nothing, Preset, Palette };
    struct Case {
        const char* name;
        Pick pick;
        const char* closeWith;
        ui::UINT result;
    };
    const Case cases[] = {
        {"preset then OK", Pick::Preset, "okbtn", 1},
        {"palette then OK", Pick::Palette, "okbtn", 1},
        {"OK alone", Pick::Nothing, "okbtn", 1},
        {"preset then close", Pick::Preset, "closebtn", 2},
    };
    QCursor::setPos(100, 200);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearTraces();
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
            if (c.pick == Pick::Preset) {
                const int index = HighestPresetInLayout(top);
                if (index < 0) {
                    ADD_FAILURE() << "no preset buttons";
                    top->close();
                    return;
                }
                Click(top, "ms_dpi_color_png_" + std::to_string(index));
                picked = kPresetColours[static_cast<size_t>(index)];
                EXPECT_EQ(palette->GetSelectColor(), picked);
            } else if (c.pick == Pick::Palette) {
                picked = 0xFF00A0F0;
                palette->SetSelectColor(picked);
                palette->Notify(ui::notify::kColorChanged);
            }
            EXPECT_EQ(preview->GetBkColor(), picked);
            Click(top, c.closeWith);
        });
        CPalletDialog dialog("GmPalletDialog.xml", kStart);
        EXPECT_EQ(dialog.RunAtCursor(0), c.result);
        EXPECT_EQ(previewAtStart, kStart);
        EXPECT_EQ(dialog.GetColor(), c.result == 1 ? picked : kStart);
        EXPECT_EQ(HasTrace("hongse"), c.pick == Pick::Preset);
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
