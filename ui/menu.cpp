// Popup menus: a menu file parsed into CMenuUI and shown as a non-blocking QMenu. A chosen item
// goes to the owner window as WM_MENU_CLICK carrying a MenuCmd the receiver deletes.

#include "ui/menu.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QXmlStreamReader>
#include <set>

#include "ui/paint_manager.h"
#include "ui/resource_manager.h"
#include "ui/screen_placement.h"
#include "ui/window.h"

namespace gmd::ui {

namespace {

// Every menu object, so DestroyMenu can close them all (UI thread only).
std::set<CMenuWnd*>& AllMenus() {
    static std::set<CMenuWnd*> menus;
    return menus;
}

std::string Located(const std::string& file, qint64 line, const std::string& message) {
    return file + ":" + std::to_string(line) + ": " + message;
}

bool ParseBool(const QString& text, bool& out) {
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        out = true;
        return true;
    }
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        out = false;
        return true;
    }
    return false;
}

// One <MenuElement .../>; false with `error` on an attribute it does not know or a bad value.
bool ReadElement(const QXmlStreamReader& xml, CMenuElementUI& item, std::string& error) {
    std::string textId;
    for (const QXmlStreamAttribute& attr : xml.attributes()) {
        const QString name = attr.name().toString();
        const QString value = attr.value().toString();
        bool* flag = nullptr;
        if (name == QLatin1String("name")) {
            item.name = value.toStdString();
        } else if (name == QLatin1String("text")) {
            item.text = value.toStdString();
        } else if (name == QLatin1String("textid")) {
            textId = value.toStdString();
        } else if (name == QLatin1String("userdata")) {
            item.userData = value.toStdString();
        } else if (name == QLatin1String("checkable")) {
            flag = &item.checkable;
        } else if (name == QLatin1String("checked")) {
            flag = &item.checked;
        } else if (name == QLatin1String("enabled")) {
            flag = &item.enabled;
        } else {
            error = "unknown attribute '" + name.toStdString() + "' of MenuElement";
            return false;
        }
        if (flag != nullptr && !ParseBool(value, *flag)) {
            error = "bad value '" + value.toStdString() + "' for '" + name.toStdString() +
                    "' (true or false)";
            return false;
        }
    }
    if (!textId.empty()) {
        item.text = CResourceManager::GetInstance()->GetText(textId);
    }
    return true;
}

// Reads a menu file; false with "file:line: fault" in `error`.
bool ParseMenuFile(const QString& path, const std::string& shownName,
                   std::vector<CMenuElementUI>& items, std::string& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = shownName + ": cannot open menu file (" + file.errorString().toStdString() + ")";
        return false;
    }
    QXmlStreamReader xml(&file);
    auto fail = [&](const std::string& message) {
        error = Located(shownName, xml.lineNumber(), message);
        return false;
    };
    if (!xml.readNextStartElement()) {
        return fail(xml.hasError() ? xml.errorString().toStdString() : "empty menu file");
    }
    if (xml.name() != QLatin1String("Menu")) {
        return fail("the root element must be <Menu>, not <" + xml.name().toString().toStdString() +
                    ">");
    }
    if (!xml.attributes().isEmpty()) {
        return fail("unknown attribute '" +
                    xml.attributes().front().name().toString().toStdString() + "' of Menu");
    }
    std::vector<CMenuElementUI> parsed;
    while (xml.readNextStartElement()) {
        CMenuElementUI item;
        std::string message;
        if (xml.name() == QLatin1String("MenuElement")) {
            if (!ReadElement(xml, item, message)) {
                return fail(message);
            }
        } else if (xml.name() == QLatin1String("Separator")) {
            if (!xml.attributes().isEmpty()) {
                return fail("Separator takes no attributes");
            }
            item.separator = true;
        } else {
            return fail("unknown element <" + xml.name().toString().toStdString() + "> in Menu");
        }
        if (xml.readNextStartElement()) {
            return fail("<" + xml.name().toString().toStdString() +
                        "> inside a menu item (submenus are not supported)");
        }
        if (xml.hasError()) {
            break;
        }
        parsed.push_back(std::move(item));
    }
    // Run to the end so that damage after the root element is reported as well.
    while (!xml.atEnd() && !xml.hasError()) {
        xml.readNext();
    }
    if (xml.hasError()) {
        return fail(xml.errorString().toStdString());
    }
    items = std::move(parsed);
    return true;
}

}  // namespace

CMenuElementUI* CMenuUI::GetItemAt(int index) {
    if (index < 0 || index >= GetCount()) {
        return nullptr;
    }
    return &items_[static_cast<size_t>(index)];
}

bool CMenuUI::AddAt(const CMenuElementUI& element, int index) {
    if (index < 0 || index > GetCount()) {
        return false;
    }
    items_.insert(items_.begin() + index, element);
    return true;
}

struct CMenuWnd::Impl {
    HWND owner = 0;
    QPoint point;
    int alignment = eMenuAlignment_Left | eMenuAlignment_Top;
    std::unique_ptr<QMenu> menu;
    // The items as shown, indexed like the actions; edits through GetMenuUI apply on
    // ResizeMenu.
    std::vector<CMenuElementUI> shown;
    std::vector<QAction*> actions;
};

CMenuWnd::CMenuWnd() : impl_(std::make_unique<Impl>()) {
    AllMenus().insert(this);
}

CMenuWnd::~CMenuWnd() {
    AllMenus().erase(this);
}

bool CMenuWnd::Init(HWND owner, const std::string& menuFile, POINT point, int alignment) {
    Close();
    error_.clear();
    std::string file = CResourceManager::GetInstance()->GetXmlPath(menuFile);
    if (file.empty()) {
        file = menuFile;
    }
    QString path = QString::fromStdString(file);
    if (QDir::isRelativePath(path)) {
        path = QString::fromStdString(CPaintManagerUI::GetResourcePath()) + path;
    }
    std::vector<CMenuElementUI> items;
    if (!ParseMenuFile(path, menuFile, items, error_)) {
        return false;
    }
    menu_.items_ = std::move(items);
    impl_->owner = owner;
    impl_->point = QPoint(point.x, point.y);
    impl_->alignment = alignment;
    if (!impl_->menu) {
        // No parent widget: the menu must not die with the owner's widget behind our back.
        impl_->menu = std::make_unique<QMenu>();
    }
    ResizeMenu();
    impl_->menu->popup(impl_->menu->pos());
    return true;
}

void CMenuWnd::ResizeMenu() {
    QMenu* menu = impl_->menu.get();
    if (menu == nullptr) {
        return;
    }
    menu->clear();
    impl_->actions.clear();
    impl_->shown = menu_.items_;
    for (size_t i = 0; i < impl_->shown.size(); ++i) {
        const CMenuElementUI& item = impl_->shown[i];
        if (item.separator) {
            impl_->actions.push_back(menu->addSeparator());
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(item.text));
        action->setObjectName(QString::fromStdString(item.name));
        action->setCheckable(item.checkable);
        action->setChecked(item.checkable && item.checked);
        action->setEnabled(item.enabled);
        QObject::connect(action, &QAction::triggered, menu, [this, i](bool checked) {
            CMenuElementUI& chosen = impl_->shown[i];
            if (chosen.checkable) {
                chosen.checked = checked;
                CMenuElementUI* live = menu_.GetItemAt(static_cast<int>(i));
                if (live != nullptr && live->name == chosen.name) {
                    live->checked = checked;
                }
            }
            auto* cmd = new MenuCmd{chosen.name, chosen.userData, chosen.text, chosen.checked};
            if (!PostMessage(impl_->owner, WM_MENU_CLICK, reinterpret_cast<WPARAM>(cmd), 0)) {
                delete cmd;
            }
        });
        impl_->actions.push_back(action);
    }
    menu->adjustSize();
    // The point is the corner named by the alignment: left-top puts the menu right of and
    // below it.
    const QSize size = menu->sizeHint();
    QPoint topLeft = impl_->point;
    if ((impl_->alignment & eMenuAlignment_Left) == 0) {
        topLeft.rx() -= size.width();
    }
    if ((impl_->alignment & eMenuAlignment_Top) == 0) {
        topLeft.ry() -= size.height();
    }
    menu->move(FitOnPointerScreen(QRect(topLeft, size)).topLeft());
}

void CMenuWnd::Close() {
    if (impl_->menu) {
        impl_->menu->hide();
    }
}

bool CMenuWnd::IsOpen() const {
    return impl_->menu && impl_->menu->isVisible();
}

bool CMenuWnd::Choose(const std::string& itemName) {
    for (size_t i = 0; i < impl_->shown.size(); ++i) {
        const CMenuElementUI& item = impl_->shown[i];
        if (item.separator || item.name != itemName) {
            continue;
        }
        QAction* action = impl_->actions[i];
        if (!action->isEnabled()) {
            return false;
        }
        // As with a click: the menu goes away, then the item acts.
        Close();
        action->trigger();
        return true;
    }
    return false;
}

void CMenuWnd::DestroyMenu() {
    for (CMenuWnd* menu : AllMenus()) {
        menu->Close();
    }
}

}  // namespace gmd::ui
