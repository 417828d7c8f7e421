#include "controls/offsetmap.h"

#include <QtTest>

// Characters are written with '|' for a paragraph end (U+2029).
class TestOffsetMap : public QObject
{
    Q_OBJECT

private slots:
    void mapsPositionsAndOffsets_data();
    void mapsPositionsAndOffsets();
};

void TestOffsetMap::mapsPositionsAndOffsets_data()
{
    QTest::addColumn<QString>("characters");
    QTest::addColumn<QList<int>>("seams");
    QTest::addColumn<QStringList>("replace"); // from, removed, added
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("offsets"); // of every position, the end included
    QTest::newRow("a line break counts two")
        << "ab|c" << QList<int>{} << QStringList{} << "ab\r\nc" << QList<int>{0, 1, 2, 4, 5};
    QTest::newRow("a seam counts none") << "ab|c|d" << QList<int>{2} << QStringList{} << "abc\r\nd"
                                        << QList<int>{0, 1, 2, 2, 3, 5, 6};
    QTest::newRow("a seam is only ever a paragraph end")
        << "ab|c" << QList<int>{1, 2} << QStringList{} << "abc" << QList<int>{0, 1, 2, 2, 3};
    QTest::newRow("an insert before a seam moves it and its line breaks")
        << "ab|c" << QList<int>{2} << QStringList{"0", "0", "x|"} << "x\r\nabc"
        << QList<int>{0, 1, 3, 4, 5, 5, 6};
    QTest::newRow("a seam in a removed range goes")
        << "ab|cd|e" << QList<int>{2} << QStringList{"1", "3", "Y"} << "aYd\r\ne"
        << QList<int>{0, 1, 2, 3, 5, 6};
    QTest::newRow("a removal of one of two line breaks")
        << "a||b" << QList<int>{} << QStringList{"1", "1", ""} << "a\r\nb"
        << QList<int>{0, 1, 3, 4};
}

void TestOffsetMap::mapsPositionsAndOffsets()
{
    QFETCH(QString, characters);
    QFETCH(QList<int>, seams);
    QFETCH(QStringList, replace);
    QFETCH(QList<int>, offsets);
    OffsetMap map;
    QVERIFY(map.reset(characters.replace(u'|', QChar::ParagraphSeparator)));
    for (int seam : seams)
        map.setSeam(seam, true);
    if (!replace.isEmpty())
        map.replace(replace[0].toInt(), replace[1].toInt(),
                    QString(replace[2]).replace(u'|', QChar::ParagraphSeparator));
    QTEST(map.text(), "text");
    QList<int> found;
    for (int position = 0; position <= map.size(); ++position)
        found.append(int(map.toOffset(position)));
    QCOMPARE(found, offsets);
    // Each offset maps to the first position that reaches it; one inside a
    // CR LF to the position after the line break.
    for (int offset = 0; offset <= map.text().size() + 1; ++offset) {
        const int position = map.toPosition(offset);
        QVERIFY(position == map.size() || found[position] >= offset);
        QVERIFY(position == 0 || found[position - 1] < offset);
    }
    // Taking the same characters afresh clears the seams and is no change.
    QVERIFY(!map.reset(map.characters()));
    QVERIFY(!map.hasSeams());
}

QTEST_GUILESS_MAIN(TestOffsetMap)
#include "tst_offsetmap.moc"
