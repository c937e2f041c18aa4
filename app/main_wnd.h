#pragma once
// CMainWnd: the one main window and the owner of all device and UI state.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/skin_observer.h"
#include "device/device_channel.h"
#include "host/page_host.h"
#include "host/routes.h"
#include "mouse/mouse_operations.h"
#include "platform/stop_event.h"
#include "profiles/profile_operations.h"
#include "ui/controls.h"
#include "ui/menu.h"
#include "ui/tray_icon.h"
#include "ui/window.h"

namespace gmd::app {

// Process-wide handles (set by start-up and window initialisation).
extern ui::HWND g_mainHwnd;
extern ui::UINT g_instanceMessage;

// Custom messages of the main window.
inline constexpr ui::UINT WM_MOUSE_RELOAD = 0x901;
inline constexpr ui::UINT WM_KEYBOARD_RELOAD = 0xB01;
inline constexpr ui::UINT WM_KEYBOARD_PROFILE_RELOAD = 0xB02;
inline constexpr ui::UINT WM_PROGRESS_SHOW = 0xC00;
inline constexpr ui::UINT WM_PROGRESS_DONE = 0xC01;
inline constexpr ui::UINT WM_NO_DEVICE = 0xC05;
// What the mouse detection thread found, carried to the UI thread (controls are touched there).
inline constexpr ui::UINT WM_MOUSE_ATTACHED = 0xC10;
inline constexpr ui::UINT WM_MOUSE_DETACHED = 0xC11;  // wParam: MouseWatchEvents::Next
inline constexpr ui::UINT WM_MOUSE_PRESENT = 0xC12;   // wParam: another device is connected
// The device-profile watcher's decision: wParam position, lParam 1 when linked.
inline constexpr ui::UINT WM_PROFILE_WATCH = 0xC13;
// A detection pass did not find the mouse.
inline constexpr ui::UINT WM_MOUSE_ABSENT = 0xC14;

// wParam of the wake-up message when the detection thread first finds the mouse (a second
// start sends 0).
inline constexpr ui::WPARAM kWakeOnFirstFind = 1;

// Timers of the main window.
inline constexpr ui::UINT TIMER_PROGRESS_HIDE = 1;
inline constexpr ui::UINT TIMER_SEND_LIVE = 2;
inline constexpr ui::UINT TIMER_REPAINT_ONCE = 7;
inline constexpr ui::UINT TIMER_MOUSE_ATTACH = 8;
inline constexpr ui::UINT TIMER_MOUSE_PROFILE_RELOAD = 9;
inline constexpr ui::UINT TIMER_REPAINT = 10;

inline constexpr int kThreadSlots = 15;
inline constexpr int kShutdownWaitMs = 10000;

class CMainWnd;

// What each worker thread is handed: its owner and its stop event.
struct WorkerThreadParam {
    CMainWnd* owner = nullptr;
    StopEvent* stopEvent = nullptr;
};

// A worker thread body. The contract: reset the stop event at start, test it with a 1 ms wait
// once per pass, and end as soon as it is set.
using WorkerBody = std::function<void(WorkerThreadParam&)>;

// A notification pump with no handlers, registered as the virtual window "mainpage".
class CMainPage {
  public:
    void Notify(ui::TNotifyUI&) {}
};

class CMainWnd : public ui::WindowImplBase,
                 public ReceiverImpl<int, SkinChangedParam>,
                 public ui::IQueryControlText,
                 public host::PageHost {
  public:
    // backend: the HID access the three channels use (hardware or the virtual bus).
    explicit CMainWnd(std::shared_ptr<HidBackend> backend);
    ~CMainWnd() override;

    // Subsystems plug in before the window is created. The window keeps a page handed to Own
    // until it is deleted.
    template <typename Page>
    Page& Own(std::unique_ptr<Page> page) {
        Page& owned = *page;
        pages_.push_back(std::shared_ptr<void>(std::move(page)));
        return owned;
    }
    // The routes of the subsystems' controls, each run on its subsystem's interface.
    host::Router& Routes() { return routes_; }
    // The subsystems the shell's own start-up, timers and messages call; nothing until plugged.
    void PlugMouse(mouse::MouseOperations& mouse) { mouse_ = &mouse; }
    void PlugProfiles(profiles::ProfileOperations& profiles) { profiles_ = &profiles; }
    void SetWorkerBody(int index, WorkerBody body);
    // How long shutdown waits for the workers before it gives a hung one up.
    void SetShutdownWait(std::chrono::milliseconds wait) { shutdownWait_ = wait; }
    // The device link's threads: mouse detection (1), mouse sync (3), keyboard sync (4).
    void InstallDeviceWatch();

    CDeviceChannel& KeyboardDevice() { return m_keyboardDevice; }
    CDeviceChannel& MouseDevice() { return m_mouseDevice; }
    CDeviceChannel& MousepadDevice() { return m_mousepadDevice; }
    bool AnyDeviceConnected() const;

    // Send flags: set by any change of that device's live block, cleared by timer 2.
    std::atomic<int> m_keyboardSendFlag{0};
    std::atomic<int> m_mouseSendFlag{0};
    std::atomic<int> m_mousepadSendFlag{0};

    // Message box (text id or literal) that tells: one OK button; returns 1 for OK, 0 otherwise.
    int ShowMessageBox(const std::string& text, bool isTextId = true);
    // Message box that asks: OK and Cancel; true for OK.
    bool AskMessageBox(const std::string& text, bool isTextId = true);
    // The self-closing variant (500 ms) when autoClose.
    void ShowTimedMessageBox(bool autoClose, const std::string& text, bool isTextId = true);
    // A "%d" template text id filled in with a number, through the hidden "str_test" label.
    std::string FormatTemplate(const std::string& textId, int number) override;

    // host::PageHost: what the pages ask of the shell.
    CDeviceChannel& Channel(DeviceKind device) override;
    ui::CPaintManagerUI& Controls() override { return GetPaintManager(); }
    void MarkLiveChanged(DeviceKind device) override;
    bool TakeLiveChanged(DeviceKind device) override;
    void StoreProfile(profiles::ListId list) override;
    int ShowMessage(const std::string& text, bool isTextId = true) override {
        return ShowMessageBox(text, isTextId);
    }
    bool Ask(const std::string& text, bool isTextId = true) override {
        return AskMessageBox(text, isTextId);
    }
    void PostToUi(std::function<void()> task) override;
    void ReadOutLater(DeviceKind device, int delayMs) override;

    // Controls of features still to come: disabled, with a tooltip that says so.
    void MarkUnbuiltControls();

    // Procedures of the shell, also used by other subsystems.
    // Brings the window forward; forceRaise when a second start asked, not the first find.
    void WakeUp(bool forceRaise = true);
    void NoDevice();
    void TrayLeftClick();
    void TrayRightClick();
    void OpenMainMenu();
    // 0 English, 1 simplified Chinese, 2 traditional Chinese.
    void SwitchLanguage(int language);
    static int CurrentLanguage();
    // Writes the session's autostart entry, or removes it when there is one.
    void ToggleAutostart();
    // Creates the window as the program does; `hidden` (the session's autostart) keeps it in
    // the tray, or minimised where there is no tray, until the user opens it. 0 on failure.
    ui::HWND Open(bool hidden = false);
    // Whether shutdown found every worker ended in time (for tests and the exit code path).
    bool ThreadsEndedInTime() const { return threadsEndedInTime_; }

    // ui::WindowImplBase
    void Notify(ui::TNotifyUI& msg) override;
    ui::CControlUI* CreateControl(const std::string& className) override;
    // IQueryControlText
    std::string QueryControlText(const std::string& name, const std::string& type) override;
    // ReceiverImpl
    int Receive(SkinChangedParam param) override;

  protected:
    std::string GetWindowClassName() const override { return "MainWnd"; }
    std::string GetSkinFile() const override { return "XML_MAIN"; }
    void InitWindow() override;
    ui::LRESULT HandleCustomMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam,
                                    bool& handled) override;
    ui::LRESULT OnDestroy(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam,
                          bool& handled) override;
    void OnFinalMessage(ui::HWND hwnd) override;
    using ui::WindowImplBase::OnTimer;  // the base's stays reachable beside ours
    // Hands a notification to the base window's handling (main_routing.cpp); tests override it
    // to see which notifications get there.
    virtual void BaseNotify(ui::TNotifyUI& msg);

  private:
    // Grouped by concern; each group lives in its own source file.
    void FirstShowInit();                         // main_wnd.cpp
    void PutAway();                               // main_wnd.cpp
    void StartWorkerThreads();                    // main_wnd.cpp
    void StopWorkerThreads();                     // main_wnd.cpp
    void OnTimer(ui::UINT id);                    // main_messages.cpp
    void OnMenuCommand(ui::MenuCmd* command);     // main_messages.cpp
    bool RouteToSubsystem(ui::TNotifyUI& msg);    // main_routing.cpp
    void RouteClick(ui::TNotifyUI& msg);          // main_routing.cpp
    void RouteSelectChanged(ui::TNotifyUI& msg);  // main_routing.cpp
    void SwitchDevicePage(ui::TNotifyUI& msg);    // main_routing.cpp
    void ChooseDpiStageColour(int stage);         // palette dialog, then the stage colour
    void OpenSkinChooser(ui::CControlUI* anchor);
    void OpenAboutWindow();
    void ShowFromTray();                      // main_wnd.cpp
    void MarkMenuChoices(ui::CMenuUI& menu);  // main_wnd.cpp
    void OnMouseAttached();                   // main_watch.cpp
    void OnMouseDetached(int next);           // main_watch.cpp
    void OnMousePresent(bool otherDevice);    // main_watch.cpp
    void OnMouseAbsent();                     // main_watch.cpp
    // The no-device page: shown (and selected on entering the state) with the nodes of a
    // device that is there but cannot be opened.
    void ShowNoDevicePage();          // main_watch.cpp
    void ApplyStartupLanguage();      // language_skin.cpp
    void SyncLanguageFromRegistry();  // language_skin.cpp

  public:
    // Members in the order of construction.
    std::array<StopEvent, kThreadSlots> m_stopEvents;
    std::array<std::thread, kThreadSlots> m_threads;
    std::array<ui::CControlUI*, 20> m_mouseLedButtons{};
    std::array<std::array<uint8_t, 4>, 20> m_mouseLedColors{};
    std::array<ui::CControlUI*, 15> m_padLedButtons{};
    std::array<ui::CControlUI*, 126> m_keyButtons{};
    int m_cursorSequence = 0;  // cursor-editor state
    int m_cursorStep = 0;
    ui::CControlUI* m_closeBtn = nullptr;
    ui::CControlUI* m_maxBtn = nullptr;
    ui::CControlUI* m_restoreBtn = nullptr;
    ui::CControlUI* m_minBtn = nullptr;
    ui::CControlUI* m_skinBtn = nullptr;
    std::unique_ptr<ui::CMenuWnd> m_popupMenu;
    ui::CTrayIcon m_trayIcon;
    CMainPage m_mainPage;
    CDeviceChannel m_keyboardDevice;
    CDeviceChannel m_mouseDevice;
    CDeviceChannel m_mousepadDevice;

  private:
    std::shared_ptr<HidBackend> backend_;
    host::Router routes_;
    mouse::MouseOperations* mouse_ = nullptr;
    profiles::ProfileOperations* profiles_ = nullptr;
    std::array<WorkerBody, kThreadSlots> workerBodies_;
    std::array<WorkerThreadParam, kThreadSlots> workerParams_{};
    std::array<std::shared_ptr<std::atomic<bool>>, kThreadSlots> threadEnded_{};
    bool threadsEndedInTime_ = true;
    std::chrono::milliseconds shutdownWait_{kShutdownWaitMs};
    bool firstShowDone_ = false;
    bool startHidden_ = false;
    bool noDevicePageShown_ = false;
    // Last, so the pages go before the rest of the window they use.
    std::vector<std::shared_ptr<void>> pages_;
};

}  // namespace gmd::app
