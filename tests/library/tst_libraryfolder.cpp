#include "library/libraryfolder.h"
#include "stories/storystore.h"

#include <QTemporaryDir>
#include <QTest>

// A user's first library in a folder of their own: the sample copied whole, or
// nothing at all.
class TestLibraryFolder : public QObject
{
    Q_OBJECT

private slots:
    void provideGivesAFirstLibraryOnly_data();
    void provideGivesAFirstLibraryOnly();
};

// Writes the bytes into dbStory.mdb in the folder, made as needed; none: no file.
static void writeLibrary(const QString& folder, const QByteArray& bytes)
{
    QFile file(StoryStore::storyFilePath(folder));
    if (!bytes.isEmpty())
        QVERIFY(QDir().mkpath(folder) && file.open(QIODevice::WriteOnly) &&
                file.write(bytes) == bytes.size());
}

void TestLibraryFolder::provideGivesAFirstLibraryOnly_data()
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

void TestLibraryFolder::provideGivesAFirstLibraryOnly()
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
        LibraryFolder::provide(user, program.path());
    } catch (const std::exception&) {
        failed = true;
    }
    QCOMPARE(failed, fails);
    QFile library(StoryStore::storyFilePath(user));
    QCOMPARE(library.open(QIODevice::ReadOnly) ? library.readAll() : QByteArray(), after);
    // No temporary copy is left beside it.
    QCOMPARE(QDir(user).entryList(QDir::Files | QDir::Hidden).size(), after.isEmpty() ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestLibraryFolder)
#include "tst_libraryfolder.moc"
