#include "profiles/profile_store.h"

#include <algorithm>
#include <system_error>

#include "platform/debug_output.h"
#include "platform/ini_file.h"

namespace gmd::profiles {

namespace fs = std::filesystem;

namespace {

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
bool AppendEntry(ListId list, const std::string& name) {
    const ListInfo& info = Info(list);
    return IniUpdate(IndexPath(list), [&](IniDocument& doc) {
        const int count = CountIn(doc, list);
        doc.Set(info.countSection, "count", Key(count + 1));
        doc.Set(info.nameSection, Key(count), name);
        doc.Set(info.linkSection, Key(count), "0");
    });
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

OpResult CreateFirstProfile(ListId list, const fs::path& applicationFolder) {
    if (ReadCount(list) != 0) {
        return OpResult::Ok;
    }
    std::vector<uint8_t> blob;
    if (const OpResult read = ReadDefaultBlob(list, applicationFolder, blob);
        read != OpResult::Ok) {
        return read;
    }
    const std::string name = "profile1";
    if (!WriteProfileFile(ProfilePath(list, name), blob, Info(list).device)) {
        return OpResult::WriteFailed;  // no index either: the next start tries again
    }
    const ListInfo& info = Info(list);
    const bool indexed = IniUpdate(IndexPath(list), [&](IniDocument& doc) {
        doc.Set(info.countSection, "count", "1");
        doc.Set(info.linkSection, "0", "0");
        doc.Set(info.nameSection, "0", name);
        doc.Set(info.selectSection, "select", "0");
    });
    return indexed ? OpResult::Ok : OpResult::WriteFailed;
}

OpResult AddProfile(ListId list, const fs::path& applicationFolder, std::string& newName) {
    const std::string name = NextAddName(NamesOf(ReadList(list)));
    std::vector<uint8_t> blob;
    const OpResult read = ReadDefaultBlob(list, applicationFolder, blob);
    if (read != OpResult::Ok && list != ListId::MouseLight) {
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
    // The file before the index: a failed write must leave the list as it was.
    const fs::path path = ProfilePath(list, name);
    if (!WriteProfileFile(path, blob, Info(list).device)) {
        return OpResult::WriteFailed;
    }
    if (!AppendEntry(list, name)) {
        RemoveFile(path);
        return OpResult::WriteFailed;
    }
    newName = name;
    return OpResult::Ok;
}

OpResult DeleteProfile(ListId list, int position) {
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
    const bool indexed = IniUpdate(IndexPath(list), [&](IniDocument& doc) {
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
    });
    if (!indexed) {
        return OpResult::WriteFailed;
    }
    if (path) {
        RemoveFile(*path);
    }
    return OpResult::Ok;
}

OpResult CopyProfile(ListId list, int position, std::string& newName) {
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
    if (!WriteProfileFile(ProfilePath(list, name), blob, Info(list).device)) {
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
    if (!WriteProfileFile(newPath, blob, Info(list).device)) {
        return OpResult::WriteFailed;
    }
    const ListInfo& info = Info(list);
    const bool indexed = IniUpdate(IndexPath(list), [&](IniDocument& doc) {
        doc.Set(info.countSection, "count", Key(CountIn(doc, list)));
        doc.Set(info.nameSection, Key(position), newName);
    });
    if (!indexed) {
        RemoveFile(newPath);
        return OpResult::WriteFailed;
    }
    if (oldPath) {
        RemoveFile(*oldPath);
    }
    return OpResult::Ok;
}

OpResult ImportProfile(ListId list, int position, const fs::path& source) {
    const std::vector<ListEntry> entries = ReadList(list);
    if (position < 0 || position >= static_cast<int>(entries.size())) {
        return OpResult::NoSelection;
    }
    const std::optional<fs::path> target =
        FileOf(list, entries[static_cast<size_t>(position)].name);
    if (!target) {
        return OpResult::BadName;
    }
    std::vector<uint8_t> blob(Info(list).blobSize, 0);
    if (const int read = ReadProfileFile(source, blob); read != kProfileRead) {
        return FromReadResult(read);
    }
    // This device's code, whatever code the imported file carried.
    return WriteProfileFile(*target, blob, Info(list).device) ? OpResult::Ok
                                                              : OpResult::WriteFailed;
}

OpResult ExportProfile(ListId list, int position, const fs::path& target) {
    const std::vector<ListEntry> entries = ReadList(list);
    if (position < 0 || position >= static_cast<int>(entries.size())) {
        return OpResult::NoSelection;
    }
    std::vector<uint8_t> blob;
    if (const int read = ReadListedFile(list, entries[static_cast<size_t>(position)].name, blob);
        read != kProfileRead) {
        return FromReadResult(read);
    }
    return WriteProfileFile(target, blob, Info(list).device) ? OpResult::Ok : OpResult::WriteFailed;
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
    return WriteProfileFile(*path, blob, Info(list).device);
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
