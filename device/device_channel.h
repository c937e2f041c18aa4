#pragma once
// CDeviceChannel: a device's command channel. One 64-byte request, one 64-byte reply.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/hid_device.h"

namespace gmd {

// Result codes of transactions and commands.
enum DeviceResult : int {
    kResultSuccess = 1,
    kResultNoReply = 0,  // also: not connected, nothing sent
    kResultWriteFailed = -1,
    kResultStatusFF = -102,
    kResultStatusFE = -103,
    kResultBadBank = -201,
};

// A short English explanation of a result code, for tools and logs.
const char* DeviceResultText(int result);

inline constexpr uint32_t kTransactWriteTimeoutMs = 1000;
inline constexpr uint32_t kTransactReadTimeoutMs = 300;
inline constexpr int kTransactTries = 4;
inline constexpr uint16_t kMaxImageSize = 512;

class CDeviceChannel {
  public:
    explicit CDeviceChannel(std::shared_ptr<HidBackend> backend);
    CDeviceChannel(const CDeviceChannel&) = delete;
    CDeviceChannel& operator=(const CDeviceChannel&) = delete;

    void SetIdentity(uint16_t vendorId, uint16_t productId, uint16_t usage, uint16_t usagePage);
    // Sizes above 512 are refused (0) and leave the size as it was.
    int SetImageSize(uint16_t size);
    uint16_t ImageSize() const { return imageSize_.load(); }

    bool IsConnected() const { return connected_.load() != 0; }
    void SetConnected(bool connected) { connected_.store(connected ? 1 : 0); }
    bool LightSync() const { return lightSync_.load() != 0; }
    void SetLightSync(bool on) { lightSync_.store(on ? 1 : 0); }

    uint16_t VendorId() const { return vendorId_; }
    uint16_t ProductId() const { return productId_; }
    uint16_t Usage() const { return usage_; }
    uint16_t UsagePage() const { return usagePage_; }

    // Up to four tries of write (1000 ms) and read (300 ms). 1, 0 or -1.
    int Transact(const uint8_t* request, size_t requestLength, uint8_t* reply, size_t replyLength,
                 size_t& replyBytes);
    // One write and one read into the same 64-byte buffer, no retry, no status check. 1 or 0.
    int TransactOnce(uint8_t* report, size_t length);

    // Walks the present interfaces and opens the first one that matches the identity: vendor
    // in the path, then vendor, product, usage page and usage of the opened collection. The
    // caller holds IoLock(). Marks the channel connected on success. 1 found, 0 not found,
    // -1 enumeration failed. A search that found nothing also notes the present nodes of the
    // identity that could not be opened (see BlockedNodes).
    int FindAndOpen();
    // The nodes of the identity that the last FindAndOpen found present but could not open
    // (none once the device is open). Safe from any thread.
    std::vector<HidBlockedNode> BlockedNodes() const;

    CHidDevice& Hid() { return hid_; }
    std::mutex& IoLock() { return ioLock_; }

  private:
    // Drops input reports that arrived after an earlier request gave up on them, so they are
    // not taken as the reply to the next request. Caller holds ioLock_.
    void DropStaleReplies();

    std::atomic<uint16_t> imageSize_{kMaxImageSize};
    uint16_t vendorId_ = 0;
    uint16_t productId_ = 0;
    uint16_t usage_ = 0;
    uint16_t usagePage_ = 0;
    std::atomic<int> connected_{0};
    std::atomic<int> lightSync_{0};
    std::shared_ptr<HidBackend> backend_;
    CHidDevice hid_;
    std::mutex ioLock_;
    mutable std::mutex blockedMutex_;
    std::vector<HidBlockedNode> blocked_;
};

}  // namespace gmd
