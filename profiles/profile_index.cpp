#include "profiles/profile_index.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/ini_file.h"

namespace gmd::profiles {

namespace {

// Longest extension of a profile file; a name must leave room for it within a file name.
constexpr size_t kLongestExtension = 7;  // ".config"
constexpr size_t kFileNameMaxBytes = 255;

std::string Key(int position) {
    return std::to_string(position);
}

// Decodes one UTF-8 sequence at `i`; a malformed byte stands for itself (as 0xDC00 + byte, so
// it never equals a real character) and advances by one.
uint32_t NextCodePoint(const std::string& text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    uint32_t cp = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    if ((lead >> 5) == 6) {
        length = 2;
        cp = lead & 0x1Fu;
    } else if ((lead >> 4) == 14) {
        length = 3;
        cp = lead & 0x0Fu;
    } else if ((lead >> 3) == 30) {
        length = 4;
        cp = lead & 0x07u;
    }
    if (length == 0 || i + length > text.size()) {
        ++i;
        return 0xDC00u + lead;
    }
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next >> 6) != 2) {
            ++i;
            return 0xDC00u + lead;
        }
        cp = cp << 6 | (next & 0x3Fu);
    }
    i += length;
    return cp;
}

// A simple lower-case fold: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic capitals.
uint32_t Fold(uint32_t cp) {
    if ((cp >= 'A' && cp <= 'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)) {
        return cp + 32;
    }
    if ((cp >= 0x100 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177)) {
        return cp | 1u;
    }
    if (cp >= 0x139 && cp <= 0x148) {
        return cp + (cp & 1u);
    }
    if (cp == 0x178) {
        return 0xFF;
    }
    if (cp >= 0x179 && cp <= 0x17E) {
        return cp + (cp & 1u);
    }
    if (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2) {
        return cp + 32;
    }
    if (cp >= 0x410 && cp <= 0x42F) {
        return cp + 32;
    }
    if (cp >= 0x400 && cp <= 0x40F) {
        return cp + 80;
    }
    return cp;
}

// An absolute path with its links resolved (as far as it exists); anything else as it stands.
std::string Resolved(const std::string& path) {
    if (path.empty() || path.front() != '/') {
        return path;
    }
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : resolved.string();
}

ListEntry EntryAt(const IniDocument& doc, const ListInfo& info, int position) {
    const std::string key = Key(position);
    ListEntry entry;
    entry.name = doc.Get(info.nameSection, key).value_or("0");
    const int flag = ParseLeadingInt(doc.Get(info.linkSection, key).value_or("0"));
    entry.linked = flag == 1;
    entry.flagSet = flag != 0;
    entry.program = doc.Get(info.programSection, key).value_or("0");
    return entry;
}

}  // namespace

int CountIn(const IniDocument& doc, ListId list) {
    const int count = ParseLeadingInt(doc.Get(Info(list).countSection, "count").value_or("0"));
    return std::clamp(count, 0, kMaxListEntries);
}

std::vector<ListEntry> ReadList(ListId list) {
    const IniDocument doc = IniLoad(IndexPath(list));
    const ListInfo& info = Info(list);
    const int count = CountIn(doc, list);
    std::vector<ListEntry> entries;
    entries.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        entries.push_back(EntryAt(doc, info, i));
    }
    return entries;
}

int ReadCount(ListId list) {
    return CountIn(IniLoad(IndexPath(list)), list);
}

int ReadSelect(ListId list) {
    return IniReadInt(IndexPath(list), Info(list).selectSection, "select", 0);
}

bool WriteSelect(ListId list, int position) {
    return IniWriteString(IndexPath(list), Info(list).selectSection, "select", Key(position));
}

bool WriteLink(ListId list, int position, bool linked, const std::string& program) {
    // A line break would start a line of its own in the index file.
    if (program.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    const ListInfo& info = Info(list);
    const std::string key = Key(position);
    return IniUpdate(IndexPath(list), [&](IniDocument& doc) {
        doc.Set(info.linkSection, key, linked ? "1" : "0");
        doc.Set(info.programSection, key, program);
    });
}

NameCheck CheckProfileName(const std::string& name) {
    if (name.empty()) {
        return NameCheck::Empty;
    }
    // The temporary of a write (".NAME.config.tmpNNNNNNNNN") must fit in a file name too.
    if (name == "." || name == ".." ||
        name.size() + kLongestExtension + kTemporaryNameExtraBytes > kFileNameMaxBytes) {
        return NameCheck::NotAFileName;
    }
    size_t chars = 0;
    for (size_t i = 0; i < name.size();) {
        const uint32_t cp = NextCodePoint(name, i);
        if (cp < 0x20 || cp == 0x7F || cp == '/' || cp == '\\') {
            return NameCheck::NotAFileName;
        }
        ++chars;
    }
    if (chars > kProfileNameMaxChars) {
        return NameCheck::NotAFileName;
    }
    // The index file trims values and drops a pair of enclosing quotes on reading: such a name
    // would come back as another name, whose file does not exist.
    const auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    if (isSpace(name.front()) || isSpace(name.back())) {
        return NameCheck::NotAFileName;
    }
    if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') &&
        name.back() == name.front()) {
        return NameCheck::NotAFileName;
    }
    return NameCheck::Ok;
}

bool SameProfileName(const std::string& a, const std::string& b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (Fold(NextCodePoint(a, i)) != Fold(NextCodePoint(b, j))) {
            return false;
        }
    }
    return i == a.size() && j == b.size();
}

bool SameProgram(const std::string& a, const std::string& b) {
    return SameProfileName(a, b) || SameProfileName(Resolved(a), Resolved(b));
}

}  // namespace gmd::profiles
