#include "stories/storystore.h"

#include "core/failures.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

#include <sqlite3.h>

namespace {

const QString selectAll = QStringLiteral("select * from [story]");

QString updateStatement(qint64 id, const QString& text)
{
    return QStringLiteral("update [story] set fldstory='") + StoryStore::quoteText(text) +
           QStringLiteral("' where id=") + QString::number(id);
}

QString deleteStatement(qint64 id)
{
    return QStringLiteral("delete from [story] where id=") + QString::number(id);
}

// Failures that a connection opened afresh on the same file would not have: a
// file opened read-only stays read-only for its connection, and a schema read
// while the file was cut short or replaced stays as it was read.
bool freshConnectionMends(int code)
{
    switch (code) {
    case SQLITE_ERROR:
    case SQLITE_READONLY:
    case SQLITE_IOERR:
    case SQLITE_CORRUPT:
    case SQLITE_SCHEMA:
    case SQLITE_NOTADB:
        return true;
    default:
        return false;
    }
}

// The statement text is UTF-8 ended by NUL: a NUL in the story would cut it
// short, and a lone surrogate has no UTF-8 form and would be stored as "?".
void checkStorable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isNull())
            throw StoreError(QStringLiteral(
                "The story holds a NUL character (code 0), which the library cannot store. "
                "Remove it and try again."));
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            throw StoreError(QStringLiteral(
                "The story holds a broken character (a lone UTF-16 surrogate, as pasted text "
                "sometimes does), which the library cannot store exactly. Remove it and try "
                "again."));
    }
}

} // namespace

QString StoryStore::storyFilePath(const QString& folder)
{
    return folder + QDir::separator() + QStringLiteral("dbStory.mdb");
}

bool StoryStore::storyFileExists(const QString& folder)
{
    return QFileInfo(storyFilePath(folder)).isFile();
}

QString StoryStore::missingMessage(const QString& folder)
{
    return storyFilePath(folder) + QStringLiteral(" not found.");
}

void StoryStore::open(const QString& folder)
{
    close();
    if (!storyFileExists(folder))
        throw StoreError(missingMessage(folder));
    connection_.open(storyFilePath(folder));
    open_ = true;
    ++opens_;
}

void StoryStore::close() noexcept
{
    connection_.close();
    open_ = false;
    reopen_ = false;
}

StoryStore::Action::Action(StoryStore& store, sqlite::BusyObserver waiting)
    : action_(std::in_place, store.connection_), store_(store),
      outer_(store.connection_.setBusyObserver(std::move(waiting)))
{}

StoryStore::Action::~Action()
{
    store_.connection_.setBusyObserver(std::move(outer_));
    action_.reset();
    if (!store_.actionUnderway() && store_.idle_)
        store_.idle_();
}

sqlite::Connection& StoryStore::connection(Use use)
{
    if (!open_)
        throw StoreError(QStringLiteral("The story library is not open."));
    if (reopen_ || !connection_.isOpen() || connection_.fileReplaced() ||
        (use == Use::Write && connection_.readOnlyButWritable())) {
        // One connection at a time: the old one goes before the new one opens.
        // Should the file still be unusable, the next operation tries again.
        reopen_ = true;
        connection_.close();
        connection_.reopen();
        reopen_ = false;
        ++opens_;
    }
    return connection_;
}

template <class Work>
auto StoryStore::run(Work work, Use use) -> decltype(work(std::declval<sqlite::Connection&>()))
{
    sqlite::Connection& open = connection(use);
    try {
        return work(open);
    } catch (const StoreError& e) {
        if (freshConnectionMends(e.code()))
            reopen_ = true;
        throw;
    }
}

QList<Story> StoryStore::allStories()
{
    return run([](sqlite::Connection& connection) {
        sqlite::Statement query(connection, selectAll);
        QList<Story> stories;
        while (query.step()) {
            Story story;
            if (query.type(0) == SQLITE_INTEGER)
                story.id = query.integer(0);
            story.key = query.text(0).value_or(QString());
            story.fldstory = query.text(1);
            stories.append(std::move(story));
        }
        return stories;
    });
}

void StoryStore::addStory(const QString& text)
{
    checkStorable(text);
    const auto insert = [&](sqlite::Connection& connection) {
        (void)connection.execute(QStringLiteral("insert into [story] (fldstory) values ('") +
                                 quoteText(text) + QStringLiteral("')"));
    };
    run(insert, Use::Write);
}

quint64 StoryStore::dataVersion() const
{
    return quint64(opens_) << 32 | connection_.dataVersion();
}

bool StoryStore::rowStillAsSeen(sqlite::Connection& connection, sqlite::Statement& hold,
                                const Seen& seen)
{
    // The hold's first row begins the read, and with it the data version
    // learns of other programs' changes. An empty table has lost the row.
    if (!hold.step())
        return false;
    if (dataVersion() == seen.version)
        return true;
    int rows = 0;
    bool same = false;
    sqlite::Statement table(connection, selectAll);
    while (table.step()) {
        if (table.type(0) == SQLITE_INTEGER && table.integer(0) == seen.id) {
            ++rows;
            same = table.text(1).value_or(QString()) == seen.fldstory;
        }
    }
    return rows == 1 && same;
}

bool StoryStore::writeAsSeen(const Seen& seen, const QString& statement)
{
    // One timeout for all the attempts together.
    const sqlite::Connection::Action action(connection_);
    for (int attempt = 0;; ++attempt) {
        try {
            const auto write = [&](sqlite::Connection& connection) {
                sqlite::Statement hold(connection, selectAll);
                return rowStillAsSeen(connection, hold, seen) && connection.execute(statement) > 0;
            };
            return run(write, Use::Write);
        } catch (const StoreError& e) {
            // A write under a read of its own cannot wait for another
            // program's write lock (the two would wait on each other), so the
            // engine refuses it at once. The read is let go, the lock waited
            // for, and the row checked again.
            if (e.code() != SQLITE_BUSY || !connection_.waitForLock(attempt))
                throw;
        }
    }
}

bool StoryStore::updateStory(const Seen& seen, const QString& text)
{
    checkStorable(text);
    return writeAsSeen(seen, updateStatement(seen.id, text));
}

bool StoryStore::deleteStory(const Seen& seen)
{
    return writeAsSeen(seen, deleteStatement(seen.id));
}

QString StoryStore::quoteText(QStringView text)
{
    QString quoted;
    quoted.reserve(text.size() + 8);
    for (const QChar c : text) {
        quoted.append(c);
        if (c == u'\'')
            quoted.append(c);
    }
    return quoted;
}

qint64 StoryStore::rowNumber(float r, qint64 count)
{
    // The row number is 64 bits wide, so libraries of more than 32,767 stories
    // pick among all their rows. For r below 1 the product stays below count;
    // the clamp only guards the rounding of very large counts.
    const auto n = qint64(std::floor(double(r) * double(count) + 1.0));
    return std::clamp<qint64>(n, 1, std::max<qint64>(count, 1));
}

StoryStore::Pick::Pick(StoryStore& store) : store_(store) {}

StoryStore::Pick::~Pick() = default;

void StoryStore::Pick::open()
{
    cursor_.reset();
    count_.reset();
    // Reading the file twice, once to count and once up to the row, costs
    // less than keeping a copy of every story from a single reading.
    store_.run([&](sqlite::Connection& connection) {
        auto cursor = std::make_unique<sqlite::Statement>(connection, selectAll);
        if (cursor->step()) {
            qint64 rows = 0;
            sqlite::Statement counter(connection, selectAll);
            while (counter.step())
                ++rows;
            count_ = rows;
            cursor_ = std::move(cursor);
        } else {
            count_ = 0;
        }
    });
}

qint64 StoryStore::Pick::count() const
{
    if (!count_)
        throw StoreError(QStringLiteral("The story table has not been read."));
    return *count_;
}

bool StoryStore::Pick::hasRows() const
{
    return count() > 0;
}

void StoryStore::Pick::drawRow(float r)
{
    drawn_ = rowNumber(r, count());
}

void StoryStore::Pick::moveToRow()
{
    (void)count();
    try {
        for (qint64 row = 1; row < drawn_; ++row)
            if (!cursor_->step())
                throw StoreError(QStringLiteral("No current record: the table ended before row %1.")
                                     .arg(drawn_));
    } catch (const StoreError& e) {
        cursor_.reset(); // a move that failed has no row for story() to read
        store_.reopen_ = store_.reopen_ || freshConnectionMends(e.code());
        throw;
    }
}

QString StoryStore::Pick::story()
{
    if (count() == 0 || !cursor_)
        throw StoreError(QStringLiteral("No current record: the result has no rows."));
    // Once the story is read the file is free for other programs again.
    const std::unique_ptr<sqlite::Statement> cursor = std::move(cursor_);
    std::optional<QString> story = cursor->text(1);
    if (!story)
        throw StoreError(Failure::invalidUseOfNull);
    return *std::move(story);
}
