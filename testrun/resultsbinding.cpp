#include "testrun/resultsbinding.h"

#include "controls/richtextbox.h"
#include "windows/form2.h"

#include <QLabel>

#include <algorithm>
#include <stdexcept>

namespace {

using modTyping::ResultStep;
using modTyping::TypingResult;

// The box keeps every line break as CR LF, so a lone CR, a lone LF or a
// Unicode line or paragraph separator in the typed text takes one character
// more in the box than in the text the marks were counted in. Offsets after
// such breaks move on by one for each of them; with CR LF only (the typing
// box's own form) nothing moves.
class BoxOffsets
{
public:
    explicit BoxOffsets(const QString& text)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            else if (c == u'\r' || c == u'\n' || c == QChar::LineSeparator ||
                     c == QChar::ParagraphSeparator)
                lone_.append(i);
        }
    }

    qsizetype operator()(qsizetype offset) const
    {
        return offset + (std::lower_bound(lone_.begin(), lone_.end(), offset) - lone_.begin());
    }

private:
    QList<qsizetype> lone_; // offsets of the lone breaks, ascending
};

void writeMarks(RichTextBox& box, const TypingResult& result)
{
    const BoxOffsets toBox(result.resultText);
    // One document edit for all marks: the box is laid out once, not once per
    // mark, which keeps thousands of mistakes quick.
    RichTextBox::Batch batch(box);
    for (const modTyping::WordMark& mark : result.marks) {
        const qsizetype start = toBox(mark.offset);
        box.setSelStart(int(start));
        box.setSelLength(int(toBox(qsizetype(mark.offset) + mark.length) - start));
        box.setSelColor(mark.colour);
        box.setSelStart(0);
    }
}

} // namespace

void writeResults(Form2& form, const TypingResult& result)
{
    if (result.reaches(ResultStep::Overall))
        Form2::setCaption(form.lblOverall, result.overallText);
    if (result.reaches(ResultStep::Text))
        form.RichTextBox1->setText(result.resultText);
    // An overflow while marking still leaves the marks found before it.
    if (result.reaches(ResultStep::Marks) || result.failedAt == ResultStep::Marks)
        writeMarks(*form.RichTextBox1, result);
    if (result.reaches(ResultStep::Correct))
        Form2::setCaption(form.lblCorrect, result.correctText);
    if (result.reaches(ResultStep::Mistakes))
        Form2::setCaption(form.lblMistakes, result.mistakesText);
    if (result.reaches(ResultStep::Accuracy))
        Form2::setCaption(form.lblAccuracy, result.accuracyText);
    if (result.reaches(ResultStep::Time))
        Form2::setCaption(form.lblTime, result.timeText);
    if (result.reaches(ResultStep::Wpm))
        Form2::setCaption(form.lblWPM, result.wpmText);
    if (result.failed())
        throw std::runtime_error(result.failure.toStdString());
}
