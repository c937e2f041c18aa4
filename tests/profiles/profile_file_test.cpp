// Profile files: the header and blob layout, the three read results, and writes that never
// leave a torn file.

#include "profiles/profile_file.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <numeric>
#include <string_view>
#include <thread>

#include "platform/debug_output.h"
#include "profile_test_support.h"

namespace gmd::profiles {
namespace {

namespace fs = std::filesystem;

using test::ReadBytes;
using test::WriteBytes;

class ProfileFileTest : public test::HomeFixture {};

std::vector<uint8_t> Counting(size_t size, uint8_t start = 0) {
    std::vector<uint8_t> blob(size);
    std::iota(blob.begin(), blob.end(), start);
    return blob;
}

TEST_F(ProfileFileTest, FileIsHeaderThenBlobWithTheDeviceCode) {
    struct Case {
        ListId list;
        size_t fileSize;
        uint8_t code;
    };
    const Case cases[] = {
        {ListId::MouseLight, 80, 2},      {ListId::MouseDevice, 592, 2},
        {ListId::MouseKey, 528, 2},       {ListId::KeyboardDevice, 2486, 1},
        {ListId::KeyboardLight, 1974, 1}, {ListId::KeyboardKey, 528, 1},
        {ListId::MousepadLight, 80, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(Info(c.list).cliName));
        const fs::path path = ProfilePath(c.list, "p");
        const std::vector<uint8_t> blob = Counting(Info(c.list).blobSize, 7);
        ASSERT_TRUE(WriteProfileFile(path, blob, Info(c.list).device));
        const std::string bytes = ReadBytes(path);
        ASSERT_EQ(bytes.size(), c.fileSize);
        std::string header(16, '\0');
        header[0] = '\xAA';
        header[1] = '\x55';
        header[4] = static_cast<char>(c.code);
        EXPECT_EQ(bytes.substr(0, 16), header);  // reserved bytes zero
        EXPECT_EQ(bytes.substr(16), std::string(blob.begin(), blob.end()));
    }
}

TEST_F(ProfileFileTest, ReadResults) {
    const fs::path dir = Home() / "files";
    fs::create_directories(dir / "a-directory");
    const std::string header("\xAA\x55\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00",
                             16);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    struct Case {
        const char* name;
        std::string bytes;  // not written for the special files
        int result;
        std::vector<uint8_t> blob;  // of 4 bytes, after a cleared buffer
    };
    const Case cases[] = {
        {"empty", "", kProfileNotAProfile, {0, 0, 0, 0}},
        {"one-byte", "\xAA", kProfileNotAProfile, {0, 0, 0, 0}},
        {"swapped-magic",
         std::string("\x55\xAA", 2) + std::string(14, '\0') + "\x01\x02",
         kProfileNotAProfile,
         {0, 0, 0, 0}},
        {"magic-only", "\xAA\x55", kProfileRead, {0, 0, 0, 0}},
        {"header-only", header, kProfileRead, {0, 0, 0, 0}},
        {"short-blob", header + "\x09\x08", kProfileRead, {9, 8, 0, 0}},
        {"long-blob", header + "\x01\x02\x03\x04\x05\x06", kProfileRead, {1, 2, 3, 4}},
        {"other-device",
         std::string("\xAA\x55\x00\x00\x01", 5) + std::string(11, '\x7F') + "\x05",
         kProfileRead,
         {5, 0, 0, 0}},
        {"missing", "", kProfileMissing, {0, 0, 0, 0}},
        {"a-directory", "", kProfileMissing, {0, 0, 0, 0}},
        {"fifo", "", kProfileMissing, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir / c.name;
        if (!fs::exists(path) && std::string_view(c.name) != "missing") {
            WriteBytes(path, c.bytes);
        }
        std::vector<uint8_t> blob(4, 0);
        EXPECT_EQ(ReadProfileFile(path, blob), c.result);
        EXPECT_EQ(blob, c.blob);
    }
    if (::geteuid() != 0) {  // root reads whatever the mode says
        const fs::path locked = dir / "unreadable";
        WriteBytes(locked, header);
        fs::permissions(locked, fs::perms::none);
        std::vector<uint8_t> blob(4, 0);
        EXPECT_EQ(ReadProfileFile(locked, blob), kProfileMissing);
    }
}

TEST_F(ProfileFileTest, SmallBufferTakesTheFirstBlobBytes) {
    // A device profile read with the light size gets key-image bytes: the reader never seeks.
    const fs::path path = ProfilePath(ListId::MouseDevice, "p");
    ASSERT_TRUE(WriteProfileFile(path, Counting(kMouseDeviceBlob), DeviceKind::Mouse));
    std::vector<uint8_t> blob(kMouseLightBlob, 0);
    ASSERT_EQ(ReadProfileFile(path, blob), kProfileRead);
    EXPECT_EQ(blob, Counting(kMouseLightBlob));
}

TEST_F(ProfileFileTest, FailedWriteLeavesTheOldFileAndSaysSo) {
    std::vector<std::string> lines;
    SetDebugTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    const fs::path path = ProfilePath(ListId::MouseLight, "p");
    ASSERT_TRUE(WriteProfileFile(path, Counting(64), DeviceKind::Mouse));
    const std::string before = ReadBytes(path);
    // A folder that cannot exist (its parent is a file), and a target that is a directory.
    const fs::path blocker = Home() / "plain-file";
    WriteBytes(blocker, "x");
    EXPECT_FALSE(WriteProfileFile(blocker / "p.led", Counting(64), DeviceKind::Mouse));
    fs::create_directories(Ms() / "dir.led");
    EXPECT_FALSE(WriteProfileFile(Ms() / "dir.led", Counting(64), DeviceKind::Mouse));
    SetDebugTraceSink(nullptr);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "文件打开失败"), 2);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(test::FileNames(Ms()), (std::vector<std::string>{"dir.led", "p.led"}));
}

// The temporaries of writes of `target` in its folder.
std::vector<fs::path> Temporaries(const fs::path& target) {
    const std::string prefix = "." + target.filename().string() + ".tmp";
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(target.parent_path())) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) {
            found.push_back(entry.path());
        }
    }
    return found;
}

void MakeOld(const fs::path& file) {
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

TEST_F(ProfileFileTest, TheNextWriteRemovesTemporariesOfWritersThatAreGone) {
    const fs::path path = ProfilePath(ListId::MouseLight, "p");
    struct Case {
        const char* name;
        bool old;
        bool removed;
    };
    const Case cases[] = {
        {".p.led.tmp123456789", true, true},
        {".p.led.tmp42", false, false},  // just written: a live writer may still be at it
        {".q.led.tmp123", true, false},  // another file's
        {".p.led.tmp12x", true, false},  // not named as our temporaries are
        {".p.led.tmp", true, false},
    };
    for (const Case& c : cases) {
        WriteBytes(Ms() / c.name, "torn");
        if (c.old) {
            MakeOld(Ms() / c.name);
        }
    }
    ASSERT_TRUE(WriteProfileFile(path, Counting(64), DeviceKind::Mouse));
    for (const Case& c : cases) {
        EXPECT_EQ(fs::exists(Ms() / c.name), !c.removed) << c.name;
    }
}

TEST_F(ProfileFileTest, KilledWriterLeavesAWholeOldOrNewFile) {
    const fs::path path = ProfilePath(ListId::KeyboardDevice, "p");
    const std::vector<uint8_t> first(kKeyboardDeviceBlob, 0x11);
    ASSERT_TRUE(WriteProfileFile(path, first, DeviceKind::Keyboard));
    for (int round = 0; round < 5; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Alternate two whole contents until killed.
            for (uint8_t fill = 0x22;; fill = fill == 0x22 ? 0x33 : 0x22) {
                WriteProfileFile(path, std::vector<uint8_t>(kKeyboardDeviceBlob, fill),
                                 DeviceKind::Keyboard);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 15 * round));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string bytes = ReadBytes(path);
        ASSERT_EQ(bytes.size(), 16 + kKeyboardDeviceBlob) << "round " << round;
        const std::string blob = bytes.substr(16);
        EXPECT_EQ(blob.find_first_not_of(blob[0]), std::string::npos) << "round " << round;
        EXPECT_NE(std::string("\x11\x22\x33").find(blob[0]), std::string::npos);
    }
    // What the killed writers left goes with a later write.
    for (const fs::path& temporary : Temporaries(path)) {
        MakeOld(temporary);
    }
    ASSERT_TRUE(WriteProfileFile(path, first, DeviceKind::Keyboard));
    EXPECT_EQ(Temporaries(path), std::vector<fs::path>{});
}

}  // namespace
}  // namespace gmd::profiles
