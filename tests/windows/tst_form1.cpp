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
#include "windows/mousepointer.h"
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

QByteArray builtCursor()
{
    QFile file(cursorSource);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using Files = QList<std::pair<QString, QByteArray>>;

// One test's main window: a program folder of its own with one story and the
// files given (a "dbStory.mdb" among them replaces the library), every message
// box recorded, and the window loaded, with its controls by their object names.
struct Main
{
    explicit Main(const Files& files = {},
                  ProgramFolder programFolder = ProgramFolder({QStringLiteral("One story.")}))
        : folder(std::move(programFolder)), form(folder.path())
    {
        for (const auto& [name, bytes] : files)
            folder.writeFile(name, bytes);
        loaded = form.Form_Load();
    }

    ProgramFolder folder;
    BoxRecorder boxes;
    Form1 form;
    bool loaded = false;
    RichTextBox* RichTextBox1 = control<RichTextBox>(form, "RichTextBox1");
    RichTextBox* RichTextBox2 = control<RichTextBox>(form, "RichTextBox2");
    QLabel* Label1 = control<QLabel>(form, "Label1");
    QTimer* Timer1 = control<QTimer>(form, "Timer1");
    SkinFramework* SkinFramework1 = control<SkinFramework>(form, "SkinFramework1");
    MousePointer* pointer = control<MousePointer>(form);
    PushButton* PushButton1 = control<PushButton>(form, "PushButton1");
    PushButton* PushButton2 = control<PushButton>(form, "PushButton2");
    PushButton* PushButton3 = control<PushButton>(form, "PushButton3");
    PushButton* PushButton4 = control<PushButton>(form, "PushButton4");
    PushButton* PushButton5 = control<PushButton>(form, "PushButton5");
};

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
    void faultyFileIsReportedAndStartUpGoesOn_data();
    void faultyFileIsReportedAndStartUpGoesOn();
    void accessLibraryAtStartUp_data();
    void accessLibraryAtStartUp();
    void fontButtonsStepTheStoryBoxOnly_data();
    void fontButtonsStepTheStoryBoxOnly();
    void skinPresentOrAbsentLeavesTheLabelWhite();
    void handCursorComesFromTheFile();
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
    Main main;
    Form1& form = main.form;
    QVERIFY(main.loaded);
    form.show();
    QVERIFY(main.boxes.requests.isEmpty());

    QCOMPARE(form.size(), QSize(536, 477));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(main.RichTextBox1->geometry(), QRect(8, 108, 520, 166));
    QCOMPARE(main.RichTextBox2->geometry(), QRect(8, 280, 520, 166));
    QCOMPARE(main.Label1->geometry(), QRect(8, 452, 520, 17));
    QCOMPARE(main.PushButton4->geometry(), QRect(8, 6, 256, 27));
    QCOMPARE(main.PushButton1->geometry(), QRect(272, 6, 256, 27));
    QCOMPARE(main.PushButton2->geometry(), QRect(8, 40, 256, 27));
    QCOMPARE(main.PushButton5->geometry(), QRect(272, 40, 256, 27));
    QCOMPARE(main.PushButton3->geometry(), QRect(8, 74, 520, 27));

    QCOMPARE(form.font().family(), QStringLiteral("Arial"));
    QVERIFY(form.font().bold());
    QCOMPARE(form.font().pointSizeF(), 9.0);
    QCOMPARE(main.PushButton4->font().pointSizeF(), 11.25);
    QCOMPARE(main.RichTextBox2->fontSize(), 9.0);

    // Idle (the run's own tests check Start, Stop, Change Story and the timer).
    QVERIFY(main.PushButton2->isEnabled() && main.PushButton5->isEnabled());
    QCOMPARE(main.Label1->text(), QStringLiteral("Time:"));
    QVERIFY(main.RichTextBox1->text().isEmpty() && main.RichTextBox2->text().isEmpty());
    QVERIFY(main.RichTextBox1->isReadOnly());
    QVERIFY(!main.RichTextBox2->isReadOnly());
    QVERIFY(form.storyStore().isOpen());

    QCOMPARE(main.RichTextBox1->accessibleName(), QStringLiteral("Story"));
    QCOMPARE(main.RichTextBox2->accessibleName(), QStringLiteral("Typing"));
    QCOMPARE(main.PushButton3->accessibleName(), QStringLiteral("Change Story"));
    QVERIFY(!form.windowIcon().isNull());
}

void TestForm1::tabOrderFollowsTheButtonsAndSkipsDisabledOnes()
{
    Main main;
    main.form.show();
    QApplication::setActiveWindow(&main.form);
    main.RichTextBox1->setFocus();
    QTRY_VERIFY(main.RichTextBox1->hasFocus());

    QList<QWidget*> order;
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.append(QApplication::focusWidget());
    }
    // Stop is disabled at start-up, and the label takes no focus.
    QCOMPARE(order, (QList<QWidget*>{main.RichTextBox2, main.PushButton4, main.PushButton3,
                                     main.PushButton2, main.PushButton5, main.RichTextBox1}));
}

void TestForm1::titlesStayOurOwn()
{
    QCOMPARE(Form1(QString()).windowTitle(), QStringLiteral("Form1"));
    Main main;
    QCOMPARE(main.form.windowTitle(), QStringLiteral("Quillrace Software"));
    QCOMPARE(AppTitle::appTitle(), QStringLiteral("Quillrace"));
    QVERIFY(QGuiApplication::applicationDisplayName() != QStringLiteral("Quillrace"));
}

void TestForm1::missingLibraryEndsBeforeTheWindow()
{
    Main main({}, ProgramFolder::withoutLibrary());
    QVERIFY(!main.loaded);
    QVERIFY(!main.form.isVisible());
    QVERIFY(!main.form.storyStore().isOpen());
    QCOMPARE(main.boxes.requests.size(), 1);
    const MessageBox::Request& box = main.boxes.requests.first();
    QCOMPARE(box.text, main.folder.libraryPath() + QStringLiteral(" not found."));
    QCOMPARE(box.caption, QStringLiteral("Quillrace"));
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // The whole start-up ends with code 0 and shows no window.
    QCOMPARE(Startup::run(main.folder.path()), 0);
    QCOMPARE(main.boxes.requests.size(), 2);

    // A folder named dbStory.mdb is no library either.
    QVERIFY(QDir(main.folder.path()).mkdir(QStringLiteral("dbStory.mdb")));
    QVERIFY(!Form1(main.folder.path()).Form_Load());
}

void TestForm1::faultyFileIsReportedAndStartUpGoesOn_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("description"); // %1: the program folder
    QTest::addColumn<int>("line");
    QTest::newRow("a library that fails to open")
        << "dbStory.mdb" << QByteArray("not a database") << "dbStory.mdb is not an SQLite database."
        << 140;
    QTest::newRow("a skin that does not parse")
        << "x/o.cjs" << QByteArray("QPushButton { color: ")
        << "The skin %1/x/o.cjs is not a valid style sheet" << 104;
    QTest::newRow("a broken cursor file")
        << "HAND-M.CUR" << QByteArray("not a picture") << Failure::invalidPicture << 114;
}

void TestForm1::faultyFileIsReportedAndStartUpGoesOn()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, description);
    QFETCH(int, line);
    Main main({{name, bytes}});
    QVERIFY(main.loaded);
    QCOMPARE(main.boxes.reports(), QStringList{ErrorReport::message(
                                       description.arg(main.folder.path()),
                                       ErrorReport::location(u"Form1", u"Form_Load"), line)});
    // Start-up finished: idle, the label white, nothing half-applied.
    QVERIFY(!main.form.blnArmed);
    QCOMPARE(background(main.Label1), QColor(Qt::white));
    QVERIFY(main.form.styleSheet().isEmpty());
    QVERIFY(!main.pointer->hasCustomCursor());
    QCOMPARE(main.form.storyStore().isOpen(), line != 140);
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
    QTest::newRow("a reader that takes long is shown working, and Cancel stops it")
        << "hang"
        << "because the conversion was cancelled. dbStory.mdb was left unchanged.\r\nin "
           "Quillrace2021/08/31.Form1.Form_Load at line 140\r\r";
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
    // What the window of a conversion under way says, when it shows, before
    // Cancel is pressed in it.
    QString working;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == "ConversionWindow" && window->isVisible() &&
                working.isEmpty()) {
                working = TestWindows::control<QLabel>(*window, "Label1")->text();
                QTest::mouseClick(TestWindows::control<PushButton>(*window, "PushButton1"),
                                  Qt::LeftButton);
            }
    });
    watch.start(50);
    Form1 form(folder.path());
    QVERIFY(form.Form_Load());
    QCOMPARE(working, fault == "hang" ? QStringLiteral("Converting dbStory.mdb, a Microsoft Access "
                                                       "story library, into a library of this "
                                                       "program.")
                                      : QString());
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
    Main main;
    main.form.show();
    main.RichTextBox1->setFontSize(from);
    QTest::mouseClick(increase ? main.PushButton5 : main.PushButton2, Qt::LeftButton);
    QCOMPARE(main.RichTextBox1->fontSize(), to);
    QCOMPARE(main.RichTextBox2->fontSize(), 9.0);
    QVERIFY(main.boxes.requests.isEmpty());
}

void TestForm1::skinPresentOrAbsentLeavesTheLabelWhite()
{
    const QColor buttonFace = Appearance::toColor(Appearance::buttonFace);
    QVERIFY(buttonFace != QColor(Qt::white)); // else this test could not tell them apart
    const QByteArray skin = "QPushButton { color: #123456; }";
    for (bool withSkin : {false, true}) {
        Main main(withSkin ? Files{{QStringLiteral("x/o.cjs"), skin}} : Files{});
        QVERIFY(main.boxes.requests.isEmpty());
        QCOMPARE(background(main.Label1), QColor(Qt::white));
        QCOMPARE(background(&main.form), withSkin ? buttonFace : QColor(Qt::white));
        QCOMPARE(main.form.styleSheet(), withSkin ? QString::fromLatin1(skin) : QString());
        if (withSkin) {
            QCOMPARE(main.SkinFramework1->get(SkinFramework::Options).toInt() & 1, 1);
            QVERIFY(main.SkinFramework1->get(SkinFramework::Colours).toBool());
            QVERIFY(main.SkinFramework1->get(SkinFramework::Member10).toBool());
        }
    }
}

void TestForm1::handCursorComesFromTheFile()
{
    Main main({{QStringLiteral("HAND-M.CUR"), builtCursor()}});
    QVERIFY(main.boxes.requests.isEmpty());
    QVERIFY(main.pointer->hasCustomCursor());
    main.pointer->set(MousePointer::Custom);
    // The results window's tests check the picture and its hotspot.
    QCOMPARE(main.form.cursor().shape(), Qt::BitmapCursor);
}

void TestForm1::hoverSetsThePointerButNeverReplacesTheHourglass()
{
    Main main;
    main.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main.form));

    QTest::mouseMove(main.PushButton3);
    QTRY_COMPARE(main.pointer->value(), int(MousePointer::Custom));
    // The boxes and the label have no hover handler: the setting stays.
    QTest::mouseMove(main.RichTextBox2->viewport());
    QTest::mouseMove(main.Label1);
    QCOMPARE(main.pointer->value(), int(MousePointer::Custom));
    // The window's own background brings the arrow back.
    QTest::mouseMove(&main.form, QPoint(4, 470));
    QTRY_COMPARE(main.pointer->value(), int(MousePointer::Default));

    main.pointer->set(MousePointer::Hourglass);
    QTest::mouseMove(main.PushButton4);
    QTest::mouseMove(&main.form, QPoint(4, 470));
    QCOMPARE(main.pointer->value(), int(MousePointer::Hourglass));
    QCOMPARE(main.form.cursor().shape(), Qt::WaitCursor);
}

void TestForm1::closingClosesTheStore()
{
    Main main;
    main.form.show();
    QVERIFY(main.form.storyStore().isOpen());
    QVERIFY(main.form.close());
    QVERIFY(!main.form.storyStore().isOpen());
    QVERIFY(main.boxes.requests.isEmpty());

    // After a failed open there is nothing to close, and nothing is said.
    Main broken({{QStringLiteral("dbStory.mdb"), QByteArray(64, 'x')}});
    broken.boxes.requests.clear();
    broken.form.show();
    QVERIFY(broken.form.close());
    QVERIFY(broken.boxes.requests.isEmpty());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
