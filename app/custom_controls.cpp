#include "app/custom_controls.h"

#include <QAbstractButton>
#include <QEvent>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QSvgRenderer>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <map>
#include <new>

#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"

namespace gmd::app {

using ui::Lower;

namespace {

// A widget whose whole look is drawn by its control. Having its own meta-object keeps style
// sheets from filling its rectangle behind our back.
class PaintedWidget : public QWidget {
    Q_OBJECT
  public:
    using PaintFn = std::function<void(QPainter&, const QRect&)>;
    explicit PaintedWidget(PaintFn paint, QWidget* parent = nullptr)
        : QWidget(parent), paint_(std::move(paint)) {}
    // The control is going away before the widget.
    void Orphan() { paint_ = nullptr; }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (!paint_) {
            return;
        }
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        paint_(painter, rect());
    }

  private:
    PaintFn paint_;
};

// Calls back on the events a control has to follow on a widget it does not own.
class EventWatcher : public QObject {
  public:
    using Fn = std::function<void(QEvent::Type)>;
    EventWatcher(QObject* parent, Fn fn) : QObject(parent), fn_(std::move(fn)) {}
    void Orphan() { fn_ = nullptr; }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (fn_) {
            fn_(event->type());
        }
        return false;
    }

  private:
    Fn fn_;
};

// Draws a push button's label again, the way its style draws it: a light laid over the
// button would otherwise cover the key's text.
void RedrawLabel(QPainter& painter, QWidget* widget) {
    auto* button = qobject_cast<QPushButton*>(widget);
    if (button == nullptr || button->text().isEmpty()) {
        return;
    }
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    if (button->isDown()) {
        option.state |= QStyle::State_Sunken;
    }
    button->style()->drawControl(QStyle::CE_PushButtonLabel, &option, &painter, button);
}

void OrphanPainted(QWidget* widget) {
    if (auto* painted = qobject_cast<PaintedWidget*>(widget)) {
        painted->Orphan();
    }
}

QColor ArgbColor(DWORD argb) {
    return QColor::fromRgba(argb);
}

// Whole decimal integer, optionally signed, nothing else.
bool ParseDecimal(const std::string& text, int& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') {
        ++first;
    }
    int value = 0;
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (first == last || ec != std::errc() || ptr != last) {
        return false;
    }
    out = value;
    return true;
}

// Images scaled to the size they are drawn at, keyed by path, source and pixel size.
class ImageCache {
  public:
    static ImageCache& Instance() {
        static ImageCache cache;
        return cache;
    }

    // A null image when the file cannot be read.
    QImage Get(const std::string& path, const ui::ImageSpec& imageSpec, QSize pixels) {
        std::string key = path + '|' + std::to_string(imageSpec.source.left) + ',' +
                          std::to_string(imageSpec.source.top) + ',' +
                          std::to_string(imageSpec.source.right) + ',' +
                          std::to_string(imageSpec.source.bottom) + '|' +
                          std::to_string(pixels.width()) + 'x' + std::to_string(pixels.height());
        auto it = images_.find(key);
        if (it != images_.end()) {
            return it->second;
        }
        QImage image = Load(path, imageSpec, pixels);
        if (image.isNull()) {
            return image;
        }
        if (images_.size() >= kMaxEntries) {
            images_.clear();
        }
        images_.emplace(std::move(key), image);
        return image;
    }

  private:
    static constexpr size_t kMaxEntries = 512;

    static QImage Load(const std::string& path, const ui::ImageSpec& imageSpec, QSize pixels) {
        const QString file = QString::fromStdString(path);
        const QRect source(imageSpec.source.left, imageSpec.source.top, imageSpec.source.Width(),
                           imageSpec.source.Height());
        const bool useSource = imageSpec.hasSource && source.isValid();
        if (file.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
            QSvgRenderer renderer(file);
            if (!renderer.isValid()) {
                return {};
            }
            if (useSource) {
                renderer.setViewBox(QRectF(source));
            }
            QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
            return image;
        }
        QImage image(file);
        if (image.isNull()) {
            return {};
        }
        if (useSource) {
            image = image.copy(source);
        }
        return image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }

    std::map<std::string, QImage> images_;
};

}  // namespace

bool DrawImageString(QPainter& painter, const QRect& dest, const std::string& image, DWORD color,
                     DWORD alpha, bool tint) {
    ui::ImageSpec imageSpec;
    if (image.empty() || !ui::ParseImageString(image, imageSpec) || imageSpec.file.empty()) {
        return false;
    }
    std::string path = imageSpec.file;
    if (path.front() != '/') {
        path = ui::CPaintManagerUI::GetResourcePath() + path;
    }
    if (dest.isEmpty()) {
        // Nothing to cover; still tell whether the image is usable.
        return !ImageCache::Instance().Get(path, imageSpec, QSize(1, 1)).isNull();
    }
    const qreal ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels(std::max(1, qRound(dest.width() * ratio)),
                       std::max(1, qRound(dest.height() * ratio)));
    const QImage scaled = ImageCache::Instance().Get(path, imageSpec, pixels);
    if (scaled.isNull()) {
        return false;
    }
    if (!tint) {
        painter.drawImage(dest, scaled);
        return true;
    }
    // Multiply by the colour, then cut back to the image's own alpha (the multiply fills
    // transparent pixels with the colour).
    QImage tinted = scaled.copy();
    {
        QPainter p(&tinted);
        p.setCompositionMode(QPainter::CompositionMode_Multiply);
        p.fillRect(tinted.rect(), QColor::fromRgb(color & 0x00FFFFFFu));
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, scaled);
    }
    painter.save();
    painter.setOpacity(painter.opacity() * std::min<DWORD>(alpha, 255) / 255.0);
    painter.drawImage(dest, tinted);
    painter.restore();
    return true;
}

// ---------------------------------------------------------------------------------------------
// CCircleProgressUI

CCircleProgressUI::~CCircleProgressUI() {
    OrphanPainted(widget_);
}

std::string CCircleProgressUI::GetClass() const {
    return "CircleProgress";
}

int CCircleProgressUI::SweepAngle() const {
    const double range = static_cast<double>(max_) - static_cast<double>(min_);
    if (range == 0) {
        return 0;
    }
    const double sweep = value_ * 1.0 / range * 360;
    // Far beyond any full turn; keeps the conversion defined for absurd ranges.
    return static_cast<int>(std::clamp(sweep, -1e9, 1e9));
}

void CCircleProgressUI::PaintBkColor(QPainter& painter, const QRect& rect) const {
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(ArgbColor(bkColor_));
    painter.drawEllipse(rect);
    painter.restore();
}

void CCircleProgressUI::PaintForeColor(QPainter& painter, const QRect& rect) const {
    // Clockwise from the bottom; Qt counts sixteenths of a degree anticlockwise from 3 o'clock.
    // More than a full turn draws the full circle.
    const int sweep = std::clamp(SweepAngle(), -360, 360);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(ArgbColor(foreColor_));
    if (sweep == 360 || sweep == -360) {
        painter.drawEllipse(rect);
    } else if (sweep != 0) {
        painter.drawPie(rect, -90 * 16, -sweep * 16);
    }
    const QRect inner = rect.adjusted(10, 10, -10, -10);
    if (inner.width() > 0 && inner.height() > 0) {
        painter.setBrush(ArgbColor(0xFFFFFFFFu));
        painter.drawEllipse(inner);
    }
    painter.restore();
}

void CCircleProgressUI::PaintForeImage(QPainter&, const QRect&) const {}

void CCircleProgressUI::PaintText(QPainter& painter, const QRect& rect) const {
    const std::string text = GetShownText();
    if (text.empty()) {
        return;
    }
    painter.save();
    if ((textColor_ >> 24) != 0) {
        painter.setPen(ArgbColor(textColor_));
    }
    painter.drawText(rect, Qt::AlignCenter, QString::fromStdString(text));
    painter.restore();
}

void CCircleProgressUI::Paint(QPainter& painter, const QRect& rect) const {
    PaintBkColor(painter, rect);
    PaintForeColor(painter, rect);
    PaintForeImage(painter, rect);
    PaintText(painter, rect);
}

QWidget* CCircleProgressUI::CreateWidget() {
    return new PaintedWidget(
        [this](QPainter& painter, const QRect& rect) { Paint(painter, rect); });
}

void CCircleProgressUI::UpdateStyle() {
    CProgressUI::UpdateStyle();
    if (widget_) {
        widget_->update();
    }
}

// ---------------------------------------------------------------------------------------------
// CDeviceKeyButtonUI

CDeviceKeyButtonUI::CDeviceKeyButtonUI() = default;

CDeviceKeyButtonUI::~CDeviceKeyButtonUI() {
    OrphanPainted(keyOverlay_);
}

std::string CDeviceKeyButtonUI::GetClass() const {
    return "DeviceKeyButton";
}

AttrStatus CDeviceKeyButtonUI::SetAttribute(const std::string& name, const std::string& value) {
    const std::string key = Lower(name);
    if (key == "lightimage") {
        lightImage_ = value;
        RequestRepaint();
        return AttrStatus::Ok;
    }
    if (key == "keysetimage") {
        keySetImage_ = value;
        RequestRepaint();
        return AttrStatus::Ok;
    }
    if (key == "gmnametextcolor") {
        // Accepted for layout compatibility; the key shows no name text of its own.
        std::string digits = value;
        if (!digits.empty() && digits.front() == '#') {
            digits.erase(0, 1);
        }
        const bool hex = !digits.empty() && digits.size() <= 8 &&
                         std::all_of(digits.begin(), digits.end(),
                                     [](unsigned char c) { return std::isxdigit(c) != 0; });
        return hex ? AttrStatus::Ok : AttrStatus::BadValue;
    }
    return CButtonUI::SetAttribute(name, value);
}

void CDeviceKeyButtonUI::SetLight(DWORD color, DWORD alpha, bool on) {
    if (color != lightColor_ || alpha != lightAlpha_ || on != lightOn_) {
        lightPending_ = true;
    }
    lightColor_ = color;
    lightAlpha_ = alpha;
    lightOn_ = on;
}

bool CDeviceKeyButtonUI::FlushLight() {
    if (!lightPending_) {
        return false;
    }
    lightPending_ = false;
    RequestRepaint();
    return true;
}

void CDeviceKeyButtonUI::SetKeySetHidden(bool hidden) {
    if (hidden == keySetHidden_) {
        return;
    }
    keySetHidden_ = hidden;
    RequestRepaint();
}

void CDeviceKeyButtonUI::RequestRepaint() {
    ++repaintRequests_;
    Invalidate();
    if (keyOverlay_) {
        keyOverlay_->update();
    }
}

void CDeviceKeyButtonUI::PaintButtonImage(QPainter& painter, const QRect& rect) const {
    const std::string* image = &normalImage_;
    if (widget_) {
        const auto* button = qobject_cast<const QAbstractButton*>(widget_.data());
        if (!widget_->isEnabled()) {
            image = &disabledImage_;
        } else if (button != nullptr && button->isDown()) {
            image = &pushedImage_;
        } else if (widget_->underMouse()) {
            image = &hotImage_;
        }
    }
    if (image->empty()) {
        image = &normalImage_;
    }
    if (!image->empty()) {
        DrawImageString(painter, rect, *image);
    }
}

void CDeviceKeyButtonUI::PaintOverlays(QPainter& painter, const QRect& rect) const {
    if (lightOn_ && !lightImage_.empty()) {
        DrawImageString(painter, rect, lightImage_, lightColor_, lightAlpha_, true);
    }
    if (!keySetHidden_ && !keySetImage_.empty()) {
        DrawImageString(painter, rect, keySetImage_, 0, 0, false);
    }
}

void CDeviceKeyButtonUI::PaintStatusImage(QPainter& painter, const QRect& rect) const {
    PaintButtonImage(painter, rect);
    PaintOverlays(painter, rect);
}

QWidget* CDeviceKeyButtonUI::CreateWidget() {
    // The button widget draws its own state images; a child on top draws the overlays and lets
    // the mouse through to the button.
    QWidget* button = CButtonUI::CreateWidget();
    if (button == nullptr) {
        return nullptr;
    }
    auto* overlay = new PaintedWidget(
        [this, button](QPainter& painter, const QRect& rect) {
            PaintOverlays(painter, rect);
            if (lightOn_ && !lightImage_.empty()) {
                RedrawLabel(painter, button);
            }
        },
        button);
    overlay->setObjectName(QStringLiteral("keyOverlay"));
    overlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    overlay->setAttribute(Qt::WA_NoSystemBackground);
    overlay->setGeometry(button->rect());
    keyOverlay_ = overlay;
    button->installEventFilter(new EventWatcher(button, [overlay, button](QEvent::Type type) {
        if (type == QEvent::Resize || type == QEvent::Show) {
            overlay->setGeometry(button->rect());
            overlay->raise();
        }
    }));
    return button;
}

// ---------------------------------------------------------------------------------------------
// CWndUI

CWndUI::~CWndUI() {
    if (watcher_) {
        static_cast<EventWatcher*>(watcher_.data())->Orphan();
    }
    // An embedded widget goes with ours; a window of its own is left to its owner.
}

std::string CWndUI::GetClass() const {
    return "Wnd";
}

bool CWndUI::Attach(QWidget* hosted) {
    if (hosted == nullptr) {
        return false;
    }
    if (hosted_ && hosted_ != hosted) {
        Detach();
    }
    hosted_ = hosted;
    QWidget* widget = GetWidget();
    if (hosted->parentWidget() == nullptr && widget != nullptr) {
        // A free widget is embedded; a window of its own stays one and is laid over us.
        hosted->setParent(widget);
    } else if (hosted->isWindow()) {
        hosted->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    Sync();
    return true;
}

QWidget* CWndUI::Detach() {
    QWidget* hosted = hosted_;
    hosted_ = nullptr;
    if (hosted != nullptr) {
        hosted->hide();
        if (widget_ && hosted->parentWidget() == widget_) {
            hosted->setParent(nullptr);
        }
    }
    return hosted;
}

void CWndUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    Sync();
}

QWidget* CWndUI::CreateWidget() {
    QWidget* widget = CControlUI::CreateWidget();
    if (widget == nullptr) {
        return nullptr;
    }
    auto* watcher = new EventWatcher(widget, [this](QEvent::Type type) {
        if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show ||
            type == QEvent::Hide) {
            Sync();
        }
    });
    widget->installEventFilter(watcher);
    watcher_ = watcher;
    return widget;
}

void CWndUI::Sync() {
    if (!hosted_) {
        return;
    }
    if (widget_) {
        // Our rectangle in the hosted widget's own coordinate system: its parent's, or the
        // screen's for a window.
        QRect rect(widget_->mapToGlobal(QPoint(0, 0)), widget_->size());
        if (QWidget* parent = hosted_->isWindow() ? nullptr : hosted_->parentWidget()) {
            rect.moveTopLeft(parent == widget_ ? QPoint(0, 0)
                                               : parent->mapFromGlobal(rect.topLeft()));
        }
        hosted_->setGeometry(rect);
    }
    // A window of its own must not show while the control's window is hidden.
    const bool shown = IsVisible() && (!hosted_->isWindow() || (widget_ && widget_->isVisible()));
    hosted_->setVisible(shown);
}

// ---------------------------------------------------------------------------------------------
// CChartViewUI

CChartViewUI::~CChartViewUI() {
    OrphanPainted(widget_);
}

AttrStatus CChartViewUI::SetAttribute(const std::string& name, const std::string& value) {
    const AttrStatus base = CControlUI::SetAttribute(name, value);
    auto number = [&value](int& target) {
        int parsed = 0;
        if (!ParseDecimal(value, parsed)) {
            return AttrStatus::BadValue;
        }
        target = parsed;
        return AttrStatus::Ok;
    };
    AttrStatus own = AttrStatus::Ok;
    if (name == "view") {
        if (value == "pie") {
            viewType_ = 0;
        } else if (value == "histpgram") {
            viewType_ = 1;
        }
    } else if (name == "shadowimage") {
        shadowImage_ = value;
    } else if (name == "shadowimageheight") {
        own = number(shadowImageHeight_);
    } else if (name == "pillarimage") {
        pillarImage_ = value;
    } else if (name == "pillarimagewidth") {
        own = number(pillarImageWidth_);
    } else if (name == "showhtml") {
        showHtml_ = value == "true";
    } else if (name == "showtext") {
        showText_ = value == "true";
    } else if (name == "font") {
        own = number(font_);
    } else {
        return base;
    }
    if (widget_) {
        widget_->update();
    }
    return own;
}

void CChartViewUI::Paint(QPainter& painter, const QRect& rect) {
    // As a plain control: background colour, then background image.
    if ((bkColor_ >> 24) != 0) {
        painter.fillRect(rect, ArgbColor(bkColor_));
    }
    if (!bkImage_.empty()) {
        DrawImageString(painter, rect, bkImage_);
    }
    // No items are ever added, so the pie draws nothing more and the histogram only its shadow.
    if (viewType_ == 1 && !shadowImage_.empty()) {
        const int textBand = showText_ ? 25 : 0;
        const int bottom = rect.y() + rect.height();
        const QRect band(rect.x(), bottom - shadowImageHeight_ - textBand, rect.width(),
                         shadowImageHeight_);
        if (!DrawImageString(painter, band, shadowImage_)) {
            shadowImage_.clear();
        }
    }
}

QWidget* CChartViewUI::CreateWidget() {
    return new PaintedWidget(
        [this](QPainter& painter, const QRect& rect) { Paint(painter, rect); });
}

void CChartViewUI::UpdateStyle() {
    CControlUI::UpdateStyle();
    if (widget_) {
        widget_->update();
    }
}

// ---------------------------------------------------------------------------------------------

void RegisterCustomControls() {
    auto* factory = ui::CControlFactory::GetInstance();
    factory->RegistControl("CCircleProgressUI", []() -> ui::CControlUI* {
        return new (std::nothrow) CCircleProgressUI;
    });
    factory->RegistControl("CChartViewUI",
                           []() -> ui::CControlUI* { return new (std::nothrow) CChartViewUI; });
    factory->RegistControl("CWndUI", []() -> ui::CControlUI* { return new (std::nothrow) CWndUI; });
    factory->RegistControl("CDeviceKeyButtonUI", []() -> ui::CControlUI* {
        return new (std::nothrow) CDeviceKeyButtonUI;
    });
}

}  // namespace gmd::app

#include "custom_controls.moc"
