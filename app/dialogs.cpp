#include "app/dialogs.h"

#include <QCursor>
#include <QKeyEvent>
#include <functional>
#include <utility>

#include "app/main_wnd.h"
#include "mouse/preset_colours.h"
#include "platform/debug_output.h"
#include "platform/ini_file.h"
#include "ui/resource_manager.h"
#include "ui/screen_placement.h"

namespace gmd::app {

namespace {

constexpr ui::DWORD kWsClipChildren = 0x02000000;
constexpr ui::DWORD kWsExWindowEdge = 0x00000100;
constexpr const char* kPresetPrefix = "ms_dpi_color_png_";

// Runs `onEscape` for an Escape key press that reaches the window it watches.
class EscapeFilter final : public QObject {
  public:
    EscapeFilter(QObject* parent, std::function<void()> onEscape)
        : QObject(parent), onEscape_(std::move(onEscape)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            onEscape_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> onEscape_;
};

// Builds a message box owned by `parent` with its title and text; nullptr when no window can be
// made (no application object).
CMsgWnd* MakeMessageBox(ui::HWND parent, const std::string& title, const std::string& text,
                        bool isTextId, bool ask) {
    auto* box = new CMsgWnd();
    if (box->Create(parent, "msgwnd", ui::WS_POPUP | kWsClipChildren, ui::WS_EX_TOOLWINDOW) == 0) {
        delete box;
        return nullptr;
    }
    box->CenterWindow();
    if (!title.empty()) {
        box->SetTitle(title);
    }
    if (!text.empty()) {
        box->SetText(text, isTextId);
    }
    // A box that only tells has nothing to cancel.
    box->SetAsking(ask);
    return box;
}

}  // namespace

int ShowMessageBox(ui::HWND parent, const std::string& title, const std::string& text,
                   bool isTextId, bool ask) {
    CMsgWnd* box = MakeMessageBox(parent, title, text, isTextId, ask);
    if (box == nullptr) {
        return 0;
    }
    // The box deletes itself once its window is gone; the result outlives it.
    return box->ShowModal() == 1 ? 1 : 0;
}

void ShowTimedMessageBox(bool autoClose, ui::HWND parent, const std::string& title,
                         const std::string& text, bool isTextId) {
    CMsgWnd* box = MakeMessageBox(parent, title, text, isTextId, false);
    if (box == nullptr) {
        return;
    }
    if (autoClose) {
        ui::SetTimer(box->GetHWND(), CMsgWnd::kAutoCloseTimer, CMsgWnd::kAutoCloseMs);
    }
    box->ShowModal();
}

std::string FillNumberTemplate(const std::string& pattern, int number) {
    std::string out;
    out.reserve(pattern.size() + 12);
    bool filled = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (pattern[i + 1] == 'd' && !filled) {
                out += std::to_string(number);
                filled = true;
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// CMsgWnd

void CMsgWnd::SetTitle(const std::string& title) {
    if (ui::CControlUI* control = m_pm.FindControl("MessageTitle")) {
        control->SetText(title);
    }
}

void CMsgWnd::SetText(const std::string& text, bool isTextId) {
    if (ui::CControlUI* control = m_pm.FindControl("MessageText")) {
        control->SetResourceText(isTextId);
        control->SetText(text);
    }
}

void CMsgWnd::SetAsking(bool ask) {
    if (ui::CControlUI* cancel = m_pm.FindControl("cancel_btn")) {
        cancel->SetVisible(ask);
    }
}

void CMsgWnd::InitWindow() {
    closeBtn_ = m_pm.FindControl("closebtn");
}

void CMsgWnd::Notify(ui::TNotifyUI& msg) {
    if (msg.sType != ui::notify::kClick || msg.pSender == nullptr) {
        return;
    }
    const std::string name = ui::Lower(msg.pSender->GetName());
    if (msg.pSender == closeBtn_) {
        Close(0);
    } else if (name == "confirm_btn") {
        Close(1);
    } else if (name == "cancel_btn") {
        Close(0);
    }
}

ui::LRESULT CMsgWnd::OnTimer(ui::UINT /*msg*/, ui::WPARAM wParam, ui::LPARAM /*lParam*/,
                             bool& handled) {
    if (wParam != kAutoCloseTimer) {
        handled = false;
        return 0;
    }
    handled = true;
    ++ticks_;
    if (ticks_ > 0) {
        ui::KillTimer(GetHWND(), kAutoCloseTimer);
        Close(0);
    }
    return 0;
}

void CMsgWnd::OnFinalMessage(ui::HWND hwnd) {
    WindowImplBase::OnFinalMessage(hwnd);
    delete this;
}

// ---------------------------------------------------------------------------------------------
// CPalletDialog

CPalletDialog::CPalletDialog(std::string layoutFile, ui::DWORD colour)
    : layoutFile_(std::move(layoutFile)), colour_(colour) {}

ui::UINT CPalletDialog::RunAtCursor(ui::HWND owner) {
    // No size: the layout's own size wins over the creation size, as it does for every
    // window built from a layout.
    const ui::DWORD style = ui::UI_WNDSTYLE_DIALOG & ~ui::WS_VISIBLE;  // shown by the modal run
    if (Create(owner, "Tarvik调色板", style, kWsExWindowEdge) == 0) {
        return 0;
    }
    const QPoint cursor = QCursor::pos();
    const ui::RECT size = GetWindowRect();
    const QRect placed = ui::FitOnPointerScreen(
        QRect(cursor.x() - 20, cursor.y() + 20, size.Width(), size.Height()));
    MoveWindow(placed.x(), placed.y());
    const ui::UINT result = ShowModal();
    return result == static_cast<ui::UINT>(-1) ? 0 : result;
}

void CPalletDialog::InitWindow() {
    cancelButton_ = m_pm.FindControl("Pallet_BTN_CANCEL");
    okButton_ = m_pm.FindControl("Pallet_BTN_OK");
    palette_ = dynamic_cast<ui::CColorPaletteUI*>(m_pm.FindControl("Pallet"));
    if (palette_ != nullptr) {
        palette_->SetSelectColor(colour_);
    }
    ShowColour(colour_);
    // Escape answers as Cancel does, from whichever part of the dialog has the focus: the
    // parts leave the key to their window.
    if (QWidget* window = ui::GetWindowWidget(GetHWND())) {
        window->installEventFilter(new EscapeFilter(window, [this] { Close(kResultClosed); }));
    }
}

void CPalletDialog::ShowColour(ui::DWORD colour) {
    if (ui::CControlUI* preview = m_pm.FindControl("color_show_btn")) {
        preview->SetBkImage("");
        preview->SetBkColor(colour);
        preview->Invalidate();
    }
    if (palette_ != nullptr) {
        palette_->SetSelectColor(colour);
    }
}

void CPalletDialog::Notify(ui::TNotifyUI& msg) {
    if (msg.pSender == nullptr) {
        return;
    }
    const std::string& name = msg.pSender->GetName();
    if (msg.sType == ui::notify::kClick) {
        if (name == "closebtn" || name == "cancelbtn") {
            Close(kResultClosed);
        } else if (name == "okbtn") {
            if (palette_ == nullptr) {
                Close(kResultClosed);
                return;
            }
            // The preview holds what the user last picked; without one, the palette does.
            const ui::CControlUI* preview = m_pm.FindControl("color_show_btn");
            colour_ = preview != nullptr ? preview->GetBkColor() : palette_->GetSelectColor();
            Close(kResultOk);
        } else if (name.rfind(kPresetPrefix, 0) == 0) {
            DebugTrace("hongse");
            // A name without a number picks preset 0; numbers outside the table pick nothing.
            uint32_t preset = 0;
            if (PresetColour(
                    ParseLeadingInt(name.substr(std::char_traits<char>::length(kPresetPrefix))),
                    preset)) {
                ShowColour(preset);
            }
        }
    } else if (msg.sType == ui::notify::kColorChanged && name == "Pallet" && palette_ != nullptr) {
        ShowColour(palette_->GetSelectColor());
    }
}

// ---------------------------------------------------------------------------------------------
// Ccopyright

Ccopyright::Ccopyright(std::string layoutFile) : layoutFile_(std::move(layoutFile)) {}

void Ccopyright::Notify(ui::TNotifyUI& msg) {
    if (msg.sType != ui::notify::kClick || msg.pSender == nullptr) {
        return;
    }
    const std::string& name = msg.pSender->GetName();
    if (name == "closebtn") {
        Close(kResultClosed);
    }
}

void Ccopyright::OnFinalMessage(ui::HWND hwnd) {
    WindowImplBase::OnFinalMessage(hwnd);
    delete this;
}

// ---------------------------------------------------------------------------------------------
// CMainWnd: the message box, templates and the about window

int CMainWnd::ShowMessageBox(const std::string& text, bool isTextId) {
    return app::ShowMessageBox(GetHWND(), "", text, isTextId, false);
}

bool CMainWnd::AskMessageBox(const std::string& text, bool isTextId) {
    return app::ShowMessageBox(GetHWND(), "", text, isTextId, true) == 1;
}

void CMainWnd::ShowTimedMessageBox(bool autoClose, const std::string& text, bool isTextId) {
    app::ShowTimedMessageBox(autoClose, GetHWND(), "", text, isTextId);
}

std::string CMainWnd::FormatTemplate(const std::string& textId, int number) {
    std::string pattern;
    if (ui::CControlUI* label = m_pm.FindControl("str_test")) {
        label->SetResourceText(true);
        label->SetText(textId);
        pattern = label->GetShownText();
    } else {
        pattern = ui::CResourceManager::GetInstance()->GetText(textId);
    }
    return FillNumberTemplate(pattern, number);
}

void CMainWnd::OpenAboutWindow() {
    auto* about = new Ccopyright("CopyRight.xml");
    const ui::DWORD style = ui::UI_WNDSTYLE_DIALOG & ~ui::WS_VISIBLE;  // placed first, then shown
    if (about->Create(GetHWND(), "关于", style, kWsExWindowEdge) == 0) {
        delete about;
        return;
    }
    const ui::RECT main = GetWindowRect();
    const ui::RECT size = about->GetWindowRect();
    const QRect placed = ui::FitOnPointerScreen(
        QRect(main.left * 2, main.bottom / 2 - 80, size.Width(), size.Height()));
    about->MoveWindow(placed.x(), placed.y());
    about->ShowWindow(true, true);
}

}  // namespace gmd::app
