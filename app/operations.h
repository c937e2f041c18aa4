#pragma once
// The operations of the subsystems that the shell's switchboard reaches. The shell routes
// notifications, messages and timers to these; each subsystem provides its part. Until a
// subsystem exists its operations do nothing but leave a debug trace line.

#include <cstdint>
#include <string>

namespace gmd::app {

enum class Device { Keyboard, Mouse, Mousepad };

// The seven profile lists.
enum class ProfileList {
    MouseDevice,
    MouseLight,
    MouseKey,
    KeyboardDevice,
    KeyboardLight,
    KeyboardKey,
    MousepadLight
};

enum class ProfileOp { Add, Delete, Import, Export, Copy, Reset };

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
    virtual void PageStartup(Device device);  // profile and macro lists
    virtual void MouseReadOut();              // whole configuration from the mouse
    virtual void MouseRefreshOnRequest();     // the active onboard profile again
    virtual void RefreshMouseControls();      // image-to-controls pass
    virtual void RefreshKeyFunctionLists();   // after the attach read-out
    virtual void KeyboardReadOut();           // then the keyboard lighting page
    virtual void KeyboardProfileReload();
    virtual void MousepadReadOut();        // then the mousepad lighting page
    virtual void SendChangedLiveBlocks();  // every 100 ms
    virtual void SendMouseFrame();         // the current mouse LED frame
    // The mouse's event 0x403: a reactive flash on the device's lighting.
    virtual void RequestReactiveFlash(Device device);

    // ---- input hooks and macro recording ----
    virtual void RemoveInputHooks();
    virtual void StopMacroRecording();
    virtual void CaptureKey(Device page, uintptr_t keyCode, uintptr_t flags);
    virtual void RecordMacroKeyboardEvent(Device page, uintptr_t wParam, intptr_t lParam);
    virtual void RecordMacroMouseEvent(Device page, uintptr_t wParam, intptr_t lParam);
    virtual void ToggleMacroRecording(Device page);

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
    virtual void SetLightColourPreset(Device device, int index);
    virtual void SetLightColour(Device device, uint32_t argb);  // from the palette control
    virtual void SetLightColourComponent(Device device, int channel, int value);  // 0 R, 1 G, 2 B
    virtual void SetSevenColourCycle(Device device, bool on);
    virtual void SetLightDirection(Device device, bool left);
    virtual void SetLightBrightness(Device device, int value);
    virtual void SetLightSpeed(Device device, int value);
    virtual void ChooseLightMode(Device device, int modeList, int item);
    virtual void SyncLighting(Device source);
    virtual void SetKeyboardAllKeysLight(bool on);
    virtual void ChooseKeyboardCustomSlotCount(int item);
    virtual void SelectKeyboardKeyForColour(int index);
    virtual void SwitchMousepadOnboardProfile(int item);
    virtual void RestoreMousepadDefaults();

    // ---- key assignment ----
    virtual void SelectKey(Device device, int index);
    virtual void ChooseKeyFunctionClass(Device device, int item);
    virtual void ApplyKeyFunction(Device device, int comboNumber, int item);
    virtual void ApplyKeyFunctionParameter(Device device, int editNumber, int value);
    virtual void SaveMouseKeyAssignment();
    virtual void RestoreDefaultKeys(Device device);
    virtual void UploadKeysAndMacros(Device device);  // with the progress indicator
    virtual void MouseKeyHover(int key, bool enter);
    virtual void DpiColourButtonHover(int stage, bool enter);

    // ---- macros ----
    virtual void AddMacro(Device page);
    virtual void DeleteMacro(Device page);
    virtual void OpenMacro(Device page, int item);
    virtual void MoveMacroStep(Device page, MacroStepMove move);
    virtual void CancelMacroEdit(Device page);
    virtual void SaveMacroEdit(Device page);
    virtual void SaveMacroName(Device page);
    virtual void ImportMacro(Device page);
    virtual void ExportMacro(Device page);
    virtual void InsertMacroMouseAction(Device page, MacroMouseInsert action);
    virtual void ChangeMacroStep(Device page, MacroStepField field, int item);
    virtual void ChangeMacroStepValue(Device page, MacroEditField field, int value);
    virtual void TakeMacroPointerMove(Device page, PointerMove move, int value);
    virtual void EditMacroStep(Device page, int row);

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
    virtual void RunProfileOp(ProfileList list, ProfileOp op);
    virtual void RenameProfile(ProfileList list);
    virtual void LoadProfile(ProfileList list, int item);
    virtual void LinkProfileToExecutable(ProfileList list);
    virtual void RemoveProfileLink(ProfileList list);
    virtual void SetProfileLinkEnabled(ProfileList list, bool on);
    // Rewrites the selected profile file of a list from memory; every settings change calls it.
    virtual void StoreCurrentProfile(ProfileList list);
    // The device-profile watcher's decision, on the UI thread: the mouse device profile at
    // `position` should be in force; `linked`: because its program is in front.
    virtual void ApplyDeviceProfileWatch(int position, bool linked);

  protected:
    // The trace line of an operation whose subsystem is not there yet.
    static void NotYet(const std::string& what);
};

}  // namespace gmd::app
