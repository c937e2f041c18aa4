#include "macros/key_function.h"

#include <gtest/gtest.h>

#include <array>

#include "macros/key_tables.h"
#include "mouse/mouse_blocks.h"

namespace gmd::macros {
namespace {

using Item = FunctionItem;

TEST(KeyTablesTest, VirtualKeyTableHoldsItsEntriesInOrder) {
    const auto table = VirtualKeyTable();
    ASSERT_EQ(table.size(), 125u);
    EXPECT_EQ(table[0].label, "keyboard_key_LCtrl");
    EXPECT_EQ(table[kKeySelectorItems - 1].label, "keyboard_key_App");
    EXPECT_EQ(table[kKeySelectorItems].label, "keyboard_key_Launch App2");
    EXPECT_EQ(table[120].label, table[121].label);  // the media select entry stands twice
    EXPECT_EQ(table[124].label, "keyboard_key_Wakeup");
}

// Capture: the keypad Enter is told apart by the hook's extended flag; media and system
// keys are not captured.
TEST(KeyFunctionTest, CaptureTurnsHookKeysIntoRecords) {
    struct Case {
        uint16_t vk;
        uint32_t flags;
        std::optional<KeyFunction> record;
        std::string_view label;
    };
    const Case cases[] = {
        {0x0D, 0x01, KeyFunction{0x20, 0x00, 0x58}, "keyboard_key_Num Enter"},
        {0x0D, 0x81, KeyFunction{0x20, 0x00, 0x58}, "keyboard_key_Num Enter"},
        {0x0D, 0x00, KeyFunction{0x20, 0x00, 0x28}, "keyboard_key_Enter"},
        {0x0D, 0x80, KeyFunction{0x20, 0x00, 0x28}, "keyboard_key_Enter"},
        {0xA2, 0x00, KeyFunction{0x20, 0x01, 0x00}, "keyboard_key_LCtrl"},
        {0x41, 0x00, KeyFunction{0x20, 0x00, 0x04}, "keyboard_key_A"},
        {0xB3, 0x00, std::nullopt, ""},   // media play/pause
        {0x103, 0x00, std::nullopt, ""},  // power
        {0x07, 0x00, std::nullopt, ""},   // not in the table
    };
    for (const Case& c : cases) {
        const std::optional<CapturedKey> got = CaptureKey(c.vk, c.flags);
        ASSERT_EQ(got.has_value(), c.record.has_value()) << "vk " << c.vk;
        if (got) {
            EXPECT_EQ(got->record, *c.record) << "vk " << c.vk;
            EXPECT_EQ(got->label, c.label);
        }
    }
}

TEST(KeyFunctionTest, ChoicesBecomeTheStatedRecords) {
    const KeyFunction def{0x10, 0x01, 0x00};
    struct Case {
        const char* what;
        FunctionChoice choice;
        std::optional<KeyFunction> record;
    };
    FunctionChoice dpi2;
    dpi2.item = Item::Dpi;
    dpi2.dpiItem = 2;
    FunctionChoice hscroll;
    hscroll.item = Item::HorizontalScroll;
    hscroll.hDirection = 1;
    hscroll.hAmount = 5;
    hscroll.hHigh = 3;
    hscroll.hLow = 4;
    FunctionChoice macroNone;
    macroNone.item = Item::Macro;
    FunctionChoice macroRepeat;
    macroRepeat.item = Item::Macro;
    macroRepeat.macroItem = 2;
    macroRepeat.macroPlayback = kMacroRepeatItem;
    macroRepeat.macroRepeat = 300;  // stored as its low 8 bits
    FunctionChoice captured;
    captured.item = Item::CapturedKey;
    FunctionChoice shortcut;
    shortcut.item = Item::Shortcut;
    shortcut.shortcutItem = 4;
    FunctionChoice byDefault;
    FunctionChoice cursor;
    cursor.item = Item::CursorSequence;
    cursor.cursorItem = 3;
    const Case cases[] = {
        {"DPI item 2", dpi2, KeyFunction{0x13, 0x01, 0x00}},
        {"scroll right 5, nibbles 3 and 4", hscroll, KeyFunction{0x11, 0x34, 0x85}},
        {"no macro selected", macroNone, std::nullopt},
        {"repeat count", macroRepeat, KeyFunction{0x71, 2, 300 & 0xFF}},
        {"nothing captured", captured, std::nullopt},
        {"Ctrl+C", shortcut, KeyFunction{0x20, 0x01, 0x06}},
        {"default", byDefault, def},
        {"cursor sequence 4", cursor, KeyFunction{0x72, 3, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RecordFromChoice(c.choice, def, KeyDevice::Mouse), c.record) << c.what;
    }
    EXPECT_EQ(RecordFromChoice(cursor, def, KeyDevice::Keyboard), std::nullopt);
}

TEST(KeyFunctionTest, ShownRecordsSelectTheirItems) {
    const KeyFunction def{0x10, 0x04, 0x00};
    FunctionChoice choice;
    // A record equal to the default shows as the default item, whatever its kind.
    ShowRecord(def, def, KeyDevice::Mouse, 0, choice);
    EXPECT_EQ(choice.item, Item::Default);
    // DPI items 2 and 3 store what 0 and 1 store: shown again, item 0.
    ShowRecord({0x13, 0x01, 0x00}, def, KeyDevice::Mouse, 0, choice);
    EXPECT_EQ(choice.item, Item::Dpi);
    EXPECT_EQ(choice.dpiItem, 0);
    ShowRecord({0x11, 0x34, 0x85}, def, KeyDevice::Mouse, 0, choice);
    EXPECT_EQ(choice.item, Item::HorizontalScroll);
    EXPECT_EQ(std::tie(choice.hDirection, choice.hAmount, choice.hHigh, choice.hLow),
              std::make_tuple(1, 5, 3, 4));
    ShowRecord({0x20, 0x00, 0x58}, def, KeyDevice::Mouse, 0, choice);
    EXPECT_EQ(choice.item, Item::CapturedKey);
    EXPECT_EQ(choice.capturedLabel, "keyboard_key_Num Enter");
    EXPECT_EQ(RecordFromChoice(choice, def, KeyDevice::Mouse), (KeyFunction{0x20, 0x00, 0x58}));
    // A macro index beyond the list selects no macro.
    ShowRecord({0x70, 3, 1}, def, KeyDevice::Mouse, 3, choice);
    EXPECT_EQ(choice.item, Item::Macro);
    EXPECT_EQ(choice.macroItem, -1);
    ShowRecord({0x71, 1, 9}, def, KeyDevice::Mouse, 3, choice);
    EXPECT_EQ(std::tie(choice.macroItem, choice.macroPlayback, choice.macroRepeat),
              std::make_tuple(1, kMacroRepeatItem, 9));
    // Unknown kinds leave the page as it was; the keyboard has no cursor sequences.
    ShowRecord({0x55, 1, 2}, def, KeyDevice::Mouse, 3, choice);
    EXPECT_EQ(choice.item, Item::Macro);
    ShowRecord({0x72, 1, 0}, def, KeyDevice::Keyboard, 3, choice);
    EXPECT_EQ(choice.item, Item::Macro);
}

// Showing a record must never rewrite it: the result says whether committing the controls
// gives the same record back.
TEST(KeyFunctionTest, ShowingTellsWhetherTheControlsHoldTheRecord) {
    const KeyFunction def{0x10, 0x04, 0x00};
    struct Case {
        KeyFunction record;
        bool faithful;
    };
    const Case cases[] = {
        {{0x20, 0x01, 0x06}, true},  // Ctrl+C: the shortcut item
        {{0x20, 0x03, 0x04}, true},  // Ctrl+Shift+A: a captured key with its modifiers
        {{0x20, 0x10, 0x00}, true},  // right Ctrl alone
        {{0x11, 0xF0, 0x7F}, true},  {{0x12, 0x0F, 0xFF}, true}, {{0x71, 0, 255}, true},
        {{0x72, 3, 0}, true},        {{0x13, 0x02, 0x00}, true}, {{0x14, 0, 0}, true},
        {{0x10, 0x03, 0x00}, false},  // no such button bit
        {{0x13, 0x03, 0x00}, false},  // no such DPI action
        {{0x30, 0x00, 0x00}, false},  // no such consumer key
        {{0x70, 0, 7}, false},        // no such mode
        {{0x70, 5, 0}, false},        // no such macro
        {{0x00, 0x01, 0x02}, false},  // kind 0 that is not the default
        {{0x55, 1, 2}, false},        // a kind the pages do not know
    };
    for (const Case& c : cases) {
        FunctionChoice choice;
        EXPECT_EQ(ShowRecord(c.record, def, KeyDevice::Mouse, 3, choice), c.faithful)
            << int{c.record.kind} << ' ' << int{c.record.arg1} << ' ' << int{c.record.arg2};
        if (c.faithful) {
            EXPECT_EQ(RecordFromChoice(choice, def, KeyDevice::Mouse), c.record);
        }
    }
    FunctionChoice combo;
    ShowRecord({0x20, 0x03, 0x04}, def, KeyDevice::Mouse, 0, combo);
    EXPECT_EQ(combo.item, Item::CapturedKey);
    EXPECT_EQ(combo.capturedLabel, "keyboard_key_A");
}

TEST(KeyFunctionTest, EditsAreClampedPerDevice) {
    struct Case {
        KeyDevice device;
        int edit;
        int value;
        bool empty;
        int shown;
    };
    const Case cases[] = {
        {KeyDevice::Mouse, 25, 300, false, 255}, {KeyDevice::Mouse, 25, 0, false, 1},
        {KeyDevice::Keyboard, 25, 0, false, 0},  {KeyDevice::Mouse, 11, 0, true, 1},
        {KeyDevice::Keyboard, 11, 0, true, 0},   {KeyDevice::Mouse, 15, 200, false, 127},
        {KeyDevice::Mouse, 17, 16, false, 15},   {KeyDevice::Mouse, 12, 256, false, 255},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClampFunctionEdit(c.device, c.edit, c.value, c.empty), c.shown)
            << "edit " << c.edit << " value " << c.value;
    }
}

TEST(KeyFunctionTest, LabelsFollowTheKindRules) {
    const std::vector<std::string> macros = {"Reload", "jump"};
    struct Case {
        KeyFunction record;
        KeyDevice device;
        std::optional<KeyLabel> label;
    };
    const Case cases[] = {
        {{0x10, 0x02, 0x07}, KeyDevice::Mouse, KeyLabel{"mouse_key_right"}},
        {{0x20, 0x01, 0x06}, KeyDevice::Mouse, KeyLabel{"combo_copy"}},  // shortcut wins
        {{0x20, 0x00, 0x04}, KeyDevice::Mouse, KeyLabel{"keyboard_key_A"}},
        {{0x11, 0x00, 0x85}, KeyDevice::Mouse, KeyLabel{"mouse_key_right_Swing"}},
        {{0x12, 0x00, 0x05}, KeyDevice::Mouse, KeyLabel{"mouse_key_up_Swing"}},
        {{0x21, 0xE9, 0x00}, KeyDevice::Mouse, KeyLabel{"media_vol_add"}},
        {{0x71, 1, 3}, KeyDevice::Mouse, KeyLabel{"jump", false}},
        {{0x70, 2, 0}, KeyDevice::Mouse, std::nullopt},  // beyond the list: unchanged
        {{0x72, 3, 0}, KeyDevice::Mouse, KeyLabel{"GUN_4"}},
        {{0x50, 0, 0}, KeyDevice::Mouse, std::nullopt},
        {{0x05, 0x05, 0x05}, KeyDevice::Mouse, KeyLabel{"close_text"}},
        {{0x05, 0x05, 0x05}, KeyDevice::Keyboard, KeyLabel{"关闭", false}},
        {{0x30, 0x00, 0x00}, KeyDevice::Mouse, std::nullopt},  // no consumer entry
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LabelOf(c.record, c.device, macros), c.label)
            << "record " << int{c.record.kind} << ' ' << int{c.record.arg1};
    }
}

TEST(KeyFunctionTest, TheOnlyLeftButtonIsGuardedUntilAnotherOneExists) {
    mouse::Image image = mouse::InitialCurrentImage();
    EXPECT_TRUE(IsOnlyLeftButton(image, 0));
    EXPECT_FALSE(IsOnlyLeftButton(image, 1));
    WriteKeyRecord(image, 3, {0x10, 0x01, 0x00});
    EXPECT_FALSE(IsOnlyLeftButton(image, 0));
    EXPECT_FALSE(IsOnlyLeftButton(image, 3));
    // Records beyond 8 do not count as a second left button.
    WriteKeyRecord(image, 3, {0x10, 0x10, 0x00});
    WriteKeyRecord(image, 9, {0x10, 0x01, 0x00});
    EXPECT_TRUE(IsOnlyLeftButton(image, 0));
}

TEST(KeyFunctionTest, MacroDeletionRenumbersTheKeysOfAllImages) {
    std::array<mouse::Image, 5> images{};
    const mouse::Image defaults = mouse::InitialCurrentImage();
    WriteKeyRecord(images[0], 2, {0x70, 2, 1});  // a later macro: moves down
    WriteKeyRecord(images[4], 6, {0x71, 1, 5});  // the deleted one: default
    WriteKeyRecord(images[2], 0, {0x70, 0, 0});  // an earlier one: kept
    WriteKeyRecord(images[3], 7, {0x70, 1, 0});  // beyond the page's records: kept
    std::array<std::span<const uint8_t>, 5> view;
    std::array<std::span<uint8_t>, 5> edit;
    for (size_t i = 0; i < images.size(); ++i) {
        view[i] = images[i];
        edit[i] = images[i];
    }
    EXPECT_TRUE(AnyKeyBoundToMacro(view, kMouseButtonCount, 1));
    EXPECT_FALSE(AnyKeyBoundToMacro(view, kMouseButtonCount, 3));
    RenumberMacroKeys(edit, kMouseButtonCount, 1, defaults);
    EXPECT_EQ(ReadKeyRecord(images[0], 2), (KeyFunction{0x70, 1, 1}));
    EXPECT_EQ(ReadKeyRecord(images[4], 6), ReadKeyRecord(defaults, 6));
    EXPECT_EQ(ReadKeyRecord(images[2], 0), (KeyFunction{0x70, 0, 0}));
    EXPECT_EQ(ReadKeyRecord(images[3], 7), (KeyFunction{0x70, 1, 0}));
}

TEST(KeyFunctionTest, CommandLineTextCoversEveryKind) {
    const std::vector<std::string> macros = {"Reload", "a:b", "x:repeat:2", "y:mode:1"};
    const KeyFunction def{0x10, 0x04, 0x00};
    struct Case {
        const char* text;
        KeyFunction record;
        const char* printed;
    };
    const Case cases[] = {
        {"left", {0x10, 0x01, 0x00}, "left"},
        {"default", def, "middle"},
        {"key:Ctrl+C", {0x20, 0x01, 0x06}, "key:Ctrl+C"},
        {"key:rctrl+shift+page up", {0x20, 0x12, 0x4B}, "key:Shift+RCtrl+PageUp"},
        {"key:Num +", {0x20, 0x00, 0x57}, "key:Num+"},
        {"key:LCtrl", {0x20, 0x01, 0x00}, "key:Ctrl"},
        {"key:NumEnter", {0x20, 0x00, 0x58}, "key:NumEnter"},
        {"shortcut:paste", {0x20, 0x01, 0x19}, "key:Ctrl+V"},
        {"consumer:volume-up", {0x30, 0xE9, 0x00}, "consumer:volume-up"},
        {"consumer:0x0123", {0x30, 0x23, 0x01}, "raw:0x30:0x23:0x01"},
        {"dpi:cycle", {0x13, 0x01, 0x00}, "dpi:up"},
        {"dpi:down", {0x13, 0x02, 0x00}, "dpi:down"},
        {"scroll:down:5", {0x12, 0x00, 0x85}, "scroll:down:5:0:0"},
        {"scroll:right:5:3:4", {0x11, 0x34, 0x85}, "scroll:right:5:3:4"},
        {"fire:10:3", {0x14, 10, 3}, "fire:10:3"},
        {"system:sleep", {0x40, 0x02, 0x00}, "system:sleep"},
        {"macro:reload", {0x70, 0, 0}, "macro:Reload:mode:0"},
        {"macro:a:b:repeat:7", {0x71, 1, 7}, "macro:a:b:repeat:7"},
        {"macro:Reload:mode:3", {0x70, 0, 3}, "macro:Reload:mode:3"},
        {"macro:x:repeat:2:mode:1", {0x70, 2, 1}, "macro:x:repeat:2:mode:1"},
        {"macro:y:mode:1", {0x70, 3, 0}, "macro:y:mode:1:mode:0"},
        {"macro:y:mode:1:repeat:9", {0x71, 3, 9}, "macro:y:mode:1:repeat:9"},
        {"cursor:2", {0x72, 1, 0}, "cursor:2"},
        {"raw:0x55:1:2", {0x55, 1, 2}, "raw:0x55:0x01:0x02"},
        {"raw:0x72:1:2", {0x72, 1, 2}, "raw:0x72:0x01:0x02"},
        {"raw:0x70:0:7", {0x70, 0, 7}, "raw:0x70:0x00:0x07"},
        {"raw:0x71:0:0", {0x71, 0, 0}, "raw:0x71:0x00:0x00"},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<KeyFunction> record = ParseFunctionText(c.text, def, macros, error);
        ASSERT_TRUE(record) << c.text << ": " << error;
        EXPECT_EQ(*record, c.record) << c.text;
        EXPECT_EQ(FunctionText(*record, macros), c.printed) << c.text;
    }
    for (const char* bad : {"lefty", "key:Hyper+A", "scroll:down:128", "scroll:sideways:1",
                            "fire:1", "macro:nope", "macro:Reload:repeat:0", "cursor:5",
                            "consumer:louder", "system:reboot", "dpi:sideways", ""}) {
        std::string error;
        EXPECT_FALSE(ParseFunctionText(bad, def, macros, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

}  // namespace
}  // namespace gmd::macros
