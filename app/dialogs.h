#pragma once
// The shell's small windows: the message box, the colour palette dialog and the about window.

#include <string>

#include "ui/controls.h"
#include "ui/window.h"

namespace gmd::app {

// Asks or tells the user something in a modal box owned by `parent`. `text` is a language text
// id when `isTextId`, else shown as it is; an empty title or text leaves the layout's own.
// Returns 1 for "confirm_btn", 0 for "cancel_btn", the close button or the self-closing timer.
// Only a box that asks (`ask`) offers "cancel_btn"; one that tells has its OK alone.
int ShowMessageBox(ui::HWND parent, const std::string& title, const std::string& text,
                   bool isTextId, bool ask);
// The same; with `autoClose` the box closes itself with 0 after kAutoCloseMs.
void ShowTimedMessageBox(bool autoClose, ui::HWND parent, const std::string& title,
                         const std::string& text, bool isTextId);

// Fills the first "%d" of a text template with a number ("%%" stands for "%"). Other "%"
// sequences stay as they are: templates come from language files and are never handed to a
// printf-style formatter.
std::string FillNumberTemplate(const std::string& pattern, int number);

// The message box window (layout "XML_MSG"). Deletes itself when its window is gone.
class CMsgWnd : public ui::WindowImplBase {
  public:
    static constexpr ui::UINT kAutoCloseTimer = 1;
    static constexpr ui::UINT kAutoCloseMs = 500;

    void SetTitle(const std::string& title);
    void SetText(const std::string& text, bool isTextId);
    // Whether the box asks (OK and Cancel) or only tells (OK).
    void SetAsking(bool ask);

    void Notify(ui::TNotifyUI& msg) override;

  protected:
    std::string GetWindowClassName() const override { return "MsgWnd"; }
    std::string GetSkinFile() const override { return "XML_MSG"; }
    void InitWindow() override;
    ui::LRESULT OnTimer(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam, bool& handled) override;
    void OnFinalMessage(ui::HWND hwnd) override;

  private:
    ui::CControlUI* closeBtn_ = nullptr;
    int ticks_ = 0;
};

// The colour palette dialog: a palette, a preview ("color_show_btn"), preset buttons
// "ms_dpi_color_png_N" where the layout has them, OK, and Cancel / close / Escape. After a
// modal result of 1, GetColor() is the choice; any other result leaves the colour as it was.
class CPalletDialog : public ui::WindowImplBase {
  public:
    static constexpr ui::UINT kResultOk = 1;
    static constexpr ui::UINT kResultClosed = 2;

    CPalletDialog(std::string layoutFile, ui::DWORD colour);

    ui::DWORD GetColor() const { return colour_; }
    // Creates it owned by `owner` (at the layout's size, its top-left 20 pixels left of and
    // below the mouse pointer) and runs it modally; returns the result, 0 when it cannot be
    // shown.
    ui::UINT RunAtCursor(ui::HWND owner);

    void Notify(ui::TNotifyUI& msg) override;

  protected:
    std::string GetWindowClassName() const override { return "UIPalletDialog"; }
    std::string GetSkinFile() const override { return layoutFile_; }
    void InitWindow() override;

  private:
    // Shows a colour in the preview and selects it in the palette.
    void ShowColour(ui::DWORD colour);

    std::string layoutFile_;
    ui::DWORD colour_;
    ui::CColorPaletteUI* palette_ = nullptr;
    ui::CControlUI* okButton_ = nullptr;
    ui::CControlUI* cancelButton_ = nullptr;
};

// The about window: modeless; name, version and what the program does. It has no web link:
// the project has no page of its own. Deletes itself when its window is gone.
class Ccopyright : public ui::WindowImplBase {
  public:
    static constexpr ui::UINT kResultClosed = 2;

    explicit Ccopyright(std::string layoutFile = "CopyRight.xml");

    void Notify(ui::TNotifyUI& msg) override;

  protected:
    std::string GetWindowClassName() const override { return "UICOPYRIGHT"; }
    std::string GetSkinFile() const override { return layoutFile_; }
    void OnFinalMessage(ui::HWND hwnd) override;

  private:
    std::string layoutFile_;
};

// The skin chooser: background images and colours under the main window's skin button. It
// closes when it loses activation or once a custom image has been asked for, and deletes
// itself when its window is gone. Defined with the
// language and skin settings (language_skin.cpp).
class CSkinFrame : public ui::WindowImplBase {
  public:
    // Creates and shows a chooser with its top-right corner at the anchor's bottom-right
    // corner; nullptr when no window can be made.
    static CSkinFrame* Open(ui::CControlUI* anchor);

    void Notify(ui::TNotifyUI& msg) override;

  protected:
    std::string GetWindowClassName() const override { return "SkinFrame"; }
    std::string GetSkinFile() const override { return "skin.xml"; }
    void InitWindow() override;
    ui::LRESULT HandleCustomMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM lParam,
                                    bool& handled) override;
    void OnFinalMessage(ui::HWND hwnd) override;

  private:
    explicit CSkinFrame(ui::CControlUI* anchor);
    void ChooseCustomImage();

    ui::CControlUI* anchor_;  // read while the window is placed, not later
    bool choosingFile_ = false;
};

}  // namespace gmd::app
