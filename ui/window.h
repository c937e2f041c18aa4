#pragma once
// Windows: a frameless top-level Qt widget showing a layout, with a message hook, timers by
// id, modal runs, and messages that any thread may post or send by window handle.

#include <QPointer>
#include <memory>
#include <string>

#include "ui/paint_manager.h"
#include "ui/ui_defs.h"

class QWidget;

namespace gmd::ui {

namespace detail {
struct WindowShared;
}

// Window styles the system passes; only the bits that matter here are read.
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;
inline constexpr DWORD UI_WNDSTYLE_FRAME = 0x96CA0000;
inline constexpr DWORD UI_WNDSTYLE_DIALOG = 0x96C80000;

class CWindowWnd {
  public:
    CWindowWnd();
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return hwnd_; }
    QWidget* GetWidget() const;

    HWND Create(HWND parent, const std::string& name, DWORD style, DWORD exStyle, int x = 0,
                int y = 0, int cx = 0, int cy = 0);
    void ShowWindow(bool show = true, bool takeFocus = true);
    // Delivers the "windowinit" notification a window gets on its first show, for a window
    // that starts without being shown; once either way.
    void PostWindowInit();
    bool IsWindowVisible() const;
    bool IsMinimized() const;
    void Minimize();
    void Maximize();
    void Restore();
    void SetTopMost(bool on);
    void BringToFront();
    void CenterWindow();
    void MoveWindow(int x, int y);
    void ResizeClient(int cx, int cy);
    RECT GetWindowRect() const;  // screen coordinates
    void SetWindowTitle(const std::string& title);
    std::string GetWindowTitle() const;

    // Runs the window modally; returns the code given to Close() (UINT(-1) when there is no
    // window to run).
    UINT ShowModal();
    // Closes (destroys) the window with a result code: hides it, delivers WM_DESTROY, stops
    // its timers and ends its handle, then calls OnFinalMessage once the current event is
    // done. From another thread the close is carried over to the UI thread.
    void Close(UINT code = 0);
    bool IsModal() const { return modal_; }

    // Delivers a message to HandleMessage on the UI thread (calls directly when already there).
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    void PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

  protected:
    virtual std::string GetWindowClassName() const = 0;
    // Called after the window is gone; a window that owns itself deletes itself here.
    virtual void OnFinalMessage(HWND hwnd);
    // Qt hooks for subclasses: the close button of the window manager (default: Close(0)) and
    // activation changes (default: WM_ACTIVATE to HandleMessage, wParam 1 active, 0 not).
    virtual void OnCloseRequest();
    virtual void OnActivate(bool active);

    HWND hwnd_ = 0;
    bool modal_ = false;

  private:
    class Host;
    friend class Host;
    friend class WindowImplBase;
    // Ends the window without messages (destructors): timers, handle, modal loop, widget.
    void Teardown();
    QPointer<QWidget> widget_;
    UINT modalResult_ = 0;
    void* modalLoop_ = nullptr;
    bool destroyed_ = false;
    // What other threads reach by handle; the token expires with this object, so deferred
    // calls can tell whether it still exists.
    std::shared_ptr<detail::WindowShared> shared_;
    std::shared_ptr<char> alive_;
};

// A window with a layout: builds its skin file into its paint manager, routes notifications
// to Notify and messages to HandleCustomMessage.
class WindowImplBase : public CWindowWnd, public INotifyUI, public IDialogBuilderCallback {
  public:
    WindowImplBase();
    ~WindowImplBase() override;

    CPaintManagerUI& GetPaintManager() { return m_pm; }
    // By default "click" on "closebtn" closes with 0; "minbtn", "maxbtn" and "restorebtn"
    // minimise, maximise and restore.
    void Notify(TNotifyUI& msg) override;
    CControlUI* CreateControl(const std::string& className) override;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

  protected:
    // The layout: a resource name of res.xml or a file name in the skin folder.
    virtual std::string GetSkinFile() const = 0;
    virtual void InitWindow() {}
    virtual LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual LRESULT OnTimer(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    // The error of a failed layout build, empty otherwise.
    const std::string& GetBuildError() const { return buildError_; }

    CPaintManagerUI m_pm;

  private:
    friend class CWindowWnd;
    // Builds the skin into m_pm and calls InitWindow; the layout's size applies unless the
    // creator gave one.
    void BuildLayout(bool sizeGiven);
    std::string buildError_;
};

// Thread-safe message and timer services by window handle. From a worker thread, SendMessage
// blocks until the UI thread has handled the message, and returns 0 at once when the window
// is gone or going (so a worker never hangs on a closing window); from the UI thread it calls
// directly.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
// Timers deliver WM_TIMER with wParam = id. Arming a running timer restarts its period.
bool SetTimer(HWND hwnd, UINT id, UINT elapseMs);
bool KillTimer(HWND hwnd, UINT id);
bool IsWindow(HWND hwnd);
// Registered messages: the same name (without regard to case) gives the same number,
// 0xC000-0xFFFF; 0 for an empty name or when full.
UINT RegisterWindowMessage(const std::string& name);
// The top-level widget of a window (UI thread only), nullptr when there is none: the parent
// for dialogs and popups that belong to it.
QWidget* GetWindowWidget(HWND hwnd);

}  // namespace gmd::ui
