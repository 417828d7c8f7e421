#include "actionscript.h"
#include "windows/closestate.h"

#include <QtTest>

namespace {

using Outcome = CloseState::Outcome;

// The two windows and the event loop as the close state sees them, driven by
// a script: "open" (the stories window), "type" (an unsaved story), "save",
// "busy" and "idle" (a store action starts and ends), "answer:Yes" (to the
// next question), and requests: "main", "stories", and "main+stories" for
// both at once (the second while the first one's question is open). Requests
// the close state sends through the event loop arrive after each step, as
// "... again". The log says what each request did, then the state.
struct Program
{
    bool open = false, unsaved = false, busy = false;
    QStringList answers, meanwhile, log, posted;
    CloseState closing{{[this] { return busy; }, [this] { return mayDiscard(); },
                        [this] { posted << "main again"; },
                        [this] {
                            if (open)
                                posted << "stories again";
                        }}};

    bool mayDiscard()
    {
        if (!open || !unsaved)
            return true;
        log << "asks";
        for (const QString& window : std::exchange(meanwhile, {}))
            request(window);
        log << (answers.isEmpty() ? "unanswered" : answers.takeFirst());
        return log.last() == "Yes";
    }

    void request(const QString& window)
    {
        const bool main = window.startsWith("main");
        const Outcome outcome = main ? closing.mainRequested() : closing.storiesRequested();
        if (!main && outcome == Outcome::Closes)
            open = false;
        const char* said[] = {main ? "ends" : "closes", "waits", "stays"};
        log << window + ' ' + said[int(outcome)];
    }

    QString run(const QStringList& script)
    {
        ActionScript steps;
        steps.on("open", [this](const QString&) { open = true; })
            .on("type", [this](const QString&) { unsaved = true; })
            .on("save", [this](const QString&) { unsaved = false; })
            .on("busy", [this](const QString&) { busy = true; })
            .on("idle",
                [this](const QString&) {
                    busy = false;
                    closing.storeIdle();
                })
            .on("answer", [this](const QString& answer) { answers << answer; })
            .on({"main", "stories"}, [this](const QString&) {
                request(meanwhile.takeFirst());
                for (const QString& window : std::exchange(meanwhile, {}))
                    request(window); // no question came
            });
        for (const QString& step : script) {
            meanwhile = step.split('+');
            if (!steps.run({meanwhile.first()}).isEmpty())
                return "unknown step " + step;
            meanwhile.clear();
            while (!posted.isEmpty())
                request(posted.takeFirst());
        }
        const char* states[] = {"Open", "Waiting", "Asking", "Closing"};
        return log.join(", ") + " | " + states[int(closing.state())];
    }
};

} // namespace

class TestCloseState : public QObject
{
    Q_OBJECT

private slots:
    void everyRequestInEveryState_data();
    void everyRequestInEveryState();
};

void TestCloseState::everyRequestInEveryState_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("log");
    const QStringList unsaved{"open", "type"};
    const auto row = [](const char* name, const QStringList& script, const char* log) {
        QTest::newRow(name) << script << QString::fromLatin1(log);
    };
    row("main alone ends, and again", {"main", "main"}, "main ends, main ends | Closing");
    row("main takes the stories window with it", {"open", "main"},
        "main ends, stories again closes | Closing");
    row("the stories window closes alone", {"open", "stories"}, "stories closes | Open");
    row("unsaved, main, Yes", unsaved + QStringList{"answer:Yes", "main"},
        "asks, Yes, main ends, stories again closes | Closing");
    row("unsaved, main, No", unsaved + QStringList{"answer:No", "main"},
        "asks, No, main stays | Open");
    row("unsaved, stories, Yes: the program goes on",
        unsaved + QStringList{"answer:Yes", "stories"}, "asks, Yes, stories closes | Open");
    row("unsaved, stories, No", unsaved + QStringList{"answer:No", "stories"},
        "asks, No, stories stays | Open");
    row("both, stories first, No: asked once, both stay",
        unsaved + QStringList{"answer:No", "stories+main"},
        "asks, main waits, No, stories stays | Open");
    row("both, stories first, Yes", unsaved + QStringList{"answer:Yes", "stories+main"},
        "asks, main waits, Yes, stories closes, main again ends | Closing");
    row("both, main first, No", unsaved + QStringList{"answer:No", "main+stories+main"},
        "asks, stories waits, main waits, No, main stays | Open");
    row("both, main first, Yes", unsaved + QStringList{"answer:Yes", "main+stories"},
        "asks, stories waits, Yes, main ends, stories again closes | Closing");
    row("after No a request asks anew",
        unsaved + QStringList{"answer:No", "main", "answer:No", "stories"},
        "asks, No, main stays, asks, No, stories stays | Open");
    row("after both at once and No, Save and Close: the program goes on",
        unsaved + QStringList{"answer:No", "stories+main", "save", "stories"},
        "asks, main waits, No, stories stays, stories closes | Open");
    row("during a store action main waits, then ends", {"busy", "main", "main", "idle"},
        "main waits, main waits, main again ends | Closing");
    row("during a store action, unsaved: both wait, then one question",
        unsaved + QStringList{"busy", "stories", "main", "answer:No", "idle"},
        "stories waits, main waits, asks, No, main again stays | Open");
    row("during a store action, unsaved, stories, Yes",
        unsaved + QStringList{"busy", "stories", "answer:Yes", "idle"},
        "stories waits, asks, Yes, stories again closes | Open");
    row("during a store action, both, Yes",
        unsaved + QStringList{"busy", "main", "stories", "answer:Yes", "idle"},
        "main waits, stories waits, asks, Yes, main again ends, stories again closes | Closing");
    row("an idle store with nothing waiting does nothing", {"open", "busy", "idle"}, " | Open");
}

void TestCloseState::everyRequestInEveryState()
{
    QFETCH(QStringList, script);
    QTEST(Program().run(script), "log");
}

QTEST_MAIN(TestCloseState)
#include "tst_closestate.moc"
