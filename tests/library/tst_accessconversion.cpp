#include "jetfixture.h"
#include "library/accessconversion.h"
#include "library/durablefile.h"
#include "programfolder.h"
#include "stories/storystore.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using AccessConversion::Step;
using JetFixture::Patch;
Q_DECLARE_METATYPE(Patch)
Q_DECLARE_METATYPE(AccessConversion::Step)

namespace {

// makejet's Jet 4 files: pages of 4096 bytes, the story table's definition on
// page 3, then the pages of its long texts, then its rows.
constexpr int page = 4096;
constexpr int firstRow = 14; // on a data page, where the first row's offset is

quint16 get16(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

void put32(QByteArray& bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

// The header is enciphered by a fixed stream, so flipping a bit of a stored
// byte flips the same bit of the password or the key.
Patch flip(qsizetype at, char bits)
{
    return [=](QByteArray& bytes) { bytes[at] = char(bytes[at] ^ bits); };
}

QString fixture(const QString& name)
{
    return QStringLiteral(JET_FIXTURES "/") + name;
}

QStringList entries(const ProgramFolder& folder)
{
    return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

const QString kept = QStringLiteral("dbStory.access.mdb");

// The whole folder after a conversion: the library with exactly these stories,
// and beside it exactly these files with these bytes.
void compareFolder(const ProgramFolder& folder, const QList<ProgramFolder::Row>& want,
                   const QMap<QString, QByteArray>& beside)
{
    QCOMPARE(entries(folder), QStringList(beside.keys()) << QStringLiteral("dbStory.mdb"));
    for (auto file = beside.begin(); file != beside.end(); ++file)
        QVERIFY2(JetFixture::bytes(folder.filePath(file.key())) == file.value(),
                 qPrintable(file.key()));
    StoryStore store;
    store.open(folder.path());
    const QList<Story> stories = store.allStories();
    QCOMPARE(stories.size(), want.size());
    for (qsizetype i = 0; i < want.size(); ++i)
        QVERIFY2(stories[i].id == want[i].id && stories[i].fldstory == want[i].story,
                 qPrintable(stories[i].key));
}

} // namespace

class TestAccessConversion : public QObject
{
    Q_OBJECT

private slots:
    void convertsEveryStoryExactly_data();
    void convertsEveryStoryExactly();
    void refusalLeavesTheFolderAsItWas_data();
    void refusalLeavesTheFolderAsItWas();
    void killedAtAnyStepTheNextStartEndsWithEveryStory_data();
    void killedAtAnyStepTheNextStartEndsWithEveryStory();
    void readerEndsWithTheProgram();
};

void TestAccessConversion::convertsEveryStoryExactly_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<qint64>("nextKey");
    QTest::addColumn<Patch>("patch");
    QTest::addColumn<QString>("expected"); // when it is not what makejet wrote
    QTest::addColumn<QString>("present");  // already named dbStory.access.mdb: "copy" or "other"
    const auto row = [](const char* name, const QStringList& options, const char* rows,
                        qint64 nextKey, const Patch& patch = {}, const char* expected = "",
                        const char* present = "") {
        QTest::newRow(name) << options << rows << nextKey << patch << expected << present;
    };
    row("Jet 4 memo", {}, "stories.json", 12);
    row("Jet 4 compressed Unicode", {"--compress"}, "stories.json", 12);
    row("Jet 4 Text column", {"--text-column"}, "stories.json", 12);
    row("ACE", {"--ace"}, "stories.json", 12);
    row("Jet 3 memo in its code page", {"--jet3"}, "cp1252.json", 6);
    row("Jet 3 Text column", {"--jet3", "--text-column"}, "cp1252.json", 6);
    row("Integer key", {"--id-type", "int"}, "stories.json", 12);
    row("table found among others without regard to case",
        {"--table", "STORY", "--columns", "ID,FldStory", "--extra-table",
         "Authors:" + fixture("cp1252.json")},
        "stories.json", 12);
    row("deleted rows left out, their keys never given again", {"--deleted", "5,11"},
        "stories.json", 12);
    row("AutoNumber counter's keys never given again", {"--id-type", "autonumber"}, "stories.json",
        501, [](QByteArray& b) { put32(b, 3 * page + 20, 500); });
    row("long memos on chains of pages",
        {"--seed", "7", "--random-stories", "60", "--inline-max", "0"}, "", 61);
    row("Jet 3 long memos", {"--jet3", "--seed", "3", "--random-stories", "30"}, "", 31);
    row("usage map on a page of its own", {"--usage-map", "1"}, "stories.json", 12);
    // Access moves a row that outgrows its page and leaves a pointer in its place.
    row(
        "row moved to another place", {"--deleted", "2"}, "moved.json", 3,
        [](QByteArray& b) {
            const quint16 at = get16(b, 4 * page + firstRow);
            qToLittleEndian<quint16>(at | 0x4000, b.data() + 4 * page + firstRow);
            put32(b, 4 * page + at, (4 << 8) | 1);
        },
        "moved.expected.json");
    row("lone surrogates become U+FFFD, the character after them kept", {}, "lonesurrogates.json",
        4, {}, "lonesurrogates.expected.json");
    row("a whole copy already under the kept name is the kept file", {}, "stories.json", 12, {}, "",
        "copy");
    row("another file of its size under the kept name stays; the Access file is kept beside it", {},
        "stories.json", 12, {}, "", "other");
}

void TestAccessConversion::convertsEveryStoryExactly()
{
    QFETCH(QStringList, options);
    QFETCH(QString, rows);
    QFETCH(qint64, nextKey);
    QFETCH(Patch, patch);
    QFETCH(QString, expected);
    QFETCH(QString, present);
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    const QString library = folder.libraryPath();
    QList<ProgramFolder::Row> want = JetFixture::make(library, options, rows, patch);
    if (!expected.isEmpty())
        want = JetFixture::rows(fixture(expected));
    const QByteArray original = JetFixture::bytes(library);
    QMap<QString, QByteArray> beside;
    if (!present.isEmpty()) {
        beside[kept] = original;
        if (present == "other")
            beside[kept].back() ^= 1;
        folder.writeFile(kept, beside[kept]);
    }
    const QString keptAs = present == "other" ? QStringLiteral("dbStory.access-2.mdb") : kept;
    beside[keptAs] = original;

    // The count told rises to every story, of as many as the table says it holds.
    AccessConversion::Options watched;
    QList<qint64> told;
    bool claimedAll = true;
    watched.progress = [&](const AccessConversion::Progress& progress) {
        if (progress.claimed == 0)
            return; // before the table is found
        told << progress.read;
        claimedAll = claimedAll && progress.claimed == want.size();
    };
    std::optional<AccessConversion::Result> result;
    try {
        result = AccessConversion::convertIfAccess(library, JetFixture::reader(), watched);
    } catch (const StoreError& failure) {
        QFAIL(qPrintable(failure.description()));
    }
    QVERIFY(result);
    QVERIFY(claimedAll && std::is_sorted(told.begin(), told.end()) && told.last() == want.size());
    QCOMPARE(result->stories, want.size());
    QCOMPARE(result->keptAs, keptAs);
    compareFolder(folder, want, beside);
    StoryStore store;
    store.open(folder.path());
    store.addStory(QStringLiteral("A new story."));
    QCOMPARE(store.allStories().last().id, std::optional<qint64>(nextKey));
}

void TestAccessConversion::refusalLeavesTheFolderAsItWas_data()
{
    QTest::addColumn<QString>("because");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<Patch>("patch");
    QTest::addColumn<QString>("reader"); // a faulty one, "missing", or empty for the real one
    QTest::addColumn<QString>("setup");
    const auto row = [](const char* name, const char* because, const QStringList& options = {},
                        const Patch& patch = {}, const char* reader = "", const char* setup = "") {
        QTest::newRow(name) << because << options << patch << reader << setup;
    };
    row("no table story among others", "it has no table named story",
        {"--table", "Stories", "--extra-table", "Authors:" + fixture("stories.json")});
    row("no column fldstory", "its table story has no text column fldstory",
        {"--columns", "id,text"});
    row("no column id", "its table story has no whole-number column id",
        {"--columns", "key,fldstory"});
    row("password", "it is protected by a password", {}, flip(0x42, 's'));
    row("Jet 3 password", "it is protected by a password", {"--jet3"}, flip(0x42, 's'));
    row("encryption", "it is encrypted", {}, flip(0x3E, 1));
    row("file cut short", "it is damaged: its list of tables cannot be read", {},
        [](QByteArray& b) { b.truncate(4 * page); });
    // The long text's second page names its first as the next.
    row("long text whose pages loop", "runs in a loop of pages",
        {"--seed", "1", "--random-stories", "1", "--story-length", "5000"},
        [](QByteArray& b) { put32(b, 5 * page + get16(b, 5 * page + firstRow), 4 << 8); });
    row("folder that cannot be written", "cannot be written (Permission denied)", {}, {}, "",
        "read-only folder");
    row("not enough disk space", "there is not enough free disk space for the new library", {}, {},
        "", "full disk");
    row("reader crashes", "the program that reads it stopped unexpectedly", {}, {}, "crash");
    row("reader hangs", "reading it took longer than 1 second", {}, {}, "hang");
    row("reader takes memory without end", "reading it needed more than 64 MB of memory", {}, {},
        "hog");
    row("reader missing", "could not be started", {}, {}, "missing");
    // The first data page of the table defined on page 3; a row's key follows
    // its column count.
    row("two stories with the same id", "two of its stories have the same id, 1", {},
        [](QByteArray& b) {
            qsizetype at = 4 * page;
            while (b[at] != 1 || qFromLittleEndian<quint32>(b.constData() + at + 4) != 3)
                at += page;
            put32(b, at + (get16(b, at + firstRow + 2) & 0x1FFF) + 2, 1);
        });
    row("kept copy on a full disk, no links",
        "there is not enough free disk space for dbStory.access.mdb, the copy of the Access file",
        {}, {}, "", "kept copy on a full disk");
    row("cancelled", "the conversion was cancelled", {}, {}, "", "cancelled");
    row("another copy converting it for longer than the wait",
        "another copy of the program has been converting it for more than 1 second", {}, {}, "",
        "locked");
}

void TestAccessConversion::refusalLeavesTheFolderAsItWas()
{
    QFETCH(QString, because);
    QFETCH(QStringList, options);
    QFETCH(Patch, patch);
    QFETCH(QString, reader);
    QFETCH(QString, setup);
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    const QString library = folder.libraryPath();
    const char* rows = options.contains("--random-stories") ? ""
                       : options.contains("--jet3")         ? "cp1252.json"
                                                            : "stories.json";
    JetFixture::make(library, options, QString::fromLatin1(rows), patch);
    const QByteArray original = JetFixture::bytes(library);
    AccessConversion::Options limits;
    limits.timeLimit = std::chrono::seconds(reader == "hang" ? 1 : 120);
    if (reader == "hog")
        limits.memoryLimit = qint64(64) << 20;
    const QString program =
        reader.isEmpty() ? JetFixture::reader() : JetFixture::faultyReader(reader);
    limits.lockLimit = std::chrono::milliseconds(200);
    if (setup == "cancelled")
        limits.cancelled = [] { return true; };
    const Descriptor other(::open(QFile::encodeName(library).constData(), O_RDONLY));
    if (setup == "locked")
        QCOMPARE(::flock(other, LOCK_EX), 0);
    std::optional<ProgramFolder::ReadOnly> readOnly;
    if (setup == "full disk") {
        qputenv("LD_PRELOAD", NO_SPACE);
    } else if (setup == "read-only folder") {
        // Root, whom the modes do not stop, runs as nobody meanwhile.
        readOnly.emplace(folder.readOnly());
        QVERIFY2(readOnly->failure().isEmpty(), qPrintable(readOnly->failure()));
        QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                 QFile::ExeOther);
    }

    QString message = QStringLiteral("(converted)");
    if (setup == "kept copy on a full disk") {
        // The full disk is preloaded into a conversion of its own.
        QProcess conversion;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LD_PRELOAD", NO_SPACE);
        environment.insert("NOSPACE_SUFFIX", ".keeping");
        conversion.setProcessEnvironment(environment);
        conversion.start(QCoreApplication::applicationFilePath(), {"convert", library, program});
        QVERIFY(conversion.waitForFinished(120000));
        message = QString::fromUtf8(conversion.readAllStandardOutput());
    }
    try {
        if (message == "(converted)")
            AccessConversion::convertIfAccess(library, program, limits);
    } catch (const StoreError& failure) {
        message = failure.description();
    }
    const QStringList left = entries(folder);
    const bool unchanged = JetFixture::bytes(library) == original;
    qunsetenv("LD_PRELOAD");
    readOnly.reset();
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY2(message.startsWith(
                 QStringLiteral("dbStory.mdb is a Microsoft Access story library. It could not be "
                                "converted into a library of this program, because ")) &&
                 message.contains(because) &&
                 message.endsWith(QStringLiteral("dbStory.mdb was left unchanged.")),
             qPrintable(message));
    QCOMPARE(left, QStringList{"dbStory.mdb"});
    QVERIFY(unchanged);
}

void TestAccessConversion::killedAtAnyStepTheNextStartEndsWithEveryStory_data()
{
    QTest::addColumn<Step>("step");
    QTest::addColumn<bool>("meanwhile"); // no kill: another start-up converts meanwhile
    const char* const names[] = {"reader started",     "reader finished",  "Access file kept",
                                 "new library synced", "library in place", "done"};
    for (int step = 0; step <= int(Step::Done); ++step)
        QTest::addRow("killed after: %s", names[step]) << Step(step) << false;
    QTest::newRow("another start-up while the reader runs waits, then finds it converted")
        << Step::ReaderStarted << true;
}

void TestAccessConversion::killedAtAnyStepTheNextStartEndsWithEveryStory()
{
    QFETCH(Step, step);
    QFETCH(bool, meanwhile);
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    const QString library = folder.libraryPath();
    const auto want = JetFixture::make(library, {"--seed", "5", "--random-stories", "20"});
    const QByteArray original = JetFixture::bytes(library);
    int reached[2];
    QCOMPARE(::pipe(reached), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        AccessConversion::Options options;
        options.observer = [&](Step now) {
            if (now == step && !meanwhile)
                ::kill(::getpid(), SIGKILL);
            if (now == step && ::write(reached[1], "!", 1) == 1)
                ::sleep(1); // for the other start-up to get under way
        };
        // A refusal ends this copy here: the test's own handlers cannot run in a fork.
        try {
            AccessConversion::convertIfAccess(library, JetFixture::reader(), options);
        } catch (const StoreError&) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    ::close(reached[1]);
    bool waited = false;
    const auto next = [&] {
        AccessConversion::Options options;
        options.progress = [&](const AccessConversion::Progress& p) { waited |= p.waiting; };
        return AccessConversion::convertIfAccess(library, JetFixture::reader(), options);
    };
    std::optional<AccessConversion::Result> second;
    char signal = 0;
    if (meanwhile && ::read(reached[0], &signal, 1) == 1)
        second = next();
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    ::close(reached[0]);
    QVERIFY(meanwhile ? WIFEXITED(status) && WEXITSTATUS(status) == 0
                      : WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    // The name held the Access file or the whole library, never anything between.
    const QByteArray now = JetFixture::bytes(library);
    QVERIFY(now == original || now.startsWith("SQLite format 3"));
    if (!meanwhile)
        second = next();
    QVERIFY(!meanwhile || (!second && waited)); // converted once only, after a wait told
    // One kept file: the first one is reused rather than a second made.
    compareFolder(folder, want, {{kept, original}});
}

void TestAccessConversion::readerEndsWithTheProgram()
{
    // The orphaned reader comes to this process, which can then see how it ended.
    QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    JetFixture::make(folder.libraryPath(), {}, QStringLiteral("stories.json"));
    const QString newLibrary = folder.libraryPath() + QStringLiteral(".converting");
    const pid_t child = ::fork();
    if (child == 0) {
        AccessConversion::Options options;
        // Killed once the hanging reader has written its process id.
        options.observer = [&](Step) {
            for (int i = 0; i < 500 && QFileInfo(newLibrary).size() == 0; ++i)
                ::usleep(10000);
            ::kill(::getpid(), SIGKILL);
        };
        AccessConversion::convertIfAccess(folder.libraryPath(), JetFixture::faultyReader("hang"),
                                          options);
        ::_exit(0);
    }
    QCOMPARE(::waitpid(child, nullptr, 0), child);
    const pid_t reader = JetFixture::bytes(newLibrary).trimmed().toInt();
    QVERIFY(reader > 0);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 500 && ended == 0; ++i)
        if ((ended = ::waitpid(reader, &status, WNOHANG)) == 0)
            ::usleep(10000);
    if (ended == 0)
        ::kill(reader, SIGKILL);
    QCOMPARE(ended, reader);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

// Run as "convert <library> <reader>", the test converts in a process of its
// own and prints what a refusal says.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "convert") == 0) {
        try {
            AccessConversion::convertIfAccess(QString::fromLocal8Bit(argv[2]),
                                              QString::fromLocal8Bit(argv[3]));
        } catch (const StoreError& failure) {
            std::fputs(failure.description().toUtf8().constData(), stdout);
        }
        return 0;
    }
    TestAccessConversion test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_accessconversion.moc"
