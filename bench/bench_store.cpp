// The story store on a library of 100,000 stories of 500 characters: one
// random pick as Start walks it (target under 25 ms) and one full listing
// (under 300 ms). Prints the median of several runs of each. The file is read
// with ordinary reads, as the program reads it.

#include "benchsupport.h"
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

} // namespace

int main()
{
    QElapsedTimer build;
    build.start();
    const ProgramFolder folder(Bench::sampleStories(storyCount, storyLength));
    std::printf("library: %d stories of %d characters, built in %.0f ms\n", storyCount, storyLength,
                double(build.elapsed()));

    StoryStore store;
    store.open(folder.path());
    seedRandom(43210.5);

    qsizetype picked = 0;
    const double pick = Bench::medianMs(runs, [&] {
        StoryStore::Pick pick(store);
        pick.open();
        if (pick.hasRows()) {
            pick.drawRow(nextRandom());
            pick.moveToRow();
            picked += pick.story().size();
        }
    });
    qsizetype listed = 0;
    const double list = Bench::medianMs(runs, [&] { listed += store.allStories().size(); });
    store.close();

    if (picked != qsizetype(runs) * storyLength || listed != qsizetype(runs) * storyCount) {
        std::printf("FAILED: unexpected results (%lld characters picked, %lld rows listed)\n",
                    static_cast<long long>(picked), static_cast<long long>(listed));
        return 1;
    }
    std::printf("pick (Start):    %.1f ms median of %d (target under 25 ms: %s)\n", pick, runs,
                pick < 25 ? "met" : "NOT met");
    std::printf("allStories:      %.1f ms median of %d (target under 300 ms: %s)\n", list, runs,
                list < 300 ? "met" : "NOT met");
    return 0;
}
