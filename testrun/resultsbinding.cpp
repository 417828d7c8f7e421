#include "testrun/resultsbinding.h"

#include "controls/richtextbox.h"
#include "core/failures.h"
#include "windows/form2.h"

namespace {

using modTyping::ResultStep;
using modTyping::TypingResult;

void writeMarks(RichTextBox& box, const TypingResult& result)
{
    // One document edit for all marks: the box is laid out once, not once per
    // mark, which keeps thousands of mistakes quick.
    RichTextBox::Batch batch(box);
    for (const modTyping::WordMark& mark : result.marks) {
        box.setSelStart(mark.offset);
        box.setSelLength(mark.length);
        box.setSelColor(mark.colour);
        box.setSelStart(0);
    }
}

} // namespace

void writeResults(Form2& form, const TypingResult& result)
{
    using Line = Form2::Statistic;
    if (result.reaches(ResultStep::Overall))
        form.setStatistic(Line::Overall, result.overallText);
    if (result.reaches(ResultStep::Text))
        form.typedText().setText(result.resultText);
    // An overflow while marking still leaves the marks found before it.
    if (result.reaches(ResultStep::Marks) || result.failedAt == ResultStep::Marks)
        writeMarks(form.typedText(), result);
    if (result.reaches(ResultStep::Correct))
        form.setStatistic(Line::Correct, result.correctText);
    if (result.reaches(ResultStep::Mistakes))
        form.setStatistic(Line::Mistakes, result.mistakesText);
    if (result.reaches(ResultStep::Accuracy))
        form.setStatistic(Line::Accuracy, result.accuracyText);
    if (result.reaches(ResultStep::Time))
        form.setStatistic(Line::Time, result.timeText);
    if (result.reaches(ResultStep::Wpm))
        form.setStatistic(Line::Wpm, result.wpmText);
    if (result.failed())
        Failure::raise(result.failure);
}
