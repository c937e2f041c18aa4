#pragma once
// Sending macros, cursor sequences and the key records to the device: the blob the device
// stores them in, the capacity rule, and the save-to-device sequence over the command set.
// Qt-free and free of shared state, so a worker thread can run it while the window shows the
// progress; every transaction is checked and the run stops at the first failure.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "device/command_set.h"
#include "device/device_channel.h"
#include "macros/macro_model.h"

namespace gmd::macros {

inline constexpr size_t kBlobHeaderSize = 16;
inline constexpr size_t kBlobEntryHeaderSize = 4;
inline constexpr size_t kBlobActionSize = 4;
inline constexpr size_t kCursorBlobLimit = 3072;
inline constexpr size_t kCapacityUnitBytes = 128;

// The actions of one macro or sequence, in order.
using BlobEntry = std::vector<MacroAction>;

// 16 + 6 N + 4 (sum of M).
size_t MacroBlobSize(std::span<const BlobEntry> entries);
// Header (magic 0x55AA, total length, N), offset table, then each entry: M, 0, and the four
// bytes delayLow, delayHigh, code, value of each action. Little-endian.
std::vector<uint8_t> BuildMacroBlob(std::span<const BlobEntry> entries);
// The number "message_text_16" shows: (size - capacity x 128) / 4 + 1; 0 when it fits.
int ActionsToRemove(size_t blobSize, int capacityUnits);

// The entries as the files hold them: the macro set in list order (a missing file is an entry
// without actions; an action that fails to parse keeps what the parse set, else 0) and the
// four sequences of the mouse list (none without cursor entries).
std::vector<BlobEntry> ReadMacroEntries(const MacroStore& store);
std::vector<BlobEntry> ReadCursorEntries(const MacroStore& mouseStore);

enum class UploadStep { None, CursorSequences, Macros, KeyRecords };
std::string_view UploadStepText(UploadStep step);  // "cursor sequences", ...

enum class UploadOutcome {
    Ok,
    MacrosTooBig,  // "message_text_16" with actionsToRemove; nothing was sent
    DeviceFailed,  // failedStep / failedCommand / deviceResult say where
};

struct UploadReport {
    UploadOutcome outcome = UploadOutcome::Ok;
    UploadStep failedStep = UploadStep::None;
    Command failedCommand = Command::OpenSession;
    int deviceResult = kResultSuccess;
    int actionsToRemove = 0;
    // The cursor blob was over 3072 bytes and was not sent; the rest went on.
    bool cursorSkipped = false;
    bool cursorSent = false;
    bool macrosSent = false;  // false also when there are no macros
};

struct UploadRequest {
    MacroStore macros;                  // the device's macro set
    std::optional<MacroStore> cursors;  // the mouse's sequences (the mouse list)
    std::vector<uint8_t> keyBlock;      // key records of the current onboard profile
    int bank = 0;                       // the current onboard profile
    int capacityUnits = 0;              // information block byte 6
};

// Called before each transaction with the step it belongs to, the transactions done and the
// total; once more at the end with done == total.
using UploadProgress = std::function<void(UploadStep step, int done, int total)>;

// SaveToDevice: the cursor blob, the macro blob (none without macros), then the key records
// with WriteBankImage to bank; each framed by OpenSession and CloseSession. A macro blob over
// the capacity is refused before anything is sent.
UploadReport SaveToDevice(CDeviceChannel& channel, const UploadRequest& request,
                          const UploadProgress& progress = {});
// The cursor page's send button: the sequences alone.
UploadReport UploadCursorSequences(CDeviceChannel& channel, const MacroStore& mouseStore);

// The mouse's key-record block: the first 126 bytes of the bank image of the current profile.
std::vector<uint8_t> MouseKeyBlock(std::span<const uint8_t> bankImage);

}  // namespace gmd::macros
