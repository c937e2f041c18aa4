#pragma once
// A PointerSettings for tests: records every set call, answers a settable current speed, and
// can be told to fail. Thread-safe, since the app applies values from a thread of its own.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/pointer_settings.h"

namespace gmd::test {

class FakePointerSettings : public PointerSettings {
  public:
    enum class Setting { PointerSpeed, WheelLines };
    struct Call {
        Setting setting;
        int requested;  // as the caller passed it
        int applied;    // after the clamp every backend makes
        bool operator==(const Call&) const = default;
    };

    std::string Name() const override { return "test settings"; }
    bool AppliesPointerSpeed() const override { return true; }
    bool AppliesWheelLines() const override { return true; }

    std::optional<int> PointerSpeed() override {
        std::lock_guard lock(mutex_);
        return speed_;
    }
    bool SetPointerSpeed(int speed) override {
        return Record(Setting::PointerSpeed, speed, std::clamp(speed, 1, 20));
    }
    bool SetWheelLines(int lines) override {
        return Record(Setting::WheelLines, lines, std::clamp(lines, 1, 100));
    }

    // The speed the desktop reports; nullopt when it cannot be read.
    void SetCurrentSpeed(std::optional<int> speed) {
        std::lock_guard lock(mutex_);
        speed_ = speed;
    }
    // Set calls return this (true by default); failed calls are recorded as well.
    void SetResult(bool result) {
        std::lock_guard lock(mutex_);
        result_ = result;
    }

    std::vector<Call> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::vector<Call> CallsOf(Setting setting) const {
        std::lock_guard lock(mutex_);
        std::vector<Call> matching;
        std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(matching),
                     [setting](const Call& call) { return call.setting == setting; });
        return matching;
    }
    void ClearCalls() {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }
    // Waits until at least `count` calls were made; false when the limit passed first.
    bool WaitForCalls(size_t count,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return calls_.size() >= count; });
    }

  private:
    bool Record(Setting setting, int requested, int applied) {
        bool result = false;
        {
            std::lock_guard lock(mutex_);
            calls_.push_back({setting, requested, applied});
            result = result_;
            if (result && setting == Setting::PointerSpeed) {
                speed_ = applied;
            }
        }
        changed_.notify_all();
        return result;
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Call> calls_;
    std::optional<int> speed_ = 10;
    bool result_ = true;
};

}  // namespace gmd::test
