#include "platform/stop_event.h"

#include <chrono>

namespace gmd {

void StopEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    changed_.notify_all();
    std::lock_guard actionsLock(actionsMutex_);
    for (auto& [token, action] : actions_) {
        action();
    }
}

void StopEvent::Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool StopEvent::IsSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

bool StopEvent::Wait(int timeoutMs) const {
    std::unique_lock lock(mutex_);
    if (timeoutMs < 0) {
        changed_.wait(lock, [this] { return set_; });
        return true;
    }
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; });
}

bool StopEvent::WaitUntil(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, deadline, [this] { return set_; });
}

int StopEvent::AddSetAction(std::function<void()> action) {
    std::lock_guard actionsLock(actionsMutex_);
    const int token = nextToken_++;
    if (IsSet()) {
        action();
    }
    actions_.emplace(token, std::move(action));
    return token;
}

void StopEvent::RemoveSetAction(int token) {
    std::lock_guard actionsLock(actionsMutex_);
    actions_.erase(token);
}

}  // namespace gmd
