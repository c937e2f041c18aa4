#pragma once
// The three-byte function record of a button or key, stored at byte 3 x n of a key image, and
// the pure logic of the assignment pages: record to selector state and back, labels, defaults
// and the guard that keeps the mouse's only left button.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gmd::macros {

struct KeyFunction {
    uint8_t kind = 0;
    uint8_t arg1 = 0;
    uint8_t arg2 = 0;
    bool operator==(const KeyFunction&) const = default;
};

namespace key_kind {
inline constexpr uint8_t kDefault = 0x00;  // the default item; never stored by the pages
inline constexpr uint8_t kMouseButton = 0x10;
inline constexpr uint8_t kHorizontalScroll = 0x11;
inline constexpr uint8_t kVerticalScroll = 0x12;
inline constexpr uint8_t kDpiSwitch = 0x13;
inline constexpr uint8_t kFireKey = 0x14;
inline constexpr uint8_t kKeyboardKey = 0x20;
inline constexpr uint8_t kConsumerAlias = 0x21;  // labelled like a consumer key
inline constexpr uint8_t kConsumerKey = 0x30;
inline constexpr uint8_t kSystemKey = 0x40;
inline constexpr uint8_t kMacroMode = 0x70;
inline constexpr uint8_t kMacroRepeat = 0x71;
inline constexpr uint8_t kCursorSequence = 0x72;
}  // namespace key_kind

// The two assignment pages share the logic; these are where they differ.
enum class KeyDevice { Mouse, Keyboard };
std::string_view ControlPrefix(KeyDevice device);  // "ms_" or "kb_"

inline constexpr size_t kKeyRecordSize = 3;
inline constexpr size_t kMouseKeyBlockSize = 126;  // records 0-41: what one bank holds
inline constexpr int kMouseButtonCount = 7;        // records 0-6, one per button
inline constexpr int kLeftGuardRecords = 9;        // the guard looks at records 0-8
inline constexpr int kOnboardImageCount = 5;

// Out-of-range records read as 0x05 0x05 0x05 (an unprogrammed slot) and are not written.
KeyFunction ReadKeyRecord(std::span<const uint8_t> image, size_t record);
bool WriteKeyRecord(std::span<uint8_t> image, size_t record, KeyFunction function);

// The mouse's only left button: record `key` is left click and no other of records 0-8 is.
bool IsOnlyLeftButton(std::span<const uint8_t> image, size_t key);

// What a label shows: a language key, or (macro names, the keyboard's "off") literal text.
struct KeyLabel {
    std::string text;
    bool languageKey = true;
    bool operator==(const KeyLabel&) const = default;
};
// The label of a record, or nothing when the label stays as it was (no entry matches, or a
// kind the pages keep as it is). macroNames is the device's macro set in list order.
std::optional<KeyLabel> LabelOf(KeyFunction record, KeyDevice device,
                                const std::vector<std::string>& macroNames);

// The function selector items of each page (the item tables differ by device).
enum class FunctionItem {
    Default,
    MouseButton,
    HorizontalScroll,
    VerticalScroll,
    Dpi,
    FireKey,
    CapturedKey,
    Consumer,
    System,
    Macro,
    CursorSequence,
    Shortcut,
};
std::span<const FunctionItem> FunctionItems(KeyDevice device);
// -1 when the device has no such item (the keyboard has no cursor sequences).
int ItemIndex(KeyDevice device, FunctionItem item);

// The state of the function controls of a page: the selected function item and every
// argument control. Edits hold what their text converts to.
struct FunctionChoice {
    FunctionItem item = FunctionItem::Default;
    int buttonItem = 0;                                    // combo_11
    int hDirection = 0, hAmount = 0, hHigh = 0, hLow = 0;  // combo_12, edits 15, 17, 20
    int vDirection = 0, vAmount = 0, vHigh = 0, vLow = 0;  // combo_13, edits 16, 18, 19
    int dpiItem = 0;                                       // combo_14
    int fireArg1 = 1, fireArg2 = 0;                        // edits 11, 12
    std::optional<KeyFunction> capturedKey;                // edit 21 empty when unset
    std::string capturedLabel;
    int shortcutItem = 0;   // combo_26
    int consumerItem = 0;   // combo_21
    int systemItem = 0;     // combo_22
    int macroItem = -1;     // combo_23; -1 selects nothing
    int macroPlayback = 0;  // combo_24: 0-3 mode, 4 repeat count
    int macroRepeat = 1;    // edit 25
    int cursorItem = 0;     // combo_25
};
inline constexpr int kMacroRepeatItem = 4;

// ShowKeyFunction after the guard: sets the controls from the record (a record equal to the
// default shows as the default item); a selector whose table holds no match keeps its item,
// and a kind the pages do not know keeps the function item. A key with modifiers that is no
// listed shortcut shows as a captured key, so it keeps its modifiers. Returns whether the
// controls now stand for the record: when not, the page must not commit them back, or the
// record would silently become another one.
bool ShowRecord(KeyFunction record, KeyFunction defaultRecord, KeyDevice device, int macroCount,
                FunctionChoice& choice);
// CommitKeyFunction: the record the controls stand for, or nothing when nothing is stored (no
// macro selected, no key captured). Numbers are stored as their low 8 bits.
std::optional<KeyFunction> RecordFromChoice(const FunctionChoice& choice, KeyFunction defaultRecord,
                                            KeyDevice device);

// ValidateFunctionEdit: the number an edit shows after its clamp. `empty` is the text being
// empty. Edits by their number in the control name (11, 12, 15 ... 20, 25).
int ClampFunctionEdit(KeyDevice device, int edit, int value, bool empty);

// Key capture: the record of a captured virtual-key code with the hook flags; the keypad
// Enter (0x0D with flags 0x01 or 0x81) is looked up as 0x101. Nothing for keys that are not
// in the table or whose entry is a consumer or system key.
struct CapturedKey {
    KeyFunction record;
    std::string_view label;
};
std::optional<CapturedKey> CaptureKey(uint16_t virtualKey, uint32_t flags);

// DeleteMacro's renumbering over the key records of the five onboard images.
// Whether a record of kind 0x70/0x71 among `records` of any image names macro `index`.
bool AnyKeyBoundToMacro(std::span<const std::span<const uint8_t>> images, int records, int index);
// Records naming `index` take their default; records naming a higher index move down by one.
void RenumberMacroKeys(std::span<const std::span<uint8_t>> images, int records, int index,
                       std::span<const uint8_t> defaults);

// The command-line text form of a function: "left", "key:Ctrl+C", "consumer:volume-up",
// "dpi:up", "scroll:down:5", "fire:10:3", "system:sleep", "macro:NAME[:repeat:N|:mode:M]",
// "cursor:2", "default". Parse gives nothing with a reason for an unknown text.
std::optional<KeyFunction> ParseFunctionText(std::string_view text, KeyFunction defaultRecord,
                                             const std::vector<std::string>& macroNames,
                                             std::string& error);
std::string FunctionText(KeyFunction record, const std::vector<std::string>& macroNames);

}  // namespace gmd::macros
