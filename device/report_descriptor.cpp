#include "device/report_descriptor.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace gmd {

namespace {

// Bounds that keep a hostile descriptor from making us allocate without limit. Real devices stay
// far below each of them.
constexpr size_t kMaxPushDepth = 16;
constexpr uint64_t kMaxReportBytes = 8192;
constexpr uint64_t kMaxReportBits = kMaxReportBytes * 8u;
constexpr size_t kMaxUsages = 65536;       // local usages, ranges expanded, whole descriptor
constexpr uint64_t kMaxElements = 262144;  // data elements of all fields
constexpr size_t kReportKinds = 3;

// Item types of the short item prefix.
constexpr uint8_t kTypeMain = 0;
constexpr uint8_t kTypeGlobal = 1;
constexpr uint8_t kTypeLocal = 2;

constexpr uint8_t kLongItemPrefix = 0xFE;

size_t KindIndex(HidReportKind kind) {
    return static_cast<size_t>(kind);
}

uint16_t PageOf(uint32_t extendedUsage) {
    return static_cast<uint16_t>(extendedUsage >> 16);
}
uint16_t IdOf(uint32_t extendedUsage) {
    return static_cast<uint16_t>(extendedUsage & 0xFFFFu);
}

int32_t SignExtend(uint32_t value, uint32_t bits) {
    if (bits == 0) {
        return 0;
    }
    if (bits >= 32) {
        return static_cast<int32_t>(value);
    }
    const uint32_t sign = 1u << (bits - 1);
    const uint32_t mask = (1u << bits) - 1u;
    value &= mask;
    return static_cast<int32_t>(value ^ sign) - static_cast<int32_t>(sign);
}

// Devices routinely write Logical Maximum 255 as the one-byte 0xFF; when the minimum is not
// negative, a maximum that would come out negative is read as unsigned instead.
int32_t ResolveMaximum(int32_t minimum, uint32_t raw, uint32_t itemBytes) {
    const int32_t asSigned = SignExtend(raw, itemBytes * 8u);
    if (minimum >= 0 && asSigned < 0) {
        const uint32_t mask = itemBytes >= 4 ? 0xFFFFFFFFu : (1u << (itemBytes * 8u)) - 1u;
        const uint32_t asUnsigned = raw & mask;
        return asUnsigned > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())
                   ? std::numeric_limits<int32_t>::max()
                   : static_cast<int32_t>(asUnsigned);
    }
    return asSigned;
}

struct GlobalState {
    uint32_t usagePage = 0;
    int32_t logicalMin = 0;
    uint32_t logicalMaxRaw = 0;
    uint32_t logicalMaxBytes = 0;
    int32_t physicalMin = 0;
    uint32_t physicalMaxRaw = 0;
    uint32_t physicalMaxBytes = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

// A usage or usage range as written; short usages get their page when the main item comes.
struct LocalUsage {
    uint32_t min = 0;
    uint32_t max = 0;
    bool minExtended = false;
    bool maxExtended = false;
};

struct LocalState {
    std::vector<LocalUsage> usages;
    bool haveMin = false;
    bool haveMax = false;
    LocalUsage pending;  // a usage minimum or maximum still waiting for its partner
    bool delimiterOpen = false;
    uint32_t delimiterSets = 0;
};

class Parser {
  public:
    explicit Parser(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool Run(ReportDescriptor& out, std::string& error);

  private:
    bool Fail(size_t offset, const std::string& what) {
        error_ = "report descriptor byte " + std::to_string(offset) + ": " + what;
        return false;
    }

    bool Main(uint8_t tag, uint32_t data, size_t offset);
    bool Global(uint8_t tag, uint32_t data, uint32_t itemBytes, size_t offset);
    bool Local(uint8_t tag, uint32_t data, uint32_t itemBytes, size_t offset);
    bool AddField(HidReportKind kind, uint32_t flags, size_t offset);
    // Resolves the local usages against the current page: a single range stays a range,
    // anything else becomes a list.
    bool ResolveUsages(HidField& field, size_t offset);
    bool CheckLocalsComplete(size_t offset);
    void Finish(ReportDescriptor& out);

    std::span<const uint8_t> bytes_;
    GlobalState global_;
    std::vector<GlobalState> stack_;
    LocalState local_;
    uint32_t depth_ = 0;
    std::vector<HidCollection> collections_;
    std::array<std::array<uint32_t, kReportKinds>, 256> bitOffsets_{};
    bool sawNoId_ = false;
    bool sawId_ = false;
    size_t storedUsages_ = 0;
    uint64_t elements_ = 0;
    std::string error_;
};

bool Parser::Run(ReportDescriptor& out, std::string& error) {
    size_t pos = 0;
    const size_t size = bytes_.size();
    bool ok = true;
    while (ok && pos < size) {
        const size_t start = pos;
        const uint8_t prefix = bytes_[pos];
        if (prefix == kLongItemPrefix) {
            // Long items carry no meaning defined for report descriptors; skip them whole.
            if (size - pos < 3) {
                ok = Fail(start, "truncated long item");
                break;
            }
            const size_t dataBytes = bytes_[pos + 1];
            if (size - pos - 3 < dataBytes) {
                ok = Fail(start, "truncated long item data");
                break;
            }
            pos += 3 + dataBytes;
            continue;
        }
        uint32_t itemBytes = prefix & 3u;
        if (itemBytes == 3) {
            itemBytes = 4;
        }
        if (size - pos - 1 < itemBytes) {
            ok = Fail(start, "truncated item");
            break;
        }
        uint32_t data = 0;
        for (uint32_t i = 0; i < itemBytes; ++i) {
            data |= static_cast<uint32_t>(bytes_[pos + 1 + i]) << (8u * i);
        }
        pos += 1 + itemBytes;
        const auto type = static_cast<uint8_t>((prefix >> 2) & 3u);
        const auto tag = static_cast<uint8_t>(prefix >> 4);
        switch (type) {
            case kTypeMain:
                ok = Main(tag, data, start);
                break;
            case kTypeGlobal:
                ok = Global(tag, data, itemBytes, start);
                break;
            case kTypeLocal:
                ok = Local(tag, data, itemBytes, start);
                break;
            default:
                break;  // reserved item type: ignored
        }
    }
    if (ok && depth_ != 0) {
        ok = Fail(size, "unclosed collection at end of descriptor");
    }
    if (ok && collections_.empty()) {
        ok = Fail(size, "no top-level collection");
    }
    out = ReportDescriptor{};
    if (!ok) {
        error = error_;
        return false;
    }
    Finish(out);
    error.clear();
    return true;
}

bool Parser::CheckLocalsComplete(size_t offset) {
    if (local_.delimiterOpen) {
        return Fail(offset, "main item inside an open delimiter");
    }
    if (local_.haveMin != local_.haveMax) {
        return Fail(offset, local_.haveMin ? "usage minimum without usage maximum"
                                           : "usage maximum without usage minimum");
    }
    return true;
}

bool Parser::Main(uint8_t tag, uint32_t data, size_t offset) {
    bool ok = true;
    switch (tag) {
        case 0x8:  // Input
            ok = AddField(HidReportKind::Input, data, offset);
            break;
        case 0x9:  // Output
            ok = AddField(HidReportKind::Output, data, offset);
            break;
        case 0xB:  // Feature
            ok = AddField(HidReportKind::Feature, data, offset);
            break;
        case 0xA: {  // Collection
            if (!CheckLocalsComplete(offset)) {
                return false;
            }
            if (depth_ == 0) {
                HidField scratch;
                if (!ResolveUsages(scratch, offset)) {
                    return false;
                }
                HidCollection collection;
                uint32_t first = global_.usagePage << 16;
                if (scratch.hasRange) {
                    first = scratch.usageMin;
                } else if (!scratch.usages.empty()) {
                    first = scratch.usages.front();
                }
                collection.usagePage = PageOf(first);
                collection.usage = IdOf(first);
                collections_.push_back(std::move(collection));
            }
            ++depth_;
            break;
        }
        case 0xC:  // End Collection
            if (depth_ == 0) {
                return Fail(offset, "end collection without collection");
            }
            --depth_;
            break;
        default:
            return true;  // reserved main item: ignored, local state kept
    }
    local_ = LocalState{};
    return ok;
}

bool Parser::Global(uint8_t tag, uint32_t data, uint32_t itemBytes, size_t offset) {
    switch (tag) {
        case 0x0:  // Usage Page
            if (data > 0xFFFFu) {
                return Fail(offset, "usage page wider than 16 bits");
            }
            global_.usagePage = data;
            break;
        case 0x1:  // Logical Minimum
            global_.logicalMin = SignExtend(data, itemBytes * 8u);
            break;
        case 0x2:  // Logical Maximum
            global_.logicalMaxRaw = data;
            global_.logicalMaxBytes = itemBytes;
            break;
        case 0x3:  // Physical Minimum
            global_.physicalMin = SignExtend(data, itemBytes * 8u);
            break;
        case 0x4:  // Physical Maximum
            global_.physicalMaxRaw = data;
            global_.physicalMaxBytes = itemBytes;
            break;
        case 0x5:  // Unit Exponent
        case 0x6:  // Unit
            break;
        case 0x7:  // Report Size
            global_.reportSize = data;
            break;
        case 0x8:  // Report ID
            if (data == 0 || data > 0xFFu) {
                return Fail(offset, "report ID " + std::to_string(data) + " out of range 1..255");
            }
            global_.reportId = static_cast<uint8_t>(data);
            break;
        case 0x9:  // Report Count
            global_.reportCount = data;
            break;
        case 0xA:  // Push
            if (stack_.size() >= kMaxPushDepth) {
                return Fail(offset, "push exceeds the global stack depth of " +
                                        std::to_string(kMaxPushDepth));
            }
            stack_.push_back(global_);
            break;
        case 0xB:  // Pop
            if (stack_.empty()) {
                return Fail(offset, "pop without push");
            }
            global_ = stack_.back();
            stack_.pop_back();
            break;
        default:
            break;  // reserved global item: ignored
    }
    return true;
}

bool Parser::Local(uint8_t tag, uint32_t data, uint32_t itemBytes, size_t offset) {
    const bool extended = itemBytes == 4;
    // Of a delimited group of alternative usages only the first set counts.
    const bool alternative = local_.delimiterOpen && local_.delimiterSets > 1;
    switch (tag) {
        case 0x0:  // Usage
            if (alternative) {
                break;
            }
            if (local_.usages.size() >= kMaxUsages) {
                return Fail(offset, "too many usages");
            }
            local_.usages.push_back(LocalUsage{data, data, extended, extended});
            break;
        case 0x1:    // Usage Minimum
        case 0x2: {  // Usage Maximum
            if (alternative) {
                break;
            }
            const bool isMin = tag == 0x1;
            if ((isMin && local_.haveMin) || (!isMin && local_.haveMax)) {
                return Fail(offset, isMin ? "usage minimum repeated before its maximum"
                                          : "usage maximum repeated before its minimum");
            }
            if (isMin) {
                local_.pending.min = data;
                local_.pending.minExtended = extended;
                local_.haveMin = true;
            } else {
                local_.pending.max = data;
                local_.pending.maxExtended = extended;
                local_.haveMax = true;
            }
            if (local_.haveMin && local_.haveMax) {
                if (local_.usages.size() >= kMaxUsages) {
                    return Fail(offset, "too many usages");
                }
                local_.usages.push_back(local_.pending);
                local_.pending = LocalUsage{};
                local_.haveMin = false;
                local_.haveMax = false;
            }
            break;
        }
        case 0xA:  // Delimiter
            if (data == 1) {
                if (local_.delimiterOpen) {
                    return Fail(offset, "nested delimiter");
                }
                local_.delimiterOpen = true;
                ++local_.delimiterSets;
            } else if (data == 0) {
                if (!local_.delimiterOpen) {
                    return Fail(offset, "delimiter close without open");
                }
                local_.delimiterOpen = false;
            } else {
                return Fail(offset, "delimiter value " + std::to_string(data));
            }
            break;
        default:
            break;  // designators, strings and reserved tags carry nothing we use
    }
    return true;
}

bool Parser::ResolveUsages(HidField& field, size_t offset) {
    const uint32_t page = global_.usagePage << 16;
    auto resolve = [page](uint32_t value, bool extended) {
        return extended ? value : (page | (value & 0xFFFFu));
    };
    struct Range {
        uint32_t min;
        uint32_t max;
    };
    std::vector<Range> ranges;
    ranges.reserve(local_.usages.size());
    uint64_t total = 0;
    for (const LocalUsage& usage : local_.usages) {
        const Range range{resolve(usage.min, usage.minExtended),
                          resolve(usage.max, usage.maxExtended)};
        if (PageOf(range.min) != PageOf(range.max)) {
            return Fail(offset, "usage range spans two usage pages");
        }
        if (range.min > range.max) {
            return Fail(offset, "usage minimum above usage maximum");
        }
        ranges.push_back(range);
        total += static_cast<uint64_t>(range.max - range.min) + 1u;
    }
    if (ranges.size() == 1 && ranges.front().min != ranges.front().max) {
        field.hasRange = true;
        field.usageMin = ranges.front().min;
        field.usageMax = ranges.front().max;
        return true;
    }
    if (total > kMaxUsages - storedUsages_) {
        return Fail(offset, "too many usages (more than " + std::to_string(kMaxUsages) + ")");
    }
    storedUsages_ += static_cast<size_t>(total);
    field.usages.reserve(static_cast<size_t>(total));
    for (const Range& range : ranges) {
        for (uint32_t u = range.min;; ++u) {
            field.usages.push_back(u);
            if (u == range.max) {
                break;
            }
        }
    }
    return true;
}

bool Parser::AddField(HidReportKind kind, uint32_t flags, size_t offset) {
    if (depth_ == 0) {
        return Fail(offset, "main item outside any collection");
    }
    if (!CheckLocalsComplete(offset)) {
        return false;
    }
    if (global_.reportId == 0) {
        sawNoId_ = true;
    } else {
        sawId_ = true;
    }
    if (sawNoId_ && sawId_) {
        return Fail(offset, "reports with and without report ID in one descriptor");
    }
    uint32_t& bitOffset = bitOffsets_[global_.reportId][KindIndex(kind)];
    const uint64_t bits = static_cast<uint64_t>(global_.reportSize) * global_.reportCount;
    if (bitOffset + bits > kMaxReportBits) {
        return Fail(offset, "report " + std::to_string(global_.reportId) + " longer than " +
                                std::to_string(kMaxReportBytes) + " bytes");
    }
    if (global_.reportSize != 0) {
        elements_ += global_.reportCount;
        if (elements_ > kMaxElements) {
            return Fail(offset, "too many report elements");
        }
    }

    HidField field;
    field.kind = kind;
    field.reportId = global_.reportId;
    field.bitOffset = bitOffset;
    field.reportSize = global_.reportSize;
    field.reportCount = global_.reportCount;
    field.flags = flags;
    if (!ResolveUsages(field, offset)) {
        return false;
    }
    if (field.hasRange) {
        field.usagePage = PageOf(field.usageMin);
    } else if (!field.usages.empty()) {
        field.usagePage = PageOf(field.usages.front());
    } else {
        field.usagePage = static_cast<uint16_t>(global_.usagePage);
    }
    field.logicalMin = global_.logicalMin;
    field.logicalMax =
        ResolveMaximum(global_.logicalMin, global_.logicalMaxRaw, global_.logicalMaxBytes);
    field.physicalMin = global_.physicalMin;
    field.physicalMax =
        ResolveMaximum(global_.physicalMin, global_.physicalMaxRaw, global_.physicalMaxBytes);

    bitOffset += static_cast<uint32_t>(bits);
    collections_.back().fields.push_back(std::move(field));
    return true;
}

void Parser::Finish(ReportDescriptor& out) {
    out.usesReportIds = sawId_;
    out.collections = std::move(collections_);
    for (HidCollection& collection : out.collections) {
        std::array<uint16_t, kReportKinds> lengths{};
        for (const HidField& field : collection.fields) {
            const size_t kind = KindIndex(field.kind);
            const uint32_t bits = bitOffsets_[field.reportId][kind];
            const auto bytes = static_cast<uint16_t>((bits + 7u) / 8u + 1u);
            lengths[kind] = std::max(lengths[kind], bytes);
            if (field.kind == HidReportKind::Input) {
                collection.inputReportIds.push_back(field.reportId);
            }
        }
        collection.inputReportByteLength = lengths[KindIndex(HidReportKind::Input)];
        collection.outputReportByteLength = lengths[KindIndex(HidReportKind::Output)];
        collection.featureReportByteLength = lengths[KindIndex(HidReportKind::Feature)];
        std::sort(collection.inputReportIds.begin(), collection.inputReportIds.end());
        collection.inputReportIds.erase(
            std::unique(collection.inputReportIds.begin(), collection.inputReportIds.end()),
            collection.inputReportIds.end());
    }
}

// ---- capabilities and decoding ----

bool HasData(const HidField& field) {
    return field.reportSize != 0 && field.reportCount != 0;
}

bool IsInputButton(const HidField& field) {
    return field.kind == HidReportKind::Input && !field.IsConstant() && field.IsButton() &&
           HasData(field);
}

bool IsInputValue(const HidField& field) {
    return field.kind == HidReportKind::Input && !field.IsConstant() && !field.IsButton() &&
           HasData(field);
}

// The usage of one element of a variable field; elements past the usages take the last one.
uint32_t ElementUsage(const HidField& field, uint32_t element) {
    if (field.hasRange) {
        const uint64_t usage = static_cast<uint64_t>(field.usageMin) + element;
        return usage > field.usageMax ? field.usageMax : static_cast<uint32_t>(usage);
    }
    if (field.usages.empty()) {
        return static_cast<uint32_t>(field.usagePage) << 16;
    }
    return field.usages[std::min<size_t>(element, field.usages.size() - 1)];
}

// The usage an array slot value selects, or 0 for none.
uint32_t ArrayUsage(const HidField& field, int64_t value) {
    if (value == 0 || value < field.logicalMin || value > field.logicalMax) {
        return 0;
    }
    const auto index = static_cast<uint64_t>(value - field.logicalMin);
    if (field.hasRange) {
        const uint64_t usage = field.usageMin + index;
        return usage > field.usageMax ? 0 : static_cast<uint32_t>(usage);
    }
    return index < field.usages.size() ? field.usages[static_cast<size_t>(index)] : 0;
}

bool FieldHasPage(const HidField& field, uint16_t page) {
    if (field.hasRange) {
        return PageOf(field.usageMin) == page;
    }
    if (field.usages.empty()) {
        return field.usagePage == page;
    }
    return std::any_of(field.usages.begin(), field.usages.end(),
                       [page](uint32_t usage) { return PageOf(usage) == page; });
}

// Reads bits LSB first from the data bytes that follow the report ID byte. The caller has
// checked the length; the bound check here only keeps a wrong caller in bounds.
uint32_t ReadBits(std::span<const uint8_t> report, uint64_t bitPos, uint32_t bits) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < bits; ++i) {
        const uint64_t bit = bitPos + i;
        const uint64_t byte = 1u + bit / 8u;
        if (byte >= report.size()) {
            break;
        }
        const unsigned shift = static_cast<unsigned>(bit % 8u);
        if ((static_cast<unsigned>(report[static_cast<size_t>(byte)]) >> shift) & 1u) {
            value |= 1u << i;
        }
    }
    return value;
}

// Report length (ID byte included) the collection's input fields of that ID need.
size_t NeededReportLength(const HidCollection& collection, uint8_t reportId) {
    uint64_t bits = 0;
    for (const HidField& field : collection.fields) {
        if (field.kind == HidReportKind::Input && field.reportId == reportId) {
            bits = std::max(bits, field.bitOffset +
                                      static_cast<uint64_t>(field.reportSize) * field.reportCount);
        }
    }
    return static_cast<size_t>((bits + 7u) / 8u + 1u);
}

bool CollectionHasInputId(const HidCollection& collection, uint8_t reportId) {
    return std::binary_search(collection.inputReportIds.begin(), collection.inputReportIds.end(),
                              reportId);
}

}  // namespace

bool ParseReportDescriptor(std::span<const uint8_t> bytes, ReportDescriptor& out,
                           std::string& error) {
    Parser parser(bytes);
    return parser.Run(out, error);
}

std::vector<HidButtonCap> InputButtonCaps(const HidCollection& collection) {
    std::vector<HidButtonCap> caps;
    for (size_t i = 0; i < collection.fields.size(); ++i) {
        const HidField& field = collection.fields[i];
        if (!IsInputButton(field)) {
            continue;
        }
        if (field.hasRange) {
            caps.push_back(HidButtonCap{PageOf(field.usageMin), field.reportId,
                                        IdOf(field.usageMin), IdOf(field.usageMax), i});
            continue;
        }
        // A listed usage gets a capability of its own; runs of consecutive usages are merged
        // into one range so an expanded range does not turn into thousands of capabilities.
        size_t u = 0;
        while (u < field.usages.size()) {
            const uint32_t first = field.usages[u];
            size_t last = u;
            while (last + 1 < field.usages.size() &&
                   field.usages[last + 1] == field.usages[last] + 1u &&
                   PageOf(field.usages[last + 1]) == PageOf(first)) {
                ++last;
            }
            caps.push_back(HidButtonCap{PageOf(first), field.reportId, IdOf(first),
                                        IdOf(field.usages[last]), i});
            u = last + 1;
        }
    }
    return caps;
}

std::vector<HidValueUsage> InputValueUsages(const HidCollection& collection) {
    std::vector<HidValueUsage> values;
    for (size_t i = 0; i < collection.fields.size(); ++i) {
        const HidField& field = collection.fields[i];
        if (!IsInputValue(field)) {
            continue;
        }
        for (uint32_t element = 0; element < field.reportCount; ++element) {
            const uint32_t usage = ElementUsage(field, element);
            values.push_back(HidValueUsage{PageOf(usage), field.reportId, IdOf(usage), i, element});
        }
    }
    return values;
}

uint32_t MaxInputUsageListLength(const HidCollection& collection, uint16_t usagePage) {
    uint64_t total = 0;
    for (const HidField& field : collection.fields) {
        if (!IsInputButton(field) || !FieldHasPage(field, usagePage)) {
            continue;
        }
        if (field.IsArray()) {
            total += field.reportCount;
            continue;
        }
        for (uint32_t element = 0; element < field.reportCount; ++element) {
            if (PageOf(ElementUsage(field, element)) == usagePage) {
                ++total;
            }
        }
    }
    return static_cast<uint32_t>(std::min<uint64_t>(total, std::numeric_limits<uint32_t>::max()));
}

uint32_t GetInputUsages(const HidCollection& collection, uint16_t usagePage,
                        std::span<const uint8_t> report, std::vector<uint16_t>& usages) {
    usages.clear();
    if (report.empty()) {
        return kHidpStatusInvalidReportLength;
    }
    const uint8_t reportId = report[0];
    bool pageKnown = false;
    bool pageInReport = false;
    for (const HidField& field : collection.fields) {
        if (IsInputButton(field) && FieldHasPage(field, usagePage)) {
            pageKnown = true;
            pageInReport = pageInReport || field.reportId == reportId;
        }
    }
    if (!pageKnown) {
        return kHidpStatusUsageNotFound;
    }
    if (!pageInReport || !CollectionHasInputId(collection, reportId)) {
        return kHidpStatusIncompatibleReportId;
    }
    if (report.size() < NeededReportLength(collection, reportId)) {
        return kHidpStatusInvalidReportLength;
    }
    for (const HidField& field : collection.fields) {
        if (!IsInputButton(field) || field.reportId != reportId ||
            !FieldHasPage(field, usagePage)) {
            continue;
        }
        for (uint32_t element = 0; element < field.reportCount; ++element) {
            const uint64_t bitPos =
                field.bitOffset + static_cast<uint64_t>(element) * field.reportSize;
            uint32_t usage = 0;
            if (field.IsArray()) {
                if (field.reportSize > 32) {
                    continue;
                }
                const uint32_t raw = ReadBits(report, bitPos, field.reportSize);
                const int64_t value = field.logicalMin < 0 ? SignExtend(raw, field.reportSize)
                                                           : static_cast<int64_t>(raw);
                usage = ArrayUsage(field, value);
            } else if (ReadBits(report, bitPos, 1) != 0) {
                usage = ElementUsage(field, element);
            }
            if (IdOf(usage) != 0 && PageOf(usage) == usagePage) {
                usages.push_back(IdOf(usage));
            }
        }
    }
    return kHidpStatusSuccess;
}

uint32_t GetInputUsageValue(const HidCollection& collection, const HidValueUsage& value,
                            std::span<const uint8_t> report, uint32_t& raw) {
    raw = 0;
    if (value.fieldIndex >= collection.fields.size()) {
        return kHidpStatusUsageNotFound;
    }
    const HidField& field = collection.fields[value.fieldIndex];
    if (!IsInputValue(field) || field.reportId != value.reportId ||
        value.element >= field.reportCount) {
        return kHidpStatusUsageNotFound;
    }
    const uint32_t usage = ElementUsage(field, value.element);
    if (PageOf(usage) != value.usagePage || IdOf(usage) != value.usage) {
        return kHidpStatusUsageNotFound;
    }
    if (report.empty()) {
        return kHidpStatusInvalidReportLength;
    }
    if (report[0] != field.reportId) {
        return kHidpStatusIncompatibleReportId;
    }
    if (report.size() < NeededReportLength(collection, field.reportId)) {
        return kHidpStatusInvalidReportLength;
    }
    if (field.reportSize > 32) {
        return kHidpStatusBufferTooSmall;
    }
    raw =
        ReadBits(report, field.bitOffset + static_cast<uint64_t>(value.element) * field.reportSize,
                 field.reportSize);
    return kHidpStatusSuccess;
}

uint32_t GetInputScaledUsageValue(const HidCollection& collection, const HidValueUsage& value,
                                  std::span<const uint8_t> report, int32_t& scaled) {
    scaled = 0;
    uint32_t raw = 0;
    const uint32_t status = GetInputUsageValue(collection, value, report, raw);
    if (status != kHidpStatusSuccess) {
        return status;
    }
    const HidField& field = collection.fields[value.fieldIndex];
    const int64_t logicalMin = field.logicalMin;
    const int64_t logicalMax = field.logicalMax;
    int64_t physicalMin = field.physicalMin;
    int64_t physicalMax = field.physicalMax;
    if (physicalMin == 0 && physicalMax == 0) {
        physicalMin = logicalMin;
        physicalMax = logicalMax;
    }
    if (logicalMin >= logicalMax || physicalMin >= physicalMax) {
        return kHidpStatusBadLogPhyValues;
    }
    const int64_t logical =
        logicalMin < 0 ? SignExtend(raw, field.reportSize) : static_cast<int64_t>(raw);
    if (logical < logicalMin || logical > logicalMax) {
        return kHidpStatusValueOutOfRange;
    }
    // Both factors are below 2^32, so the product fits 64 unsigned bits.
    const auto numerator = static_cast<uint64_t>(logical - logicalMin) *
                           static_cast<uint64_t>(physicalMax - physicalMin);
    const auto quotient = numerator / static_cast<uint64_t>(logicalMax - logicalMin);
    scaled = static_cast<int32_t>(physicalMin + static_cast<int64_t>(quotient));
    return kHidpStatusSuccess;
}

}  // namespace gmd
