#include "profiles/profile_watcher.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "profiles/profile_index.h"
#include "profiles/profile_store.h"
#include "tests/support/temp_dir.h"

namespace gmd::profiles {

void PrintTo(const WatcherDecision& d, std::ostream* os) {
    *os << "{" << d.position << (d.linked ? ", linked}" : ", user's}");
}

namespace {

namespace fs = std::filesystem;

bool SpinUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Set from the test, read by the watcher thread.
class FakeForeground : public ForegroundProgram {
  public:
    explicit FakeForeground(bool available) : available_(available) {}
    bool Available() const override {
        std::lock_guard lock(mutex_);
        ++passes_;
        return available_;
    }
    std::string Name() const override { return "fake"; }
    std::optional<std::string> Path() override {
        std::lock_guard lock(mutex_);
        ++pathCalls_;
        return path_;
    }
    std::string FailureReason() const override {
        std::lock_guard lock(mutex_);
        return path_ ? std::string() : failure_;
    }
    void Set(std::optional<std::string> path, std::string failure = {}) {
        std::lock_guard lock(mutex_);
        path_ = std::move(path);
        failure_ = std::move(failure);
    }
    int Passes() const {
        std::lock_guard lock(mutex_);
        return passes_;
    }
    int PathCalls() const {
        std::lock_guard lock(mutex_);
        return pathCalls_;
    }

  private:
    mutable std::mutex mutex_;
    const bool available_;
    mutable int passes_ = 0;
    int pathCalls_ = 0;
    std::optional<std::string> path_;
    std::string failure_;
};

struct Profile {
    const char* name;
    const char* flag;
    const char* program;
};

class ProfileWatcherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.Path().empty());
        home_ = dir_.Path();
        ::setenv("HOME", home_.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home_ / ".config").c_str(), 1);
        SetDebugTraceSink([this](std::string_view line) {
            std::lock_guard lock(mutex_);
            trace_.emplace_back(line);
        });
    }
    void TearDown() override {
        Stop();
        SetDebugTraceSink(nullptr);
    }

    fs::path Index() const { return MouseFolder() / "msProfile.ini"; }
    const fs::path& Home() const { return home_; }

    void WriteList(const std::vector<Profile>& profiles, int select) {
        ASSERT_TRUE(IniUpdate(Index(), [&](IniDocument& doc) {
            doc.Set("PROFILEDEVICECOUNT", "count", std::to_string(profiles.size()));
            for (size_t i = 0; i < profiles.size(); ++i) {
                const std::string key = std::to_string(i);
                doc.Set("PROFILEDEVICENAME", key, profiles[i].name);
                doc.Set("PROFILELIKEDEVICEEXE", key, profiles[i].flag);
                doc.Set("DEVICEPROCESS", key, profiles[i].program);
            }
            doc.Set("PROFILEDEVICESELECT", "select", std::to_string(select));
        }));
    }

    std::string IndexBytes() const {
        std::ifstream in(Index(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    void Start(ForegroundProgram& foreground, int passMs) {
        thread_ = std::thread([this, &foreground, passMs] {
            RunDeviceProfileWatcher(
                foreground, stop_,
                [this](WatcherDecision d) {
                    std::lock_guard lock(mutex_);
                    decisions_.push_back(d);
                },
                ListId::MouseDevice, WatcherTiming{passMs});
            ended_ = true;
        });
    }
    void Stop() {
        if (thread_.joinable()) {
            stop_.Set();
            thread_.join();
        }
    }
    std::optional<WatcherDecision> Last() {
        std::lock_guard lock(mutex_);
        return decisions_.empty() ? std::nullopt : std::optional(decisions_.back());
    }
    size_t DecisionCount() {
        std::lock_guard lock(mutex_);
        return decisions_.size();
    }
    bool Traced(const std::string& line) {
        std::lock_guard lock(mutex_);
        return std::find(trace_.begin(), trace_.end(), line) != trace_.end();
    }
    size_t TracedCount(const std::string& line) {
        std::lock_guard lock(mutex_);
        return static_cast<size_t>(std::count(trace_.begin(), trace_.end(), line));
    }

    StopEvent stop_;
    std::atomic<bool> ended_{false};

  private:
    gmd::testing::TempDir dir_{"gmd-watcher"};
    fs::path home_;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<WatcherDecision> decisions_;
    std::vector<std::string> trace_;
};

TEST_F(ProfileWatcherTest, DecidesTheFirstLinkedMatchElseTheUsersSelection) {
    EXPECT_EQ(DecideDeviceProfile(ListId::MouseDevice, "/games/game"), std::nullopt)
        << "no index file";
    WriteList({{"a", "0", "/games/game"},
               {"b", "2", "/games/game"},  // only a flag of 1 is a link
               {"c", "1", "/Games/GAME"},
               {"d", "1", "/games/game"},
               {"e", "1", ""}},
              1);
    struct Case {
        const char* foreground;
        WatcherDecision expected;
    };
    const Case cases[] = {
        {"/games/game", {2, true}},
        {"/GAMES/Game", {2, true}},
        {"/games/game2", {1, false}},
        {"", {1, false}},  // nothing known in front matches no link, even an empty one
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecideDeviceProfile(ListId::MouseDevice, c.foreground), c.expected)
            << c.foreground;
    }

    // Read afresh each time; a selection beyond the list is passed on as it stands.
    WriteList({{"a", "0", " "}}, 7);
    EXPECT_EQ(DecideDeviceProfile(ListId::MouseDevice, "/games/game"), (WatcherDecision{7, false}));
    WriteList(std::vector<Profile>{}, 0);
    EXPECT_EQ(DecideDeviceProfile(ListId::MouseDevice, "/games/game"), std::nullopt);
}

TEST_F(ProfileWatcherTest, AProgramChosenThroughASymbolicLinkMatchesItsResolvedPath) {
    // The link keeps the path as chosen; a running program's path is always the resolved one.
    const fs::path real = Home() / "opt" / "game-1.2";
    fs::create_directories(real);
    fs::create_directories(Home() / "bin");
    std::ofstream(real / "game") << "#!/bin/sh\n";
    std::ofstream(real / "editor") << "#!/bin/sh\n";
    fs::create_symlink("../opt/game-1.2/game", Home() / "bin" / "game");
    fs::create_directory_symlink(real, Home() / "current");
    const std::string byFileLink = (Home() / "bin" / "game").string();
    const std::string byFolderLink = (Home() / "current" / "EDITOR").string();
    WriteList({{"user", "0", " "},
               {"game", "1", byFileLink.c_str()},
               {"editor", "1", byFolderLink.c_str()}},
              0);
    EXPECT_EQ(DecideDeviceProfile(ListId::MouseDevice, (real / "game").string()),
              (WatcherDecision{1, true}));
    EXPECT_EQ(DecideDeviceProfile(ListId::MouseDevice, (real / "editor").string()),
              (WatcherDecision{2, true}));
    EXPECT_EQ(DecideDeviceProfile(ListId::MouseDevice, (real / "other").string()),
              (WatcherDecision{0, false}));
    // The duplicate check of the link operations uses the same comparison.
    EXPECT_EQ(FindLinkedProgram(ListId::MouseDevice, (real / "game").string()), 1);
    // The index keeps the path as the user chose it.
    EXPECT_EQ(ReadList(ListId::MouseDevice)[1].program, byFileLink);
}

TEST_F(ProfileWatcherTest, FollowsALinkedProgramInFrontWithoutTouchingTheUsersSelection) {
    const std::string game = "/opt/game/bin/Game";
    WriteList({{"profile1", "0", " "}, {"profile2", "0", "0"}, {"racing", "1", game.c_str()}}, 0);
    const std::string before = IndexBytes();
    FakeForeground foreground(true);
    foreground.Set("/usr/bin/editor");
    Start(foreground, 5);
    ASSERT_TRUE(SpinUntil([&] { return Last() == WatcherDecision{0, false}; }));

    foreground.Set("/opt/game/bin/game");
    ASSERT_TRUE(SpinUntil([&] { return Last() == WatcherDecision{2, true}; }));

    // An unreadable foreground keeps the previous pass's path.
    foreground.Set(std::nullopt);
    const int calls = foreground.PathCalls();
    ASSERT_TRUE(SpinUntil([&] { return foreground.PathCalls() >= calls + 3; }));
    EXPECT_EQ(Last(), (WatcherDecision{2, true}));
    EXPECT_TRUE(Traced("文件名字访问失败"));

    foreground.Set("/usr/bin/editor");
    ASSERT_TRUE(SpinUntil([&] { return Last() == WatcherDecision{0, false}; }));

    Stop();
    EXPECT_EQ(IndexBytes(), before) << "the watcher only reports";
    EXPECT_TRUE(Traced("鼠标灯光进程侦测线程设定退出"));
}

TEST_F(ProfileWatcherTest, AnUnreadableWindowIsTracedOnceWhileItStaysInFront) {
    WriteList({{"profile1", "0", " "}}, 0);
    FakeForeground foreground(true);
    const std::string lineA = "文件名字访问失败: window 0xa";
    const std::string lineB = "文件名字访问失败: window 0xb";
    Start(foreground, 1);
    const auto passes = [&](int n) {
        const int calls = foreground.PathCalls();
        ASSERT_TRUE(SpinUntil([&] { return foreground.PathCalls() >= calls + n; }));
    };

    foreground.Set(std::nullopt, "window 0xa");
    passes(5);
    EXPECT_EQ(TracedCount(lineA), 1u);
    foreground.Set(std::nullopt, "window 0xb");
    passes(5);
    EXPECT_EQ(TracedCount(lineB), 1u);
    EXPECT_EQ(TracedCount(lineA), 1u);
    // Back to a readable window, then the first one again: that is a new failure.
    foreground.Set("/usr/bin/editor");
    passes(2);
    foreground.Set(std::nullopt, "window 0xa");
    passes(5);
    EXPECT_EQ(TracedCount(lineA), 2u);
    Stop();
}

TEST_F(ProfileWatcherTest, WithoutAForegroundServiceFollowsTheUsersSelection) {
    FakeForeground foreground(false);
    Start(foreground, 5);
    ASSERT_TRUE(SpinUntil([&] { return foreground.Passes() >= 3; }));
    EXPECT_EQ(DecisionCount(), 0u) << "an empty list decides nothing";

    WriteList({{"profile1", "0", " "}, {"profile2", "1", ""}}, 0);
    ASSERT_TRUE(SpinUntil([&] { return Last() == WatcherDecision{0, false}; }));
    WriteList({{"profile1", "0", " "}, {"profile2", "1", ""}}, 1);
    ASSERT_TRUE(SpinUntil([&] { return Last() == WatcherDecision{1, false}; }));
    EXPECT_EQ(foreground.PathCalls(), 0);
}

TEST_F(ProfileWatcherTest, EndsPromptlyOnStopWhileWaitingOutAPass) {
    WriteList({{"profile1", "0", " "}}, 0);
    FakeForeground foreground(true);
    Start(foreground, 3'600'000);
    ASSERT_TRUE(SpinUntil([&] { return DecisionCount() == 1; }));
    stop_.Set();
    EXPECT_TRUE(SpinUntil([&] { return ended_.load(); }));
    Stop();
}

}  // namespace
}  // namespace gmd::profiles
