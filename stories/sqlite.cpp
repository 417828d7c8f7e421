#include "stories/sqlite.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

StoreError::StoreError(const QString& description) : std::runtime_error(description.toStdString())
{}

namespace sqlite {
namespace {

// Database files are read through a memory map, which spares a full read of
// the table a copy of every page. The engine accepts this setting only before
// its first use, so it is made while the program loads.
[[maybe_unused]] const int mapConfigured = [] {
    constexpr sqlite3_int64 mapLimit = sqlite3_int64(256) << 20;
    return sqlite3_config(SQLITE_CONFIG_MMAP_SIZE, mapLimit, mapLimit);
}();

// What sits at the start of the file decides whether the engine may have it:
// an empty file or a file of another kind would otherwise pass the open and
// fail, or be taken for an empty database, only at the first statement.
void checkHeader(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw StoreError(path + QStringLiteral(" not found."));
    if (info.isDir())
        throw StoreError(path + QStringLiteral(" is a folder, not a database file."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(path + QStringLiteral(" cannot be read: ") + file.errorString());
    const QByteArray header = file.read(100);
    const QString name = info.fileName();
    if (header.isEmpty())
        throw StoreError(name + QStringLiteral(" is empty: it is not an SQLite database."));
    // Jet 3/4 (.mdb) and ACE (.accdb) files: 00 01 00 00, then the format name.
    static const QByteArray jetMark("\x00\x01\x00\x00", 4);
    if (header.startsWith(jetMark) &&
        (header.mid(4, 15) == "Standard Jet DB" || header.mid(4, 15) == "Standard ACE DB"))
        throw StoreError(name + QStringLiteral(" is an Access (Jet) database, which this program "
                                               "cannot open. It must be an SQLite database."));
    static const QByteArray sqliteMark("SQLite format 3\0", 16);
    if (!header.startsWith(sqliteMark))
        throw StoreError(name + QStringLiteral(" is not an SQLite database."));
}

int traceStatement(unsigned, void* context, void*, void* text)
{
    const auto* observer = static_cast<const StatementObserver*>(context);
    // An exception must not cross the engine's C frames.
    try {
        (*observer)(QString::fromUtf8(static_cast<const char*>(text)));
    } catch (...) {
    }
    return 0;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

Connection::~Connection()
{
    close();
}

void Connection::open(const QString& path)
{
    close();
    checkHeader(path);
    // The engine is built to read "file:..." names as URIs, whose options could
    // create a file or change its mode; "./" keeps such a name a plain path.
    QByteArray name = path.toUtf8();
    if (path.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive))
        name.prepend("./");
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        const QString description =
            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("Out of memory");
        sqlite3_close(db);
        throw StoreError(description);
    }
    db_ = db;
    sqlite3_busy_timeout(db_, busyTimeout_);
    installTrace();
}

void Connection::close() noexcept
{
    // A result still held (a pick under way) keeps the engine's handle alive
    // until that result is destroyed; this object lets go of it at once.
    if (db_)
        sqlite3_close_v2(db_);
    db_ = nullptr;
}

void Connection::setBusyTimeout(int milliseconds)
{
    busyTimeout_ = milliseconds;
    if (db_)
        sqlite3_busy_timeout(db_, busyTimeout_);
}

void Connection::setStatementObserver(StatementObserver observer)
{
    observer_ = std::move(observer);
    installTrace();
}

void Connection::installTrace()
{
    if (!db_)
        return;
    if (observer_)
        sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, traceStatement, &observer_);
    else
        sqlite3_trace_v2(db_, 0, nullptr, nullptr);
}

void Connection::execute(const QString& sql)
{
    Statement statement(*this, sql);
    while (statement.step()) {
    }
}

Statement::Statement(const Connection& connection, const QString& sql) : db_(connection.handle())
{
    if (!db_)
        throw StoreError(QStringLiteral("The database connection is closed."));
    const QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db_, text.constData(), int(text.size()) + 1, &stmt_, &tail) != SQLITE_OK)
        fail();
    if (!stmt_)
        throw StoreError(QStringLiteral("The statement text holds no statement."));
    const char* end = text.constData() + text.size();
    for (const char* c = tail; c && c < end; ++c) {
        if (!isBlank(*c)) {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
            throw StoreError(QStringLiteral("Characters found after end of SQL statement."));
        }
    }
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

bool Statement::step()
{
    switch (sqlite3_step(stmt_)) {
    case SQLITE_ROW:
        return true;
    case SQLITE_DONE:
        return false;
    default:
        fail();
    }
}

int Statement::columnCount() const
{
    return sqlite3_column_count(stmt_);
}

void Statement::checkColumn(int column) const
{
    if (column < 0 || column >= columnCount())
        throw StoreError(QStringLiteral("The result has no field %1.").arg(column));
}

qint64 Statement::integer(int column) const
{
    if (isNull(column))
        throw StoreError(QStringLiteral("Invalid use of Null"));
    return sqlite3_column_int64(stmt_, column);
}

bool Statement::isNull(int column) const
{
    checkColumn(column);
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::optional<QString> Statement::text(int column) const
{
    if (isNull(column))
        return std::nullopt;
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return QString::fromUtf8(data, sqlite3_column_bytes(stmt_, column));
}

void Statement::fail() const
{
    throw StoreError(QString::fromUtf8(sqlite3_errmsg(db_)));
}

StaticResult::StaticResult(const Connection& connection, const QString& sql)
    : cursor_(connection, sql)
{
    if (!cursor_.step())
        return;
    // The first cursor's read transaction is still open, so the counting one
    // sees the same rows.
    Statement counter(connection, sql);
    while (counter.step())
        ++count_;
}

void StaticResult::move(qint64 rows)
{
    if (rows < 0)
        throw StoreError(QStringLiteral("The result moves forward only."));
    if (position_ + rows >= count_)
        throw StoreError(QStringLiteral("No current record: row %1 of %2 does not exist.")
                             .arg(position_ + rows + 1)
                             .arg(count_));
    for (; rows > 0; --rows) {
        if (!cursor_.step())
            throw StoreError(QStringLiteral("The table changed while it was read."));
        ++position_;
    }
}

const Statement& StaticResult::current() const
{
    if (count_ == 0)
        throw StoreError(QStringLiteral("No current record: the result has no rows."));
    return cursor_;
}

std::optional<QString> StaticResult::text(int column) const
{
    return current().text(column);
}

} // namespace sqlite
