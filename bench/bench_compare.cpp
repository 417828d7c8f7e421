// Throughput of the scoring core on a long test: a typed text of 1,000,000
// words against a story of the same words, once all correct and once all
// wrong (every typed word then also costs a mark).
//
// Figures are MB/s of typed text, 1 MB = 10^6 bytes, counted as UTF-16 bytes
// (two per code unit), best and median of several runs.

#include "typing/modTyping.h"

#include <QString>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr qsizetype wordCount = 1'000'000;
constexpr int runs = 15;

QString makeStory()
{
    static constexpr std::array<const char16_t*, 16> words{
        u"the",  u"quick", u"brown",   u"fox",   u"jumps",     u"over", u"a",         u"lazy",
        u"dog,", u"while", u"several", u"typed", u"sentences", u"wait", u"for\r\nit", u"now."};
    QString story;
    story.reserve(wordCount * 7);
    quint32 seed = 12345;
    for (qsizetype i = 0; i < wordCount; ++i) {
        seed = seed * 1664525u + 1013904223u; // a fixed sequence, the same on every run
        if (i > 0)
            story += u' ';
        story += QStringView(words[(seed >> 16) % words.size()]);
    }
    return story;
}

// Same words, each with its last character changed, so every comparison has
// to read the whole word before it fails.
QString makeAllWrong(const QString& story)
{
    QString typed = story;
    for (qsizetype i = 0; i < typed.size(); ++i) {
        if (typed[i] != u' ' && (i + 1 == typed.size() || typed[i + 1] == u' '))
            typed[i] = u'#';
    }
    return typed;
}

struct Figures
{
    double best;
    double median;
};

Figures measure(const QString& story, const QString& typed, qint32 expectCorrect,
                qint32 expectMistakes)
{
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const modTyping::TypingResult result = modTyping::CompareTyping(story, typed, 600);
        const auto stop = std::chrono::steady_clock::now();
        seconds.push_back(std::chrono::duration<double>(stop - start).count());
        if (result.correct != expectCorrect || result.mistakes != expectMistakes ||
            result.marks.size() != expectMistakes) {
            std::fprintf(stderr, "wrong result: correct %d, mistakes %d, marks %lld\n",
                         result.correct, result.mistakes, qint64(result.marks.size()));
            std::exit(1);
        }
    }
    std::sort(seconds.begin(), seconds.end());
    const double megabytes = typed.size() * 2.0 / 1e6;
    return {megabytes / seconds.front(), megabytes / seconds[seconds.size() / 2]};
}

} // namespace

int main()
{
    const QString story = makeStory();
    const QString allCorrect(story.constData(), story.size()); // its own buffer
    const QString allWrong = makeAllWrong(story);
    const qint32 words = static_cast<qint32>(wordCount);

    std::printf("typed text: %lld words, %lld UTF-16 units = %.1f MB (UTF-16 bytes)\n",
                qint64(wordCount), qint64(allCorrect.size()), allCorrect.size() * 2.0 / 1e6);
    const Figures correct = measure(story, allCorrect, words, 0);
    std::printf("all correct: best %.0f MB/s, median %.0f MB/s\n", correct.best, correct.median);
    const Figures wrong = measure(story, allWrong, 0, words);
    std::printf("all wrong (1,000,000 marks): best %.0f MB/s, median %.0f MB/s\n", wrong.best,
                wrong.median);
    return 0;
}
