#include "controls/richtextbox.h"

#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

bool isLineBreak(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
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
    const QString raw = document()->toRawText();
    QString text;
    text.reserve(raw.size() + breaks_.size());
    for (QChar c : raw) {
        if (isLineBreak(c))
            text += QLatin1String("\r\n");
        else
            text += c;
    }
    return text;
}

void RichTextBox::setText(const QString& text)
{
    // Set on the document rather than through QTextEdit::setPlainText, which
    // gives the new text the format at the caret (perhaps a red mark), formats
    // the whole document once more and then asks where the caret is on
    // screen: a long paragraph is shaped all over again to answer. A new text
    // is shown from its start.
    document()->setPlainText(text);
    document()->setModified(false);
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void RichTextBox::contentsChanged(int from, int, int charsAdded)
{
    // Every new block keeps its shaped glyphs after layout, which QTextLayout
    // otherwise drops. Placing the caret, selecting or moving the focus asks
    // where a character is on screen, and without them Qt shapes the whole
    // paragraph again to answer: seconds for a story of some megabytes. The
    // price is keeping the memory the layout needed anyway while the text is
    // shown. The document reports a change before laying it out, so the first
    // layout of a block already keeps them.
    for (QTextBlock block = document()->findBlock(from);
         block.isValid() && block.position() <= from + charsAdded; block = block.next())
        block.layout()->setCacheEnabled(true);

    // Colour and font changes arrive here too; only a change of the
    // characters themselves is a change of the text.
    const QString raw = document()->toRawText();
    if (raw == raw_)
        return;
    raw_ = raw;
    breaks_.clear();
    for (qsizetype i = 0; i < raw_.size(); ++i) {
        if (isLineBreak(raw_.at(i)))
            breaks_.append(int(i));
    }
    emit change();
}

int RichTextBox::toDocument(qsizetype offset) const
{
    // The k-th line break at document position p spans text offsets p + k and
    // p + k + 1.
    const auto first = std::partition_point(breaks_.begin(), breaks_.end(), [&](const int& p) {
        return p + (&p - breaks_.data()) < offset;
    });
    const qsizetype before = first - breaks_.begin();
    qsizetype position = offset - before;
    if (before > 0 && breaks_[before - 1] + (before - 1) + 1 == offset)
        position = breaks_[before - 1] + 1;
    return int(std::clamp<qsizetype>(position, 0, raw_.size()));
}

qsizetype RichTextBox::toText(int position) const
{
    const auto before =
        std::lower_bound(breaks_.begin(), breaks_.end(), position) - breaks_.begin();
    return position + before;
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
    if (source->hasText())
        insertPlainText(source->text());
}
