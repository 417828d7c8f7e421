#include "stories/sqlite.h"

#include "core/failures.h"
#include "core/fileformat.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

StoreError::StoreError(const QString& description, int code)
    : std::runtime_error(description.toStdString()), code_(code)
{}

namespace sqlite {

struct Connection::Busy
{
    using Clock = std::chrono::steady_clock;

    int timeout = 5000; // milliseconds
    BusyObserver observer;
    int actions = 0; // depth of the actions under way
    std::optional<Clock::time_point> actionDeadline;
    Clock::time_point waitDeadline;
    bool waiting = false;

    void tell(bool now) noexcept
    {
        waiting = now;
        // An exception must not cross the engine's C frames.
        try {
            if (observer)
                observer(now);
        } catch (...) {
        }
    }
    // The statement that waited has ended, one way or the other.
    void ended() noexcept
    {
        if (waiting)
            tell(false);
    }
};

namespace {

// The engine's busy handler: asked again and again while another connection
// holds the lock, it waits a little and says whether to try once more.
int onBusy(void* context, int count)
{
    using Clock = Connection::Busy::Clock;
    auto* busy = static_cast<Connection::Busy*>(context);
    const Clock::time_point now = Clock::now();
    const auto timeout = std::chrono::milliseconds(busy->timeout);
    // Within an action every wait draws on one timeout, so a refill after a
    // write that waited in vain fails at once instead of waiting again.
    if (busy->actions > 0 && !busy->actionDeadline)
        busy->actionDeadline = now + timeout;
    if (busy->actions == 0 && count == 0)
        busy->waitDeadline = now + timeout;
    const Clock::time_point deadline =
        busy->actions > 0 ? *busy->actionDeadline : busy->waitDeadline;
    if (now >= deadline)
        return 0;
    if (!busy->waiting)
        busy->tell(true);
    // Short naps at first, for the locks that last a moment.
    static constexpr int naps[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
    const auto nap = std::chrono::milliseconds(naps[std::min<int>(count, std::size(naps) - 1)]);
    std::this_thread::sleep_for(std::min<Clock::duration>(nap, deadline - now));
    return 1;
}

// What sits at the start of the file decides whether the engine may have it:
// an empty file or a file of another kind would otherwise pass the open and
// fail, or be taken for an empty database, only at the first statement.
void checkHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(path + QStringLiteral(" cannot be read: ") + file.errorString());
    const QByteArray header = file.read(100);
    const QString name = QFileInfo(path).fileName();
    if (header.isEmpty())
        throw StoreError(name + QStringLiteral(" is empty: it is not an SQLite database."));
    // Start-up converts an Access file before it opens the library; one put in
    // its place later waits for the next start. Its signature alone is not one.
    if (fileFormat(header) == FileFormat::Access && header.size() <= accessSignatureLength)
        throw StoreError(name + QStringLiteral(" begins as a Microsoft Access database does, but "
                                               "it is too short to be one."));
    if (fileFormat(header) == FileFormat::Access)
        throw StoreError(name + QStringLiteral(" is a Microsoft Access story library. This program "
                                               "converts it into a library of its own when it "
                                               "starts: close the program and start it again."));
    if (fileFormat(header) != FileFormat::SQLite)
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

std::optional<std::pair<quint64, quint64>> fileIdentity(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return std::pair<quint64, quint64>(info.st_dev, info.st_ino);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

} // namespace

Connection::Connection() : busy_(std::make_unique<Busy>()) {}

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
    // A connection is only ever used by the thread that opened it, so the
    // engine takes no lock of its own around each of its calls.
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const QString description =
            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("Out of memory");
        const int code = db ? sqlite3_errcode(db) : SQLITE_NOMEM;
        sqlite3_close(db);
        throw StoreError(description, code);
    }
    // No memory map, whatever the engine's build defaults to: a mapped file
    // that another program cuts short ends the process with SIGBUS.
    // The call hands back the size it replaced; a negative size only asks.
    sqlite3_int64 mapSize = 0;
    sqlite3_int64 nowMapped = -1;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_MMAP_SIZE, &mapSize) != SQLITE_OK ||
        sqlite3_file_control(db, "main", SQLITE_FCNTL_MMAP_SIZE, &nowMapped) != SQLITE_OK ||
        nowMapped != 0) {
        sqlite3_close(db);
        throw StoreError(QStringLiteral("The story library cannot be read without a memory map."));
    }
    db_ = db;
    path_ = QFileInfo(path).absoluteFilePath();
    file_ = fileIdentity(path_);
    sqlite3_busy_handler(db_, onBusy, busy_.get());
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

void Connection::reopen()
{
    open(QString(path_));
}

bool Connection::fileReplaced() const
{
    return db_ && fileIdentity(path_) != file_;
}

bool Connection::readOnlyButWritable() const
{
    // Asked of the path, never by opening the file: closing another
    // descriptor of it would let go of the engine's locks.
    return db_ && sqlite3_db_readonly(db_, "main") == 1 &&
           ::faccessat(AT_FDCWD, QFile::encodeName(path_).constData(), W_OK, AT_EACCESS) == 0;
}

quint32 Connection::dataVersion() const
{
    unsigned int version = 0;
    if (db_)
        sqlite3_file_control(db_, "main", SQLITE_FCNTL_DATA_VERSION, &version);
    return version;
}

void Connection::setBusyTimeout(int milliseconds)
{
    busy_->timeout = milliseconds;
}

BusyObserver Connection::setBusyObserver(BusyObserver observer)
{
    return std::exchange(busy_->observer, std::move(observer));
}

Connection::Action::Action(Connection& connection) : connection_(connection)
{
    ++connection_.busy_->actions;
}

Connection::Action::~Action()
{
    if (--connection_.busy_->actions == 0)
        connection_.busy_->actionDeadline.reset();
}

bool Connection::actionUnderway() const
{
    return busy_->actions > 0;
}

bool Connection::waitForLock(int attempt)
{
    return onBusy(busy_.get(), attempt) != 0;
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

qint64 Connection::execute(const QString& sql)
{
    Statement statement(*this, sql);
    while (statement.step()) {
    }
    return sqlite3_changes64(db_);
}

Statement::Statement(const Connection& connection, const QString& sql)
    : db_(connection.handle()), busy_(connection.busy_.get())
{
    if (!db_)
        throw StoreError(QStringLiteral("The database connection is closed."));
    const QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    // Reading the schema may wait for a lock as a statement does.
    const int prepared =
        sqlite3_prepare_v2(db_, text.constData(), int(text.size()) + 1, &stmt_, &tail);
    busy_->ended();
    if (prepared != SQLITE_OK)
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
    const int stepped = sqlite3_step(stmt_);
    busy_->ended();
    switch (stepped) {
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

int Statement::type(int column) const
{
    checkColumn(column);
    return sqlite3_column_type(stmt_, column);
}

qint64 Statement::integer(int column) const
{
    if (type(column) == SQLITE_NULL)
        throw StoreError(Failure::invalidUseOfNull);
    return sqlite3_column_int64(stmt_, column);
}

std::optional<QString> Statement::text(int column) const
{
    if (type(column) == SQLITE_NULL)
        return std::nullopt;
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    // A leading byte-order mark is a character of the story, not a marker to
    // skip as QString::fromUtf8 would.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                     QStringDecoder::Flag::Stateless);
    return decoder.decode(QByteArrayView(data, sqlite3_column_bytes(stmt_, column)));
}

void Statement::fail() const
{
    throw StoreError(QString::fromUtf8(sqlite3_errmsg(db_)), sqlite3_errcode(db_));
}

} // namespace sqlite
