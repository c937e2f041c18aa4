#pragma once
// Where a popup or dialog placed by a rule (below the pointer, above the tray icon, under a
// button) ends up: on the screen that holds the pointer, inside that screen's work area.

#include <QPoint>
#include <QRect>
#include <vector>

namespace gmd::ui {

// `wanted` moved as little as needed to lie inside the work area of the screen holding
// `pointer` (the nearest screen when the pointer is on none); `workAreas` are the screens' work
// areas. A popup larger than the work area keeps its top-left corner there, so its title and
// its first items stay in reach. With no screens `wanted` comes back as it is.
QRect FitOnScreen(const QRect& wanted, const QPoint& pointer, const std::vector<QRect>& workAreas);

// The same against the screens of this session, for the current pointer position.
QRect FitOnPointerScreen(const QRect& wanted);

}  // namespace gmd::ui
