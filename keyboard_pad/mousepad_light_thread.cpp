#include "keyboard_pad/mousepad_light_thread.h"

#include <chrono>

#include "platform/debug_output.h"

namespace gmd::mousepad {

namespace {

constexpr const char* kExitLine = "鼠标垫灯光线程设定退出";
constexpr const char* kUnknownModeLine = "鼠标垫灯光线程: 未知模式";

}  // namespace

void PadLightShared::SetFields(const PadLightFields& fields) {
    std::lock_guard lock(mutex_);
    fields_ = fields;
}

void PadLightShared::RequestModeChoice(uint8_t mode) {
    std::lock_guard lock(mutex_);
    choice_ = mode;
}

PadLightFields PadLightShared::Take(std::optional<uint8_t>& choice) {
    std::lock_guard lock(mutex_);
    choice = choice_;
    choice_.reset();
    return fields_;
}

void ChoosePadLightMode(PadLightShared& shared, CDeviceChannel& channel, uint8_t mode) {
    shared.RequestModeChoice(mode);
    channel.SetLightSync(false);
}

void RunPadLightThread(PadLightContext context, StopEvent& stop, PadLightTiming timing) {
    using Clock = std::chrono::steady_clock;
    if (stop.Wait(timing.startDelayMs)) {
        DebugTrace(kExitLine);
        return;
    }
    PadEffectState state;
    std::optional<uint8_t> choice;
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
        const PadLightFields fields = context.shared.Take(choice);
        if (choice) {
            ChoosePadMode(state, *choice);
        }
        const bool flash = fields.mode == 8 && context.shared.flashRequest.exchange(false);
        const auto now = Clock::now();
        const int64_t nowMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
        const PadStepResult step = StepPadLight(state, fields, flash, nowMs);
        next += std::chrono::milliseconds(step.periodMs);
        if (next < now) {
            next = now;
        }
        if (step.ran) {
            unknownModeTold = false;
            if (step.sendFrame) {
                context.shared.frames.Publish(state.leds, step.frame);
            }
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

}  // namespace gmd::mousepad
