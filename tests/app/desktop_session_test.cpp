// The real program on a real X display with a notification area, as on an ordinary desktop: the
// window waits in the tray without flashing up, a second start or the mouse brings it to the
// front with one show, and SIGTERM ends the session. Runs only where Xvfb and a tray host (trayer)
// are installed.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
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
        trayer_.start(trayer, {"--edge", "top", "--align", "right", "--widthtype", "pixel",
                               "--width", "120", "--height", "24"});
        ASSERT_TRUE(trayer_.waitForStarted(10000));
        QTest::qWait(500);  // the tray host owns its selection before the program looks
    }
    void TearDown() override {
        for (QProcess* p : {&app_, &trayer_, &xvfb_}) {
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

    QTemporaryDir dir_;
    QProcess xvfb_;
    QProcess trayer_;
    QProcess app_;
    QString display_;
};

TEST_F(DesktopSessionTest, WithoutADeviceTheWindowStaysInTheTray) {
    Start(app_, "app");
    ASSERT_TRUE(SpinUntil([&] { return Trace().contains("first-show initialisation done"); }))
        << app_.readAllStandardError().toStdString();
    EXPECT_TRUE(Trace().contains("window: hidden in the tray"));
    // It waits there without having been on screen: no flash of a window at start-up.
    EXPECT_FALSE(Trace().contains("window: shown"));

    // A second start finds no device to show: the window stays put away (and says so in a box).
    StartSecond();
    EXPECT_TRUE(SpinUntil([&] { return Trace().count("window: hidden in the tray") == 2; }));
    EXPECT_FALSE(Trace().contains("window: brought to the front"));
    EndWithSigterm();
}

TEST_F(DesktopSessionTest, TheMouseAndASecondStartBringTheWindowToTheFront) {
    Start(app_, "app", {"--virtual"});
    ASSERT_TRUE(SpinUntil([&] { return Trace().contains("window: hidden in the tray"); }))
        << app_.readAllStandardError().toStdString();
    // The detection thread's first find wakes the window, and so does a second start.
    EXPECT_TRUE(SpinUntil([&] { return Trace().count("window: brought to the front") == 1; }));
    // Shown once, when the mouse is found: never shown, hidden and shown again (a flicker).
    EXPECT_TRUE(SpinUntil([&] { return Trace().contains("window: first frame shown"); }));
    EXPECT_EQ(Trace().count("window: shown ("), 1) << Trace().toStdString();
    StartSecond();
    EXPECT_TRUE(SpinUntil([&] { return Trace().count("window: brought to the front") == 2; }));
    EndWithSigterm();
}

}  // namespace
