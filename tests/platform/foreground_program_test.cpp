#include "platform/foreground_program.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/child_process.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace gmd {
namespace {

namespace fs = std::filesystem;

std::string SelfExecutable() {
    return fs::read_symlink("/proc/self/exe").string();
}

bool SpinUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A child process that is killed and reaped when the object goes.
class Child {
  public:
    Child() = default;
    // Output goes to /dev/null; inherited descriptors stay open (Xvfb's -displayfd).
    bool Start(const std::vector<std::string>& argv) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        const int rc = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            pid_ = -1;
        }
        return rc == 0;
    }
    void Stop(int signal = SIGKILL) {
        if (pid_ > 0) {
            ::kill(pid_, signal);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    ~Child() { Stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
};

TEST(ExecutableOfProcess, ReadsProcExeAndRefusesWhatIsNoProcess) {
    EXPECT_EQ(ExecutableOfProcess(::getpid()), SelfExecutable());
    for (const long pid : {0L, -1L, 1L << 30}) {
        EXPECT_EQ(ExecutableOfProcess(pid), std::nullopt) << pid;
    }
}

TEST(ExecutableOfProcess, AProgramReplacedWhileRunningKeepsItsPath) {
    const gmd::testing::TempDir temp("gmd-fg");
    const fs::path dir = temp.Path();
    const fs::path copy = dir / "game";
    fs::copy_file(FindInPath("sleep"), copy, fs::copy_options::overwrite_existing);
    Child child;
    ASSERT_TRUE(child.Start({copy.string(), "30"}));
    ASSERT_TRUE(SpinUntil([&] { return ExecutableOfProcess(child.Pid()) == copy.string(); }));
    fs::remove(copy);
    EXPECT_EQ(ExecutableOfProcess(child.Pid()), copy.string());
    child.Stop();
}

TEST(MakeForegroundProgram, ChoosesBySession) {
    struct Case {
        const char* display;
        const char* wayland;
        bool available;
        const char* nameHas;
    };
    const Case cases[] = {
        {"", "", false, "no X display"},
        {"", "wayland-0", false, "Wayland session"},
        {":97", "", true, "X11"},
        {":97", "wayland-0", true, "XWayland"},
    };
    for (const Case& c : cases) {
        const auto service = MakeForegroundProgramFor(c.display, c.wayland);
        EXPECT_EQ(service->Available(), c.available) << c.display << "|" << c.wayland;
        EXPECT_NE(service->Name().find(c.nameHas), std::string::npos) << service->Name();
        if (!c.available) {
            EXPECT_EQ(service->Path(), std::nullopt);
        }
    }
}

// A private X server, and a client of our own that plays the window manager's part.
class X11ForegroundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (FindInPath("Xvfb").empty()) {
            GTEST_SKIP() << "Xvfb is not installed";
        }
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        ASSERT_TRUE(server_.Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                   "64x64x24", tcp_ ? "-listen" : "-nolisten", "tcp"}));
        ::close(fds[1]);
        std::string number;
        pollfd readable{fds[0], POLLIN, 0};
        char c = 0;
        while (::poll(&readable, 1, 10000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        ::close(fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not report its display";
        display_ = ":" + number;

        client_ = xcb_connect(display_.c_str(), nullptr);
        ASSERT_EQ(xcb_connection_has_error(client_), 0);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(client_)).data->root;
        activeAtom_ = Atom("_NET_ACTIVE_WINDOW");
        pidAtom_ = Atom("_NET_WM_PID");
    }

    void TearDown() override {
        if (client_ != nullptr) {
            xcb_disconnect(client_);
        }
    }

    xcb_atom_t Atom(const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            client_, xcb_intern_atom(client_, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return atom;
    }

    xcb_window_t CreateWindow() {
        const xcb_window_t window = xcb_generate_id(client_);
        xcb_create_window(client_, XCB_COPY_FROM_PARENT, window, root_, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        return window;
    }

    void SetCardinal(xcb_window_t window, xcb_atom_t property, xcb_atom_t type, uint32_t value) {
        xcb_change_property(client_, XCB_PROP_MODE_REPLACE, window, property, type, 32, 1, &value);
        Sync();
    }

    void SetActive(xcb_window_t window) {
        SetCardinal(root_, activeAtom_, XCB_ATOM_WINDOW, window);
    }

    // A round trip, so the server has seen every request before the service asks.
    void Sync() {
        std::free(xcb_get_input_focus_reply(client_, xcb_get_input_focus(client_), nullptr));
    }

    bool tcp_ = false;  // clients over TCP, whose process the server cannot know
    Child server_;
    std::string display_;
    xcb_connection_t* client_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_atom_t activeAtom_ = 0;
    xcb_atom_t pidAtom_ = 0;
};

TEST_F(X11ForegroundTest, FollowsTheActiveWindowsProcess) {
    const auto service = MakeX11ForegroundProgram(display_);
    ASSERT_TRUE(service->Available());
    EXPECT_EQ(service->Path(), std::nullopt) << "no active window recorded yet";

    // _NET_WM_PID wins over the connection's process (this test), which the server also knows.
    Child other;
    const std::string sleep = fs::canonical(FindInPath("sleep")).string();
    ASSERT_TRUE(other.Start({sleep, "30"}));
    ASSERT_TRUE(SpinUntil([&] { return ExecutableOfProcess(other.Pid()) == sleep; }));
    const xcb_window_t labelled = CreateWindow();
    SetCardinal(labelled, pidAtom_, XCB_ATOM_CARDINAL, static_cast<uint32_t>(other.Pid()));
    const xcb_window_t anonymous = CreateWindow();
    const xcb_window_t gone = CreateWindow();
    xcb_destroy_window(client_, gone);

    struct Step {
        xcb_window_t active;
        std::optional<std::string> path;
        const char* failure;
    };
    const Step steps[] = {
        {labelled, sleep, ""},
        {anonymous, SelfExecutable(), ""},  // no _NET_WM_PID: the X Resource extension tells
        {XCB_WINDOW_NONE, "", ""},          // nothing has the focus
        {gone, std::nullopt, "has gone"},   // an X error fails the request, not the connection
        {labelled, sleep, ""},
    };
    for (const Step& step : steps) {
        SetActive(step.active);
        EXPECT_EQ(service->Path(), step.path) << "active window " << step.active;
        const std::string failure = service->FailureReason();
        EXPECT_EQ(failure.empty(), *step.failure == '\0') << failure;
        EXPECT_NE(failure.find(step.failure), std::string::npos) << failure;
    }
}

class X11ForegroundOverTcpTest : public X11ForegroundTest {
  protected:
    X11ForegroundOverTcpTest() { tcp_ = true; }
};

TEST_F(X11ForegroundOverTcpTest, AWindowWithoutPidOfARemoteClientFailsNamingTheWindow) {
    const std::string remote = "127.0.0.1" + display_;
    xcb_connection_t* other = xcb_connect(remote.c_str(), nullptr);
    if (xcb_connection_has_error(other) != 0) {
        xcb_disconnect(other);
        GTEST_SKIP() << "no TCP connection to " << remote;
    }
    const xcb_window_t window = xcb_generate_id(other);
    xcb_create_window(other, XCB_COPY_FROM_PARENT, window, root_, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
    SetActive(window);

    const auto service = MakeX11ForegroundProgram(display_);
    char name[32];
    std::snprintf(name, sizeof name, "window 0x%x", static_cast<unsigned>(window));
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(service->Path(), std::nullopt);
        EXPECT_EQ(service->FailureReason(),
                  std::string(name) + ": no _NET_WM_PID and no process known to the server");
    }
    xcb_disconnect(other);
}

TEST_F(X11ForegroundTest, AStalledOrDeadServerFailsThePassAndAResumedOneIsFoundAgain) {
    const auto service = MakeX11ForegroundProgram(display_, X11Timeouts{200, 200});
    const xcb_window_t ours = CreateWindow();
    SetCardinal(ours, pidAtom_, XCB_ATOM_CARDINAL, static_cast<uint32_t>(::getpid()));
    SetActive(ours);
    ASSERT_EQ(service->Path(), SelfExecutable());

    ::kill(server_.Pid(), SIGSTOP);
    EXPECT_EQ(service->Path(), std::nullopt) << "reply time-out";
    EXPECT_EQ(service->Path(), std::nullopt) << "connect time-out";
    ::kill(server_.Pid(), SIGCONT);
    EXPECT_TRUE(SpinUntil([&] { return service->Path() == SelfExecutable(); }));

    server_.Stop(SIGTERM);
    EXPECT_EQ(service->Path(), std::nullopt);
    EXPECT_EQ(service->Path(), std::nullopt);
}

}  // namespace
}  // namespace gmd
