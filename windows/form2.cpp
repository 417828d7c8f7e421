#include "windows/form2.h"

#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "controls/windowowner.h"
#include "report/errorreport.h"
#include "windows/appearance.h"
#include "windows/mousepointer.h"
#include "windows/twips.h"

#include <QGroupBox>
#include <QIcon>
#include <QLabel>

Form2::Form2(const QString& programFolder, const QWidget* owner)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      programFolder_(programFolder)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Results"));
    setAccessibleName(QStringLiteral("Results"));
    // However the window ends (Close, the close box, Escape: QDialog::done
    // closes it too), closing unloads it.
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(Twips::toPixels(8880), Twips::toPixels(5040));
    setFont(Appearance::arialBold(9));
    Appearance::setBackColor(this, Appearance::white);

    // The box keeps the typing box's settings: multi-line and editable.
    RichTextBox1 = new RichTextBox(this);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setAccessibleName(QStringLiteral("Typed text"));
    RichTextBox1->setGeometry(Twips::rect(120, 120, 8640, 2490));

    Frame1 = new QGroupBox(QStringLiteral("Statistics"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(Twips::rect(120, 2640, 8640, 1770));
    Appearance::setBackColor(Frame1, Appearance::white);

    // Positions are relative to the frame; the design widths only fit the
    // design captions, so each label is fitted to its caption from the start.
    const auto label = [this](const char* name, const QString& caption, int left, int top,
                              int width) {
        auto* label = new QLabel(Frame1);
        label->setObjectName(QLatin1String(name));
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(Twips::rect(left, top, width, 225));
        Appearance::setBackColor(label, Appearance::white);
        setCaption(label, caption);
        return label;
    };
    lblAccuracy = label("lblAccuracy", QStringLiteral("Accuracy:"), 180, 360, 855);
    lblWPM = label("lblWPM", QStringLiteral("WPM:"), 180, 855, 495);
    lblTime = label("lblTime", QStringLiteral("Time:"), 180, 1350, 465);
    lblCorrect = label("lblCorrect", QStringLiteral("Correct:"), 4365, 360, 690);
    lblMistakes = label("lblMistakes", QStringLiteral("Mistakes:"), 4365, 855, 825);
    lblOverall = label("lblOverall", QStringLiteral("Overall:"), 4365, 1350, 645);

    PushButton1 = new PushButton(QStringLiteral("Close"), this);
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton1->setGeometry(Twips::rect(120, 4515, 8640, 405));
    PushButton1->setFont(Appearance::arialBold(11.25));
    PushButton1->setAutoDefault(false);

    // The frame and the labels take no focus, so Tab goes from the box to Close.
    setTabOrder(RichTextBox1, PushButton1);

    pointer = new MousePointer(*this);
    pointer->hover(this, MousePointer::Default);
    pointer->hover(RichTextBox1, MousePointer::Default);
    pointer->hover(Frame1, MousePointer::Default);
    pointer->hover(PushButton1, MousePointer::Custom);

    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);

    Appearance::centreOnScreen(*this);
    WindowOwner::set(*this, owner);
}

void Form2::setCaption(QLabel* label, const QString& caption)
{
    label->setText(caption);
    label->adjustSize();
}

QLabel* Form2::label(Statistic line) const
{
    switch (line) {
    case Statistic::Overall:
        return lblOverall;
    case Statistic::Correct:
        return lblCorrect;
    case Statistic::Mistakes:
        return lblMistakes;
    case Statistic::Accuracy:
        return lblAccuracy;
    case Statistic::Time:
        return lblTime;
    case Statistic::Wpm:
        return lblWPM;
    }
    Q_UNREACHABLE();
}

void Form2::setStatistic(Statistic line, const QString& caption)
{
    setCaption(label(line), caption);
}

void Form2::Form_Load()
{
    Steps step(u"Form2", u"Form_Load", this);
    step(100, [&] { Appearance::applySystemColours(this); });
    step(102, [&] { setWindowIcon(Appearance::programIcon()); });
    Appearance::loadHandCursor(step, 106, 108, programFolder_, *pointer);
}

void Form2::PushButton1_Click()
{
    Steps step(u"Form2", u"PushButton1_Click", this);
    step(100, [&] { close(); });
}
