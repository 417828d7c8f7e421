// Start-up: the time from process start until the main window is shown, and
// the peak memory, for the program's main window against a bare Qt window
// with the same widgets, both started as fresh processes in the same run.
// Targets: at most 1.05 times the bare window's time, and at most 2 MB more
// memory.
//
//   bench_startup           runs both kinds alternately and prints medians
//   bench_startup quill     one start of the main window (a child run)
//   bench_startup bare      one start of the bare window (a child run)

#include "benchsupport.h"
#include "windows/form1.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

// Prints the moment the window has been shown and painted, then quits. The
// platform paints a window when it exposes it, some events after show(); till
// then a repaint paints nothing.
int runShown(QWidget& window)
{
    window.show();
    while (!window.testAttribute(Qt::WA_Mapped))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("%.9f\n", Bench::now());
    std::fflush(stdout);
    QTimer::singleShot(0, [] { QApplication::quit(); });
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
    Bench::runChild(argv[0], {"bare"}); // warms the file cache for both
    for (int i = 0; i < runs; ++i) {
        const Bench::ChildRun bare = Bench::runChild(argv[0], {"bare"});
        const Bench::ChildRun quill = Bench::runChild(argv[0], {"quill"});
        bareTimes.push_back(bare.seconds);
        barePeaks.push_back(bare.peakKiB);
        quillTimes.push_back(quill.seconds);
        quillPeaks.push_back(quill.peakKiB);
    }
    const double quill = Bench::median(quillTimes), bare = Bench::median(bareTimes);
    std::printf("start-up to shown, median of %d (platform %s):\n", runs,
                qgetenv("QT_QPA_PLATFORM").isEmpty() ? "default"
                                                     : qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("  main window  %7.1f ms   peak %6ld KiB\n", quill * 1e3,
                Bench::median(quillPeaks));
    std::printf("  bare window  %7.1f ms   peak %6ld KiB\n", bare * 1e3, Bench::median(barePeaks));
    const double ratio = quill / bare;
    const long extraKiB = Bench::median(quillPeaks) - Bench::median(barePeaks);
    std::printf("  ratio        %7.2f      (target at most 1.05: %s)\n", ratio,
                ratio <= 1.05 ? "met" : "NOT met");
    std::printf("  more memory  %7ld KiB  (target at most 2048 KiB: %s)\n", extraKiB,
                extraKiB <= 2048 ? "met" : "NOT met");
    return 0;
}
