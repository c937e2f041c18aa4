#pragma once
// A mouse channel connected to the scripted backend, with an echoing device by default.

#include <gtest/gtest.h>

#include "device/command_report.h"
#include "device/device_channel.h"
#include "device/device_identity.h"
#include "tests/support/fake_hid_backend.h"

namespace gmd::test {

// Echoes the request's header with status `status` and fills the payload with `fill`.
inline FakeLink::Responder EchoDevice(uint8_t status = 0, uint8_t fill = 0xA5) {
    return [status, fill](std::span<const uint8_t> request) -> std::optional<std::vector<uint8_t>> {
        std::vector<uint8_t> reply(kReportSize, fill);
        std::copy_n(request.begin(), 7, reply.begin());
        reply[report_byte::kStatus] = status;
        return reply;
    };
}

class ChannelFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        backend_->nodes.push_back(MouseCommandNode());
        backend_->link->responder = EchoDevice();
        channel_.SetIdentity(kVendorId, kMouseProductId, kCommandUsage, kCommandUsagePage);
        std::lock_guard lock(channel_.IoLock());
        ASSERT_EQ(channel_.FindAndOpen(), 1);
        ASSERT_TRUE(channel_.IsConnected());
    }
    FakeLink& Link() { return *backend_->link; }
    const std::vector<std::vector<uint8_t>>& Writes() { return backend_->link->writes; }

    std::shared_ptr<FakeHidBackend> backend_ = std::make_shared<FakeHidBackend>();
    CDeviceChannel channel_{backend_};
};

}  // namespace gmd::test
