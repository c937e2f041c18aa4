#include <QCheckBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>
#include <functional>

#include "ui/controls.h"
#include "ui/paint_manager.h"

namespace gmd::ui {

namespace {

// Empty clears an image; anything else must be a readable image string.
bool ValidImage(const std::string& value) {
    ImageSpec imageSpec;
    return value.empty() || ParseImageString(value, imageSpec);
}

std::string Rule(const std::string& selector, const std::string& body) {
    return body.empty() ? std::string() : selector + " { " + body + "}\n";
}

}  // namespace

// ---- CLabelUI ------------------------------------------------------------------------------

std::string CLabelUI::GetClass() const {
    return "Label";
}

QWidget* CLabelUI::CreateWidget() {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(wordWrap_);
    widget_ = label;
    ApplyAlignment();
    return label;
}

void CLabelUI::ApplyText() {
    CControlUI::ApplyText();
    if (auto* label = qobject_cast<QLabel*>(widget_.data())) {
        label->setText(QString::fromStdString(GetShownText()));
    }
}

void CLabelUI::SetTextColor(DWORD argb) {
    CControlUI::SetTextColor(argb);
}

void CLabelUI::SetTextPadding(const RECT& padding) {
    textPadding_ = padding;
    UpdateStyle();
}

void CLabelUI::ApplyAlignment() {
    Qt::Alignment align = Qt::AlignLeft;
    if (align_ == "center") {
        align = Qt::AlignHCenter;
    } else if (align_ == "right") {
        align = Qt::AlignRight;
    }
    if (valign_ == "top") {
        align |= Qt::AlignTop;
    } else if (valign_ == "bottom") {
        align |= Qt::AlignBottom;
    } else {
        align |= Qt::AlignVCenter;
    }
    if (auto* label = qobject_cast<QLabel*>(widget_.data())) {
        label->setAlignment(align);
        label->setWordWrap(wordWrap_);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget_.data())) {
        edit->setAlignment(align);
    }
}

std::string CLabelUI::ExtraStyleSheet() const {
    std::string body;
    const RECT& p = textPadding_;
    if (p.left != 0 || p.top != 0 || p.right != 0 || p.bottom != 0) {
        body += "padding: " + std::to_string(p.top) + "px " + std::to_string(p.right) + "px " +
                std::to_string(p.bottom) + "px " + std::to_string(p.left) + "px; ";
    }
    if (fontSize_ > 0) {
        body += "font-size: " + std::to_string(fontSize_) + "px; ";
    }
    if (bold_) {
        body += "font-weight: bold; ";
    }
    return Rule(StyleSelector(), body);
}

AttrStatus CLabelUI::SetAttribute(const std::string& name, const std::string& value) {
    // Label, Text, Button, Option, CheckBox, Edit, Progress, Slider and list rows add:
    //   align="left|center|right"        valign="top|vcenter|bottom"
    //   textpadding="l,t,r,b"            space between the border and the text
    //   font="px"                        font size in pixels (0: the default)
    //   bold="true|false"                wordbreak="true|false" (wrap long text; also "multiline")
    const std::string key = Lower(name);
    const std::string v = Lower(value);
    if (key == "align") {
        if (v != "left" && v != "center" && v != "right") {
            return AttrStatus::BadValue;
        }
        align_ = v;
        ApplyAlignment();
        UpdateStyle();
        return AttrStatus::Ok;
    }
    if (key == "valign") {
        if (v != "top" && v != "vcenter" && v != "center" && v != "bottom") {
            return AttrStatus::BadValue;
        }
        valign_ = v == "center" ? "vcenter" : v;
        ApplyAlignment();
        return AttrStatus::Ok;
    }
    if (key == "textpadding") {
        RECT rect;
        if (!ParseRect(value, rect)) {
            return AttrStatus::BadValue;
        }
        SetTextPadding(rect);
        return AttrStatus::Ok;
    }
    if (key == "font") {
        int size = 0;
        if (!ParseInt(value, size) || size < 0) {
            return AttrStatus::BadValue;
        }
        fontSize_ = size;
        UpdateStyle();
        return AttrStatus::Ok;
    }
    if (key == "bold" || key == "wordbreak" || key == "multiline") {
        bool flag = false;
        if (!ParseBool(value, flag)) {
            return AttrStatus::BadValue;
        }
        if (key == "bold") {
            bold_ = flag;
            UpdateStyle();
        } else {
            wordWrap_ = flag;
            ApplyAlignment();
        }
        return AttrStatus::Ok;
    }
    return CControlUI::SetAttribute(name, value);
}

CTextUI::CTextUI() {
    wordWrap_ = true;
    valign_ = "top";
}

std::string CTextUI::GetClass() const {
    return "Text";
}

// ---- CButtonUI -----------------------------------------------------------------------------

std::string CButtonUI::GetClass() const {
    return "Button";
}

QWidget* CButtonUI::CreateWidget() {
    auto* button = new QPushButton;
    button->setAutoDefault(false);
    SetupButtonWidget(button);
    return button;
}

void CButtonUI::SetupButtonWidget(QAbstractButton* button) {
    QObject::connect(button, &QAbstractButton::clicked, SignalContext(), [this] { Activate(); });
}

void CButtonUI::ApplyText() {
    CControlUI::ApplyText();
    if (auto* button = qobject_cast<QAbstractButton*>(widget_.data())) {
        // No mnemonics: an '&' is shown as it is.
        button->setText(QString::fromStdString(GetShownText()).replace('&', QStringLiteral("&&")));
    }
}

bool CButtonUI::Activate() {
    if (!IsVisible() || !IsEnabled()) {
        return false;
    }
    Notify(notify::kClick);
    return true;
}

void CButtonUI::SetNormalImage(const std::string& image) {
    normalImage_ = image;
    UpdateStyle();
}

void CButtonUI::SetHotImage(const std::string& image) {
    hotImage_ = image;
    UpdateStyle();
}

void CButtonUI::SetPushedImage(const std::string& image) {
    pushedImage_ = image;
    UpdateStyle();
}

void CButtonUI::SetDisabledImage(const std::string& image) {
    disabledImage_ = image;
    UpdateStyle();
}

std::string CButtonUI::ExtraStyleSheet() const {
    const std::string sel = StyleSelector();
    std::string sheet = CLabelUI::ExtraStyleSheet();
    if (align_ == "left" || align_ == "right") {
        sheet += Rule(sel, "text-align: " + align_ + "; ");
    }
    // A skinned button is drawn by its colours and images alone: the native frame would
    // cover a background colour.
    const bool skinned = bkColor_ != 0 || !bkImage_.empty() || !normalImage_.empty() ||
                         !hotImage_.empty() || !pushedImage_.empty() || !disabledImage_.empty();
    if (skinned && borderSize_ == 0) {
        sheet += Rule(sel, "border: none; ");
    }
    // A status image takes the place of the background image in its state.
    sheet += Rule(sel, normalImage_.empty() ? std::string() : ImageRule(normalImage_) + " ");
    sheet += Rule(sel + ":hover", hotImage_.empty() ? std::string() : ImageRule(hotImage_) + " ");
    sheet += Rule(sel + ":pressed",
                  pushedImage_.empty() ? std::string() : ImageRule(pushedImage_) + " ");
    sheet += Rule(sel + ":disabled",
                  disabledImage_.empty() ? std::string() : ImageRule(disabledImage_) + " ");
    return sheet;
}

AttrStatus CButtonUI::SetAttribute(const std::string& name, const std::string& value) {
    // Button adds the status images (shown by state, stretched over the button):
    //   normalimage="image"   hotimage="image" (pointer over it)   pushedimage="image"
    //   disabledimage="image"
    const std::string key = Lower(name);
    if (key == "normalimage" || key == "hotimage" || key == "pushedimage" ||
        key == "disabledimage") {
        if (!ValidImage(value)) {
            return AttrStatus::BadValue;
        }
        if (key == "normalimage") {
            SetNormalImage(value);
        } else if (key == "hotimage") {
            SetHotImage(value);
        } else if (key == "pushedimage") {
            SetPushedImage(value);
        } else {
            SetDisabledImage(value);
        }
        return AttrStatus::Ok;
    }
    return CLabelUI::SetAttribute(name, value);
}

// ---- COptionUI -----------------------------------------------------------------------------

COptionUI::~COptionUI() {
    if (manager_ != nullptr && !group_.empty()) {
        manager_->RemoveOptionGroup(group_, this);
    }
}

std::string COptionUI::GetClass() const {
    return "Option";
}

QWidget* COptionUI::CreateWidget() {
    QWidget* widget = CButtonUI::CreateWidget();
    auto* button = static_cast<QAbstractButton*>(widget);
    button->setCheckable(true);
    button->setChecked(selected_);
    return widget;
}

void COptionUI::SyncChecked() {
    if (auto* button = qobject_cast<QAbstractButton*>(widget_.data());
        button != nullptr && button->isChecked() != selected_) {
        const QSignalBlocker blocker(button);
        button->setChecked(selected_);
    }
}

void COptionUI::Selected(bool selected, bool triggerEvent) {
    if (selected_ == selected) {
        SyncChecked();
        return;
    }
    selected_ = selected;
    SyncChecked();
    UpdateStyle();
    if (selected && !group_.empty() && manager_ != nullptr) {
        // The others of the group change silently.
        const std::vector<COptionUI*> members = manager_->GetOptionGroup(group_);
        for (COptionUI* other : members) {
            if (other != this && other->selected_) {
                other->Selected(false, false);
            }
        }
    }
    if (triggerEvent) {
        Notify(notify::kSelectChanged);
    }
}

bool COptionUI::Activate() {
    // Qt has toggled the button already; the model decides.
    SyncChecked();
    if (!CButtonUI::Activate()) {
        return false;
    }
    if (!group_.empty()) {
        Selected(true, true);
    } else {
        Selected(!selected_, true);
    }
    return true;
}

void COptionUI::SetGroup(const std::string& group) {
    if (group == group_) {
        return;
    }
    if (manager_ != nullptr && !group_.empty()) {
        manager_->RemoveOptionGroup(group_, this);
    }
    group_ = group;
    if (manager_ != nullptr && !group_.empty()) {
        manager_->AddOptionGroup(group_, this);
    }
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    if (manager_ != nullptr && manager_ != manager && !group_.empty()) {
        manager_->RemoveOptionGroup(group_, this);
    }
    CButtonUI::SetManager(manager, parent);
    if (manager_ != nullptr && !group_.empty()) {
        manager_->AddOptionGroup(group_, this);
    }
}

void COptionUI::SetSelectedImage(const std::string& image) {
    selectedImage_ = image;
    UpdateStyle();
}

std::string COptionUI::ExtraStyleSheet() const {
    std::string sheet = CButtonUI::ExtraStyleSheet();
    std::string body;
    if (selectedBkColor_ != 0) {
        body += "background-color: " + StyleColor(selectedBkColor_) + "; ";
    }
    if (selectedTextColor_ != 0) {
        body += "color: " + StyleColor(selectedTextColor_) + "; ";
    }
    if (!selectedImage_.empty()) {
        body += ImageRule(selectedImage_) + " ";
    }
    return sheet + Rule(StyleSelector() + ":checked", body);
}

AttrStatus COptionUI::SetAttribute(const std::string& name, const std::string& value) {
    // Option and CheckBox add:
    //   group="name"          options of one group in a window exclude each other
    //   selected="true|false" initial state (no notification)
    //   selectedimage="image" selectedbkcolor="#AARRGGBB"   selectedtextcolor="#AARRGGBB"
    const std::string key = Lower(name);
    if (key == "group") {
        SetGroup(value);
        return AttrStatus::Ok;
    }
    if (key == "selected") {
        bool flag = false;
        if (!ParseBool(value, flag)) {
            return AttrStatus::BadValue;
        }
        Selected(flag, false);
        return AttrStatus::Ok;
    }
    if (key == "selectedimage") {
        if (!ValidImage(value)) {
            return AttrStatus::BadValue;
        }
        SetSelectedImage(value);
        return AttrStatus::Ok;
    }
    if (key == "selectedbkcolor" || key == "selectedtextcolor") {
        DWORD color = 0;
        if (!ParseColor(value, color)) {
            return AttrStatus::BadValue;
        }
        (key == "selectedbkcolor" ? selectedBkColor_ : selectedTextColor_) = color;
        UpdateStyle();
        return AttrStatus::Ok;
    }
    return CButtonUI::SetAttribute(name, value);
}

std::string CCheckBoxUI::GetClass() const {
    return "CheckBox";
}

QWidget* CCheckBoxUI::CreateWidget() {
    auto* box = new QCheckBox;
    SetupButtonWidget(box);
    box->setChecked(selected_);
    return box;
}

std::string CCheckBoxUI::ExtraStyleSheet() const {
    // A check box's images are those of its indicator.
    const std::string sel = StyleSelector() + "::indicator";
    const auto image = [this](const std::string& img) {
        return img.empty() ? std::string() : ImageRule(img, "image") + " ";
    };
    std::string sheet = CLabelUI::ExtraStyleSheet();
    sheet += Rule(sel, image(normalImage_));
    sheet += Rule(sel + ":hover", image(hotImage_));
    sheet += Rule(sel + ":checked", image(selectedImage_));
    sheet += Rule(sel + ":disabled", image(disabledImage_));
    std::string body;
    if (selectedTextColor_ != 0) {
        body += "color: " + StyleColor(selectedTextColor_) + "; ";
    }
    return sheet + Rule(StyleSelector() + ":checked", body);
}

// ---- CEditUI -------------------------------------------------------------------------------

std::string CEditUI::GetClass() const {
    return "Edit";
}

namespace {

// A line edit where Return commits the text and Escape brings back the text it had when the
// user started editing (when it took the focus, or when it was last committed).
class EditWidget final : public QLineEdit {
  public:
    std::function<void()> onReturn;
    std::function<void()> onRestored;

  protected:
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        committed_ = text();
    }
    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !isReadOnly()) {
            committed_ = text();
            event->accept();
            if (onReturn) {
                onReturn();
            }
            return;
        }
        if (key == Qt::Key_Escape && !isReadOnly() && text() != committed_) {
            setText(committed_);
            event->accept();
            if (onRestored) {
                onRestored();
            }
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

  private:
    QString committed_;
};

}  // namespace

QWidget* CEditUI::CreateWidget() {
    auto* edit = new EditWidget;
    edit->onReturn = [this] { Notify(notify::kReturn); };
    // The old text is back: whoever followed the edit hears it as a change.
    edit->onRestored = [this, edit] {
        text_ = edit->text().toStdString();
        Notify(notify::kTextChanged);
    };
    edit->setMaxLength(maxChar_);
    edit->setReadOnly(readOnly_);
    edit->setEchoMode(password_ ? QLineEdit::Password : QLineEdit::Normal);
    if (numberOnly_) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    widget_ = edit;
    ApplyAlignment();
    QObject::connect(edit, &QLineEdit::textEdited, SignalContext(), [this](const QString& text) {
        text_ = text.toStdString();
        Notify(notify::kTextChanged);
    });
    return edit;
}

std::string CEditUI::GetText() const {
    if (auto* edit = qobject_cast<QLineEdit*>(widget_.data())) {
        return edit->text().toStdString();
    }
    return text_;
}

void CEditUI::SetText(const std::string& text) {
    CControlUI::SetText(QString::fromStdString(text).left(maxChar_).toStdString());
}

void CEditUI::ApplyText() {
    if (auto* edit = qobject_cast<QLineEdit*>(widget_.data())) {
        const QString text = QString::fromStdString(GetShownText());
        if (edit->text() != text) {
            edit->setText(text);
        }
    }
}

void CEditUI::SetSel(int start, int end) {
    auto* edit = qobject_cast<QLineEdit*>(GetWidget());
    if (edit == nullptr) {
        return;
    }
    const int length = static_cast<int>(edit->text().size());
    if (start < 0) {
        edit->deselect();
        return;
    }
    start = std::min(start, length);
    if (end < 0 || end > length) {
        end = length;
    }
    edit->setSelection(start, end - start);
}

void CEditUI::SetSelAll() {
    if (auto* edit = qobject_cast<QLineEdit*>(GetWidget())) {
        edit->selectAll();
    }
}

void CEditUI::SetCaretToEnd() {
    if (auto* edit = qobject_cast<QLineEdit*>(GetWidget())) {
        edit->end(false);
    }
}

void CEditUI::SetMaxChar(int max) {
    maxChar_ = max > 0 ? max : 32767;
    if (static_cast<int>(QString::fromStdString(text_).size()) > maxChar_) {
        text_ = QString::fromStdString(text_).left(maxChar_).toStdString();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget_.data())) {
        edit->setMaxLength(maxChar_);
    }
}

void CEditUI::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    if (auto* edit = qobject_cast<QLineEdit*>(widget_.data())) {
        edit->setReadOnly(readOnly);
    }
}

AttrStatus CEditUI::SetAttribute(const std::string& name, const std::string& value) {
    // Edit adds:
    //   maxchar="n"           at most n characters (default 255)
    //   readonly="true|false" numberonly="true|false" (digits only)   password="true|false"
    const std::string key = Lower(name);
    if (key == "maxchar") {
        int max = 0;
        if (!ParseInt(value, max) || max <= 0) {
            return AttrStatus::BadValue;
        }
        SetMaxChar(max);
        return AttrStatus::Ok;
    }
    if (key == "readonly" || key == "numberonly" || key == "password") {
        bool flag = false;
        if (!ParseBool(value, flag)) {
            return AttrStatus::BadValue;
        }
        if (key == "readonly") {
            SetReadOnly(flag);
            return AttrStatus::Ok;
        }
        (key == "numberonly" ? numberOnly_ : password_) = flag;
        if (auto* edit = qobject_cast<QLineEdit*>(widget_.data())) {
            edit->setEchoMode(password_ ? QLineEdit::Password : QLineEdit::Normal);
            edit->setValidator(numberOnly_ ? new QRegularExpressionValidator(
                                                 QRegularExpression(QStringLiteral("[0-9]*")), edit)
                                           : nullptr);
        }
        return AttrStatus::Ok;
    }
    return CLabelUI::SetAttribute(name, value);
}

// ---- CProgressUI ---------------------------------------------------------------------------

std::string CProgressUI::GetClass() const {
    return "Progress";
}

QWidget* CProgressUI::CreateWidget() {
    auto* bar = new QProgressBar;
    bar->setTextVisible(false);
    bar->setOrientation(horizontal_ ? Qt::Horizontal : Qt::Vertical);
    widget_ = bar;
    ApplyRange();
    return bar;
}

void CProgressUI::ApplyRange() {
    if (auto* bar = qobject_cast<QProgressBar*>(widget_.data())) {
        bar->setRange(min_, max_);
        bar->setValue(value_);
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(widget_.data())) {
        const QSignalBlocker blocker(slider);
        slider->setRange(min_, max_);
        slider->setValue(value_);
    }
    Invalidate();
}

void CProgressUI::SetMinValue(int min) {
    min_ = min;
    max_ = std::max(max_, min_);
    value_ = std::clamp(value_, min_, max_);
    ApplyRange();
}

void CProgressUI::SetMaxValue(int max) {
    max_ = max;
    min_ = std::min(min_, max_);
    value_ = std::clamp(value_, min_, max_);
    ApplyRange();
}

void CProgressUI::SetValue(int value) {
    value_ = std::clamp(value, min_, max_);
    ApplyRange();
}

void CProgressUI::SetForeColor(DWORD argb) {
    foreColor_ = argb;
    UpdateStyle();
}

std::string CProgressUI::ExtraStyleSheet() const {
    std::string body;
    if (foreColor_ != 0) {
        body += "background-color: " + StyleColor(foreColor_) + "; ";
    }
    if (!foreImage_.empty()) {
        body += ImageRule(foreImage_) + " ";
    }
    return CLabelUI::ExtraStyleSheet() + Rule(StyleSelector() + "::chunk", body);
}

AttrStatus CProgressUI::SetAttribute(const std::string& name, const std::string& value) {
    // Progress and Slider add:
    //   min="n"  max="n"  value="n"  (value is kept within min..max; give min and max first)
    //   forecolor="#AARRGGBB"  the filled part    foreimage="image" (progress only)
    //   hor="true|false"       horizontal (default) or vertical
    const std::string key = Lower(name);
    if (key == "min" || key == "max" || key == "value") {
        int number = 0;
        if (!ParseInt(value, number)) {
            return AttrStatus::BadValue;
        }
        if (key == "min") {
            SetMinValue(number);
        } else if (key == "max") {
            SetMaxValue(number);
        } else {
            SetValue(number);
        }
        return AttrStatus::Ok;
    }
    if (key == "forecolor") {
        DWORD color = 0;
        if (!ParseColor(value, color)) {
            return AttrStatus::BadValue;
        }
        SetForeColor(color);
        return AttrStatus::Ok;
    }
    if (key == "foreimage") {
        if (!ValidImage(value)) {
            return AttrStatus::BadValue;
        }
        foreImage_ = value;
        UpdateStyle();
        return AttrStatus::Ok;
    }
    if (key == "hor") {
        bool flag = false;
        if (!ParseBool(value, flag)) {
            return AttrStatus::BadValue;
        }
        horizontal_ = flag;
        if (auto* bar = qobject_cast<QProgressBar*>(widget_.data())) {
            bar->setOrientation(flag ? Qt::Horizontal : Qt::Vertical);
        } else if (auto* slider = qobject_cast<QAbstractSlider*>(widget_.data())) {
            slider->setOrientation(flag ? Qt::Horizontal : Qt::Vertical);
        }
        return AttrStatus::Ok;
    }
    return CLabelUI::SetAttribute(name, value);
}

// ---- CSliderUI -----------------------------------------------------------------------------

std::string CSliderUI::GetClass() const {
    return "Slider";
}

QWidget* CSliderUI::CreateWidget() {
    auto* slider = new QSlider(horizontal_ ? Qt::Horizontal : Qt::Vertical);
    slider->setSingleStep(step_);
    slider->setPageStep(step_);
    widget_ = slider;
    ApplyRange();
    // Programmatic changes are made with signals blocked, so these are the user's.
    QObject::connect(
        slider, &QAbstractSlider::valueChanged, SignalContext(), [this, slider](int value) {
            value_ = value;
            Notify(slider->isSliderDown() ? notify::kMoveValueChanged : notify::kValueChanged);
        });
    QObject::connect(slider, &QAbstractSlider::sliderReleased, SignalContext(),
                     [this] { Notify(notify::kValueChanged); });
    return slider;
}

void CSliderUI::SetValue(int value) {
    CProgressUI::SetValue(value);
}

void CSliderUI::SetChangeStep(int step) {
    step_ = std::max(step, 1);
    if (auto* slider = qobject_cast<QAbstractSlider*>(widget_.data())) {
        slider->setSingleStep(step_);
        slider->setPageStep(step_);
    }
}

std::string CSliderUI::ExtraStyleSheet() const {
    std::string body;
    if (foreColor_ != 0) {
        body += "background-color: " + StyleColor(foreColor_) + "; ";
    }
    return CLabelUI::ExtraStyleSheet() + Rule(StyleSelector() + "::sub-page", body);
}

AttrStatus CSliderUI::SetAttribute(const std::string& name, const std::string& value) {
    // Slider adds:
    //   step="n"              change per key press, wheel step or click beside the thumb
    if (Lower(name) == "step") {
        int step = 0;
        if (!ParseInt(value, step) || step <= 0) {
            return AttrStatus::BadValue;
        }
        SetChangeStep(step);
        return AttrStatus::Ok;
    }
    return CProgressUI::SetAttribute(name, value);
}

}  // namespace gmd::ui
