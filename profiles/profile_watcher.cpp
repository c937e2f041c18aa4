#include "profiles/profile_watcher.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/debug_output.h"
#include "profiles/profile_index.h"

namespace gmd::profiles {

namespace {

constexpr const char* kExitLine = "鼠标灯光进程侦测线程设定退出";
constexpr const char* kPathFailedLine = "文件名字访问失败";

}  // namespace

std::optional<WatcherDecision> DecideDeviceProfile(ListId list, const std::string& foreground) {
    const std::vector<ListEntry> entries = ReadList(list);
    if (entries.empty()) {
        return std::nullopt;
    }
    // An empty path (nothing read yet, nothing in front) is no program, whatever a stored
    // empty link might say.
    if (!foreground.empty()) {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].linked && SameProgram(entries[i].program, foreground)) {
                return WatcherDecision{static_cast<int>(i), true};
            }
        }
    }
    return WatcherDecision{ReadSelect(list), false};
}

void RunDeviceProfileWatcher(ForegroundProgram& foreground, StopEvent& stop,
                             const std::function<void(WatcherDecision)>& decide, ListId list,
                             WatcherTiming timing) {
    stop.Reset();
    DebugTrace("device-profile watcher: foreground program " + foreground.Name());
    std::string path;
    // The failure last reported: a window that stays in front unreadable is reported once,
    // not every pass.
    std::optional<std::string> reported;
    while (!stop.Wait(1)) {
        if (foreground.Available()) {
            if (std::optional<std::string> now = foreground.Path()) {
                path = std::move(*now);
                reported.reset();
            } else if (std::string why = foreground.FailureReason(); reported != why) {
                DebugTrace(why.empty() ? std::string(kPathFailedLine)
                                       : std::string(kPathFailedLine) + ": " + why);
                reported = std::move(why);
            }
        }
        if (const std::optional<WatcherDecision> decision = DecideDeviceProfile(list, path)) {
            decide(*decision);
        }
        // Waiting on the event rather than sleeping lets shutdown end the thread at once.
        stop.Wait(timing.passMs);
    }
    DebugTrace(kExitLine);
}

}  // namespace gmd::profiles
