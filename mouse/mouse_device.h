#pragma once
// The mouse's device-side sequences over its command channel: read-out, refresh on request,
// sending the live block, onboard profile switching, factory reset. No UI here: callers run
// the image-to-controls pass and store the profiles.

#include "device/device_channel.h"
#include "mouse/mouse_blocks.h"

namespace gmd::mouse {

// Session, information block, current image, the five bank images, then the live block from
// host block 0 with profile index 0; sets the full-refresh flag. Stops at the first step that
// fails after its tries, leaving its buffer and the rest as they were, and marks the device as
// failed (its path " ") so that later transactions end at once and the detection thread
// detaches it; returns that step's result, else kResultSuccess.
int ReadOutMouse(CDeviceChannel& channel, MouseBlocks& blocks);

// The active onboard profile again (the mouse asked for it). Sets the full-refresh flag when
// the light mode changed; returns that. A read that fails ends it as ReadOutMouse ends.
bool RefreshMouseOnRequest(CDeviceChannel& channel, MouseBlocks& blocks);

// The live block and 10 zero bytes to address 0. The device result.
int SendMouseLive(CDeviceChannel& channel, const MouseBlocks& blocks);

enum class SwitchOutcome {
    Ignored,        // index outside 0-4: nothing sent
    AlreadyActive,  // the mouse is on it already: only the 1-byte read was sent
    Switched,
};
SwitchOutcome SwitchOnboardProfile(CDeviceChannel& channel, MouseBlocks& blocks, int index);

}  // namespace gmd::mouse
