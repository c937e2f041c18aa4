#include "ui/paint_manager.h"

#include <QApplication>
#include <QLayout>
#include <QMetaObject>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <filesystem>
#include <functional>

#include "ui/control.h"
#include "ui/controls.h"
#include "ui/resource_manager.h"
#include "ui/window.h"

namespace gmd::ui {

void* CPaintManagerUI::instance_ = nullptr;
std::string CPaintManagerUI::resourcePath_;

namespace {

std::vector<CPaintManagerUI*>& LiveManagers() {
    static std::vector<CPaintManagerUI*> managers;
    return managers;
}

bool IsLive(const CPaintManagerUI* manager) {
    const auto& managers = LiveManagers();
    return std::find(managers.begin(), managers.end(), manager) != managers.end();
}

bool Contains(CControlUI* root, CControlUI* control) {
    if (root == nullptr) {
        return false;
    }
    if (root == control) {
        return true;
    }
    if (CContainerUI* container = root->AsContainer()) {
        for (int i = 0; i < container->GetCount(); ++i) {
            if (Contains(container->GetItemAt(i), control)) {
                return true;
            }
        }
    }
    return false;
}

std::string WithSlash(std::string path) {
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    return path;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() {
    LiveManagers().push_back(this);
}

CPaintManagerUI::~CPaintManagerUI() {
    // Widgets going away may still report focus changes; nobody listens any more.
    destroying_ = true;
    notifiers_.clear();
    root_.reset();
    auto& managers = LiveManagers();
    managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
}

void CPaintManagerUI::Init(CWindowWnd* window) {
    window_ = window;
}

void CPaintManagerUI::ReloadTitle() {
    const CResourceManager* resources = CResourceManager::GetInstance();
    // Before the language texts are loaded the window keeps the name it was created with
    // rather than showing a text id.
    if (window_ != nullptr && !titleTextId_.empty() && resources->HasText(titleTextId_)) {
        window_->SetWindowTitle(resources->GetText(titleTextId_));
    }
}

QWidget* CPaintManagerUI::GetPaintWidget() const {
    if (window_ != nullptr && window_->GetWidget() != nullptr) {
        return window_->GetWidget();
    }
    return root_ ? root_->GetWidget() : nullptr;
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    if (root == nullptr) {
        return false;
    }
    if (root_.get() != root) {
        root_.reset(root);
    }
    root->SetManager(this, nullptr);
    QWidget* host = window_ != nullptr ? window_->GetWidget() : nullptr;
    if (host != nullptr) {
        auto* layout = host->layout();
        if (layout == nullptr) {
            layout = new QVBoxLayout(host);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
        }
        QWidget* rootWidget = root->GetWidget();
        layout->addWidget(rootWidget);
        if (root->IsOwnVisible()) {
            rootWidget->show();
        }
    }
    return true;
}

CControlUI* CPaintManagerUI::FindControl(const std::string& name) const {
    const auto it = names_.find(name);
    return it == names_.end() ? nullptr : it->second;
}

CControlUI* CPaintManagerUI::FindControl(POINT clientPoint) const {
    QWidget* client = GetPaintWidget();
    if (client == nullptr) {
        return nullptr;
    }
    QWidget* hit = client->childAt(clientPoint.x, clientPoint.y);
    if (hit == nullptr) {
        hit = client->rect().contains(clientPoint.x, clientPoint.y) ? client : nullptr;
    }
    for (CControlUI* control = CControlUI::FromWidget(hit); control != nullptr;
         control = control->GetParent()) {
        if (control->GetManager() == this) {
            return control;
        }
    }
    return nullptr;
}

void CPaintManagerUI::RegisterName(CControlUI* control) {
    if (control == nullptr || control->GetName().empty()) {
        return;
    }
    const auto [first, last] = names_.equal_range(control->GetName());
    for (auto it = first; it != last; ++it) {
        if (it->second == control) {
            return;
        }
    }
    names_.emplace(control->GetName(), control);
}

void CPaintManagerUI::UnregisterControl(CControlUI* control) {
    const auto [first, last] = names_.equal_range(control->GetName());
    for (auto it = first; it != last; ++it) {
        if (it->second == control) {
            names_.erase(it);
            return;
        }
    }
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (notifier != nullptr &&
        std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) {
        notifiers_.push_back(notifier);
    }
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    notifiers_.erase(std::remove(notifiers_.begin(), notifiers_.end(), notifier), notifiers_.end());
}

void CPaintManagerUI::SendNotify(CControlUI* sender, const std::string& type, WPARAM wParam,
                                 LPARAM lParam, bool async) {
    if (destroying_) {
        return;
    }
    if (async) {
        QMetaObject::invokeMethod(
            qApp,
            [this, sender, type, wParam, lParam] {
                // The window or the sender may have gone in the meantime.
                if (IsLive(this) && (sender == nullptr || Contains(root_.get(), sender))) {
                    SendNotify(sender, type, wParam, lParam, false);
                }
            },
            Qt::QueuedConnection);
        return;
    }
    TNotifyUI msg{type, sender, wParam, lParam};
    // A notifier may add or remove notifiers while handling; deliver to the ones present now.
    const std::vector<INotifyUI*> notifiers = notifiers_;
    for (INotifyUI* notifier : notifiers) {
        if (std::find(notifiers_.begin(), notifiers_.end(), notifier) != notifiers_.end()) {
            notifier->Notify(msg);
        }
        if (destroying_) {
            return;
        }
    }
}

void CPaintManagerUI::AddOptionGroup(const std::string& group, COptionUI* option) {
    auto& members = groups_[group];
    if (std::find(members.begin(), members.end(), option) == members.end()) {
        members.push_back(option);
    }
}

void CPaintManagerUI::RemoveOptionGroup(const std::string& group, COptionUI* option) {
    const auto it = groups_.find(group);
    if (it == groups_.end()) {
        return;
    }
    auto& members = it->second;
    members.erase(std::remove(members.begin(), members.end(), option), members.end());
    if (members.empty()) {
        groups_.erase(it);
    }
}

const std::vector<COptionUI*>& CPaintManagerUI::GetOptionGroup(const std::string& group) const {
    static const std::vector<COptionUI*> kNone;
    const auto it = groups_.find(group);
    return it == groups_.end() ? kNone : it->second;
}

void CPaintManagerUI::SetDPI(int dpi) {
    if (dpi > 0) {
        dpi_.dpi_ = dpi;
    }
}

void CPaintManagerUI::ResetDPIAssets() {
    // Qt scales fonts and images itself; a relayout picks up any new metrics.
    NeedUpdate();
}

void CPaintManagerUI::NeedUpdate() {
    if (root_) {
        root_->NeedUpdate();
    }
    Invalidate();
}

void CPaintManagerUI::Invalidate() {
    if (QWidget* widget = GetPaintWidget()) {
        widget->update();
    }
}

std::string CPaintManagerUI::GetInstancePath() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || exe.empty()) {
        return "./";
    }
    return WithSlash(exe.parent_path().string());
}

std::string CPaintManagerUI::FindSkinFolder() {
    const std::string beside = GetInstancePath() + "skin/";
    std::error_code error;
    if (std::filesystem::is_directory(beside, error)) {
        return beside;
    }
#ifdef GMD_INSTALL_DATADIR
    return GMD_INSTALL_DATADIR "/skin/";
#else
    return beside;
#endif
}

void CPaintManagerUI::SetResourcePath(const std::string& path) {
    resourcePath_ = WithSlash(path);
}

const std::string& CPaintManagerUI::GetResourcePath() {
    if (resourcePath_.empty()) {
        resourcePath_ = FindSkinFolder();
    }
    return resourcePath_;
}

int CPaintManagerUI::MessageLoop() {
    return QApplication::exec();
}

void CPaintManagerUI::PostQuitMessage(int code) {
    // Like a posted quit message: the loop ends once it gets to it, even if it is not yet
    // running at the time of the call.
    QMetaObject::invokeMethod(
        qApp, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

std::vector<CPaintManagerUI*> CPaintManagerUI::GetAllManagers() {
    return LiveManagers();
}

}  // namespace gmd::ui
