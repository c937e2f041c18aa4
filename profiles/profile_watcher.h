#pragma once
// The mouse device-profile watcher: every 2 s it looks at the foreground program and says which
// device profile should be in force: a linked one while its program is in front, else the
// user's selection. It only reports; the window selects on its UI thread and keeps the user's
// selection apart from the profile in force.

#include <functional>
#include <optional>
#include <string>

#include "platform/foreground_program.h"
#include "platform/stop_event.h"
#include "profiles/profile_types.h"

namespace gmd::profiles {

inline constexpr int kWatcherPassMs = 2000;

// One decision: the position to be in force and whether it is a linked one.
struct WatcherDecision {
    int position = 0;
    bool linked = false;
    bool operator==(const WatcherDecision&) const = default;
};

// The first position of the list whose flag reads as 1 and whose program is the path
// (SameProgram: case ignored, links resolved), else the user's selection (the "select" key, as it
// reads: it may lie outside the list, which selects nothing). An empty path matches no link.
// nullopt when the list is empty. Reads the index file, never writes it.
std::optional<WatcherDecision> DecideDeviceProfile(ListId list, const std::string& foreground);

struct WatcherTiming {
    int passMs = kWatcherPassMs;
};

// The thread body: resets `stop`, then one pass per period until `stop` is set (exit line
// "鼠标灯光进程侦测线程设定退出"). A pass whose foreground path cannot be read keeps the previous
// pass's path and traces the failure once until it changes (another window) or a pass succeeds;
// where the service is not available every pass decides the user's selection.
// `decide` is called on the watcher thread every pass; it must not block on the UI thread.
void RunDeviceProfileWatcher(ForegroundProgram& foreground, StopEvent& stop,
                             const std::function<void(WatcherDecision)>& decide,
                             ListId list = ListId::MouseDevice, WatcherTiming timing = {});

}  // namespace gmd::profiles
