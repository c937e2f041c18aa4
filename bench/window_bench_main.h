#pragma once
// What the benchmarks that drive the real window offscreen share: waiting on the event loop, and
// main() with a scratch home, the skin and the application's controls.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdlib>
#include <functional>

#include "app/custom_controls.h"
#include "app/main_wnd.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace gmd::bench {

// Runs the event loop in 1 ms steps (finer than the tests' wait: these are timings) until
// `done`; false when the limit passes first.
inline bool SpinUntil(const std::function<bool()>& done, int limitMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

inline int RunWindowBenchmarks(int argc, char** argv) {
    // A scratch home: nothing of the user's is read or written.
    QTemporaryDir home;
    setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit().constData(), 1);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ui::CPaintManagerUI::SetResourcePath(GMD_SKIN_DIR);
    if (!ui::CResourceManager::GetInstance()->LoadResource("res.xml")) {
        return 1;
    }
    app::RegisterCustomControls();
    app::g_instanceMessage = ui::RegisterWindowMessage("QUARVEN_004");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace gmd::bench
