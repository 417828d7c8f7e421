#pragma once

#include <QStringView>

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The fast path of the scoring: finding the blank that ends a word, and
// handing out the words of a text in order. Kept inline, since a call per word
// would cost more than the scan of a short word.
namespace WordScan {

// The index of the first blank (code 32) at or after `from`, or -1; the plain
// version, which the fast one must always agree with.
inline qsizetype findBlankScalar(QStringView text, qsizetype from)
{
    const char16_t* begin = text.utf16();
    const char16_t* end = begin + text.size();
    const char16_t* found = std::find(begin + from, end, u' ');
    return found == end ? -1 : found - begin;
}

// The same, eight units at a time where SSE2 is at hand: words are short, so an
// inline scan beats a call into the library's search.
inline qsizetype findBlank(QStringView text, qsizetype from)
{
#if defined(__SSE2__)
    const char16_t* begin = text.utf16();
    const char16_t* end = begin + text.size();
    const char16_t* p = begin + from;
    const __m128i blanks = _mm_set1_epi16(u' ');
    for (; end - p >= 8; p += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned hits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(units, blanks)));
        if (hits)
            return p - begin + std::countr_zero(hits) / 2; // two mask bits per unit
    }
    from = p - begin;
#endif
    return findBlankScalar(text, from);
}

// Hands out the words of a text in order as views into it. A text that ends
// in a blank still has its empty last word to give.
class WordCursor
{
public:
    explicit WordCursor(QStringView text) : text_(text), more_(!text.isEmpty()) {}

    bool atEnd() const { return !more_; }

    // Only valid while !atEnd().
    QStringView next()
    {
        const qsizetype blank = findBlank(text_, pos_);
        if (blank < 0) {
            more_ = false;
            return text_.sliced(pos_);
        }
        const QStringView word = text_.sliced(pos_, blank - pos_);
        pos_ = blank + 1;
        return word;
    }

    // Takes the next word only if it equals `word`, which is not empty and
    // holds no blank, so the next word's end needs no search of its own.
    // Only valid while !atEnd().
    bool takeIfNext(QStringView word)
    {
        const qsizetype end = pos_ + word.size();
        if (end > text_.size() || (end < text_.size() && text_[end] != u' '))
            return false;
        if (std::memcmp(text_.utf16() + pos_, word.utf16(), word.size() * sizeof(char16_t)))
            return false;
        if (end == text_.size())
            more_ = false;
        else
            pos_ = end + 1;
        return true;
    }

private:
    QStringView text_;
    qsizetype pos_ = 0;
    bool more_;
};

} // namespace WordScan
