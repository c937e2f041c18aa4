#pragma once
// The profile operations on the index files and the profile files, without any UI: the UI
// mirrors the list in its combo box and turns the results into messages.

#include <cstdint>
#include <filesystem>
#include <string>
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

// First use of a list (count 0): "profile1" from the default file, then count, link flag,
// name and selection in that order. On a failed read nothing is written.
OpResult CreateFirstProfile(ListId list, const std::filesystem::path& applicationFolder);

// Each returns the new list state through ReadList afterwards; positions are 0-based. A
// listed profile's file is found whatever its letter case; new files take the listed name.
// Add: the new entry's file from the default, then its index keys; WriteFailed leaves the list
// and the folder as they were. When the default cannot be read the entry is listed without a
// file (the mouse light list writes an all-zero blob instead). newName receives the name.
OpResult AddProfile(ListId list, const std::filesystem::path& applicationFolder,
                    std::string& newName);
// Delete: names shifted and the link records of later positions moved down (the old last
// keys stay), then the file; WriteFailed leaves both.
OpResult DeleteProfile(ListId list, int position);
OpResult CopyProfile(ListId list, int position, std::string& newName);
// Rename: the new file is written before the old one goes; on a failed write the old file and
// name stay.
OpResult RenameProfile(ListId list, int position, const std::string& newName);
// Import into an existing position (the caller adds one first for the device lists).
OpResult ImportProfile(ListId list, int position, const std::filesystem::path& source);
OpResult ExportProfile(ListId list, int position, const std::filesystem::path& target);

// The blob of the profile at a position, into a cleared buffer of the list's blob size:
// kProfileRead, kProfileMissing or kProfileNotAProfile.
int LoadBlob(ListId list, int position, std::vector<uint8_t>& blob);
bool StoreBlob(ListId list, int position, std::span<const uint8_t> blob);

// The position of another (or the same) entry linked to this program (SameProgram).
std::optional<int> FindLinkedProgram(ListId list, const std::string& program);

}  // namespace gmd::profiles
