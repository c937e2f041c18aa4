// The desktop application's start, message loop and end.

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/application.h"

#include "app/custom_controls.h"
#include "app/main_wnd.h"
#include "app/single_instance.h"
#include "app/subsystems.h"
#include "device/hidraw_backend.h"
#include "device/tracing_hid_backend.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "platform/autostart.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/foreground_program.h"
#include "platform/pointer_settings.h"
#include "ui/focus_frame.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"
#include "ui/tray_icon.h"
#include "ui/window.h"

namespace {

constexpr int kExitUsage = 64;

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int /*signal*/) {
    const char byte = 1;
    // Nothing else is safe in a signal handler; the UI thread closes the window.
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT close the main window, so shutdown runs as for the "exit" command.
std::unique_ptr<QSocketNotifier> InstallTerminationHandler() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) {
        return nullptr;
    }
    ::fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
    auto notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
        gmd::DebugTrace("termination signal");
        if (gmd::app::g_mainHwnd != 0) {
            gmd::ui::PostMessage(gmd::app::g_mainHwnd, gmd::ui::WM_CLOSE);
        } else {
            gmd::ui::CPaintManagerUI::PostQuitMessage(0);  // no window yet
        }
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    return notifier;
}

void ApplyTheme(QApplication& app) {
    QFile theme(QString::fromStdString(gmd::ui::CPaintManagerUI::GetResourcePath() + "theme.qss"));
    if (theme.open(QIODevice::ReadOnly)) {
        app.setStyleSheet(QString::fromUtf8(theme.readAll()));
    }
}

}  // namespace

namespace gmd::app {

namespace {
bool g_startHidden = false;
}  // namespace

bool StartedHidden() {
    return g_startHidden;
}

bool StartsInTray() {
    return g_startHidden && ui::CTrayIcon::IsTrayAvailable();
}

int RunApplication(int argc, char** argv, const std::function<void(CMainWnd&)>& beforeCreate) {
    bool useVirtualMouse = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--virtual") == 0) {
            useVirtualMouse = true;
        } else if (std::strcmp(argv[i], kStartHiddenArgument) == 0) {
            g_startHidden = true;
        } else {
            std::fprintf(stderr,
                         "usage: gaming-mouse-driver [--virtual] [--hidden]\n"
                         "  --virtual  use the built-in virtual mouse instead of hardware\n"
                         "  --hidden   start in the tray without showing the window\n");
            return kExitUsage;
        }
    }

    // The data files live in the user's home: never in a shared folder.
    if (std::string homeError; !CheckUserHome(homeError)) {
        std::fprintf(stderr, "gaming-mouse-driver: %s\n", homeError.c_str());
        return 1;
    }

    QApplication app(argc, argv);
    // Ties the windows to the installed menu entry (the Wayland app id) and its icon.
    QGuiApplication::setDesktopFileName("gaming-mouse-driver");
    QApplication::setWindowIcon(QIcon::fromTheme("gaming-mouse-driver"));
    // The window lives hidden in the tray; closing a message box must not end the process.
    QApplication::setQuitOnLastWindowClosed(false);
    const auto terminationNotifier = InstallTerminationHandler();

    g_instanceMessage = ui::RegisterWindowMessage("QUARVEN_004");
    {
        char line[64];
        std::snprintf(line, sizeof line, "软件标示：%u", g_instanceMessage);
        DebugTrace(line);
    }
    if (g_instanceMessage < ui::kRegisteredMessageFirst ||
        g_instanceMessage > ui::kRegisteredMessageLast) {
        return 0;
    }

    auto instance = std::make_unique<SingleInstance>();
    switch (instance->Acquire()) {
        case SingleInstance::Role::Second:
            return 0;  // the running instance has been woken
        case SingleInstance::Role::Unguarded:
        case SingleInstance::Role::First:
            break;
    }
    instance->SetWakeUpHandler([] { ui::PostMessage(g_mainHwnd, g_instanceMessage, 0, 0); });

    ui::CPaintManagerUI::SetResourcePath(ui::CPaintManagerUI::FindSkinFolder());
    auto* resources = ui::CResourceManager::GetInstance();
    if (!resources->LoadResource("res.xml")) {
        std::fprintf(stderr, "gaming-mouse-driver: cannot load the skin from %s: %s\n",
                     ui::CPaintManagerUI::GetResourcePath().c_str(),
                     resources->GetLastError().c_str());
        return 1;
    }
    RegisterCustomControls();
    ApplyTheme(app);
    ui::InstallKeyboardFocusFrame();

    // The virtual bus and its mouse outlive the window and its threads.
    std::unique_ptr<VirtualHidBus> bus;
    std::unique_ptr<emu::EmulatedDevice> virtualMouse;
    std::shared_ptr<HidBackend> backend;
    if (useVirtualMouse) {
        bus = std::make_unique<VirtualHidBus>();
        virtualMouse = std::make_unique<emu::EmulatedDevice>(DeviceKind::Mouse, *bus);
        virtualMouse->Plug();
        backend = bus->MakeBackend();
    } else {
        backend = std::make_shared<HidrawBackend>();
    }

    if (const char* traceHid = std::getenv("GMD_TRACE_HID");
        traceHid != nullptr && std::strcmp(traceHid, "0") != 0 && *traceHid != '\0') {
        // Every report to and from the devices, into the debug output.
        backend =
            MakeTracingBackend(backend, [](const std::string& line) { DebugTrace("hid " + line); });
    }

    auto* window = new CMainWnd(backend);
    InstallSubsystems(*window, MakeDesktopPointerSettings(), MakeForegroundProgram());
    if (beforeCreate) {
        beforeCreate(*window);
    }
    if (window->Open(g_startHidden) == 0) {
        std::fprintf(stderr, "gaming-mouse-driver: cannot create the main window\n");
        delete window;
        return 1;
    }

    ui::CPaintManagerUI::MessageLoop();

    if (!window->ThreadsEndedInTime()) {
        // A worker thread may still use the window and the device objects: end the process
        // here, without destructors running under it.
        instance.reset();  // later starts need not take over a stale socket
        std::fflush(nullptr);
        std::_Exit(0);
    }
    delete window;
    resources->Release();
    return 0;
}

}  // namespace gmd::app
