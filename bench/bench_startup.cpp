// Start-up: the time from process start until the main window is shown, and
// the peak memory, for the program's main window against a bare Qt window
// with the same widgets, both started as fresh processes in the same run.
//
//   bench_startup           runs both kinds alternately and prints medians
//   bench_startup quill     one start of the main window (a child run)
//   bench_startup bare      one start of the bare window (a child run)

#include "windows/form1.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

extern char** environ;

namespace {

double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Prints the moment the window has been shown and painted, then quits.
int runShown(QWidget& window)
{
    window.show();
    QTimer::singleShot(0, [&] {
        window.repaint();
        std::printf("%.9f\n", now());
        std::fflush(stdout);
        QApplication::quit();
    });
    return QApplication::exec();
}

int childQuill(int argc, char** argv)
{
    QApplication app(argc, argv);
    Form1 form(QStringLiteral(PROGRAM_DIR));
    if (!form.Form_Load())
        return 1;
    return runShown(form);
}

int childBare(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(536, 477);
    QFont font(QStringLiteral("Arial"), 9, QFont::Bold);
    window.setFont(font);
    auto* story = new QTextEdit(&window);
    story->setGeometry(8, 108, 520, 166);
    auto* typing = new QTextEdit(&window);
    typing->setGeometry(8, 280, 520, 166);
    auto* label = new QLabel(QStringLiteral("Time:"), &window);
    label->setGeometry(8, 452, 520, 17);
    const char* captions[] = {"Start", "Stop", "Change Story", "Font Decrease", "Font Increase"};
    const QRect places[] = {
        {8, 6, 256, 27}, {272, 6, 256, 27}, {8, 74, 520, 27}, {8, 40, 256, 27}, {272, 40, 256, 27}};
    for (int i = 0; i < 5; ++i) {
        auto* button = new QPushButton(QLatin1String(captions[i]), &window);
        button->setGeometry(places[i]);
    }
    window.setWindowTitle(QStringLiteral("Quillrace Software"));
    return runShown(window);
}

struct Sample
{
    double seconds;
    long peakKiB;
};

Sample runChild(const char* self, const char* kind)
{
    int out[2];
    if (pipe(out) != 0)
        std::exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* args[] = {const_cast<char*>(self), const_cast<char*>(kind), nullptr};
    const double started = now();
    pid_t pid = 0;
    if (posix_spawn(&pid, self, &actions, nullptr, args, environ) != 0)
        std::exit(1);
    close(out[1]);
    char buffer[64] = {};
    const ssize_t got = read(out[0], buffer, sizeof buffer - 1);
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    posix_spawn_file_actions_destroy(&actions);
    if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_startup: the %s child failed\n", kind);
        std::exit(1);
    }
    return {std::atof(buffer) - started, usage.ru_maxrss};
}

template <class T> T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string_view(argv[1]) == "quill")
        return childQuill(argc, argv);
    if (argc == 2 && std::string_view(argv[1]) == "bare")
        return childBare(argc, argv);

    const int runs = 15;
    std::vector<double> quillTimes, bareTimes;
    std::vector<long> quillPeaks, barePeaks;
    runChild(argv[0], "bare"); // warms the file cache for both
    for (int i = 0; i < runs; ++i) {
        const Sample bare = runChild(argv[0], "bare");
        const Sample quill = runChild(argv[0], "quill");
        bareTimes.push_back(bare.seconds);
        barePeaks.push_back(bare.peakKiB);
        quillTimes.push_back(quill.seconds);
        quillPeaks.push_back(quill.peakKiB);
    }
    const double quill = median(quillTimes), bare = median(bareTimes);
    std::printf("start-up to shown, median of %d (platform %s):\n", runs,
                qgetenv("QT_QPA_PLATFORM").isEmpty() ? "default"
                                                     : qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("  main window  %7.1f ms   peak %6ld KiB\n", quill * 1e3, median(quillPeaks));
    std::printf("  bare window  %7.1f ms   peak %6ld KiB\n", bare * 1e3, median(barePeaks));
    std::printf("  ratio        %7.2f      (target at most 1.30)\n", quill / bare);
    return 0;
}
