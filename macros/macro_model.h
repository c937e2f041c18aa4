#pragma once
// Macros: the action record and its text form, the macro list file ("msMacro.ini" /
// "kbMacro.ini") and the macro files (".mac"), and the list operations without any UI. The UI
// mirrors the list and turns the results into messages. Every write replaces its file
// atomically; a failed operation leaves the files as they were.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "macros/key_function.h"

namespace gmd::macros {

struct MacroAction {
    uint8_t delayLow = 0;
    uint8_t delayHigh = 0;
    uint8_t code = 0;  // bit 7: pressed or direction; bits 0-6: the action type
    uint8_t value = 0;
    uint16_t pressed = 0;
    std::string label;

    int Delay() const { return delayHigh * 256 + delayLow; }
    void SetDelay(int ms);  // clamped to 0-65535
    bool operator==(const MacroAction&) const = default;
};

namespace action_type {
inline constexpr uint8_t kMouseButton = 1;
inline constexpr uint8_t kHorizontalMove = 4;
inline constexpr uint8_t kVerticalMove = 5;
inline constexpr uint8_t kModifier = 9;
inline constexpr uint8_t kKey = 10;
}  // namespace action_type
inline uint8_t ActionType(const MacroAction& action) {
    return action.code & 0x7F;
}
inline bool IsMouseAction(const MacroAction& action) {
    return ActionType(action) < action_type::kModifier;
}

// "%d,%d,%d,%d,%d,%s": delayLow, delayHigh, code, value, pressed, label.
std::string FormatMacroAction(const MacroAction& action);
// Read from the right: the label after the last comma, then pressed, value, code and
// delayHigh, each after the last comma of the rest; what remains is delayLow. Numbers convert
// like the platform's integer reader and keep the field's low bits. false when one of the five
// commas is missing; fields already set keep their values.
bool ParseMacroAction(std::string_view text, MacroAction& action);

inline constexpr int kMaxMacros = 50;
inline constexpr int kMaxDelayMs = 65535;
// The most actions one macro file is read with: a blob of the largest capacity (255 x 128
// bytes) holds fewer. A damaged count cannot make a reader build millions of actions.
inline constexpr int kMaxMacroActions = 255 * 128 / 4;
// Files larger than this are not macro files (the largest real one is well below 4 MiB).
inline constexpr size_t kMaxMacroFileBytes = 4u << 20;

// Where one device kind keeps its macros.
struct MacroStore {
    std::filesystem::path folder;
    KeyDevice device = KeyDevice::Mouse;

    static MacroStore For(KeyDevice device);  // the device's data folder
    std::filesystem::path ListPath() const;   // "msMacro.ini" / "kbMacro.ini"
    // The macro's file; an existing file whose name differs in case only is found too.
    std::filesystem::path MacroPath(const std::string& name) const;
};

// Whether a macro name can be listed and used as a file name: what a profile name may be,
// and no quote at either end (the list file drops quotes on reading).
enum class NameProblem { None, Empty, NotAFileName };
NameProblem CheckMacroName(const std::string& name);
bool SameMacroName(const std::string& a, const std::string& b);  // letter case ignored

enum class MacroResult {
    Ok,
    Unchanged,       // a rename to the same name (letter case aside): nothing to do
    NoSelection,     // the index is outside the list
    TooMany,         // "message_text_17" with 50
    DuplicateName,   // "message_text_5"
    BadName,         // empty, or a name that cannot be a file name
    FileExists,      // a rename or export target exists and may not be replaced
    SourceMissing,   // a file to read is missing or cannot be read
    BadFile,         // a file to read is not a valid macro or sequence file (see the error)
    TooManyActions,  // a sequence file above 180 actions: "message_text_18"
    WriteFailed,     // a file could not be written; nothing was changed
};
// A short English description for tools and logs.
std::string_view MacroResultText(MacroResult result);

// The list: count entries (at most kMaxMacros are read; a negative count reads as 0), missing
// names read as "0".
std::vector<std::string> ReadMacroNames(const MacroStore& store);

// The action texts of a macro or sequence file as stored, up to its count (at most
// kMaxMacroActions); a missing file or entry reads as no actions or "0".
std::vector<std::string> ReadActionTexts(const std::filesystem::path& file);
// The same from a file's bytes (an oversized file reads as no actions).
std::vector<std::string> ParseActionTexts(std::string_view bytes);
// The count of a file as stored, limited to 0-kMaxMacroActions.
int ReadActionCount(const std::filesystem::path& file);

// Strict check of a file to import, in memory: decoded like every INI file, a count of 0 to
// maxActions, and every action present and parsed. texts receives the actions as stored.
MacroResult CheckActionFile(std::string_view bytes, int maxActions, std::vector<std::string>& texts,
                            std::string& error);

// Replaces a macro or sequence file with exactly these actions (no keys past the count);
// selectName adds MACROSELECTNAME / name (mouse macro files).
bool WriteActionFile(const std::filesystem::path& file, std::span<const std::string> texts,
                     const std::string* selectName, std::string* error = nullptr);

// "name_N", N from count + 1 upwards until no name matches (letter case ignored).
std::string NextMacroName(const std::vector<std::string>& names);

// AddMacro: a new name appended to the list (no file until its first save).
MacroResult AddMacro(const MacroStore& store, std::string& newName);

// SaveMacroActions: the selected macro's file holds exactly these actions.
MacroResult SaveMacroActions(const MacroStore& store, int index,
                             std::span<const std::string> texts);

// DeleteMacro in two halves. The check: whether a key of the five images names the macro, so
// the user must confirm ("message_text_2"). The images are the key-record blocks of the five
// onboard images; records the number of records each holds that the page edits.
bool DeleteNeedsConfirmation(std::span<const std::span<const uint8_t>> images, int records,
                             int index);
// The deletion: the list rewritten without the macro (the mouse list with its cursor entries),
// then the images renumbered (keys naming it take their default from `defaults`, keys naming
// later macros move down), then its file removed. WriteFailed changes neither files nor images.
MacroResult DeleteMacro(const MacroStore& store, int index,
                        std::span<const std::span<uint8_t>> images, int records,
                        std::span<const uint8_t> defaults);

// RenameMacro: the current actions are written to the new file (with MACROSELECTNAME on the
// mouse) before the list changes and the old file goes; on any failure the old name and file
// stay.
MacroResult RenameMacro(const MacroStore& store, int index, const std::string& newName,
                        std::span<const std::string> texts);

// ImportMacro: the file is checked before anything is written, then added under a new
// default name with its actions. newName receives the name.
MacroResult ImportMacro(const MacroStore& store, const std::filesystem::path& source,
                        std::string& newName, std::string& error);
// ExportMacro: the macro's file copied to target; an existing target only with replace.
MacroResult ExportMacro(const MacroStore& store, int index, const std::filesystem::path& target,
                        bool replace);

// Shared by the sequence files: a whole-file copy onto target (atomic), refused for an existing
// target unless replace.
MacroResult CopyFileTo(const std::filesystem::path& source, const std::filesystem::path& target,
                       bool replace);

}  // namespace gmd::macros
