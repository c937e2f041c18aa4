#pragma once
// The index files: per list its count, names, selection, link flags and linked programs.
// Every read goes to the file at the moment it is needed; every write is one atomic update.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "profiles/profile_types.h"

namespace gmd {
class IniDocument;
}

namespace gmd::profiles {

// The most entries a list is read with: a damaged count cannot make a reader build millions of
// entries. A negative count reads as 0.
inline constexpr int kMaxListEntries = 10000;
// The readers keep this many characters of a name or path.
inline constexpr size_t kProfileNameMaxChars = 259;

struct ListEntry {
    std::string name;      // up to 259 characters; "0" when missing
    bool linked = false;   // the flag reads as 1
    bool flagSet = false;  // the flag reads as non-zero
    std::string program;   // "0" when missing; empty after a link was removed (" " is written,
                           // values are read trimmed)
};

// count entries (entries beyond it are ignored); count and select read as signed decimal.
std::vector<ListEntry> ReadList(ListId list);
int ReadCount(ListId list);
// The count as an already loaded index file holds it (the same limits as ReadCount).
int CountIn(const IniDocument& doc, ListId list);
int ReadSelect(ListId list);
bool WriteSelect(ListId list, int position);
// Refused (false, nothing written) for a program path holding a line break.
bool WriteLink(ListId list, int position, bool linked, const std::string& program);

// Whether a name can be a profile's file name in the device folder: not empty, no path
// separator ('/' or '\\'), not "." or "..", no control characters, at most 259 characters and
// short enough for a file name with its extension and for the temporary file of a write
// (at most 234 bytes), and unchanged when read back from the index
// (no white space at either end, not enclosed in quotes).
enum class NameCheck { Ok, Empty, NotAFileName };
NameCheck CheckProfileName(const std::string& name);

// Letter case ignored (ASCII and, through a simple fold, the rest of UTF-8 as it stands).
bool SameProfileName(const std::string& a, const std::string& b);

// Whether two program paths name one program: letter case ignored, and absolute paths also
// compared with their symbolic links resolved, since a link keeps the path as it was chosen
// while a running program's path is always the resolved one.
bool SameProgram(const std::string& a, const std::string& b);

}  // namespace gmd::profiles
