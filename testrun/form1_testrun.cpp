// The test run as handlers of the main window: Start, the typing box's first
// change, the clock's tick and Stop.

#include "testrun/testrun.h"

#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "core/failures.h"
#include "report/errorreport.h"
#include "stories/randomgen.h"
#include "stories/storystore.h"
#include "testrun/resultsbinding.h"
#include "typing/modTyping.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/mousepointer.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>

qint32 lngSeconds = 0;

void Form1::PushButton4_Click()
{
    Steps step(u"Form1", u"PushButton4_Click", this);
    // While the read waits for another program's lock the pointer is the
    // hourglass; the pick waits one busy timeout at most.
    const StoryStore::Action action(store_, pointer->hourglassWhileWaiting());
    // The database steps of the pick carry their own lines; when the library
    // is unusable each of them fails and is reported in turn.
    StoryStore::Pick pick(store_); // 100
    step(102, [&] { pick.open(); });
    if (!step.test(104, [&] { return pick.hasRows(); }))
        return; // an empty library leaves everything as it was
    step(106, [&] { pick.drawRow(nextRandom()); });
    step(108, [&] { pick.moveToRow(); });
    step(110, [&] {
        // A story longer than the box can lay out is refused rather than
        // freeze the program for minutes.
        const QString story = pick.story();
        if (story.size() > RichTextBox::longestText)
            Failure::raise(
                QStringLiteral("This story has %1 characters, more than the %2 the story box can "
                               "show. It stays in the library unchanged.")
                    .arg(story.size())
                    .arg(RichTextBox::longestText));
        RichTextBox1->setText(story);
    });
    // The typing box is cleared before the run is armed, so the change that
    // the clearing raises never starts the clock.
    step(112, [&] { RichTextBox2->setText(QString()); });
    step(114, [&] { PushButton1->setEnabled(true); });
    step(116, [&] { PushButton3->setEnabled(false); });
    step(118, [&] { PushButton4->setEnabled(false); });
    step(120, [&] { Label1->setVisible(true); });
    step(122, [&] { blnArmed = true; });
    step(124, [&] { RichTextBox2->setFocus(); });
}

void Form1::RichTextBox2_Change() noexcept
{
    if (!blnArmed)
        return;
    lngSeconds = 0;
    Timer1->setInterval(1000);
    Timer1->start();
    blnArmed = false;
}

void Form1::Timer1_Timer() noexcept
{
    // Every tick is one second, however late it arrives.
    ++lngSeconds;
    Label1->setText(QStringLiteral("Time: %1 second(s)").arg(lngSeconds));
    QCoreApplication::processEvents();
}

void Form1::PushButton1_Click()
{
    Steps step(u"Form1", u"PushButton1_Click", this);
    step(100, [&] { PushButton1->setEnabled(false); });
    step(102, [&] { PushButton4->setEnabled(true); });
    step(104, [&] { PushButton3->setEnabled(true); });
    step(106, [&] { blnArmed = false; });
    step(108, [&] { Label1->setVisible(false); });
    step(110, [&] { Timer1->setInterval(0); });
    step(112, [&] { Timer1->stop(); });
    // Only an empty box skips the scoring; blanks alone are scored.
    if (step.test(114, [&] { return RichTextBox2->text().isEmpty(); }))
        return;
    step(116, [&] {
        writeResults(results(), modTyping::CompareTyping(RichTextBox1->text(), RichTextBox2->text(),
                                                         lngSeconds));
    });
    step(118, [&] { results().exec(); }); // closing it unloads it
}
