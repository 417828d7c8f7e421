#include "app/startup.h"
#include "boxrecorder.h"
#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "core/failures.h"
#include "jetfixture.h"
#include "programfolder.h"
#include "report/apptitle.h"
#include "report/errorreport.h"
#include "testwindows.h"
#include "windows/appearance.h"
#include "windows/form1.h"
#include "windows/skinframework.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QtTest>

using TestWindows::control;

namespace {

const QString cursorSource = QStringLiteral(CURSOR_FILE); // the HAND-M.CUR the build made

QColor background(const QWidget* widget)
{
    return widget->palette().color(QPalette::Window);
}

// The main window's controls, found by their object names.
struct Controls
{
    explicit Controls(const Form1& form) : form_(form) {}
    const Form1& form_;
    RichTextBox* RichTextBox1 = control<RichTextBox>(form_, "RichTextBox1");
    RichTextBox* RichTextBox2 = control<RichTextBox>(form_, "RichTextBox2");
    QLabel* Label1 = control<QLabel>(form_, "Label1");
    QTimer* Timer1 = control<QTimer>(form_, "Timer1");
    SkinFramework* SkinFramework1 = control<SkinFramework>(form_, "SkinFramework1");
    MousePointer* pointer = control<MousePointer>(form_);
    PushButton* PushButton1 = control<PushButton>(form_, "PushButton1");
    PushButton* PushButton2 = control<PushButton>(form_, "PushButton2");
    PushButton* PushButton3 = control<PushButton>(form_, "PushButton3");
    PushButton* PushButton4 = control<PushButton>(form_, "PushButton4");
    PushButton* PushButton5 = control<PushButton>(form_, "PushButton5");
};

Controls of(const Form1& form)
{
    return Controls(form);
}

QByteArray builtCursor()
{
    QFile file(cursorSource);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void startsIdleWithItsLayout();
    void tabOrderFollowsTheButtonsAndSkipsDisabledOnes();
    void titlesStayOurOwn();
    void missingLibraryEndsBeforeTheWindow();
    void libraryThatFailsToOpenIsReportedAtLine140();
    void accessLibraryAtStartUp_data();
    void accessLibraryAtStartUp();
    void fontButtonsStepTheStoryBoxOnly_data();
    void fontButtonsStepTheStoryBoxOnly();
    void skinPresentOrAbsentLeavesTheLabelWhite();
    void skinThatDoesNotParseIsReportedAtLine104();
    void handCursorComesFromTheFile();
    void brokenCursorFileIsReportedAtLine114();
    void hoverSetsThePointerButNeverReplacesTheHourglass();
    void closingClosesTheStore();
};

void TestForm1::initTestCase()
{
    QVERIFY2(!builtCursor().isEmpty(), "the build's HAND-M.CUR is missing");
}

void TestForm1::cleanup()
{
    TestWindows::verifyNoWindowLeft();
}

void TestForm1::startsIdleWithItsLayout()
{
    ProgramFolder folder({QStringLiteral("One story.")});
    BoxRecorder boxes;
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    form.show();
    QVERIFY(boxes.requests.isEmpty());

    QCOMPARE(form.size(), QSize(536, 477));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(of(form).RichTextBox1->geometry(), QRect(8, 108, 520, 166));
    QCOMPARE(of(form).RichTextBox2->geometry(), QRect(8, 280, 520, 166));
    QCOMPARE(of(form).Label1->geometry(), QRect(8, 452, 520, 17));
    QCOMPARE(of(form).PushButton4->geometry(), QRect(8, 6, 256, 27));
    QCOMPARE(of(form).PushButton1->geometry(), QRect(272, 6, 256, 27));
    QCOMPARE(of(form).PushButton2->geometry(), QRect(8, 40, 256, 27));
    QCOMPARE(of(form).PushButton5->geometry(), QRect(272, 40, 256, 27));
    QCOMPARE(of(form).PushButton3->geometry(), QRect(8, 74, 520, 27));

    QCOMPARE(form.font().family(), QStringLiteral("Arial"));
    QVERIFY(form.font().bold());
    QCOMPARE(form.font().pointSizeF(), 9.0);
    QCOMPARE(of(form).PushButton4->font().pointSizeF(), 11.25);
    QCOMPARE(of(form).RichTextBox2->fontSize(), 9.0);

    // Idle: Stop disabled, everything else enabled, the label visible.
    QVERIFY(of(form).PushButton4->isEnabled());
    QVERIFY(!of(form).PushButton1->isEnabled());
    QVERIFY(of(form).PushButton3->isEnabled());
    QVERIFY(of(form).PushButton2->isEnabled() && of(form).PushButton5->isEnabled());
    QVERIFY(of(form).Label1->isVisible());
    QCOMPARE(of(form).Label1->text(), QStringLiteral("Time:"));
    QVERIFY(!form.blnArmed);
    QVERIFY(!of(form).Timer1->isActive());
    QCOMPARE(of(form).Timer1->interval(), 0);
    QVERIFY(of(form).RichTextBox1->text().isEmpty() && of(form).RichTextBox2->text().isEmpty());
    QVERIFY(of(form).RichTextBox1->isReadOnly());
    QVERIFY(!of(form).RichTextBox2->isReadOnly());
    QVERIFY(form.storyStore().isOpen());

    QCOMPARE(of(form).RichTextBox1->accessibleName(), QStringLiteral("Story"));
    QCOMPARE(of(form).RichTextBox2->accessibleName(), QStringLiteral("Typing"));
    QCOMPARE(of(form).PushButton3->accessibleName(), QStringLiteral("Change Story"));
    QVERIFY(!form.windowIcon().isNull());
}

void TestForm1::tabOrderFollowsTheButtonsAndSkipsDisabledOnes()
{
    ProgramFolder folder({QStringLiteral("One story.")});
    BoxRecorder boxes;
    Form1 form(folder.path());
    form.Form_Load();
    form.show();
    QApplication::setActiveWindow(&form);
    of(form).RichTextBox1->setFocus();
    QTRY_VERIFY(of(form).RichTextBox1->hasFocus());

    QList<QWidget*> order;
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.append(QApplication::focusWidget());
    }
    // Stop is disabled at start-up, and the label takes no focus.
    QCOMPARE(order,
             (QList<QWidget*>{of(form).RichTextBox2, of(form).PushButton4, of(form).PushButton3,
                              of(form).PushButton2, of(form).PushButton5, of(form).RichTextBox1}));
}

void TestForm1::titlesStayOurOwn()
{
    ProgramFolder folder({QStringLiteral("One story.")});
    BoxRecorder boxes;
    Form1 form(folder.path());
    QCOMPARE(form.windowTitle(), QStringLiteral("Form1"));
    form.Form_Load();
    QCOMPARE(form.windowTitle(), QStringLiteral("Quillrace Software"));
    QCOMPARE(AppTitle::appTitle(), QStringLiteral("Quillrace"));
    QVERIFY(QGuiApplication::applicationDisplayName() != QStringLiteral("Quillrace"));
}

void TestForm1::missingLibraryEndsBeforeTheWindow()
{
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    BoxRecorder boxes;
    {
        Form1 form(folder.path());
        QVERIFY(!form.Form_Load());
        QVERIFY(!form.isVisible());
        QVERIFY(!form.storyStore().isOpen());
    }
    QCOMPARE(boxes.requests.size(), 1);
    const MessageBox::Request& box = boxes.requests.first();
    QCOMPARE(box.text, folder.libraryPath() + QStringLiteral(" not found."));
    QCOMPARE(box.caption, QStringLiteral("Quillrace"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // The whole start-up ends with code 0 and shows no window.
    QCOMPARE(Startup::run(folder.path()), 0);
    QCOMPARE(boxes.requests.size(), 2);

    // A folder named dbStory.mdb is no library either.
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("dbStory.mdb")));
    Form1 form(folder.path());
    QVERIFY(!form.Form_Load());
}

void TestForm1::libraryThatFailsToOpenIsReportedAtLine140()
{
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    folder.writeFile(QStringLiteral("dbStory.mdb"), QByteArray("this is not a database at all"));
    BoxRecorder boxes;
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    QCOMPARE(boxes.reports().size(), 1);
    QVERIFY(boxes.reports().first().contains(
        QStringLiteral("\r\nin Quillrace2021/08/31.Form1.Form_Load at line 140\r\r")));
    // Start-up still finished: the run is idle and the label white.
    QVERIFY(!form.blnArmed);
    QCOMPARE(background(of(form).Label1), QColor(Qt::white));
    QVERIFY(!form.storyStore().isOpen());
}

void TestForm1::accessLibraryAtStartUp_data()
{
    QTest::addColumn<QString>("fault"); // of the reader; empty for the real one
    QTest::addColumn<QString>("said");
    QTest::newRow("converted, then told once the store is open")
        << QString()
        << "dbStory.mdb was a Microsoft Access story library. Its 11 stories were carried over "
           "into a library of this program. The Access file is kept unchanged beside it as "
           "dbStory.access.mdb.";
    QTest::newRow("a reader that crashes is reported at line 140, and start-up goes on")
        << "crash"
        << "because the program that reads it stopped unexpectedly. The file may be damaged. "
           "dbStory.mdb was left unchanged.\r\nin Quillrace2021/08/31.Form1.Form_Load at line "
           "140\r\r";
}

void TestForm1::accessLibraryAtStartUp()
{
    QFETCH(QString, fault);
    QFETCH(QString, said);
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    JetFixture::make(folder.libraryPath(), {}, QStringLiteral("stories.json"));
    // The reader lies beside the program.
    QVERIFY(QFile::link(fault.isEmpty() ? JetFixture::reader() : JetFixture::faultyReader(fault),
                        folder.filePath(QStringLiteral("quillrace-jetreader"))));
    BoxRecorder boxes;
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    QCOMPARE(boxes.requests.size(), 1);
    const MessageBox::Request& box = boxes.requests.first();
    QVERIFY2(box.text.contains(said), qPrintable(box.text));
    QCOMPARE(box.icon, fault.isEmpty() ? QMessageBox::Information : QMessageBox::Warning);
    QCOMPARE(form.storyStore().isOpen(), fault.isEmpty());
    if (fault.isEmpty()) {
        QCOMPARE(box.caption, QStringLiteral("Quillrace"));
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(form.storyStore().allStories().size(), 11);
    }
}

void TestForm1::fontButtonsStepTheStoryBoxOnly_data()
{
    QTest::addColumn<double>("from");
    QTest::addColumn<bool>("increase");
    QTest::addColumn<double>("to");
    QTest::newRow("increase from the start") << 9.0 << true << 10.0;
    QTest::newRow("decrease from the start") << 9.0 << false << 8.0;
    QTest::newRow("fractions step by whole points") << 11.25 << false << 10.25;
    QTest::newRow("never below the smallest size") << 1.5 << false << 1.0;
    QTest::newRow("never above the largest size") << 199.75 << true << 200.0;
}

void TestForm1::fontButtonsStepTheStoryBoxOnly()
{
    QFETCH(double, from);
    QFETCH(bool, increase);
    QFETCH(double, to);
    ProgramFolder folder({QStringLiteral("One story.")});
    BoxRecorder boxes;
    Form1 form(folder.path());
    form.Form_Load();
    form.show();
    of(form).RichTextBox1->setFontSize(from);
    QTest::mouseClick(increase ? of(form).PushButton5 : of(form).PushButton2, Qt::LeftButton);
    QCOMPARE(of(form).RichTextBox1->fontSize(), to);
    QCOMPARE(of(form).RichTextBox2->fontSize(), 9.0);
    QVERIFY(boxes.requests.isEmpty());
}

void TestForm1::skinPresentOrAbsentLeavesTheLabelWhite()
{
    const QColor buttonFace = Appearance::toColor(Appearance::buttonFace);
    QVERIFY(buttonFace != QColor(Qt::white)); // else this test could not tell them apart
    for (bool withSkin : {false, true}) {
        ProgramFolder folder({QStringLiteral("One story.")});
        if (withSkin)
            folder.writeFile(QStringLiteral("x/o.cjs"), "QPushButton { color: #123456; }");
        BoxRecorder boxes;
        Form1 form(folder.path());
        form.Form_Load();
        QVERIFY(boxes.requests.isEmpty());
        QCOMPARE(background(of(form).Label1), QColor(Qt::white));
        QCOMPARE(background(&form), withSkin ? buttonFace : QColor(Qt::white));
        QCOMPARE(form.styleSheet(),
                 withSkin ? QStringLiteral("QPushButton { color: #123456; }") : QString());
        if (withSkin) {
            QCOMPARE(of(form).SkinFramework1->get(SkinFramework::Options).toInt() & 1, 1);
            QVERIFY(of(form).SkinFramework1->get(SkinFramework::Colours).toBool());
            QVERIFY(of(form).SkinFramework1->get(SkinFramework::Member10).toBool());
        }
    }
}

void TestForm1::skinThatDoesNotParseIsReportedAtLine104()
{
    ProgramFolder folder({QStringLiteral("One story.")});
    folder.writeFile(QStringLiteral("x/o.cjs"), "QPushButton { color: red; ");
    BoxRecorder boxes;
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    QCOMPARE(boxes.reports().size(), 1);
    QVERIFY(boxes.reports().first().contains(QStringLiteral("Form1.Form_Load at line 104")));
    QVERIFY(form.styleSheet().isEmpty()); // nothing half-applied
    QVERIFY(form.storyStore().isOpen());  // and start-up went on
}

void TestForm1::handCursorComesFromTheFile()
{
    ProgramFolder folder({QStringLiteral("One story.")});
    folder.writeFile(QStringLiteral("HAND-M.CUR"), builtCursor());
    BoxRecorder boxes;
    Form1 form(folder.path());
    form.Form_Load();
    QVERIFY(boxes.requests.isEmpty());
    QVERIFY(of(form).pointer->hasCustomCursor());
    of(form).pointer->set(MousePointer::Custom);
    QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(form.cursor().hotSpot(), QPoint(6, 1));
    QCOMPARE(form.cursor().pixmap().size(), QSize(32, 32));

    // Without the file, nothing is said and the hand is Qt's own.
    ProgramFolder plain({QStringLiteral("One story.")});
    Form1 other(plain.path());
    other.Form_Load();
    QVERIFY(boxes.requests.isEmpty());
    QVERIFY(!of(other).pointer->hasCustomCursor());
    of(other).pointer->set(MousePointer::Custom);
    QCOMPARE(other.cursor().shape(), Qt::PointingHandCursor);
}

void TestForm1::brokenCursorFileIsReportedAtLine114()
{
    ProgramFolder folder({QStringLiteral("One story.")});
    folder.writeFile(QStringLiteral("HAND-M.CUR"), "not a picture");
    BoxRecorder boxes;
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    QCOMPARE(boxes.reports(),
             QStringList{ErrorReport::message(Failure::invalidPicture,
                                              ErrorReport::location(u"Form1", u"Form_Load"), 114)});
    QVERIFY(!of(form).pointer->hasCustomCursor());
    QVERIFY(form.storyStore().isOpen());
}

void TestForm1::hoverSetsThePointerButNeverReplacesTheHourglass()
{
    ProgramFolder folder({QStringLiteral("One story.")});
    BoxRecorder boxes;
    Form1 form(folder.path());
    form.Form_Load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QTest::mouseMove(of(form).PushButton3);
    QTRY_COMPARE(of(form).pointer->value(), int(MousePointer::Custom));
    // The boxes and the label have no hover handler: the setting stays.
    QTest::mouseMove(of(form).RichTextBox2->viewport());
    QTest::mouseMove(of(form).Label1);
    QCOMPARE(of(form).pointer->value(), int(MousePointer::Custom));
    // The window's own background brings the arrow back.
    QTest::mouseMove(&form, QPoint(4, 470));
    QTRY_COMPARE(of(form).pointer->value(), int(MousePointer::Default));

    of(form).pointer->set(MousePointer::Hourglass);
    QTest::mouseMove(of(form).PushButton4);
    QTest::mouseMove(&form, QPoint(4, 470));
    QCOMPARE(of(form).pointer->value(), int(MousePointer::Hourglass));
    QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
}

void TestForm1::closingClosesTheStore()
{
    ProgramFolder folder({QStringLiteral("One story.")});
    BoxRecorder boxes;
    Form1 form(folder.path());
    form.Form_Load();
    form.show();
    QVERIFY(form.storyStore().isOpen());
    QVERIFY(form.close());
    QVERIFY(!form.storyStore().isOpen());
    QVERIFY(boxes.requests.isEmpty());

    // After a failed open there is nothing to close, and nothing is said.
    ProgramFolder broken = ProgramFolder::withoutLibrary();
    broken.writeFile(QStringLiteral("dbStory.mdb"), QByteArray(64, 'x'));
    Form1 other(broken.path());
    other.Form_Load();
    boxes.requests.clear();
    other.show();
    QVERIFY(other.close());
    QVERIFY(boxes.requests.isEmpty());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
