#pragma once
// Debug trace lines for a window's shows and its first frame on screen: "<name>: shown (n)"
// for each show the program asks for, and "<name>: first frame shown" once the first paint
// has gone out. The start-up benchmark times the first frame and counts the shows with them
// (a window that shows, hides and shows again flickers).

#include <string>

class QWidget;

namespace gmd::app {

// Does nothing while the debug trace is off.
void TraceWindowShows(QWidget* window, const std::string& name);

}  // namespace gmd::app
