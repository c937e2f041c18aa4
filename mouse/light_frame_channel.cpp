#include "mouse/light_frame_channel.h"

#include "platform/stop_event.h"

namespace gmd::light {

void LightFrameChannel::Publish(std::span<const Led> leds, std::span<const uint8_t> bytes) {
    std::lock_guard publishing(publishMutex_);
    back_.leds.assign(leds.begin(), leds.end());
    back_.bytes.assign(bytes.begin(), bytes.end());
    {
        std::lock_guard lock(mutex_);
        back_.sequence = front_.sequence + 1;
        std::swap(front_, back_);
    }
    published_.notify_all();
}

LightFrame LightFrameChannel::Latest() const {
    std::lock_guard lock(mutex_);
    return front_;
}

uint64_t LightFrameChannel::Sequence() const {
    std::lock_guard lock(mutex_);
    return front_.sequence;
}

bool LightFrameChannel::TakeNewer(uint64_t seen, LightFrame& frame) const {
    std::lock_guard lock(mutex_);
    if (front_.sequence <= seen) {
        return false;
    }
    frame.sequence = front_.sequence;
    frame.leds = front_.leds;
    frame.bytes = front_.bytes;
    return true;
}

bool LightFrameChannel::WaitNewer(uint64_t seen, const StopEvent& stop,
                                  std::chrono::steady_clock::time_point until) const {
    std::unique_lock lock(mutex_);
    published_.wait_until(lock, until, [&] { return front_.sequence > seen || stop.IsSet(); });
    return front_.sequence > seen;
}

bool LightFrameChannel::WaitStop(const StopEvent& stop,
                                 std::chrono::steady_clock::time_point until) const {
    std::unique_lock lock(mutex_);
    return woken_.wait_until(lock, until, [&] { return stop.IsSet(); });
}

void LightFrameChannel::Wake() const {
    { std::lock_guard lock(mutex_); }
    published_.notify_all();
    woken_.notify_all();
}

std::optional<FramePacer::TimePoint> FramePacer::NextSendAt(uint64_t newestSequence) const {
    if (newestSequence <= lastSequence_) {
        return std::nullopt;
    }
    if (!lastSend_) {
        return TimePoint::min();
    }
    return *lastSend_ + kMinFrameInterval;
}

void FramePacer::Sent(uint64_t sequence, TimePoint at) {
    lastSequence_ = sequence;
    lastSend_ = at;
}

}  // namespace gmd::light
