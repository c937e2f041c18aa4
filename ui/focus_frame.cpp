#include "ui/focus_frame.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFocusFrame>
#include <QMenu>
#include <QPointer>
#include <QWidget>

namespace gmd::ui {

namespace {

class FocusFollower final : public QObject {
  public:
    explicit FocusFollower(QObject* parent) : QObject(parent) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A click means the mouse is in use, whether or not it moves the focus.
        if (event->type() == QEvent::MouseButtonPress && keyboard_) {
            keyboard_ = false;
            Frame(nullptr);
            return false;
        }
        if (event->type() != QEvent::FocusIn || !watched->isWidgetType()) {
            return false;
        }
        auto* widget = static_cast<QWidget*>(watched);
        if (widget != QApplication::focusWidget() || qobject_cast<QMenu*>(widget) != nullptr ||
            widget->inherits("QFocusFrame")) {
            return false;
        }
        switch (static_cast<QFocusEvent*>(event)->reason()) {
            case Qt::TabFocusReason:
            case Qt::BacktabFocusReason:
            case Qt::ShortcutFocusReason:
                keyboard_ = true;
                break;
            case Qt::MouseFocusReason:
                keyboard_ = false;
                break;
            default:
                // Window activation and code keep the way the user last moved.
                break;
        }
        Frame(keyboard_ ? widget : nullptr);
        return false;
    }

  private:
    void Frame(QWidget* widget) {
        if (widget == nullptr) {
            if (frame_) {
                frame_->setWidget(nullptr);
                frame_->hide();
            }
            return;
        }
        if (!frame_) {
            frame_ = new QFocusFrame();
            frame_->setObjectName(QStringLiteral("gmd_focus_frame"));
        }
        frame_->setWidget(widget);
        frame_->show();
        frame_->raise();
    }

    bool keyboard_ = false;
    // Lives inside whichever window holds the focus; that window may take it along when it
    // goes.
    QPointer<QFocusFrame> frame_;
};

}  // namespace

void InstallKeyboardFocusFrame() {
    QCoreApplication* app = QCoreApplication::instance();
    const QString name = QStringLiteral("gmd_focus_follower");
    if (app == nullptr || app->findChild<QObject*>(name, Qt::FindDirectChildrenOnly) != nullptr) {
        return;
    }
    auto* follower = new FocusFollower(app);
    follower->setObjectName(name);
    app->installEventFilter(follower);
}

}  // namespace gmd::ui
