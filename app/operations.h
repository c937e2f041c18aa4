#pragma once
// The operations of the subsystems that the shell's switchboard reaches. The shell routes
// notifications, messages and timers to these; each subsystem provides its part. Until a
// subsystem exists its operations do nothing but leave a debug trace line.

#include <cstdint>
#include <string>

#include "device/device_kind.h"
#include "profiles/profile_page.h"

namespace gmd::app {

using profiles::ListId;

enum class MacroStepMove { Down, Up, ToTop, ToBottom, Delete, DeleteAll };

// Mouse actions the macro editor can insert ("ms_macro_inset_" + name + "_btn").
enum class MacroMouseInsert {
    LeftKey,
    RightKey,
    MiddleKey,
    ForwardKey,
    BackKey,
    LeftKeyDown,
    RightKeyDown,
    MiddleKeyDown,
    ForwardKeyDown,
    BackKeyDown,
    LeftKeyUp,
    RightKeyUp,
    MiddleKeyUp,
    ForwardKeyUp,
    BackKeyUp,
    MoveLeft,
    MoveRight,
    MoveUp,
    MoveDown,
};

enum class MacroStepField { Key, MouseButton, Direction };
enum class MacroEditField { ActionDelay, MouseActionDelay, PointerSkewing };
enum class PointerMove { Left, Right, Up, Down };
enum class Axis { X, Y };

class SubsystemOperations {
  public:
    virtual ~SubsystemOperations() = default;

    // ---- start-up and device read-outs (messages and timers) ----
    virtual void PageStartup(DeviceKind device);  // profile and macro lists
    virtual void MouseReadOut();                  // whole configuration from the mouse
    virtual void MouseRefreshOnRequest();         // the active onboard profile again
    virtual void RefreshMouseControls();          // image-to-controls pass
    virtual void RefreshKeyFunctionLists();       // after the attach read-out
    virtual void KeyboardReadOut();               // then the keyboard lighting page
    virtual void KeyboardProfileReload();
    virtual void MousepadReadOut();        // then the mousepad lighting page
    virtual void SendChangedLiveBlocks();  // every 100 ms
    virtual void SendMouseFrame();         // the current mouse LED frame
    // The mouse's event 0x403: a reactive flash on the device's lighting.
    virtual void RequestReactiveFlash(DeviceKind device);

    // ---- input hooks and macro recording ----
    virtual void RemoveInputHooks();
    virtual void StopMacroRecording();
    virtual void CaptureKey(DeviceKind page, uintptr_t keyCode, uintptr_t flags);
    virtual void RecordMacroKeyboardEvent(DeviceKind page, uintptr_t wParam, intptr_t lParam);
    virtual void RecordMacroMouseEvent(DeviceKind page, uintptr_t wParam, intptr_t lParam);
    virtual void ToggleMacroRecording(DeviceKind page);

    // ---- mouse settings ----
    virtual void SetDpiStageColour(int stage, uint32_t argb);  // after the palette's OK
    virtual void SetDpiStage(int stage, int position);         // slider released
    virtual void ShowDpiStageValue(int stage, int position);   // slider dragged
    virtual void SetPointerSpeed(int position);
    virtual void SetReportRate(int item);
    virtual void SetLiftHeight(int level);  // 0 low, 1 middle, 2 high
    virtual void SetLineAdjust(bool on);
    virtual void SwitchMouseOnboardProfile(int index);
    virtual void ChangeWheelLines(int delta);
    virtual void ApplyWheelLines(int lines);
    virtual void RestoreMouseDefaults();
    virtual void MouseDirectionButton(bool left);

    // ---- lighting ----
    virtual void SetLightColourPreset(DeviceKind device, int index);
    virtual void SetLightColour(DeviceKind device, uint32_t argb);  // from the palette control
    virtual void SetLightColourComponent(DeviceKind device, int channel,
                                         int value);  // 0 R, 1 G, 2 B
    virtual void SetSevenColourCycle(DeviceKind device, bool on);
    virtual void SetLightDirection(DeviceKind device, bool left);
    virtual void SetLightBrightness(DeviceKind device, int value);
    virtual void SetLightSpeed(DeviceKind device, int value);
    virtual void ChooseLightMode(DeviceKind device, int modeList, int item);
    virtual void SyncLighting(DeviceKind source);
    virtual void SetKeyboardAllKeysLight(bool on);
    virtual void ChooseKeyboardCustomSlotCount(int item);
    virtual void SelectKeyboardKeyForColour(int index);
    virtual void SwitchMousepadOnboardProfile(int item);
    virtual void RestoreMousepadDefaults();

    // ---- key assignment ----
    virtual void SelectKey(DeviceKind device, int index);
    virtual void ChooseKeyFunctionClass(DeviceKind device, int item);
    virtual void ApplyKeyFunction(DeviceKind device, int comboNumber, int item);
    virtual void ApplyKeyFunctionParameter(DeviceKind device, int editNumber, int value);
    virtual void SaveMouseKeyAssignment();
    virtual void RestoreDefaultKeys(DeviceKind device);
    virtual void UploadKeysAndMacros(DeviceKind device);  // with the progress indicator
    virtual void MouseKeyHover(int key, bool enter);
    virtual void DpiColourButtonHover(int stage, bool enter);

    // ---- macros ----
    virtual void AddMacro(DeviceKind page);
    virtual void DeleteMacro(DeviceKind page);
    virtual void OpenMacro(DeviceKind page, int item);
    virtual void MoveMacroStep(DeviceKind page, MacroStepMove move);
    virtual void CancelMacroEdit(DeviceKind page);
    virtual void SaveMacroEdit(DeviceKind page);
    virtual void SaveMacroName(DeviceKind page);
    virtual void ImportMacro(DeviceKind page);
    virtual void ExportMacro(DeviceKind page);
    virtual void InsertMacroMouseAction(DeviceKind page, MacroMouseInsert action);
    virtual void ChangeMacroStep(DeviceKind page, MacroStepField field, int item);
    virtual void ChangeMacroStepValue(DeviceKind page, MacroEditField field, int value);
    virtual void TakeMacroPointerMove(DeviceKind page, PointerMove move, int value);
    virtual void EditMacroStep(DeviceKind page, int row);

    // ---- cursor sequences ----
    virtual void SendCursorSequences();
    virtual void ResetCursorSequence();
    virtual void SelectCursorStepRelative(int delta);
    virtual void SelectCursorSequence(int index);
    virtual void SelectCursorStep(int index);
    virtual void SetCursorDirection(Axis axis, bool selected);
    virtual void ChangeCursorStepOffset(Axis axis, int value);
    virtual void ChangeCursorStepDelay(int value);
    virtual void ImportCursorFile();
    virtual void ExportCursorFile();

    // ---- profiles ----
    virtual void RunProfileOp(ListId list, ProfileOp op);
    virtual void RenameProfile(ListId list);
    virtual void LoadProfile(ListId list, int item);
    virtual void LinkProfileToExecutable(ListId list);
    virtual void RemoveProfileLink(ListId list);
    virtual void SetProfileLinkEnabled(ListId list, bool on);
    // Rewrites the selected profile file of a list from memory; every settings change calls it.
    virtual void StoreCurrentProfile(ListId list);
    // The device-profile watcher's decision, on the UI thread: the mouse device profile at
    // `position` should be in force; `linked`: because its program is in front.
    virtual void ApplyDeviceProfileWatch(int position, bool linked);

  protected:
    // The trace line of an operation whose subsystem is not there yet.
    static void NotYet(const std::string& what);
};

}  // namespace gmd::app
