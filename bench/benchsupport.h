#pragma once

#include "report/messagebox.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

// Shared by the benchmarks: a large library of distinct, typeable stories, the
// median of repeated runs, and runs of a benchmark's own child processes.
namespace Bench {

// Window benchmarks run offscreen unless the environment names a platform; call
// before the application is made.
inline void offscreenUnlessNamed()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// A box would wait for a person: each is answered OK, counted, and its text
// printed.
inline void answerBoxes(int& boxes)
{
    MessageBox::setHandler([&boxes](const MessageBox::Request& request) {
        ++boxes;
        std::fprintf(stderr, "box: %s\n", qPrintable(request.text.left(200)));
        return QMessageBox::Ok;
    });
}

// Seconds on the monotonic clock, the same for every process of the machine.
inline double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

template <class T> T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One run of this benchmark program in a child process, with `args` after its
// name. The child prints one line that starts with now() at the moment it
// measures; `seconds` is that moment less the child's start, `line` the whole
// line. A child that fails ends the benchmark.
struct ChildRun
{
    double seconds;
    long peakKiB;
    std::string line;
};

inline ChildRun runChild(const char* self, const std::vector<std::string>& args)
{
    int out[2];
    if (pipe(out) != 0)
        std::exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv{const_cast<char*>(self)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const double started = now();
    pid_t pid = 0;
    if (posix_spawn(&pid, self, &actions, nullptr, argv.data(), environ) != 0)
        std::exit(1);
    close(out[1]);
    char buffer[128] = {};
    const ssize_t got = read(out[0], buffer, sizeof buffer - 1);
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    posix_spawn_file_actions_destroy(&actions);
    if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s: the child run %s failed\n", self, args.at(0).c_str());
        std::exit(1);
    }
    return {std::atof(buffer) - started, usage.ru_maxrss, std::string(buffer, size_t(got))};
}

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
