#include "macros/macro_upload.h"

#include <algorithm>

#include "macros/cursor_sequences.h"
#include "platform/ini_file.h"

namespace gmd::macros {

namespace {

void Put16(std::vector<uint8_t>& blob, size_t at, size_t value) {
    blob[at] = static_cast<uint8_t>(value & 0xFF);
    blob[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

BlobEntry ReadEntry(const std::filesystem::path& file) {
    BlobEntry entry;
    for (const std::string& text : ReadActionTexts(file)) {
        MacroAction action;
        ParseMacroAction(text, action);
        entry.push_back(action);
    }
    return entry;
}

}  // namespace

size_t MacroBlobSize(std::span<const BlobEntry> entries) {
    size_t size = kBlobHeaderSize;
    for (const BlobEntry& entry : entries) {
        size += 2 + kBlobEntryHeaderSize + kBlobActionSize * entry.size();
    }
    return size;
}

std::vector<uint8_t> BuildMacroBlob(std::span<const BlobEntry> entries) {
    const size_t size = MacroBlobSize(entries);
    std::vector<uint8_t> blob(size, 0);
    blob[0] = 0xAA;
    blob[1] = 0x55;
    Put16(blob, 2, size);
    Put16(blob, 4, entries.size());
    size_t at = kBlobHeaderSize + 2 * entries.size();
    for (size_t i = 0; i < entries.size(); ++i) {
        Put16(blob, kBlobHeaderSize + 2 * i, at);
        Put16(blob, at, entries[i].size());
        at += kBlobEntryHeaderSize;
        for (const MacroAction& action : entries[i]) {
            blob[at] = action.delayLow;
            blob[at + 1] = action.delayHigh;
            blob[at + 2] = action.code;
            blob[at + 3] = action.value;
            at += kBlobActionSize;
        }
    }
    return blob;
}

int ActionsToRemove(size_t blobSize, int capacityUnits) {
    const size_t capacity = static_cast<size_t>(std::max(capacityUnits, 0)) * kCapacityUnitBytes;
    if (blobSize <= capacity) {
        return 0;
    }
    return static_cast<int>((blobSize - capacity) / kBlobActionSize) + 1;
}

std::vector<BlobEntry> ReadMacroEntries(const MacroStore& store) {
    std::vector<BlobEntry> entries;
    for (const std::string& name : ReadMacroNames(store)) {
        // A listed name that cannot be a file name has no file: an entry without actions.
        entries.push_back(CheckMacroName(name) == NameProblem::None
                              ? ReadEntry(store.MacroPath(name))
                              : BlobEntry{});
    }
    return entries;
}

std::vector<BlobEntry> ReadCursorEntries(const MacroStore& mouseStore) {
    const int count = std::clamp(IniReadInt(mouseStore.ListPath(), "CURSORCOUNT", "count", 0), 0,
                                 kCursorSequenceCount);
    std::vector<BlobEntry> entries;
    for (int g = 0; g < count; ++g) {
        entries.push_back(ReadEntry(CursorFilePath(mouseStore, g)));
    }
    return entries;
}

std::string_view UploadStepText(UploadStep step) {
    switch (step) {
        case UploadStep::None:
            return "nothing";
        case UploadStep::CursorSequences:
            return "cursor sequences";
        case UploadStep::Macros:
            return "macros";
        case UploadStep::KeyRecords:
            return "key assignments";
    }
    return "unknown";
}

namespace {

// One framed write: OpenSession, the data, CloseSession; each checked. After a failed data
// write the session is still closed, so the device is not left mid-session.
class Sender {
  public:
    Sender(CDeviceChannel& channel, const UploadProgress& progress, int total)
        : channel_(channel), progress_(progress), total_(total) {}

    bool Send(UploadStep step, Command command, const std::function<int()>& write,
              UploadReport& report) {
        Tick(step);
        if (!Check(OpenSession(channel_), step, Command::OpenSession, report)) {
            return false;
        }
        Tick(step);
        if (!Check(write(), step, command, report)) {
            CloseSession(channel_);
            return false;
        }
        Tick(step);
        return Check(CloseSession(channel_), step, Command::CloseSession, report);
    }
    void Finish() {
        if (progress_) {
            progress_(UploadStep::None, total_, total_);
        }
    }

  private:
    void Tick(UploadStep step) {
        if (progress_) {
            progress_(step, done_, total_);
        }
        ++done_;
    }
    static bool Check(int result, UploadStep step, Command command, UploadReport& report) {
        if (result == kResultSuccess) {
            return true;
        }
        report.outcome = UploadOutcome::DeviceFailed;
        report.failedStep = step;
        report.failedCommand = command;
        report.deviceResult = result;
        return false;
    }

    CDeviceChannel& channel_;
    const UploadProgress& progress_;
    int total_;
    int done_ = 0;
};

constexpr int kTransactionsPerWrite = 3;

}  // namespace

UploadReport SaveToDevice(CDeviceChannel& channel, const UploadRequest& request,
                          const UploadProgress& progress) {
    UploadReport report;
    // Both blobs are built before anything is sent, so a refusal sends nothing at all.
    std::vector<uint8_t> cursorBlob;
    if (request.cursors) {
        const std::vector<BlobEntry> entries = ReadCursorEntries(*request.cursors);
        if (MacroBlobSize(entries) > kCursorBlobLimit) {
            report.cursorSkipped = true;
        } else if (!entries.empty()) {
            cursorBlob = BuildMacroBlob(entries);
        }
    }
    const std::vector<BlobEntry> macros = ReadMacroEntries(request.macros);
    std::vector<uint8_t> macroBlob;
    if (!macros.empty()) {
        const size_t size = MacroBlobSize(macros);
        if (const int remove = ActionsToRemove(size, request.capacityUnits); remove > 0) {
            report.outcome = UploadOutcome::MacrosTooBig;
            report.actionsToRemove = remove;
            return report;
        }
        macroBlob = BuildMacroBlob(macros);
    }

    const int writes = (cursorBlob.empty() ? 0 : 1) + (macroBlob.empty() ? 0 : 1) + 1;
    Sender sender(channel, progress, writes * kTransactionsPerWrite);
    if (!cursorBlob.empty()) {
        if (!sender.Send(
                UploadStep::CursorSequences, Command::WriteCursorData,
                [&] { return WriteCursorData(channel, cursorBlob); }, report)) {
            return report;
        }
        report.cursorSent = true;
    }
    if (!macroBlob.empty()) {
        if (!sender.Send(
                UploadStep::Macros, Command::WriteMacroData,
                [&] { return WriteMacroData(channel, macroBlob); }, report)) {
            return report;
        }
        report.macrosSent = true;
    }
    if (!sender.Send(
            UploadStep::KeyRecords, Command::WriteBankImage,
            [&] {
                return WriteBankImage(channel, request.keyBlock, request.bank,
                                      request.keyBlock.size());
            },
            report)) {
        return report;
    }
    sender.Finish();
    return report;
}

UploadReport UploadCursorSequences(CDeviceChannel& channel, const MacroStore& mouseStore) {
    UploadReport report;
    const std::vector<BlobEntry> entries = ReadCursorEntries(mouseStore);
    if (entries.empty()) {
        return report;
    }
    if (MacroBlobSize(entries) > kCursorBlobLimit) {
        report.cursorSkipped = true;
        return report;
    }
    const std::vector<uint8_t> blob = BuildMacroBlob(entries);
    const UploadProgress none;
    Sender sender(channel, none, kTransactionsPerWrite);
    if (sender.Send(
            UploadStep::CursorSequences, Command::WriteCursorData,
            [&] { return WriteCursorData(channel, blob); }, report)) {
        report.cursorSent = true;
    }
    return report;
}

std::vector<uint8_t> MouseKeyBlock(std::span<const uint8_t> bankImage) {
    const size_t length = std::min(bankImage.size(), kMouseKeyBlockSize);
    return {bankImage.begin(), bankImage.begin() + static_cast<std::ptrdiff_t>(length)};
}

}  // namespace gmd::macros
