#pragma once

#include "typing/modTyping.h"

class Form2;

// The window binding of the comparison: writes one result into the results
// window, in this order: lblOverall, the box's text, every red mark (selection
// start, length, colour 255, then selection start 0), lblCorrect, lblMistakes,
// lblAccuracy, lblTime, lblWPM. The window is not shown.
//
// Precondition: the typed text came from RichTextBox::text(), so its only line
// break is CR LF, which the box reads back unchanged; the marks' offsets into
// it are then the box's own offsets.
//
// A result that failed is written up to the step that failed (the marks found
// before an overflow included), and then its failure is thrown as a
// std::runtime_error carrying the result's description, for the caller's
// error report. What was written stays written.
void writeResults(Form2& form, const modTyping::TypingResult& result);
