#include "controls/pushbutton.h"

#include <QKeyEvent>

namespace {

// Return and Enter are handed to `handle` as the Space key that Qt's buttons
// already answer to; every other key as it is.
template <class Handle> void asSpace(QKeyEvent* event, Handle handle)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return handle(event);
    QKeyEvent space(event->type(), Qt::Key_Space, event->modifiers(), QStringLiteral(" "),
                    event->isAutoRepeat(), ushort(event->count()));
    handle(&space);
    event->setAccepted(space.isAccepted());
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
    asSpace(event, [this](QKeyEvent* key) { QPushButton::keyPressEvent(key); });
}

void PushButton::keyReleaseEvent(QKeyEvent* event)
{
    asSpace(event, [this](QKeyEvent* key) { QPushButton::keyReleaseEvent(key); });
}
