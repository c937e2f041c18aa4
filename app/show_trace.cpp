#include "app/show_trace.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>

#include "platform/debug_output.h"

namespace gmd::app {

namespace {

class ShowTracer final : public QObject {
  public:
    ShowTracer(QWidget* window, std::string name) : QObject(window), name_(std::move(name)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != parent()) {
            return false;
        }
        // Spontaneous shows come from the window manager (a restore from the task bar).
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            DebugTrace(name_ + ": shown (" + std::to_string(++shows_) + ")");
        } else if (event->type() == QEvent::Paint && !framed_) {
            framed_ = true;
            // The window's children paint in the same pass and the frame goes out after it:
            // a queued call runs once all of that is done.
            QMetaObject::invokeMethod(
                this, [this] { DebugTrace(name_ + ": first frame shown"); }, Qt::QueuedConnection);
        }
        return false;
    }

  private:
    std::string name_;
    int shows_ = 0;
    bool framed_ = false;
};

}  // namespace

void TraceWindowShows(QWidget* window, const std::string& name) {
    if (window == nullptr || !DebugTraceEnabled()) {
        return;
    }
    window->installEventFilter(new ShowTracer(window, name));
}

}  // namespace gmd::app
