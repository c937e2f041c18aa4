#pragma once
// What a page of a subsystem may ask of the shell that holds it. Subsystem folders (mouse/,
// profiles/, ...) include this header and ui/, never app/: the shell implements the host, and a
// test hands a page a fake one. Header-only, no Qt; the same shape as MouseWatchEvents for the
// detection thread.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "device/device_kind.h"
#include "profiles/profile_types.h"

namespace gmd {
class CDeviceChannel;
}
namespace gmd::ui {
class CPaintManagerUI;
}

namespace gmd::host {

class PageHost {
  public:
    // The device link of a device (its reads and writes block: call on the UI thread).
    virtual CDeviceChannel& Channel(DeviceKind device) = 0;
    // The controls of the main window, for FindControl.
    virtual ui::CPaintManagerUI& Controls() = 0;
    // The device's live block changed: it goes out with the next coalesced send.
    virtual void MarkLiveChanged(DeviceKind device) = 0;
    // Whether the live block changed since the last call (clears the mark).
    virtual bool TakeLiveChanged(DeviceKind device) = 0;
    // The profile in force of a list from memory into its file.
    virtual void StoreProfile(profiles::ListId list) = 0;
    // A message box of a language text id (or a literal) that tells: its OK button only.
    virtual int ShowMessage(const std::string& text, bool isTextId = true) = 0;
    // A message box that asks (OK and Cancel); true when the user chose OK.
    virtual bool Ask(const std::string& text, bool isTextId = true) = 0;
    // A "%d" template text id filled in with a number.
    virtual std::string FormatTemplate(const std::string& textId, int number) = 0;
    // Runs a task on the UI thread later (safe from any thread).
    virtual void PostToUi(std::function<void()> task) = 0;
    // The device's whole configuration read again after delayMs (a reset needs a moment).
    virtual void ReadOutLater(DeviceKind device, int delayMs) = 0;

  protected:
    ~PageHost() = default;
};

// How a profile list reaches the memory of the device model it belongs to. The model registers
// one binding per list it owns; the profile panels know nothing of any list's layout.
struct ProfileListBinding {
    // The list's blob as memory holds it now.
    std::function<std::vector<uint8_t>()> blobFromMemory;
    // A profile's blob into memory (nothing else yet).
    std::function<void(std::span<const uint8_t>)> loadBlob;
    // After loadBlob: the pages, the device and the desktop follow memory.
    std::function<void()> apply;
    // Back to the default blob: memory, the profile file and the device.
    std::function<void(std::span<const uint8_t>)> reset;
};

}  // namespace gmd::host
