#pragma once
// The pure rules of the macro editor and of recording: which selector item an action shows,
// how each edit changes an action, the inserted mouse actions, the list moves, the look of a
// row, and the recorder that turns key and mouse events into timed actions. The pages hold
// the controls; these hold the rules.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "macros/macro_model.h"

namespace gmd::macros {

// The mouse-action table: selector items 0-13 and, last, the wheel entry no item shows.
struct MouseActionEntry {
    std::string_view label;
    uint8_t value;  // button bit; moves take their distance instead
    uint8_t code;
    uint16_t message;  // the input message that produces it when recording or inserting
};
std::span<const MouseActionEntry> MouseActionTable();
inline constexpr int kMouseSelectorItems = 14;
inline constexpr int kInsertDelayMs = 50;

// The key selector item an action shows (first match among the 104 key entries), or -1.
int KeySelectorItem(const MacroAction& action);
// The mouse selector item an action shows: a button item with equal value and code, else the
// move item of its type and direction; -1 for none.
int MouseSelectorItem(const MacroAction& action);

// The edits of the edit pages. Each keeps what the text says it keeps.
void EditKey(MacroAction& action, int keyItem);       // key selector
void EditPressed(MacroAction& action, int upOrDown);  // 0 release, 1 press
void EditMouse(MacroAction& action, int mouseItem);   // mouse selector
// Delay edits: above 65535 shows 65535; distance edits: above 255 shows 255.
int ClampDelayEdit(int value);
int ClampDistanceEdit(int value);
void EditDelay(MacroAction& action, int delay);
void EditDistance(MacroAction& action, int distance);

// InsertMouseAction: the action an insert button adds (delay 50 ms); variant picks forward or
// back for the X buttons and left, right, up or down for moves (distance from its edit).
// Nothing for other messages.
std::optional<MacroAction> InsertedMouseAction(uint16_t message, int variant, int distance);
// Inserts at the selected row (row 0 with no selection; -1 is none) and returns the row to
// select: the new row in an empty list, else the previously selected one, one further down.
int InsertActionRow(std::vector<std::string>& rows, int selected, const std::string& text);

enum class ActionMove { Up, Down, ToTop, ToBottom };
// The row's new index, or the old one when it cannot move (first up, last down, no selection).
int MoveActionRow(std::vector<std::string>& rows, int selected, ActionMove move);

// How a row shows its action.
struct ActionRowLook {
    std::string_view nameStyle;   // "macro_label_mouse_style" / "macro_label_keyboard_style"
    std::string_view stateStyle;  // moves: "macro_label_text_style"; else down or up style
    std::string stateText;        // moves: the distance; else empty
    std::string delayText;
};
ActionRowLook RowLook(const MacroAction& action);

// Recording: key and mouse events become actions appended to the list, each earlier action
// taking the time to the next one as its delay. Times are milliseconds of a steady clock.
struct RecordOptions {
    bool keyboard = true;     // record key presses and releases
    bool clicks = true;       // record left, right and middle presses and releases
    bool fixedDelay = false;  // every delay 50 ms
};
class MacroRecorder {
  public:
    // The language's text for a label key: recorded clicks carry the text, not the key.
    explicit MacroRecorder(std::function<std::string(std::string_view)> translate = {});

    void Start(const RecordOptions& options, int64_t nowMs);
    void Stop();
    bool Recording() const { return recording_; }

    // A key event: the virtual-key code and the hook flags (keypad Enter: 0x0D with 0x01 or
    // 0x81). Auto-repeated presses of the held key, keys outside the table and events while
    // not recording are ignored. true when an action was appended.
    bool OnKey(uint16_t virtualKey, uint32_t flags, bool pressed, int64_t nowMs,
               std::vector<MacroAction>& actions);
    // A mouse message (0x0201 ... 0x0208): clicks of the left, right and middle button only,
    // and not the same message twice in a row.
    bool OnMouse(uint16_t message, int64_t nowMs, std::vector<MacroAction>& actions);

  private:
    void Append(MacroAction action, int64_t nowMs, std::vector<MacroAction>& actions);

    std::function<std::string(std::string_view)> translate_;
    RecordOptions options_;
    bool recording_ = false;
    int64_t lastTick_ = 0;
    uint16_t lastHeldKey_ = 0;
    uint16_t lastMouseMessage_ = 0;
};

}  // namespace gmd::macros
