#include "profiles/profile_page.h"

#include <algorithm>
#include <cstring>

#include "app/main_wnd.h"
#include "device/command_set.h"
#include "mouse/mouse_page.h"
#include "platform/debug_output.h"
#include "profiles/profile_index.h"
#include "profiles/profile_store.h"
#include "ui/controls.h"
#include "ui/file_dialog.h"

namespace gmd::app {

namespace {

using profiles::ListId;
using profiles::OpResult;

ListId Id(ProfileList list) {
    return static_cast<ListId>(static_cast<int>(list));
}

const profiles::ListInfo& InfoOf(ProfileList list) {
    return profiles::Info(Id(list));
}

std::vector<ProfileList> ListsOf(Device device) {
    switch (device) {
        case Device::Mouse:
            return {ProfileList::MouseDevice, ProfileList::MouseLight, ProfileList::MouseKey};
        case Device::Keyboard:
            return {ProfileList::KeyboardDevice, ProfileList::KeyboardLight,
                    ProfileList::KeyboardKey};
        case Device::Mousepad:
            return {ProfileList::MousepadLight};
    }
    return {};
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
bool LinkRowVisible(ProfileList list, int removalCase) {
    switch (list) {
        case ProfileList::MouseDevice:
        case ProfileList::KeyboardDevice:
            return removalCase == kUnchecked;
        case ProfileList::KeyboardLight:
            return removalCase != kNoSeparator;
        case ProfileList::KeyboardKey:
            return true;
        default:
            return false;
    }
}

ui::FileDialogOptions ProfileDialog(ProfileList list) {
    const std::string ext(InfoOf(list).extension.substr(1));  // "config", "led", "pro"
    ui::FileDialogOptions options;
    options.defaultExtension = ext;
    options.initialName = "*." + ext;
    options.filter = "(*." + ext + ") | *." + ext + " ||";
    return options;
}

template <size_t N>
void CopyInto(std::array<uint8_t, N>& to, std::span<const uint8_t> from, size_t offset) {
    std::copy_n(from.begin() + static_cast<std::ptrdiff_t>(offset), N, to.begin());
}

}  // namespace

ProfilePage::ProfilePage(CMainWnd& wnd, MousePage& mouse) : wnd_(wnd), mouse_(mouse) {
    inForce_.fill(-1);
}

ui::CComboUI* ProfilePage::Combo(ProfileList list) {
    return dynamic_cast<ui::CComboUI*>(Control(list, "_profile_combo"));
}

ui::CControlUI* ProfilePage::Control(ProfileList list, const char* suffix) {
    return wnd_.GetPaintManager().FindControl(std::string(InfoOf(list).controlStem) + suffix);
}

void ProfilePage::AddComboEntry(ProfileList list, const std::string& name, Row row) {
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

bool ProfilePage::Message(const char* textId, bool confirm) {
    const int answer = wnd_.ShowMessageBox(textId);
    return confirm ? answer == 1 : true;
}

bool ProfilePage::Report(OpResult result) {
    switch (result) {
        case OpResult::Ok:
            return true;
        case OpResult::SourceMissing:
            Message("message_text_8");
            break;
        case OpResult::SourceNotAProfile:
            Message("message_text_9");
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
            Message("message_profile_write_failed");
            break;
        case OpResult::NoSelection:
            break;
    }
    return false;
}

// ---- lists ----------------------------------------------------------------------------------

bool ProfilePage::FillProfileLists(Device device) {
    for (const ProfileList list : ListsOf(device)) {
        const ListId id = Id(list);
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
    if (device == Device::Mouse) {
        if (ui::CControlUI* panel = wnd_.GetPaintManager().FindControl("ms_tab_function")) {
            panel->SetEnabled(false);
        }
    }
    return true;
}

void ProfilePage::SelectProfile(ProfileList list, int position) {
    ui::CComboUI* combo = Combo(list);
    if (combo == nullptr || position < 0 || position >= combo->GetCount()) {
        return;
    }
    const ListId id = Id(list);
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

void ProfilePage::StoreCurrentProfile(ProfileList list) {
    const int position = inForce_[Index(list)];
    if (position < 0) {
        return;  // the list has no profile in force (its first use failed)
    }
    const std::vector<uint8_t> blob = BlobFromMemory(list);
    // Said once when storing starts to fail, not on every change after.
    static bool failing = false;
    const bool stored = profiles::StoreBlob(Id(list), position, blob);
    if (!stored && !failing) {
        DebugTrace(profiles::LastProblem());
        Message("message_profile_write_failed");
    }
    failing = !stored;
}

std::vector<uint8_t> ProfilePage::BlobFromMemory(ProfileList list) {
    mouse::MouseBlocks& blocks = mouse_.Blocks();
    std::vector<uint8_t> blob;
    // resize + copy rather than insert: GCC 12 at -O3 misreads insert's bounds here.
    auto append = [&blob](std::span<const uint8_t> part) {
        const size_t at = blob.size();
        blob.resize(at + part.size());
        std::copy(part.begin(), part.end(), blob.begin() + static_cast<std::ptrdiff_t>(at));
    };
    auto keyboardLight = [&] {
        std::copy(keyboard_.live.begin(), keyboard_.live.end(), keyboard_.light.begin());
        append(keyboard_.light);
        const uint32_t n = keyboard_.customTable;
        const uint8_t number[4] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                                   static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)};
        append(number);
        append(keyboard_.tables);
    };
    switch (list) {
        case ProfileList::MouseDevice:
            return blocks.DeviceBlob();
        case ProfileList::MouseLight: {
            const auto light = blocks.LightBlob();
            return {light.begin(), light.end()};
        }
        case ProfileList::MouseKey:
            append(blocks.mouseBankImage[0]);
            break;
        case ProfileList::KeyboardDevice:
            append(keyboard_.image);
            keyboardLight();
            break;
        case ProfileList::KeyboardLight:
            keyboardLight();
            break;
        case ProfileList::KeyboardKey:
            append(keyboard_.image);
            break;
        case ProfileList::MousepadLight:
            std::copy(mousepad_.live.begin(), mousepad_.live.end(), mousepad_.light.begin());
            append(mousepad_.light);
            break;
    }
    return blob;
}

void ProfilePage::LoadBlobIntoMemory(ProfileList list, std::span<const uint8_t> blob) {
    mouse::MouseBlocks& blocks = mouse_.Blocks();
    auto keyboardLight = [&](size_t at) {
        CopyInto(keyboard_.light, blob, at);
        keyboard_.customTable = static_cast<uint32_t>(blob[at + 64]) |
                                (static_cast<uint32_t>(blob[at + 65]) << 8) |
                                (static_cast<uint32_t>(blob[at + 66]) << 16) |
                                (static_cast<uint32_t>(blob[at + 67]) << 24);
        CopyInto(keyboard_.tables, blob, at + 68);
        std::copy_n(keyboard_.light.begin(), keyboard_.live.size(), keyboard_.live.begin());
    };
    switch (list) {
        case ProfileList::MouseDevice:
            blocks.LoadDeviceBlob(blob, mouse_.SystemPointerSpeed());
            break;
        case ProfileList::MouseLight:
            blocks.LoadLightBlob(blob);
            break;
        case ProfileList::MouseKey:
            CopyInto(blocks.mouseBankImage[0], blob, 0);
            break;
        case ProfileList::KeyboardDevice:
            CopyInto(keyboard_.image, blob, 0);
            keyboardLight(512);
            break;
        case ProfileList::KeyboardLight:
            keyboardLight(0);
            break;
        case ProfileList::KeyboardKey:
            CopyInto(keyboard_.image, blob, 0);
            break;
        case ProfileList::MousepadLight:
            CopyInto(mousepad_.light, blob, 0);
            std::copy_n(mousepad_.light.begin(), mousepad_.live.size(), mousepad_.live.begin());
            break;
    }
}

void ProfilePage::ApplyLoaded(ProfileList list) {
    switch (list) {
        case ProfileList::MouseDevice:
            mouse_.ApplyDeviceProfile();
            break;
        case ProfileList::MouseLight:
            mouse_.ApplyLightProfile();
            break;
        case ProfileList::MouseKey:
            mouse_.ApplyKeyProfile();
            break;
        case ProfileList::KeyboardDevice:
        case ProfileList::KeyboardKey:
            if (list == ProfileList::KeyboardKey) {
                if (ui::CControlUI* panel = wnd_.GetPaintManager().FindControl("kb_tab_function")) {
                    panel->SetEnabled(false);
                }
            } else {
                wnd_.m_keyboardSendFlag.store(1);
            }
            WriteBankImage(wnd_.KeyboardDevice(), keyboard_.image, 0);
            break;
        case ProfileList::KeyboardLight:
            wnd_.m_keyboardSendFlag.store(1);
            break;
        case ProfileList::MousepadLight:
            wnd_.m_mousepadSendFlag.store(1);
            break;
    }
}

// ---- operations -----------------------------------------------------------------------------

void ProfilePage::RunOperation(ProfileList list, ProfileOp op) {
    ui::CComboUI* combo = Combo(list);
    if (combo == nullptr) {
        return;
    }
    const ListId id = Id(list);
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
            if (selected < 0 || !Message("message_text_12", true)) {
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
            const auto source = ui::GetOpenFileName(0, ProfileDialog(list));
            std::vector<uint8_t> checked;  // a refused file adds and changes nothing
            if (!source || !Report(profiles::CheckImportFile(id, *source, checked))) {
                return;
            }
            int target = selected;
            if (list == ProfileList::MouseDevice || list == ProfileList::KeyboardDevice) {
                const int before = combo->GetCount();
                RunOperation(list, ProfileOp::Add);
                // Into the new entry, also when its default could not be read and it was not
                // selected: the user's own profile is never overwritten by an import.
                target = combo->GetCount() > before ? combo->GetCount() - 1 : -1;
            }
            if (target < 0 || !Report(profiles::ImportProfile(id, target, *source))) {
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
            const auto target = ui::GetSaveFileName(0, ProfileDialog(list));
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

void ProfilePage::ResetList(ProfileList list, std::span<const uint8_t> blob) {
    switch (list) {
        case ProfileList::MouseDevice:
            mouse_.ResetDeviceProfile(blob);
            return;
        case ProfileList::MouseLight:
            mouse_.ResetLightProfile(blob);
            return;
        case ProfileList::MouseKey:
            mouse_.ResetKeyProfile(blob);
            return;
        case ProfileList::KeyboardKey:
            if (ui::CControlUI* panel = wnd_.GetPaintManager().FindControl("kb_tab_function");
                panel && panel->IsVisible()) {
                panel->SetVisible(false);
                panel->SetEnabled(false);
            }
            CopyInto(keyboard_.image, blob, 0);
            StoreCurrentProfile(list);
            WriteBankImage(wnd_.KeyboardDevice(), keyboard_.image, 0);
            return;
        case ProfileList::KeyboardDevice:
        case ProfileList::KeyboardLight:
            LoadBlobIntoMemory(list, blob);
            StoreCurrentProfile(list);
            wnd_.m_keyboardSendFlag.store(1);
            if (list == ProfileList::KeyboardDevice) {
                WriteBankImage(wnd_.KeyboardDevice(), keyboard_.image, 0);
            }
            return;
        case ProfileList::MousepadLight:
            std::copy_n(blob.begin(), 56, mousepad_.light.begin());
            std::copy_n(mousepad_.light.begin(), mousepad_.live.size(), mousepad_.live.begin());
            StoreCurrentProfile(list);
            wnd_.m_mousepadSendFlag.store(1);
            return;
    }
}

void ProfilePage::RenameProfile(ProfileList list) {
    ui::CComboUI* combo = Combo(list);
    ui::CControlUI* edit = Control(list, "_profile_name_edit");
    if (combo == nullptr || edit == nullptr) {
        return;
    }
    const int selected = combo->GetCurSel();
    const std::string name = edit->GetText();
    if (name.empty()) {
        Message("message_text_14");
        return;
    }
    if (selected < 0) {
        return;
    }
    if (!Report(profiles::RenameProfile(Id(list), selected, name))) {
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
    options.filter = "(*) | * ||";
    options.promptOverwrite = false;
    return ui::GetOpenFileName(0, options);
}

void ProfilePage::RemoveLink(ProfileList list, int removalCase) {
    ui::CComboUI* combo = Combo(list);
    const int selected = combo != nullptr ? combo->GetCurSel() : -1;
    if (selected >= 0) {
        profiles::WriteLink(Id(list), selected, false, " ");
    }
    if (ui::CControlUI* edit = Control(list, "_profile_link_edit")) {
        edit->SetText(" ");
    }
    if (ui::CControlUI* row = Control(list, "_profile_link_name_hor")) {
        row->SetVisible(LinkRowVisible(list, removalCase));
    }
}

void ProfilePage::LinkTo(ProfileList list, const std::string& program) {
    ui::CComboUI* combo = Combo(list);
    const int selected = combo != nullptr ? combo->GetCurSel() : -1;
    const auto file = ProgramFileName(program);
    if (selected < 0 || !file) {
        return;
    }
    if (ui::CControlUI* edit = Control(list, "_profile_link_edit")) {
        edit->SetText(*file);
    }
    profiles::WriteLink(Id(list), selected, true, program);
    if (auto* check = dynamic_cast<ui::COptionUI*>(Control(list, "_profile_link_check"))) {
        check->Selected(true, false);
    }
    if (ui::CControlUI* row = Control(list, "_profile_link_name_hor")) {
        row->SetVisible(true);
    }
}

void ProfilePage::LinkCheckChanged(ProfileList list, bool checked) {
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
    if (profiles::FindLinkedProgram(Id(list), *program)) {
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

void ProfilePage::ChooseLinkedProgram(ProfileList list) {
    const auto program = ChooseProgram();
    if (!program) {
        return;
    }
    if (profiles::FindLinkedProgram(Id(list), *program)) {
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

void ProfilePage::CancelLink(ProfileList list) {
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
    ui::CComboUI* combo = Combo(ProfileList::MouseDevice);
    if (combo == nullptr) {
        return;
    }
    // The watcher read the user's selection on its own thread; a selection made since then is
    // newer, and applying the old one would write it back over the user's choice.
    const int position =
        decision.linked ? decision.position : profiles::ReadSelect(Id(ProfileList::MouseDevice));
    if (position < 0 || position >= combo->GetCount()) {
        return;
    }
    linkedSelection_ = decision.linked;
    combo->SelectItem(position);  // runs the selection handling when it changes
    linkedSelection_ = false;
}

}  // namespace gmd::app
