#pragma once
// Where the system keeps its files: the user's documents folder (XDG "DOCUMENTS") followed by
// "Gaming Mouse Driver", with the device sub-folders "ms", "kb" and "mp".

#include <filesystem>
#include <optional>
#include <string>

namespace gmd {

inline constexpr const char* kDataFolderName = "Gaming Mouse Driver";

// HOME when it is an absolute path, else the home of the user's account; nothing when neither
// names one (the files then cannot be made: never a shared folder such as /tmp).
std::optional<std::filesystem::path> UserHome();
// false with a message when there is no home folder for the data files.
bool CheckUserHome(std::string& error);

// XDG_DOCUMENTS_DIR from $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config), else ~/Documents.
std::filesystem::path DocumentsFolder();
// The data folder, created for the user alone (0700) when missing (creation errors surface at the
// first write).
std::filesystem::path AppDataFolder();
std::filesystem::path MouseFolder();     // AppDataFolder()/ms
std::filesystem::path KeyboardFolder();  // AppDataFolder()/kb
std::filesystem::path MousepadFolder();  // AppDataFolder()/mp

// The folder of the default profile files: beside the executable when it holds them, else the
// build tree's "app" folder beside the executable's folder (tools built in their own folder),
// else the installed data folder.
std::filesystem::path ApplicationFolder();

// Per-user configuration that stands in for machine-wide settings ($XDG_CONFIG_HOME/...).
std::filesystem::path UserConfigFolder();

}  // namespace gmd
