#include "controls/pushbutton.h"
#include "programfolder.h"
#include "testwindows.h"
#include "windows/form1.h"
#include "windows/form2.h"
#include "windows/form3.h"

#include <QWindow>
#include <QtTest>

#include <optional>

using TestWindows::control;

namespace {

// "<title> over <title of the window that owns it>", or "over nothing".
QString ownership(const QWidget& window)
{
    const QWindow* owner =
        window.windowHandle() ? window.windowHandle()->transientParent() : nullptr;
    QString over = QStringLiteral("nothing");
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (owner && other->windowHandle() == owner)
            over = other->windowTitle();
    return window.windowTitle() + QStringLiteral(" over ") + over;
}

} // namespace

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
    QTest::addColumn<QString>("shown"); // the modal window it brings, and its owner
    QTest::newRow("Results belongs to the main window") << "results"
                                                        << "Results over Quillrace Software";
    QTest::newRow("Stories belongs to the main window") << "change story"
                                                        << "Stories over Quillrace Software";
    QTest::newRow("the reminder of a blank story belongs to Stories") << "save blank"
                                                                      << "Quillrace over Stories";
    QTest::newRow("Delete Selected belongs to Stories") << "delete"
                                                        << "Delete Selected over Stories";
    QTest::newRow("a failure in Stories belongs to Stories") << "update a story deleted meanwhile"
                                                             << "Application Error over Stories";
    QTest::newRow("a failure while Results loads belongs to the main window")
        << "results with a broken cursor"
        << "Application Error over Quillrace Software";
    QTest::newRow("the missing library, with no window on screen, belongs to none")
        << "no library"
        << "Quillrace over nothing";
}

void TestOwners::everyWindowBelongsToTheWindowThatOpensIt()
{
    QFETCH(QString, action);
    ProgramFolder folder({QStringLiteral("First."), QStringLiteral("Second.")});
    Form1 main(folder.path());
    QVERIFY(main.Form_Load());
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    std::optional<Form3> stories;
    if (action.contains(QLatin1String("save")) || action.contains(QLatin1String("delete"))) {
        stories.emplace(main.storyStore(), folder.path(), &main);
        stories->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*stories));
    }
    const auto click = [&](const char* button) {
        QTest::mouseClick(control<PushButton>(*stories, button), Qt::LeftButton);
    };

    QString shown;
    TestWindows::onNextModal(this, [&](QWidget* modal) { shown = ownership(*modal); });
    if (action == QLatin1String("results")) {
        main.results().exec();
    } else if (action == QLatin1String("change story")) {
        QTest::mouseClick(control<PushButton>(main, "PushButton3"), Qt::LeftButton);
    } else if (action == QLatin1String("save blank")) {
        click("PushButton1"); // Add New
        click("PushButton1"); // Save
    } else if (action == QLatin1String("delete")) {
        click("PushButton2");
    } else if (action == QLatin1String("update a story deleted meanwhile")) {
        folder.exec(QStringLiteral("delete from story where id = 1"));
        click("PushButton3"); // Edit
        click("PushButton1"); // Update
    } else if (action == QLatin1String("results with a broken cursor")) {
        folder.writeFile(QStringLiteral("HAND-M.CUR"), "not a picture");
        main.results();
    } else if (action == QLatin1String("no library")) {
        const ProgramFolder bare = ProgramFolder::withoutLibrary();
        QVERIFY(!Form1(bare.path()).Form_Load());
    }
    QTEST(shown, "shown");
}

QTEST_MAIN(TestOwners)
#include "tst_owners.moc"
