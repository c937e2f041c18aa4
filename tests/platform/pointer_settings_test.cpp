#include "platform/pointer_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "platform/debug_output.h"
#include "platform/ini_file.h"
#include "platform/pointer_settings_backends.h"

namespace gmd {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

// Records every helper call and answers from a script; no real helper is ever run.
struct FakeRunner {
    std::vector<Argv> calls;
    std::function<std::optional<std::string>(const Argv&)> answer = [](const Argv&) {
        return std::optional<std::string>("");
    };
    CommandRunner Runner() {
        return [this](const Argv& argv) {
            calls.push_back(argv);
            return answer(argv);
        };
    }
};

class PointerSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() /
               ("gmd_pointer_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        SetDebugTraceSink(nullptr);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::unique_ptr<PointerSettings> Make(PointerDesktop desktop, std::string kwriteconfig = "") {
        PointerBackendOptions options;
        options.run = runner_.Runner();
        options.storeFile = dir_ / "pointer.ini";
        options.kdeGlobals = dir_ / "kdeglobals";
        options.kwriteconfig = std::move(kwriteconfig);
        return MakePointerSettings(desktop, std::move(options));
    }
    std::string Stored(const char* key) {
        return IniReadString(dir_ / "pointer.ini", "Pointer", key, "(none)");
    }

    fs::path dir_;
    FakeRunner runner_;
};

TEST_F(PointerSettingsTest, GnomeMapsTheSpeedToItsScale) {
    auto settings = Make(PointerDesktop::Gnome);
    EXPECT_TRUE(settings->AppliesPointerSpeed());
    EXPECT_FALSE(settings->AppliesWheelLines());
    for (const auto& [speed, text] : {std::pair{1, "-0.9"},
                                      {5, "-0.5"},
                                      {10, "0.0"},
                                      {11, "0.1"},
                                      {15, "0.5"},
                                      {20, "1.0"},
                                      {0, "-0.9"},
                                      {22, "1.0"}}) {
        runner_.calls.clear();
        EXPECT_TRUE(settings->SetPointerSpeed(speed));
        EXPECT_EQ(runner_.calls,
                  (std::vector<Argv>{
                      {"gsettings", "set", "org.gnome.desktop.peripherals.mouse", "speed", text}}))
            << "speed " << speed;
    }

    for (const auto& [output, speed] : {std::pair{"0.0\n", 10},
                                        {"-1.0\n", 1},
                                        {"-0.9", 1},
                                        {"-0.5", 5},
                                        {"0.25", 13},
                                        {"-0.20000000000000001\n", 8},
                                        {"1.0", 20},
                                        {"3.5", 20}}) {
        runner_.answer = [text = std::string(output)](const Argv&) {
            return std::optional<std::string>(text);
        };
        runner_.calls.clear();
        EXPECT_EQ(settings->PointerSpeed(), speed) << output;
        EXPECT_EQ(runner_.calls,
                  (std::vector<Argv>{
                      {"gsettings", "get", "org.gnome.desktop.peripherals.mouse", "speed"}}));
    }

    // Wheel lines have no GNOME setting: stored only, clamped.
    runner_.calls.clear();
    for (const auto& [lines, stored] : {std::pair{0, "1"}, {150, "100"}, {7, "7"}}) {
        EXPECT_TRUE(settings->SetWheelLines(lines));
        EXPECT_EQ(Stored("WheelLines"), stored);
    }
    EXPECT_TRUE(runner_.calls.empty());
}

TEST_F(PointerSettingsTest, GnomeFallsBackToTheStoredSpeedWhenItCannotBeRead) {
    auto settings = Make(PointerDesktop::Gnome);
    ASSERT_TRUE(settings->SetPointerSpeed(12));
    for (const char* output : {"", "fast", "0.5 0.5", "nan", "@d 0.5"}) {
        runner_.answer = [text = std::string(output)](const Argv&) {
            return std::optional<std::string>(text);
        };
        EXPECT_EQ(settings->PointerSpeed(), 12) << "'" << output << "'";
    }
    runner_.answer = [](const Argv&) { return std::optional<std::string>(); };
    EXPECT_EQ(settings->PointerSpeed(), 12);
}

TEST_F(PointerSettingsTest, X11SetsTheAccelerationAsAFraction) {
    auto settings = Make(PointerDesktop::X11);
    EXPECT_TRUE(settings->AppliesPointerSpeed());
    EXPECT_FALSE(settings->AppliesWheelLines());
    const std::string query =
        "Keyboard Control:\n  auto repeat:  on    key click percent:  0\n"
        "Pointer Control:\n  acceleration:  2/1    threshold:  6\n"
        "Screen Saver:\n  prefer blanking:  yes\n";
    runner_.answer = [&](const Argv& argv) {
        return argv.size() == 2 && argv[1] == "q" ? std::optional<std::string>(query)
                                                  : std::optional<std::string>("");
    };
    for (const auto& [speed, fraction] : {std::pair{10, "1/1"},
                                          {5, "1/2"},
                                          {15, "3/2"},
                                          {1, "1/10"},
                                          {20, "2/1"},
                                          {0, "1/10"},
                                          {22, "2/1"}}) {
        runner_.calls.clear();
        EXPECT_TRUE(settings->SetPointerSpeed(speed));
        ASSERT_EQ(runner_.calls.size(), 2u);
        EXPECT_EQ(runner_.calls[1], (Argv{"xset", "m", fraction, "6"})) << "speed " << speed;
    }

    for (const auto& [control, speed] : {std::pair{"acceleration:  3/2    threshold:  6", 15},
                                         {"acceleration: 2/1 threshold: 4", 20},
                                         {"acceleration:  1/10    threshold:  4", 1},
                                         {"acceleration:  7/3    threshold:  4", 20},
                                         {"acceleration:  0/1    threshold:  0", 1}}) {
        runner_.answer = [text = std::string(control)](const Argv&) {
            return std::optional<std::string>(text);
        };
        EXPECT_EQ(settings->PointerSpeed(), speed) << control;
    }

    // Without a readable query the server's default threshold is used.
    runner_.answer = [](const Argv& argv) {
        return argv[1] == "q" ? std::optional<std::string>("acceleration: 1/0 threshold: 4")
                              : std::optional<std::string>("");
    };
    runner_.calls.clear();
    EXPECT_TRUE(settings->SetPointerSpeed(8));
    EXPECT_EQ(runner_.calls.back(), (Argv{"xset", "m", "4/5", "4"}));
}

TEST_F(PointerSettingsTest, KdeWritesTheWheelLinesAndStoresTheSpeed) {
    auto settings = Make(PointerDesktop::Kde, "kwriteconfig5");
    EXPECT_FALSE(settings->AppliesPointerSpeed());
    EXPECT_TRUE(settings->AppliesWheelLines());
    for (const auto& [lines, text] : {std::pair{7, "7"}, {0, "1"}, {150, "100"}}) {
        runner_.calls.clear();
        EXPECT_TRUE(settings->SetWheelLines(lines));
        EXPECT_EQ(runner_.calls,
                  (std::vector<Argv>{{"kwriteconfig5", "--file", "kdeglobals", "--group", "KDE",
                                      "--key", "WheelScrollLines", text}}));
    }
    runner_.calls.clear();
    EXPECT_TRUE(settings->SetPointerSpeed(22));
    EXPECT_EQ(settings->PointerSpeed(), 20);
    EXPECT_TRUE(runner_.calls.empty());
}

TEST_F(PointerSettingsTest, KdeWithoutItsToolEditsKdeglobalsInPlace) {
    {
        std::ofstream file(dir_ / "kdeglobals");
        file << "[General]\nColorScheme=Breeze\n\n[KDE]\nSingleClick=false\nWheelScrollLines=3\n";
    }
    auto settings = Make(PointerDesktop::Kde);
    EXPECT_TRUE(settings->SetWheelLines(9));
    EXPECT_TRUE(runner_.calls.empty());
    const IniDocument document = IniLoad(dir_ / "kdeglobals");
    EXPECT_EQ(document.Get("KDE", "WheelScrollLines"), "9");
    EXPECT_EQ(document.Get("KDE", "SingleClick"), "false");
    EXPECT_EQ(document.Get("General", "ColorScheme"), "Breeze");
    // No lock file or other litter in the user's configuration folder.
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"kdeglobals", "pointer.ini"}));
}

TEST_F(PointerSettingsTest, AFailingHelperGivesFalseAndALogLine) {
    std::vector<std::string> log;
    SetDebugTraceSink([&](std::string_view line) { log.emplace_back(line); });
    runner_.answer = [](const Argv&) { return std::optional<std::string>(); };

    auto gnome = Make(PointerDesktop::Gnome);
    EXPECT_FALSE(gnome->SetPointerSpeed(12));
    EXPECT_EQ(gnome->PointerSpeed(), std::nullopt);  // nothing was applied, nothing stored
    auto x11 = Make(PointerDesktop::X11);
    EXPECT_FALSE(x11->SetPointerSpeed(12));
    auto kde = Make(PointerDesktop::Kde, "kwriteconfig6");
    EXPECT_FALSE(kde->SetWheelLines(5));
    EXPECT_EQ(Stored("Speed"), "(none)");
    EXPECT_EQ(Stored("WheelLines"), "(none)");

    ASSERT_EQ(log.size(), 3u);
    EXPECT_NE(log[0].find("gsettings"), std::string::npos) << log[0];
    EXPECT_NE(log[1].find("xset"), std::string::npos) << log[1];
    EXPECT_NE(log[2].find("kwriteconfig6"), std::string::npos) << log[2];
}

TEST_F(PointerSettingsTest, StoredOnlyRoundTripInTheUserConfigFolder) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    const fs::path file = dir_ / "gaming-mouse-driver" / "pointer.ini";

    auto settings = MakeStoredPointerSettings();
    EXPECT_FALSE(settings->AppliesPointerSpeed());
    EXPECT_FALSE(settings->AppliesWheelLines());
    EXPECT_EQ(settings->PointerSpeed(), std::nullopt);
    for (const auto& [speed, kept] : {std::pair{7, 7}, {0, 1}, {22, 20}}) {
        EXPECT_TRUE(settings->SetPointerSpeed(speed));
        EXPECT_EQ(MakeStoredPointerSettings()->PointerSpeed(), kept) << "speed " << speed;
    }
    for (const auto& [lines, kept] : {std::pair{0, "1"}, {150, "100"}, {12, "12"}}) {
        EXPECT_TRUE(settings->SetWheelLines(lines));
        EXPECT_EQ(IniReadString(file, "Pointer", "WheelLines", ""), kept);
    }

    // A hand-edited file: numbers are taken into range, anything else is no value.
    for (const auto& [text, speed] : {std::pair{"15", std::optional<int>(15)},
                                      {"99", std::optional<int>(20)},
                                      {"-4", std::optional<int>(1)},
                                      {"fast", std::optional<int>()},
                                      {"12abc", std::optional<int>()}}) {
        ASSERT_TRUE(IniWriteString(file, "Pointer", "Speed", text));
        EXPECT_EQ(settings->PointerSpeed(), speed) << text;
    }

    if (saved) {
        ::setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

TEST_F(PointerSettingsTest, ConcurrentSetsLoseNeitherValue) {
    // The two values are applied from separate short-lived threads into one file.
    auto settings = Make(PointerDesktop::StoredOnly);
    std::thread speeds([&] {
        for (int speed = 1; speed <= 20; ++speed) {
            EXPECT_TRUE(settings->SetPointerSpeed(speed));
        }
    });
    std::thread lines([&] {
        for (int count = 1; count <= 20; ++count) {
            EXPECT_TRUE(settings->SetWheelLines(count * 5));
        }
    });
    speeds.join();
    lines.join();
    EXPECT_EQ(settings->PointerSpeed(), 20);
    EXPECT_EQ(Stored("WheelLines"), "100");
}

TEST(PointerDesktopTest, DetectionFollowsTheSession) {
    struct Case {
        std::map<std::string, std::string, std::less<>> variables;
        std::set<std::string, std::less<>> programs;
        bool gnomeSchema;
        PointerDesktop expected;
    };
    const std::set<std::string, std::less<>> all{"gsettings", "xset"};
    const std::vector<Case> cases{
        {{{"XDG_CURRENT_DESKTOP", "GNOME"}}, all, true, PointerDesktop::Gnome},
        {{{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}, {"DISPLAY", ":0"}},
         all,
         true,
         PointerDesktop::Gnome},
        {{{"XDG_CURRENT_DESKTOP", "GNOME"}, {"DISPLAY", ":0"}},
         {"xset"},
         true,
         PointerDesktop::X11},
        {{{"XDG_CURRENT_DESKTOP", "GNOME"}}, all, false, PointerDesktop::StoredOnly},
        {{{"XDG_CURRENT_DESKTOP", "KDE"}, {"DISPLAY", ":0"}}, all, true, PointerDesktop::Kde},
        {{{"XDG_CURRENT_DESKTOP", "KDE"}}, {}, false, PointerDesktop::Kde},
        {{{"DESKTOP_SESSION", "plasmawayland"}}, {}, false, PointerDesktop::Kde},
        {{{"DESKTOP_SESSION", "gnome-xorg"}}, all, true, PointerDesktop::Gnome},
        {{{"XDG_CURRENT_DESKTOP", "XFCE"}, {"DESKTOP_SESSION", "gnome"}, {"DISPLAY", ":0"}},
         all,
         true,
         PointerDesktop::X11},
        {{{"XDG_CURRENT_DESKTOP", "XFCE"}, {"DISPLAY", ":0"}},
         {"gsettings"},
         true,
         PointerDesktop::StoredOnly},
        {{{"XDG_CURRENT_DESKTOP", "sway"}, {"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "wayland"}},
         all,
         true,
         PointerDesktop::StoredOnly},
        {{{"DISPLAY", ":1"}}, all, true, PointerDesktop::X11},
        {{}, all, true, PointerDesktop::StoredOnly},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        PointerEnvironment environment;
        environment.variable = [&](std::string_view name) -> std::optional<std::string> {
            const auto it = c.variables.find(name);
            return it == c.variables.end() ? std::nullopt : std::optional(it->second);
        };
        environment.hasProgram = [&](std::string_view name) { return c.programs.count(name) > 0; };
        environment.hasGnomeMouseSchema = [&] { return c.gnomeSchema; };
        EXPECT_EQ(DetectPointerDesktop(environment), c.expected) << "case " << i;
    }
}

}  // namespace
}  // namespace gmd
