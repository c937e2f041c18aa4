#pragma once
// Shared fixture of the application tests: a fresh HOME per test, the real skin, a virtual HID
// bus with an emulated mouse (unplugged until asked), and a main window whose subsystem
// operations are recorded instead of run.
//
// Recorded calls read like the call: "SetLightColourPreset(Mouse,29)", "MouseReadOut()".
// Enums by their enumerator name, integers in decimal, bools as true/false, ARGB colours as
// 0xAARRGGBB (upper-case hex, 8 digits), e.g. "SetLightColour(Mouse,0xFF4776A4)".

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/custom_controls.h"
#include "app/main_wnd.h"
#include "app/operations.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "platform/debug_output.h"
#include "tests/support/spin_until.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"
#include "ui/window.h"

namespace gmd::app::testing {

using namespace std::chrono_literals;
using gmd::test::SpinUntil;

// Thread-safe list of recorded lines (operations may be reached from worker threads).
class CallLog {
  public:
    void Add(std::string line) {
        std::lock_guard lock(mutex_);
        lines_.push_back(std::move(line));
    }
    std::vector<std::string> All() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }
    int Count(const std::string& line) const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count(lines_.begin(), lines_.end(), line));
    }
    bool Contains(const std::string& line) const { return Count(line) > 0; }
    // Lines that start with `prefix` (e.g. "SetLight" or "PageStartup(").
    int CountPrefix(const std::string& prefix) const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count_if(
            lines_.begin(), lines_.end(), [&](const auto& l) { return l.rfind(prefix, 0) == 0; }));
    }
    // Lines that contain `part` anywhere.
    bool ContainsPart(const std::string& part) const {
        std::lock_guard lock(mutex_);
        return std::any_of(lines_.begin(), lines_.end(),
                           [&](const auto& l) { return l.find(part) != std::string::npos; });
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

namespace detail {

struct Hex {
    uint32_t value;
};

inline std::string Text(Hex h) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", h.value);
    return buffer;
}
inline std::string Text(bool b) {
    return b ? "true" : "false";
}
inline std::string Text(int v) {
    return std::to_string(v);
}
inline std::string Text(uintptr_t v) {
    return std::to_string(v);
}
inline std::string Text(intptr_t v) {
    return std::to_string(v);
}
inline std::string Text(DeviceKind d) {
    switch (d) {
        case DeviceKind::Keyboard:
            return "Keyboard";
        case DeviceKind::Mouse:
            return "Mouse";
        case DeviceKind::Mousepad:
            return "Mousepad";
    }
    return "?";
}
inline std::string Text(ListId l) {
    static const char* const kNames[] = {"MouseDevice",    "MouseLight",    "MouseKey",
                                         "KeyboardDevice", "KeyboardLight", "KeyboardKey",
                                         "MousepadLight"};
    return kNames[static_cast<int>(l)];
}
inline std::string Text(ProfileOp op) {
    static const char* const kNames[] = {"Add", "Delete", "Import", "Export", "Copy", "Reset"};
    return kNames[static_cast<int>(op)];
}
inline std::string Text(MacroStepMove m) {
    static const char* const kNames[] = {"Down", "Up", "ToTop", "ToBottom", "Delete", "DeleteAll"};
    return kNames[static_cast<int>(m)];
}
inline std::string Text(MacroMouseInsert a) {
    static const char* const kNames[] = {
        "LeftKey",     "RightKey",     "MiddleKey",     "ForwardKey",     "BackKey",
        "LeftKeyDown", "RightKeyDown", "MiddleKeyDown", "ForwardKeyDown", "BackKeyDown",
        "LeftKeyUp",   "RightKeyUp",   "MiddleKeyUp",   "ForwardKeyUp",   "BackKeyUp",
        "MoveLeft",    "MoveRight",    "MoveUp",        "MoveDown"};
    return kNames[static_cast<int>(a)];
}
inline std::string Text(MacroStepField f) {
    static const char* const kNames[] = {"Key", "MouseButton", "Direction"};
    return kNames[static_cast<int>(f)];
}
inline std::string Text(MacroEditField f) {
    static const char* const kNames[] = {"ActionDelay", "MouseActionDelay", "PointerSkewing"};
    return kNames[static_cast<int>(f)];
}
inline std::string Text(PointerMove m) {
    static const char* const kNames[] = {"Left", "Right", "Up", "Down"};
    return kNames[static_cast<int>(m)];
}
inline std::string Text(Axis a) {
    return a == Axis::X ? "X" : "Y";
}

template <typename... Args>
std::string Call(const char* name, Args... args) {
    const std::vector<std::string> parts{Text(args)...};
    std::string line = name;
    line += '(';
    for (size_t i = 0; i < parts.size(); ++i) {
        line += (i == 0 ? "" : ",") + parts[i];
    }
    line += ')';
    return line;
}

}  // namespace detail

// Records every operation the shell reaches; does nothing else.
class RecordingOperations : public SubsystemOperations {
  public:
    explicit RecordingOperations(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}

#define GMD_REC(...) log_->Add(detail::Call(__VA_ARGS__))
    void PageStartup(DeviceKind d) override {
        GMD_REC("PageStartup", d);
    }
    void MouseReadOut() override {
        GMD_REC("MouseReadOut");
    }
    void MouseRefreshOnRequest() override {
        GMD_REC("MouseRefreshOnRequest");
    }
    void RefreshMouseControls() override {
        GMD_REC("RefreshMouseControls");
    }
    void RefreshKeyFunctionLists() override {
        GMD_REC("RefreshKeyFunctionLists");
    }
    void KeyboardReadOut() override {
        GMD_REC("KeyboardReadOut");
    }
    void KeyboardProfileReload() override {
        GMD_REC("KeyboardProfileReload");
    }
    void MousepadReadOut() override {
        GMD_REC("MousepadReadOut");
    }
    void SendChangedLiveBlocks() override {
        GMD_REC("SendChangedLiveBlocks");
    }
    void SendMouseFrame() override {
        GMD_REC("SendMouseFrame");
    }
    void RequestReactiveFlash(DeviceKind d) override {
        GMD_REC("RequestReactiveFlash", d);
    }

    void RemoveInputHooks() override {
        GMD_REC("RemoveInputHooks");
    }
    void StopMacroRecording() override {
        GMD_REC("StopMacroRecording");
    }
    void CaptureKey(DeviceKind p, uintptr_t k, uintptr_t f) override {
        GMD_REC("CaptureKey", p, k, f);
    }
    void RecordMacroKeyboardEvent(DeviceKind p, uintptr_t w, intptr_t l) override {
        GMD_REC("RecordMacroKeyboardEvent", p, w, l);
    }
    void RecordMacroMouseEvent(DeviceKind p, uintptr_t w, intptr_t l) override {
        GMD_REC("RecordMacroMouseEvent", p, w, l);
    }
    void ToggleMacroRecording(DeviceKind p) override {
        GMD_REC("ToggleMacroRecording", p);
    }

    void SetDpiStageColour(int s, uint32_t c) override {
        GMD_REC("SetDpiStageColour", s, detail::Hex{c});
    }
    void SetDpiStage(int s, int p) override {
        GMD_REC("SetDpiStage", s, p);
    }
    void ShowDpiStageValue(int s, int p) override {
        GMD_REC("ShowDpiStageValue", s, p);
    }
    void SetPointerSpeed(int p) override {
        GMD_REC("SetPointerSpeed", p);
    }
    void SetReportRate(int i) override {
        GMD_REC("SetReportRate", i);
    }
    void SetLiftHeight(int l) override {
        GMD_REC("SetLiftHeight", l);
    }
    void SetLineAdjust(bool on) override {
        GMD_REC("SetLineAdjust", on);
    }
    void SwitchMouseOnboardProfile(int i) override {
        GMD_REC("SwitchMouseOnboardProfile", i);
    }
    void ChangeWheelLines(int d) override {
        GMD_REC("ChangeWheelLines", d);
    }
    void ApplyWheelLines(int l) override {
        GMD_REC("ApplyWheelLines", l);
    }
    void RestoreMouseDefaults() override {
        GMD_REC("RestoreMouseDefaults");
    }
    void MouseDirectionButton(bool left) override {
        GMD_REC("MouseDirectionButton", left);
    }

    void SetLightColourPreset(DeviceKind d, int i) override {
        GMD_REC("SetLightColourPreset", d, i);
    }
    void SetLightColour(DeviceKind d, uint32_t c) override {
        GMD_REC("SetLightColour", d, detail::Hex{c});
    }
    void SetLightColourComponent(DeviceKind d, int ch, int v) override {
        GMD_REC("SetLightColourComponent", d, ch, v);
    }
    void SetSevenColourCycle(DeviceKind d, bool on) override {
        GMD_REC("SetSevenColourCycle", d, on);
    }
    void SetLightDirection(DeviceKind d, bool left) override {
        GMD_REC("SetLightDirection", d, left);
    }
    void SetLightBrightness(DeviceKind d, int v) override {
        GMD_REC("SetLightBrightness", d, v);
    }
    void SetLightSpeed(DeviceKind d, int v) override {
        GMD_REC("SetLightSpeed", d, v);
    }
    void ChooseLightMode(DeviceKind d, int l, int i) override {
        GMD_REC("ChooseLightMode", d, l, i);
    }
    void SyncLighting(DeviceKind s) override {
        GMD_REC("SyncLighting", s);
    }
    void SetKeyboardAllKeysLight(bool on) override {
        GMD_REC("SetKeyboardAllKeysLight", on);
    }
    void ChooseKeyboardCustomSlotCount(int i) override {
        GMD_REC("ChooseKeyboardCustomSlotCount", i);
    }
    void SelectKeyboardKeyForColour(int i) override {
        GMD_REC("SelectKeyboardKeyForColour", i);
    }
    void SwitchMousepadOnboardProfile(int i) override {
        GMD_REC("SwitchMousepadOnboardProfile", i);
    }
    void RestoreMousepadDefaults() override {
        GMD_REC("RestoreMousepadDefaults");
    }

    void SelectKey(DeviceKind d, int i) override {
        GMD_REC("SelectKey", d, i);
    }
    void ChooseKeyFunctionClass(DeviceKind d, int i) override {
        GMD_REC("ChooseKeyFunctionClass", d, i);
    }
    void ApplyKeyFunction(DeviceKind d, int c, int i) override {
        GMD_REC("ApplyKeyFunction", d, c, i);
    }
    void ApplyKeyFunctionParameter(DeviceKind d, int e, int v) override {
        GMD_REC("ApplyKeyFunctionParameter", d, e, v);
    }
    void SaveMouseKeyAssignment() override {
        GMD_REC("SaveMouseKeyAssignment");
    }
    void RestoreDefaultKeys(DeviceKind d) override {
        GMD_REC("RestoreDefaultKeys", d);
    }
    void UploadKeysAndMacros(DeviceKind d) override {
        GMD_REC("UploadKeysAndMacros", d);
    }
    void MouseKeyHover(int k, bool enter) override {
        GMD_REC("MouseKeyHover", k, enter);
    }
    void DpiColourButtonHover(int s, bool enter) override {
        GMD_REC("DpiColourButtonHover", s, enter);
    }

    void AddMacro(DeviceKind p) override {
        GMD_REC("AddMacro", p);
    }
    void DeleteMacro(DeviceKind p) override {
        GMD_REC("DeleteMacro", p);
    }
    void OpenMacro(DeviceKind p, int i) override {
        GMD_REC("OpenMacro", p, i);
    }
    void MoveMacroStep(DeviceKind p, MacroStepMove m) override {
        GMD_REC("MoveMacroStep", p, m);
    }
    void CancelMacroEdit(DeviceKind p) override {
        GMD_REC("CancelMacroEdit", p);
    }
    void SaveMacroEdit(DeviceKind p) override {
        GMD_REC("SaveMacroEdit", p);
    }
    void SaveMacroName(DeviceKind p) override {
        GMD_REC("SaveMacroName", p);
    }
    void ImportMacro(DeviceKind p) override {
        GMD_REC("ImportMacro", p);
    }
    void ExportMacro(DeviceKind p) override {
        GMD_REC("ExportMacro", p);
    }
    void InsertMacroMouseAction(DeviceKind p, MacroMouseInsert a) override {
        GMD_REC("InsertMacroMouseAction", p, a);
    }
    void ChangeMacroStep(DeviceKind p, MacroStepField f, int i) override {
        GMD_REC("ChangeMacroStep", p, f, i);
    }
    void ChangeMacroStepValue(DeviceKind p, MacroEditField f, int v) override {
        GMD_REC("ChangeMacroStepValue", p, f, v);
    }
    void TakeMacroPointerMove(DeviceKind p, PointerMove m, int v) override {
        GMD_REC("TakeMacroPointerMove", p, m, v);
    }
    void EditMacroStep(DeviceKind p, int r) override {
        GMD_REC("EditMacroStep", p, r);
    }

    void SendCursorSequences() override {
        GMD_REC("SendCursorSequences");
    }
    void ResetCursorSequence() override {
        GMD_REC("ResetCursorSequence");
    }
    void SelectCursorStepRelative(int d) override {
        GMD_REC("SelectCursorStepRelative", d);
    }
    void SelectCursorSequence(int i) override {
        GMD_REC("SelectCursorSequence", i);
    }
    void SelectCursorStep(int i) override {
        GMD_REC("SelectCursorStep", i);
    }
    void SetCursorDirection(Axis a, bool s) override {
        GMD_REC("SetCursorDirection", a, s);
    }
    void ChangeCursorStepOffset(Axis a, int v) override {
        GMD_REC("ChangeCursorStepOffset", a, v);
    }
    void ChangeCursorStepDelay(int v) override {
        GMD_REC("ChangeCursorStepDelay", v);
    }
    void ImportCursorFile() override {
        GMD_REC("ImportCursorFile");
    }
    void ExportCursorFile() override {
        GMD_REC("ExportCursorFile");
    }

    void RunProfileOp(ListId l, ProfileOp op) override {
        GMD_REC("RunProfileOp", l, op);
    }
    void RenameProfile(ListId l) override {
        GMD_REC("RenameProfile", l);
    }
    void LoadProfile(ListId l, int i) override {
        GMD_REC("LoadProfile", l, i);
    }
    void LinkProfileToExecutable(ListId l) override {
        GMD_REC("LinkProfileToExecutable", l);
    }
    void RemoveProfileLink(ListId l) override {
        GMD_REC("RemoveProfileLink", l);
    }
    void SetProfileLinkEnabled(ListId l, bool on) override {
        GMD_REC("SetProfileLinkEnabled", l, on);
    }
    void StoreCurrentProfile(ListId l) override {
        GMD_REC("StoreCurrentProfile", l);
    }
    void ApplyDeviceProfileWatch(int p, bool linked) override {
        GMD_REC("ApplyDeviceProfileWatch", p, linked);
    }
#undef GMD_REC

  private:
    std::shared_ptr<CallLog> log_;
};

// A closed main window posts quit messages; outside a running loop they would leave Qt's
// "quit now" state set and every later modal loop would return at once. Running the
// application loop once to a posted quit consumes them and clears that state.
inline void DrainQuitMessages() {
    QTest::qWait(1);  // let already posted quits run first
    ui::CPaintManagerUI::PostQuitMessage(0);
    QApplication::exec();
}

using BoxClock = std::chrono::steady_clock;

// The window that shows `widget` (a top-level host of a layout), found through its controls.
ui::CWindowWnd* WindowOf(QWidget* widget) {
    if (widget == nullptr) {
        return nullptr;
    }
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        if (ui::CControlUI* control = ui::CControlUI::FromWidget(child)) {
            if (control->GetManager() != nullptr) {
                return control->GetManager()->GetWindow();
            }
        }
    }
    return nullptr;
}

// Watches for modal message boxes: records each one's text and, unless told to leave them,
// closes it (result 0) once it has been open for `closeAfter`.
class BoxWatcher {
  public:
    struct Box {
        std::string text;
        bool isTextId = false;
    };

    explicit BoxWatcher(std::chrono::milliseconds closeAfter = 300ms, bool close = true)
        : closeAfter_(closeAfter), close_(close) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start(10);
    }
    std::vector<Box> boxes;
    bool AnyOpen() const { return current_ != nullptr; }

  private:
    void Tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != current_.data()) {
            current_ = modal;
            openedAt_ = BoxClock::now();
            if (ui::CWindowWnd* window = WindowOf(modal)) {
                Box box;
                if (auto* impl = dynamic_cast<ui::WindowImplBase*>(window)) {
                    if (ui::CControlUI* text = impl->GetPaintManager().FindControl("MessageText")) {
                        box.text = text->GetText();
                        box.isTextId = text->IsResourceText();
                    }
                }
                boxes.push_back(box);
            }
        }
        if (close_ && current_ != nullptr && BoxClock::now() - openedAt_ >= closeAfter_) {
            if (ui::CWindowWnd* window = WindowOf(current_)) {
                window->Close(0);
            }
        }
    }

    QTimer timer_;
    QPointer<QWidget> current_;
    BoxClock::time_point openedAt_;
    std::chrono::milliseconds closeAfter_;
    bool close_;
};

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        SaveEnv("HOME");
        SaveEnv("XDG_CONFIG_HOME");
        SaveEnv("XDG_DATA_HOME");
        const std::string home = home_.path().toStdString();
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);

        SetDebugTraceSink([this](std::string_view line) {
            std::lock_guard lock(traceMutex_);
            traces_.emplace_back(line);
        });

        ui::CPaintManagerUI::SetResourcePath(GMD_SKIN_DIR);
        auto* resources = ui::CResourceManager::GetInstance();
        ASSERT_TRUE(resources->LoadResource("res.xml")) << resources->GetLastError();
        static const bool registered = [] {
            RegisterCustomControls();
            return true;
        }();
        (void)registered;
        g_instanceMessage = ui::RegisterWindowMessage("QUARVEN_004");

        bus_ = std::make_unique<VirtualHidBus>();
        backend_ = bus_->MakeBackend();
        mouse_ = std::make_unique<emu::EmulatedDevice>(DeviceKind::Mouse, *bus_);
        calls_ = std::make_shared<CallLog>();
    }

    void TearDown() override {
        CloseMainWnd();
        mouse_.reset();
        backend_.reset();
        bus_.reset();
        SetDebugTraceSink(nullptr);
        for (const auto& [name, value] : savedEnv_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }

    void PlugMouse() { mouse_->Plug(); }

    // Builds the main window with the recorder, runs `beforeCreate` (worker bodies, ...), creates
    // it like the program does and processes events until first-show initialisation has run.
    CMainWnd* CreateMainWnd(const std::function<void(CMainWnd&)>& beforeCreate = {}) {
        wnd_ = std::make_unique<CMainWnd>(backend_);
        wnd_->SetOperations(std::make_unique<RecordingOperations>(calls_));
        if (beforeCreate) {
            beforeCreate(*wnd_);
        }
        const ui::HWND hwnd =
            wnd_->Create(0, "Gaming Mouse Driver", ui::UI_WNDSTYLE_FRAME, 0, 0, 0, 800, 572);
        EXPECT_NE(hwnd, 0u);
        wnd_->CenterWindow();
        // First show gives the channels their identity, all within one notification.
        EXPECT_TRUE(SpinUntil([&] { return wnd_->KeyboardDevice().ProductId() == 0x6556; }))
            << "first-show initialisation did not run";
        return wnd_.get();
    }

    // Closes the main window (shutdown runs), deletes it and consumes its quit messages.
    void CloseMainWnd() {
        if (!wnd_) {
            return;
        }
        if (ui::IsWindow(wnd_->GetHWND())) {
            wnd_->Close();
        }
        ui::CMenuWnd::DestroyMenu();
        wnd_.reset();
        DrainQuitMessages();
    }

    ui::CControlUI* Find(const std::string& name) {
        return wnd_ ? wnd_->GetPaintManager().FindControl(name) : nullptr;
    }

    std::vector<std::string> Traces() const {
        std::lock_guard lock(traceMutex_);
        return traces_;
    }
    bool HasTrace(const std::string& part) const {
        std::lock_guard lock(traceMutex_);
        return std::any_of(traces_.begin(), traces_.end(),
                           [&](const auto& l) { return l.find(part) != std::string::npos; });
    }
    void ClearTraces() {
        std::lock_guard lock(traceMutex_);
        traces_.clear();
    }

    QTemporaryDir home_;
    std::unique_ptr<VirtualHidBus> bus_;
    std::shared_ptr<HidBackend> backend_;
    std::unique_ptr<emu::EmulatedDevice> mouse_;
    std::shared_ptr<CallLog> calls_;
    std::unique_ptr<CMainWnd> wnd_;

  private:
    void SaveEnv(const char* name) {
        const char* value = std::getenv(name);
        savedEnv_.emplace_back(name,
                               value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }

    mutable std::mutex traceMutex_;
    std::vector<std::string> traces_;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
};

}  // namespace gmd::app::testing
