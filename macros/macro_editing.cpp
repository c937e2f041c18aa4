#include "macros/macro_editing.h"

#include <algorithm>

#include "macros/key_tables.h"

namespace gmd::macros {

namespace {

constexpr MouseActionEntry kMouseActions[] = {
    {"mouse_key_left", 0x01, 0x81, 0x0201},
    {"mouse_key_left", 0x01, 0x01, 0x0202},
    {"mouse_key_right", 0x02, 0x81, 0x0204},
    {"mouse_key_right", 0x02, 0x01, 0x0205},
    {"mouse_key_middle", 0x04, 0x81, 0x0207},
    {"mouse_key_middle", 0x04, 0x01, 0x0208},
    {"mouse_key_forward", 0x10, 0x81, 0x020B},
    {"mouse_key_forward", 0x10, 0x01, 0x020C},
    {"mouse_key_back", 0x08, 0x81, 0x020B},
    {"mouse_key_back", 0x08, 0x01, 0x020C},
    {"mouse_move_to_left_text", 0, 0x84, 4},
    {"mouse_move_to_right_text", 0, 0x04, 4},
    {"mouse_move_to_up_text", 0, 0x85, 5},
    {"mouse_move_to_down_text", 0, 0x05, 5},
    {"", 0, 0, 0x020A},  // the wheel: no item shows it
};
constexpr int kButtonItems = 10;
constexpr int kRecordedClicks = 6;
constexpr uint16_t kMoveMessage = 0x0200;
constexpr uint16_t kXPress = 0x020B;
constexpr uint16_t kXRelease = 0x020C;

uint8_t PressBit(uint16_t pressed) {
    return pressed != 0 ? 0x80 : 0x00;
}

bool IsMove(const MacroAction& action) {
    return ActionType(action) == action_type::kHorizontalMove ||
           ActionType(action) == action_type::kVerticalMove;
}

}  // namespace

std::span<const MouseActionEntry> MouseActionTable() {
    return kMouseActions;
}

int KeySelectorItem(const MacroAction& action) {
    const uint8_t type = ActionType(action);
    for (size_t i = 0; i < kKeySelectorItems; ++i) {
        const VirtualKeyEntry& entry = VirtualKeyTable()[i];
        if ((type == action_type::kKey && entry.arg2 == action.value) ||
            (type == action_type::kModifier && entry.arg1 == action.value)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int MouseSelectorItem(const MacroAction& action) {
    for (int i = 0; i < kButtonItems; ++i) {
        const MouseActionEntry& entry = kMouseActions[i];
        if (entry.value == action.value && entry.code == action.code) {
            return i;
        }
    }
    const bool flagged = (action.code & 0x80) != 0;
    if (ActionType(action) == action_type::kHorizontalMove) {
        return flagged ? 10 : 11;
    }
    if (ActionType(action) == action_type::kVerticalMove) {
        return flagged ? 12 : 13;
    }
    return -1;
}

void EditKey(MacroAction& action, int keyItem) {
    if (keyItem < 0 || static_cast<size_t>(keyItem) >= kKeySelectorItems) {
        return;
    }
    const VirtualKeyEntry& entry = VirtualKeyTable()[static_cast<size_t>(keyItem)];
    if (entry.arg2 != 0) {
        action.value = entry.arg2;
        action.code = static_cast<uint8_t>(action_type::kKey | PressBit(action.pressed));
    } else if (entry.arg1 != 0) {
        action.value = entry.arg1;
        action.code = static_cast<uint8_t>(action_type::kModifier | PressBit(action.pressed));
    }
    action.label = std::string(entry.label);
}

void EditPressed(MacroAction& action, int upOrDown) {
    action.pressed = upOrDown != 0 ? 1 : 0;
    action.code = static_cast<uint8_t>((action.code & 0x7F) | PressBit(action.pressed));
}

void EditMouse(MacroAction& action, int mouseItem) {
    if (mouseItem < 0 || mouseItem >= kMouseSelectorItems) {
        return;
    }
    const MouseActionEntry& entry = kMouseActions[mouseItem];
    action.label = std::string(entry.label);
    if (mouseItem < kButtonItems) {
        action.value = entry.value;
    } else if (!IsMove(action)) {
        action.value = 0;  // a button's bit is no distance
    }
    action.code = entry.code;
    action.pressed = (entry.code & 0x80) != 0 ? 1 : 0;
}

int ClampDelayEdit(int value) {
    return std::min(value, kMaxDelayMs);
}

int ClampDistanceEdit(int value) {
    return std::min(value, 255);
}

void EditDelay(MacroAction& action, int delay) {
    action.SetDelay(ClampDelayEdit(delay));
}

void EditDistance(MacroAction& action, int distance) {
    action.value = static_cast<uint8_t>(std::clamp(distance, 0, 255));
}

std::optional<MacroAction> InsertedMouseAction(uint16_t message, int variant, int distance) {
    MacroAction action;
    if (message == kMoveMessage) {
        if (variant < 0 || variant > 3) {
            return std::nullopt;
        }
        const MouseActionEntry& entry = kMouseActions[10 + variant];
        action.code = entry.code;
        action.value = static_cast<uint8_t>(std::clamp(distance, 0, 255));
        action.label = std::string(entry.label);
    } else if (message == kXPress || message == kXRelease) {
        const int item = (variant == 0 ? 6 : 8) + (message == kXRelease ? 1 : 0);
        action.code = kMouseActions[item].code;
        action.value = kMouseActions[item].value;
        action.label = std::string(kMouseActions[item].label);
    } else {
        const auto* end = kMouseActions + kRecordedClicks;
        const auto* entry = std::find_if(kMouseActions, end, [message](const MouseActionEntry& e) {
            return e.message == message;
        });
        if (entry == end) {
            return std::nullopt;
        }
        action.code = entry->code;
        action.value = entry->value;
        action.label = std::string(entry->label);
    }
    action.pressed = (action.code & 0x80) != 0 ? 1 : 0;
    action.SetDelay(kInsertDelayMs);
    return action;
}

int InsertActionRow(std::vector<std::string>& rows, int selected, const std::string& text) {
    if (rows.empty()) {
        rows.push_back(text);
        return 0;
    }
    const int at = selected < 0 || selected >= static_cast<int>(rows.size()) ? 0 : selected;
    rows.insert(rows.begin() + at, text);
    return at + 1;
}

int MoveActionRow(std::vector<std::string>& rows, int selected, ActionMove move) {
    const int count = static_cast<int>(rows.size());
    if (selected < 0 || selected >= count) {
        return selected;
    }
    int to = selected;
    switch (move) {
        case ActionMove::Up:
            to = selected - 1;
            break;
        case ActionMove::Down:
            to = selected + 1;
            break;
        case ActionMove::ToTop:
            to = 0;
            break;
        case ActionMove::ToBottom:
            to = count - 1;
            break;
    }
    if (to < 0 || to >= count || to == selected) {
        return selected;
    }
    std::string row = std::move(rows[static_cast<size_t>(selected)]);
    rows.erase(rows.begin() + selected);
    rows.insert(rows.begin() + to, std::move(row));
    return to;
}

ActionRowLook RowLook(const MacroAction& action) {
    ActionRowLook look;
    look.nameStyle =
        IsMouseAction(action) ? "macro_label_mouse_style" : "macro_label_keyboard_style";
    if (IsMove(action)) {
        look.stateStyle = "macro_label_text_style";
        look.stateText = std::to_string(action.value);
    } else {
        look.stateStyle = action.pressed == 1 ? "macro_label_down_style" : "macro_label_up_style";
    }
    look.delayText = std::to_string(action.Delay());
    return look;
}

MacroRecorder::MacroRecorder(std::function<std::string(std::string_view)> translate)
    : translate_(std::move(translate)) {}

void MacroRecorder::Start(const RecordOptions& options, int64_t nowMs) {
    options_ = options;
    recording_ = true;
    lastTick_ = nowMs;
    // A key still held from an earlier recording would swallow its first press here.
    lastHeldKey_ = 0;
    lastMouseMessage_ = 0;
}

void MacroRecorder::Stop() {
    recording_ = false;
}

bool MacroRecorder::OnKey(uint16_t virtualKey, uint32_t flags, bool pressed, int64_t nowMs,
                          std::vector<MacroAction>& actions) {
    if (!recording_ || !options_.keyboard) {
        return false;
    }
    const uint16_t code =
        virtualKey == 0x0D && (flags == 0x01 || flags == 0x81) ? kKeypadEnterCode : virtualKey;
    if (pressed) {
        if (code == lastHeldKey_) {
            return false;  // auto-repeat
        }
        lastHeldKey_ = code;
    } else if (code == lastHeldKey_) {
        lastHeldKey_ = 0;
    }
    const VirtualKeyEntry* entry = nullptr;
    for (size_t i = 0; i < kKeySelectorItems; ++i) {
        if (VirtualKeyTable()[i].code == code) {
            entry = &VirtualKeyTable()[i];
            break;
        }
    }
    if (entry == nullptr) {
        return false;
    }
    MacroAction action;
    const uint8_t bit = pressed ? 0x80 : 0x00;
    if (entry->arg2 != 0) {
        action.code = static_cast<uint8_t>(action_type::kKey | bit);
        action.value = entry->arg2;
    } else {
        action.code = static_cast<uint8_t>(action_type::kModifier | bit);
        action.value = entry->arg1;
    }
    action.pressed = pressed ? 1 : 0;
    action.label = std::string(entry->label);
    Append(std::move(action), nowMs, actions);
    return true;
}

bool MacroRecorder::OnMouse(uint16_t message, int64_t nowMs, std::vector<MacroAction>& actions) {
    if (!recording_ || !options_.clicks) {
        return false;
    }
    const auto* end = kMouseActions + kRecordedClicks;
    const auto* entry = std::find_if(
        kMouseActions, end, [message](const MouseActionEntry& e) { return e.message == message; });
    if (entry == end || message == lastMouseMessage_) {
        return false;
    }
    lastMouseMessage_ = message;
    MacroAction action;
    action.code = entry->code;
    action.value = entry->value;
    action.pressed = (entry->code & 0x80) != 0 ? 1 : 0;
    action.label = translate_ ? translate_(entry->label) : std::string(entry->label);
    Append(std::move(action), nowMs, actions);
    return true;
}

void MacroRecorder::Append(MacroAction action, int64_t nowMs, std::vector<MacroAction>& actions) {
    int64_t delta = nowMs - lastTick_;
    lastTick_ = nowMs;
    delta = std::clamp<int64_t>(delta, 0, kMaxDelayMs);
    if (options_.fixedDelay) {
        delta = kInsertDelayMs;
    }
    if (!actions.empty()) {
        actions.back().SetDelay(static_cast<int>(delta));
    }
    action.SetDelay(0);
    actions.push_back(std::move(action));
}

}  // namespace gmd::macros
