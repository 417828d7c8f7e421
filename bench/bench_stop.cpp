// Stop on a long test: a typed text of 10,000 words, every one of them wrong
// (10,000 red marks), against a story of 10,000 words. Measured on the real
// main window: the time from the click on Stop until the results window is
// shown, and until its box has painted the marked text; against the time from
// setting the same text, without marks, into the box of a shown results window
// until the box has painted it. Both paint figures include the box's layout.
// Medians of several runs. Targets: shown under 300 ms; painted at most 1.5
// times the plain set.

#include "benchsupport.h"
#include "controls/pushbutton.h"
#include "controls/richtextbox.h"
#include "programfolder.h"
#include "report/messagebox.h"
#include "testrun/testrun.h"
#include "windows/form1.h"
#include "windows/form2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int wordCount = 10'000;
constexpr int runs = 7;

// "word0 word1 ...", each word ending in `suffix`.
QString makeWords(QStringView suffix)
{
    QString words;
    for (int i = 0; i < wordCount; ++i) {
        if (i > 0)
            words += u' ';
        words += QStringLiteral("word%1").arg(i);
        words += suffix;
    }
    return words;
}

// Red stretches of the box's document: one per mark when the marks are right.
int redRuns(const RichTextBox& box)
{
    int count = 0;
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().foreground().color() == QColor(255, 0, 0))
                ++count;
        }
    }
    return count;
}

// Runs the event loop until the widget paints next (two seconds at most).
class PaintWatch final : public QObject
{
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }

    void wait()
    {
        QTimer::singleShot(2000, &loop_, &QEventLoop::quit);
        loop_.exec();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, &loop_, &QEventLoop::quit);
        return false;
    }

private:
    QEventLoop loop_;
};

// Notes when the results window shows and when its box first paints, then
// closes the window so that Stop returns.
class ShowWatch final : public QObject
{
public:
    explicit ShowWatch(const QElapsedTimer& clock) : clock_(clock) {}

    double shownMs = -1;
    double paintedMs = -1;
    int marksRed = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && shownMs < 0) {
            if (auto* form = qobject_cast<Form2*>(watched)) {
                shownMs = clock_.nsecsElapsed() / 1e6;
                form_ = form;
                form->typedText().viewport()->installEventFilter(this);
                // Close once the window has painted, or after a second at most.
                QTimer::singleShot(1000, form, [form] { form->close(); });
            }
        } else if (event->type() == QEvent::Paint && form_ &&
                   watched == form_->typedText().viewport() && paintedMs < 0) {
            paintedMs = clock_.nsecsElapsed() / 1e6;
            marksRed = redRuns(form_->typedText());
            QMetaObject::invokeMethod(form_, &QWidget::close, Qt::QueuedConnection);
        }
        return false;
    }

private:
    const QElapsedTimer& clock_;
    Form2* form_ = nullptr;
};

// The same text set into the box of a shown results window, without a mark:
// from the set until the box has painted it (the layout happens on the way).
double plainSet(const QString& folder, const QString& text)
{
    Form2 form(folder);
    form.Form_Load();
    form.show();
    QWidget* viewport = form.typedText().viewport();
    PaintWatch painted(viewport);
    painted.wait(); // the empty box's first paint

    QElapsedTimer clock;
    clock.start();
    form.typedText().setText(text);
    painted.wait();
    return clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    Bench::offscreenUnlessNamed();
    QApplication app(argc, argv);
    int reports = 0;
    Bench::answerBoxes(reports);

    const QString story = makeWords(u"");
    // Every word of the story with one more letter: all wrong, none shifted.
    const QString typed = makeWords(u"x");
    ProgramFolder folder({story});
    Form1 form(folder.path());
    form.Form_Load();
    form.show();

    std::vector<double> shown, painted, plain;
    for (int run = 0; run < runs; ++run) {
        form.findChild<PushButton*>("PushButton4")->click(); // Start
        form.findChild<RichTextBox*>("RichTextBox2")->setText(typed);
        form.Timer1_Timer(); // one second, so the words per minute can be worked out

        QElapsedTimer clock;
        ShowWatch watch(clock);
        app.installEventFilter(&watch);
        clock.start();
        form.findChild<PushButton*>("PushButton1")
            ->click(); // Stop: returns when the window is closed
        app.removeEventFilter(&watch);
        if (watch.shownMs < 0 || watch.paintedMs < 0) {
            std::fprintf(stderr, "bench_stop: the results window did not show and paint\n");
            return 1;
        }
        if (watch.marksRed != wordCount) {
            std::fprintf(stderr, "bench_stop: %d red words instead of %d\n", watch.marksRed,
                         wordCount);
            return 1;
        }
        shown.push_back(watch.shownMs);
        painted.push_back(watch.paintedMs);

        plain.push_back(plainSet(folder.path(), typed));
    }
    if (reports != 0) {
        std::fprintf(stderr, "bench_stop: %d failure report(s) during the runs\n", reports);
        return 1;
    }

    const double shownMs = Bench::median(shown);
    const double paintedMs = Bench::median(painted);
    const double plainMs = Bench::median(plain);
    std::printf("Stop, %d typed words, all wrong (%d red marks), median of %d runs:\n", wordCount,
                wordCount, runs);
    std::printf("  click on Stop to results window shown:   %8.1f ms  (target < 300 ms: %s)\n",
                shownMs, shownMs < 300 ? "met" : "NOT met");
    std::printf("  click on Stop to results box painted:    %8.1f ms\n", paintedMs);
    std::printf("  plain set of the same text, to painted:  %8.1f ms\n", plainMs);
    std::printf("  ratio painted / plain set:               %8.2f  (target <= 1.5: %s)\n",
                paintedMs / plainMs, paintedMs <= 1.5 * plainMs ? "met" : "NOT met");
    return 0;
}
