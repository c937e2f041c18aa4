#pragma once
// Popup menus from menu layout files. The chosen item reaches the owner as WM_MENU_CLICK with
// wParam = a new MenuCmd the receiver deletes.

#include <memory>
#include <string>
#include <vector>

#include "ui/ui_defs.h"

namespace gmd::ui {

class CMenuElementUI {
  public:
    std::string name;
    std::string text;
    std::string userData;
    bool checkable = false;
    bool checked = false;
    bool enabled = true;
    bool separator = false;
};

class CMenuUI {
  public:
    int GetCount() const { return static_cast<int>(items_.size()); }
    CMenuElementUI* GetItemAt(int index);
    bool AddAt(const CMenuElementUI& element, int index);
    bool Add(const CMenuElementUI& element) { return AddAt(element, GetCount()); }

  private:
    friend class CMenuWnd;
    std::vector<CMenuElementUI> items_;
};

enum MenuAlignment { eMenuAlignment_Left = 1, eMenuAlignment_Top = 2 };

// The creator owns a CMenuWnd; destroying it closes its menu. Init may be called again to
// show another menu from the same object.
class CMenuWnd {
  public:
    CMenuWnd();
    ~CMenuWnd();
    // Builds the menu from a layout file of the skin folder and shows it at a screen point.
    // false (with GetLastError) when the file cannot be read.
    bool Init(HWND owner, const std::string& menuFile, POINT point,
              int alignment = eMenuAlignment_Left | eMenuAlignment_Top);
    CMenuUI* GetMenuUI() { return &menu_; }
    // Applies changes made through GetMenuUI to the shown menu.
    void ResizeMenu();
    void Close();
    bool IsOpen() const;
    const std::string& GetLastError() const { return error_; }
    // Chooses an item as the user would (tests).
    bool Choose(const std::string& itemName);
    // Closes every open popup menu.
    static void DestroyMenu();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    CMenuUI menu_;
    std::string error_;
};

}  // namespace gmd::ui
