#include "macros/macro_editing.h"

#include <gtest/gtest.h>

namespace gmd::macros {
namespace {

MacroAction Parsed(const char* text) {
    MacroAction action;
    EXPECT_TRUE(ParseMacroAction(text, action)) << text;
    return action;
}

TEST(MacroEditingTest, EditsChangeWhatTheyStandFor) {
    // Press A, changed to a release, then to B: still a release of the new key.
    MacroAction a = Parsed("50,0,138,4,1,keyboard_key_A");
    EXPECT_EQ(KeySelectorItem(a), 8);
    EditPressed(a, 0);
    EXPECT_EQ(a.code, 0x0A);
    EXPECT_EQ(a.pressed, 0);
    EditKey(a, 9);  // B
    EXPECT_EQ(FormatMacroAction(a), "50,0,10,5,0,keyboard_key_B");
    EditKey(a, 0);  // left Ctrl: a modifier action
    EXPECT_EQ(FormatMacroAction(a), "50,0,9,1,0,keyboard_key_LCtrl");

    // A move to the left turned into a right-button press: a button, no distance.
    MacroAction move = Parsed("0,0,132,5,1,mouse_move_to_left_text");
    EXPECT_EQ(MouseSelectorItem(move), 10);
    EditMouse(move, 2);
    EXPECT_EQ(FormatMacroAction(move), "0,0,129,2,1,mouse_key_right");
    EXPECT_TRUE(RowLook(move).stateText.empty());
    // Back to a move: a button's bit is not kept as the distance.
    EditMouse(move, 13);
    EXPECT_EQ(FormatMacroAction(move), "0,0,5,0,0,mouse_move_to_down_text");
    EditDistance(move, 300);
    EXPECT_EQ(RowLook(move).stateText, "255");
    EditMouse(move, 12);  // a move keeps its distance
    EXPECT_EQ(move.value, 255);

    MacroAction delay = Parsed("0,0,138,4,1,keyboard_key_A");
    EXPECT_EQ(ClampDelayEdit(70000), 65535);
    EditDelay(delay, 70000);
    EXPECT_EQ(delay.delayLow, 255);
    EXPECT_EQ(delay.delayHigh, 255);
    EXPECT_EQ(RowLook(delay).delayText, "65535");
    EXPECT_EQ(RowLook(delay).nameStyle, "macro_label_keyboard_style");
    EXPECT_EQ(RowLook(delay).stateStyle, "macro_label_down_style");
}

TEST(MacroEditingTest, InsertsAndMoves) {
    const std::optional<MacroAction> back = InsertedMouseAction(0x020C, 1, 0);
    ASSERT_TRUE(back);
    EXPECT_EQ(FormatMacroAction(*back), "50,0,1,8,0,mouse_key_back");
    const std::optional<MacroAction> up = InsertedMouseAction(0x0200, 2, 7);
    ASSERT_TRUE(up);
    EXPECT_EQ(FormatMacroAction(*up), "50,0,133,7,1,mouse_move_to_up_text");
    EXPECT_FALSE(InsertedMouseAction(0x020A, 0, 0));  // the wheel

    std::vector<std::string> rows;
    EXPECT_EQ(InsertActionRow(rows, -1, "a"), 0);
    rows = {"r0", "r1", "r2", "r3"};
    EXPECT_EQ(InsertActionRow(rows, 2, "new"), 3);
    EXPECT_EQ(rows, (std::vector<std::string>{"r0", "r1", "new", "r2", "r3"}));

    rows = {"a", "b", "c"};
    EXPECT_EQ(MoveActionRow(rows, 0, ActionMove::Up), 0);
    EXPECT_EQ(MoveActionRow(rows, 2, ActionMove::Down), 2);
    EXPECT_EQ(rows, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(MoveActionRow(rows, 2, ActionMove::ToTop), 0);
    EXPECT_EQ(rows, (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(MoveActionRow(rows, 0, ActionMove::ToBottom), 2);
    EXPECT_EQ(MoveActionRow(rows, 1, ActionMove::Down), 2);
    EXPECT_EQ(rows, (std::vector<std::string>{"a", "c", "b"}));
}

TEST(MacroRecorderTest, HeldKeyGivesOnePressAndOneRelease) {
    MacroRecorder recorder;
    std::vector<MacroAction> actions;
    recorder.Start({}, 1000);
    EXPECT_TRUE(recorder.OnKey(0x41, 0, true, 1200, actions));
    for (int64_t t = 1230; t < 2200; t += 33) {
        EXPECT_FALSE(recorder.OnKey(0x41, 0, true, t, actions));  // auto-repeat
    }
    EXPECT_TRUE(recorder.OnKey(0x41, 0, false, 2200, actions));
    EXPECT_FALSE(recorder.OnKey(0xB3, 0, true, 2300, actions));  // media key: not recorded
    ASSERT_EQ(actions.size(), 2u);
    // The wait before the first action is dropped; the last action has no delay.
    EXPECT_EQ(FormatMacroAction(actions[0]), "232,3,138,4,1,keyboard_key_A");  // 1000 ms
    EXPECT_EQ(FormatMacroAction(actions[1]), "0,0,10,4,0,keyboard_key_A");
    recorder.Stop();
    EXPECT_FALSE(recorder.OnKey(0x42, 0, true, 2400, actions));
}

TEST(MacroRecorderTest, ClicksAndTheFixedDelay) {
    MacroRecorder recorder([](std::string_view key) { return "T(" + std::string(key) + ")"; });
    std::vector<MacroAction> actions;
    recorder.Start({}, 0);
    const std::pair<uint16_t, int64_t> events[] = {{0x0201, 100}, {0x0201, 110}, {0x0202, 180},
                                                   {0x0200, 200}, {0x020A, 210}, {0x0204, 400},
                                                   {0x0205, 460}};
    for (const auto& [message, t] : events) {
        recorder.OnMouse(message, t, actions);
    }
    ASSERT_EQ(actions.size(), 4u);
    EXPECT_EQ(FormatMacroAction(actions[0]), "80,0,129,1,1,T(mouse_key_left)");
    EXPECT_EQ(FormatMacroAction(actions[1]), "220,0,1,1,0,T(mouse_key_left)");
    EXPECT_EQ(FormatMacroAction(actions[2]), "60,0,129,2,1,T(mouse_key_right)");
    EXPECT_EQ(actions[3].Delay(), 0);

    std::vector<MacroAction> fixed;
    recorder.Start({true, true, true}, 0);
    recorder.OnKey(0x0D, 0x01, true, 900, fixed);  // keypad Enter
    recorder.OnKey(0x0D, 0x81, false, 5000, fixed);
    recorder.OnMouse(0x0207, 90000, fixed);
    ASSERT_EQ(fixed.size(), 3u);
    EXPECT_EQ(FormatMacroAction(fixed[0]), "50,0,138,88,1,keyboard_key_Num Enter");
    EXPECT_EQ(fixed[1].Delay(), 50);
    EXPECT_EQ(fixed[2].Delay(), 0);

    // Options read at the start: without key events only clicks are taken.
    std::vector<MacroAction> clicks;
    recorder.Start({false, true, false}, 0);
    EXPECT_FALSE(recorder.OnKey(0x41, 0, true, 10, clicks));
    EXPECT_TRUE(recorder.OnMouse(0x0201, 20, clicks));
}

}  // namespace
}  // namespace gmd::macros
