#pragma once

#include <QAbstractNativeEventFilter>

#include <functional>

class QWidget;

// On X11 Qt drops the close request (WM_DELETE_WINDOW) of a window that a
// modal window blocks, such as the main window while a failure report or the
// stories window is open. While `wanted` says so, such a request closes the
// window through QWidget::close instead, as it arrives on Wayland. On other
// platforms this does nothing.
class BlockedCloseRequests final : public QAbstractNativeEventFilter
{
public:
    BlockedCloseRequests(QWidget& window, std::function<bool()> wanted);
    ~BlockedCloseRequests() override;
    Q_DISABLE_COPY_MOVE(BlockedCloseRequests)

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QWidget& window_;
    std::function<bool()> wanted_;
    quint32 protocols_ = 0;    // the atom WM_PROTOCOLS
    quint32 deleteWindow_ = 0; // the atom WM_DELETE_WINDOW
};
