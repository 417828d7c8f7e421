#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

// The one failure type of the story store: every failure of the file, the
// connection, a statement or a read. what() is the description in UTF-8; for
// a failure of the engine it is the engine's own text (sqlite3_errmsg), and
// code() the engine's primary result code (SQLITE_READONLY, ...); 0 for a
// failure the program finds itself.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString& description, int code = 0);

    QString description() const { return QString::fromUtf8(what()); }
    int code() const { return code_; }

private:
    int code_;
};

// A thin RAII layer over the SQLite C API. Every engine call is checked and
// every failure becomes a StoreError carrying the engine's text. Files are read
// through ordinary reads, never a memory map: a file that another program cuts
// short under a map would end the process with a signal instead of a failure.
namespace sqlite {

// Called with the text of each statement as the engine starts to run it.
using StatementObserver = std::function<void(const QString&)>;
// Called with true when a statement starts to wait for another connection's
// lock, and with false when that statement has ended.
using BusyObserver = std::function<void(bool waiting)>;

class Connection
{
public:
    Connection();
    ~Connection();
    Q_DISABLE_COPY_MOVE(Connection)

    // Opens an existing database file for reading and writing, for use by this
    // thread alone. Never creates a file; a file the process may not write is
    // opened read-only by the engine and its writes fail. The path is taken as
    // a plain file name, never as a URI.
    void open(const QString& path);
    // Opens the file of the last open() again, by the absolute path it had
    // then, whatever the current folder is now.
    void reopen();
    // Safe when nothing is open.
    void close() noexcept;
    bool isOpen() const { return db_ != nullptr; }
    // True when the path no longer names the file this connection has open:
    // another program moved a file over it, or removed it.
    bool fileReplaced() const;
    // True when the engine opened the file read-only, as it does a file this
    // process could not write then, and this process may write it now.
    bool readOnlyButWritable() const;
    // Moves whenever the file changes, by this connection or another; another
    // program's change shows only once a read of this connection has begun.
    quint32 dataVersion() const;

    // How long a statement waits for another connection's lock before it fails
    // with "database is locked"; inside an action, how long all its statements
    // wait together.
    void setBusyTimeout(int milliseconds);
    // Gives the observer in place and returns the one it had.
    BusyObserver setBusyObserver(BusyObserver observer);
    void setStatementObserver(StatementObserver observer);

    // While an Action lives, the statements run meanwhile share one busy
    // timeout, counted from the first wait. Actions nest; the outermost counts.
    class Action
    {
    public:
        explicit Action(Connection& connection);
        ~Action();
        Q_DISABLE_COPY_MOVE(Action)

    private:
        Connection& connection_;
    };
    bool actionUnderway() const;
    // Waits for another connection's lock as a statement would, the attempt
    // counted from 0; false once the timeout has passed.
    bool waitForLock(int attempt);

    // Runs one statement to its end and gives the number of rows it changed.
    // Throws when the connection is closed or the engine fails; the connection
    // stays usable either way.
    qint64 execute(const QString& sql);

    sqlite3* handle() const { return db_; }

    struct Busy; // the waiting state the engine's busy handler works on

private:
    friend class Statement;
    void installTrace();

    sqlite3* db_ = nullptr;
    QString path_;                                    // absolute
    std::optional<std::pair<quint64, quint64>> file_; // device and inode of the open file
    std::unique_ptr<Busy> busy_;
    StatementObserver observer_;
};

// One prepared statement, read forward only. Text after the first statement
// is refused before anything runs: a statement text is never a script.
class Statement
{
public:
    Statement(const Connection& connection, const QString& sql);
    ~Statement();
    Q_DISABLE_COPY_MOVE(Statement)

    // True on a new row, false past the last one.
    bool step();

    int columnCount() const;
    // The storage class of a field of the current row (SQLITE_INTEGER, ...);
    // a position the row does not have throws.
    int type(int column) const;
    qint64 integer(int column) const;
    // The field exactly as stored, a leading U+FEFF included; numbers in their
    // text form; nullopt for a null field.
    std::optional<QString> text(int column) const;

private:
    void checkColumn(int column) const;
    [[noreturn]] void fail() const;

    sqlite3* db_;
    Connection::Busy* busy_;
    sqlite3_stmt* stmt_ = nullptr;
};

} // namespace sqlite
