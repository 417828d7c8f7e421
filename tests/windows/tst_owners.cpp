#include "controls/pushbutton.h"
#include "programfolder.h"
#include "testwindows.h"
#include "windows/form1.h"
#include "windows/form3.h"

#include <QWindow>

#include <QtTest>
#include <algorithm>

using TestWindows::control;

class TestOwners : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TestWindows::verifyNoWindowLeft(); }
    void everyWindowBelongsToTheWindowThatOpensIt_data();
    void everyWindowBelongsToTheWindowThatOpensIt();
};

void TestOwners::everyWindowBelongsToTheWindowThatOpensIt_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("shown"); // "<the modal window> over <its owner>"
    QTest::newRow("Stories belongs to the main window") << "Change Story"
                                                        << "Stories over Quillrace Software";
    QTest::newRow("a box of Stories belongs to Stories") << "Save blank"
                                                         << "Quillrace over Stories";
    QTest::newRow("a failure while Results loads belongs to the main window, on screen")
        << "broken cursor"
        << "Application Error over Quillrace Software";
    QTest::newRow("with no window on screen a box belongs to none") << "no library"
                                                                    << "Quillrace over none";
}

void TestOwners::everyWindowBelongsToTheWindowThatOpensIt()
{
    QFETCH(QString, action);
    ProgramFolder folder({QStringLiteral("First.")});
    Form1 main(folder.path());
    QVERIFY(main.Form_Load());
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    Form3 stories(main.storyStore(), folder.path(), &main);

    QString shown;
    TestWindows::onNextModal(this, [&](QWidget* modal) {
        const QWindow* owner = modal->windowHandle()->transientParent();
        const QList<QWidget*> windows{&main, &stories};
        const auto found = std::find_if(windows.cbegin(), windows.cend(),
                                        [&](QWidget* w) { return w->windowHandle() == owner; });
        shown = modal->windowTitle() + " over " +
                (found != windows.cend() ? (*found)->windowTitle() : QStringLiteral("none"));
    });
    if (action == "Change Story") {
        QTest::mouseClick(control<PushButton>(main, "PushButton3"), Qt::LeftButton);
    } else if (action == "Save blank") {
        stories.show();
        QTest::mouseClick(control<PushButton>(stories, "PushButton1"), Qt::LeftButton); // Add New
        QTest::mouseClick(control<PushButton>(stories, "PushButton1"), Qt::LeftButton); // Save
    } else if (action == "broken cursor") {
        folder.writeFile(QStringLiteral("HAND-M.CUR"), "not a picture");
        main.results();
    } else {
        QVERIFY(!Form1(ProgramFolder::withoutLibrary().path()).Form_Load());
    }
    QTEST(shown, "shown");
}

QTEST_MAIN(TestOwners)
#include "tst_owners.moc"
