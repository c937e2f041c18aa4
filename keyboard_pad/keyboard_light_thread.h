#pragma once
// The keyboard lighting thread (worker 5): steps the keyboard engine on its period and publishes
// each 378-byte frame whole. While the keyboard is detached or synchronised it computes nothing.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "device/device_channel.h"
#include "keyboard_pad/keyboard_light_engine.h"
#include "mouse/light_frame_channel.h"
#include "platform/stop_event.h"

namespace gmd::keyboard {

struct KeyboardLightTiming {
    int startDelayMs = 1000;
    int idleWaitMs = 100;  // detached or synchronised: look again after this
};

// What the keyboard lighting thread shares with the rest of the program. The driver copies the
// live block's light fields and the selected custom colour set in here under its own lock.
class KeyboardLightShared {
  public:
    light::LightFrameChannel frames;  // read by the sender and the preview

    void SetFields(const KeyboardLightFields& fields);
    void SetCustomColours(std::span<const uint8_t, kFrameSize> colours);
    // The page chose `mode`: the thread resets the effects for it at its next step.
    void RequestModeChoice(uint8_t mode);
    // A key clicked in mode 9, handed to the reactive routine at the next step.
    void ClickKey(uint8_t key);

    struct Input {
        KeyboardLightFields fields;
        std::array<uint8_t, kFrameSize> custom{};
        std::optional<uint8_t> choice;
        std::vector<uint8_t> clicks;
    };
    // The thread's side: the current fields and colours, and the requests since the last take.
    void Take(Input& input);

  private:
    std::mutex mutex_;
    KeyboardLightFields fields_;
    std::array<uint8_t, kFrameSize> custom_{};
    std::optional<uint8_t> choice_;
    std::vector<uint8_t> clicks_;
};

// Choosing a keyboard lighting mode: the effects restart for it and the keyboard leaves
// synchronised lighting. The page writes the mode into the live block and marks it.
void ChooseKeyboardLightMode(KeyboardLightShared& shared, CDeviceChannel& channel, uint8_t mode);

struct KeyboardLightContext {
    CDeviceChannel& channel;
    KeyboardLightShared& shared;
};

// The thread's body until `stop` is set; steps are paced on absolute deadlines.
void RunKeyboardLightThread(KeyboardLightContext context, StopEvent& stop,
                            KeyboardLightTiming timing = {});

}  // namespace gmd::keyboard
