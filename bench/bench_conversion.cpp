// Start-up with an Access library to convert: the time from process start
// until the main window is shown, for Jet 4 libraries of 10,000 and 100,000
// stories of 500 characters, and the peak memory of the program and of its
// reader. Each start is a fresh process on a fresh copy of the Access file.
//
//   bench_conversion                 writes the libraries, runs the starts, prints medians
//   bench_conversion quill <folder>  one start in that program folder (a child run)

#include "benchsupport.h"
#include "jetfixture.h"
#include "report/messagebox.h"
#include "stories/storystore.h"
#include "windows/form1.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Prints the moment the window is shown and painted, and the reader's peak.
int childQuill(int argc, char** argv)
{
    QApplication app(argc, argv);
    MessageBox::setHandler([](const MessageBox::Request&) { return QMessageBox::Ok; });
    Form1 form(QString::fromLocal8Bit(argv[2]));
    if (!form.Form_Load() || !form.storyStore().isOpen())
        return 1;
    form.show();
    QTimer::singleShot(0, [&] {
        form.repaint();
        rusage reader{};
        getrusage(RUSAGE_CHILDREN, &reader);
        std::printf("%.9f %ld\n", Bench::now(), reader.ru_maxrss);
        std::fflush(stdout);
        QApplication::quit();
    });
    return QApplication::exec();
}

void measure(const char* self, int stories, int runs)
{
    QTemporaryDir folder;
    const QString library = StoryStore::storyFilePath(folder.path());
    const QString access = folder.filePath(QStringLiteral("access.source"));
    // Without the expected rows: this process's own peak would pass to every child.
    QProcess makejet;
    makejet.start(QStringLiteral("python3"),
                  {QStringLiteral(MAKEJET), access, "--seed", "1", "--random-stories",
                   QString::number(stories), "--story-length", "500"});
    if (!makejet.waitForFinished(-1) || makejet.exitCode() != 0)
        std::exit(1);
    QFile::link(JetFixture::reader(), folder.filePath(QStringLiteral("quillrace-jetreader")));
    std::vector<double> times;
    std::vector<long> peaks, readerPeaks;
    for (int i = 0; i < runs; ++i) {
        QFile::remove(library);
        QFile::remove(folder.filePath(QStringLiteral("dbStory.access.mdb")));
        QFile::copy(access, library);
        const Bench::ChildRun run =
            Bench::runChild(self, {"quill", QFile::encodeName(folder.path()).toStdString()});
        times.push_back(run.seconds);
        peaks.push_back(run.peakKiB);
        // The child's line: the moment it was shown, then the reader's peak.
        readerPeaks.push_back(std::atol(run.line.substr(run.line.find(' ') + 1).c_str()));
    }
    const int target = stories >= 100000 ? 3000 : 500;
    const double ms = Bench::median(times) * 1e3;
    const bool met =
        ms < target && std::max(Bench::median(peaks), Bench::median(readerPeaks)) < 200 * 1024;
    std::printf("  %6d stories  %7.1f ms   peak: program %6ld KiB, reader %6ld KiB   (target "
                "under %d ms, 200 MB each: %s)\n",
                stories, ms, Bench::median(peaks), Bench::median(readerPeaks), target,
                met ? "met" : "NOT met");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string_view(argv[1]) == "quill")
        return childQuill(argc, argv);
    QCoreApplication app(argc, argv);
    std::printf("start-up converting a Jet 4 library of 500-character stories to shown, median "
                "(platform %s):\n",
                qgetenv("QT_QPA_PLATFORM").isEmpty() ? "default"
                                                     : qgetenv("QT_QPA_PLATFORM").constData());
    measure(argv[0], 10000, 7);
    measure(argv[0], 100000, 5);
    return 0;
}
