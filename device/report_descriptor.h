#pragma once
// HID report descriptor parser and input-report decoding, shaped after the Windows HidP view
// (button capabilities, value capabilities, report byte lengths including the report ID byte).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace gmd {

// Status values in the Windows HidP numbering, kept because they land in HidDataEntry::status.
inline constexpr uint32_t kHidpStatusSuccess = 0x00110000u;
inline constexpr uint32_t kHidpStatusInvalidReportLength = 0xC0110003u;
inline constexpr uint32_t kHidpStatusUsageNotFound = 0xC0110004u;
inline constexpr uint32_t kHidpStatusValueOutOfRange = 0xC0110005u;
inline constexpr uint32_t kHidpStatusBadLogPhyValues = 0xC0110006u;
inline constexpr uint32_t kHidpStatusBufferTooSmall = 0xC0110007u;
inline constexpr uint32_t kHidpStatusIncompatibleReportId = 0xC0110010u;

enum class HidReportKind : uint8_t { Input, Output, Feature };

// One Input, Output or Feature main item.
struct HidField {
    HidReportKind kind = HidReportKind::Input;
    uint8_t reportId = 0;      // 0 when the descriptor uses no report IDs
    uint32_t bitOffset = 0;    // from the first data byte, i.e. after the report ID byte
    uint32_t reportSize = 0;   // bits per element
    uint32_t reportCount = 0;  // elements
    uint32_t flags = 0;        // main item data: bit 0 constant, bit 1 variable, bit 2 relative
    uint16_t usagePage = 0;    // page of the field's first usage
    // Usages as 32-bit extended usages (page << 16 | id). Either a list (one per element for
    // variable items; the last one repeats) or a range when hasRange is set.
    std::vector<uint32_t> usages;
    bool hasRange = false;
    uint32_t usageMin = 0;
    uint32_t usageMax = 0;
    int32_t logicalMin = 0;
    int32_t logicalMax = 0;
    int32_t physicalMin = 0;
    int32_t physicalMax = 0;

    bool IsConstant() const { return (flags & 1u) != 0; }
    bool IsArray() const { return (flags & 2u) == 0; }
    // Arrays and 1-bit variable fields are buttons in the HidP sense; the rest are values.
    bool IsButton() const { return IsArray() || reportSize == 1; }
};

struct HidCollection {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    std::vector<HidField> fields;  // in descriptor order, nested collections flattened
    // Longest report of each kind in this collection in bytes, report ID byte included (the
    // byte is counted even without report IDs); 0 when the collection has none of that kind.
    uint16_t inputReportByteLength = 0;
    uint16_t outputReportByteLength = 0;
    uint16_t featureReportByteLength = 0;
    std::vector<uint8_t> inputReportIds;  // distinct, ascending; {0} without report IDs
};

struct ReportDescriptor {
    bool usesReportIds = false;
    std::vector<HidCollection> collections;  // top-level collections in order
};

// Parses a whole descriptor. On bad input returns false and sets error to a message naming the
// byte offset and the fault; out is then left empty. Never reads outside bytes.
bool ParseReportDescriptor(std::span<const uint8_t> bytes, ReportDescriptor& out,
                           std::string& error);

// Input capabilities of a collection in HidP order.
struct HidButtonCap {
    uint16_t usagePage = 0;
    uint8_t reportId = 0;
    uint16_t usageMin = 0;  // both the single usage when the capability is not a range
    uint16_t usageMax = 0;
    size_t fieldIndex = 0;
};
struct HidValueUsage {
    uint16_t usagePage = 0;
    uint8_t reportId = 0;
    uint16_t usage = 0;
    size_t fieldIndex = 0;
    uint32_t element = 0;  // which element of the field carries this usage
};
std::vector<HidButtonCap> InputButtonCaps(const HidCollection& collection);
// One entry per value usage; a range capability yields one per usage, ascending.
std::vector<HidValueUsage> InputValueUsages(const HidCollection& collection);
// How many usages of that page an input report can carry at most (HidP_MaxUsageListLength).
uint32_t MaxInputUsageListLength(const HidCollection& collection, uint16_t usagePage);

// Decoding one input report; report[0] is the report ID (0 without report IDs). Each returns a
// kHidpStatus* value and never reads past the span.
uint32_t GetInputUsages(const HidCollection& collection, uint16_t usagePage,
                        std::span<const uint8_t> report, std::vector<uint16_t>& usages);
uint32_t GetInputUsageValue(const HidCollection& collection, const HidValueUsage& value,
                            std::span<const uint8_t> report, uint32_t& raw);
uint32_t GetInputScaledUsageValue(const HidCollection& collection, const HidValueUsage& value,
                                  std::span<const uint8_t> report, int32_t& scaled);

}  // namespace gmd
