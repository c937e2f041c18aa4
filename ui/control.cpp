#include "ui/control.h"

#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QFocusEvent>
#include <QHash>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>
#include <cstdio>
#include <map>
#include <string_view>

#include "ui/controls.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace gmd::ui {

namespace {

// Dynamic properties on control widgets.
constexpr const char* kControlProperty = "gmdControl";  // the CControlUI*, as quintptr
constexpr const char* kSavedFocusPolicy = "gmdSavedFocusPolicy";

// The colour-changer overlay: a translucent rectangle over the control (LED previews).
class ChangerOverlay : public QWidget {
  public:
    explicit ChangerOverlay(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }
    void SetColor(const QColor& color) {
        if (color != color_) {
            color_ = color;
            update();
        }
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (color_.alpha() == 0) {
            return;
        }
        QPainter painter(this);
        painter.fillRect(rect(), color_);
    }

  private:
    QColor color_{0, 0, 0, 0};
};

bool IsStyleIdentifier(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) {
            return false;
        }
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsKeyChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// A part of an image is drawn through a cropped copy, since style sheets take whole files.
std::string CroppedImage(const std::string& path, const RECT& source) {
    static std::map<std::string, std::string> cache;
    static QTemporaryDir dir;
    const std::string key = path + "|" + std::to_string(source.left) + "," +
                            std::to_string(source.top) + "," + std::to_string(source.right) + "," +
                            std::to_string(source.bottom);
    if (const auto it = cache.find(key); it != cache.end()) {
        return it->second;
    }
    const QImage image(QString::fromStdString(path));
    if (image.isNull() || !dir.isValid()) {
        return path;
    }
    const QRect area =
        QRect(source.left, source.top, source.Width(), source.Height()).intersected(image.rect());
    if (area.isEmpty()) {
        return path;
    }
    const QString file = dir.filePath(QStringLiteral("part%1.png").arg(cache.size()));
    if (!image.copy(area).save(file)) {
        return path;
    }
    return cache[key] = file.toStdString();
}

// Focus policies are taken away from a control's own widgets, not from child controls.
void SetKeyboardRecursive(QWidget* widget, bool on, bool isRoot) {
    if (!isRoot && widget->property(kControlProperty).isValid()) {
        return;
    }
    if (on) {
        const QVariant saved = widget->property(kSavedFocusPolicy);
        if (saved.isValid()) {
            widget->setFocusPolicy(static_cast<Qt::FocusPolicy>(saved.toInt()));
            widget->setProperty(kSavedFocusPolicy, QVariant());
        }
    } else {
        if (!widget->property(kSavedFocusPolicy).isValid()) {
            widget->setProperty(kSavedFocusPolicy, static_cast<int>(widget->focusPolicy()));
        }
        widget->setFocusPolicy(Qt::NoFocus);
        if (widget->hasFocus()) {
            widget->clearFocus();
        }
    }
    for (QObject* child : widget->children()) {
        if (auto* childWidget = qobject_cast<QWidget*>(child);
            childWidget != nullptr && !childWidget->isWindow()) {
            SetKeyboardRecursive(childWidget, on, false);
        }
    }
}

}  // namespace

// Raises the generic notifications from widget events and keeps the overlay on top.
class CControlUI::EventHook : public QObject {
  public:
    explicit EventHook(CControlUI* owner) : owner_(owner) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Enter:
                // Containers stay quiet: the pointer crosses them all the time.
                if (owner_->AsContainer() == nullptr) {
                    owner_->Notify(notify::kMouseEnter);
                }
                break;
            case QEvent::Leave:
                if (owner_->AsContainer() == nullptr) {
                    owner_->Notify(notify::kMouseLeave);
                }
                break;
            case QEvent::FocusIn:
                if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
                    owner_->Notify(notify::kSetFocus);
                }
                break;
            case QEvent::FocusOut:
                if (static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
                    owner_->Notify(notify::kKillFocus);
                }
                break;
            case QEvent::Resize:
                if (watched == owner_->widget_ && owner_->overlay_) {
                    owner_->overlay_->setGeometry(owner_->widget_->rect());
                }
                break;
            case QEvent::ChildAdded:
                if (watched == owner_->widget_ && owner_->overlay_) {
                    // The new child is stacked on top once it is set up; lift the overlay after.
                    QTimer::singleShot(0, owner_->overlay_.data(), [overlay = owner_->overlay_] {
                        if (overlay) {
                            overlay->raise();
                        }
                    });
                }
                break;
            default:
                break;
        }
        return false;
    }

  private:
    CControlUI* owner_;
};

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    ReleaseSignalContext();
    if (manager_ != nullptr) {
        manager_->UnregisterControl(this);
    }
    delete widget_.data();
}

std::string CControlUI::GetClass() const {
    return "Control";
}

QObject* CControlUI::SignalContext() {
    if (!hook_) {
        hook_ = std::make_unique<EventHook>(this);
    }
    return hook_.get();
}

void CControlUI::ReleaseSignalContext() {
    hook_.reset();
}

QWidget* CControlUI::GetWidget() {
    if (widget_) {
        return widget_;
    }
    SignalContext();
    QWidget* widget = CreateWidget();
    widget_ = widget;
    widget->setProperty(kControlProperty,
                        QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(this)));
    widget->setObjectName(QString::fromStdString(StyleSelector().substr(1)));
    InstallEventHooks(widget);
    ApplyFixedSize();
    if (!toolTip_.empty()) {
        widget->setToolTip(QString::fromStdString(toolTip_));
    }
    ApplyText();
    UpdateStyle();
    widget->setEnabled(enabled_);
    ApplyVisibility();
    ApplyInputFlags();
    ApplyChanger();
    return widget;
}

CControlUI* CControlUI::FromWidget(QWidget* widget) {
    for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        const QVariant value = w->property(kControlProperty);
        if (value.isValid()) {
            return reinterpret_cast<CControlUI*>(value.value<quintptr>());
        }
    }
    return nullptr;
}

QWidget* CControlUI::CreateWidget() {
    auto* widget = new QWidget;
    widget->setAttribute(Qt::WA_StyledBackground);
    return widget;
}

void CControlUI::InstallEventHooks(QWidget* widget) {
    if (widget != nullptr) {
        widget->installEventFilter(SignalContext());
    }
}

std::string CControlUI::StyleSelector() const {
    if (IsStyleIdentifier(name_)) {
        return "#" + name_;
    }
    // Unnamed (or oddly named) controls get a name unique to this object.
    char buffer[40];
    std::snprintf(buffer, sizeof(buffer), "#gmd_ctl_%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(this)));
    return buffer;
}

void CControlUI::SetName(const std::string& name) {
    if (name == name_) {
        return;
    }
    if (manager_ != nullptr) {
        manager_->UnregisterControl(this);
    }
    name_ = name;
    if (manager_ != nullptr) {
        manager_->RegisterName(this);
    }
    if (widget_) {
        widget_->setObjectName(QString::fromStdString(StyleSelector().substr(1)));
        UpdateStyle();
    }
}

std::string CControlUI::GetText() const {
    return text_;
}

void CControlUI::SetText(const std::string& text) {
    text_ = text;
    ApplyText();
    NotifyParentChanged();
}

void CControlUI::SetResourceText(bool on) {
    resourceText_ = on;
    ApplyText();
    NotifyParentChanged();
}

std::string CControlUI::GetShownText() const {
    if (!resourceText_) {
        return text_;
    }
    return CResourceManager::GetInstance()->GetText(text_);
}

void CControlUI::ReloadText() {
    if (resourceText_) {
        ApplyText();
        NotifyParentChanged();
    }
    if (!toolTipTextId_.empty()) {
        SetToolTipTextId(toolTipTextId_);
    }
}

void CControlUI::ApplyText() {
    if (widget_) {
        widget_->setAccessibleName(QString::fromStdString(GetShownText()));
    }
}

void CControlUI::SetToolTipTextId(const std::string& id) {
    std::string kept = id;  // may be our own member, which SetToolTip clears
    SetToolTip(kept.empty() ? std::string() : CResourceManager::GetInstance()->GetText(kept));
    toolTipTextId_ = std::move(kept);
}

void CControlUI::SetToolTip(const std::string& text) {
    toolTipTextId_.clear();
    toolTip_ = text;
    if (widget_) {
        widget_->setToolTip(QString::fromStdString(text));
    }
}

bool CControlUI::IsVisible() const {
    for (const CControlUI* control = this; control != nullptr; control = control->parent_) {
        if (!control->visible_) {
            return false;
        }
    }
    return true;
}

void CControlUI::SetVisible(bool visible) {
    if (visible_ == visible) {
        return;
    }
    visible_ = visible;
    ApplyVisibility();
    NotifyParentChanged();
}

void CControlUI::ApplyVisibility() {
    if (!widget_) {
        return;
    }
    if (parent_ != nullptr && parent_->AsContainer() != nullptr &&
        parent_->AsContainer()->ManagesChildVisibility()) {
        return;
    }
    if (!visible_) {
        widget_->hide();
    } else if (widget_->parentWidget() != nullptr) {
        widget_->show();
    }
    // A parentless widget is a window of its own: showing it is its owner's decision.
}

bool CControlUI::IsEnabled() const {
    return enabled_;
}

void CControlUI::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (widget_) {
        widget_->setEnabled(enabled);
    }
}

bool CControlUI::IsFocused() const {
    QWidget* focus = QApplication::focusWidget();
    return widget_ && focus != nullptr && FromWidget(focus) == this;
}

void CControlUI::SetFocus() {
    if (!keyboardEnabled_) {
        return;
    }
    GetWidget()->setFocus(Qt::OtherFocusReason);
}

void CControlUI::SetMouseEnabled(bool on) {
    mouseEnabled_ = on;
    ApplyInputFlags();
}

void CControlUI::SetKeyboardEnabled(bool on) {
    keyboardEnabled_ = on;
    ApplyInputFlags();
}

void CControlUI::ApplyInputFlags() {
    if (!widget_) {
        return;
    }
    widget_->setAttribute(Qt::WA_TransparentForMouseEvents, !mouseEnabled_);
    if (!keyboardEnabled_ || widget_->property(kSavedFocusPolicy).isValid()) {
        SetKeyboardRecursive(widget_, keyboardEnabled_, true);
    }
}

void CControlUI::SetBkColor(DWORD argb) {
    bkColor_ = argb;
    UpdateStyle();
    NotifyParentChanged();
}

void CControlUI::SetBkImage(const std::string& image) {
    bkImage_ = image;
    UpdateStyle();
}

void CControlUI::SetTextColor(DWORD argb) {
    textColor_ = argb;
    UpdateStyle();
    NotifyParentChanged();
}

void CControlUI::SetBorderColor(DWORD argb) {
    borderColor_ = argb;
    UpdateStyle();
}

void CControlUI::SetBorderSize(int size) {
    borderSize_ = size < 0 ? 0 : size;
    UpdateStyle();
}

void CControlUI::SetBorderRound(int radius) {
    borderRound_ = radius < 0 ? 0 : radius;
    UpdateStyle();
}

void CControlUI::SetIsChangerColor(bool on) {
    changerOn_ = on;
    ApplyChanger();
}

void CControlUI::SetChangerColor(DWORD color) {
    changerColor_ = color;
    ApplyChanger();
}

void CControlUI::SetChangerAlpha(int alpha) {
    changerAlpha_ = alpha < 0 ? 0 : (alpha > 255 ? 255 : alpha);
    ApplyChanger();
}

void CControlUI::ApplyChanger() {
    if (!widget_) {
        return;
    }
    if (!changerOn_) {
        if (overlay_) {
            overlay_->hide();
        }
        return;
    }
    if (!overlay_) {
        overlay_ = new ChangerOverlay(widget_);
    }
    auto* overlay = static_cast<ChangerOverlay*>(overlay_.data());
    overlay->SetColor(QColor(static_cast<int>((changerColor_ >> 16) & 0xFF),
                             static_cast<int>((changerColor_ >> 8) & 0xFF),
                             static_cast<int>(changerColor_ & 0xFF), changerAlpha_));
    overlay->setGeometry(widget_->rect());
    overlay->raise();
    overlay->show();
}

void CControlUI::SetFixedWidth(int width) {
    fixedWidth_ = width < 0 ? 0 : width;
    ApplyFixedSize();
    NotifyParentChanged();
}

void CControlUI::SetFixedHeight(int height) {
    fixedHeight_ = height < 0 ? 0 : height;
    ApplyFixedSize();
    NotifyParentChanged();
}

void CControlUI::ApplyFixedSize() {
    if (!widget_) {
        return;
    }
    const QSize freeMin = FreeMinimumSize();
    if (fixedWidth_ > 0) {
        widget_->setFixedWidth(fixedWidth_);
    } else {
        widget_->setMinimumWidth(freeMin.width());
        widget_->setMaximumWidth(QWIDGETSIZE_MAX);
    }
    if (fixedHeight_ > 0) {
        widget_->setFixedHeight(fixedHeight_);
    } else {
        widget_->setMinimumHeight(freeMin.height());
        widget_->setMaximumHeight(QWIDGETSIZE_MAX);
    }
}

void CControlUI::SetPadding(const RECT& padding) {
    padding_ = padding;
    NotifyParentChanged();
}

RECT CControlUI::GetPos() const {
    if (!widget_) {
        return {};
    }
    QWidget* client = manager_ != nullptr ? manager_->GetPaintWidget() : nullptr;
    if (client == nullptr || (client != widget_ && !client->isAncestorOf(widget_))) {
        client = widget_->window();
    }
    const QPoint topLeft = widget_->mapTo(client, QPoint(0, 0));
    return RECT{topLeft.x(), topLeft.y(), topLeft.x() + widget_->width(),
                topLeft.y() + widget_->height()};
}

AttrStatus CControlUI::SetAttribute(const std::string& name, const std::string& value) {
    // Attributes of every control (names compare without case):
    //   name="id"             text="literal"        textid="language text id" (resource text)
    //   tooltip="text"        tooltipid="language text id"                 userdata="text"
    //   visible="true|false"  enabled="true|false"
    //   width="px"            height="px"           padding="l,t,r,b"
    //   bkcolor="#AARRGGBB"   bkimage="image"       textcolor="#AARRGGBB"
    //   bordercolor="#AARRGGBB"  bordersize="px"    borderround="px"
    //   mouse="true|false"    keyboard="true|false" (take input away without the disabled look)
    //   style="name of a res.xml <Style>" (its attribute list is applied in place)
    // Colours: "#AARRGGBB", "#RRGGBB" or "0xAARRGGBB". Images: "file='a.svg'" with optional
    // source='l,t,r,b' (a part of the file) and corner='l,t,r,b' (unstretched borders), or a
    // bare path; paths are relative to the skin folder.
    const std::string key = Lower(name);
    bool flag = false;
    int number = 0;
    DWORD color = 0;
    RECT rect;
    if (key == "name") {
        SetName(value);
    } else if (key == "text") {
        SetResourceText(false);
        SetText(value);
    } else if (key == "textid") {
        text_ = value;
        SetResourceText(true);
    } else if (key == "tooltip") {
        SetToolTip(value);
    } else if (key == "tooltipid") {
        SetToolTipTextId(value);
    } else if (key == "userdata") {
        SetUserData(value);
    } else if (key == "visible") {
        if (!ParseBool(value, flag)) {
            return AttrStatus::BadValue;
        }
        SetVisible(flag);
    } else if (key == "enabled") {
        if (!ParseBool(value, flag)) {
            return AttrStatus::BadValue;
        }
        SetEnabled(flag);
    } else if (key == "mouse") {
        if (!ParseBool(value, flag)) {
            return AttrStatus::BadValue;
        }
        SetMouseEnabled(flag);
    } else if (key == "keyboard") {
        if (!ParseBool(value, flag)) {
            return AttrStatus::BadValue;
        }
        SetKeyboardEnabled(flag);
    } else if (key == "width" || key == "height") {
        if (!ParseInt(value, number) || number < 0) {
            return AttrStatus::BadValue;
        }
        if (key == "width") {
            SetFixedWidth(number);
        } else {
            SetFixedHeight(number);
        }
    } else if (key == "padding") {
        if (!ParseRect(value, rect) || rect.left < 0 || rect.top < 0 || rect.right < 0 ||
            rect.bottom < 0) {
            return AttrStatus::BadValue;
        }
        SetPadding(rect);
    } else if (key == "bkcolor" || key == "textcolor" || key == "bordercolor") {
        if (!ParseColor(value, color)) {
            return AttrStatus::BadValue;
        }
        if (key == "bkcolor") {
            SetBkColor(color);
        } else if (key == "textcolor") {
            SetTextColor(color);
        } else {
            SetBorderColor(color);
        }
    } else if (key == "bordersize" || key == "borderround") {
        if (!ParseInt(value, number) || number < 0) {
            return AttrStatus::BadValue;
        }
        if (key == "bordersize") {
            SetBorderSize(number);
        } else {
            SetBorderRound(number);
        }
    } else if (key == "bkimage") {
        ImageSpec imageSpec;
        if (!value.empty() && !ParseImageString(value, imageSpec)) {
            return AttrStatus::BadValue;
        }
        SetBkImage(value);
    } else if (key == "style") {
        // Styles may name styles; a loop must not recurse without end.
        static thread_local int styleDepth = 0;
        constexpr int kMaxStyleDepth = 8;
        const std::string list = CResourceManager::GetInstance()->GetStyle(value);
        if (list.empty() || styleDepth >= kMaxStyleDepth) {
            return AttrStatus::BadValue;
        }
        ++styleDepth;
        const AttrStatus status = ApplyAttributeList(list);
        --styleDepth;
        return status == AttrStatus::Ok ? AttrStatus::Ok : AttrStatus::BadValue;
    } else {
        return AttrStatus::UnknownName;
    }
    return AttrStatus::Ok;
}

AttrStatus CControlUI::ApplyAttributeList(const std::string& list, std::string* failedName) {
    size_t pos = 0;
    const auto fail = [&](const std::string& what, AttrStatus status) {
        if (failedName != nullptr) {
            *failedName = what;
        }
        return status;
    };
    while (true) {
        while (pos < list.size() &&
               (list[pos] == ' ' || list[pos] == '\t' || list[pos] == '\n' || list[pos] == '\r')) {
            ++pos;
        }
        if (pos >= list.size()) {
            return AttrStatus::Ok;
        }
        const size_t nameStart = pos;
        while (pos < list.size() && list[pos] != '=' && list[pos] != ' ') {
            ++pos;
        }
        const std::string attrName = list.substr(nameStart, pos - nameStart);
        while (pos < list.size() && list[pos] == ' ') {
            ++pos;
        }
        if (attrName.empty() || pos >= list.size() || list[pos] != '=') {
            return fail(list.substr(nameStart), AttrStatus::BadValue);
        }
        ++pos;
        while (pos < list.size() && list[pos] == ' ') {
            ++pos;
        }
        if (pos >= list.size() || (list[pos] != '"' && list[pos] != '\'')) {
            return fail(attrName, AttrStatus::BadValue);
        }
        const char quote = list[pos++];
        const size_t end = list.find(quote, pos);
        if (end == std::string::npos) {
            return fail(attrName, AttrStatus::BadValue);
        }
        const AttrStatus status = SetAttribute(attrName, list.substr(pos, end - pos));
        if (status != AttrStatus::Ok) {
            return fail(attrName, status);
        }
        pos = end + 1;
    }
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    parent_ = parent;
    if (manager_ == manager) {
        return;
    }
    if (manager_ != nullptr) {
        manager_->UnregisterControl(this);
    }
    manager_ = manager;
    if (manager_ != nullptr) {
        manager_->RegisterName(this);
    }
}

void CControlUI::Invalidate() {
    if (widget_) {
        widget_->update();
    }
}

void CControlUI::NeedUpdate() {
    if (widget_) {
        widget_->updateGeometry();
        if (QLayout* layout = widget_->layout()) {
            layout->invalidate();
        }
        widget_->update();
    }
}

void CControlUI::RefreshStyle() {
    UpdateStyle();
}

void CControlUI::Notify(const char* type, WPARAM wParam, LPARAM lParam) {
    if (manager_ != nullptr) {
        manager_->SendNotify(this, type, wParam, lParam);
    }
}

void CControlUI::NotifyParentChanged() {
    if (parent_ != nullptr && parent_->AsContainer() != nullptr) {
        parent_->AsContainer()->OnChildChanged(this);
    }
}

std::string StyleColor(DWORD argb) {
    return "rgba(" + std::to_string((argb >> 16) & 0xFF) + ", " +
           std::to_string((argb >> 8) & 0xFF) + ", " + std::to_string(argb & 0xFF) + ", " +
           std::to_string((argb >> 24) & 0xFF) + ")";
}

std::string CControlUI::ResolveImagePath(const std::string& imageString) const {
    ImageSpec imageSpec;
    if (!ParseImageString(imageString, imageSpec)) {
        return {};
    }
    std::string path = imageSpec.file;
    if (path.front() != '/') {
        path = CPaintManagerUI::GetResourcePath() + path;
    }
    if (imageSpec.hasSource) {
        path = CroppedImage(path, imageSpec.source);
    }
    return path;
}

std::string CControlUI::ImageRule(const std::string& imageString, const char* property) const {
    const std::string path = ResolveImagePath(imageString);
    if (path.empty() || path.find_first_of("\"\\") != std::string::npos) {
        return {};
    }
    const std::string prop = property;
    std::string rule = prop + ": url(\"" + path + "\")";
    if (prop != "border-image") {
        return rule + ";";
    }
    ImageSpec imageSpec;
    ParseImageString(imageString, imageSpec);
    if (imageSpec.hasCorner) {
        const RECT& c = imageSpec.corner;
        // Appended piece by piece: GCC 12 misreports "literal" + string&& under -O2.
        for (const int edge : {c.top, c.right, c.bottom, c.left}) {
            rule += ' ';
            rule += std::to_string(edge);
        }
        rule += " stretch stretch; border-width:";
        for (const int edge : {c.top, c.right, c.bottom, c.left}) {
            rule += ' ';
            rule += std::to_string(edge);
            rule += "px";
        }
        rule += ';';
    } else {
        rule += " 0 0 0 0 stretch stretch;";
    }
    return rule;
}

void CControlUI::UpdateStyle() {
    if (!widget_) {
        return;
    }
    std::string rule;
    if (bkColor_ != 0) {
        rule += "background-color: " + StyleColor(bkColor_) + "; ";
    }
    if (!bkImage_.empty()) {
        rule += ImageRule(bkImage_) + " ";
    }
    if (textColor_ != 0) {
        rule += "color: " + StyleColor(textColor_) + "; ";
    }
    if (borderSize_ > 0) {
        rule += "border: " + std::to_string(borderSize_) + "px solid " +
                StyleColor(borderColor_ != 0 ? borderColor_ : 0xFF000000) + "; ";
    }
    if (borderRound_ > 0) {
        rule += "border-radius: " + std::to_string(borderRound_) + "px; ";
    }
    std::string sheet;
    if (!rule.empty()) {
        sheet = StyleSelector() + " { " + rule + "}\n";
    }
    sheet += ExtraStyleSheet();
    const QString qsheet = QString::fromStdString(sheet);
    if (widget_->styleSheet() != qsheet) {
        widget_->setStyleSheet(qsheet);
    }
}

bool ParseImageString(const std::string& text, ImageSpec& out) {
    const std::string_view s = Trim(text);
    if (s.empty()) {
        return false;
    }
    size_t keyEnd = 0;
    while (keyEnd < s.size() && IsKeyChar(s[keyEnd])) {
        ++keyEnd;
    }
    size_t eq = keyEnd;
    while (eq < s.size() && s[eq] == ' ') {
        ++eq;
    }
    ImageSpec imageSpec;
    if (keyEnd == 0 || eq >= s.size() || s[eq] != '=') {
        // A bare path.
        if (s.find_first_of("'\"") != std::string_view::npos) {
            return false;
        }
        imageSpec.file = std::string(s);
        out = imageSpec;
        return true;
    }
    size_t pos = 0;
    bool haveFile = false;
    while (true) {
        while (pos < s.size() && s[pos] == ' ') {
            ++pos;
        }
        if (pos >= s.size()) {
            break;
        }
        const size_t keyStart = pos;
        while (pos < s.size() && IsKeyChar(s[pos])) {
            ++pos;
        }
        const std::string key = Lower(std::string(s.substr(keyStart, pos - keyStart)));
        while (pos < s.size() && s[pos] == ' ') {
            ++pos;
        }
        if (key.empty() || pos >= s.size() || s[pos] != '=') {
            return false;
        }
        ++pos;
        while (pos < s.size() && s[pos] == ' ') {
            ++pos;
        }
        if (pos >= s.size() || (s[pos] != '\'' && s[pos] != '"')) {
            return false;
        }
        const char quote = s[pos++];
        const size_t end = s.find(quote, pos);
        if (end == std::string_view::npos) {
            return false;
        }
        const std::string value(s.substr(pos, end - pos));
        pos = end + 1;
        if (key == "file") {
            const std::string_view file = Trim(value);
            if (file.empty()) {
                return false;
            }
            imageSpec.file = std::string(file);
            haveFile = true;
        } else if (key == "source") {
            RECT r;
            if (!ParseRect(value, r) || r.left < 0 || r.top < 0 || r.right <= r.left ||
                r.bottom <= r.top) {
                return false;
            }
            imageSpec.source = r;
            imageSpec.hasSource = true;
        } else if (key == "corner") {
            RECT r;
            if (!ParseRect(value, r) || r.left < 0 || r.top < 0 || r.right < 0 || r.bottom < 0) {
                return false;
            }
            imageSpec.corner = r;
            imageSpec.hasCorner = true;
        } else {
            return false;
        }
        if (pos < s.size() && s[pos] != ' ') {
            return false;
        }
    }
    if (!haveFile) {
        return false;
    }
    out = imageSpec;
    return true;
}

}  // namespace gmd::ui
