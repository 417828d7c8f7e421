#include "typing/modTyping.h"

#include "core/failures.h"
#include "typing/wordscan.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace modTyping {
namespace {

using WordScan::WordCursor;

// Words lie between single blanks: an empty text has none, any other text one
// more than it has blanks.
qint64 wordCount(QStringView text)
{
    if (text.isEmpty())
        return 0;
    const char16_t* begin = text.utf16();
    return std::count(begin, begin + text.size(), u' ') + 1;
}

// Ties go to the even neighbour whatever rounding mode the FPU was left in.
double roundHalfEven(double x)
{
    const double down = std::floor(x);
    const double fraction = x - down; // exact for every x a percentage can reach
    if (fraction > 0.5)
        return down + 1.0;
    if (fraction < 0.5)
        return down;
    return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
}

// ASCII digits with the user's decimal separator; 'g' with 15 digits already
// drops trailing zeros and the separator of a whole number, and never groups.
QString accuracyDigits(double accuracy)
{
    QString digits = QString::number(accuracy, 'g', 15);
    digits.replace(u'.', QLocale().decimalPoint());
    return digits;
}

QString timeText(qint32 seconds, qint32 minutes, qint32 restSeconds)
{
    if (seconds < 60)
        return QStringLiteral("Time: ") + QString::number(seconds) + QStringLiteral(" second(s)");
    return QStringLiteral("Time: %1:%2 minute(s)")
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(restSeconds, 2, 10, QLatin1Char('0'));
}

TypingResult& fail(TypingResult& result, ResultStep step, const QString& failure)
{
    result.failedAt = step;
    result.failure = failure;
    return result;
}

} // namespace

TypingResult CompareTyping(QStringView storyText, QStringView typedText, qint32 seconds)
{
    return detail::compareTyping(storyText, typedText, seconds, detail::countLimit);
}

namespace detail {

TypingResult compareTyping(QStringView storyText, QStringView typedText, qint32 seconds,
                           qint32 limit)
{
    TypingResult result;
    result.seconds = seconds;

    const qint64 words = wordCount(typedText);
    if (words > limit)
        return fail(result, ResultStep::Overall, Failure::overflow);
    result.overall = static_cast<qint32>(words);
    result.overallText = QStringLiteral("Overall: ") + QString::number(result.overall);

    result.resultText = typedText.toString();

    // Correct and mistaken words are a share of overall, so neither count can
    // pass the limit once overall is within it; only the offset needs a check.
    // The counts are kept aside so a failed walk leaves them unreported.
    qint32 correct = 0;
    qint32 mistakes = 0;
    qint64 offset = 0;
    WordCursor story(storyText);
    WordCursor typed(typedText);
    for (qint32 i = 0; i < result.overall; ++i) {
        // Typed words past the story's end are counted in overall only.
        if (story.atEnd())
            break;
        const QStringView word = typed.next();
        if (word.isEmpty()) {
            story.next(); // neither compared nor counted, yet it uses up a story word
        } else if (story.takeIfNext(word)) {
            ++correct;
        } else {
            story.next();
            if (word.size() > limit)
                return fail(result, ResultStep::Marks, Failure::overflow);
            ++mistakes;
            result.marks.append(
                WordMark{static_cast<qint32>(offset), static_cast<qint32>(word.size())});
        }
        // The offset after the last visited word is never used, yet it is
        // still added and checked like every other.
        offset += word.size() + 1;
        if (offset > limit)
            return fail(result, ResultStep::Marks, Failure::overflow);
    }

    result.correct = correct;
    result.correctText = QStringLiteral("Correct: ") + QString::number(correct);
    result.mistakes = mistakes;
    result.mistakesText = QStringLiteral("Mistakes: ") + QString::number(mistakes);

    // 0 / 0 has no value; it is an overflow rather than a division by zero.
    if (result.overall == 0)
        return fail(result, ResultStep::Accuracy, Failure::overflow);
    double a = static_cast<double>(correct) / result.overall;
    a = a * 100;
    result.accuracy = roundHalfEven(a * 100) / 100;
    result.accuracyText = QStringLiteral("Accuracy: ") + accuracyDigits(result.accuracy) + u'%';

    if (seconds >= 60) {
        result.minutes = seconds / 60;
        result.restSeconds = seconds % 60;
    }
    result.timeText = timeText(seconds, result.minutes, result.restSeconds);

    // Stop before the first tick has no elapsed second to divide by.
    if (seconds == 0)
        return fail(result, ResultStep::Wpm, Failure::divisionByZero);
    const qint32 typedWords = result.overall - mistakes; // never below 0
    const double perMinute = 60.0 / seconds;
    const double v = perMinute * typedWords;
    result.wpm = std::floor(v);
    result.wpmValid = true;
    result.wpmText = QStringLiteral("WPM: ") + QString::number(result.wpm, 'f', 0);
    return result;
}

} // namespace detail
} // namespace modTyping
