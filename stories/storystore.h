#pragma once

#include "stories/sqlite.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>

// One row of table story, its fields read by position: 0 the key, 1 the text.
struct Story
{
    // The key as stored. Only a key stored as an integer can be named exactly
    // by "where id=" and its decimal digits; a real, text, blob or null key
    // (a library made by other means) has no id.
    std::optional<qint64> id;
    QString key;                     // the key as shown: its decimal digits, or its stored text
    std::optional<QString> fldstory; // nullopt: the row's story is null
};

// The story library dbStory.mdb in the folder it is opened in: one connection
// for the whole run and the only four statements the program sends,
//   select * from [story]
//   insert into [story] (fldstory) values ('<text>')
//   update [story] set fldstory='<text>' where id=<key>
//   delete from [story] where id=<key>
// with every apostrophe of <text> doubled, and the last two only to a row
// still as the caller saw it. Nothing is cached but the pick's count of rows
// while the library stays unchanged: every read runs the query anew. Every
// failure throws StoreError with the engine's own text; the store shows
// nothing. After a failed statement the store stays usable:
// when the failure is one a fresh connection would not have (its schema went
// or changed, the file was cut short), the next operation reopens the
// connection to the same file first, as it does when another program has
// moved a file over the library, and as a write does when the file was
// read-only when it was opened and is writable now. The store holds one
// connection at a time.
class StoryStore
{
public:
    StoryStore() = default;
    Q_DISABLE_COPY_MOVE(StoryStore)

    // The folder unchanged, the separator and "dbStory.mdb".
    static QString storyFilePath(const QString& folder);
    // True for an ordinary file (or a link to one); a folder of that name
    // counts as missing. Whether the file can be read is left to open.
    static bool storyFileExists(const QString& folder);
    // What the user is told when the library is missing: its full path, then
    // " not found."
    static QString missingMessage(const QString& folder);

    // Opens the existing library; never creates one. A file that is not an
    // SQLite database fails here, with a description saying what it is.
    void open(const QString& folder);
    // Safe after a failed open and when already closed.
    void close() noexcept;
    bool isOpen() const { return connection_.isOpen(); }

    // Every row in the order the query gives them, every story exactly as
    // stored (a leading U+FEFF included).
    QList<Story> allStories();
    // A story holding NUL or a lone UTF-16 surrogate is refused before any
    // statement runs: the statement text cannot carry it exactly.
    void addStory(const QString& text);

    // Moves whenever the library changes, by this store or another program,
    // and whenever the store opens its connection anew. Taken right after
    // allStories, it names the library as that read found it. Sends nothing.
    quint64 dataVersion() const;
    // One row as the caller last read it, and dataVersion() as of that read.
    struct Seen
    {
        qint64 id;
        QString fldstory; // a null story reads as empty
        quint64 version;
    };
    // Update and delete of the one row `seen` names, only while it is as seen:
    // false, and nothing written, when the row is gone or its story changed.
    // A read of the table ("select * from [story]") begins first and stays
    // open until the write has committed, so no other program can commit in
    // between; the table is read whole only when the library has changed
    // since `seen`. Another program's write lock is waited for with the read
    // let go, and the row is checked again once it is free.
    [[nodiscard]] bool updateStory(const Seen& seen, const QString& text);
    [[nodiscard]] bool deleteStory(const Seen& seen);

    // Every apostrophe doubled; nothing else changed.
    static QString quoteText(QStringView text);

    // How long a statement waits for another program's lock (5 seconds unless
    // set); within one Action, how long its statements wait in all.
    void setBusyTimeout(int milliseconds) { connection_.setBusyTimeout(milliseconds); }
    // One user action: its statements wait for other programs' locks one busy
    // timeout in all, and `waiting` is told when a statement starts (true) and
    // stops (false) waiting, for instance to show the hourglass meanwhile.
    class Action
    {
    public:
        Action(StoryStore& store, sqlite::BusyObserver waiting);
        ~Action();
        Q_DISABLE_COPY_MOVE(Action)

    private:
        std::optional<sqlite::Connection::Action> action_;
        StoryStore& store_;
        sqlite::BusyObserver outer_;
    };
    bool actionUnderway() const { return connection_.actionUnderway(); }
    // Told each time the outermost Action ends; it must not throw.
    void setIdleObserver(std::function<void()> observer) { idle_ = std::move(observer); }
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
    enum class Use { Read, Write };
    // The connection, reopened first when it must be (for a write, also when
    // it was opened read-only and the file is writable now); throws when the
    // store is not open.
    sqlite::Connection& connection(Use use);
    // Runs work on the connection; a failure that a fresh connection would
    // not have has the connection reopened before the next operation.
    template <class Work>
    auto run(Work work, Use use = Use::Read) -> decltype(work(std::declval<sqlite::Connection&>()));
    bool rowStillAsSeen(sqlite::Connection& connection, sqlite::Statement& hold, const Seen& seen);
    bool writeAsSeen(const Seen& seen, const QString& statement);

    sqlite::Connection connection_;
    bool open_ = false;   // opened, and not closed since
    bool reopen_ = false; // the next operation opens the connection anew
    quint32 opens_ = 0;
    std::function<void()> idle_;
};

// The random pick of Start, in the steps Start reports by, so that each
// database step of it fails at its own line. open() counts the rows with one
// cursor while a second waits on the first row; both read under one read
// transaction, so the count and the rows agree whatever other programs write
// meanwhile, until story() lets the file go. Every step after open() fails
// while the table has not been read.
class StoryStore::Pick
{
public:
    explicit Pick(StoryStore& store);
    ~Pick();
    Pick(const Pick&) = delete;
    Pick& operator=(const Pick&) = delete;

    // Reads the whole table with "select * from [story]".
    void open();
    // False on an empty table.
    bool hasRows() const;
    // Chooses the row for 0 <= r < 1 (StoryStore::rowNumber).
    void drawRow(float r);
    // Moves from the first row to the chosen one.
    void moveToRow();
    // The row's fldstory, exactly as stored; a null story throws.
    QString story();

private:
    qint64 count() const;

    StoryStore& store_;
    std::unique_ptr<sqlite::Statement> cursor_; // from open() until story()
    std::optional<qint64> count_;               // nullopt until the table is read
    qint64 drawn_ = 1;
};
