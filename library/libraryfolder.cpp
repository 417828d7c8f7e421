#include "library/libraryfolder.h"

#include "core/failures.h"
#include "stories/storystore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

[[noreturn]] void copyFailed(const QString& sample, const QString& library, const QString& reason)
{
    Failure::raise(QStringLiteral("The sample story library %1 could not be copied to %2: %3")
                       .arg(sample, library, reason));
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A rename is on disk only once the folder that holds it is. Failing that, the
// library is whole all the same, and the engine syncs the folder again when it
// first makes its journal there.
void syncFolder(const QString& folder) noexcept
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

QString LibraryFolder::choose(const QString& programFolder, const QString& userFolder)
{
    return QFileInfo(programFolder).isWritable() ? programFolder : userFolder;
}

void LibraryFolder::provide(const QString& libraryFolder, const QString& programFolder)
{
    if (libraryFolder == programFolder || StoryStore::storyFileExists(libraryFolder) ||
        !StoryStore::storyFileExists(programFolder))
        return;
    const QString sample = StoryStore::storyFilePath(programFolder);
    const QString library = StoryStore::storyFilePath(libraryFolder);
    if (!QDir().mkpath(libraryFolder))
        copyFailed(sample, library, QStringLiteral("its folder cannot be made"));

    QFile source(sample);
    if (!source.open(QIODevice::ReadOnly))
        copyFailed(sample, library, source.errorString());
    QTemporaryFile copy(library + QStringLiteral(".XXXXXX"));
    if (!copy.open())
        copyFailed(sample, library, copy.errorString());
    char buffer[1 << 16];
    for (qint64 got; (got = source.read(buffer, sizeof buffer)) != 0;) {
        if (got < 0)
            copyFailed(sample, library, source.errorString());
        if (copy.write(buffer, got) != got)
            copyFailed(sample, library, copy.errorString());
    }
    if (!copy.flush())
        copyFailed(sample, library, copy.errorString());
    if (::fsync(copy.handle()) != 0)
        copyFailed(sample, library, systemError());
    // The rename never replaces a file, so a library another start-up placed
    // meanwhile, and perhaps already wrote to, stays; this copy then goes.
    if (!copy.rename(library)) {
        if (StoryStore::storyFileExists(libraryFolder))
            return;
        copyFailed(sample, library, copy.errorString());
    }
    copy.setAutoRemove(false); // a renamed temporary file is still removed otherwise
    syncFolder(libraryFolder);
}
