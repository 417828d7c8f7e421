#include "app/startup.h"
#include "windows/appearance.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The desktop entry's name is the Wayland app id, by which the desktop
    // finds the program's name and icon; the icon is every window's, message
    // boxes included.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quillrace.Quillrace"));
    QApplication::setWindowIcon(Appearance::programIcon());
    return Startup::run(QCoreApplication::applicationDirPath());
}
