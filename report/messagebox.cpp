#include "report/messagebox.h"

#include "controls/windowowner.h"

namespace MessageBox {
namespace {
Handler& handler()
{
    static Handler instance;
    return instance;
}
} // namespace

QString displayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

QMessageBox::StandardButton show(const Request& request)
{
    if (handler())
        return handler()(request);
    QMessageBox box(request.icon, request.caption, displayText(request.text), request.buttons);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    box.setTextFormat(Qt::PlainText);
    WindowOwner::set(box, request.owner);
    box.exec();
    return box.standardButton(box.clickedButton());
}

void setHandler(Handler newHandler)
{
    handler() = std::move(newHandler);
}

} // namespace MessageBox
