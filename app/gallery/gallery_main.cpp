// gmd-gallery: builds a layout (by default the fixture layout holding every control class) in a
// window, shows it and saves a picture of it.
//
//   gmd-gallery [--skin DIR] [--layout NAME] [--lang FILE] [--out FILE.png] [--size WxH]

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/custom_controls.h"
#include "ui/controls.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"
#include "ui/window.h"

namespace {

using namespace gmd;

struct Options {
    std::string skin = GMD_SOURCE_DIR "/tests/ui/skin";
    std::string layout = "XML_GALLERY";
    std::string lang = "lan_en.xml";
    bool langGiven = false;
    std::string out = "gallery.png";
    int width = 0;
    int height = 0;
};

void Usage() {
    std::fprintf(stderr,
                 "usage: gmd-gallery [--skin DIR] [--layout NAME] [--lang FILE] [--out FILE.png] "
                 "[--size WxH]\n"
                 "  --skin    skin folder holding res.xml (default: the source tree's test skin)\n"
                 "  --layout  resource name or layout file (default: XML_GALLERY)\n"
                 "  --lang    language file in the skin folder (default: lan_en.xml)\n"
                 "  --out     picture to write (default: gallery.png)\n"
                 "  --size    window client size (default: the layout's size)\n");
}

bool ParseSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 >= text.size()) {
        return false;
    }
    char* end = nullptr;
    const long w = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + x) {
        return false;
    }
    const long h = std::strtol(text.c_str() + x + 1, &end, 10);
    if (*end != '\0' || w < 1 || h < 1 || w > 8192 || h > 8192) {
        return false;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

// 0 on success, 2 on a usage error, with `options` filled.
int ParseOptions(const QStringList& args, Options& options) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        const std::string arg = args[i].toStdString();
        if (arg == "-h" || arg == "--help") {
            Usage();
            std::exit(0);
        }
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "gmd-gallery: %s needs a value\n", arg.c_str());
            return 2;
        }
        const std::string value = args[++i].toStdString();
        if (arg == "--skin") {
            options.skin = value;
        } else if (arg == "--layout") {
            options.layout = value;
        } else if (arg == "--lang") {
            options.lang = value;
            options.langGiven = true;
        } else if (arg == "--out") {
            options.out = value;
        } else if (arg == "--size") {
            if (!ParseSize(value, options.width, options.height)) {
                std::fprintf(stderr, "gmd-gallery: bad size '%s' (want WxH, e.g. 1200x800)\n",
                             value.c_str());
                return 2;
            }
        } else {
            std::fprintf(stderr, "gmd-gallery: unknown option '%s'\n", arg.c_str());
            Usage();
            return 2;
        }
    }
    return 0;
}

class GalleryWindow : public ui::WindowImplBase {
  public:
    explicit GalleryWindow(std::string layout) : layout_(std::move(layout)) {}
    const std::string& Error() const { return GetBuildError(); }

  protected:
    std::string GetWindowClassName() const override { return "GmdGallery"; }
    std::string GetSkinFile() const override { return layout_; }

  private:
    std::string layout_;
};

// The states the application would set at run time, so the picture shows them.
void Decorate(ui::CPaintManagerUI& pm) {
    if (auto* key = dynamic_cast<app::CDeviceKeyButtonUI*>(pm.FindControl("gallery_key_lit"))) {
        key->SetLight(0x00FF3B30, 230, true);
    }
    if (auto* key = dynamic_cast<app::CDeviceKeyButtonUI*>(pm.FindControl("gallery_key_set"))) {
        key->SetKeySetHidden(false);
    }
    if (auto* key = dynamic_cast<app::CDeviceKeyButtonUI*>(pm.FindControl("gallery_key_both"))) {
        key->SetLight(0x0030D158, 230, true);
        key->SetKeySetHidden(false);
    }
    // A rainbow over a row of keys, fading out towards the end.
    const ui::DWORD rainbow[] = {0xFF3B30, 0xFF9F0A, 0xFFD60A, 0x30D158,
                                 0x64D2FF, 0x0A84FF, 0xBF5AF2, 0xFF375F};
    for (int i = 0; i < 8; ++i) {
        const std::string name = "gallery_key_row_" + std::to_string(i);
        if (auto* key = dynamic_cast<app::CDeviceKeyButtonUI*>(pm.FindControl(name))) {
            key->SetLight(rainbow[i], static_cast<ui::DWORD>(255 - 20 * i), true);
        }
    }
    if (auto* combo = dynamic_cast<ui::CComboUI*>(pm.FindControl("gallery_combo"))) {
        combo->SelectItem(1, false, false);
    }
    if (auto* list = dynamic_cast<ui::CListUI*>(pm.FindControl("gallery_list"))) {
        list->SelectItem(1, false, false);
    }
    if (auto* host = dynamic_cast<app::CWndUI*>(pm.FindControl("gallery_wnd"))) {
        auto* hosted = new QLabel(QStringLiteral("hosted QWidget"));
        hosted->setAlignment(Qt::AlignCenter);
        hosted->setStyleSheet(QStringLiteral(
            "QLabel { background: #2B3440; color: #E0E0E0; border: 1px dashed #7FD0FF; }"));
        host->Attach(hosted);
    }
}

// Lets the window come up and lay itself out.
void Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Options options;
    if (const int rc = ParseOptions(QApplication::arguments(), options); rc != 0) {
        return rc;
    }

    std::string skin = QDir(QString::fromStdString(options.skin)).absolutePath().toStdString();
    if (!QFileInfo(QString::fromStdString(skin)).isDir()) {
        std::fprintf(stderr, "gmd-gallery: skin folder '%s' not found\n", skin.c_str());
        return 1;
    }
    ui::CPaintManagerUI::SetResourcePath(skin + "/");
    auto* resources = ui::CResourceManager::GetInstance();
    if (!resources->LoadResource("res.xml")) {
        std::fprintf(stderr, "gmd-gallery: %s\n", resources->GetLastError().c_str());
        return 1;
    }
    if (!resources->LoadLanguage(options.lang)) {
        if (options.langGiven) {
            std::fprintf(stderr, "gmd-gallery: %s\n", resources->GetLastError().c_str());
            return 1;
        }
        std::fprintf(stderr, "gmd-gallery: warning: no language file (%s); showing text ids\n",
                     resources->GetLastError().c_str());
    }
    app::RegisterCustomControls();

    GalleryWindow window(options.layout);
    window.Create(0, "Control gallery", ui::UI_WNDSTYLE_FRAME, 0);
    if (!window.Error().empty() || window.GetPaintManager().GetRoot() == nullptr) {
        std::fprintf(stderr, "gmd-gallery: cannot build '%s': %s\n", options.layout.c_str(),
                     window.Error().empty() ? "no layout" : window.Error().c_str());
        return 1;
    }
    Decorate(window.GetPaintManager());
    if (options.width > 0) {
        window.ResizeClient(options.width, options.height);
    }
    window.ShowWindow(true, false);
    Settle(400);

    QWidget* widget = window.GetWidget();
    if (widget == nullptr) {
        std::fprintf(stderr, "gmd-gallery: the window has no widget\n");
        return 1;
    }
    const QPixmap picture = widget->grab();
    const QString out = QFileInfo(QString::fromStdString(options.out)).absoluteFilePath();
    if (picture.isNull() || !picture.save(out, "PNG")) {
        std::fprintf(stderr, "gmd-gallery: cannot write '%s'\n", out.toStdString().c_str());
        return 1;
    }
    std::printf("%s\n", out.toStdString().c_str());
    window.Close(0);
    return 0;
}
