#pragma once
// What the shell asks of the profiles subsystem: the lists at page start-up, the store every
// settings change asks for, the device-profile watcher's decision, and the control handlers its
// routes call. The profile page implements it; tests record it.

#include "device/device_kind.h"
#include "profiles/profile_types.h"
#include "profiles/profile_watcher.h"

namespace gmd::profiles {

enum class ProfileOp { Add, Delete, Import, Export, Copy, Reset };

class ProfileOperations {
  public:
    // Page start-up: the device's lists into their combo boxes. false when a default file was
    // missing (the rest of the device's start-up is skipped).
    virtual bool FillProfileLists(DeviceKind device) = 0;
    // The profile in force of a list from memory into its file.
    virtual void StoreCurrentProfile(ListId list) = 0;
    // On the UI thread: the watcher's decision for the mouse device list.
    virtual void ApplyWatcherDecision(WatcherDecision decision) = 0;

    virtual void SelectProfile(ListId list, int position) = 0;
    virtual void RunOperation(ListId list, ProfileOp op) = 0;
    virtual void RenameProfile(ListId list) = 0;
    virtual void LinkCheckChanged(ListId list, bool checked) = 0;
    virtual void ChooseLinkedProgram(ListId list) = 0;
    virtual void CancelLink(ListId list) = 0;

  protected:
    ~ProfileOperations() = default;
};

}  // namespace gmd::profiles
