#include "keyboard_pad/keyboard_light_thread.h"

#include <algorithm>
#include <chrono>

#include "platform/debug_output.h"

namespace gmd::keyboard {

namespace {

constexpr const char* kExitLine = "键盘灯光线程设定退出";
constexpr const char* kUnknownModeLine = "键盘灯光线程: 未知模式";
constexpr size_t kMaxPendingClicks = 64;  // clicks faster than the steps are not hoarded

}  // namespace

void KeyboardLightShared::SetFields(const KeyboardLightFields& fields) {
    std::lock_guard lock(mutex_);
    fields_ = fields;
}

void KeyboardLightShared::SetCustomColours(std::span<const uint8_t, kFrameSize> colours) {
    std::lock_guard lock(mutex_);
    std::copy(colours.begin(), colours.end(), custom_.begin());
}

void KeyboardLightShared::RequestModeChoice(uint8_t mode) {
    std::lock_guard lock(mutex_);
    choice_ = mode;
    clicks_.clear();
}

void KeyboardLightShared::ClickKey(uint8_t key) {
    std::lock_guard lock(mutex_);
    if (clicks_.size() < kMaxPendingClicks) {
        clicks_.push_back(key);
    }
}

void KeyboardLightShared::Take(Input& input) {
    std::lock_guard lock(mutex_);
    input.fields = fields_;
    input.custom = custom_;
    input.choice = choice_;
    choice_.reset();
    input.clicks.swap(clicks_);
    clicks_.clear();
}

void ChooseKeyboardLightMode(KeyboardLightShared& shared, CDeviceChannel& channel, uint8_t mode) {
    shared.RequestModeChoice(mode);
    channel.SetLightSync(false);
}

void RunKeyboardLightThread(KeyboardLightContext context, StopEvent& stop,
                            KeyboardLightTiming timing) {
    using Clock = std::chrono::steady_clock;
    if (stop.Wait(timing.startDelayMs)) {
        DebugTrace(kExitLine);
        return;
    }
    KeyboardEffectState state;
    KeyboardLightShared::Input input;
    bool unknownModeTold = false;
    auto next = Clock::now();
    while (!stop.IsSet()) {
        if (!context.channel.IsConnected() || context.channel.LightSync()) {
            if (stop.Wait(timing.idleWaitMs)) {
                break;
            }
            next = Clock::now();
            continue;
        }
        context.shared.Take(input);
        if (input.choice) {
            ChooseKeyboardMode(state, *input.choice);
        }
        if (input.fields.mode == 9) {
            for (const uint8_t key : input.clicks) {
                ReactToKey(state, key);
            }
        }
        next += std::chrono::milliseconds(KeyboardStepPeriodMs(input.fields));
        if (const auto now = Clock::now(); next < now) {
            next = now;
        }
        if (StepKeyboardLight(state, input.fields, input.custom)) {
            unknownModeTold = false;
            const KeyboardFrame frame = BuildKeyboardFrame(state.leds);
            context.shared.frames.Publish(state.leds, frame);
        } else if (!unknownModeTold) {
            DebugTrace(kUnknownModeLine);
            unknownModeTold = true;
        }
        if (stop.WaitUntil(next)) {
            break;
        }
    }
    DebugTrace(kExitLine);
}

}  // namespace gmd::keyboard
