// Default bodies of the subsystem operations: each leaves one trace line until its subsystem
// provides the real work.

#include "app/operations.h"

#include "platform/debug_output.h"

namespace gmd::app {

void SubsystemOperations::NotYet(const std::string& what) {
    DebugTrace("not yet: " + what);
}

void SubsystemOperations::PageStartup(DeviceKind /*device*/) {
    NotYet("PageStartup");
}

void SubsystemOperations::MouseReadOut() {
    NotYet("MouseReadOut");
}

void SubsystemOperations::MouseRefreshOnRequest() {
    NotYet("MouseRefreshOnRequest");
}

void SubsystemOperations::RefreshMouseControls() {
    NotYet("RefreshMouseControls");
}

void SubsystemOperations::RefreshKeyFunctionLists() {
    NotYet("RefreshKeyFunctionLists");
}

void SubsystemOperations::KeyboardReadOut() {
    NotYet("KeyboardReadOut");
}

void SubsystemOperations::KeyboardProfileReload() {
    NotYet("KeyboardProfileReload");
}

void SubsystemOperations::MousepadReadOut() {
    NotYet("MousepadReadOut");
}

void SubsystemOperations::SendChangedLiveBlocks() {
    NotYet("SendChangedLiveBlocks");
}

void SubsystemOperations::SendMouseFrame() {
    NotYet("SendMouseFrame");
}

void SubsystemOperations::RemoveInputHooks() {
    NotYet("RemoveInputHooks");
}

void SubsystemOperations::StopMacroRecording() {
    NotYet("StopMacroRecording");
}

void SubsystemOperations::CaptureKey(DeviceKind /*page*/, uintptr_t /*keyCode*/,
                                     uintptr_t /*flags*/) {
    NotYet("CaptureKey");
}

void SubsystemOperations::RecordMacroKeyboardEvent(DeviceKind /*page*/, uintptr_t /*wParam*/,
                                                   intptr_t /*lParam*/) {
    NotYet("RecordMacroKeyboardEvent");
}

void SubsystemOperations::RecordMacroMouseEvent(DeviceKind /*page*/, uintptr_t /*wParam*/,
                                                intptr_t /*lParam*/) {
    NotYet("RecordMacroMouseEvent");
}

void SubsystemOperations::ToggleMacroRecording(DeviceKind /*page*/) {
    NotYet("ToggleMacroRecording");
}

void SubsystemOperations::SetDpiStageColour(int /*stage*/, uint32_t /*argb*/) {
    NotYet("SetDpiStageColour");
}

void SubsystemOperations::SetDpiStage(int /*stage*/, int /*position*/) {
    NotYet("SetDpiStage");
}

void SubsystemOperations::ShowDpiStageValue(int /*stage*/, int /*position*/) {
    NotYet("ShowDpiStageValue");
}

void SubsystemOperations::SetPointerSpeed(int /*position*/) {
    NotYet("SetPointerSpeed");
}

void SubsystemOperations::SetReportRate(int /*item*/) {
    NotYet("SetReportRate");
}

void SubsystemOperations::SetLiftHeight(int /*level*/) {
    NotYet("SetLiftHeight");
}

void SubsystemOperations::SetLineAdjust(bool /*on*/) {
    NotYet("SetLineAdjust");
}

void SubsystemOperations::SwitchMouseOnboardProfile(int /*index*/) {
    NotYet("SwitchMouseOnboardProfile");
}

void SubsystemOperations::ChangeWheelLines(int /*delta*/) {
    NotYet("ChangeWheelLines");
}

void SubsystemOperations::ApplyWheelLines(int /*lines*/) {
    NotYet("ApplyWheelLines");
}

void SubsystemOperations::RestoreMouseDefaults() {
    NotYet("RestoreMouseDefaults");
}

void SubsystemOperations::MouseDirectionButton(bool /*left*/) {
    NotYet("MouseDirectionButton");
}

void SubsystemOperations::SetLightColourPreset(DeviceKind /*device*/, int /*index*/) {
    NotYet("SetLightColourPreset");
}

void SubsystemOperations::SetLightColour(DeviceKind /*device*/, uint32_t /*argb*/) {
    NotYet("SetLightColour");
}

void SubsystemOperations::SetLightColourComponent(DeviceKind /*device*/, int /*channel*/,
                                                  int /*value*/) {
    NotYet("SetLightColourComponent");
}

void SubsystemOperations::SetSevenColourCycle(DeviceKind /*device*/, bool /*on*/) {
    NotYet("SetSevenColourCycle");
}

void SubsystemOperations::SetLightDirection(DeviceKind /*device*/, bool /*left*/) {
    NotYet("SetLightDirection");
}

void SubsystemOperations::SetLightBrightness(DeviceKind /*device*/, int /*value*/) {
    NotYet("SetLightBrightness");
}

void SubsystemOperations::SetLightSpeed(DeviceKind /*device*/, int /*value*/) {
    NotYet("SetLightSpeed");
}

void SubsystemOperations::ChooseLightMode(DeviceKind /*device*/, int /*modeList*/, int /*item*/) {
    NotYet("ChooseLightMode");
}

void SubsystemOperations::SyncLighting(DeviceKind /*source*/) {
    NotYet("SyncLighting");
}

void SubsystemOperations::SetKeyboardAllKeysLight(bool /*on*/) {
    NotYet("SetKeyboardAllKeysLight");
}

void SubsystemOperations::ChooseKeyboardCustomSlotCount(int /*item*/) {
    NotYet("ChooseKeyboardCustomSlotCount");
}

void SubsystemOperations::SelectKeyboardKeyForColour(int /*index*/) {
    NotYet("SelectKeyboardKeyForColour");
}

void SubsystemOperations::SwitchMousepadOnboardProfile(int /*item*/) {
    NotYet("SwitchMousepadOnboardProfile");
}

void SubsystemOperations::RestoreMousepadDefaults() {
    NotYet("RestoreMousepadDefaults");
}

void SubsystemOperations::SelectKey(DeviceKind /*device*/, int /*index*/) {
    NotYet("SelectKey");
}

void SubsystemOperations::ChooseKeyFunctionClass(DeviceKind /*device*/, int /*item*/) {
    NotYet("ChooseKeyFunctionClass");
}

void SubsystemOperations::ApplyKeyFunction(DeviceKind /*device*/, int /*comboNumber*/,
                                           int /*item*/) {
    NotYet("ApplyKeyFunction");
}

void SubsystemOperations::ApplyKeyFunctionParameter(DeviceKind /*device*/, int /*editNumber*/,
                                                    int /*value*/) {
    NotYet("ApplyKeyFunctionParameter");
}

void SubsystemOperations::SaveMouseKeyAssignment() {
    NotYet("SaveMouseKeyAssignment");
}

void SubsystemOperations::RestoreDefaultKeys(DeviceKind /*device*/) {
    NotYet("RestoreDefaultKeys");
}

void SubsystemOperations::UploadKeysAndMacros(DeviceKind /*device*/) {
    NotYet("UploadKeysAndMacros");
}

void SubsystemOperations::MouseKeyHover(int /*key*/, bool /*enter*/) {
    NotYet("MouseKeyHover");
}

void SubsystemOperations::DpiColourButtonHover(int /*stage*/, bool /*enter*/) {
    NotYet("DpiColourButtonHover");
}

void SubsystemOperations::AddMacro(DeviceKind /*page*/) {
    NotYet("AddMacro");
}

void SubsystemOperations::DeleteMacro(DeviceKind /*page*/) {
    NotYet("DeleteMacro");
}

void SubsystemOperations::OpenMacro(DeviceKind /*page*/, int /*item*/) {
    NotYet("OpenMacro");
}

void SubsystemOperations::MoveMacroStep(DeviceKind /*page*/, MacroStepMove /*move*/) {
    NotYet("MoveMacroStep");
}

void SubsystemOperations::CancelMacroEdit(DeviceKind /*page*/) {
    NotYet("CancelMacroEdit");
}

void SubsystemOperations::SaveMacroEdit(DeviceKind /*page*/) {
    NotYet("SaveMacroEdit");
}

void SubsystemOperations::SaveMacroName(DeviceKind /*page*/) {
    NotYet("SaveMacroName");
}

void SubsystemOperations::ImportMacro(DeviceKind /*page*/) {
    NotYet("ImportMacro");
}

void SubsystemOperations::ExportMacro(DeviceKind /*page*/) {
    NotYet("ExportMacro");
}

void SubsystemOperations::InsertMacroMouseAction(DeviceKind /*page*/, MacroMouseInsert /*action*/) {
    NotYet("InsertMacroMouseAction");
}

void SubsystemOperations::ChangeMacroStep(DeviceKind /*page*/, MacroStepField /*field*/,
                                          int /*item*/) {
    NotYet("ChangeMacroStep");
}

void SubsystemOperations::ChangeMacroStepValue(DeviceKind /*page*/, MacroEditField /*field*/,
                                               int /*value*/) {
    NotYet("ChangeMacroStepValue");
}

void SubsystemOperations::TakeMacroPointerMove(DeviceKind /*page*/, PointerMove /*move*/,
                                               int /*value*/) {
    NotYet("TakeMacroPointerMove");
}

void SubsystemOperations::EditMacroStep(DeviceKind /*page*/, int /*row*/) {
    NotYet("EditMacroStep");
}

void SubsystemOperations::SendCursorSequences() {
    NotYet("SendCursorSequences");
}

void SubsystemOperations::ResetCursorSequence() {
    NotYet("ResetCursorSequence");
}

void SubsystemOperations::SelectCursorStepRelative(int /*delta*/) {
    NotYet("SelectCursorStepRelative");
}

void SubsystemOperations::SelectCursorSequence(int /*index*/) {
    NotYet("SelectCursorSequence");
}

void SubsystemOperations::SelectCursorStep(int /*index*/) {
    NotYet("SelectCursorStep");
}

void SubsystemOperations::SetCursorDirection(Axis /*axis*/, bool /*selected*/) {
    NotYet("SetCursorDirection");
}

void SubsystemOperations::ChangeCursorStepOffset(Axis /*axis*/, int /*value*/) {
    NotYet("ChangeCursorStepOffset");
}

void SubsystemOperations::ChangeCursorStepDelay(int /*value*/) {
    NotYet("ChangeCursorStepDelay");
}

void SubsystemOperations::ImportCursorFile() {
    NotYet("ImportCursorFile");
}

void SubsystemOperations::ExportCursorFile() {
    NotYet("ExportCursorFile");
}

void SubsystemOperations::RunProfileOp(ListId /*list*/, ProfileOp /*op*/) {
    NotYet("RunProfileOp");
}

void SubsystemOperations::RenameProfile(ListId /*list*/) {
    NotYet("RenameProfile");
}

void SubsystemOperations::LoadProfile(ListId /*list*/, int /*item*/) {
    NotYet("LoadProfile");
}

void SubsystemOperations::LinkProfileToExecutable(ListId /*list*/) {
    NotYet("LinkProfileToExecutable");
}

void SubsystemOperations::RemoveProfileLink(ListId /*list*/) {
    NotYet("RemoveProfileLink");
}

void SubsystemOperations::SetProfileLinkEnabled(ListId /*list*/, bool /*on*/) {
    NotYet("SetProfileLinkEnabled");
}

void SubsystemOperations::RequestReactiveFlash(DeviceKind /*device*/) {
    NotYet("RequestReactiveFlash");
}

void SubsystemOperations::StoreCurrentProfile(ListId /*list*/) {
    NotYet("StoreCurrentProfile");
}

void SubsystemOperations::ApplyDeviceProfileWatch(int /*position*/, bool /*linked*/) {
    NotYet("ApplyDeviceProfileWatch");
}

}  // namespace gmd::app
