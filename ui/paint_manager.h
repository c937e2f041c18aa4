#pragma once
// CPaintManagerUI: the control tree of one window: lookup by name, notifications, option
// groups, DPI. Also the process-wide resource location.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/ui_defs.h"

class QWidget;

namespace gmd::ui {

class CControlUI;
class COptionUI;
class CWindowWnd;

class CDPI {
  public:
    int GetDPI() const { return dpi_; }
    int Scale(int value) const { return value * dpi_ / 96; }

  private:
    friend class CPaintManagerUI;
    int dpi_ = 96;
};

class CPaintManagerUI {
  public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // The window whose client area shows the tree.
    void Init(CWindowWnd* window);
    CWindowWnd* GetWindow() const { return window_; }
    QWidget* GetPaintWidget() const;

    // Takes ownership of the tree and shows it in the window.
    bool AttachDialog(CControlUI* root);
    CControlUI* GetRoot() const { return root_.get(); }

    CControlUI* FindControl(const std::string& name) const;
    CControlUI* FindControl(POINT clientPoint) const;
    // Name index upkeep, called by controls as they join, leave or are renamed.
    void RegisterName(CControlUI* control);
    void UnregisterControl(CControlUI* control);

    void AddNotifier(INotifyUI* notifier);
    void RemoveNotifier(INotifyUI* notifier);
    // Delivers to every notifier now, or later on the UI thread when async.
    void SendNotify(CControlUI* sender, const std::string& type, WPARAM wParam = 0,
                    LPARAM lParam = 0, bool async = false);

    // Exclusive option groups of this window.
    void AddOptionGroup(const std::string& group, COptionUI* option);
    void RemoveOptionGroup(const std::string& group, COptionUI* option);
    const std::vector<COptionUI*>& GetOptionGroup(const std::string& group) const;

    // Window attributes from the layout's root element.
    SIZE GetInitSize() const { return initSize_; }
    void SetInitSize(int cx, int cy) { initSize_ = {cx, cy}; }
    RECT& GetCaptionRect() { return captionRect_; }
    SIZE GetRoundCorner() const { return roundCorner_; }
    void SetRoundCorner(int cx, int cy) { roundCorner_ = {cx, cy}; }
    SIZE GetMinInfo() const { return minInfo_; }
    void SetMinInfo(int cx, int cy) { minInfo_ = {cx, cy}; }
    // How far in from each edge a press resizes the window (all 0: not resizable by its edges).
    const RECT& GetSizeBox() const { return sizeBox_; }
    void SetSizeBox(const RECT& box) { sizeBox_ = box; }
    // The window title as a language text id; shown by the window and again after a language
    // switch (ReloadTitle), once the language has that text.
    const std::string& GetTitleTextId() const { return titleTextId_; }
    void SetTitleTextId(const std::string& id) { titleTextId_ = id; }
    void ReloadTitle();

    // DPI of this window (96 = 100 %); Qt does the real scaling, this is what the app asks for.
    CDPI* GetDPIObj() { return &dpi_; }
    void SetDPI(int dpi);
    void ResetDPIAssets();

    void NeedUpdate();  // relayout and repaint
    void Invalidate();

    // Process-wide resource location: the skin folder.
    static void SetInstance(void* instance) { instance_ = instance; }
    static void* GetInstance() { return instance_; }
    static std::string GetInstancePath();  // folder of the executable, with a trailing '/'
    static void SetResourcePath(const std::string& path);
    static const std::string& GetResourcePath();  // with a trailing '/'
    // The skin folder: "skin/" beside the executable if it exists (build tree), else the
    // installed data directory's "skin/". With a trailing '/'.
    static std::string FindSkinFolder();
    // Runs the application's event loop until quit.
    static int MessageLoop();
    static void PostQuitMessage(int code = 0);

    // Every live manager, for language reloads.
    static std::vector<CPaintManagerUI*> GetAllManagers();

  private:
    CWindowWnd* window_ = nullptr;
    std::unique_ptr<CControlUI> root_;
    std::multimap<std::string, CControlUI*> names_;
    std::vector<INotifyUI*> notifiers_;
    std::map<std::string, std::vector<COptionUI*>> groups_;
    SIZE initSize_;
    RECT captionRect_;
    SIZE roundCorner_;
    SIZE minInfo_;
    RECT sizeBox_;
    std::string titleTextId_;
    CDPI dpi_;
    bool destroying_ = false;

    static void* instance_;
    static std::string resourcePath_;
};

}  // namespace gmd::ui
