#pragma once
// The program that owns the foreground window, as the path of its executable.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace gmd {

class ForegroundProgram {
  public:
    virtual ~ForegroundProgram() = default;
    // Whether this session can tell at all (false e.g. in a Wayland session without X).
    virtual bool Available() const = 0;
    // A short description for the log ("X11", "not available: Wayland session").
    virtual std::string Name() const = 0;
    // The executable path of the foreground window's process, when it can be found; an empty
    // path when no window has the focus.
    virtual std::optional<std::string> Path() = 0;
    // Why the last Path() found nothing, naming the window it looked at, so a caller can tell
    // a new failure from the same one again; empty after a success.
    virtual std::string FailureReason() const { return {}; }
};

// X11 through _NET_ACTIVE_WINDOW, _NET_WM_PID (or, for programs that do not set it, the X
// Resource extension's client process) and /proc/PID/exe when there is an X display; otherwise
// one that says it cannot tell.
std::unique_ptr<ForegroundProgram> MakeForegroundProgram();

// The same choice for given values of DISPLAY and WAYLAND_DISPLAY (empty: unset).
std::unique_ptr<ForegroundProgram> MakeForegroundProgramFor(std::string_view display,
                                                            std::string_view waylandDisplay);

// How long the X11 service waits for the server before it gives up on a pass and drops the
// connection; a server that stopped answering must not stall the caller.
struct X11Timeouts {
    int connectMs = 1000;
    int replyMs = 500;
};

// The X11 service on one display. It connects on first use and again after a failure.
std::unique_ptr<ForegroundProgram> MakeX11ForegroundProgram(std::string display,
                                                            X11Timeouts timeouts = {});

// The executable of a process through /proc/PID/exe; nullopt when the process is gone or may
// not be inspected. An executable replaced on disk while running keeps its old path.
std::optional<std::string> ExecutableOfProcess(long pid);

}  // namespace gmd
