#include "platform/autostart.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/child_process.h"

namespace gmd {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ExecLine(const std::string& entry) {
    const size_t at = entry.find("\nExec=");
    return at == std::string::npos ? "" : entry.substr(at + 1, entry.find('\n', at + 1) - at - 1);
}

class AutostartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("gmd-autostart-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "home");
        for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(
                name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
        }
        ::setenv("HOME", (dir_ / "home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
        fs::remove_all(dir_);
    }

    fs::path dir_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(AutostartTest, EnableWritesAnEntryThatStartsHiddenAndDisableRemovesIt) {
    const fs::path entry = dir_ / "config" / "autostart" / "gaming-mouse-driver.desktop";
    EXPECT_EQ(AutostartEntryPath(), entry);
    EXPECT_FALSE(AutostartEnabled());

    std::string error;
    ASSERT_TRUE(SetAutostart(true, "/usr/bin/gaming-mouse-driver", error)) << error;
    EXPECT_TRUE(AutostartEnabled());
    EXPECT_EQ(ExecLine(Read(entry)), "Exec=/usr/bin/gaming-mouse-driver --hidden");
    // No temporary is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(entry.parent_path()), {}), 1);

    ASSERT_TRUE(SetAutostart(false, "", error)) << error;
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(AutostartEnabled());
    EXPECT_TRUE(SetAutostart(false, "", error)) << "removing a missing entry is no failure";
}

TEST_F(AutostartTest, ARelativeConfigHomeIsIgnored) {
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(AutostartEntryPath(),
              dir_ / "home" / ".config" / "autostart" / "gaming-mouse-driver.desktop");
}

TEST_F(AutostartTest, ProgramPathsAreQuotedAndEscapedForTheLauncher) {
    struct Case {
        const char* program;
        const char* exec;
    };
    const Case cases[] = {
        {"/opt/My Games/gmd", R"(Exec="/opt/My Games/gmd" --hidden)"},
        {R"(/opt/a"b$c\d)", R"(Exec="/opt/a\\"b\\$c\\\\d" --hidden)"},
        {"/opt/100%/gmd", "Exec=/opt/100%%/gmd --hidden"},
    };
    const bool validator = !FindInPath("desktop-file-validate").empty();
    for (const Case& c : cases) {
        std::string error;
        ASSERT_TRUE(SetAutostart(true, c.program, error)) << error;
        EXPECT_EQ(ExecLine(Read(AutostartEntryPath())), c.exec) << c.program;
        if (validator) {
            const std::string command =
                "desktop-file-validate '" + AutostartEntryPath().string() + "'";
            EXPECT_EQ(std::system(command.c_str()), 0) << c.program;
        }
    }
}

TEST_F(AutostartTest, AnEntryTheDesktopDisabledCountsAsOff) {
    std::string error;
    for (const char* line : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        ASSERT_TRUE(SetAutostart(true, "/usr/bin/gaming-mouse-driver", error)) << error;
        std::ofstream(AutostartEntryPath(), std::ios::app) << line << "\n";
        EXPECT_FALSE(AutostartEnabled()) << line;
    }
    // The same keys in another group are not the entry's.
    ASSERT_TRUE(SetAutostart(true, "/usr/bin/gaming-mouse-driver", error)) << error;
    std::ofstream(AutostartEntryPath(), std::ios::app) << "[Desktop Action x]\nHidden=true\n";
    EXPECT_TRUE(AutostartEnabled());
}

TEST_F(AutostartTest, AFolderThatCannotBeMadeFailsWithAReason) {
    std::ofstream(dir_ / "file") << "x";
    ::setenv("XDG_CONFIG_HOME", (dir_ / "file").c_str(), 1);
    std::string error;
    EXPECT_FALSE(SetAutostart(true, "/usr/bin/gaming-mouse-driver", error));
    EXPECT_NE(error.find("autostart"), std::string::npos) << error;
    EXPECT_FALSE(AutostartEnabled());
}

}  // namespace
}  // namespace gmd
