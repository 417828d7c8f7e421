#pragma once

#include <QApplication>
#include <QObject>
#include <QStringList>
#include <QTest>
#include <QWidget>

// What window tests share: finding a window's controls, and the one rule for
// what a test leaves behind.
namespace TestWindows {

// A window's control by its object name (without a name, the one child of that
// kind); a missing one ends the test program, since every later check would
// only fail for that reason.
template <class Control = QWidget>
Control* control(const QObject& window, const char* name = nullptr)
{
    auto* found = window.findChild<Control*>(name ? QString::fromLatin1(name) : QString());
    if (!found)
        qFatal("%s has no control %s", qPrintable(window.objectName()), name ? name : "");
    return found;
}

// For cleanup(): no top-level window is left, shown or hidden, once the
// windows that unload themselves on the next turn of the event loop have done
// so. A failure names what was left.
inline void verifyNoWindowLeft()
{
    const auto left = [] {
        QStringList names;
        for (const QWidget* window : QApplication::topLevelWidgets())
            names << QString::fromLatin1(window->metaObject()->className()) + u' ' +
                         window->objectName();
        return names.join(QStringLiteral(", "));
    };
    QTRY_VERIFY2(QApplication::topLevelWidgets().isEmpty(), qPrintable(left()));
}

} // namespace TestWindows
