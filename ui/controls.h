#pragma once
// The standard control classes, each on a real Qt widget.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/control.h"

class QAbstractButton;

namespace gmd::ui {

// Containers own their children.
class CContainerUI : public CControlUI {
  public:
    CContainerUI();
    ~CContainerUI() override;
    std::string GetClass() const override;
    CContainerUI* AsContainer() override { return this; }

    int GetCount() const { return static_cast<int>(items_.size()); }
    CControlUI* GetItemAt(int index) const;
    int GetItemIndex(CControlUI* control) const;
    virtual bool Add(CControlUI* control);  // takes ownership
    virtual bool AddAt(CControlUI* control, int index);
    virtual bool Remove(CControlUI* control);  // deletes it
    virtual void RemoveAll();

    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;
    void ReloadText() override;

    const RECT& GetInset() const { return inset_; }
    void SetInset(const RECT& inset);
    int GetChildPadding() const { return childPadding_; }
    void SetChildPadding(int padding);
    // Called by a child whose text, size, padding, visibility or look changed.
    virtual void OnChildChanged(CControlUI* child);
    // True when the container shows and hides its children's widgets itself (tab pages).
    virtual bool ManagesChildVisibility() const { return false; }
    // Gives `child` its widget in place: builds this container's widget first when there is
    // none yet (and, for tab pages, the child's page), so a control asked for before its part
    // of the window was shown still lands in its layout.
    virtual void BuildChildWidget(CControlUI* child);

  protected:
    friend class CControlUI;
    // Makes the container's own widget; its children come after it is placed and styled.
    QWidget* CreateWidget() override;
    // The widget that holds the children's widgets, nullptr where they have no widget of
    // their own or go elsewhere (rows of lists and combos).
    virtual QWidget* ChildWidgetParent() const { return widget_; }
    // Creates the children's widgets once this container's own widget is set up.
    virtual void CreateChildWidgets();
    // Puts a child's widget into this container's widget at `index`.
    virtual void InsertChildWidget(CControlUI* child, int index);
    virtual void RemoveChildWidget(CControlUI* child);
    // Box layouts: children that may grow share the free space; when none may, the children
    // are packed at the start (top or left) rather than spread out.
    void UpdateStretch();

    std::vector<std::unique_ptr<CControlUI>> items_;
    RECT inset_;
    int childPadding_ = 0;
    bool horizontal_ = false;
    // Placement across the layout direction of children narrower than the layout.
    std::string childAlign_ = "left";  // vertical layouts: left, center, right
    std::string childVAlign_ = "top";  // horizontal layouts: top, vcenter, bottom
};

class CVerticalLayoutUI : public CContainerUI {
  public:
    std::string GetClass() const override;
};

class CHorizontalLayoutUI : public CContainerUI {
  public:
    CHorizontalLayoutUI();
    std::string GetClass() const override;
};

// Pages stacked; one shown at a time.
class CTabLayoutUI : public CContainerUI {
  public:
    std::string GetClass() const override;
    int GetCurSel() const { return curSel_; }
    // Shows page `index`; false if there is no such page.
    bool SelectItem(int index);
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    bool ManagesChildVisibility() const override { return true; }
    void BuildChildWidget(CControlUI* child) override;
    // Whether page `index` has its widgets (a page is built when first shown or asked for).
    bool IsPageBuilt(int index) const;

  protected:
    QWidget* CreateWidget() override;
    void CreateChildWidgets() override;
    void InsertChildWidget(CControlUI* child, int index) override;
    void RemoveChildWidget(CControlUI* child) override;

  private:
    // Replaces the empty stand-in of page `index` with the page's widgets.
    void BuildPage(int index);

    int curSel_ = 0;
    CControlUI* building_ = nullptr;  // the page whose widgets are being made
};

class CLabelUI : public CControlUI {
  public:
    std::string GetClass() const override;
    void SetTextColor(DWORD argb) override;
    RECT GetTextPadding() const { return textPadding_; }
    void SetTextPadding(const RECT& padding);
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;

  protected:
    QWidget* CreateWidget() override;
    void ApplyText() override;
    std::string ExtraStyleSheet() const override;
    QSize FreeMinimumSize() const override { return {1, 1}; }

    void ApplyAlignment();

    RECT textPadding_;
    std::string align_;   // "left", "center", "right"
    std::string valign_;  // "top", "vcenter", "bottom"
    int fontSize_ = 0;    // pixels; 0: the default font
    bool bold_ = false;
    bool wordWrap_ = false;
};

// Multi-line text: wraps at word boundaries.
class CTextUI : public CLabelUI {
  public:
    CTextUI();
    std::string GetClass() const override;
};

class CButtonUI : public CLabelUI {
  public:
    std::string GetClass() const override;
    const std::string& GetNormalImage() const { return normalImage_; }
    void SetNormalImage(const std::string& image);
    const std::string& GetHotImage() const { return hotImage_; }
    void SetHotImage(const std::string& image);
    const std::string& GetPushedImage() const { return pushedImage_; }
    void SetPushedImage(const std::string& image);
    const std::string& GetDisabledImage() const { return disabledImage_; }
    void SetDisabledImage(const std::string& image);
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;
    // Simulates a user click: raises "click" (options also change their selection).
    virtual bool Activate();

  protected:
    QWidget* CreateWidget() override;
    void ApplyText() override;
    std::string ExtraStyleSheet() const override;
    // Wires a button widget to this control (user clicks run Activate()); subclasses that
    // make their own button widget call it.
    void SetupButtonWidget(QAbstractButton* button);

    std::string normalImage_;
    std::string hotImage_;
    std::string pushedImage_;
    std::string disabledImage_;
};

// A selectable button. Options sharing a "group" exclude each other: selecting one deselects
// the rest silently, and only the newly selected one raises "selectchanged". An option outside
// a group toggles and raises "selectchanged" both ways.
class COptionUI : public CButtonUI {
  public:
    ~COptionUI() override;
    std::string GetClass() const override;
    bool IsSelected() const { return selected_; }
    virtual void Selected(bool selected, bool triggerEvent = true);
    const std::string& GetGroup() const { return group_; }
    void SetGroup(const std::string& group);
    const std::string& GetSelectedImage() const { return selectedImage_; }
    void SetSelectedImage(const std::string& image);
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;
    bool Activate() override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;

  protected:
    QWidget* CreateWidget() override;
    std::string ExtraStyleSheet() const override;
    // Brings the widget's checked state back to the model (Qt toggles on its own).
    void SyncChecked();

    bool selected_ = false;
    std::string group_;
    std::string selectedImage_;
    DWORD selectedTextColor_ = 0;
    DWORD selectedBkColor_ = 0;
};

class CCheckBoxUI : public COptionUI {
  public:
    std::string GetClass() const override;
    bool GetCheck() const { return IsSelected(); }
    void SetCheck(bool check, bool triggerEvent = false) { Selected(check, triggerEvent); }

  protected:
    QWidget* CreateWidget() override;
    std::string ExtraStyleSheet() const override;
};

class CEditUI : public CLabelUI {
  public:
    std::string GetClass() const override;
    std::string GetText() const override;
    void SetText(const std::string& text) override;  // no "textchanged"
    void SetSel(int start, int end);
    void SetSelAll();
    void SetCaretToEnd();
    int GetMaxChar() const { return maxChar_; }
    void SetMaxChar(int max);
    bool IsReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;

  protected:
    QWidget* CreateWidget() override;
    void ApplyText() override;

    int maxChar_ = 255;
    bool readOnly_ = false;
    bool numberOnly_ = false;
    bool password_ = false;
};

class CProgressUI : public CLabelUI {
  public:
    std::string GetClass() const override;
    int GetMinValue() const { return min_; }
    void SetMinValue(int min);
    int GetMaxValue() const { return max_; }
    void SetMaxValue(int max);
    int GetValue() const { return value_; }
    virtual void SetValue(int value);
    DWORD GetForeColor() const { return foreColor_; }
    void SetForeColor(DWORD argb);
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;

  protected:
    QWidget* CreateWidget() override;
    std::string ExtraStyleSheet() const override;
    // Pushes range and value into a QProgressBar or QAbstractSlider widget (silently).
    void ApplyRange();

    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    DWORD foreColor_ = 0;
    std::string foreImage_;
    bool horizontal_ = true;
};

// "movevaluechanged" while dragged, "valuechanged" on release (and on keyboard or wheel steps).
class CSliderUI : public CProgressUI {
  public:
    std::string GetClass() const override;
    void SetValue(int value) override;  // no notification
    int GetChangeStep() const { return step_; }
    void SetChangeStep(int step);
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;

  protected:
    QWidget* CreateWidget() override;
    std::string ExtraStyleSheet() const override;

    int step_ = 1;
};

// A list row showing one text.
class CListLabelElementUI : public CLabelUI {
  public:
    std::string GetClass() const override;
    bool IsSelected() const;
    int GetIndex() const;

  protected:
    QWidget* CreateWidget() override;
    std::string ExtraStyleSheet() const override;
};

// A list row that is a container of further controls (labels); raises "itemclick" when
// clicked.
class CListContainerElementUI : public CHorizontalLayoutUI {
  public:
    std::string GetClass() const override;
    bool IsSelected() const;
    int GetIndex() const;

  protected:
    std::string ExtraStyleSheet() const override;
};

// Row look shared by the rows of a combo box or list (a row's own colours win).
struct ListItemStyle {
    int height = 0;  // rows without a fixed height; 0: the row's natural height
    DWORD textColor = 0;
    DWORD bkColor = 0;
    DWORD selectedTextColor = 0;
    DWORD selectedBkColor = 0;
};

// Shared by combo boxes and lists: rows with text, user data, fixed height, style.
class IListOwnerUI {
  public:
    virtual ~IListOwnerUI() = default;
    virtual int GetCurSel() const = 0;
    // Selects row `index` (-1: none) with or without "itemselect".
    virtual bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) = 0;
    virtual const ListItemStyle& GetItemStyle() const = 0;
};

class CComboUI : public CContainerUI, public IListOwnerUI {
  public:
    std::string GetClass() const override;
    int GetCurSel() const override { return curSel_; }
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) override;
    // Rows are CListLabelElementUI (or any control with a text); Add/AddAt take ownership.
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    std::string GetText() const override;  // the selected row's text
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;
    void ReloadText() override;
    const ListItemStyle& GetItemStyle() const override { return itemStyle_; }
    void OnChildChanged(CControlUI* child) override;

  protected:
    QWidget* CreateWidget() override;
    // The rows come with the widget, and do not sit in it as widgets of their own.
    QWidget* ChildWidgetParent() const override { return nullptr; }
    void CreateChildWidgets() override {}
    void InsertChildWidget(CControlUI* child, int index) override;
    void RemoveChildWidget(CControlUI* child) override;
    std::string ExtraStyleSheet() const override;

  private:
    void UpdateRow(int index);

    int curSel_ = -1;
    ListItemStyle itemStyle_;
};

class CListUI : public CContainerUI, public IListOwnerUI {
  public:
    std::string GetClass() const override;
    int GetCurSel() const override { return curSel_; }
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) override;
    bool Add(CControlUI* control) override;
    bool AddAt(CControlUI* control, int index) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    void EnsureVisible(int index);  // scrolls the row into view
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;
    const ListItemStyle& GetItemStyle() const override { return itemStyle_; }
    void OnChildChanged(CControlUI* child) override;

  protected:
    QWidget* CreateWidget() override;
    // The rows come with the widget, and do not sit in it as widgets of their own.
    QWidget* ChildWidgetParent() const override { return nullptr; }
    void CreateChildWidgets() override {}
    void InsertChildWidget(CControlUI* child, int index) override;
    void RemoveChildWidget(CControlUI* child) override;

  private:
    void UpdateRow(int index);
    void SetCurSel(int index);  // model and row looks, no notification

    int curSel_ = -1;
    ListItemStyle itemStyle_;
};

// The colour picker, drawn in the theme: a hue and saturation area, a value bar, a "#RRGGBB"
// field, red, green and blue fields and the preset swatches. "colorchanged" when the user
// picks a colour.
class CColorPaletteUI : public CControlUI {
  public:
    std::string GetClass() const override;
    DWORD GetSelectColor() const { return selectColor_; }
    void SetSelectColor(DWORD argb);  // no notification
    AttrStatus SetAttribute(const std::string& name, const std::string& value) override;
    void ReloadText() override;

  protected:
    QWidget* CreateWidget() override;
    std::string ExtraStyleSheet() const override;

  private:
    class PaletteWidget;
    PaletteWidget* Palette() const;

    DWORD selectColor_ = 0xFF000000;
    bool hexField_ = true;
    bool rgbFields_ = true;
    bool presets_ = true;
};

}  // namespace gmd::ui
