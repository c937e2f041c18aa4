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

#include "host/page_host.h"
#include "platform/foreground_program.h"
#include "profiles/profile_operations.h"
#include "profiles/profile_store.h"
#include "profiles/profile_types.h"
#include "profiles/profile_watcher.h"

namespace gmd::ui {
class CComboUI;
class CControlUI;
}  // namespace gmd::ui

namespace gmd::app {

using profiles::ListId;

using profiles::ProfileOp;

class ProfilePage final : public profiles::ProfileOperations {
  public:
    explicit ProfilePage(host::PageHost& host);

    // The device model a list belongs to binds it; a list without a binding loads and stores
    // nothing.
    void Bind(ListId list, host::ProfileListBinding binding);

    // Where the default profile files are (the application folder).
    void SetApplicationFolder(std::filesystem::path folder) {
        applicationFolder_ = std::move(folder);
    }

    // Page start-up: the device's lists into their combo boxes, created on first use. false when
    // a default file was missing (the rest of the device's start-up is skipped).
    bool FillProfileLists(DeviceKind device) override;
    // The selection handling of a list's combo box.
    void SelectProfile(ListId list, int position) override;
    // The profile in force of a list from memory into its file.
    void StoreCurrentProfile(ListId list) override;
    void RunOperation(ListId list, ProfileOp op) override;
    void RenameProfile(ListId list) override;
    void LinkCheckChanged(ListId list, bool checked) override;
    void ChooseLinkedProgram(ListId list) override;
    void CancelLink(ListId list) override;

    // On the UI thread: the watcher's decision for the mouse device list. A decision for the
    // user's selection takes the selection as the index holds it now, not as the watcher read it.
    void ApplyWatcherDecision(profiles::WatcherDecision decision) override;
    // The position whose file gets the list's changes (-1: none).
    int InForce(ListId list) const { return inForce_[Index(list)]; }

  private:
    static size_t Index(ListId list) { return static_cast<size_t>(list); }
    ui::CComboUI* Combo(ListId list);
    ui::CControlUI* Control(ListId list, const char* suffix);
    // Rows as each operation makes them: start-up rows 25 high, added rows 25 high in the list
    // row style, copied rows plain.
    enum class Row { StartUp, Added, Copied };
    void AddComboEntry(ListId list, const std::string& name, Row row);
    void Message(const char* textId);
    void FileMessage(const char* textId);
    bool Report(profiles::OpResult result);  // true when Ok
    std::vector<uint8_t> BlobFromMemory(ListId list);
    void LoadBlobIntoMemory(ListId list, std::span<const uint8_t> blob);
    void ApplyLoaded(ListId list);
    void ResetList(ListId list, std::span<const uint8_t> blob);
    void RemoveLink(ListId list, int removalCase);
    void LinkTo(ListId list, const std::string& program);
    std::optional<std::string> ChooseProgram();

    host::PageHost& host_;
    std::array<host::ProfileListBinding, profiles::kListCount> bindings_;
    std::filesystem::path applicationFolder_;
    std::array<int, profiles::kListCount> inForce_;
    bool linkedSelection_ = false;  // the watcher is selecting: not the user's choice
};

}  // namespace gmd::app
