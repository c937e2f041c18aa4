#include "macros/macro_model.h"

#include <gtest/gtest.h>

#include <array>

#include "macros/key_function.h"
#include "mouse/mouse_blocks.h"
#include "platform/ini_file.h"
#include "tests/macros/macro_test_support.h"

namespace gmd::macros {
namespace {

namespace fs = std::filesystem;
using test::ActionFile;
using test::ReadBytes;
using test::WriteBytes;

TEST(MacroActionTest, TextFormIsReadFromTheRight) {
    struct Case {
        const char* text;
        bool parses;
        MacroAction action;
    };
    const Case cases[] = {
        {"50,0,138,4,1,keyboard_key_A", true, {50, 0, 0x8A, 4, 1, "keyboard_key_A"}},
        {"0,0,132,5,1,mouse_move_to_left_text",
         true,
         {0, 0, 0x84, 5, 1, "mouse_move_to_left_text"}},
        // Only the last comma ends the numbers; a label is whatever follows it.
        {"1,2,3,4,5,", true, {1, 2, 3, 4, 5, ""}},
        {"x,1,2,3,4,5,label", true, {5, 4, 0, 0, 0, ""}},  // see below
        // Numbers keep their low bits; text without digits gives 0.
        {"300,-1,abc,260,65537,k", true, {44, 255, 0, 4, 1, "k"}},
        {"50,0,138,4,1", false, {}},  // five numbers and no label
        {"garbage", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        MacroAction action;
        EXPECT_EQ(ParseMacroAction(c.text, action), c.parses) << c.text;
        if (c.parses && std::string_view(c.text) != "x,1,2,3,4,5,label") {
            EXPECT_EQ(action, c.action) << c.text;
        }
    }
    // Six commas: the label is "label", and delayLow is read from "x,1" (no leading digits).
    MacroAction extra;
    ASSERT_TRUE(ParseMacroAction("x,1,2,3,4,5,label", extra));
    EXPECT_EQ(extra, (MacroAction{0, 2, 3, 4, 5, "label"}));
    // A failed parse keeps the fields it had set.
    MacroAction partial{9, 9, 9, 9, 9, "old"};
    EXPECT_FALSE(ParseMacroAction("1,2,7,new", partial));
    EXPECT_EQ(partial, (MacroAction{9, 9, 9, 2, 7, "new"}));
}

TEST(MacroActionTest, FormatRoundTripsAndDelaysSaturate) {
    MacroAction action{0, 0, 0x8A, 4, 1, "keyboard_key_A"};
    action.SetDelay(70000);
    EXPECT_EQ(action.delayLow, 255);
    EXPECT_EQ(action.delayHigh, 255);
    EXPECT_EQ(FormatMacroAction(action), "255,255,138,4,1,keyboard_key_A");
    MacroAction back;
    ASSERT_TRUE(ParseMacroAction(FormatMacroAction(action), back));
    EXPECT_EQ(back, action);
    action.SetDelay(-5);
    EXPECT_EQ(action.Delay(), 0);
}

TEST(MacroNameTest, NamesThatCannotBeFilesAreRefused) {
    for (const std::string& bad : std::vector<std::string>{
             "", "a/b", "a\\b", ".", "..", "tab\there", " lead", "trail ", "\"quoted\"", "'x",
             "y\"", std::string(300, 'n'), std::string("bell\x07")}) {
        EXPECT_NE(CheckMacroName(bad), NameProblem::None) << bad;
    }
    for (const std::string& good :
         std::vector<std::string>{"name_1", "Reload fast", "ünïcode", "a.b", "x-y"}) {
        EXPECT_EQ(CheckMacroName(good), NameProblem::None) << good;
    }
}

TEST(MacroNameTest, DefaultNamesSkipTakenOnes) {
    EXPECT_EQ(NextMacroName({}), "name_1");
    EXPECT_EQ(NextMacroName({"name_1", "name_3"}), "name_4");
    EXPECT_EQ(NextMacroName({"NAME_2", "x"}), "name_3");
}

using MacroStoreTest = test::FolderFixture;

TEST_F(MacroStoreTest, AddStopsAtFiftyMacros) {
    std::string name;
    for (int i = 0; i < kMaxMacros; ++i) {
        ASSERT_EQ(AddMacro(store_, name), MacroResult::Ok);
    }
    EXPECT_EQ(name, "name_50");
    EXPECT_EQ(AddMacro(store_, name), MacroResult::TooMany);
    EXPECT_EQ(ReadMacroNames(store_).size(), 50u);
    EXPECT_EQ(IniReadString(store_.ListPath(), "MACRONAME", "49", ""), "name_50");
}

TEST_F(MacroStoreTest, SavedFileHoldsExactlyItsActions) {
    std::string name;
    ASSERT_EQ(AddMacro(store_, name), MacroResult::Ok);
    const std::vector<std::string> three = {"1,0,138,4,1,a", "2,0,10,4,0,a", "3,0,129,1,1,b"};
    ASSERT_EQ(SaveMacroActions(store_, 0, three), MacroResult::Ok);
    ASSERT_EQ(SaveMacroActions(store_, 0, std::vector<std::string>{"9,0,138,5,1,b"}),
              MacroResult::Ok);
    const std::string bytes = ReadBytes(store_.folder / "name_1.mac");
    EXPECT_EQ(bytes,
              "[MACROACTIONCOUNT]\ncount=1\n[MACROSELECTNAME]\nname=name_1\n[MACROACTION]\n"
              "0=9,0,138,5,1,b\n");
    EXPECT_EQ(ReadActionTexts(store_.folder / "name_1.mac"),
              std::vector<std::string>{"9,0,138,5,1,b"});
    // The keyboard's files carry no MACROSELECTNAME.
    MacroStore kb{store_.folder, KeyDevice::Keyboard};
    ASSERT_EQ(AddMacro(kb, name), MacroResult::Ok);
    ASSERT_EQ(SaveMacroActions(kb, 0, three), MacroResult::Ok);
    EXPECT_EQ(IniReadString(store_.folder / "name_1.mac", "MACROSELECTNAME", "name", "-"), "-");
}

TEST_F(MacroStoreTest, DeleteRenumbersKeysAndRewritesTheList) {
    std::string name;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(AddMacro(store_, name), MacroResult::Ok);
        ASSERT_EQ(SaveMacroActions(store_, i, std::vector<std::string>{"1,0,1,1,1,x"}),
                  MacroResult::Ok);
    }
    std::array<mouse::Image, 5> images{};
    const mouse::Image defaults = mouse::InitialCurrentImage();
    WriteKeyRecord(images[1], 4, {0x70, 2, 0});
    WriteKeyRecord(images[3], 1, {0x71, 1, 3});
    std::array<std::span<const uint8_t>, 5> view;
    std::array<std::span<uint8_t>, 5> edit;
    for (size_t i = 0; i < 5; ++i) {
        view[i] = images[i];
        edit[i] = images[i];
    }
    // Macro 1 is bound: the user must confirm. Macro 0 is not: no question.
    EXPECT_TRUE(DeleteNeedsConfirmation(view, kMouseButtonCount, 1));
    EXPECT_FALSE(DeleteNeedsConfirmation(view, kMouseButtonCount, 0));

    ASSERT_EQ(DeleteMacro(store_, 1, edit, kMouseButtonCount, defaults), MacroResult::Ok);
    EXPECT_EQ(ReadKeyRecord(images[1], 4), (KeyFunction{0x70, 1, 0}));
    EXPECT_EQ(ReadKeyRecord(images[3], 1), ReadKeyRecord(defaults, 1));
    EXPECT_EQ(ReadMacroNames(store_), (std::vector<std::string>{"name_1", "name_3"}));
    EXPECT_FALSE(fs::exists(store_.folder / "name_2.mac"));
    EXPECT_EQ(IniReadString(store_.ListPath(), "MACRONAME", "2", "gone"), "gone");
    EXPECT_EQ(IniReadString(store_.ListPath(), "CURSORNAME", "3", ""), "name_4");

    // Deleting macro 0 while only macro 1 (now name_3) is bound: it becomes index 0.
    EXPECT_FALSE(DeleteNeedsConfirmation(view, kMouseButtonCount, 0));
    ASSERT_EQ(DeleteMacro(store_, 0, edit, kMouseButtonCount, defaults), MacroResult::Ok);
    EXPECT_EQ(ReadKeyRecord(images[1], 4), (KeyFunction{0x70, 0, 0}));
}

TEST_F(MacroStoreTest, FailedDeleteChangesNeitherFilesNorKeys) {
    std::string name;
    ASSERT_EQ(AddMacro(store_, name), MacroResult::Ok);
    ASSERT_EQ(SaveMacroActions(store_, 0, std::vector<std::string>{"1,0,1,1,1,x"}),
              MacroResult::Ok);
    mouse::Image image{};
    WriteKeyRecord(image, 0, {0x70, 0, 0});
    std::array<std::span<uint8_t>, 1> edit{std::span<uint8_t>(image)};
    const auto before = Snapshot();
    FailWrites();
    EXPECT_EQ(DeleteMacro(store_, 0, edit, kMouseButtonCount, mouse::InitialCurrentImage()),
              MacroResult::WriteFailed);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(ReadKeyRecord(image, 0), (KeyFunction{0x70, 0, 0}));
}

TEST_F(MacroStoreTest, RenameRules) {
    std::string name;
    ASSERT_EQ(AddMacro(store_, name), MacroResult::Ok);
    ASSERT_EQ(AddMacro(store_, name), MacroResult::Ok);
    const std::vector<std::string> actions = {"5,0,138,4,1,keyboard_key_A"};
    ASSERT_EQ(SaveMacroActions(store_, 0, actions), MacroResult::Ok);

    EXPECT_EQ(RenameMacro(store_, 0, "Name_1", actions), MacroResult::Unchanged);
    EXPECT_EQ(RenameMacro(store_, 0, "NAME_2", actions), MacroResult::DuplicateName);
    EXPECT_EQ(RenameMacro(store_, 0, "../escape", actions), MacroResult::BadName);
    EXPECT_EQ(RenameMacro(store_, 0, "", actions), MacroResult::BadName);
    EXPECT_EQ(RenameMacro(store_, 5, "x", actions), MacroResult::NoSelection);
    // A file the list does not know is not replaced.
    WriteBytes(store_.folder / "mine.mac", "keep");
    EXPECT_EQ(RenameMacro(store_, 0, "mine", actions), MacroResult::FileExists);
    EXPECT_EQ(ReadBytes(store_.folder / "mine.mac"), "keep");

    ASSERT_EQ(RenameMacro(store_, 0, "Reload", actions), MacroResult::Ok);
    EXPECT_EQ(ReadMacroNames(store_), (std::vector<std::string>{"Reload", "name_2"}));
    EXPECT_FALSE(fs::exists(store_.folder / "name_1.mac"));
    EXPECT_EQ(ReadActionTexts(store_.folder / "Reload.mac"), actions);
    EXPECT_EQ(IniReadString(store_.folder / "Reload.mac", "MACROSELECTNAME", "name", ""), "Reload");
}

TEST_F(MacroStoreTest, RenameThatCannotWriteKeepsOldNameAndFile) {
    std::string name;
    ASSERT_EQ(AddMacro(store_, name), MacroResult::Ok);
    const std::vector<std::string> actions = {"5,0,138,4,1,keyboard_key_A"};
    ASSERT_EQ(SaveMacroActions(store_, 0, actions), MacroResult::Ok);
    const auto before = Snapshot();
    FailWrites();
    EXPECT_EQ(RenameMacro(store_, 0, "Other", actions), MacroResult::WriteFailed);
    SetFileWriteFault(nullptr);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(ReadMacroNames(store_), std::vector<std::string>{"name_1"});
}

TEST_F(MacroStoreTest, ImportChecksTheWholeFileFirst) {
    const fs::path source = root_ / "in.mac";
    struct Case {
        const char* what;
        std::string bytes;
        MacroResult result;
    };
    const Case bad[] = {
        {"no count", "[MACROACTION]\n0=1,0,1,1,1,x\n", MacroResult::BadFile},
        {"count not a number", "[MACROACTIONCOUNT]\ncount=x1\n", MacroResult::BadFile},
        {"negative count", "[MACROACTIONCOUNT]\ncount=-1\n", MacroResult::BadFile},
        {"missing action", ActionFile(2, {"1,0,1,1,1,x"}), MacroResult::BadFile},
        {"unparsable action", ActionFile(1, {"1,0,1,1,1"}), MacroResult::BadFile},
        {"huge count", ActionFile(kMaxMacroActions + 1, {}), MacroResult::BadFile},
        {"binary", std::string("\x00\x01\x02\xff", 4), MacroResult::BadFile},
    };
    for (const Case& c : bad) {
        WriteBytes(source, c.bytes);
        std::string name;
        std::string error;
        EXPECT_EQ(ImportMacro(store_, source, name, error), c.result) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_TRUE(Snapshot().empty()) << c.what;
    }
    std::string name;
    std::string error;
    EXPECT_EQ(ImportMacro(store_, root_ / "absent.mac", name, error), MacroResult::SourceMissing);

    // A good file, with keys past its count and a foreign MACROSELECTNAME: exactly its actions
    // under the next default name.
    WriteBytes(source, ActionFile(1, {"50,0,138,4,1,keyboard_key_A", "1,1,1,1,1,stale"}) +
                           "[MACROSELECTNAME]\r\nname=elsewhere\r\n");
    ASSERT_EQ(ImportMacro(store_, source, name, error), MacroResult::Ok) << error;
    EXPECT_EQ(name, "name_1");
    EXPECT_EQ(ReadActionTexts(store_.folder / "name_1.mac"),
              std::vector<std::string>{"50,0,138,4,1,keyboard_key_A"});
    EXPECT_EQ(IniReadString(store_.folder / "name_1.mac", "MACROACTION", "1", "none"), "none");
    EXPECT_EQ(IniReadString(store_.folder / "name_1.mac", "MACROSELECTNAME", "name", ""), "name_1");
    EXPECT_EQ(ReadMacroNames(store_), std::vector<std::string>{"name_1"});
}

TEST_F(MacroStoreTest, ExportHonoursTheOverwriteAnswer) {
    std::string name;
    ASSERT_EQ(AddMacro(store_, name), MacroResult::Ok);
    const fs::path target = root_ / "out.mac";
    EXPECT_EQ(ExportMacro(store_, 0, target, false), MacroResult::SourceMissing);  // unsaved
    ASSERT_EQ(SaveMacroActions(store_, 0, std::vector<std::string>{"1,0,1,1,1,x"}),
              MacroResult::Ok);
    ASSERT_EQ(ExportMacro(store_, 0, target, false), MacroResult::Ok);
    EXPECT_EQ(ReadBytes(target), ReadBytes(store_.folder / "name_1.mac"));
    WriteBytes(target, "old");
    EXPECT_EQ(ExportMacro(store_, 0, target, false), MacroResult::FileExists);
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(ExportMacro(store_, 0, target, true), MacroResult::Ok);
    EXPECT_EQ(ReadBytes(target), ReadBytes(store_.folder / "name_1.mac"));
}

TEST_F(MacroStoreTest, HostileListFilesReadWithinLimits) {
    WriteBytes(store_.ListPath(), "[MACROCOUNT]\ncount=99999999\n[MACRONAME]\n0=../../etc\n");
    const std::vector<std::string> names = ReadMacroNames(store_);
    EXPECT_EQ(names.size(), static_cast<size_t>(kMaxMacros));
    EXPECT_EQ(names[1], "0");
    // A listed name that is not a file name is never used as a path.
    EXPECT_EQ(SaveMacroActions(store_, 0, std::vector<std::string>{}), MacroResult::BadName);
    EXPECT_EQ(ExportMacro(store_, 0, root_ / "x", true), MacroResult::BadName);
}

}  // namespace
}  // namespace gmd::macros
