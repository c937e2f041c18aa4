#pragma once
// StopEvent: a manual-reset event, the stop signal of one worker thread.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

namespace gmd {

class StopEvent {
  public:
    void Set();
    void Reset();
    bool IsSet() const;
    // true when set within the time; a negative time waits for ever.
    bool Wait(int timeoutMs) const;
    // true when set before `deadline` (at once when it has passed: then only whether it is set).
    bool WaitUntil(std::chrono::steady_clock::time_point deadline) const;

    // Runs `action` on the setting thread when the event is set (at once when it already is),
    // so a thread blocked in a read that does not look at the event can be woken. Keep the
    // returned token and remove the action before what it touches goes away.
    int AddSetAction(std::function<void()> action);
    void RemoveSetAction(int token);

    // Scoped form of the above.
    class SetAction {
      public:
        SetAction(StopEvent& event, std::function<void()> action)
            : event_(event), token_(event.AddSetAction(std::move(action))) {}
        ~SetAction() { event_.RemoveSetAction(token_); }
        SetAction(const SetAction&) = delete;
        SetAction& operator=(const SetAction&) = delete;

      private:
        StopEvent& event_;
        int token_;
    };

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool set_ = false;
    // Actions run outside mutex_, under actionsMutex_, so RemoveSetAction waits for a running one.
    std::mutex actionsMutex_;
    std::map<int, std::function<void()>> actions_;
    int nextToken_ = 1;
};

}  // namespace gmd
