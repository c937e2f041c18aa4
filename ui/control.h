#pragma once
// CControlUI: a named control of a layout. Each control object drives one Qt widget that does
// the drawing, input, focus and accessibility; the object keeps the properties the system
// reads back (name, user data, colours, image strings) and raises notifications.

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "ui/ui_defs.h"

class QLayout;

namespace gmd::ui {

class CContainerUI;

class CControlUI {
  public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // Class name as used in layouts ("Control", "Button" ...).
    virtual std::string GetClass() const;

    // The widget that shows this control; created on first use.
    QWidget* GetWidget();
    // The control whose widget is `widget` or its nearest ancestor; nullptr if none.
    static CControlUI* FromWidget(QWidget* widget);

    const std::string& GetName() const { return name_; }
    void SetName(const std::string& name);

    // Text: literal, or a language text identifier while resource-text mode is on.
    virtual std::string GetText() const;
    virtual void SetText(const std::string& text);
    bool IsResourceText() const { return resourceText_; }
    void SetResourceText(bool on);
    // The text as shown: resolved through the resource manager in resource-text mode.
    std::string GetShownText() const;
    // Re-resolve a resource text after a language change.
    virtual void ReloadText();

    const std::string& GetUserData() const { return userData_; }
    void SetUserData(const std::string& data) { userData_ = data; }
    std::string GetToolTip() const { return toolTip_; }
    // A literal tool tip; it replaces one given by text id.
    void SetToolTip(const std::string& text);
    // A tool tip by language text id: follows language switches (ReloadText).
    void SetToolTipTextId(const std::string& id);

    bool IsVisible() const;  // own flag and every parent's
    virtual void SetVisible(bool visible);
    bool IsOwnVisible() const { return visible_; }
    bool IsEnabled() const;
    virtual void SetEnabled(bool enabled);
    bool IsFocused() const;
    virtual void SetFocus();
    // Take mouse and keyboard input away (false) or give it back (true), without the
    // disabled look.
    void SetMouseEnabled(bool on);
    void SetKeyboardEnabled(bool on);
    bool IsMouseEnabled() const { return mouseEnabled_; }
    bool IsKeyboardEnabled() const { return keyboardEnabled_; }

    DWORD GetBkColor() const { return bkColor_; }
    void SetBkColor(DWORD argb);
    // Image strings: "file='ms/key_left_normal.png'" or a bare relative path.
    const std::string& GetBkImage() const { return bkImage_; }
    void SetBkImage(const std::string& image);
    DWORD GetTextColor() const { return textColor_; }
    virtual void SetTextColor(DWORD argb);
    // Colour-changer overlay: a colour painted over the control with an alpha (LED previews).
    // The colour's red, green and blue bytes (0x..RRGGBB) are used; the alpha is its own.
    bool IsChangerColor() const { return changerOn_; }
    void SetIsChangerColor(bool on);
    DWORD GetChangerColor() const { return changerColor_; }
    void SetChangerColor(DWORD color);
    int GetChangerAlpha() const { return changerAlpha_; }
    void SetChangerAlpha(int alpha);

    // Fixed size (0 = follow the layout).
    int GetFixedWidth() const { return fixedWidth_; }
    int GetFixedHeight() const { return fixedHeight_; }
    virtual void SetFixedWidth(int width);
    virtual void SetFixedHeight(int height);
    RECT GetPos() const;  // relative to the window's client area
    // Extra space around the control inside its container.
    const RECT& GetPadding() const { return padding_; }
    void SetPadding(const RECT& padding);
    // Border drawn around the control (size 0: none).
    DWORD GetBorderColor() const { return borderColor_; }
    void SetBorderColor(DWORD argb);
    int GetBorderSize() const { return borderSize_; }
    void SetBorderSize(int size);
    int GetBorderRound() const { return borderRound_; }
    void SetBorderRound(int radius);

    // Applies one layout attribute. Unknown names and bad values are reported, not ignored.
    virtual AttrStatus SetAttribute(const std::string& name, const std::string& value);
    // Applies "name=\"value\" name2=\"value2\"" lists, as styles hold them.
    AttrStatus ApplyAttributeList(const std::string& list, std::string* failedName = nullptr);

    CControlUI* GetParent() const { return parent_; }
    CPaintManagerUI* GetManager() const { return manager_; }
    // Called when the control joins a window (recursively for containers).
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent);

    // Repaint request (NeedUpdate: relayout as well).
    void Invalidate();
    void NeedUpdate();
    // Re-applies colours and images now (after a change of state they depend on).
    void RefreshStyle();

    // Sends a notification through the control's window; nothing when not in a window.
    void Notify(const char* type, WPARAM wParam = 0, LPARAM lParam = 0);

    // For containers; nullptr otherwise.
    virtual CContainerUI* AsContainer() { return nullptr; }

  protected:
    // Creates the widget of this class. Called once, lazily.
    virtual QWidget* CreateWidget();
    // Re-applies colours, images and fonts to the widget's style sheet.
    virtual void UpdateStyle();
    // The style sheet parts specific to a class (appended to the common ones).
    virtual std::string ExtraStyleSheet() const { return {}; }
    // Shows text in the widget (labels, buttons, edits override).
    virtual void ApplyText();
    // Lets subclasses hook widget events (enter/leave/focus are done here).
    void InstallEventHooks(QWidget* widget);
    // The minimum size of the widget while no fixed size is set; 0 keeps the widget's own.
    // Text controls return 1 so long texts are clipped rather than widening the window.
    virtual QSize FreeMinimumSize() const { return {0, 0}; }

    std::string ResolveImagePath(const std::string& imageString) const;
    // A style sheet url(...) with the border-image slicing of an image string; empty when the
    // string is empty or unusable.
    std::string ImageRule(const std::string& imageString,
                          const char* property = "border-image") const;
    // "#objectName": the style sheet selector of this control's widget.
    std::string StyleSelector() const;
    // The object that scopes this control's signal connections and event hooks; it goes away
    // before the control does, so no signal reaches a half-destroyed control.
    QObject* SignalContext();
    void ReleaseSignalContext();
    // Tells the parent container that something it shows of this control changed.
    void NotifyParentChanged();
    // Applies the own visibility flag to the widget (containers may manage it instead).
    void ApplyVisibility();
    void ApplyFixedSize();
    void ApplyInputFlags();
    void ApplyChanger();

    std::string name_;
    std::string text_;
    bool resourceText_ = false;
    std::string userData_;
    std::string toolTip_;
    std::string toolTipTextId_;
    bool visible_ = true;
    bool enabled_ = true;
    bool mouseEnabled_ = true;
    bool keyboardEnabled_ = true;
    DWORD bkColor_ = 0;
    std::string bkImage_;
    DWORD textColor_ = 0;
    bool changerOn_ = false;
    DWORD changerColor_ = 0;
    int changerAlpha_ = 255;
    int fixedWidth_ = 0;
    int fixedHeight_ = 0;
    RECT padding_;
    DWORD borderColor_ = 0;
    int borderSize_ = 0;
    int borderRound_ = 0;
    CControlUI* parent_ = nullptr;
    CPaintManagerUI* manager_ = nullptr;
    QPointer<QWidget> widget_;

  private:
    class EventHook;
    friend class EventHook;
    // Containers apply their children's visibility and size on the children's widgets.
    friend class CContainerUI;
    friend class CTabLayoutUI;
    friend class CComboUI;
    friend class CListUI;
    std::unique_ptr<QObject> hook_;
    QPointer<QWidget> overlay_;
};

// Image string parsing: "file='a.png' source='0,0,10,10' corner='2,2,2,2'" or "a.png".
struct ImageSpec {
    std::string file;
    RECT source;  // empty: whole image
    bool hasSource = false;
    RECT corner;  // unstretched border widths (left, top, right, bottom)
    bool hasCorner = false;
};
bool ParseImageString(const std::string& text, ImageSpec& out);

// "rgba(r, g, b, a)" for a style sheet.
std::string StyleColor(DWORD argb);

}  // namespace gmd::ui
