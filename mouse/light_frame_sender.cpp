#include "mouse/light_frame_sender.h"

#include <algorithm>
#include <chrono>

#include "device/command_set.h"
#include "platform/debug_output.h"

namespace gmd::light {

namespace {
constexpr std::chrono::milliseconds kSendJitter{1};
}  // namespace

int ChannelFrameSink::Send(std::span<const uint8_t> frame) {
    return WriteLightFrame(channel_, frame);
}

void RunLightFrameSender(const LightFrameChannel& frames, LightFrameSink& sink, StopEvent& stop,
                         const std::string& device) {
    using Clock = std::chrono::steady_clock;
    StopEvent::SetAction wake(stop, [&frames] { frames.Wake(); });
    FramePacer pacer;
    LightFrame frame;
    bool failing = false;
    while (!stop.IsSet()) {
        // Sleep until a frame newer than the last sent one arrives.
        if (!frames.WaitNewer(pacer.LastSent(), stop, Clock::now() + std::chrono::hours(1))) {
            continue;
        }
        // Then until 10 ms have passed since the last send; newer frames replace it meanwhile.
        const auto due = pacer.NextSendAt(frames.Sequence());
        if (due && *due > Clock::now() && frames.WaitStop(stop, *due)) {
            break;
        }
        if (!frames.TakeNewer(pacer.LastSent(), frame)) {
            continue;
        }
        // The next send counts from when this one was due, so a late wake-up does not stretch
        // the cadence; by at most kSendJitter, so no two sends come closer than 9 ms.
        const auto now = Clock::now();
        pacer.Sent(frame.sequence, due ? std::max(*due, now - kSendJitter) : now);
        if (!sink.Ready()) {
            continue;  // detached: the frame is dropped, nothing is sent
        }
        const int result = sink.Send(frame.bytes);
        if (result == kResultSuccess) {
            failing = false;
            continue;
        }
        if (!failing) {
            DebugTrace(device + " light frame not sent: result " + std::to_string(result) + " (" +
                       DeviceResultText(result) + ")");
            failing = true;
        }
        stop.Wait(kFailedFramePauseMs);
    }
}

}  // namespace gmd::light
