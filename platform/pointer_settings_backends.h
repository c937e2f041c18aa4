#pragma once
// The desktop backends of PointerSettings with what they depend on passed in: how helper
// programs are run, where values are stored, what the environment says. The factories of
// pointer_settings.h fill these in for the real session.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pointer_settings.h"

namespace gmd {

// Runs a helper program (argv[0] from PATH, no shell). Its standard output when it ran and
// exited with status 0 in time, else nullopt.
using CommandRunner = std::function<std::optional<std::string>(const std::vector<std::string>&)>;

// The runner of the real session: a child process with a time-out of a few seconds; failures
// and time-outs are written to the debug output.
CommandRunner ChildProcessRunner();

enum class PointerDesktop { Gnome, Kde, X11, StoredOnly };

struct PointerEnvironment {
    // The value of an environment variable, nullopt when unset.
    std::function<std::optional<std::string>(std::string_view)> variable;
    // Whether a helper program is in PATH.
    std::function<bool(std::string_view)> hasProgram;
    // Whether the GNOME mouse settings schema is installed (asked only for GNOME-like desktops).
    std::function<bool()> hasGnomeMouseSchema;
};

// KDE Plasma; GNOME-like desktops (by XDG_CURRENT_DESKTOP, else DESKTOP_SESSION) with gsettings
// and the schema; then an X11 session with xinput or xset; else stored only.
PointerDesktop DetectPointerDesktop(const PointerEnvironment& environment);

// An X display that is the session's own: not the X server of a Wayland session (XDG_SESSION_TYPE
// "wayland", or WAYLAND_DISPLAY set where the session type does not say "x11").
bool IsX11Session(const PointerEnvironment& environment);

struct PointerBackendOptions {
    CommandRunner run;
    std::filesystem::path storeFile;  // what a backend cannot apply is kept here
    // KDE: kdeglobals and kcminputrc are edited directly when no kwriteconfig is there, and
    // kcminputrc is read directly when no kreadconfig is there.
    std::filesystem::path kdeGlobals;
    std::filesystem::path kdeInputRc;
    std::string kwriteconfig;  // "kwriteconfig6", "kwriteconfig5" or empty
    std::string kreadconfig;   // "kreadconfig6", "kreadconfig5" or empty
    // KDE: the session runs on X11, so the pointer speed also goes to the X input devices.
    bool x11Session = false;
};

std::unique_ptr<PointerSettings> MakePointerSettings(PointerDesktop desktop,
                                                     PointerBackendOptions options);

inline constexpr const char* kGnomeMouseSchema = "org.gnome.desktop.peripherals.mouse";

}  // namespace gmd
