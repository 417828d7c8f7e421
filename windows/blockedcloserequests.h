#pragma once

#include <QAbstractNativeEventFilter>

class QWidget;

// On X11 Qt drops the close request (WM_DELETE_WINDOW) of a window that a
// modal window blocks, such as the main window while a failure report, the
// results window or the stories window is open. Such a request is handed to
// the window's own close (QWidget::close) instead, as it arrives on Wayland,
// and the window decides. On other platforms this does nothing.
class BlockedCloseRequests final : public QAbstractNativeEventFilter
{
public:
    explicit BlockedCloseRequests(QWidget& window);
    ~BlockedCloseRequests() override;
    Q_DISABLE_COPY_MOVE(BlockedCloseRequests)

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QWidget& window_;
    quint32 protocols_ = 0;    // the atom WM_PROTOCOLS
    quint32 deleteWindow_ = 0; // the atom WM_DELETE_WINDOW
};
