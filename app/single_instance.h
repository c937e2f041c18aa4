#pragma once
// One running instance per user. The first start listens on a per-user local socket; a later
// start finds it, hands over the wake-up and ends. A socket left behind by a crashed instance is
// taken over.

#include <functional>
#include <memory>
#include <string>

class QLocalServer;

namespace gmd::app {

// Base of the socket name; the user id is appended so users never meet.
inline constexpr const char* kSingleInstanceBase = "PELKARDRVER1";
// What a later start sends and what the first answers.
inline constexpr const char* kWakeUpRequest = "QUARVEN_004\n";
inline constexpr const char* kWakeUpAnswer = "ok\n";

// "PELKARDRVER1" in a private folder "gaming-mouse-driver-<uid>" (0700, ours) of
// $XDG_RUNTIME_DIR when that is set, else of the temporary folder. Both ends check that the
// other runs as this user.
std::string SingleInstanceSocketPath();

class SingleInstance {
  public:
    enum class Role {
        First,     // this process listens; later starts reach OnWakeUp
        Second,    // another instance runs and has been told; end now
        Unguarded  // the socket could not be set up; run without the guard
    };

    explicit SingleInstance(std::string socketPath = SingleInstanceSocketPath());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Decides the role. Checking and taking over the socket is serialised between processes by
    // a lock file beside it, so two starts at once cannot both become first.
    Role Acquire();
    // Called on the UI thread for each later start.
    void SetWakeUpHandler(std::function<void()> handler) { onWakeUp_ = std::move(handler); }
    const std::string& SocketPath() const { return path_; }
    const std::string& LastError() const { return error_; }

  private:
    bool KnockOnRunningInstance();
    void OnNewConnection();

    std::string path_;
    std::string error_;
    std::unique_ptr<QLocalServer> server_;
    std::function<void()> onWakeUp_;
};

}  // namespace gmd::app
