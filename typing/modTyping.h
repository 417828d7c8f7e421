#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <limits>

// The scoring of one test run: the story and the typed text split into words
// at single blanks, compared position by position, and turned into the figures
// and label texts of the results window. Plain values only; nothing is shown.
namespace modTyping {

// One red mark on the typed text. Offsets and lengths count UTF-16 code units
// of the typed text as stored: a CR LF counts two, a character outside the
// Basic Multilingual Plane counts two.
struct WordMark
{
    qint32 offset = 0;
    qint32 length = 0;
    quint32 colour = 255; // red in the lowest byte

    friend bool operator==(const WordMark&, const WordMark&) = default;
};

// The results window is filled in this order. A result that failed names the
// step that could not be produced; every step before it was.
enum class ResultStep { Overall, Text, Marks, Correct, Mistakes, Accuracy, Time, Wpm, None };

// The outcome of one comparison.
//
// Contract with the window binding: write every output whose step reaches()
// allows, in ResultStep order. When failedAt is Marks, write the marks the
// list holds (those found before the overflow) and then fail. When failedAt is
// not None, finish by raising a failure whose description is `failure`, so the
// caller's error report shows it. Outputs of steps at or after failedAt keep
// their default values and must not be written, save the marks of a failed
// Marks step. `seconds` always holds the input.
struct TypingResult
{
    qint32 overall = 0;
    qint32 correct = 0;
    qint32 mistakes = 0;
    double accuracy = 0.0;
    qint32 seconds = 0;
    qint32 minutes = 0;     // meaningful only from 60 seconds on
    qint32 restSeconds = 0; // likewise
    double wpm = 0.0;       // a whole number
    bool wpmValid = false;

    QString overallText;
    QString correctText;
    QString mistakesText;
    QString accuracyText;
    QString timeText;
    QString wpmText;

    QString resultText;
    QList<WordMark> marks;

    ResultStep failedAt = ResultStep::None;
    QString failure; // "Division by zero" or "Overflow"; empty when nothing failed

    bool reaches(ResultStep step) const { return step < failedAt; }
    bool failed() const { return failedAt != ResultStep::None; }
};

// Compares typedText with storyText word by word and scores it over `seconds`
// elapsed whole seconds. Never throws: a zero `seconds` fails at Wpm with
// "Division by zero"; an empty typedText fails at Accuracy with "Overflow"; a
// count or offset past the 32-bit range fails with "Overflow" at the step that
// needed it.
TypingResult CompareTyping(QStringView storyText, QStringView typedText, qint32 seconds);

namespace detail {

// CompareTyping with the largest count or offset it may hold as a parameter,
// so the overflow checks can be reached with short texts. CompareTyping passes
// the 32-bit maximum.
TypingResult compareTyping(QStringView storyText, QStringView typedText, qint32 seconds,
                           qint32 limit);

inline constexpr qint32 countLimit = std::numeric_limits<qint32>::max();

} // namespace detail
} // namespace modTyping
