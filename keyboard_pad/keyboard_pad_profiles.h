#pragma once
// The keyboard's and the mousepad's profile lists bound to their memory. Neither device
// attaches yet: loads, stores and resets work on the memory, and the writes to the devices are
// refused by their channels at once.

#include <utility>
#include <vector>

#include "host/page_host.h"
#include "keyboard_pad/keyboard_blocks.h"
#include "keyboard_pad/mousepad_blocks.h"

namespace gmd::keyboard_pad {

class KeyboardPadProfiles {
  public:
    explicit KeyboardPadProfiles(host::PageHost& host) : host_(host) {}

    // The keyboard's three lists and the mousepad's light list.
    std::vector<std::pair<profiles::ListId, host::ProfileListBinding>> ProfileBindings();

    KeyboardProfileData& Keyboard() { return keyboard_; }
    MousepadProfileData& Mousepad() { return mousepad_; }

  private:
    void WriteKeyImage();
    // The key function panel of the keyboard's key page, disabled (and hidden when `hide`).
    void CloseKeyFunctionPanel(bool hide);

    host::PageHost& host_;
    KeyboardProfileData keyboard_;
    MousepadProfileData mousepad_;
};

}  // namespace gmd::keyboard_pad
