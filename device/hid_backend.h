#pragma once
// The HID access layer behind CHidDevice: a backend lists top-level collections, describes
// them and opens them. Two implementations: Linux hidraw and the in-process virtual bus.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/device_identity.h"

namespace gmd {

inline constexpr uint32_t kHidInfinite = 0xFFFFFFFFu;

struct HidAttributes {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t versionNumber = 0;
};

struct HidOpenMode {
    bool read = false;
    bool write = false;
    bool overlapped = false;
    bool exclusive = false;
};

// What a backend knows about one collection path before it is opened.
struct HidNodeInfo {
    HidAttributes attributes;
    std::vector<uint8_t> reportDescriptor;  // the whole descriptor of the node
    size_t collectionIndex = 0;             // which top-level collection of it the path names
};

// Which input reports belong to the opened collection. Reports handed to and taken from a
// connection always start with the report ID byte, 0 when the descriptor uses no report IDs.
struct HidReportFilter {
    bool usesReportIds = false;
    std::vector<uint8_t> inputReportIds;
};

// One open collection. Read and Write return 1 on success, 0 on failure, time-out or cancel.
class HidConnection {
  public:
    virtual ~HidConnection() = default;
    virtual int Read(uint8_t* buffer, size_t length, uint32_t timeoutMs, size_t& bytesRead) = 0;
    virtual int Write(const uint8_t* buffer, size_t length, uint32_t timeoutMs,
                      size_t& bytesWritten) = 0;
    // Ends one transfer that is waiting (or the next one to wait) at once, like an auto-reset
    // event.
    virtual void Cancel() = 0;
};

// A present node of a wanted interface that could not be opened: the node and the system's
// error number (EACCES when this user may not open it).
struct HidBlockedNode {
    std::string node;
    int error = 0;
};

class HidBackend {
  public:
    virtual ~HidBackend() = default;
    // One path per top-level collection of every present HID node, in a stable order.
    virtual bool Enumerate(std::vector<std::string>& paths) = 0;
    virtual bool Describe(const std::string& path, HidNodeInfo& info, std::string& error) = 0;
    virtual std::unique_ptr<HidConnection> Open(const std::string& path, const HidOpenMode& mode,
                                                const HidReportFilter& filter,
                                                std::string& error) = 0;
    // Whether the node behind the path is still attached; opens nothing that needs rights.
    virtual bool IsPathPresent(const std::string& path) = 0;
    // The present nodes carrying the interface that cannot be opened for reading and writing,
    // so a user can be told why a device that is plugged in is not found. None where the
    // backend opens whatever it lists.
    virtual std::vector<HidBlockedNode> BlockedNodes(const DeviceIdentity& /*wanted*/) {
        return {};
    }
};

// Collection paths carry Windows-style markers so the vendor and product can be read from the
// path itself: "<node>#vid_0c45&pid_7643&col_1" (col counts top-level collections from 0).
std::string MakeCollectionPath(const std::string& node, uint16_t vendorId, uint16_t productId,
                               size_t collectionIndex);
// Splits such a path; false when it has no "#...col_N" suffix.
bool SplitCollectionPath(const std::string& path, std::string& node, size_t& collectionIndex);

}  // namespace gmd
