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

// What the mouse lighting thread shares with the rest of the program.
struct MouseLightShared {
    light::LightFrameChannel frames;        // read by the sender and the preview
    std::atomic<bool> flashRequest{false};  // raised by the mouse sync thread on event 0x403
    std::atomic<bool> resetRequest{false};  // ResetEffects, taken by the thread at its next step
};

struct MouseLightContext {
    CDeviceChannel& channel;
    MouseBlocks& blocks;  // light fields read under lightMutex
    MouseLightShared& shared;
};

// Choosing a lighting mode for the mouse: the effects are reset, mode 0 turns the colour cycle
// on, and the mouse leaves synchronised lighting. The page marks and stores the change.
void ChooseMouseLightMode(MouseBlocks& blocks, CDeviceChannel& channel, MouseLightShared& shared,
                          uint8_t mode);

// The thread's body until `stop` is set. Steps are paced on absolute deadlines, so a step's
// own time does not slow the animation.
void RunMouseLightThread(MouseLightContext context, StopEvent& stop, MouseLightTiming timing = {});

}  // namespace gmd::mouse
