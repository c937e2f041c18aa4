// Layout builder, control factory and resource manager: trees built from the fixture skin,
// the errors bad files give, includes, custom tags and language texts.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QVariant>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/custom_controls.h"
#include "ui/controls.h"
#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace gmd::ui {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// Test-only entries on top of res.xml.
constexpr const char* kExtraResources = R"(<Resources>
    <Layout name="XML_BUILDER_PART" file="builder/include_part.xml"/>
    <Style name="builder_wide" value='width="120" style="listex_item_style"'/>
    <Style name="builder_loop" value='style="builder_loop"'/>
    <Default class="Gizmo" value='text="from default" tooltip="default tip"'/>
</Resources>)";

class DialogBuilderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resources_->Release();
        resources_->SetTextQueryInterface(nullptr);
        ASSERT_TRUE(resources_->LoadResource("res.xml")) << resources_->GetLastError();
        ASSERT_TRUE(resources_->LoadResourceFromText(kExtraResources, "extra.xml"))
            << resources_->GetLastError();
        resources_->SetLanguage("en");
        ASSERT_TRUE(resources_->LoadLanguage("lan_en.xml")) << resources_->GetLastError();
    }
    void TearDown() override { resources_->SetTextQueryInterface(nullptr); }

    // Builds a layout into `manager` and attaches it; fails the test on a build error.
    CControlUI* BuildInto(CPaintManagerUI& manager, const std::string& layout,
                          IDialogBuilderCallback* callback = nullptr) {
        CDialogBuilder builder;
        CControlUI* root = builder.Create(layout, nullptr, callback, &manager);
        EXPECT_NE(root, nullptr) << builder.GetLastError();
        if (root != nullptr) {
            EXPECT_TRUE(manager.AttachDialog(root));
        }
        return root;
    }

    static std::string WidgetText(CControlUI* control) {
        return control->GetWidget()->property("text").toString().toStdString();
    }

    CResourceManager* resources_ = CResourceManager::GetInstance();
};

TEST_F(DialogBuilderTest, BuildsEveryStandardClassWithItsAttributes) {
    CPaintManagerUI manager;
    CDialogBuilder builder;
    CControlUI* root = builder.Create("XML_BUILDER", nullptr, nullptr, &manager);
    ASSERT_NE(root, nullptr) << builder.GetLastError();
    EXPECT_TRUE(builder.GetWarnings().empty());
    ASSERT_TRUE(manager.AttachDialog(root));

    // Window attributes went to the manager.
    EXPECT_EQ(manager.GetInitSize().cx, 640);
    EXPECT_EQ(manager.GetInitSize().cy, 480);
    EXPECT_EQ(manager.GetCaptionRect(), (RECT{0, 0, 0, 32}));
    EXPECT_EQ(manager.GetRoundCorner().cx, 4);
    EXPECT_EQ(manager.GetMinInfo().cx, 320);
    EXPECT_EQ(manager.GetMinInfo().cy, 240);

    const struct {
        const char* name;
        const char* cls;
    } kClasses[] = {
        {"root", "VerticalLayout"},
        {"title_bar", "HorizontalLayout"},
        {"title", "Label"},
        {"closebtn", "Button"},
        {"pages", "TabLayout"},
        {"page_0", "Container"},
        {"plain_text", "Text"},
        {"opt_a", "Option"},
        {"check", "CheckBox"},
        {"edit", "Edit"},
        {"progress", "Progress"},
        {"slider", "Slider"},
        {"combo", "Combo"},
        {"combo_row_0", "ListLabelElement"},
        {"list", "List"},
        {"list_row_1", "ListContainerElement"},
        {"list_row_1_label", "Label"},
        {"palette", "ColorPalette"},
        {"spacer", "Control"},
    };
    for (const auto& expected : kClasses) {
        SCOPED_TRACE(expected.name);
        CControlUI* control = manager.FindControl(expected.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->GetClass(), expected.cls);
    }
    EXPECT_EQ(manager.GetRoot(), root);

    // Tree shape: children in document order, combo and list children are rows.
    ASSERT_NE(root->AsContainer(), nullptr);
    EXPECT_EQ(root->AsContainer()->GetCount(), 2);
    auto* pages = static_cast<CTabLayoutUI*>(manager.FindControl("pages"));
    ASSERT_EQ(pages->GetCount(), 2);
    EXPECT_EQ(pages->GetItemAt(1)->GetName(), "page_1");
    auto* combo = static_cast<CComboUI*>(manager.FindControl("combo"));
    ASSERT_EQ(combo->GetCount(), 2);
    EXPECT_EQ(combo->GetItemAt(0)->GetName(), "combo_row_0");
    auto* list = static_cast<CListUI*>(manager.FindControl("list"));
    ASSERT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->GetItemAt(1)->GetName(), "list_row_1");

    // Own attributes.
    CControlUI* close = manager.FindControl("closebtn");
    EXPECT_EQ(close->GetFixedWidth(), 32);
    EXPECT_EQ(close->GetFixedHeight(), 32);
    EXPECT_EQ(close->GetText(), "x");
    EXPECT_EQ(close->GetToolTip(), "Close");
    EXPECT_EQ(manager.FindControl("root")->GetBkColor(), 0xFF202225u);
    CControlUI* plain = manager.FindControl("plain_text");
    EXPECT_EQ(plain->GetUserData(), "u1");
    EXPECT_EQ(plain->GetToolTip(), "A tip");
    EXPECT_FALSE(manager.FindControl("spacer")->IsOwnVisible());
    EXPECT_FALSE(manager.FindControl("spacer")->IsEnabled());
    // The res.xml default of Button, unless the element says otherwise.
    EXPECT_EQ(close->GetTextColor(), 0xFFFFFFFFu);
    EXPECT_EQ(manager.FindControl("title")->GetTextColor(), 0xFFF0F0F0u);
    // A style applies where it stands: later attributes win over it, earlier ones lose.
    CControlUI* styled = manager.FindControl("styled_btn");
    EXPECT_EQ(styled->GetFixedHeight(), 25);
    EXPECT_EQ(styled->GetBkColor(), 0xFF2A2D33u);
    EXPECT_EQ(styled->GetTextColor(), 0xFF00FF00u);
    EXPECT_EQ(manager.FindControl("style_last")->GetTextColor(), 0xFFE0E0E0u);
    CControlUI* nested = manager.FindControl("nested_style");
    EXPECT_EQ(nested->GetFixedWidth(), 120);
    EXPECT_EQ(nested->GetFixedHeight(), 25);
    EXPECT_EQ(manager.FindControl("list_row_0")->GetFixedHeight(), 25);
    // Class attributes; a tab page chosen by index sees the pages built before it.
    EXPECT_EQ(pages->GetCurSel(), 1);
    EXPECT_TRUE(static_cast<COptionUI*>(manager.FindControl("opt_a"))->IsSelected());
    EXPECT_FALSE(static_cast<COptionUI*>(manager.FindControl("opt_b"))->IsSelected());
    auto* progress = static_cast<CProgressUI*>(manager.FindControl("progress"));
    EXPECT_EQ(progress->GetMinValue(), 10);
    EXPECT_EQ(progress->GetMaxValue(), 50);
    EXPECT_EQ(progress->GetValue(), 30);
    EXPECT_EQ(static_cast<CSliderUI*>(manager.FindControl("slider"))->GetChangeStep(), 5);
    EXPECT_EQ(static_cast<CEditUI*>(manager.FindControl("edit"))->GetMaxChar(), 8);
    EXPECT_EQ(static_cast<CColorPaletteUI*>(manager.FindControl("palette"))->GetSelectColor(),
              0xFF336699u);
    // Text ids resolve through the loaded language.
    CControlUI* title = manager.FindControl("title");
    EXPECT_TRUE(title->IsResourceText());
    EXPECT_EQ(title->GetShownText(), "Gaming Mouse Driver");
    EXPECT_EQ(manager.FindControl("combo_row_1")->GetShownText(), "The device is not connected.");
}

TEST_F(DialogBuilderTest, BadLayoutsNameFileAndLine) {
    const struct {
        const char* file;
        int line;
        const char* what;
    } kCases[] = {
        {"builder/bad_xml.xml", 6, "broken XML"},
        {"builder/bad_attr.xml", 7, "unknown attribute 'colr' on <Button>"},
        {"builder/bad_color.xml", 5, "bad value '#GG0000' for 'bkcolor' on <Label>"},
        {"builder/bad_number.xml", 5, "bad value '12px' for 'width' on <Button>"},
        {"builder/unknown_style.xml", 5, "unknown style 'no_such_style' on <Label>"},
        {"builder/two_roots.xml", 5, "more than one top-level control"},
        {"builder/unclosed.xml", 6, "broken XML"},
        {"builder/bad_window.xml", 3, "unknown attribute 'sise' on <Window>"},
        {"builder/not_container.xml", 5, "<Button> cannot hold child elements"},
        {"builder/include_self.xml", 4, "includes nested deeper than 8"},
        // The fault inside an included file names that file, then where it was included.
        {"builder/bad_color.xml", 5, "(included from builder/include_broken.xml:4)"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.file);
        CDialogBuilder builder;
        const std::string source = std::string(c.what).find("included") != std::string::npos
                                       ? "builder/include_broken.xml"
                                       : c.file;
        // A failed build leaves the parent alone.
        CVerticalLayoutUI parent;
        EXPECT_EQ(builder.Create(source, nullptr, nullptr, nullptr, &parent), nullptr);
        EXPECT_EQ(parent.GetCount(), 0);
        EXPECT_THAT(builder.GetLastError(),
                    StartsWith(std::string(c.file) + ":" + std::to_string(c.line) + ": "));
        EXPECT_THAT(builder.GetLastError(), HasSubstr(c.what));
    }

    CDialogBuilder builder;
    EXPECT_EQ(builder.Create("builder/missing.xml"), nullptr);
    EXPECT_EQ(builder.GetLastError(), "cannot open " + CPaintManagerUI::GetResourcePath() +
                                          "builder/missing.xml: No such file or directory");
    EXPECT_EQ(builder.Create("builder"), nullptr);
    EXPECT_THAT(builder.GetLastError(), HasSubstr("not a regular file"));
}

TEST_F(DialogBuilderTest, BadTextIsRefusedWithLine) {
    std::string deep;
    for (int i = 0; i < 300; ++i) {
        deep += "<Container>";
    }
    const struct {
        std::string xml;
        int line;
        const char* what;
    } kCases[] = {
        {"", 1, "broken XML"},
        {"<VerticalLayout/>\n<VerticalLayout/>", 2, "broken XML"},
        {"<!DOCTYPE x [<!ENTITY a \"aaaa\">]>\n<Label text=\"&a;\"/>", 1, "document type"},
        {"<VerticalLayout>\n<Label text=\"\xC3\x28\"/></VerticalLayout>", 2, "not valid UTF-8"},
        {"<VerticalLayout>\n  hello\n</VerticalLayout>", 2, "unexpected text in <VerticalLayout>"},
        {"<Window size=\"10,10\">\n</Window>", 1, "no control in <Window>"},
        {"<Window size=\"10\">\n<Label/></Window>", 1, "bad value '10' for 'size' on <Window>"},
        {"<Window caption=\"0,0,0,x\">\n<Label/></Window>", 1, "bad value"},
        {"<VerticalLayout>\n<Window/></VerticalLayout>", 2, "can only be the root"},
        {"<VerticalLayout>\n<Include/></VerticalLayout>", 2, "needs a 'source' attribute"},
        {"<VerticalLayout>\n<Include source=\"builder/nope.xml\"/></VerticalLayout>", 2,
         "cannot open"},
        {"<Label style=\"builder_loop\"/>", 1, "styles nested too deeply"},
        {"<Unknown/>", 1, "no control in the layout"},
        {deep, 1, "nested too deeply"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.xml.substr(0, 60));
        CDialogBuilder builder;
        EXPECT_EQ(builder.CreateFromText(c.xml, "mem.xml"), nullptr);
        EXPECT_THAT(builder.GetLastError(), StartsWith("mem.xml:" + std::to_string(c.line) + ": "));
        EXPECT_THAT(builder.GetLastError(), HasSubstr(c.what));
    }
}

TEST_F(DialogBuilderTest, UnknownElementIsSkippedWithWarning) {
    CPaintManagerUI manager;
    CControlUI* root = BuildInto(manager, "builder/unknown_element.xml");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->AsContainer()->GetCount(), 2);
    EXPECT_NE(manager.FindControl("before"), nullptr);
    EXPECT_NE(manager.FindControl("after"), nullptr);
    EXPECT_EQ(manager.FindControl("inside"), nullptr);

    CDialogBuilder builder;
    std::unique_ptr<CControlUI> again(builder.Create("builder/unknown_element.xml"));
    ASSERT_EQ(builder.GetWarnings().size(), 1u);
    EXPECT_THAT(builder.GetWarnings()[0], StartsWith("builder/unknown_element.xml:5: "));
    EXPECT_THAT(builder.GetWarnings()[0], HasSubstr("<NoSuchPage>"));
}

class RecordingCallback : public IDialogBuilderCallback {
  public:
    CControlUI* CreateControl(const std::string& className) override {
        asked.push_back(className);
        if (className == "CallbackThing") {
            return new CLabelUI;
        }
        if (className == "Shared") {
            return new CTextUI;
        }
        return nullptr;
    }
    std::vector<std::string> asked;
};

TEST_F(DialogBuilderTest, CustomTagsComeFromCallbackThenFactory) {
    CControlFactory* factory = CControlFactory::GetInstance();
    factory->RegistControl("CGizmoUI", [] { return new CButtonUI; });
    factory->RegistControl("Shared", [] { return new CEditUI; });
    app::RegisterCustomControls();

    CPaintManagerUI manager;
    RecordingCallback callback;
    ASSERT_NE(BuildInto(manager, "builder/custom.xml", &callback), nullptr);
    EXPECT_EQ(manager.FindControl("from_callback")->GetClass(), "Label");
    EXPECT_EQ(manager.FindControl("from_callback")->GetText(), "callback");
    // Factory by "C" + tag + "UI"; the class default of the tag applies first.
    CControlUI* gizmo = manager.FindControl("from_factory");
    EXPECT_EQ(gizmo->GetClass(), "Button");
    EXPECT_EQ(gizmo->GetText(), "factory");
    EXPECT_EQ(gizmo->GetToolTip(), "default tip");
    // The callback goes before the factory.
    EXPECT_EQ(manager.FindControl("shared")->GetClass(), "Text");
    EXPECT_EQ(manager.FindControl("circle")->GetClass(), "CircleProgress");
    // Standard tags never reach the callback.
    EXPECT_EQ(callback.asked,
              (std::vector<std::string>{"CallbackThing", "Gizmo", "Shared", "CircleProgress"}));
}

TEST(ControlFactoryTest, CaseBlindOrderedAndReplacing) {
    CControlFactory factory;
    factory.RegistControl("CAlphaUI", [] { return new CLabelUI; });
    factory.RegistControl("CBetaUI", [] { return new CButtonUI; });
    factory.RegistControl("calphaui", [] { return new CEditUI; });
    EXPECT_EQ(factory.RegisteredNames().size(), 2u);
    EXPECT_THAT(factory.RegisteredNames()[0], ::testing::StrCaseEq("CAlphaUI"));
    EXPECT_EQ(factory.RegisteredNames()[1], "CBetaUI");
    EXPECT_TRUE(factory.IsRegistered("CALPHAUI"));
    std::unique_ptr<CControlUI> alpha(factory.CreateControl("CAlphaUI"));
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->GetClass(), "Edit");
    EXPECT_EQ(factory.CreateControl("CGammaUI"), nullptr);
    EXPECT_FALSE(factory.IsRegistered("CGammaUI"));
}

TEST_F(DialogBuilderTest, IncludeBuildsFilesInPlace) {
    CPaintManagerUI manager;
    CControlUI* root = BuildInto(manager, "builder/include_main.xml");
    ASSERT_NE(root, nullptr);
    CContainerUI* container = manager.FindControl("root")->AsContainer();
    ASSERT_EQ(container->GetCount(), 3);
    for (int i : {1, 2}) {
        EXPECT_EQ(container->GetItemAt(i)->GetName(), "part");
        EXPECT_EQ(container->GetItemAt(i)->GetFixedHeight(), 30);
        ASSERT_EQ(container->GetItemAt(i)->AsContainer()->GetCount(), 1);
    }
    EXPECT_EQ(manager.FindControl("part_button")->GetText(), "part");
    EXPECT_EQ(manager.GetInitSize().cx, 300);
}

TEST_F(DialogBuilderTest, ParentReceivesTheRootAndWindowIsOptional) {
    CHorizontalLayoutUI parent;
    CDialogBuilder builder;
    CControlUI* built =
        builder.Create("builder/include_part.xml", nullptr, nullptr, nullptr, &parent);
    ASSERT_NE(built, nullptr) << builder.GetLastError();
    ASSERT_EQ(parent.GetCount(), 1);
    EXPECT_EQ(parent.GetItemAt(0), built);
    EXPECT_EQ(built->GetParent(), &parent);

    CLabelUI notContainer;
    EXPECT_EQ(builder.CreateFromText("<Label/>", "mem.xml", nullptr, nullptr, &notContainer),
              nullptr);
    EXPECT_THAT(builder.GetLastError(), HasSubstr("cannot hold children"));
}

TEST_F(DialogBuilderTest, LanguageSwitchReloadsShownTexts) {
    CPaintManagerUI manager;
    ASSERT_NE(BuildInto(manager, "XML_BUILDER"), nullptr);
    CControlUI* title = manager.FindControl("title");
    CControlUI* ok = manager.FindControl("ok_btn");
    CControlUI* close = manager.FindControl("closebtn");
    EXPECT_EQ(WidgetText(title), "Gaming Mouse Driver");
    EXPECT_EQ(WidgetText(ok), "OK");

    resources_->SetLanguage("cn_zh");
    ASSERT_TRUE(resources_->LoadLanguage("lan_cn.xml")) << resources_->GetLastError();
    resources_->ReloadText();
    EXPECT_EQ(title->GetShownText(), "游戏鼠标驱动");
    EXPECT_EQ(WidgetText(title), "游戏鼠标驱动");
    EXPECT_EQ(WidgetText(ok), "确定");
    EXPECT_EQ(manager.FindControl("combo_row_1")->GetShownText(), "设备未连接。");
    EXPECT_EQ(WidgetText(close), "x");  // literal text is not an id

    // A language file that fails to load keeps the texts there are.
    EXPECT_FALSE(resources_->LoadLanguage("lan_missing.xml"));
    EXPECT_THAT(resources_->GetLastError(), HasSubstr("cannot open"));
    EXPECT_EQ(resources_->GetText("title_main"), "游戏鼠标驱动");
}

class TestQuery : public IQueryControlText {
  public:
    std::string QueryControlText(const std::string& name, const std::string& /*type*/) override {
        asked.push_back(name);
        return name == "titletext" ? "Demo v1" : std::string();
    }
    std::vector<std::string> asked;
};

TEST_F(DialogBuilderTest, TextQueryAnswersWhatTheLanguageLacks) {
    TestQuery query;
    resources_->SetTextQueryInterface(&query);
    EXPECT_EQ(resources_->GetText("message_text_3"), "Settings saved & applied.");
    EXPECT_EQ(resources_->GetText("titletext"), "Demo v1");
    EXPECT_EQ(resources_->GetText("unknown_id"), "unknown_id");
    EXPECT_EQ(query.asked, (std::vector<std::string>{"titletext", "unknown_id"}));
    EXPECT_TRUE(resources_->HasText("message_text_1"));
    EXPECT_FALSE(resources_->HasText("titletext"));

    CDialogBuilder builder;
    std::unique_ptr<CControlUI> label(
        builder.CreateFromText("<Label textid=\"titletext\"/>", "mem.xml"));
    ASSERT_NE(label, nullptr) << builder.GetLastError();
    EXPECT_EQ(label->GetShownText(), "Demo v1");
}

TEST_F(DialogBuilderTest, ResourceIndexAndLanguageFilesRejectBadInput) {
    const struct {
        bool language;
        const char* xml;
        int line;
        const char* what;
    } kCases[] = {
        {false, "<Resources>\n<Layout name=\"A\"/>\n</Resources>", 2, "needs a 'file' attribute"},
        {false, "<Resources>\n<Layout name=\"A\" file=\"a\" size=\"1\"/></Resources>", 2,
         "unknown attribute 'size' on <Layout>"},
        {false, "<Resources>\n<Style name=\"s\" value='height=25'/></Resources>", 2,
         "bad attribute list in style 's'"},
        {false, "<Resources>\n\n<Image name=\"x\"/></Resources>", 3, "unknown element <Image>"},
        {false, "<Res/>", 1, "must be <Resources>"},
        {false, "<Resources>\n<Layout name=\"A\" file=\"a\">\n</Resources>", 3, "broken XML"},
        {true, "<Language>\n<Text>x</Text></Language>", 2, "needs a 'id' attribute"},
        {true, "<Language>\n<Text id=\"a\">\n<b/></Text></Language>", 3, "plain text only"},
        {true, "<Strings/>", 1, "must be <Language>"},
        {true, "<Language>\n<Text id=\"\">x</Text></Language>", 2, "empty text id"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.xml);
        const bool ok = c.language ? resources_->LoadLanguageFromText(c.xml, "f.xml")
                                   : resources_->LoadResourceFromText(c.xml, "f.xml");
        EXPECT_FALSE(ok);
        EXPECT_THAT(resources_->GetLastError(),
                    StartsWith("f.xml:" + std::to_string(c.line) + ": "));
        EXPECT_THAT(resources_->GetLastError(), HasSubstr(c.what));
    }
    // Nothing of a failed file was taken.
    EXPECT_EQ(resources_->GetXmlPath("A"), "");
    EXPECT_EQ(resources_->GetXmlPath("XML_BUILDER"), "builder/all_controls.xml");
    EXPECT_EQ(resources_->GetText("message_text_1"), "The device is not connected.");
    EXPECT_EQ(resources_->GetDefaultAttributeList("BUTTON"), "textcolor=\"#FFFFFFFF\"");
    EXPECT_FALSE(resources_->LoadResource("no_such_res.xml"));

    // Release forgets it all.
    resources_->Release();
    EXPECT_EQ(resources_->GetXmlPath("XML_BUILDER"), "");
    EXPECT_EQ(resources_->GetText("message_text_1"), "message_text_1");
}

TEST(AttributeListTest, ParsesQuotedPairsInOrder) {
    AttributeList pairs;
    ASSERT_TRUE(ParseAttributeList(" a=\"1\"  b = 'x y'\nc=\"it's\" d=\"\" ", pairs));
    EXPECT_EQ(pairs, (AttributeList{{"a", "1"}, {"b", "x y"}, {"c", "it's"}, {"d", ""}}));
    ASSERT_TRUE(ParseAttributeList("", pairs));
    EXPECT_TRUE(pairs.empty());

    for (const char* bad : {"a=1", "a=\"1", "=\"x\"", "a=\"1\"b=\"2\"", "a", "a b=\"1\""}) {
        SCOPED_TRACE(bad);
        std::string error;
        EXPECT_FALSE(ParseAttributeList(bad, pairs, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(pairs.empty());
    }
}

}  // namespace
}  // namespace gmd::ui
