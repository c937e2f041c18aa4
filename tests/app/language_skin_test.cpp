// Language and background settings: the start-up rules between main.ini and the registry
// value, the language menu switch, the text query interface, and the skin chooser with the
// background it stores for the next start.

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QPushButton>
#include <QWidget>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "platform/registry.h"
#include "tests/app/app_test_support.h"
#include "ui/control.h"
#include "ui/file_dialog.h"
#include "ui/resource_manager.h"

namespace gmd::app {
namespace {

using testing::AppTest;
using testing::SpinUntil;

std::filesystem::path MainIni() {
    return AppDataFolder() / "main.ini";
}

std::string Stored(const char* key) {
    return IniReadString(MainIni(), "SKINIMAGE", key, "<absent>");
}

ui::CResourceManager& Resources() {
    return *ui::CResourceManager::GetInstance();
}

std::string RegistryLanguage() {
    std::string value = "<absent>";
    ReadRegistryString(kRegistryAppKey, "LANGUAGE", value);
    return value;
}

// Names of labels in resource-text mode that do not show their current text; `checked` counts
// the labels looked at.
std::vector<std::string> StaleLabels(QWidget* top, int& checked) {
    std::vector<std::string> stale;
    checked = 0;
    for (auto* label : top->findChildren<QLabel*>()) {
        ui::CControlUI* control = ui::CControlUI::FromWidget(label);
        if (control == nullptr || control->GetWidget() != label || !control->IsResourceText()) {
            continue;
        }
        ++checked;
        if (label->text().toStdString() != control->GetShownText()) {
            stale.push_back(control->GetName() + " shows '" + label->text().toStdString() + "'");
        }
    }
    return stale;
}

// ---------------------------------------------------------------------------------------------
// Start-up

struct StartupCase {
    const char* name;
    bool registryKey;
    std::optional<std::string> registryValue;
    std::optional<std::string> stored;  // LANGUAGE in main.ini before the start
    const char* language;
    const char* file;
    const char* storedAfter;
    bool readFails;
};

void PrintTo(const StartupCase& c, std::ostream* out) {
    *out << c.name;
}

class LanguageStartupTest : public AppTest, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(LanguageStartupTest, StartsInTheLanguageOfTheRules) {
    const StartupCase& c = GetParam();
    if (c.registryKey) {
        ASSERT_TRUE(CreateRegistryKey(kRegistryAppKey));
    }
    if (c.registryValue) {
        ASSERT_TRUE(WriteRegistryString(kRegistryAppKey, "LANGUAGE", *c.registryValue));
    }
    if (c.stored) {
        ASSERT_TRUE(IniWriteString(MainIni(), "SKINIMAGE", "LANGUAGE", *c.stored));
    }

    CMainWnd* wnd = CreateMainWnd();
    EXPECT_EQ(Resources().GetLanguage(), c.language);
    EXPECT_EQ(Stored("LANGUAGE"), c.storedAfter);
    EXPECT_EQ(HasTrace("读注册表失败了"), c.readFails);
    int checked = 0;
    EXPECT_EQ(StaleLabels(wnd->GetWidget(), checked), std::vector<std::string>{});

    // The texts are those of the expected file, and no other file has the same ones.
    const std::string shown = Resources().GetText("message_text_1");
    for (const char* file : {"lan_en.xml", "lan_cn.xml", "lan_sn.xml"}) {
        ASSERT_TRUE(Resources().LoadLanguage(file)) << Resources().GetLastError();
        EXPECT_EQ(Resources().GetText("message_text_1") == shown, std::string(file) == c.file)
            << file;
    }
}

const StartupCase kStartupCases[] = {
    {"FirstRun", false, std::nullopt, std::nullopt, "en", "lan_en.xml", "<absent>", true},
    {"RegistryChineseRewritesEnglish", true, "2020", "0", "cn_zh", "lan_cn.xml", "1", false},
    {"RegistryEnglishRewritesChinese", true, "1010", "1", "en", "lan_en.xml", "0", false},
    {"RegistryNotANumberMeansEnglish", true, "abc", "1", "en", "lan_en.xml", "0", false},
    {"KeyWithoutValueKeepsStored", true, std::nullopt, "1", "cn_zh", "lan_cn.xml", "1", true},
    {"OtherStoredValueIsTraditional", false, std::nullopt, "2", "cn_tw", "lan_sn.xml", "2", true},
    // The machine value says only "Chinese": a traditional choice stays.
    {"RegistryChineseKeepsTraditional", true, "2020", "2", "cn_tw", "lan_sn.xml", "2", false},
    {"StoredTextCountsAsZero", false, std::nullopt, "x", "en", "lan_en.xml", "x", true},
};

INSTANTIATE_TEST_SUITE_P(Matrix, LanguageStartupTest, ::testing::ValuesIn(kStartupCases),
                         [](const auto& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------------------------
// Switching

class LanguageTest : public AppTest {};

TEST_F(LanguageTest, SwitchStoresTheChoiceAndReloadsEveryText) {
    for (const bool keyExists : {true, false}) {
        SCOPED_TRACE(keyExists ? "registry key present" : "registry key missing");
        CMainWnd* wnd = CreateMainWnd();
        if (keyExists) {
            ASSERT_TRUE(CreateRegistryKey(kRegistryAppKey));
        }
        ui::CControlUI* probe = Find("str_test");
        ASSERT_NE(probe, nullptr);
        probe->SetResourceText(true);
        probe->SetText("message_text_1");
        auto* probeLabel = qobject_cast<QLabel*>(probe->GetWidget());
        ASSERT_NE(probeLabel, nullptr);

        std::vector<std::string> probeTexts;
        for (const int language : {1, 2, 0}) {
            SCOPED_TRACE(language);
            ClearTraces();
            wnd->SwitchLanguage(language);
            EXPECT_EQ(
                Resources().GetLanguage(),
                std::vector<std::string>({"en", "cn_zh", "cn_tw"})[static_cast<size_t>(language)]);
            EXPECT_EQ(Stored("LANGUAGE"), std::to_string(language));
            EXPECT_EQ(RegistryLanguage(), !keyExists      ? "<absent>"
                                          : language == 0 ? "1010"
                                                          : "2020");
            EXPECT_EQ(HasTrace("写成功！"), keyExists);
            EXPECT_EQ(probeLabel->text().toStdString(), Resources().GetText("message_text_1"));
            probeTexts.push_back(probeLabel->text().toStdString());
            int checked = 0;
            EXPECT_EQ(StaleLabels(wnd->GetWidget(), checked), std::vector<std::string>{});
            EXPECT_GT(checked, 1);
        }
        EXPECT_NE(probeTexts[0], probeTexts[1]);
        EXPECT_NE(probeTexts[1], probeTexts[2]);
        EXPECT_EQ(OpenRegistryKey(kRegistryAppKey), keyExists);  // never created
        CloseMainWnd();
        std::filesystem::remove(MainIni());
        std::filesystem::remove(RegistryFile());
    }
}

// Qt's own texts (standard buttons, file dialogs, the edit menu of text fields) follow.
TEST_F(LanguageTest, QtsOwnTextsFollowTheLanguage) {
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                           "/qtbase_zh_CN.qm")) {
        GTEST_SKIP() << "Qt's translations are not installed (qt6-translations-l10n)";
    }
    CMainWnd* wnd = CreateMainWnd();
    auto saveText = [] {
        QDialogButtonBox box(QDialogButtonBox::Save);
        return box.button(QDialogButtonBox::Save)->text().toStdString();
    };
    struct Case {
        int language;
        const char* save;
    };
    for (const Case& c : {Case{1, "保存"}, Case{2, "儲存"}, Case{0, "Save"}}) {
        SCOPED_TRACE(c.language);
        wnd->SwitchLanguage(c.language);
        EXPECT_EQ(saveText(), c.save);
    }
}

// Every window has a title in the interface language for the window system (task bars,
// switchers, screen readers), and a switch updates the windows already open.
TEST_F(LanguageTest, EveryWindowHasATitleInTheInterfaceLanguage) {
    CMainWnd* wnd = CreateMainWnd();
    struct Case {
        int language;
        std::vector<std::string> titles;  // main, message box, palette, about, skin chooser
    };
    const Case cases[] = {
        {0,
         {"Gaming Mouse Driver", "Gaming Mouse Driver", "Choose a colour", "About", "Background"}},
        {1, {"游戏鼠标驱动", "游戏鼠标驱动", "选择颜色", "关于", "背景"}},
        {2, {"遊戲滑鼠驅動", "遊戲滑鼠驅動", "選擇顏色", "關於", "背景"}},
    };
    auto* about = new ui::MenuCmd;
    about->szName = "About_setting";
    ui::SendMessage(wnd->GetHWND(), ui::WM_MENU_CLICK, reinterpret_cast<ui::WPARAM>(about));
    QWidget* aboutWidget = nullptr;
    ASSERT_TRUE(SpinUntil([&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "UICOPYRIGHT" && w->isVisible()) {
                aboutWidget = w;
            }
        }
        return aboutWidget != nullptr;
    }));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        wnd->SwitchLanguage(c.language);
        auto* box = new CMsgWnd();
        ASSERT_NE(box->Create(wnd->GetHWND(), "msgwnd", ui::WS_POPUP, ui::WS_EX_TOOLWINDOW), 0u);
        CPalletDialog palette("GmPalletDialog.xml", 0xFF000000);
        ASSERT_NE(palette.Create(wnd->GetHWND(), "Tarvik调色板", ui::WS_POPUP, 0), 0u);
        CSkinFrame* chooser = CSkinFrame::Open(Find("skinbtn"));
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ((std::vector<std::string>{
                      wnd->GetWindowTitle(), box->GetWindowTitle(), palette.GetWindowTitle(),
                      aboutWidget->windowTitle().toStdString(), chooser->GetWindowTitle()}),
                  c.titles);
        box->Close();
        palette.Close();
        chooser->Close();
    }
    aboutWidget->close();
}

TEST_F(LanguageTest, TextQueryAnswersTheTitleAndHomeTexts) {
    CMainWnd wnd(backend_);
    struct Case {
        const char* language;
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"en", "titletext", "Duilib Demo v1.1"},
        {"en", "TitleText", "Duilib Demo v1.1"},
        {"en", "hometext", "{a}Home Page{/a}"},
        {"cn_zh", "titletext", "mouse"},
        {"cn_tw", "HOMETEXT", "{a}演示官网{/a}"},
        {"cn_zh", "hometext", "{a}演示官网{/a}"},
        {"en", "message_text_1", ""},
        {"cn_zh", "title", ""},
    };
    for (const Case& c : cases) {
        Resources().SetLanguage(c.language);
        EXPECT_EQ(wnd.QueryControlText(c.name, ""), c.expected) << c.language << " " << c.name;
    }
}

TEST_F(LanguageTest, EnglishTitleTextComesFromTheMainWindow) {
    CMainWnd* wnd = CreateMainWnd();
    ASSERT_FALSE(Resources().HasText("titletext")) << "a language file answers it itself";
    ui::CControlUI* probe = Find("str_test");
    ASSERT_NE(probe, nullptr);
    probe->SetResourceText(true);
    probe->SetText("titletext");
    wnd->SwitchLanguage(0);
    EXPECT_EQ(probe->GetShownText(), "Duilib Demo v1.1");
    wnd->SwitchLanguage(1);
    EXPECT_EQ(probe->GetShownText(), "mouse");
}

// ---------------------------------------------------------------------------------------------
// Background and the skin chooser

std::optional<std::string> g_fileAnswer;
ui::FileDialogOptions g_fileAsked;
int g_fileDialogs = 0;

std::optional<std::string> AnswerFileDialog(bool /*save*/, const ui::FileDialogOptions& options) {
    ++g_fileDialogs;
    g_fileAsked = options;
    return g_fileAnswer;
}

QWidget* SkinFrameWidget() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("SkinFrame") && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

// The last control of that name in the chooser: the skin has several image and colour buttons
// of one name, and the first image button holds the default background itself.
ui::CControlUI* InSkinFrame(const std::string& name) {
    QWidget* frame = SkinFrameWidget();
    if (frame == nullptr) {
        return nullptr;
    }
    ui::CControlUI* found = nullptr;
    for (QWidget* child : frame->findChildren<QWidget*>()) {
        ui::CControlUI* control = ui::CControlUI::FromWidget(child);
        if (control != nullptr && control->GetWidget() == child && control->GetName() == name) {
            found = control;
        }
    }
    return found;
}

class SkinChooserTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        ui::SetFileDialogResponder(AnswerFileDialog);
        g_fileAnswer.reset();
        g_fileDialogs = 0;
    }
    void TearDown() override {
        ui::SetFileDialogResponder(nullptr);
        AppTest::TearDown();
    }

    void OpenChooser() {
        ui::CControlUI* skinButton = Find("skinbtn");
        ASSERT_NE(skinButton, nullptr);
        QTest::mouseClick(skinButton->GetWidget(), Qt::LeftButton);
        ASSERT_TRUE(SpinUntil([] { return SkinFrameWidget() != nullptr; }));
    }

    void ClickInChooser(const std::string& name) {
        ui::CControlUI* control = InSkinFrame(name);
        ASSERT_NE(control, nullptr) << name;
        QTest::mouseClick(control->GetWidget(), Qt::LeftButton);
    }

    ui::CControlUI* Root() { return Find("root"); }
};

TEST_F(SkinChooserTest, OpensUnderTheSkinButtonAndClosesWhenItLosesActivation) {
    CMainWnd* wnd = CreateMainWnd();
    OpenChooser();
    QWidget* frame = SkinFrameWidget();
    QWidget* button = Find("skinbtn")->GetWidget();
    const QPoint corner = button->mapToGlobal(QPoint(button->width(), button->height()));
    EXPECT_EQ(frame->pos().x() + frame->width(), corner.x());
    EXPECT_EQ(frame->pos().y(), corner.y());

    wnd->BringToFront();
    EXPECT_TRUE(SpinUntil([] { return SkinFrameWidget() == nullptr; }));
}

TEST_F(SkinChooserTest, ClicksChangeTheBackgroundAndStoreOnlyImagesOfTheSkin) {
    CreateMainWnd();
    OpenChooser();
    ASSERT_NE(Root(), nullptr);
    ASSERT_NE(dynamic_cast<ui::CTabLayoutUI*>(InSkinFrame("skin_tab")), nullptr);
    const std::string preset = InSkinFrame("skin_image_btn")->GetUserData();
    ASSERT_FALSE(preset.empty());
    ASSERT_NE(preset, Root()->GetBkImage());
    ASSERT_NE(preset, "common/background.png");
    const std::string custom = home_.path().toStdString() + "/custom.png";

    enum class Colour { Zero, Button, Kept };
    struct Step {
        const char* click;
        std::optional<std::string> fileAnswer;
        // Afterwards:
        int page;                 // of "skin_tab"
        std::string image;        // root's background image
        Colour colour;            // root's background colour
        const char* flags;        // main.ini
        std::string storedImage;  // main.ini
    };
    const std::string layoutImage = Root()->GetBkImage();
    const std::string reset = "common/background.png";
    constexpr int kClosed = -1;  // the custom choice closes the chooser
    const Step steps[] = {
        {"skin_image", std::nullopt, 0, layoutImage, Colour::Kept, "<absent>", "<absent>"},
        {"skin_image_btn", std::nullopt, 0, preset, Colour::Zero, "1", preset},
        {"skin_color", std::nullopt, 1, preset, Colour::Kept, "1", preset},
        {"skin_color_btn", std::nullopt, 1, "", Colour::Button, "1", preset},
        {"skin_reset", std::nullopt, 1, reset, Colour::Zero, "0", reset},
        {"skin_image", std::nullopt, 0, reset, Colour::Kept, "0", reset},
        {"skin_Custom", custom, kClosed, custom, Colour::Zero, "0", reset},
        {"skin_Custom", std::nullopt, kClosed, custom, Colour::Zero, "0", reset},  // cancelled
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.click);
        if (SkinFrameWidget() == nullptr) {
            OpenChooser();
        }
        const ui::DWORD colourBefore = Root()->GetBkColor();
        g_fileAnswer = step.fileAnswer;
        ClickInChooser(step.click);
        if (step.page == kClosed) {
            EXPECT_TRUE(SpinUntil([] { return SkinFrameWidget() == nullptr; }));
        } else {
            ASSERT_NE(SkinFrameWidget(), nullptr);  // clicks inside keep it open
            EXPECT_EQ(dynamic_cast<ui::CTabLayoutUI*>(InSkinFrame("skin_tab"))->GetCurSel(),
                      step.page);
        }
        EXPECT_EQ(Root()->GetBkImage(), step.image);
        switch (step.colour) {
            case Colour::Zero:
                EXPECT_EQ(Root()->GetBkColor(), 0u);
                break;
            case Colour::Button:
                EXPECT_EQ(Root()->GetBkColor(), InSkinFrame("skin_color_btn")->GetBkColor());
                EXPECT_NE(Root()->GetBkColor(), 0u);
                break;
            case Colour::Kept:
                EXPECT_EQ(Root()->GetBkColor(), colourBefore);
                break;
        }
        EXPECT_EQ(Stored("FLAGS"), step.flags);
        EXPECT_EQ(Stored("IMAGE"), step.storedImage);
    }
    EXPECT_EQ(g_fileDialogs, 2);
    EXPECT_EQ(g_fileAsked.filter, "(*.png) | *.png |(*.*)|*.*||");
    EXPECT_EQ(g_fileAsked.defaultExtension, "png");
    EXPECT_EQ(g_fileAsked.initialName, "*.png");
}

TEST_F(SkinChooserTest, NextStartShowsTheStoredImageNotAColour) {
    CreateMainWnd();
    const std::string layoutImage = Root()->GetBkImage();
    const ui::DWORD layoutColour = Root()->GetBkColor();
    OpenChooser();
    const std::string preset = InSkinFrame("skin_image_btn")->GetUserData();
    ASSERT_NE(preset, layoutImage);
    ClickInChooser("skin_image_btn");
    ClickInChooser("skin_color");
    ClickInChooser("skin_color_btn");
    ASSERT_NE(Root()->GetBkColor(), 0u);
    CloseMainWnd();

    CreateMainWnd();
    EXPECT_EQ(Root()->GetBkImage(), preset);
    EXPECT_EQ(Root()->GetBkColor(), 0u);
    OpenChooser();
    ClickInChooser("skin_reset");
    CloseMainWnd();

    // After a reset nothing is restored: the layout's own background shows.
    CreateMainWnd();
    EXPECT_EQ(Root()->GetBkImage(), layoutImage);
    EXPECT_EQ(Root()->GetBkColor(), layoutColour);
}

TEST_F(SkinChooserTest, BroadcastsReachTheMainWindow) {
    CreateMainWnd();
    ASSERT_NE(Root(), nullptr);
    SkinChangedParam colour;
    colour.colour = true;
    colour.argb = 0xFF336699;
    colour.image = "ignored.png";
    EXPECT_EQ(SkinChangedSubject().Broadcast(colour), 0);
    EXPECT_EQ(Root()->GetBkColor(), 0xFF336699u);
    EXPECT_EQ(Root()->GetBkImage(), "");

    SkinChangedParam image;
    image.image = "common/background.png";
    EXPECT_EQ(SkinChangedSubject().Broadcast(image), 0);
    EXPECT_EQ(Root()->GetBkColor(), 0u);
    EXPECT_EQ(Root()->GetBkImage(), "common/background.png");
}

}  // namespace
}  // namespace gmd::app
