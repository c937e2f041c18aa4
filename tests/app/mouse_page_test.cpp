// The mouse pages against the virtual mouse: attach and read-out into the controls, control
// changes reaching the mouse through the coalesced send, onboard profiles, the sync events,
// unplug and replug, pointer speed and wheel lines.

#include <gtest/gtest.h>

#include <QSlider>
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "device/command_report.h"
#include "device/command_set.h"
#include "device/device_identity.h"
#include "mouse/mouse_blocks.h"
#include "mouse/mouse_page.h"
#include "mouse/mouse_routes.h"
#include "platform/pointer_settings.h"
#include "tests/app/app_test_support.h"
#include "tests/support/fake_pointer_settings.h"
#include "ui/controls.h"

namespace gmd::app::testing {
namespace {

namespace f = mouse::live;

constexpr ui::DWORD kAccent = 0xFFFF6B35;  // the theme's accent colour

// What the desktop was asked for, as "speed N" and "lines N".
class RecordingPointer : public test::FakePointerSettings {
  public:
    RecordingPointer() { SetCurrentSpeed(14); }
    std::vector<std::string> Log() const {
        std::vector<std::string> lines;
        for (const Call& call : Calls()) {
            lines.push_back((call.setting == Setting::PointerSpeed ? "speed " : "lines ") +
                            std::to_string(call.applied));
        }
        return lines;
    }
    void Clear() { ClearCalls(); }
};

struct Write {
    uint8_t count;
    uint16_t address;
    std::vector<uint8_t> payload;
};

class MousePageTest : public AppTest {
  protected:
    // Puts settings into the mouse's profile-0 block before the application sees it.
    void PresetMouse(const std::function<void(std::array<uint8_t, 56>&)>& change) {
        CDeviceChannel channel(backend_);
        channel.SetIdentity(kVendorId, kMouseProductId, kCommandUsage, kCommandUsagePage);
        {
            std::lock_guard lock(channel.IoLock());
            ASSERT_EQ(channel.FindAndOpen(), 1);
        }
        std::array<uint8_t, 56> block{};
        ASSERT_EQ(ReadMemory(channel, block, 56, 0), 1);
        change(block);
        ASSERT_EQ(WriteMemory(channel, block, 56, 0), 1);
        channel.Hid().Close();
    }

    // Starts the application on the plugged mouse and waits for the attach read-out.
    CMainWnd* Start() {
        PlugMouse();
        // The real mouse page; the profile store is recorded, so no profile is put in force and
        // the pages show what the mouse itself holds.
        CMainWnd* wnd = CreateMainWnd(
            [this](CMainWnd& w) {
                page_ = &w.Own(std::make_unique<MousePage>(w, pointer_));
                w.PlugMouse(*page_);
                w.Routes().Add(mouse::MouseRoutes(), *page_);
                PlugRecordingProfiles(w);
                w.InstallDeviceWatch();
            },
            false);
        EXPECT_TRUE(SpinUntil([&] { return Slider("ms_DPI1_slider")->GetMaxValue() == 239; }))
            << "the attach read-out did not reach the pages";
        QTest::qWait(150);  // the changes the read-out made are sent
        // The user opens the performance page.
        QTest::mouseClick(Find("ms_rich_Op_tab")->GetWidget(), Qt::LeftButton);
        EXPECT_TRUE(Find("ms_DPI1_slider")->GetWidget()->isVisible());
        return wnd;
    }

    MousePage& Page() { return *page_; }
    ui::CSliderUI* Slider(const std::string& name) {
        return dynamic_cast<ui::CSliderUI*>(Find(name));
    }
    std::string Text(const std::string& name) { return Find(name)->GetText(); }

    // WriteMemory requests the mouse received since the log was last cleared.
    std::vector<Write> Writes(uint8_t command = 6) {
        std::vector<Write> writes;
        for (const auto& r : mouse_->TrafficLog()) {
            if (r.fromHost && r.report[report_byte::kCommand] == command) {
                const uint8_t count = r.report[report_byte::kLength];
                writes.push_back({count,
                                  ReportAddress(r.report.data()),
                                  {r.report.begin() + 8, r.report.begin() + 8 + count}});
            }
        }
        return writes;
    }
    std::vector<uint8_t> Commands() {
        std::vector<uint8_t> commands;
        for (const auto& r : mouse_->TrafficLog()) {
            if (r.fromHost) {
                commands.push_back(r.report[report_byte::kCommand]);
            }
        }
        return commands;
    }

    // A user drags a slider to `value` and lets go.
    void Drag(const std::string& name, int value, bool release = true) {
        auto* slider = qobject_cast<QSlider*>(Find(name)->GetWidget());
        ASSERT_NE(slider, nullptr);
        slider->setSliderDown(true);
        slider->setValue(value);
        if (release) {
            slider->setSliderDown(false);
        }
    }

    std::shared_ptr<RecordingPointer> pointer_ = std::make_shared<RecordingPointer>();
    MousePage* page_ = nullptr;
};

TEST_F(MousePageTest, AttachShowsTheMouseInThePages) {
    PlugMouse();
    PresetMouse([](auto& b) {
        b[f::dpiStep1] = 0;
        b[f::dpiStep2] = 99;
        b[f::dpiStage] = 3;
        b[f::reportRate] = 2;
        b[f::lightSpeed] = 0;
        b[f::liftHeight] = 2;
        b[f::lineAdjust] = 1;
        b[mouse::DpiColourOffset(2)] = 0x12;
        b[mouse::DpiColourOffset(2) + 1] = 0x34;
        b[mouse::DpiColourOffset(2) + 2] = 0x56;
    });
    CMainWnd* wnd = Start();

    EXPECT_TRUE(Find("ms_tab")->IsVisible());
    EXPECT_TRUE(dynamic_cast<ui::COptionUI*>(Find("ms_tab"))->IsSelected());
    EXPECT_TRUE(wnd->MouseDevice().IsConnected());
    // Sensor 0x3360 of the virtual mouse: its range texts on the five stages.
    for (int stage = 1; stage <= 5; ++stage) {
        const std::string s = "ms_DPI" + std::to_string(stage);
        EXPECT_EQ(Text(s + "_min"), "100");
        EXPECT_EQ(Text(s + "_max"), "12000");
    }
    EXPECT_EQ(Text("ms_DPI1_label_value"), "50");
    EXPECT_EQ(Text("ms_DPI2_label_value"), "5000");
    EXPECT_EQ(Slider("ms_DPI2_slider")->GetValue(), 99);
    // Stage 4 (dpiStage 3) is the active one, in the accent colour.
    for (int stage = 1; stage <= 5; ++stage) {
        const ui::DWORD want = stage == 4 ? kAccent : 0xFFFFFFFF;
        const std::string s = "ms_DPI" + std::to_string(stage);
        EXPECT_EQ(Find(s + "_label_rank")->GetTextColor(), want) << s;
        EXPECT_EQ(Find(s + "_label_value")->GetTextColor(), want) << s;
    }
    EXPECT_EQ(Find("ms_DPIcolor_btn_2")->GetBkColor(), 0xFF123456u);
    EXPECT_EQ(dynamic_cast<ui::CComboUI*>(Find("ms_report_fct_combo"))->GetCurSel(), 2);
    EXPECT_EQ(Slider("ms_deng_speed_slider")->GetValue(), 4);  // speed 0 is the fastest
    EXPECT_TRUE(dynamic_cast<ui::COptionUI*>(Find("heightHigh"))->IsSelected());
    EXPECT_FALSE(dynamic_cast<ui::COptionUI*>(Find("heightMiddle"))->IsSelected());
    EXPECT_TRUE(dynamic_cast<ui::COptionUI*>(Find("ms_line_adjust"))->IsSelected());
    // The desktop's pointer speed 14 sits at position 6; the read-out stored the device profile.
    EXPECT_EQ(Slider("ms_point_speed_slider")->GetValue(), 6);
    EXPECT_TRUE(calls_->Contains("StoreCurrentProfile(MouseDevice)"));
    // The tooltips say where the two desktop settings go.
    EXPECT_EQ(Find("ms_point_speed_slider")->GetToolTip(),
              "Pointer speed: applied to the desktop at once (test settings)");
}

TEST_F(MousePageTest, StageHighlightAndLightSpeedFollowTheLiveBlock) {
    Start();
    // The accent marks the active stage; a stage beyond the five the mouse keeps marks stage 1.
    struct Case {
        uint8_t dpiStage;
        int marked;
    };
    for (const Case& c : {Case{0, 1}, Case{4, 5}, Case{5, 1}, Case{7, 1}}) {
        SCOPED_TRACE(int(c.dpiStage));
        Page().Blocks().mouseLive[f::dpiStage] = c.dpiStage;
        Page().RefreshControls();
        for (int stage = 1; stage <= 5; ++stage) {
            const ui::DWORD want = stage == c.marked ? kAccent : 0xFFFFFFFF;
            const std::string s = "ms_DPI" + std::to_string(stage);
            EXPECT_EQ(Find(s + "_label_rank")->GetTextColor(), want) << stage;
            EXPECT_EQ(Find(s + "_label_value")->GetTextColor(), want) << stage;
        }
    }
    // The light speed slider is shown inverted: its far end is the fastest, 0.
    Drag("ms_deng_speed_slider", 4);
    EXPECT_EQ(Page().Blocks().mouseLive[f::lightSpeed], 0);
    Drag("ms_deng_speed_slider", 1);
    EXPECT_EQ(Page().Blocks().mouseLive[f::lightSpeed], 3);
}

TEST_F(MousePageTest, OnlyTheFiveStagesTheMouseKeepsAreShown) {
    Start();
    // A sixth row would be a slider and a swatch with nothing behind them.
    for (const char* name : {"ms_DPI6_slider", "ms_DPIcolor_btn_6", "ms_DPI6_label_value"}) {
        EXPECT_FALSE(Find(name)->IsVisible()) << name;
        EXPECT_FALSE(Find(name)->GetWidget()->isVisible()) << name;
    }
    for (int stage = 1; stage <= 5; ++stage) {
        EXPECT_TRUE(Find("ms_DPI" + std::to_string(stage) + "_slider")->GetWidget()->isVisible());
    }
}

TEST_F(MousePageTest, ReleasingADpiSliderSendsTheLiveBlockOnceDraggingOnlyMovesTheLabel) {
    Start();
    mouse_->ClearTrafficLog();

    Drag("ms_DPI2_slider", 57, /*release=*/false);
    EXPECT_EQ(Text("ms_DPI2_label_value"), "2900");
    QTest::qWait(250);
    EXPECT_TRUE(Writes().empty()) << "dragging must not write";

    Drag("ms_DPI2_slider", 60);
    EXPECT_EQ(Text("ms_DPI2_label_value"), "3050");
    ASSERT_TRUE(SpinUntil([&] { return !Writes().empty(); }));
    QTest::qWait(250);
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].count, 56);
    EXPECT_EQ(writes[0].address, 0);
    EXPECT_EQ(writes[0].payload[f::dpiStep2], 60);
    EXPECT_TRUE(std::all_of(writes[0].payload.begin() + 46, writes[0].payload.end(),
                            [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(mouse_->SettingsMemory()[f::dpiStep2], 60);
}

TEST_F(MousePageTest, ChangesBetweenTwoSendsMakeOneWriteOfTheNewestBlock) {
    Start();
    mouse_->ClearTrafficLog();
    calls_->Clear();
    // Three handlers in one go of the UI thread: the 100 ms timer cannot fire in between.
    Drag("ms_DPI1_slider", 10);
    dynamic_cast<ui::CComboUI*>(Find("ms_report_fct_combo"))->SelectItem(1, false, true);
    QTest::mouseClick(Find("heightLow")->GetWidget(), Qt::LeftButton);
    ASSERT_TRUE(SpinUntil([&] { return !Writes().empty(); }));
    QTest::qWait(250);
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].payload[f::dpiStep1], 10);
    EXPECT_EQ(writes[0].payload[f::reportRate], 1);
    EXPECT_EQ(writes[0].payload[f::liftHeight], 0);
    // Each change was stored in both profiles at once.
    EXPECT_EQ(calls_->Count("StoreCurrentProfile(MouseLight)"), 3);
    EXPECT_EQ(calls_->Count("StoreCurrentProfile(MouseDevice)"), 3);
}

TEST_F(MousePageTest, ThePageStoresOnlyWhatTheToolWouldTake) {
    Start();
    const int stepMax = Page().Blocks().DpiStepMax();
    ASSERT_GT(stepMax, 0);
    // Values no control of the skin gives, as a changed skin or a stray message could.
    Page().SetReportRate(7);
    Page().SetLiftHeight(9);
    Page().SetDpiStage(2, stepMax + 5);
    const mouse::LiveBlock& live = Page().Blocks().mouseLive;
    EXPECT_EQ(live[f::reportRate], 3);
    EXPECT_EQ(live[f::liftHeight], 2);
    EXPECT_EQ(live[f::dpiStep2], stepMax);
    for (const mouse::LiveField& field : mouse::LiveFields()) {
        EXPECT_TRUE(mouse::FieldAccepts(field, mouse::ReadLiveField(live, field), stepMax))
            << field.name;
    }
}

TEST_F(MousePageTest, OnboardProfileButtonsSwitchTheMouseAndShowWhatItHolds) {
    PlugMouse();
    // Onboard profile 4 (index 3) holds other lift-off and angle-snapping values than the
    // profile the pages start on.
    PresetMouse([](auto& b) {
        b[f::liftHeight] = 0;
        b[f::lineAdjust] = 0;
    });
    Start();
    ASSERT_TRUE(dynamic_cast<ui::COptionUI*>(Find("heightLow"))->IsSelected());
    {
        CDeviceChannel channel(backend_);
        channel.SetIdentity(kVendorId, kMouseProductId, kCommandUsage, kCommandUsagePage);
        {
            std::lock_guard lock(channel.IoLock());
            ASSERT_EQ(channel.FindAndOpen(), 1);
        }
        std::array<uint8_t, 56> block{};
        ASSERT_EQ(ReadMemory(channel, block, 56, 3 * 64), 1);
        block[f::liftHeight] = 2;
        block[f::lineAdjust] = 1;
        block[f::dpiStage] = 2;
        ASSERT_EQ(WriteMemory(channel, block, 56, 3 * 64), 1);
        channel.Hid().Close();
    }
    auto marked = [&](int index) {
        auto* button = dynamic_cast<ui::CButtonUI*>(Find("ms_profile_" + std::to_string(index)));
        return button->GetNormalImage().find("accent") != std::string::npos;
    };
    EXPECT_TRUE(marked(0));

    mouse_->ClearTrafficLog();
    QTest::mouseClick(Find("ms_profile_3")->GetWidget(), Qt::LeftButton);
    EXPECT_EQ(Page().Blocks().ProfileIndex(), 3);
    EXPECT_EQ(mouse_->SettingsMemory()[0], 3);
    // The pages show profile 4's block as the mouse keeps it, every control of it.
    const std::vector<uint8_t> memory = mouse_->SettingsMemory();
    EXPECT_EQ(Slider("ms_DPI1_slider")->GetValue(), memory[3 * 64 + f::dpiStep1]);
    EXPECT_TRUE(dynamic_cast<ui::COptionUI*>(Find("heightHigh"))->IsSelected());
    EXPECT_FALSE(dynamic_cast<ui::COptionUI*>(Find("heightLow"))->IsSelected());
    EXPECT_TRUE(dynamic_cast<ui::COptionUI*>(Find("ms_line_adjust"))->IsSelected());
    EXPECT_EQ(Find("ms_DPI3_label_rank")->GetTextColor(), kAccent);
    // Its button is the marked one.
    for (int index = 0; index < 5; ++index) {
        EXPECT_EQ(marked(index), index == 3) << index;
    }

    // The next change carries the values the user sees.
    mouse_->ClearTrafficLog();
    Drag("ms_DPI1_slider", 12);
    ASSERT_TRUE(SpinUntil([&] { return !Writes().empty(); }));
    EXPECT_EQ(Writes().back().payload[f::liftHeight], 2);
    EXPECT_EQ(Writes().back().payload[f::lineAdjust], 1);

    // Already there: only the 1-byte read goes out.
    QTest::qWait(150);
    mouse_->ClearTrafficLog();
    QTest::mouseClick(Find("ms_profile_3")->GetWidget(), Qt::LeftButton);
    EXPECT_EQ(Commands(), std::vector<uint8_t>{5});
}

TEST_F(MousePageTest, UnplugHidesTheMouseAndReplugReadsItAgain) {
    CMainWnd* wnd = Start();
    EXPECT_TRUE(wnd->IsWindowVisible());
    mouse_->Unplug();
    EXPECT_TRUE(SpinUntil([&] { return !Find("ms_tab")->IsVisible(); }));
    EXPECT_FALSE(wnd->MouseDevice().IsConnected());
    // No other device: the self-closing no-device box, then the window goes out of the way
    // (minimised, as this desktop has no tray to bring it back from).
    EXPECT_TRUE(SpinUntil([&] {
        return ui::CTrayIcon::IsTrayAvailable() ? !wnd->IsWindowVisible() : wnd->IsMinimized();
    }));

    mouse_->ClearTrafficLog();
    mouse_->Plug();
    EXPECT_TRUE(SpinUntil([&] { return Find("ms_tab")->IsVisible(); }));
    // A new read-out, once: its information block.
    EXPECT_TRUE(SpinUntil([&] {
        const auto c = Commands();
        return std::count(c.begin(), c.end(), 3) == 1;
    }));
}

TEST_F(MousePageTest, AFailedWriteDetachesAndALaterPassAttachesAgain) {
    Start();
    mouse_->InjectFault(emu::Fault::WriteFailure, 4);
    Drag("ms_DPI3_slider", 20);
    EXPECT_TRUE(SpinUntil([&] { return !wnd_->MouseDevice().IsConnected(); }));
    mouse_->ClearTrafficLog();
    EXPECT_TRUE(SpinUntil([&] { return wnd_->MouseDevice().IsConnected(); }));
    EXPECT_TRUE(SpinUntil([&] {
        const auto c = Commands();
        return std::count(c.begin(), c.end(), 3) == 1;  // the information block again
    }));
}

TEST_F(MousePageTest, SyncEventsOfTheMouse) {
    Start();
    // 0x401: the active profile read again (1-byte read, then the 56-byte block).
    PresetMouse([](auto& b) { b[f::dpiStep4] = 77; });
    mouse_->ClearTrafficLog();
    mouse_->EmitConsumerEvent(0x401);
    EXPECT_TRUE(SpinUntil([&] { return Slider("ms_DPI4_slider")->GetValue() == 77; }));

    // 0x402: the whole read-out.
    mouse_->ClearTrafficLog();
    mouse_->EmitConsumerEvent(0x402);
    EXPECT_TRUE(SpinUntil([&] {
        const auto c = Commands();
        return std::count(c.begin(), c.end(), 3) == 1;
    }));

    // 0x403, the reactive flash, is for the lighting pages: nothing is read or sent.
    QTest::qWait(200);  // what the read-out changed has gone out
    mouse_->ClearTrafficLog();
    mouse_->EmitConsumerEvent(0x403);
    QTest::qWait(200);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(MousePageTest, PointerSpeedAndWheelLinesReachTheDesktop) {
    Start();
    pointer_->Clear();
    struct Case {
        const char* action;
        std::string shown;  // the wheel edit before
        std::string want;   // what the desktop gets
    };
    // Slider positions map to speed 2p + 2; the wheel buttons stay within 1-100.
    Drag("ms_point_speed_slider", 9);
    Page().Pointer().Flush();
    Drag("ms_point_speed_slider", 4);
    Page().Pointer().Flush();
    EXPECT_EQ(pointer_->Log(), (std::vector<std::string>{"speed 20", "speed 10"}));
    for (const Case& c : {Case{"ms_gunlun_speed_up_btn", "100", "lines 100"},
                          Case{"ms_gunlun_speed_down_btn", "1", "lines 1"},
                          Case{"ms_gunlun_speed_up_btn", "abc", "lines 2"},
                          Case{"ms_gunlun_speed_down_btn", "7", "lines 6"}}) {
        SCOPED_TRACE(std::string(c.action) + " " + c.shown);
        pointer_->Clear();
        Find("ms_gunlun_speed_edit")->SetText(c.shown);
        QTest::mouseClick(Find(c.action)->GetWidget(), Qt::LeftButton);
        Page().Pointer().Flush();
        EXPECT_EQ(pointer_->Log(), std::vector<std::string>{c.want});
        EXPECT_EQ(Text("ms_gunlun_speed_edit"), c.want.substr(6));
    }
}

TEST_F(MousePageTest, FactoryResetAsksFirstAndCancelKeepsEverything) {
    Start();
    Drag("ms_DPI2_slider", 57);
    ASSERT_TRUE(SpinUntil([&] { return mouse_->SettingsMemory()[f::dpiStep2] == 57; }));
    pointer_->Clear();
    mouse_->ClearTrafficLog();
    BoxWatcher cancelling(100ms, true, 0);
    QTest::mouseClick(Find("ms_one_profile_default")->GetWidget(), Qt::LeftButton);
    ASSERT_EQ(cancelling.boxes.size(), 1u);
    EXPECT_EQ(cancelling.boxes[0].text, "confirm_factory_reset");
    EXPECT_TRUE(cancelling.boxes[0].asks);
    QTest::qWait(250);
    EXPECT_EQ(mouse_->FactoryResetCount(), 0);
    EXPECT_TRUE(Commands().empty());
    Page().Pointer().Flush();
    EXPECT_TRUE(pointer_->Log().empty());
    EXPECT_EQ(Slider("ms_DPI2_slider")->GetValue(), 57);
}

TEST_F(MousePageTest, ConfirmedFactoryResetResetsTheMouseReadsItBackAndSaysSo) {
    Start();
    // As in the application, a device profile gave host block 0 at the attach.
    Page().SetHostBlockFromProfile(true);
    Drag("ms_DPI2_slider", 57);
    ASSERT_TRUE(SpinUntil([&] { return mouse_->SettingsMemory()[f::dpiStep2] == 57; }));
    Page().Blocks().RefreshHostBlock0();  // what storing the device profile does
    pointer_->Clear();
    mouse_->ClearTrafficLog();
    BoxWatcher confirming(100ms, true, 1);
    QTest::mouseClick(Find("ms_one_profile_default")->GetWidget(), Qt::LeftButton);
    Page().Pointer().Flush();
    EXPECT_EQ(pointer_->Log(), (std::vector<std::string>{"speed 10", "lines 3"}));
    EXPECT_EQ(Slider("ms_point_speed_slider")->GetValue(), 4);
    EXPECT_EQ(Text("ms_gunlun_speed_edit"), "3");
    EXPECT_EQ(mouse_->FactoryResetCount(), 1);
    EXPECT_TRUE(SpinUntil([&] {
        const auto c = Commands();
        return std::count(c.begin(), c.end(), 3) == 1;
    }));
    // The read-back takes the mouse's factory settings: the pages show them and what is sent
    // afterwards does not bring the old ones back.
    const std::vector<uint8_t> factory =
        emu::EmulatedDevice::FactoryProfileBlock(DeviceKind::Mouse, 0);
    EXPECT_TRUE(
        SpinUntil([&] { return Slider("ms_DPI2_slider")->GetValue() == factory[f::dpiStep2]; }));
    // Then the user is told, with a box that only tells.
    ASSERT_TRUE(SpinUntil([&] { return confirming.boxes.size() == 2 && !confirming.AnyOpen(); }));
    EXPECT_EQ(confirming.boxes[1].text, "factory_reset_done");
    EXPECT_FALSE(confirming.boxes[1].asks);
    QTest::qWait(250);
    const std::vector<uint8_t> held = mouse_->SettingsMemory();
    EXPECT_TRUE(std::equal(factory.begin(), factory.begin() + mouse::kLiveSize, held.begin()));
}

TEST_F(MousePageTest, AFactoryResetTheMouseDoesNotTakeIsReportedAsFailed) {
    Start();
    mouse_->InjectFault(emu::Fault::NoReply);
    BoxWatcher confirming(100ms, true, 1);
    QTest::mouseClick(Find("ms_one_profile_default")->GetWidget(), Qt::LeftButton);
    ASSERT_TRUE(SpinUntil([&] { return confirming.boxes.size() == 2 && !confirming.AnyOpen(); }));
    EXPECT_EQ(confirming.boxes[1].text, "factory_reset_failed");
}

}  // namespace
}  // namespace gmd::app::testing
