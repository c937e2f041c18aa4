// The profile panels against the virtual mouse: first start, the list operations through their
// buttons, persistence across a restart, and switching by the foreground program.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QSlider>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "app/subsystems.h"
#include "mouse/mouse_blocks.h"
#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "profiles/profile_file.h"
#include "profiles/profile_index.h"
#include "profiles/profile_watcher.h"
#include "tests/app/app_test_support.h"
#include "tests/support/fake_pointer_settings.h"
#include "ui/controls.h"
#include "ui/file_dialog.h"
#include "ui/resource_manager.h"

namespace gmd::app::testing {
namespace {

namespace fs = std::filesystem;
using profiles::ListId;

class FakeForeground : public ForegroundProgram {
  public:
    bool Available() const override { return true; }
    std::string Name() const override { return "test foreground"; }
    std::optional<std::string> Path() override {
        std::lock_guard lock(mutex_);
        return path_;
    }
    void Set(std::string path) {
        std::lock_guard lock(mutex_);
        path_ = std::move(path);
    }

  private:
    std::mutex mutex_;
    std::string path_ = "/usr/bin/editor";
};

// What the file dialogs answer, and what the last one was asked.
std::optional<std::string> g_dialogAnswer;
ui::FileDialogOptions g_dialogAsked;
std::optional<std::string> AnswerDialog(bool, const ui::FileDialogOptions& options) {
    g_dialogAsked = options;
    return g_dialogAnswer;
}

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ProfilePageTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        ui::SetFileDialogResponder(AnswerDialog);
    }
    void TearDown() override {
        AppTest::TearDown();
        ui::SetFileDialogResponder(nullptr);
        g_dialogAnswer.reset();
    }

    CMainWnd* Start(const fs::path& defaults = GMD_DEFAULTS_DIR, bool waitForMouse = true) {
        PlugMouse();
        CMainWnd* wnd = CreateMainWnd(
            [&](CMainWnd& w) {
                PlugSubsystems(w, pointer_, defaults);
                w.InstallDeviceWatch();
                InstallDeviceProfileWatcher(w, foreground_);
            },
            false);
        if (waitForMouse) {
            EXPECT_TRUE(SpinUntil([&] { return Slider("ms_DPI1_slider")->GetMaxValue() == 239; }));
            QTest::qWait(200);
        }
        return wnd;
    }
    void Restart() {
        CloseMainWnd();
        // A mouse fresh from the factory: what the pages show must come from the files.
        mouse_ = std::make_unique<emu::EmulatedDevice>(DeviceKind::Mouse, *bus_);
        Start();
    }

    ui::CSliderUI* Slider(const std::string& name) {
        return dynamic_cast<ui::CSliderUI*>(Find(name));
    }
    ui::CComboUI* Combo(const std::string& name) { return dynamic_cast<ui::CComboUI*>(Find(name)); }
    std::vector<std::string> Entries(const std::string& combo) {
        std::vector<std::string> names;
        ui::CComboUI* c = Combo(combo);
        for (int i = 0; i < c->GetCount(); ++i) {
            names.push_back(c->GetItemAt(i)->GetText());
        }
        return names;
    }
    // Clicks a button of the mouse pages as a user would (its page shown first).
    void Click(const std::string& name) {
        ui::CControlUI* control = Find(name);
        ASSERT_NE(control, nullptr) << name;
        wnd_->GetPaintManager().SendNotify(control, "click");
    }
    // Clicks a check box as a user would: it toggles and tells the window.
    void ClickCheck(const std::string& name) {
        auto* check = dynamic_cast<ui::COptionUI*>(Find(name));
        ASSERT_NE(check, nullptr) << name;
        check->Selected(!check->IsSelected(), true);
    }
    bool Checked(const std::string& name) {
        auto* check = dynamic_cast<ui::COptionUI*>(Find(name));
        return check != nullptr && check->IsSelected();
    }
    void Drag(const std::string& name, int value) {
        auto* slider = qobject_cast<QSlider*>(Find(name)->GetWidget());
        slider->setSliderDown(true);
        slider->setValue(value);
        slider->setSliderDown(false);
    }

    std::shared_ptr<test::FakePointerSettings> pointer_ =
        std::make_shared<test::FakePointerSettings>();
    std::shared_ptr<FakeForeground> foreground_ = std::make_shared<FakeForeground>();
};

TEST_F(ProfilePageTest, FirstStartCreatesProfile1OfEveryListFromTheDefaults) {
    Start();
    const fs::path ms = MouseFolder();
    for (const char* file : {"profile1.config", "profile1.led", "profile1.pro"}) {
        EXPECT_TRUE(fs::exists(ms / file)) << file;
        EXPECT_TRUE(fs::exists(KeyboardFolder() / file)) << file;
    }
    EXPECT_TRUE(fs::exists(MousepadFolder() / "profile1.led"));
    EXPECT_EQ(fs::file_size(KeyboardFolder() / "profile1.config"), 2486u);
    EXPECT_EQ(FileBytes(ms / "profile1.pro"),
              FileBytes(fs::path(GMD_DEFAULTS_DIR) / "mskeydefault.pro"));
    for (const char* combo :
         {"ms_device_profile_combo", "ms_deng_profile_combo", "ms_key_profile_combo",
          "kb_device_profile_combo", "kb_deng_profile_combo", "kb_key_profile_combo",
          "mp_deng_profile_combo"}) {
        EXPECT_EQ(Entries(combo), std::vector<std::string>{"profile1"}) << combo;
    }
    const fs::path ini = ms / "msProfile.ini";
    for (const auto& [section, key, value] :
         std::vector<std::tuple<const char*, const char*, const char*>>{
             {"PROFILEDEVICECOUNT", "count", "1"},
             {"PROFILELIKEDEVICEEXE", "0", "0"},
             {"PROFILEDEVICENAME", "0", "profile1"},
             {"PROFILEDEVICESELECT", "select", "0"},
             {"PROFILEDENGNAME", "0", "profile1"},
             {"PROFILECOUNT", "count", "1"},
             {"PROFILESELECT", "select", "0"}}) {
        EXPECT_EQ(IniReadString(ini, section, key, "missing"), value) << section << " " << key;
    }
    // The watcher put the stored device profile in force.
    EXPECT_TRUE(SpinUntil([&] { return Combo("ms_device_profile_combo")->GetCurSel() == 0; }));
}

TEST_F(ProfilePageTest, FirstStartWithoutTheDeviceDefaultSaysSoOnceAndWritesNoIndex) {
    const fs::path defaults = fs::path(home_.path().toStdString()) / "defaults";
    fs::copy(GMD_DEFAULTS_DIR, defaults);
    fs::remove(defaults / "msdevicedefault.config");
    BoxWatcher watcher;
    Start(defaults, /*waitForMouse=*/false);
    ASSERT_TRUE(SpinUntil([&] { return !watcher.boxes.empty() && !watcher.AnyOpen(); }));
    QTest::qWait(300);
    ASSERT_EQ(watcher.boxes.size(), 1u);
    EXPECT_EQ(watcher.boxes[0].text, "message_text_8");
    EXPECT_FALSE(fs::exists(MouseFolder() / "msProfile.ini"));
    EXPECT_EQ(Combo("ms_device_profile_combo")->GetCount(), 0);
    // The other devices' lists are there.
    EXPECT_EQ(Entries("kb_device_profile_combo"), std::vector<std::string>{"profile1"});
}

TEST_F(ProfilePageTest, ChangesPersistAcrossARestart) {
    Start();
    Drag("ms_DPI2_slider", 57);
    Drag("ms_point_speed_slider", 7);  // speed 16
    QTest::qWait(200);
    Restart();
    EXPECT_TRUE(SpinUntil([&] { return Slider("ms_DPI2_slider")->GetValue() == 57; }));
    EXPECT_EQ(Find("ms_DPI2_label_value")->GetText(), "2900");
    // The restored profile went to the fresh mouse as well.
    EXPECT_TRUE(SpinUntil([&] { return mouse_->SettingsMemory()[mouse::live::dpiStep2] == 57; }));
}

TEST_F(ProfilePageTest, ListOperationsThroughTheirButtons) {
    Start();
    Click("ms_pro_device_add_btn");
    Click("ms_pro_device_add_btn");
    EXPECT_EQ(Entries("ms_device_profile_combo"),
              (std::vector<std::string>{"profile1", "profile2", "profile3"}));
    EXPECT_EQ(Combo("ms_device_profile_combo")->GetCurSel(), 2);
    EXPECT_EQ(profiles::ReadSelect(ListId::MouseDevice), 2);

    Click("ms_pro_device_copy_btn");
    EXPECT_EQ(Entries("ms_device_profile_combo").back(), "profile3 copy");

    // Rename: refused for another entry's name in other case (the edit shows the name the
    // profile keeps), done for a new one.
    BoxWatcher watcher;
    for (const char* refused : {"PROFILE1", ""}) {
        Find("ms_device_profile_name_edit")->SetText(refused);
        Click("ms_device_profile_edit_save_btn");
        EXPECT_EQ(Find("ms_device_profile_name_edit")->GetText(), "profile3 copy") << refused;
    }
    ASSERT_TRUE(SpinUntil([&] { return watcher.boxes.size() == 2 && !watcher.AnyOpen(); }));
    EXPECT_EQ(watcher.boxes[0].text, "message_text_15");
    EXPECT_EQ(watcher.boxes[1].text, "message_text_14");
    // Boxes that only tell have their OK alone.
    EXPECT_FALSE(watcher.boxes[0].asks);
    EXPECT_FALSE(watcher.boxes[1].asks);
    Find("ms_device_profile_name_edit")->SetText("Arena");
    Click("ms_device_profile_edit_save_btn");
    EXPECT_EQ(Entries("ms_device_profile_combo").back(), "Arena");
    EXPECT_TRUE(fs::exists(MouseFolder() / "Arena.config"));
    EXPECT_FALSE(fs::exists(MouseFolder() / "profile3 copy.config"));

    // Export writes the header and the whole blob; import into the device list adds a profile.
    const fs::path exported = fs::path(home_.path().toStdString()) / "out.config";
    g_dialogAnswer = exported.string();
    Click("ms_pro_device_export_btn");
    // The dialog starts in the documents folder and offers the profile's name.
    EXPECT_EQ(g_dialogAsked.directory, DocumentsFolder().string());
    EXPECT_EQ(g_dialogAsked.initialName, "Arena.config");
    EXPECT_EQ(ui::ConvertFilter(g_dialogAsked.filter),
              ui::CResourceManager::GetInstance()->GetText("file_filter_config") + " (*.config)");
    EXPECT_EQ(g_dialogAsked.title,
              ui::CResourceManager::GetInstance()->GetText("file_export_title"));
    const std::vector<uint8_t> bytes = FileBytes(exported);
    ASSERT_EQ(bytes.size(), 16u + 576u);
    EXPECT_EQ(bytes[0], 0xAA);
    EXPECT_EQ(bytes[1], 0x55);
    EXPECT_EQ(bytes[4], 2);
    Click("ms_pro_device_import_btn");
    EXPECT_EQ(g_dialogAsked.initialName, "*.config");  // nothing to suggest for an import
    EXPECT_EQ(g_dialogAsked.directory, DocumentsFolder().string());
    EXPECT_EQ(Entries("ms_device_profile_combo").back(), "profile4");
    EXPECT_EQ(FileBytes(MouseFolder() / "profile4.config"), bytes);

    // Delete asks first, naming the profile: cancelled, it stays; confirmed, it goes and the
    // last entry is selected and loaded.
    std::string deleteText = ui::CResourceManager::GetInstance()->GetText("message_profile_delete");
    deleteText.replace(deleteText.find("%s"), 2, "profile4");
    for (const int answer : {0, 1}) {
        SCOPED_TRACE(answer);
        BoxWatcher deciding(100ms, true, answer);
        Click("ms_pro_device_sub_btn");
        ASSERT_EQ(deciding.boxes.size(), 1u);
        EXPECT_EQ(deciding.boxes[0].text, deleteText);
        EXPECT_TRUE(deciding.boxes[0].asks);
        EXPECT_EQ(fs::exists(MouseFolder() / "profile4.config"), answer == 0);
    }
    EXPECT_EQ(Entries("ms_device_profile_combo").back(), "Arena");
    EXPECT_EQ(Combo("ms_device_profile_combo")->GetCurSel(), 3);
}

TEST_F(ProfilePageTest, AnAddedProfileShowsItsOwnValuesInEveryControl) {
    Start();
    // Profile 1 gets lift-off high and angle snapping on; the new profile starts from the
    // default, which has neither.
    dynamic_cast<ui::COptionUI*>(Find("heightHigh"))->Selected(true, false);  // as a click does
    Click("heightHigh");
    ClickCheck("ms_line_adjust");
    ASSERT_TRUE(SpinUntil([&] {
        return mouse_->SettingsMemory()[mouse::live::liftHeight] == 2 &&
               mouse_->SettingsMemory()[mouse::live::lineAdjust] == 1;
    }));
    Click("ms_pro_device_add_btn");
    auto option = [&](const char* name) {
        return dynamic_cast<ui::COptionUI*>(Find(name))->IsSelected();
    };
    EXPECT_TRUE(option("heightMiddle"));
    EXPECT_FALSE(option("heightHigh"));
    EXPECT_FALSE(option("ms_line_adjust"));
    EXPECT_TRUE(SpinUntil([&] {
        return mouse_->SettingsMemory()[mouse::live::liftHeight] == 1 &&
               mouse_->SettingsMemory()[mouse::live::lineAdjust] == 0;
    }));
    // Switching back shows profile 1's values again.
    Combo("ms_device_profile_combo")->SelectItem(0);
    EXPECT_TRUE(option("heightHigh"));
    EXPECT_TRUE(option("ms_line_adjust"));
}

TEST_F(ProfilePageTest, ResetPutsTheDefaultBackIntoMemoryTheFileAndTheMouse) {
    Start();
    Drag("ms_DPI1_slider", 90);
    QTest::qWait(200);
    pointer_->ClearCalls();
    mouse_->ClearTrafficLog();
    Click("ms_pro_device_reset_btn");
    // The default's first stage (400 DPI), stored and sent; pointer 10 and wheel 3 applied.
    EXPECT_EQ(Slider("ms_DPI1_slider")->GetValue(), 7);
    std::vector<uint8_t> stored(mouse::kDeviceBlobSize);
    ASSERT_EQ(profiles::ReadProfileFile(MouseFolder() / "profile1.config", stored), 0);
    EXPECT_EQ(stored[mouse::kImageSize + mouse::live::dpiStep1], 7);
    EXPECT_TRUE(SpinUntil([&] { return mouse_->SettingsMemory()[mouse::live::dpiStep1] == 7; }));
    EXPECT_TRUE(pointer_->WaitForCalls(2));
    EXPECT_EQ(Find("ms_gunlun_speed_edit")->GetText(), "3");
    EXPECT_EQ(Entries("ms_device_profile_combo"), std::vector<std::string>{"profile1"});
}

TEST_F(ProfilePageTest, ALinkedProgramInFrontPutsItsProfileInForceAndChangesGoThere) {
    Start();
    Click("ms_pro_device_add_btn");
    Click("ms_pro_device_add_btn");
    // Profile 3 (position 2) is linked to a game; the user goes back to profile 1.
    profiles::WriteLink(ListId::MouseDevice, 2, true, "/opt/games/Game.bin");
    Combo("ms_device_profile_combo")->SelectItem(0);
    ASSERT_EQ(profiles::ReadSelect(ListId::MouseDevice), 0);
    const std::vector<uint8_t> userFile = FileBytes(MouseFolder() / "profile1.config");

    foreground_->Set("/OPT/games/game.BIN");
    ASSERT_TRUE(SpinUntil([&] { return Combo("ms_device_profile_combo")->GetCurSel() == 2; }));
    EXPECT_EQ(profiles::ReadSelect(ListId::MouseDevice), 0) << "the user's choice is kept";
    Drag("ms_DPI1_slider", 33);
    QTest::qWait(100);
    EXPECT_EQ(FileBytes(MouseFolder() / "profile1.config"), userFile)
        << "a change while linked must not go into the user's profile";
    std::vector<uint8_t> linked(mouse::kDeviceBlobSize);
    ASSERT_EQ(profiles::ReadProfileFile(MouseFolder() / "profile3.config", linked), 0);
    EXPECT_EQ(linked[mouse::kImageSize + mouse::live::dpiStep1], 33);

    foreground_->Set("/usr/bin/editor");
    EXPECT_TRUE(SpinUntil([&] { return Combo("ms_device_profile_combo")->GetCurSel() == 0; }));
    EXPECT_EQ(profiles::ReadSelect(ListId::MouseDevice), 0);
}

TEST_F(ProfilePageTest, AWatcherDecisionFromBeforeTheUsersChoiceDoesNotUndoIt) {
    Start();
    Click("ms_pro_device_add_btn");
    ui::CComboUI* combo = Combo("ms_device_profile_combo");
    combo->SelectItem(0);
    // The watcher reads the user's selection on its thread; the user picks profile2 before the
    // window handles what it decided.
    const auto stale = profiles::DecideDeviceProfile(ListId::MouseDevice, "/usr/bin/editor");
    ASSERT_EQ(stale, (profiles::WatcherDecision{0, false}));
    combo->SelectItem(1);
    wnd_->SendMessage(WM_PROFILE_WATCH, static_cast<ui::WPARAM>(stale->position), 0);
    EXPECT_EQ(combo->GetCurSel(), 1);
    EXPECT_EQ(profiles::ReadSelect(ListId::MouseDevice), 1);
}

TEST_F(ProfilePageTest, ImportIntoTheMouseDeviceListAddsProfile3AndSelectsIt) {
    Start();
    Click("ms_pro_device_add_btn");
    // Rows made by add carry the list row style.
    ui::CControlUI* added = Combo("ms_device_profile_combo")->GetItemAt(1);
    EXPECT_EQ(added->GetFixedHeight(), 25);
    EXPECT_EQ(added->GetTextColor(), 0xFFE6E9EEu);

    std::vector<uint8_t> bytes = FileBytes(fs::path(GMD_DEFAULTS_DIR) / "msdevicedefault.config");
    ASSERT_EQ(bytes.size(), 16u + mouse::kDeviceBlobSize);
    bytes[16 + mouse::kImageSize + mouse::live::dpiStep1] = 33;
    const fs::path source = fs::path(home_.path().toStdString()) / "game.config";
    std::ofstream(source, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    g_dialogAnswer = source.string();
    Click("ms_pro_device_import_btn");
    EXPECT_EQ(Entries("ms_device_profile_combo"),
              (std::vector<std::string>{"profile1", "profile2", "profile3"}));
    EXPECT_EQ(Combo("ms_device_profile_combo")->GetCurSel(), 2);
    EXPECT_EQ(profiles::ReadSelect(ListId::MouseDevice), 2);
    EXPECT_EQ(FileBytes(MouseFolder() / "profile3.config"), bytes);
    EXPECT_EQ(Slider("ms_DPI1_slider")->GetValue(), 33) << "the imported profile is loaded";
}

TEST_F(ProfilePageTest, AnAddWhoseFileCannotBeWrittenLeavesTheListAndSaysSo) {
    Start();
    struct FullDisk {
        FullDisk() {
            SetFileWriteFault([](const fs::path& path) {
                return path.filename() == "profile2.config" ? ENOSPC : 0;
            });
        }
        ~FullDisk() { SetFileWriteFault(nullptr); }
    } fullDisk;
    BoxWatcher watcher;
    Click("ms_pro_device_add_btn");
    ASSERT_FALSE(watcher.boxes.empty());
    // The message, then which file could not be written and why.
    const std::string& text = watcher.boxes.back().text;
    EXPECT_THAT(text, ::testing::StartsWith(ui::CResourceManager::GetInstance()->GetText(
                          "message_profile_write_failed")));
    EXPECT_THAT(text, ::testing::HasSubstr("profile2.config"));
    EXPECT_THAT(text, ::testing::HasSubstr("No space left on device"));
    EXPECT_EQ(Entries("ms_device_profile_combo"), std::vector<std::string>{"profile1"});
    EXPECT_EQ(profiles::ReadCount(ListId::MouseDevice), 1);
    EXPECT_EQ(Combo("ms_device_profile_combo")->GetCurSel(), 0);
}

// Removing a link through each of its controls, on every list: the record goes, and the link
// name row shows or hides by list and by how the link went.
TEST_F(ProfilePageTest, RemovingALinkOnEveryList) {
    Start();
    enum How { kUncheck, kCancelDialog, kNoSeparator, kCancelButton };
    struct Case {
        ListId list;
        // Row visible after: unchecking, a cancelled dialog, a path without a separator, the
        // cancel-link button (lists that have one).
        bool row[3];
        bool hasCancelButton;
    };
    const Case cases[] = {
        {ListId::MouseDevice, {true, false, false}, true},
        {ListId::MouseLight, {false, false, false}, false},
        {ListId::MouseKey, {false, false, false}, false},
        {ListId::KeyboardDevice, {true, false, false}, true},
        {ListId::KeyboardLight, {true, true, false}, true},
        {ListId::KeyboardKey, {true, true, true}, false},
        {ListId::MousepadLight, {false, false, false}, false},
    };
    for (const Case& c : cases) {
        const ListId id = c.list;
        const std::string stem(profiles::Info(id).controlStem);
        const std::string check = stem + "_profile_link_check";
        ui::CControlUI* row = Find(stem + "_profile_link_name_hor");
        ui::CControlUI* edit = Find(stem + "_profile_link_edit");
        ASSERT_NE(row, nullptr);
        Combo(stem + "_profile_combo")->SelectItem(0);
        const std::string program = "/opt/games/" + stem;
        for (const How how : {kUncheck, kCancelDialog, kNoSeparator, kCancelButton}) {
            if (how == kCancelButton && !c.hasCancelButton) {
                continue;
            }
            SCOPED_TRACE(stem + " case " + std::to_string(how));
            if (how == kUncheck || how == kCancelButton) {
                g_dialogAnswer = program;
                ClickCheck(check);
                const profiles::ListEntry linked = profiles::ReadList(id)[0];
                EXPECT_TRUE(linked.linked);
                EXPECT_EQ(linked.program, program);
                EXPECT_EQ(edit->GetText(), stem);
                EXPECT_TRUE(Checked(check));
                EXPECT_TRUE(row->IsOwnVisible());
            }
            const bool expected = how == kCancelButton ? true : c.row[how];
            row->SetVisible(!expected);
            switch (how) {
                case kUncheck:
                    ClickCheck(check);
                    break;
                case kCancelDialog:
                    g_dialogAnswer.reset();
                    ClickCheck(check);
                    break;
                case kNoSeparator:
                    g_dialogAnswer = "game";
                    ClickCheck(check);
                    break;
                case kCancelButton:
                    Click(stem + "_cancle_link_btn");
                    break;
            }
            const profiles::ListEntry entry = profiles::ReadList(id)[0];
            EXPECT_FALSE(entry.flagSet);
            EXPECT_EQ(entry.program, "") << "a single space, read trimmed";
            EXPECT_EQ(edit->GetText(), " ");
            EXPECT_FALSE(Checked(check));
            EXPECT_EQ(row->IsOwnVisible(), expected) << "its own flag: the page may be hidden";
        }
    }
}

TEST_F(ProfilePageTest, AProgramLinksToOneProfileOfAList) {
    Start();
    BoxWatcher watcher;
    const auto boxes = [&] { return watcher.boxes.size(); };
    g_dialogAnswer = "/opt/games/Game";
    ClickCheck("ms_device_profile_link_check");
    Click("ms_pro_device_add_btn");
    ASSERT_EQ(Combo("ms_device_profile_combo")->GetCurSel(), 1);

    // The same program (case ignored) for a second profile is refused.
    g_dialogAnswer = "/OPT/games/game";
    ClickCheck("ms_device_profile_link_check");
    ASSERT_EQ(boxes(), 1u);
    EXPECT_EQ(watcher.boxes.back().text, "message_text_13");
    EXPECT_FALSE(Checked("ms_device_profile_link_check"));
    std::vector<profiles::ListEntry> entries = profiles::ReadList(ListId::MouseDevice);
    EXPECT_TRUE(entries[0].linked);
    EXPECT_EQ(entries[0].program, "/opt/games/Game");
    EXPECT_FALSE(entries[1].flagSet);

    // The link button: cancelled or a path without a separator changes nothing; another
    // program links.
    for (const std::optional<std::string>& answer :
         {std::optional<std::string>(), std::optional<std::string>("game")}) {
        g_dialogAnswer = answer;
        Click("ms_device_profile_link_btn");
        EXPECT_FALSE(profiles::ReadList(ListId::MouseDevice)[1].flagSet);
        EXPECT_FALSE(Checked("ms_device_profile_link_check"));
    }
    g_dialogAnswer = "/opt/games/Other";
    Click("ms_device_profile_link_btn");
    entries = profiles::ReadList(ListId::MouseDevice);
    EXPECT_TRUE(entries[1].linked);
    EXPECT_EQ(entries[1].program, "/opt/games/Other");
    EXPECT_EQ(Find("ms_device_profile_link_edit")->GetText(), "Other");
    EXPECT_TRUE(Checked("ms_device_profile_link_check"));
    EXPECT_TRUE(Find("ms_device_profile_link_name_hor")->IsVisible());
    EXPECT_EQ(boxes(), 1u);

    // Choosing its own program again is refused as well, and removes the link.
    Click("ms_device_profile_link_btn");
    ASSERT_EQ(boxes(), 2u);
    EXPECT_EQ(watcher.boxes.back().text, "message_text_13");
    EXPECT_FALSE(profiles::ReadList(ListId::MouseDevice)[1].flagSet);
    EXPECT_FALSE(Checked("ms_device_profile_link_check"));
    EXPECT_TRUE(profiles::ReadList(ListId::MouseDevice)[0].linked);
}

}  // namespace
}  // namespace gmd::app::testing
