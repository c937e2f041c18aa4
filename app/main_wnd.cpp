// CMainWnd: construction and teardown, window and first-show initialisation, the worker
// threads, and the window's own procedures (wake-up, no device, tray, menus).

#include "app/main_wnd.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "app/application.h"
#include "app/custom_controls.h"
#include "app/show_trace.h"
#include "platform/autostart.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "platform/text.h"
#include "ui/dialog_builder.h"
#include "ui/resource_manager.h"

namespace gmd::app {

ui::HWND g_mainHwnd = 0;
ui::UINT g_instanceMessage = 0;

namespace {

constexpr ui::DWORD kPaletteStartColour = 0xFF0199CB;
constexpr uint16_t kVendorId = 0x0C45;
constexpr uint16_t kMouseProduct = 0x7643;
constexpr uint16_t kMousepadProduct = 0x5004;
constexpr uint16_t kKeyboardProduct = 0x6556;
constexpr uint16_t kCommandUsage = 0x92;
constexpr uint16_t kCommandUsagePage = 0xFF1C;

// Thread indices that run a worker; the other slots only have their stop event.
constexpr std::array<int, 8> kWorkerIndices{1, 3, 4, 5, 6, 7, 8, 11};

struct Placeholder {
    const char* tag;
    const char* file;
};
constexpr Placeholder kPlaceholders[] = {
    {"kb_Key_UI", "keyboard_key.xml"},     {"kb_Deng_UI", "keyboard_deng.xml"},
    {"kb_Macro_UI", "keyboard_macro.xml"}, {"MS_Deng_UI", "Mouse_deng.xml"},
    {"MS_Macro_UI", "Mouse_macro.xml"},    {"MS_Key_UI", "Mouse_key.xml"},
    {"MP_deng_UI", "MousePad_deng.xml"},   {"MS_DPI_UI", "Mouse_DPI.xml"},
    {"MS_CURSOR_UI", "Mouse_cursor.xml"},  {"kb_CURSOR_UI", "Mouse_cursor.xml"},
};

std::filesystem::path MainIniPath() {
    return AppDataFolder() / "main.ini";
}

// A slot without a body of its own keeps to the contract and simply waits to be stopped.
void IdleWorker(WorkerThreadParam& param) {
    param.stopEvent->Reset();
    param.stopEvent->Wait(-1);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction and teardown

CMainWnd::CMainWnd(std::shared_ptr<HidBackend> backend)
    : m_keyboardDevice(backend),
      m_mouseDevice(backend),
      m_mousepadDevice(backend),
      backend_(std::move(backend)) {}

CMainWnd::~CMainWnd() {
    ui::CMenuWnd::DestroyMenu();
    if (m_popupMenu) {
        m_popupMenu->Close();
        m_popupMenu.reset();
    }
    // A window deleted without being closed still stops its threads before its members go.
    if (std::any_of(m_threads.begin(), m_threads.end(), [](auto& t) { return t.joinable(); })) {
        StopWorkerThreads();
    }
    // The subject outlives us; it must not keep a pointer to a deleted receiver.
    RemoveObserver();
    if (ui::CResourceManager::GetInstance() != nullptr) {
        ui::CResourceManager::GetInstance()->SetTextQueryInterface(nullptr);
    }
    if (g_mainHwnd == GetHWND()) {
        g_mainHwnd = 0;
    }
}

void CMainWnd::SetWorkerBody(int index, WorkerBody body) {
    if (index >= 0 && index < kThreadSlots) {
        workerBodies_[static_cast<size_t>(index)] = std::move(body);
    }
}

bool CMainWnd::AnyDeviceConnected() const {
    return m_keyboardDevice.IsConnected() || m_mouseDevice.IsConnected() ||
           m_mousepadDevice.IsConnected();
}

// ---- the page host ---------------------------------------------------------------------------

CDeviceChannel& CMainWnd::Channel(DeviceKind device) {
    switch (device) {
        case DeviceKind::Keyboard:
            return m_keyboardDevice;
        case DeviceKind::Mousepad:
            return m_mousepadDevice;
        case DeviceKind::Mouse:
            break;
    }
    return m_mouseDevice;
}

namespace {

std::atomic<int>& SendFlag(CMainWnd& wnd, DeviceKind device) {
    switch (device) {
        case DeviceKind::Keyboard:
            return wnd.m_keyboardSendFlag;
        case DeviceKind::Mousepad:
            return wnd.m_mousepadSendFlag;
        case DeviceKind::Mouse:
            break;
    }
    return wnd.m_mouseSendFlag;
}

}  // namespace

void CMainWnd::MarkLiveChanged(DeviceKind device) {
    SendFlag(*this, device).store(1);
}

bool CMainWnd::TakeLiveChanged(DeviceKind device) {
    return SendFlag(*this, device).exchange(0) != 0;
}

void CMainWnd::StoreProfile(profiles::ListId list) {
    if (profiles_ != nullptr) {
        profiles_->StoreCurrentProfile(list);
    }
}

void CMainWnd::PostToUi(std::function<void()> task) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
}

void CMainWnd::ReadOutLater(DeviceKind device, int delayMs) {
    // Only the mouse attaches; its read-out runs on timer 8.
    if (device == DeviceKind::Mouse) {
        ui::SetTimer(GetHWND(), TIMER_MOUSE_ATTACH, static_cast<ui::UINT>(delayMs));
    }
}

void CMainWnd::OnFinalMessage(ui::HWND /*hwnd*/) {
    // The entry point owns and deletes this object after the message loop.
}

// ---------------------------------------------------------------------------------------------
// Layout

ui::CControlUI* CMainWnd::CreateControl(const std::string& className) {
    const std::string lowered = ui::Lower(className);
    for (const Placeholder& placeholder : kPlaceholders) {
        if (lowered == ui::Lower(placeholder.tag)) {
            ui::CDialogBuilder builder;
            ui::CControlUI* page = builder.Create(placeholder.file, nullptr, nullptr, &m_pm);
            if (page == nullptr) {
                DebugTrace("sub-page " + std::string(placeholder.file) + ": " +
                           builder.GetLastError());
            }
            return page;
        }
    }
    if (lowered == "circleprogress") {
        return new CCircleProgressUI;
    }
    if (lowered == "devicekeybutton") {
        return new CDeviceKeyButtonUI;
    }
    return nullptr;
}

void CMainWnd::InitWindow() {
    DebugTrace("InitWindow");
    auto* resources = ui::CResourceManager::GetInstance();
    resources->SetTextQueryInterface(this);
    resources->LoadLanguage("lan_cn.xml");
    SkinChangedSubject().AddReceiver(this);

    m_closeBtn = m_pm.FindControl("closebtn");
    m_maxBtn = m_pm.FindControl("maxbtn");
    m_restoreBtn = m_pm.FindControl("restorebtn");
    m_minBtn = m_pm.FindControl("minbtn");
    m_skinBtn = m_pm.FindControl("skinbtn");

    auto takeLed = [this](const std::string& prefix, auto& store) {
        for (size_t i = 0; i < store.size(); ++i) {
            ui::CControlUI* led = m_pm.FindControl(prefix + std::to_string(i));
            store[i] = led;
            if (led != nullptr) {
                led->SetIsChangerColor(true);
                led->SetChangerAlpha(0);
            }
        }
    };
    takeLed("ms_dkey_", m_mouseLedButtons);
    takeLed("mp_dkey_", m_padLedButtons);
    for (size_t i = 0; i < m_keyButtons.size(); ++i) {
        m_keyButtons[i] = m_pm.FindControl("kb_key_" + std::to_string(i));
    }

    g_mainHwnd = GetHWND();
    TraceWindowShows(GetWidget(), "window");

    for (const char* name :
         {"ms_deng_Color_Pallet", "mp_deng_Color_Pallet", "kb_deng_Color_Pallet"}) {
        if (auto* palette = dynamic_cast<ui::CColorPaletteUI*>(m_pm.FindControl(name))) {
            palette->SetSelectColor(kPaletteStartColour);
        }
    }

    if (!m_trayIcon.CreateTrayIcon(GetHWND(), "tray.svg", "Gaming Mouse Driver")) {
        DebugTrace("tray icon: cannot load tray.svg");
    }
    MarkUnbuiltControls();
}

void CMainWnd::FirstShowInit() {
    if (firstShowDone_) {
        return;
    }
    firstShowDone_ = true;

    const std::filesystem::path mainIni = MainIniPath();
    if (ParseLeadingInt(IniReadString(mainIni, "SKINIMAGE", "FLAGS", "0")) == 1) {
        const std::string image = IniReadString(mainIni, "SKINIMAGE", "IMAGE", "0");
        if (ui::CControlUI* root = m_pm.FindControl("root")) {
            root->SetBkColor(0);
            root->SetBkImage(image);
        }
    }

    // Page start-up in device order: the mouse's own settings, and each device's profile lists.
    for (const DeviceKind device :
         {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad}) {
        if (device == DeviceKind::Mouse && mouse_ != nullptr) {
            mouse_->Startup();
        }
        if (profiles_ != nullptr) {
            profiles_->FillProfileLists(device);
        }
    }

    m_mouseDevice.SetIdentity(kVendorId, kMouseProduct, kCommandUsage, kCommandUsagePage);
    m_mousepadDevice.SetIdentity(kVendorId, kMousepadProduct, kCommandUsage, kCommandUsagePage);
    m_keyboardDevice.SetIdentity(kVendorId, kKeyboardProduct, kCommandUsage, kCommandUsagePage);

    SyncLanguageFromRegistry();

    // A start for the tray (at login) stays there until the user asks for the window; any
    // other start shows it, on the no-device page while nothing is attached. Without a
    // notification area a hidden window could not be brought back.
    if (StartsInTray()) {
        DebugTrace(IsWindowVisible() ? "window: hidden in the tray"
                                     : "window: kept in the tray, never shown");
        ShowWindow(false);
    } else if (StartedHidden()) {
        DebugTrace("window: kept shown, no system tray");
    } else {
        DebugTrace("window: shown");
    }

    StartWorkerThreads();

    const ui::HWND hwnd = GetHWND();
    ui::SetTimer(hwnd, TIMER_SEND_LIVE, 100);
    ui::SetTimer(hwnd, TIMER_REPAINT, 100);

    ApplyStartupLanguage();
    DebugTrace("first-show initialisation done");
}

// ---------------------------------------------------------------------------------------------
// Worker threads

void CMainWnd::StartWorkerThreads() {
    for (size_t i = 0; i < kThreadSlots; ++i) {
        m_stopEvents[i].Reset();
        workerParams_[i] = WorkerThreadParam{this, &m_stopEvents[i]};
    }
    for (const int index : kWorkerIndices) {
        const auto slot = static_cast<size_t>(index);
        if (m_threads[slot].joinable()) {
            continue;
        }
        WorkerBody body = workerBodies_[slot] ? workerBodies_[slot] : WorkerBody(IdleWorker);
        auto ended = std::make_shared<std::atomic<bool>>(false);
        threadEnded_[slot] = ended;
        WorkerThreadParam* param = &workerParams_[slot];
        m_threads[slot] = std::thread([body = std::move(body), param, ended, index] {
            try {
                body(*param);
            } catch (const std::exception& error) {
                DebugTrace("worker thread " + std::to_string(index) + " failed: " + error.what());
            } catch (...) {
                DebugTrace("worker thread " + std::to_string(index) + " failed");
            }
            ended->store(true);
        });
    }
}

void CMainWnd::StopWorkerThreads() {
    for (StopEvent& event : m_stopEvents) {
        event.Set();
    }
    auto running = [this](size_t slot) {
        return m_threads[slot].joinable() && threadEnded_[slot] && !threadEnded_[slot]->load();
    };
    const auto deadline = std::chrono::steady_clock::now() + shutdownWait_;
    bool allEnded = false;
    for (;;) {
        allEnded = true;
        for (size_t slot = 0; slot < kThreadSlots; ++slot) {
            if (running(slot)) {
                allEnded = false;
                // A thread that had not yet started resets its event on start; tell it again.
                m_stopEvents[slot].Set();
            }
        }
        if (allEnded || std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    DebugTrace(allEnded ? "所有对象处于激发状态\n" : "所有对象处于非激发状态，超时\n");

    for (size_t slot = 0; slot < kThreadSlots; ++slot) {
        if (!m_threads[slot].joinable()) {
            continue;
        }
        if (running(slot)) {
            // It may never end; it must not keep the process alive.
            DebugTrace("worker thread " + std::to_string(slot) + " left running");
            m_threads[slot].detach();
            threadsEndedInTime_ = false;
        } else {
            m_threads[slot].join();
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Shutdown stage 1

ui::LRESULT CMainWnd::OnDestroy(ui::UINT /*msg*/, ui::WPARAM /*wParam*/, ui::LPARAM /*lParam*/,
                                bool& handled) {
    m_trayIcon.DeleteTrayIcon();
    ui::CPaintManagerUI::PostQuitMessage(0);
    handled = false;  // stage 2 runs in the custom-message handler
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Procedures

namespace {

// Brings a window to the front without keeping it on top.
void RaiseBriefly(ui::CWindowWnd& window) {
    window.SetTopMost(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    window.SetTopMost(false);
    window.BringToFront();
}

ui::POINT CursorPosition() {
    const QPoint position = QCursor::pos();
    return {position.x(), position.y()};
}

}  // namespace

void CMainWnd::WakeUp(bool forceRaise) {
    // Without a device the window opens on the no-device page, which says what to do. Raising
    // through the stay-on-top flag takes the window down and up again, so it is kept for a
    // second start's window already on screen, where a plain raise may be refused.
    if (forceRaise && IsWindowVisible() && !IsMinimized()) {
        RaiseBriefly(*this);
    } else {
        ShowWindow(true);
        BringToFront();
    }
    DebugTrace("window: brought to the front");
}

void CMainWnd::NoDevice() {
    if (ui::CControlUI* lightTab = m_pm.FindControl("ms_deng_Op_tab")) {
        lightTab->SetFocus();
    }
    ShowNoDevicePage();
    ShowTimedMessageBox(true, "message_text_20");
    PutAway();
}

void CMainWnd::PutAway() {
    // Hidden, a window could only come back through the tray: without one it is minimised.
    if (ui::CTrayIcon::IsTrayAvailable()) {
        ShowWindow(false);
        DebugTrace("window: hidden in the tray");
    } else {
        Minimize();
        DebugTrace("window: minimised, no system tray");
    }
}

void CMainWnd::TrayLeftClick() {
    // With or without a device: without one the window shows the no-device page.
    const bool visible = IsWindowVisible();
    const bool minimised = IsMinimized();
    const bool shown = (visible && !minimised) || (minimised && !visible);
    if (shown) {
        ShowWindow(false);
        return;
    }
    ShowFromTray();
}

void CMainWnd::ShowFromTray() {
    ShowWindow(true);
    BringToFront();
    m_pm.Invalidate();
    m_pm.NeedUpdate();
    ui::SetTimer(GetHWND(), TIMER_REPAINT_ONCE, 10);
}

void CMainWnd::MarkMenuChoices(ui::CMenuUI& menu) {
    constexpr const char* kLanguageItems[] = {"lan_en", "lan_cn", "lan_tw"};
    const int language = CurrentLanguage();
    for (int i = 0; i < menu.GetCount(); ++i) {
        ui::CMenuElementUI* item = menu.GetItemAt(i);
        for (int l = 0; l < 3; ++l) {
            if (EqualsIgnoreCase(item->name, kLanguageItems[l])) {
                item->checkable = true;
                item->checked = l == language;
            }
        }
        if (EqualsIgnoreCase(item->name, "autostart")) {
            item->checkable = true;
            item->checked = AutostartEnabled();
        }
    }
}

void CMainWnd::TrayRightClick() {
    ui::POINT point = CursorPosition();
    point.y -= 50;
    m_popupMenu = std::make_unique<ui::CMenuWnd>();
    if (!m_popupMenu->Init(GetHWND(), "menu1.xml", point,
                           ui::eMenuAlignment_Left | ui::eMenuAlignment_Top)) {
        DebugTrace("menu1.xml: " + m_popupMenu->GetLastError());
        return;
    }
    ui::CMenuUI* menu = m_popupMenu->GetMenuUI();
    const ui::CResourceManager* resources = ui::CResourceManager::GetInstance();
    // The window's own entry on top, "Close" last.
    const bool shown = IsWindowVisible() && !IsMinimized();
    ui::CMenuElementUI toggle;
    toggle.name = shown ? "tray_hide" : "tray_show";
    toggle.text = resources->GetText(shown ? "menu_hide" : "menu_show");
    ui::CMenuElementUI separator;
    separator.separator = true;
    ui::CMenuElementUI exitItem;
    exitItem.name = "exit";
    exitItem.text = resources->GetText("menu_close");
    menu->AddAt(toggle, 0);
    menu->AddAt(separator, 1);
    menu->Add(separator);
    menu->Add(exitItem);
    MarkMenuChoices(*menu);
    m_popupMenu->ResizeMenu();
}

void CMainWnd::OpenMainMenu() {
    m_popupMenu = std::make_unique<ui::CMenuWnd>();
    if (!m_popupMenu->Init(GetHWND(), "menu.xml", CursorPosition(),
                           ui::eMenuAlignment_Left | ui::eMenuAlignment_Top)) {
        DebugTrace("menu.xml: " + m_popupMenu->GetLastError());
        return;
    }
    MarkMenuChoices(*m_popupMenu->GetMenuUI());
    m_popupMenu->ResizeMenu();
}

void CMainWnd::ToggleAutostart() {
    const bool enable = !AutostartEnabled();
    std::string error;
    if (!SetAutostart(enable, QCoreApplication::applicationFilePath().toStdString(), error)) {
        ShowMessageBox(
            ui::CResourceManager::GetInstance()->GetText("message_autostart_failed") + "\n" + error,
            false);
        return;
    }
    DebugTrace(enable ? "autostart entry written" : "autostart entry removed");
}

ui::HWND CMainWnd::Open(bool hidden) {
    startHidden_ = hidden;
    const ui::DWORD style =
        hidden ? ui::UI_WNDSTYLE_FRAME & ~ui::WS_VISIBLE : ui::UI_WNDSTYLE_FRAME;
    if (Create(0, "Gaming Mouse Driver", style, 0, 0, 0, 800, 572) == 0) {
        return 0;
    }
    CenterWindow();
    if (!hidden) {
        return GetHWND();
    }
    if (ui::CTrayIcon::IsTrayAvailable()) {
        // Initialised as on its first show, without being shown.
        PostWindowInit();
        DebugTrace("window: started hidden in the tray");
    } else {
        Minimize();
        DebugTrace("window: started minimised, no system tray");
    }
    return GetHWND();
}

}  // namespace gmd::app
