#include "mouse/light_frame_sender.h"

#include <chrono>

#include "device/command_set.h"
#include "platform/debug_output.h"

namespace gmd::light {

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
        if (const auto at = pacer.NextSendAt(frames.Sequence());
            at && *at > Clock::now() && frames.WaitStop(stop, *at)) {
            break;
        }
        if (!frames.TakeNewer(pacer.LastSent(), frame)) {
            continue;
        }
        pacer.Sent(frame.sequence, Clock::now());
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
