#pragma once
// The mouse's four cursor sequences: files "name_1.cur" ... "name_4.cur" in the macro-file
// layout, 30 steps of six actions each; the step editor writes the step's delay and its two
// moves. No UI here.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "macros/macro_model.h"

namespace gmd::macros {

inline constexpr int kCursorSequenceCount = 4;
inline constexpr int kCursorSteps = 30;
inline constexpr int kActionsPerStep = 6;
inline constexpr int kMaxCursorActions = kCursorSteps * kActionsPerStep;  // 180
inline constexpr int kMaxCursorDistance = 255;

// "name_1.cur" ... for g = 0 ... 3: the default files' names and the listed names.
std::string DefaultCursorName(int g);

// The file of sequence g: the list's CURSORNAME / g with ".cur" in the mouse folder; a listed
// name that cannot be a file name gives the default name's file.
std::filesystem::path CursorFilePath(const MacroStore& mouseStore, int g);

// With no cursor entries in the list: the entries are written, then each default file is
// copied from the application folder unless the data folder has it already. false when the
// list or a file could not be written or a default file could not be read (failed lists the
// files); what could be done is done.
bool EnsureCursorFiles(const MacroStore& mouseStore, const std::filesystem::path& appFolder,
                       std::vector<std::string>* failed = nullptr);

struct CursorStep {
    int delay = 0;  // ms, of action 6b + 3
    int x = 0;      // horizontal distance
    bool left = false;
    int y = 0;  // vertical distance
    bool up = false;
    bool operator==(const CursorStep&) const = default;
};

// LoadStep: the step's delay and moves from actions 6b + 3 ... 6b + 5; actions that are
// missing or fail to parse leave their fields 0.
CursorStep LoadStep(const std::filesystem::path& file, int step);
// The same from a sequence file's bytes.
CursorStep ParseStep(std::string_view bytes, int step);
// SaveStep: action 6b + 3 takes the delay (its other fields kept), 6b + 4 and 6b + 5 the moves,
// all three in one write; the count is not changed. Values are clamped (delay 0-65535,
// distances 0-255). false when the file could not be written or the step is outside 0-29.
bool SaveStep(const std::filesystem::path& file, int step, const CursorStep& values);

// The move actions of a step as the editor writes them.
MacroAction HorizontalMove(int distance, bool left);
MacroAction VerticalMove(int distance, bool up);

// RestoreDefaultSequence: the default file replaces the sequence's file.
MacroResult RestoreDefaultSequence(const MacroStore& mouseStore,
                                   const std::filesystem::path& appFolder, int g);
// ImportSequence: the file is checked first (TooManyActions above 180: "message_text_18";
// BadFile with the reason); then it replaces the sequence's file with exactly its actions.
MacroResult ImportSequence(const MacroStore& mouseStore, int g, const std::filesystem::path& source,
                           std::string& error);
// ExportSequence: the sequence's file copied to target; an existing target only with replace
// (the answer of the overwrite prompt).
MacroResult ExportSequence(const MacroStore& mouseStore, int g, const std::filesystem::path& target,
                           bool replace);

// The sequences' default contents: every step's three fixed actions, a delay and two moves.
std::vector<std::string> DefaultCursorActions(int g);

}  // namespace gmd::macros
