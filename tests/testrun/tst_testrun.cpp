#include "actionscript.h"
#include "boxrecorder.h"
#include "controls/richtextbox.h"
#include "core/failures.h"
#include "programfolder.h"
#include "report/errorreport.h"
#include "resultsprobe.h"
#include "testrun/testrun.h"
#include "testwindows.h"
#include "windows/form1.h"
#include "windows/form2.h"

#include <QApplication>
#include <QClipboard>
#include <QRegularExpression>
#include <QtTest>

using ResultsProbe::Answerer;
using TestWindows::control;

namespace {

const QString theStory = QStringLiteral("The quick brown fox");

// One test's program: its own folder and library, every message box and
// results window answered, and the main window loaded and shown.
struct Run
{
    explicit Run(const QStringList& stories = {theStory},
                 Answerer::CloseBy closeBy = Answerer::CloseBy::Button,
                 const QByteArray& libraryFile = {})
        : folder(stories), answerer(closeBy, [this] { return boxes.requests.size(); }),
          form(folder.path())
    {
        if (!libraryFile.isNull()) // the window reads no file before its load
            folder.writeFile(QStringLiteral("dbStory.mdb"), libraryFile);
        loaded = form.Form_Load();
        form.show();
    }

    // Types into the box as a user does; "\n" presses Enter.
    void type(const QString& text)
    {
        const QStringList lines = text.split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(typing, Qt::Key_Return);
            QTest::keyClicks(typing, lines[i]);
        }
    }
    void start() { QTest::mouseClick(startButton, Qt::LeftButton); }
    void stop() { QTest::mouseClick(stopButton, Qt::LeftButton); }
    void ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            form.Timer1_Timer();
    }

    // The run's state by name (idle, armed or timing), from blnArmed, Timer1
    // and the three buttons; any other mix is spelled out.
    QString state() const
    {
        const QString state = QStringLiteral("armed=%1 timer=%2/%3 start=%4 stop=%5 change=%6")
                                  .arg(int(form.blnArmed))
                                  .arg(timer->isActive() ? "on" : "off")
                                  .arg(timer->interval())
                                  .arg(int(startButton->isEnabled()))
                                  .arg(int(stopButton->isEnabled()))
                                  .arg(int(changeButton->isEnabled()));
        if (state == QLatin1String("armed=0 timer=off/0 start=1 stop=0 change=1"))
            return QStringLiteral("idle");
        if (state == QLatin1String("armed=1 timer=off/0 start=0 stop=1 change=0"))
            return QStringLiteral("armed");
        if (state == QLatin1String("armed=0 timer=on/1000 start=0 stop=1 change=0"))
            return QStringLiteral("timing");
        return state;
    }

    // The line numbers of the reports, all of which must come from `procedure`.
    QList<int> reportedLines(QStringView procedure) const
    {
        static const QRegularExpression line(QStringLiteral("\r\n(in Quillrace2021/08/31\\.\\S+ )"
                                                            "at line (\\d+)\r\r"));
        QList<int> lines;
        for (const QString& report : boxes.reports()) {
            const QRegularExpressionMatch match = line.match(report);
            if (!match.hasMatch() ||
                match.captured(1) != ErrorReport::location(u"Form1", procedure))
                lines << -1;
            else
                lines << match.captured(2).toInt();
        }
        return lines;
    }

    ProgramFolder folder;
    BoxRecorder boxes;
    Answerer answerer;
    Form1 form;
    bool loaded = false;
    RichTextBox* story = control<RichTextBox>(form, "RichTextBox1");
    RichTextBox* typing = control<RichTextBox>(form, "RichTextBox2");
    QLabel* label = control<QLabel>(form, "Label1");
    QTimer* timer = control<QTimer>(form, "Timer1");
    QWidget* startButton = control(form, "PushButton4");
    QWidget* stopButton = control(form, "PushButton1");
    QWidget* changeButton = control(form, "PushButton3");
};

} // namespace

class TestTestRun : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void statesAndTransitions_data();
    void statesAndTransitions();
    void emptyLibraryChangesNothing();
    void startThenStopWithoutTyping();
    void scoredRuns_data();
    void scoredRuns();
    void stopBeforeTheFirstTick();
    void secondRunKeepsTheLastTickUntilItsOwn();
    void realTimerTicksEverySecond();
    void failingPickIsReportedAtItsStepsAndArms();
};

void TestTestRun::cleanup()
{
    TestWindows::verifyNoWindowLeft();
}

void TestTestRun::statesAndTransitions_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("labelVisible");
    QTest::addColumn<int>("resultsShown");

    QTest::newRow("load: idle, label visible") << QStringList() << "idle" << true << 0;
    QTest::newRow("typing while idle never starts the clock")
        << QStringList{"type"} << "idle" << true << 0;
    QTest::newRow("Start: armed") << QStringList{"start"} << "armed" << true << 0;
    QTest::newRow("first change: timing") << QStringList{"start", "type"} << "timing" << true << 0;
    QTest::newRow("ticks and more typing: still timing")
        << QStringList{"start", "type", "tick", "type", "tick"} << "timing" << true << 0;
    QTest::newRow("emptying the box while timing keeps the clock")
        << QStringList{"start", "type", "tick", "clear"} << "timing" << true << 0;
    QTest::newRow("Stop while armed: idle, label hidden, no results")
        << QStringList{"start", "stop"} << "idle" << false << 0;
    QTest::newRow("Stop while timing: idle, label hidden, results")
        << QStringList{"start", "type", "tick", "stop"} << "idle" << false << 1;
    QTest::newRow("Stop after emptying the box: no results")
        << QStringList{"start", "type", "tick", "clear", "stop"} << "idle" << false << 0;
    QTest::newRow("typing after Stop does not start the clock")
        << QStringList{"start", "type", "tick", "stop", "type"} << "idle" << false << 1;
    QTest::newRow("Start again after Stop: armed, label visible")
        << QStringList{"start", "type", "tick", "stop", "start"} << "armed" << true << 1;
    QTest::newRow("disabled Start and Stop take no click")
        << QStringList{"stop", "start", "start", "type", "start"} << "timing" << true << 0;
}

void TestTestRun::statesAndTransitions()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, state);
    QFETCH(bool, labelVisible);
    QFETCH(int, resultsShown);

    Run run;
    ActionScript script;
    script.on("start", [&](const QString&) { run.start(); })
        .on("stop", [&](const QString&) { run.stop(); })
        .on("type", [&](const QString&) { run.type(QStringLiteral("The")); })
        .on("tick", [&](const QString&) { run.ticks(1); })
        .on("clear", [&](const QString&) { run.typing->setText(QString()); });
    QCOMPARE(script.run(actions), QString());

    QCOMPARE(run.state(), state);
    QCOMPARE(run.label->isVisible(), labelVisible);
    QCOMPARE(run.answerer.shown.size(), resultsShown);
    QCOMPARE(run.boxes.requests.size(), 0);
}

void TestTestRun::emptyLibraryChangesNothing()
{
    Run run(QStringList{});
    run.type(QStringLiteral("typed while idle"));
    lngSeconds = 7;

    run.start();
    QCOMPARE(run.state(), QStringLiteral("idle"));
    QVERIFY(run.label->isVisible());
    QCOMPARE(run.label->text(), QStringLiteral("Time:"));
    QCOMPARE(run.story->text(), QString());
    QCOMPARE(run.typing->text(), QStringLiteral("typed while idle"));
    QCOMPARE(lngSeconds, 7);
    QVERIFY(run.boxes.requests.isEmpty());
}

void TestTestRun::startThenStopWithoutTyping()
{
    Run run;
    // A first run leaves 4 seconds behind.
    run.start();
    run.type(QStringLiteral("The"));
    run.ticks(4);
    run.stop();
    QCOMPARE(run.answerer.shown.size(), 1);

    QApplication::setActiveWindow(&run.form);
    run.startButton->setFocus();
    run.start();
    QCOMPARE(run.story->text(), theStory);
    QCOMPARE(run.typing->text(), QString());
    QTRY_VERIFY(run.typing->hasFocus());
    run.stop();

    QCOMPARE(run.state(), QStringLiteral("idle"));
    QVERIFY(!run.label->isVisible());
    QCOMPARE(run.answerer.shown.size(), 1); // no second results window
    QCOMPARE(lngSeconds, 4);
    QVERIFY(run.boxes.requests.isEmpty());
}

void TestTestRun::scoredRuns_data()
{
    QTest::addColumn<QString>("typed"); // "paste:text" pastes it
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("label"); // the time label just before Stop
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("red");

    QTest::newRow("one wrong word")
        << "The quikc brown fox" << 3 << "Time: 3 second(s)"
        << QStringList{"Overall: 4",    "Correct: 3",        "Mistakes: 1",
                       "Accuracy: 75%", "Time: 3 second(s)", "WPM: 60"}
        << "The quikc brown fox" << QStringList{"4:quikc"};
    QTest::newRow("blanks only are scored")
        << "  " << 2 << "Time: 2 second(s)"
        << QStringList{"Overall: 3",   "Correct: 0",        "Mistakes: 0",
                       "Accuracy: 0%", "Time: 2 second(s)", "WPM: 90"}
        << "  " << QStringList();
    QTest::newRow("the label counts seconds, the results switch to minutes")
        << "The quick" << 61 << "Time: 61 second(s)" << QStringList{"Overall: 2",
                                                                    "Correct: 2",
                                                                    "Mistakes: 0",
                                                                    "Accuracy: 100%",
                                                                    "Time: 01:01 minute(s)",
                                                                    "WPM: 1"}
        << "The quick" << QStringList();
    QTest::newRow("a typed line break joins words; the marks land on them")
        << "The quick\nbrown fox" << 1 << "Time: 1 second(s)"
        << QStringList{"Overall: 3",       "Correct: 1",        "Mistakes: 2",
                       "Accuracy: 33.33%", "Time: 1 second(s)", "WPM: 60"}
        << "The quick\r\nbrown fox" << QStringList{"4:quick", "10:brown", "16:fox"};
    QTest::newRow("pasted text starts the clock and counts")
        << "paste:The quick brown box" << 2 << "Time: 2 second(s)"
        << QStringList{"Overall: 4",    "Correct: 3",        "Mistakes: 1",
                       "Accuracy: 75%", "Time: 2 second(s)", "WPM: 90"}
        << "The quick brown box" << QStringList{"16:box"};
}

void TestTestRun::scoredRuns()
{
    QFETCH(QString, typed);
    QFETCH(int, seconds);
    QFETCH(QString, label);
    QFETCH(QStringList, captions);
    QFETCH(QString, text);
    QFETCH(QStringList, red);

    Run run;
    run.start();
    if (typed.startsWith(u"paste:")) {
        QApplication::clipboard()->setText(typed.sliced(6));
        run.typing->paste();
    } else {
        run.type(typed);
    }
    run.ticks(seconds);
    QCOMPARE(run.label->text(), label);
    QCOMPARE(lngSeconds, seconds);
    run.stop();

    QCOMPARE(run.answerer.shown.size(), 1);
    const Answerer::Shown& shown = run.answerer.shown.first();
    QCOMPARE(shown.captions, captions);
    QCOMPARE(shown.text, text);
    QCOMPARE(shown.red, red);
    // Modal over everything, with no owner window.
    QVERIFY(shown.applicationModal);
    QVERIFY(!shown.hasOwner);
    QVERIFY(run.boxes.requests.isEmpty());
    // After Stop both boxes keep their texts.
    QCOMPARE(run.story->text(), theStory);
    QCOMPARE(run.typing->text(), text);
}

void TestTestRun::stopBeforeTheFirstTick()
{
    Run run;
    run.start();
    run.type(QStringLiteral("The quick brwn"));
    run.stop();

    QCOMPARE(lngSeconds, 0);
    QCOMPARE(run.boxes.reports(), QStringList{ErrorReport::message(
                                      Failure::divisionByZero,
                                      ErrorReport::location(u"Form1", u"PushButton1_Click"), 116)});
    // Stop carried on to show the window with everything but the WPM figure,
    // after the report.
    QCOMPARE(run.answerer.shown.size(), 1);
    const Answerer::Shown& shown = run.answerer.shown.first();
    QCOMPARE(shown.boxesBefore, 1);
    QCOMPARE(shown.captions, (QStringList{"Overall: 3", "Correct: 2", "Mistakes: 1",
                                          "Accuracy: 66.67%", "Time: 0 second(s)", "WPM:"}));
    QCOMPARE(shown.red, QStringList{"10:brwn"});
    QCOMPARE(run.state(), QStringLiteral("idle"));
}

void TestTestRun::secondRunKeepsTheLastTickUntilItsOwn()
{
    // Each window is closed by its close box, which unloads it as well.
    Run run({theStory}, Answerer::CloseBy::CloseBox);
    run.start();
    run.type(QStringLiteral("The quick"));
    run.ticks(37);
    run.stop();
    QCOMPARE(run.answerer.shown.size(), 1);
    QCOMPARE(run.answerer.shown[0].captions.last(), QStringLiteral("WPM: 3"));

    // The label shows the last run's time from Start until the new first tick.
    run.start();
    QVERIFY(run.label->isVisible());
    QCOMPARE(run.label->text(), QStringLiteral("Time: 37 second(s)"));
    QCOMPARE(lngSeconds, 37);
    run.type(QStringLiteral("The"));
    QCOMPARE(run.state(), QStringLiteral("timing"));
    QCOMPARE(lngSeconds, 0);
    QCOMPARE(run.label->text(), QStringLiteral("Time: 37 second(s)"));
    run.ticks(1);
    QCOMPARE(run.label->text(), QStringLiteral("Time: 1 second(s)"));
    run.stop();
    QCOMPARE(run.answerer.shown.size(), 2);
    QCOMPARE(run.answerer.shown[1].captions,
             (QStringList{"Overall: 1", "Correct: 1", "Mistakes: 0", "Accuracy: 100%",
                          "Time: 1 second(s)", "WPM: 60"}));

    // A third run stopped before its first tick shows a freshly loaded window:
    // no WPM figure of an earlier run is left in it.
    run.start();
    QCOMPARE(run.label->text(), QStringLiteral("Time: 1 second(s)"));
    run.type(QStringLiteral("The"));
    run.stop();
    QCOMPARE(run.answerer.shown.size(), 3);
    QCOMPARE(run.answerer.shown[2].captions,
             (QStringList{"Overall: 1", "Correct: 1", "Mistakes: 0", "Accuracy: 100%",
                          "Time: 0 second(s)", "WPM:"}));
    QCOMPARE(run.boxes.reports().size(), 1); // the third Stop's division by zero
}

void TestTestRun::realTimerTicksEverySecond()
{
    Run run;
    run.start();
    run.type(QStringLiteral("The quick"));
    QCOMPARE(run.timer->interval(), 1000);
    QTRY_COMPARE_WITH_TIMEOUT(run.label->text(), QStringLiteral("Time: 1 second(s)"), 5000);
    run.stop();

    // The timer is off at once, whatever it had counted by then.
    const qint32 counted = lngSeconds;
    QVERIFY(counted >= 1);
    QVERIFY(!run.timer->isActive());
    QCOMPARE(run.answerer.shown.size(), 1);
    QCOMPARE(run.answerer.shown[0].captions[4], QStringLiteral("Time: %1 second(s)").arg(counted));
    // A tick still due would arrive before a timer of one second started now.
    QTimer second;
    second.start(1000);
    QVERIFY(QSignalSpy(&second, &QTimer::timeout).wait());
    QCOMPARE(lngSeconds, counted);
}

void TestTestRun::failingPickIsReportedAtItsStepsAndArms()
{
    Run run({theStory}, Answerer::CloseBy::Button, "this is not a story library");
    QCOMPARE(run.reportedLines(u"Form_Load"), QList<int>{140});
    run.boxes.requests.clear();

    run.start();
    // Every database step of the pick fails in turn; the rest of Start runs.
    QCOMPARE(run.reportedLines(u"PushButton4_Click"), (QList<int>{102, 104, 106, 108, 110}));
    QCOMPARE(run.state(), QStringLiteral("armed"));
    QCOMPARE(run.story->text(), QString());
    QVERIFY(run.label->isVisible());
}

QTEST_MAIN(TestTestRun)
#include "tst_testrun.moc"
