#pragma once
// The desktop's pointer speed and wheel scroll lines, on the 1-20 and 1-100 scales the mouse
// pages use. Each desktop keeps them differently; where the session has no such setting the
// value is only stored, and the backend says so.

#include <memory>
#include <optional>
#include <string>

namespace gmd {

class PointerSettings {
  public:
    virtual ~PointerSettings() = default;
    // A short description for the log and the tooltips, e.g. "GNOME settings".
    virtual std::string Name() const = 0;
    // Whether each value reaches the desktop (false: it is only stored by us).
    virtual bool AppliesPointerSpeed() const = 0;
    virtual bool AppliesWheelLines() const = 0;
    // The current pointer speed (1-20), when it can be read.
    virtual std::optional<int> PointerSpeed() = 0;
    // Set and keep the value; true when it was applied (or stored, for stored-only values).
    // Speeds outside 1-20 and lines outside 1-100 are clamped first.
    virtual bool SetPointerSpeed(int speed) = 0;
    virtual bool SetWheelLines(int lines) = 0;
};

// The backend for this session: GNOME (gsettings) when the GNOME settings schema is there and
// the desktop is GNOME-like, KDE (its configuration files, and the X input devices on X11)
// under Plasma, the X input devices (xinput, else xset) in another X11 session, else stored
// only. Values that a backend cannot apply are stored in the user configuration folder.
std::unique_ptr<PointerSettings> MakeDesktopPointerSettings();

// Stored only: keeps both values in a file of the user configuration folder.
std::unique_ptr<PointerSettings> MakeStoredPointerSettings();

}  // namespace gmd
