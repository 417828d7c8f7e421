#include "report/errorreport.h"
#include "boxrecorder.h"
#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "programfolder.h"
#include "resultsprobe.h"
#include "testrun/testrun.h"
#include "windows/form1.h"
#include "windows/form2.h"

#include <QApplication>
#include <QClipboard>
#include <QRegularExpression>
#include <QtTest>

using ResultsProbe::Answerer;

namespace {

const QString theStory = QStringLiteral("The quick brown fox");

// The run's state as the states table names it, from blnArmed, Timer1 and the
// three buttons; anything that matches no row is spelled out.
QString runState(const Form1& form)
{
    const QString state = QStringLiteral("armed=%1 timer=%2/%3 start=%4 stop=%5 change=%6")
                              .arg(int(form.blnArmed))
                              .arg(form.Timer1->isActive() ? "on" : "off")
                              .arg(form.Timer1->interval())
                              .arg(int(form.PushButton4->isEnabled()))
                              .arg(int(form.PushButton1->isEnabled()))
                              .arg(int(form.PushButton3->isEnabled()));
    if (state == QLatin1String("armed=0 timer=off/0 start=1 stop=0 change=1"))
        return QStringLiteral("idle");
    if (state == QLatin1String("armed=1 timer=off/0 start=0 stop=1 change=0"))
        return QStringLiteral("armed");
    if (state == QLatin1String("armed=0 timer=on/1000 start=0 stop=1 change=0"))
        return QStringLiteral("timing");
    return state;
}

// Types into the box as a user does; "\n" presses Enter.
void type(RichTextBox* box, const QString& text)
{
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, lines[i]);
    }
}

void start(Form1& form)
{
    QTest::mouseClick(form.PushButton4, Qt::LeftButton);
}

void stop(Form1& form)
{
    QTest::mouseClick(form.PushButton1, Qt::LeftButton);
}

void ticks(Form1& form, int count)
{
    for (int i = 0; i < count; ++i)
        form.Timer1_Timer();
}

// The line numbers of the reports, all of which must come from `procedure`.
QList<int> reportedLines(const BoxRecorder& boxes, QStringView procedure)
{
    static const QRegularExpression line(QStringLiteral("\r\n(in Quillrace2021/08/31\\.\\S+ )"
                                                        "at line (\\d+)\r\r"));
    QList<int> lines;
    for (const QString& report : boxes.reports()) {
        const QRegularExpressionMatch match = line.match(report);
        if (!match.hasMatch() || match.captured(1) != ErrorReport::location(u"Form1", procedure))
            lines << -1;
        else
            lines << match.captured(2).toInt();
    }
    return lines;
}

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
    void pastedTextStartsTheClockAndCounts();
    void realTimerTicksEverySecond();
    void failingPickIsReportedAtItsStepsAndArms();
};

void TestTestRun::cleanup()
{
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
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

    ProgramFolder folder({theStory});
    BoxRecorder boxes;
    Answerer answerer;
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    form.show();

    for (const QString& action : actions) {
        if (action == QLatin1String("start"))
            start(form);
        else if (action == QLatin1String("stop"))
            stop(form);
        else if (action == QLatin1String("type"))
            type(form.RichTextBox2, QStringLiteral("The"));
        else if (action == QLatin1String("tick"))
            form.Timer1_Timer();
        else if (action == QLatin1String("clear"))
            form.RichTextBox2->setText(QString());
    }

    QCOMPARE(runState(form), state);
    QCOMPARE(form.Label1->isVisible(), labelVisible);
    QCOMPARE(answerer.shown.size(), resultsShown);
    QCOMPARE(boxes.requests.size(), 0);
}

void TestTestRun::emptyLibraryChangesNothing()
{
    ProgramFolder folder;
    BoxRecorder boxes;
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    form.show();
    type(form.RichTextBox2, QStringLiteral("typed while idle"));
    lngSeconds = 7;

    start(form);
    QCOMPARE(runState(form), QStringLiteral("idle"));
    QVERIFY(form.Label1->isVisible());
    QCOMPARE(form.Label1->text(), QStringLiteral("Time:"));
    QCOMPARE(form.RichTextBox1->text(), QString());
    QCOMPARE(form.RichTextBox2->text(), QStringLiteral("typed while idle"));
    QCOMPARE(lngSeconds, 7);
    QVERIFY(boxes.requests.isEmpty());
}

void TestTestRun::startThenStopWithoutTyping()
{
    ProgramFolder folder({theStory});
    BoxRecorder boxes;
    Answerer answerer;
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    form.show();

    // A first run leaves 4 seconds behind.
    start(form);
    type(form.RichTextBox2, QStringLiteral("The"));
    ticks(form, 4);
    stop(form);
    QCOMPARE(answerer.shown.size(), 1);

    QApplication::setActiveWindow(&form);
    form.PushButton4->setFocus();
    start(form);
    QCOMPARE(form.RichTextBox1->text(), theStory);
    QCOMPARE(form.RichTextBox2->text(), QString());
    QTRY_VERIFY(form.RichTextBox2->hasFocus());
    stop(form);

    QCOMPARE(runState(form), QStringLiteral("idle"));
    QVERIFY(!form.Label1->isVisible());
    QCOMPARE(answerer.shown.size(), 1); // no second results window
    QCOMPARE(lngSeconds, 4);
    QVERIFY(boxes.requests.isEmpty());
}

void TestTestRun::scoredRuns_data()
{
    QTest::addColumn<QString>("typed");
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
}

void TestTestRun::scoredRuns()
{
    QFETCH(QString, typed);
    QFETCH(int, seconds);
    QFETCH(QString, label);
    QFETCH(QStringList, captions);
    QFETCH(QString, text);
    QFETCH(QStringList, red);

    ProgramFolder folder({theStory});
    BoxRecorder boxes;
    Answerer answerer;
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    form.show();

    start(form);
    type(form.RichTextBox2, typed);
    ticks(form, seconds);
    QCOMPARE(form.Label1->text(), label);
    QCOMPARE(lngSeconds, seconds);
    stop(form);

    QCOMPARE(answerer.shown.size(), 1);
    const Answerer::Shown& shown = answerer.shown.first();
    QCOMPARE(shown.captions, captions);
    QCOMPARE(shown.text, text);
    QCOMPARE(shown.red, red);
    // Modal over everything, with no owner window.
    QVERIFY(shown.applicationModal);
    QVERIFY(!shown.hasOwner);
    QVERIFY(boxes.requests.isEmpty());
    // After Stop both boxes keep their texts.
    QCOMPARE(form.RichTextBox1->text(), theStory);
    QCOMPARE(form.RichTextBox2->text(), text);
}

void TestTestRun::stopBeforeTheFirstTick()
{
    ProgramFolder folder({theStory});
    BoxRecorder boxes;
    Answerer answerer(Answerer::CloseBy::Button, [&] { return boxes.requests.size(); });
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    form.show();

    start(form);
    type(form.RichTextBox2, QStringLiteral("The quick brwn"));
    stop(form);

    QCOMPARE(lngSeconds, 0);
    QCOMPARE(boxes.reports(), QStringList{ErrorReport::message(
                                  QStringLiteral("Division by zero"),
                                  ErrorReport::location(u"Form1", u"PushButton1_Click"), 116)});
    // Stop carried on to show the window with everything but the WPM figure,
    // after the report.
    QCOMPARE(answerer.shown.size(), 1);
    const Answerer::Shown& shown = answerer.shown.first();
    QCOMPARE(shown.boxesBefore, 1);
    QCOMPARE(shown.captions, (QStringList{"Overall: 3", "Correct: 2", "Mistakes: 1",
                                          "Accuracy: 66.67%", "Time: 0 second(s)", "WPM:"}));
    QCOMPARE(shown.red, QStringList{"10:brwn"});
    QCOMPARE(runState(form), QStringLiteral("idle"));
}

void TestTestRun::secondRunKeepsTheLastTickUntilItsOwn()
{
    ProgramFolder folder({theStory});
    BoxRecorder boxes;
    // Each window is closed by its close box, which unloads it as well.
    Answerer answerer(Answerer::CloseBy::CloseBox);
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    form.show();

    start(form);
    type(form.RichTextBox2, QStringLiteral("The quick"));
    ticks(form, 37);
    stop(form);
    QCOMPARE(answerer.shown.size(), 1);
    QCOMPARE(answerer.shown[0].captions.last(), QStringLiteral("WPM: 3"));

    // The label shows the last run's time from Start until the new first tick.
    start(form);
    QVERIFY(form.Label1->isVisible());
    QCOMPARE(form.Label1->text(), QStringLiteral("Time: 37 second(s)"));
    QCOMPARE(lngSeconds, 37);
    type(form.RichTextBox2, QStringLiteral("The"));
    QCOMPARE(runState(form), QStringLiteral("timing"));
    QCOMPARE(lngSeconds, 0);
    QCOMPARE(form.Label1->text(), QStringLiteral("Time: 37 second(s)"));
    form.Timer1_Timer();
    QCOMPARE(form.Label1->text(), QStringLiteral("Time: 1 second(s)"));
    stop(form);
    QCOMPARE(answerer.shown.size(), 2);
    QCOMPARE(answerer.shown[1].captions,
             (QStringList{"Overall: 1", "Correct: 1", "Mistakes: 0", "Accuracy: 100%",
                          "Time: 1 second(s)", "WPM: 60"}));

    // A third run stopped before its first tick shows a freshly loaded window:
    // no WPM figure of an earlier run is left in it.
    start(form);
    QCOMPARE(form.Label1->text(), QStringLiteral("Time: 1 second(s)"));
    type(form.RichTextBox2, QStringLiteral("The"));
    stop(form);
    QCOMPARE(answerer.shown.size(), 3);
    QCOMPARE(answerer.shown[2].captions,
             (QStringList{"Overall: 1", "Correct: 1", "Mistakes: 0", "Accuracy: 100%",
                          "Time: 0 second(s)", "WPM:"}));
    QCOMPARE(boxes.reports().size(), 1); // the third Stop's division by zero
}

void TestTestRun::pastedTextStartsTheClockAndCounts()
{
    ProgramFolder folder({theStory});
    BoxRecorder boxes;
    Answerer answerer;
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    form.show();

    start(form);
    QApplication::clipboard()->setText(QStringLiteral("The quick brown box"));
    form.RichTextBox2->paste();
    QCOMPARE(runState(form), QStringLiteral("timing"));
    ticks(form, 2);
    stop(form);

    QCOMPARE(answerer.shown.size(), 1);
    QCOMPARE(answerer.shown[0].captions,
             (QStringList{"Overall: 4", "Correct: 3", "Mistakes: 1", "Accuracy: 75%",
                          "Time: 2 second(s)", "WPM: 90"}));
    QCOMPARE(answerer.shown[0].red, QStringList{"16:box"});
}

void TestTestRun::realTimerTicksEverySecond()
{
    ProgramFolder folder({theStory});
    BoxRecorder boxes;
    Answerer answerer;
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    form.show();

    start(form);
    type(form.RichTextBox2, QStringLiteral("The quick"));
    QCOMPARE(form.Timer1->interval(), 1000);
    QTRY_COMPARE_WITH_TIMEOUT(form.Label1->text(), QStringLiteral("Time: 1 second(s)"), 5000);
    stop(form);

    // The timer is off at once, whatever it had counted by then.
    const qint32 counted = lngSeconds;
    QVERIFY(counted >= 1);
    QVERIFY(!form.Timer1->isActive());
    QCOMPARE(answerer.shown.size(), 1);
    QCOMPARE(answerer.shown[0].captions[4], QStringLiteral("Time: %1 second(s)").arg(counted));
    QTest::qWait(1100);
    QCOMPARE(lngSeconds, counted);
}

void TestTestRun::failingPickIsReportedAtItsStepsAndArms()
{
    ProgramFolder folder({theStory});
    folder.writeFile(QStringLiteral("dbStory.mdb"), "this is not a story library");
    BoxRecorder boxes;
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    form.show();
    QCOMPARE(reportedLines(boxes, u"Form_Load"), QList<int>{140});
    boxes.requests.clear();

    start(form);
    // Every database step of the pick fails in turn; the rest of Start runs.
    QCOMPARE(reportedLines(boxes, u"PushButton4_Click"), (QList<int>{102, 104, 106, 108, 110}));
    QCOMPARE(runState(form), QStringLiteral("armed"));
    QCOMPARE(form.RichTextBox1->text(), QString());
    QVERIFY(form.Label1->isVisible());
}

QTEST_MAIN(TestTestRun)
#include "tst_testrun.moc"
