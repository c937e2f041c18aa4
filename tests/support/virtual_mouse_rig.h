#pragma once
// A mouse channel connected to the emulated mouse on an in-process bus, and a wait that polls.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "device/device_channel.h"
#include "device/device_identity.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"

namespace gmd::test {

struct VirtualMouseRig {
    VirtualMouseRig() {
        mouse.Plug();
        const DeviceIdentity& id = kMouseCommandInterface;
        channel.SetIdentity(id.vendorId, id.productId, id.usage, id.usagePage);
        std::lock_guard lock(channel.IoLock());
        EXPECT_EQ(channel.FindAndOpen(), 1);
    }
    VirtualHidBus bus;
    emu::EmulatedDevice mouse{DeviceKind::Mouse, bus};
    CDeviceChannel channel{std::shared_ptr<HidBackend>(bus.MakeBackend())};
};

// Polls `done` until it holds; false when the limit passes first. The limit only matters when
// a test fails, so it is generous for sanitizer builds and busy machines.
inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace gmd::test
