#pragma once
// INI files with the private-profile rules the system's files rely on: sections and keys found
// without regard to case (first match wins), values trimmed and unquoted and at most 259
// characters, defaults for what is missing, files created on first write. Reads UTF-8 (with or
// without a byte-order mark) and UTF-16 files with a byte-order mark; a rewrite keeps the file's
// encoding, mark, line ends and any bytes it cannot decode, as Windows does; new files are
// UTF-8. Every write replaces the file atomically under the file's lock.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gmd {

inline constexpr size_t kIniValueMaxChars = 259;

class IniDocument {
  public:
    // Never fails: lines that are neither sections nor entries are kept as they are.
    static IniDocument Parse(std::string_view bytes);
    // The file's bytes, in the encoding it was read in.
    std::string ToText() const;

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // A section, key or value holding a line break would write lines of its own: refused
    // (false, nothing changed), and the document remembers it (Refused) so that IniUpdate does
    // not write it.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    bool Refused() const { return refused_; }
    // An empty section at the end (refused as Set refuses).
    bool AddSection(std::string_view section);
    bool EraseKey(std::string_view section, std::string_view key);
    bool EraseSection(std::string_view section);
    bool HasSection(std::string_view section) const;
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(std::string_view section) const;

  private:
    enum class Kind { Section, Entry, Other };
    enum class Encoding { Utf8, Utf8Mark, Utf16LE, Utf16BE };
    struct Line {
        Kind kind = Kind::Other;
        std::string eol = "\n";  // as read; empty for a last line without one
        std::string text;        // the line as read, or as written after a change
        std::string name;        // section name or key
        std::string value;       // entries: the raw value after '=', untrimmed
    };
    // Index of the section line, or npos.
    size_t FindSection(std::string_view section) const;
    size_t SectionEnd(size_t sectionLine) const;  // first line after the section's body

    Line NewLine() const;

    std::vector<Line> lines_;
    Encoding encoding_ = Encoding::Utf8;
    std::string eol_ = "\n";  // for new lines: the first line's end
    std::string oddByte_;     // a UTF-16 file's odd last byte
    bool refused_ = false;
};

// Windows-style integer conversion: optional spaces, sign, then decimal digits up to the first
// non-digit; no digits gives 0. Saturates instead of overflowing.
int ParseLeadingInt(std::string_view text);

// Without blanks, tabs and line ends at either end.
std::string_view Trim(std::string_view text);

// Decodes UTF-16 (by its byte-order mark) or UTF-8 text into UTF-8 without a byte-order mark.
std::string DecodeTextFile(std::string_view bytes);

// Index and settings files larger than this are refused (a full list is far smaller).
inline constexpr size_t kIniMaxBytes = 8u << 20;

// The document of a file; a missing file gives an empty one. false (with error naming the file)
// when it exists but cannot be read, is not a regular file or is too large.
bool IniTryLoad(const std::filesystem::path& file, IniDocument& doc, std::string& error);

// GetPrivateProfileString: the value, or `defaultValue` when the file, section or key is
// missing; cut to kIniValueMaxChars characters.
std::string IniReadString(const std::filesystem::path& file, std::string_view section,
                          std::string_view key, std::string_view defaultValue);
int IniReadInt(const std::filesystem::path& file, std::string_view section, std::string_view key,
               int defaultValue);
// WritePrivateProfileString. false (with error) when the file cannot be written; the old file
// then stays as it was.
bool IniWriteString(const std::filesystem::path& file, std::string_view section,
                    std::string_view key, std::string_view value, std::string* error = nullptr);
// Several changes in one locked read-modify-write.
bool IniUpdate(const std::filesystem::path& file, const std::function<void(IniDocument&)>& change,
               std::string* error = nullptr);
IniDocument IniLoad(const std::filesystem::path& file);

}  // namespace gmd
