// The real program on a real X display with a notification area, as on an ordinary desktop: the
// window waits in the tray, a second start or the mouse brings it to the front, a start with the
// session stays in the tray, maximise and restore go through the window manager, and SIGTERM
// ends the session. Runs only where Xvfb and a tray host (trayer) are installed; the window
// manager test also needs openbox, xdotool and xprop.

#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <functional>
#include <string>

#include "tests/support/spin_until.h"

namespace {

using namespace std::chrono_literals;
using gmd::test::SpinUntil;

class DesktopSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        const QString trayer = QStandardPaths::findExecutable("trayer");
        if (xvfb.isEmpty() || trayer.isEmpty()) {
            GTEST_SKIP() << "needs Xvfb and trayer";
        }
        ASSERT_TRUE(dir_.isValid());
        // The server writes its display number once it accepts clients.
        xvfb_.start(xvfb, {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        ASSERT_TRUE(xvfb_.waitForStarted(10000));
        ASSERT_TRUE(SpinUntil([&] { return xvfb_.canReadLine(); }, 20s));
        display_ = ":" + QString::fromLatin1(xvfb_.readLine()).trimmed();

        trayer_.setProcessEnvironment(Environment());
        // A dock along the top that keeps its strip: a maximised window must stay below it.
        trayer_.start(
            trayer, {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                     "--height", "24", "--SetDockType", "true", "--SetPartialStrut", "true"});
        ASSERT_TRUE(trayer_.waitForStarted(10000));
        QTest::qWait(500);  // the tray host owns its selection before the program looks
    }
    void TearDown() override {
        for (QProcess* p : {&app_, &windowManager_, &trayer_, &xvfb_}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(10000);
            }
        }
    }

    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir_.path());
        env.insert("XDG_CONFIG_HOME", dir_.path() + "/.config");
        env.insert("XDG_RUNTIME_DIR", dir_.path());
        env.insert("DISPLAY", display_);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.remove("WAYLAND_DISPLAY");
        env.remove("GMD_DEBUG");
        return env;
    }
    void Start(QProcess& process, const QString& trace, const QStringList& args = {}) {
        QProcessEnvironment env = Environment();
        env.insert("GMD_DEBUG_FILE", dir_.path() + "/" + trace);
        process.setProcessEnvironment(env);
        process.start(GMD_APP_EXE, args);
        ASSERT_TRUE(process.waitForStarted(10000)) << process.errorString().toStdString();
    }
    QString Trace(const QString& name = "app") const {
        QFile file(dir_.path() + "/" + name);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // The next start of the program, which finds the first one running.
    void StartSecond() {
        QProcess second;
        Start(second, "second");
        ASSERT_TRUE(second.waitForFinished(30000));
        EXPECT_EQ(second.exitCode(), 0);
    }
    void EndWithSigterm() {
        app_.terminate();
        ASSERT_TRUE(app_.waitForFinished(30000));
        const std::string log = "stderr:\n" + app_.readAllStandardError().toStdString() +
                                "\ntrace:\n" + Trace().toStdString();
        EXPECT_EQ(app_.exitStatus(), QProcess::NormalExit) << log;
        EXPECT_EQ(app_.exitCode(), 0) << log;
        EXPECT_TRUE(Trace().contains("所有对象处于激发状态")) << log;
    }

    // Standard output of a program run on the test display (xdotool, xprop).
    QString Run(const QString& program, const QStringList& args) const {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.start(program, args);
        if (!p.waitForFinished(10000)) {
            return {};
        }
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    // The main window's geometry as X11 sees it, empty until it is mapped.
    QRect WindowGeometry(const QString& window) const {
        const QString shell = Run("xdotool", {"getwindowgeometry", "--shell", window});
        QMap<QString, int> v;
        for (const QString& line : shell.split('\n')) {
            const QStringList kv = line.split('=');
            if (kv.size() == 2) {
                v[kv[0]] = kv[1].toInt();
            }
        }
        return QRect(v.value("X"), v.value("Y"), v.value("WIDTH"), v.value("HEIGHT"));
    }
    QString WmState(const QString& window) const {
        return Run("xprop", {"-id", window, "_NET_WM_STATE"});
    }
    void Click(QPoint at, int repeat = 1) {
        Run("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()), "click",
                        "--repeat", QString::number(repeat), "--delay", "80", "1"});
    }

    QTemporaryDir dir_;
    QProcess xvfb_;
    QProcess windowManager_;
    QProcess trayer_;
    QProcess app_;
    QString display_;
};

TEST_F(DesktopSessionTest, WithoutADeviceTheWindowOpensOnTheNoDevicePage) {
    Start(app_, "app");
    ASSERT_TRUE(SpinUntil([&] { return Trace().contains("window: no device page"); }))
        << app_.readAllStandardError().toStdString();
    EXPECT_TRUE(Trace().contains("window: shown"));
    EXPECT_FALSE(Trace().contains("window: hidden in the tray"));
    // A second start brings it to the front, still on that page.
    StartSecond();
    EXPECT_TRUE(SpinUntil([&] { return Trace().contains("window: brought to the front"); }));
    EndWithSigterm();
}

TEST_F(DesktopSessionTest, AStartForTheTrayStaysThereUnflashedUntilAskedFor) {
    Start(app_, "app", {"--hidden"});
    ASSERT_TRUE(SpinUntil([&] { return Trace().contains("first-show initialisation done"); }))
        << app_.readAllStandardError().toStdString();
    EXPECT_TRUE(Trace().contains("window: kept in the tray, never shown"));
    EXPECT_TRUE(SpinUntil([&] { return Trace().contains("window: no device page"); }));
    QTest::qWait(500);
    EXPECT_FALSE(Trace().contains("window: brought to the front"));
    StartSecond();
    EXPECT_TRUE(SpinUntil([&] { return Trace().contains("window: brought to the front"); }));
    EndWithSigterm();
}

TEST_F(DesktopSessionTest, TheMouseAndASecondStartBringTheWindowToTheFront) {
    Start(app_, "app", {"--virtual"});
    ASSERT_TRUE(SpinUntil([&] { return Trace().contains("first-show initialisation done"); }))
        << app_.readAllStandardError().toStdString();
    // The detection thread's first find wakes the window, and so does a second start.
    EXPECT_TRUE(SpinUntil([&] { return Trace().count("window: brought to the front") == 1; }));
    EXPECT_FALSE(Trace().contains("window: no device page"));
    StartSecond();
    EXPECT_TRUE(SpinUntil([&] { return Trace().count("window: brought to the front") == 2; }));
    EndWithSigterm();
}

// The autostart entry starts the program with --hidden: it waits in the tray, also when the
// mouse is found; the user (a second start) brings it forward.
TEST_F(DesktopSessionTest, AStartWithTheSessionStaysInTheTray) {
    Start(app_, "app", {"--virtual", "--hidden"});
    ASSERT_TRUE(SpinUntil([&] { return Trace().contains("window: stays hidden"); }))
        << app_.readAllStandardError().toStdString() << Trace().toStdString();
    EXPECT_TRUE(Trace().contains("window: started hidden in the tray"));
    EXPECT_FALSE(Trace().contains("window: brought to the front"));
    if (!QStandardPaths::findExecutable("xdotool").isEmpty()) {
        EXPECT_EQ(Run("xdotool", {"search", "--onlyvisible", "--name", "Gaming Mouse Driver"}),
                  QString());
    }
    StartSecond();
    EXPECT_TRUE(SpinUntil([&] { return Trace().contains("window: brought to the front"); }));
    EndWithSigterm();
}

// Under a window manager that keeps the tray's strip free: the maximise button, the restore
// button and a caption double click change the window manager's state (_NET_WM_STATE), the
// maximised window fills the work area and not the tray, and the buttons follow.
TEST_F(DesktopSessionTest, MaximiseAndRestoreGoThroughTheWindowManager) {
    for (const char* tool : {"openbox", "xdotool", "xprop"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            GTEST_SKIP() << "needs " << tool;
        }
    }
    windowManager_.setProcessEnvironment(Environment());
    windowManager_.start("openbox", {});
    ASSERT_TRUE(windowManager_.waitForStarted(10000));
    ASSERT_TRUE(SpinUntil([&] {
        return Run("xprop", {"-root", "_NET_WORKAREA"}).contains("0, 24, 1280, 776");
    })) << "no window manager with the tray's strip";

    Start(app_, "app", {"--virtual"});
    ASSERT_TRUE(SpinUntil([&] { return Trace().contains("window: brought to the front"); }))
        << app_.readAllStandardError().toStdString();
    QString window;
    ASSERT_TRUE(SpinUntil([&] {
        window = Run("xdotool", {"search", "--onlyvisible", "--name", "Gaming Mouse Driver"});
        return !window.isEmpty() && !window.contains('\n') && WindowGeometry(window).width() > 0;
    }));
    const QRect normal = WindowGeometry(window);
    // The title bar: the maximise (or restore) button 60 pixels in from the right edge, free
    // caption 250 pixels in, both 22 pixels down.
    auto maxButton = [&](const QRect& r) { return QPoint(r.right() - 59, r.top() + 22); };
    auto caption = [&](const QRect& r) { return QPoint(r.right() - 249, r.top() + 22); };
    auto maximised = [&] {
        const QString state = WmState(window);
        return state.contains("_NET_WM_STATE_MAXIMIZED_VERT") &&
               state.contains("_NET_WM_STATE_MAXIMIZED_HORZ");
    };
    const QRect workArea(0, 24, 1280, 776);

    for (const char* how : {"buttons", "caption double click"}) {
        SCOPED_TRACE(how);
        const bool buttons = std::string(how) == "buttons";
        buttons ? Click(maxButton(normal)) : Click(caption(normal), 2);
        ASSERT_TRUE(SpinUntil(maximised)) << WmState(window).toStdString();
        EXPECT_TRUE(SpinUntil([&] { return WindowGeometry(window) == workArea; }))
            << "covers the tray or leaves space";

        buttons ? Click(maxButton(workArea)) : Click(caption(workArea), 2);
        ASSERT_TRUE(SpinUntil([&] { return !maximised(); })) << WmState(window).toStdString();
        EXPECT_TRUE(SpinUntil([&] { return WindowGeometry(window) == normal; }));
    }
    EndWithSigterm();
}

}  // namespace
