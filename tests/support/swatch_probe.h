#pragma once
// Finds where a widget shows a colour by looking at its pixels, as a user does.

#include <gtest/gtest.h>

#include <QImage>
#include <QPoint>
#include <QRgb>
#include <QWidget>
#include <ios>

namespace gmd::test {

// A point a few pixels inside the first area of `colour` (alpha ignored), in widget coordinates.
inline QPoint SwatchOf(QWidget* grid, QRgb colour) {
    const QImage image = grid->grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFFu) == (colour & 0xFFFFFFu)) {
                return QPoint(x + 4, y + 4) / image.devicePixelRatio();
            }
        }
    }
    ADD_FAILURE() << "no swatch of " << std::hex << colour;
    return {};
}

}  // namespace gmd::test
