#include "actionscript.h"
#include "core/failures.h"
#include "programfolder.h"
#include "stories/randomgen.h"
#include "stories/storystore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <semaphore>
#include <thread>

using Operation = std::function<void(StoryStore&)>;
Q_DECLARE_METATYPE(Operation)
// What an operation gives, as one line of text.
using Probe = std::function<QString(StoryStore&)>;
Q_DECLARE_METATYPE(Probe)

namespace {

const float largestBelowOne = std::nextafter(1.0f, 0.0f);

QStringList numbered(int count)
{
    QStringList stories;
    for (int i = 1; i <= count; ++i)
        stories.append(QStringLiteral("story %1").arg(i));
    return stories;
}

// The statements that reach the engine from the moment of opening on.
struct Logged
{
    StoryStore store;
    QStringList statements;
    explicit Logged(const QString& folder)
    {
        store.setStatementObserver([this](const QString& sql) { statements.append(sql); });
        store.open(folder);
    }
};

// The pick as Start walks it, with a chosen r in place of the generator's.
std::optional<QString> pick(StoryStore& store, float r)
{
    StoryStore::Pick pick(store);
    pick.open();
    if (!pick.hasRows())
        return std::nullopt;
    pick.drawRow(r);
    pick.moveToRow();
    return pick.story();
}

// Row `id` as the stories window shows it: read by a listing just now.
StoryStore::Seen seen(StoryStore& store, qint64 id)
{
    StoryStore::Seen row{id, QString(), 0};
    for (const Story& story : store.allStories())
        if (story.id == id)
            row.fldstory = story.fldstory.value_or(QString());
    row.version = store.dataVersion();
    return row;
}

QString failureOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const StoreError& e) {
        return e.description();
    }
    return QStringLiteral("(no failure)");
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestStoryStore : public QObject
{
    Q_OBJECT

private slots:
    void statementsSentWordForWord_data();
    void statementsSentWordForWord();
    void storiesRoundTripExactly_data();
    void storiesRoundTripExactly();
    void storyFile_data();
    void storyFile();
    void uriLikeFolderIsAPlainPath();
    void openFailures_data();
    void openFailures();
    void closedStoreFails_data();
    void closedStoreFails();
    void pickTakesTheRuleRow_data();
    void pickTakesTheRuleRow();
    void emptyTable();
    void pickStepsFailInTurnWhenClosed();
    void writeUnderAnotherProgramsHold_data();
    void writeUnderAnotherProgramsHold();
    void statementTextIsNeverAScript_data();
    void statementTextIsNeverAScript();
    void generator();
    void faults_data();
    void faults();
    void libraryChangedFromOutside_data();
    void libraryChangedFromOutside();
    void fileCutShortWhileReadIsAFailureNotACrash();
};

void TestStoryStore::statementsSentWordForWord_data()
{
    QTest::addColumn<QStringList>("library");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QStringList>("statements");
    const QString select = QStringLiteral("select * from [story]");
    const QStringList three{"one", "two", "three"};
    QTest::newRow("add quotes the apostrophe")
        << three << Operation([](StoryStore& s) { s.addStory("it's"); })
        << QStringList{"insert into [story] (fldstory) values ('it''s')"};
    QTest::newRow("add keeps an injection inside the literal")
        << three << Operation([](StoryStore& s) { s.addStory("x'); delete from story; --"); })
        << QStringList{"insert into [story] (fldstory) values ('x''); delete from story; --')"};
    QTest::newRow("list reads the table once")
        << three << Operation([](StoryStore& s) { s.allStories(); }) << QStringList{select};
    QTest::newRow("every pick reads the table with two cursors")
        << three << Operation([](StoryStore& s) { pick(s, 0.5f), pick(s, 0.5f); })
        << QStringList{select, select, select, select};
    QTest::newRow("pick on an empty table reads it once")
        << QStringList{} << Operation([](StoryStore& s) { pick(s, 0.5f); }) << QStringList{select};
}

void TestStoryStore::statementsSentWordForWord()
{
    QFETCH(QStringList, library);
    QFETCH(Operation, operation);
    QFETCH(QStringList, statements);
    ProgramFolder folder(library);
    Logged logged(folder.path());
    operation(logged.store);
    logged.store.close();
    QCOMPARE(logged.statements, statements);
    // Quoting kept every story, whatever the text held.
    QCOMPARE(folder.stories().mid(0, library.size()), library);
}

void TestStoryStore::storiesRoundTripExactly_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("apostrophes, typographic ones and other punctuation")
        << "It's Tom's 'quoted' word'' it\u2019s \"hi\"; 100% done";
    QTest::newRow("CR LF line break") << "First line.\r\nSecond line.";
    QTest::newRow("leading and trailing blanks") << "   padded story \t ";
    QTest::newRow("non-BMP characters")
        << QString::fromUtf8("clef \xF0\x9D\x84\x9E, smile \xF0\x9F\x98\x80.");
    QTest::newRow("empty text") << "";
    QTest::newRow("long text") << QString(100'000, u'q');
}

void TestStoryStore::storiesRoundTripExactly()
{
    QFETCH(QString, text);
    ProgramFolder folder;
    StoryStore store;
    store.open(folder.path());
    store.addStory(text);
    QCOMPARE(folder.stories(), QStringList{text});
    const QList<Story> stories = store.allStories();
    QCOMPARE(stories.size(), 1);
    QCOMPARE(stories[0].fldstory, std::optional<QString>(text));
    QCOMPARE(pick(store, 0.5f), std::optional<QString>(text));

    QVERIFY(store.updateStory(seen(store, *stories[0].id), text + text));
    QCOMPARE(store.allStories()[0].fldstory, std::optional<QString>(text + text));
}

void TestStoryStore::storyFile_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("exists");
    QTest::newRow("ordinary file") << "file" << true;
    QTest::newRow("no file") << "none" << false;
    QTest::newRow("folder of that name counts as missing") << "folder" << false;
    QTest::newRow("link to a file") << "link" << true;
    QTest::newRow("dangling link counts as missing") << "dangling" << false;
}

void TestStoryStore::storyFile()
{
    QFETCH(QString, setup);
    QFETCH(bool, exists);
    QTemporaryDir dir;
    const QString path = StoryStore::storyFilePath(dir.path());
    QCOMPARE(path, dir.path() + "/dbStory.mdb");
    if (setup == "file")
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    else if (setup == "folder")
        QVERIFY(QDir(dir.path()).mkdir("dbStory.mdb"));
    else if (setup == "link" || setup == "dangling")
        QVERIFY(QFile::link(dir.path() + "/target", path));
    if (setup == "link")
        QVERIFY(QFile(dir.path() + "/target").open(QIODevice::WriteOnly));
    QCOMPARE(StoryStore::storyFileExists(dir.path()), exists);
}

void TestStoryStore::uriLikeFolderIsAPlainPath()
{
    // The engine would read "file:lib/dbStory.mdb" as a URI naming lib/dbStory.mdb.
    ProgramFolder folder({"one"});
    QTemporaryDir base;
    QVERIFY(QDir(base.path()).mkdir("file:lib"));
    QVERIFY(QFile::copy(folder.libraryPath(), base.path() + "/file:lib/dbStory.mdb"));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(base.path()));
    StoryStore store;
    const QString failure = failureOf([&] { store.open("file:lib"); });
    QDir::setCurrent(previous);
    QCOMPARE(failure, "(no failure)");
    QCOMPARE(pick(store, 0.0f), std::optional<QString>("one"));
}

void TestStoryStore::openFailures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("description");
    QTest::newRow("missing file creates nothing") << "missing"
                                                  << "/dbStory.mdb not found.";
    QTest::newRow("folder named dbStory.mdb") << "folder"
                                              << "/dbStory.mdb not found.";
    QTest::newRow("empty file") << "empty"
                                << "dbStory.mdb is empty";
    QTest::newRow("random bytes") << "random"
                                  << "dbStory.mdb is not an SQLite database.";
    const QString converts = "dbStory.mdb is a Microsoft Access story library. This program "
                             "converts it into a library of its own when it starts: close the "
                             "program and start it again.";
    QTest::newRow("Jet database, converted at the next start") << "jet" << converts;
    QTest::newRow("ACE database, converted at the next start") << "ace" << converts;
    QTest::newRow("Access signature alone")
        << "signature"
        << "dbStory.mdb begins as a Microsoft Access database does, but it is too "
           "short to be one.";
    QTest::newRow("header of a file cut short") << "short"
                                                << "is not an SQLite database.";
}

void TestStoryStore::openFailures()
{
    QFETCH(QString, setup);
    QFETCH(QString, description);
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    QByteArray bytes;
    if (setup == "folder") {
        QVERIFY(QDir(folder.path()).mkdir("dbStory.mdb"));
    } else if (setup != "missing") {
        if (setup == "random")
            for (int i = 0; i < 4096; ++i)
                bytes.append(char((i * 7919 + 13) % 251));
        else if (setup == "jet" || setup == "ace" || setup == "signature")
            bytes = QByteArray("\x00\x01\x00\x00", 4) +
                    (setup == "ace" ? "Standard ACE DB" : "Standard Jet DB") +
                    QByteArray(setup == "signature" ? 0 : 2048 - 19, '\0');
        else if (setup == "short")
            bytes = "SQLite form";
        folder.writeFile("dbStory.mdb", bytes);
    }
    StoryStore store;
    QVERIFY(failureOf([&] { store.open(folder.path()); }).contains(description));
    QVERIFY(!store.isOpen());
    QCOMPARE(failureOf([&] { store.allStories(); }), "The story library is not open.");
    store.close();
    store.close();
    // Nothing was created or written, not even a journal.
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             setup == "missing" ? QStringList{} : QStringList{"dbStory.mdb"});
    if (setup != "missing" && setup != "folder") {
        QFile file(folder.libraryPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
    }
}

void TestStoryStore::closedStoreFails_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::newRow("allStories") << Operation([](StoryStore& s) { s.allStories(); });
    QTest::newRow("addStory") << Operation([](StoryStore& s) { s.addStory("x"); });
    QTest::newRow("updateStory") << Operation([](StoryStore& s) {
        (void)s.updateStory(StoryStore::Seen{1, "one", 0}, "x");
    });
    QTest::newRow("deleteStory") << Operation([](StoryStore& s) {
        (void)s.deleteStory(StoryStore::Seen{1, "one", 0});
    });
    QTest::newRow("pick") << Operation([](StoryStore& s) { pick(s, 0.5f); });
}

void TestStoryStore::closedStoreFails()
{
    QFETCH(Operation, operation);
    ProgramFolder folder({"one"});
    StoryStore neverOpened;
    QCOMPARE(failureOf([&] { operation(neverOpened); }), "The story library is not open.");

    StoryStore store;
    store.open(folder.path());
    store.close();
    QCOMPARE(failureOf([&] { operation(store); }), "The story library is not open.");
    store.close();
    // A closed store opens again.
    store.open(folder.path());
    QCOMPARE(failureOf([&] { operation(store); }), "(no failure)");
}

void TestStoryStore::pickTakesTheRuleRow_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<float>("r");
    QTest::addColumn<int>("row");
    QTest::newRow("one row, r = 0") << 1 << 0.0f << 1;
    QTest::newRow("one row, largest r below 1") << 1 << largestBelowOne << 1;
    QTest::newRow("ten rows, r = 0 takes the first") << 10 << 0.0f << 1;
    QTest::newRow("ten rows, r = 0.5") << 10 << 0.5f << 6;
    QTest::newRow("ten rows, largest r below 1 takes the last") << 10 << largestBelowOne << 10;
    QTest::newRow("three rows, r = 0.34") << 3 << 0.34f << 2;
    QTest::newRow("40,000 rows reach past row 32,767") << 40'000 << 0.9f << 36'000;
    QTest::newRow("40,000 rows, largest r below 1 takes the last")
        << 40'000 << largestBelowOne << 40'000;
}

void TestStoryStore::pickTakesTheRuleRow()
{
    QFETCH(int, count);
    QFETCH(float, r);
    QFETCH(int, row);
    ProgramFolder folder(numbered(count));
    StoryStore store;
    store.open(folder.path());
    QCOMPARE(pick(store, r), std::optional<QString>(QStringLiteral("story %1").arg(row)));
}

void TestStoryStore::emptyTable()
{
    ProgramFolder folder;
    StoryStore store;
    store.open(folder.path());
    QVERIFY(store.allStories().isEmpty());
    seedRandom(100.25);
    QCOMPARE(pick(store, 0.5f), std::nullopt);
    QCOMPARE(pick(store, 0.5f), std::nullopt);
    // An empty table draws nothing: the generator's next number is its first.
    const float next = nextRandom();
    seedRandom(100.25);
    QCOMPARE(nextRandom(), next);
}

void TestStoryStore::pickStepsFailInTurnWhenClosed()
{
    StoryStore store;
    StoryStore::Pick pick(store); // line 100 cannot fail
    QStringList failures{failureOf([&] { pick.open(); }), failureOf([&] { pick.hasRows(); }),
                         failureOf([&] { pick.drawRow(0.5f); }),
                         failureOf([&] { pick.moveToRow(); }), failureOf([&] { pick.story(); })};
    QCOMPARE(
        failures,
        (QStringList{"The story library is not open.", "The story table has not been read.",
                     "The story table has not been read.", "The story table has not been read.",
                     "The story table has not been read."}));
}

void TestStoryStore::writeUnderAnotherProgramsHold_data()
{
    QTest::addColumn<QString>("hold"); // another program's, while this store writes
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("failure");
    const Operation add([](StoryStore& s) { s.addStory("new"); });
    const Operation update([](StoryStore& s) {
        if (!s.updateStory(seen(s, 1), "new"))
            throw StoreError("refused");
    });
    const Operation remove([](StoryStore& s) {
        if (!s.deleteStory(seen(s, 1)))
            throw StoreError("refused");
    });
    for (const auto& [name, operation] :
         {std::pair{"add", add}, std::pair{"update", update}, std::pair{"delete", remove}}) {
        QTest::addRow("%s under a write lock", name) << "lock" << operation << "database is locked";
        // The default timeout outlasts a lock held for a moment.
        QTest::addRow("%s after a brief lock", name) << "brief" << operation << "(no failure)";
        QTest::addRow("%s in a read-only file", name)
            << "read-only" << operation << "attempt to write a readonly database";
    }
}

void TestStoryStore::writeUnderAnotherProgramsHold()
{
    QFETCH(QString, hold);
    QFETCH(Operation, operation);
    const QStringList library{"one", "it's two"};
    ProgramFolder folder(library);
    std::optional<ProgramFolder::ReadOnly> readOnly;
    if (hold == "read-only" && !readOnly.emplace(folder.readOnly()).failure().isEmpty())
        QSKIP(qPrintable(readOnly->failure()));
    StoryStore store;
    store.open(folder.path());
    std::optional<ProgramFolder::Lock> lock;
    std::binary_semaphore locked(0);
    std::jthread otherCopy;
    if (hold == "lock") {
        store.setBusyTimeout(50);
        lock.emplace(folder.lock());
    } else if (hold == "brief") {
        otherCopy = std::jthread([&] {
            const ProgramFolder::Lock writer = folder.lock();
            locked.release();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        });
        locked.acquire();
    }
    // Readers pass a write lock and a read-only file alike.
    const QStringList outcomes{failureOf([&] { operation(store); }),
                               failureOf([&] { store.allStories(); }),
                               failureOf([&] { pick(store, 0.0f); })};
    otherCopy = std::jthread();
    QTEST(outcomes.first(), "failure");
    QCOMPARE(outcomes.mid(1), QStringList(2, "(no failure)"));
    if (lock) {
        lock.reset();
        lock.emplace(folder.lock(true));
        QCOMPARE(failureOf([&] { store.allStories(); }), "database is locked");
        QCOMPARE(failureOf([&] { pick(store, 0.5f); }), "database is locked");
        lock.reset();
    }
    QCOMPARE(folder.stories() == library, hold != "brief");
    // Once the hold is let go, the write goes through.
    readOnly.reset();
    if (hold != "brief")
        QCOMPARE(failureOf([&] { operation(store); }), "(no failure)");
    QVERIFY(folder.stories() != library);
}

void TestStoryStore::statementTextIsNeverAScript_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QStringList>("after");
    const QStringList untouched{"one", "two"};
    QTest::newRow("second statement refused before the first runs")
        << "delete from story where id=1; drop table story"
        << "Characters found after end of SQL statement." << untouched;
    QTest::newRow("comment after the end refused")
        << "delete from story;-- tidy"
        << "Characters found after end of SQL statement." << untouched;
    QTest::newRow("blank text refused") << " \r\n"
                                        << "The statement text holds no statement." << untouched;
    QTest::newRow("engine error carries the engine's text")
        << "delete from [stories]"
        << "no such table: stories" << untouched;
    QTest::newRow("trailing semicolon and blanks allowed") << "delete from story where id=1;  \r\n"
                                                           << "(no failure)" << QStringList{"two"};
}

void TestStoryStore::statementTextIsNeverAScript()
{
    QFETCH(QString, sql);
    QFETCH(QString, description);
    QFETCH(QStringList, after);
    ProgramFolder folder({"one", "two"});
    sqlite::Connection connection;
    connection.open(folder.libraryPath());
    QCOMPARE(failureOf([&] { connection.execute(sql); }), description);
    connection.execute("delete from story where id=99"); // still usable
    QCOMPARE(folder.stories(), after);
}

void TestStoryStore::generator()
{
    seedRandom(45296.125);
    QList<float> first;
    for (int i = 0; i < 3; ++i)
        first.append(nextRandom());
    QCOMPARE(first, (QList<float>{0.931242049f, 0.944382906f, 0.925591767f}));
    seedRandom(45296.25); // the fraction alone gives another sequence
    QVERIFY(nextRandom() != first[0]);
}

void TestStoryStore::faults_data()
{
    QTest::addColumn<QString>("planted"); // by another program, before the store opens
    QTest::addColumn<Probe>("probe");
    QTest::addColumn<QString>("outcome");  // the probe's line, or the failure's description
    QTest::addColumn<QStringList>("sent"); // statements that reached the engine
    const QString bom(QChar(0xFEFF));      // a literal would lose it to fromUtf8
    const auto keys = [](StoryStore& s) {
        QStringList keys;
        for (const Story& story : s.allStories())
            keys << story.key + (story.id ? "=" + QString::number(*story.id) : " has no id");
        return keys.join(", ");
    };
    const QString loose = "drop table story; create table story (id, fldstory); "
                          "insert into story values (1.5, 'a'), ('abc', 'b'), (3, 'c'), (3, 'd')";
    QTest::newRow("update of row 2 as seen, its apostrophe quoted")
        << ""
        << Probe([](StoryStore& s) { return QString::number(s.updateStory(seen(s, 2), "a'b")); })
        << "1"
        << QStringList{"select * from [story]", "select * from [story]",
                       "update [story] set fldstory='a''b' where id=2"};
    QTest::newRow("delete of row 2 as seen")
        << "" << Probe([](StoryStore& s) { return QString::number(s.deleteStory(seen(s, 2))); })
        << "1"
        << QStringList{"select * from [story]", "select * from [story]",
                       "delete from [story] where id=2"};
    QTest::newRow("NUL refused before any statement")
        << "" << Probe([](StoryStore& s) {
               s.addStory(QString::fromUtf16(u"before\0after", 12));
               return QString();
           })
        << "The story holds a NUL character (code 0), which the library cannot store. Remove "
           "it and try again."
        << QStringList{};
    QTest::newRow("lone surrogate refused before any statement")
        << "" << Probe([](StoryStore& s) {
               return QString::number(
                   s.updateStory(StoryStore::Seen{1, "one", 0}, QString(QChar(0xD800)) + "x"));
           })
        << "The story holds a broken character (a lone UTF-16 surrogate, as pasted text "
           "sometimes does), which the library cannot store exactly. Remove it and try again."
        << QStringList{};
    QTest::newRow("leading U+FEFF read back and picked exactly")
        << "update story set fldstory=char(65279)||'one' where id=1"
        << Probe([](StoryStore& s) { return *s.allStories()[0].fldstory + "|" + *pick(s, 0.0f); })
        << bom + "one|" + bom + "one"
        << QStringList{"select * from [story]", "select * from [story]", "select * from [story]"};
    QTest::newRow("a null story is listed, and fails a pick that reaches it")
        << "update story set fldstory=null where id=2" << Probe([](StoryStore& s) {
               QStringList stories;
               for (const Story& story : s.allStories())
                   stories << QString::number(story.id.value_or(-1)) + " " +
                                  story.fldstory.value_or("null");
               return stories.join(", ") + " | " + failureOf([&] { pick(s, 0.5f); }) + " | " +
                      pick(s, 0.0f).value_or("none");
           })
        << "1 one, 2 null | " + Failure::invalidUseOfNull + " | one"
        << QStringList(5, "select * from [story]");
    QTest::newRow("keys as stored: reals, texts and repeats have no single row")
        << loose << Probe(keys) << "1.5 has no id, abc has no id, 3=3, 3=3"
        << QStringList{"select * from [story]"};
    // Save and its refill share one timeout; the next action has its own.
    QTest::newRow("under a lock each action's statements wait one timeout in all")
        << "lock" << Probe([](StoryStore& s) {
               s.setBusyTimeout(50);
               QString waits;
               for (int action = 0; action < 2; ++action) {
                   const StoryStore::Action a(s, [&](bool w) { waits += w ? "wait " : "end "; });
                   failureOf([&] { s.addStory("new"); });
                   failureOf([&] { s.allStories(); });
               }
               return waits;
           })
        << "wait end wait end " << QStringList{}; // none gets past reading the schema
}

void TestStoryStore::faults()
{
    QFETCH(QString, planted);
    QFETCH(Probe, probe);
    ProgramFolder folder({"one", "two"});
    std::optional<ProgramFolder::Lock> lock;
    if (planted == "lock")
        lock.emplace(folder.lock(true));
    else if (!planted.isEmpty())
        folder.exec(planted);
    Logged logged(folder.path());
    QString outcome;
    try {
        outcome = probe(logged.store);
    } catch (const StoreError& e) {
        outcome = e.description();
    }
    QTEST(outcome, "outcome");
    QTEST(logged.statements, "sent");
}

void TestStoryStore::libraryChangedFromOutside_data()
{
    // This store's actions: "seen" reads the list and keeps row 3 as shown,
    // "update" and "delete" write it as seen, "list", "add". Another
    // program's: "other:sql", "cut", "restore", "replace" (moves another
    // library over it). "read-only" opens the store while the file is.
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("outcomes"); // of this store's actions, and the rows on file
    const QString reuse = "other:delete from story where id=3; insert into story (fldstory) "
                          "values ('theirs')";
    QTest::newRow("nothing changed: the update writes after one look")
        << QStringList{"seen", "update"} << "written, 1 read | 1 one, 2 two, 3 mine";
    QTest::newRow("nothing changed: the delete removes its row after one look")
        << QStringList{"seen", "delete"} << "written, 1 read | 1 one, 2 two";
    QTest::newRow("another row changed: the update reads the table and still writes")
        << QStringList{"seen", "other:update story set fldstory='1' where id=1", "update"}
        << "written, 2 read | 1 1, 2 two, 3 mine";
    QTest::newRow("last row deleted, its key given to a new story: update and delete refused")
        << QStringList{"seen", reuse, "update", "delete"}
        << "refused, 2 read | refused, 2 read | 1 one, 2 two, 3 theirs";
    QTest::newRow("the row edited: update refused")
        << QStringList{"seen", "other:update story set fldstory='x' where id=3", "update"}
        << "refused, 2 read | 1 one, 2 two, 3 x";
    QTest::newRow("the row edited under a write lock the update waits for: refused after the wait")
        << QStringList{"seen", "locked:update story set fldstory='x' where id=3", "update"}
        << "refused after a wait | 1 one, 2 two, 3 x";
    QTest::newRow("the row's key given to a second row too: update refused")
        << QStringList{"seen",
                       "other:drop table story; create table story (id, fldstory); insert into "
                       "story values (1, 'one'), (2, 'two'), (3, 'three'), (3, 'three')",
                       "update"}
        << "refused, 2 read | 1 one, 2 two, 3 three, 3 three";
    QTest::newRow("the row deleted: delete refused")
        << QStringList{"seen", "other:delete from story where id=3", "delete"}
        << "refused, 2 read | 1 one, 2 two";
    QTest::newRow("read-only at start-up, then writable: the first add is stored")
        << QStringList{"read-only", "list", "add"}
        << "one two three | added | 1 one, 2 two, 3 three, 4 new";
    QTest::newRow("cut to 0 bytes and restored in place: each list says so, then reads it")
        << QStringList{"cut", "list", "list", "restore", "list"}
        << "no such table: story | dbStory.mdb is empty: it is not an SQLite database. | "
           "one two three | 1 one, 2 two, 3 three";
    QTest::newRow("another library moved over it: read and written at once")
        << QStringList{"replace", "list", "add"} << "other | added | 1 other, 2 new";
    QTest::newRow("a pick after another program's or this store's add reaches the new last row")
        << QStringList{"pick", "other:insert into story (fldstory) values ('theirs')",
                       "pick", "add",
                       "pick", "other:delete from story where id=1",
                       "pick"}
        << "three | theirs | added | new | new | 2 two, 3 three, 4 theirs, 5 new";
}

void TestStoryStore::libraryChangedFromOutside()
{
    ProgramFolder folder({"one", "two", "three"});
    const QString library = folder.libraryPath();
    const QByteArray saved = contents(library);
    Logged logged(folder.path());
    StoryStore& store = logged.store;
    StoryStore::Seen seen{};
    QStringList outcomes;
    std::atomic<bool> waited = false;
    std::binary_semaphore changed(0);
    std::jthread other;
    const auto write = [&](bool update) {
        logged.statements.clear();
        const StoryStore::Action action(store, [&](bool waiting) { waited = waited || waiting; });
        const bool written = update ? store.updateStory(seen, "mine") : store.deleteStory(seen);
        // How often the table is read while waiting depends on how long the wait lasts.
        outcomes << QString(written ? "written" : "refused") +
                        (waited ? QStringLiteral(" after a wait")
                                : QStringLiteral(", %1 read")
                                      .arg(logged.statements.count("select * from [story]")));
    };
    ActionScript script;
    script
        .on("seen",
            [&](const QString&) {
                const Story row = store.allStories().value(2);
                seen = {*row.id, *row.fldstory, store.dataVersion()};
            })
        .on("update", [&](const QString&) { write(true); })
        .on("delete", [&](const QString&) { write(false); })
        .on("list",
            [&](const QString&) {
                QStringList stories;
                for (const Story& story : store.allStories())
                    stories << *story.fldstory;
                outcomes << stories.join(' ');
            })
        .on("add",
            [&](const QString&) {
                store.addStory("new");
                outcomes << "added";
            })
        .on("pick", [&](const QString&) { outcomes << pick(store, largestBelowOne).value(); })
        .on("other", [&](const QString& sql) { folder.exec(sql); })
        .on("locked",
            [&](const QString& sql) {
                // Committed only once this store waits for the lock.
                other = std::jthread([&, sql] {
                    const ProgramFolder::Lock lock = folder.lock(false, sql);
                    changed.release();
                    for (int i = 0; i < 5000 && !waited; ++i)
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                });
                changed.acquire();
            })
        .on("read-only",
            [&](const QString&) {
                const ProgramFolder::ReadOnly readOnly = folder.readOnly();
                QVERIFY2(readOnly.failure().isEmpty(), qPrintable(readOnly.failure()));
                store.open(folder.path());
            })
        .on("cut", [&](const QString&) { QVERIFY(QFile(library).resize(0)); })
        .on("restore", [&](const QString&) { folder.writeFile("dbStory.mdb", saved); })
        .on("replace", [&](const QString&) {
            const ProgramFolder other({"other"});
            QVERIFY(QFile::copy(other.libraryPath(), library + ".new"));
            QCOMPARE(std::rename(QFile::encodeName(library + ".new").constData(),
                                 QFile::encodeName(library).constData()),
                     0);
        });
    QFETCH(QStringList, actions);
    for (const QString& action : actions) {
        try {
            QCOMPARE(script.run({action}), QString());
        } catch (const StoreError& e) {
            outcomes << e.description();
        }
    }
    other = std::jthread(); // the other program's commit is done
    QStringList rows;
    for (const ProgramFolder::Row& row : folder.rows())
        rows << QString::number(row.id) + " " + row.story.value_or(QString());
    QTEST(QStringList(outcomes << rows.join(", ")).join(" | "), "outcomes");
}

void TestStoryStore::fileCutShortWhileReadIsAFailureNotACrash()
{
    // Another program cuts the library short in the middle of a read (as the
    // pick's counting cursor starts under the first cursor's read), then a
    // restore writes it back. Every read either succeeds or fails as StoreError;
    // a memory-mapped read would end the process with SIGBUS instead. The
    // engine maps files here by default, as some builds of it do: the store
    // must turn the map off itself.
    sqlite3_shutdown();
    QCOMPARE(sqlite3_config(SQLITE_CONFIG_MMAP_SIZE, qint64(1) << 30, qint64(1) << 30), SQLITE_OK);
    QCOMPARE(sqlite3_initialize(), SQLITE_OK);
    ProgramFolder folder(QStringList(3000, QString(400, u'q')));
    const QString library = folder.libraryPath();
    const QByteArray whole = contents(library);
    StoryStore store;
    int selects = 0;
    store.setStatementObserver([&](const QString&) {
        if (++selects % 2 == 0)
            QFile(library).resize(8192);
    });
    QStringList outcomes;
    for (const auto& read : {std::function<void()>([&] { pick(store, 0.99f); }),
                             std::function<void()>([&] { store.allStories(); })}) {
        folder.writeFile("dbStory.mdb", whole); // in place, as cp does
        store.open(folder.path());
        try {
            read();
            outcomes << "read";
        } catch (const StoreError&) {
            outcomes << "StoreError";
        }
        // A connection that saw the file cut short may keep what it saw.
        store.close();
    }
    // The list read starts on the whole file again, and reads it.
    QCOMPARE(outcomes, (QStringList{"StoreError", "read"}));
}

QTEST_GUILESS_MAIN(TestStoryStore)
#include "tst_storystore.moc"
