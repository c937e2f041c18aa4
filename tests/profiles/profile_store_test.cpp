// The profile operations on index and profile files, first use of the lists, and the shipped
// default profiles.

#include "profiles/profile_store.h"

#include <cerrno>

#include "mouse/mouse_blocks.h"
#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "profile_test_support.h"
#include "profiles/default_profiles.h"

namespace gmd::profiles {
namespace {

namespace fs = std::filesystem;

using test::FileNames;
using test::ReadBytes;
using test::WriteBytes;

// While it lives, writes of the files with these names fail as on a full disk.
class FullDiskFor {
  public:
    explicit FullDiskFor(std::vector<std::string> names) {
        SetFileWriteFault([names = std::move(names)](const fs::path& path) {
            const bool hit =
                std::find(names.begin(), names.end(), path.filename().string()) != names.end();
            return hit ? ENOSPC : 0;
        });
    }
    ~FullDiskFor() { SetFileWriteFault(nullptr); }
    FullDiskFor(const FullDiskFor&) = delete;
    FullDiskFor& operator=(const FullDiskFor&) = delete;
};

class ProfileStoreTest : public test::HomeFixture {
  protected:
    fs::path MsIndex() const { return IndexPath(ListId::MouseDevice); }

    // A list with these names, each with a file whose blob is filled with its position + 1.
    void MakeList(ListId list, const std::vector<std::string>& names) {
        const ListInfo& info = Info(list);
        ASSERT_TRUE(IniUpdate(IndexPath(list), [&](IniDocument& doc) {
            doc.Set(info.countSection, "count", std::to_string(names.size()));
            for (size_t i = 0; i < names.size(); ++i) {
                doc.Set(info.nameSection, std::to_string(i), names[i]);
                doc.Set(info.linkSection, std::to_string(i), "0");
            }
        }));
        for (size_t i = 0; i < names.size(); ++i) {
            ASSERT_TRUE(WriteProfileFile(ProfilePath(list, names[i]),
                                         Filled(list, static_cast<uint8_t>(i + 1)), info.device));
        }
    }
    static std::vector<uint8_t> Filled(ListId list, uint8_t value) {
        return std::vector<uint8_t>(Info(list).blobSize, value);
    }
    static std::vector<std::string> Names(ListId list) {
        std::vector<std::string> names;
        for (const ListEntry& entry : ReadList(list)) {
            names.push_back(entry.name);
        }
        return names;
    }
    static std::vector<uint8_t> Blob(ListId list, int position) {
        std::vector<uint8_t> blob;
        EXPECT_EQ(LoadBlob(list, position, blob), kProfileRead);
        return blob;
    }
};

TEST(ProfileNamesTest, AddAndCopyNames) {
    EXPECT_EQ(NextAddName({}), "profile1");
    EXPECT_EQ(NextAddName({"profile1", "PROFILE3"}), "profile2");
    EXPECT_EQ(NextAddName({"profile1", "PROFILE3", "profile2"}), "profile4");
    EXPECT_EQ(NextAddName({"Profile2", "profile1"}), "profile3");
    EXPECT_EQ(NextCopyName({"profile1"}, "profile1"), "profile1 copy");
    EXPECT_EQ(NextCopyName({"profile1", "profile1 copy"}, "profile1"), "profile1 copy copy");
    EXPECT_EQ(NextCopyName({"a", "A COPY", "a copy copy"}, "a"), "a copy copy copy");
}

TEST_F(ProfileStoreTest, FirstUseWritesProfile1AndTheIndexInOrder) {
    for (const ListId list : {ListId::MouseDevice, ListId::MouseLight, ListId::MouseKey}) {
        ASSERT_EQ(CreateFirstProfile(list, App()), OpResult::Ok);
    }
    EXPECT_EQ(ReadBytes(MsIndex()),
              "[PROFILEDEVICECOUNT]\ncount=1\n[PROFILELIKEDEVICEEXE]\n0=0\n"
              "[PROFILEDEVICENAME]\n0=profile1\n[PROFILEDEVICESELECT]\nselect=0\n"
              "[PROFILEDENGCOUNT]\ncount=1\n[PROFILELIKEDENGEXE]\n0=0\n"
              "[PROFILEDENGNAME]\n0=profile1\n[PROFILEDENGSELECT]\nselect=0\n"
              "[PROFILECOUNT]\ncount=1\n[PROFILELIKEEXE]\n0=0\n"
              "[PROFILENAME]\n0=profile1\n[PROFILESELECT]\nselect=0\n");
    EXPECT_EQ(FileNames(Ms()), (std::vector<std::string>{"msProfile.ini", "profile1.config",
                                                         "profile1.led", "profile1.pro"}));
    EXPECT_EQ(ReadBytes(Ms() / "profile1.config"), ReadBytes(App() / "msdevicedefault.config"));
    // A list in use is left alone.
    ASSERT_EQ(CreateFirstProfile(ListId::MouseDevice, App()), OpResult::Ok);
    EXPECT_EQ(ReadCount(ListId::MouseDevice), 1);
}

TEST_F(ProfileStoreTest, FirstUseWithoutTheDefaultWritesNothing) {
    fs::remove(App() / "msdevicedefault.config");
    WriteBytes(App() / "msdengdefault.led", "not a profile");
    EXPECT_EQ(CreateFirstProfile(ListId::MouseDevice, App()), OpResult::SourceMissing);
    EXPECT_EQ(CreateFirstProfile(ListId::MouseLight, App()), OpResult::SourceNotAProfile);
    EXPECT_EQ(FileNames(Ms()), std::vector<std::string>{});
    // Default files are matched without regard to case.
    fs::rename(App() / "mskeydefault.pro", App() / "MsKeyDefault.PRO");
    EXPECT_EQ(CreateFirstProfile(ListId::MouseKey, App()), OpResult::Ok);
}

TEST_F(ProfileStoreTest, AddNamesTheEntryAndWritesTheDefault) {
    MakeList(ListId::MouseKey, {"profile1", "PROFILE3"});
    std::string name;
    ASSERT_EQ(AddProfile(ListId::MouseKey, App(), name), OpResult::Ok);
    EXPECT_EQ(name, "profile2");
    ASSERT_EQ(AddProfile(ListId::MouseKey, App(), name), OpResult::Ok);
    EXPECT_EQ(name, "profile4");
    EXPECT_EQ(Names(ListId::MouseKey),
              (std::vector<std::string>{"profile1", "PROFILE3", "profile2", "profile4"}));
    EXPECT_EQ(IniReadString(IndexPath(ListId::MouseKey), "PROFILELIKEEXE", "3", "-"), "0");
    EXPECT_EQ(Blob(ListId::MouseKey, 3), DefaultBlob(ListId::MouseKey));
}

TEST_F(ProfileStoreTest, AddWithoutDefault) {
    fs::remove(App() / "msdengdefault.led");
    fs::remove(App() / "mskeydefault.pro");
    MakeList(ListId::MouseLight, {"profile1"});
    MakeList(ListId::MouseKey, {"profile1"});
    // A file left from an earlier profile of that name must not become the new entry's.
    WriteBytes(Ms() / "Profile2.PRO", ReadBytes(Ms() / "profile1.pro"));
    std::string name;
    // The light list writes an all-zero blob; the others keep the entry without a file.
    EXPECT_EQ(AddProfile(ListId::MouseLight, App(), name), OpResult::Ok);
    EXPECT_EQ(Blob(ListId::MouseLight, 1), std::vector<uint8_t>(kMouseLightBlob, 0));
    EXPECT_EQ(AddProfile(ListId::MouseKey, App(), name), OpResult::SourceMissing);
    EXPECT_EQ(Names(ListId::MouseKey), (std::vector<std::string>{"profile1", "profile2"}));
    EXPECT_FALSE(fs::exists(Ms() / "profile2.pro"));
    EXPECT_FALSE(fs::exists(Ms() / "Profile2.PRO"));
}

TEST_F(ProfileStoreTest, AFailedWriteLeavesTheListAndItsFilesAsTheyWere) {
    MakeList(ListId::MouseDevice, {"profile1", "other"});
    const std::string index = ReadBytes(MsIndex());
    const std::vector<std::string> files = FileNames(Ms());
    auto unchanged = [&] {
        EXPECT_EQ(ReadBytes(MsIndex()), index);
        EXPECT_EQ(FileNames(Ms()), files);
    };
    // Add: the new file, or the index after the new file was written.
    for (const char* failing : {"profile2.config", "msProfile.ini"}) {
        SCOPED_TRACE(failing);
        const FullDiskFor fault({failing});
        std::string name = "untouched";
        EXPECT_EQ(AddProfile(ListId::MouseDevice, App(), name), OpResult::WriteFailed);
        EXPECT_EQ(name, "untouched");
        unchanged();
    }
    // Delete: an entry whose index update failed keeps its file.
    {
        const FullDiskFor fault({"msProfile.ini"});
        EXPECT_EQ(DeleteProfile(ListId::MouseDevice, 1), OpResult::WriteFailed);
        unchanged();
        // Add without a default to read lists the entry alone, and that fails too.
        fs::remove(App() / "msdevicedefault.config");
        std::string name;
        EXPECT_EQ(AddProfile(ListId::MouseDevice, App(), name), OpResult::WriteFailed);
        unchanged();
    }
    EXPECT_EQ(Blob(ListId::MouseDevice, 1), Filled(ListId::MouseDevice, 2));
}

TEST_F(ProfileStoreTest, ProfileFilesAreFoundWhateverTheirLetterCase) {
    MakeList(ListId::MouseKey, {"Game", "other", "third"});
    fs::rename(Ms() / "Game.pro", Ms() / "GAME.PRO");
    fs::rename(Ms() / "other.pro", Ms() / "OTHER.pro");
    fs::rename(Ms() / "third.pro", Ms() / "Third.Pro");
    EXPECT_EQ(Blob(ListId::MouseKey, 0), Filled(ListId::MouseKey, 1));
    // A store replaces the file as it is spelt; new files take the listed name.
    ASSERT_TRUE(StoreBlob(ListId::MouseKey, 0, Filled(ListId::MouseKey, 9)));
    EXPECT_EQ(ReadBytes(Ms() / "GAME.PRO").substr(16), std::string(kMouseKeyBlob, '\x09'));
    std::string name;
    ASSERT_EQ(CopyProfile(ListId::MouseKey, 0, name), OpResult::Ok);
    EXPECT_EQ(ReadBytes(Ms() / "Game copy.pro"), ReadBytes(Ms() / "GAME.PRO"));
    ASSERT_EQ(RenameProfile(ListId::MouseKey, 1, "renamed"), OpResult::Ok);
    EXPECT_EQ(Blob(ListId::MouseKey, 1), Filled(ListId::MouseKey, 2));
    const fs::path exported = Home() / "out.pro";
    ASSERT_EQ(ExportProfile(ListId::MouseKey, 2, exported), OpResult::Ok);
    EXPECT_EQ(ReadBytes(exported), ReadBytes(Ms() / "Third.Pro"));
    ASSERT_EQ(DeleteProfile(ListId::MouseKey, 2), OpResult::Ok);
    EXPECT_EQ(FileNames(Ms()), (std::vector<std::string>{"GAME.PRO", "Game copy.pro",
                                                         "msProfile.ini", "renamed.pro"}));
}

TEST_F(ProfileStoreTest, CopyTakesTheSourceBlob) {
    MakeList(ListId::MouseLight, {"profile1", "profile1 copy"});
    std::string name;
    ASSERT_EQ(CopyProfile(ListId::MouseLight, 0, name), OpResult::Ok);
    EXPECT_EQ(name, "profile1 copy copy");
    EXPECT_EQ(Blob(ListId::MouseLight, 2), Filled(ListId::MouseLight, 1));
    fs::remove(Ms() / "profile1 copy.led");
    EXPECT_EQ(CopyProfile(ListId::MouseLight, 1, name), OpResult::SourceMissing);
    EXPECT_EQ(CopyProfile(ListId::MouseLight, 3, name), OpResult::NoSelection);
    EXPECT_EQ(ReadCount(ListId::MouseLight), 3);
}

TEST_F(ProfileStoreTest, DeleteShiftsNamesAndLinksAndKeepsTheOldLastKeys) {
    MakeList(ListId::MouseDevice, {"a", "b", "c"});
    ASSERT_TRUE(WriteLink(ListId::MouseDevice, 2, true, "/usr/bin/game"));
    ASSERT_EQ(DeleteProfile(ListId::MouseDevice, 1), OpResult::Ok);
    const std::vector<ListEntry> entries = ReadList(ListId::MouseDevice);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].name, "c");
    EXPECT_TRUE(entries[1].linked);
    EXPECT_EQ(entries[1].program, "/usr/bin/game");
    EXPECT_EQ(entries[0].program, "0");
    EXPECT_EQ(IniReadString(MsIndex(), "PROFILEDEVICENAME", "2", ""), "c");
    EXPECT_EQ(IniReadString(MsIndex(), "PROFILELIKEDEVICEEXE", "2", ""), "1");
    EXPECT_EQ(IniReadString(MsIndex(), "DEVICEPROCESS", "2", ""), "/usr/bin/game");
    EXPECT_FALSE(fs::exists(Ms() / "b.config"));
    EXPECT_EQ(Blob(ListId::MouseDevice, 1), Filled(ListId::MouseDevice, 3));

    EXPECT_EQ(DeleteProfile(ListId::MouseDevice, 2), OpResult::NoSelection);
    ASSERT_EQ(DeleteProfile(ListId::MouseDevice, 0), OpResult::Ok);
    EXPECT_EQ(DeleteProfile(ListId::MouseDevice, 0), OpResult::LastEntry);
    EXPECT_EQ(Names(ListId::MouseDevice), std::vector<std::string>{"c"});
}

TEST_F(ProfileStoreTest, RenameRefusals) {
    MakeList(ListId::MouseKey, {"profile1", "other"});
    const std::string indexBefore = ReadBytes(MsIndex());
    const std::vector<std::string> filesBefore = FileNames(Ms());
    const std::pair<std::string, OpResult> cases[] = {
        {"", OpResult::EmptyName},
        {"PROFILE1", OpResult::DuplicateName},  // its own name in other case
        {"Other", OpResult::DuplicateName},
        {"../escape", OpResult::BadName},
        {"a/b", OpResult::BadName},
        {"..", OpResult::BadName},
        {"bell\a", OpResult::BadName},
        {" padded ", OpResult::BadName},
        {std::string(300, 'x'), OpResult::BadName},
    };
    for (const auto& [name, result] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(RenameProfile(ListId::MouseKey, 0, name), result);
    }
    EXPECT_EQ(RenameProfile(ListId::MouseKey, 2, "fine"), OpResult::NoSelection);
    EXPECT_EQ(ReadBytes(MsIndex()), indexBefore);
    EXPECT_EQ(FileNames(Ms()), filesBefore);
    EXPECT_FALSE(fs::exists(Ms().parent_path() / "escape.pro"));
}

TEST_F(ProfileStoreTest, RenameMovesTheFile) {
    MakeList(ListId::MouseKey, {"profile1", "other"});
    ASSERT_EQ(RenameProfile(ListId::MouseKey, 1, "Spiel 游戏"), OpResult::Ok);
    EXPECT_EQ(Names(ListId::MouseKey), (std::vector<std::string>{"profile1", "Spiel 游戏"}));
    EXPECT_EQ(Blob(ListId::MouseKey, 1), Filled(ListId::MouseKey, 2));
    EXPECT_FALSE(fs::exists(Ms() / "other.pro"));
    EXPECT_EQ(ReadCount(ListId::MouseKey), 2);
}

TEST_F(ProfileStoreTest, RenameWhoseNewFileCannotBeWrittenKeepsOldFileAndName) {
    MakeList(ListId::MouseKey, {"profile1", "other"});
    fs::create_directories(Ms() / "blocked.pro");  // the new file's place is taken
    EXPECT_EQ(RenameProfile(ListId::MouseKey, 1, "blocked"), OpResult::WriteFailed);
    EXPECT_EQ(Names(ListId::MouseKey), (std::vector<std::string>{"profile1", "other"}));
    EXPECT_EQ(Blob(ListId::MouseKey, 1), Filled(ListId::MouseKey, 2));
    // A missing old file: nothing changes either.
    fs::remove(Ms() / "other.pro");
    EXPECT_EQ(RenameProfile(ListId::MouseKey, 1, "new"), OpResult::SourceMissing);
    EXPECT_EQ(Names(ListId::MouseKey), (std::vector<std::string>{"profile1", "other"}));
}

TEST_F(ProfileStoreTest, ImportWritesThisDevicesCode) {
    MakeList(ListId::MouseDevice, {"profile1", "profile2"});
    // A whole mouse device file, its reserved header bytes set: the header is written anew.
    const fs::path source = Home() / "in.config";
    std::string file =
        ProfileFileBytes(std::vector<uint8_t>(kMouseDeviceBlob, 0x5A), DeviceKind::Mouse);
    file[9] = 0x77;
    WriteBytes(source, file);
    std::string name;
    ASSERT_EQ(AddProfile(ListId::MouseDevice, App(), name), OpResult::Ok);
    EXPECT_EQ(name, "profile3");
    ASSERT_EQ(ImportProfile(ListId::MouseDevice, 2, source), OpResult::Ok);
    const std::string bytes = ReadBytes(Ms() / "profile3.config");
    ASSERT_EQ(bytes.size(), 16 + kMouseDeviceBlob);
    EXPECT_EQ(bytes[4], 2);
    EXPECT_EQ(bytes[9], 0);
    EXPECT_EQ(Blob(ListId::MouseDevice, 2), std::vector<uint8_t>(kMouseDeviceBlob, 0x5A));

    WriteBytes(Home() / "foreign", "PK\x03\x04");
    EXPECT_EQ(ImportProfile(ListId::MouseDevice, 0, Home() / "foreign"),
              OpResult::SourceNotAProfile);
    EXPECT_EQ(ImportProfile(ListId::MouseDevice, 0, Home() / "nothing"), OpResult::SourceMissing);
    EXPECT_EQ(Blob(ListId::MouseDevice, 0), Filled(ListId::MouseDevice, 1));
}

TEST_F(ProfileStoreTest, ExportWritesHeaderAndWholeBlob) {
    MakeList(ListId::KeyboardLight, {"k"});
    // A short file in the folder still exports the kind's whole blob.
    WriteBytes(KeyboardFolder() / "k.led", std::string("\xAA\x55\x00\x00\x09", 5));
    const fs::path target = Home() / "out.led";
    ASSERT_EQ(ExportProfile(ListId::KeyboardLight, 0, target), OpResult::Ok);
    const std::string bytes = ReadBytes(target);
    ASSERT_EQ(bytes.size(), 16 + kKeyboardLightBlob);
    EXPECT_EQ(bytes.substr(0, 6), std::string("\xAA\x55\x00\x00\x01\x00", 6));
    EXPECT_EQ(ExportProfile(ListId::KeyboardLight, 0, Home() / "no-such-dir/x.led"),
              OpResult::WriteFailed);
}

TEST_F(ProfileStoreTest, HandEditedNamesNeverReachOutsideTheFolder) {
    MakeList(ListId::MouseLight, {"fine"});
    ASSERT_TRUE(IniUpdate(MsIndex(), [](IniDocument& doc) {
        doc.Set("PROFILEDENGCOUNT", "count", "2");
        doc.Set("PROFILEDENGNAME", "1", "../outside");
    }));
    WriteBytes(Ms().parent_path() / "outside.led", "keep");
    std::vector<uint8_t> blob;
    EXPECT_EQ(LoadBlob(ListId::MouseLight, 1, blob), kProfileMissing);
    EXPECT_FALSE(StoreBlob(ListId::MouseLight, 1, Filled(ListId::MouseLight, 9)));
    EXPECT_EQ(DeleteProfile(ListId::MouseLight, 1), OpResult::Ok);
    EXPECT_EQ(ReadBytes(Ms().parent_path() / "outside.led"), "keep");
}

TEST_F(ProfileStoreTest, LoadAndStoreByPositionAndFindLinks) {
    MakeList(ListId::MousepadLight, {"a", "b"});
    ASSERT_TRUE(StoreBlob(ListId::MousepadLight, 1, Filled(ListId::MousepadLight, 7)));
    EXPECT_EQ(Blob(ListId::MousepadLight, 1), Filled(ListId::MousepadLight, 7));
    EXPECT_EQ(ReadBytes(MousepadFolder() / "b.led")[4], 3);
    std::vector<uint8_t> blob{1, 2};
    EXPECT_EQ(LoadBlob(ListId::MousepadLight, 2, blob), kProfileMissing);
    EXPECT_EQ(blob, std::vector<uint8_t>(kMousepadLightBlob, 0));
    EXPECT_FALSE(StoreBlob(ListId::MousepadLight, -1, blob));

    ASSERT_TRUE(WriteLink(ListId::MousepadLight, 0, false, "/usr/bin/Game"));
    ASSERT_TRUE(WriteLink(ListId::MousepadLight, 1, true, "/usr/bin/Game"));
    EXPECT_EQ(FindLinkedProgram(ListId::MousepadLight, "/usr/bin/game"), 1);
    EXPECT_EQ(FindLinkedProgram(ListId::MousepadLight, "/usr/bin/other"), std::nullopt);
}

TEST(DefaultProfilesTest, FactoryValues) {
    const std::vector<uint8_t> device = DefaultBlob(ListId::MouseDevice);
    ASSERT_EQ(device.size(), kMouseDeviceBlob);
    const mouse::Image keys = mouse::InitialCurrentImage();
    EXPECT_TRUE(std::equal(keys.begin(), keys.end(), device.begin()));
    const std::vector<uint8_t> host(device.begin() + 512, device.end());
    EXPECT_EQ(host, DefaultBlob(ListId::MouseLight));
    EXPECT_EQ(host[mouse::host::pointerSpeed], 10);
    EXPECT_EQ(host[mouse::host::wheelLines], 3);
    EXPECT_EQ(host[mouse::live::reportRate], 3);
    EXPECT_EQ(host[mouse::live::liftHeight], 1);
    for (int stage = 1; stage <= 5; ++stage) {
        const int dpi = mouse::DpiFromStep(host[mouse::DpiStepOffset(stage)]);
        EXPECT_EQ(dpi, (std::array{400, 800, 1600, 3200, 4800})[static_cast<size_t>(stage - 1)]);
    }
    const std::vector<uint8_t> kbDevice = DefaultBlob(ListId::KeyboardDevice);
    EXPECT_EQ(std::vector<uint8_t>(kbDevice.begin(), kbDevice.begin() + 512),
              DefaultBlob(ListId::KeyboardKey));
    EXPECT_EQ(std::vector<uint8_t>(kbDevice.begin() + 512, kbDevice.end()),
              DefaultBlob(ListId::KeyboardLight));
    for (int i = 0; i < kListCount; ++i) {
        const auto list = static_cast<ListId>(i);
        EXPECT_EQ(DefaultBlob(list).size(), Info(list).blobSize);
        // The generated files are these bytes.
        const std::vector<uint8_t> bytes = DefaultFileBytes(list);
        EXPECT_EQ(test::ReadBytes(fs::path(GMD_DEFAULT_PROFILES_DIR) /
                                  std::string(Info(list).defaultFile)),
                  std::string(bytes.begin(), bytes.end()));
    }
}

}  // namespace
}  // namespace gmd::profiles
