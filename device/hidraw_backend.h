#pragma once
// Linux hidraw backend. The sysfs and /dev roots are parameters so tests run the real code on a
// fixture tree and on socketpair descriptors.

#include <string>

#include "device/hid_backend.h"

namespace gmd {

struct HidrawRoots {
    std::string sysClassHidraw =
        "/sys/class/hidraw";   // holds <name>/device/{uevent,report_descriptor}
    std::string dev = "/dev";  // holds the <name> nodes
};

class HidrawBackend final : public HidBackend {
  public:
    explicit HidrawBackend(HidrawRoots roots = {});
    bool Enumerate(std::vector<std::string>& paths) override;
    bool Describe(const std::string& path, HidNodeInfo& info, std::string& error) override;
    std::unique_ptr<HidConnection> Open(const std::string& path, const HidOpenMode& mode,
                                        const HidReportFilter& filter, std::string& error) override;
    bool IsPathPresent(const std::string& path) override;
    std::vector<HidBlockedNode> BlockedNodes(const DeviceIdentity& wanted) override;

  private:
    HidrawRoots roots_;
};

// A connection over an already open descriptor (a hidraw node, or a socketpair end in tests).
// Takes ownership of fd. Reads wait with poll() and an eventfd for cancel; writes go through a
// writer thread of the connection so a write time-out works although hidraw always polls writable.
std::unique_ptr<HidConnection> MakeFdHidConnection(int fd, HidReportFilter filter);

// For tests: the read() the connections call (nullptr restores the real one), to make a node
// whose poll says readable while every read answers EAGAIN.
using HidrawReadFunction = long (*)(int fd, void* buffer, unsigned long size);
void SetHidrawReadForTest(HidrawReadFunction read);

// Parses the HID_ID line of a uevent file body ("HID_ID=0003:00000C45:00007643").
bool ParseHidIdLine(const std::string& ueventText, uint16_t& vendorId, uint16_t& productId);

}  // namespace gmd
