#pragma once
// The built subsystems plugged into the main window: their pages, their routes, and the threads
// of the device link.

#include <filesystem>
#include <memory>

#include "platform/foreground_program.h"
#include "platform/pointer_settings.h"

namespace gmd::app {

class CMainWnd;

// The mouse device-profile watcher (thread 11) on a foreground-program service.
void InstallDeviceProfileWatcher(CMainWnd& wnd, std::shared_ptr<ForegroundProgram> foreground);

// The pages of the built subsystems, owned by the window, with their routes; each subsystem is
// one registration here. `applicationFolder` holds the default profile files.
void PlugSubsystems(CMainWnd& wnd, std::shared_ptr<PointerSettings> pointer,
                    const std::filesystem::path& applicationFolder);

// Everything the application runs with: the pages with their routes and the device link's
// threads. Call before the window is created.
void InstallSubsystems(CMainWnd& wnd, std::shared_ptr<PointerSettings> pointer,
                       std::shared_ptr<ForegroundProgram> foreground);

}  // namespace gmd::app
