#pragma once
// Where the keyboard focus is: a frame around the focused control (the theme's QFocusFrame
// rule draws it) from the moment the user moves the focus with the keyboard until a click
// moves it again. Controls draw their own looks, so a frame of its own keeps the focus visible
// on every one of them.

namespace gmd::ui {

// Follows the focus in every window of the application; once per application object.
void InstallKeyboardFocusFrame();

}  // namespace gmd::ui
