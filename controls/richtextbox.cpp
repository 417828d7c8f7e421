#include "controls/richtextbox.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// The block property that marks a block as a later part of the paragraph
// before it. Block formats travel with undo and redo, so the mark does too.
constexpr int continuesParagraph = QTextFormat::UserProperty + 1;

bool continues(const QTextBlock& block)
{
    return block.blockFormat().boolProperty(continuesParagraph);
}

} // namespace

RichTextBox::RichTextBox(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    setTabChangesFocus(true);
    setLineWrapMode(QTextEdit::WidgetWidth);
    connect(document(), &QTextDocument::contentsChange, this, &RichTextBox::contentsChanged);
}

QString RichTextBox::text() const
{
    return map_.text();
}

void RichTextBox::setText(const QString& text)
{
    // Set on the document rather than through QTextEdit::setPlainText, which
    // gives the new text the format at the caret (perhaps a red mark), formats
    // the whole document once more and then asks where the caret is on
    // screen: a long paragraph is shaped all over again to answer. A new text
    // is shown from its start.
    if (partLength_ > 0) {
        // Without a page size the document lays nothing out while it fills;
        // given its size back, it lays out the parts on screen at once and
        // the rest a few at a time while the program waits for events.
        const QSizeF page = document()->pageSize();
        document()->setPageSize(QSizeF(0, 0));
        document()->setUndoRedoEnabled(false);
        document()->clear();
        QTextCursor cursor(document());
        insertInParts(cursor, text);
        document()->setUndoRedoEnabled(true);
        // The caret, which the text has pushed to the end, goes to the start
        // before anything is laid out: moved later, the widget would ask
        // where its old place is on screen, and so have every part laid out.
        setTextCursor(QTextCursor(document()));
        document()->setPageSize(page);
    } else {
        document()->setPlainText(text);
    }
    document()->setModified(false);
    // The caret goes to the start with the view: left at the end, it would
    // have the whole text laid out as soon as the box is shown.
    setTextCursor(QTextCursor(document()));
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void RichTextBox::contentsChanged(int from, int charsRemoved, int charsAdded)
{
    // In a box that keeps paragraphs whole, every new block keeps its shaped
    // glyphs after layout, which QTextLayout otherwise drops. Placing the
    // caret, selecting or moving the focus asks where a character is on
    // screen, and without them Qt shapes the whole paragraph again to answer:
    // seconds for a story of some megabytes. The price is keeping the memory
    // the layout needed anyway while the text is shown: some thirty bytes a
    // character. A part is short enough to shape again. The document reports
    // a change before laying it out, so the first layout of a block already
    // keeps them.
    for (QTextBlock block = document()->findBlock(from);
         partLength_ == 0 && block.isValid() && block.position() <= from + charsAdded;
         block = block.next())
        block.layout()->setCacheEnabled(true);

    // Only the changed range is read and compared: a keystroke in a long
    // text costs no copy of the whole. The document counts one character
    // more than its text (the end of the last paragraph), so the range is
    // taken from the unchanged tail, whose length is the same before and after.
    const qsizetype oldEnd = std::min<qsizetype>(from + qsizetype(charsRemoved), map_.size());
    const qsizetype newEnd = document()->characterCount() - 1 - (map_.size() - oldEnd);
    if (from > oldEnd || from > newEnd || newEnd - from > OffsetMap::longestChangeRead) {
        // The paragraph end before a removal keeps its kind, as below.
        const int end = from < oldEnd ? document()->findBlock(from).position() - 1 : -1;
        return readAll(end, end >= 0 && map_.isSeam(end));
    }
    QString changed;
    changed.reserve(newEnd - from);
    for (qsizetype position = from; position < newEnd; ++position)
        changed += document()->characterAt(int(position));
    // Colour and font changes arrive here too; only a change of the
    // characters themselves is a change of the text (a block's format may
    // still make or unmake a seam).
    if (changed == QStringView(map_.characters()).sliced(from, oldEnd - from))
        return findSeams(from, newEnd);
    map_.replace(from, oldEnd - from, changed);
    findSeams(from, newEnd);
    if (oldEnd > from)
        keepKind(int(from));
    emit change();
}

void RichTextBox::readAll(int end, bool seam)
{
    const bool changed = map_.reset(document()->toRawText());
    findSeams(0, map_.size());
    if (end >= 0) {
        map_.setSeam(end, seam);
        keepKind(end + 1);
    }
    if (changed)
        emit change();
}

void RichTextBox::keepKind(int position)
{
    // The block the removal merged into takes the format of the block it
    // ended in. Its format is set back to the kind of its paragraph end, as
    // part of the same undo step, so that undo and redo bring back blocks of
    // the right kind.
    const QTextBlock block = document()->findBlock(position);
    const bool seam = block.position() > 0 && map_.isSeam(block.position() - 1);
    if (block.position() == 0 || continues(block) == seam)
        return;
    QTextBlockFormat format = block.blockFormat();
    if (seam)
        format.setProperty(continuesParagraph, true);
    else
        format.clearProperty(continuesParagraph);
    QTextCursor cursor(block);
    cursor.joinPreviousEditBlock();
    cursor.setBlockFormat(format);
    cursor.endEditBlock();
}

void RichTextBox::findSeams(qsizetype from, qsizetype to)
{
    // Only the paragraph ends in the changed range are new. One before it
    // keeps its kind, whatever format the block after it has now: a removal
    // that merges blocks leaves the merged block the format of the block the
    // removal ended in, perhaps a later part's.
    for (QTextBlock block = document()->findBlock(int(from)).next();
         block.isValid() && block.position() <= to; block = block.next())
        map_.setSeam(block.position() - 1, continues(block)); // the paragraph end before it
}

void RichTextBox::insertInParts(QTextCursor& cursor, QStringView text) const
{
    QTextBlockFormat part;
    part.setProperty(continuesParagraph, true);
    // Qt also walks every block at each change and paint, so the short lines
    // of a long text share blocks of about partLength characters, each line
    // ended by a line separator, which text() reads as CR LF as it does the
    // end of a block.
    const bool joinLines = partLength_ > 0 && text.size() > partLength_;
    cursor.beginEditBlock();
    qsizetype start = 0;                         // of the characters not yet inserted
    qsizetype length = cursor.positionInBlock(); // of the block the cursor is in
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator) {
            // A line break of the text is never a seam.
            cursor.insertText(text.sliced(start, i - start).toString());
            if (joinLines && length < partLength_) {
                cursor.insertText(QString(QChar::LineSeparator));
                ++length;
            } else {
                cursor.insertBlock(QTextBlockFormat());
                length = 0;
            }
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        } else if (partLength_ > 0 && ++length >= partLength_ && !c.isHighSurrogate() &&
                   (length >= 2 * partLength_ ||
                    (c == u' ' && (length >= partLength_ * 5 / 4 ||
                                   (i > 0 && QStringView(u".!?").contains(text[i - 1])))))) {
            // A part ends after a blank, at the end of a sentence if one comes
            // soon: the early line end it makes on screen then falls where a
            // reader pauses anyway.
            cursor.insertText(text.sliced(start, i + 1 - start).toString());
            cursor.insertBlock(part);
            start = i + 1;
            length = 0;
        }
    }
    cursor.insertText(text.sliced(start).toString());
    cursor.endEditBlock();
}

int RichTextBox::toDocument(qsizetype offset) const
{
    return map_.toPosition(offset);
}

qsizetype RichTextBox::toText(int position) const
{
    return map_.toOffset(position);
}

RichTextBox::Batch::Batch(RichTextBox& box) : box_(box)
{
    box_.batch_ = box_.textCursor();
    box_.batch_->beginEditBlock();
}

RichTextBox::Batch::~Batch()
{
    QTextCursor cursor = *box_.batch_;
    box_.batch_.reset();
    cursor.endEditBlock();
    box_.setTextCursor(cursor);
}

QTextCursor RichTextBox::selection() const
{
    return batch_ ? *batch_ : textCursor();
}

void RichTextBox::setSelection(const QTextCursor& cursor)
{
    if (batch_)
        *batch_ = cursor;
    else
        setTextCursor(cursor);
}

int RichTextBox::selStart() const
{
    return int(toText(selection().selectionStart()));
}

void RichTextBox::setSelStart(int offset)
{
    QTextCursor cursor = selection();
    cursor.setPosition(toDocument(offset));
    setSelection(cursor);
}

int RichTextBox::selLength() const
{
    const QTextCursor cursor = selection();
    return int(toText(cursor.selectionEnd()) - toText(cursor.selectionStart()));
}

void RichTextBox::setSelLength(int length)
{
    QTextCursor cursor = selection();
    const int start = cursor.selectionStart();
    cursor.setPosition(start);
    cursor.setPosition(toDocument(toText(start) + length), QTextCursor::KeepAnchor);
    setSelection(cursor);
}

void RichTextBox::setSelColor(quint32 colour)
{
    QTextCharFormat format;
    format.setForeground(
        QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF)));
    selection().mergeCharFormat(format);
}

double RichTextBox::fontSize() const
{
    return font().pointSizeF();
}

void RichTextBox::setFontSize(double points)
{
    QFont f = font();
    f.setPointSizeF(points);
    setFont(f);
}

bool RichTextBox::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasText();
}

void RichTextBox::insertFromMimeData(const QMimeData* source)
{
    // Only the plain text of a paste or a drop arrives; its line breaks become
    // line breaks of the box, whatever their form.
    if (!source->hasText())
        return;
    if (partLength_ == 0)
        return insertPlainText(source->text());
    QTextCursor cursor = textCursor();
    insertInParts(cursor, source->text());
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData* RichTextBox::createMimeDataFromSelection() const
{
    if (!map_.hasSeams())
        return QTextEdit::createMimeDataFromSelection();
    // What is copied is the text, without the seams between parts.
    const QTextCursor cursor = textCursor();
    const qsizetype start = toText(cursor.selectionStart());
    auto* data = new QMimeData;
    data->setText(text()
                      .mid(start, toText(cursor.selectionEnd()) - start)
                      .replace(QLatin1String("\r\n"), QLatin1String("\n")));
    return data;
}

void RichTextBox::keyPressEvent(QKeyEvent* event)
{
    QTextCursor cursor = textCursor();
    if (partLength_ > 0 && !isReadOnly() &&
        event->matches(QKeySequence::InsertParagraphSeparator)) {
        // Enter starts a paragraph of the user's own, never a part. Qt would
        // give the new block the format of the block it splits, which is a
        // later part's, or after a selection across parts was replaced, the
        // format of the part that selection ended in.
        cursor.insertBlock(QTextBlockFormat());
        setTextCursor(cursor);
        ensureCursorVisible();
        return;
    }
    if (map_.hasSeams() && !isReadOnly() && !cursor.hasSelection()) {
        const int at = cursor.position();
        // Backspace after a seam and Delete before one reach across it, as
        // within one paragraph.
        if (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier &&
            map_.isSeam(at - 1)) {
            cursor.setPosition(at - 1);
            setTextCursor(cursor);
        } else if (event->matches(QKeySequence::Delete) && map_.isSeam(at)) {
            cursor.setPosition(at + 1);
            setTextCursor(cursor);
        }
    }
    QTextEdit::keyPressEvent(event);
}
