// Windows: layout build and first-show order, modal results, messages and timers from other
// threads, closing while a worker waits, registered messages.

#include "ui/window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusFrame>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/spin_until.h"
#include "ui/control.h"
#include "ui/focus_frame.h"
#include "ui/resource_manager.h"

namespace gmd::ui {
namespace {

using namespace std::chrono_literals;
using gmd::test::SpinUntil;
using Clock = std::chrono::steady_clock;

constexpr UINT kAdd = WM_USER + 1;            // replies wParam + lParam
constexpr UINT kRecord = WM_USER + 2;         // records (wParam, lParam)
constexpr UINT kMustNotArrive = WM_USER + 3;  // counted; a closed window never sees it

class TestWindow : public WindowImplBase {
  public:
    explicit TestWindow(std::string skin = "XML_TESTWND", bool deleteOnFinal = false)
        : skin_(std::move(skin)), deleteOnFinal_(deleteOnFinal) {}

    HWND Open(DWORD style = UI_WNDSTYLE_FRAME, DWORD exStyle = 0, HWND parent = 0) {
        return Create(parent, "window test", style, exStyle);
    }
    QWidget* Widget(const char* name) {
        CControlUI* control = m_pm.FindControl(name);
        return control != nullptr ? control->GetWidget() : nullptr;
    }
    using WindowImplBase::GetBuildError;

    // Everything below is touched on the UI thread only.
    std::vector<std::string> events;
    std::vector<std::pair<WPARAM, LPARAM>> records;
    std::map<UINT, std::vector<Clock::time_point>> timers;
    std::vector<WPARAM> activations;
    std::vector<std::string> edits;  // "return name" and "textchanged name"
    int sizeNotifications = 0;
    int mustNotArrive = 0;
    std::thread::id handlerThread;
    std::function<void()> onDestroy;
    bool* finalFlag = nullptr;  // set by OnFinalMessage, for windows that delete themselves

  protected:
    std::string GetWindowClassName() const override { return "TestWnd"; }
    std::string GetSkinFile() const override { return skin_; }
    void InitWindow() override { events.push_back("InitWindow"); }

    void Notify(TNotifyUI& msg) override {
        if ((msg.sType == notify::kReturn || msg.sType == notify::kTextChanged) &&
            msg.pSender != nullptr) {
            edits.push_back(msg.sType + " " + msg.pSender->GetName());
            return;
        }
        if (msg.sType == notify::kWindowInit) {
            events.push_back("windowinit");
        } else if (msg.sType == notify::kWindowSize) {
            ++sizeNotifications;
        } else if (msg.sType == notify::kClick && msg.pSender != nullptr &&
                   msg.pSender->GetName() == "confirm_btn") {
            Close(1);
        } else if (msg.sType == notify::kClick && msg.pSender != nullptr &&
                   msg.pSender->GetName() == "cancel_btn") {
            Close(2);
        } else {
            WindowImplBase::Notify(msg);
        }
    }

    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override {
        handled = true;
        switch (msg) {
            case kAdd:
                handlerThread = std::this_thread::get_id();
                return static_cast<LRESULT>(wParam) + lParam;
            case kRecord:
                records.emplace_back(wParam, lParam);
                return 0;
            case kMustNotArrive:
                ++mustNotArrive;
                return 1;
            case WM_ACTIVATE:
                activations.push_back(wParam);
                break;
            case WM_DESTROY:
                events.push_back("WM_DESTROY");
                if (onDestroy) {
                    onDestroy();
                }
                return 0;
            default:
                break;
        }
        handled = false;  // WM_TIMER goes on to OnTimer
        return 0;
    }

    LRESULT OnTimer(UINT /*msg*/, WPARAM wParam, LPARAM /*lParam*/, bool& handled) override {
        timers[static_cast<UINT>(wParam)].push_back(Clock::now());
        handled = true;
        return 0;
    }

    void OnFinalMessage(HWND /*hwnd*/) override {
        events.push_back("final");
        if (finalFlag != nullptr) {
            *finalFlag = true;
        }
        if (deleteOnFinal_) {
            delete this;
        }
    }

  private:
    std::string skin_;
    bool deleteOnFinal_;
};

class WindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(CResourceManager::GetInstance()->LoadResource("res.xml"))
            << CResourceManager::GetInstance()->GetLastError();
    }
};

TEST_F(WindowTest, BuildsTheLayoutThenInitWindowThenWindowInitOnce) {
    TestWindow w;
    const HWND hwnd = w.Open();
    ASSERT_NE(hwnd, 0u);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(w.GetBuildError(), "");
    EXPECT_NE(w.Widget("confirm_btn"), nullptr);
    EXPECT_TRUE(w.IsWindowVisible());
    // The layout's size applies when the creator gives none.
    EXPECT_EQ(w.GetWindowRect().Width(), 320);
    EXPECT_EQ(w.GetWindowRect().Height(), 180);
    // "windowinit" is posted, so InitWindow's work is done before it arrives.
    EXPECT_EQ(w.events, std::vector<std::string>{"InitWindow"});
    ASSERT_TRUE(SpinUntil([&] { return w.events.size() >= 2; }));
    w.ShowWindow(false);
    w.ShowWindow(true);
    QTest::qWait(30);
    EXPECT_EQ(w.events, (std::vector<std::string>{"InitWindow", "windowinit"}));

    const int sizes = w.sizeNotifications;
    w.ResizeClient(400, 260);
    EXPECT_TRUE(SpinUntil([&] { return w.sizeNotifications > sizes; }));

    // A window created hidden hears "windowinit" when it is first shown. Handles only grow.
    TestWindow hidden;
    const HWND second = hidden.Open(WS_POPUP, WS_EX_TOOLWINDOW);
    EXPECT_GT(second, hwnd);
    QTest::qWait(30);
    EXPECT_EQ(hidden.events, std::vector<std::string>{"InitWindow"});
    hidden.ShowWindow(true);
    EXPECT_TRUE(SpinUntil([&] { return hidden.events.size() == 2; }));
    EXPECT_EQ(hidden.events.back(), "windowinit");
}

TEST_F(WindowTest, LayoutThatFailsToBuildLeavesAnEmptyWindowAndTheError) {
    TestWindow w("no_such_layout.xml");
    const HWND hwnd = w.Open();
    ASSERT_NE(hwnd, 0u);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_NE(w.GetBuildError().find("no_such_layout.xml"), std::string::npos) << w.GetBuildError();
    EXPECT_EQ(w.GetPaintManager().GetRoot(), nullptr);
    // The window still lives its life: InitWindow, "windowinit", messages.
    EXPECT_TRUE(SpinUntil([&] { return w.events.size() == 2; }));
    EXPECT_EQ(SendMessage(hwnd, kAdd, 2, 3), 5);
}

TEST_F(WindowTest, ModalRunReturnsTheCodeOfTheButtonThatClosedIt) {
    struct Case {
        const char* button;
        UINT code;
        bool deletesItself;  // like a message box: deleted in OnFinalMessage
    };
    const Case cases[] = {
        {"confirm_btn", 1, false},
        {"cancel_btn", 2, false},
        {"closebtn", 0, false},  // the default handling of the close button
        {"confirm_btn", 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + (c.deletesItself ? " (self-deleting)" : ""));
        auto owned = std::make_unique<TestWindow>("XML_TESTWND", c.deletesItself);
        TestWindow* w = c.deletesItself ? owned.release() : owned.get();
        bool finalCalled = false;
        w->finalFlag = &finalCalled;
        const HWND hwnd = w->Open(WS_POPUP, WS_EX_TOOLWINDOW);
        ASSERT_NE(hwnd, 0u);
        QTimer::singleShot(0, [w, &c] {
            ASSERT_TRUE(w->IsModal());
            ASSERT_NE(w->Widget(c.button), nullptr);
            QTest::mouseClick(w->Widget(c.button), Qt::LeftButton);
        });
        EXPECT_EQ(w->ShowModal(), c.code);
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_TRUE(SpinUntil([&] { return finalCalled; }));
        if (!c.deletesItself) {
            EXPECT_FALSE(w->IsModal());
            EXPECT_EQ(w->events.back(), "final");
            EXPECT_EQ(w->events[w->events.size() - 2], "WM_DESTROY");
        }
    }
}

TEST_F(WindowTest, SendFromAWorkerWaitsForTheUiThreadAndReturnsItsReply) {
    TestWindow w;
    const HWND hwnd = w.Open();
    ASSERT_NE(hwnd, 0u);

    std::atomic<LRESULT> reply{-1};
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        reply = SendMessage(hwnd, kAdd, 40, 2);
        returned = true;
    });
    // The UI thread runs no events yet, so the worker must still be waiting.
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(returned);
    ASSERT_TRUE(SpinUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(reply, 42);
    EXPECT_EQ(w.handlerThread, std::this_thread::get_id());

    // On the UI thread a send is a direct call; unknown handles answer 0 on either side.
    EXPECT_EQ(SendMessage(hwnd, kAdd, 1, 2), 3);
    EXPECT_EQ(w.SendMessage(kAdd, 3, 4), 7);
    EXPECT_EQ(SendMessage(hwnd + 1000, kAdd, 1, 1), 0);
    std::thread([&] { reply = SendMessage(hwnd + 1000, kAdd, 1, 1); }).join();
    EXPECT_EQ(reply, 0);
}

TEST_F(WindowTest, PostsFromSeveralThreadsArriveInTheOrderEachThreadSentThem) {
    TestWindow w;
    const HWND hwnd = w.Open();
    ASSERT_NE(hwnd, 0u);
    constexpr int kThreads = 3;
    constexpr int kEach = 300;
    std::atomic<int> refused{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                if (!PostMessage(hwnd, kRecord, static_cast<WPARAM>(i), t)) {
                    ++refused;
                }
            }
        });
    }
    // A post from the UI thread is queued as well, never handled on the spot.
    EXPECT_TRUE(PostMessage(hwnd, kRecord, 0, kThreads));
    EXPECT_TRUE(std::none_of(w.records.begin(), w.records.end(),
                             [](const auto& r) { return r.second == kThreads; }));
    for (auto& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(refused, 0);
    ASSERT_TRUE(SpinUntil([&] { return w.records.size() == kThreads * kEach + 1; }));
    std::vector<int> next(kThreads + 1, 0);
    for (const auto& [seq, thread] : w.records) {
        ASSERT_EQ(static_cast<int>(seq), next[static_cast<size_t>(thread)]) << "thread " << thread;
        ++next[static_cast<size_t>(thread)];
    }
    EXPECT_FALSE(PostMessage(0, kRecord));
    EXPECT_FALSE(PostMessage(hwnd + 1000, kRecord));
}

TEST_F(WindowTest, SendToAWindowThatClosesWhileAWorkerWaitsReturnsZero) {
    TestWindow w;
    const HWND hwnd = w.Open();
    ASSERT_NE(hwnd, 0u);
    std::atomic<bool> sending{false};
    std::atomic<LRESULT> reply{-1};
    std::thread worker([&] {
        sending = true;
        reply = SendMessage(hwnd, kMustNotArrive);
    });
    // The window waits for the worker while it is destroyed, as the main window does.
    w.onDestroy = [&] { worker.join(); };
    while (!sending) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(20ms);
    w.Close(0);  // no event has run: the send is still queued
    EXPECT_FALSE(worker.joinable());
    EXPECT_EQ(reply, 0);
    EXPECT_FALSE(IsWindow(hwnd));

    // Later requests are refused at once.
    std::thread([&] {
        EXPECT_EQ(SendMessage(hwnd, kMustNotArrive), 0);
        EXPECT_FALSE(PostMessage(hwnd, kMustNotArrive));
        EXPECT_FALSE(SetTimer(hwnd, 1, 1));
    }).join();
    EXPECT_EQ(SendMessage(hwnd, kMustNotArrive), 0);
    QTest::qWait(30);
    EXPECT_EQ(w.mustNotArrive, 0);
}

TEST_F(WindowTest, TimersArmedAndKilledFromAWorkerStopAndStopWithTheWindow) {
    TestWindow w;
    const HWND hwnd = w.Open();
    ASSERT_NE(hwnd, 0u);
    std::thread([&] { EXPECT_TRUE(SetTimer(hwnd, 5, 10)); }).join();
    ASSERT_TRUE(SpinUntil([&] { return w.timers[5].size() >= 3; }));
    std::thread([&] { EXPECT_TRUE(KillTimer(hwnd, 5)); }).join();
    QTest::qWait(30);  // the kill has been carried over
    const size_t fired = w.timers[5].size();
    QTest::qWait(100);
    EXPECT_EQ(w.timers[5].size(), fired);
    EXPECT_FALSE(KillTimer(hwnd, 5));  // no longer running
    EXPECT_FALSE(KillTimer(hwnd, 99));

    // Closing stops the rest.
    EXPECT_TRUE(SetTimer(hwnd, 6, 10));
    ASSERT_TRUE(SpinUntil([&] { return !w.timers[6].empty(); }));
    w.Close(0);
    const size_t before = w.timers[6].size();
    QTest::qWait(60);
    EXPECT_EQ(w.timers[6].size(), before);
}

TEST_F(WindowTest, ArmingARunningTimerRestartsItsPeriod) {
    TestWindow w;
    const HWND hwnd = w.Open();
    ASSERT_NE(hwnd, 0u);
    constexpr auto kPeriod = 300ms;
    ASSERT_TRUE(SetTimer(hwnd, 7, static_cast<UINT>(kPeriod.count())));
    // No events run during the sleep, so the first arming cannot fire before the second.
    std::this_thread::sleep_for(100ms);
    const auto rearmed = Clock::now();
    ASSERT_TRUE(SetTimer(hwnd, 7, static_cast<UINT>(kPeriod.count())));
    ASSERT_TRUE(SpinUntil([&] { return !w.timers[7].empty(); }));
    KillTimer(hwnd, 7);
    const auto after = w.timers[7].front() - rearmed;
    // The old arming would have fired about 200 ms after the re-arm.
    EXPECT_GE(after, kPeriod - 5ms);
    EXPECT_LT(after, 5s);
}

TEST_F(WindowTest, CloseRequestFromTheWindowSystemClosesTheWindow) {
    TestWindow w;
    const HWND hwnd = w.Open();
    ASSERT_NE(hwnd, 0u);
    w.GetWidget()->close();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(SpinUntil([&] { return !w.events.empty() && w.events.back() == "final"; }));
}

TEST_F(WindowTest, WindowOperations) {
    TestWindow owner;
    const HWND ownerHwnd = owner.Open();
    ASSERT_NE(ownerHwnd, 0u);
    owner.MoveWindow(100, 80);
    owner.ResizeClient(500, 400);
    EXPECT_EQ(owner.GetWindowRect(), (RECT{100, 80, 600, 480}));

    TestWindow child;
    ASSERT_NE(child.Open(UI_WNDSTYLE_DIALOG, WS_EX_TOOLWINDOW, ownerHwnd), 0u);
    child.SetWindowTitle("Palette");
    EXPECT_EQ(child.GetWindowTitle(), "Palette");
    child.CenterWindow();
    const RECT r = child.GetWindowRect();
    EXPECT_EQ(r.left + r.Width() / 2, 350);
    EXPECT_EQ(r.top + r.Height() / 2, 280);

    child.SetTopMost(true);
    EXPECT_TRUE(child.GetWidget()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(child.IsWindowVisible());
    EXPECT_EQ(child.GetWindowRect(), r);
    child.SetTopMost(false);
    EXPECT_FALSE(child.GetWidget()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    child.Minimize();
    EXPECT_TRUE(child.IsMinimized());
    child.Restore();
    EXPECT_FALSE(child.IsMinimized());
    child.ShowWindow(false);
    EXPECT_FALSE(child.IsWindowVisible());
}

TEST_F(WindowTest, PressInTheCaptionDragsTheWindowButNotOnAButton) {
    TestWindow w;
    ASSERT_NE(w.Open(), 0u);
    w.MoveWindow(100, 100);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.GetWidget()));
    QWindow* window = w.GetWidget()->windowHandle();
    ASSERT_NE(window, nullptr);

    // Press, move and release where a pointer would be: each position is relative to the
    // window as it is at that moment.
    auto drag = [&](QPoint from, QPoint by) {
        const QPoint global = window->mapToGlobal(from) + by;
        QTest::mousePress(window, Qt::LeftButton, {}, from);
        QTest::mouseMove(window, window->mapFromGlobal(global));
        QTest::mouseRelease(window, Qt::LeftButton, {}, window->mapFromGlobal(global));
    };
    drag(QPoint(60, 12), QPoint(30, 20));  // on the title label inside the caption strip
    EXPECT_EQ(w.GetWindowRect().left, 130);
    EXPECT_EQ(w.GetWindowRect().top, 120);

    drag(QPoint(60, 80), QPoint(30, 20));  // below the caption
    EXPECT_EQ(w.GetWindowRect().left, 130);

    QWidget* close = w.Widget("closebtn");
    ASSERT_NE(close, nullptr);
    drag(close->mapTo(w.GetWidget(), close->rect().center()), QPoint(-30, 20));
    EXPECT_EQ(w.GetWindowRect().left, 130);
    EXPECT_TRUE(IsWindow(w.GetHWND()));  // the press was the button's, and no click came
}

// The frame of tests/ui/skin/test_frame.xml, shown and exposed.
class FrameTest : public WindowTest {
  protected:
    void SetUp() override {
        ASSERT_NE(frame_.Open(), 0u);
        frame_.MoveWindow(100, 100);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.GetWidget()));
        window_ = frame_.GetWidget()->windowHandle();
        ASSERT_NE(window_, nullptr);
    }
    void Click(const char* name) {
        QWidget* button = frame_.Widget(name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    bool Shows(const char* name) { return frame_.Widget(name)->isVisible(); }
    void DoubleClickCaption(TestWindow& w, QPoint at = QPoint(60, 12)) {
        QWindow* window = w.GetWidget()->windowHandle();
        QTest::mouseDClick(window, Qt::LeftButton, {}, at);
    }

    TestWindow frame_{"XML_TESTFRAME"};
    QWindow* window_ = nullptr;
};

TEST_F(FrameTest, MaximiseAndRestoreGoThroughTheWindowSystemAndSwapTheButtons) {
    const QRect normal = frame_.GetWidget()->geometry();
    const QRect workArea = frame_.GetWidget()->screen()->availableGeometry();
    ASSERT_TRUE(Shows("maxbtn"));
    ASSERT_FALSE(Shows("restorebtn"));

    // The title bar buttons, a caption double-click and the window system itself (a window
    // manager's own maximise) all end in the same state.
    const std::function<void()> maximise[] = {
        [&] { Click("maxbtn"); },
        [&] { DoubleClickCaption(frame_); },
        [&] { frame_.GetWidget()->setWindowState(Qt::WindowMaximized); },
    };
    const std::function<void()> restore[] = {
        [&] { Click("restorebtn"); },
        [&] { DoubleClickCaption(frame_); },
        [&] { frame_.GetWidget()->setWindowState(Qt::WindowNoState); },
    };
    for (size_t i = 0; i < std::size(maximise); ++i) {
        SCOPED_TRACE(i);
        maximise[i]();
        ASSERT_TRUE(SpinUntil([&] { return frame_.GetWidget()->isMaximized(); }));
        EXPECT_TRUE(SpinUntil([&] { return frame_.GetWidget()->geometry() == workArea; }));
        EXPECT_FALSE(Shows("maxbtn"));
        EXPECT_TRUE(Shows("restorebtn"));

        restore[i]();
        ASSERT_TRUE(SpinUntil([&] { return !frame_.GetWidget()->isMaximized(); }));
        EXPECT_TRUE(SpinUntil([&] { return frame_.GetWidget()->geometry() == normal; }));
        EXPECT_TRUE(Shows("maxbtn"));
        EXPECT_FALSE(Shows("restorebtn"));
    }

    Click("minbtn");
    EXPECT_TRUE(SpinUntil([&] { return frame_.IsMinimized(); }));
    frame_.Restore();

    // A dialog without a maximise button or resizable edges keeps its size.
    TestWindow dialog;
    ASSERT_NE(dialog.Open(UI_WNDSTYLE_DIALOG), 0u);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.GetWidget()));
    DoubleClickCaption(dialog);
    QTest::qWait(50);
    EXPECT_FALSE(dialog.GetWidget()->isMaximized());
}

TEST_F(FrameTest, EdgesResizeTheWindowDownToItsMinimumAndNotWhileMaximised) {
    const QRect start = frame_.GetWidget()->geometry();
    // Offscreen there is no window manager to take the resize: the edge follows the pointer.
    // Positions relative to the window as it is at that moment, as a pointer's would be.
    auto pull = [&](QPoint from, QPoint by) {
        const QPoint global = window_->mapToGlobal(from) + by;
        QTest::mousePress(window_, Qt::LeftButton, {}, from);
        QTest::mouseMove(window_, window_->mapFromGlobal(global));
        QTest::mouseRelease(window_, Qt::LeftButton, {}, window_->mapFromGlobal(global));
    };
    pull(QPoint(start.width() - 2, 120), QPoint(50, 0));  // the right edge
    EXPECT_EQ(frame_.GetWidget()->width(), start.width() + 50);
    pull(QPoint(200, start.height() - 2), QPoint(0, -100));  // the bottom edge, below minimum
    EXPECT_EQ(frame_.GetWidget()->height(), 200);
    pull(QPoint(1, 1), QPoint(-20, -10));  // the top-left corner
    EXPECT_EQ(frame_.GetWidget()->geometry().topLeft(), start.topLeft() - QPoint(20, 10));

    frame_.Maximize();
    const QRect maximised = frame_.GetWidget()->screen()->availableGeometry();
    ASSERT_TRUE(SpinUntil([&] { return frame_.GetWidget()->geometry() == maximised; }));
    pull(QPoint(maximised.width() - 2, 120), QPoint(-50, 0));
    EXPECT_EQ(frame_.GetWidget()->geometry(), maximised);
}

TEST_F(FrameTest, TitleAndToolTipsFollowTheLanguage) {
    CResourceManager& resources = *CResourceManager::GetInstance();
    struct Case {
        const char* file;
        const char* title;
        const char* maxTip;
    };
    for (const Case& c :
         {Case{"lan_cn.xml", "设置", "确定"}, Case{"lan_en.xml", "Settings", "OK"}}) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(resources.LoadLanguage(c.file)) << resources.GetLastError();
        resources.ReloadText();
        EXPECT_EQ(frame_.GetWindowTitle(), c.title);
        EXPECT_EQ(frame_.Widget("maxbtn")->toolTip().toStdString(), c.maxTip);
    }
    // A literal tool tip set later stays through a language switch.
    frame_.GetPaintManager().FindControl("maxbtn")->SetToolTip("literal");
    resources.ReloadText();
    EXPECT_EQ(frame_.Widget("maxbtn")->toolTip().toStdString(), "literal");
}

TEST_F(FrameTest, ReturnCommitsANameAndEscapeBringsTheOldOneBack) {
    frame_.BringToFront();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.GetWidget()));
    auto* edit = qobject_cast<QLineEdit*>(frame_.Widget("name_edit"));
    ASSERT_NE(edit, nullptr);
    edit->setFocus(Qt::MouseFocusReason);

    QTest::keyClicks(edit, "X");
    EXPECT_EQ(edit->text(), "profile1X");
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(edit->text(), "profile1");
    EXPECT_EQ(frame_.GetPaintManager().FindControl("name_edit")->GetText(), "profile1");

    QTest::keyClicks(edit, "2");
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Escape);  // nothing left to take back
    EXPECT_EQ(edit->text(), "profile12");
    EXPECT_EQ(frame_.edits,
              (std::vector<std::string>{"textchanged name_edit", "textchanged name_edit",
                                        "textchanged name_edit", "return name_edit"}));
    EXPECT_TRUE(IsWindow(frame_.GetHWND()));
}

TEST_F(FrameTest, KeyboardFocusIsFramedAfterTabAndNotAfterAClick) {
    InstallKeyboardFocusFrame();
    frame_.BringToFront();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.GetWidget()));
    auto frameAround = [&]() -> QWidget* {
        for (auto* f : frame_.GetWidget()->findChildren<QFocusFrame*>()) {
            if (f->isVisible()) {
                return f->widget();
            }
        }
        return nullptr;
    };
    QWidget* other = frame_.Widget("other_btn");
    QTest::mouseClick(other, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), other);
    EXPECT_EQ(frameAround(), nullptr);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_NE(QApplication::focusWidget(), other);
    EXPECT_EQ(frameAround(), QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(frameAround(), other);

    QTest::mouseClick(frame_.Widget("name_edit"), Qt::LeftButton);
    EXPECT_EQ(frameAround(), nullptr);

    // A click that moves no focus (on a label) ends the keyboard's turn as well: focus that
    // code moves afterwards is not framed.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_NE(frameAround(), nullptr);
    QTest::mouseClick(frame_.Widget("caption_text"), Qt::LeftButton);
    EXPECT_EQ(frameAround(), nullptr);
    frame_.Widget("name_edit")->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(frameAround(), nullptr);
}

TEST_F(WindowTest, LosingActivationDeliversWmActivateWithZero) {
    TestWindow a;
    TestWindow b;
    ASSERT_NE(a.Open(), 0u);
    ASSERT_NE(b.Open(), 0u);
    a.BringToFront();
    ASSERT_TRUE(SpinUntil([&] { return !a.activations.empty() && a.activations.back() == 1; }));
    b.BringToFront();
    EXPECT_TRUE(SpinUntil([&] { return a.activations.back() == 0; }));
    EXPECT_TRUE(SpinUntil([&] { return !b.activations.empty() && b.activations.back() == 1; }));
}

TEST(RegisteredMessageTest, SameNameSameNumberInTheRegisteredRangeUntilFull) {
    const UINT wake = RegisterWindowMessage("QUARVEN_004");
    EXPECT_GE(wake, kRegisteredMessageFirst);
    EXPECT_LE(wake, kRegisteredMessageLast);
    EXPECT_EQ(RegisterWindowMessage("QUARVEN_004"), wake);
    EXPECT_EQ(RegisterWindowMessage("quarven_004"), wake);
    const UINT other = RegisterWindowMessage("another message");
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, wake);
    EXPECT_EQ(RegisterWindowMessage(""), 0u);

    // Threads registering the same names agree.
    std::vector<std::vector<UINT>> seen(4);
    std::vector<std::thread> threads;
    for (auto& list : seen) {
        threads.emplace_back([&list] {
            for (int i = 0; i < 50; ++i) {
                list.push_back(RegisterWindowMessage("shared_" + std::to_string(i)));
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (const auto& list : seen) {
        EXPECT_EQ(list, seen.front());
    }
    EXPECT_EQ(std::set<UINT>(seen.front().begin(), seen.front().end()).size(), 50u);

    // The range runs out; known names still answer.
    UINT last = 0;
    for (int i = 0; i <= 0x4000; ++i) {
        last = RegisterWindowMessage("filler_" + std::to_string(i));
        if (last == 0) {
            break;
        }
        EXPECT_LE(last, kRegisteredMessageLast);
    }
    EXPECT_EQ(last, 0u);
    EXPECT_EQ(RegisterWindowMessage("QUARVEN_004"), wake);
}

}  // namespace
}  // namespace gmd::ui
