#pragma once

#include "controls/richtextbox.h"
#include "testwindows.h"
#include "windows/form2.h"

#include <QApplication>
#include <QColor>
#include <QLabel>
#include <QStringList>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <functional>

// What the results window shows, read back for tests.
namespace ResultsProbe {

// The six statistics captions: overall, correct, mistakes, accuracy, time, WPM.
inline QStringList captions(const Form2& form)
{
    QStringList texts;
    for (const char* name :
         {"lblOverall", "lblCorrect", "lblMistakes", "lblAccuracy", "lblTime", "lblWPM"})
        texts << TestWindows::control<QLabel>(form, name)->text();
    return texts;
}

inline const QStringList designCaptions{
    "Overall:", "Correct:", "Mistakes:", "Accuracy:", "Time:", "WPM:"};

// The coloured runs of a box's document as "position:text", positions counted
// in the document (one character per line break). Red runs read plainly, any
// other colour as "?position:text", so a list that matches also says that
// nothing else was coloured. A run never spans a line break.
inline QStringList colouredRuns(const RichTextBox& box)
{
    QStringList runs;
    QString text;
    int start = -1;
    bool red = false;
    const auto flush = [&] {
        if (start >= 0)
            runs << (red ? QString() : QStringLiteral("?")) + QString::number(start) + u':' + text;
        start = -1;
        text.clear();
    };
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const bool coloured = format.hasProperty(QTextFormat::ForegroundBrush);
            const bool isRed = format.foreground().color() == QColor(255, 0, 0);
            if (!coloured || (start >= 0 && isRed != red))
                flush();
            if (!coloured)
                continue;
            if (start < 0) {
                start = fragment.position();
                red = isRed;
            }
            text += fragment.text();
        }
        flush();
    }
    return runs;
}

// Answers every results window that is shown modally while it lives: records
// what it shows and closes it, by its Close button or by the close box. A test
// that expects a window checks `shown`; none coming leaves it empty.
class Answerer
{
public:
    struct Shown
    {
        QStringList captions;
        QString text;
        QStringList red;
        bool applicationModal = false;
        bool hasOwner = false;
        qsizetype boxesBefore = 0; // message boxes recorded before it showed
    };

    enum class CloseBy { Button, CloseBox };

    explicit Answerer(
        CloseBy by = CloseBy::Button,
        std::function<qsizetype()> boxesSoFar = [] { return qsizetype(0); })
        : by_(by), boxesSoFar_(std::move(boxesSoFar))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(5);
    }

    QList<Shown> shown;

private:
    void poll()
    {
        auto* form = qobject_cast<Form2*>(QApplication::activeModalWidget());
        if (!form || !form->isVisible())
            return;
        shown.append({captions(*form), form->typedText().text(), colouredRuns(form->typedText()),
                      form->windowModality() == Qt::ApplicationModal,
                      form->parentWidget() != nullptr, boxesSoFar_()});
        if (by_ == CloseBy::Button)
            QTest::mouseClick(TestWindows::control(*form, "PushButton1"), Qt::LeftButton);
        else
            form->close();
    }

    CloseBy by_;
    std::function<qsizetype()> boxesSoFar_;
    QTimer timer_;
};

} // namespace ResultsProbe
