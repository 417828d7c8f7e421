#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "programfolder.h"
#include "testwindows.h"
#include "windows/form1.h"
#include "windows/form3.h"

#include <QWindow>
#include <QtTest>

using TestWindows::control;

// Results and Stories belonging to the main window is seen on Wayland
// (tests/xcb/wayland.sh); here, the boxes.
class TestOwners : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TestWindows::verifyNoWindowLeft(); }
    void everyBoxBelongsToTheWindowThatOpensIt_data();
    void everyBoxBelongsToTheWindowThatOpensIt();
};

void TestOwners::everyBoxBelongsToTheWindowThatOpensIt_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("owner");
    QTest::newRow("a box of Stories belongs to Stories") << "Save blank"
                                                         << "Stories";
    QTest::newRow("the question about an unsaved story belongs to Stories") << "close typed"
                                                                            << "Stories";
    QTest::newRow("a failure while Results loads belongs to the main window, on screen")
        << "broken cursor"
        << "main";
    QTest::newRow("the missing library's box, before its main window shows, belongs to none")
        << "no library"
        << "none";
}

void TestOwners::everyBoxBelongsToTheWindowThatOpensIt()
{
    QFETCH(QString, action);
    QFETCH(QString, owner);
    ProgramFolder folder({QStringLiteral("First.")});
    Form1 main(folder.path());
    QVERIFY(main.Form_Load());
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    Form3 stories(main.storyStore(), folder.path(), &main);
    stories.show();
    QVERIFY(QTest::qWaitForWindowExposed(&stories));

    const QWindow unseen;
    const QWindow* seen = &unseen; // the owner of the box, which must come
    TestWindows::onNextModal(this,
                             [&](QWidget* box) { seen = box->windowHandle()->transientParent(); });
    if (action == "Save blank") {
        QTest::mouseClick(control<PushButton>(stories, "PushButton1"), Qt::LeftButton); // Add New
        QTest::mouseClick(control<PushButton>(stories, "PushButton1"), Qt::LeftButton); // Save
    } else if (action == "close typed") {
        QTest::mouseClick(control<PushButton>(stories, "PushButton1"), Qt::LeftButton); // Add New
        QTest::keyClicks(control<RichTextBox>(stories, "RichTextBox1"), "Mine.");
        stories.close();
    } else if (action == "broken cursor") {
        folder.writeFile(QStringLiteral("HAND-M.CUR"), "not a picture");
        main.results();
    } else {
        QVERIFY(!Form1(ProgramFolder::withoutLibrary().path()).Form_Load());
    }
    const QHash<QString, const QWindow*> windows{
        {"Stories", stories.windowHandle()}, {"main", main.windowHandle()}, {"none", nullptr}};
    QCOMPARE(seen, windows.value(owner));
}

QTEST_MAIN(TestOwners)
#include "tst_owners.moc"
