#include "boxrecorder.h"
#include "core/failures.h"
#include "report/apptitle.h"
#include "report/errorreport.h"
#include "report/messagebox.h"
#include "testwindows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <new>
#include <stdexcept>

class TestErrorReport : public QObject
{
    Q_OBJECT

private slots:
    void messageIsExact();
    void messageWithEmptyDescription();
    void failingStepIsReportedAndTheNextRuns();
    void failingTestRunsWhatItGoverns();
    void reportsTheRealBox();
    void displayTextBreaksLines();
    void appTitle_data();
    void appTitle();
};

void TestErrorReport::messageIsExact()
{
    QCOMPARE(ErrorReport::message(Failure::divisionByZero,
                                  ErrorReport::location(u"Form1", u"PushButton1_Click"), 100),
             QStringLiteral("Division by zero\r\nin Quillrace2021/08/31.Form1.PushButton1_Click "
                            "at line 100\r\rPlease email screenshot of this message to "
                            "support@quillrace.example"));
}

void TestErrorReport::messageWithEmptyDescription()
{
    const QString text =
        ErrorReport::message(QString(), ErrorReport::location(u"Form3", u"listStories"), 112);
    QVERIFY(text.startsWith(
        QStringLiteral("\r\nin Quillrace2021/08/31.Form3.listStories at line 112\r\r")));
}

void TestErrorReport::failingStepIsReportedAndTheNextRuns()
{
    BoxRecorder boxes;
    QStringList ran;
    Steps step(u"Form1", u"PushButton4_Click", nullptr);
    step(100, [&] { ran << "100"; });
    step(102, [&] { throw std::bad_alloc(); });
    step(104, [&] { ran << "104"; });
    step(106, [&] {
        ran << "106";
        throw std::runtime_error("second");
    });
    step(108, [&] { ran << "108"; });

    QCOMPARE(ran, (QStringList{"100", "104", "106", "108"}));
    // Two failing steps give two boxes, in step order; running out of memory reads plainly.
    const QString where = ErrorReport::location(u"Form1", u"PushButton4_Click");
    QCOMPARE(boxes.reports(), (QStringList{ErrorReport::message("Out of memory", where, 102),
                                           ErrorReport::message("second", where, 106)}));
    const MessageBox::Request& box = boxes.requests.first();
    QCOMPARE(box.caption, QStringLiteral("Application Error"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void TestErrorReport::failingTestRunsWhatItGoverns()
{
    BoxRecorder boxes;
    Steps step(u"Form1", u"Form_Load", nullptr);
    bool governedRan = false;
    if (step.test(112, []() -> bool { throw std::runtime_error("Bad file name or number"); }))
        governedRan = true;
    QVERIFY(governedRan);
    QCOMPARE(boxes.reports().size(), 1);
    QVERIFY(boxes.reports().first().contains(QStringLiteral("Form1.Form_Load at line 112")));

    // A test that holds or fails on its own reports nothing.
    QVERIFY(!step.test(114, [] { return false; }));
    QCOMPARE(boxes.requests.size(), 1);
}

void TestErrorReport::reportsTheRealBox()
{
    // No recorder: the real modal box must come, and OK must close it.
    bool seen = false;
    TestWindows::onNextModal(this, [&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        seen = true;
        QCOMPARE(box->windowTitle(), QStringLiteral("Application Error"));
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->text(),
                 QStringLiteral("Invalid picture\nin Quillrace2021/08/31.Form2.Form_Load at line "
                                "108\n\nPlease email screenshot of this message to "
                                "support@quillrace.example"));
        box->button(QMessageBox::Ok)->click();
    });
    reportError(Failure::invalidPicture, ErrorReport::location(u"Form2", u"Form_Load"), 108,
                nullptr);
    QVERIFY(seen);
}

void TestErrorReport::displayTextBreaksLines()
{
    QCOMPARE(MessageBox::displayText(QStringLiteral("a\r\nb\rc\r\rd\ne")),
             QStringLiteral("a\nb\nc\n\nd\ne"));
}

void TestErrorReport::appTitle_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("the product loses its last word") << "Quillrace Software"
                                                     << "Quillrace";
    QTest::newRow("cut at least once however short") << "a b"
                                                     << "a";
    QTest::newRow("long names are cut until 40 or less")
        << "Quillrace Typing Tester For Every Office And Every Home Desk"
        << "Quillrace Typing Tester For Every Office";
}

void TestErrorReport::appTitle()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    QCOMPARE(AppTitle::shortTitle(name), title);
    AppTitle::setAppTitle();
    QCOMPARE(AppTitle::appTitle(), QStringLiteral("Quillrace"));
}

QTEST_MAIN(TestErrorReport)
#include "tst_errorreport.moc"
