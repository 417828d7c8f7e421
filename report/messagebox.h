#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

// Every message box of the program goes through here, so that tests can read
// each box's text, caption, icon and buttons and answer it without a person.
namespace MessageBox {

struct Request
{
    QString text;    // exactly as the program built it (CR LF and lone CR kept)
    QString caption; // the application title when the box names none of its own
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    const QWidget* owner = nullptr; // the window that opens the box
};

// Shows the box modally, over its owner, and returns the button that closed it.
QMessageBox::StandardButton show(const Request& request);

// Tests answer boxes through a handler; an empty handler brings back the real box.
using Handler = std::function<QMessageBox::StandardButton(const Request&)>;
void setHandler(Handler handler);

// The text as a box shows it: each CR LF or lone CR becomes a line break.
QString displayText(const QString& text);

} // namespace MessageBox
