// One big story in the library: the time from a click on Start until the
// story is shown, and from a click on Change Story until the stories window
// shows its list, with the peak memory of the whole run. Each size runs in a
// child process of its own, so each peak is its own.
//
//   bench_bigstory          runs 1 MB, 10 MB and 50 MB and prints the figures
//   bench_bigstory <MB>     one run with a story of that many megabytes
//
// Targets: Start to story shown under 100 ms (1 MB) and under 1 s (10 MB),
// the 10 MB run under 300 MB peak; Change Story under 300 ms (1 MB) and 3 s
// (10 MB).
// 50 MB has no target: the program must answer again by itself (Start refuses
// a story longer than its box can show).

#include "benchsupport.h"
#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "programfolder.h"
#include "report/apptitle.h"
#include "report/messagebox.h"
#include "windows/form1.h"
#include "windows/form3.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <QTreeView>

#include <sys/resource.h>

#include <cstdio>

namespace {

// Plain words without a line break: one paragraph, the hardest to lay out.
QString bigStory(int megabytes)
{
    const QString words = QStringLiteral("quill river lantern meadow copper harbour willow ");
    QString story;
    story.reserve(qsizetype(megabytes) << 20);
    while (story.size() < (qsizetype(megabytes) << 20))
        story += words;
    return story;
}

int child(int argc, char** argv, int megabytes)
{
    QApplication app(argc, argv);
    AppTitle::setAppTitle();
    int boxes = 0;
    Bench::answerBoxes(boxes);
    const QString story = bigStory(megabytes);
    const ProgramFolder folder({story});
    Form1 main(folder.path());
    if (!main.Form_Load())
        return 1;
    main.show();
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    main.findChild<PushButton*>("PushButton4")->click();
    QCoreApplication::processEvents();
    main.repaint();
    const double start = double(timer.nsecsElapsed()) / 1e6;
    const bool shown = main.findChild<RichTextBox*>("RichTextBox1")->text() == story;
    main.findChild<PushButton*>("PushButton1")->click(); // Stop: no typing, no results

    double list = 0;
    bool listed = false;
    bool kept = false;
    QTimer::singleShot(0, &main, [&] {
        auto* stories = qobject_cast<Form3*>(QApplication::activeModalWidget());
        if (!stories)
            return;
        stories->repaint();
        list = double(timer.nsecsElapsed()) / 1e6;
        listed = stories->findChild<QTreeView*>("ListView1")->model()->rowCount() == 1;
        kept = stories->findChild<RichTextBox*>("RichTextBox1")->text() == story;
        stories->close();
    });
    timer.restart();
    main.findChild<PushButton*>("PushButton3")->click();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long peakMB = usage.ru_maxrss / 1024;
    const bool met = megabytes == 1    ? start < 100 && list < 300
                     : megabytes == 10 ? start < 1000 && list < 3000 && peakMB < 300
                                       : true;
    const char* target = megabytes == 1    ? "targets 100 ms, 300 ms"
                         : megabytes == 10 ? "targets 1000 ms, 3000 ms, 300 MB"
                                           : "no target";
    // Start refuses a story longer than its box can show, with one report.
    const bool refused = story.size() > RichTextBox::longestText;
    const bool intact = (refused ? !shown && boxes == 1 : shown && boxes == 0) && listed && kept;
    std::printf("%d MB story: Start to story shown %8.1f ms; Change Story to list shown %8.1f ms; "
                "peak memory %5ld MB (%s: %s); %s\n",
                megabytes, start, list, peakMB, target, met ? "met" : "NOT met",
                !intact   ? "STORY NOT INTACT"
                : refused ? "Start refused it with a report, story intact"
                          : "story intact");
    return intact ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    Bench::offscreenUnlessNamed();
    if (argc > 1)
        return child(argc, argv, QByteArray(argv[1]).toInt());
    int status = 0;
    for (const char* size : {"1", "10", "50"}) {
        QProcess run;
        run.setProcessChannelMode(QProcess::ForwardedChannels);
        run.start(QString::fromLocal8Bit(argv[0]), {QString::fromLatin1(size)});
        run.waitForFinished(-1);
        if (run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0) {
            std::printf("%s MB story: FAILED (exit %d)\n", size, run.exitCode());
            status = 1;
        }
    }
    return status;
}
