// The story store on a library of 100,000 stories of 500 characters: one
// random pick (target under 50 ms) and one full listing (under 300 ms). Prints
// the median of several runs of each.

#include "programfolder.h"
#include "stories/randomgen.h"
#include "stories/storystore.h"

#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int storyCount = 100'000;
constexpr int storyLength = 500;
constexpr int runs = 9;

QStringList makeStories()
{
    // Distinct texts of typeable words, so no page compresses better than a
    // real library would.
    static const char* const words[] = {"quill",   "river",  "lantern", "meadow", "copper",
                                        "harbour", "willow", "thistle", "ember",  "violet"};
    QStringList stories;
    stories.reserve(storyCount);
    for (int i = 0; i < storyCount; ++i) {
        QString story = QString::number(i) + u' ';
        for (int w = i; story.size() < storyLength; w = w * 7 + 3)
            story += QString::fromLatin1(words[unsigned(w) % 10]) + u' ';
        story.truncate(storyLength);
        stories.append(story);
    }
    return stories;
}

template <class Run> double medianMs(Run run)
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

} // namespace

int main()
{
    QElapsedTimer build;
    build.start();
    const ProgramFolder folder(makeStories());
    std::printf("library: %d stories of %d characters, built in %.0f ms\n", storyCount, storyLength,
                double(build.elapsed()));

    StoryStore store;
    store.open(folder.path());
    seedRandom(43210.5);

    qsizetype picked = 0;
    const double pick = medianMs([&] { picked += store.pickRandomStory()->size(); });
    qsizetype listed = 0;
    const double list = medianMs([&] { listed += store.allStories().size(); });
    store.close();

    if (picked != qsizetype(runs) * storyLength || listed != qsizetype(runs) * storyCount) {
        std::printf("FAILED: unexpected results (%lld characters picked, %lld rows listed)\n",
                    static_cast<long long>(picked), static_cast<long long>(listed));
        return 1;
    }
    std::printf("pickRandomStory: %.1f ms median of %d (target under 50 ms)\n", pick, runs);
    std::printf("allStories:      %.1f ms median of %d (target under 300 ms)\n", list, runs);
    return 0;
}
