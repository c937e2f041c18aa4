#pragma once
// Hand-over of lighting frames from an engine to the frame sender and the preview. The engine
// publishes only complete frames; readers always get a whole one. The sender sends the newest
// frame at most once per 10 ms: when steps are slower every frame goes out, when they are
// faster one per 10 ms does, and none is starved by the next.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "mouse/light_tables.h"

namespace gmd {

class StopEvent;

namespace light {

struct LightFrame {
    uint64_t sequence = 0;       // 0 until the first frame is published
    std::vector<Led> leds;       // what the preview shows
    std::vector<uint8_t> bytes;  // what goes to the device
};

class LightFrameChannel {
  public:
    // Copies the frame into the back buffer outside the lock, then swaps it in.
    void Publish(std::span<const Led> leds, std::span<const uint8_t> bytes);
    LightFrame Latest() const;
    uint64_t Sequence() const;
    // Copies the newest frame into `frame` when it is newer than `seen`; false otherwise.
    bool TakeNewer(uint64_t seen, LightFrame& frame) const;
    // Waits until a frame newer than `seen` is published, `stop` is set or the time passes.
    // true when a newer frame is there.
    bool WaitNewer(uint64_t seen, const StopEvent& stop,
                   std::chrono::steady_clock::time_point until) const;
    // Waits until `until` unless `stop` is set first (precise, unlike a whole-millisecond
    // wait); true when stopped.
    bool WaitStop(const StopEvent& stop, std::chrono::steady_clock::time_point until) const;
    // Wakes waiters so they look at their stop event again.
    void Wake() const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable published_;
    mutable std::condition_variable woken_;  // WaitStop: not woken by every frame
    LightFrame front_;
    LightFrame back_;          // only the publishing thread touches it
    std::mutex publishMutex_;  // one publisher at a time (engines hand over at sync changes)
};

inline constexpr std::chrono::milliseconds kMinFrameInterval{10};

// When the next frame may go out: the newest unsent frame is sent as soon as 10 ms have passed
// since the previous send. Pure, so the cadence is tested on a simulated clock.
class FramePacer {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    // The earliest time a frame newer than the last sent one may go out; nullopt when there is
    // no newer frame.
    std::optional<TimePoint> NextSendAt(uint64_t newestSequence) const;
    void Sent(uint64_t sequence, TimePoint at);
    uint64_t LastSent() const { return lastSequence_; }

  private:
    uint64_t lastSequence_ = 0;
    std::optional<TimePoint> lastSend_;
};

// Where a device's frames go. Implemented over WriteLightFrame on a channel; tests record.
class LightFrameSink {
  public:
    virtual ~LightFrameSink() = default;
    // false while the device cannot take frames (detached): nothing is sent then.
    virtual bool Ready() const = 0;
    // A device result code (1 success).
    virtual int Send(std::span<const uint8_t> frame) = 0;
};

}  // namespace light
}  // namespace gmd
