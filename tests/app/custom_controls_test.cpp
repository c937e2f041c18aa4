// The four custom controls: drawn pixels, attributes, repaint requests and registration.

#include "app/custom_controls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <ostream>
#include <set>

#include "ui/dialog_builder.h"
#include "ui/paint_manager.h"
#include "ui/resource_manager.h"

namespace gmd::app {
namespace {

constexpr ui::DWORD kBk = 0xFF303030;
constexpr ui::DWORD kFore = 0xFF2FA8E0;
constexpr ui::DWORD kWhite = 0xFFFFFFFF;

// Paints `paint` onto a transparent image of the given size.
template <typename Fn>
QImage Render(int width, int height, Fn paint) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter, QRect(0, 0, width, height));
    return image;
}

ui::DWORD Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y);
}

// Distance between two colours, channel by channel.
int ColorDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

// ---- Circular progress ----------------------------------------------------------------------

struct CircleCase {
    int min, max, value;
    int sweep;
    // Ring quadrants in screen terms, clockwise from the bottom: bottom-left, top-left,
    // top-right, bottom-right. True = foreground colour.
    bool bottomLeft, topLeft, topRight, bottomRight;
};

void PrintTo(const CircleCase& c, std::ostream* os) {
    *os << "min " << c.min << " max " << c.max << " value " << c.value;
}

std::string CaseName(const ::testing::TestParamInfo<CircleCase>& info) {
    auto number = [](int n) { return n < 0 ? "minus" + std::to_string(-n) : std::to_string(n); };
    const CircleCase& c = info.param;
    return "min" + number(c.min) + "_max" + number(c.max) + "_value" + number(c.value);
}

class CircleProgressTest : public ::testing::TestWithParam<CircleCase> {};

TEST_P(CircleProgressTest, RingShowsSweepClockwiseFromBottomWithWhiteCentre) {
    const CircleCase& c = GetParam();
    CCircleProgressUI circle;
    circle.SetBkColor(kBk);
    circle.SetForeColor(kFore);
    circle.SetMinValue(c.min);
    circle.SetMaxValue(c.max);
    circle.SetValue(c.value);
    EXPECT_EQ(circle.SweepAngle(), c.sweep);

    const QImage image = Render(100, 100, [&](QPainter& p, const QRect& r) { circle.Paint(p, r); });
    // The ring lies between radius 40 and 50; sample its middle at the centre of each quadrant.
    auto ringAt = [&](double degreesClockwiseFromX) {
        const double a = degreesClockwiseFromX * std::numbers::pi / 180;
        return Pixel(image, static_cast<int>(50 + 45 * std::cos(a)),
                     static_cast<int>(50 + 45 * std::sin(a)));
    };
    auto expected = [](bool fore) { return fore ? kFore : kBk; };
    EXPECT_EQ(ringAt(135), expected(c.bottomLeft));
    EXPECT_EQ(ringAt(225), expected(c.topLeft));
    EXPECT_EQ(ringAt(315), expected(c.topRight));
    EXPECT_EQ(ringAt(45), expected(c.bottomRight));
    EXPECT_EQ(Pixel(image, 50, 50), kWhite);
    EXPECT_EQ(Pixel(image, 30, 50), kWhite);   // inside the 10-pixel ring
    EXPECT_EQ(qAlpha(Pixel(image, 1, 1)), 0);  // outside the circle: untouched
}

INSTANTIATE_TEST_SUITE_P(
    Sweeps, CircleProgressTest,
    ::testing::Values(CircleCase{0, 200, 50, 90, true, false, false, false},
                      CircleCase{0, 200, 100, 180, true, true, false, false},
                      // The minimum is not subtracted: 150 / 100 turns, a full ring.
                      CircleCase{100, 200, 150, 540, true, true, true, true},
                      CircleCase{0, 100, 0, 0, false, false, false, false},
                      // Negative values sweep the other way.
                      CircleCase{-100, 100, -50, -90, false, false, false, true},
                      CircleCase{5, 5, 5, 0, false, false, false, false}),
    CaseName);

TEST(CircleProgress, WidgetDrawsTheRingNotABar) {
    CCircleProgressUI circle;
    circle.SetBkColor(kBk);
    circle.SetForeColor(kFore);
    circle.SetMaxValue(200);
    circle.SetValue(50);
    QWidget* widget = circle.GetWidget();
    ASSERT_NE(widget, nullptr);
    widget->resize(100, 100);
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(Pixel(image, 18, 82), kFore);  // bottom-left of the ring
    EXPECT_EQ(Pixel(image, 82, 82), kBk);
    EXPECT_EQ(Pixel(image, 50, 50), kWhite);
    EXPECT_EQ(qAlpha(Pixel(image, 1, 1)), 0);  // no rectangular background
}

// ---- Key button -----------------------------------------------------------------------------

constexpr int kKey = 48;

class KeyButtonTest : public ::testing::Test {
  protected:
    KeyButtonTest() { key_.SetNormalImage("images/key_normal.svg"); }

    QImage Paint() {
        return Render(kKey, kKey,
                      [&](QPainter& p, const QRect& r) { key_.PaintStatusImage(p, r); });
    }
    QImage Widget() {
        QWidget* widget = key_.GetWidget();
        widget->resize(kKey, kKey);
        QApplication::processEvents();
        QImage image(kKey, kKey, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        widget->render(&image);
        return image;
    }

    CDeviceKeyButtonUI key_;
};

TEST_F(KeyButtonTest, LightWithoutImageDrawsOnlyTheStatusImage) {
    const QImage off = Paint();
    ASSERT_NE(Pixel(off, kKey / 2, kKey / 2), 0u) << "the normal image should draw";
    key_.SetLight(0xFF0000, 255, true);
    EXPECT_EQ(Paint(), off);
    EXPECT_EQ(Render(kKey, kKey, [&](QPainter& p, const QRect& r) { key_.PaintButtonImage(p, r); }),
              off);
}

TEST_F(KeyButtonTest, LightTintsItsImageWithColourAndAlpha) {
    ASSERT_EQ(key_.SetAttribute("LightImage", "file='images/key_light.svg'"), AttrStatus::Ok);
    const QRgb base = Pixel(Paint(), kKey / 2, kKey / 2);
    struct Case {
        ui::DWORD color, alpha;
    };
    // The top byte of the colour plays no part; alpha is the opacity.
    for (const Case& c : {Case{0x00FF0000, 255}, Case{0xFFFF0000, 255}, Case{0x0000FF00, 128},
                          Case{0x000000FF, 0}, Case{0x00FFFFFF, 200}}) {
        SCOPED_TRACE(c.color);
        key_.SetLight(c.color, c.alpha, true);
        const double a = c.alpha / 255.0;
        auto mix = [&](int from, int to) { return static_cast<int>(from * (1 - a) + to * a); };
        const QRgb want = qRgb(mix(qRed(base), static_cast<int>((c.color >> 16) & 0xFF)),
                               mix(qGreen(base), static_cast<int>((c.color >> 8) & 0xFF)),
                               mix(qBlue(base), static_cast<int>(c.color & 0xFF)));
        EXPECT_LE(ColorDistance(Pixel(Paint(), kKey / 2, kKey / 2), want), 3);
    }
    key_.SetLight(0x00FF0000, 255, false);
    EXPECT_EQ(Pixel(Paint(), kKey / 2, kKey / 2), base);
}

TEST_F(KeyButtonTest, KeySetMarkerOnlyWhenShownAndRepaintOnlyOnChange) {
    ASSERT_EQ(key_.SetAttribute("keysetimage", "images/key_set.svg"), AttrStatus::Ok);
    const int afterAttribute = key_.RepaintRequests();
    const QRgb marker = qRgb(0xFF, 0xC2, 0x1A);
    EXPECT_TRUE(key_.IsKeySetHidden());
    EXPECT_NE(Pixel(Paint(), 42, 5), marker);

    struct Step {
        bool hidden;
        int repaints;  // requests since the attribute was set
    };
    for (const Step& s : {Step{true, 0}, Step{false, 1}, Step{false, 1}, Step{true, 2}}) {
        key_.SetKeySetHidden(s.hidden);
        EXPECT_EQ(key_.RepaintRequests() - afterAttribute, s.repaints);
        EXPECT_EQ(Pixel(Paint(), 42, 5) == marker, !s.hidden);
    }
    key_.SetLight(0x00FF00, 100, true);  // stores only
    EXPECT_EQ(key_.RepaintRequests() - afterAttribute, 2);
    // The periodic flush repaints a changed light once, an unchanged one never.
    EXPECT_TRUE(key_.FlushLight());
    EXPECT_FALSE(key_.FlushLight());
    key_.SetLight(0x00FF00, 100, true);
    EXPECT_FALSE(key_.FlushLight());
    EXPECT_EQ(key_.RepaintRequests() - afterAttribute, 3);
}

TEST_F(KeyButtonTest, Attributes) {
    EXPECT_EQ(key_.SetAttribute("LIGHTIMAGE", "images/key_light.svg"), AttrStatus::Ok);
    EXPECT_EQ(key_.GetLightImage(), "images/key_light.svg");
    EXPECT_EQ(key_.SetAttribute("KeySetImage", "images/key_set.svg"), AttrStatus::Ok);
    EXPECT_EQ(key_.GetKeySetImage(), "images/key_set.svg");
    EXPECT_EQ(key_.SetAttribute("gmnametextcolor", "#FF00FF"), AttrStatus::Ok);
    EXPECT_EQ(key_.SetAttribute("GMNameTextColor", "ffa0b0c0"), AttrStatus::Ok);
    EXPECT_EQ(key_.SetAttribute("gmnametextcolor", "#"), AttrStatus::BadValue);
    EXPECT_EQ(key_.SetAttribute("gmnametextcolor", "#12xz"), AttrStatus::BadValue);
    // Everything else is the button's.
    EXPECT_EQ(key_.SetAttribute("text", "Esc"), AttrStatus::Ok);
    EXPECT_EQ(key_.GetText(), "Esc");
    EXPECT_EQ(key_.SetAttribute("no_such_attribute", "1"), AttrStatus::UnknownName);
    EXPECT_EQ(key_.GetClass(), "DeviceKeyButton");
    EXPECT_TRUE(key_.IsKeySetHidden());
    EXPECT_FALSE(key_.IsLightOn());
    EXPECT_EQ(key_.GetLightColor(), 255u);
    EXPECT_EQ(key_.GetLightAlpha(), 200u);
}

TEST_F(KeyButtonTest, WidgetShowsOverlaysOverTheButton) {
    key_.SetAttribute("lightimage", "images/key_light.svg");
    key_.SetAttribute("keysetimage", "images/key_set.svg");
    const QImage off = Widget();
    key_.SetLight(0x00FF0000, 255, true);
    key_.GetWidget()->update();
    const QImage lit = Widget();
    EXPECT_LE(ColorDistance(Pixel(lit, kKey / 2, kKey / 2), qRgb(255, 0, 0)), 3);
    EXPECT_EQ(Pixel(lit, 42, 5), Pixel(off, 42, 5));

    key_.SetLight(0x00FF0000, 255, true);
    key_.SetAttribute("lightimage", "");
    EXPECT_EQ(Widget(), off);  // light on without an image: the button alone

    key_.SetKeySetHidden(false);
    EXPECT_EQ(Pixel(Widget(), 42, 5), qRgb(0xFF, 0xC2, 0x1A));
}

// ---- Native window host ---------------------------------------------------------------------

TEST(WndHost, HostedWidgetFollowsGeometryAndVisibility) {
    CWndUI host;
    EXPECT_EQ(host.GetClass(), "Wnd");
    EXPECT_FALSE(host.Attach(nullptr));
    auto* hosted = new QWidget;
    ASSERT_TRUE(host.Attach(hosted));
    QWidget* widget = host.GetWidget();
    widget->resize(120, 80);
    widget->show();
    QApplication::processEvents();
    EXPECT_EQ(hosted->parentWidget(), widget);
    EXPECT_EQ(hosted->geometry(), QRect(0, 0, 120, 80));
    EXPECT_TRUE(hosted->isVisible());

    widget->resize(60, 30);
    QApplication::processEvents();
    EXPECT_EQ(hosted->geometry(), QRect(0, 0, 60, 30));

    host.SetVisible(false);
    EXPECT_TRUE(hosted->isHidden());
    host.SetVisible(true);
    EXPECT_FALSE(hosted->isHidden());

    std::unique_ptr<QWidget> back(host.Detach());
    EXPECT_EQ(back.get(), hosted);
    EXPECT_EQ(back->parentWidget(), nullptr);
    EXPECT_EQ(host.GetHosted(), nullptr);

    // Still attached when the control goes: the embedded widget goes with it.
    QPointer<QWidget> embedded = new QWidget;
    {
        CWndUI other;
        ASSERT_TRUE(other.Attach(embedded));
    }
    EXPECT_TRUE(embedded.isNull());
}

// ---- Chart view -----------------------------------------------------------------------------

TEST(ChartView, AttributesAreCaseSensitive) {
    CChartViewUI chart;
    EXPECT_EQ(chart.GetClass(), "Control");
    struct Case {
        const char* name;
        const char* value;
        AttrStatus status;
        int view;
    };
    // The view type carries over from row to row.
    for (const Case& c :
         {Case{"view", "histpgram", AttrStatus::Ok, 1}, Case{"view", "Pie", AttrStatus::Ok, 1},
          Case{"view", "histogram", AttrStatus::Ok, 1}, Case{"view", "pie", AttrStatus::Ok, 0},
          Case{"view", "HISTPGRAM", AttrStatus::Ok, 0}}) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(chart.SetAttribute(c.name, c.value), c.status);
        EXPECT_EQ(chart.GetViewType(), c.view);
    }
    EXPECT_EQ(chart.SetAttribute("shadowimageheight", "12"), AttrStatus::Ok);
    EXPECT_EQ(chart.GetShadowImageHeight(), 12);
    EXPECT_EQ(chart.SetAttribute("shadowimageheight", "12px"), AttrStatus::BadValue);
    EXPECT_EQ(chart.GetShadowImageHeight(), 12);
    EXPECT_EQ(chart.SetAttribute("pillarimagewidth", "-3"), AttrStatus::Ok);
    EXPECT_EQ(chart.GetPillarImageWidth(), -3);
    EXPECT_EQ(chart.SetAttribute("font", "2"), AttrStatus::Ok);
    EXPECT_EQ(chart.GetFont(), 2);
    EXPECT_EQ(chart.SetAttribute("showhtml", "true"), AttrStatus::Ok);
    EXPECT_TRUE(chart.GetShowHtml());
    EXPECT_EQ(chart.SetAttribute("showtext", "True"), AttrStatus::Ok);
    EXPECT_FALSE(chart.GetShowText());
    EXPECT_EQ(chart.SetAttribute("pillarimage", "images/chart_pillar.svg"), AttrStatus::Ok);
    EXPECT_EQ(chart.GetPillarImage(), "images/chart_pillar.svg");
    // Plain control attributes still reach the base.
    EXPECT_EQ(chart.SetAttribute("bkcolor", "#FF102030"), AttrStatus::Ok);
    EXPECT_EQ(chart.GetBkColor(), 0xFF102030u);
    EXPECT_EQ(chart.SetAttribute("Shadowimage", "x.svg"), AttrStatus::UnknownName);
    EXPECT_TRUE(chart.GetItems().empty());
}

TEST(ChartView, HistogramDrawsShadowBandAboveTheTextBand) {
    struct Case {
        const char* view;
        bool showText;
        int bandTop;  // -1: no band
    };
    for (const Case& c : {Case{"histpgram", true, 100 - 10 - 25}, Case{"histpgram", false, 90},
                          Case{"pie", true, -1}}) {
        SCOPED_TRACE(c.view);
        CChartViewUI chart;
        chart.SetAttribute("bkcolor", "#FF000000");
        chart.SetAttribute("view", c.view);
        chart.SetAttribute("shadowimage", "images/chart_shadow.svg");
        chart.SetAttribute("shadowimageheight", "10");
        chart.SetAttribute("showtext", c.showText ? "true" : "false");
        const QImage image =
            Render(100, 100, [&](QPainter& p, const QRect& r) { chart.Paint(p, r); });
        EXPECT_EQ(Pixel(image, 50, 2), 0xFF000000u);
        for (int y = 0; y < 100; ++y) {
            const bool inBand = c.bandTop >= 0 && y >= c.bandTop && y < c.bandTop + 10;
            EXPECT_EQ(Pixel(image, 50, y) != 0xFF000000u, inBand) << "row " << y;
        }
        EXPECT_EQ(chart.GetShadowImage(), "images/chart_shadow.svg");
    }

    CChartViewUI broken;
    broken.SetAttribute("view", "histpgram");
    broken.SetAttribute("shadowimage", "images/missing.svg");
    broken.SetAttribute("shadowimageheight", "10");
    Render(100, 100, [&](QPainter& p, const QRect& r) { broken.Paint(p, r); });
    EXPECT_EQ(broken.GetShadowImage(), "");  // forgotten after a failed draw
}

// ---- Registration ---------------------------------------------------------------------------

TEST(Registration, FourClassesInOrderAndUsableFromLayouts) {
    RegisterCustomControls();
    auto* factory = ui::CControlFactory::GetInstance();
    std::vector<std::string> ours;
    for (const std::string& name : factory->RegisteredNames()) {
        if (name == "CCircleProgressUI" || name == "CChartViewUI" || name == "CWndUI" ||
            name == "CDeviceKeyButtonUI") {
            ours.push_back(name);
        }
    }
    EXPECT_EQ(ours, (std::vector<std::string>{"CCircleProgressUI", "CChartViewUI", "CWndUI",
                                              "CDeviceKeyButtonUI"}));

    ui::CDialogBuilder builder;
    ui::CPaintManagerUI manager;
    std::unique_ptr<ui::CControlUI> root(builder.CreateFromText(
        R"(<Window size="300,200"><VerticalLayout>
             <CircleProgress name="circle"/><ChartView name="chart" view="histpgram"/>
             <Wnd name="wnd"/><DeviceKeyButton name="key" lightimage="images/key_light.svg"/>
           </VerticalLayout></Window>)",
        "custom.xml", nullptr, &manager));
    ASSERT_NE(root, nullptr) << builder.GetLastError();
    ASSERT_TRUE(manager.AttachDialog(root.release()));
    EXPECT_NE(dynamic_cast<CCircleProgressUI*>(manager.FindControl("circle")), nullptr);
    auto* chart = dynamic_cast<CChartViewUI*>(manager.FindControl("chart"));
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->GetViewType(), 1);
    EXPECT_NE(dynamic_cast<CWndUI*>(manager.FindControl("wnd")), nullptr);
    auto* key = dynamic_cast<CDeviceKeyButtonUI*>(manager.FindControl("key"));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->GetLightImage(), "images/key_light.svg");
}

// The gallery's fixture layout builds and holds every class a layout can name.
TEST(Registration, GalleryLayoutHoldsEveryControlClass) {
    RegisterCustomControls();
    ASSERT_TRUE(ui::CResourceManager::GetInstance()->LoadResource("res.xml"))
        << ui::CResourceManager::GetInstance()->GetLastError();
    ui::CDialogBuilder builder;
    ui::CPaintManagerUI manager;
    std::unique_ptr<ui::CControlUI> root(builder.Create("XML_GALLERY", nullptr, nullptr, &manager));
    ASSERT_NE(root, nullptr) << builder.GetLastError();

    std::set<std::string> classes;
    std::function<void(ui::CControlUI*)> walk = [&](ui::CControlUI* control) {
        classes.insert(dynamic_cast<CChartViewUI*>(control) != nullptr ? "ChartView"
                                                                       : control->GetClass());
        if (ui::CContainerUI* container = control->AsContainer()) {
            for (int i = 0; i < container->GetCount(); ++i) {
                walk(container->GetItemAt(i));
            }
        }
    };
    walk(root.get());
    for (const char* name : {"Control",
                             "Container",
                             "VerticalLayout",
                             "HorizontalLayout",
                             "TabLayout",
                             "Label",
                             "Text",
                             "Button",
                             "Option",
                             "CheckBox",
                             "Edit",
                             "Progress",
                             "Slider",
                             "Combo",
                             "List",
                             "ListLabelElement",
                             "ListContainerElement",
                             "ColorPalette",
                             "CircleProgress",
                             "DeviceKeyButton",
                             "Wnd",
                             "ChartView"}) {
        EXPECT_EQ(classes.count(name), 1u) << name;
    }
}

}  // namespace
}  // namespace gmd::app
