// Start's pick against a library that another program holds, or that holds a
// story too long to show.

#include "boxrecorder.h"
#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "programfolder.h"
#include "windows/form1.h"

#include <QtTest>

#include <optional>

namespace {

// The cursor shapes the window takes, in order.
class CursorLog final : public QObject
{
public:
    explicit CursorLog(QWidget& window) : window_(window) { window.installEventFilter(this); }
    QList<Qt::CursorShape> shapes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &window_ && event->type() == QEvent::CursorChange)
            shapes << window_.cursor().shape();
        return false;
    }

private:
    QWidget& window_;
};

} // namespace

class TestStart : public QObject
{
    Q_OBJECT

private slots:
    void faults_data();
    void faults();
};

void TestStart::faults_data()
{
    QTest::addColumn<QString>("story");
    QTest::addColumn<bool>("locked"); // another program holds an exclusive lock
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("reports"); // "line: description"
    QTest::addColumn<QList<Qt::CursorShape>>("cursors");
    const QString unread = QStringLiteral("The story table has not been read.");
    QTest::newRow("a story longer than the box can lay out is refused, the library kept")
        << QString((16 << 20) + 1, u'a') << false << ""
        << QStringList{"110: This story has 16777217 characters, more than the 16777216 the "
                       "story box can show. It stays in the library unchanged."}
        << QList<Qt::CursorShape>{};
    QTest::newRow("a lock shows the hourglass while Start waits, then the report")
        << "Story." << true << ""
        << QStringList{"102: database is locked", "104: " + unread, "106: " + unread,
                       "108: " + unread, "110: " + unread}
        << QList<Qt::CursorShape>{Qt::WaitCursor, Qt::ArrowCursor};
}

void TestStart::faults()
{
    QFETCH(QString, story);
    QFETCH(bool, locked);
    ProgramFolder folder({story});
    BoxRecorder boxes;
    Form1 main(folder.path());
    QVERIFY(main.Form_Load());
    main.storyStore().setBusyTimeout(100);
    std::optional<ProgramFolder::Lock> lock;
    if (locked)
        lock.emplace(folder.lock(true));
    const CursorLog cursors(main);
    QTest::mouseClick(main.findChild<PushButton*>("PushButton4"), Qt::LeftButton);
    lock.reset();
    QTEST(main.findChild<RichTextBox*>("RichTextBox1")->text(), "shown");
    QStringList reports;
    for (const QString& text : boxes.reports())
        reports << text.section("at line ", 1).section('\r', 0, 0) + ": " +
                       text.section("\r\n", 0, 0);
    QTEST(reports, "reports");
    QTEST(cursors.shapes, "cursors");
}

QTEST_MAIN(TestStart)
#include "tst_start.moc"
