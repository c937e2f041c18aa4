#include "device/hid_device.h"

#include <algorithm>
#include <cctype>
#include <map>
#include "platform/text.h"

namespace gmd {

namespace {

constexpr size_t kMaxInputEntries = 0xFFFF;
constexpr size_t kMaxUsageSlots = size_t{1} << 20;

uint16_t ParseMarkedHex(const std::string& path, const char* marker) {
    const size_t markerLength = 4;
    for (size_t i = 0; i + markerLength <= path.size(); ++i) {
        if (!EqualsIgnoreCase(std::string_view(path).substr(i, markerLength), marker)) {
            continue;
        }
        uint32_t value = 0;
        for (size_t k = i + markerLength; k < path.size(); ++k) {
            const auto c = static_cast<unsigned char>(path[k]);
            if (!std::isxdigit(c)) {
                break;
            }
            const int digit = std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
            value = (value << 4) | static_cast<uint32_t>(digit);
        }
        return static_cast<uint16_t>(value & 0xFFFFu);
    }
    return 0;
}

}  // namespace

uint16_t ParseVendorId(const std::string& path) {
    return ParseMarkedHex(path, "vid_");
}
uint16_t ParseProductId(const std::string& path) {
    return ParseMarkedHex(path, "pid_");
}

CHidDevice::CHidDevice(std::shared_ptr<HidBackend> backend) : backend_(std::move(backend)) {}

CHidDevice::~CHidDevice() {
    Close();
    FreePathList();
}

int CHidDevice::Enumerate(uint32_t& count) {
    pathCursor_ = 0;
    pathList_.clear();
    count = 0;
    if (!backend_) {
        return 0;
    }
    std::vector<std::string> paths;
    if (!backend_->Enumerate(paths)) {
        return 0;
    }
    pathList_ = std::move(paths);
    count = static_cast<uint32_t>(pathList_.size());
    return 1;
}

const std::string* CHidDevice::NextPath() {
    if (pathCursor_ >= pathList_.size()) {
        return nullptr;
    }
    return &pathList_[pathCursor_++];
}

void CHidDevice::FreePathList() {
    pathList_.clear();
    pathList_.shrink_to_fit();
    pathCursor_ = 0;
}

int CHidDevice::Open(const std::string& path, bool wantRead, bool wantWrite, bool overlapped,
                     bool exclusive) {
    Close();
    // Copy first: the argument may be this object's own path.
    const std::string target = path;
    mode_ = HidOpenMode{wantRead, wantWrite, overlapped, exclusive};
    std::lock_guard lock(mutex_);
    path_ = target.substr(0, kHidMaxPathLength);
    if (!backend_) {
        lastError_ = "no HID backend";
        return 0;
    }
    if (target.size() > kHidMaxPathLength) {
        lastError_ = "device path longer than " + std::to_string(kHidMaxPathLength) + " characters";
        return 0;
    }

    HidNodeInfo info;
    if (!backend_->Describe(target, info, lastError_)) {
        return 0;
    }
    ReportDescriptor descriptor;
    std::string parseError;
    if (!ParseReportDescriptor(info.reportDescriptor, descriptor, parseError)) {
        lastError_ = "report descriptor of " + target + ": " + parseError;
        return 0;
    }
    if (info.collectionIndex >= descriptor.collections.size()) {
        lastError_ = target + ": no such top-level collection";
        return 0;
    }
    HidCollection collection = std::move(descriptor.collections[info.collectionIndex]);

    HidReportFilter filter;
    filter.usesReportIds = descriptor.usesReportIds;
    filter.inputReportIds = collection.inputReportIds;
    std::unique_ptr<HidConnection> connection = backend_->Open(target, mode_, filter, lastError_);
    if (!connection) {
        return 0;
    }

    const std::vector<HidButtonCap> buttons = InputButtonCaps(collection);
    std::vector<HidValueUsage> values = InputValueUsages(collection);
    // A hostile descriptor could ask for more decoding state than any device needs.
    std::map<uint16_t, uint32_t> maxUsagesByPage;
    size_t usageSlots = 0;
    if (buttons.size() + values.size() <= kMaxInputEntries) {
        for (const HidButtonCap& cap : buttons) {
            auto [it, added] = maxUsagesByPage.try_emplace(cap.usagePage, 0);
            if (added) {
                it->second = MaxInputUsageListLength(collection, cap.usagePage);
            }
            usageSlots += it->second;
        }
    }
    if (buttons.size() + values.size() > kMaxInputEntries || usageSlots > kMaxUsageSlots) {
        lastError_ = "report descriptor of " + target + " describes too many input usages";
        return 0;
    }

    HidCaps caps;
    caps.Usage = collection.usage;
    caps.UsagePage = collection.usagePage;
    caps.InputReportByteLength = collection.inputReportByteLength;
    caps.OutputReportByteLength = collection.outputReportByteLength;
    caps.FeatureReportByteLength = collection.featureReportByteLength;
    caps.NumberInputButtonCaps = static_cast<uint16_t>(buttons.size());
    caps.NumberInputValueCaps = static_cast<uint16_t>(values.size());
    for (const HidField& field : collection.fields) {
        if (field.IsConstant() || field.kind == HidReportKind::Input) {
            continue;
        }
        const bool isButton = field.IsButton();
        uint16_t& counter =
            field.kind == HidReportKind::Output
                ? (isButton ? caps.NumberOutputButtonCaps : caps.NumberOutputValueCaps)
                : (isButton ? caps.NumberFeatureButtonCaps : caps.NumberFeatureValueCaps);
        if (counter < 0xFFFF) {
            ++counter;
        }
    }

    std::vector<HidDataEntry> entries;
    entries.reserve(buttons.size() + values.size());
    for (const HidButtonCap& cap : buttons) {
        HidDataEntry entry;
        entry.isButton = true;
        entry.usagePage = cap.usagePage;
        entry.reportId = cap.reportId;
        entry.usageMin = cap.usageMin;
        entry.usageMax = cap.usageMax;
        entry.maxUsages = maxUsagesByPage[cap.usagePage];
        entry.usages.assign(entry.maxUsages, 0);
        entries.push_back(std::move(entry));
    }
    for (size_t i = 0; i < values.size(); ++i) {
        HidDataEntry entry;
        entry.usagePage = values[i].usagePage;
        entry.reportId = values[i].reportId;
        entry.usage = values[i].usage;
        entry.valueIndex = i;
        entries.push_back(std::move(entry));
    }

    attributes_ = info.attributes;
    caps_ = caps;
    collection_ = std::move(collection);
    valueUsages_ = std::move(values);
    inputReport_.assign(caps.InputReportByteLength, 0);
    inputData_ = std::move(entries);
    connection_ = std::move(connection);
    lastError_.clear();
    return 1;
}

void CHidDevice::Close() {
    std::shared_ptr<HidConnection> connection;
    {
        std::lock_guard lock(mutex_);
        connection = std::move(connection_);
        connection_.reset();
        // inputReport stays: a reader on another thread may still be filling it. It is
        // replaced at the next Open by the thread that owns the handle.
        inputData_.clear();
        valueUsages_.clear();
        collection_ = HidCollection{};
    }
    // A transfer in progress holds its own reference; the cancel makes it return 0 at once and
    // the connection goes away with the last reference.
    if (connection && (reading_.load() || writing_.load())) {
        connection->Cancel();
    }
}

bool CHidDevice::IsOpen() const {
    std::lock_guard lock(mutex_);
    return connection_ != nullptr;
}

std::shared_ptr<HidConnection> CHidDevice::AcquireConnection(std::atomic<int>& flag) {
    std::lock_guard lock(mutex_);
    if (connection_) {
        // Set under the lock so a Close either sees the flag or this call sees no connection.
        flag.store(1);
    }
    return connection_;
}

int CHidDevice::Read(uint8_t* buffer, size_t length, uint32_t timeoutMs, size_t& bytesRead) {
    bytesRead = 0;
    std::shared_ptr<HidConnection> connection = AcquireConnection(reading_);
    if (!connection) {
        return 0;
    }
    const int result = connection->Read(buffer, length, timeoutMs, bytesRead);
    reading_.store(0);
    return result > 0 ? 1 : 0;
}

int CHidDevice::Write(const uint8_t* buffer, size_t length, uint32_t timeoutMs,
                      size_t& bytesWritten) {
    bytesWritten = 0;
    std::shared_ptr<HidConnection> connection = AcquireConnection(writing_);
    if (!connection) {
        return 0;
    }
    const int result = connection->Write(buffer, length, timeoutMs, bytesWritten);
    writing_.store(0);
    return result > 0 ? 1 : 0;
}

int CHidDevice::DecodeInputReport(const uint8_t* report, size_t length) {
    std::lock_guard lock(mutex_);
    if (report == nullptr || length == 0) {
        return 1;
    }
    const std::span<const uint8_t> bytes(report, length);
    std::vector<uint16_t> present;
    for (HidDataEntry& entry : inputData_) {
        if (entry.reportId != report[0]) {
            continue;
        }
        if (entry.isButton) {
            present.clear();
            entry.status = GetInputUsages(collection_, entry.usagePage, bytes, present);
            size_t kept = 0;
            for (uint16_t usage : present) {
                if (kept >= entry.maxUsages) {
                    break;
                }
                if (usage >= entry.usageMin && usage <= entry.usageMax) {
                    entry.usages[kept++] = usage;
                }
            }
            if (kept < entry.maxUsages) {
                entry.usages[kept] = 0;
            }
        } else {
            const HidValueUsage& value = valueUsages_[entry.valueIndex];
            uint32_t raw = 0;
            entry.status = GetInputUsageValue(collection_, value, bytes, raw);
            if (entry.status != kHidpStatusSuccess) {
                return 0;
            }
            entry.value = raw;
            int32_t scaled = 0;
            entry.status = GetInputScaledUsageValue(collection_, value, bytes, scaled);
            if (entry.status == kHidpStatusSuccess) {
                entry.scaledValue = scaled;
            }
        }
        entry.isSet = true;
    }
    return 1;
}

uint16_t CHidDevice::FirstButtonUsage() const {
    std::lock_guard lock(mutex_);
    if (inputData_.empty() || !inputData_.front().isButton || inputData_.front().usages.empty()) {
        return 0;
    }
    return inputData_.front().usages.front();
}

bool CHidDevice::IsPathPresent(const std::string& path) const {
    return backend_ && backend_->IsPathPresent(path);
}

std::string CHidDevice::Path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void CHidDevice::SetPath(const std::string& path) {
    std::lock_guard lock(mutex_);
    path_ = path.substr(0, kHidMaxPathLength);
}

HidCaps CHidDevice::Caps() const {
    std::lock_guard lock(mutex_);
    return caps_;
}

HidAttributes CHidDevice::Attributes() const {
    std::lock_guard lock(mutex_);
    return attributes_;
}

std::string CHidDevice::LastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

}  // namespace gmd
