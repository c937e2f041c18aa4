#include "ui/screen_placement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <climits>

namespace gmd::ui {

namespace {

// Squared distance from a point to a rectangle (0 inside).
long long DistanceSquared(const QRect& r, const QPoint& p) {
    const long long dx = p.x() < r.left()    ? r.left() - p.x()
                         : p.x() > r.right() ? p.x() - r.right()
                                             : 0;
    const long long dy = p.y() < r.top()      ? r.top() - p.y()
                         : p.y() > r.bottom() ? p.y() - r.bottom()
                                              : 0;
    return dx * dx + dy * dy;
}

// One axis: keep the start where the span fits, else the least shift; too long: the start.
int FitSpan(int start, int length, int areaStart, int areaLength) {
    if (length >= areaLength) {
        return areaStart;
    }
    return std::clamp(start, areaStart, areaStart + areaLength - length);
}

}  // namespace

QRect FitOnScreen(const QRect& wanted, const QPoint& pointer, const std::vector<QRect>& workAreas) {
    const QRect* area = nullptr;
    long long best = LLONG_MAX;
    for (const QRect& candidate : workAreas) {
        if (candidate.isEmpty()) {
            continue;
        }
        const long long distance = DistanceSquared(candidate, pointer);
        if (distance < best) {
            best = distance;
            area = &candidate;
        }
    }
    if (area == nullptr) {
        return wanted;
    }
    return QRect(FitSpan(wanted.x(), wanted.width(), area->x(), area->width()),
                 FitSpan(wanted.y(), wanted.height(), area->y(), area->height()), wanted.width(),
                 wanted.height());
}

QRect FitOnPointerScreen(const QRect& wanted) {
    std::vector<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas.push_back(screen->availableGeometry());
    }
    return FitOnScreen(wanted, QCursor::pos(), areas);
}

}  // namespace gmd::ui
