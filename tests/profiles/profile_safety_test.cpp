// What the user owns is never lost or overwritten: first use over damaged index files, adds and
// selects of several processes at once, import and export refusals, names that must fit a write,
// and messages that name the file and the operation.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "profile_test_support.h"
#include "profiles/profile_store.h"

namespace gmd::profiles {
namespace {

namespace fs = std::filesystem;

using test::FileNames;
using test::ReadBytes;
using test::WriteBytes;

class ProfileSafetyTest : public test::HomeFixture {
  protected:
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
    // A profile file as an export writes it.
    fs::path ExportLike(const std::string& name, ListId list, uint8_t value) const {
        const fs::path file = Home() / name;
        WriteBytes(file, ProfileFileBytes(Filled(list, value), Info(list).device));
        return file;
    }
};

TEST_F(ProfileSafetyTest, FirstUseNeverReplacesAProfileFile) {
    const ListInfo& info = Info(ListId::MouseDevice);
    const std::string mine = ProfileFileBytes(Filled(ListId::MouseDevice, 0x11), info.device);
    const struct {
        const char* name;
        std::optional<std::string> index;  // nothing: no index file
        std::vector<std::string> names;    // the list afterwards
    } cases[] = {
        {"no index", std::nullopt, {"ZETA", "profile1"}},
        {"count 0", "[PROFILEDEVICECOUNT]\ncount=0\n", {"ZETA", "profile1"}},
        {"negative count, names kept in order",
         "[PROFILEDEVICECOUNT]\ncount=-3\n[PROFILEDEVICENAME]\n0=zeta\n1=gone\n2=profile1\n",
         {"zeta", "profile1"}},
        {"garbage", std::string("\x00\x9F garbage \xFF", 13), {"ZETA", "profile1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Ms());
        fs::create_directories(Ms());
        WriteBytes(Ms() / "profile1.config", mine);
        WriteBytes(Ms() / "ZETA.CONFIG", mine);
        if (c.index) {
            WriteBytes(IndexPath(ListId::MouseDevice), *c.index);
        }
        ASSERT_EQ(CreateFirstProfile(ListId::MouseDevice, App()), OpResult::Ok);
        EXPECT_EQ(ReadBytes(Ms() / "profile1.config"), mine);
        EXPECT_EQ(Names(ListId::MouseDevice), c.names);
        EXPECT_EQ(ReadSelect(ListId::MouseDevice), 0);
        std::vector<uint8_t> blob;
        EXPECT_EQ(LoadBlob(ListId::MouseDevice, 0, blob), kProfileRead);
        EXPECT_EQ(blob, Filled(ListId::MouseDevice, 0x11));
        EXPECT_EQ(FileNames(Ms()),
                  (std::vector<std::string>{"ZETA.CONFIG", "msProfile.ini", "profile1.config"}));
    }

    // An index that cannot be read is refused and nothing is written.
    fs::remove_all(Ms());
    fs::create_directories(IndexPath(ListId::MouseDevice));  // a folder where the file should be
    WriteBytes(Ms() / "profile1.config", mine);
    EXPECT_EQ(CreateFirstProfile(ListId::MouseDevice, App()), OpResult::SourceMissing);
    EXPECT_NE(LastProblem().find("cannot read " + IndexPath(ListId::MouseDevice).string()),
              std::string::npos)
        << LastProblem();
    EXPECT_EQ(ReadBytes(Ms() / "profile1.config"), mine);
    EXPECT_TRUE(fs::is_directory(IndexPath(ListId::MouseDevice)));
}

// Two processes add imports and change selections at once; one of them without
// XDG_RUNTIME_DIR, as gmdctl from cron or ssh beside a desktop session.
TEST_F(ProfileSafetyTest, ConcurrentAddsAndSelectsOfTwoProcessesLoseNothing) {
    for (const ListId list : {ListId::MouseDevice, ListId::MouseLight, ListId::MouseKey}) {
        ASSERT_EQ(CreateFirstProfile(list, App()), OpResult::Ok);
    }
    constexpr int kRounds = 12;
    const fs::path runtime = Home() / "runtime";
    fs::create_directories(runtime);
    std::vector<pid_t> children;
    for (int child = 0; child < 2; ++child) {
        const fs::path source = ExportLike("in" + std::to_string(child) + ".config",
                                           ListId::MouseDevice, static_cast<uint8_t>(0x60 + child));
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (child == 0) {
                ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            } else {
                ::unsetenv("XDG_RUNTIME_DIR");
            }
            const ListId selectList = child == 0 ? ListId::MouseLight : ListId::MouseKey;
            bool ok = true;
            for (int i = 0; i < kRounds; ++i) {
                std::string name;
                int position = -1;
                ok = ok && AddImportedProfile(ListId::MouseDevice, source, name, position) ==
                               OpResult::Ok;
                ok = ok &&
                     ReadList(ListId::MouseDevice).at(static_cast<size_t>(position)).name == name;
                ok = ok && WriteSelect(selectList, i);
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::vector<std::string> names = Names(ListId::MouseDevice);
    ASSERT_EQ(names.size(), static_cast<size_t>(1 + 2 * kRounds));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    std::map<uint8_t, int> holders;
    for (int i = 1; i < static_cast<int>(names.size()); ++i) {
        std::vector<uint8_t> blob;
        ASSERT_EQ(LoadBlob(ListId::MouseDevice, i, blob), kProfileRead)
            << names[static_cast<size_t>(i)];
        ++holders[blob[0]];
    }
    EXPECT_EQ(holders[0x60], kRounds);
    EXPECT_EQ(holders[0x61], kRounds);
    EXPECT_EQ(ReadSelect(ListId::MouseLight), kRounds - 1);
    EXPECT_EQ(ReadSelect(ListId::MouseKey), kRounds - 1);
    // One lock file in the folder, none per file written.
    size_t locks = 0;
    for (const auto& entry : fs::directory_iterator(Ms())) {
        locks += entry.path().filename().string().find(".lock") != std::string::npos ? 1u : 0u;
    }
    EXPECT_EQ(locks, 1u);
}

TEST_F(ProfileSafetyTest, ImportRefusalsChangeNothing) {
    ASSERT_EQ(CreateFirstProfile(ListId::MouseDevice, App()), OpResult::Ok);
    const size_t full = 16 + kMouseDeviceBlob;
    const std::string good = ProfileFileBytes(Filled(ListId::MouseDevice, 0x33), DeviceKind::Mouse);
    const fs::path fifo = Home() / "fifo.config";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(Home() / "folder.config");
    const struct {
        const char* name;
        std::optional<std::string> bytes;  // nothing: the path as it is
        fs::path path;
        OpResult result;
        const char* says;
    } cases[] = {
        {"the magic alone", std::string("\xAA\x55", 2), Home() / "a", OpResult::SourceNotAProfile,
         "not a profile file"},
        {"one byte short", good.substr(0, full - 1), Home() / "b", OpResult::SourceNotAProfile,
         "bytes"},
        {"one byte long", good + "x", Home() / "c", OpResult::SourceNotAProfile, "longer"},
        {"a keyboard profile",
         ProfileFileBytes(std::vector<uint8_t>(kMouseDeviceBlob, 1), DeviceKind::Keyboard),
         Home() / "d", OpResult::SourceNotAProfile, "device code 1"},
        {"a FIFO", std::nullopt, fifo, OpResult::SourceMissing, "not a regular file"},
        {"a folder", std::nullopt, Home() / "folder.config", OpResult::SourceMissing,
         "not a regular file"},
        {"missing", std::nullopt, Home() / "none", OpResult::SourceMissing, "No such file"},
    };
    const std::string index = ReadBytes(IndexPath(ListId::MouseDevice));
    const std::vector<std::string> files = FileNames(Ms());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.bytes) {
            WriteBytes(c.path, *c.bytes);
        }
        std::string name;
        int position = -1;
        EXPECT_EQ(AddImportedProfile(ListId::MouseDevice, c.path, name, position), c.result);
        EXPECT_NE(LastProblem().find(c.path.string()), std::string::npos) << LastProblem();
        EXPECT_NE(LastProblem().find(c.says), std::string::npos) << LastProblem();
        EXPECT_EQ(ImportProfile(ListId::MouseDevice, 0, c.path), c.result);
        EXPECT_EQ(ReadBytes(IndexPath(ListId::MouseDevice)), index);
        EXPECT_EQ(FileNames(Ms()), files);
    }

    const fs::path source = Home() / "good.config";
    WriteBytes(source, good);
    std::string name;
    int position = -1;
    ASSERT_EQ(AddImportedProfile(ListId::MouseDevice, source, name, position), OpResult::Ok);
    EXPECT_EQ(name, "profile2");
    EXPECT_EQ(position, 1);
    std::vector<uint8_t> blob;
    EXPECT_EQ(LoadBlob(ListId::MouseDevice, 1, blob), kProfileRead);
    EXPECT_EQ(blob, Filled(ListId::MouseDevice, 0x33));
}

TEST_F(ProfileSafetyTest, ExportRefusesWhatIsNotTheUsersRegularFile) {
    ASSERT_EQ(CreateFirstProfile(ListId::MouseLight, App()), OpResult::Ok);
    const fs::path fifo = Home() / "fifo.led";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(Home() / "dir.led");
    fs::create_symlink(IndexPath(ListId::MouseDevice), Home() / "to-index.led");
    const std::string index = ReadBytes(IndexPath(ListId::MouseLight));
    for (const fs::path& target :
         {fs::path("/dev/null"), fifo, Home() / "dir.led", IndexPath(ListId::MouseLight),
          Ms() / ".." / "x.led", Home() / "to-index.led"}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(ExportProfile(ListId::MouseLight, 0, target), OpResult::WriteFailed);
        EXPECT_NE(LastProblem().find(target.string()), std::string::npos) << LastProblem();
    }
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(ReadBytes(IndexPath(ListId::MouseLight)), index);
    EXPECT_FALSE(fs::exists(AppDataFolder() / "x.led"));

    // Through a link to the user's own file: the link stays, its target gets the profile.
    const fs::path real = Home() / "real.led";
    WriteBytes(real, "old");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(real, Home() / "link.led");
    ASSERT_EQ(ExportProfile(ListId::MouseLight, 0, Home() / "link.led"), OpResult::Ok);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(Home() / "link.led")));
    EXPECT_EQ(fs::file_size(real), 16 + kMouseLightBlob);
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    // No lock file is left in the user's folder.
    EXPECT_FALSE(fs::exists(Home() / kFolderLockName));
}

TEST_F(ProfileSafetyTest, TheLongestNameIsStoredAndAFailedStoreNamesItsFile) {
    ASSERT_EQ(CreateFirstProfile(ListId::MouseDevice, App()), OpResult::Ok);
    std::string longest;
    for (int i = 0; i < 78; ++i) {
        longest += "\xE4\xB8\xAD";  // 234 bytes, the most a name may have
    }
    ASSERT_EQ(RenameProfile(ListId::MouseDevice, 0, longest), OpResult::Ok);
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(StoreBlob(ListId::MouseDevice, 0, Filled(ListId::MouseDevice, 0x44)))
            << LastProblem();
    }
    EXPECT_EQ(RenameProfile(ListId::MouseDevice, 0, longest + "a"), OpResult::BadName);

    SetFileWriteFault(
        [](const fs::path& path) { return path.extension() == ".config" ? ENOSPC : 0; });
    EXPECT_FALSE(StoreBlob(ListId::MouseDevice, 0, Filled(ListId::MouseDevice, 0x55)));
    EXPECT_NE(LastProblem().find(longest + ".config"), std::string::npos) << LastProblem();
    EXPECT_NE(LastProblem().find(std::strerror(ENOSPC)), std::string::npos) << LastProblem();
    // An import that cannot write its profile blames that file, not the index.
    const fs::path source = ExportLike("in.config", ListId::MouseDevice, 1);
    std::string name;
    int position = -1;
    EXPECT_EQ(AddImportedProfile(ListId::MouseDevice, source, name, position),
              OpResult::WriteFailed);
    EXPECT_NE(LastProblem().find("profile1.config"), std::string::npos) << LastProblem();
    SetFileWriteFault(nullptr);
    EXPECT_EQ(Names(ListId::MouseDevice), std::vector<std::string>{longest});
}

TEST_F(ProfileSafetyTest, WithoutHomeTheAccountsHomeNeverTmp) {
    const std::string saved = std::getenv("HOME");
    ::unsetenv("HOME");
    const std::optional<fs::path> home = UserHome();
    const fs::path documents = DocumentsFolder();
    ::setenv("HOME", saved.c_str(), 1);
    std::string error;
    if (home) {
        EXPECT_NE(home->string().rfind("/tmp", 0), 0u) << *home;
        EXPECT_EQ(documents.string().rfind(home->string(), 0), 0u) << documents;
    } else {
        EXPECT_EQ(documents.string().rfind("/tmp", 0), std::string::npos) << documents;
    }
    EXPECT_TRUE(CheckUserHome(error)) << error;
}

}  // namespace
}  // namespace gmd::profiles
