// The main window's life: start-up order, worker threads and shutdown, wake-up and tray
// procedures, menus, custom messages and timers.

#include "app/main_wnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/custom_controls.h"
#include "platform/autostart.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "tests/app/app_test_support.h"
#include "tests/support/fake_hid_backend.h"
#include "ui/controls.h"

namespace gmd::app::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Out of the way: hidden in the tray, or minimised where there is no tray to come back from.
bool PutAway(CMainWnd& wnd) {
    return ui::CTrayIcon::IsTrayAvailable() ? !wnd.IsWindowVisible() : wnd.IsMinimized();
}

std::filesystem::path MainIni() {
    return AppDataFolder() / "main.ini";
}

using MainWndTest = AppTest;

TEST_F(MainWndTest, StartUpInitialisesWindowThenFirstShow) {
    CMainWnd* wnd = CreateMainWnd();

    // Window initialisation.
    EXPECT_TRUE(HasTrace("InitWindow"));
    EXPECT_EQ(g_mainHwnd, wnd->GetHWND());
    for (ui::CControlUI* button :
         {wnd->m_closeBtn, wnd->m_maxBtn, wnd->m_restoreBtn, wnd->m_minBtn, wnd->m_skinBtn}) {
        EXPECT_NE(button, nullptr);
    }
    for (auto* led : wnd->m_mouseLedButtons) {
        ASSERT_NE(led, nullptr);
        EXPECT_TRUE(led->IsChangerColor());
        EXPECT_EQ(led->GetChangerAlpha(), 0);
    }
    for (auto* led : wnd->m_padLedButtons) {
        ASSERT_NE(led, nullptr);
        EXPECT_TRUE(led->IsChangerColor());
    }
    for (auto* key : wnd->m_keyButtons) {
        EXPECT_NE(key, nullptr);
    }
    for (const char* name :
         {"ms_deng_Color_Pallet", "mp_deng_Color_Pallet", "kb_deng_Color_Pallet"}) {
        auto* palette = dynamic_cast<ui::CColorPaletteUI*>(Find(name));
        ASSERT_NE(palette, nullptr) << name;
        EXPECT_EQ(palette->GetSelectColor(), 0xFF0199CBu) << name;
    }
    EXPECT_TRUE(wnd->m_trayIcon.IsCreated());

    // First show: page start-up in device order, then the channel identities.
    const std::vector<std::string> firstCalls = calls_->All();
    ASSERT_GE(firstCalls.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(firstCalls.begin(), firstCalls.begin() + 4),
              (std::vector<std::string>{"FillProfileLists(Keyboard)", "Startup()",
                                        "FillProfileLists(Mouse)", "FillProfileLists(Mousepad)"}));
    struct Identity {
        CDeviceChannel& channel;
        uint16_t product;
    };
    for (const Identity& id :
         {Identity{wnd->MouseDevice(), 0x7643}, Identity{wnd->MousepadDevice(), 0x5004},
          Identity{wnd->KeyboardDevice(), 0x6556}}) {
        EXPECT_EQ(id.channel.VendorId(), 0x0C45);
        EXPECT_EQ(id.channel.ProductId(), id.product);
        EXPECT_EQ(id.channel.Usage(), 0x92);
        EXPECT_EQ(id.channel.UsagePage(), 0xFF1C);
        EXPECT_FALSE(id.channel.IsConnected());
    }
    const std::set<int> workers{1, 3, 4, 5, 6, 7, 8, 11};
    for (int i = 0; i < kThreadSlots; ++i) {
        EXPECT_EQ(wnd->m_threads[static_cast<size_t>(i)].joinable(), workers.count(i) == 1)
            << "thread slot " << i;
    }
    // The offscreen desktop has no tray, so the window stays reachable.
    EXPECT_FALSE(ui::CTrayIcon::IsTrayAvailable());
    EXPECT_TRUE(wnd->IsWindowVisible());

    // The send timer repeats.
    EXPECT_TRUE(SpinUntil([&] { return calls_->Count("SendChangedLiveBlocks()") >= 3; }));
}

TEST_F(MainWndTest, BackgroundFromMainIniAppliesAtFirstShow) {
    ASSERT_TRUE(IniWriteString(MainIni(), "SKINIMAGE", "FLAGS", "1"));
    ASSERT_TRUE(IniWriteString(MainIni(), "SKINIMAGE", "IMAGE", "/tmp/background.png"));
    CreateMainWnd();
    ui::CControlUI* root = Find("root");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetBkColor(), 0u);
    EXPECT_EQ(root->GetBkImage(), "/tmp/background.png");
}

TEST_F(MainWndTest, WorkersGetTheirParameterAndShutdownEndsInTime) {
    std::atomic<CMainWnd*> seenOwner{nullptr};
    std::atomic<StopEvent*> seenEvent{nullptr};
    std::atomic<int> passes{0};
    CMainWnd* wnd = CreateMainWnd([&](CMainWnd& w) {
        w.SetWorkerBody(6, [&](WorkerThreadParam& param) {
            seenOwner = param.owner;
            seenEvent = param.stopEvent;
            param.stopEvent->Reset();
            while (!param.stopEvent->Wait(1)) {
                ++passes;
            }
        });
    });
    ASSERT_TRUE(SpinUntil([&] { return passes.load() > 0; }));
    EXPECT_EQ(seenOwner.load(), wnd);
    EXPECT_EQ(seenEvent.load(), &wnd->m_stopEvents[6]);

    ClearTraces();
    const auto start = Clock::now();
    wnd->Close();
    const auto took = Clock::now() - start;
    EXPECT_LT(took, 5s);
    EXPECT_TRUE(wnd->ThreadsEndedInTime());
    for (const auto& thread : wnd->m_threads) {
        EXPECT_FALSE(thread.joinable());
    }
    const std::vector<std::string> traces = Traces();
    const auto exitLine = std::find(traces.begin(), traces.end(), "退出测试");
    ASSERT_NE(exitLine, traces.end());
    EXPECT_NE(std::find(exitLine, traces.end(), "所有对象处于激发状态\n"), traces.end());
    EXPECT_FALSE(wnd->IsWindowVisible());
    EXPECT_FALSE(wnd->m_trayIcon.IsCreated());
}

// Takes the full shutdown wait of ten seconds.
TEST_F(MainWndTest, ShutdownEndsDespiteAWorkerThatIgnoresItsStopEvent) {
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto exited = std::make_shared<std::atomic<bool>>(false);
    CMainWnd* wnd = CreateMainWnd([&](CMainWnd& w) {
        w.SetShutdownWait(500ms);  // the usual ten seconds would only make the test slow
        w.SetWorkerBody(3, [release, exited](WorkerThreadParam&) {
            while (!release->load()) {
                std::this_thread::sleep_for(5ms);
            }
            exited->store(true);
        });
    });
    const auto start = Clock::now();
    wnd->Close();
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 490ms);
    EXPECT_LT(took, 30s);
    EXPECT_FALSE(wnd->ThreadsEndedInTime());
    EXPECT_TRUE(HasTrace("所有对象处于非激发状态，超时\n"));
    for (const auto& thread : wnd->m_threads) {
        EXPECT_FALSE(thread.joinable());  // joined or left behind, never blocking the exit
    }
    release->store(true);
    EXPECT_TRUE(SpinUntil([&] { return exited->load(); }));
}

TEST_F(MainWndTest, WakeUpBringsTheWindowForward) {
    CMainWnd* wnd = CreateMainWnd();
    wnd->ShowWindow(false);
    wnd->MouseDevice().SetConnected(true);
    ClearTraces();
    ui::PostMessage(wnd->GetHWND(), g_instanceMessage);
    ASSERT_TRUE(SpinUntil([&] { return wnd->IsWindowVisible(); }));
    EXPECT_TRUE(HasTrace("软件标示 " + std::to_string(g_instanceMessage) + "，0d0d"));
}

// Without a device the wake-up and the tray click open the window, on the no-device page,
// which says what to do: no box.
TEST_F(MainWndTest, WithoutADeviceWakeUpAndTrayClickOpenTheWindow) {
    struct Case {
        const char* path;
        std::function<void(CMainWnd&)> trigger;
    };
    const Case cases[] = {
        {"wake-up", [](CMainWnd& w) { ui::PostMessage(w.GetHWND(), g_instanceMessage); }},
        {"tray", [](CMainWnd& w) { w.m_trayIcon.SimulateClick(ui::WM_LBUTTONUP); }},
    };
    CMainWnd* wnd = CreateMainWnd([](CMainWnd& w) { w.InstallDeviceWatch(); });
    ASSERT_TRUE(SpinUntil([&] { return Find("nodev_tab")->IsVisible(); }));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        BoxWatcher watcher;
        wnd->ShowWindow(false);
        c.trigger(*wnd);
        EXPECT_TRUE(SpinUntil([&] { return wnd->IsWindowVisible() && !wnd->IsMinimized(); }));
        EXPECT_EQ(dynamic_cast<ui::CTabLayoutUI*>(Find("tab_switch"))->GetCurSel(), 5);
        QTest::qWait(100);
        EXPECT_TRUE(watcher.boxes.empty());
    }
}

// While no device is attached the window shows the no-device page, never the controls of an
// absent device; the mouse's pages take over when it comes and give way when it goes.
TEST_F(MainWndTest, TheNoDevicePageStandsInWhileNoDeviceIsAttached) {
    CreateMainWnd([](CMainWnd& w) { w.InstallDeviceWatch(); });
    auto page = [&] { return dynamic_cast<ui::CTabLayoutUI*>(Find("tab_switch"))->GetCurSel(); };
    auto selected = [&](const char* tab) {
        return dynamic_cast<ui::COptionUI*>(Find(tab))->IsSelected();
    };
    ASSERT_TRUE(SpinUntil([&] { return page() == 5; }));
    EXPECT_TRUE(Find("nodev_tab")->IsVisible());
    EXPECT_TRUE(selected("nodev_tab"));
    EXPECT_FALSE(Find("ms_tab")->IsVisible());
    EXPECT_TRUE(Find("no_device_page")->GetWidget()->isVisible());
    EXPECT_FALSE(Find("no_device_problem")->IsVisible());  // nothing is there to be refused

    // The user may look at the overview and come back.
    QTest::mouseClick(Find("split_tab")->GetWidget(), Qt::LeftButton);
    EXPECT_EQ(page(), 4);
    QTest::qWait(1200);  // a detection pass later the user's choice stands
    EXPECT_EQ(page(), 4);
    dynamic_cast<ui::COptionUI*>(Find("nodev_tab"))->Selected(true, true);
    EXPECT_EQ(page(), 5);

    PlugMouse();
    ASSERT_TRUE(SpinUntil([&] { return page() == 1; }));
    EXPECT_TRUE(selected("ms_tab"));
    EXPECT_FALSE(Find("nodev_tab")->IsVisible());

    BoxWatcher watcher(100ms);
    mouse_->Unplug();
    ASSERT_TRUE(SpinUntil([&] { return page() == 5; }));
    EXPECT_TRUE(Find("nodev_tab")->IsVisible());
    EXPECT_FALSE(Find("ms_tab")->IsVisible());
}

// A supported device that is there but may not be opened is named, with the reason.
TEST_F(MainWndTest, TheNoDevicePageNamesANodeThatCannotBeOpened) {
    auto fake = std::make_shared<test::FakeHidBackend>();
    fake->nodes.push_back(test::MouseCommandNode("/dev/hidraw3#vid_0c45&pid_7643&col_0"));
    fake->nodes.back().openError = EACCES;
    backend_ = fake;
    CreateMainWnd([](CMainWnd& w) { w.InstallDeviceWatch(); });
    ASSERT_TRUE(SpinUntil([&] { return Find("no_device_problem")->IsVisible(); }));
    std::string want = ui::CResourceManager::GetInstance()->GetText("device_node_denied");
    want.replace(want.find("%s"), 2, "/dev/hidraw3");
    EXPECT_EQ(Find("no_device_problem")->GetText(), want);
    EXPECT_NE(want.find("/dev/hidraw3"), std::string::npos);
    EXPECT_TRUE(Find("no_device_problem")->GetWidget()->isVisible());
}

TEST_F(MainWndTest, NoDeviceMessageShowsTheSelfClosingBoxAndHides) {
    CMainWnd* wnd = CreateMainWnd();
    BoxWatcher watcher(0ms, /*close=*/false);
    ui::PostMessage(wnd->GetHWND(), WM_NO_DEVICE);
    ASSERT_TRUE(SpinUntil([&] { return !watcher.boxes.empty(); }));
    ASSERT_TRUE(SpinUntil([&] { return !watcher.AnyOpen(); }));  // closes by itself
    EXPECT_EQ(watcher.boxes[0].text, "message_text_20");
    EXPECT_TRUE(PutAway(*wnd));
}

TEST_F(MainWndTest, TrayLeftClickTogglesWhileADeviceIsConnected) {
    CMainWnd* wnd = CreateMainWnd();
    wnd->KeyboardDevice().SetConnected(true);
    ASSERT_TRUE(wnd->IsWindowVisible());
    wnd->m_trayIcon.SimulateClick(ui::WM_LBUTTONUP);
    ASSERT_TRUE(SpinUntil([&] { return !wnd->IsWindowVisible(); }));
    ClearTraces();
    wnd->m_trayIcon.SimulateClick(ui::WM_LBUTTONUP);
    ASSERT_TRUE(SpinUntil([&] { return wnd->IsWindowVisible(); }));
    EXPECT_TRUE(SpinUntil([&] { return HasTrace("1234567890"); }));  // timer 7
}

// The entries of a menu as "name text", separators as "-", a checked entry marked "[x]" and a
// checkable unchecked one "[ ]".
std::vector<std::string> Entries(ui::CMenuWnd& menu) {
    std::vector<std::string> entries;
    for (int i = 0; i < menu.GetMenuUI()->GetCount(); ++i) {
        const ui::CMenuElementUI* item = menu.GetMenuUI()->GetItemAt(i);
        if (item->separator) {
            entries.push_back("-");
            continue;
        }
        const std::string mark = !item->checkable ? "" : item->checked ? " [x]" : " [ ]";
        entries.push_back(item->name + " " + item->text + mark);
    }
    return entries;
}

TEST_F(MainWndTest, TrayMenuShowsOrHidesOnTopAndClosesLastInTheLanguage) {
    struct Case {
        int language;
        std::vector<std::string> entries;  // while the window is shown
        std::string showEntry;             // the top entry while it is hidden
    };
    const Case cases[] = {
        {0,
         {"tray_hide Hide", "-", "lan_en English [x]", "lan_cn 简体中文 [ ]", "lan_tw 繁體中文 [ ]",
          "-", "About_setting About", "-", "exit Close"},
         "tray_show Show"},
        {1,
         {"tray_hide 隐藏", "-", "lan_en English [ ]", "lan_cn 简体中文 [x]", "lan_tw 繁體中文 [ ]",
          "-", "About_setting 关于", "-", "exit 关闭"},
         "tray_show 显示"},
        {2,
         {"tray_hide 隱藏", "-", "lan_en English [ ]", "lan_cn 简体中文 [ ]", "lan_tw 繁體中文 [x]",
          "-", "About_setting 關於", "-", "exit 關閉"},
         "tray_show 顯示"},
    };
    CMainWnd* wnd = CreateMainWnd();
    wnd->KeyboardDevice().SetConnected(true);
    auto openTrayMenu = [&] {
        wnd->m_trayIcon.SimulateClick(ui::WM_RBUTTONUP);
        return SpinUntil([&] { return wnd->m_popupMenu && wnd->m_popupMenu->IsOpen(); });
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        wnd->SwitchLanguage(c.language);
        wnd->ShowWindow(true);
        ASSERT_TRUE(openTrayMenu());
        EXPECT_EQ(Entries(*wnd->m_popupMenu), c.entries);

        // "Hide" puts the window away; then the menu offers "Show", which brings it back.
        ASSERT_TRUE(wnd->m_popupMenu->Choose("tray_hide"));
        ASSERT_TRUE(SpinUntil([&] { return !wnd->IsWindowVisible(); }));
        ASSERT_TRUE(openTrayMenu());
        EXPECT_EQ(Entries(*wnd->m_popupMenu).front(), c.showEntry);
        ASSERT_TRUE(wnd->m_popupMenu->Choose("tray_show"));
        ASSERT_TRUE(SpinUntil([&] { return wnd->IsWindowVisible() && !wnd->IsMinimized(); }));
    }

    // Without a device "Show" opens the window on the no-device page, as a tray click does.
    wnd->KeyboardDevice().SetConnected(false);
    wnd->ShowWindow(false);
    ASSERT_TRUE(openTrayMenu());
    {
        BoxWatcher watcher;
        ASSERT_TRUE(wnd->m_popupMenu->Choose("tray_show"));
        ASSERT_TRUE(SpinUntil([&] { return wnd->IsWindowVisible() && !wnd->IsMinimized(); }));
        EXPECT_TRUE(watcher.boxes.empty());
    }

    // "Close" ends the window.
    ASSERT_TRUE(openTrayMenu());
    const ui::HWND hwnd = wnd->GetHWND();
    ASSERT_TRUE(wnd->m_popupMenu->Choose("exit"));
    EXPECT_TRUE(SpinUntil([&] { return !ui::IsWindow(hwnd); }));
}

TEST_F(MainWndTest, MainMenuMarksTheLanguageAndSwitchesToTraditionalChinese) {
    CMainWnd* wnd = CreateMainWnd();
    auto languageMarks = [&] {
        wnd->OpenMainMenu();
        std::vector<std::string> marks;
        for (const std::string& entry : Entries(*wnd->m_popupMenu)) {
            if (entry.rfind("lan_", 0) == 0) {
                marks.push_back(entry.substr(0, 6) + entry.substr(entry.size() - 3));
            }
        }
        return marks;
    };
    EXPECT_EQ(languageMarks(), (std::vector<std::string>{"lan_en[x]", "lan_cn[ ]", "lan_tw[ ]"}));
    ASSERT_TRUE(wnd->m_popupMenu->Choose("lan_tw"));
    ASSERT_TRUE(
        SpinUntil([&] { return ui::CResourceManager::GetInstance()->GetLanguage() == "cn_tw"; }));
    EXPECT_EQ(IniReadString(MainIni(), "SKINIMAGE", "LANGUAGE", ""), "2");
    EXPECT_EQ(languageMarks(), (std::vector<std::string>{"lan_en[ ]", "lan_cn[ ]", "lan_tw[x]"}));
    ASSERT_TRUE(wnd->m_popupMenu->Choose("lan_cn"));
    ASSERT_TRUE(
        SpinUntil([&] { return ui::CResourceManager::GetInstance()->GetLanguage() == "cn_zh"; }));
    EXPECT_EQ(languageMarks(), (std::vector<std::string>{"lan_en[ ]", "lan_cn[x]", "lan_tw[ ]"}));
}

// "Start with the session" writes the autostart entry (HOME and XDG_CONFIG_HOME are the
// fixture's scratch folder), shows it checked, and removes it again.
TEST_F(MainWndTest, StartWithTheSessionWritesAndRemovesTheAutostartEntry) {
    CMainWnd* wnd = CreateMainWnd();
    const std::filesystem::path entry = AutostartEntryPath();
    ASSERT_EQ(entry.string().rfind(home_.path().toStdString(), 0), 0u) << entry;
    auto autostartEntry = [&] {
        wnd->OpenMainMenu();
        for (const std::string& e : Entries(*wnd->m_popupMenu)) {
            if (e.rfind("autostart ", 0) == 0) {
                return e;
            }
        }
        return std::string("(none)");
    };
    EXPECT_EQ(autostartEntry(), "autostart Start with the session [ ]");
    ASSERT_TRUE(wnd->m_popupMenu->Choose("autostart"));
    ASSERT_TRUE(SpinUntil([&] { return std::filesystem::exists(entry); }));
    std::string text;
    {
        std::ifstream in(entry);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_NE(text.find("Exec="), std::string::npos) << text;
    EXPECT_NE(text.find(" --hidden\n"), std::string::npos) << text;
    EXPECT_EQ(autostartEntry(), "autostart Start with the session [x]");

    ASSERT_TRUE(wnd->m_popupMenu->Choose("autostart"));
    ASSERT_TRUE(SpinUntil([&] { return !std::filesystem::exists(entry); }));
    EXPECT_EQ(autostartEntry(), "autostart Start with the session [ ]");

    // A folder that cannot be made: the user is told, nothing claims to be on.
    std::filesystem::remove_all(entry.parent_path());
    std::filesystem::create_directories(entry.parent_path().parent_path());
    { std::ofstream(entry.parent_path()) << "not a folder"; }
    {
        BoxWatcher watcher;
        ASSERT_TRUE(wnd->m_popupMenu->Choose("autostart"));
        ASSERT_TRUE(SpinUntil([&] { return !watcher.boxes.empty() && !watcher.AnyOpen(); }));
        EXPECT_FALSE(watcher.boxes[0].isTextId);
        EXPECT_NE(watcher.boxes[0].text.find("could not be changed"), std::string::npos)
            << watcher.boxes[0].text;
    }
    EXPECT_EQ(autostartEntry(), "autostart Start with the session [ ]");
}

// A start with the session (--hidden) never shows the window: it waits in the tray, or
// minimised where there is none (as here, offscreen), also when the mouse is found; a second
// start brings it forward.
TEST_F(MainWndTest, HiddenStartDoesNotShowTheWindow) {
    std::vector<Qt::WindowStates> shown;  // the state of the main window at each show
    class ShowWatcher : public QObject {
      public:
        explicit ShowWatcher(std::vector<Qt::WindowStates>& shown) : shown_(shown) {}
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show && watched->objectName() == "MainWnd") {
                shown_.push_back(static_cast<QWidget*>(watched)->windowState());
            }
            return false;
        }

      private:
        std::vector<Qt::WindowStates>& shown_;
    } watcher(shown);
    qApp->installEventFilter(&watcher);

    wnd_ = std::make_unique<CMainWnd>(backend_);
    PlugRecordingMouse(*wnd_);
    PlugRecordingProfiles(*wnd_);
    ASSERT_NE(wnd_->Open(true), 0u);
    CMainWnd* wnd = wnd_.get();
    ASSERT_TRUE(SpinUntil([&] { return wnd->KeyboardDevice().ProductId() == 0x6556; }))
        << "first-show initialisation did not run";
    ASSERT_FALSE(ui::CTrayIcon::IsTrayAvailable());
    EXPECT_TRUE(HasTrace("window: started minimised, no system tray"));
    EXPECT_TRUE(wnd->IsMinimized());

    // The detection thread's first find leaves it where it is.
    wnd->KeyboardDevice().SetConnected(true);
    ui::PostMessage(wnd->GetHWND(), g_instanceMessage, kWakeOnFirstFind, 0);
    EXPECT_TRUE(SpinUntil([&] { return HasTrace("window: stays hidden"); }));
    EXPECT_TRUE(wnd->IsMinimized());
    for (const Qt::WindowStates state : shown) {
        EXPECT_TRUE(state.testFlag(Qt::WindowMinimized)) << "shown as a normal window";
    }

    // A second start is the user asking for it.
    ui::PostMessage(wnd->GetHWND(), g_instanceMessage, 0, 0);
    EXPECT_TRUE(SpinUntil([&] { return HasTrace("window: brought to the front"); }));
    EXPECT_TRUE(SpinUntil([&] { return !wnd->IsMinimized() && wnd->IsWindowVisible(); }));
    qApp->removeEventFilter(&watcher);
}

TEST_F(MainWndTest, MainMenuOpensFromTheMenuFile) {
    CMainWnd* wnd = CreateMainWnd();
    wnd->OpenMainMenu();
    ASSERT_TRUE(wnd->m_popupMenu);
    EXPECT_TRUE(wnd->m_popupMenu->IsOpen()) << wnd->m_popupMenu->GetLastError();
    EXPECT_GT(wnd->m_popupMenu->GetMenuUI()->GetCount(), 0);
}

TEST_F(MainWndTest, MenuCommands) {
    CMainWnd* wnd = CreateMainWnd();
    const ui::HWND hwnd = wnd->GetHWND();
    auto send = [&](const std::string& name, const std::string& text) {
        auto* command = new ui::MenuCmd;
        command->szName = name;
        command->szText = text;
        return ui::SendMessage(hwnd, ui::WM_MENU_CLICK, reinterpret_cast<ui::WPARAM>(command));
    };

    {
        BoxWatcher watcher;
        EXPECT_EQ(ui::SendMessage(hwnd, ui::WM_MENU_CLICK, 0), 0);  // null record: ignored
        for (const char* quiet : {"qianting", "Menu_Import", "Menu_Export"}) {
            send(quiet, "text");
        }
        QTest::qWait(100);
        EXPECT_TRUE(watcher.boxes.empty());
        EXPECT_TRUE(ui::IsWindow(hwnd));
    }
    {
        // An item without an action of its own shows its text as it is.
        BoxWatcher watcher;
        QTimer::singleShot(0, [&] { send("something_new", "Hello there"); });
        ASSERT_TRUE(SpinUntil([&] { return !watcher.boxes.empty() && !watcher.AnyOpen(); }));
        EXPECT_EQ(watcher.boxes[0].text, "Hello there");
        EXPECT_FALSE(watcher.boxes[0].isTextId);
    }
    // The language items are compared without case and stored in main.ini.
    send("LAN_CN", "");
    EXPECT_EQ(IniReadString(MainIni(), "SKINIMAGE", "LANGUAGE", ""), "1");
    send("lan_en", "");
    EXPECT_EQ(IniReadString(MainIni(), "SKINIMAGE", "LANGUAGE", ""), "0");

    // "exit" compares exactly.
    {
        BoxWatcher watcher;
        QTimer::singleShot(0, [&] { send("EXIT", "Exit?"); });
        ASSERT_TRUE(SpinUntil([&] { return !watcher.boxes.empty() && !watcher.AnyOpen(); }));
        EXPECT_EQ(watcher.boxes[0].text, "Exit?");
    }
    send("exit", "");
    EXPECT_FALSE(ui::IsWindow(hwnd));
}

TEST_F(MainWndTest, OneShotTimersRunTheirOperationsOnce) {
    CMainWnd* wnd = CreateMainWnd();
    struct Case {
        ui::UINT timer;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {TIMER_MOUSE_ATTACH, {"ReadOut()", "RefreshControls()"}},
        {TIMER_MOUSE_PROFILE_RELOAD, {"RefreshOnRequest()", "RefreshControls()"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timer);
        calls_->Clear();
        ui::SetTimer(wnd->GetHWND(), c.timer, 10);
        auto got = [&] { return Without(calls_->All(), {"SendChangedLiveBlocks()"}); };
        if (!c.calls.empty()) {
            ASSERT_TRUE(SpinUntil([&] { return got().size() >= c.calls.size(); }));
        }
        QTest::qWait(200);  // one-shot: nothing more follows
        EXPECT_EQ(got(), c.calls);
    }
}

TEST_F(MainWndTest, RepaintTimerRedrawsChangedLightsOnlyWhileShown) {
    CMainWnd* wnd = CreateMainWnd();
    auto* key = dynamic_cast<CDeviceKeyButtonUI*>(wnd->m_keyButtons[5]);
    ASSERT_NE(key, nullptr);
    wnd->ShowWindow(true, false);
    QTest::qWait(150);
    const int before = key->RepaintRequests();
    key->SetLight(0x00FF0000, 255, true);
    ASSERT_TRUE(SpinUntil([&] { return key->RepaintRequests() == before + 1; }));
    QTest::qWait(200);  // unchanged: no further repaint
    EXPECT_EQ(key->RepaintRequests(), before + 1);

    wnd->ShowWindow(false);
    key->SetLight(0x0000FF00, 255, true);
    QTest::qWait(200);
    EXPECT_EQ(key->RepaintRequests(), before + 1);
    wnd->ShowWindow(true, false);
    EXPECT_TRUE(SpinUntil([&] { return key->RepaintRequests() == before + 2; }));
}

TEST_F(MainWndTest, CustomMessagesReachTheirOperations) {
    CMainWnd* wnd = CreateMainWnd();
    struct Case {
        ui::UINT msg;
        ui::WPARAM wParam;
        ui::LPARAM lParam;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {ui::WM_ACTIVATE, 0, 0, {}},
        {WM_MOUSE_RELOAD, 0, 0, {"ReadOut()", "RefreshControls()"}},
        {WM_PROFILE_WATCH, 2, 1, {"ApplyWatcherDecision(2,true)"}},
        {WM_PROFILE_WATCH, 0, 0, {"ApplyWatcherDecision(0,false)"}},
        // The keyboard's read-outs belong to pages still to come.
        {WM_KEYBOARD_RELOAD, 0, 0, {}},
        {WM_KEYBOARD_PROFILE_RELOAD, 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.msg);
        calls_->Clear();
        wnd->SendMessage(c.msg, c.wParam, c.lParam);
        EXPECT_EQ(Without(calls_->All(), {"SendChangedLiveBlocks()"}), c.calls);
    }

    // The progress indicator: shown at once, hidden about a second after "done".
    ui::CControlUI* progress = Find("setting_progress");
    ASSERT_NE(progress, nullptr);
    progress->SetVisible(false);
    wnd->SendMessage(WM_PROGRESS_SHOW);
    EXPECT_TRUE(progress->IsOwnVisible());
    const auto done = Clock::now();
    wnd->SendMessage(WM_PROGRESS_DONE);
    ASSERT_TRUE(SpinUntil([&] { return !progress->IsOwnVisible(); }));
    EXPECT_GE(Clock::now() - done, 900ms);
}

TEST_F(MainWndTest, BuilderCallbackMakesSubPagesAndCustomControls) {
    CMainWnd* wnd = CreateMainWnd();
    struct Case {
        const char* tag;
        const char* expectedClass;  // nullptr: no control
    };
    const Case cases[] = {
        {"circleprogress", "CircleProgress"},
        {"DEVICEKEYBUTTON", "DeviceKeyButton"},
        {"NoSuchTag", nullptr},
    };
    for (const Case& c : cases) {
        std::unique_ptr<ui::CControlUI> control(wnd->CreateControl(c.tag));
        if (c.expectedClass == nullptr) {
            EXPECT_EQ(control, nullptr) << c.tag;
        } else {
            ASSERT_NE(control, nullptr) << c.tag;
            EXPECT_EQ(control->GetClass(), c.expectedClass);
        }
    }
    for (const char* tag :
         {"kb_key_ui", "KB_DENG_UI", "kb_Macro_UI", "MS_Deng_UI", "ms_macro_ui", "MS_Key_UI",
          "mp_deng_ui", "MS_DPI_UI", "MS_CURSOR_UI", "kb_CURSOR_UI"}) {
        std::unique_ptr<ui::CControlUI> page(wnd->CreateControl(tag));
        EXPECT_NE(page, nullptr) << tag;
    }
}

}  // namespace
}  // namespace gmd::app::testing
