#pragma once

#include <functional>

namespace gmd::app {

class CMainWnd;

// Runs the desktop application: arguments, single instance, skin, window, message loop and
// shutdown. Returns the process's exit status. `beforeCreate` may adjust the window before it
// is created (test programs plug in their own worker threads).
int RunApplication(int argc, char** argv,
                   const std::function<void(CMainWnd&)>& beforeCreate = nullptr);

// Whether the process was started with "--hidden" (the session's autostart entry): the window
// stays in the tray until the user opens it.
bool StartedHidden();
// Started hidden where a tray can bring the window back: the window is never shown until the
// user asks for it.
bool StartsInTray();

}  // namespace gmd::app
