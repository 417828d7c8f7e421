#include "typing/wordscan.h"

#include <QString>
#include <QtTest>

#include <random>

class TestWordScan : public QObject
{
    Q_OBJECT

private slots:
    void fastScanAgreesWithThePlainOne();
};

void TestWordScan::fastScanAgreesWithThePlainOne()
{
    // Units whose low or high byte is 32 but which are no blank, among blanks,
    // in texts of up to three 8-unit blocks and a tail, searched from every place.
    const char16_t units[] = {u'a', u' ', u'\r', u'\n', u'\u0120', u'\u2000', u'\u2020', 0xD83D};
    std::mt19937 random(20210831); // the same texts on every run
    for (int round = 0; round < 2000; ++round) {
        QString text(qsizetype(random() % 30), Qt::Uninitialized);
        const unsigned blankShare = random() % 8; // from no blank to mostly blanks
        for (QChar& c : text)
            c = random() % 8 < blankShare ? u' ' : units[random() % std::size(units)];
        for (qsizetype from = 0; from <= text.size(); ++from) {
            QVERIFY2(WordScan::findBlank(text, from) == WordScan::findBlankScalar(text, from),
                     qPrintable(QStringLiteral("text of %1 units from %2: \"%3\"")
                                    .arg(text.size())
                                    .arg(from)
                                    .arg(text)));
        }
    }
}

QTEST_MAIN(TestWordScan)
#include "tst_wordscan.moc"
