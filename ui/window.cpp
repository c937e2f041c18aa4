// Windows on Qt: each CWindowWnd drives one frameless top-level QWidget. Messages, sends and
// timer requests from any thread travel through one queue that the UI thread drains when an
// eventfd wakes it. The queue and the wake-up are our own (a mutex and a file descriptor), so
// the hand-over between threads is visible to ThreadSanitizer and needs no heap object made on
// one thread and freed by Qt on another.

#include "ui/window.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cctype>
#include <climits>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "ui/control.h"
#include "ui/dialog_builder.h"

namespace gmd::ui {

namespace detail {

// The part of a window that other threads reach through its handle.
struct WindowShared {
    std::mutex mutex;
    std::condition_variable cv;  // wakes senders waiting for a reply
    bool closing = false;        // guarded by mutex; set once WM_DESTROY starts

    // UI thread only.
    CWindowWnd* window = nullptr;
    QPointer<QWidget> widget;
    std::map<UINT, QTimer*> timers;
    HWND parent = 0;
    bool noActivate = false;

    bool IsClosing() {
        std::lock_guard lock(mutex);
        return closing;
    }
    // Returns false when the window was already closing.
    bool MarkClosing() {
        {
            std::lock_guard lock(mutex);
            if (closing) {
                return false;
            }
            closing = true;
        }
        cv.notify_all();
        return true;
    }
};

}  // namespace detail

namespace {

using detail::WindowShared;
using Task = std::function<void(WindowShared&)>;

struct QueuedTask {
    std::shared_ptr<WindowShared> target;
    Task run;
};

class Pump;

struct Registry {
    std::mutex mutex;
    std::map<HWND, std::shared_ptr<WindowShared>> windows;
    HWND lastHwnd = 0;
    std::deque<QueuedTask> tasks;
    Pump* pump = nullptr;  // null before the first window and after the application ends
    int wakeFd = -1;
    std::thread::id uiThread;
};

Registry& Reg() {
    static Registry registry;
    return registry;
}

// Called with the registry locked.
void WakeUiThread(Registry& reg) {
    const uint64_t one = 1;
    const ssize_t written = ::write(reg.wakeFd, &one, sizeof one);
    (void)written;  // a full counter still wakes the reader
}

void DrainTasks() {
    Registry& reg = Reg();
    for (;;) {
        QueuedTask task;
        {
            std::lock_guard lock(reg.mutex);
            if (reg.tasks.empty()) {
                return;
            }
            task = std::move(reg.tasks.front());
            reg.tasks.pop_front();
            // The task may run a modal loop; the ones behind it must still run meanwhile.
            if (!reg.tasks.empty()) {
                WakeUiThread(reg);
            }
        }
        // Work for a window that is gone or going is dropped; its waiting senders were
        // released when it started closing.
        if (task.target->window != nullptr && !task.target->IsClosing()) {
            task.run(*task.target);
        }
    }
}

// Lives on the UI thread; runs queued work whenever the eventfd is signalled. The notifier
// also fires inside nested event loops (modal runs, menus), so work never waits for them.
class Pump final : public QObject {
  public:
    explicit Pump(int fd) : fd_(fd), notifier_(fd, QSocketNotifier::Read, this) {
        connect(&notifier_, &QSocketNotifier::activated, this, [this] {
            uint64_t count = 0;
            const ssize_t got = ::read(fd_, &count, sizeof count);
            (void)got;
            DrainTasks();
        });
    }

  private:
    int fd_;
    QSocketNotifier notifier_;
};

// Runs while the application object is being destroyed: later posts fail, waiting senders
// return.
void DestroyPump() {
    Registry& reg = Reg();
    Pump* pump = nullptr;
    int fd = -1;
    std::deque<QueuedTask> dropped;
    std::vector<std::shared_ptr<WindowShared>> windows;
    {
        std::lock_guard lock(reg.mutex);
        pump = reg.pump;
        fd = reg.wakeFd;
        reg.pump = nullptr;
        reg.wakeFd = -1;
        dropped.swap(reg.tasks);
        for (auto& [hwnd, shared] : reg.windows) {
            windows.push_back(shared);
        }
    }
    for (auto& shared : windows) {
        shared->MarkClosing();
    }
    delete pump;
    if (fd >= 0) {
        ::close(fd);
    }
}

void EnsurePump() {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mutex);
    if (reg.pump != nullptr || QCoreApplication::instance() == nullptr) {
        return;
    }
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        return;
    }
    reg.wakeFd = fd;
    reg.pump = new Pump(fd);
    reg.uiThread = std::this_thread::get_id();
    qAddPostRoutine(DestroyPump);
}

bool OnUiThread() {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mutex);
    return reg.pump != nullptr && reg.uiThread == std::this_thread::get_id();
}

std::shared_ptr<WindowShared> FindWindow(HWND hwnd) {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mutex);
    auto it = reg.windows.find(hwnd);
    return it == reg.windows.end() ? nullptr : it->second;
}

void Unregister(HWND hwnd) {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mutex);
    reg.windows.erase(hwnd);
}

// Queues work for a window; false when there is no such window or no UI thread.
bool Enqueue(HWND hwnd, Task task) {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mutex);
    if (reg.pump == nullptr) {
        return false;
    }
    auto it = reg.windows.find(hwnd);
    if (it == reg.windows.end() || it->second->IsClosing()) {
        return false;
    }
    reg.tasks.push_back({it->second, std::move(task)});
    WakeUiThread(reg);
    return true;
}

void ArmTimer(const std::shared_ptr<WindowShared>& shared, UINT id, UINT elapseMs) {
    QTimer*& timer = shared->timers[id];
    if (timer == nullptr) {
        timer = new QTimer(shared->widget.data());
        // Coarse timers may fire a little early; callers rely on "not before the period".
        timer->setTimerType(Qt::PreciseTimer);
        std::weak_ptr<WindowShared> weak = shared;
        QObject::connect(timer, &QTimer::timeout, timer, [weak, id] {
            auto target = weak.lock();
            if (target && target->window != nullptr && !target->IsClosing()) {
                target->window->HandleMessage(WM_TIMER, id, 0);
            }
        });
    }
    timer->start(static_cast<int>(std::min<UINT>(elapseMs, INT_MAX)));
}

bool StopTimer(WindowShared& shared, UINT id) {
    auto it = shared.timers.find(id);
    if (it == shared.timers.end() || !it->second->isActive()) {
        return false;
    }
    it->second->stop();
    return true;
}

void StopAllTimers(WindowShared& shared) {
    for (auto& [id, timer] : shared.timers) {
        timer->stop();
    }
}

// The control classes that take the mouse themselves; the caption does not start there.
bool IsInteractiveClass(const std::string& cls) {
    static const char* const kClasses[] = {"Button",       "Option",         "CheckBox", "Text",
                                           "Edit",         "Combo",          "Slider",   "List",
                                           "ColorPalette", "DeviceKeyButton"};
    return std::any_of(std::begin(kClasses), std::end(kClasses),
                       [&](const char* c) { return cls == c; });
}

// The test and headless platforms have no stacking or shaped windows and warn on each try.
bool HasWindowManager() {
    static const bool has = QGuiApplication::platformName() != QLatin1String("offscreen") &&
                            QGuiApplication::platformName() != QLatin1String("minimal");
    return has;
}

void Raise(QWidget* w) {
    if (HasWindowManager()) {
        w->raise();
    }
}

struct ModalRun {
    QEventLoop loop;
    UINT result = 0;
};

// A window with a maximise button (or edges that resize it) can be maximised from its caption.
bool IsMaximisable(CPaintManagerUI& pm) {
    const RECT& box = pm.GetSizeBox();
    return pm.FindControl("maxbtn") != nullptr || box.left > 0 || box.top > 0 || box.right > 0 ||
           box.bottom > 0;
}

// The title bar shows "restore" while the window is maximised and "maximise" otherwise.
void ShowStateButtons(CPaintManagerUI& pm, bool maximised) {
    CControlUI* maxButton = pm.FindControl("maxbtn");
    CControlUI* restoreButton = pm.FindControl("restorebtn");
    if (maxButton == nullptr || restoreButton == nullptr) {
        return;
    }
    CControlUI* shown = maximised ? restoreButton : maxButton;
    CControlUI* hidden = maximised ? maxButton : restoreButton;
    const bool hadFocus = hidden->IsFocused();
    shown->SetVisible(true);
    hidden->SetVisible(false);
    if (hadFocus) {
        shown->SetFocus();  // a keyboard user stays on the button that replaced it
    }
}

// A strip along an edge (or a corner) of a resizable frameless window: a press there hands the
// resize to the window system, or follows the pointer where there is none that can.
class SizeGrip final : public QWidget {
  public:
    SizeGrip(QWidget* window, Qt::Edges edges) : QWidget(window), edges_(edges) {
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setObjectName(QStringLiteral("gmd_size_grip"));
        const bool horizontal = (edges & (Qt::LeftEdge | Qt::RightEdge)) != 0;
        const bool vertical = (edges & (Qt::TopEdge | Qt::BottomEdge)) != 0;
        if (horizontal && vertical) {
            const bool falling =
                edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
            setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
        } else {
            setCursor(horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor);
        }
    }
    Qt::Edges Edges() const { return edges_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) {
            QWidget::mousePressEvent(event);
            return;
        }
        event->accept();
        QWindow* handle = window()->windowHandle();
        if (handle != nullptr && handle->startSystemResize(edges_)) {
            return;
        }
        resizing_ = true;
        pressed_ = event->globalPosition().toPoint();
        start_ = window()->geometry();
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!resizing_) {
            QWidget::mouseMoveEvent(event);
            return;
        }
        const QPoint delta = event->globalPosition().toPoint() - pressed_;
        const QSize minimum = window()->minimumSize();
        QRect r = start_;
        if (edges_ & Qt::LeftEdge) {
            r.setLeft(std::min(r.left() + delta.x(), r.right() + 1 - minimum.width()));
        }
        if (edges_ & Qt::RightEdge) {
            r.setRight(std::max(r.right() + delta.x(), r.left() - 1 + minimum.width()));
        }
        if (edges_ & Qt::TopEdge) {
            r.setTop(std::min(r.top() + delta.y(), r.bottom() + 1 - minimum.height()));
        }
        if (edges_ & Qt::BottomEdge) {
            r.setBottom(std::max(r.bottom() + delta.y(), r.top() - 1 + minimum.height()));
        }
        window()->setGeometry(r);
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        resizing_ = false;
        QWidget::mouseReleaseEvent(event);
    }

  private:
    Qt::Edges edges_;
    bool resizing_ = false;
    QPoint pressed_;
    QRect start_;
};

}  // namespace

// The top-level widget of a window: forwards what the window system tells it.
class CWindowWnd::Host final : public QWidget {
  public:
    Host(CWindowWnd* owner, Qt::WindowFlags flags) : QWidget(nullptr, flags), owner_(owner) {}

    CWindowWnd* owner_;

  protected:
    void closeEvent(QCloseEvent* event) override {
        // The window decides; Close() hides and deletes this widget itself.
        event->ignore();
        if (owner_ != nullptr) {
            owner_->OnCloseRequest();
        }
    }

    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        PostInit();
    }

  public:
    void PostInit() {
        if (initPosted_) {
            return;
        }
        initPosted_ = true;
        // After InitWindow and after the show has finished.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (WindowImplBase* impl = Impl()) {
                    Send(impl, notify::kWindowInit);
                }
            },
            Qt::QueuedConnection);
    }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        WindowImplBase* impl = Impl();
        if (impl == nullptr) {
            return;
        }
        ApplyRoundCorner(impl->GetPaintManager().GetRoundCorner());
        PlaceSizeGrips();
        if (impl->GetPaintManager().GetRoot() != nullptr) {
            Send(impl, notify::kWindowSize);
        }
    }

    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        if (event->type() == QEvent::WindowStateChange) {
            OnWindowStateChange();
            return;
        }
        if (event->type() != QEvent::ActivationChange || owner_ == nullptr) {
            return;
        }
        const bool active = isActiveWindow();
        if (active != active_) {
            active_ = active;
            owner_->OnActivate(active);
        }
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton || !InCaption(event->position().toPoint())) {
            QWidget::mousePressEvent(event);
            return;
        }
        event->accept();
        // The move starts once the pointer moves: a click, or the first half of a double
        // click, leaves the window where it is.
        movePending_ = true;
        pressedAt_ = event->globalPosition().toPoint();
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override {
        WindowImplBase* impl = Impl();
        if (event->button() != Qt::LeftButton || !InCaption(event->position().toPoint()) ||
            impl == nullptr || !IsMaximisable(impl->GetPaintManager())) {
            QWidget::mouseDoubleClickEvent(event);
            return;
        }
        event->accept();
        movePending_ = false;
        if (isMaximized()) {
            impl->Restore();
        } else {
            impl->Maximize();
        }
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        const QPoint global = event->globalPosition().toPoint();
        if (movePending_ &&
            (global - pressedAt_).manhattanLength() >= QApplication::startDragDistance()) {
            movePending_ = false;
            event->accept();
            if (windowHandle() != nullptr && windowHandle()->startSystemMove()) {
                return;
            }
            // No window manager move (offscreen, some X11 setups): follow the pointer
            // ourselves.
            dragging_ = true;
            dragOffset_ = pressedAt_ - pos();
        }
        if (!dragging_) {
            QWidget::mouseMoveEvent(event);
            return;
        }
        move(global - dragOffset_);
        event->accept();
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        movePending_ = false;
        if (dragging_ && event->button() == Qt::LeftButton) {
            dragging_ = false;
            event->accept();
            return;
        }
        QWidget::mouseReleaseEvent(event);
    }

  public:
    // Edge strips for the layout's size box; none when it has no size box.
    void MakeSizeGrips(const RECT& box) {
        if (box.left <= 0 && box.top <= 0 && box.right <= 0 && box.bottom <= 0) {
            return;
        }
        sizeBox_ = box;
        for (const Qt::Edges edges :
             {Qt::Edges(Qt::LeftEdge), Qt::Edges(Qt::RightEdge), Qt::Edges(Qt::TopEdge),
              Qt::Edges(Qt::BottomEdge), Qt::LeftEdge | Qt::TopEdge, Qt::RightEdge | Qt::TopEdge,
              Qt::LeftEdge | Qt::BottomEdge, Qt::RightEdge | Qt::BottomEdge}) {
            grips_.push_back(new SizeGrip(this, edges));
        }
        PlaceSizeGrips();
    }

  private:
    void PlaceSizeGrips() {
        const bool show = !isMaximized() && !isFullScreen();
        const int w = width();
        const int h = height();
        const int l = sizeBox_.left;
        const int t = sizeBox_.top;
        const int r = sizeBox_.right;
        const int b = sizeBox_.bottom;
        // Corners take twice the strip, so they are easy to hit.
        const int cx = 2 * std::max(l, r);
        const int cy = 2 * std::max(t, b);
        for (SizeGrip* grip : grips_) {
            QRect area;
            switch (grip->Edges().toInt()) {
                case Qt::LeftEdge:
                    area = QRect(0, cy, l, h - 2 * cy);
                    break;
                case Qt::RightEdge:
                    area = QRect(w - r, cy, r, h - 2 * cy);
                    break;
                case Qt::TopEdge:
                    area = QRect(cx, 0, w - 2 * cx, t);
                    break;
                case Qt::BottomEdge:
                    area = QRect(cx, h - b, w - 2 * cx, b);
                    break;
                case Qt::LeftEdge | Qt::TopEdge:
                    area = QRect(0, 0, cx, cy);
                    break;
                case Qt::RightEdge | Qt::TopEdge:
                    area = QRect(w - cx, 0, cx, cy);
                    break;
                case Qt::LeftEdge | Qt::BottomEdge:
                    area = QRect(0, h - cy, cx, cy);
                    break;
                default:
                    area = QRect(w - cx, h - cy, cx, cy);
                    break;
            }
            grip->setGeometry(area);
            grip->setVisible(show && !area.isEmpty());
            grip->raise();
        }
    }

    void OnWindowStateChange() {
        WindowImplBase* impl = Impl();
        if (impl == nullptr) {
            return;
        }
        ApplyRoundCorner(impl->GetPaintManager().GetRoundCorner());
        PlaceSizeGrips();
        ShowStateButtons(impl->GetPaintManager(), isMaximized());
    }

  private:
    WindowImplBase* Impl() const { return dynamic_cast<WindowImplBase*>(owner_); }

    // The layout's round corner: a rounded window shape unless maximised.
    void ApplyRoundCorner(SIZE corner) {
        if (!HasWindowManager()) {
            return;
        }
        if (corner.cx <= 0 || corner.cy <= 0 || isMaximized()) {
            clearMask();
            return;
        }
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), corner.cx / 2.0, corner.cy / 2.0);
        setMask(QRegion(path.toFillPolygon().toPolygon()));
    }

    static void Send(WindowImplBase* impl, const char* type) {
        CPaintManagerUI& pm = impl->GetPaintManager();
        if (CControlUI* root = pm.GetRoot()) {
            pm.SendNotify(root, type);
        } else {
            // A window whose layout failed still hears about its own life.
            TNotifyUI msg{type, nullptr, 0, 0};
            impl->Notify(msg);
        }
    }

    bool InCaption(QPoint pt) {
        WindowImplBase* impl = Impl();
        if (impl == nullptr) {
            return false;
        }
        CPaintManagerUI& pm = impl->GetPaintManager();
        const RECT caption = pm.GetCaptionRect();
        const QRect client = rect();
        if (pt.x() < client.left() + caption.left || pt.x() >= client.width() - caption.right ||
            pt.y() < caption.top || pt.y() >= caption.bottom) {
            return false;
        }
        CControlUI* control = pm.FindControl(POINT{pt.x(), pt.y()});
        return control == nullptr || !IsInteractiveClass(control->GetClass());
    }

    bool initPosted_ = false;
    bool active_ = false;
    bool movePending_ = false;
    QPoint pressedAt_;
    bool dragging_ = false;
    QPoint dragOffset_;
    RECT sizeBox_;
    std::vector<SizeGrip*> grips_;
};

// ---------------------------------------------------------------------------------------------
// CWindowWnd

CWindowWnd::CWindowWnd() : alive_(std::make_shared<char>()) {}

CWindowWnd::~CWindowWnd() {
    Teardown();
}

QWidget* CWindowWnd::GetWidget() const {
    return widget_.data();
}

HWND CWindowWnd::Create(HWND parent, const std::string& name, DWORD style, DWORD exStyle, int x,
                        int y, int cx, int cy) {
    if (widget_ != nullptr && !destroyed_) {
        return hwnd_;
    }
    if (QCoreApplication::instance() == nullptr) {
        return 0;
    }
    EnsurePump();

    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    if ((exStyle & WS_EX_TOOLWINDOW) != 0) {
        flags |= Qt::Tool;
    }
    if ((exStyle & WS_EX_TOPMOST) != 0) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    const bool noActivate = (exStyle & WS_EX_NOACTIVATE) != 0;
    if (noActivate) {
        flags |= Qt::WindowDoesNotAcceptFocus;
    }
    auto* host = new Host(this, flags);
    host->setObjectName(QString::fromStdString(GetWindowClassName()));
    host->setWindowTitle(QString::fromStdString(name));
    host->setAttribute(Qt::WA_ShowWithoutActivating, noActivate);
    host->move(x, y);
    const bool sizeGiven = cx > 0 && cy > 0;
    if (sizeGiven) {
        host->resize(cx, cy);
    }
    widget_ = host;
    destroyed_ = false;

    Registry& reg = Reg();
    {
        std::lock_guard lock(reg.mutex);
        hwnd_ = ++reg.lastHwnd;
        shared_ = std::make_shared<WindowShared>();
        reg.windows[hwnd_] = shared_;
    }
    shared_->window = this;
    shared_->widget = host;
    shared_->parent = parent;
    shared_->noActivate = noActivate;

    if (parent != 0) {
        if (QWidget* parentWidget = GetWindowWidget(parent)) {
            // A transient parent keeps the window above its owner without making it a child
            // that Qt would delete along with the owner.
            host->winId();
            parentWidget->winId();
            host->windowHandle()->setTransientParent(parentWidget->windowHandle());
        }
    }

    if (auto* impl = dynamic_cast<WindowImplBase*>(this)) {
        impl->BuildLayout(sizeGiven);
    }
    if (destroyed_) {
        return 0;  // InitWindow closed it again
    }
    if ((style & WS_VISIBLE) != 0) {
        ShowWindow(true, !noActivate);
    }
    return hwnd_;
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
    QWidget* w = widget_.data();
    if (w == nullptr || destroyed_) {
        return;
    }
    if (!show) {
        w->hide();
        return;
    }
    const bool activate = takeFocus && !shared_->noActivate;
    w->setAttribute(Qt::WA_ShowWithoutActivating, !activate);
    if (w->isMinimized()) {
        w->showNormal();
    } else {
        w->show();
    }
    if (activate) {
        Raise(w);
        w->activateWindow();
    }
}

void CWindowWnd::PostWindowInit() {
    if (auto* host = static_cast<Host*>(widget_.data()); host != nullptr && !destroyed_) {
        host->PostInit();
    }
}

bool CWindowWnd::IsWindowVisible() const {
    return widget_ != nullptr && !destroyed_ && widget_->isVisible();
}

bool CWindowWnd::IsMinimized() const {
    return widget_ != nullptr && !destroyed_ && widget_->isMinimized();
}

void CWindowWnd::Minimize() {
    if (widget_ != nullptr && !destroyed_) {
        widget_->showMinimized();
    }
}

void CWindowWnd::Maximize() {
    if (widget_ != nullptr && !destroyed_) {
        widget_->showMaximized();
    }
}

void CWindowWnd::Restore() {
    if (widget_ != nullptr && !destroyed_) {
        widget_->showNormal();
    }
}

void CWindowWnd::SetTopMost(bool on) {
    QWidget* w = widget_.data();
    if (w == nullptr || destroyed_ || w->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on) {
        return;
    }
    const bool visible = w->isVisible();
    const QPoint position = w->pos();
    w->setWindowFlag(Qt::WindowStaysOnTopHint, on);  // hides the window
    w->move(position);
    if (visible) {
        w->show();
    }
}

void CWindowWnd::BringToFront() {
    QWidget* w = widget_.data();
    if (w == nullptr || destroyed_) {
        return;
    }
    if (w->isMinimized()) {
        w->showNormal();
    }
    Raise(w);
    w->activateWindow();
}

void CWindowWnd::CenterWindow() {
    QWidget* w = widget_.data();
    if (w == nullptr || destroyed_) {
        return;
    }
    QScreen* screen = w->screen() != nullptr ? w->screen() : QGuiApplication::primaryScreen();
    const QRect work = screen != nullptr ? screen->availableGeometry() : QRect();
    QRect over = work;
    QWidget* owner = GetWindowWidget(shared_->parent);
    if (owner != nullptr && owner->isVisible() && !owner->isMinimized()) {
        over = owner->frameGeometry();
    }
    const QSize size = w->frameGeometry().size();
    QPoint topLeft(over.x() + (over.width() - size.width()) / 2,
                   over.y() + (over.height() - size.height()) / 2);
    if (!work.isEmpty()) {
        // Keep it on the work area when the owner sits at an edge.
        topLeft.setX(std::clamp(topLeft.x(), work.left(),
                                std::max(work.left(), work.right() + 1 - size.width())));
        topLeft.setY(std::clamp(topLeft.y(), work.top(),
                                std::max(work.top(), work.bottom() + 1 - size.height())));
    }
    w->move(topLeft);
}

void CWindowWnd::MoveWindow(int x, int y) {
    if (widget_ != nullptr && !destroyed_) {
        widget_->move(x, y);
    }
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    if (widget_ != nullptr && !destroyed_) {
        widget_->resize(cx, cy);
    }
}

RECT CWindowWnd::GetWindowRect() const {
    if (widget_ == nullptr) {
        return {};
    }
    const QRect r = widget_->frameGeometry();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void CWindowWnd::SetWindowTitle(const std::string& title) {
    if (widget_ != nullptr) {
        widget_->setWindowTitle(QString::fromStdString(title));
    }
}

std::string CWindowWnd::GetWindowTitle() const {
    return widget_ != nullptr ? widget_->windowTitle().toStdString() : std::string();
}

UINT CWindowWnd::ShowModal() {
    QWidget* w = widget_.data();
    if (w == nullptr || destroyed_ || modalLoop_ != nullptr) {
        return static_cast<UINT>(-1);
    }
    ModalRun run;
    modalLoop_ = &run;
    modal_ = true;
    const std::weak_ptr<char> alive = alive_;
    if (w->isVisible()) {
        w->hide();  // modality only takes effect on the next show
    }
    w->setWindowModality(Qt::ApplicationModal);
    ShowWindow(true, true);
    if (!destroyed_) {
        run.loop.exec(QEventLoop::DialogExec);
    }
    // The window object may have been deleted while the loop ran.
    if (!alive.expired()) {
        modal_ = false;
        modalLoop_ = nullptr;
    }
    return run.result;
}

void CWindowWnd::Close(UINT code) {
    if (!OnUiThread()) {
        // Only the handle is read here; the rest of this object belongs to the UI thread.
        Enqueue(hwnd_, [code](WindowShared& s) { s.window->Close(code); });
        return;
    }
    if (!shared_ || destroyed_) {
        return;
    }
    // From here on, senders waiting for this window are released and new ones get 0, so a
    // WM_DESTROY handler may join threads that send to us.
    if (!shared_->MarkClosing()) {
        return;
    }
    if (widget_ != nullptr) {
        widget_->hide();
    }
    HandleMessage(WM_DESTROY, 0, 0);

    StopAllTimers(*shared_);
    Unregister(hwnd_);
    shared_->window = nullptr;
    destroyed_ = true;
    modalResult_ = code;
    if (modalLoop_ != nullptr) {
        auto* run = static_cast<ModalRun*>(modalLoop_);
        run->result = code;
        run->loop.exit(static_cast<int>(code));
    }
    if (auto* host = static_cast<Host*>(widget_.data())) {
        host->owner_ = nullptr;
        host->deleteLater();
    }
    const std::weak_ptr<char> alive = alive_;
    const HWND hwnd = hwnd_;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, alive, hwnd] {
            if (!alive.expired()) {
                OnFinalMessage(hwnd);
            }
        },
        Qt::QueuedConnection);
}

void CWindowWnd::Teardown() {
    if (shared_ && !destroyed_) {
        shared_->MarkClosing();
        StopAllTimers(*shared_);
        Unregister(hwnd_);
        shared_->window = nullptr;
        destroyed_ = true;
        if (modalLoop_ != nullptr) {
            static_cast<ModalRun*>(modalLoop_)->loop.exit(0);
            modalLoop_ = nullptr;
        }
    }
    if (auto* host = static_cast<Host*>(widget_.data())) {
        host->owner_ = nullptr;
        delete host;
    }
    shared_.reset();
}

LRESULT CWindowWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ui::SendMessage(hwnd_, msg, wParam, lParam);
}

void CWindowWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    ui::PostMessage(hwnd_, msg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT msg, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    if (msg == WM_CLOSE) {
        Close(0);
    }
    return 0;
}

void CWindowWnd::OnFinalMessage(HWND /*hwnd*/) {}

void CWindowWnd::OnCloseRequest() {
    Close(0);
}

void CWindowWnd::OnActivate(bool active) {
    HandleMessage(WM_ACTIVATE, active ? 1 : 0, 0);
}

// ---------------------------------------------------------------------------------------------
// WindowImplBase

WindowImplBase::WindowImplBase() = default;

// The widget tree goes before the paint manager deletes the controls that fill it.
WindowImplBase::~WindowImplBase() {
    Teardown();
}

void WindowImplBase::Notify(TNotifyUI& msg) {
    if (msg.sType != notify::kClick || msg.pSender == nullptr) {
        return;
    }
    const std::string& name = msg.pSender->GetName();
    if (name == "closebtn") {
        Close(0);
    } else if (name == "minbtn") {
        Minimize();
    } else if (name == "maxbtn") {
        Maximize();
    } else if (name == "restorebtn") {
        Restore();
    }
}

CControlUI* WindowImplBase::CreateControl(const std::string& /*className*/) {
    return nullptr;
}

LRESULT WindowImplBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    bool handled = false;
    LRESULT result = 0;
    if (msg == WM_DESTROY) {
        result = OnDestroy(msg, wParam, lParam, handled);
        if (handled) {
            return result;
        }
    } else if (msg == WM_TIMER) {
        result = HandleCustomMessage(msg, wParam, lParam, handled);
        if (handled) {
            return result;
        }
        return OnTimer(msg, wParam, lParam, handled);
    }
    handled = false;
    result = HandleCustomMessage(msg, wParam, lParam, handled);
    if (handled) {
        return result;
    }
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

LRESULT WindowImplBase::HandleCustomMessage(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                                            bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                                  bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::OnTimer(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, bool& handled) {
    handled = false;
    return 0;
}

void WindowImplBase::BuildLayout(bool sizeGiven) {
    m_pm.Init(this);
    const std::string skin = GetSkinFile();
    CDialogBuilder builder;
    CControlUI* root = builder.Create(skin, nullptr, this, &m_pm);
    if (root == nullptr) {
        buildError_ = builder.GetLastError().empty() ? "cannot build layout '" + skin + "'"
                                                     : builder.GetLastError();
        qWarning("window %s: %s", GetWindowClassName().c_str(), buildError_.c_str());
    } else if (!m_pm.AttachDialog(root)) {
        buildError_ = "cannot show layout '" + skin + "'";
        qWarning("window %s: %s", GetWindowClassName().c_str(), buildError_.c_str());
    }
    m_pm.AddNotifier(this);

    QWidget* w = widget_.data();
    if (!sizeGiven) {
        const SIZE initial = m_pm.GetInitSize();
        if (initial.cx > 0 && initial.cy > 0) {
            w->resize(initial.cx, initial.cy);
        } else {
            w->adjustSize();
        }
    }
    const SIZE minimum = m_pm.GetMinInfo();
    if (minimum.cx > 0 || minimum.cy > 0) {
        w->setMinimumSize(std::max(minimum.cx, 0), std::max(minimum.cy, 0));
    }
    static_cast<Host*>(w)->MakeSizeGrips(m_pm.GetSizeBox());
    m_pm.ReloadTitle();
    InitWindow();
}

// ---------------------------------------------------------------------------------------------
// Thread-safe services by handle

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (OnUiThread()) {
        auto target = FindWindow(hwnd);
        if (!target || target->window == nullptr || target->IsClosing()) {
            return 0;
        }
        return target->window->HandleMessage(msg, wParam, lParam);
    }

    struct Reply {
        bool done = false;  // guarded by the window's mutex
        LRESULT result = 0;
    };
    auto reply = std::make_shared<Reply>();
    auto target = FindWindow(hwnd);
    if (!target) {
        return 0;
    }
    const bool queued = Enqueue(hwnd, [reply, msg, wParam, lParam](WindowShared& s) {
        const LRESULT result = s.window->HandleMessage(msg, wParam, lParam);
        {
            std::lock_guard lock(s.mutex);
            reply->result = result;
            reply->done = true;
        }
        s.cv.notify_all();
    });
    if (!queued) {
        return 0;
    }
    std::unique_lock lock(target->mutex);
    target->cv.wait(lock, [&] { return reply->done || target->closing; });
    return reply->done ? reply->result : 0;
}

bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return Enqueue(hwnd, [msg, wParam, lParam](WindowShared& s) {
        s.window->HandleMessage(msg, wParam, lParam);
    });
}

bool SetTimer(HWND hwnd, UINT id, UINT elapseMs) {
    if (OnUiThread()) {
        auto target = FindWindow(hwnd);
        if (!target || target->window == nullptr || target->IsClosing()) {
            return false;
        }
        ArmTimer(target, id, elapseMs);
        return true;
    }
    auto target = FindWindow(hwnd);
    if (!target) {
        return false;
    }
    std::weak_ptr<WindowShared> weak = target;
    return Enqueue(hwnd, [weak, id, elapseMs](WindowShared&) {
        if (auto shared = weak.lock()) {
            ArmTimer(shared, id, elapseMs);
        }
    });
}

bool KillTimer(HWND hwnd, UINT id) {
    if (OnUiThread()) {
        auto target = FindWindow(hwnd);
        return target && StopTimer(*target, id);
    }
    return Enqueue(hwnd, [id](WindowShared& s) { StopTimer(s, id); });
}

bool IsWindow(HWND hwnd) {
    return hwnd != 0 && FindWindow(hwnd) != nullptr;
}

UINT RegisterWindowMessage(const std::string& name) {
    if (name.empty()) {
        return 0;
    }
    // Names compare without case, as message names do on the system these come from.
    const std::string key = ToLowerAscii(name);
    static std::mutex mutex;
    static std::map<std::string, UINT> names;
    static UINT next = kRegisteredMessageFirst;
    std::lock_guard lock(mutex);
    auto it = names.find(key);
    if (it != names.end()) {
        return it->second;
    }
    if (next > kRegisteredMessageLast) {
        return 0;
    }
    names.emplace(key, next);
    return next++;
}

QWidget* GetWindowWidget(HWND hwnd) {
    if (hwnd == 0 || !OnUiThread()) {
        return nullptr;
    }
    auto target = FindWindow(hwnd);
    return target ? target->widget.data() : nullptr;
}

}  // namespace gmd::ui
