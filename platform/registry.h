#pragma once
// A per-user stand-in for the few machine registry values the system reads and writes. Keys are
// sections of an INI file in the user configuration folder; a key must exist before values can
// be written under it (the application opens keys, it never creates them).

#include <filesystem>
#include <string>
#include <string_view>

namespace gmd {

// The key that holds the application's machine-wide values.
inline constexpr const char* kRegistryAppKey = "SOFTWARE\\Gaming Mouse Driver";

// UserConfigFolder()/registry.ini
std::filesystem::path RegistryFile();

// false when the file, the key or the value is missing (the read fails). Key and value names
// are compared without regard to case.
bool ReadRegistryString(std::string_view key, std::string_view name, std::string& out);
// Whether the key exists.
bool OpenRegistryKey(std::string_view key);
// false when the key does not exist, the name or value cannot be stored, or the file cannot be
// written.
bool WriteRegistryString(std::string_view key, std::string_view name, std::string_view value);
// Makes the key (setup and tests); true when it exists afterwards.
bool CreateRegistryKey(std::string_view key);

}  // namespace gmd
