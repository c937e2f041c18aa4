// The index files: read rules, names that can be files, names compared without case, files made
// on Windows, and concurrent updates of one file.

#include "profiles/profile_index.h"

#include <thread>

#include "platform/ini_file.h"
#include "profile_test_support.h"

namespace gmd::profiles {
namespace {

std::string Repeat(const std::string& unit, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        out += unit;
    }
    return out;
}

namespace fs = std::filesystem;

using test::WriteBytes;

class ProfileIndexTest : public test::HomeFixture {
  protected:
    fs::path MsIndex() const { return IndexPath(ListId::MouseKey); }
};

TEST_F(ProfileIndexTest, ListsKnowTheirFilesAndSections) {
    EXPECT_EQ(IndexPath(ListId::MouseDevice),
              Home() / "Documents/Gaming Mouse Driver/ms/msProfile.ini");
    EXPECT_EQ(IndexPath(ListId::KeyboardKey),
              Home() / "Documents/Gaming Mouse Driver/kb/kbProfile.ini");
    EXPECT_EQ(IndexPath(ListId::MousepadLight),
              Home() / "Documents/Gaming Mouse Driver/mp/mpProfile.ini");
    EXPECT_EQ(ProfilePath(ListId::MouseKey, "profile1"), Ms() / "profile1.pro");
    EXPECT_EQ(ProfilePath(ListId::KeyboardDevice, "/abs"),
              Home() / "Documents/Gaming Mouse Driver/kb//abs.config");
    for (int i = 0; i < kListCount; ++i) {
        const ListInfo& info = Info(static_cast<ListId>(i));
        EXPECT_EQ(ListFromCliName(info.cliName), info.id);
    }
    EXPECT_EQ(ListFromCliName("ms-deng"), std::nullopt);
}

TEST_F(ProfileIndexTest, CountsAndSelectionsReadAsLeadingSignedDecimal) {
    const std::pair<const char*, int> cases[] = {
        {"abc", 0}, {"3x", 3}, {" +2", 2}, {"-1", 0}, {"", 0}, {"99999999999", kMaxListEntries},
    };
    for (const auto& [text, count] : cases) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(IniWriteString(MsIndex(), "PROFILECOUNT", "count", text));
        EXPECT_EQ(ReadCount(ListId::MouseKey), count);
        EXPECT_EQ(ReadList(ListId::MouseKey).size(), static_cast<size_t>(count));
    }
    EXPECT_EQ(ReadSelect(ListId::MouseKey), 0);  // missing
    ASSERT_TRUE(IniWriteString(MsIndex(), "PROFILESELECT", "select", "-3x"));
    EXPECT_EQ(ReadSelect(ListId::MouseKey), -3);
}

TEST_F(ProfileIndexTest, EntriesReadWithDefaultsAndOnlyUpToCount) {
    WriteBytes(MsIndex(),
               "[PROFILECOUNT]\ncount=3\n"
               "[PROFILENAME]\n0=alpha\n2=gamma\n3=beyond\n"
               "[PROFILELIKEEXE]\n0=1\n1=2\n2=0\n"
               "[PROCESS]\n0=/usr/bin/game\n1=/opt/x\n");
    const std::vector<ListEntry> entries = ReadList(ListId::MouseKey);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "alpha");
    EXPECT_TRUE(entries[0].linked);
    EXPECT_EQ(entries[0].program, "/usr/bin/game");
    EXPECT_EQ(entries[1].name, "0");  // missing name key
    EXPECT_FALSE(entries[1].linked);  // "2" is set but not linked
    EXPECT_TRUE(entries[1].flagSet);
    EXPECT_EQ(entries[2].name, "gamma");
    EXPECT_FALSE(entries[2].flagSet);
    EXPECT_EQ(entries[2].program, "0");
    EXPECT_EQ(ProfilePath(ListId::MouseKey, entries[1].name), Ms() / "0.pro");
}

TEST_F(ProfileIndexTest, LongNamesAreCutTo259Characters) {
    const std::string name(300, 'n');
    WriteBytes(MsIndex(), "[PROFILECOUNT]\ncount=1\n[PROFILENAME]\n0=" + name + "\n");
    EXPECT_EQ(ReadList(ListId::MouseKey)[0].name, name.substr(0, 259));
}

TEST_F(ProfileIndexTest, KeyboardDeviceAndKeyListsShareTheProgramKeys) {
    ASSERT_TRUE(IniWriteString(IndexPath(ListId::KeyboardKey), "PROFILECOUNT", "count", "1"));
    ASSERT_TRUE(
        IniWriteString(IndexPath(ListId::KeyboardDevice), "PROFILEDEVICECOUNT", "count", "1"));
    ASSERT_TRUE(WriteLink(ListId::KeyboardKey, 0, true, "/old/key.exe"));
    ASSERT_TRUE(WriteLink(ListId::KeyboardDevice, 0, true, "/usr/bin/game"));
    EXPECT_EQ(IniReadString(IndexPath(ListId::KeyboardDevice), "PROCESS", "0", ""),
              "/usr/bin/game");
    EXPECT_EQ(ReadList(ListId::KeyboardKey)[0].program, "/usr/bin/game");
    // The mouse keeps them apart.
    ASSERT_TRUE(WriteLink(ListId::MouseDevice, 0, true, "/a"));
    EXPECT_EQ(IniReadString(MsIndex(), "DEVICEPROCESS", "0", ""), "/a");
    EXPECT_EQ(IniReadString(MsIndex(), "PROCESS", "0", "none"), "none");
    // A path with a line break could add lines of its own to the index.
    EXPECT_FALSE(WriteLink(ListId::MouseDevice, 1, true, "/tmp/x\n[PROFILEDEVICECOUNT]\ncount=99"));
    EXPECT_EQ(IniReadString(MsIndex(), "DEVICEPROCESS", "1", "none"), "none");
}

TEST_F(ProfileIndexTest, WindowsUtf16IndexIsReadAndNonAsciiNamesRoundTrip) {
    // "[PROFILECOUNT]\r\ncount=2\r\n[PROFILENAME]\r\n0=Überprofil\r\n1=游戏\r\n" as UTF-16LE.
    const std::u16string text =
        u"[PROFILECOUNT]\r\ncount=2\r\n[PROFILENAME]\r\n0=\u00DCberprofil\r\n1=\u6E38\u620F\r\n";
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    WriteBytes(MsIndex(), bytes);
    std::vector<ListEntry> entries = ReadList(ListId::MouseKey);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "Überprofil");
    EXPECT_EQ(entries[1].name, "游戏");
    // Our own write keeps the file as Windows wrote it (UTF-16LE, CRLF) and every name.
    ASSERT_TRUE(WriteSelect(ListId::MouseKey, 1));
    const std::string rewritten = test::ReadBytes(MsIndex());
    EXPECT_EQ(rewritten.substr(0, 6), std::string("\xFF\xFE[\0P\0", 6));
    EXPECT_EQ(rewritten.substr(rewritten.size() - 4), std::string("\r\0\n\0", 4));
    entries = ReadList(ListId::MouseKey);
    EXPECT_EQ(entries[0].name, "Überprofil");
    EXPECT_EQ(entries[1].name, "游戏");
    EXPECT_EQ(ReadSelect(ListId::MouseKey), 1);
}

TEST_F(ProfileIndexTest, RewriteKeepsAFileThatStartsLikeAByteOrderMark) {
    // Stray bytes after a UTF-8 mark: written back as they stand they would read as UTF-16.
    WriteBytes(MsIndex(), "\xEF\xBB\xBF\xFF\xFE\n[PROFILECOUNT]\ncount=1\n[PROFILENAME]\n0=kept\n");
    ASSERT_EQ(ReadList(ListId::MouseKey).size(), 1u);
    ASSERT_TRUE(WriteSelect(ListId::MouseKey, 0));
    ASSERT_EQ(ReadList(ListId::MouseKey).size(), 1u);
    EXPECT_EQ(ReadList(ListId::MouseKey)[0].name, "kept");
}

TEST(ProfileNameTest, CheckProfileName) {
    const std::pair<std::string, NameCheck> cases[] = {
        {"profile1", NameCheck::Ok},
        {"my game: 2 (fast)", NameCheck::Ok},
        {"Überprofil 游戏", NameCheck::Ok},
        {"0", NameCheck::Ok},
        {"..x", NameCheck::Ok},
        {"", NameCheck::Empty},
        {".", NameCheck::NotAFileName},
        {"..", NameCheck::NotAFileName},
        {"../escape", NameCheck::NotAFileName},
        {"a/b", NameCheck::NotAFileName},
        {"/etc/passwd", NameCheck::NotAFileName},
        {"a\\b", NameCheck::NotAFileName},
        {"line\nbreak", NameCheck::NotAFileName},
        {"tab\there", NameCheck::NotAFileName},
        {std::string("nul\0x", 5), NameCheck::NotAFileName},
        {"del\x7F", NameCheck::NotAFileName},
        {" lead", NameCheck::NotAFileName},
        {"trail ", NameCheck::NotAFileName},
        {"\"quoted\"", NameCheck::NotAFileName},
        {"\"half", NameCheck::Ok},
        // ".NAME.config.tmpNNNNNNNNN", the temporary of a write, must fit in 255 bytes.
        {std::string(234, 'a'), NameCheck::Ok},
        {std::string(235, 'a'), NameCheck::NotAFileName},
        {std::string(248, 'a'), NameCheck::NotAFileName},
        {Repeat("\xE4\xB8\xAD", 78), NameCheck::Ok},            // 234 bytes
        {Repeat("\xE4\xB8\xAD", 82), NameCheck::NotAFileName},  // 246 bytes
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CheckProfileName(name), expected);
    }
}

TEST(ProfileNameTest, SameProfileNameIgnoresCase) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"profile1", "PROFILE1", true},   {"Profile1", "profile1", true},
        {"profile1", "profile1 ", false}, {"profile1", "profile", false},
        {"ÜBER", "über", true},           {"ΑΒΓ", "αβγ", true},
        {"ПРОФИЛЬ", "профиль", true},     {"Łódź", "łÓDŹ", true},
        {"游戏", "游戏", true},           {"a\xFF", "A\xFF", true},
        {"a\xFF", "a\xFE", false},        {"", "", true},
    };
    for (const auto& [a, b, same] : cases) {
        SCOPED_TRACE(std::string(a) + " / " + b);
        EXPECT_EQ(SameProfileName(a, b), same);
        EXPECT_EQ(SameProfileName(b, a), same);
    }
}

TEST_F(ProfileIndexTest, TwoThreadsUpdatingOneIndexLoseNothing) {
    // Each thread writes keys of its own list in the same file; a lost update would drop some.
    constexpr int kRounds = 60;
    auto writer = [](ListId list) {
        for (int i = 0; i < kRounds; ++i) {
            WriteLink(list, i, true, "/bin/p" + std::to_string(i));
            WriteSelect(list, i);
        }
    };
    std::thread device(writer, ListId::MouseDevice);
    std::thread light(writer, ListId::MouseLight);
    device.join();
    light.join();
    const IniDocument doc = IniLoad(MsIndex());
    for (const ListId list : {ListId::MouseDevice, ListId::MouseLight}) {
        const ListInfo& info = Info(list);
        EXPECT_EQ(doc.Keys(info.linkSection).size(), static_cast<size_t>(kRounds));
        EXPECT_EQ(doc.Keys(info.programSection).size(), static_cast<size_t>(kRounds));
        EXPECT_EQ(doc.Get(info.selectSection, "select"), std::to_string(kRounds - 1));
    }
}

}  // namespace
}  // namespace gmd::profiles
