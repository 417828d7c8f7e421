#include "programfolder.h"
#include "testwindows.h"
#include "windows/form2.h"
#include "windows/mousepointer.h"

#include <QFile>
#include <QImageReader>
#include <QtTest>

namespace {

QByteArray builtCursor()
{
    QFile file(QStringLiteral(CURSOR_FILE)); // the HAND-M.CUR the build drew
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage argb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

// Run at the screen's own density and again at QT_SCALE_FACTOR=2.
class TestCursor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void handCursorFitsTheScreen_data();
    void handCursorFitsTheScreen();
};

void TestCursor::initTestCase()
{
    QCOMPARE(qApp->devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
}

void TestCursor::handCursorFitsTheScreen_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("drawnLarge"); // has a picture of its own for dense screens
    const QByteArray built = builtCursor();
    QVERIFY(built.size() > 6 && built[4] == 2);
    QByteArray single = built; // its directory cut to the first, 32-pixel, picture
    single[4] = 1;
    QTest::newRow("the drawn cursor, 32 and 64 pixels") << built << true;
    QTest::newRow("a cursor of one 32-pixel picture") << single << false;
}

void TestCursor::handCursorFitsTheScreen()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, drawnLarge);
    ProgramFolder folder;
    folder.writeFile(QStringLiteral("HAND-M.CUR"), file);
    Form2 form(folder.path());
    form.Form_Load();
    TestWindows::control<MousePointer>(form)->set(MousePointer::Custom);

    const qreal ratio = qApp->devicePixelRatio();
    const QPixmap pixmap = form.cursor().pixmap();
    QCOMPARE(pixmap.devicePixelRatio(), ratio);
    QCOMPARE(pixmap.size(), QSize(32, 32) * ratio);
    // In the picture's own pixels the hotspot is the 32-pixel one, scaled: still
    // on the fingertip's outline.
    const QPoint spot = form.cursor().hotSpot() * ratio;
    QCOMPARE(spot, QPoint(6, 1) * ratio);
    QCOMPARE(qAlpha(argb(pixmap.toImage()).pixel(spot)), 255);
    if (ratio > 1) {
        QImageReader reader(folder.filePath(QStringLiteral("HAND-M.CUR")), "ico");
        const QImage enlarged = reader.read().scaledToWidth(pixmap.width());
        QCOMPARE(argb(pixmap.toImage()) != argb(enlarged), drawnLarge);
    }
}

QTEST_MAIN(TestCursor)
#include "tst_cursor.moc"
