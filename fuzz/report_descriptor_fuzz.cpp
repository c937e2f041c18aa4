// Parses arbitrary bytes as a report descriptor; when they parse, runs the capability queries and
// decodes reports made from the same bytes against every collection.
#include "device/report_descriptor.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

// Caps on the work per input so the fuzzer keeps its speed on large descriptors.
constexpr size_t kMaxCapsDecoded = 64;
constexpr size_t kMaxValuesDecoded = 256;

std::vector<uint8_t> MakeReport(std::span<const uint8_t> seed, uint8_t reportId, size_t length,
                                size_t shift) {
    std::vector<uint8_t> report(length);
    for (size_t i = 1; i < length; ++i) {
        report[i] = seed.empty() ? 0 : seed[(i + shift) % seed.size()];
    }
    if (!report.empty()) {
        report[0] = reportId;
    }
    return report;
}

void Exercise(const gmd::HidCollection& collection, std::span<const uint8_t> report) {
    const std::vector<gmd::HidButtonCap> buttons = gmd::InputButtonCaps(collection);
    std::vector<uint16_t> usages;
    for (size_t i = 0; i < std::min(buttons.size(), kMaxCapsDecoded); ++i) {
        const uint32_t max = gmd::MaxInputUsageListLength(collection, buttons[i].usagePage);
        const uint32_t status =
            gmd::GetInputUsages(collection, buttons[i].usagePage, report, usages);
        if (status == gmd::kHidpStatusSuccess && usages.size() > max) {
            __builtin_trap();  // more usages than the advertised maximum
        }
    }
    const std::vector<gmd::HidValueUsage> values = gmd::InputValueUsages(collection);
    for (size_t i = 0; i < std::min(values.size(), kMaxValuesDecoded); ++i) {
        uint32_t raw = 0;
        int32_t scaled = 0;
        (void)gmd::GetInputUsageValue(collection, values[i], report, raw);
        (void)gmd::GetInputScaledUsageValue(collection, values[i], report, scaled);
    }
    // A page nobody uses must come back as not found, never crash.
    (void)gmd::GetInputUsages(collection, 0xFFFF, report, usages);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    gmd::ReportDescriptor descriptor;
    std::string error;
    if (!gmd::ParseReportDescriptor(bytes, descriptor, error)) {
        if (error.empty() || !descriptor.collections.empty()) {
            __builtin_trap();  // a rejection must explain itself and leave nothing behind
        }
        return 0;
    }
    for (const gmd::HidCollection& collection : descriptor.collections) {
        const size_t full = collection.inputReportByteLength;
        std::vector<uint8_t> ids = collection.inputReportIds;
        ids.push_back(static_cast<uint8_t>(size));  // very likely a foreign report ID
        for (const uint8_t id : ids) {
            for (const size_t length : {full, full / 2, full + 3, size_t{1}}) {
                const std::vector<uint8_t> report = MakeReport(bytes, id, length, id);
                Exercise(collection, report);
            }
        }
        Exercise(collection, std::span<const uint8_t>());
    }
    return 0;
}
