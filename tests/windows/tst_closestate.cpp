#include "actionscript.h"
#include "windows/closestate.h"

#include <QtTest>

namespace {

// The windows and the event loop as the close state sees them. A script's
// steps: "open" (the stories window), "type" (an unsaved story), "save",
// "busy" and "idle" (a store action starts and ends), "Yes" or "No" (the next
// question's answer), and the close requests "main", "stories", and
// "stories+main" for both at once (the second while the first one's question
// is open). A request the close state sends through the event loop arrives
// after the step, as "again". The log: what each request did, then the state.
struct Program
{
    bool open = false, unsaved = false, busy = false;
    QStringList answers, meanwhile, log, posted;
    CloseState closing{{[this] { return busy; }, [this] { return mayDiscard(); },
                        [this] { posted << "main again"; },
                        [this] { posted << QStringList(open, "stories again"); }}};

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
        const auto outcome = main ? closing.mainRequested() : closing.storiesRequested();
        open = open && (main || outcome != CloseState::Outcome::Closes);
        const char* said[] = {main ? "ends" : "closes", "waits", "stays"};
        log << window + ' ' + said[int(outcome)];
    }

    QString run(const QString& script)
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
            .on({"Yes", "No"}, [this](const QString&) { answers << meanwhile.first(); })
            .on({"main", "stories"}, [this](const QString&) {
                request(meanwhile.takeFirst());
                for (const QString& window : std::exchange(meanwhile, {}))
                    request(window); // no question came
            });
        for (const QString& step : script.split(' ')) {
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
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("log");
    const auto row = [](const char* name, const char* script, const char* log) {
        QTest::newRow(name) << QString::fromLatin1(script) << QString::fromLatin1(log);
    };
    row("main alone ends, and again", "main main", "main ends, main ends | Closing");
    row("main takes the stories window along", "open main",
        "main ends, stories again closes | Closing");
    row("the stories window closes alone", "open stories", "stories closes | Open");
    row("unsaved, main, Yes", "open type Yes main",
        "asks, Yes, main ends, stories again closes | Closing");
    row("unsaved, main, No", "open type No main", "asks, No, main stays | Open");
    row("unsaved, stories, Yes: the program goes on", "open type Yes stories",
        "asks, Yes, stories closes | Open");
    row("unsaved, stories, No", "open type No stories", "asks, No, stories stays | Open");
    row("both, stories first, No: one question, both stay", "open type No stories+main",
        "asks, main waits, No, stories stays | Open");
    row("both, stories first, Yes", "open type Yes stories+main",
        "asks, main waits, Yes, stories closes, main again ends | Closing");
    row("both, main first, No", "open type No main+stories+main",
        "asks, stories waits, main waits, No, main stays | Open");
    row("both, main first, Yes", "open type Yes main+stories",
        "asks, stories waits, Yes, main ends, stories again closes | Closing");
    row("after No a request asks anew", "open type No main No stories",
        "asks, No, main stays, asks, No, stories stays | Open");
    row("after both and No, Save and Close: the program goes on",
        "open type No stories+main save stories",
        "asks, main waits, No, stories stays, stories closes | Open");
    row("during a store action main waits, then ends", "busy main main idle",
        "main waits, main waits, main again ends | Closing");
    row("during a store action, unsaved: both wait, then one question",
        "open type busy stories main No idle",
        "stories waits, main waits, asks, No, main again stays | Open");
    row("during a store action, unsaved, stories, Yes", "open type busy stories Yes idle",
        "stories waits, asks, Yes, stories again closes | Open");
    row("during a store action, both, Yes", "open type busy main stories Yes idle",
        "main waits, stories waits, asks, Yes, main again ends, stories again closes | Closing");
    row("a store action with nothing waiting", "open busy idle", " | Open");
}

void TestCloseState::everyRequestInEveryState()
{
    QFETCH(QString, script);
    QTEST(Program().run(script), "log");
}

QTEST_MAIN(TestCloseState)
#include "tst_closestate.moc"
