#pragma once
// The worker-thread bodies that watch the devices: the mouse detection thread (connects and
// disconnects the mouse channel) and the sync threads (event reports of a device's Consumer
// Control interface). They only signal what happened; the window turns that into work on the
// UI thread, so nothing here waits for the UI thread while holding a channel lock.

#include <cstdint>
#include <functional>
#include <memory>

#include "device/device_channel.h"
#include "platform/stop_event.h"

namespace gmd {

inline constexpr int kDetectionPassMs = 1000;
inline constexpr int kSyncSearchMs = 1000;
inline constexpr int kSyncAttachedMs = 100;

// What the mouse detection thread reports. Called on the detection thread with the mouse
// channel's lock held: implementations post and return, they never wait for the UI thread.
class MouseWatchEvents {
  public:
    virtual ~MouseWatchEvents() = default;
    // First pass only, when the mouse connected on it: bring the window forward.
    virtual void FirstPassConnected() = 0;
    // The mouse connected: select the stored device profile, arm the read-out, show its tab.
    virtual void Attached() = 0;
    // The mouse went. next: which tab takes over (none: the no-device message).
    enum class Next { Keyboard, Mousepad, NoDevice };
    virtual void Detached(Next next) = 0;
    // A pass that found the mouse still there: show synchronised lighting when another device
    // is connected.
    virtual void StillPresent(bool otherDeviceConnected) = 0;
    // A pass that looked for the mouse and did not find it (also the first pass of a start
    // without it): the window says what it knows, the channel's blocked nodes included.
    virtual void Absent() = 0;
};

struct MouseDetectionTiming {
    int passMs = kDetectionPassMs;
};

// The detection thread's body: resets `stop`, then one pass per period until `stop` is set.
// Ends (with its exit line) also when enumeration fails.
void RunMouseDetection(CDeviceChannel& mouse, const CDeviceChannel& keyboard,
                       const CDeviceChannel& mousepad, StopEvent& stop, MouseWatchEvents& events,
                       MouseDetectionTiming timing = {});

// One detection pass, for tests and benchmarks (the thread body is a loop of these). Takes the
// mouse channel's lock for the pass. Returns false when enumeration failed.
bool MouseDetectionPass(CDeviceChannel& mouse, const CDeviceChannel& keyboard,
                        const CDeviceChannel& mousepad, MouseWatchEvents& events, bool firstPass);

struct SyncThreadConfig {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    // The keyboard's thread looks at its stop event before every read; the mouse's does not,
    // but both blocking reads are ended by `stop` being set, so shutdown never waits on them.
    bool checkStopBeforeRead = false;
    const char* exitLine = "";
    int searchMs = kSyncSearchMs;
    int attachedMs = kSyncAttachedMs;
};

// A sync thread's body: finds the Consumer Control interface (usage page 0x0C, usage 1) of the
// device, reads its event reports and hands each event code (first button usage) to `onEvent`
// on this thread. `onEvent` may wait for the UI thread: no lock is held. A failed read on an
// interface that is still there is retried after a short pause; once it has gone, the thread
// searches again.
void RunSyncThread(std::shared_ptr<HidBackend> backend, const SyncThreadConfig& config,
                   StopEvent& stop, const std::function<void(uint16_t code)>& onEvent);

SyncThreadConfig MouseSyncConfig();     // 0x0C45/0x7643, exit line of the mouse sync thread
SyncThreadConfig KeyboardSyncConfig();  // 0x0C45/0x6556, checks stop before each read

}  // namespace gmd
