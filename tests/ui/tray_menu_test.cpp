// Tray icon clicks, popup menus from menu files, filter conversion and the file dialogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <tuple>
#include <vector>

#include "tests/support/spin_until.h"
#include "ui/file_dialog.h"
#include "ui/menu.h"
#include "ui/resource_manager.h"
#include "ui/tray_icon.h"
#include "ui/window.h"

namespace gmd::ui {
namespace {

using namespace std::chrono_literals;
using gmd::test::SpinUntil;

using CmdFields = std::tuple<std::string, std::string, std::string, bool>;
CmdFields Fields(const MenuCmd& c) {
    return {c.szName, c.szUserData, c.szText, c.bChecked};
}

// A bare window that records what reaches it.
class Owner : public CWindowWnd {
  public:
    Owner() { Create(0, "owner", WS_POPUP, WS_EX_TOOLWINDOW); }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_MENU_CLICK) {
            std::unique_ptr<MenuCmd> cmd(reinterpret_cast<MenuCmd*>(wParam));
            commands.push_back(*cmd);
        } else if (msg != WM_DESTROY) {
            messages.emplace_back(msg, wParam, lParam);
        }
        return CWindowWnd::HandleMessage(msg, wParam, lParam);
    }
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> messages;
    std::vector<MenuCmd> commands;

  protected:
    std::string GetWindowClassName() const override { return "Owner"; }
};

// The popup that is on screen, if any.
QMenu* ShownMenu() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* menu = qobject_cast<QMenu*>(w); menu != nullptr && menu->isVisible()) {
            return menu;
        }
    }
    return nullptr;
}

TEST(TrayIconTest, ClicksReachTheOwnerAsTheTrayMessage) {
    Owner owner;
    CTrayIcon tray;
    ASSERT_TRUE(tray.CreateTrayIcon(owner.GetHWND(), "images/tray.svg", "Gaming Mouse Driver"));
    EXPECT_TRUE(tray.IsCreated());
    tray.SimulateClick(WM_LBUTTONUP);
    tray.SimulateClick(WM_RBUTTONUP);
    ASSERT_TRUE(SpinUntil([&] { return owner.messages.size() == 2; }));
    using Msg = std::tuple<UINT, WPARAM, LPARAM>;
    EXPECT_EQ(owner.messages[0], (Msg{0x401, 0, 0x202}));
    EXPECT_EQ(owner.messages[1], (Msg{0x401, 0, 0x205}));

    // Another message number; a deleted icon reports nothing.
    ASSERT_TRUE(tray.CreateTrayIcon(owner.GetHWND(), "images/tray.svg", "tip", WM_USER + 9));
    tray.SimulateClick(WM_LBUTTONUP);
    ASSERT_TRUE(SpinUntil([&] { return owner.messages.size() == 3; }));
    EXPECT_EQ(owner.messages[2], (Msg{WM_USER + 9, 0, 0x202}));
    tray.DeleteTrayIcon();
    EXPECT_FALSE(tray.IsCreated());
    tray.SimulateClick(WM_LBUTTONUP);
    QTest::qWait(30);
    EXPECT_EQ(owner.messages.size(), 3u);

    EXPECT_FALSE(tray.CreateTrayIcon(owner.GetHWND(), "images/no_such_icon.svg", "tip"));
    EXPECT_FALSE(tray.CreateTrayIcon(owner.GetHWND(), "test_menu.xml", "tip"));  // not an image
    EXPECT_FALSE(tray.IsCreated());
}

class MenuTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(CResourceManager::GetInstance()->LoadResource("res.xml"))
            << CResourceManager::GetInstance()->GetLastError();
    }
    void TearDown() override { CMenuWnd::DestroyMenu(); }
    Owner owner_;
};

TEST_F(MenuTest, ItemInsertedOnTopIsShownAndChosenWithItsRecord) {
    CMenuWnd menu;
    ASSERT_TRUE(menu.Init(owner_.GetHWND(), "test_menu1.xml", POINT{120, 80}))
        << menu.GetLastError();
    EXPECT_TRUE(menu.IsOpen());
    ASSERT_EQ(menu.GetMenuUI()->GetCount(), 1);

    CMenuElementUI exit;
    exit.name = "exit";
    exit.text = "Close";
    exit.userData = "quit";
    ASSERT_TRUE(menu.GetMenuUI()->AddAt(exit, 0));
    EXPECT_FALSE(menu.GetMenuUI()->AddAt(exit, 5));
    menu.ResizeMenu();

    QMenu* shown = ShownMenu();
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(shown->actions().size(), 2);
    EXPECT_EQ(shown->actions()[0]->text(), QString("Close"));
    EXPECT_EQ(shown->actions()[1]->text(), QString("Stay in tray"));
    EXPECT_EQ(shown->pos(), QPoint(120, 80));  // left-top aligned at the point

    EXPECT_TRUE(menu.Choose("exit"));
    EXPECT_FALSE(menu.IsOpen());
    ASSERT_TRUE(SpinUntil([&] { return owner_.commands.size() == 1; }));
    EXPECT_EQ(Fields(owner_.commands[0]), (CmdFields{"exit", "quit", "Close", false}));
}

TEST_F(MenuTest, ItemsFromTheFileCheckMarksAndUserClicks) {
    CMenuWnd menu;
    ASSERT_TRUE(menu.Init(owner_.GetHWND(), "test_menu.xml", POINT{10, 10})) << menu.GetLastError();
    CMenuUI* ui = menu.GetMenuUI();
    ASSERT_EQ(ui->GetCount(), 5);
    EXPECT_TRUE(ui->GetItemAt(0)->checkable && ui->GetItemAt(0)->checked);
    EXPECT_EQ(ui->GetItemAt(1)->text, CResourceManager::GetInstance()->GetText("menu_lan_cn"));
    EXPECT_TRUE(ui->GetItemAt(2)->separator);
    EXPECT_FALSE(ui->GetItemAt(4)->enabled);
    EXPECT_EQ(ui->GetItemAt(5), nullptr);

    // Choosing a check item flips it and reports the new state; disabled or unknown items
    // cannot be chosen.
    EXPECT_TRUE(menu.Choose("lan_en"));
    EXPECT_FALSE(menu.Choose("Menu_Import"));
    EXPECT_FALSE(menu.Choose("no_such_item"));
    ASSERT_TRUE(SpinUntil([&] { return owner_.commands.size() == 1; }));
    EXPECT_EQ(Fields(owner_.commands[0]), (CmdFields{"lan_en", "en", "English", false}));
    EXPECT_FALSE(ui->GetItemAt(0)->checked);

    // A real click on "About" in the shown menu.
    ASSERT_TRUE(menu.Init(owner_.GetHWND(), "test_menu.xml", POINT{10, 10}));
    QMenu* shown = ShownMenu();
    ASSERT_NE(shown, nullptr);
    QAction* about = shown->actions()[3];
    ASSERT_EQ(about->text(), QString("About"));
    QTest::mouseClick(shown, Qt::LeftButton, {}, shown->actionGeometry(about).center());
    ASSERT_TRUE(SpinUntil([&] { return owner_.commands.size() == 2; }));
    EXPECT_EQ(Fields(owner_.commands[1]), (CmdFields{"About_setting", "", "About", false}));
    EXPECT_FALSE(menu.IsOpen());
}

TEST_F(MenuTest, DestroyMenuClosesEveryOpenMenuAndChoicesForAClosedOwnerAreDropped) {
    CMenuWnd first;
    CMenuWnd second;
    ASSERT_TRUE(first.Init(owner_.GetHWND(), "test_menu.xml", POINT{0, 0}));
    ASSERT_TRUE(second.Init(owner_.GetHWND(), "test_menu1.xml", POINT{50, 50}));
    EXPECT_TRUE(first.IsOpen() || second.IsOpen());
    CMenuWnd::DestroyMenu();
    EXPECT_FALSE(first.IsOpen());
    EXPECT_FALSE(second.IsOpen());

    // The record of a choice nobody can receive is freed (the sanitizer build checks).
    Owner gone;
    CMenuWnd orphan;
    ASSERT_TRUE(orphan.Init(gone.GetHWND(), "test_menu1.xml", POINT{0, 0}));
    gone.Close();
    EXPECT_TRUE(orphan.Choose("qianting"));
}

TEST_F(MenuTest, BadMenuFilesAreRejectedWithFileAndLine) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char* xml;
        const char* error;  // expected part of the message
    };
    const Case cases[] = {
        {"<Menu>\n<MenuElement name='a'>\n</Menu>", ":3:"},  // broken XML
        {"<Window>\n</Window>", ":1: the root element must be <Menu>"},
        {"<Menu>\n<MenuElement name='a' icon='x.png'/>\n</Menu>", ":2: unknown attribute 'icon'"},
        {"<Menu>\n\n<MenuElement checked='yes'/>\n</Menu>", ":3: bad value 'yes' for 'checked'"},
        {"<Menu>\n<Item/>\n</Menu>", ":2: unknown element <Item>"},
        {"<Menu>\n<MenuElement>\n<MenuElement/>\n</MenuElement>\n</Menu>",
         ":3: <MenuElement> inside"},
        {"<Menu/>\n<Menu/>", ":2:"},  // a second root
        {"", ":1:"},
    };
    int index = 0;
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString("bad%1.xml").arg(index++));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.xml);
        file.close();
        CMenuWnd menu;
        EXPECT_FALSE(menu.Init(owner_.GetHWND(), path.toStdString(), POINT{0, 0})) << c.xml;
        const std::string& error = menu.GetLastError();
        EXPECT_NE(error.find(path.toStdString() + c.error), std::string::npos)
            << c.xml << " -> " << error;
        EXPECT_FALSE(menu.IsOpen());
    }
    CMenuWnd missing;
    EXPECT_FALSE(missing.Init(owner_.GetHWND(), "no_such_menu.xml", POINT{0, 0}));
    EXPECT_NE(missing.GetLastError().find("no_such_menu.xml"), std::string::npos);
}

TEST(FileDialogTest, ConvertsWindowsFiltersToQtFilters) {
    const std::pair<const char*, const char*> cases[] = {
        // A description that shows its patterns is not followed by them again.
        {"(*.config) | *.config ||", "(*.config)"},
        {"Profile files (*.config) | *.config ||", "Profile files (*.config)"},
        {"Profile files | *.config ||", "Profile files (*.config)"},
        {"(*.png) | *.png |(*.*)|*.*||", "(*.png);;(*.*)"},
        {"Images | *.png; *.jpg ||", "Images (*.png *.jpg)"},
        {"Text|*.txt", "Text (*.txt)"},             // no closing bars
        {"Text|*.txt|Orphan", "Text (*.txt)"},      // a description without patterns
        {"Text|*.txt||All|*.*||", "Text (*.txt)"},  // an empty entry ends the list
        {" | *.txt ||", ""},
        {"", ""},
    };
    for (const auto& [windows, qt] : cases) {
        EXPECT_EQ(ConvertFilter(windows), qt) << windows;
    }
}

struct Asked {
    bool save = false;
    FileDialogOptions options;
    std::optional<std::string> answer;
};
Asked g_asked;

std::optional<std::string> Respond(bool save, const FileDialogOptions& options) {
    g_asked.save = save;
    g_asked.options = options;
    return g_asked.answer;
}

TEST(FileDialogTest, ResponderAnswersAndSaveNamesGetTheDefaultExtension) {
    SetFileDialogResponder(&Respond);
    struct Case {
        bool save;
        std::optional<std::string> answer;
        const char* extension;
        std::optional<std::string> result;
    };
    const Case cases[] = {
        {true, "/tmp/p", "config", "/tmp/p.config"},
        {true, "/tmp/p", ".config", "/tmp/p.config"},
        {true, "/tmp/p.cfg", "config", "/tmp/p.cfg"},
        {true, "/tmp/dir.d/p", "config", "/tmp/dir.d/p.config"},
        {true, "/tmp/.hidden", "config", "/tmp/.hidden.config"},
        {true, "/tmp/p", "", "/tmp/p"},
        {false, "/tmp/p", "config", "/tmp/p"},  // open dialogs return what exists
        {true, std::nullopt, "config", std::nullopt},
    };
    for (const Case& c : cases) {
        g_asked = Asked{};
        g_asked.answer = c.answer;
        FileDialogOptions options;
        options.filter = "(*.config) | *.config ||";
        options.defaultExtension = c.extension;
        options.title = "Export";
        const auto result = c.save ? GetSaveFileName(0, options) : GetOpenFileName(0, options);
        EXPECT_EQ(result, c.result) << c.answer.value_or("(cancel)") << " + " << c.extension;
        EXPECT_EQ(g_asked.save, c.save);
        EXPECT_EQ(g_asked.options.title, "Export");
    }
    SetFileDialogResponder(nullptr);
}

TEST(FileDialogTest, SaveDialogUsesTheFilterAndAddsTheExtension) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList filters;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        dialog->selectFile(dir.filePath("profile"));
        static_cast<QDialog*>(dialog)->accept();  // public through QDialog
    });
    FileDialogOptions options;
    options.filter = "(*.png) | *.png |(*.*)|*.*||";
    options.defaultExtension = "png";
    options.initialName = "*.png";
    const auto result = GetSaveFileName(0, options);
    EXPECT_EQ(filters, QStringList({"(*.png)", "(*.*)"}));
    EXPECT_EQ(result, dir.filePath("profile.png").toStdString());
}

TEST(FileDialogTest, DialogStartsInItsFolderWithTheSuggestedName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString shownFolder;
    QStringList shownFilters;
    QString typedName;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        shownFolder = dialog->directory().absolutePath();
        shownFilters = dialog->nameFilters();
        // The name field holds the suggestion, ready to accept as it is.
        if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) {
            typedName = edit->text();
        }
        static_cast<QDialog*>(dialog)->accept();
    });
    FileDialogOptions options;
    options.filter = "Profile files | *.config ||";
    options.defaultExtension = "config";
    options.initialName = "My game.config";
    options.directory = dir.path().toStdString();
    const auto result = GetSaveFileName(0, options);
    EXPECT_EQ(shownFolder, QDir(dir.path()).absolutePath());
    EXPECT_EQ(shownFilters, QStringList({"Profile files (*.config)"}));
    EXPECT_EQ(typedName, "My game.config");
    EXPECT_EQ(result, dir.filePath("My game.config").toStdString());
}

TEST(FileDialogTest, WithoutAFolderTheDialogStartsInTheDocumentsFolder) {
    SetFileDialogResponder(&Respond);
    g_asked = Asked{};
    GetOpenFileName(0, FileDialogOptions{});
    EXPECT_EQ(g_asked.options.directory,
              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString());
    SetFileDialogResponder(nullptr);
}

}  // namespace
}  // namespace gmd::ui
