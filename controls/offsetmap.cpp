#include "controls/offsetmap.h"

#include <algorithm>

bool OffsetMap::reset(const QString& characters)
{
    seams_.clear();
    if (characters == characters_)
        return false;
    characters_ = characters;
    breaks_.clear();
    for (qsizetype i = 0; i < characters_.size(); ++i) {
        if (isLineBreak(characters_.at(i)))
            breaks_.append(int(i));
    }
    return true;
}

void OffsetMap::replace(qsizetype from, qsizetype removed, QStringView added)
{
    const qsizetype end = from + removed;
    for (QVector<int>* positions : {&breaks_, &seams_}) {
        const auto first = std::lower_bound(positions->cbegin(), positions->cend(), int(from));
        const auto last = std::lower_bound(first, positions->cend(), int(end));
        const qsizetype at = first - positions->cbegin();
        positions->remove(at, last - first);
        for (qsizetype later = at; later < positions->size(); ++later)
            (*positions)[later] += int(added.size() - removed);
        if (positions == &breaks_) {
            QVector<int> inserted;
            for (qsizetype i = 0; i < added.size(); ++i)
                if (isLineBreak(added.at(i)))
                    inserted.append(int(from + i));
            positions->insert(at, inserted.size(), 0);
            std::copy(inserted.cbegin(), inserted.cend(), positions->begin() + at);
        }
    }
    characters_.replace(from, removed, added.toString());
}

void OffsetMap::setSeam(int position, bool seam)
{
    if (position < 0 || position >= characters_.size() || !isLineBreak(characters_.at(position)))
        return;
    const auto at = std::lower_bound(seams_.begin(), seams_.end(), position);
    const bool known = at != seams_.end() && *at == position;
    if (seam && !known)
        seams_.insert(at, position);
    else if (!seam && known)
        seams_.erase(at);
}

bool OffsetMap::isSeam(qsizetype position) const
{
    return std::binary_search(seams_.cbegin(), seams_.cend(), int(position));
}

QString OffsetMap::text() const
{
    QString text;
    text.reserve(characters_.size() + breaks_.size());
    auto seam = seams_.cbegin();
    for (qsizetype i = 0; i < characters_.size(); ++i) {
        const QChar c = characters_.at(i);
        if (seam != seams_.cend() && *seam == i)
            ++seam;
        else if (isLineBreak(c))
            text += QLatin1String("\r\n");
        else
            text += c;
    }
    return text;
}

int OffsetMap::toPosition(qsizetype offset) const
{
    // The first position whose offset reaches `offset`.
    qsizetype low = 0;
    qsizetype high = characters_.size();
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        if (toOffset(int(middle)) < offset)
            low = middle + 1;
        else
            high = middle;
    }
    return int(low);
}

qsizetype OffsetMap::toOffset(int position) const
{
    const auto before = [position](const QVector<int>& positions) {
        return std::lower_bound(positions.begin(), positions.end(), position) - positions.begin();
    };
    return position + before(breaks_) - 2 * before(seams_);
}
