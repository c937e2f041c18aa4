#pragma once
// The 64-byte command report shared by requests and replies.

#include <array>
#include <cstddef>
#include <cstdint>

namespace gmd {

inline constexpr size_t kReportSize = 64;
inline constexpr size_t kReportPayloadOffset = 8;
inline constexpr size_t kReportPayloadSize = kReportSize - kReportPayloadOffset;  // 56
inline constexpr uint8_t kCommandReportId = 4;

namespace report_byte {
inline constexpr size_t kReportId = 0;
inline constexpr size_t kChecksumLow = 1;
inline constexpr size_t kChecksumHigh = 2;
inline constexpr size_t kCommand = 3;
inline constexpr size_t kLength = 4;
inline constexpr size_t kAddressLow = 5;
inline constexpr size_t kAddressHigh = 6;
inline constexpr size_t kStatus = 7;
}  // namespace report_byte

inline constexpr uint8_t kStatusErrorFF = 0xFF;
inline constexpr uint8_t kStatusErrorFE = 0xFE;

using CommandReport = std::array<uint8_t, kReportSize>;

// Sum of bytes 3..63; at most 61 * 255 = 15555, so it always fits 16 bits.
inline uint16_t CommandChecksum(const uint8_t* report) {
    uint32_t sum = 0;
    for (size_t i = report_byte::kCommand; i < kReportSize; ++i) {
        sum += report[i];
    }
    return static_cast<uint16_t>(sum);
}

// Puts the checksum into bytes 1-2; called once every other byte is in place.
inline void SealReport(uint8_t* report) {
    const uint16_t sum = CommandChecksum(report);
    report[report_byte::kChecksumLow] = static_cast<uint8_t>(sum & 0xFFu);
    report[report_byte::kChecksumHigh] = static_cast<uint8_t>(sum >> 8);
}

inline void SetReportAddress(uint8_t* report, uint16_t address) {
    report[report_byte::kAddressLow] = static_cast<uint8_t>(address & 0xFFu);
    report[report_byte::kAddressHigh] = static_cast<uint8_t>(address >> 8);
}

inline uint16_t ReportAddress(const uint8_t* report) {
    return static_cast<uint16_t>(report[report_byte::kAddressLow] |
                                 (report[report_byte::kAddressHigh] << 8));
}

}  // namespace gmd
