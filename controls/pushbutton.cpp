#include "controls/pushbutton.h"

#include <QKeyEvent>

namespace {

// Return and Enter as the Space key that Qt's buttons already answer to.
QKeyEvent asSpace(const QKeyEvent& event)
{
    return QKeyEvent(event.type(), Qt::Key_Space, event.modifiers(), QStringLiteral(" "),
                     event.isAutoRepeat(), ushort(event.count()));
}

bool isReturn(const QKeyEvent& event)
{
    return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

} // namespace

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(parent)
{
    setAutoDefault(false);
    setCaption(caption);
}

void PushButton::setCaption(const QString& caption)
{
    caption_ = caption;
    QString shown = caption;
    setText(shown.replace(u'&', QLatin1String("&&")));
    setAccessibleName(caption);
}

void PushButton::keyPressEvent(QKeyEvent* event)
{
    if (!isReturn(*event))
        return QPushButton::keyPressEvent(event);
    QKeyEvent space = asSpace(*event);
    QPushButton::keyPressEvent(&space);
    event->setAccepted(space.isAccepted());
}

void PushButton::keyReleaseEvent(QKeyEvent* event)
{
    if (!isReturn(*event))
        return QPushButton::keyReleaseEvent(event);
    QKeyEvent space = asSpace(*event);
    QPushButton::keyReleaseEvent(&space);
    event->setAccepted(space.isAccepted());
}
