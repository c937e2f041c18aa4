#include "macros/cursor_sequences.h"

#include <algorithm>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/ini_file.h"

namespace gmd::macros {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kCursorCountSection = "CURSORCOUNT";
constexpr std::string_view kCursorNameSection = "CURSORNAME";
constexpr std::string_view kActionSection = "MACROACTION";
constexpr std::string_view kCursorExtension = ".cur";

bool ValidSequence(int g) {
    return g >= 0 && g < kCursorSequenceCount;
}

// The default sequences: per sequence the pause after each shot and the pull per step.
// Each step presses and releases the left button, waits, then moves the pointer.
struct DefaultSequence {
    int delayMs;
    int pullDown;   // vertical distance per step, downwards
    int driftLeft;  // horizontal distance per step, to the left (0: none)
};
constexpr DefaultSequence kDefaultSequences[kCursorSequenceCount] = {
    {90, 2, 0},
    {100, 4, 0},
    {60, 3, 1},
    {120, 6, 0},
};
constexpr int kPressMs = 10;

}  // namespace

std::string DefaultCursorName(int g) {
    return "name_" + std::to_string(g + 1);
}

fs::path CursorFilePath(const MacroStore& mouseStore, int g) {
    std::string name = IniReadString(mouseStore.ListPath(), kCursorNameSection, std::to_string(g),
                                     DefaultCursorName(g));
    if (CheckMacroName(name) != NameProblem::None) {
        name = DefaultCursorName(g);
    }
    return mouseStore.folder / (name + std::string(kCursorExtension));
}

bool EnsureCursorFiles(const MacroStore& mouseStore, const fs::path& appFolder,
                       std::vector<std::string>* failed) {
    if (IniReadInt(mouseStore.ListPath(), kCursorCountSection, "count", 0) != 0) {
        return true;
    }
    bool ok = IniUpdate(mouseStore.ListPath(), [](IniDocument& doc) {
        doc.Set(kCursorCountSection, "count", std::to_string(kCursorSequenceCount));
        for (int g = 0; g < kCursorSequenceCount; ++g) {
            doc.Set(kCursorNameSection, std::to_string(g), DefaultCursorName(g));
        }
    });
    if (!ok && failed != nullptr) {
        failed->push_back(mouseStore.ListPath().string());
    }
    for (int g = 0; g < kCursorSequenceCount; ++g) {
        const std::string file = DefaultCursorName(g) + std::string(kCursorExtension);
        const MacroResult copied = CopyFileTo(appFolder / file, mouseStore.folder / file, false);
        if (copied != MacroResult::Ok && copied != MacroResult::FileExists) {
            ok = false;
            if (failed != nullptr) {
                failed->push_back(file);
            }
        }
    }
    return ok;
}

namespace {

MacroAction Move(uint8_t type, int distance, bool flagged, std::string_view flaggedLabel,
                 std::string_view otherLabel) {
    MacroAction action;
    action.code = static_cast<uint8_t>(type | (flagged ? 0x80 : 0));
    action.value = static_cast<uint8_t>(std::clamp(distance, 0, kMaxCursorDistance));
    action.pressed = flagged ? 1 : 0;
    action.label = std::string(flagged ? flaggedLabel : otherLabel);
    return action;
}

}  // namespace

MacroAction HorizontalMove(int distance, bool left) {
    return Move(action_type::kHorizontalMove, distance, left, "mouse_move_to_left_text",
                "mouse_move_to_right_text");
}

MacroAction VerticalMove(int distance, bool up) {
    return Move(action_type::kVerticalMove, distance, up, "mouse_move_to_up_text",
                "mouse_move_to_down_text");
}

namespace {

CursorStep StepOf(const IniDocument& doc, int step) {
    CursorStep values;
    if (step < 0 || step >= kCursorSteps) {
        return values;
    }
    const int first = kActionsPerStep * step;
    for (int i = first + 3; i <= first + 5; ++i) {
        MacroAction action;
        const std::optional<std::string> text = doc.Get(kActionSection, std::to_string(i));
        if (!text || !ParseMacroAction(*text, action)) {
            continue;
        }
        if (i == first + 3) {
            values.delay = action.Delay();
        }
        // The moves are found by their type, as the editor shows them.
        if (ActionType(action) == action_type::kHorizontalMove) {
            values.x = action.value;
            values.left = (action.code & 0x80) != 0;
        } else if (ActionType(action) == action_type::kVerticalMove) {
            values.y = action.value;
            values.up = (action.code & 0x80) != 0;
        }
    }
    return values;
}

}  // namespace

CursorStep LoadStep(const fs::path& file, int step) {
    std::string bytes;
    std::string error;
    std::error_code ec;
    if (fs::file_size(file, ec) > kMaxMacroFileBytes || ec || !ReadWholeFile(file, bytes, error)) {
        return {};
    }
    return ParseStep(bytes, step);
}

CursorStep ParseStep(std::string_view bytes, int step) {
    if (bytes.size() > kMaxMacroFileBytes) {
        return {};
    }
    return StepOf(IniDocument::Parse(bytes), step);
}

bool SaveStep(const fs::path& file, int step, const CursorStep& values) {
    if (step < 0 || step >= kCursorSteps) {
        return false;
    }
    const int first = kActionsPerStep * step;
    return IniUpdate(file, [&](IniDocument& doc) {
        const std::string delayKey = std::to_string(first + 3);
        MacroAction carrier;
        if (const std::optional<std::string> text = doc.Get(kActionSection, delayKey)) {
            ParseMacroAction(*text, carrier);
        }
        carrier.SetDelay(values.delay);
        doc.Set(kActionSection, delayKey, FormatMacroAction(carrier));
        doc.Set(kActionSection, std::to_string(first + 4),
                FormatMacroAction(HorizontalMove(values.x, values.left)));
        doc.Set(kActionSection, std::to_string(first + 5),
                FormatMacroAction(VerticalMove(values.y, values.up)));
    });
}

MacroResult RestoreDefaultSequence(const MacroStore& mouseStore, const fs::path& appFolder, int g) {
    if (!ValidSequence(g)) {
        return MacroResult::NoSelection;
    }
    return CopyFileTo(appFolder / (DefaultCursorName(g) + std::string(kCursorExtension)),
                      CursorFilePath(mouseStore, g), true);
}

MacroResult ImportSequence(const MacroStore& mouseStore, int g, const fs::path& source,
                           std::string& error) {
    if (!ValidSequence(g)) {
        return MacroResult::NoSelection;
    }
    std::string bytes;
    std::error_code ec;
    const auto size = fs::file_size(source, ec);
    if (ec) {
        error = ec.message();
        return MacroResult::SourceMissing;
    }
    if (size > kMaxMacroFileBytes) {
        error = "the file is larger than " + std::to_string(kMaxMacroFileBytes) + " bytes";
        return MacroResult::BadFile;
    }
    if (!ReadWholeFile(source, bytes, error)) {
        return MacroResult::SourceMissing;
    }
    std::vector<std::string> texts;
    if (const MacroResult checked = CheckActionFile(bytes, kMaxCursorActions, texts, error);
        checked != MacroResult::Ok) {
        return checked;
    }
    return WriteActionFile(CursorFilePath(mouseStore, g), texts, nullptr, &error)
               ? MacroResult::Ok
               : MacroResult::WriteFailed;
}

MacroResult ExportSequence(const MacroStore& mouseStore, int g, const fs::path& target,
                           bool replace) {
    if (!ValidSequence(g)) {
        return MacroResult::NoSelection;
    }
    return CopyFileTo(CursorFilePath(mouseStore, g), target, replace);
}

std::vector<std::string> DefaultCursorActions(int g) {
    const DefaultSequence& d = kDefaultSequences[std::clamp(g, 0, kCursorSequenceCount - 1)];
    MacroAction press{kPressMs, 0, 0x81, 0x01, 1, "mouse_key_left"};
    MacroAction release{0, 0, 0x01, 0x01, 0, "mouse_key_left"};
    // The step's third fixed action holds the pointer still; the fourth carries the pause.
    MacroAction hold = HorizontalMove(0, false);
    MacroAction pause = VerticalMove(0, false);
    pause.SetDelay(d.delayMs);
    std::vector<std::string> texts;
    for (int step = 0; step < kCursorSteps; ++step) {
        texts.push_back(FormatMacroAction(press));
        texts.push_back(FormatMacroAction(release));
        texts.push_back(FormatMacroAction(hold));
        texts.push_back(FormatMacroAction(pause));
        texts.push_back(FormatMacroAction(HorizontalMove(d.driftLeft, d.driftLeft > 0)));
        texts.push_back(FormatMacroAction(VerticalMove(d.pullDown, false)));
    }
    return texts;
}

}  // namespace gmd::macros
