#include "programfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <sqlite3.h>
#include <stdexcept>
#include <unistd.h>

namespace {

struct Db
{
    sqlite3* db = nullptr;
    explicit Db(const QString& path, int flags)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK)
            fail();
    }
    ~Db() { sqlite3_close(db); }
    [[noreturn]] void fail() const
    {
        throw std::runtime_error(db ? sqlite3_errmsg(db) : "out of memory");
    }
    void exec(const QString& sql) const
    {
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail();
    }
    using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;
    Statement prepare(const char* sql) const
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            fail();
        return Statement(statement, &sqlite3_finalize);
    }
};

} // namespace

ProgramFolder::ProgramFolder(const QStringList& stories)
{
    Db db(libraryPath(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    db.exec("create table story (id integer primary key, fldstory text)");
    db.exec("begin");
    const auto insert = db.prepare("insert into story (fldstory) values (?)");
    for (const QString& story : stories) {
        // As UTF-8: the engine would take a leading U+FEFF of UTF-16 for a byte-order mark.
        const QByteArray text = story.toUtf8();
        if (sqlite3_bind_text(insert.get(), 1, text.constData(), int(text.size()),
                              SQLITE_TRANSIENT) != SQLITE_OK ||
            sqlite3_step(insert.get()) != SQLITE_DONE)
            db.fail();
        sqlite3_reset(insert.get());
    }
    db.exec("commit");
}

ProgramFolder ProgramFolder::withoutLibrary()
{
    return ProgramFolder(NoLibrary{});
}

QString ProgramFolder::libraryPath() const
{
    return filePath("dbStory.mdb");
}

QString ProgramFolder::filePath(const QString& name) const
{
    return path() + QDir::separator() + name;
}

QList<ProgramFolder::Row> ProgramFolder::rows() const
{
    Db db(libraryPath(), SQLITE_OPEN_READONLY);
    const auto select = db.prepare("select id, fldstory from story order by id");
    QList<Row> rows;
    int stepped;
    while ((stepped = sqlite3_step(select.get())) == SQLITE_ROW) {
        Row row{sqlite3_column_int64(select.get(), 0), std::nullopt};
        if (sqlite3_column_type(select.get(), 1) != SQLITE_NULL) {
            // Taken as it is: fromUtf16 would drop a leading U+FEFF as a byte-order mark.
            const auto* text = static_cast<const QChar*>(sqlite3_column_text16(select.get(), 1));
            row.story = QString(text, sqlite3_column_bytes16(select.get(), 1) / 2);
        }
        rows.append(row);
    }
    // A read that stops early is a failure, never a shorter library.
    if (stepped != SQLITE_DONE)
        db.fail();
    return rows;
}

QStringList ProgramFolder::stories() const
{
    QStringList stories;
    for (const Row& row : rows())
        stories.append(row.story.value_or(QString()));
    return stories;
}

void ProgramFolder::exec(const QString& sql) const
{
    Db(libraryPath(), SQLITE_OPEN_READWRITE).exec(sql);
}

void ProgramFolder::writeFile(const QString& name, const QByteArray& bytes) const
{
    QDir(path()).mkpath(QFileInfo(filePath(name)).path());
    QFile file(filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + name.toStdString());
}

ProgramFolder::Lock ProgramFolder::lock(bool exclusive, const QString& change) const
{
    Db db(libraryPath(), SQLITE_OPEN_READWRITE);
    sqlite3_busy_timeout(db.db, 5000); // the commit waits for readers to let go
    db.exec(exclusive ? QStringLiteral("begin exclusive") : QStringLiteral("begin immediate"));
    if (!change.isEmpty())
        db.exec(change);
    return Lock(std::exchange(db.db, nullptr));
}

ProgramFolder::Lock::~Lock()
{
    if (db_)
        sqlite3_exec(db_, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
}

ProgramFolder::ReadOnly ProgramFolder::readOnly() const
{
    constexpr uid_t nobody = 65534;
    ReadOnly guard;
    guard.file_ = libraryPath();
    // Whoever runs the test must still reach the file through its folder.
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                      QFile::ExeOther);
    QFile::setPermissions(guard.file_, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    if (geteuid() == 0) {
        if (seteuid(nobody) != 0) {
            guard.failure_ = QStringLiteral("running as root, and seteuid(nobody) failed, so "
                                            "a read-only file cannot be had");
            return guard;
        }
        guard.droppedRoot_ = true;
    }
    guard.active_ = true;
    return guard;
}

ProgramFolder::ReadOnly::ReadOnly(ReadOnly&& other) noexcept
    : file_(std::move(other.file_)), failure_(std::move(other.failure_)),
      droppedRoot_(std::exchange(other.droppedRoot_, false)),
      active_(std::exchange(other.active_, false))
{}

ProgramFolder::ReadOnly::~ReadOnly()
{
    if (droppedRoot_ && seteuid(0) != 0)
        qFatal("cannot return to root after a read-only test");
    if (active_ || !failure_.isEmpty())
        QFile::setPermissions(file_, QFile::ReadOwner | QFile::WriteOwner);
}
