#include "profiles/profile_page.h"

#include <algorithm>
#include <cstring>

#include "platform/debug_output.h"
#include "platform/folders.h"
#include "profiles/profile_index.h"
#include "profiles/profile_store.h"
#include "ui/controls.h"
#include "ui/file_dialog.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace gmd::app {

namespace {

using profiles::ListId;
using profiles::OpResult;

const profiles::ListInfo& InfoOf(ListId list) {
    return profiles::Info(list);
}

std::vector<ListId> ListsOf(DeviceKind device) {
    std::vector<ListId> lists;
    for (int i = 0; i < profiles::kListCount; ++i) {
        const auto list = static_cast<ListId>(i);
        if (profiles::Info(list).device == device) {
            lists.push_back(list);
        }
    }
    return lists;
}

// The file name part of a program path; Windows paths in files made there use backslashes.
std::optional<std::string> ProgramFileName(const std::string& path) {
    const size_t at = path.find_last_of("/\\");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return path.substr(at + 1);
}

enum RemovalCase { kUnchecked = 0, kCancelled = 1, kNoSeparator = 2 };

// Whether the link name row stays visible after a link was removed, by list and case.
bool LinkRowVisible(ListId list, int removalCase) {
    switch (list) {
        case ListId::MouseDevice:
        case ListId::KeyboardDevice:
            return removalCase == kUnchecked;
        case ListId::KeyboardLight:
            return removalCase != kNoSeparator;
        case ListId::KeyboardKey:
            return true;
        default:
            return false;
    }
}

std::string LanguageText(const std::string& id) {
    const ui::CResourceManager* texts = ui::CResourceManager::GetInstance();
    return texts != nullptr ? texts->GetText(id) : id;
}

// A language text with its "%s" filled in; the text comes from a language file, never from a
// printf-style formatter.
std::string FillName(const std::string& pattern, const std::string& name) {
    std::string text = pattern;
    if (const size_t at = text.find("%s"); at != std::string::npos) {
        text.replace(at, 2, name);
    }
    return text;
}

// The profile file dialogs start in the documents folder; an export offers the profile's own
// name.
ui::FileDialogOptions ProfileDialog(ListId list, const char* titleId,
                                    const std::string& suggestedName = {}) {
    const std::string ext(InfoOf(list).extension.substr(1));  // "config", "led", "pro"
    ui::FileDialogOptions options;
    options.defaultExtension = ext;
    options.initialName = suggestedName.empty() ? "*." + ext : suggestedName + "." + ext;
    options.directory = DocumentsFolder().string();
    options.title = LanguageText(titleId);
    options.filter = LanguageText("file_filter_" + ext) + " | *." + ext + " ||";
    return options;
}

}  // namespace

ProfilePage::ProfilePage(host::PageHost& host) : host_(host) {
    inForce_.fill(-1);
}

ui::CComboUI* ProfilePage::Combo(ListId list) {
    return dynamic_cast<ui::CComboUI*>(Control(list, "_profile_combo"));
}

ui::CControlUI* ProfilePage::Control(ListId list, const char* suffix) {
    return host_.Controls().FindControl(std::string(InfoOf(list).controlStem) + suffix);
}

void ProfilePage::AddComboEntry(ListId list, const std::string& name, Row row) {
    ui::CComboUI* combo = Combo(list);
    if (combo == nullptr) {
        return;
    }
    auto* item = new ui::CListLabelElementUI();
    item->SetText(name);
    item->SetUserData(name);
    if (row != Row::Copied) {
        item->SetFixedHeight(25);
    }
    if (row == Row::Added) {
        item->SetAttribute("style", "listex_item_style");
    }
    combo->Add(item);
}

void ProfilePage::Message(const char* textId) {
    host_.ShowMessage(textId);
}

// A file that could not be read or written: the message and, below it, which file and which
// operation failed.
void ProfilePage::FileMessage(const char* textId) {
    const std::string& problem = profiles::LastProblem();
    const ui::CResourceManager* texts = ui::CResourceManager::GetInstance();
    if (problem.empty() || texts == nullptr || !texts->HasText(textId)) {
        Message(textId);
        return;
    }
    host_.ShowMessage(texts->GetText(textId) + "\n\n" + problem, false);
}

bool ProfilePage::Report(OpResult result) {
    switch (result) {
        case OpResult::Ok:
            return true;
        case OpResult::SourceMissing:
            FileMessage("message_text_8");
            break;
        case OpResult::SourceNotAProfile:
            FileMessage("message_text_9");
            break;
        case OpResult::LastEntry:
            Message("message_text_11");
            break;
        case OpResult::EmptyName:
            Message("message_text_14");
            break;
        case OpResult::DuplicateName:
            Message("message_text_15");
            break;
        case OpResult::BadName:
            Message("message_profile_name_bad");
            break;
        case OpResult::WriteFailed:
            FileMessage("message_profile_write_failed");
            break;
        case OpResult::NoSelection:
            break;
    }
    return false;
}

// ---- lists ----------------------------------------------------------------------------------

bool ProfilePage::FillProfileLists(DeviceKind device) {
    for (const ListId list : ListsOf(device)) {
        const ListId id = list;
        if (profiles::ReadCount(id) > 0) {
            for (const profiles::ListEntry& entry : profiles::ReadList(id)) {
                AddComboEntry(list, entry.name, Row::StartUp);
            }
        } else {
            if (!Report(profiles::CreateFirstProfile(id, applicationFolder_))) {
                return false;
            }
            // "profile1", or the list rebuilt from the profile files present.
            for (const profiles::ListEntry& entry : profiles::ReadList(id)) {
                AddComboEntry(list, entry.name, Row::StartUp);
            }
        }
        const int select = profiles::ReadSelect(id);
        inForce_[Index(list)] = select >= 0 && select < profiles::ReadCount(id) ? select : -1;
    }
    if (device == DeviceKind::Mouse) {
        if (ui::CControlUI* panel = host_.Controls().FindControl("ms_tab_function")) {
            panel->SetEnabled(false);
        }
    }
    return true;
}

void ProfilePage::SelectProfile(ListId list, int position) {
    ui::CComboUI* combo = Combo(list);
    if (combo == nullptr || position < 0 || position >= combo->GetCount()) {
        return;
    }
    const ListId id = list;
    const std::string name = combo->GetItemAt(position)->GetText();
    if (ui::CControlUI* edit = Control(list, "_profile_name_edit")) {
        edit->SetText(name);
    }
    // The user's choice is kept in the index; a linked profile the watcher puts in force is not.
    if (!linkedSelection_) {
        profiles::WriteSelect(id, position);
    }
    inForce_[Index(list)] = position;

    const std::vector<profiles::ListEntry> entries = profiles::ReadList(id);
    auto* check = dynamic_cast<ui::COptionUI*>(Control(list, "_profile_link_check"));
    const auto at = static_cast<size_t>(position);
    if (at < entries.size() && entries[at].flagSet) {
        if (const auto file = ProgramFileName(entries[at].program)) {
            if (ui::CControlUI* edit = Control(list, "_profile_link_edit")) {
                edit->SetText(*file);
            }
            if (check != nullptr) {
                check->Selected(true, false);
            }
            if (ui::CControlUI* row = Control(list, "_profile_link_name_hor")) {
                row->SetVisible(true);
            }
        }
    } else if (check != nullptr) {
        check->Selected(false, true);
    }

    std::vector<uint8_t> blob;
    const int result = profiles::LoadBlob(id, position, blob);
    if (result == profiles::kProfileMissing) {
        DebugTrace("配置文件丢失");
    } else if (result == profiles::kProfileNotAProfile) {
        DebugTrace("配置文件格式错误");
    } else {
        LoadBlobIntoMemory(list, blob);
    }
    ApplyLoaded(list);
}

void ProfilePage::StoreCurrentProfile(ListId list) {
    const int position = inForce_[Index(list)];
    if (position < 0) {
        return;  // the list has no profile in force (its first use failed)
    }
    if (!bindings_[Index(list)].blobFromMemory) {
        return;  // no model holds this list: its file stays as it is
    }
    const std::vector<uint8_t> blob = BlobFromMemory(list);
    // Said once when storing starts to fail, not on every change after.
    static bool failing = false;
    const bool stored = profiles::StoreBlob(list, position, blob);
    if (!stored && !failing) {
        DebugTrace(profiles::LastProblem());
        Message("message_profile_write_failed");
    }
    failing = !stored;
}

void ProfilePage::Bind(ListId list, host::ProfileListBinding binding) {
    bindings_[Index(list)] = std::move(binding);
}

std::vector<uint8_t> ProfilePage::BlobFromMemory(ListId list) {
    const auto& binding = bindings_[Index(list)];
    return binding.blobFromMemory ? binding.blobFromMemory() : std::vector<uint8_t>();
}

void ProfilePage::LoadBlobIntoMemory(ListId list, std::span<const uint8_t> blob) {
    if (const auto& binding = bindings_[Index(list)]; binding.loadBlob) {
        binding.loadBlob(blob);
    }
}

void ProfilePage::ApplyLoaded(ListId list) {
    if (const auto& binding = bindings_[Index(list)]; binding.apply) {
        binding.apply();
    }
}

// ---- operations -----------------------------------------------------------------------------

void ProfilePage::RunOperation(ListId list, ProfileOp op) {
    ui::CComboUI* combo = Combo(list);
    if (combo == nullptr) {
        return;
    }
    const ListId id = list;
    const int selected = combo->GetCurSel();
    switch (op) {
        case ProfileOp::Add: {
            std::string name;
            const OpResult result = profiles::AddProfile(id, applicationFolder_, name);
            if (result == OpResult::Ok || result == OpResult::SourceMissing ||
                result == OpResult::SourceNotAProfile) {
                // The entry and its index keys stay even when the default could not be read.
                AddComboEntry(list, name, Row::Added);
            }
            if (Report(result)) {
                combo->SelectItem(combo->GetCount() - 1);
            }
            break;
        }
        case ProfileOp::Delete: {
            if (combo->GetCount() == 1) {
                Message("message_text_11");
                return;
            }
            if (selected < 0 || !host_.Ask(FillName(LanguageText("message_profile_delete"),
                                                    combo->GetItemAt(selected)->GetText()),
                                           false)) {
                return;
            }
            if (!Report(profiles::DeleteProfile(id, selected))) {
                return;
            }
            combo->SelectItem(-1, false, false);
            combo->Remove(combo->GetItemAt(selected));
            combo->SelectItem(combo->GetCount() - 1, false, false);
            // Loaded and applied even when the selection did not move.
            SelectProfile(list, combo->GetCount() - 1);
            break;
        }
        case ProfileOp::Copy: {
            if (selected < 0) {
                return;
            }
            std::string name;
            if (Report(profiles::CopyProfile(id, selected, name))) {
                AddComboEntry(list, name, Row::Copied);
                combo->SelectItem(combo->GetCount() - 1);
            }
            break;
        }
        case ProfileOp::Import: {
            if (selected < 0) {
                return;
            }
            const auto source = ui::GetOpenFileName(0, ProfileDialog(list, "file_import_title"));
            std::vector<uint8_t> checked;  // a refused file adds and changes nothing
            if (!source || !Report(profiles::CheckImportFile(id, *source, checked))) {
                return;
            }
            int target = selected;
            if (InfoOf(list).kind == profiles::ProfileKind::Device) {
                // A new entry holding the file: name, file and index under one lock, so an add
                // elsewhere meanwhile never takes the entry or the user's profile.
                std::string name;
                if (!Report(profiles::AddImportedProfile(id, *source, name, target))) {
                    return;
                }
                AddComboEntry(list, name, Row::Added);
            } else if (!Report(profiles::ImportProfile(id, target, *source))) {
                return;
            }
            combo->SelectItem(target, false, false);
            SelectProfile(list, target);  // loads the imported blob
            break;
        }
        case ProfileOp::Export: {
            if (selected < 0) {
                return;
            }
            const auto target = ui::GetSaveFileName(
                0, ProfileDialog(list, "file_export_title", combo->GetItemAt(selected)->GetText()));
            if (target) {
                Report(profiles::ExportProfile(id, selected, *target));
            }
            break;
        }
        case ProfileOp::Reset: {
            std::vector<uint8_t> blob;
            if (Report(profiles::ReadDefaultBlob(id, applicationFolder_, blob))) {
                ResetList(list, blob);
            }
            break;
        }
    }
}

void ProfilePage::ResetList(ListId list, std::span<const uint8_t> blob) {
    if (const auto& binding = bindings_[Index(list)]; binding.reset) {
        binding.reset(blob);
    }
}

void ProfilePage::RenameProfile(ListId list) {
    ui::CComboUI* combo = Combo(list);
    ui::CControlUI* edit = Control(list, "_profile_name_edit");
    if (combo == nullptr || edit == nullptr) {
        return;
    }
    const int selected = combo->GetCurSel();
    const std::string name = edit->GetText();
    // A refused name leaves the profile as it was, and the edit shows so.
    auto putBack = [&] {
        if (selected >= 0) {
            edit->SetText(combo->GetItemAt(selected)->GetText());
        }
    };
    if (name.empty()) {
        Message("message_text_14");
        putBack();
        return;
    }
    if (selected < 0) {
        return;
    }
    if (!Report(profiles::RenameProfile(list, selected, name))) {
        putBack();
        return;
    }
    ui::CControlUI* item = combo->GetItemAt(selected);
    item->SetText(name);
    item->SetUserData(name);
    edit->SetText(name);
}

// ---- links ----------------------------------------------------------------------------------

std::optional<std::string> ProfilePage::ChooseProgram() {
    ui::FileDialogOptions options;
    options.defaultExtension = "";
    options.initialName = "*";
    options.directory = DocumentsFolder().string();
    options.title = LanguageText("file_program_title");
    options.filter = LanguageText("file_filter_all") + " | * ||";
    options.promptOverwrite = false;
    return ui::GetOpenFileName(0, options);
}

void ProfilePage::RemoveLink(ListId list, int removalCase) {
    ui::CComboUI* combo = Combo(list);
    const int selected = combo != nullptr ? combo->GetCurSel() : -1;
    if (selected >= 0) {
        profiles::WriteLink(list, selected, false, " ");
    }
    if (ui::CControlUI* edit = Control(list, "_profile_link_edit")) {
        edit->SetText(" ");
    }
    if (ui::CControlUI* row = Control(list, "_profile_link_name_hor")) {
        row->SetVisible(LinkRowVisible(list, removalCase));
    }
}

void ProfilePage::LinkTo(ListId list, const std::string& program) {
    ui::CComboUI* combo = Combo(list);
    const int selected = combo != nullptr ? combo->GetCurSel() : -1;
    const auto file = ProgramFileName(program);
    if (selected < 0 || !file) {
        return;
    }
    if (ui::CControlUI* edit = Control(list, "_profile_link_edit")) {
        edit->SetText(*file);
    }
    profiles::WriteLink(list, selected, true, program);
    if (auto* check = dynamic_cast<ui::COptionUI*>(Control(list, "_profile_link_check"))) {
        check->Selected(true, false);
    }
    if (ui::CControlUI* row = Control(list, "_profile_link_name_hor")) {
        row->SetVisible(true);
    }
}

void ProfilePage::LinkCheckChanged(ListId list, bool checked) {
    auto* check = dynamic_cast<ui::COptionUI*>(Control(list, "_profile_link_check"));
    if (!checked) {
        if (check != nullptr) {
            check->Selected(false, true);
        }
        RemoveLink(list, kUnchecked);
        return;
    }
    auto uncheck = [&] {
        if (check != nullptr) {
            check->Selected(false, true);  // runs the unchecked case
        }
    };
    const auto program = ChooseProgram();
    if (!program) {
        uncheck();
        RemoveLink(list, kCancelled);
        return;
    }
    if (profiles::FindLinkedProgram(list, *program)) {
        Message("message_text_13");
        uncheck();
        return;
    }
    if (!ProgramFileName(*program)) {
        uncheck();
        RemoveLink(list, kNoSeparator);
        return;
    }
    LinkTo(list, *program);
}

void ProfilePage::ChooseLinkedProgram(ListId list) {
    const auto program = ChooseProgram();
    if (!program) {
        return;
    }
    if (profiles::FindLinkedProgram(list, *program)) {
        Message("message_text_13");
        if (auto* check = dynamic_cast<ui::COptionUI*>(Control(list, "_profile_link_check"))) {
            check->Selected(false, true);
        }
        return;
    }
    if (ProgramFileName(*program)) {
        LinkTo(list, *program);
    }
}

void ProfilePage::CancelLink(ListId list) {
    if (auto* check = dynamic_cast<ui::COptionUI*>(Control(list, "_profile_link_check"))) {
        check->Selected(false, true);
    }
    if (ui::CControlUI* edit = Control(list, "_profile_link_edit")) {
        edit->SetText(" ");
    }
    if (ui::CControlUI* row = Control(list, "_profile_link_name_hor")) {
        row->SetVisible(true);
    }
}

void ProfilePage::ApplyWatcherDecision(profiles::WatcherDecision decision) {
    ui::CComboUI* combo = Combo(ListId::MouseDevice);
    if (combo == nullptr) {
        return;
    }
    // The watcher read the user's selection on its own thread; a selection made since then is
    // newer, and applying the old one would write it back over the user's choice.
    const int position =
        decision.linked ? decision.position : profiles::ReadSelect(ListId::MouseDevice);
    if (position < 0 || position >= combo->GetCount()) {
        return;
    }
    linkedSelection_ = decision.linked;
    combo->SelectItem(position);  // runs the selection handling when it changes
    linkedSelection_ = false;
}

}  // namespace gmd::app
