#include "device/device_channel.h"

#include <algorithm>
#include <cstring>

#include "device/command_report.h"

namespace gmd {

const char* DeviceResultText(int result) {
    switch (result) {
        case kResultSuccess:
            return "success";
        case kResultNoReply:
            return "device not connected or no reply";
        case kResultWriteFailed:
            return "writing to the device failed";
        case kResultStatusFF:
            return "the device answered with error status 0xFF";
        case kResultStatusFE:
            return "the device answered with error status 0xFE";
        case kResultBadBank:
            return "bank index above 4";
        default:
            return "unknown result";
    }
}

CDeviceChannel::CDeviceChannel(std::shared_ptr<HidBackend> backend)
    : backend_(backend), hid_(std::move(backend)) {}

void CDeviceChannel::SetIdentity(uint16_t vendorId, uint16_t productId, uint16_t usage,
                                 uint16_t usagePage) {
    vendorId_ = vendorId;
    productId_ = productId;
    usage_ = usage;
    usagePage_ = usagePage;
    connected_.store(0);
}

int CDeviceChannel::SetImageSize(uint16_t size) {
    if (size > kMaxImageSize) {
        return 0;
    }
    imageSize_.store(size);
    return 1;
}

void CDeviceChannel::DropStaleReplies() {
    CommandReport scratch{};
    size_t ignored = 0;
    // Bounded: a device cannot have queued more replies than a handful of abandoned tries.
    for (int i = 0; i < 16 && hid_.Read(scratch.data(), scratch.size(), 0, ignored) > 0; ++i) {
    }
}

int CDeviceChannel::Transact(const uint8_t* request, size_t requestLength, uint8_t* reply,
                             size_t replyLength, size_t& replyBytes) {
    replyBytes = 0;
    // A device marked failed (a failed write, a read-out it did not answer) is not tried again
    // until the detection thread has opened it afresh.
    if (!IsConnected() || hid_.Path() == " ") {
        return kResultNoReply;
    }
    CommandReport report{};
    std::memcpy(report.data(), request, std::min(requestLength, kReportSize));

    for (int attempt = 0; attempt < kTransactTries; ++attempt) {
        // Held over the write and the read of one try so that replies pair with requests.
        std::lock_guard lock(ioLock_);
        DropStaleReplies();
        size_t written = 0;
        if (hid_.Write(report.data(), kReportSize, kTransactWriteTimeoutMs, written) <= 0) {
            hid_.SetPath(" ");
            return kResultWriteFailed;
        }
        if (hid_.Read(reply, replyLength, kTransactReadTimeoutMs, replyBytes) > 0) {
            return kResultSuccess;
        }
    }
    return kResultNoReply;
}

int CDeviceChannel::TransactOnce(uint8_t* report, size_t length) {
    if (!IsConnected()) {
        return kResultNoReply;
    }
    CommandReport buffer{};
    std::memcpy(buffer.data(), report, std::min(length, kReportSize));
    std::lock_guard lock(ioLock_);
    DropStaleReplies();
    size_t transferred = 0;
    hid_.Write(buffer.data(), kReportSize, kTransactWriteTimeoutMs, transferred);
    const int result = hid_.Read(buffer.data(), kReportSize, kTransactReadTimeoutMs, transferred);
    std::memcpy(report, buffer.data(), std::min(length, kReportSize));
    return result > 0 ? kResultSuccess : kResultNoReply;
}

int CDeviceChannel::FindAndOpen() {
    uint32_t count = 0;
    if (!hid_.Enumerate(count)) {
        return -1;
    }
    int found = 0;
    while (const std::string* path = hid_.NextPath()) {
        if (path->empty()) {
            break;
        }
        if (ParseVendorId(*path) != vendorId_) {
            continue;
        }
        if (hid_.Open(*path, true, true, true, false)) {
            const HidAttributes attributes = hid_.Attributes();
            const HidCaps caps = hid_.Caps();
            if (attributes.vendorId == vendorId_ && attributes.productId == productId_ &&
                caps.UsagePage == usagePage_ && caps.Usage == usage_) {
                connected_.store(1);
                found = 1;
                break;
            }
        }
        hid_.Close();
    }
    hid_.FreePathList();
    std::vector<HidBlockedNode> blocked;
    if (found == 0 && backend_) {
        blocked = backend_->BlockedNodes({vendorId_, productId_, usagePage_, usage_});
    }
    std::lock_guard lock(blockedMutex_);
    blocked_ = std::move(blocked);
    return found;
}

std::vector<HidBlockedNode> CDeviceChannel::BlockedNodes() const {
    std::lock_guard lock(blockedMutex_);
    return blocked_;
}

}  // namespace gmd
