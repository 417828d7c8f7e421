#include "boxrecorder.h"
#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "core/failures.h"
#include "programfolder.h"
#include "report/errorreport.h"
#include "resultsprobe.h"
#include "testrun/resultsbinding.h"
#include "testwindows.h"
#include "typing/modTyping.h"
#include "windows/appearance.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/mousepointer.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QTextBlock>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <stdexcept>

using modTyping::ResultStep;
using modTyping::TypingResult;
using ResultsProbe::captions;
using ResultsProbe::colouredRuns;

Q_DECLARE_METATYPE(modTyping::TypingResult)

using TestWindows::control;

namespace {

const QString cursorSource = QStringLiteral(CURSOR_FILE); // the HAND-M.CUR the build made

// A loaded results window that the test owns until it unloads itself.
std::unique_ptr<Form2> loadedForm(const ProgramFolder& folder)
{
    auto form = std::make_unique<Form2>(folder.path());
    form->Form_Load();
    return form;
}

QString thrownBy(const std::function<void()>& write)
{
    try {
        write();
    } catch (const std::runtime_error& failure) {
        return QString::fromUtf8(failure.what());
    }
    return QString();
}

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void layoutAndTabOrder();
    void designCaptionsAndLook();
    void closeEndsAModalShowing();
    void freshWindowAfterClose_data();
    void freshWindowAfterClose();
    void cursorFile_data();
    void cursorFile();
    void hoverAreasSetThePointer_data();
    void hoverAreasSetThePointer();

    void writesLabelsAndRedMarks_data();
    void writesLabelsAndRedMarks();
    void failedResultStopsAtItsStep_data();
    void failedResultStopsAtItsStep();
};

void TestForm2::cleanup()
{
    TestWindows::verifyNoWindowLeft();
}

void TestForm2::layoutAndTabOrder()
{
    ProgramFolder folder;
    BoxRecorder boxes;
    auto form = loadedForm(folder);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));

    // 8880 x 5040 twips of client area; 15 twips to the pixel.
    QCOMPARE(form->size(), QSize(592, 336));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QCOMPARE(form->typedText().geometry(), QRect(8, 8, 576, 166));
    QCOMPARE(control<QGroupBox>(*form, "Frame1")->geometry(), QRect(8, 176, 576, 118));
    QCOMPARE(control<PushButton>(*form, "PushButton1")->geometry(), QRect(8, 301, 576, 27));

    const QList<std::pair<QLabel*, QPoint>> labels{
        {control<QLabel>(*form, "lblAccuracy"), {12, 24}},
        {control<QLabel>(*form, "lblWPM"), {12, 57}},
        {control<QLabel>(*form, "lblTime"), {12, 90}},
        {control<QLabel>(*form, "lblCorrect"), {291, 24}},
        {control<QLabel>(*form, "lblMistakes"), {291, 57}},
        {control<QLabel>(*form, "lblOverall"), {291, 90}},
    };
    // At design and after a write that lengthens them, the labels grow to the right.
    for (const bool written : {false, true}) {
        if (written)
            writeResults(*form, modTyping::CompareTyping(u"a b c", u"a x c", 7));
        for (const auto& [label, at] : labels) {
            QCOMPARE(label->parentWidget(), control<QGroupBox>(*form, "Frame1"));
            QCOMPARE(label->pos(), at);
            QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()),
                     qPrintable(label->text()));
        }
    }

    // Tab goes from the box to Close and back: the frame and labels take no focus.
    QApplication::setActiveWindow(form.get());
    form->typedText().setFocus();
    QTRY_VERIFY(form->typedText().hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), control<PushButton>(*form, "PushButton1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), &form->typedText());
    QVERIFY(boxes.requests.isEmpty());
}

void TestForm2::designCaptionsAndLook()
{
    ProgramFolder folder;
    BoxRecorder boxes;
    auto form = loadedForm(folder);

    QCOMPARE(form->windowTitle(), QStringLiteral("Results"));
    QCOMPARE(form->accessibleName(), QStringLiteral("Results"));
    QCOMPARE(control<QGroupBox>(*form, "Frame1")->title(), QStringLiteral("Statistics"));
    QCOMPARE(control<PushButton>(*form, "PushButton1")->caption(), QStringLiteral("Close"));
    QCOMPARE(captions(*form), ResultsProbe::designCaptions);
    QVERIFY(form->typedText().text().isEmpty());
    QVERIFY(!form->typedText().isReadOnly());
    QCOMPARE(form->typedText().accessibleName(), QStringLiteral("Typed text"));

    // Labels and the button are announced by their captions, also after a write.
    form->setStatistic(Form2::Statistic::Wpm, QStringLiteral("WPM: 42"));
    QCOMPARE(QAccessible::queryAccessibleInterface(control<QLabel>(*form, "lblWPM"))
                 ->text(QAccessible::Name),
             QStringLiteral("WPM: 42"));
    QCOMPARE(QAccessible::queryAccessibleInterface(control<PushButton>(*form, "PushButton1"))
                 ->text(QAccessible::Name),
             QStringLiteral("Close"));

    // Only the close box: no minimise or maximise button.
    QCOMPARE(form->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                    Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint),
             Qt::WindowCloseButtonHint);

    for (const QWidget* widget : std::initializer_list<const QWidget*>{
             form.get(), control<QGroupBox>(*form, "Frame1"), control<QLabel>(*form, "lblAccuracy"),
             control<QLabel>(*form, "lblOverall"), &form->typedText()}) {
        QCOMPARE(widget->font().family(), QStringLiteral("Arial"));
        QCOMPARE(widget->font().pointSizeF(), 9.0);
        QVERIFY(widget->font().bold());
    }
    QCOMPARE(control<PushButton>(*form, "PushButton1")->font().pointSizeF(), 11.25);
    QVERIFY(control<PushButton>(*form, "PushButton1")->font().bold());

    // Load: the button-face colour on the window, the frame and the labels; the icon.
    const QColor face = Appearance::toColor(Appearance::buttonFace);
    QCOMPARE(form->palette().color(QPalette::Window), face);
    QCOMPARE(control<QGroupBox>(*form, "Frame1")->palette().color(QPalette::Window), face);
    QCOMPARE(control<QLabel>(*form, "lblMistakes")->palette().color(QPalette::Window), face);
    QVERIFY(!form->windowIcon().isNull());
    QVERIFY(boxes.requests.isEmpty());
}

void TestForm2::freshWindowAfterClose_data()
{
    QTest::addColumn<QString>("by");
    QTest::newRow("Close button") << "button";
    QTest::newRow("title-bar close box") << "close box";
    QTest::newRow("Escape") << "Escape";
}

namespace {
void closeBy(Form2& form, const QString& by)
{
    if (by == QLatin1String("button"))
        QTest::mouseClick(control(form, "PushButton1"), Qt::LeftButton);
    else if (by == QLatin1String("Escape"))
        QTest::keyClick(&form, Qt::Key_Escape);
    else
        form.close(); // what the close box asks for
}
} // namespace

void TestForm2::closeEndsAModalShowing()
{
    ProgramFolder folder;
    BoxRecorder boxes;
    QPointer<Form2> form = loadedForm(folder).release();
    bool answered = false;
    TestWindows::onNextModal(this, [&](QWidget* modal) {
        QVERIFY(qobject_cast<Form2*>(modal));
        answered = true;
        QTest::mouseClick(control(*modal, "PushButton1"), Qt::LeftButton);
    });
    form->exec();
    QVERIFY2(answered, "the results window was not shown modally");
    // exec() hands the closed window back already unloaded.
    QVERIFY(form.isNull());
}

void TestForm2::freshWindowAfterClose()
{
    QFETCH(QString, by);
    ProgramFolder folder;
    BoxRecorder boxes;
    Form1 main(folder.path());

    // Loaded on first access, the same window until it is unloaded.
    QPointer<Form2> first = &main.results();
    QCOMPARE(&main.results(), first.data());
    QVERIFY(!first->windowIcon().isNull());
    writeResults(*first, modTyping::CompareTyping(u"a b", u"a c", 3));
    first->show();
    QVERIFY(QTest::qWaitForWindowExposed(first));
    closeBy(*first, by);
    QVERIFY(!first.isNull() && !first->isVisible()); // unloaded once the close is done
    TestWindows::finishUnloads();
    QVERIFY(first.isNull());
    Form2& second = main.results();
    QCOMPARE(captions(second), ResultsProbe::designCaptions);
    QVERIFY(second.typedText().text().isEmpty());
    QCOMPARE(&main.results(), &second);
    QVERIFY(boxes.requests.isEmpty());
}

void TestForm2::cursorFile_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QStringList>("reports");

    QFile built(cursorSource);
    QVERIFY(built.open(QIODevice::ReadOnly));
    const QString where = ErrorReport::location(u"Form2", u"Form_Load");
    QTest::newRow("missing file: no cursor, no report") << QByteArray() << false << QStringList();
    const QByteArray drawn = built.readAll();
    QTest::newRow("hand cursor file loads") << drawn << true << QStringList();
    QByteArray single = drawn; // its directory cut to the first, 32-pixel, picture
    single[4] = 1;
    QTest::newRow("a cursor of one 32-pixel picture loads") << single << true << QStringList();
    QTest::newRow("unreadable picture is reported at line 108")
        << QByteArray("not a cursor") << false
        << QStringList{ErrorReport::message(Failure::invalidPicture, where, 108)};
}

void TestForm2::cursorFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loaded);
    QFETCH(QStringList, reports);

    ProgramFolder folder;
    if (!content.isNull())
        folder.writeFile(QStringLiteral("HAND-M.CUR"), content);
    BoxRecorder boxes;
    auto form = loadedForm(folder);

    QCOMPARE(boxes.reports(), reports);
    QCOMPARE(control<MousePointer>(*form)->hasCustomCursor(), loaded);
    control<MousePointer>(*form)->set(MousePointer::Custom);
    // Without a picture the hand is Qt's own.
    QCOMPARE(form->cursor().shape(), loaded ? Qt::BitmapCursor : Qt::PointingHandCursor);
    if (loaded) {
        // Sized for the screen's density (this test also runs at QT_SCALE_FACTOR=2),
        // the hotspot on the fingertip. (11, 3) is on the outline of the drawn
        // 64-pixel fingertip, and clear in the 32-pixel one enlarged.
        const qreal ratio = qApp->devicePixelRatio();
        QCOMPARE(ratio, qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
        const QImage image = form->cursor().pixmap().toImage();
        QCOMPARE(form->cursor().pixmap().devicePixelRatio(), ratio);
        QCOMPARE(image.size(), QSize(32, 32) * ratio);
        QCOMPARE(form->cursor().hotSpot() * ratio, QPoint(6, 1) * ratio);
        QCOMPARE(qAlpha(image.pixel(QPoint(6, 1) * ratio)), 255);
        QCOMPARE(qAlpha(image.pixel(11, 3)) == 255, ratio > 1 && content[4] == 2);
    }
    // The steps before the cursor ran whatever became of it.
    QVERIFY(!form->windowIcon().isNull());
    QCOMPARE(form->palette().color(QPalette::Window), Appearance::toColor(Appearance::buttonFace));
}

void TestForm2::hoverAreasSetThePointer_data()
{
    QTest::addColumn<QString>("area");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("pointer");
    QTest::newRow("Close button shows the hand") << "PushButton1" << QPoint(200, 10) << 99;
    QTest::newRow("the window brings the default back") << "Form2" << QPoint(4, 330) << 0;
    QTest::newRow("the box brings the default back") << "RichTextBox1" << QPoint(50, 50) << 0;
    QTest::newRow("the frame brings the default back") << "Frame1" << QPoint(500, 100) << 0;
}

void TestForm2::hoverAreasSetThePointer()
{
    QFETCH(QString, area);
    QFETCH(QPoint, at);
    QFETCH(int, pointer);
    ProgramFolder folder;
    BoxRecorder boxes;
    auto form = loadedForm(folder);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));

    QWidget* target = area == form->objectName() ? form.get() : form->findChild<QWidget*>(area);
    QVERIFY(target);
    if (auto* box = qobject_cast<QAbstractScrollArea*>(target))
        target = box->viewport();
    const int other = pointer == 99 ? MousePointer::Default : MousePointer::Custom;
    control<MousePointer>(*form)->set(other);
    QTest::mouseMove(target, at);
    QTRY_COMPARE(control<MousePointer>(*form)->value(), pointer);
}

void TestForm2::writesLabelsAndRedMarks_data()
{
    QTest::addColumn<QString>("story");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QStringList>("labels"); // overall, correct, mistakes, accuracy, time, wpm
    QTest::addColumn<QStringList>("red");    // "document position:text"

    QTest::newRow("CR LF counts two: a mark after line breaks lands on its word")
        << "one\r\n\r\ntwo three four"
        << "one\r\n\r\ntwo three fuor" << 11
        << QStringList{"Overall: 3",       "Correct: 2",         "Mistakes: 1",
                       "Accuracy: 66.67%", "Time: 11 second(s)", "WPM: 10"}
        << QStringList{"15:fuor"};
    QTest::newRow("a mistaken word holding a line break is red on both lines")
        << "one two three"
        << "one tw\r\no three" << 3
        << QStringList{"Overall: 3",       "Correct: 2",        "Mistakes: 1",
                       "Accuracy: 66.67%", "Time: 3 second(s)", "WPM: 40"}
        << QStringList{"4:tw", "7:o"};
    // U+1D11E and U+1F600 take two UTF-16 units each, in the offsets and in the document.
    QTest::newRow("characters outside the BMP")
        << QString::fromUtf8("\xF0\x9D\x84\x9E clef \xF0\x9F\x98\x80 end")
        << QString::fromUtf8("\xF0\x9D\x84\x9E cleff \xF0\x9F\x98\x80 ond") << 2
        << QStringList{"Overall: 4",    "Correct: 2",        "Mistakes: 2",
                       "Accuracy: 50%", "Time: 2 second(s)", "WPM: 60"}
        << QStringList{"3:cleff", "12:ond"};
}

void TestForm2::writesLabelsAndRedMarks()
{
    QFETCH(QString, story);
    QFETCH(QString, typed);
    QFETCH(int, seconds);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, red);

    ProgramFolder folder;
    BoxRecorder boxes;
    auto form = loadedForm(folder);
    writeResults(*form, modTyping::CompareTyping(story, typed, seconds));

    QCOMPARE(captions(*form), labels);
    QCOMPARE(form->typedText().text(), typed); // CR LF, as the typing box gives it, stays
    QCOMPARE(colouredRuns(form->typedText()), red);
    // The caret ends at the start, and text typed there takes the box's normal colour.
    QCOMPARE(form->typedText().selStart(), 0);
    QVERIFY(!form->typedText().textCursor().hasSelection());
    QVERIFY(!form->typedText().textCursor().charFormat().hasProperty(QTextFormat::ForegroundBrush));
}

void TestForm2::failedResultStopsAtItsStep_data()
{
    QTest::addColumn<TypingResult>("result");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("red");
    QTest::addColumn<QString>("failure");

    // The comparison's own failures.
    QTest::newRow("no elapsed second: everything but WPM, then division by zero")
        << modTyping::CompareTyping(u"The cat sat", u"The bat sat", 0)
        << QStringList{"Overall: 3",       "Correct: 2",        "Mistakes: 1",
                       "Accuracy: 66.67%", "Time: 0 second(s)", "WPM:"}
        << "The bat sat" << QStringList{"4:bat"} << Failure::divisionByZero;
    QTest::newRow("nothing typed: the accuracy overflows")
        << modTyping::CompareTyping(u"The cat", u"", 9)
        << QStringList{"Overall: 0", "Correct: 0", "Mistakes: 0", "Accuracy:", "Time:", "WPM:"}
        << "" << QStringList() << Failure::overflow;

    // A result that failed while marking keeps the marks it found; the rest
    // stays at design.
    TypingResult marking;
    marking.overallText = QStringLiteral("Overall: 3");
    marking.resultText = QStringLiteral("ab cd ef");
    marking.marks = {{0, 2, 255}};
    marking.failedAt = ResultStep::Marks;
    marking.failure = Failure::overflow;
    QTest::newRow("overflow while marking keeps the marks found")
        << marking
        << QStringList{"Overall: 3", "Correct:", "Mistakes:", "Accuracy:", "Time:", "WPM:"}
        << "ab cd ef" << QStringList{"0:ab"} << Failure::overflow;

    TypingResult counting;
    counting.failedAt = ResultStep::Overall;
    counting.failure = Failure::overflow;
    counting.resultText = QStringLiteral("never shown");
    counting.marks = {{0, 5, 255}};
    QTest::newRow("overflow counting words writes nothing")
        << counting
        << QStringList{"Overall:", "Correct:", "Mistakes:", "Accuracy:", "Time:", "WPM:"} << ""
        << QStringList() << Failure::overflow;
}

void TestForm2::failedResultStopsAtItsStep()
{
    QFETCH(TypingResult, result);
    QFETCH(QStringList, labels);
    QFETCH(QString, text);
    QFETCH(QStringList, red);
    QFETCH(QString, failure);

    ProgramFolder folder;
    BoxRecorder boxes;
    auto form = loadedForm(folder);
    QCOMPARE(thrownBy([&] { writeResults(*form, result); }), failure);

    QCOMPARE(captions(*form), labels);
    QCOMPARE(form->typedText().text(), text);
    QCOMPARE(colouredRuns(form->typedText()), red);
    // The binding reports nothing itself: the caller's report shows the failure.
    QVERIFY(boxes.requests.isEmpty());
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
