// Language and background settings: where they are stored, how they are applied at start-up,
// the language menu commands, the text query interface and the skin chooser window.

#include <QPoint>
#include <QWidget>
#include <filesystem>
#include <optional>
#include <string>

#include "app/dialogs.h"
#include "app/main_wnd.h"
#include "platform/debug_output.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "platform/registry.h"
#include "ui/file_dialog.h"
#include "ui/qt_translations.h"
#include "ui/resource_manager.h"
#include "ui/screen_placement.h"

namespace gmd::app {

namespace {

constexpr const char* kSection = "SKINIMAGE";
constexpr const char* kDefaultBackground = "common/background.png";
// The machine-wide language value: 2020 Chinese, 1010 English.
constexpr const char* kRegistryChinese = "2020";
constexpr const char* kRegistryEnglish = "1010";

std::filesystem::path MainIni() {
    return AppDataFolder() / "main.ini";
}

struct LanguageEntry {
    const char* name;  // as the resource manager knows it
    const char* file;
    const char* qtLocale;  // Qt's own catalogue, empty for its built-in English
};

// 0 English, 1 simplified Chinese, anything else traditional Chinese.
LanguageEntry LanguageFor(int language) {
    switch (language) {
        case 0:
            return {"en", "lan_en.xml", ""};
        case 1:
            return {"cn_zh", "lan_cn.xml", "zh_CN"};
        default:
            return {"cn_tw", "lan_sn.xml", "zh_TW"};
    }
}

bool IsTraditional(int language) {
    return language != 0 && language != 1;
}

void ActivateLanguage(int language) {
    const LanguageEntry entry = LanguageFor(language);
    ui::CResourceManager* resources = ui::CResourceManager::GetInstance();
    resources->SetLanguage(entry.name);
    // A file that fails to load leaves the previous texts.
    if (!resources->LoadLanguage(entry.file)) {
        DebugTrace(resources->GetLastError());
    }
    if (!ui::UseQtTranslations(entry.qtLocale)) {
        DebugTrace(std::string("Qt's texts stay English: no catalogue for ") + entry.qtLocale);
    }
}

void BroadcastImage(const std::string& path) {
    SkinChangedParam param;
    param.colour = false;
    param.image = path;
    SkinChangedSubject().Broadcast(param);
}

void BroadcastColour(uint32_t argb) {
    SkinChangedParam param;
    param.colour = true;
    param.argb = argb;
    SkinChangedSubject().Broadcast(param);
}

void StoreBackground(bool imageChosen, const std::string& image) {
    IniUpdate(MainIni(), [&](IniDocument& doc) {
        doc.Set(kSection, "FLAGS", imageChosen ? "1" : "0");
        doc.Set(kSection, "IMAGE", image);
    });
}

}  // namespace

ObserverImpl<int, SkinChangedParam>& SkinChangedSubject() {
    // Lives for the whole process: receivers may still be told during shutdown.
    static auto* subject = new ObserverImpl<int, SkinChangedParam>();
    return *subject;
}

// ---------------------------------------------------------------------------------------------
// CMainWnd: texts, language and background

std::string CMainWnd::QueryControlText(const std::string& name, const std::string& /*type*/) {
    const std::string key = ui::Lower(name);
    const bool english = ui::CResourceManager::GetInstance()->GetLanguage() == "en";
    if (key == "titletext") {
        return english ? "Duilib Demo v1.1" : "mouse";
    }
    if (key == "hometext") {
        return english ? "{a}Home Page{/a}" : "{a}演示官网{/a}";
    }
    return {};
}

void CMainWnd::SyncLanguageFromRegistry() {
    std::string value;
    if (!ReadRegistryString(kRegistryAppKey, "LANGUAGE", value)) {
        DebugTrace("读注册表失败了");
        return;
    }
    const bool chinese = ParseLeadingInt(value) == ParseLeadingInt(kRegistryChinese);
    // The machine value cannot tell the two Chinese apart: a traditional choice stays.
    if (chinese && IsTraditional(IniReadInt(MainIni(), kSection, "LANGUAGE", 0))) {
        return;
    }
    IniWriteString(MainIni(), kSection, "LANGUAGE", chinese ? "1" : "0");
}

int CMainWnd::CurrentLanguage() {
    const std::string& name = ui::CResourceManager::GetInstance()->GetLanguage();
    return name == "cn_zh" ? 1 : name == "cn_tw" ? 2 : 0;
}

void CMainWnd::ApplyStartupLanguage() {
    ActivateLanguage(IniReadInt(MainIni(), kSection, "LANGUAGE", 0));
    // Controls took their texts when the layout was built; they show the language just
    // activated once reloaded.
    ui::CResourceManager::GetInstance()->ReloadText();
    MarkUnbuiltControls();
}

void CMainWnd::SwitchLanguage(int language) {
    if (language < 0 || language > 2) {
        return;
    }
    const bool english = language == 0;
    ActivateLanguage(language);
    IniWriteString(MainIni(), kSection, "LANGUAGE", std::to_string(language));
    // The key is only opened, never created; without it the machine value stays as it is.
    if (WriteRegistryString(kRegistryAppKey, "LANGUAGE",
                            english ? kRegistryEnglish : kRegistryChinese)) {
        DebugTrace("写成功！");
    }
    ui::CResourceManager::GetInstance()->ReloadText();
    MarkUnbuiltControls();
    m_pm.Invalidate();
    m_pm.NeedUpdate();
}

int CMainWnd::Receive(SkinChangedParam param) {
    ui::CControlUI* root = m_pm.FindControl("root");
    if (root == nullptr) {
        return 1;
    }
    if (param.colour) {
        root->SetBkColor(param.argb);
        root->SetBkImage("");
    } else {
        root->SetBkColor(0);
        root->SetBkImage(param.image);
    }
    return 1;
}

void CMainWnd::OpenSkinChooser(ui::CControlUI* anchor) {
    CSkinFrame::Open(anchor);
}

// ---------------------------------------------------------------------------------------------
// CSkinFrame

CSkinFrame::CSkinFrame(ui::CControlUI* anchor) : anchor_(anchor) {}

CSkinFrame* CSkinFrame::Open(ui::CControlUI* anchor) {
    auto* frame = new CSkinFrame(anchor);
    // A top-most tool popup. It takes activation when shown (unlike a no-activate window),
    // so that clicking anywhere else deactivates and closes it.
    if (frame->Create(0, "skinframe", ui::WS_POPUP | ui::WS_VISIBLE,
                      ui::WS_EX_TOOLWINDOW | ui::WS_EX_TOPMOST) == 0) {
        delete frame;
        return nullptr;
    }
    return frame;
}

void CSkinFrame::InitWindow() {
    QWidget* self = GetWidget();
    QWidget* anchorWidget = anchor_ != nullptr ? anchor_->GetWidget() : nullptr;
    anchor_ = nullptr;
    if (self == nullptr || anchorWidget == nullptr) {
        return;
    }
    const QPoint bottomRight =
        anchorWidget->mapToGlobal(QPoint(anchorWidget->width(), anchorWidget->height()));
    const int width = m_pm.GetInitSize().cx > 0 ? m_pm.GetInitSize().cx : self->width();
    const QRect placed = ui::FitOnPointerScreen(
        QRect(bottomRight.x() - width, bottomRight.y(), width, self->height()));
    MoveWindow(placed.x(), placed.y());
}

ui::LRESULT CSkinFrame::HandleCustomMessage(ui::UINT msg, ui::WPARAM wParam, ui::LPARAM /*lParam*/,
                                            bool& handled) {
    handled = false;
    if (msg == ui::WM_ACTIVATE && wParam == 0 && !choosingFile_) {
        Close(0);
    }
    return 0;
}

void CSkinFrame::Notify(ui::TNotifyUI& msg) {
    if (msg.sType != ui::notify::kClick || msg.pSender == nullptr) {
        return;
    }
    const std::string& name = msg.pSender->GetName();
    if (name == "skin_image_btn") {
        const std::string path = msg.pSender->GetUserData();
        BroadcastImage(path);
        StoreBackground(true, path);
    } else if (name == "skin_color_btn") {
        BroadcastColour(msg.pSender->GetBkColor());  // lasts until the application ends
    } else if (name == "skin_color" || name == "skin_image") {
        if (auto* tab = dynamic_cast<ui::CTabLayoutUI*>(m_pm.FindControl("skin_tab"))) {
            tab->SelectItem(name == "skin_color" ? 1 : 0);
        }
    } else if (name == "skin_reset") {
        BroadcastImage(kDefaultBackground);
        StoreBackground(false, kDefaultBackground);
    } else if (name == "skin_Custom") {
        ChooseCustomImage();
    }
}

void CSkinFrame::ChooseCustomImage() {
    ui::FileDialogOptions options;
    options.filter = "(*.png) | *.png |(*.*)|*.*||";
    options.defaultExtension = "png";
    options.initialName = "*.png";
    // The dialog is a child of this window: losing activation to it must not close (and
    // delete) the window while the dialog runs.
    choosingFile_ = true;
    const std::optional<std::string> path = ui::GetOpenFileName(GetHWND(), options);
    choosingFile_ = false;
    // A cancelled choice leaves the background as it is.
    if (path && !path->empty()) {
        BroadcastImage(*path);  // not stored: it lasts until the application ends
    }
    // The user has moved on from the chooser either way.
    Close(0);
}

void CSkinFrame::OnFinalMessage(ui::HWND hwnd) {
    WindowImplBase::OnFinalMessage(hwnd);
    delete this;
}

}  // namespace gmd::app
