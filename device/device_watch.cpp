#include "device/device_watch.h"

#include <mutex>
#include <string>

#include "device/device_identity.h"
#include "platform/debug_output.h"

namespace gmd {

namespace {

constexpr const char* kDetectionExitLine = "鼠标设备侦测线程设定退出";
constexpr const char* kMouseSyncExitLine = "鼠标同步线程设定测试退出";
constexpr const char* kKeyboardSyncExitLine = "键盘同步线程设定退出";

// A failed read on an interface that is still present is retried; this pause keeps a node
// that fails every read at once from turning the retries into a busy loop.
constexpr int kReadRetryPauseMs = 10;

enum class ReadLoopEnd { DeviceGone, Stopped };

// Reads event reports until the interface goes or `stop` is set. Setting `stop` closes `hid`
// (see RunSyncThread), which ends a read that is waiting.
ReadLoopEnd ReadEvents(CHidDevice& hid, const SyncThreadConfig& config, StopEvent& stop,
                       const std::function<void(uint16_t)>& onEvent) {
    const size_t length = hid.Caps().InputReportByteLength;
    std::vector<uint8_t>& report = hid.InputReport();
    const std::string path = hid.Path();
    for (;;) {
        if (config.checkStopBeforeRead && stop.Wait(1)) {
            return ReadLoopEnd::Stopped;
        }
        size_t bytesRead = 0;
        if (hid.Read(report.data(), length, kHidInfinite, bytesRead)) {
            // An empty report decodes to nothing and would hand over the previous code again.
            if (bytesRead > 0) {
                hid.DecodeInputReport(report.data(), bytesRead);
                onEvent(hid.FirstButtonUsage());
            }
            continue;
        }
        if (stop.IsSet()) {
            return ReadLoopEnd::Stopped;
        }
        if (!hid.IsPathPresent(path)) {
            return ReadLoopEnd::DeviceGone;
        }
        if (stop.Wait(kReadRetryPauseMs)) {
            return ReadLoopEnd::Stopped;
        }
    }
}

bool IsEventInterface(const CHidDevice& hid, const SyncThreadConfig& config) {
    const HidAttributes attributes = hid.Attributes();
    const HidCaps caps = hid.Caps();
    return attributes.vendorId == config.vendorId && attributes.productId == config.productId &&
           caps.UsagePage == kEventUsagePage && caps.Usage == kEventUsage &&
           caps.InputReportByteLength > 0;
}

}  // namespace

bool MouseDetectionPass(CDeviceChannel& mouse, const CDeviceChannel& keyboard,
                        const CDeviceChannel& mousepad, MouseWatchEvents& events, bool firstPass) {
    std::lock_guard lock(mouse.IoLock());
    if (!mouse.IsConnected()) {
        const int found = mouse.FindAndOpen();
        if (found < 0) {
            return false;
        }
        if (found > 0) {
            events.Attached();
            if (firstPass) {
                events.FirstPassConnected();
            }
        } else {
            events.Absent();
        }
        return true;
    }

    CHidDevice& hid = mouse.Hid();
    const bool keyboardConnected = keyboard.IsConnected();
    const bool mousepadConnected = mousepad.IsConnected();
    if (hid.IsPathPresent(hid.Path())) {
        events.StillPresent(keyboardConnected || mousepadConnected);
        return true;
    }
    mouse.SetConnected(false);
    mouse.SetLightSync(false);
    // The handle belongs to a device that is gone (or failed a write); the next scan opens the
    // interface afresh.
    hid.Close();
    events.Detached(keyboardConnected   ? MouseWatchEvents::Next::Keyboard
                    : mousepadConnected ? MouseWatchEvents::Next::Mousepad
                                        : MouseWatchEvents::Next::NoDevice);
    return true;
}

void RunMouseDetection(CDeviceChannel& mouse, const CDeviceChannel& keyboard,
                       const CDeviceChannel& mousepad, StopEvent& stop, MouseWatchEvents& events,
                       MouseDetectionTiming timing) {
    stop.Reset();
    bool firstPass = true;
    while (!stop.Wait(1)) {
        if (!MouseDetectionPass(mouse, keyboard, mousepad, events, firstPass)) {
            break;
        }
        firstPass = false;
        stop.Wait(timing.passMs);
    }
    DebugTrace(kDetectionExitLine);
}

void RunSyncThread(std::shared_ptr<HidBackend> backend, const SyncThreadConfig& config,
                   StopEvent& stop, const std::function<void(uint16_t code)>& onEvent) {
    stop.Reset();
    CHidDevice hid(std::move(backend));
    // The read waits without a time-out; closing the handle is what ends it at shutdown.
    const StopEvent::SetAction closeOnStop(stop, [&hid] { hid.Close(); });

    while (!stop.Wait(1)) {
        uint32_t count = 0;
        if (!hid.Enumerate(count)) {
            break;
        }
        bool attached = false;
        while (const std::string* path = hid.NextPath()) {
            if (path->empty()) {
                break;
            }
            if (ParseVendorId(*path) != config.vendorId ||
                ParseProductId(*path) != config.productId) {
                continue;
            }
            if (hid.Open(*path, true, false, true, false) && IsEventInterface(hid, config)) {
                attached = true;
                break;
            }
            hid.Close();
        }
        hid.FreePathList();
        if (attached) {
            // A stop that came while the handle was being opened closed nothing; see it here,
            // before a read that would wait for ever.
            const ReadLoopEnd end =
                stop.IsSet() ? ReadLoopEnd::Stopped : ReadEvents(hid, config, stop, onEvent);
            hid.Close();
            if (end == ReadLoopEnd::Stopped) {
                break;
            }
            // The reads end only when the interface has gone, so the thread searches again
            // even if a replugged device already sits at the same path.
        }
        stop.Wait(config.searchMs);
    }
    DebugTrace(config.exitLine);
}

SyncThreadConfig MouseSyncConfig() {
    SyncThreadConfig config;
    config.vendorId = kVendorId;
    config.productId = kMouseProductId;
    config.checkStopBeforeRead = false;
    config.exitLine = kMouseSyncExitLine;
    return config;
}

SyncThreadConfig KeyboardSyncConfig() {
    SyncThreadConfig config;
    config.vendorId = kVendorId;
    config.productId = kKeyboardProductId;
    config.checkStopBeforeRead = true;
    config.exitLine = kKeyboardSyncExitLine;
    return config;
}

}  // namespace gmd
