#include "jetfixture.h"
#include "programfolder.h"
#include "stories/accessconversion.h"
#include "stories/storystore.h"

#include <QDir>
#include <QTest>
#include <QtEndian>

#include <functional>

#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using AccessConversion::Step;
// A change to a fixture's bytes: damage, or a form makejet cannot write.
using Patch = std::function<void(QByteArray&)>;
Q_DECLARE_METATYPE(Patch)
Q_DECLARE_METATYPE(AccessConversion::Step)

namespace {

// makejet's Jet 4 files: pages of 4096 bytes, the story table's definition on
// page 3, then the pages of its long texts, then its rows.
constexpr int page = 4096;
constexpr int rowOffsets = 14; // on a data page, the first row's offset

quint16 get16(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

void put32(QByteArray& bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

Patch flip(qsizetype at, char bits)
{
    return [=](QByteArray& bytes) { bytes[at] = char(bytes[at] ^ bits); };
}

QString fixture(const QString& name)
{
    return QStringLiteral(JET_FIXTURES "/") + name;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

const QString kept = QStringLiteral("dbStory.access.mdb");

// What a conversion that should refuse gave and left.
struct Outcome
{
    QString message;
    QStringList entries;
    bool unchanged = false;
};

Outcome attempt(const QString& folder, const QByteArray& original, const QString& reader,
                const AccessConversion::Options& options)
{
    Outcome outcome;
    const QString library = StoryStore::storyFilePath(folder);
    try {
        AccessConversion::convertIfAccess(library, reader, options);
        outcome.message = QStringLiteral("(converted)");
    } catch (const StoreError& failure) {
        outcome.message = failure.description();
    }
    outcome.entries = entries(folder);
    outcome.unchanged = JetFixture::bytes(library) == original;
    return outcome;
}

// The attempt on a file system with room for the Access file and little more:
// a small tmpfs over the folder, in a mount namespace of a child of its own.
// Nothing when no such namespace can be made here.
std::optional<Outcome> attemptOnFullDisk(const QString& folder, const QByteArray& original,
                                         const QString& reader)
{
    int pipe[2];
    if (::pipe(pipe) != 0)
        return Outcome{QStringLiteral("(no pipe)"), {}, false};
    const pid_t child = ::fork();
    if (child == 0) {
        QByteArray report = "(no namespace)";
        const QByteArray size = "size=" + QByteArray::number(original.size() + 64 * 1024);
        if (::unshare(CLONE_NEWNS) == 0 &&
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            ::mount("tmpfs", QFile::encodeName(folder), "tmpfs", 0, size.constData()) == 0) {
            JetFixture::write(StoryStore::storyFilePath(folder), original);
            const Outcome outcome = attempt(folder, original, reader, {});
            report = (outcome.message + u'\n' + outcome.entries.join(u'/') + u'\n' +
                      (outcome.unchanged ? u'1' : u'0'))
                         .toUtf8();
        }
        ::_exit(::write(pipe[1], report.constData(), size_t(report.size())) == report.size() ? 0
                                                                                             : 1);
    }
    ::close(pipe[1]);
    QByteArray report;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, got);
    ::close(pipe[0]);
    ::waitpid(child, nullptr, 0);
    if (report == "(no namespace)")
        return std::nullopt;
    const QStringList lines = QString::fromUtf8(report).split(u'\n');
    if (lines.size() != 3)
        return Outcome{QString::fromUtf8(report), {}, false};
    return Outcome{lines[0], lines[1].split(u'/'), lines[2] == u'1'};
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
    void ownLibraryIsLeftAlone();
};

void TestAccessConversion::convertsEveryStoryExactly_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<Patch>("patch");
    QTest::addColumn<QString>("expected"); // when it is not what makejet wrote
    QTest::addColumn<qint64>("nextKey");
    const QString stories = QStringLiteral("stories.json");
    const QString cp1252 = QStringLiteral("cp1252.json");
    QTest::newRow("Jet 4 memo") << QStringList{} << stories << Patch{} << QString() << qint64(12);
    QTest::newRow("Jet 4 compressed Unicode")
        << QStringList{"--compress"} << stories << Patch{} << QString() << qint64(12);
    QTest::newRow("Jet 4 Text column")
        << QStringList{"--text-column"} << stories << Patch{} << QString() << qint64(12);
    QTest::newRow("ACE") << QStringList{"--ace"} << stories << Patch{} << QString() << qint64(12);
    QTest::newRow("Jet 3 memo in its code page")
        << QStringList{"--jet3"} << cp1252 << Patch{} << QString() << qint64(6);
    QTest::newRow("Jet 3 Text column")
        << QStringList{"--jet3", "--text-column"} << cp1252 << Patch{} << QString() << qint64(6);
    QTest::newRow("Integer key") << QStringList{"--id-type", "int"} << stories << Patch{}
                                 << QString() << qint64(12);
    QTest::newRow("table found among others without regard to case")
        << QStringList{"--table",     "STORY",         "--columns",
                       "ID,FldStory", "--extra-table", "Authors:" + fixture(cp1252)}
        << stories << Patch{} << QString() << qint64(12);
    QTest::newRow("deleted rows left out, their keys never given again")
        << QStringList{"--deleted", "5,11"} << stories << Patch{} << QString() << qint64(12);
    QTest::newRow("AutoNumber counter's keys never given again")
        << QStringList{"--id-type", "autonumber"} << stories
        << Patch([](QByteArray& b) { put32(b, 3 * page + 20, 500); }) << QString() << qint64(501);
    QTest::newRow("long memos on chains of pages")
        << QStringList{"--seed", "7", "--random-stories", "60", "--inline-max", "0"} << QString()
        << Patch{} << QString() << qint64(61);
    QTest::newRow("Jet 3 long memos")
        << QStringList{"--jet3", "--seed", "3", "--random-stories", "30"} << QString() << Patch{}
        << QString() << qint64(31);
    QTest::newRow("usage map on a page of its own")
        << QStringList{"--usage-map", "1"} << stories << Patch{} << QString() << qint64(12);
    // Access moves a row that outgrows its page and leaves a pointer in its place.
    QTest::newRow("row moved to another place")
        << QStringList{"--deleted", "2"} << QStringLiteral("moved.json")
        << Patch([](QByteArray& b) {
               const qsizetype slot = 4 * page + rowOffsets;
               const quint16 first = get16(b, slot);
               qToLittleEndian<quint16>(first | 0x4000, b.data() + slot);
               put32(b, 4 * page + first, (4 << 8) | 1);
           })
        << QStringLiteral("moved.expected.json") << qint64(3);
    QTest::newRow("lone surrogates become U+FFFD, the character after them kept")
        << QStringList{} << QStringLiteral("lonesurrogates.json") << Patch{}
        << QStringLiteral("lonesurrogates.expected.json") << qint64(4);
}

void TestAccessConversion::convertsEveryStoryExactly()
{
    QFETCH(QStringList, options);
    QFETCH(QString, rows);
    QFETCH(Patch, patch);
    QFETCH(QString, expected);
    QFETCH(qint64, nextKey);
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    const QString library = folder.libraryPath();
    QList<ProgramFolder::Row> want = JetFixture::make(library, options, rows);
    if (!expected.isEmpty())
        want = JetFixture::rows(fixture(expected));
    QByteArray original = JetFixture::bytes(library);
    if (patch) {
        patch(original);
        JetFixture::write(library, original);
    }

    std::optional<AccessConversion::Result> result;
    try {
        result = AccessConversion::convertIfAccess(library, JetFixture::reader());
    } catch (const StoreError& failure) {
        QFAIL(qPrintable(failure.description()));
    }
    QVERIFY(result);
    QCOMPARE(result->stories, want.size());
    QCOMPARE(result->keptAs, kept);
    QCOMPARE(entries(folder.path()), QStringList({kept, "dbStory.mdb"}));
    QVERIFY(JetFixture::bytes(folder.filePath(kept)) == original);

    StoryStore store;
    store.open(folder.path());
    const QList<Story> stories = store.allStories();
    QCOMPARE(stories.size(), want.size());
    for (qsizetype i = 0; i < want.size(); ++i) {
        QCOMPARE(stories[i].id, std::optional<qint64>(want[i].id));
        QVERIFY2(stories[i].fldstory == want[i].story, qPrintable(stories[i].key));
    }
    store.addStory(QStringLiteral("A new story."));
    QCOMPARE(store.allStories().last().id, std::optional<qint64>(nextKey));
}

void TestAccessConversion::refusalLeavesTheFolderAsItWas_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<Patch>("patch");
    QTest::addColumn<QString>("reader"); // empty: the real one
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("because");
    const QString stories = QStringLiteral("stories.json");
    QTest::newRow("no table story among others")
        << QStringList{"--table", "Stories", "--extra-table", "Authors:" + fixture(stories)}
        << stories << Patch{} << QString() << QString() << "it has no table named story";
    QTest::newRow("no column fldstory")
        << QStringList{"--columns", "id,text"} << stories << Patch{} << QString() << QString()
        << "its table story has no text column fldstory";
    QTest::newRow("no column id") << QStringList{"--columns", "key,fldstory"} << stories << Patch{}
                                  << QString() << QString()
                                  << "its table story has no whole-number column id";
    // The header is enciphered by a fixed stream, so flipping a bit of the
    // stored byte flips the same bit of the password or key.
    QTest::newRow("password") << QStringList{} << stories << flip(0x42, 's') << QString()
                              << QString() << "it is protected by a password";
    QTest::newRow("Jet 3 password")
        << QStringList{"--jet3"} << QStringLiteral("cp1252.json") << flip(0x42, 's') << QString()
        << QString() << "it is protected by a password";
    QTest::newRow("encryption") << QStringList{} << stories << flip(0x3E, 1) << QString()
                                << QString() << "it is encrypted";
    QTest::newRow("file cut short")
        << QStringList{} << stories << Patch([](QByteArray& b) { b.truncate(4 * page); })
        << QString() << QString() << "it is damaged: its list of tables cannot be read";
    // The memo's second page names the first as the next.
    QTest::newRow("long text whose pages loop")
        << QStringList{"--seed", "1", "--random-stories", "1", "--story-length", "5000"}
        << QString() << Patch([](QByteArray& b) {
               put32(b, 5 * page + get16(b, 5 * page + rowOffsets), 4 << 8);
           })
        << QString() << QString() << "runs in a loop of pages";
    QTest::newRow("folder that cannot be written")
        << QStringList{} << stories << Patch{} << QString() << "read-only folder"
        << "cannot be written (Permission denied)";
    QTest::newRow("not enough disk space")
        << QStringList{"--seed", "2", "--random-stories", "40"} << QString() << Patch{} << QString()
        << "full disk"
        << "there is not enough free disk space for the new library";
    QTest::newRow("reader crashes") << QStringList{} << stories << Patch{} << "crash" << QString()
                                    << "the program that reads it stopped unexpectedly";
    QTest::newRow("reader hangs") << QStringList{} << stories << Patch{} << "hang" << QString()
                                  << "reading it took longer than 1 second";
    QTest::newRow("reader takes memory without end")
        << QStringList{} << stories << Patch{} << "hog" << QString()
        << "reading it needed more than 64 MB of memory";
    QTest::newRow("reader missing")
        << QStringList{} << stories << Patch{} << "missing" << QString() << "could not be started";
}

void TestAccessConversion::refusalLeavesTheFolderAsItWas()
{
    QFETCH(QStringList, options);
    QFETCH(QString, rows);
    QFETCH(Patch, patch);
    QFETCH(QString, reader);
    QFETCH(QString, setup);
    QFETCH(QString, because);
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    JetFixture::make(folder.libraryPath(), options, rows);
    QByteArray original = JetFixture::bytes(folder.libraryPath());
    if (patch) {
        patch(original);
        JetFixture::write(folder.libraryPath(), original);
    }
    const QString program =
        reader.isEmpty() ? JetFixture::reader() : JetFixture::faultyReader(reader);
    AccessConversion::Options limits;
    if (reader == "hang")
        limits.timeLimit = std::chrono::seconds(1);
    if (reader == "hog")
        limits.memoryLimit = qint64(64) << 20;

    Outcome outcome;
    if (setup == "full disk") {
        const auto full = attemptOnFullDisk(folder.path(), original, program);
        if (!full)
            QSKIP("no mount namespace with a small tmpfs can be made here");
        outcome = *full;
    } else if (setup == "read-only folder") {
        {
            // Root, whom the modes do not stop, runs as nobody meanwhile.
            const auto guard = folder.readOnly();
            QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                     QFile::ReadOther | QFile::ExeOther);
            if (guard.failure().isEmpty())
                outcome = attempt(folder.path(), original, program, limits);
            else
                outcome.message = guard.failure();
        }
        QFile::setPermissions(folder.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    } else {
        outcome = attempt(folder.path(), original, program, limits);
    }
    QVERIFY2(outcome.message.startsWith(
                 QStringLiteral("dbStory.mdb is a Microsoft Access story library. It could not be "
                                "converted into a library of this program, because ")) &&
                 outcome.message.contains(because) &&
                 outcome.message.endsWith(QStringLiteral("dbStory.mdb was left unchanged.")),
             qPrintable(outcome.message));
    QCOMPARE(outcome.entries, QStringList{"dbStory.mdb"});
    QVERIFY(outcome.unchanged);
}

void TestAccessConversion::killedAtAnyStepTheNextStartEndsWithEveryStory_data()
{
    QTest::addColumn<Step>("step");
    QTest::addColumn<bool>("hardLinks");
    const std::pair<Step, const char*> steps[] = {{Step::ReaderStarted, "reader started"},
                                                  {Step::ReaderFinished, "reader finished"},
                                                  {Step::LibrarySynced, "new library synced"},
                                                  {Step::AccessFileKept, "Access file kept"},
                                                  {Step::FolderSynced, "folder synced"},
                                                  {Step::LibraryInPlace, "library in place"},
                                                  {Step::Done, "done"}};
    for (const auto& [step, name] : steps) {
        QTest::addRow("killed after: %s, kept by a link", name) << step << true;
        QTest::addRow("killed after: %s, kept by a copy", name) << step << false;
    }
}

void TestAccessConversion::killedAtAnyStepTheNextStartEndsWithEveryStory()
{
    QFETCH(Step, step);
    QFETCH(bool, hardLinks);
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    const QString library = folder.libraryPath();
    const QList<ProgramFolder::Row> want =
        JetFixture::make(library, {"--seed", "5", "--random-stories", "20"});
    const QByteArray original = JetFixture::bytes(library);

    const pid_t child = ::fork();
    if (child == 0) {
        AccessConversion::Options options;
        options.hardLinks = hardLinks;
        options.observer = [step](Step reached) {
            if (reached == step)
                ::kill(::getpid(), SIGKILL);
        };
        try {
            AccessConversion::convertIfAccess(library, JetFixture::reader(), options);
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    // The name held the Access file or the whole library, never anything between.
    const QByteArray now = JetFixture::bytes(library);
    QVERIFY(now == original || now.startsWith("SQLite format 3"));

    AccessConversion::convertIfAccess(library, JetFixture::reader());
    StoryStore store;
    store.open(folder.path());
    const QList<Story> stories = store.allStories();
    QCOMPARE(stories.size(), want.size());
    for (qsizetype i = 0; i < want.size(); ++i)
        QVERIFY(stories[i].id == want[i].id && stories[i].fldstory == want[i].story);
    // One kept file, the first one reused rather than a second made.
    QCOMPARE(entries(folder.path()), QStringList({kept, "dbStory.mdb"}));
    QVERIFY(JetFixture::bytes(folder.filePath(kept)) == original);
}

void TestAccessConversion::readerEndsWithTheProgram()
{
    // The orphaned reader comes to this process, which can then see how it ended.
    QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    ProgramFolder folder = ProgramFolder::withoutLibrary();
    const QString library = folder.libraryPath();
    JetFixture::make(library, {}, QStringLiteral("stories.json"));
    const QString newLibrary = library + QStringLiteral(".converting");
    const pid_t child = ::fork();
    if (child == 0) {
        AccessConversion::Options options;
        // Killed once the hanging reader has written its process id.
        options.observer = [&](Step) {
            for (int i = 0; i < 500 && QFileInfo(newLibrary).size() == 0; ++i)
                ::usleep(10000);
            ::kill(::getpid(), SIGKILL);
        };
        AccessConversion::convertIfAccess(library, JetFixture::faultyReader("hang"), options);
        ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    const pid_t reader = JetFixture::bytes(newLibrary).trimmed().toInt();
    QVERIFY(reader > 0);
    pid_t ended = 0;
    for (int i = 0; i < 500 && ended == 0; ++i) {
        ended = ::waitpid(reader, &status, WNOHANG);
        if (ended == 0)
            ::usleep(10000);
    }
    if (ended == 0)
        ::kill(reader, SIGKILL);
    QCOMPARE(ended, reader);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

void TestAccessConversion::ownLibraryIsLeftAlone()
{
    ProgramFolder folder({QStringLiteral("one")});
    const QByteArray before = JetFixture::bytes(folder.libraryPath());
    QVERIFY(!AccessConversion::convertIfAccess(folder.libraryPath(), JetFixture::reader()));
    QCOMPARE(entries(folder.path()), QStringList{"dbStory.mdb"});
    QVERIFY(JetFixture::bytes(folder.libraryPath()) == before);
}

QTEST_GUILESS_MAIN(TestAccessConversion)
#include "tst_accessconversion.moc"
