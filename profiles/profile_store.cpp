#include "profiles/profile_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/ini_file.h"

namespace gmd::profiles {

namespace fs = std::filesystem;

namespace {

thread_local std::string t_problem;

OpResult Fail(OpResult result, std::string problem) {
    t_problem = std::move(problem);
    return result;
}

// Every operation of a list holds its device folder's lock from its first read to its last
// write; the index and profile writes inside take the same lock again.
class ListLock {
  public:
    explicit ListLock(ListId list) : lock_(IndexPath(list)) { t_problem.clear(); }

  private:
    FileLock lock_;
};

std::string Key(int position) {
    return std::to_string(position);
}

bool AnySame(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& other) { return SameProfileName(other, name); });
}

std::vector<std::string> NamesOf(const std::vector<ListEntry>& entries) {
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const ListEntry& entry : entries) {
        names.push_back(entry.name);
    }
    return names;
}

OpResult FromReadResult(int result) {
    return result == kProfileRead      ? OpResult::Ok
           : result == kProfileMissing ? OpResult::SourceMissing
                                       : OpResult::SourceNotAProfile;
}

// Exact name first; then, since file names are matched without regard to case, a regular file
// of any spelling. The exact path when neither is there (a new file takes the name as given).
fs::path FindNoCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    const fs::path exact = folder / name;
    if (fs::exists(exact, ec)) {
        return exact;
    }
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) &&
            SameProfileName(it->path().filename().string(), name)) {
            return it->path();
        }
    }
    return exact;
}

// The file of a listed profile as it is in the folder, whatever its letter case; nothing when
// the name cannot be a file in the device folder (a name edited into the index by hand, say
// "../x"): such a file is never read or written.
std::optional<fs::path> FileOf(ListId list, const std::string& name) {
    if (CheckProfileName(name) != NameCheck::Ok) {
        return std::nullopt;
    }
    const fs::path path = ProfilePath(list, name);
    return FindNoCase(path.parent_path(), path.filename().string());
}

int ReadListedFile(ListId list, const std::string& name, std::vector<uint8_t>& blob) {
    blob.assign(Info(list).blobSize, 0);
    const std::optional<fs::path> path = FileOf(list, name);
    return path ? ReadProfileFile(*path, blob) : kProfileMissing;
}

void RemoveFile(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);  // a file that is not there is fine
}

// Appends one entry's index keys: the new count, its name and a link flag of "0".
bool AppendEntry(ListId list, const std::string& name, int* position = nullptr) {
    const ListInfo& info = Info(list);
    std::string error;
    const bool written = IniUpdate(
        IndexPath(list),
        [&](IniDocument& doc) {
            const int count = CountIn(doc, list);
            doc.Set(info.countSection, "count", Key(count + 1));
            doc.Set(info.nameSection, Key(count), name);
            doc.Set(info.linkSection, Key(count), "0");
            if (position != nullptr) {
                *position = count;
            }
        },
        &error);
    if (!written) {
        t_problem = error;
    }
    return written;
}

bool WriteListed(const fs::path& path, std::span<const uint8_t> blob, ListId list) {
    std::string error;
    if (!WriteProfileFile(path, blob, Info(list).device, &error)) {
        t_problem = error;
        return false;
    }
    return true;
}

bool HasExtension(const std::string& fileName, std::string_view extension) {
    return fileName.size() > extension.size() &&
           SameProfileName(fileName.substr(fileName.size() - extension.size()),
                           std::string(extension));
}

// The names of the list's profile files in its folder (any letter case of the extension).
std::vector<std::string> ProfileFilesPresent(ListId list) {
    const ListInfo& info = Info(list);
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(DeviceFolder(info.device), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code typeError;
        const std::string file = it->path().filename().string();
        if (!it->is_regular_file(typeError) || !HasExtension(file, info.extension)) {
            continue;
        }
        const std::string name = file.substr(0, file.size() - info.extension.size());
        if (CheckProfileName(name) == NameCheck::Ok) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The list made again from the files present: the names the index still holds (with files) in
// their order, then the other files by name.
OpResult RebuildList(ListId list, const IniDocument& old, std::vector<std::string> files) {
    const ListInfo& info = Info(list);
    std::vector<std::string> names;
    for (int i = 0; i < kMaxListEntries; ++i) {
        const std::optional<std::string> name = old.Get(info.nameSection, Key(i));
        if (!name) {
            break;
        }
        const auto file = std::find_if(files.begin(), files.end(), [&](const std::string& f) {
            return SameProfileName(f, *name);
        });
        if (file != files.end()) {
            names.push_back(*name);  // the index's spelling; files are found in any case
            files.erase(file);
        }
    }
    names.insert(names.end(), files.begin(), files.end());
    std::string error;
    const bool written = IniUpdate(
        IndexPath(list),
        [&](IniDocument& doc) {
            doc.Set(info.countSection, "count", Key(static_cast<int>(names.size())));
            for (size_t i = 0; i < names.size(); ++i) {
                const std::string key = Key(static_cast<int>(i));
                // A link record stays only with the name it belonged to.
                if (doc.Get(info.nameSection, key) != names[i]) {
                    doc.Set(info.linkSection, key, "0");
                }
                doc.Set(info.nameSection, key, names[i]);
            }
            const int select = ParseLeadingInt(doc.Get(info.selectSection, "select").value_or("0"));
            if (select < 0 || select >= static_cast<int>(names.size())) {
                doc.Set(info.selectSection, "select", "0");
            }
        },
        &error);
    if (!written) {
        return Fail(OpResult::WriteFailed, error);
    }
    DebugTrace("profile list " + std::string(info.cliName) + " rebuilt from " +
               std::to_string(names.size()) + " profile files");
    return OpResult::Ok;
}

OpResult AddWithBlob(ListId list, std::span<const uint8_t> blob, std::string& newName,
                     int* position) {
    const std::string name = NextAddName(NamesOf(ReadList(list)));
    // The file before the index: a failed write must leave the list as it was.
    const fs::path path = ProfilePath(list, name);
    if (!WriteListed(path, blob, list)) {
        return OpResult::WriteFailed;
    }
    if (!AppendEntry(list, name, position)) {
        RemoveFile(path);
        return OpResult::WriteFailed;
    }
    newName = name;
    return OpResult::Ok;
}

}  // namespace

std::string NextAddName(const std::vector<std::string>& names) {
    for (int number = 1;; ++number) {
        std::string name = "profile" + std::to_string(number);
        if (!AnySame(names, name)) {
            return name;
        }
    }
}

std::string NextCopyName(const std::vector<std::string>& names, const std::string& source) {
    std::string name = source + " copy";
    while (AnySame(names, name)) {
        name += " copy";
        DebugTrace(name);
    }
    return name;
}

OpResult ReadDefaultBlob(ListId list, const fs::path& applicationFolder,
                         std::vector<uint8_t>& blob) {
    const ListInfo& info = Info(list);
    blob.assign(info.blobSize, 0);
    const fs::path path = FindNoCase(applicationFolder, std::string(info.defaultFile));
    return FromReadResult(ReadProfileFile(path, blob));
}

const std::string& LastProblem() {
    return t_problem;
}

OpResult CreateFirstProfile(ListId list, const fs::path& applicationFolder) {
    const ListLock lock(list);
    IniDocument doc;
    std::string error;
    if (!IniTryLoad(IndexPath(list), doc, error)) {
        return Fail(OpResult::SourceMissing, error);  // never rebuilt over what we cannot read
    }
    if (CountIn(doc, list) != 0) {
        return OpResult::Ok;
    }
    if (std::vector<std::string> files = ProfileFilesPresent(list); !files.empty()) {
        return RebuildList(list, doc, std::move(files));
    }
    std::vector<uint8_t> blob;
    if (const OpResult read = ReadDefaultBlob(list, applicationFolder, blob);
        read != OpResult::Ok) {
        return read;
    }
    const std::string name = "profile1";
    if (!WriteListed(ProfilePath(list, name), blob, list)) {
        return OpResult::WriteFailed;  // no index either: the next start tries again
    }
    const ListInfo& info = Info(list);
    const bool indexed = IniUpdate(
        IndexPath(list),
        [&](IniDocument& index) {
            index.Set(info.countSection, "count", "1");
            index.Set(info.linkSection, "0", "0");
            index.Set(info.nameSection, "0", name);
            index.Set(info.selectSection, "select", "0");
        },
        &error);
    return indexed ? OpResult::Ok : Fail(OpResult::WriteFailed, error);
}

OpResult CheckImportFile(ListId list, const fs::path& source, std::vector<uint8_t>& blob) {
    t_problem.clear();
    const ListInfo& info = Info(list);
    blob.assign(info.blobSize, 0);
    const size_t expected = kProfileHeaderSize + info.blobSize;
    std::string bytes;
    std::string error;
    // One byte more than a profile file can have is enough to tell it is too long.
    if (!ReadWholeFile(source, bytes, error, expected)) {
        std::error_code ec;
        const bool tooLarge = fs::is_regular_file(source, ec) && fs::file_size(source, ec) > expected;
        return Fail(tooLarge ? OpResult::SourceNotAProfile : OpResult::SourceMissing,
                    tooLarge ? "cannot import " + source.string() + ": longer than a " +
                                   std::string(info.extension) + " profile file (" +
                                   std::to_string(expected) + " bytes)"
                             : error);
    }
    std::string why;
    const OpResult result = CheckImportBytes(list, bytes, blob, why);
    if (result != OpResult::Ok) {
        return Fail(result, "cannot import " + source.string() + ": " + why);
    }
    return OpResult::Ok;
}

OpResult CheckImportBytes(ListId list, std::string_view bytes, std::vector<uint8_t>& blob,
                          std::string& why) {
    const ListInfo& info = Info(list);
    blob.assign(info.blobSize, 0);
    const size_t expected = kProfileHeaderSize + info.blobSize;
    const auto byte = [&](size_t i) {
        return static_cast<unsigned>(static_cast<uint8_t>(bytes[i]));
    };
    if (bytes.size() < kProfileHeaderSize || (byte(0) | byte(1) << 8) != kProfileMagic) {
        why = "not a profile file";
        return OpResult::SourceNotAProfile;
    }
    const unsigned code = byte(4) | byte(5) << 8;
    if (code != FileDeviceCode(info.device)) {
        why = "a profile of device code " + std::to_string(code) + ", this list takes " +
              std::to_string(FileDeviceCode(info.device));
        return OpResult::SourceNotAProfile;
    }
    if (bytes.size() != expected) {
        why = std::to_string(bytes.size()) + " bytes, a " + std::string(info.extension) +
              " profile file has " + std::to_string(expected);
        return OpResult::SourceNotAProfile;
    }
    std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(kProfileHeaderSize), bytes.end(),
              blob.begin());
    return OpResult::Ok;
}

OpResult CheckExportTarget(const fs::path& target) {
    t_problem.clear();
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(fs::absolute(target, ec), ec);
    if (ec) {
        return Fail(OpResult::WriteFailed,
                    "cannot export to " + target.string() + ": " + ec.message());
    }
    const fs::file_status status = fs::status(real, ec);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        return Fail(OpResult::WriteFailed,
                    "cannot export to " + target.string() + ": not a regular file");
    }
    const fs::path data = fs::weakly_canonical(AppDataFolder(), ec);
    const auto [dataEnd, realAt] =
        std::mismatch(data.begin(), data.end(), real.begin(), real.end());
    (void)realAt;
    if (!data.empty() && dataEnd == data.end()) {
        return Fail(OpResult::WriteFailed, "cannot export to " + target.string() +
                                               ": it is inside the data folder " + data.string());
    }
    return OpResult::Ok;
}

OpResult AddProfile(ListId list, const fs::path& applicationFolder, std::string& newName) {
    const ListLock lock(list);
    std::vector<uint8_t> blob;
    const OpResult read = ReadDefaultBlob(list, applicationFolder, blob);
    if (read != OpResult::Ok && list != ListId::MouseLight) {
        const std::string name = NextAddName(NamesOf(ReadList(list)));
        // The entry stays without a file; an old file of that name must not stand in for it.
        if (!AppendEntry(list, name)) {
            return OpResult::WriteFailed;
        }
        if (const std::optional<fs::path> old = FileOf(list, name)) {
            RemoveFile(*old);
        }
        newName = name;
        return read;
    }
    if (read != OpResult::Ok) {
        blob.assign(Info(list).blobSize, 0);
    }
    return AddWithBlob(list, blob, newName, nullptr);
}

OpResult AddImportedProfile(ListId list, const fs::path& source, std::string& newName,
                            int& position) {
    std::vector<uint8_t> blob;
    if (const OpResult checked = CheckImportFile(list, source, blob); checked != OpResult::Ok) {
        return checked;
    }
    const ListLock lock(list);
    return AddWithBlob(list, blob, newName, &position);
}

OpResult DeleteProfile(ListId list, int position) {
    const ListLock lock(list);
    const std::vector<ListEntry> entries = ReadList(list);
    const int count = static_cast<int>(entries.size());
    if (position < 0 || position >= count) {
        return OpResult::NoSelection;
    }
    if (count == 1) {
        return OpResult::LastEntry;
    }
    const std::optional<fs::path> path = FileOf(list, entries[static_cast<size_t>(position)].name);
    const ListInfo& info = Info(list);
    // The index first: when it cannot be written the entry stays, and so must its file.
    std::string error;
    const bool indexed = IniUpdate(
        IndexPath(list),
        [&](IniDocument& doc) {
            const int newCount = count - 1;
            doc.Set(info.countSection, "count", Key(newCount));
            for (int i = 0; i < newCount; ++i) {
                const int from = i < position ? i : i + 1;
                doc.Set(info.nameSection, Key(i), entries[static_cast<size_t>(from)].name);
                // Link records move with their entries; the old last keys stay where they are.
                const std::string flag = doc.Get(info.linkSection, Key(from)).value_or("0");
                const std::string program = doc.Get(info.programSection, Key(from)).value_or("0");
                doc.Set(info.linkSection, Key(i), flag);
                doc.Set(info.programSection, Key(i), program);
            }
        },
        &error);
    if (!indexed) {
        return Fail(OpResult::WriteFailed, error);
    }
    if (path) {
        RemoveFile(*path);
    }
    return OpResult::Ok;
}

OpResult CopyProfile(ListId list, int position, std::string& newName) {
    const ListLock lock(list);
    const std::vector<ListEntry> entries = ReadList(list);
    if (position < 0 || position >= static_cast<int>(entries.size())) {
        return OpResult::NoSelection;
    }
    const std::string& source = entries[static_cast<size_t>(position)].name;
    const std::string name = NextCopyName(NamesOf(entries), source);
    if (CheckProfileName(name) != NameCheck::Ok) {
        return OpResult::BadName;
    }
    std::vector<uint8_t> blob;
    if (const int read = ReadListedFile(list, source, blob); read != kProfileRead) {
        return FromReadResult(read);
    }
    if (!WriteListed(ProfilePath(list, name), blob, list)) {
        return OpResult::WriteFailed;
    }
    if (!AppendEntry(list, name)) {
        RemoveFile(ProfilePath(list, name));
        return OpResult::WriteFailed;
    }
    newName = name;
    return OpResult::Ok;
}

OpResult RenameProfile(ListId list, int position, const std::string& newName) {
    const ListLock lock(list);
    const std::vector<ListEntry> entries = ReadList(list);
    if (position < 0 || position >= static_cast<int>(entries.size())) {
        return OpResult::NoSelection;
    }
    if (newName.empty()) {
        return OpResult::EmptyName;
    }
    if (AnySame(NamesOf(entries), newName)) {
        return OpResult::DuplicateName;
    }
    if (CheckProfileName(newName) != NameCheck::Ok) {
        return OpResult::BadName;
    }
    const std::string& oldName = entries[static_cast<size_t>(position)].name;
    const std::optional<fs::path> oldPath = FileOf(list, oldName);
    std::vector<uint8_t> blob;
    if (const int read = ReadListedFile(list, oldName, blob); read != kProfileRead) {
        return FromReadResult(read);
    }
    // The new file first; the index and the old file change only once it is safely there.
    const fs::path newPath = ProfilePath(list, newName);
    if (!WriteListed(newPath, blob, list)) {
        return OpResult::WriteFailed;
    }
    const ListInfo& info = Info(list);
    std::string error;
    const bool indexed = IniUpdate(
        IndexPath(list),
        [&](IniDocument& doc) {
            doc.Set(info.countSection, "count", Key(CountIn(doc, list)));
            doc.Set(info.nameSection, Key(position), newName);
        },
        &error);
    if (!indexed) {
        RemoveFile(newPath);
        return Fail(OpResult::WriteFailed, error);
    }
    if (oldPath) {
        RemoveFile(*oldPath);
    }
    return OpResult::Ok;
}

OpResult ImportProfile(ListId list, int position, const fs::path& source) {
    std::vector<uint8_t> blob;
    if (const OpResult checked = CheckImportFile(list, source, blob); checked != OpResult::Ok) {
        return checked;
    }
    const ListLock lock(list);
    const std::vector<ListEntry> entries = ReadList(list);
    if (position < 0 || position >= static_cast<int>(entries.size())) {
        return OpResult::NoSelection;
    }
    const std::optional<fs::path> target =
        FileOf(list, entries[static_cast<size_t>(position)].name);
    if (!target) {
        return OpResult::BadName;
    }
    // This device's code, whatever code the imported file carried.
    return WriteListed(*target, blob, list) ? OpResult::Ok : OpResult::WriteFailed;
}

OpResult ExportProfile(ListId list, int position, const fs::path& target) {
    if (const OpResult checked = CheckExportTarget(target); checked != OpResult::Ok) {
        return checked;
    }
    std::vector<uint8_t> blob;
    {
        const ListLock lock(list);
        const std::vector<ListEntry> entries = ReadList(list);
        if (position < 0 || position >= static_cast<int>(entries.size())) {
            return OpResult::NoSelection;
        }
        const std::string& name = entries[static_cast<size_t>(position)].name;
        if (const int read = ReadListedFile(list, name, blob); read != kProfileRead) {
            return Fail(FromReadResult(read),
                        "cannot read " + ProfilePath(list, name).string() +
                            (read == kProfileMissing ? ": missing or not readable"
                                                     : ": not a profile file"));
        }
    }
    // The user's own folder: written through a link to its target, without a lock file there.
    std::string error;
    if (!WriteFileAtomically(target, ProfileFileBytes(blob, Info(list).device), error)) {
        return Fail(OpResult::WriteFailed, error);
    }
    return OpResult::Ok;
}

int LoadBlob(ListId list, int position, std::vector<uint8_t>& blob) {
    blob.assign(Info(list).blobSize, 0);
    const std::vector<ListEntry> entries = ReadList(list);
    if (position < 0 || position >= static_cast<int>(entries.size())) {
        return kProfileMissing;
    }
    return ReadListedFile(list, entries[static_cast<size_t>(position)].name, blob);
}

bool StoreBlob(ListId list, int position, std::span<const uint8_t> blob) {
    const ListLock lock(list);
    const std::vector<ListEntry> entries = ReadList(list);
    if (position < 0 || position >= static_cast<int>(entries.size())) {
        DebugTrace("文件打开失败");
        return false;
    }
    const std::optional<fs::path> path = FileOf(list, entries[static_cast<size_t>(position)].name);
    if (!path) {
        DebugTrace("文件打开失败");
        return false;
    }
    return WriteListed(*path, blob, list);
}

std::optional<int> FindLinkedProgram(ListId list, const std::string& program) {
    const std::vector<ListEntry> entries = ReadList(list);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].linked && SameProgram(entries[i].program, program)) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

}  // namespace gmd::profiles
