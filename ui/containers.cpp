#include <QBoxLayout>
#include <QStackedWidget>
#include <QWidget>
#include <QWidgetItem>
#include <algorithm>

#include "ui/controls.h"

namespace gmd::ui {

namespace {

int AddClamped(int a, int b) {
    const long long sum = static_cast<long long>(a) + b;
    return sum > QWIDGETSIZE_MAX ? QWIDGETSIZE_MAX : static_cast<int>(sum);
}

// A child's place in a box layout: its padding around it, and its position across the layout
// direction when it is narrower than the layout (the layout would centre it otherwise).
class ChildItem : public QWidgetItem {
  public:
    ChildItem(QWidget* widget, const RECT& padding, bool horizontalLayout, Qt::Alignment crossAlign)
        : QWidgetItem(widget),
          padding_(padding),
          horizontalLayout_(horizontalLayout),
          crossAlign_(crossAlign) {}

    bool Update(const RECT& padding, Qt::Alignment crossAlign) {
        if (padding == padding_ && crossAlign == crossAlign_) {
            return false;
        }
        padding_ = padding;
        crossAlign_ = crossAlign;
        return true;
    }

    QSize sizeHint() const override { return Grow(QWidgetItem::sizeHint()); }
    QSize minimumSize() const override { return Grow(QWidgetItem::minimumSize()); }
    QSize maximumSize() const override { return Grow(QWidgetItem::maximumSize()); }

    void setGeometry(const QRect& rect) override {
        QRect r = rect.adjusted(padding_.left, padding_.top, -padding_.right, -padding_.bottom);
        const QSize maximum = QWidgetItem::maximumSize();
        if (horizontalLayout_ && maximum.height() < r.height()) {
            const int spare = r.height() - maximum.height();
            const int offset = (crossAlign_ & Qt::AlignBottom)    ? spare
                               : (crossAlign_ & Qt::AlignVCenter) ? spare / 2
                                                                  : 0;
            r = QRect(r.x(), r.y() + offset, r.width(), maximum.height());
        } else if (!horizontalLayout_ && maximum.width() < r.width()) {
            const int spare = r.width() - maximum.width();
            const int offset = (crossAlign_ & Qt::AlignRight)     ? spare
                               : (crossAlign_ & Qt::AlignHCenter) ? spare / 2
                                                                  : 0;
            r = QRect(r.x() + offset, r.y(), maximum.width(), r.height());
        }
        QWidgetItem::setGeometry(r);
    }

  private:
    QSize Grow(const QSize& size) const {
        return QSize(AddClamped(size.width(), padding_.left + padding_.right),
                     AddClamped(size.height(), padding_.top + padding_.bottom));
    }

    RECT padding_;
    bool horizontalLayout_;
    Qt::Alignment crossAlign_;
};

Qt::Alignment CrossAlignment(bool horizontal, const std::string& align, const std::string& valign) {
    if (horizontal) {
        if (valign == "bottom") {
            return Qt::AlignBottom;
        }
        return valign == "vcenter" || valign == "center" ? Qt::AlignVCenter : Qt::AlignTop;
    }
    if (align == "right") {
        return Qt::AlignRight;
    }
    return align == "center" ? Qt::AlignHCenter : Qt::AlignLeft;
}

}  // namespace

// ---- CContainerUI --------------------------------------------------------------------------

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
    // No signal of this container's widget may reach it while the children go.
    ReleaseSignalContext();
    while (!items_.empty()) {
        std::unique_ptr<CControlUI> doomed = std::move(items_.back());
        items_.pop_back();
    }
}

std::string CContainerUI::GetClass() const {
    return "Container";
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount()) {
        return nullptr;
    }
    return items_[static_cast<size_t>(index)].get();
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].get() == control) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool CContainerUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CContainerUI::AddAt(CControlUI* control, int index) {
    if (control == nullptr || index < 0 || index > GetCount() || GetItemIndex(control) >= 0) {
        return false;
    }
    items_.insert(items_.begin() + index, std::unique_ptr<CControlUI>(control));
    control->SetManager(manager_, this);
    if (widget_) {
        InsertChildWidget(control, index);
        UpdateStretch();
    }
    return true;
}

bool CContainerUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (index < 0) {
        return false;
    }
    if (widget_) {
        RemoveChildWidget(control);
    }
    std::unique_ptr<CControlUI> doomed = std::move(items_[static_cast<size_t>(index)]);
    items_.erase(items_.begin() + index);
    doomed.reset();
    UpdateStretch();
    return true;
}

void CContainerUI::RemoveAll() {
    while (!items_.empty()) {
        if (widget_) {
            RemoveChildWidget(items_.back().get());
        }
        std::unique_ptr<CControlUI> doomed = std::move(items_.back());
        items_.pop_back();
    }
    UpdateStretch();
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    CControlUI::SetManager(manager, parent);
    for (auto& item : items_) {
        item->SetManager(manager, this);
    }
}

void CContainerUI::ReloadText() {
    CControlUI::ReloadText();
    for (auto& item : items_) {
        item->ReloadText();
    }
}

void CContainerUI::SetInset(const RECT& inset) {
    inset_ = inset;
    if (widget_ && widget_->layout() != nullptr) {
        widget_->layout()->setContentsMargins(inset.left, inset.top, inset.right, inset.bottom);
    }
}

void CContainerUI::SetChildPadding(int padding) {
    childPadding_ = padding < 0 ? 0 : padding;
    if (widget_ && widget_->layout() != nullptr) {
        widget_->layout()->setSpacing(childPadding_);
    }
}

AttrStatus CContainerUI::SetAttribute(const std::string& name, const std::string& value) {
    // Containers (Container, VerticalLayout, HorizontalLayout, TabLayout, and the rows and
    // owners of lists) add to the common attributes:
    //   inset="l,t,r,b"       space between the border and the children
    //   childpadding="px"     space between two children
    //   childalign="left|center|right"      vertical layouts: children narrower than the layout
    //   childvalign="top|vcenter|bottom"    horizontal layouts: children lower than the layout
    const std::string key = Lower(name);
    if (key == "inset") {
        RECT rect;
        if (!ParseRect(value, rect) || rect.left < 0 || rect.top < 0 || rect.right < 0 ||
            rect.bottom < 0) {
            return AttrStatus::BadValue;
        }
        SetInset(rect);
        return AttrStatus::Ok;
    }
    if (key == "childpadding") {
        int padding = 0;
        if (!ParseInt(value, padding) || padding < 0) {
            return AttrStatus::BadValue;
        }
        SetChildPadding(padding);
        return AttrStatus::Ok;
    }
    if (key == "childalign" || key == "childvalign") {
        const std::string v = Lower(value);
        const bool ok = key == "childalign" ? (v == "left" || v == "center" || v == "right")
                                            : (v == "top" || v == "vcenter" || v == "bottom");
        if (!ok) {
            return AttrStatus::BadValue;
        }
        (key == "childalign" ? childAlign_ : childVAlign_) = v;
        for (auto& item : items_) {
            OnChildChanged(item.get());
        }
        return AttrStatus::Ok;
    }
    return CControlUI::SetAttribute(name, value);
}

QWidget* CContainerUI::CreateWidget() {
    auto* widget = new QWidget;
    widget->setAttribute(Qt::WA_StyledBackground);
    auto* box =
        new QBoxLayout(horizontal_ ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom, widget);
    box->setContentsMargins(inset_.left, inset_.top, inset_.right, inset_.bottom);
    box->setSpacing(childPadding_);
    box->addStretch(0);  // takes the free space when no child may grow
    widget_ = widget;
    return widget;
}

void CContainerUI::CreateChildWidgets() {
    for (int i = 0; i < GetCount(); ++i) {
        InsertChildWidget(GetItemAt(i), i);
    }
    UpdateStretch();
}

void CContainerUI::BuildChildWidget(CControlUI* /*child*/) {
    // While this container makes its own widget, it is placing its children itself.
    if (!widget_ && !creatingWidget_) {
        GetWidget();
    }
}

void CContainerUI::InsertChildWidget(CControlUI* child, int index) {
    auto* box = qobject_cast<QBoxLayout*>(widget_->layout());
    if (box == nullptr) {
        return;
    }
    QWidget* childWidget = child->GetWidget();
    childWidget->setParent(widget_);
    box->insertItem(index, new ChildItem(childWidget, child->GetPadding(), horizontal_,
                                         CrossAlignment(horizontal_, childAlign_, childVAlign_)));
    child->ApplyVisibility();
}

void CContainerUI::RemoveChildWidget(CControlUI* child) {
    if (QLayout* layout = widget_->layout(); layout != nullptr && child->widget_) {
        layout->removeWidget(child->widget_);
    }
}

void CContainerUI::OnChildChanged(CControlUI* child) {
    if (!widget_) {
        return;
    }
    auto* box = qobject_cast<QBoxLayout*>(widget_->layout());
    if (box == nullptr) {
        return;
    }
    const int index = GetItemIndex(child);
    if (auto* item = dynamic_cast<ChildItem*>(box->itemAt(index));
        item != nullptr &&
        item->Update(child->GetPadding(), CrossAlignment(horizontal_, childAlign_, childVAlign_))) {
        box->invalidate();
    }
    UpdateStretch();
}

void CContainerUI::UpdateStretch() {
    if (!widget_) {
        return;
    }
    auto* box = qobject_cast<QBoxLayout*>(widget_->layout());
    if (box == nullptr || box->count() != GetCount() + 1) {
        return;
    }
    bool anyGrows = false;
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* child = GetItemAt(i);
        bool grows = false;
        if (child->IsOwnVisible() && child->widget_) {
            const QSizePolicy policy = child->widget_->sizePolicy();
            grows = horizontal_ ? child->GetFixedWidth() == 0 &&
                                      (policy.horizontalPolicy() & QSizePolicy::GrowFlag)
                                : child->GetFixedHeight() == 0 &&
                                      (policy.verticalPolicy() & QSizePolicy::GrowFlag);
        }
        box->setStretch(i, grows ? 1 : 0);
        anyGrows = anyGrows || grows;
    }
    box->setStretch(GetCount(), anyGrows ? 0 : 1);
}

std::string CVerticalLayoutUI::GetClass() const {
    return "VerticalLayout";
}

CHorizontalLayoutUI::CHorizontalLayoutUI() {
    horizontal_ = true;
}

std::string CHorizontalLayoutUI::GetClass() const {
    return "HorizontalLayout";
}

// ---- CTabLayoutUI --------------------------------------------------------------------------

std::string CTabLayoutUI::GetClass() const {
    return "TabLayout";
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index)) {
        return false;
    }
    // Keep the page that was showing; a page added elsewhere starts hidden.
    if (curSel_ < GetCount() - 1 && index <= curSel_) {
        ++curSel_;
    }
    control->SetVisible(index == curSel_);
    if (auto* stack = qobject_cast<QStackedWidget*>(widget_.data());
        stack != nullptr && curSel_ < GetCount()) {
        BuildPage(curSel_);
        stack->setCurrentIndex(curSel_);
    }
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (!CContainerUI::Remove(control)) {
        return false;
    }
    if (index < curSel_) {
        --curSel_;
    } else if (index == curSel_ && GetCount() > 0) {
        SelectItem(std::min(curSel_, GetCount() - 1));
    }
    if (GetCount() == 0) {
        curSel_ = 0;
    }
    return true;
}

void CTabLayoutUI::RemoveAll() {
    CContainerUI::RemoveAll();
    curSel_ = 0;
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount()) {
        return false;
    }
    curSel_ = index;
    for (int i = 0; i < GetCount(); ++i) {
        GetItemAt(i)->SetVisible(i == index);
    }
    if (auto* stack = qobject_cast<QStackedWidget*>(widget_.data())) {
        BuildPage(index);
        stack->setCurrentIndex(index);
    }
    return true;
}

AttrStatus CTabLayoutUI::SetAttribute(const std::string& name, const std::string& value) {
    // TabLayout adds:
    //   selectedid="n"        the page shown first (0-based)
    if (Lower(name) == "selectedid") {
        int index = 0;
        if (!ParseInt(value, index) || index < 0) {
            return AttrStatus::BadValue;
        }
        if (index < GetCount()) {
            SelectItem(index);
        } else {
            curSel_ = index;  // pages follow in the layout
        }
        return AttrStatus::Ok;
    }
    return CContainerUI::SetAttribute(name, value);
}

QWidget* CTabLayoutUI::CreateWidget() {
    auto* stack = new QStackedWidget;
    stack->setAttribute(Qt::WA_StyledBackground);
    stack->layout()->setContentsMargins(inset_.left, inset_.top, inset_.right, inset_.bottom);
    widget_ = stack;
    return stack;
}

void CTabLayoutUI::CreateChildWidgets() {
    auto* stack = static_cast<QStackedWidget*>(widget_.data());
    for (int i = 0; i < GetCount(); ++i) {
        InsertChildWidget(GetItemAt(i), i);
    }
    if (curSel_ < GetCount()) {
        BuildPage(curSel_);
        stack->setCurrentIndex(curSel_);
    }
}

// A page that has not been shown holds an empty widget in its place: most pages of a window
// are never opened in a session, and their styled widgets are what a start-up costs.
void CTabLayoutUI::InsertChildWidget(CControlUI* child, int index) {
    auto* stack = static_cast<QStackedWidget*>(widget_.data());
    stack->insertWidget(index, child->widget_ ? child->widget_.data() : new QWidget);
}

void CTabLayoutUI::RemoveChildWidget(CControlUI* child) {
    auto* stack = static_cast<QStackedWidget*>(widget_.data());
    QWidget* shown = stack->widget(GetItemIndex(child));
    if (shown == nullptr) {
        return;
    }
    stack->removeWidget(shown);
    if (shown != child->widget_) {
        delete shown;
    }
}

bool CTabLayoutUI::IsPageBuilt(int index) const {
    const CControlUI* page = GetItemAt(index);
    const auto* stack = qobject_cast<const QStackedWidget*>(widget_.data());
    return page != nullptr && stack != nullptr && page->widget_ &&
           stack->widget(index) == page->widget_;
}

void CTabLayoutUI::BuildChildWidget(CControlUI* child) {
    CContainerUI::BuildChildWidget(child);
    const int index = GetItemIndex(child);
    if (widget_ && index >= 0) {
        BuildPage(index);
    }
}

void CTabLayoutUI::BuildPage(int index) {
    auto* stack = qobject_cast<QStackedWidget*>(widget_.data());
    CControlUI* page = GetItemAt(index);
    if (stack == nullptr || page == nullptr || page == building_ || IsPageBuilt(index)) {
        return;
    }
    building_ = page;
    QWidget* pageWidget = page->GetWidget();
    building_ = nullptr;
    QWidget* standIn = stack->widget(index);
    stack->insertWidget(index, pageWidget);
    if (standIn != nullptr && standIn != pageWidget) {
        stack->removeWidget(standIn);
        delete standIn;
    }
    if (curSel_ < GetCount()) {
        stack->setCurrentIndex(curSel_);
    }
}

}  // namespace gmd::ui
