// bare_window: an empty Qt Widgets window of the main window's size, for the application
// start-up benchmark (scripts/bench-app.sh) to start the same way beside the application. It
// writes the application's trace lines for its show and its first frame to GMD_DEBUG_FILE
// and then runs until it is ended.

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMetaObject>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace {

void Trace(const char* line) {
    if (const char* path = std::getenv("GMD_DEBUG_FILE"); path != nullptr && *path != '\0') {
        if (FILE* file = std::fopen(path, "a")) {
            std::fprintf(file, "%s\n", line);
            std::fclose(file);
        }
    }
}

class FirstFrame final : public QObject {
  public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::Show && !event->spontaneous()) {
            Trace("window: shown (1)");
        } else if (watched == parent() && event->type() == QEvent::Paint && !framed_) {
            framed_ = true;
            QMetaObject::invokeMethod(
                this, [] { Trace("window: first frame shown"); }, Qt::QueuedConnection);
        }
        return false;
    }

  private:
    bool framed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("bare window");
    window.resize(800, 572);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel("bare Qt Widgets window"));
    window.installEventFilter(new FirstFrame(&window));
    window.show();
    return QApplication::exec();
}
