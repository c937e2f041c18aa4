// Runs the UI tests inside a QApplication, offscreen unless a platform is chosen.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "ui/paint_manager.h"

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    gmd::ui::CPaintManagerUI::SetResourcePath(GMD_TEST_SKIN_DIR);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
