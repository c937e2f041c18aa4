#pragma once
// Shared fixture of the application tests: a fresh HOME per test, the real skin, a virtual HID
// bus with an emulated mouse (unplugged until asked), and a main window whose subsystems are
// recorded instead of run.
//
// Recorded calls read like the call: "SwitchOnboardProfile(3)", "ReadOut()". Enums by their
// enumerator name, integers in decimal, bools as true/false, ARGB colours as 0xAARRGGBB
// (upper-case hex, 8 digits), e.g. "SetDpiStageColour(3,0xFF4776A4)".

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
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/custom_controls.h"
#include "app/main_wnd.h"
#include "device/virtual_hid_bus.h"
#include "emulator/emulated_device.h"
#include "mouse/mouse_operations.h"
#include "mouse/mouse_routes.h"
#include "platform/debug_output.h"
#include "profiles/profile_operations.h"
#include "profiles/profile_routes.h"
#include "tests/support/spin_until.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"
#include "ui/window.h"

namespace gmd::app::testing {

using namespace std::chrono_literals;
using gmd::test::SpinUntil;
using profiles::ListId;
using profiles::ProfileOp;

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

#define GMD_REC(...) log_->Add(detail::Call(__VA_ARGS__))

// Record every operation the shell reaches; they do nothing else.
class RecordingMouse final : public mouse::MouseOperations {
  public:
    explicit RecordingMouse(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}
    void Startup() override { GMD_REC("Startup"); }
    void ReadOut() override { GMD_REC("ReadOut"); }
    void RefreshOnRequest() override { GMD_REC("RefreshOnRequest"); }
    void RefreshControls() override { GMD_REC("RefreshControls"); }
    void SendChangedLiveBlocks() override { GMD_REC("SendChangedLiveBlocks"); }
    void SetDpiStage(int s, int p) override { GMD_REC("SetDpiStage", s, p); }
    void ShowDpiStageValue(int s, int p) override { GMD_REC("ShowDpiStageValue", s, p); }
    void SetDpiStageColour(int s, uint32_t c) override {
        GMD_REC("SetDpiStageColour", s, detail::Hex{c});
    }
    void SetReportRate(int i) override { GMD_REC("SetReportRate", i); }
    void SetLiftHeight(int l) override { GMD_REC("SetLiftHeight", l); }
    void SetLineAdjust(bool on) override { GMD_REC("SetLineAdjust", on); }
    void SetPointerSpeed(int p) override { GMD_REC("SetPointerSpeed", p); }
    void SetWheelLines(int l) override { GMD_REC("SetWheelLines", l); }
    void StepWheelLines(bool up) override { GMD_REC("StepWheelLines", up); }
    void SwitchOnboardProfile(int i) override { GMD_REC("SwitchOnboardProfile", i); }
    void RestoreDefaults() override { GMD_REC("RestoreDefaults"); }
    void SetBrightness(int v) override { GMD_REC("SetBrightness", v); }
    void SetLightSpeed(int v) override { GMD_REC("SetLightSpeed", v); }
    void SetColourCycle(bool on) override { GMD_REC("SetColourCycle", on); }
    void SetLightDirection(bool left) override { GMD_REC("SetLightDirection", left); }

  private:
    std::shared_ptr<CallLog> log_;
};

class RecordingProfiles final : public profiles::ProfileOperations {
  public:
    explicit RecordingProfiles(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}
    bool FillProfileLists(DeviceKind d) override {
        GMD_REC("FillProfileLists", d);
        return true;
    }
    void StoreCurrentProfile(ListId l) override { GMD_REC("StoreCurrentProfile", l); }
    void ApplyWatcherDecision(profiles::WatcherDecision d) override {
        GMD_REC("ApplyWatcherDecision", d.position, d.linked);
    }
    void SelectProfile(ListId l, int i) override { GMD_REC("SelectProfile", l, i); }
    void RunOperation(ListId l, ProfileOp op) override { GMD_REC("RunOperation", l, op); }
    void RenameProfile(ListId l) override { GMD_REC("RenameProfile", l); }
    void LinkCheckChanged(ListId l, bool on) override { GMD_REC("LinkCheckChanged", l, on); }
    void ChooseLinkedProgram(ListId l) override { GMD_REC("ChooseLinkedProgram", l); }
    void CancelLink(ListId l) override { GMD_REC("CancelLink", l); }

  private:
    std::shared_ptr<CallLog> log_;
};
#undef GMD_REC

// The calls without those in `drop` (timers add their own while events are processed).
inline std::vector<std::string> Without(std::vector<std::string> calls,
                                        const std::set<std::string>& drop) {
    std::erase_if(calls, [&](const std::string& c) { return drop.count(c) != 0; });
    return calls;
}

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

// Watches for modal message boxes: records each one's text and buttons and, unless told to
// leave them, answers it (`answer`: 0 as Cancel or the close button, 1 as OK) once it has been
// open for `closeAfter`.
class BoxWatcher {
  public:
    struct Box {
        std::string text;
        bool isTextId = false;
        bool asks = false;  // its Cancel button is there
    };

    explicit BoxWatcher(std::chrono::milliseconds closeAfter = 300ms, bool close = true,
                        int answer = 0)
        : closeAfter_(closeAfter), close_(close), answer_(answer) {
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
                    if (ui::CControlUI* cancel =
                            impl->GetPaintManager().FindControl("cancel_btn")) {
                        box.asks = cancel->IsVisible();
                    }
                }
                boxes.push_back(box);
            }
        }
        if (close_ && current_ != nullptr && BoxClock::now() - openedAt_ >= closeAfter_) {
            if (ui::CWindowWnd* window = WindowOf(current_)) {
                window->Close(static_cast<ui::UINT>(answer_));
            }
        }
    }

    QTimer timer_;
    QPointer<QWidget> current_;
    BoxClock::time_point openedAt_;
    std::chrono::milliseconds closeAfter_;
    bool close_;
    int answer_;
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

    // The recorders plugged into a window with their subsystems' routes.
    void PlugRecordingMouse(CMainWnd& wnd) {
        wnd.PlugMouse(recordingMouse_);
        wnd.Routes().Add(mouse::MouseRoutes(), recordingMouse_);
    }
    void PlugRecordingProfiles(CMainWnd& wnd) {
        wnd.PlugProfiles(recordingProfiles_);
        wnd.Routes().Add(profiles::ProfileRoutes(), recordingProfiles_);
    }

    // Builds the main window, with the recorders unless told otherwise, runs `beforeCreate`
    // (pages, worker bodies, ...), creates it like the program does and processes events until
    // first-show initialisation has run.
    CMainWnd* CreateMainWnd(const std::function<void(CMainWnd&)>& beforeCreate = {},
                            bool recorders = true) {
        wnd_ = std::make_unique<CMainWnd>(backend_);
        if (recorders) {
            PlugRecordingMouse(*wnd_);
            PlugRecordingProfiles(*wnd_);
        }
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
    std::shared_ptr<CallLog> calls_ = std::make_shared<CallLog>();
    RecordingMouse recordingMouse_{calls_};
    RecordingProfiles recordingProfiles_{calls_};
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
