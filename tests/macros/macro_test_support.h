#pragma once
// A private folder per test for the macro and sequence files.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <system_error>

#include "macros/macro_model.h"
#include "platform/atomic_file.h"

namespace gmd::macros::test {

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

// "[MACROACTIONCOUNT]" with `count` and the given actions, as another program might write it.
inline std::string ActionFile(int count, const std::vector<std::string>& texts) {
    std::string bytes =
        "[MACROACTIONCOUNT]\r\ncount=" + std::to_string(count) + "\r\n[MACROACTION]\r\n";
    for (size_t i = 0; i < texts.size(); ++i) {
        bytes += std::to_string(i) + "=" + texts[i] + "\r\n";
    }
    return bytes;
}

class FolderFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "gmd-macros-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        store_.folder = root_ / "ms";
        fs::create_directories(store_.folder);
    }
    void TearDown() override {
        SetFileWriteFault(nullptr);
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    // Every write into the data folder fails from now on.
    void FailWrites() {
        const fs::path folder = store_.folder;
        SetFileWriteFault(
            [folder](const fs::path& target) { return target.parent_path() == folder ? EIO : 0; });
    }
    // The regular files of the data folder with their bytes, lock files left out.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(store_.folder)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind('.', 0) != 0) {
                files[name] = ReadBytes(entry.path());
            }
        }
        return files;
    }

    fs::path root_;
    MacroStore store_;
};

}  // namespace gmd::macros::test
