#pragma once
// A private home folder per test, so the data folders and index files start empty.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/folders.h"
#include "tests/support/temp_dir.h"

namespace gmd::profiles::test {

namespace fs = std::filesystem;

inline void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

inline std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Regular files of a folder, lock files left out.
inline std::vector<std::string> FileNames(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind('.', 0) != 0) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class HomeFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.Path().empty());
        home_ = dir_.Path();
        ::setenv("HOME", home_.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home_ / ".config").c_str(), 1);
        // The shipped defaults, in a folder of the test's own so a test may remove one.
        app_ = home_ / "app";
        fs::create_directories(app_);
        // The folder also holds the application and its skin in a full build: profiles only.
        for (const auto& entry : fs::directory_iterator(GMD_DEFAULT_PROFILES_DIR)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".pro" || ext == ".config" || ext == ".led")) {
                fs::copy_file(entry.path(), app_ / entry.path().filename());
            }
        }
    }
    const fs::path& Home() const { return home_; }
    const fs::path& App() const { return app_; }
    fs::path Ms() const { return MouseFolder(); }

  private:
    gmd::testing::TempDir dir_{"gmd-profiles"};
    fs::path home_;
    fs::path app_;
};

}  // namespace gmd::profiles::test
