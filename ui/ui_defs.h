#pragma once
// Basic types of the UI services: handles, messages, geometry, notifications and the callback
// interfaces that windows implement. The application logic is written against these names.

#include <cstdint>
#include <string>

namespace gmd::ui {

using UINT = uint32_t;
using DWORD = uint32_t;  // colours are 0xAARRGGBB
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
// A window handle: a process-unique number, never reused, 0 for none. Posting to a handle
// whose window is gone does nothing, so worker threads may keep one safely.
using HWND = uint64_t;

struct RECT {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const RECT&) const = default;
};
struct POINT {
    int x = 0;
    int y = 0;
};
struct SIZE {
    int cx = 0;
    int cy = 0;
};

// Window messages the system uses.
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_DPICHANGED = 0x02E0;
inline constexpr UINT WM_USER = 0x0400;
// Tray icon clicks arrive as this message with lParam = the mouse message.
inline constexpr UINT WM_TRAY_NOTIFY = 0x0401;
inline constexpr LPARAM WM_LBUTTONUP = 0x0202;
inline constexpr LPARAM WM_RBUTTONUP = 0x0205;
// A chosen popup-menu item: wParam = MenuCmd* owned by the receiver.
inline constexpr UINT WM_MENU_CLICK = 0x0479;
// Registered messages are numbered from here.
inline constexpr UINT kRegisteredMessageFirst = 0xC000;
inline constexpr UINT kRegisteredMessageLast = 0xFFFF;

// Notification types.
namespace notify {
inline constexpr const char* kWindowInit = "windowinit";
inline constexpr const char* kWindowSize = "windowsize";
inline constexpr const char* kClick = "click";
inline constexpr const char* kSelectChanged = "selectchanged";
inline constexpr const char* kItemSelect = "itemselect";
inline constexpr const char* kItemClick = "itemclick";
inline constexpr const char* kValueChanged = "valuechanged";
inline constexpr const char* kMoveValueChanged = "movevaluechanged";
inline constexpr const char* kTextChanged = "textchanged";
// Return pressed in an edit: the text is committed.
inline constexpr const char* kReturn = "return";
inline constexpr const char* kKillFocus = "killfocus";
inline constexpr const char* kSetFocus = "setfocus";
inline constexpr const char* kMouseEnter = "msenter";
inline constexpr const char* kMouseLeave = "msleave";
inline constexpr const char* kColorChanged = "colorchanged";
inline constexpr const char* kShowActiveX = "showactivex";
}  // namespace notify

class CControlUI;
class CPaintManagerUI;

struct TNotifyUI {
    std::string sType;
    CControlUI* pSender = nullptr;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
  public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// Asked by the layout builder for tags it does not know; returns a new control or nullptr.
class IDialogBuilderCallback {
  public:
    virtual ~IDialogBuilderCallback() = default;
    virtual CControlUI* CreateControl(const std::string& className) = 0;
};

// Asked by the resource manager for texts it has no entry for (by control name).
class IQueryControlText {
  public:
    virtual ~IQueryControlText() = default;
    virtual std::string QueryControlText(const std::string& name, const std::string& type) = 0;
};

// The record a popup menu hands over with WM_MENU_CLICK.
struct MenuCmd {
    std::string szName;
    std::string szUserData;
    std::string szText;
    bool bChecked = false;
};

// Result of applying one layout attribute.
enum class AttrStatus { Ok, UnknownName, BadValue };

// "#AARRGGBB", "#RRGGBB" (opaque) or "0xAARRGGBB"; false on anything else.
bool ParseColor(const std::string& text, DWORD& color);
// Attribute value readers; each leaves `out` alone and returns false on bad text.
// ASCII lower case, for the case-blind names of layouts.
std::string Lower(std::string text);
bool ParseBool(const std::string& text, bool& out);  // "true"/"false" (any case), "1"/"0"
bool ParseInt(const std::string& text, int& out);    // decimal, optional sign, nothing else
bool ParseRect(const std::string& text, RECT& out);  // "left,top,right,bottom"

}  // namespace gmd::ui
