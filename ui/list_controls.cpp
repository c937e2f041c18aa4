#include <QAbstractItemView>
#include <QComboBox>
#include <QListView>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <algorithm>

#include "ui/controls.h"

namespace gmd::ui {

namespace {

IListOwnerUI* OwnerOf(const CControlUI* row) {
    return dynamic_cast<IListOwnerUI*>(row->GetParent());
}

int IndexOf(const CControlUI* row) {
    CControlUI* parent = row->GetParent();
    CContainerUI* container = parent != nullptr ? parent->AsContainer() : nullptr;
    return container != nullptr ? container->GetItemIndex(const_cast<CControlUI*>(row)) : -1;
}

bool IsRowSelected(const CControlUI* row) {
    const IListOwnerUI* owner = OwnerOf(row);
    const int index = IndexOf(row);
    return owner != nullptr && index >= 0 && owner->GetCurSel() == index;
}

// The colours of a row: selected colours of the owner, else the row's own, else the owner's.
DWORD RowTextColor(const CControlUI* row, const ListItemStyle& style, bool selected) {
    if (selected && style.selectedTextColor != 0) {
        return style.selectedTextColor;
    }
    return row->GetTextColor() != 0 ? row->GetTextColor() : style.textColor;
}

DWORD RowBkColor(const CControlUI* row, const ListItemStyle& style, bool selected) {
    if (selected && style.selectedBkColor != 0) {
        return style.selectedBkColor;
    }
    return row->GetBkColor() != 0 ? row->GetBkColor() : style.bkColor;
}

std::string RowStyleSheet(const CControlUI* row, const std::string& selector) {
    const IListOwnerUI* owner = OwnerOf(row);
    if (owner == nullptr) {
        return {};
    }
    const bool selected = IsRowSelected(row);
    const ListItemStyle& style = owner->GetItemStyle();
    std::string body;
    if (const DWORD bk = RowBkColor(row, style, selected); bk != 0) {
        body += "background-color: " + StyleColor(bk) + "; ";
    }
    if (const DWORD text = RowTextColor(row, style, selected); text != 0) {
        body += "color: " + StyleColor(text) + "; ";
    }
    return body.empty() ? std::string() : selector + " { " + body + "}\n";
}

// Row look attributes of combo boxes and lists; false when `key` is not one of them.
bool SetItemStyleAttribute(ListItemStyle& style, const std::string& key, const std::string& value,
                           AttrStatus& status) {
    if (key == "itemheight") {
        int height = 0;
        status = ParseInt(value, height) && height >= 0 ? AttrStatus::Ok : AttrStatus::BadValue;
        if (status == AttrStatus::Ok) {
            style.height = height;
        }
        return true;
    }
    DWORD* target = key == "itemtextcolor"           ? &style.textColor
                    : key == "itembkcolor"           ? &style.bkColor
                    : key == "itemselectedtextcolor" ? &style.selectedTextColor
                    : key == "itemselectedbkcolor"   ? &style.selectedBkColor
                                                     : nullptr;
    if (target == nullptr) {
        return false;
    }
    DWORD color = 0;
    status = ParseColor(value, color) ? AttrStatus::Ok : AttrStatus::BadValue;
    if (status == AttrStatus::Ok) {
        *target = color;
    }
    return true;
}

QColor ToQColor(DWORD argb) {
    return QColor(static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
                  static_cast<int>(argb & 0xFF), static_cast<int>(argb >> 24));
}

}  // namespace

// ---- rows ----------------------------------------------------------------------------------

std::string CListLabelElementUI::GetClass() const {
    return "ListLabelElement";
}

bool CListLabelElementUI::IsSelected() const {
    return IsRowSelected(this);
}

int CListLabelElementUI::GetIndex() const {
    return IndexOf(this);
}

QWidget* CListLabelElementUI::CreateWidget() {
    QWidget* widget = CLabelUI::CreateWidget();
    widget->setAttribute(Qt::WA_StyledBackground);
    return widget;
}

std::string CListLabelElementUI::ExtraStyleSheet() const {
    return CLabelUI::ExtraStyleSheet() + RowStyleSheet(this, StyleSelector());
}

std::string CListContainerElementUI::GetClass() const {
    return "ListContainerElement";
}

bool CListContainerElementUI::IsSelected() const {
    return IsRowSelected(this);
}

int CListContainerElementUI::GetIndex() const {
    return IndexOf(this);
}

std::string CListContainerElementUI::ExtraStyleSheet() const {
    return CHorizontalLayoutUI::ExtraStyleSheet() + RowStyleSheet(this, StyleSelector());
}

// ---- CComboUI ------------------------------------------------------------------------------

std::string CComboUI::GetClass() const {
    return "Combo";
}

QWidget* CComboUI::CreateWidget() {
    auto* combo = new QComboBox;
    // The styled delegate honours the rows' heights and colours.
    combo->setItemDelegate(new QStyledItemDelegate(combo));
    widget_ = combo;
    for (int i = 0; i < GetCount(); ++i) {
        InsertChildWidget(GetItemAt(i), i);
    }
    // activated() comes from the user only (mouse, keys, wheel).
    QObject::connect(combo, &QComboBox::activated, SignalContext(), [this](int index) {
        if (index == curSel_) {
            return;
        }
        const int old = curSel_;
        curSel_ = index;
        Notify(notify::kItemSelect, static_cast<WPARAM>(index), old);
    });
    return combo;
}

void CComboUI::InsertChildWidget(CControlUI* child, int index) {
    auto* combo = static_cast<QComboBox*>(widget_.data());
    const QSignalBlocker blocker(combo);
    combo->insertItem(index, QString::fromStdString(child->GetShownText()));
    UpdateRow(index);
    combo->setCurrentIndex(curSel_);
}

void CComboUI::RemoveChildWidget(CControlUI* child) {
    auto* combo = static_cast<QComboBox*>(widget_.data());
    const QSignalBlocker blocker(combo);
    combo->removeItem(GetItemIndex(child));
}

void CComboUI::UpdateRow(int index) {
    auto* combo = qobject_cast<QComboBox*>(widget_.data());
    CControlUI* row = GetItemAt(index);
    if (combo == nullptr || row == nullptr || index >= combo->count()) {
        return;
    }
    combo->setItemText(index, QString::fromStdString(row->GetShownText()));
    const int height = row->GetFixedHeight() > 0 ? row->GetFixedHeight() : itemStyle_.height;
    combo->setItemData(index, height > 0 ? QVariant(QSize(0, height)) : QVariant(),
                       Qt::SizeHintRole);
    const DWORD text = RowTextColor(row, itemStyle_, false);
    const DWORD bk = RowBkColor(row, itemStyle_, false);
    combo->setItemData(index, text != 0 ? QVariant(ToQColor(text)) : QVariant(),
                       Qt::ForegroundRole);
    combo->setItemData(index, bk != 0 ? QVariant(ToQColor(bk)) : QVariant(), Qt::BackgroundRole);
    if (auto* view = qobject_cast<QListView*>(combo->view())) {
        view->setRowHidden(index, !row->IsOwnVisible());
    }
}

void CComboUI::OnChildChanged(CControlUI* child) {
    UpdateRow(GetItemIndex(child));
}

bool CComboUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CComboUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index)) {
        return false;
    }
    if (curSel_ >= 0 && index <= curSel_) {
        ++curSel_;
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget_.data())) {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(curSel_);
    }
    return true;
}

bool CComboUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (!CContainerUI::Remove(control)) {
        return false;
    }
    // Removing the selected row leaves nothing selected (and says nothing).
    if (index < curSel_) {
        --curSel_;
    } else if (index == curSel_) {
        curSel_ = -1;
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget_.data())) {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(curSel_);
    }
    return true;
}

void CComboUI::RemoveAll() {
    CContainerUI::RemoveAll();
    curSel_ = -1;
}

bool CComboUI::SelectItem(int index, bool takeFocus, bool triggerEvent) {
    if (index < -1 || index >= GetCount()) {
        return false;
    }
    if (index == curSel_) {
        return true;
    }
    const int old = curSel_;
    curSel_ = index;
    if (auto* combo = qobject_cast<QComboBox*>(widget_.data())) {
        const QSignalBlocker blocker(combo);
        combo->setCurrentIndex(index);
    }
    if (takeFocus) {
        SetFocus();
    }
    if (triggerEvent) {
        Notify(notify::kItemSelect, static_cast<WPARAM>(index), old);
    }
    return true;
}

std::string CComboUI::GetText() const {
    const CControlUI* row = GetItemAt(curSel_);
    return row != nullptr ? row->GetShownText() : std::string();
}

void CComboUI::ReloadText() {
    CContainerUI::ReloadText();
}

std::string CComboUI::ExtraStyleSheet() const {
    std::string body;
    if (itemStyle_.selectedBkColor != 0) {
        body += "selection-background-color: " + StyleColor(itemStyle_.selectedBkColor) + "; ";
    }
    if (itemStyle_.selectedTextColor != 0) {
        body += "selection-color: " + StyleColor(itemStyle_.selectedTextColor) + "; ";
    }
    return body.empty() ? std::string() : StyleSelector() + " QAbstractItemView { " + body + "}\n";
}

AttrStatus CComboUI::SetAttribute(const std::string& name, const std::string& value) {
    // Combo and List add the look of their rows (a row's own colours win, the selected
    // colours win over both):
    //   itemheight="px"       height of rows without their own height
    //   itemtextcolor="#AARRGGBB"           itembkcolor="#AARRGGBB"
    //   itemselectedtextcolor="#AARRGGBB"   itemselectedbkcolor="#AARRGGBB"
    AttrStatus status = AttrStatus::Ok;
    if (SetItemStyleAttribute(itemStyle_, Lower(name), value, status)) {
        for (int i = 0; i < GetCount(); ++i) {
            UpdateRow(i);
        }
        UpdateStyle();
        return status;
    }
    return CContainerUI::SetAttribute(name, value);
}

// ---- CListUI -------------------------------------------------------------------------------

std::string CListUI::GetClass() const {
    return "List";
}

QWidget* CListUI::CreateWidget() {
    auto* list = new QListWidget;
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    widget_ = list;
    for (int i = 0; i < GetCount(); ++i) {
        InsertChildWidget(GetItemAt(i), i);
    }
    SetCurSel(curSel_);
    // Programmatic changes are made with signals blocked, so these are the user's.
    QObject::connect(list, &QListWidget::currentRowChanged, SignalContext(), [this](int row) {
        if (row == curSel_) {
            return;
        }
        const int old = curSel_;
        SetCurSel(row);
        Notify(notify::kItemSelect, static_cast<WPARAM>(row), old);
    });
    QObject::connect(list, &QListWidget::itemClicked, SignalContext(),
                     [this, list](QListWidgetItem* item) {
                         CControlUI* row = GetItemAt(list->row(item));
                         if (dynamic_cast<CListContainerElementUI*>(row) != nullptr) {
                             row->Notify(notify::kItemClick);
                         }
                     });
    return list;
}

void CListUI::InsertChildWidget(CControlUI* child, int index) {
    auto* list = static_cast<QListWidget*>(widget_.data());
    const QSignalBlocker blocker(list);
    auto* item = new QListWidgetItem;
    list->insertItem(index, item);
    list->setItemWidget(item, child->GetWidget());
    child->ApplyVisibility();
    UpdateRow(index);
}

void CListUI::RemoveChildWidget(CControlUI* child) {
    auto* list = static_cast<QListWidget*>(widget_.data());
    const QSignalBlocker blocker(list);
    const int row = GetItemIndex(child);
    if (QListWidgetItem* item = list->item(row)) {
        list->removeItemWidget(item);
        delete list->takeItem(row);
    }
}

void CListUI::UpdateRow(int index) {
    auto* list = qobject_cast<QListWidget*>(widget_.data());
    CControlUI* row = GetItemAt(index);
    QListWidgetItem* item = list != nullptr ? list->item(index) : nullptr;
    if (item == nullptr || row == nullptr) {
        return;
    }
    int height = row->GetFixedHeight() > 0 ? row->GetFixedHeight() : itemStyle_.height;
    if (height <= 0 && row->widget_) {
        height = row->widget_->sizeHint().height();
    }
    item->setSizeHint(QSize(0, height));
    list->setRowHidden(index, !row->IsOwnVisible());
    row->RefreshStyle();
}

void CListUI::OnChildChanged(CControlUI* child) {
    UpdateRow(GetItemIndex(child));
}

void CListUI::SetCurSel(int index) {
    const int old = curSel_;
    curSel_ = index;
    if (auto* list = qobject_cast<QListWidget*>(widget_.data())) {
        const QSignalBlocker blocker(list);
        if (index < 0) {
            list->clearSelection();
        }
        list->setCurrentRow(index);
    }
    for (int i : {old, index}) {
        if (CControlUI* row = GetItemAt(i)) {
            row->RefreshStyle();
        }
    }
}

bool CListUI::Add(CControlUI* control) {
    return AddAt(control, GetCount());
}

bool CListUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index)) {
        return false;
    }
    SetCurSel(curSel_ >= 0 && index <= curSel_ ? curSel_ + 1 : curSel_);
    return true;
}

bool CListUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (!CContainerUI::Remove(control)) {
        return false;
    }
    // Removing the selected row leaves nothing selected (and says nothing).
    SetCurSel(index < curSel_ ? curSel_ - 1 : (index == curSel_ ? -1 : curSel_));
    return true;
}

void CListUI::RemoveAll() {
    CContainerUI::RemoveAll();
    SetCurSel(-1);
}

bool CListUI::SelectItem(int index, bool takeFocus, bool triggerEvent) {
    if (index < -1 || index >= GetCount()) {
        return false;
    }
    if (index == curSel_) {
        return true;
    }
    const int old = curSel_;
    SetCurSel(index);
    if (takeFocus) {
        SetFocus();
    }
    if (triggerEvent) {
        Notify(notify::kItemSelect, static_cast<WPARAM>(index), old);
    }
    return true;
}

void CListUI::EnsureVisible(int index) {
    auto* list = qobject_cast<QListWidget*>(GetWidget());
    if (QListWidgetItem* item = list != nullptr ? list->item(index) : nullptr) {
        list->scrollToItem(item, QAbstractItemView::EnsureVisible);
    }
}

AttrStatus CListUI::SetAttribute(const std::string& name, const std::string& value) {
    // List: the row look attributes of Combo (itemheight, itemtextcolor, itembkcolor,
    // itemselectedtextcolor, itemselectedbkcolor) and the container attributes.
    AttrStatus status = AttrStatus::Ok;
    if (SetItemStyleAttribute(itemStyle_, Lower(name), value, status)) {
        for (int i = 0; i < GetCount(); ++i) {
            UpdateRow(i);
        }
        return status;
    }
    return CContainerUI::SetAttribute(name, value);
}

}  // namespace gmd::ui
