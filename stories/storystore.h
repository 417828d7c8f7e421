#pragma once

#include "stories/sqlite.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <memory>
#include <optional>

// One row of table story, its fields read by position: 0 the key, 1 the text.
struct Story
{
    qint64 id = 0;
    std::optional<QString> fldstory; // nullopt: the row's story is null
};

// The story library dbStory.mdb in the program folder: one connection for the
// whole run and the only four statements the program sends,
//   select * from [story]
//   insert into [story] (fldstory) values ('<text>')
//   update [story] set fldstory='<text>' where id=<key>
//   delete from [story] where id=<key>
// with every apostrophe of <text> doubled. Nothing is cached: every read runs
// the query anew. Every failure throws StoreError with the engine's own text;
// the store shows nothing. After a failed statement the store stays usable.
class StoryStore
{
public:
    StoryStore() = default;
    ~StoryStore() = default;
    StoryStore(const StoryStore&) = delete;
    StoryStore& operator=(const StoryStore&) = delete;
    StoryStore(StoryStore&&) = delete;
    StoryStore& operator=(StoryStore&&) = delete;

    // The folder unchanged, the separator and "dbStory.mdb".
    static QString storyFilePath(const QString& folder);
    // True for an ordinary file (or a link to one); a folder of that name
    // counts as missing. Whether the file can be read is left to open.
    static bool storyFileExists(const QString& folder);

    // Opens the existing library; never creates one. A file that is not an
    // SQLite database fails here, with a description saying what it is.
    void open(const QString& folder);
    // Safe after a failed open and when already closed.
    void close() noexcept;
    bool isOpen() const { return connection_.isOpen(); }

    // Every row in the order the query gives them.
    QList<Story> allStories() const;
    // Writes are sent as they are: nothing is counted or read back, and a key
    // that no row has changes nothing without failing.
    void addStory(const QString& text);
    void updateStory(qint64 id, const QString& text);
    void deleteStory(qint64 id);

    // The story of a random row, drawn from the program's generator; nothing
    // when the table has no rows. A null story throws.
    std::optional<QString> pickRandomStory();
    // The same with a chosen 0 <= r < 1 in place of the generator's draw.
    std::optional<QString> pickRandomStory(float r);

    // Every apostrophe doubled; nothing else changed.
    static QString quoteText(QStringView text);

    // How long a statement waits for another program's lock (5 seconds unless
    // set).
    void setBusyTimeout(int milliseconds) { connection_.setBusyTimeout(milliseconds); }
    // Sees the text of every statement as the engine starts it.
    void setStatementObserver(sqlite::StatementObserver observer)
    {
        connection_.setStatementObserver(std::move(observer));
    }

    // The row number the pick takes for r among count rows, counted from 1:
    // floor(r * count + 1) in double precision, never past the last row.
    static qint64 rowNumber(float r, qint64 count);

    class Pick;

private:
    // Throws when the store is not open.
    sqlite::Connection& connection();
    const sqlite::Connection& connection() const;
    template <class Draw> std::optional<QString> pick(Draw draw) const;

    sqlite::Connection connection_;
};

// The random pick as separate steps, for a caller that reports a failing step
// and goes on with the next one. Each step throws StoreError when it cannot do
// its part, for instance when the store is closed or the table was not read.
// From open() to moveToRow() the file holds a shared lock, so the count and the
// row agree; moveToRow() keeps the row's story and lets the file go.
class StoryStore::Pick
{
public:
    // Creates the (still closed) result; nothing can fail yet.
    explicit Pick(const StoryStore& store);
    ~Pick();
    Pick(const Pick&) = delete;
    Pick& operator=(const Pick&) = delete;

    // Reads the whole table with "select * from [story]".
    void open();
    // False on an empty table.
    bool hasRows() const;
    qint64 recordCount() const;
    // Chooses the row for 0 <= r < 1 (StoryStore::rowNumber).
    void drawRow(float r);
    // Moves from the first row to the chosen one.
    void moveToRow();
    // The row's fldstory; a null story throws "Invalid use of Null".
    QString story() const;

private:
    void checkRead() const;

    const StoryStore& store_;
    std::unique_ptr<sqlite::StaticResult> result_; // from open() to moveToRow()
    sqlite3* readOn_ = nullptr;                    // the connection that read the rows
    qint64 count_ = 0;
    qint64 drawn_ = 0; // the row number drawn, from 1; 0 before drawRow
    bool moved_ = false;
    std::optional<QString> story_;
    QString fieldFailure_;
};
