#include "keyboard_pad/sync_light_thread.h"

#include <chrono>

#include "keyboard_pad/keyboard_layout.h"
#include "platform/debug_output.h"

namespace gmd::sync_light {

namespace {

constexpr const char* kExitLine = "同步灯光线程设定退出";

bool Connected(const SyncDevice& device) {
    return device.channel != nullptr && device.channel->IsConnected();
}

bool Synchronised(const SyncDevice& device) {
    return device.channel != nullptr && device.channel->LightSync();
}

void PublishTo(const SyncDevice& device, std::span<const light::Led> leds,
               const std::vector<uint8_t>& frame) {
    if (device.frames != nullptr && !frame.empty()) {
        device.frames->Publish(leds, frame);
    }
}

}  // namespace

void SyncBlock::Set(std::span<const uint8_t, kSyncBlockSize> bytes) {
    std::lock_guard lock(mutex_);
    std::copy(bytes.begin(), bytes.end(), bytes_.begin());
}

std::array<uint8_t, kSyncBlockSize> SyncBlock::Bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

SyncFields SyncBlock::Fields() const {
    const std::array<uint8_t, kSyncBlockSize> bytes = Bytes();
    return SyncFieldsFromBytes(bytes);
}

void StartSync(SyncBlock& block, std::span<const uint8_t, kSyncBlockSize> sourceFields,
               std::span<CDeviceChannel* const> channels) {
    block.Set(sourceFields);
    for (CDeviceChannel* channel : channels) {
        if (channel != nullptr) {
            channel->SetLightSync(true);
        }
    }
}

void RunSyncLightThread(SyncLightContext context, StopEvent& stop, SyncLightTiming timing) {
    using Clock = std::chrono::steady_clock;
    SyncEffectState state;
    // The keyboard frame follows our keyboard's layout unless a caller brings its own.
    const KeyboardFrameLayout* layout =
        context.keyboardLayout != nullptr ? context.keyboardLayout : &keyboard::SyncFrameLayout();
    auto next = Clock::now();
    while (!stop.IsSet()) {
        if (!Connected(context.keyboard) && !Connected(context.mouse) &&
            !Connected(context.mousepad)) {
            if (stop.Wait(timing.noDeviceWaitMs)) {
                break;
            }
            next = Clock::now();
            continue;
        }
        const SyncTargets targets{Synchronised(context.keyboard), Synchronised(context.mouse),
                                  Synchronised(context.mousepad)};
        if (!targets.keyboard && !targets.mouse && !targets.mousepad) {
            if (stop.Wait(timing.idleWaitMs)) {
                break;
            }
            next = Clock::now();
            continue;
        }
        const SyncFields fields = context.block.Fields();
        SyncStepResult step = StepSyncLight(state, fields, targets, layout);
        if (!step.ran) {
            if (stop.Wait(timing.idleWaitMs)) {
                break;
            }
            next = Clock::now();
            continue;
        }
        PublishTo(context.keyboard, state.keyboard, step.frames.keyboard);
        PublishTo(context.mouse, state.mouse, step.frames.mouse);
        PublishTo(context.mousepad, state.mousepad, step.frames.mousepad);
        next += std::chrono::milliseconds(step.periodMs);
        const auto now = Clock::now();
        if (next < now) {
            next = now;
        }
        if (next > now && stop.Wait(static_cast<int>(
                              std::chrono::ceil<std::chrono::milliseconds>(next - now).count()))) {
            break;
        }
    }
    DebugTrace(kExitLine);
}

}  // namespace gmd::sync_light
