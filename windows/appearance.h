#pragma once

#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QString>

class MousePointer;
class QWidget;
class Steps;

// The common look of the windows: colour values as the windows store them,
// the system colours pass, the file test and the hand cursor.
namespace Appearance {

// Colour values keep red in the lowest byte; a value with the top bit set
// names a system colour.
inline constexpr quint32 buttonFace = 0x8000000F;
inline constexpr quint32 windowBackground = 0x80000005;
inline constexpr quint32 white = 0x00FFFFFF;

// The two system colours the windows use: "window background" is the palette's
// Base role, "button face" its Button role, the colour a button's face is
// painted with, which the platform theme takes from the system's button-face
// colour (Window is the general background, which themes may draw differently).
QColor toColor(quint32 value);

// Fills the widget's background with the colour ("BackColor"), and gives its
// text the colour that goes with it.
void setBackColor(QWidget* widget, quint32 value);

// The window, then each of its labels, frames, check boxes and option buttons
// in the window's own control order, get the button-face colour.
void applySystemColours(QWidget* window);

// A file in the program folder: the folder, the platform's separator, the name
// (whose own parts are joined the same way: "x/o.cjs").
QString programFile(const QString& folder, const QString& name);

// True when the path's modification time can be read; never fails.
bool fileExists(const QString& path);

// The windows' font: Arial (Liberation Sans where Arial is missing), bold.
QFont arialBold(double points);

// Places a window in the middle of the screen, as every window starts.
void centreOnScreen(QWidget& window);

// The program's own icon, 32 by 32 with a larger picture for dense screens.
QIcon programIcon();

// Loads a Windows cursor file, hotspot included, for a screen of that device
// pixel ratio: of the file's pictures the one that fits, scaled when none has
// the size, the hotspot on the same spot of it. Throws std::runtime_error when
// the file cannot be read as a picture.
QCursor loadCursor(const QString& path, qreal devicePixelRatio = 1.0);

// The optional hand cursor of every window, as two numbered steps of its load:
// at testLine the test that HAND-M.CUR exists in the program folder and, when
// it does, at loadLine its loading as the window's custom cursor.
void loadHandCursor(Steps& step, int testLine, int loadLine, const QString& programFolder,
                    MousePointer& pointer);

} // namespace Appearance
