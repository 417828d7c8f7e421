#pragma once

class QWidget;

// Which window a dialog or message box belongs to. The window system keeps an
// owned window above its owner and gives it the keyboard back when the owner
// is clicked (X11's transient-for, Wayland's parent toplevel). The owner is
// named to the window system only: it is not the dialog's parent widget, so
// the main window's skin does not reach the windows it owns.
namespace WindowOwner {

// The owner of the top-level `window` becomes the nearest window on screen
// among `owner`'s window and the windows that own it in turn; with none on
// screen (or no owner given) the window is left as it is.
void set(QWidget& window, const QWidget* owner);

} // namespace WindowOwner
