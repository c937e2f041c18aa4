// Skin files are outside input: layouts, the resource index and language files must be
// refused with an error, never crash, whatever bytes they hold.

#include <QApplication>
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "ui/control.h"
#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace {

// Knows one extra tag, so callback-created controls take part too.
class FuzzCallback final : public gmd::ui::IDialogBuilderCallback {
  public:
    gmd::ui::CControlUI* CreateControl(const std::string& className) override {
        return className == "FuzzPage" ? new gmd::ui::CControlUI : nullptr;
    }
};

}  // namespace

// Every run parses the input into Qt strings and widgets, so ASan's default 256 MB quarantine
// of freed blocks, spread over ever more size classes as inputs grow, kept the resident size
// rising run after run (our own heap stays flat). A smaller one still outlives a run, which is
// what use-after-free checks need here. ASAN_OPTIONS still overrides it.
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=16";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Lives for the whole run: widgets need it.
    static QApplication* app = new QApplication(*argc, *argv);
    (void)app;
    gmd::ui::CPaintManagerUI::SetResourcePath("/nonexistent-skin/");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    gmd::ui::CDialogBuilder builder;
    FuzzCallback callback;
    gmd::ui::CPaintManagerUI manager;
    std::unique_ptr<gmd::ui::CControlUI> root(
        builder.CreateFromText(text, "fuzz.xml", &callback, &manager));
    if (!root && builder.GetLastError().empty()) {
        __builtin_trap();  // a failed build must say why
    }

    gmd::ui::CResourceManager resources;
    if (!resources.LoadResourceFromText(text, "res.xml") && resources.GetLastError().empty()) {
        __builtin_trap();
    }
    if (!resources.LoadLanguageFromText(text, "lan.xml") && resources.GetLastError().empty()) {
        __builtin_trap();
    }
    gmd::ui::AttributeList pairs;
    std::string error;
    gmd::ui::ParseAttributeList(text, pairs, &error);
    // Without an event loop the notifications queued for later would pile up run after run
    // (and could meet a later run's controls at a reused address): deliver them now.
    QCoreApplication::sendPostedEvents();
    return 0;
}
