#include "core/failures.h"
#include "typing/modTyping.h"

#include <QLocale>
#include <QStringList>
#include <QTest>

#include <utility>

using modTyping::CompareTyping;
using modTyping::ResultStep;
using modTyping::TypingResult;
using modTyping::WordMark;

// A mark as (offset, length); every mark is also checked to be red.
using Marks = QList<std::pair<qint32, qint32>>;

Q_DECLARE_METATYPE(modTyping::ResultStep)

namespace {

Marks marksOf(const TypingResult& result)
{
    Marks marks;
    for (const WordMark& mark : result.marks)
        marks.append({mark.offset, mark.length});
    return marks;
}

// `count` words joined by single blanks: the first `same` are "w", the rest
// "x", so scored against wordsOf(count) exactly `same` are correct.
QString wordsOf(qsizetype count, qsizetype same = -1)
{
    if (same < 0)
        same = count;
    QStringList words;
    for (qsizetype i = 0; i < count; ++i)
        words.append(i < same ? QStringLiteral("w") : QStringLiteral("x"));
    return words.join(u' ');
}

} // namespace

class TestModTyping : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void comparison_data();
    void comparison();
    void accuracy_data();
    void accuracy();
    void localeTexts_data();
    void localeTexts();
    void time_data();
    void time();
    void wordsPerMinute_data();
    void wordsPerMinute();
    void failures_data();
    void failures();
};

void TestModTyping::comparison_data()
{
    QTest::addColumn<QString>("story");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("counts"); // as the labels show them, joined by '|'
    QTest::addColumn<Marks>("marks");

    // clang-format off
    QTest::newRow("identical text scores every word correct")
        << "The cat sat" << "The cat sat" << "Overall: 3|Correct: 3|Mistakes: 0" << Marks{};
    QTest::newRow("case and punctuation make mistakes")
        << "The cat" << "the cat." << "Overall: 2|Correct: 0|Mistakes: 2" << Marks{{0, 3}, {4, 4}};
    QTest::newRow("double blank gives an empty word that uses up a story position")
        << "The cat sat" << "The  cat sat" << "Overall: 4|Correct: 1|Mistakes: 1" << Marks{{5, 3}};
    QTest::newRow("leading blank shifts every word by one")
        << "The cat" << " The cat" << "Overall: 3|Correct: 0|Mistakes: 1" << Marks{{1, 3}};
    QTest::newRow("trailing blank adds an empty word to overall only")
        << "The cat" << "The cat " << "Overall: 3|Correct: 2|Mistakes: 0" << Marks{};
    QTest::newRow("typed words past the story's end count but are not compared")
        << "The cat" << "The dog sat on" << "Overall: 4|Correct: 1|Mistakes: 1" << Marks{{4, 3}};
    QTest::newRow("missing story words are no mistakes")
        << "The cat sat on the mat" << "The cat" << "Overall: 2|Correct: 2|Mistakes: 0" << Marks{};
    QTest::newRow("skipped word shifts every later word against the story")
        << "one two three four" << "one three four" << "Overall: 3|Correct: 1|Mistakes: 2" << Marks{{4, 5}, {10, 4}};
    QTest::newRow("typed word cut short of the story word is a mistake")
        << "cats sat" << "cat sat" << "Overall: 2|Correct: 1|Mistakes: 1" << Marks{{0, 3}};
    QTest::newRow("typed word longer than the story word is a mistake")
        << "cat sat" << "cats sat" << "Overall: 2|Correct: 1|Mistakes: 1" << Marks{{0, 4}};
    QTest::newRow("typed word running past the story's end is a mistake")
        << "the ca" << "the cat" << "Overall: 2|Correct: 1|Mistakes: 1" << Marks{{4, 3}};
    QTest::newRow("long words spanning several blocks of eight")
        << "internationalisation is hard" << "internationalization is hard" << "Overall: 3|Correct: 2|Mistakes: 1"
        << Marks{{0, 20}};
    QTest::newRow("blanks on block boundaries")
        << "abcdefgh ijklmno pq" << "abcdefgh ijklmnO pq" << "Overall: 3|Correct: 2|Mistakes: 1" << Marks{{9, 7}};
    QTest::newRow("line break joins two story words")
        << "The cat\r\nsat down" << "The cat sat down" << "Overall: 4|Correct: 1|Mistakes: 2" << Marks{{4, 3}, {8, 3}};
    QTest::newRow("line break typed where the story has one is correct")
        << "The cat\r\nsat down" << "The cat\r\nsat down" << "Overall: 3|Correct: 3|Mistakes: 0" << Marks{};
    QTest::newRow("CR LF inside a typed word counts two in its length and later offsets")
        << "one two three x" << "one\r\ntwo x three y" << "Overall: 4|Correct: 1|Mistakes: 3"
        << Marks{{0, 8}, {9, 1}, {17, 1}};
    QTest::newRow("line feed alone does not separate typed words")
        << "a b" << "a\nb" << "Overall: 1|Correct: 0|Mistakes: 1" << Marks{{0, 3}};
    QTest::newRow("tab stays inside a word")
        << "a\tb c" << "a b c" << "Overall: 3|Correct: 0|Mistakes: 2" << Marks{{0, 1}, {2, 1}};
    QTest::newRow("character outside the BMP counts two units")
        << QString::fromUtf8("\xF0\x9F\x98\x80 cat sat")
        << QString::fromUtf8("\xF0\x9F\x98\x80\xF0\x9F\x98\x80 cat sit") << "Overall: 3|Correct: 1|Mistakes: 2"
        << Marks{{0, 4}, {9, 3}};
    QTest::newRow("matching surrogate pairs are correct")
        << QString::fromUtf8("caf\xC3\xA9 \xF0\x9D\x84\x9E")
        << QString::fromUtf8("caf\xC3\xA9 \xF0\x9D\x84\x9E") << "Overall: 2|Correct: 2|Mistakes: 0" << Marks{};
    QTest::newRow("text of three blanks gives four empty words and no marks")
        << "The cat sat" << "   " << "Overall: 4|Correct: 0|Mistakes: 0" << Marks{};
    QTest::newRow("empty story compares nothing") << "" << "The cat" << "Overall: 2|Correct: 0|Mistakes: 0" << Marks{};
    QTest::newRow("empty story words never match typed words")
        << "  " << "a b" << "Overall: 2|Correct: 0|Mistakes: 2" << Marks{{0, 1}, {2, 1}};
    QTest::newRow("empty typed word against an empty story word is skipped")
        << "a  b" << "a  c" << "Overall: 3|Correct: 1|Mistakes: 1" << Marks{{3, 1}};
    // clang-format on
}

void TestModTyping::comparison()
{
    QFETCH(QString, story);
    QFETCH(QString, typed);
    QFETCH(QString, counts);
    QFETCH(Marks, marks);

    const TypingResult result = CompareTyping(story, typed, 30);

    QCOMPARE(result.failedAt, ResultStep::None);
    // The counts and their label texts both match the row.
    QCOMPARE(QStringLiteral("Overall: %1|Correct: %2|Mistakes: %3")
                 .arg(result.overall)
                 .arg(result.correct)
                 .arg(result.mistakes),
             counts);
    QCOMPARE(QStringList({result.overallText, result.correctText, result.mistakesText}).join(u'|'),
             counts);
    QCOMPARE(marksOf(result), marks);
    for (const WordMark& mark : result.marks)
        QCOMPARE(mark.colour, 255u);
    QCOMPARE(result.resultText, typed);
}

void TestModTyping::accuracy_data()
{
    QTest::addColumn<int>("correct");
    QTest::addColumn<int>("overall");
    QTest::addColumn<double>("accuracy");
    QTest::addColumn<QString>("text");

    // clang-format off
    QTest::newRow("two of three rounds up") << 2 << 3 << 66.67 << "Accuracy: 66.67%";
    QTest::newRow("one of three rounds down") << 1 << 3 << 33.33 << "Accuracy: 33.33%";
    QTest::newRow("one of seven rounds up at the third place")
        << 1 << 7 << 14.29 << "Accuracy: 14.29%";
    QTest::newRow("one of eight drops the trailing zero") << 1 << 8 << 12.5 << "Accuracy: 12.5%";
    QTest::newRow("3.125 ties to the even 3.12") << 1 << 32 << 3.12 << "Accuracy: 3.12%";
    QTest::newRow("9.375 ties to the even 9.38") << 3 << 32 << 9.38 << "Accuracy: 9.38%";
    QTest::newRow("15.625 ties to the even 15.62") << 5 << 32 << 15.62 << "Accuracy: 15.62%";
    QTest::newRow("all correct is whole without a separator")
        << 4 << 4 << 100.0 << "Accuracy: 100%";
    QTest::newRow("none correct is zero") << 0 << 5 << 0.0 << "Accuracy: 0%";
    QTest::newRow("small share keeps its leading zero") << 1 << 3000 << 0.03 << "Accuracy: 0.03%";
    QTest::newRow("share below half a hundredth rounds to zero")
        << 1 << 30000 << 0.0 << "Accuracy: 0%";
    // clang-format on
}

void TestModTyping::accuracy()
{
    QFETCH(int, correct);
    QFETCH(int, overall);
    QFETCH(double, accuracy);
    QFETCH(QString, text);

    const TypingResult result = CompareTyping(wordsOf(overall), wordsOf(overall, correct), 10);

    QCOMPARE(result.correct, correct);
    QCOMPARE(result.overall, overall);
    QCOMPARE(result.accuracy, accuracy);
    QCOMPARE(result.accuracyText, text);
}

void TestModTyping::localeTexts_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("correct");
    QTest::addColumn<int>("overall");
    QTest::addColumn<qint32>("seconds");
    QTest::addColumn<QString>("accuracyText");
    QTest::addColumn<QString>("overallText");
    QTest::addColumn<QString>("timeText");
    QTest::addColumn<QString>("wpmText");

    // clang-format off
    QTest::newRow("German uses a decimal comma")
        << "de_DE" << 2 << 3 << 30 << "Accuracy: 66,67%" << "Overall: 3" << "Time: 30 second(s)"
        << "WPM: 4";
    QTest::newRow("French uses a decimal comma")
        << "fr_FR" << 1 << 8 << 30 << "Accuracy: 12,5%" << "Overall: 8" << "Time: 30 second(s)"
        << "WPM: 2";
    QTest::newRow("whole accuracy shows no separator in German")
        << "de_DE" << 3 << 3 << 30 << "Accuracy: 100%" << "Overall: 3" << "Time: 30 second(s)"
        << "WPM: 6";
    QTest::newRow("counts and minutes are never grouped in German")
        << "de_DE" << 1234 << 1234 << 60000 << "Accuracy: 100%" << "Overall: 1234"
        << "Time: 1000:00 minute(s)" << "WPM: 1";
    QTest::newRow("large rate is never grouped in English")
        << "en_US" << 1234 << 1234 << 1 << "Accuracy: 100%" << "Overall: 1234"
        << "Time: 1 second(s)" << "WPM: 74040";
    // clang-format on
}

void TestModTyping::localeTexts()
{
    QFETCH(QString, locale);
    QFETCH(int, correct);
    QFETCH(int, overall);
    QFETCH(qint32, seconds);

    QLocale::setDefault(QLocale(locale));
    const TypingResult result = CompareTyping(wordsOf(overall), wordsOf(overall, correct), seconds);

    QTEST(result.accuracyText, "accuracyText");
    QTEST(result.overallText, "overallText");
    QTEST(result.timeText, "timeText");
    QTEST(result.wpmText, "wpmText");
}

void TestModTyping::time_data()
{
    QTest::addColumn<qint32>("seconds");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("minutes");
    QTest::addColumn<qint32>("restSeconds");

    // clang-format off
    QTest::newRow("no second yet") << 0 << "Time: 0 second(s)" << 0 << 0;
    QTest::newRow("59 stays in seconds") << 59 << "Time: 59 second(s)" << 0 << 0;
    QTest::newRow("60 switches to minutes") << 60 << "Time: 01:00 minute(s)" << 1 << 0;
    QTest::newRow("61 pads both parts") << 61 << "Time: 01:01 minute(s)" << 1 << 1;
    QTest::newRow("125 is two minutes five") << 125 << "Time: 02:05 minute(s)" << 2 << 5;
    QTest::newRow("one hour stays in minutes") << 3600 << "Time: 60:00 minute(s)" << 60 << 0;
    QTest::newRow("minutes grow past two digits") << 6000 << "Time: 100:00 minute(s)" << 100 << 0;
    QTest::newRow("largest count of seconds")
        << 2147483647 << "Time: 35791394:07 minute(s)" << 35791394 << 7;
    // clang-format on
}

void TestModTyping::time()
{
    QFETCH(qint32, seconds);
    QFETCH(QString, text);
    QFETCH(qint32, minutes);
    QFETCH(qint32, restSeconds);

    const TypingResult result = CompareTyping(u"The cat", u"The cat", seconds);

    QCOMPARE(result.timeText, text);
    QCOMPARE(result.minutes, minutes);
    QCOMPARE(result.restSeconds, restSeconds);
}

void TestModTyping::wordsPerMinute_data()
{
    QTest::addColumn<QString>("story");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint32>("seconds");
    QTest::addColumn<double>("wpm");
    QTest::addColumn<QString>("text");

    // clang-format off
    QTest::newRow("eleven words in eleven seconds divide first and give 59")
        << wordsOf(11) << wordsOf(11) << 11 << 59.0 << "WPM: 59";
    QTest::newRow("sixty words in a minute") << wordsOf(60) << wordsOf(60) << 60 << 60.0 << "WPM: 60";
    QTest::newRow("mistakes are taken off and the rate rounded down")
        << wordsOf(30) << wordsOf(30, 28) << 45 << 37.0 << "WPM: 37";
    QTest::newRow("empty words count as typed words") << "a b" << "a  b" << 60 << 3.0 << "WPM: 3";
    QTest::newRow("words past the story's end raise the rate") << "a" << "a b c d" << 60 << 4.0 << "WPM: 4";
    QTest::newRow("one word in seven seconds") << "a" << "a" << 7 << 8.0 << "WPM: 8";
    QTest::newRow("every word wrong leaves no typed word") << "a b" << "x y" << 1 << 0.0 << "WPM: 0";
    // clang-format on
}

void TestModTyping::wordsPerMinute()
{
    QFETCH(QString, story);
    QFETCH(QString, typed);
    QFETCH(qint32, seconds);
    QFETCH(double, wpm);
    QFETCH(QString, text);

    const TypingResult result = CompareTyping(story, typed, seconds);

    QVERIFY(result.wpmValid);
    QCOMPARE(result.wpm, wpm);
    QCOMPARE(result.wpmText, text);
}

void TestModTyping::failures_data()
{
    QTest::addColumn<QString>("story");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint32>("seconds");
    QTest::addColumn<qint32>("limit");
    QTest::addColumn<ResultStep>("failedAt");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<Marks>("marks");
    // The six label texts joined by '|', empty where the step was not reached.
    QTest::addColumn<QString>("labels");

    const qint32 max = modTyping::detail::countLimit;

    // clang-format off
    QTest::newRow("stop before the first tick fails the rate as a division by zero")
        << "The cat" << "The dog" << 0 << max << ResultStep::Wpm << Failure::divisionByZero
        << Marks{{4, 3}} << "Overall: 2|Correct: 1|Mistakes: 1|Accuracy: 50%|Time: 0 second(s)|";
    QTest::newRow("empty typed text fails the accuracy as an overflow")
        << "The cat" << "" << 5 << max << ResultStep::Accuracy << Failure::overflow << Marks{}
        << "Overall: 0|Correct: 0|Mistakes: 0|||";
    QTest::newRow("empty typed text without seconds fails at the accuracy first")
        << "" << "" << 0 << max << ResultStep::Accuracy << Failure::overflow << Marks{}
        << "Overall: 0|Correct: 0|Mistakes: 0|||";
    QTest::newRow("more typed words than a count holds overflow overall")
        << "a b c d" << "a b c d" << 5 << 3 << ResultStep::Overall << Failure::overflow << Marks{}
        << "|||||";
    QTest::newRow("typed words up to the limit still count")
        << "a" << "a b c d" << 5 << 4 << ResultStep::None << "" << Marks{}
        << "Overall: 4|Correct: 1|Mistakes: 0|Accuracy: 25%|Time: 5 second(s)|WPM: 48";
    QTest::newRow("offset past the limit overflows while marking and keeps earlier marks")
        << "xx yy zz" << "ab cd ef" << 5 << 5 << ResultStep::Marks << Failure::overflow
        << Marks{{0, 2}, {3, 2}} << "Overall: 3|||||";
    QTest::newRow("offset after the last visited word is still checked")
        << "abcdef" << "abcdef" << 5 << 6 << ResultStep::Marks << Failure::overflow << Marks{}
        << "Overall: 1|||||";
    QTest::newRow("offset reaching the limit exactly is no overflow")
        << "abcde" << "abcde" << 5 << 6 << ResultStep::None << "" << Marks{}
        << "Overall: 1|Correct: 1|Mistakes: 0|Accuracy: 100%|Time: 5 second(s)|WPM: 12";
    QTest::newRow("mistaken word longer than the limit overflows before its mark")
        << "x" << "bcdefgh" << 5 << 6 << ResultStep::Marks << Failure::overflow << Marks{}
        << "Overall: 1|||||";
    QTest::newRow("words past the story's end never overflow the offset")
        << "ab" << "ab cdefghijkl" << 5 << 5 << ResultStep::None << "" << Marks{}
        << "Overall: 2|Correct: 1|Mistakes: 0|Accuracy: 50%|Time: 5 second(s)|WPM: 24";
    // clang-format on
}

void TestModTyping::failures()
{
    QFETCH(QString, story);
    QFETCH(QString, typed);
    QFETCH(qint32, seconds);
    QFETCH(qint32, limit);
    QFETCH(ResultStep, failedAt);
    QFETCH(QString, failure);
    QFETCH(Marks, marks);
    QFETCH(QString, labels);

    const TypingResult result = modTyping::detail::compareTyping(story, typed, seconds, limit);

    QCOMPARE(result.failedAt, failedAt);
    QCOMPARE(result.failure, failure);
    QCOMPARE(marksOf(result), marks);
    const QStringList texts{result.overallText,  result.correctText, result.mistakesText,
                            result.accuracyText, result.timeText,    result.wpmText};
    QCOMPARE(texts.join(u'|'), labels);
    QCOMPARE(result.wpmValid, failedAt == ResultStep::None);
    // The binding writes the typed text only when it got past overall.
    QCOMPARE(result.resultText, failedAt == ResultStep::Overall ? QString() : typed);
    // Counts of a step not reached are left at zero rather than half counted.
    if (!result.reaches(ResultStep::Correct))
        QCOMPARE(result.correct + result.mistakes, 0);
}

QTEST_APPLESS_MAIN(TestModTyping)
#include "tst_modtyping.moc"
