#include "windows/blockedcloserequests.h"

#include <QApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

quint32 internAtom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 1, quint16(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const quint32 atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

} // namespace

BlockedCloseRequests::BlockedCloseRequests(QWidget& window) : window_(window)
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11 || !x11->connection())
        return;
    protocols_ = internAtom(x11->connection(), "WM_PROTOCOLS");
    deleteWindow_ = internAtom(x11->connection(), "WM_DELETE_WINDOW");
    if (protocols_ && deleteWindow_)
        QCoreApplication::instance()->installNativeEventFilter(this);
}

BlockedCloseRequests::~BlockedCloseRequests()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool BlockedCloseRequests::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* request = reinterpret_cast<const xcb_client_message_event_t*>(event);
    if (request->format != 32 || request->type != protocols_ ||
        request->data.data32[0] != deleteWindow_ || request->window != window_.internalWinId())
        return false;
    // A window that no modal window blocks gets its request from Qt itself.
    const QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == &window_)
        return false;
    window_.close();
    return true;
}
