#include "platform/pointer_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/debug_output.h"
#include "platform/ini_file.h"
#include "platform/pointer_settings_backends.h"
#include "tests/support/temp_dir.h"

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

// What xinput prints on a libinput session: a mouse and a touchpad of the libinput driver, the
// server's XTEST pointer, keyboards and a floating device.
const std::string kXinputList =
    "\u23a1 Virtual core pointer                    \tid=2\t[master pointer  (3)]\n"
    "\u239c   \u21b3 Virtual core XTEST pointer              \tid=4\t[slave  pointer  (2)]\n"
    "\u239c   \u21b3 Gaming Mouse id=3 Edition               \tid=10\t[slave  pointer  (2)]\n"
    "\u239c   \u21b3 SYNA2393:00 06CB:7A13 Touchpad          \tid=12\t[slave  pointer  (2)]\n"
    "\u23a3 Virtual core keyboard                   \tid=3\t[master keyboard (2)]\n"
    "    \u21b3 Virtual core XTEST keyboard             \tid=5\t[slave  keyboard (3)]\n"
    "    \u21b3 AT Translated Set 2 keyboard            \tid=13\t[slave  keyboard (3)]\n"
    "\u223c Wacom Pen                                \tid=15\t[floating slave]\n";
const std::string kXtestProps =
    "Device 'Virtual core XTEST pointer':\n"
    "\tDevice Enabled (156):\t1\n"
    "\tCoordinate Transformation Matrix (158):\t1.000000, 0.000000, 0.000000, 0.000000, "
    "1.000000, 0.000000, 0.000000, 0.000000, 1.000000\n"
    "\tDevice Accel Profile (289):\t0\n"
    "\tXTEST Device (285):\t1\n";
std::string LibinputProps(const std::string& name, const std::string& speed) {
    return "Device '" + name +
           "':\n"
           "\tDevice Enabled (156):\t1\n"
           "\tlibinput Accel Speed Default (301):\t0.000000\n"
           "\tlibinput Accel Speed (300):\t" +
           speed +
           "\n"
           "\tlibinput Accel Profiles Available (302):\t1, 1\n";
}
// A pointer of another driver (evdev): only the core pointer acceleration reaches it.
const std::string kEvdevProps =
    "Device 'Old Mouse':\n"
    "\tDevice Enabled (156):\t1\n"
    "\tDevice Accel Profile (289):\t0\n"
    "\tEvdev Axis Inversion (310):\t0, 0\n";
const std::string kXsetQuery =
    "Keyboard Control:\n  auto repeat:  on    key click percent:  0\n"
    "Pointer Control:\n  acceleration:  2/1    threshold:  4\n"
    "Screen Saver:\n  prefer blanking:  yes\n";

const Argv kXinputListCommand{"xinput", "list", "--short"};
Argv PropsCommand(const std::string& id) {
    return {"xinput", "list-props", id};
}
Argv SetPropCommand(const std::string& id, const std::string& value) {
    return {"xinput", "set-prop", id, "libinput Accel Speed", value};
}

class PointerSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(temp_.Path().empty());
        dir_ = temp_.Path();
    }
    void TearDown() override { SetDebugTraceSink(nullptr); }

    std::unique_ptr<PointerSettings> Make(PointerDesktop desktop, std::string kwriteconfig = "",
                                          std::string kreadconfig = "", bool x11Session = false) {
        PointerBackendOptions options;
        options.run = runner_.Runner();
        options.storeFile = dir_ / "pointer.ini";
        options.kdeGlobals = dir_ / "kdeglobals";
        options.kdeInputRc = dir_ / "kcminputrc";
        options.kwriteconfig = std::move(kwriteconfig);
        options.kreadconfig = std::move(kreadconfig);
        options.x11Session = x11Session;
        return MakePointerSettings(desktop, std::move(options));
    }
    // Answers each command from `outputs`; any other command succeeds with no output.
    void Answer(std::map<Argv, std::optional<std::string>> outputs) {
        runner_.answer = [outputs = std::move(outputs)](const Argv& argv) {
            const auto it = outputs.find(argv);
            return it == outputs.end() ? std::optional<std::string>("") : it->second;
        };
    }
    std::vector<Argv> CallsOf(const std::string& program) const {
        std::vector<Argv> calls;
        std::copy_if(runner_.calls.begin(), runner_.calls.end(), std::back_inserter(calls),
                     [&](const Argv& argv) { return argv[0] == program; });
        return calls;
    }
    std::string Stored(const char* key) {
        return IniReadString(dir_ / "pointer.ini", "Pointer", key, "(none)");
    }

    gmd::testing::TempDir temp_{"gmd-pointer"};
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

TEST_F(PointerSettingsTest, X11SetsEveryLibinputPointerThroughXinput) {
    auto settings = Make(PointerDesktop::X11);
    EXPECT_TRUE(settings->AppliesPointerSpeed());
    EXPECT_FALSE(settings->AppliesWheelLines());
    Answer({{kXinputListCommand, kXinputList},
            {PropsCommand("4"), kXtestProps},
            {PropsCommand("10"), LibinputProps("Gaming Mouse id=3 Edition", "0.000000")},
            {PropsCommand("12"), LibinputProps("SYNA2393:00 06CB:7A13 Touchpad", "0.300000")}});
    for (const auto& [speed, value] :
         {std::pair{10, "0.0"}, {15, "0.5"}, {1, "-0.9"}, {0, "-0.9"}, {22, "1.0"}}) {
        runner_.calls.clear();
        EXPECT_TRUE(settings->SetPointerSpeed(speed));
        // Only the slave pointers are asked, and no xset: the XTEST pointer is no device.
        EXPECT_EQ(runner_.calls,
                  (std::vector<Argv>{kXinputListCommand, PropsCommand("4"), PropsCommand("10"),
                                     SetPropCommand("10", value), PropsCommand("12"),
                                     SetPropCommand("12", value)}))
            << "speed " << speed;
    }

    // Read back from the first pointer whose libinput speed can be read; a default of 0 next to
    // it does not count.
    for (const auto& [first, speed] : {std::pair{"0.000000", 10},
                                       {"-0.500000", 5},
                                       {"1.000000", 20},
                                       {"-1.000000", 1},
                                       {"0.250000", 13},
                                       {"", 13},
                                       {"fast", 13},
                                       {"0.5, 0.5", 13}}) {
        Answer({{kXinputListCommand, kXinputList},
                {PropsCommand("4"), kXtestProps},
                {PropsCommand("10"), LibinputProps("Gaming Mouse id=3 Edition", first)},
                {PropsCommand("12"), LibinputProps("Touchpad", "0.250000")}});
        EXPECT_EQ(settings->PointerSpeed(), speed) << "'" << first << "'";
        EXPECT_TRUE(CallsOf("xset").empty());
    }
}

TEST_F(PointerSettingsTest, X11WithoutLibinputUsesTheCoreAccelerationWhereTheDefaultIsTen) {
    std::vector<std::string> log;
    SetDebugTraceSink([&](std::string_view line) { log.emplace_back(line); });
    auto settings = Make(PointerDesktop::X11);
    // No xinput at all, and a server whose pointers are all of another driver: both use xset.
    const std::map<Argv, std::optional<std::string>> noXinput{{kXinputListCommand, std::nullopt},
                                                              {{"xset", "q"}, kXsetQuery}};
    const std::map<Argv, std::optional<std::string>> evdevOnly{{kXinputListCommand, kXinputList},
                                                               {PropsCommand("4"), kXtestProps},
                                                               {PropsCommand("10"), kEvdevProps},
                                                               {PropsCommand("12"), kEvdevProps},
                                                               {{"xset", "q"}, kXsetQuery}};
    for (const auto& outputs : {noXinput, evdevOnly}) {
        Answer(outputs);
        EXPECT_EQ(settings->PointerSpeed(), 10);  // the server's default acceleration 2/1
        for (const auto& [speed, fraction] : {std::pair{10, "2/1"},
                                              {5, "1/1"},
                                              {15, "3/1"},
                                              {20, "4/1"},
                                              {8, "8/5"},
                                              {1, "1/5"},
                                              {0, "1/5"},
                                              {22, "4/1"}}) {
            runner_.calls.clear();
            EXPECT_TRUE(settings->SetPointerSpeed(speed));
            EXPECT_EQ(CallsOf("xset").back(), (Argv{"xset", "m", fraction, "4"}))
                << "speed " << speed;
            EXPECT_EQ(CallsOf("xinput").size(), outputs.size() - 1);  // no set-prop
        }
    }
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.find("xinput") != std::string::npos && line.find("xset") != std::string::npos;
    }));

    for (const auto& [control, speed] : {std::pair{"acceleration:  3/2    threshold:  6", 8},
                                         {"acceleration: 2/1 threshold: 4", 10},
                                         {"acceleration:  4/1    threshold:  4", 20},
                                         {"acceleration:  1/5    threshold:  4", 1},
                                         {"acceleration:  7/3    threshold:  4", 12},
                                         {"acceleration:  10/1    threshold:  4", 20},
                                         {"acceleration:  0/1    threshold:  0", 1}}) {
        Answer({{kXinputListCommand, std::nullopt}, {{"xset", "q"}, control}});
        EXPECT_EQ(settings->PointerSpeed(), speed) << control;
    }

    // The threshold is kept; without a readable query the server's default 4 is used.
    Answer({{kXinputListCommand, std::nullopt},
            {{"xset", "q"}, "acceleration:  2/1    threshold:  6"}});
    ASSERT_TRUE(settings->SetPointerSpeed(12));
    EXPECT_EQ(CallsOf("xset").back(), (Argv{"xset", "m", "12/5", "6"}));
    Answer({{kXinputListCommand, std::nullopt}, {{"xset", "q"}, "acceleration: 1/0 threshold: 4"}});
    ASSERT_TRUE(settings->SetPointerSpeed(12));
    EXPECT_EQ(CallsOf("xset").back(), (Argv{"xset", "m", "12/5", "4"}));
}

TEST_F(PointerSettingsTest, X11WithBothDriversSetsBothWays) {
    auto settings = Make(PointerDesktop::X11);
    Answer({{kXinputListCommand, kXinputList},
            {PropsCommand("4"), kXtestProps},
            {PropsCommand("10"), kEvdevProps},
            {PropsCommand("12"), LibinputProps("Touchpad", "0.300000")},
            {SetPropCommand("12", "0.5"), std::nullopt},
            {{"xset", "q"}, kXsetQuery}});
    // The libinput pointer refuses: the other one still took it.
    EXPECT_TRUE(settings->SetPointerSpeed(15));
    EXPECT_EQ(CallsOf("xinput").back(), SetPropCommand("12", "0.5"));
    EXPECT_EQ(CallsOf("xset").back(), (Argv{"xset", "m", "3/1", "4"}));
    EXPECT_EQ(Stored("Speed"), "15");
    // The speed is read from the libinput pointer, not from the core acceleration.
    EXPECT_EQ(settings->PointerSpeed(), 13);
}

TEST_F(PointerSettingsTest, KdeWritesItsConfigurationAndOnX11TheDevicesToo) {
    const Argv readSpeed{"kreadconfig6",
                         "--file",
                         "kcminputrc",
                         "--group",
                         "Mouse",
                         "--key",
                         "XLbInptPointerAcceleration"};
    const std::map<Argv, std::optional<std::string>> session{
        {kXinputListCommand, kXinputList},
        {PropsCommand("4"), kXtestProps},
        {PropsCommand("10"), LibinputProps("Gaming Mouse", "0.500000")},
        {PropsCommand("12"), LibinputProps("Touchpad", "0.500000")},
        {readSpeed, "-0.3\n"}};
    for (const bool x11 : {true, false}) {
        SCOPED_TRACE(x11 ? "X11" : "Wayland");
        auto settings = Make(PointerDesktop::Kde, "kwriteconfig6", "kreadconfig6", x11);
        EXPECT_EQ(settings->AppliesPointerSpeed(), x11);
        EXPECT_TRUE(settings->AppliesWheelLines());
        Answer(session);
        for (const auto& [lines, text] : {std::pair{7, "7"}, {0, "1"}, {150, "100"}}) {
            runner_.calls.clear();
            EXPECT_TRUE(settings->SetWheelLines(lines));
            EXPECT_EQ(runner_.calls,
                      (std::vector<Argv>{{"kwriteconfig6", "--file", "kdeglobals", "--group", "KDE",
                                          "--key", "WheelScrollLines", text}}));
        }

        runner_.calls.clear();
        EXPECT_TRUE(settings->SetPointerSpeed(22));
        EXPECT_EQ(runner_.calls.front(),
                  (Argv{"kwriteconfig6", "--file", "kcminputrc", "--group", "Mouse", "--key",
                        "XLbInptPointerAcceleration", "1.0"}));
        // On X11 it takes effect at once; under Wayland the X devices are left alone.
        const std::vector<Argv> live{SetPropCommand("10", "1.0"), SetPropCommand("12", "1.0")};
        std::vector<Argv> setProps;
        for (const Argv& argv : CallsOf("xinput")) {
            if (argv[1] == "set-prop") {
                setProps.push_back(argv);
            }
        }
        EXPECT_EQ(setProps, x11 ? live : std::vector<Argv>{});
        EXPECT_EQ(CallsOf("xinput").empty(), !x11);
        EXPECT_EQ(Stored("Speed"), "20");

        // Read back from kcminputrc; where Plasma never wrote it, from the devices on X11.
        EXPECT_EQ(settings->PointerSpeed(), 7);
        auto unset = session;
        unset[readSpeed] = "\n";
        Answer(unset);
        EXPECT_EQ(settings->PointerSpeed(), x11 ? 15 : 20);
        unset[readSpeed] = std::nullopt;
        Answer(unset);
        EXPECT_EQ(settings->PointerSpeed(), x11 ? 15 : 20);
    }
}

TEST_F(PointerSettingsTest, KdeWithoutItsToolsEditsItsFilesInPlace) {
    {
        std::ofstream file(dir_ / "kdeglobals");
        file << "[General]\nColorScheme=Breeze\n\n[KDE]\nSingleClick=false\nWheelScrollLines=3\n";
    }
    {
        std::ofstream file(dir_ / "kcminputrc");
        file << "[Libinput][1133][49291][Gaming Mouse]\nPointerAcceleration=0.2\n\n"
                "[Mouse]\ncursorTheme=breeze_cursors\n";
    }
    auto settings = Make(PointerDesktop::Kde);
    EXPECT_EQ(settings->PointerSpeed(), std::nullopt);  // never set, nothing stored
    EXPECT_TRUE(settings->SetWheelLines(9));
    EXPECT_TRUE(settings->SetPointerSpeed(6));
    EXPECT_TRUE(runner_.calls.empty());
    const IniDocument globals = IniLoad(dir_ / "kdeglobals");
    EXPECT_EQ(globals.Get("KDE", "WheelScrollLines"), "9");
    EXPECT_EQ(globals.Get("KDE", "SingleClick"), "false");
    EXPECT_EQ(globals.Get("General", "ColorScheme"), "Breeze");
    std::string input;
    std::string error;
    ASSERT_TRUE(ReadWholeFile(dir_ / "kcminputrc", input, error)) << error;
    EXPECT_EQ(input,
              "[Libinput][1133][49291][Gaming Mouse]\nPointerAcceleration=0.2\n\n"
              "[Mouse]\ncursorTheme=breeze_cursors\nXLbInptPointerAcceleration=-0.4\n");
    // Read back from the file itself.
    ASSERT_TRUE(IniWriteString(dir_ / "pointer.ini", "Pointer", "Speed", "12"));
    EXPECT_EQ(settings->PointerSpeed(), 6);
    // No litter from the KDE edits; the one lock file is that of our own pointer.ini, which
    // shares this folder here (it has a folder of its own in ~/.config).
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names,
              (std::set<std::string>{"kdeglobals", "kcminputrc", "pointer.ini", kFolderLockName}));
}

TEST_F(PointerSettingsTest, AFailingHelperGivesFalseAndALogLine) {
    std::vector<std::string> log;
    SetDebugTraceSink([&](std::string_view line) { log.emplace_back(line); });
    runner_.answer = [](const Argv&) { return std::optional<std::string>(); };
    // Each failure logs a line that names the helper.
    const auto logged = [&](const char* helper) {
        const bool found = std::any_of(log.begin(), log.end(), [&](const std::string& line) {
            return line.find(helper) != std::string::npos;
        });
        log.clear();
        return found;
    };

    auto gnome = Make(PointerDesktop::Gnome);
    EXPECT_FALSE(gnome->SetPointerSpeed(12));
    EXPECT_TRUE(logged("gsettings"));
    EXPECT_EQ(gnome->PointerSpeed(), std::nullopt);  // nothing was applied, nothing stored
    auto x11 = Make(PointerDesktop::X11);
    EXPECT_FALSE(x11->SetPointerSpeed(12));
    EXPECT_TRUE(logged("xset"));
    auto kde = Make(PointerDesktop::Kde, "kwriteconfig6", "kreadconfig6", /*x11Session=*/true);
    EXPECT_FALSE(kde->SetWheelLines(5));
    EXPECT_TRUE(logged("kwriteconfig6"));
    EXPECT_FALSE(kde->SetPointerSpeed(12));
    EXPECT_TRUE(logged("kcminputrc"));
    EXPECT_EQ(kde->PointerSpeed(), std::nullopt);
    EXPECT_EQ(Stored("Speed"), "(none)");
    EXPECT_EQ(Stored("WheelLines"), "(none)");
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
    const std::set<std::string, std::less<>> all{"gsettings", "xset", "xinput"};
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
        {{{"DISPLAY", ":1"}}, {"xinput"}, true, PointerDesktop::X11},
        {{{"DISPLAY", ":1"}}, {}, true, PointerDesktop::StoredOnly},
        // XWayland without a session type: the X devices are not the session's.
        {{{"DISPLAY", ":1"}, {"WAYLAND_DISPLAY", "wayland-0"}},
         all,
         true,
         PointerDesktop::StoredOnly},
        {{{"DISPLAY", ":1"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_SESSION_TYPE", "x11"}},
         all,
         true,
         PointerDesktop::X11},
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
