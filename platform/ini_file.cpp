#include "platform/ini_file.h"

#include <algorithm>
#include <climits>
#include <system_error>

#include "platform/atomic_file.h"

namespace gmd {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lx = static_cast<unsigned char>(x);
               const auto ly = static_cast<unsigned char>(y);
               return (lx >= 'A' && lx <= 'Z' ? lx + 32 : lx) ==
                      (ly >= 'A' && ly <= 'Z' ? ly + 32 : ly);
           });
}

// Cuts UTF-8 text to a number of code points without splitting a sequence.
std::string CutToChars(std::string_view text, size_t maxChars) {
    size_t chars = 0;
    size_t i = 0;
    while (i < text.size() && chars < maxChars) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 1;
        // A lead byte takes only the continuation bytes that really follow it, so broken
        // UTF-8 never hides characters inside one (the cut would otherwise come too late).
        size_t taken = 1;
        while (taken < length && i + taken < text.size() &&
               (static_cast<unsigned char>(text[i + taken]) & 0xC0) == 0x80) {
            ++taken;
        }
        i += taken;
        ++chars;
    }
    return std::string(text.substr(0, i));
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Unpaired surrogates become their three-byte form (as WTF-8 writes them), so that a rewrite
// gives back the same code units; `oddByte` receives a last byte that makes no code unit.
std::string DecodeUtf16(std::string_view bytes, bool bigEndian, std::string* oddByte) {
    std::string out;
    out.reserve(bytes.size());
    const auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<uint32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else if (oddByte == nullptr) {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xD800 && cp < 0xE000 && oddByte == nullptr) {
            cp = 0xFFFD;  // unpaired surrogate
        }
        AppendUtf8(out, cp);
    }
    if (oddByte != nullptr && bytes.size() % 2 != 0) {
        *oddByte = std::string(1, bytes.back());
    }
    return out;
}

// UTF-8 (with the three-byte form of lone surrogates) back to UTF-16 code units; a byte that
// starts no sequence becomes U+FFFD.
std::string EncodeUtf16(std::string_view text, bool bigEndian) {
    std::string out;
    out.reserve(text.size() * 2);
    const auto put = [&](uint32_t u) {
        const auto hi = static_cast<char>(u >> 8);
        const auto lo = static_cast<char>(u & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    };
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80         ? 1
                        : (lead >> 5) == 6  ? 2
                        : (lead >> 4) == 14 ? 3
                        : (lead >> 3) == 30 ? 4
                                            : 0;
        uint32_t cp = length == 1   ? lead
                      : length == 2 ? (lead & 0x1Fu)
                      : length == 3 ? (lead & 0x0Fu)
                                    : (lead & 0x07u);
        bool valid = length != 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next >> 6) == 2;
            cp = cp << 6 | (next & 0x3Fu);
        }
        if (!valid) {
            put(0xFFFD);
            ++i;
            continue;
        }
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::string_view Trim(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string DecodeTextFile(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        return DecodeUtf16(bytes.substr(2), false, nullptr);
    }
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
        static_cast<unsigned char>(bytes[1]) == 0xFF) {
        return DecodeUtf16(bytes.substr(2), true, nullptr);
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return std::string(bytes);
}

int ParseLeadingInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument doc;
    std::string text;
    const auto startsWith = [&](std::string_view mark) {
        return bytes.substr(0, mark.size()) == mark;
    };
    if (startsWith("\xFF\xFE")) {
        doc.encoding_ = Encoding::Utf16LE;
        text = DecodeUtf16(bytes.substr(2), false, &doc.oddByte_);
    } else if (startsWith("\xFE\xFF")) {
        doc.encoding_ = Encoding::Utf16BE;
        text = DecodeUtf16(bytes.substr(2), true, &doc.oddByte_);
    } else if (startsWith("\xEF\xBB\xBF")) {
        doc.encoding_ = Encoding::Utf8Mark;
        text = std::string(bytes.substr(3));
    } else {
        text = std::string(bytes);
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        Line line;
        if (end == std::string::npos) {
            end = text.size();
            line.eol.clear();
        }
        std::string_view raw(text.data() + start, end - start);
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
            line.eol = line.eol.empty() ? "\r" : "\r\n";  // eol is "\n" or empty here
        }
        line.text = std::string(raw);
        const std::string_view trimmed = Trim(raw);
        if (!trimmed.empty() && trimmed.front() == '[') {
            const size_t close = trimmed.find(']');
            line.kind = Kind::Section;
            line.name = std::string(Trim(trimmed.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
        } else if (const size_t eq = trimmed.find('=');
                   eq != std::string_view::npos && !trimmed.empty() && trimmed.front() != ';') {
            line.kind = Kind::Entry;
            line.name = std::string(Trim(trimmed.substr(0, eq)));
            line.value = std::string(trimmed.substr(eq + 1));
        }
        if (doc.lines_.empty() && line.eol == "\r\n") {
            doc.eol_ = "\r\n";
        }
        doc.lines_.push_back(std::move(line));
        start = end + 1;
    }
    return doc;
}

IniDocument::Line IniDocument::NewLine() const {
    Line line;
    line.eol = eol_;
    return line;
}

std::string IniDocument::ToText() const {
    // Lines go out as they were read; only entries that were set are written anew.
    std::string out;
    for (size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i].text;
        // Only the last line may end without a line end.
        out += lines_[i].eol.empty() && i + 1 < lines_.size() ? eol_ : lines_[i].eol;
    }
    switch (encoding_) {
        case Encoding::Utf16LE:
            return "\xFF\xFE" + EncodeUtf16(out, false) + oddByte_;
        case Encoding::Utf16BE:
            return "\xFE\xFF" + EncodeUtf16(out, true) + oddByte_;
        case Encoding::Utf8Mark:
            return "\xEF\xBB\xBF" + out;
        case Encoding::Utf8:
            break;
    }
    // Text without a mark that starts like one (stray bytes) would read back in another
    // encoding or lose its first character: a UTF-8 mark in front keeps it as it stands.
    const std::string_view start(out.data(), std::min<size_t>(out.size(), 3));
    if (start.substr(0, 2) == "\xFF\xFE" || start.substr(0, 2) == "\xFE\xFF" ||
        start == "\xEF\xBB\xBF") {
        out.insert(0, "\xEF\xBB\xBF");
    }
    return out;
}

size_t IniDocument::FindSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Kind::Section && EqualNoCase(lines_[i].name, section)) {
            return i;
        }
    }
    return std::string::npos;
}

size_t IniDocument::SectionEnd(size_t sectionLine) const {
    size_t i = sectionLine + 1;
    while (i < lines_.size() && lines_[i].kind != Kind::Section) {
        ++i;
    }
    return i;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
    const size_t s = FindSection(section);
    if (s == std::string::npos) {
        return std::nullopt;
    }
    const size_t end = SectionEnd(s);
    for (size_t i = s + 1; i < end; ++i) {
        if (lines_[i].kind == Kind::Entry && EqualNoCase(lines_[i].name, key)) {
            std::string_view value = Trim(lines_[i].value);
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front()) {
                value = value.substr(1, value.size() - 2);
            }
            return CutToChars(value, kIniValueMaxChars);
        }
    }
    return std::nullopt;
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) {
        refused_ = true;
        return false;
    }
    Line entry = NewLine();
    entry.kind = Kind::Entry;
    entry.name = std::string(key);
    entry.value = std::string(value);
    entry.text = entry.name + "=" + entry.value;
    size_t s = FindSection(section);
    if (s == std::string::npos) {
        Line header = NewLine();
        header.kind = Kind::Section;
        header.name = std::string(section);
        header.text = "[" + header.name + "]";
        lines_.push_back(std::move(header));
        lines_.push_back(std::move(entry));
        return true;
    }
    const size_t end = SectionEnd(s);
    size_t lastEntry = s;
    for (size_t i = s + 1; i < end; ++i) {
        if (lines_[i].kind == Kind::Entry) {
            if (EqualNoCase(lines_[i].name, key)) {
                lines_[i].value = std::string(value);
                lines_[i].text = lines_[i].name + "=" + lines_[i].value;
                return true;
            }
            lastEntry = i;
        }
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastEntry + 1), std::move(entry));
    return true;
}

bool IniDocument::AddSection(std::string_view section) {
    if (HasLineBreak(section)) {
        refused_ = true;
        return false;
    }
    Line header = NewLine();
    header.kind = Kind::Section;
    header.name = std::string(section);
    header.text = "[" + header.name + "]";
    lines_.push_back(std::move(header));
    return true;
}

bool IniDocument::EraseKey(std::string_view section, std::string_view key) {
    const size_t s = FindSection(section);
    if (s == std::string::npos) {
        return false;
    }
    const size_t end = SectionEnd(s);
    for (size_t i = s + 1; i < end; ++i) {
        if (lines_[i].kind == Kind::Entry && EqualNoCase(lines_[i].name, key)) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            return true;
        }
    }
    return false;
}

bool IniDocument::EraseSection(std::string_view section) {
    const size_t s = FindSection(section);
    if (s == std::string::npos) {
        return false;
    }
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(s),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(s)));
    return true;
}

bool IniDocument::HasSection(std::string_view section) const {
    return FindSection(section) != std::string::npos;
}

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        if (line.kind == Kind::Section) {
            names.push_back(line.name);
        }
    }
    return names;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const size_t s = FindSection(section);
    if (s == std::string::npos) {
        return keys;
    }
    const size_t end = SectionEnd(s);
    for (size_t i = s + 1; i < end; ++i) {
        if (lines_[i].kind == Kind::Entry) {
            keys.push_back(lines_[i].name);
        }
    }
    return keys;
}

bool IniTryLoad(const std::filesystem::path& file, IniDocument& doc, std::string& error) {
    doc = IniDocument{};
    if (!PathExists(file)) {
        return true;
    }
    std::string bytes;
    if (!ReadWholeFile(file, bytes, error, kIniMaxBytes)) {
        return false;
    }
    doc = IniDocument::Parse(bytes);
    return true;
}

IniDocument IniLoad(const std::filesystem::path& file) {
    IniDocument doc;
    std::string error;
    IniTryLoad(file, doc, error);
    return doc;
}

std::string IniReadString(const std::filesystem::path& file, std::string_view section,
                          std::string_view key, std::string_view defaultValue) {
    if (std::optional<std::string> value = IniLoad(file).Get(section, key)) {
        return *value;
    }
    return CutToChars(defaultValue, kIniValueMaxChars);
}

int IniReadInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
               int defaultValue) {
    if (std::optional<std::string> value = IniLoad(file).Get(section, key)) {
        return ParseLeadingInt(*value);
    }
    return defaultValue;
}

bool IniUpdate(const std::filesystem::path& file, const std::function<void(IniDocument&)>& change,
               std::string* error) {
    std::string problem;
    const auto fail = [&] {
        if (error != nullptr) {
            *error = problem;
        }
        return false;
    };
    if (file.has_parent_path() && !CreatePrivateFolders(file.parent_path(), problem)) {
        return fail();
    }
    FileLock lock(file);
    IniDocument doc;
    if (!IniTryLoad(file, doc, problem)) {
        return fail();  // never replace a file we could not read
    }
    change(doc);
    if (doc.Refused()) {
        problem = "cannot write " + file.string() + ": a line break in a section, key or value";
        return fail();
    }
    if (!WriteFileAtomically(file, doc.ToText(), problem)) {
        return fail();
    }
    return true;
}

bool IniWriteString(const std::filesystem::path& file, std::string_view section,
                    std::string_view key, std::string_view value, std::string* error) {
    return IniUpdate(
        file, [&](IniDocument& doc) { doc.Set(section, key, value); }, error);
}

}  // namespace gmd
