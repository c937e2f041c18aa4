#pragma once
// The thread that takes a device's published lighting frames to the device: the newest complete
// frame at most once per 10 ms. A failed write neither stops it nor floods the log; the
// detection thread's detach deals with a device that has gone.

#include <span>
#include <string>

#include "device/device_channel.h"
#include "mouse/light_frame_channel.h"
#include "platform/stop_event.h"

namespace gmd::light {

// Sends over WriteLightFrame (command 18); not ready while the channel is not connected.
class ChannelFrameSink final : public LightFrameSink {
  public:
    explicit ChannelFrameSink(CDeviceChannel& channel) : channel_(channel) {}
    bool Ready() const override { return channel_.IsConnected(); }
    int Send(std::span<const uint8_t> frame) override;

  private:
    CDeviceChannel& channel_;
};

inline constexpr int kFailedFramePauseMs = 5;

// The sender's body, until `stop` is set. Waits on the frame channel (no polling): a device
// whose engine publishes nothing costs nothing. `device` names it in the log line.
void RunLightFrameSender(const LightFrameChannel& frames, LightFrameSink& sink, StopEvent& stop,
                         const std::string& device);

}  // namespace gmd::light
