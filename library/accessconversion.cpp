#include "library/accessconversion.h"

#include "core/fileformat.h"
#include "library/durablefile.h"
#include "library/jetreaderprotocol.h"
#include "stories/sqlite.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AccessConversion {
namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool noRoom(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

QByteArray path(const QString& name)
{
    return QFile::encodeName(name);
}

QString plural(qint64 count, const QString& one, const QString& many)
{
    return count == 1 ? one : many.arg(count);
}

QString seconds(std::chrono::milliseconds time)
{
    return plural((time.count() + 999) / 1000, QStringLiteral("1 second"),
                  QStringLiteral("%1 seconds"));
}

class Conversion
{
public:
    Conversion(const QString& libraryPath, const QString& readerPath, const Options& options)
        : library_(libraryPath), reader_(readerPath), options_(options),
          folder_(QFileInfo(libraryPath).absolutePath()), name_(QFileInfo(libraryPath).fileName()),
          newLibrary_(libraryPath + QStringLiteral(".converting"))
    {}
    ~Conversion()
    {
        // A kept file that a refusal made is taken away again; after the
        // rename there is nothing left to take.
        if (!madeKept_.isEmpty())
            ::unlink(path(madeKept_).constData());
    }

    // Nothing when another copy converted the file while this one waited.
    std::optional<Result> run(int accessFd);

private:
    [[noreturn]] void refuse(const QString& because, const QString& advice = {}) const;
    // A failure of the system; a full disk names the file that did not fit.
    [[noreturn]] void refuseSystem(const QString& what, int error,
                                   const QString& file = QStringLiteral("the new library")) const;
    void tell(Step step) const
    {
        if (options_.observer)
            options_.observer(step);
    }
    void tell(const Progress& progress) const
    {
        if (options_.progress)
            options_.progress(progress);
    }
    // Handles events until `done` holds, asking it whenever `loop` is quit and
    // every 50 ms; false when `limit` passes first. Cancel refuses.
    bool waitUntil(QEventLoop& loop, const std::function<bool()>& done,
                   std::chrono::milliseconds limit) const;
    void lock(int accessFd);
    void runReader();
    // One line of the reader's output: progress, told on, or its answer.
    void readLine(const QByteArray& line, QString& answer) const;
    void refuseReader(int exit, const QString& line) const;
    qint64 countStories() const;
    QString keep(int accessFd, const struct stat& access);
    bool sameBytes(const QByteArray& path, int accessFd, off_t size) const;

    QString library_, reader_;
    const Options& options_;
    QString folder_, name_;
    QString newLibrary_; // written by the reader, then renamed into place
    QString madeKept_;   // the kept file this conversion made, until it is done
};

std::optional<Result> Conversion::run(int accessFd)
{
    lock(accessFd);
    struct stat access = {}, now = {};
    if (::fstat(accessFd, &access) != 0 || ::stat(path(library_).constData(), &now) != 0 ||
        access.st_dev != now.st_dev || access.st_ino != now.st_ino)
        return std::nullopt;
    std::optional<DurableFile> created;
    try {
        created.emplace(library_, newLibrary_, [this](DurableFile::Step step) {
            tell(Step(int(Step::LibrarySynced) + int(step)));
        });
    } catch (const std::system_error& failure) {
        const int error = failure.code().value();
        if (noRoom(error))
            refuseSystem({}, error);
        refuse(QStringLiteral("the folder %1 cannot be written (%2)")
                   .arg(QDir::toNativeSeparators(folder_), systemText(error)));
    }
    runReader();
    Result result;
    result.stories = countStories();
    result.keptAs = keep(accessFd, access);
    tell(Step::AccessFileKept);
    try {
        (void)created->place(access.st_mode & 0666, true);
    } catch (const std::system_error& failure) {
        // Once in place it cannot be taken back; a folder not synced only
        // risks the Access file's name coming back after a power cut, and
        // that converts again.
        if (!created->placed())
            refuseSystem(QStringLiteral("saving the new library"), failure.code().value());
    }
    madeKept_.clear();
    return result;
}

void Conversion::refuse(const QString& because, const QString& advice) const
{
    throw StoreError(QStringLiteral("%1 is a Microsoft Access story library. It could not be "
                                    "converted into a library of this program, because %2. %3"
                                    "%1 was left unchanged.")
                         .arg(name_, because, advice));
}

void Conversion::refuseSystem(const QString& what, int error, const QString& file) const
{
    if (noRoom(error))
        refuse(QStringLiteral("there is not enough free disk space for ") + file,
               QStringLiteral("Free some space, then start this program again. "));
    refuse(what + QStringLiteral(" failed (") + systemText(error) + u')');
}

bool Conversion::waitUntil(QEventLoop& loop, const std::function<bool()>& done,
                           std::chrono::milliseconds limit) const
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start(50);
    while (!done()) {
        if (options_.cancelled && options_.cancelled())
            refuse(QStringLiteral("the conversion was cancelled"));
        if (clock.elapsed() >= limit.count())
            return false;
        loop.exec();
    }
    return true;
}

void Conversion::lock(int accessFd)
{
    // One conversion of a file at a time. A lock the system cannot give (a
    // file system without them) is no reason to refuse.
    const auto taken = [accessFd] {
        int locked;
        while ((locked = ::flock(accessFd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
        }
        return locked == 0 || errno != EWOULDBLOCK;
    };
    if (taken())
        return;
    tell(Progress{true, 0, 0});
    QEventLoop loop;
    if (!waitUntil(loop, taken, options_.lockLimit))
        refuse(QStringLiteral("another copy of the program has been converting it for more "
                              "than %1")
                   .arg(seconds(options_.lockLimit)),
               QStringLiteral("Start this program again once that copy is done. "));
}

void Conversion::runReader()
{
    QProcess reader;
    reader.setProgram(reader_);
    reader.setArguments({library_, newLibrary_});
    reader.setStandardErrorFile(QProcess::nullDevice());
    // libmdb's debugging options would print the file's rows where the reader's
    // answer goes.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("MDBOPTS"));
    reader.setProcessEnvironment(environment);
    const pid_t parent = ::getpid();
    const auto memory = rlim_t(options_.memoryLimit);
    // Runs in the reader's process before the program starts: only calls that
    // are safe between fork and exec.
    reader.setChildProcessModifier([parent, memory] {
        const rlimit space{memory, memory};
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_AS, &space);
        ::setrlimit(RLIMIT_CORE, &noCore);
        // A reader whose program was killed must not go on writing.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
    reader.start(QIODevice::ReadOnly);
    if (!reader.waitForStarted())
        refuse(QStringLiteral("the program that reads Access files, %1, could not be started (%2)")
                   .arg(QDir::toNativeSeparators(reader_), reader.errorString()));
    tell(Step::ReaderStarted);
    tell(Progress{});
    // The reader's output is read as it comes, and the events of the window
    // that shows it are handled meanwhile; leaving early kills the reader.
    QString answer;
    QByteArray pending;
    const auto readLines = [&] {
        pending += reader.readAllStandardOutput();
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
            readLine(pending.left(end), answer);
    };
    const auto stopReader = qScopeGuard([&] {
        reader.kill();
        reader.waitForFinished();
    });
    QEventLoop loop;
    QObject::connect(&reader, &QProcess::readyReadStandardOutput, readLines);
    QObject::connect(&reader, &QProcess::finished, &loop, &QEventLoop::quit);
    if (!waitUntil(
            loop, [&] { return reader.state() == QProcess::NotRunning; }, options_.timeLimit))
        refuse(QStringLiteral("reading it took longer than %1").arg(seconds(options_.timeLimit)),
               QStringLiteral("The file may be damaged. "));
    if (reader.exitStatus() != QProcess::NormalExit)
        refuse(QStringLiteral("the program that reads it stopped unexpectedly"),
               QStringLiteral("The file may be damaged. "));
    readLines();
    readLine(pending, answer);
    if (reader.exitCode() != JetReader::Converted)
        refuseReader(reader.exitCode(), answer);
    tell(Step::ReaderFinished);
}

void Conversion::readLine(const QByteArray& line, QString& answer) const
{
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.size() == 3 && words[0] == JetReader::progressWord)
        tell(Progress{false, words[1].toLongLong(), words[2].toLongLong()});
    else if (!line.trimmed().isEmpty())
        answer = QString::fromUtf8(line.left(400)).trimmed();
}

void Conversion::refuseReader(int exit, const QString& line) const
{
    switch (exit) {
    case JetReader::NoStoryTable:
        refuse(QStringLiteral("it has no table named story"));
    case JetReader::NoIdColumn:
        refuse(QStringLiteral("its table story has no whole-number column id"));
    case JetReader::NoTextColumn:
        refuse(QStringLiteral("its table story has no text column fldstory"));
    case JetReader::Password:
        refuse(QStringLiteral("it is protected by a password"),
               QStringLiteral("Remove the password in Microsoft Access, then start this "
                              "program again. "));
    case JetReader::Encrypted:
        refuse(QStringLiteral("it is encrypted"),
               QStringLiteral("Decrypt it in Microsoft Access, then start this program again. "));
    case JetReader::Damaged:
        refuse(QStringLiteral("it is damaged: ") + line);
    case JetReader::UnknownCodePage:
        refuse(QStringLiteral("its texts are in code page %1, which this system cannot read")
                   .arg(line));
    case JetReader::SharedKey:
        refuse(QStringLiteral("two of its stories have the same id, %1").arg(line));
    case JetReader::MissingKey:
        refuse(QStringLiteral("one of its stories has no id"));
    case JetReader::DiskFull:
        refuseSystem({}, ENOSPC);
    case JetReader::WriteFailed:
        refuse(QStringLiteral("writing the new library failed (%1)").arg(line));
    case JetReader::OutOfMemory:
        refuse(QStringLiteral("reading it needed more than %1 MB of memory")
                   .arg(options_.memoryLimit >> 20),
               QStringLiteral("The file may be damaged. "));
    default:
        refuse(QStringLiteral("the program that reads it ended with the unexpected code %1")
                   .arg(exit));
    }
}

qint64 Conversion::countStories() const
{
    // The count comes from the new library itself, which also proves it whole.
    try {
        sqlite::Connection connection;
        connection.open(newLibrary_);
        sqlite::Statement count(connection, QStringLiteral("select count(*) from story"));
        if (!count.step())
            throw StoreError(QStringLiteral("no count"));
        return count.integer(0);
    } catch (const StoreError& failure) {
        refuse(QStringLiteral("the new library cannot be read (%1)").arg(failure.description()));
    }
}

QString Conversion::keep(int accessFd, const struct stat& access)
{
    const QFileInfo library(library_);
    for (int n = 1; n < 100; ++n) {
        const QString name = library.completeBaseName() + QStringLiteral(".access") +
                             (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + u'.' +
                             library.suffix();
        const QString kept = folder_ + QDir::separator() + name;
        struct stat existing = {};
        if (::stat(path(kept).constData(), &existing) == 0) {
            // A conversion cut short kept it already: the same file, or a whole copy.
            if ((existing.st_dev == access.st_dev && existing.st_ino == access.st_ino) ||
                sameBytes(path(kept), accessFd, access.st_size))
                return name;
            continue;
        }
        std::optional<DurableFile> copy;
        try {
            if (::linkat(AT_FDCWD, path(library_).constData(), AT_FDCWD, path(kept).constData(),
                         AT_SYMLINK_FOLLOW) == 0) {
                madeKept_ = kept;
                syncFolder(folder_);
                return name;
            }
            if (errno == EEXIST)
                continue;
            // A file system without links keeps a copy, never over a file of
            // that name: it is the user's.
            copy.emplace(kept, library_ + QStringLiteral(".keeping"));
            copy->copyFrom(accessFd);
            if (!copy->place(access.st_mode & 0666, false))
                continue;
            madeKept_ = kept;
            return name;
        } catch (const std::system_error& failure) {
            if (copy && copy->placed())
                madeKept_ = kept;
            refuseSystem(QStringLiteral("keeping the Access file"), failure.code().value(),
                         name + QStringLiteral(", the copy of the Access file kept beside the "
                                               "new library"));
        }
    }
    refuse(QStringLiteral("every name for keeping it beside the new library is taken"));
}

bool Conversion::sameBytes(const QByteArray& kept, int accessFd, off_t size) const
{
    const Descriptor other(::open(kept.constData(), O_RDONLY | O_CLOEXEC));
    struct stat info = {};
    if (other < 0 || ::fstat(other, &info) != 0 || info.st_size != size)
        return false;
    char a[65536], b[65536];
    for (off_t at = 0; at < size;) {
        const ssize_t got = ::pread(accessFd, a, sizeof a, at);
        if (got <= 0 || ::pread(other, b, size_t(got), at) != got || std::memcmp(a, b, size_t(got)))
            return false;
        at += got;
    }
    return true;
}

} // namespace

std::optional<Result> convertIfAccess(const QString& libraryPath, const QString& readerPath,
                                      const Options& options)
{
    const QByteArray name = path(libraryPath);
    const Descriptor access(::open(name.constData(), O_RDONLY | O_CLOEXEC));
    char header[20] = {};
    if (access < 0 || ::pread(access, header, sizeof header, 0) != sizeof header ||
        fileFormat(QByteArrayView(header, sizeof header)) != FileFormat::Access)
        return std::nullopt;
    return Conversion(libraryPath, readerPath, options).run(access);
}

QString convertedMessage(const QString& libraryName, const Result& result)
{
    return QStringLiteral("%1 was a Microsoft Access story library. %2 carried over into a "
                          "library of this program. The Access file is kept unchanged beside it "
                          "as %3.")
        .arg(libraryName,
             plural(result.stories, QStringLiteral("Its one story was"),
                    QStringLiteral("Its %1 stories were")),
             result.keptAs);
}

} // namespace AccessConversion
