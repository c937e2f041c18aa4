#pragma once
// CHidDevice: one opened HID top-level collection and the holder of one enumeration list.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/hid_backend.h"
#include "device/report_descriptor.h"

namespace gmd {

struct HidCaps {
    uint16_t Usage = 0;
    uint16_t UsagePage = 0;
    uint16_t InputReportByteLength = 0;
    uint16_t OutputReportByteLength = 0;
    uint16_t FeatureReportByteLength = 0;
    uint16_t NumberInputButtonCaps = 0;
    uint16_t NumberInputValueCaps = 0;
    uint16_t NumberOutputButtonCaps = 0;
    uint16_t NumberOutputValueCaps = 0;
    uint16_t NumberFeatureButtonCaps = 0;
    uint16_t NumberFeatureValueCaps = 0;
};

// One decoding entry: a button capability or one value usage of the input reports.
struct HidDataEntry {
    bool isButton = false;
    uint16_t usagePage = 0;
    uint32_t status = kHidpStatusSuccess;
    uint32_t reportId = 0;
    bool isSet = false;
    // button part
    uint32_t usageMin = 0;
    uint32_t usageMax = 0;
    uint32_t maxUsages = 0;
    std::vector<uint16_t> usages;
    // value part
    uint16_t usage = 0;
    uint32_t value = 0;
    int32_t scaledValue = 0;
    // where the entry comes from in the parsed collection
    size_t valueIndex = 0;
};

// Longest path text kept, as the Windows path field holds 260 code units with its terminator.
inline constexpr size_t kHidMaxPathLength = 259;

class CHidDevice {
  public:
    explicit CHidDevice(std::shared_ptr<HidBackend> backend);
    ~CHidDevice();
    CHidDevice(const CHidDevice&) = delete;
    CHidDevice& operator=(const CHidDevice&) = delete;

    // Fills the path list; count receives its length. 1 success, 0 failure (nothing kept).
    int Enumerate(uint32_t& count);
    // The next path of the list, or nullptr at its end. The text stays owned by the list.
    const std::string* NextPath();
    void FreePathList();

    // Closes what is open, keeps mode and path, opens and reads the collection's capabilities.
    // A path longer than kHidMaxPathLength is refused rather than cut to another name.
    int Open(const std::string& path, bool wantRead, bool wantWrite, bool overlapped,
             bool exclusive);
    // Abandons a transfer in progress (it returns 0 at once), frees the per-open state.
    void Close();
    bool IsOpen() const;

    // One report each way; timeoutMs may be kHidInfinite. 1 success, 0 failure/time-out/cancel.
    int Read(uint8_t* buffer, size_t length, uint32_t timeoutMs, size_t& bytesRead);
    int Write(const uint8_t* buffer, size_t length, uint32_t timeoutMs, size_t& bytesWritten);

    // Fills inputData from one input report (byte 0 = report ID). 1, or 0 on a value failure.
    int DecodeInputReport(const uint8_t* report, size_t length);
    // First usage of the first button entry after decoding: the event code of an event report.
    uint16_t FirstButtonUsage() const;

    // Whether the node behind a path is still attached.
    bool IsPathPresent(const std::string& path) const;

    std::string Path() const;
    void SetPath(const std::string& path);  // the channel marks a failed device with " "
    HidCaps Caps() const;
    HidAttributes Attributes() const;
    // The last open error, for tools that want to tell the user why.
    std::string LastError() const;

    // Owned by the thread that reads and decodes; valid while open.
    std::vector<uint8_t>& InputReport() { return inputReport_; }
    const std::vector<HidDataEntry>& InputData() const { return inputData_; }

    uint32_t PathCount() const { return static_cast<uint32_t>(pathList_.size()); }
    bool Reading() const { return reading_.load(); }
    bool Writing() const { return writing_.load(); }
    HidOpenMode Mode() const { return mode_; }

  private:
    std::shared_ptr<HidConnection> AcquireConnection(std::atomic<int>& flag);

    std::shared_ptr<HidBackend> backend_;
    std::vector<std::string> pathList_;
    uint32_t pathCursor_ = 0;
    HidOpenMode mode_;

    mutable std::mutex mutex_;  // guards the fields below against a Close from another thread
    std::shared_ptr<HidConnection> connection_;
    std::string path_;
    std::string lastError_;
    HidCaps caps_;
    HidAttributes attributes_;
    HidCollection collection_;
    std::vector<HidValueUsage> valueUsages_;
    std::vector<uint8_t> inputReport_;
    std::vector<HidDataEntry> inputData_;

    std::atomic<int> reading_{0};
    std::atomic<int> writing_{0};
};

// "vid_" / "pid_" markers, found without regard to case; hex digits up to the first non-digit.
uint16_t ParseVendorId(const std::string& path);
uint16_t ParseProductId(const std::string& path);

}  // namespace gmd
