#pragma once

#include <QString>

// The product name is the main window's title for the whole run; the
// application title is the caption of every message box that names none of its
// own. The application title lives here rather than in
// QGuiApplication::applicationDisplayName, which X11 would append to every
// window title.
namespace AppTitle {

inline constexpr QStringView productName = u"Quillrace Software";

// Cuts the product name before its last blank, at least once and until it is
// no longer than 40 characters, and makes the result the application title.
void setAppTitle();

// "Quillrace" once setAppTitle has run.
QString appTitle();

// The cutting rule on its own.
QString shortTitle(QStringView name);

} // namespace AppTitle
