#pragma once
// "Start with the session": an XDG autostart entry that starts the application hidden in the
// tray when the user logs in.

#include <filesystem>
#include <string>

namespace gmd {

// The argument that starts the application without showing its window.
inline constexpr const char* kStartHiddenArgument = "--hidden";

// $XDG_CONFIG_HOME/autostart/gaming-mouse-driver.desktop (default ~/.config/autostart).
std::filesystem::path AutostartEntryPath();

// The entry's text: `program` (an absolute path) started with kStartHiddenArgument.
std::string AutostartEntry(const std::string& program);

// Whether the session will start the application: the entry exists and is not disabled
// (Hidden=true, or a desktop's own X-GNOME-Autostart-enabled=false).
bool AutostartEnabled();

// Writes the entry atomically (creating the folder) or removes it; false with an error when
// that fails. Removing an entry that does not exist succeeds.
bool SetAutostart(bool enabled, const std::string& program, std::string& error);

}  // namespace gmd
