#include "stories/libraryfolder.h"
#include "stories/storystore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

// A user's first library in a folder of their own: the sample copied whole, or
// nothing at all.
class TestLibraryFolder : public QObject
{
    Q_OBJECT

private slots:
    void provideGivesAFirstLibraryOnly_data();
    void provideGivesAFirstLibraryOnly();
};

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

void TestLibraryFolder::provideGivesAFirstLibraryOnly_data()
{
    QTest::addColumn<QByteArray>("sample"); // in the program folder; empty: none
    QTest::addColumn<QByteArray>("before"); // the user's library; empty: none
    QTest::addColumn<QString>("folder");    // the user's folder, under a fresh home
    QTest::addColumn<QByteArray>("after");  // the user's library; empty: none
    QTest::addColumn<QString>("failure");   // how the description ends; empty: none

    // Larger than one read, so the copy takes several.
    const QByteArray sample(200'000, 's');
    const QByteArray own("the user's own stories");
    const QByteArray none;
    QTest::newRow("first start copies the sample whole")
        << sample << none << "data/quillrace" << sample << QString();
    QTest::newRow("the user's own library is kept")
        << sample << own << "quillrace" << own << QString();
    QTest::newRow("no sample leaves the library missing")
        << none << none << "quillrace" << none << QString();
    QTest::newRow("a folder that cannot be made fails and leaves nothing")
        << sample << none << "file/quillrace" << none << ": its folder cannot be made";
}

void TestLibraryFolder::provideGivesAFirstLibraryOnly()
{
    QFETCH(QByteArray, sample);
    QFETCH(QByteArray, before);
    QFETCH(QString, folder);
    QFETCH(QByteArray, after);
    QFETCH(QString, failure);
    QTemporaryDir program, home;
    if (!sample.isEmpty())
        write(StoryStore::storyFilePath(program.path()), sample);
    write(home.filePath(QStringLiteral("file")), "a file where a folder would go");
    const QString user = home.filePath(folder);
    if (!before.isEmpty())
        write(StoryStore::storyFilePath(user), before);

    QString description;
    try {
        LibraryFolder::provide(user, program.path());
    } catch (const std::exception& e) {
        description = QString::fromUtf8(e.what());
    }
    if (failure.isEmpty())
        QCOMPARE(description, QString());
    else
        QCOMPARE(description,
                 QStringLiteral("The sample story library %1 could not be copied to %2%3")
                     .arg(StoryStore::storyFilePath(program.path()),
                          StoryStore::storyFilePath(user), failure));
    QFile library(StoryStore::storyFilePath(user));
    QCOMPARE(library.open(QIODevice::ReadOnly) ? library.readAll() : QByteArray(), after);
    // No temporary copy is left beside it.
    QCOMPARE(QDir(user).entryList(QDir::Files | QDir::Hidden).size(), after.isEmpty() ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestLibraryFolder)
#include "tst_libraryfolder.moc"
