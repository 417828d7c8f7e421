#include "library/durablefile.h"
#include "library/libraryfolder.h"
#include "stories/storystore.h"

#include <QTemporaryDir>
#include <QTest>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

Q_DECLARE_METATYPE(DurableFile::Step)

// A user's first library in a folder of their own: the sample copied whole, or
// nothing at all; and the durable write it is made by, as the Access
// conversion's new library is.
class TestLibraryFolder : public QObject
{
    Q_OBJECT

private slots:
    void copySampleIfMissingGivesAFirstLibraryOnly_data();
    void copySampleIfMissingGivesAFirstLibraryOnly();
    void durableWriteKilledAfterAnyStep_data();
    void durableWriteKilledAfterAnyStep();
};

// Writes the bytes into dbStory.mdb in the folder, made as needed; none: no file.
static void writeLibrary(const QString& folder, const QByteArray& bytes)
{
    QFile file(StoryStore::storyFilePath(folder));
    if (!bytes.isEmpty())
        QVERIFY(QDir().mkpath(folder) && file.open(QIODevice::WriteOnly) &&
                file.write(bytes) == bytes.size());
}

static QByteArray readLibrary(const QString& folder)
{
    QFile library(StoryStore::storyFilePath(folder));
    return library.open(QIODevice::ReadOnly) ? library.readAll() : QByteArray();
}

void TestLibraryFolder::copySampleIfMissingGivesAFirstLibraryOnly_data()
{
    QTest::addColumn<QByteArray>("sample"); // in the program folder
    QTest::addColumn<QByteArray>("before"); // the user's library
    QTest::addColumn<QString>("folder");    // the user's folder, under a fresh home
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<bool>("fails");
    const QByteArray sample(200'000, 's'); // more than one read
    const QByteArray own("the user's own stories"), none;
    QTest::newRow("first start copies the sample whole")
        << sample << none << "data/quillrace" << sample << false;
    QTest::newRow("the user's own library is kept") << sample << own << "quillrace" << own << false;
    QTest::newRow("no sample leaves the library missing")
        << none << none << "quillrace" << none << false;
    QTest::newRow("a folder that cannot be made fails and leaves nothing")
        << sample << none << "file/quillrace" << none << true;
}

void TestLibraryFolder::copySampleIfMissingGivesAFirstLibraryOnly()
{
    QFETCH(QByteArray, sample);
    QFETCH(QByteArray, before);
    QFETCH(QString, folder);
    QFETCH(QByteArray, after);
    QFETCH(bool, fails);
    QTemporaryDir program, home;
    writeLibrary(program.path(), sample);
    QFile obstacle(home.filePath(QStringLiteral("file"))); // where a folder would go
    QVERIFY(obstacle.open(QIODevice::WriteOnly));
    const QString user = home.filePath(folder);
    writeLibrary(user, before);

    bool failed = false;
    try {
        LibraryFolder::copySampleIfMissing(user, program.path());
    } catch (const std::exception&) {
        failed = true;
    }
    QCOMPARE(failed, fails);
    QCOMPARE(readLibrary(user), after);
    // No temporary copy is left beside it.
    QCOMPARE(QDir(user).entryList(QDir::Files | QDir::Hidden).size(), after.isEmpty() ? 0 : 1);
}

void TestLibraryFolder::durableWriteKilledAfterAnyStep_data()
{
    QTest::addColumn<DurableFile::Step>("step");
    QTest::addColumn<QByteArray>("meanwhile"); // put in its place by another program at that step
    const char* const names[] = {"synced", "placed", "folder synced"};
    for (int step = 0; step <= int(DurableFile::Step::FolderSynced); ++step)
        QTest::addRow("killed after: %s", names[step]) << DurableFile::Step(step) << QByteArray();
    QTest::newRow("a file another program placed meanwhile stays")
        << DurableFile::Step::Synced << QByteArray("theirs");
}

void TestLibraryFolder::durableWriteKilledAfterAnyStep()
{
    QFETCH(DurableFile::Step, step);
    QFETCH(QByteArray, meanwhile);
    const QByteArray sample(200'000, 's');
    QTemporaryDir from, to;
    writeLibrary(from.path(), sample);
    const QString place = StoryStore::storyFilePath(to.path());
    const auto write = [&](const std::function<void(DurableFile::Step)>& observer) {
        QFile source(StoryStore::storyFilePath(from.path()));
        DurableFile file(place, place + QStringLiteral(".partial"), observer);
        if (source.open(QIODevice::ReadOnly))
            file.copyFrom(source.handle());
        (void)file.place(0600, false);
    };
    const pid_t child = ::fork();
    if (child == 0) {
        write([&](DurableFile::Step reached) {
            if (reached == step && meanwhile.isEmpty())
                ::kill(::getpid(), SIGKILL);
            else if (reached == step)
                writeLibrary(to.path(), meanwhile);
        });
        ::_exit(0);
    }
    QCOMPARE(::waitpid(child, nullptr, 0), child);
    // Nothing, or a whole file: never part of one.
    const QByteArray now = readLibrary(to.path());
    QVERIFY(now.isEmpty() || now == sample || now == meanwhile);
    write({}); // as the next start does
    QCOMPARE(readLibrary(to.path()), meanwhile.isEmpty() ? sample : meanwhile);
    QCOMPARE(QDir(to.path()).entryList(QDir::Files), QStringList{"dbStory.mdb"});
}

QTEST_GUILESS_MAIN(TestLibraryFolder)
#include "tst_libraryfolder.moc"
