#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

// Shared by the benchmarks: a large library of distinct, typeable stories, and
// the median time of repeated runs.
namespace Bench {

// `count` stories of `length` characters; with `lineBreaks`, some words end a
// line instead of being followed by a blank.
inline QStringList sampleStories(int count, int length, bool lineBreaks = false)
{
    // Distinct texts, so no page of the file compresses better than a real
    // library's would.
    static const char* const words[] = {"quill",   "river",  "lantern", "meadow", "copper",
                                        "harbour", "willow", "thistle", "ember",  "it's"};
    QStringList stories;
    stories.reserve(count);
    for (int i = 0; i < count; ++i) {
        QString story = QString::number(i) + u' ';
        for (int w = i; story.size() < length; w = w * 7 + 3)
            story += QString::fromLatin1(words[unsigned(w) % 10]) +
                     QLatin1String(lineBreaks && w % 13 == 0 ? "\r\n" : " ");
        story.truncate(length);
        stories.append(story);
    }
    return stories;
}

// The median, in milliseconds, of `runs` runs.
template <class Run> double medianMs(int runs, Run run)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace Bench
