#pragma once

#include <QCursor>
#include <QHash>
#include <QObject>

#include <functional>

class QWidget;

// A window's mouse-pointer setting: 0 the arrow, 11 the hourglass, 99 the
// window's custom cursor (the pointing hand while none is loaded). Hover areas
// change the setting while the pointer moves over them, but never replace the
// hourglass.
class MousePointer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MousePointer)

public:
    enum : int { Default = 0, Hourglass = 11, Custom = 99 };

    explicit MousePointer(QWidget& window);

    QWidget& window() const { return window_; }

    int value() const { return value_; }
    void set(int value);

    void setCustomCursor(const QCursor& cursor);
    bool hasCustomCursor() const { return hasCustom_; }

    // For a store action: shows the hourglass while a statement waits for
    // another program's lock (told true), and brings back the setting it
    // replaced when the wait is over (told false).
    std::function<void(bool waiting)> hourglassWhileWaiting();

    // Moving the pointer over `area` itself (not over one of its controls)
    // sets the window's setting to `value`.
    void hover(QWidget* area, int value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    int value_ = Default;
    QCursor custom_;
    bool hasCustom_ = false;
    QHash<const QObject*, int> areas_; // hover area -> the setting it brings
};
