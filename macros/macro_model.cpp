#include "macros/macro_model.h"

#include <algorithm>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "profiles/profile_index.h"

namespace gmd::macros {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kCountSection = "MACROCOUNT";
constexpr std::string_view kNameSection = "MACRONAME";
constexpr std::string_view kCursorCountSection = "CURSORCOUNT";
constexpr std::string_view kCursorNameSection = "CURSORNAME";
constexpr std::string_view kActionCountSection = "MACROACTIONCOUNT";
constexpr std::string_view kActionSection = "MACROACTION";
constexpr std::string_view kSelectNameSection = "MACROSELECTNAME";
constexpr std::string_view kMacroExtension = ".mac";

std::string Key(int index) {
    return std::to_string(index);
}

uint8_t Low8(int value) {
    return static_cast<uint8_t>(static_cast<unsigned>(value) & 0xFF);
}

int Count(const IniDocument& doc, std::string_view section, int max) {
    const int count = ParseLeadingInt(doc.Get(section, "count").value_or("0"));
    return std::clamp(count, 0, max);
}

// The list's cursor entries as the mouse keeps them.
void SetCursorEntries(IniDocument& doc) {
    doc.Set(kCursorCountSection, "count", "4");
    for (int g = 0; g < 4; ++g) {
        doc.Set(kCursorNameSection, Key(g), "name_" + std::to_string(g + 1));
    }
}

bool RemoveFile(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
    return !ec;
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

}  // namespace

void MacroAction::SetDelay(int ms) {
    const int delay = std::clamp(ms, 0, kMaxDelayMs);
    delayLow = static_cast<uint8_t>(delay & 0xFF);
    delayHigh = static_cast<uint8_t>(delay >> 8);
}

std::string FormatMacroAction(const MacroAction& action) {
    return std::to_string(action.delayLow) + ',' + std::to_string(action.delayHigh) + ',' +
           std::to_string(action.code) + ',' + std::to_string(action.value) + ',' +
           std::to_string(action.pressed) + ',' + action.label;
}

bool ParseMacroAction(std::string_view text, MacroAction& action) {
    size_t comma = text.rfind(',');
    if (comma == std::string_view::npos) {
        return false;
    }
    action.label = std::string(text.substr(comma + 1));
    std::string_view rest = text.substr(0, comma);
    const auto next = [&rest](int& number) {
        const size_t at = rest.rfind(',');
        if (at == std::string_view::npos) {
            return false;
        }
        number = ParseLeadingInt(rest.substr(at + 1));
        rest = rest.substr(0, at);
        return true;
    };
    int number = 0;
    if (!next(number)) {
        return false;
    }
    action.pressed = static_cast<uint16_t>(static_cast<unsigned>(number) & 0xFFFF);
    if (!next(number)) {
        return false;
    }
    action.value = Low8(number);
    if (!next(number)) {
        return false;
    }
    action.code = Low8(number);
    if (!next(number)) {
        return false;
    }
    action.delayHigh = Low8(number);
    action.delayLow = Low8(ParseLeadingInt(rest));
    return true;
}

MacroStore MacroStore::For(KeyDevice device) {
    return {device == KeyDevice::Mouse ? MouseFolder() : KeyboardFolder(), device};
}

fs::path MacroStore::ListPath() const {
    return folder / (device == KeyDevice::Mouse ? "msMacro.ini" : "kbMacro.ini");
}

fs::path MacroStore::MacroPath(const std::string& name) const {
    const fs::path exact = folder / (name + std::string(kMacroExtension));
    if (Exists(exact)) {
        return exact;
    }
    // Files written on a case-blind file system may differ from the listed name in case.
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const fs::path file = entry.path().filename();
        if (file.extension() == kMacroExtension && SameMacroName(file.stem().string(), name)) {
            return entry.path();
        }
    }
    return exact;
}

NameProblem CheckMacroName(const std::string& name) {
    switch (profiles::CheckProfileName(name)) {
        case profiles::NameCheck::Empty:
            return NameProblem::Empty;
        case profiles::NameCheck::NotAFileName:
            return NameProblem::NotAFileName;
        case profiles::NameCheck::Ok:
            break;
    }
    const auto quote = [](char c) { return c == '"' || c == '\''; };
    if (quote(name.front()) || quote(name.back())) {
        return NameProblem::NotAFileName;
    }
    return NameProblem::None;
}

bool SameMacroName(const std::string& a, const std::string& b) {
    return profiles::SameProfileName(a, b);
}

std::string_view MacroResultText(MacroResult result) {
    switch (result) {
        case MacroResult::Ok:
            return "done";
        case MacroResult::Unchanged:
            return "nothing to change";
        case MacroResult::NoSelection:
            return "no such macro";
        case MacroResult::TooMany:
            return "the list already holds 50 macros";
        case MacroResult::DuplicateName:
            return "another macro has that name";
        case MacroResult::BadName:
            return "a name that cannot be a file name";
        case MacroResult::FileExists:
            return "the file exists";
        case MacroResult::SourceMissing:
            return "missing or cannot be read";
        case MacroResult::BadFile:
            return "not a valid macro file";
        case MacroResult::TooManyActions:
            return "more than 180 actions";
        case MacroResult::WriteFailed:
            return "cannot be written";
    }
    return "failed";
}

std::vector<std::string> ReadMacroNames(const MacroStore& store) {
    const IniDocument doc = IniLoad(store.ListPath());
    const int count = Count(doc, kCountSection, kMaxMacros);
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(count));
    for (int j = 0; j < count; ++j) {
        names.push_back(doc.Get(kNameSection, Key(j)).value_or("0"));
    }
    return names;
}

namespace {

// The file as the readers see it; an oversized file reads as empty.
IniDocument LoadActionFile(const fs::path& file) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (ec || size > kMaxMacroFileBytes) {
        return IniDocument{};
    }
    return IniLoad(file);
}

}  // namespace

namespace {

std::vector<std::string> TextsOf(const IniDocument& doc) {
    const int count = Count(doc, kActionCountSection, kMaxMacroActions);
    std::vector<std::string> texts;
    texts.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        texts.push_back(doc.Get(kActionSection, Key(i)).value_or("0"));
    }
    return texts;
}

}  // namespace

std::vector<std::string> ReadActionTexts(const fs::path& file) {
    return TextsOf(LoadActionFile(file));
}

std::vector<std::string> ParseActionTexts(std::string_view bytes) {
    if (bytes.size() > kMaxMacroFileBytes) {
        return {};
    }
    return TextsOf(IniDocument::Parse(bytes));
}

int ReadActionCount(const fs::path& file) {
    return Count(LoadActionFile(file), kActionCountSection, kMaxMacroActions);
}

MacroResult CheckActionFile(std::string_view bytes, int maxActions, std::vector<std::string>& texts,
                            std::string& error) {
    texts.clear();
    if (bytes.size() > kMaxMacroFileBytes) {
        error = "the file is larger than " + std::to_string(kMaxMacroFileBytes) + " bytes";
        return MacroResult::BadFile;
    }
    const IniDocument doc = IniDocument::Parse(bytes);
    const std::optional<std::string> countText = doc.Get(kActionCountSection, "count");
    if (!countText) {
        error = "no [MACROACTIONCOUNT] count";
        return MacroResult::BadFile;
    }
    const std::string_view trimmed = Trim(*countText);
    if (trimmed.empty() ||
        !std::all_of(trimmed.begin(), trimmed.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        error = "the action count '" + *countText + "' is not a number";
        return MacroResult::BadFile;
    }
    const int count = ParseLeadingInt(trimmed);
    if (count > maxActions) {
        error = "it holds " + std::string(trimmed) + " actions, more than " +
                std::to_string(maxActions);
        return MacroResult::TooManyActions;
    }
    for (int i = 0; i < count; ++i) {
        const std::optional<std::string> text = doc.Get(kActionSection, Key(i));
        MacroAction action;
        if (!text) {
            error = "action " + Key(i) + " is missing";
            texts.clear();
            return MacroResult::BadFile;
        }
        if (!ParseMacroAction(*text, action)) {
            error = "action " + Key(i) + " '" + *text + "' is not an action";
            texts.clear();
            return MacroResult::BadFile;
        }
        texts.push_back(*text);
    }
    return MacroResult::Ok;
}

bool WriteActionFile(const fs::path& file, std::span<const std::string> texts,
                     const std::string* selectName, std::string* error) {
    // Whole-file replacement: an earlier, longer version leaves no actions behind.
    return IniUpdate(
        file,
        [&](IniDocument& doc) {
            doc = IniDocument{};
            doc.Set(kActionCountSection, "count", Key(static_cast<int>(texts.size())));
            if (selectName != nullptr) {
                doc.Set(kSelectNameSection, "name", *selectName);
            }
            for (size_t i = 0; i < texts.size(); ++i) {
                doc.Set(kActionSection, Key(static_cast<int>(i)), texts[i]);
            }
        },
        error);
}

std::string NextMacroName(const std::vector<std::string>& names) {
    for (size_t n = names.size() + 1;; ++n) {
        const std::string name = "name_" + std::to_string(n);
        if (std::none_of(names.begin(), names.end(),
                         [&](const std::string& other) { return SameMacroName(other, name); })) {
            return name;
        }
    }
}

namespace {

// The list rewritten from the names: count, the names in order, no stale names past the count.
bool WriteList(const MacroStore& store, const std::vector<std::string>& names, bool cursorEntries) {
    return IniUpdate(store.ListPath(), [&](IniDocument& doc) {
        doc.Set(kCountSection, "count", Key(static_cast<int>(names.size())));
        if (cursorEntries && store.device == KeyDevice::Mouse) {
            SetCursorEntries(doc);
        }
        doc.EraseSection(kNameSection);
        for (size_t j = 0; j < names.size(); ++j) {
            doc.Set(kNameSection, Key(static_cast<int>(j)), names[j]);
        }
    });
}

const std::string* SelectName(const MacroStore& store, const std::string& name) {
    return store.device == KeyDevice::Mouse ? &name : nullptr;
}

}  // namespace

MacroResult AddMacro(const MacroStore& store, std::string& newName) {
    std::vector<std::string> names = ReadMacroNames(store);
    if (static_cast<int>(names.size()) >= kMaxMacros) {
        return MacroResult::TooMany;
    }
    const std::string name = NextMacroName(names);
    names.push_back(name);
    if (!WriteList(store, names, false)) {
        return MacroResult::WriteFailed;
    }
    newName = name;
    return MacroResult::Ok;
}

MacroResult SaveMacroActions(const MacroStore& store, int index,
                             std::span<const std::string> texts) {
    const std::vector<std::string> names = ReadMacroNames(store);
    if (index < 0 || index >= static_cast<int>(names.size())) {
        return MacroResult::NoSelection;
    }
    const std::string& name = names[static_cast<size_t>(index)];
    if (CheckMacroName(name) != NameProblem::None) {
        return MacroResult::BadName;
    }
    return WriteActionFile(store.MacroPath(name), texts, SelectName(store, name))
               ? MacroResult::Ok
               : MacroResult::WriteFailed;
}

bool DeleteNeedsConfirmation(std::span<const std::span<const uint8_t>> images, int records,
                             int index) {
    return AnyKeyBoundToMacro(images, records, index);
}

MacroResult DeleteMacro(const MacroStore& store, int index,
                        std::span<const std::span<uint8_t>> images, int records,
                        std::span<const uint8_t> defaults) {
    std::vector<std::string> names = ReadMacroNames(store);
    if (index < 0 || index >= static_cast<int>(names.size())) {
        return MacroResult::NoSelection;
    }
    const std::string name = names[static_cast<size_t>(index)];
    names.erase(names.begin() + index);
    if (!WriteList(store, names, true)) {
        return MacroResult::WriteFailed;
    }
    RenumberMacroKeys(images, records, index, defaults);
    // A name that cannot be a file name has no file of its own to remove.
    if (CheckMacroName(name) == NameProblem::None) {
        RemoveFile(store.MacroPath(name));
    }
    return MacroResult::Ok;
}

MacroResult RenameMacro(const MacroStore& store, int index, const std::string& newName,
                        std::span<const std::string> texts) {
    std::vector<std::string> names = ReadMacroNames(store);
    if (index < 0 || index >= static_cast<int>(names.size())) {
        return MacroResult::NoSelection;
    }
    for (size_t j = 0; j < names.size(); ++j) {
        if (SameMacroName(names[j], newName)) {
            return static_cast<int>(j) == index ? MacroResult::Unchanged
                                                : MacroResult::DuplicateName;
        }
    }
    if (CheckMacroName(newName) != NameProblem::None) {
        return MacroResult::BadName;
    }
    const std::string oldName = names[static_cast<size_t>(index)];
    const fs::path newPath = store.folder / (newName + std::string(kMacroExtension));
    // A file of that name that the list does not know is someone's file: keep it.
    if (Exists(newPath) || store.MacroPath(newName) != newPath) {
        return MacroResult::FileExists;
    }
    if (!WriteActionFile(newPath, texts, SelectName(store, newName))) {
        RemoveFile(newPath);
        return MacroResult::WriteFailed;
    }
    names[static_cast<size_t>(index)] = newName;
    if (!WriteList(store, names, false)) {
        RemoveFile(newPath);
        return MacroResult::WriteFailed;
    }
    if (CheckMacroName(oldName) == NameProblem::None) {
        RemoveFile(store.MacroPath(oldName));
    }
    return MacroResult::Ok;
}

namespace {

MacroResult ReadSource(const fs::path& source, std::string& bytes, std::string& error) {
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
    return ReadWholeFile(source, bytes, error) ? MacroResult::Ok : MacroResult::SourceMissing;
}

}  // namespace

MacroResult ImportMacro(const MacroStore& store, const fs::path& source, std::string& newName,
                        std::string& error) {
    std::string bytes;
    if (const MacroResult read = ReadSource(source, bytes, error); read != MacroResult::Ok) {
        return read;
    }
    std::vector<std::string> texts;
    if (const MacroResult checked = CheckActionFile(bytes, kMaxMacroActions, texts, error);
        checked != MacroResult::Ok) {
        return checked == MacroResult::TooManyActions ? MacroResult::BadFile : checked;
    }
    std::vector<std::string> names = ReadMacroNames(store);
    if (static_cast<int>(names.size()) >= kMaxMacros) {
        return MacroResult::TooMany;
    }
    const std::string name = NextMacroName(names);
    const fs::path target = store.folder / (name + std::string(kMacroExtension));
    if (Exists(target)) {
        error = target.string() + " exists";
        return MacroResult::FileExists;
    }
    // The file first: a listed macro always has its actions.
    if (!WriteActionFile(target, texts, SelectName(store, name), &error)) {
        RemoveFile(target);
        return MacroResult::WriteFailed;
    }
    names.push_back(name);
    if (!WriteList(store, names, false)) {
        RemoveFile(target);
        error = "cannot write " + store.ListPath().string();
        return MacroResult::WriteFailed;
    }
    newName = name;
    return MacroResult::Ok;
}

MacroResult CopyFileTo(const fs::path& source, const fs::path& target, bool replace) {
    std::string bytes;
    std::string error;
    if (const MacroResult read = ReadSource(source, bytes, error); read != MacroResult::Ok) {
        return read;
    }
    if (!replace && Exists(target)) {
        return MacroResult::FileExists;
    }
    return WriteFileAtomically(target, bytes, error) ? MacroResult::Ok : MacroResult::WriteFailed;
}

MacroResult ExportMacro(const MacroStore& store, int index, const fs::path& target, bool replace) {
    const std::vector<std::string> names = ReadMacroNames(store);
    if (index < 0 || index >= static_cast<int>(names.size())) {
        return MacroResult::NoSelection;
    }
    const std::string& name = names[static_cast<size_t>(index)];
    if (CheckMacroName(name) != NameProblem::None) {
        return MacroResult::BadName;
    }
    return CopyFileTo(store.MacroPath(name), target, replace);
}

}  // namespace gmd::macros
