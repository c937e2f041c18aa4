// INI files with private-profile rules: lookups, value cuts, integer conversion, updates that
// keep the rest of the file, UTF-16 input, atomic and concurrent writes. Also the registry
// stand-in, which keeps its keys in such a file.

#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
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
    // A write keeps the file's encoding and what it held.
    ASSERT_TRUE(IniWriteString(file, "S", "added", "1"));
    EXPECT_EQ(ReadBytes(file).substr(0, 2), "\xFE\xFF");
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
std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const auto hi = static_cast<char>(unit >> 8);
        const auto lo = static_cast<char>(unit & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    }
    return out;
}

// A rewrite changes only the entry it sets: encoding, byte-order mark, line ends and bytes that
// decode to nothing stay as Windows' own writer keeps them.
TEST(IniWriteTest, RewriteKeepsEncodingMarkLineEndsAndUnknownBytes) {
    const struct {
        const char* name;
        std::string before;
        std::string after;  // after setting [S] k=2
    } cases[] = {
        {"UTF-16LE, CRLF, CJK", Utf16(u"[S]\r\nname=\u4E2D\u6587\r\nk=1\r\n", false),
         Utf16(u"[S]\r\nname=\u4E2D\u6587\r\nk=2\r\n", false)},
        {"UTF-16LE with an unpaired surrogate and an odd last byte",
         Utf16(u"[S]\r\nx=a\xD800z\r\nk=1\r\n", false) + "\x41",
         Utf16(u"[S]\r\nx=a\xD800z\r\nk=2\r\n", false) + "\x41"},
        {"UTF-16BE, a new key", Utf16(u"[S]\r\nname=\U0001F600\r\n", true),
         Utf16(u"[S]\r\nname=\U0001F600\r\nk=2\r\n", true)},
        {"UTF-8 with mark, CRLF", "\xEF\xBB\xBF[S]\r\nk=1\r\n", "\xEF\xBB\xBF[S]\r\nk=2\r\n"},
        {"UTF-8, no last line end, a new section", "[T]\nx=\xFF\xFE",
         "[T]\nx=\xFF\xFE\n[S]\nk=2\n"},
        {"mixed line ends", "[S]\r\nk=1\nz=3\r\n", "[S]\r\nk=2\nz=3\r\n"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir.Path() / "index.ini";
        WriteBytes(file, c.before);
        ASSERT_TRUE(IniWriteString(file, "S", "k", "2"));
        EXPECT_EQ(ReadBytes(file), c.after);
    }
}

TEST(IniWriteTest, LineBreaksInSectionsKeysAndValuesAreRefused) {
    TempDir dir;
    const fs::path file = dir.Path() / "main.ini";
    WriteBytes(file, "[SKINIMAGE]\nIMAGE=a.png\n");
    for (const auto& [section, key, value] : {std::tuple{"SKINIMAGE", "IMAGE", "b.png\nFLAGS=1"},
                                              {"SKINIMAGE", "IMAGE", "b.png\r[X]"},
                                              {"SKINIMAGE", "A\nB", "1"},
                                              {"S]\n[T", "k", "1"}}) {
        std::string error;
        EXPECT_FALSE(IniWriteString(file, section, key, value, &error)) << value;
        EXPECT_NE(error.find("line break"), std::string::npos) << error;
        EXPECT_NE(error.find(file.string()), std::string::npos) << error;
    }
    EXPECT_EQ(ReadBytes(file), "[SKINIMAGE]\nIMAGE=a.png\n");
}

// Writes follow a symbolic link to the real file and keep its mode; new files and folders are
// the user's alone whatever the umask.
TEST(AtomicFileTest, LinksModesAndUmask) {
    TempDir dir;
    const fs::path real = dir.Path() / "real.ini";
    const fs::path link = dir.Path() / "link.ini";
    WriteBytes(real, "[S]\nk=1\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real.ini", link);
    ASSERT_TRUE(IniWriteString(link, "S", "k", "2"));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    EXPECT_EQ(ReadBytes(real), "[S]\nk=2\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(IniWriteString(real, "S", "k", "3"));
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    const mode_t old = ::umask(0);
    const fs::path fresh = dir.Path() / "a" / "b" / "new.ini";
    const bool written = IniWriteString(fresh, "S", "k", "1");
    ::umask(old);
    ASSERT_TRUE(written);
    EXPECT_EQ(fs::status(fresh).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    for (const fs::path& folder : {dir.Path() / "a", dir.Path() / "a" / "b"}) {
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all)
            << folder;
    }

    // One lock file for the folder, however many files were written.
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(IniWriteString(dir.Path() / ("f" + std::to_string(i) + ".ini"), "S", "k", "1"));
    }
    size_t locks = 0;
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        locks += entry.path().filename().string().find("lock") != std::string::npos ? 1u : 0u;
    }
    EXPECT_EQ(locks, 1u);
    EXPECT_TRUE(fs::exists(dir.Path() / kFolderLockName));
}

// Reads take regular files only, up to a size such a file can have.
TEST(AtomicFileTest, ReadsRefuseFifosAndOversizedFiles) {
    TempDir dir;
    const fs::path fifo = dir.Path() / "msProfile.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string bytes;
    std::string error;
    EXPECT_FALSE(ReadWholeFile(fifo, bytes, error));  // returns at once, no writer needed
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    IniDocument doc;
    EXPECT_FALSE(IniTryLoad(fifo, doc, error));
    EXPECT_FALSE(IniWriteString(fifo, "S", "k", "1", &error));
    EXPECT_TRUE(fs::is_fifo(fifo));

    const fs::path big = dir.Path() / "big.ini";
    { std::ofstream(big) << "[S]\nk=1\n"; }
    fs::resize_file(big, kIniMaxBytes + 1);
    EXPECT_FALSE(IniTryLoad(big, doc, error));
    EXPECT_NE(error.find("big.ini"), std::string::npos) << error;
    EXPECT_EQ(IniReadString(big, "S", "k", "default"), "default");
    EXPECT_FALSE(IniWriteString(big, "S", "k", "2"));
    EXPECT_EQ(fs::file_size(big), kIniMaxBytes + 1);

    EXPECT_TRUE(IniTryLoad(dir.Path() / "missing.ini", doc, error));
}

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
