#include <QColorDialog>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/controls.h"

namespace gmd::ui {

namespace {

// Qt's colour dialog shown as a plain child widget. Its accept and reject paths (Enter,
// Escape) would hide it; embedded, it has nothing to close.
class EmbeddedColorDialog : public QColorDialog {
  public:
    EmbeddedColorDialog() {
        setWindowFlags(Qt::Widget);
        setOptions(QColorDialog::NoButtons | QColorDialog::DontUseNativeDialog);
        setOption(QColorDialog::ShowAlphaChannel, false);
        setSizeGripEnabled(false);
    }
    void done(int) override {}
};

QColor ToQColor(DWORD argb) {
    return QColor(static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
                  static_cast<int>(argb & 0xFF));
}

DWORD FromQColor(const QColor& color) {
    return 0xFF000000u | (static_cast<DWORD>(color.red()) << 16) |
           (static_cast<DWORD>(color.green()) << 8) | static_cast<DWORD>(color.blue());
}

}  // namespace

std::string CColorPaletteUI::GetClass() const {
    return "ColorPalette";
}

QWidget* CColorPaletteUI::CreateWidget() {
    auto* host = new QWidget;
    host->setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* dialog = new EmbeddedColorDialog;
    dialog->setCurrentColor(ToQColor(selectColor_));
    layout->addWidget(dialog);
    // Programmatic changes are made with signals blocked, so this is the user's pick.
    QObject::connect(dialog, &QColorDialog::currentColorChanged, SignalContext(),
                     [this](const QColor& color) {
                         selectColor_ = FromQColor(color);
                         Notify(notify::kColorChanged);
                     });
    return host;
}

void CColorPaletteUI::SetSelectColor(DWORD argb) {
    // The picker has no alpha channel: colours are opaque.
    selectColor_ = 0xFF000000u | argb;
    if (widget_) {
        if (auto* dialog = widget_->findChild<QColorDialog*>()) {
            const QSignalBlocker blocker(dialog);
            dialog->setCurrentColor(ToQColor(selectColor_));
        }
    }
}

AttrStatus CColorPaletteUI::SetAttribute(const std::string& name, const std::string& value) {
    // ColorPalette adds:
    //   selectcolor="#RRGGBB"  the colour shown first (the picker has no alpha: opaque)
    if (Lower(name) == "selectcolor") {
        DWORD color = 0;
        if (!ParseColor(value, color)) {
            return AttrStatus::BadValue;
        }
        SetSelectColor(color);
        return AttrStatus::Ok;
    }
    return CControlUI::SetAttribute(name, value);
}

}  // namespace gmd::ui
