// Default bodies of the subsystem operations: each leaves one trace line until its subsystem
// provides the real work.

#include "app/operations.h"

#include "platform/debug_output.h"

namespace gmd::app {

void SubsystemOperations::NotYet(const std::string& what) {
    DebugTrace("not yet: " + what);
}

void SubsystemOperations::PageStartup(Device /*device*/) {
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

void SubsystemOperations::CaptureKey(Device /*page*/, uintptr_t /*keyCode*/, uintptr_t /*flags*/) {
    NotYet("CaptureKey");
}

void SubsystemOperations::RecordMacroKeyboardEvent(Device /*page*/, uintptr_t /*wParam*/,
                                                   intptr_t /*lParam*/) {
    NotYet("RecordMacroKeyboardEvent");
}

void SubsystemOperations::RecordMacroMouseEvent(Device /*page*/, uintptr_t /*wParam*/,
                                                intptr_t /*lParam*/) {
    NotYet("RecordMacroMouseEvent");
}

void SubsystemOperations::ToggleMacroRecording(Device /*page*/) {
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

void SubsystemOperations::SetLightColourPreset(Device /*device*/, int /*index*/) {
    NotYet("SetLightColourPreset");
}

void SubsystemOperations::SetLightColour(Device /*device*/, uint32_t /*argb*/) {
    NotYet("SetLightColour");
}

void SubsystemOperations::SetLightColourComponent(Device /*device*/, int /*channel*/,
                                                  int /*value*/) {
    NotYet("SetLightColourComponent");
}

void SubsystemOperations::SetSevenColourCycle(Device /*device*/, bool /*on*/) {
    NotYet("SetSevenColourCycle");
}

void SubsystemOperations::SetLightDirection(Device /*device*/, bool /*left*/) {
    NotYet("SetLightDirection");
}

void SubsystemOperations::SetLightBrightness(Device /*device*/, int /*value*/) {
    NotYet("SetLightBrightness");
}

void SubsystemOperations::SetLightSpeed(Device /*device*/, int /*value*/) {
    NotYet("SetLightSpeed");
}

void SubsystemOperations::ChooseLightMode(Device /*device*/, int /*modeList*/, int /*item*/) {
    NotYet("ChooseLightMode");
}

void SubsystemOperations::SyncLighting(Device /*source*/) {
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

void SubsystemOperations::SelectKey(Device /*device*/, int /*index*/) {
    NotYet("SelectKey");
}

void SubsystemOperations::ChooseKeyFunctionClass(Device /*device*/, int /*item*/) {
    NotYet("ChooseKeyFunctionClass");
}

void SubsystemOperations::ApplyKeyFunction(Device /*device*/, int /*comboNumber*/, int /*item*/) {
    NotYet("ApplyKeyFunction");
}

void SubsystemOperations::ApplyKeyFunctionParameter(Device /*device*/, int /*editNumber*/,
                                                    int /*value*/) {
    NotYet("ApplyKeyFunctionParameter");
}

void SubsystemOperations::SaveMouseKeyAssignment() {
    NotYet("SaveMouseKeyAssignment");
}

void SubsystemOperations::RestoreDefaultKeys(Device /*device*/) {
    NotYet("RestoreDefaultKeys");
}

void SubsystemOperations::UploadKeysAndMacros(Device /*device*/) {
    NotYet("UploadKeysAndMacros");
}

void SubsystemOperations::MouseKeyHover(int /*key*/, bool /*enter*/) {
    NotYet("MouseKeyHover");
}

void SubsystemOperations::DpiColourButtonHover(int /*stage*/, bool /*enter*/) {
    NotYet("DpiColourButtonHover");
}

void SubsystemOperations::AddMacro(Device /*page*/) {
    NotYet("AddMacro");
}

void SubsystemOperations::DeleteMacro(Device /*page*/) {
    NotYet("DeleteMacro");
}

void SubsystemOperations::OpenMacro(Device /*page*/, int /*item*/) {
    NotYet("OpenMacro");
}

void SubsystemOperations::MoveMacroStep(Device /*page*/, MacroStepMove /*move*/) {
    NotYet("MoveMacroStep");
}

void SubsystemOperations::CancelMacroEdit(Device /*page*/) {
    NotYet("CancelMacroEdit");
}

void SubsystemOperations::SaveMacroEdit(Device /*page*/) {
    NotYet("SaveMacroEdit");
}

void SubsystemOperations::SaveMacroName(Device /*page*/) {
    NotYet("SaveMacroName");
}

void SubsystemOperations::ImportMacro(Device /*page*/) {
    NotYet("ImportMacro");
}

void SubsystemOperations::ExportMacro(Device /*page*/) {
    NotYet("ExportMacro");
}

void SubsystemOperations::InsertMacroMouseAction(Device /*page*/, MacroMouseInsert /*action*/) {
    NotYet("InsertMacroMouseAction");
}

void SubsystemOperations::ChangeMacroStep(Device /*page*/, MacroStepField /*field*/, int /*item*/) {
    NotYet("ChangeMacroStep");
}

void SubsystemOperations::ChangeMacroStepValue(Device /*page*/, MacroEditField /*field*/,
                                               int /*value*/) {
    NotYet("ChangeMacroStepValue");
}

void SubsystemOperations::TakeMacroPointerMove(Device /*page*/, PointerMove /*move*/,
                                               int /*value*/) {
    NotYet("TakeMacroPointerMove");
}

void SubsystemOperations::EditMacroStep(Device /*page*/, int /*row*/) {
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

void SubsystemOperations::RunProfileOp(ProfileList /*list*/, ProfileOp /*op*/) {
    NotYet("RunProfileOp");
}

void SubsystemOperations::RenameProfile(ProfileList /*list*/) {
    NotYet("RenameProfile");
}

void SubsystemOperations::LoadProfile(ProfileList /*list*/, int /*item*/) {
    NotYet("LoadProfile");
}

void SubsystemOperations::LinkProfileToExecutable(ProfileList /*list*/) {
    NotYet("LinkProfileToExecutable");
}

void SubsystemOperations::RemoveProfileLink(ProfileList /*list*/) {
    NotYet("RemoveProfileLink");
}

void SubsystemOperations::SetProfileLinkEnabled(ProfileList /*list*/, bool /*on*/) {
    NotYet("SetProfileLinkEnabled");
}

void SubsystemOperations::RequestReactiveFlash(Device /*device*/) {
    NotYet("RequestReactiveFlash");
}

void SubsystemOperations::StoreCurrentProfile(ProfileList /*list*/) {
    NotYet("StoreCurrentProfile");
}

void SubsystemOperations::ApplyDeviceProfileWatch(int /*position*/, bool /*linked*/) {
    NotYet("ApplyDeviceProfileWatch");
}

}  // namespace gmd::app
