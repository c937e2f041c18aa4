#pragma once
// Synchronised lighting on the devices: the synchronisation block, starting synchronisation,
// and the synchronised thread (worker 8), which steps the engine and publishes each taking
// part device's frame whole to that device's frame channel.

#include <array>
#include <cstdint>
#include <mutex>
#include <span>

#include "device/device_channel.h"
#include "keyboard_pad/sync_light_engine.h"
#include "mouse/light_frame_channel.h"
#include "platform/stop_event.h"

namespace gmd::sync_light {

// The 8-byte synchronisation block, shared by the UI thread and the synchronised thread.
class SyncBlock {
  public:
    void Set(std::span<const uint8_t, kSyncBlockSize> bytes);
    std::array<uint8_t, kSyncBlockSize> Bytes() const;
    SyncFields Fields() const;

  private:
    mutable std::mutex mutex_;
    std::array<uint8_t, kSyncBlockSize> bytes_{};
};

// What synchronising from a device does outside the pages: the source's light fields (its live
// block bytes 1-8) become the synchronisation block and every channel gets lightSync. The pages
// copy the fields into the other devices' live blocks themselves.
void StartSync(SyncBlock& block, std::span<const uint8_t, kSyncBlockSize> sourceFields,
               std::span<CDeviceChannel* const> channels);

// A device as the synchronised thread sees it; a null channel is a device not wired yet.
struct SyncDevice {
    CDeviceChannel* channel = nullptr;
    light::LightFrameChannel* frames = nullptr;
};

struct SyncLightContext {
    const SyncBlock& block;
    SyncDevice keyboard;
    SyncDevice mouse;
    SyncDevice mousepad;
    const KeyboardFrameLayout* keyboardLayout = nullptr;  // null: keyboard::SyncFrameLayout()
};

struct SyncLightTiming {
    int noDeviceWaitMs = 1000;
    int idleWaitMs = 100;  // nothing synchronised, or a mode without a step
};

// The thread's body until `stop` is set.
void RunSyncLightThread(SyncLightContext context, StopEvent& stop, SyncLightTiming timing = {});

}  // namespace gmd::sync_light
