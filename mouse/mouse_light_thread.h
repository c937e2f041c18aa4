#pragma once
// The mouse lighting thread (worker 6): steps the mouse engine on its period and publishes each
// frame whole. While the mouse is detached or synchronised it computes nothing.

#include <atomic>

#include "device/device_channel.h"
#include "mouse/light_frame_channel.h"
#include "mouse/mouse_blocks.h"
#include "mouse/mouse_light_engine.h"
#include "platform/stop_event.h"

namespace gmd::mouse {

struct MouseLightTiming {
    int startDelayMs = 3000;
    int idleWaitMs = 100;  // detached or synchronised: look again after this
};

struct MouseLightContext {
    CDeviceChannel& channel;
    MouseBlocks& blocks;  // light fields read under lightMutex
    light::LightFrameChannel& frames;
    // Raised by the mouse sync thread on event 0x403; mode 6 takes it.
    std::atomic<bool>& flashRequest;
    // Effect state: the thread owns it while it runs. Effects are reset through ResetRequest.
    std::atomic<bool>& resetRequest;
};

// The thread's body until `stop` is set. Steps are paced on absolute deadlines, so a step's
// own time does not slow the animation.
void RunMouseLightThread(MouseLightContext context, StopEvent& stop, MouseLightTiming timing = {});

}  // namespace gmd::mouse
