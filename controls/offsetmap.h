#pragma once

#include <QString>
#include <QStringView>
#include <QVector>

// The map between a text box's document and the text it stands for. The
// document keeps one character (U+2029 or U+2028) per line break where the
// text has CR LF, and a box that holds a long paragraph in parts ends each
// part but the last with a paragraph end that is no character of the text at
// all: a seam. The map keeps the document's characters with the positions of
// its line breaks and seams in order, so that a position maps to an offset,
// and back, by binary search, and each change costs as much as the range it
// replaces and the positions after it.
class OffsetMap
{
public:
    // A change longer than this is read by taking the whole document afresh:
    // reading it character by character costs more than one copy of the whole.
    static constexpr qsizetype longestChangeRead = 4096;

    // The document's characters.
    const QString& characters() const { return characters_; }
    qsizetype size() const { return characters_.size(); }

    // The whole document afresh, without seams; false when its characters
    // are the ones the map holds already.
    bool reset(const QString& characters);
    // The document's characters from `from`, `removed` of them, are now
    // `added`. Line breaks and seams in the removed range go, later ones move.
    void replace(qsizetype from, qsizetype removed, QStringView added);

    // Marks the paragraph end at `position` as a seam, or as a line break of
    // the text; positions that are no paragraph end are left alone.
    void setSeam(int position, bool seam);
    bool isSeam(qsizetype position) const;
    bool hasSeams() const { return !seams_.isEmpty(); }

    // The text: line breaks as CR LF, seams left out.
    QString text() const;
    // The position of an offset into text(): an offset inside a CR LF lands
    // after the line break, one at a seam before it; past the end, the end.
    int toPosition(qsizetype offset) const;
    // The offset into text() of a position: a line break counts two, a seam none.
    qsizetype toOffset(int position) const;

    static bool isLineBreak(QChar c)
    {
        return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
    }

private:
    QString characters_;
    QVector<int> breaks_; // positions of the line breaks and seams, ascending
    QVector<int> seams_;  // those of them that join two parts of a paragraph
};
