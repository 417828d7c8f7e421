#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <utility>

struct sqlite3;

// A temporary program folder of its own for one test: dbStory.mdb with the
// stories given (keys 1, 2, ... in that order), or no library at all. The
// library is written through SQLite directly, never through the code under test.
class ProgramFolder
{
public:
    explicit ProgramFolder(const QStringList& stories = {});

    // A folder without dbStory.mdb.
    static ProgramFolder withoutLibrary();

    QString path() const { return dir_.path(); }
    QString libraryPath() const;
    QString filePath(const QString& name) const;

    // The rows on file, in key order; a null story reads as nullopt.
    struct Row
    {
        qint64 id;
        std::optional<QString> story;
    };
    QList<Row> rows() const;
    QStringList stories() const;

    // Runs SQL against the library directly (to plant nulls, or to lock it).
    void exec(const QString& sql) const;

    void writeFile(const QString& name, const QByteArray& bytes) const;

    // Another program's hold on the library, from a connection of its own, until
    // destroyed: a write lock ("begin immediate": others may read, none may
    // write) or an exclusive one that keeps readers out as well. A change made
    // under it is committed when it is let go.
    class Lock
    {
    public:
        Lock(Lock&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}
        Lock& operator=(Lock&&) = delete;
        ~Lock();

    private:
        friend class ProgramFolder;
        explicit Lock(sqlite3* db) : db_(db) {}
        sqlite3* db_;
    };
    [[nodiscard]] Lock lock(bool exclusive = false, const QString& change = {}) const;

    // The library read-only for this process while the guard lives: the file
    // loses its write bits and, for root (whom those bits do not stop), the
    // process runs as user nobody. Open the library only after making it.
    class ReadOnly
    {
    public:
        ReadOnly(ReadOnly&& other) noexcept;
        ReadOnly& operator=(ReadOnly&&) = delete;
        ~ReadOnly();
        // Empty when the guard is in force, else why it could not be.
        QString failure() const { return failure_; }

    private:
        friend class ProgramFolder;
        ReadOnly() = default;
        QString file_;
        QString failure_;
        bool droppedRoot_ = false;
        bool active_ = false;
    };
    [[nodiscard]] ReadOnly readOnly() const;

private:
    struct NoLibrary
    {
    };
    explicit ProgramFolder(NoLibrary) {}
    QTemporaryDir dir_;
};
