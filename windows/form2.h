#pragma once

#include <QDialog>
#include <QString>

class MousePointer;
class PushButton;
class QGroupBox;
class QLabel;
class RichTextBox;

// The results window: the typed text with every mistaken word in red, and six
// statistics lines in the frame "Statistics". writeResults (testrun/resultsbinding.h)
// fills it; Stop shows it modally.
//
// The window unloads itself when it is closed, by its Close button, the title
// bar's close box or Escape: it is deleted (at once when it was shown with
// exec(), otherwise on the next turn of the event loop), so each showing starts
// from the design captions and an empty box. Form1::results() loads a fresh one.
class Form2 final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form2)

public:
    // The program folder is where the hand cursor is looked for; the window
    // belongs to its owner's window (see WindowOwner).
    explicit Form2(const QString& programFolder, const QWidget* owner = nullptr);

    // The look: system colours, the icon and the hand cursor. Each failing step
    // is reported as Form2.Form_Load and loading goes on.
    void Form_Load();
    // Close: unloads the window.
    void PushButton1_Click();

    // What writeResults fills, by name: the six statistics lines and the box.
    enum class Statistic { Overall, Correct, Mistakes, Accuracy, Time, Wpm };
    // Sets a line's caption; its label then fits the new text, growing to the
    // right from where it stands.
    void setStatistic(Statistic line, const QString& caption);
    RichTextBox& typedText() { return *RichTextBox1; }

private:
    static void setCaption(QLabel* label, const QString& caption);
    QLabel* label(Statistic line) const;

    // Controls, by their design names; tests find them by these object names.
    RichTextBox* RichTextBox1; // the typed text with the red marks
    QGroupBox* Frame1;         // "Statistics", holding the six labels
    QLabel* lblAccuracy;
    QLabel* lblWPM;
    QLabel* lblTime;
    QLabel* lblCorrect;
    QLabel* lblMistakes;
    QLabel* lblOverall;
    PushButton* PushButton1; // "Close"
    MousePointer* pointer;

    QString programFolder_;
};
