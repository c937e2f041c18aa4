// gmd-screenshots: starts the main window on the virtual mouse, walks the page tree the way a
// user clicks through it and saves a picture of each page, the main menu and the colour dialog
// (in the run's language and in simplified Chinese).
//
//   gmd-screenshots [--out DIR] [--lang en|cn]
//
// It uses the real data folder of $HOME, so run it with a scratch HOME (scripts/screenshots.sh).

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/custom_controls.h"
#include "app/main_wnd.h"
#include "app/subsystems.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "platform/foreground_program.h"
#include "platform/pointer_settings.h"
#include "ui/controls.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"
#include "ui/window.h"

namespace {

using namespace gmd;

struct Shot {
    const char* file;
    const char* deviceTab;
    const char* pageTab;  // nullptr: the device tab has no sub-pages
};

constexpr Shot kShots[] = {
    {"mouse-lighting", "ms_tab", "ms_deng_Op_tab"},
    {"mouse-performance", "ms_tab", "ms_rich_Op_tab"},
    {"mouse-buttons", "ms_tab", "ms_key_Op_tab"},
    {"mouse-macros", "ms_tab", "ms_macro_Op_tab"},
    {"mouse-cursor", "ms_tab", "ms_cursor_Op_tab"},
    {"keyboard-lighting", "kb_tab", "kb_deng_Op_tab"},
    {"keyboard-keys", "kb_tab", "kb_key_Op_tab"},
    {"keyboard-macros", "kb_tab", "kb_macro_Op_tab"},
    {"keyboard-cursor", "kb_tab", "kb_cursor_Op_tab"},
    {"mousepad", "mp_tab", nullptr},
    {"overview", "split_tab", nullptr},
    {"about", "ani_tab", nullptr},
};

void Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// Clicks an option as a user would: the notification runs the window's own routing.
bool Click(ui::CPaintManagerUI& pm, const char* name) {
    auto* option = dynamic_cast<ui::COptionUI*>(pm.FindControl(name));
    if (option == nullptr) {
        std::fprintf(stderr, "gmd-screenshots: no option '%s' in the layout\n", name);
        return false;
    }
    option->Selected(true);
    return true;
}

// The keyboard and the mousepad never attach here; the picture of their page shows their tab
// as it would be with that device attached, the mouse's tab as it is.
void ShowDeviceTabsFor(ui::CPaintManagerUI& pm, const char* deviceTab) {
    for (const char* tab : {"kb_tab", "mp_tab"}) {
        if (ui::CControlUI* option = pm.FindControl(tab)) {
            option->SetVisible(std::strcmp(tab, deviceTab) == 0);
        }
    }
}

// The main menu open over the window, as the menu button leaves it: the screen is grabbed, since
// the menu is a window of its own.
bool ShootMainMenu(app::CMainWnd& window, const std::string& outDir) {
    ui::CControlUI* control = window.GetPaintManager().FindControl("menubtn");
    auto* button =
        control != nullptr ? qobject_cast<QAbstractButton*>(control->GetWidget()) : nullptr;
    if (button == nullptr) {
        std::fprintf(stderr, "gmd-screenshots: no menu button in the layout\n");
        return false;
    }
    // The menu opens at the pointer, which a user's click leaves on the button.
    QCursor::setPos(button->mapToGlobal(button->rect().center()));
    Settle(50);
    button->click();
    Settle(300);
    QWidget* menu = QApplication::activePopupWidget();
    if (menu == nullptr) {
        std::fprintf(stderr, "gmd-screenshots: the menu button opened no menu\n");
        return false;
    }
    const QRect area = window.GetWidget()->frameGeometry().united(menu->frameGeometry());
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(
        0, area.x(), area.y(), area.width(), area.height());
    menu->close();
    const std::string path = outDir + "/menu.png";
    if (picture.isNull() || !picture.save(QString::fromStdString(path), "PNG")) {
        std::fprintf(stderr, "gmd-screenshots: cannot write '%s'\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

// The colour dialog of a DPI stage, opened by its colour button on the performance page as a
// user does, in the language shown; it is answered with Cancel once it has been pictured.
bool ShootPaletteDialog(app::CMainWnd& window, const std::string& path) {
    auto& pm = window.GetPaintManager();
    if (!Click(pm, "ms_tab") || !Click(pm, "ms_rich_Op_tab")) {
        return false;
    }
    Settle(200);
    ui::CControlUI* stage = pm.FindControl("ms_DPIcolor_btn_1");
    auto* button = stage != nullptr ? qobject_cast<QAbstractButton*>(stage->GetWidget()) : nullptr;
    if (button == nullptr) {
        std::fprintf(stderr, "gmd-screenshots: no DPI stage colour button in the layout\n");
        return false;
    }
    QCursor::setPos(button->mapToGlobal(button->rect().center()));
    bool saved = false;
    bool shown = false;
    QTimer::singleShot(500, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() != QLatin1String("UIPalletDialog") || !top->isVisible()) {
                continue;
            }
            shown = true;
            saved = top->grab().save(QString::fromStdString(path), "PNG");
            for (QWidget* child : top->findChildren<QWidget*>()) {
                ui::CControlUI* control = ui::CControlUI::FromWidget(child);
                if (control == nullptr || control->GetManager() == nullptr) {
                    continue;
                }
                if (auto* cancel = dynamic_cast<ui::CButtonUI*>(
                        control->GetManager()->FindControl("cancelbtn"))) {
                    cancel->Activate();
                    return;
                }
            }
            top->close();
            return;
        }
    });
    button->click();  // returns when the dialog has been answered
    if (!shown) {
        std::fprintf(stderr, "gmd-screenshots: the DPI stage colour button opened no dialog\n");
        return false;
    }
    if (!saved) {
        std::fprintf(stderr, "gmd-screenshots: cannot write '%s'\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

// The window once the mouse has gone: the no-device page. Taken last, as it unplugs the mouse.
bool ShootNoDevice(app::CMainWnd& window, emu::EmulatedDevice& mouse, const std::string& outDir) {
    mouse.Unplug();
    Settle(2500);  // a detection pass, then the self-closing "disconnected" box
    window.ShowWindow(true, true);
    window.Restore();
    Settle(300);
    const QPixmap picture = window.GetWidget()->grab();
    const std::string path = outDir + "/no-device.png";
    if (picture.isNull() || !picture.save(QString::fromStdString(path), "PNG")) {
        std::fprintf(stderr, "gmd-screenshots: cannot write '%s'\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    std::string outDir = "docs/screenshots";
    int language = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            outDir = argv[++i];
        } else if (std::strcmp(argv[i], "--lang") == 0 && i + 1 < argc) {
            const std::string lang = argv[++i];
            if (lang != "en" && lang != "cn") {
                std::fprintf(stderr, "gmd-screenshots: --lang takes en or cn\n");
                return 2;
            }
            language = lang == "cn" ? 1 : 0;
        } else {
            std::fprintf(stderr, "usage: gmd-screenshots [--out DIR] [--lang en|cn]\n");
            return 2;
        }
    }
    if (!QDir().mkpath(QString::fromStdString(outDir))) {
        std::fprintf(stderr, "gmd-screenshots: cannot create '%s'\n", outDir.c_str());
        return 1;
    }

    ui::CPaintManagerUI::SetResourcePath(GMD_BUILD_SKIN_DIR);
    auto* resources = ui::CResourceManager::GetInstance();
    if (!resources->LoadResource("res.xml")) {
        std::fprintf(stderr, "gmd-screenshots: cannot load the skin: %s\n",
                     resources->GetLastError().c_str());
        return 1;
    }
    app::RegisterCustomControls();
    QFile theme(QString::fromStdString(ui::CPaintManagerUI::GetResourcePath() + "theme.qss"));
    if (theme.open(QIODevice::ReadOnly)) {
        app.setStyleSheet(QString::fromUtf8(theme.readAll()));
    }

    VirtualHidBus bus;
    emu::EmulatedDevice mouse(DeviceKind::Mouse, bus);
    mouse.Plug();
    auto* window = new app::CMainWnd(bus.MakeBackend());
    // Stored only: pictures never change the desktop's pointer settings.
    app::InstallSubsystems(*window, MakeStoredPointerSettings(), MakeForegroundProgram());
    if (window->Create(0, "Gaming Mouse Driver", ui::UI_WNDSTYLE_FRAME, 0, 0, 0, 800, 572) == 0) {
        std::fprintf(stderr, "gmd-screenshots: cannot create the main window\n");
        delete window;
        return 1;
    }
    window->CenterWindow();
    window->ShowWindow(true, true);
    Settle(1500);  // first-show initialisation and the device's first read-out
    if (language != 0) {
        window->SwitchLanguage(language);
        Settle(200);
    }

    int failures = 0;
    auto& pm = window->GetPaintManager();
    for (const Shot& shot : kShots) {
        ShowDeviceTabsFor(pm, shot.deviceTab);
        if (!Click(pm, shot.deviceTab) || (shot.pageTab != nullptr && !Click(pm, shot.pageTab))) {
            ++failures;
            continue;
        }
        window->ShowWindow(true, true);
        Settle(300);
        const QPixmap picture = window->GetWidget()->grab();
        const std::string path = outDir + "/" + shot.file + ".png";
        if (picture.isNull() || !picture.save(QString::fromStdString(path), "PNG")) {
            std::fprintf(stderr, "gmd-screenshots: cannot write '%s'\n", path.c_str());
            ++failures;
            continue;
        }
        std::printf("%s\n", path.c_str());
    }
    if (!ShootMainMenu(*window, outDir)) {
        ++failures;
    }
    if (!ShootPaletteDialog(*window, outDir + "/palette.png")) {
        ++failures;
    }
    // The palette in simplified Chinese whatever the language of the run.
    window->SwitchLanguage(1);
    Settle(200);
    if (!ShootPaletteDialog(*window, outDir + "/palette-cn.png")) {
        ++failures;
    }
    window->SwitchLanguage(language);
    if (!ShootNoDevice(*window, mouse, outDir)) {
        ++failures;
    }

    window->Close(0);
    ui::CPaintManagerUI::PostQuitMessage(0);
    ui::CPaintManagerUI::MessageLoop();
    if (!window->ThreadsEndedInTime()) {
        std::fflush(nullptr);
        std::_Exit(failures == 0 ? 0 : 1);
    }
    delete window;
    resources->Release();
    return failures == 0 ? 0 : 1;
}
