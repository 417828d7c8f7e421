#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <utility>

// Every message box of the program goes through here, so that tests can read
// each box's text, caption, icon and buttons and answer it without a person.
namespace MessageBox {

// Every part is given: a box without its owner does not compile, since on
// Wayland such a box would be a window of its own.
struct Request
{
    Request(QString text, QString caption, QMessageBox::Icon icon,
            QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
            const QWidget* owner)
        : text(std::move(text)), caption(std::move(caption)), icon(icon), buttons(buttons),
          defaultButton(defaultButton), owner(owner)
    {}

    QString text;    // exactly as the program built it (CR LF and lone CR kept)
    QString caption; // the application title when the box names none of its own
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton; // NoButton: Qt's choice
    const QWidget* owner; // the window that opens the box, or nullptr when none does
};

// Shows the box modally, over its owner, and returns the button that closed it.
QMessageBox::StandardButton show(const Request& request);

// Tests answer boxes through a handler; an empty handler brings back the real box.
using Handler = std::function<QMessageBox::StandardButton(const Request&)>;
void setHandler(Handler handler);

// The text as a box shows it: each CR LF or lone CR becomes a line break.
QString displayText(const QString& text);

} // namespace MessageBox
