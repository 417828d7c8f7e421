#pragma once

#include <QApplication>
#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

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

// Deletes the windows that unload themselves on the next turn of the event
// loop, so that a check right after a close sees them gone.
inline void finishUnloads()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// For cleanup(): no top-level window is left, shown or hidden, once the
// windows that unload themselves have done so. A failure names what was left
// and deletes it, so that a window left open fails one test, at once.
inline void verifyNoWindowLeft()
{
    finishUnloads();
    QStringList names;
    QList<QPointer<QWidget>> left;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        names << QString::fromLatin1(window->metaObject()->className()) + u' ' +
                     window->objectName();
        left << window;
    }
    for (const QPointer<QWidget>& window : left)
        delete window.data();
    QVERIFY2(names.isEmpty(), qPrintable(names.join(QStringLiteral(", "))));
}

// Hands the next modal window to `check` as soon as it is shown, then closes
// it if `check` left it open: a failed check inside the callback ends the
// window's exec() instead of leaving it open until the test's timeout.
inline void onNextModal(QObject* context, std::function<void(QWidget*)> check)
{
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [poll, check = std::move(check)] {
        const QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll->stop();
        poll->deleteLater();
        check(modal);
        if (modal && modal->isVisible()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal.data()))
                dialog->reject();
            else
                modal->close();
        }
    });
    poll->start(5);
}

} // namespace TestWindows
