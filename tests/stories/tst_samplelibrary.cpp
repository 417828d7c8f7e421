#include "library/jetreaderprotocol.h"
#include "programfolder.h"
#include "stories/storystore.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <sqlite3.h>

// The sample library as the build makes it: its table, then data/stories.sql,
// run by the engine into a fresh dbStory.mdb, then read through the store.
class TestSampleLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void storiesSuitTyping();
    void freedKeyIsNeverHandedOutAgain();

private:
    ProgramFolder folder_ = ProgramFolder::withoutLibrary();
    QList<Story> stories_;
};

void TestSampleLibrary::initTestCase()
{
    QFile script(QStringLiteral(STORIES_SQL));
    QVERIFY2(script.open(QIODevice::ReadOnly), STORIES_SQL);
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(folder_.libraryPath().toUtf8().constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const QByteArray sql = JetReader::storyTable + (';' + script.readAll());
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error);
    const QString message = QString::fromUtf8(error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(message));

    StoryStore store;
    store.open(folder_.path());
    stories_ = store.allStories();
    StoryStore::Pick pick(store);
    pick.open();
    QVERIFY(pick.hasRows());
}

void TestSampleLibrary::storiesSuitTyping()
{
    QVERIFY(stories_.size() >= 12);
    for (const Story& story : stories_) {
        QVERIFY(story.fldstory.has_value());
        const QString& text = *story.fldstory;
        const qsizetype words = text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts).size();
        QVERIFY2(words >= 40 && words <= 120, qPrintable(story.key));
        // A blank at either end would be an invisible word to type.
        QCOMPARE(text.trimmed(), text);
        QVERIFY2(!text.contains(u'\n') || text.count(u'\n') == text.count(QStringLiteral("\r\n")),
                 "line breaks are CR LF");
    }
    // Among them one with apostrophes, one with a line break, one of over 1,000 characters.
    QStringList kinds;
    for (const Story& story : stories_)
        kinds << QString(story.fldstory->contains(u'\'') ? "apostrophe " : "") +
                     (story.fldstory->contains(u"\r\n") ? "break " : "") +
                     (story.fldstory->size() > 1000 ? "long" : "");
    for (const char* kind : {"apostrophe", "break", "long"})
        QVERIFY2(kinds.join(' ').contains(kind), kind);
}

void TestSampleLibrary::freedKeyIsNeverHandedOutAgain()
{
    StoryStore store;
    store.open(folder_.path());
    const Story last = store.allStories().last();
    QVERIFY(store.deleteStory({*last.id, *last.fldstory, store.dataVersion()}));
    store.addStory(QStringLiteral("A new story."));
    QCOMPARE(*store.allStories().last().id, *last.id + 1);
}

QTEST_GUILESS_MAIN(TestSampleLibrary)
#include "tst_samplelibrary.moc"
