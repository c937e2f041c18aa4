// INI files with private-profile rules: lookups, value cuts, integer conversion, updates that
// keep the rest of the file, UTF-16 input, atomic and concurrent writes. Also the registry
// stand-in, which keeps its keys in such a file.

#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/registry.h"

namespace gmd {
namespace {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "gmd-ini-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string Repeat(const std::string& unit, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        out += unit;
    }
    return out;
}

TEST(IniReadTest, LookupRules) {
    TempDir dir;
    const fs::path file = dir.Path() / "main.ini";
    WriteBytes(file,
               "; a comment = not an entry\r\n"
               "[SkinImage]\r\n"
               "Language = 1 \r\n"
               "language=2\r\n"
               "quoted = \"  spaced value  \"\r\n"
               "single='x'\r\n"
               "half=\"open\r\n"
               "empty=\r\n"
               "equals=a=b\r\n"
               ";hidden=1\r\n"
               "long=" +
                   Repeat("a", 300) + "\r\n" + "wide=" + Repeat("\xC3\xA9", 300) +
                   "\r\nbroken=" + Repeat("\xF1\xFF", 300) +
                   "\r\n"
                   "[skinimage]\r\n"
                   "second=only in the second section\r\n"
                   "[ Other ]\r\n"
                   "language=9\r\n");
    struct Case {
        const char* section;
        const char* key;
        std::string expected;
    };
    const Case cases[] = {
        {"SKINIMAGE", "LANGUAGE", "1"},  // case-blind, trimmed, first entry wins
        {"skinimage", "quoted", "  spaced value  "},
        {"SkinImage", "single", "x"},
        {"SkinImage", "half", "\"open"},
        {"SkinImage", "empty", ""},  // present but empty is not the default
        {"SkinImage", "equals", "a=b"},
        {"SkinImage", "hidden", "<default>"},
        {"SkinImage", "long", Repeat("a", kIniValueMaxChars)},
        {"SkinImage", "wide", Repeat("\xC3\xA9", kIniValueMaxChars)},  // cut by characters
        // A lead byte without its continuation bytes is a character of its own.
        {"SkinImage", "broken", Repeat("\xF1\xFF", kIniValueMaxChars / 2) + "\xF1"},
        {"SkinImage", "second", "<default>"},  // only the first section of a name counts
        {"other", "LANGUAGE", "9"},
        {"missing", "LANGUAGE", "<default>"},
        {"SkinImage", "missing", "<default>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(IniReadString(file, c.section, c.key, "<default>"), c.expected);
    }
    EXPECT_EQ(IniReadInt(file, "SKINIMAGE", "language", 7), 1);
    EXPECT_EQ(IniReadInt(file, "SKINIMAGE", "single", 7), 0);  // not a number
    EXPECT_EQ(IniReadInt(file, "SKINIMAGE", "nothing", 7), 7);
}

TEST(IniReadTest, MissingFileGivesTheDefaultCutToTheValueLimit) {
    TempDir dir;
    const fs::path file = dir.Path() / "absent.ini";
    EXPECT_EQ(IniReadString(file, "SKINIMAGE", "IMAGE", "0"), "0");
    EXPECT_EQ(IniReadString(file, "S", "K", Repeat("b", 400)), Repeat("b", kIniValueMaxChars));
    EXPECT_EQ(IniReadInt(file, "SKINIMAGE", "LANGUAGE", 0), 0);
    EXPECT_FALSE(fs::exists(file));  // reading makes nothing
}

TEST(IniReadTest, Utf16FileWithByteOrderMark) {
    TempDir dir;
    const fs::path file = dir.Path() / "utf16.ini";
    const std::u16string text = u"[S]\r\nname=v\u00E4lue \u6F14\U0001F600\r\nn=42\r\n";
    std::string le = "\xFF\xFE";
    std::string be = "\xFE\xFF";
    for (char16_t unit : text) {
        le.push_back(static_cast<char>(unit & 0xFF));
        le.push_back(static_cast<char>(unit >> 8));
        be.push_back(static_cast<char>(unit >> 8));
        be.push_back(static_cast<char>(unit & 0xFF));
    }
    for (const std::string& bytes : {le, be}) {
        WriteBytes(file, bytes);
        EXPECT_EQ(IniReadString(file, "s", "NAME", ""),
                  "v\xC3\xA4lue \xE6\xBC\x94\xF0\x9F\x98\x80");
        EXPECT_EQ(IniReadInt(file, "S", "n", 0), 42);
    }
    // A write turns the file into UTF-8 and keeps what it held.
    ASSERT_TRUE(IniWriteString(file, "S", "added", "1"));
    EXPECT_EQ(IniReadInt(file, "S", "n", 0), 42);
    EXPECT_EQ(IniReadString(file, "S", "added", ""), "1");
}

TEST(ParseLeadingIntTest, ConvertsLikeTheSystemConversion) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"12abc", 12},
        {" -7", -7},
        {"\t+5", 5},
        {"x", 0},
        {"", 0},
        {"-", 0},
        {"- 3", 0},
        {"0x10", 0},
        {"2020", 2020},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999999", INT_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseLeadingInt(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(IniWriteTest, CreatesTheFileAndItsFolders) {
    TempDir dir;
    const fs::path file = dir.Path() / "a" / "b" / "main.ini";
    std::string error;
    ASSERT_TRUE(IniWriteString(file, "SKINIMAGE", "LANGUAGE", "1", &error)) << error;
    EXPECT_EQ(ReadBytes(file), "[SKINIMAGE]\nLANGUAGE=1\n");
}

TEST(IniWriteTest, UpdateKeepsEveryOtherLineAsItWas) {
    TempDir dir;
    const fs::path file = dir.Path() / "main.ini";
    WriteBytes(file,
               "; settings\n"
               "[ First ]  \n"
               "a = 1\n"
               "Key = old ; not a comment\n"
               "\n"
               "[SKINIMAGE]\n"
               "FLAGS = 0\n"
               "\n"
               "; trailing comment\n"
               "[Last]\n"
               "z=\"q\"\n");
    ASSERT_TRUE(IniWriteString(file, "first", "KEY", "new"));
    ASSERT_TRUE(IniWriteString(file, "skinimage", "IMAGE", "common/background.png"));
    ASSERT_TRUE(IniWriteString(file, "Added", "k", "v"));
    EXPECT_EQ(ReadBytes(file),
              "; settings\n"
              "[ First ]  \n"
              "a = 1\n"
              "Key=new\n"
              "\n"
              "[SKINIMAGE]\n"
              "FLAGS = 0\n"
              "IMAGE=common/background.png\n"
              "\n"
              "; trailing comment\n"
              "[Last]\n"
              "z=\"q\"\n"
              "[Added]\n"
              "k=v\n");
}

TEST(IniWriteTest, FailedWriteLeavesTheOldFile) {
    // A full disk (injected, so it fails for root too) and, where the user is not root, a
    // folder that refuses new files.
    for (const bool readOnlyFolder : {false, true}) {
        if (readOnlyFolder && ::geteuid() == 0) {
            continue;  // root writes into read-only folders
        }
        SCOPED_TRACE(readOnlyFolder ? "read-only folder" : "full disk");
        TempDir dir;
        const fs::path folder = dir.Path() / "locked";
        fs::create_directories(folder);
        const fs::path file = folder / "main.ini";
        WriteBytes(file, "[S]\nk=old\n");
        if (readOnlyFolder) {
            fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        } else {
            SetFileWriteFault([](const fs::path&) { return ENOSPC; });
        }
        std::string error;
        EXPECT_FALSE(IniWriteString(file, "S", "k", "new", &error));
        EXPECT_FALSE(error.empty());
        SetFileWriteFault(nullptr);
        fs::permissions(folder, fs::perms::owner_all);
        EXPECT_EQ(ReadBytes(file), "[S]\nk=old\n");
        for (const auto& entry : fs::directory_iterator(folder)) {
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
                << "left behind: " << entry.path();
        }
    }
}

TEST(IniWriteTest, ConcurrentWritersLoseNothing) {
    TempDir dir;
    const fs::path file = dir.Path() / "shared.ini";
    constexpr int kThreads = 4;
    constexpr int kKeys = 20;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&file, t] {
            for (int k = 0; k < kKeys; ++k) {
                const std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
                EXPECT_TRUE(IniWriteString(file, "S", key, std::to_string(t * 100 + k)));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const IniDocument doc = IniLoad(file);
    EXPECT_EQ(doc.Keys("S").size(), static_cast<size_t>(kThreads * kKeys));
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeys; ++k) {
            const std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
            EXPECT_EQ(doc.Get("S", key), std::to_string(t * 100 + k)) << key;
        }
    }
}

// The registry stand-in keeps its keys as sections of an INI file in the configuration folder.
class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old != nullptr) {
            oldConfig_ = old;
        }
        ::setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
    }
    void TearDown() override {
        if (oldConfig_) {
            ::setenv("XDG_CONFIG_HOME", oldConfig_->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
    }
    TempDir dir_;
    std::optional<std::string> oldConfig_;
};

TEST_F(RegistryTest, KeysAreOpenedNeverCreatedByWrites) {
    std::string value = "untouched";
    EXPECT_FALSE(ReadRegistryString(kRegistryAppKey, "LANGUAGE", value));
    EXPECT_FALSE(OpenRegistryKey(kRegistryAppKey));
    EXPECT_FALSE(WriteRegistryString(kRegistryAppKey, "LANGUAGE", "2020"));
    EXPECT_FALSE(fs::exists(RegistryFile()));  // a failed write makes no file
    EXPECT_EQ(value, "untouched");

    ASSERT_TRUE(CreateRegistryKey(kRegistryAppKey));
    EXPECT_TRUE(OpenRegistryKey("software\\gaming mouse driver"));
    EXPECT_FALSE(ReadRegistryString(kRegistryAppKey, "LANGUAGE", value));  // no value yet
    ASSERT_TRUE(WriteRegistryString(kRegistryAppKey, "LANGUAGE", "2020"));
    ASSERT_TRUE(ReadRegistryString(kRegistryAppKey, "language", value));
    EXPECT_EQ(value, "2020");
    ASSERT_TRUE(WriteRegistryString(kRegistryAppKey, "LANGUAGE", "1010"));
    ASSERT_TRUE(ReadRegistryString(kRegistryAppKey, "LANGUAGE", value));
    EXPECT_EQ(value, "1010");
    EXPECT_TRUE(CreateRegistryKey(kRegistryAppKey));  // again: still one key with its value
    ASSERT_TRUE(ReadRegistryString(kRegistryAppKey, "LANGUAGE", value));
    EXPECT_EQ(value, "1010");

    // What would break the file's structure is refused.
    EXPECT_FALSE(WriteRegistryString(kRegistryAppKey, "LANGUAGE", "1\n[x]"));
    EXPECT_FALSE(WriteRegistryString(kRegistryAppKey, "A=B", "1"));
    EXPECT_FALSE(CreateRegistryKey("bad]key"));
    EXPECT_FALSE(CreateRegistryKey(""));
}

}  // namespace
}  // namespace gmd
