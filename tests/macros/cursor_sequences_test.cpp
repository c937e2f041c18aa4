#include "macros/cursor_sequences.h"

#include <gtest/gtest.h>

#include "macros/macro_upload.h"
#include "platform/ini_file.h"
#include "tests/macros/macro_test_support.h"

namespace gmd::macros {
namespace {

namespace fs = std::filesystem;
using test::ActionFile;
using test::ReadBytes;
using test::WriteBytes;

class CursorTest : public test::FolderFixture {
  protected:
    void SetUp() override {
        FolderFixture::SetUp();
        app_ = GMD_DEFAULT_CURSORS_DIR;
        ASSERT_TRUE(EnsureCursorFiles(store_, app_));
    }
    fs::path File(int g) const {
        return store_.folder / ("name_" + std::to_string(g + 1) + ".cur");
    }
    fs::path app_;
};

TEST_F(CursorTest, EnsureWritesTheEntriesAndKeepsExistingFiles) {
    EXPECT_EQ(IniReadInt(store_.ListPath(), "CURSORCOUNT", "count", 0), 4);
    EXPECT_EQ(IniReadString(store_.ListPath(), "CURSORNAME", "2", ""), "name_3");
    for (int g = 0; g < kCursorSequenceCount; ++g) {
        EXPECT_EQ(ReadBytes(File(g)), ReadBytes(app_ / File(g).filename())) << g;
        EXPECT_EQ(ReadActionCount(File(g)), kMaxCursorActions);
    }
    // A user's file is never replaced by the default, even when the entries are missing.
    WriteBytes(File(1), ActionFile(0, {}));
    fs::remove(store_.ListPath());
    ASSERT_TRUE(EnsureCursorFiles(store_, app_));
    EXPECT_EQ(ReadActionCount(File(1)), 0);
    // The defaults fit the cursor blob.
    EXPECT_LE(MacroBlobSize(ReadCursorEntries(store_)), kCursorBlobLimit);
}

TEST_F(CursorTest, StepEditWritesItsThreeActions) {
    const std::vector<std::string> before = ReadActionTexts(File(0));
    ASSERT_TRUE(SaveStep(File(0), 0, {30, 5, true, 2, true}));
    const std::vector<std::string> after = ReadActionTexts(File(0));
    ASSERT_EQ(after.size(), before.size());
    MacroAction old;
    MacroAction carrier;
    ASSERT_TRUE(ParseMacroAction(before[3], old));
    ASSERT_TRUE(ParseMacroAction(after[3], carrier));
    old.SetDelay(30);
    EXPECT_EQ(carrier, old);  // only the delay changed
    EXPECT_EQ(after[4], "0,0,132,5,1,mouse_move_to_left_text");
    EXPECT_EQ(after[5], "0,0,133,2,1,mouse_move_to_up_text");
    for (size_t i = 6; i < after.size(); ++i) {
        EXPECT_EQ(after[i], before[i]);
    }
    EXPECT_EQ(LoadStep(File(0), 0), (CursorStep{30, 5, true, 2, true}));
    // Clamped; other directions.
    ASSERT_TRUE(SaveStep(File(0), 29, {70000, 300, false, 7, false}));
    EXPECT_EQ(LoadStep(File(0), 29), (CursorStep{65535, 255, false, 7, false}));
    EXPECT_EQ(ReadActionTexts(File(0))[179], "0,0,5,7,0,mouse_move_to_down_text");
    EXPECT_FALSE(SaveStep(File(0), 30, {}));
}

TEST_F(CursorTest, ImportIsCheckedAndRestoreBringsBackTheDefault) {
    const fs::path source = root_ / "in.cur";
    const std::string original = ReadBytes(File(2));
    std::vector<std::string> texts(181, "0,0,4,1,0,mouse_move_to_right_text");
    WriteBytes(source, ActionFile(181, texts));
    std::string error;
    EXPECT_EQ(ImportSequence(store_, 2, source, error), MacroResult::TooManyActions);
    EXPECT_EQ(ReadBytes(File(2)), original);
    WriteBytes(source, ActionFile(2, {"0,0,4,1,0,x"}));
    EXPECT_EQ(ImportSequence(store_, 2, source, error), MacroResult::BadFile);
    EXPECT_EQ(ReadBytes(File(2)), original);

    texts.resize(180);
    WriteBytes(source, ActionFile(180, texts));
    ASSERT_EQ(ImportSequence(store_, 2, source, error), MacroResult::Ok) << error;
    EXPECT_EQ(ReadActionTexts(File(2)), texts);

    ASSERT_EQ(RestoreDefaultSequence(store_, app_, 2), MacroResult::Ok);
    EXPECT_EQ(ReadBytes(File(2)), original);
}

TEST_F(CursorTest, ExportHonoursTheOverwriteAnswer) {
    const fs::path target = root_ / "out.cur";
    WriteBytes(target, "old");
    EXPECT_EQ(ExportSequence(store_, 1, target, false), MacroResult::FileExists);
    EXPECT_EQ(ReadBytes(target), "old");
    ASSERT_EQ(ExportSequence(store_, 1, target, true), MacroResult::Ok);
    EXPECT_EQ(ReadBytes(target), ReadBytes(File(1)));
    EXPECT_EQ(ExportSequence(store_, 4, target, true), MacroResult::NoSelection);
}

TEST_F(CursorTest, ListedNamesThatEscapeTheFolderAreNotUsed) {
    ASSERT_TRUE(IniWriteString(store_.ListPath(), "CURSORNAME", "0", "../../x"));
    EXPECT_EQ(CursorFilePath(store_, 0), File(0));
}

}  // namespace
}  // namespace gmd::macros
