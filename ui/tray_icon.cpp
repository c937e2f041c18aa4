// The tray icon on QSystemTrayIcon. No context menu is attached: the owner gets the click as a
// message and shows its own menu, as the left click toggles its window.

#include "ui/tray_icon.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QSystemTrayIcon>

#include "ui/paint_manager.h"
#include "ui/window.h"

namespace gmd::ui {

namespace {

// Test and headless platforms have no notification area.
bool IsHeadless() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

}  // namespace

struct CTrayIcon::Impl {
    std::unique_ptr<QSystemTrayIcon> icon;
    bool created = false;
    HWND owner = 0;
    UINT message = WM_TRAY_NOTIFY;
};

CTrayIcon::CTrayIcon() : impl_(std::make_unique<Impl>()) {}

CTrayIcon::~CTrayIcon() = default;

bool CTrayIcon::CreateTrayIcon(HWND owner, const std::string& iconFile, const std::string& toolTip,
                               UINT message) {
    DeleteTrayIcon();
    QString path = QString::fromStdString(iconFile);
    if (QDir::isRelativePath(path)) {
        path = QString::fromStdString(CPaintManagerUI::GetResourcePath()) + path;
    }
    // QIcon accepts any name and fails only when drawn; check that the image really loads.
    if (iconFile.empty() || !QFileInfo(path).isFile() || QImageReader(path).read().isNull()) {
        return false;
    }
    impl_->owner = owner;
    impl_->message = message;
    impl_->created = true;
    if (IsHeadless()) {
        return true;  // nothing to show on; SimulateClick still reaches the owner
    }
    impl_->icon = std::make_unique<QSystemTrayIcon>(QIcon(path));
    impl_->icon->setToolTip(QString::fromStdString(toolTip));
    QObject::connect(impl_->icon.get(), &QSystemTrayIcon::activated, impl_->icon.get(),
                     [owner, message](QSystemTrayIcon::ActivationReason reason) {
                         switch (reason) {
                             case QSystemTrayIcon::Trigger:
                             // The second click of a double click is another left release.
                             case QSystemTrayIcon::DoubleClick:
                                 PostMessage(owner, message, 0, WM_LBUTTONUP);
                                 break;
                             case QSystemTrayIcon::Context:
                                 PostMessage(owner, message, 0, WM_RBUTTONUP);
                                 break;
                             default:
                                 break;
                         }
                     });
    impl_->icon->show();
    return true;
}

void CTrayIcon::DeleteTrayIcon() {
    if (impl_->icon) {
        impl_->icon->hide();
        impl_->icon.reset();
    }
    impl_->created = false;
    impl_->owner = 0;
}

bool CTrayIcon::IsCreated() const {
    return impl_->created;
}

void CTrayIcon::SetToolTip(const std::string& toolTip) {
    if (impl_->icon) {
        impl_->icon->setToolTip(QString::fromStdString(toolTip));
    }
}

bool CTrayIcon::IsTrayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CTrayIcon::SimulateClick(LPARAM mouseMessage) {
    if (impl_->created) {
        PostMessage(impl_->owner, impl_->message, 0, mouseMessage);
    }
}

}  // namespace gmd::ui
