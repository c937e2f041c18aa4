#pragma once
// The profile operations on the index files and the profile files, without any UI: the UI
// mirrors the list in its combo box and turns the results into messages.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "profiles/profile_file.h"
#include "profiles/profile_index.h"

namespace gmd::profiles {

enum class OpResult {
    Ok,
    SourceMissing,      // a file to read is missing: "message_text_8"
    SourceNotAProfile,  // a file to read is not a profile file: "message_text_9"
    LastEntry,          // delete of the only entry: "message_text_11"
    EmptyName,          // "message_text_14"
    DuplicateName,      // "message_text_15"
    BadName,            // a name that cannot be a file name
    WriteFailed,        // a file could not be written; nothing was lost
    NoSelection,        // the position is outside the list
};

// "profile%d" with the smallest free number; "%s copy" repeated until free (case ignored).
std::string NextAddName(const std::vector<std::string>& names);
std::string NextCopyName(const std::vector<std::string>& names, const std::string& source);

// The default blob of the list's kind from the application folder, into a cleared buffer of
// the list's blob size.
OpResult ReadDefaultBlob(ListId list, const std::filesystem::path& applicationFolder,
                         std::vector<uint8_t>& blob);

// What the last failed operation of this thread could not do, naming the file and the
// operation ("cannot read /path/msProfile.ini: Permission denied"); empty after a success.
const std::string& LastProblem();

// First use of a list (a count of 0 or less, a missing or damaged index): where no profile file
// of the list exists, "profile1" from the default file, then count, link flag, name and
// selection in that order; otherwise the list is rebuilt from the profile files present (the
// names the index still holds first, in their order), and no file is ever replaced by a
// default. An index that exists but cannot be read is refused (SourceMissing) and nothing is
// written. On a failed read of the default nothing is written.
OpResult CreateFirstProfile(ListId list, const std::filesystem::path& applicationFolder);

// Whether a file can be imported into the list: a regular file of exactly the header and the
// list's blob size, with the magic and this device's code. Its blob into `blob` (cleared to the
// list's blob size). Nothing changes anywhere; a refusal says why in LastProblem.
OpResult CheckImportFile(ListId list, const std::filesystem::path& source,
                         std::vector<uint8_t>& blob);
// The same check on a file's bytes in memory; `why` says what is wrong.
OpResult CheckImportBytes(ListId list, std::string_view bytes, std::vector<uint8_t>& blob,
                          std::string& why);
// Whether a file may be written by an export: refused (WriteFailed) for a directory, device
// node, FIFO or socket, and for any file inside the data folder; a symbolic link is followed.
OpResult CheckExportTarget(const std::filesystem::path& target);

// Each returns the new list state through ReadList afterwards; positions are 0-based. A
// listed profile's file is found whatever its letter case; new files take the listed name.
// Add: the new entry's file from the default, then its index keys; WriteFailed leaves the list
// and the folder as they were. When the default cannot be read the entry is listed without a
// file (the mouse light list writes an all-zero blob instead). newName receives the name.
// The name is chosen, the file written and the index updated under the folder's one lock, so
// concurrent adds (in other processes too) each get their own name.
OpResult AddProfile(ListId list, const std::filesystem::path& applicationFolder,
                    std::string& newName);
// Import into a new entry (the device lists): the file checked first (CheckImportFile), then
// the entry added holding its blob, all under one lock. `position` receives the new entry's.
OpResult AddImportedProfile(ListId list, const std::filesystem::path& source, std::string& newName,
                            int& position);
// Delete: names shifted and the link records of later positions moved down (the old last
// keys stay), then the file; WriteFailed leaves both.
OpResult DeleteProfile(ListId list, int position);
OpResult CopyProfile(ListId list, int position, std::string& newName);
// Rename: the new file is written before the old one goes; on a failed write the old file and
// name stay.
OpResult RenameProfile(ListId list, int position, const std::string& newName);
// Import into an existing position, checked first as CheckImportFile does.
OpResult ImportProfile(ListId list, int position, const std::filesystem::path& source);
OpResult ExportProfile(ListId list, int position, const std::filesystem::path& target);

// The blob of the profile at a position, into a cleared buffer of the list's blob size:
// kProfileRead, kProfileMissing or kProfileNotAProfile.
int LoadBlob(ListId list, int position, std::vector<uint8_t>& blob);
// false when the file could not be written (LastProblem says why).
bool StoreBlob(ListId list, int position, std::span<const uint8_t> blob);

// The position of another (or the same) entry linked to this program (SameProgram).
std::optional<int> FindLinkedProgram(ListId list, const std::string& program);

}  // namespace gmd::profiles
