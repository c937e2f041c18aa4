// Popups and dialogs placed by a rule stay on the screen that holds the pointer.

#include "ui/screen_placement.h"

#include <gtest/gtest.h>

#include <QRect>
#include <vector>

namespace gmd::ui {
namespace {

struct Case {
    const char* what;
    std::vector<QRect> workAreas;
    QPoint pointer;
    QRect wanted;
    QPoint placed;
};

// Work areas: an 800-pixel-high screen with a tray bar along its top edge, a 1080p screen, and
// beside it a second screen at an offset.
const QRect kLowWithTopTray(0, 24, 1280, 776);
const QRect kFullHd(0, 0, 1920, 1080);
const QRect kSecond(1920, 200, 1280, 1024);

// The colour dialog opens 20 pixels left of and below the pointer, the tray menu 50 pixels
// above it.
QRect ColourDialogAt(QPoint pointer) {
    return QRect(pointer.x() - 20, pointer.y() + 20, 662, 560);
}
QRect TrayMenuAt(QPoint pointer, int height = 120) {
    return QRect(pointer.x(), pointer.y() - 50, 140, height);
}

TEST(ScreenPlacementTest, KeepsTheRuleWhereItFitsAndMovesOnScreenWhereNot) {
    const Case cases[] = {
        {"fits: the rule's position",
         {kFullHd},
         {300, 300},
         ColourDialogAt({300, 300}),
         {280, 320}},
        {"800 pixels high: lifted so OK is in reach",
         {kLowWithTopTray},
         {600, 500},
         ColourDialogAt({600, 500}),
         {580, 240}},
        {"1080p, lower right corner",
         {kFullHd},
         {1700, 900},
         ColourDialogAt({1700, 900}),
         {1258, 520}},
        {"tray at the top: below the bar, not at y = -38",
         {kLowWithTopTray},
         {1250, 12},
         TrayMenuAt({1250, 12}),
         {1140, 24}},
        {"tray at the bottom: the rule fits",
         {QRect(0, 0, 1280, 776)},
         {1250, 790},
         TrayMenuAt({1250, 790}, 100),
         {1140, 676}},
        {"left and top edges", {kFullHd}, {5, 5}, QRect(-15, -30, 200, 100), {0, 0}},
        {"second screen at an offset",
         {kFullHd, kSecond},
         {2500, 700},
         ColourDialogAt({2500, 700}),
         {2480, 664}},
        {"second screen's right edge",
         {kFullHd, kSecond},
         {3190, 300},
         ColourDialogAt({3190, 300}),
         {2538, 320}},
        {"pointer on no screen: the nearest one",
         {kFullHd, kSecond},
         {2500, 100},
         TrayMenuAt({2500, 100}),
         {2500, 200}},
        {"taller than the work area: top-left corner kept on it",
         {kLowWithTopTray},
         {600, 500},
         QRect(580, 520, 662, 900),
         {580, 24}},
        {"no screens: unchanged", {}, {600, 500}, QRect(580, 520, 10, 10), {580, 520}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QRect placed = FitOnScreen(c.wanted, c.pointer, c.workAreas);
        EXPECT_EQ(placed.topLeft(), c.placed);
        EXPECT_EQ(placed.size(), c.wanted.size());
    }
}

}  // namespace
}  // namespace gmd::ui
