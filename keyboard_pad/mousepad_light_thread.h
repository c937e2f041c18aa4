#pragma once
// The mousepad lighting thread (worker 7): steps the mousepad engine on its period and publishes
// each frame whole. While the mousepad is detached or synchronised it computes nothing.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "device/device_channel.h"
#include "keyboard_pad/mousepad_light_engine.h"
#include "mouse/light_frame_channel.h"
#include "platform/stop_event.h"

namespace gmd::mousepad {

struct PadLightTiming {
    int startDelayMs = 3000;
    int idleWaitMs = 100;
};

// What the mousepad lighting thread shares with the rest of the program; the driver copies the
// live block's light fields in under its own lock.
class PadLightShared {
  public:
    light::LightFrameChannel frames;
    std::atomic<bool> flashRequest{false};  // raised on event 0x403

    void SetFields(const PadLightFields& fields);
    void RequestModeChoice(uint8_t mode);
    // The thread's side: the fields, and a mode choice made since the last take.
    PadLightFields Take(std::optional<uint8_t>& choice);

  private:
    std::mutex mutex_;
    PadLightFields fields_;
    std::optional<uint8_t> choice_;
};

// Choosing a mousepad lighting mode: the effects restart for it and the mousepad leaves
// synchronised lighting.
void ChoosePadLightMode(PadLightShared& shared, CDeviceChannel& channel, uint8_t mode);

struct PadLightContext {
    CDeviceChannel& channel;
    PadLightShared& shared;
};

void RunPadLightThread(PadLightContext context, StopEvent& stop, PadLightTiming timing = {});

}  // namespace gmd::mousepad
