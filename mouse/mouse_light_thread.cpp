#include "mouse/mouse_light_thread.h"

#include <chrono>
#include <string>

#include "platform/debug_output.h"

namespace gmd::mouse {

namespace {

constexpr const char* kExitLine = "鼠标灯光线程设定退出";
constexpr const char* kUnknownModeLine = "鼠标灯光线程设定2";

}  // namespace

void ChooseMouseLightMode(MouseBlocks& blocks, CDeviceChannel& channel, MouseLightShared& shared,
                          uint8_t mode) {
    shared.resetRequest = true;
    {
        std::lock_guard lock(blocks.lightMutex);
        LightFields fields = ReadLightFields(blocks.mouseLive);
        ApplyModeChoice(fields, mode);
        blocks.mouseLive[live::lightMode] = fields.mode;
        blocks.mouseLive[live::colourCycle] = fields.colourCycle;
    }
    channel.SetLightSync(false);
}

void RunMouseLightThread(MouseLightContext context, StopEvent& stop, MouseLightTiming timing) {
    using Clock = std::chrono::steady_clock;
    // A stop during the start delay is kept: shutdown must not wait for the first pass.
    if (stop.Wait(timing.startDelayMs)) {
        DebugTrace(kExitLine);
        return;
    }
    MouseEffectState state;
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
        if (context.shared.resetRequest.exchange(false)) {
            ResetEffects(state);
        }
        LightFields fields;
        {
            std::lock_guard lock(context.blocks.lightMutex);
            fields = ReadLightFields(context.blocks.mouseLive);
        }
        next += std::chrono::milliseconds(MouseStepPeriodMs(fields));
        // Fall no more than one period behind (a long pause must not bring a burst of steps).
        if (const auto now = Clock::now(); next < now) {
            next = now;
        }
        const uint8_t phase = fields.effectPhase;
        const bool flash = fields.mode == 6 && context.shared.flashRequest.exchange(false);
        if (StepMouseLight(state, fields, flash)) {
            unknownModeTold = false;
            if (fields.effectPhase != phase) {
                std::lock_guard lock(context.blocks.lightMutex);
                WriteEffectPhase(context.blocks.mouseLive, fields);
            }
        } else if (!unknownModeTold) {
            DebugTrace(kUnknownModeLine);
            unknownModeTold = true;
        }
        const MouseFrame frame = BuildMouseFrame(state.leds);
        context.shared.frames.Publish(state.leds, frame);
        if (stop.WaitUntil(next)) {
            break;
        }
    }
    DebugTrace(kExitLine);
}

}  // namespace gmd::mouse
