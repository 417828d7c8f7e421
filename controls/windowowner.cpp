#include "controls/windowowner.h"

#include <QWidget>
#include <QWindow>

namespace WindowOwner {

void set(QWidget& window, const QWidget* owner)
{
    QWindow* shown = owner ? owner->window()->windowHandle() : nullptr;
    while (shown && !shown->isVisible())
        shown = shown->transientParent();
    if (!shown)
        return;
    // The owner is a property of the native window, which Qt otherwise makes
    // only when the window is first shown.
    window.winId();
    window.windowHandle()->setTransientParent(shown);
}

} // namespace WindowOwner
