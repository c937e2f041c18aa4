#pragma once
// What the shell asks of the mouse settings subsystem: its start-up, the read-outs its timers and
// messages run, the coalesced send, and the control handlers its routes call. The mouse page
// implements it; tests record it.

#include <cstdint>

namespace gmd::mouse {

class MouseOperations {
  public:
    // Page start: the desktop's pointer speed and wheel lines.
    virtual void Startup() = 0;
    // The whole configuration from the mouse (attach, sync event 0x402).
    virtual void ReadOut() = 0;
    // The active onboard profile again (sync event 0x401).
    virtual void RefreshOnRequest() = 0;
    // The blocks into the controls.
    virtual void RefreshControls() = 0;
    // The live block to the mouse when it changed (every 100 ms).
    virtual void SendChangedLiveBlocks() = 0;

    virtual void SetDpiStage(int stage, int position) = 0;         // slider released
    virtual void ShowDpiStageValue(int stage, int position) = 0;   // slider dragged
    virtual void SetDpiStageColour(int stage, uint32_t argb) = 0;  // after the palette's OK
    virtual void SetReportRate(int item) = 0;
    virtual void SetLiftHeight(int level) = 0;  // 0 low, 1 middle, 2 high
    virtual void SetLineAdjust(bool on) = 0;
    virtual void SetPointerSpeed(int position) = 0;
    virtual void SetWheelLines(int lines) = 0;
    virtual void StepWheelLines(bool up) = 0;
    virtual void SwitchOnboardProfile(int index) = 0;
    virtual void RestoreDefaults() = 0;

    // The lighting fields of the live block.
    virtual void SetBrightness(int value) = 0;
    virtual void SetLightSpeed(int sliderValue) = 0;
    virtual void SetColourCycle(bool on) = 0;
    virtual void SetLightDirection(bool left) = 0;

  protected:
    ~MouseOperations() = default;
};

}  // namespace gmd::mouse
