#pragma once

#include "report/messagebox.h"

#include <QList>
#include <QQueue>

// Answers every message box of the program while it lives and keeps each
// request, so tests can check text, caption, icon and buttons. Boxes are
// answered from the queue, then with OK.
class BoxRecorder
{
public:
    BoxRecorder()
    {
        MessageBox::setHandler([this](const MessageBox::Request& request) {
            requests.append(request);
            return answers.isEmpty() ? QMessageBox::Ok : answers.dequeue();
        });
    }
    ~BoxRecorder() { MessageBox::setHandler({}); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    // The "Application Error" reports, as their texts.
    QStringList reports() const
    {
        QStringList texts;
        for (const auto& request : requests) {
            if (request.caption == QLatin1String("Application Error"))
                texts.append(request.text);
        }
        return texts;
    }

    QList<MessageBox::Request> requests;
    QQueue<QMessageBox::StandardButton> answers;
};
