// The real program, started twice: the second start wakes the first and ends; a socket left by
// a killed instance does not stop the next start; bad arguments end with usage; a worker thread
// that never ends does not keep the process alive.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <functional>
#include <string>

#include "app/single_instance.h"
#include "tests/support/spin_until.h"

namespace {

using namespace std::chrono_literals;
using gmd::test::SpinUntil;
using Clock = std::chrono::steady_clock;

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A private HOME and runtime folder, so the instances under test meet nobody else's.
class SingleInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    void Start(QProcess& process, const QString& traceName, const QStringList& args = {},
               const QString& program = GMD_APP_EXE) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir_.path());
        env.insert("XDG_CONFIG_HOME", dir_.path() + "/.config");
        env.insert("XDG_RUNTIME_DIR", dir_.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("GMD_DEBUG_FILE", Trace(traceName));
        env.remove("GMD_DEBUG");
        process.setProcessEnvironment(env);
        process.start(program, args);
        ASSERT_TRUE(process.waitForStarted(10000)) << process.errorString().toStdString();
    }
    QString Trace(const QString& name) const { return dir_.path() + "/" + name + ".txt"; }
    QString SocketPath() const {
        return dir_.path() + "/gaming-mouse-driver-" + QString::number(::getuid()) +
               "/PELKARDRVER1";
    }
    // Up and running: the main window exists and the guard listens.
    bool WaitUntilRunning(QProcess& process, const QString& traceName) {
        return SpinUntil([&] {
            return process.state() == QProcess::Running &&
                   ReadAll(Trace(traceName)).contains("InitWindow") &&
                   QFileInfo::exists(SocketPath());
        });
    }
    static void Stop(QProcess& process) {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }

    QTemporaryDir dir_;
};

TEST_F(SingleInstanceTest, SecondStartWakesTheFirstAndEnds) {
    QProcess first;
    Start(first, "first");
    ASSERT_TRUE(WaitUntilRunning(first, "first")) << first.readAllStandardError().toStdString();

    QProcess second;
    Start(second, "second");
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    const QString secondTrace = ReadAll(Trace("second"));
    EXPECT_TRUE(secondTrace.contains("软件标示："));
    EXPECT_FALSE(secondTrace.contains("InitWindow"));  // no window at all

    // The first received the registered message.
    EXPECT_TRUE(SpinUntil([&] { return ReadAll(Trace("first")).contains("软件标示 "); }));
    EXPECT_EQ(first.state(), QProcess::Running);

    // SIGTERM runs the ordinary shutdown.
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    const QString firstTrace = ReadAll(Trace("first"));
    EXPECT_TRUE(firstTrace.contains("退出测试"));
    EXPECT_TRUE(firstTrace.contains("所有对象处于激发状态"));
    EXPECT_FALSE(QFileInfo::exists(SocketPath()));
    Stop(first);
}

TEST_F(SingleInstanceTest, SocketOfAKilledInstanceIsTakenOver) {
    QProcess crashed;
    Start(crashed, "crashed");
    ASSERT_TRUE(WaitUntilRunning(crashed, "crashed"));
    crashed.kill();
    ASSERT_TRUE(crashed.waitForFinished(10000));
    ASSERT_TRUE(QFileInfo::exists(SocketPath()));  // left behind

    QProcess next;
    Start(next, "next");
    EXPECT_TRUE(SpinUntil([&] { return ReadAll(Trace("next")).contains("InitWindow"); }))
        << next.readAllStandardError().toStdString();
    EXPECT_EQ(next.state(), QProcess::Running);
    next.terminate();
    EXPECT_TRUE(next.waitForFinished(30000));
    EXPECT_EQ(next.exitCode(), 0);
    Stop(next);
}

TEST_F(SingleInstanceTest, AWorkerThatNeverEndsDoesNotKeepTheProcessAlive) {
    QProcess hung;
    Start(hung, "hung", {}, GMD_HUNG_WORKER_EXE);
    ASSERT_TRUE(WaitUntilRunning(hung, "hung")) << hung.readAllStandardError().toStdString();
    ASSERT_TRUE(SpinUntil(
        [&] { return ReadAll(Trace("hung")).contains("first-show initialisation done"); }));
    const auto asked = Clock::now();
    hung.terminate();
    ASSERT_TRUE(hung.waitForFinished(60000));
    EXPECT_EQ(hung.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(hung.exitCode(), 0);
    // It waited for its threads the full second it was given, then gave the hung one up.
    EXPECT_GE(Clock::now() - asked, 900ms);
    const QString trace = ReadAll(Trace("hung"));
    EXPECT_TRUE(trace.contains("所有对象处于非激发状态，超时"));
    EXPECT_TRUE(trace.contains("worker thread 5 left running"));
    EXPECT_FALSE(QFileInfo::exists(SocketPath()));
    Stop(hung);
}

TEST_F(SingleInstanceTest, OtherArgumentsEndWithUsage) {
    for (const QStringList& args : {QStringList{"--bogus"}, QStringList{"--virtual", "extra"}}) {
        QProcess process;
        Start(process, "usage", args);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 64) << args.join(' ').toStdString();
        EXPECT_TRUE(process.readAllStandardError().contains("usage: gaming-mouse-driver"));
    }
}

// Without XDG_RUNTIME_DIR the socket goes into a folder of the temporary folder that only this
// user may enter; a folder of that name that others may enter is not used.
TEST(SingleInstancePath, APrivateFolderOfOursOnly) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray tmpdir = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", tmp.path().toUtf8());
    const std::string folder =
        tmp.path().toStdString() + "/gaming-mouse-driver-" + std::to_string(::getuid());
    const std::string path = gmd::app::SingleInstanceSocketPath();
    struct stat info {};
    EXPECT_EQ(path, folder + "/PELKARDRVER1");
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());

    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    EXPECT_NE(gmd::app::SingleInstanceSocketPath().rfind(folder + "/", 0), 0u);
    if (runtime.isNull()) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", runtime);
    }
    if (tmpdir.isNull()) {
        qunsetenv("TMPDIR");
    } else {
        qputenv("TMPDIR", tmpdir);
    }
}

}  // namespace
