#pragma once
// The profile panels of the device pages: the seven lists in their combo boxes, selecting and
// storing profiles, the list operations with their messages and file dialogs, program links,
// and the device-profile watcher's decisions carried out on the UI thread.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/operations.h"
#include "platform/foreground_program.h"
#include "profiles/profile_store.h"
#include "profiles/profile_types.h"
#include "profiles/profile_watcher.h"

namespace gmd::ui {
class CComboUI;
class CControlUI;
}  // namespace gmd::ui

namespace gmd::app {

class CMainWnd;
class MousePage;

// Settings of the keyboard and the mousepad as their profile files carry them. Neither device
// attaches; their lists, files and operations work on this memory all the same.
struct KeyboardProfileData {
    std::array<uint8_t, 512> image{};
    std::array<uint8_t, 64> light{};
    uint32_t customTable = 0;
    std::array<uint8_t, 5 * 378> tables{};
    std::array<uint8_t, 21> live{};
};
struct MousepadProfileData {
    std::array<uint8_t, 64> light{};
    std::array<uint8_t, 21> live{};
};

class ProfilePage {
  public:
    ProfilePage(CMainWnd& wnd, MousePage& mouse);

    // Where the default profile files are (the application folder).
    void SetApplicationFolder(std::filesystem::path folder) {
        applicationFolder_ = std::move(folder);
    }

    // Page start-up: the device's lists into their combo boxes, created on first use. false when
    // a default file was missing (the rest of the device's start-up is skipped).
    bool FillProfileLists(Device device);
    // The selection handling of a list's combo box.
    void SelectProfile(ProfileList list, int position);
    // The profile in force of a list from memory into its file.
    void StoreCurrentProfile(ProfileList list);
    void RunOperation(ProfileList list, ProfileOp op);
    void RenameProfile(ProfileList list);
    void LinkCheckChanged(ProfileList list, bool checked);
    void ChooseLinkedProgram(ProfileList list);
    void CancelLink(ProfileList list);

    // On the UI thread: the watcher's decision for the mouse device list. A decision for the
    // user's selection takes the selection as the index holds it now, not as the watcher read it.
    void ApplyWatcherDecision(profiles::WatcherDecision decision);
    // The position whose file gets the list's changes (-1: none).
    int InForce(ProfileList list) const { return inForce_[Index(list)]; }

    KeyboardProfileData& Keyboard() { return keyboard_; }
    MousepadProfileData& Mousepad() { return mousepad_; }

  private:
    static size_t Index(ProfileList list) { return static_cast<size_t>(list); }
    ui::CComboUI* Combo(ProfileList list);
    ui::CControlUI* Control(ProfileList list, const char* suffix);
    // Rows as each operation makes them: start-up rows 25 high, added rows 25 high in the list
    // row style, copied rows plain.
    enum class Row { StartUp, Added, Copied };
    void AddComboEntry(ProfileList list, const std::string& name, Row row);
    bool Message(const char* textId, bool confirm = false);
    bool Report(profiles::OpResult result);  // true when Ok
    std::vector<uint8_t> BlobFromMemory(ProfileList list);
    void LoadBlobIntoMemory(ProfileList list, std::span<const uint8_t> blob);
    void ApplyLoaded(ProfileList list);
    void ResetList(ProfileList list, std::span<const uint8_t> blob);
    void RemoveLink(ProfileList list, int removalCase);
    void LinkTo(ProfileList list, const std::string& program);
    std::optional<std::string> ChooseProgram();

    CMainWnd& wnd_;
    MousePage& mouse_;
    std::filesystem::path applicationFolder_;
    std::array<int, profiles::kListCount> inForce_;
    KeyboardProfileData keyboard_;
    MousepadProfileData mousepad_;
    bool linkedSelection_ = false;  // the watcher is selecting: not the user's choice
};

}  // namespace gmd::app
