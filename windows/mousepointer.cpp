#include "windows/mousepointer.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

MousePointer::MousePointer(QWidget& window) : QObject(&window), window_(window) {}

void MousePointer::set(int value)
{
    value_ = value;
    switch (value) {
    case Hourglass:
        window_.setCursor(Qt::WaitCursor);
        break;
    case Custom:
        window_.setCursor(hasCustom_ ? custom_ : QCursor(Qt::PointingHandCursor));
        break;
    default:
        window_.unsetCursor();
        break;
    }
}

std::function<void(bool)> MousePointer::hourglassWhileWaiting()
{
    return [this, before = int(Default)](bool waiting) mutable {
        if (waiting) {
            before = value_;
            set(Hourglass);
        } else {
            set(before);
        }
    };
}

void MousePointer::setCustomCursor(const QCursor& cursor)
{
    custom_ = cursor;
    hasCustom_ = true;
    if (value_ == Custom)
        set(Custom);
}

void MousePointer::hover(QWidget* area, int value)
{
    // A scroll area's content is its viewport, which gets the mouse moves.
    QWidget* target = area;
    if (auto* scrollArea = qobject_cast<QAbstractScrollArea*>(area))
        target = scrollArea->viewport();
    target->setMouseTracking(true);
    areas_.insert(target, value);
    target->installEventFilter(this);
}

bool MousePointer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove && value_ != Hourglass) {
        // A move that one of the area's own controls ignored travels up to the
        // area; it counts only while the pointer is over the area itself.
        const auto area = areas_.constFind(watched);
        const auto* move = static_cast<QMouseEvent*>(event);
        if (area != areas_.cend() &&
            !static_cast<QWidget*>(watched)->childAt(move->position().toPoint()))
            set(*area);
    }
    return QObject::eventFilter(watched, event);
}
