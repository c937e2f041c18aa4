#include <QHelpEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QToolTip>
#include <algorithm>
#include <array>
#include <functional>
#include <utility>

#include "mouse/preset_colours.h"
#include "ui/controls.h"
#include "ui/resource_manager.h"

namespace gmd::ui {

namespace {

// The dark theme's colours (the same as skin/res.xml and skin/theme.qss give the rest).
constexpr QRgb kFieldBackground = 0xFF0E1014;
constexpr QRgb kFieldBorder = 0xFF2B303A;
constexpr QRgb kFrame = 0xFF3A404C;
constexpr QRgb kText = 0xFFE6E9EE;
constexpr QRgb kLabel = 0xFF9BA4B0;
constexpr QRgb kAccent = 0xFFFF6B35;
constexpr QRgb kError = 0xFFE5484D;
constexpr QRgb kDisabled = 0xFF626A76;

constexpr int kInset = 7;  // room for the markers and the focus frame around the painted parts
constexpr int kGap = 8;
constexpr int kFieldHeight = 26;
constexpr int kValueBarWidth = 22;
constexpr int kSwatch = 22;  // smallest; swatches grow to fill the width
constexpr int kLargeSwatch = 28;
constexpr int kSwatchGap = 6;
// Wide enough for the area beside a column of fields; narrower palettes put the fields below.
constexpr int kSideFieldsMinWidth = 420;
constexpr int kFieldColumnWidth = 124;
constexpr int kMinFieldWidth = 80;  // room for "#RRGGBB"

struct Hsv {
    int h = 0;  // 0-359
    int s = 0;  // 0-255
    int v = 0;  // 0-255
};

QRgb RgbOf(const Hsv& hsv) {
    return QColor::fromHsv(hsv.h, hsv.s, hsv.v).rgb() | 0xFF000000u;
}

// The HSV of `rgb`, keeping what it cannot tell from `previous`: grey has no hue, black
// neither hue nor saturation, and the markers should not jump when a colour passes there.
Hsv HsvOf(QRgb rgb, const Hsv& previous) {
    const QColor colour(rgb);
    Hsv hsv{colour.hsvHue(), colour.hsvSaturation(), colour.value()};
    if (hsv.v == 0) {
        hsv.h = previous.h;
        hsv.s = previous.s;
    } else if (hsv.s == 0 || hsv.h < 0) {
        hsv.h = previous.h;
    }
    return hsv;
}

QString HexOf(QRgb rgb) {
    return QStringLiteral("#%1").arg(rgb & 0xFFFFFFu, 6, 16, QLatin1Char('0')).toUpper();
}

// "#RRGGBB" or "RRGGBB", blanks around it allowed; nothing else.
bool ParseHex(const QString& text, QRgb& rgb) {
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1Char('#'))) {
        digits.remove(0, 1);
    }
    if (digits.size() != 6) {
        return false;
    }
    const bool allHex = std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'));
    });
    if (!allHex) {
        return false;
    }
    rgb = 0xFF000000u | digits.toUInt(nullptr, 16);
    return true;
}

QString Text(const char* id) {
    return QString::fromStdString(CResourceManager::GetInstance()->GetText(id));
}

int Clamp(int value, int low, int high) {
    return std::min(std::max(value, low), high);
}

// Maps a position inside [0, span - 1] onto [0, top] and back, rounding to the nearest.
int ScaleTo(int pos, int span, int top) {
    if (span <= 1) {
        return 0;
    }
    return (Clamp(pos, 0, span - 1) * top + (span - 1) / 2) / (span - 1);
}
int ScaleFrom(int value, int top, int span) {
    if (top <= 0) {
        return 0;
    }
    return (Clamp(value, 0, top) * (span - 1) + top / 2) / top;
}

// The steps of the arrow keys: coarse, and fine with Shift.
int ArrowStep(const QKeyEvent* event) {
    return (event->modifiers() & Qt::ShiftModifier) != 0 ? 1 : 5;
}

// The swatch the arrow keys are on; which part has the focus is the keyboard focus frame's to
// show.
void PaintFocusRing(QPainter& painter, const QRectF& around) {
    painter.setPen(QPen(QColor(kAccent), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(around.adjusted(-2, -2, 2, 2), 6, 6);
}

// A ring that shows on light and dark colours alike.
void PaintMarker(QPainter& painter, QPointF centre, qreal radius) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 0, 0, 160), 4));
    painter.drawEllipse(centre, radius, radius);
    painter.setPen(QPen(Qt::white, 2));
    painter.drawEllipse(centre, radius, radius);
}

// Hue from left to right, saturation from full at the top to none at the bottom, at full value.
class HueSatArea final : public QWidget {
  public:
    std::function<void(int hue, int saturation)> onPick;

    HueSatArea() {
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::CrossCursor);
        setObjectName(QStringLiteral("palette_area"));
    }

    void SetHueSat(int hue, int saturation) {
        hue_ = hue;
        saturation_ = saturation;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRect area = Content();
        if (area.width() <= 1 || area.height() <= 1) {
            return;
        }
        if (!isEnabled()) {
            painter.setOpacity(0.4);
        }
        if (image_.size() != area.size()) {
            image_ = QImage(area.size(), QImage::Format_RGB32);
            for (int y = 0; y < area.height(); ++y) {
                const int s = 255 - ScaleTo(y, area.height(), 255);
                auto* line = reinterpret_cast<QRgb*>(image_.scanLine(y));
                for (int x = 0; x < area.width(); ++x) {
                    line[x] = RgbOf({ScaleTo(x, area.width(), 359), s, 255});
                }
            }
        }
        QPainterPath clip;
        clip.addRoundedRect(QRectF(area), 5, 5);
        painter.setClipPath(clip);
        painter.drawImage(area.topLeft(), image_);
        painter.setClipping(false);
        painter.setPen(QPen(QColor(kFrame), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        const QPointF marker(area.left() + ScaleFrom(hue_, 359, area.width()),
                             area.top() + ScaleFrom(255 - saturation_, 255, area.height()));
        PaintMarker(painter, marker, 6);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            PickAt(event->position().toPoint());
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if ((event->buttons() & Qt::LeftButton) != 0) {
            PickAt(event->position().toPoint());
        }
    }

    void keyPressEvent(QKeyEvent* event) override {
        const int step = ArrowStep(event);
        int hue = hue_;
        int saturation = saturation_;
        switch (event->key()) {
            case Qt::Key_Left:
                hue -= step;
                break;
            case Qt::Key_Right:
                hue += step;
                break;
            case Qt::Key_Up:
                saturation += step;
                break;
            case Qt::Key_Down:
                saturation -= step;
                break;
            default:
                QWidget::keyPressEvent(event);
                return;
        }
        Pick(Clamp(hue, 0, 359), Clamp(saturation, 0, 255));
    }

  private:
    QRect Content() const { return rect().adjusted(kInset, kInset, -kInset, -kInset); }

    void PickAt(QPoint point) {
        const QRect area = Content();
        Pick(ScaleTo(point.x() - area.left(), area.width(), 359),
             255 - ScaleTo(point.y() - area.top(), area.height(), 255));
    }

    void Pick(int hue, int saturation) {
        if (onPick) {
            onPick(hue, saturation);
        }
    }

    int hue_ = 0;
    int saturation_ = 0;
    QImage image_;  // the colour field of the current size
};

// Value from full at the top to black at the bottom, for the chosen hue and saturation.
class ValueBar final : public QWidget {
  public:
    std::function<void(int value)> onPick;

    ValueBar() {
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setObjectName(QStringLiteral("palette_value"));
    }

    void SetHsv(const Hsv& hsv) {
        hsv_ = hsv;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRect bar = Content();
        if (bar.height() <= 1) {
            return;
        }
        if (!isEnabled()) {
            painter.setOpacity(0.4);
        }
        QLinearGradient gradient(bar.topLeft(), bar.bottomLeft());
        gradient.setColorAt(0, QColor(RgbOf({hsv_.h, hsv_.s, 255})));
        gradient.setColorAt(1, Qt::black);
        painter.setPen(QPen(QColor(kFrame), 1));
        painter.setBrush(gradient);
        painter.drawRoundedRect(QRectF(bar).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        const qreal y = bar.top() + ScaleFrom(255 - hsv_.v, 255, bar.height());
        const QRectF handle(bar.left() - 1, y - 3, bar.width() + 2, 6);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0, 0, 0, 160), 3));
        painter.drawRoundedRect(handle, 3, 3);
        painter.setPen(QPen(Qt::white, 1.5));
        painter.drawRoundedRect(handle, 3, 3);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            PickAt(event->position().toPoint().y());
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if ((event->buttons() & Qt::LeftButton) != 0) {
            PickAt(event->position().toPoint().y());
        }
    }

    void keyPressEvent(QKeyEvent* event) override {
        int value = hsv_.v;
        switch (event->key()) {
            case Qt::Key_Up:
                value += ArrowStep(event);
                break;
            case Qt::Key_Down:
                value -= ArrowStep(event);
                break;
            case Qt::Key_PageUp:
                value += 32;
                break;
            case Qt::Key_PageDown:
                value -= 32;
                break;
            case Qt::Key_Home:
                value = 255;
                break;
            case Qt::Key_End:
                value = 0;
                break;
            default:
                QWidget::keyPressEvent(event);
                return;
        }
        Pick(Clamp(value, 0, 255));
    }

  private:
    QRect Content() const { return rect().adjusted(kInset, kInset, -kInset, -kInset); }

    void PickAt(int y) {
        const QRect bar = Content();
        Pick(255 - ScaleTo(y - bar.top(), bar.height(), 255));
    }

    void Pick(int value) {
        if (onPick) {
            onPick(value);
        }
    }

    Hsv hsv_;
};

// The preset colours as a grid of swatches: one tab stop, arrows move between swatches, Space
// or Enter takes one.
class PresetGrid final : public QWidget {
  public:
    std::function<void(QRgb)> onPick;

    PresetGrid() {
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(true);
        setObjectName(QStringLiteral("palette_presets"));
    }

    static constexpr int kCount = static_cast<int>(kPresetColours.size());

    // Whole rows of swatches: as many columns as fit at the smallest size, out of the divisors
    // of the count; the swatches then grow into the width, up to the largest size.
    static int ColumnsFor(int width) {
        int columns = 1;
        for (int candidate = 1; candidate <= kCount; ++candidate) {
            if (kCount % candidate == 0 &&
                2 * kInset + candidate * kSwatch + (candidate - 1) * kSwatchGap <= width) {
                columns = candidate;
            }
        }
        return columns;
    }
    static int SwatchFor(int width) {
        const int columns = ColumnsFor(width);
        return Clamp((width - 2 * kInset - (columns - 1) * kSwatchGap) / columns, 12, kLargeSwatch);
    }
    static int HeightFor(int width) {
        const int rows = (kCount + ColumnsFor(width) - 1) / ColumnsFor(width);
        return 2 * kInset + rows * SwatchFor(width) + (rows - 1) * kSwatchGap;
    }

    QRect CellRect(int index) const {
        const int columns = ColumnsFor(width());
        const int size = SwatchFor(width());
        return {kInset + (index % columns) * (size + kSwatchGap),
                kInset + (index / columns) * (size + kSwatchGap), size, size};
    }

    void SetCurrent(QRgb rgb) {
        current_ = rgb;
        update();
    }
    void SetTipText(const QString& text) { tipText_ = text; }

  protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const int index = CellAt(help->pos());
            if (index < 0) {
                QToolTip::hideText();
                event->ignore();
            } else {
                QToolTip::showText(help->globalPos(), TipFor(index), this, CellRect(index));
            }
            return true;
        }
        return QWidget::event(event);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (!isEnabled()) {
            painter.setOpacity(0.4);
        }
        for (int index = 0; index < kCount; ++index) {
            const QRectF cell = QRectF(CellRect(index)).adjusted(0.5, 0.5, -0.5, -0.5);
            const QRgb colour = kPresetColours[static_cast<size_t>(index)];
            painter.setBrush(QColor(colour));
            painter.setPen(QPen(QColor(index == hover_ ? kLabel : kFrame), 1));
            painter.drawRoundedRect(cell, 4, 4);
            if ((colour & 0xFFFFFFu) == (current_ & 0xFFFFFFu)) {
                painter.setBrush(Qt::NoBrush);
                painter.setPen(QPen(QColor(0, 0, 0, 160), 3));
                painter.drawRoundedRect(cell.adjusted(3, 3, -3, -3), 2, 2);
                painter.setPen(QPen(Qt::white, 1.5));
                painter.drawRoundedRect(cell.adjusted(3, 3, -3, -3), 2, 2);
            }
            if (hasFocus() && index == focus_) {
                PaintFocusRing(painter, cell);
            }
        }
    }

    // The keyboard starts at the chosen colour's swatch when there is one.
    void focusInEvent(QFocusEvent* event) override {
        for (int index = 0; index < kCount; ++index) {
            if ((kPresetColours[static_cast<size_t>(index)] & 0xFFFFFFu) ==
                (current_ & 0xFFFFFFu)) {
                focus_ = index;
                break;
            }
        }
        QWidget::focusInEvent(event);
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        const int index = CellAt(event->position().toPoint());
        if (index != hover_) {
            hover_ = index;
            setCursor(index < 0 ? Qt::ArrowCursor : Qt::PointingHandCursor);
            update();
        }
    }
    void leaveEvent(QEvent*) override {
        hover_ = -1;
        update();
    }

    void mousePressEvent(QMouseEvent* event) override {
        const int index = CellAt(event->position().toPoint());
        if (event->button() == Qt::LeftButton && index >= 0) {
            focus_ = index;
            Pick(index);
        }
    }

    void keyPressEvent(QKeyEvent* event) override {
        const int columns = ColumnsFor(width());
        int index = focus_;
        switch (event->key()) {
            case Qt::Key_Left:
                --index;
                break;
            case Qt::Key_Right:
                ++index;
                break;
            case Qt::Key_Up:
                index -= columns;
                break;
            case Qt::Key_Down:
                index += columns;
                break;
            case Qt::Key_Home:
                index = 0;
                break;
            case Qt::Key_End:
                index = kCount - 1;
                break;
            case Qt::Key_Space:
            case Qt::Key_Return:
            case Qt::Key_Enter:
                Pick(focus_);
                return;
            default:
                QWidget::keyPressEvent(event);
                return;
        }
        if (index >= 0 && index < kCount) {
            focus_ = index;
            update();
        }
    }

  private:
    int CellAt(QPoint point) const {
        for (int index = 0; index < kCount; ++index) {
            if (CellRect(index).contains(point)) {
                return index;
            }
        }
        return -1;
    }

    QString TipFor(int index) const {
        return tipText_ + QStringLiteral(" ") + HexOf(kPresetColours[static_cast<size_t>(index)]);
    }

    void Pick(int index) {
        update();
        if (onPick) {
            onPick(kPresetColours[static_cast<size_t>(index)]);
        }
    }

    QRgb current_ = 0;
    QString tipText_;
    int focus_ = 0;
    int hover_ = -1;
};

}  // namespace

// The picker as a whole: keeps the colour (with the hue and saturation that RGB alone loses)
// and shows it in every part. Programmatic changes are silent; onUserPick hears the user's.
class CColorPaletteUI::PaletteWidget final : public QWidget {
  public:
    std::function<void(QRgb)> onUserPick;

    PaletteWidget() {
        setAttribute(Qt::WA_StyledBackground);
        area_ = new HueSatArea;
        area_->setParent(this);
        bar_ = new ValueBar;
        bar_->setParent(this);
        hexLabel_ = new QLabel(this);
        hex_ = new QLineEdit(this);
        hex_->setObjectName(QStringLiteral("palette_hex"));
        hex_->setMaxLength(16);
        const std::array<const char*, 3> channelNames = {"palette_red", "palette_green",
                                                         "palette_blue"};
        for (size_t i = 0; i < channels_.size(); ++i) {
            channelLabels_[i] = new QLabel(this);
            auto* spin = new QSpinBox(this);
            spin->setObjectName(QString::fromLatin1(channelNames[i]));
            spin->setRange(0, 255);
            spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
            spin->setAlignment(Qt::AlignCenter);
            // Typed numbers apply on Enter or on leaving the field, not digit by digit.
            spin->setKeyboardTracking(false);
            channels_[i] = spin;
            channelLabels_[i]->setBuddy(spin);
        }
        hexLabel_->setBuddy(hex_);
        presets_ = new PresetGrid;
        presets_->setParent(this);
        setTabOrder(area_, bar_);
        setTabOrder(bar_, hex_);
        setTabOrder(hex_, channels_[0]);
        setTabOrder(channels_[0], channels_[1]);
        setTabOrder(channels_[1], channels_[2]);
        setTabOrder(channels_[2], presets_);

        area_->onPick = [this](int hue, int saturation) {
            // Black has no hue: a pick in the area would change nothing the user can see.
            UserPick(Hsv{hue, saturation, hsv_.v == 0 ? 255 : hsv_.v});
        };
        bar_->onPick = [this](int value) { UserPick(Hsv{hsv_.h, hsv_.s, value}); };
        presets_->onPick = [this](QRgb rgb) { UserPickRgb(rgb); };
        QObject::connect(hex_, &QLineEdit::returnPressed, this, [this] { ApplyHex(true); });
        QObject::connect(hex_, &QLineEdit::editingFinished, this, [this] {
            if (!hex_->hasFocus()) {
                ApplyHex(false);
            }
        });
        QObject::connect(hex_, &QLineEdit::textEdited, this, [this] { ShowHexRefused(false); });
        for (QSpinBox* spin : channels_) {
            QObject::connect(spin, &QSpinBox::valueChanged, this, [this](int) {
                const QRgb rgb =
                    qRgb(channels_[0]->value(), channels_[1]->value(), channels_[2]->value());
                UserPickRgb(rgb);
            });
        }
        Sync();
    }

    void SetColour(QRgb rgb) {
        rgb |= 0xFF000000u;
        if (rgb == rgb_) {
            return;
        }
        hsv_ = HsvOf(rgb, hsv_);
        rgb_ = rgb;
        Sync();
    }

    void SetParts(bool hexField, bool rgbFields, bool presets) {
        hexShown_ = hexField;
        rgbShown_ = rgbFields;
        presetsShown_ = presets;
        hexLabel_->setVisible(hexField);
        hex_->setVisible(hexField);
        for (size_t i = 0; i < channels_.size(); ++i) {
            channelLabels_[i]->setVisible(rgbFields);
            channels_[i]->setVisible(rgbFields);
        }
        presets_->setVisible(presets);
        Arrange();
    }

    void SetTexts() {
        hexLabel_->setText(Text("palette_hex"));
        hexTip_ = Text("palette_hex_tip");
        hexRefused_ = Text("palette_hex_refused");
        hex_->setToolTip(hex_->property("refused").toBool() ? hexRefused_ : hexTip_);
        hex_->setAccessibleName(Text("palette_hex"));
        area_->setToolTip(Text("palette_area_tip"));
        area_->setAccessibleName(Text("palette_area_tip"));
        bar_->setToolTip(Text("palette_value_tip"));
        bar_->setAccessibleName(Text("palette_value_tip"));
        const std::array<const char*, 3> labels = {"palette_r", "palette_g", "palette_b"};
        const std::array<const char*, 3> tips = {"palette_r_tip", "palette_g_tip", "palette_b_tip"};
        for (size_t i = 0; i < channels_.size(); ++i) {
            channelLabels_[i]->setText(Text(labels[i]));
            channels_[i]->setToolTip(Text(tips[i]));
            channels_[i]->setAccessibleName(Text(tips[i]));
        }
        presets_->SetTipText(Text("palette_preset_tip"));
        presets_->setAccessibleName(Text("palette_presets"));
        Arrange();
    }

    // Used where a layout gives no size: the dialog's shape.
    QSize sizeHint() const override { return {528, 300}; }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        Arrange();
    }

  private:
    // The area and the value bar pick in HSV; fields and presets give RGB, which is kept as
    // given (the way through HSV would round it).
    void UserPick(const Hsv& hsv) { Take(hsv, RgbOf(hsv)); }
    void UserPickRgb(QRgb rgb) { Take(HsvOf(rgb, hsv_), rgb | 0xFF000000u); }

    void Take(const Hsv& hsv, QRgb rgb) {
        const QRgb before = rgb_;
        hsv_ = hsv;
        rgb_ = rgb;
        Sync();
        if (rgb_ != before && onUserPick) {
            onUserPick(rgb_);
        }
    }

    // Return applies a good colour and refuses a bad one where the user can see it; leaving the
    // field applies a good one and puts the shown colour back over a bad one.
    void ApplyHex(bool fromReturn) {
        QRgb rgb = 0;
        if (ParseHex(hex_->text(), rgb)) {
            ShowHexRefused(false);
            UserPickRgb(rgb);
            hex_->setText(HexOf(rgb_));
            return;
        }
        if (fromReturn) {
            ShowHexRefused(true);
            hex_->selectAll();
            QToolTip::showText(hex_->mapToGlobal(QPoint(0, hex_->height())), hexRefused_, hex_);
        } else {
            ShowHexRefused(false);
            hex_->setText(HexOf(rgb_));
        }
    }

    void ShowHexRefused(bool refused) {
        if (hex_->property("refused").toBool() == refused) {
            return;
        }
        hex_->setProperty("refused", refused);
        hex_->setToolTip(refused ? hexRefused_ : hexTip_);
        hex_->style()->unpolish(hex_);
        hex_->style()->polish(hex_);
    }

    // Shows the colour in every part; no part reports it back.
    void Sync() {
        area_->SetHueSat(hsv_.h, hsv_.s);
        bar_->SetHsv(hsv_);
        if (!hex_->hasFocus() || !hex_->property("refused").toBool()) {
            ShowHexRefused(false);
            hex_->setText(HexOf(rgb_));
        }
        const std::array<int, 3> values = {qRed(rgb_), qGreen(rgb_), qBlue(rgb_)};
        for (size_t i = 0; i < channels_.size(); ++i) {
            const QSignalBlocker blocker(channels_[i]);
            channels_[i]->setValue(values[i]);
        }
        presets_->SetCurrent(rgb_);
    }

    // Area and value bar take what the fields and presets leave. Fields stand in a column to
    // the right when the palette is wide, else in rows below the area.
    void Arrange() {
        QRect free = rect();
        if (presetsShown_) {
            const int height = PresetGrid::HeightFor(free.width());
            presets_->setGeometry(free.left(), free.bottom() - height + 1, free.width(), height);
            free.setBottom(free.bottom() - height - kGap + kInset);
        }
        const bool anyField = hexShown_ || rgbShown_;
        const bool side = anyField && free.width() >= kSideFieldsMinWidth;
        int labelWidth = 0;
        for (QLabel* label : {hexLabel_, channelLabels_[0], channelLabels_[1], channelLabels_[2]}) {
            labelWidth = std::max(labelWidth, label->sizeHint().width());
        }
        if (side) {
            // Long labels give way before the fields do.
            labelWidth = std::min(labelWidth, kFieldColumnWidth - kMinFieldWidth - 6);
            const int left = free.right() - kFieldColumnWidth + 1;
            int y = free.top() + kInset;
            const auto row = [&](QLabel* label, QWidget* field) {
                label->setGeometry(left, y, labelWidth, kFieldHeight);
                field->setGeometry(left + labelWidth + 6, y, kFieldColumnWidth - labelWidth - 6,
                                   kFieldHeight);
                y += kFieldHeight + kGap;
            };
            if (hexShown_) {
                row(hexLabel_, hex_);
            }
            if (rgbShown_) {
                for (size_t i = 0; i < channels_.size(); ++i) {
                    row(channelLabels_[i], channels_[i]);
                }
            }
            free.setRight(left - kGap - 1);
        } else if (anyField) {
            // The hex field, then the three channels: on one row where they fit, else the
            // channels on a row of their own under it.
            constexpr int kHexWidth = 84;
            constexpr int kChannelWidth = 44;
            constexpr int kMinChannelWidth = 36;
            const int room = free.width() - 2 * kInset;
            const int hexWidth = hexShown_ ? hexLabel_->sizeHint().width() + 6 + kHexWidth : 0;
            // Long labels give way before the fields do.
            std::array<int, 3> labelWidths{};
            const int labelCap = std::max(8, (room - 3 * (4 + kMinChannelWidth) - 2 * kGap) / 3);
            int labelsWidth = 0;
            for (size_t i = 0; i < labelWidths.size(); ++i) {
                labelWidths[i] = std::min(channelLabels_[i]->sizeHint().width(), labelCap);
                labelsWidth += labelWidths[i];
            }
            const int channelWidth =
                Clamp((room - labelsWidth - 3 * 4 - 2 * kGap) / 3, kMinChannelWidth, kChannelWidth);
            const int rgbWidth = rgbShown_ ? labelsWidth + 3 * (4 + channelWidth) + 2 * kGap : 0;
            const bool oneRow = !hexShown_ || !rgbShown_ || hexWidth + 2 * kGap + rgbWidth <= room;
            const int rows = oneRow ? 1 : 2;
            int y = free.bottom() + 1 - kInset - rows * kFieldHeight - (rows - 1) * kGap;
            free.setBottom(y - kGap + kInset - 1);
            int x = free.left() + kInset;
            if (hexShown_) {
                const int hexLabelWidth = hexLabel_->sizeHint().width();
                hexLabel_->setGeometry(x, y, hexLabelWidth, kFieldHeight);
                hex_->setGeometry(x + hexLabelWidth + 6, y, kHexWidth, kFieldHeight);
                if (oneRow) {
                    x += hexWidth + 2 * kGap;
                } else {
                    y += kFieldHeight + kGap;
                }
            }
            if (rgbShown_) {
                for (size_t i = 0; i < channels_.size(); ++i) {
                    channelLabels_[i]->setGeometry(x, y, labelWidths[i], kFieldHeight);
                    x += labelWidths[i] + 4;
                    channels_[i]->setGeometry(x, y, channelWidth, kFieldHeight);
                    x += channelWidth + kGap;
                }
            }
        }
        bar_->setGeometry(free.right() - kValueBarWidth - 2 * kInset + 1, free.top(),
                          kValueBarWidth + 2 * kInset, free.height());
        area_->setGeometry(free.left(), free.top(),
                           std::max(0, free.width() - kValueBarWidth - 2 * kInset - kGap + kInset),
                           free.height());
    }

    HueSatArea* area_ = nullptr;
    ValueBar* bar_ = nullptr;
    QLabel* hexLabel_ = nullptr;
    QLineEdit* hex_ = nullptr;
    std::array<QLabel*, 3> channelLabels_{};
    std::array<QSpinBox*, 3> channels_{};
    PresetGrid* presets_ = nullptr;
    QString hexTip_;
    QString hexRefused_;
    Hsv hsv_;
    QRgb rgb_ = 0xFF000000u;
    bool hexShown_ = true;
    bool rgbShown_ = true;
    bool presetsShown_ = true;
};

std::string CColorPaletteUI::GetClass() const {
    return "ColorPalette";
}

CColorPaletteUI::PaletteWidget* CColorPaletteUI::Palette() const {
    return static_cast<PaletteWidget*>(widget_.data());
}

QWidget* CColorPaletteUI::CreateWidget() {
    auto* palette = new PaletteWidget;
    palette->SetColour(selectColor_);
    palette->SetParts(hexField_, rgbFields_, presets_);
    palette->SetTexts();
    const QPointer<QObject> context = SignalContext();
    palette->onUserPick = [this, context](QRgb rgb) {
        if (context.isNull()) {
            return;
        }
        selectColor_ = 0xFF000000u | rgb;
        Notify(notify::kColorChanged);
    };
    return palette;
}

void CColorPaletteUI::SetSelectColor(DWORD argb) {
    // The picker has no alpha channel: colours are opaque.
    selectColor_ = 0xFF000000u | argb;
    if (PaletteWidget* palette = Palette()) {
        palette->SetColour(selectColor_);
    }
}

void CColorPaletteUI::ReloadText() {
    CControlUI::ReloadText();
    if (PaletteWidget* palette = Palette()) {
        palette->SetTexts();
    }
}

std::string CColorPaletteUI::ExtraStyleSheet() const {
    const std::string sel = StyleSelector();
    const auto colour = [](QRgb rgb) { return StyleColor(rgb); };
    const std::string fields = sel + " QLineEdit, " + sel + " QSpinBox";
    return fields + " { background-color: " + colour(kFieldBackground) +
           "; color: " + colour(kText) + "; border: 1px solid " + colour(kFieldBorder) +
           "; border-radius: 5px; padding: 0px 4px; selection-background-color: " +
           colour(kAccent) + "; selection-color: #FFFFFF; }\n" + sel + " QLineEdit:focus, " + sel +
           " QSpinBox:focus { border: 1px solid " + colour(kAccent) + "; }\n" + sel +
           " QLineEdit[refused=\"true\"] { border: 2px solid " + colour(kError) + "; }\n" + sel +
           " QLineEdit:disabled, " + sel + " QSpinBox:disabled { color: " + colour(kDisabled) +
           "; }\n" + sel + " QLabel { color: " + colour(kLabel) + "; background: transparent; }\n";
}

AttrStatus CColorPaletteUI::SetAttribute(const std::string& name, const std::string& value) {
    // ColorPalette adds:
    //   selectcolor="#RRGGBB"  the colour shown first (the picker has no alpha: opaque)
    //   hexfield, rgbfields, presets="true|false"  its "#RRGGBB" field, its red, green and
    //       blue fields and its preset swatches (all shown by default); a layout that has its
    //       own fields or presets beside the palette leaves these out
    const std::string key = Lower(name);
    if (key == "selectcolor") {
        DWORD color = 0;
        if (!ParseColor(value, color)) {
            return AttrStatus::BadValue;
        }
        SetSelectColor(color);
        return AttrStatus::Ok;
    }
    bool* part = key == "hexfield"    ? &hexField_
                 : key == "rgbfields" ? &rgbFields_
                 : key == "presets"   ? &presets_
                                      : nullptr;
    if (part != nullptr) {
        bool shown = true;
        if (!ParseBool(value, shown)) {
            return AttrStatus::BadValue;
        }
        *part = shown;
        if (PaletteWidget* palette = Palette()) {
            palette->SetParts(hexField_, rgbFields_, presets_);
        }
        return AttrStatus::Ok;
    }
    return CControlUI::SetAttribute(name, value);
}

}  // namespace gmd::ui
