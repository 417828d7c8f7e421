#pragma once

#include "controls/offsetmap.h"

#include <QString>
#include <QTextCursor>
#include <QTextEdit>

#include <optional>

// The rich-text box of every window: a QTextEdit that reads and sets its text
// with CR LF line breaks, counts selection offsets in that CR LF text, pastes
// plain text only, and raises `change` for changes of the text alone (not for
// colour or font changes, which QTextEdit's textChanged also reports).
//
// The document keeps one character per line break where the text has two, so
// every offset passes through its OffsetMap, which follows each change.
//
// Qt lays a paragraph (a block of the document) out whole at every change, and
// walks every block to lay out and paint, so one keystroke in a paragraph of a
// megabyte, or in a text of a hundred thousand lines, costs as much as the
// whole text. A box told to hold long paragraphs in parts cuts each into
// blocks of about partLength characters after a blank, and lets the short
// lines of a long text share such blocks. The seams are no characters of
// text(), of the offsets or of what is copied, and the box deletes across them
// as within one paragraph; each part starts a new line on screen.
class RichTextBox final : public QTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RichTextBox)

public:
    explicit RichTextBox(QWidget* parent = nullptr);

    // The longest text the box is given to show, in UTF-16 units. Qt lays a
    // paragraph out whole, in time and memory that grow faster than the text
    // past some tens of millions of characters.
    static constexpr qsizetype longestText = 16 << 20;

    // The length of a part of a long paragraph, for setParagraphParts.
    static constexpr int partLength = 16384;
    // Holds the paragraphs of later texts and pastes longer than `length`
    // characters in parts; 0 (the default) keeps every paragraph whole.
    void setParagraphParts(int length) { partLength_ = length; }

    // The whole plain text, line breaks as CR LF.
    QString text() const;
    // Replaces all content and colouring; CR LF, lone CR and lone LF each
    // become one line break. The caret goes to the start. Raises `change`
    // before returning.
    void setText(const QString& text);

    // Offsets and lengths count characters of text(), CR LF as two.
    int selStart() const;
    void setSelStart(int offset);
    int selLength() const;
    void setSelLength(int length);
    // A colour value with red in the lowest byte (255 is pure red).
    void setSelColor(quint32 colour);

    double fontSize() const;
    void setFontSize(double points);

    // Groups many selection and colour writes into one edit of the document,
    // laid out once when the batch ends; the widget takes over the selection
    // then. Without it every colour write lays out its paragraph again.
    class Batch
    {
    public:
        explicit Batch(RichTextBox& box);
        ~Batch();
        Q_DISABLE_COPY_MOVE(Batch)

    private:
        RichTextBox& box_;
    };

    // Document position for an offset in text(); an offset inside a CR LF
    // lands after the line break.
    int toDocument(qsizetype offset) const;
    qsizetype toText(int position) const;

signals:
    void change();

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void contentsChanged(int from, int charsRemoved, int charsAdded);
    // Takes the whole text afresh; a paragraph end `end` (-1 for none) keeps
    // the kind given.
    void readAll(int end = -1, bool seam = false);
    // Looks again at the paragraph ends from position `from` to `to`.
    void findSeams(qsizetype from, qsizetype to);
    // After a removal: gives the block at `position` the kind its paragraph
    // end has in the map.
    void keepKind(int position);
    // Inserts plain text at the cursor, in parts where a paragraph is long.
    void insertInParts(QTextCursor& cursor, QStringView text) const;
    QTextCursor selection() const;
    void setSelection(const QTextCursor& cursor);

    OffsetMap map_;
    int partLength_ = 0;               // 0: paragraphs are kept whole
    std::optional<QTextCursor> batch_; // the selection while a Batch is open
};
