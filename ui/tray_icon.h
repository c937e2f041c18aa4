#pragma once
// The notification-area icon; clicks reach the owner as WM_TRAY_NOTIFY with lParam
// WM_LBUTTONUP (left button released) or WM_RBUTTONUP (right button released).

#include <memory>
#include <string>

#include "ui/ui_defs.h"

namespace gmd::ui {

class CTrayIcon {
  public:
    CTrayIcon();
    ~CTrayIcon();
    // iconFile: an image in the skin folder; message: what the owner receives.
    bool CreateTrayIcon(HWND owner, const std::string& iconFile, const std::string& toolTip,
                        UINT message = WM_TRAY_NOTIFY);
    void DeleteTrayIcon();
    bool IsCreated() const;
    void SetToolTip(const std::string& toolTip);
    // Whether this desktop shows tray icons at all.
    static bool IsTrayAvailable();
    // Delivers a click as the desktop would (for tests and for desktops without a tray).
    void SimulateClick(LPARAM mouseMessage);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace gmd::ui
