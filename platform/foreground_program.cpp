#include "platform/foreground_program.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <xcb/res.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace gmd {

namespace {

using Clock = std::chrono::steady_clock;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// libxcb writes with writev, so a server that dies between two requests would raise SIGPIPE
// and end the whole process; keep it on this thread and drop it.
class SigpipeBlocked {
  public:
    SigpipeBlocked() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    ~SigpipeBlocked() {
        sigset_t pending;
        sigpending(&pending);
        if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    SigpipeBlocked(const SigpipeBlocked&) = delete;
    SigpipeBlocked& operator=(const SigpipeBlocked&) = delete;

  private:
    sigset_t pipe_{};
    sigset_t old_{};
    bool wasPending_ = false;
};

class Unavailable final : public ForegroundProgram {
  public:
    explicit Unavailable(std::string why) : name_("not available: " + std::move(why)) {}
    bool Available() const override { return false; }
    std::string Name() const override { return name_; }
    std::optional<std::string> Path() override { return std::nullopt; }

  private:
    std::string name_;
};

// xcb_connect reads the server's set-up reply without a time-out, so it runs on a thread of
// its own; a caller that stops waiting leaves the late connection to that thread to close.
struct PendingConnect {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    xcb_connection_t* connection = nullptr;
    int screen = 0;
};

class X11Foreground final : public ForegroundProgram {
  public:
    X11Foreground(std::string display, std::string name, X11Timeouts timeouts)
        : display_(std::move(display)), name_(std::move(name)), timeouts_(timeouts) {}
    ~X11Foreground() override { Disconnect(); }
    X11Foreground(const X11Foreground&) = delete;
    X11Foreground& operator=(const X11Foreground&) = delete;

    bool Available() const override { return true; }
    std::string Name() const override { return name_; }

    std::optional<std::string> Path() override {
        std::lock_guard lock(mutex_);
        const SigpipeBlocked sigpipeBlocked;
        failure_.clear();
        if (connection_ == nullptr && !Connect()) {
            failure_ = "no answer from the X server " + display_;
            return std::nullopt;
        }
        const Cardinal window = ReadCardinal(root_, activeWindowAtom_, XCB_ATOM_WINDOW);
        if (!window.present) {
            failure_ = "the active window cannot be read";
            return std::nullopt;
        }
        if (window.value == XCB_WINDOW_NONE) {
            return std::string();  // nothing has the focus, e.g. the desktop was clicked
        }
        const Cardinal property = ReadCardinal(window.value, pidAtom_, XCB_ATOM_CARDINAL);
        if (!property.read) {
            failure_ = WindowName(window.value) + " has gone";
            return std::nullopt;
        }
        // Programs that do not set _NET_WM_PID are still known to the server by their
        // connection, when they are local.
        const std::optional<uint32_t> pid =
            property.present ? property.value : ClientPid(window.value);
        if (!pid) {
            failure_ =
                WindowName(window.value) + ": no _NET_WM_PID and no process known to the server";
            return std::nullopt;
        }
        std::optional<std::string> path = ExecutableOfProcess(static_cast<long>(*pid));
        if (!path) {
            failure_ = WindowName(window.value) + ": process " + std::to_string(*pid) +
                       " cannot be inspected";
        }
        return path;
    }

    std::string FailureReason() const override {
        std::lock_guard lock(mutex_);
        return failure_;
    }

  private:
    bool Connect() {
        // A connection still being made to a server that stopped answering: do not pile up
        // threads behind it.
        if (pending_) {
            std::lock_guard lock(pending_->mutex);
            if (!pending_->finished) {
                return false;
            }
        }
        auto pending = std::make_shared<PendingConnect>();
        pending_ = pending;
        try {
            std::thread([pending, display = display_] {
                sigset_t pipe;
                sigemptyset(&pipe);
                sigaddset(&pipe, SIGPIPE);
                pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
                int screen = 0;
                xcb_connection_t* c = xcb_connect(display.c_str(), &screen);
                std::lock_guard lock(pending->mutex);
                pending->finished = true;
                if (pending->abandoned) {
                    xcb_disconnect(c);
                    return;
                }
                pending->connection = c;
                pending->screen = screen;
                pending->done.notify_all();
            }).detach();
        } catch (const std::system_error&) {
            pending_.reset();
            return false;
        }
        xcb_connection_t* c = nullptr;
        int screen = 0;
        {
            std::unique_lock lock(pending->mutex);
            if (!pending->done.wait_for(lock, std::chrono::milliseconds(timeouts_.connectMs),
                                        [&] { return pending->finished; })) {
                pending->abandoned = true;
                return false;
            }
            c = std::exchange(pending->connection, nullptr);
            screen = pending->screen;
        }
        if (xcb_connection_has_error(c) != 0) {
            xcb_disconnect(c);
            return false;
        }
        connection_ = c;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screen && it.rem > 0; ++i) {
            xcb_screen_next(&it);
        }
        if (it.rem == 0) {
            Disconnect();
            return false;
        }
        root_ = it.data->root;
        // Asked now, answered before the atoms: looking it up later then never blocks.
        xcb_prefetch_extension_data(c, &xcb_res_id);
        const std::optional<xcb_atom_t> active = InternAtom("_NET_ACTIVE_WINDOW");
        const std::optional<xcb_atom_t> pid = active ? InternAtom("_NET_WM_PID") : std::nullopt;
        if (!pid) {
            Disconnect();
            return false;
        }
        activeWindowAtom_ = *active;
        pidAtom_ = *pid;
        const xcb_query_extension_reply_t* res = xcb_get_extension_data(c, &xcb_res_id);
        hasResources_ = res != nullptr && res->present != 0;
        return true;
    }

    void Disconnect() {
        if (connection_ != nullptr) {
            xcb_disconnect(connection_);
            connection_ = nullptr;
        }
    }

    // Waits for the reply to `sequence` within the reply time-out. A time-out or a broken
    // connection drops the connection (the next call connects again); an X error (a window
    // that has gone) only fails this request.
    void* AwaitReply(unsigned int sequence) {
        if (xcb_flush(connection_) <= 0) {
            Disconnect();
            return nullptr;
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeouts_.replyMs);
        for (;;) {
            void* reply = nullptr;
            xcb_generic_error_t* error = nullptr;
            if (xcb_poll_for_reply(connection_, sequence, &reply, &error) != 0) {
                std::free(error);
                if (reply == nullptr && xcb_connection_has_error(connection_) != 0) {
                    Disconnect();
                }
                return reply;
            }
            if (xcb_connection_has_error(connection_) != 0) {
                Disconnect();
                return nullptr;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                Disconnect();
                return nullptr;
            }
            pollfd fd{xcb_get_file_descriptor(connection_), POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(left.count()) + 1);
        }
    }

    std::optional<xcb_atom_t> InternAtom(const char* name) {
        const xcb_intern_atom_cookie_t cookie =
            xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name);
        XcbPtr<xcb_intern_atom_reply_t> reply(
            static_cast<xcb_intern_atom_reply_t*>(AwaitReply(cookie.sequence)));
        if (!reply || reply->atom == XCB_ATOM_NONE) {
            return std::nullopt;
        }
        return reply->atom;
    }

    // The first 32-bit item of a property of the given type. `read` is false when the request
    // failed, `present` when the window has no such property.
    struct Cardinal {
        bool read = false;
        bool present = false;
        uint32_t value = 0;
    };
    Cardinal ReadCardinal(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
        if (connection_ == nullptr) {
            return {};
        }
        const xcb_get_property_cookie_t cookie =
            xcb_get_property(connection_, 0, window, property, type, 0, 1);
        XcbPtr<xcb_get_property_reply_t> reply(
            static_cast<xcb_get_property_reply_t*>(AwaitReply(cookie.sequence)));
        if (!reply) {
            return {};
        }
        Cardinal result{true, false, 0};
        if (reply->type == type && reply->format == 32 &&
            xcb_get_property_value_length(reply.get()) >= 4) {
            result.present = true;
            std::memcpy(&result.value, xcb_get_property_value(reply.get()), sizeof result.value);
        }
        return result;
    }

    // The process of the client that created the window (X Resource 1.2); the server knows it
    // only for clients on local sockets.
    std::optional<uint32_t> ClientPid(xcb_window_t window) {
        if (connection_ == nullptr || !hasResources_) {
            return std::nullopt;
        }
        const xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        const xcb_res_query_client_ids_cookie_t cookie =
            xcb_res_query_client_ids(connection_, 1, &wanted);
        XcbPtr<xcb_res_query_client_ids_reply_t> reply(
            static_cast<xcb_res_query_client_ids_reply_t*>(AwaitReply(cookie.sequence)));
        if (!reply) {
            return std::nullopt;
        }
        for (xcb_res_client_id_value_iterator_t it =
                 xcb_res_query_client_ids_ids_iterator(reply.get());
             it.rem > 0; xcb_res_client_id_value_next(&it)) {
            if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) != 0 &&
                xcb_res_client_id_value_value_length(it.data) >= 1) {
                return *xcb_res_client_id_value_value(it.data);
            }
        }
        return std::nullopt;
    }

    static std::string WindowName(xcb_window_t window) {
        char name[32];
        std::snprintf(name, sizeof name, "window 0x%x", static_cast<unsigned>(window));
        return name;
    }

    const std::string display_;
    const std::string name_;
    const X11Timeouts timeouts_;
    mutable std::mutex mutex_;
    xcb_connection_t* connection_ = nullptr;
    bool hasResources_ = false;
    std::string failure_;
    std::shared_ptr<PendingConnect> pending_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t activeWindowAtom_ = XCB_ATOM_NONE;
    xcb_atom_t pidAtom_ = XCB_ATOM_NONE;
};

std::string_view Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string_view(value) : std::string_view();
}

}  // namespace

std::unique_ptr<ForegroundProgram> MakeForegroundProgram() {
    return MakeForegroundProgramFor(Env("DISPLAY"), Env("WAYLAND_DISPLAY"));
}

std::unique_ptr<ForegroundProgram> MakeForegroundProgramFor(std::string_view display,
                                                            std::string_view waylandDisplay) {
    if (display.empty()) {
        return std::make_unique<Unavailable>(
            waylandDisplay.empty() ? "no X display" : "Wayland session without an X display");
    }
    std::string name = "X11 (" + std::string(display) + ")";
    if (!waylandDisplay.empty()) {
        // Under XWayland only X programs are seen.
        name = "X11 through XWayland (" + std::string(display) + "), X programs only";
    }
    return std::make_unique<X11Foreground>(std::string(display), std::move(name), X11Timeouts{});
}

std::unique_ptr<ForegroundProgram> MakeX11ForegroundProgram(std::string display,
                                                            X11Timeouts timeouts) {
    std::string name = "X11 (" + display + ")";
    return std::make_unique<X11Foreground>(std::move(display), std::move(name), timeouts);
}

std::optional<std::string> ExecutableOfProcess(long pid) {
    if (pid <= 0) {
        return std::nullopt;
    }
    std::error_code ec;
    std::string path =
        std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec).string();
    if (ec || path.empty()) {
        return std::nullopt;
    }
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() && path.ends_with(kDeleted)) {
        path.resize(path.size() - kDeleted.size());
    }
    return path;
}

}  // namespace gmd
