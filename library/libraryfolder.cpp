#include "library/libraryfolder.h"

#include "core/failures.h"
#include "library/durablefile.h"
#include "stories/storystore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

namespace {

[[noreturn]] void copyFailed(const QString& sample, const QString& library, const QString& reason)
{
    Failure::raise(QStringLiteral("The sample story library %1 could not be copied to %2: %3")
                       .arg(sample, library, reason));
}

} // namespace

QString LibraryFolder::choose(const QString& programFolder)
{
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                        QStringLiteral("/quillrace");
#if defined(QUILL_PACKAGED)
    // The package manager replaces the program folder's files at every
    // upgrade, even for root, who could write there.
    Q_UNUSED(programFolder);
    return own;
#else
    return QFileInfo(programFolder).isWritable() ? programFolder : own;
#endif
}

void LibraryFolder::copySampleIfMissing(const QString& libraryFolder, const QString& programFolder)
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
    std::optional<DurableFile> copy;
    try {
        copy.emplace(library, library + QStringLiteral(".XXXXXX"));
        copy->copyFrom(source.handle());
        // Never over a library another start-up placed meanwhile, and perhaps
        // already wrote to; this copy then goes.
        (void)copy->place(0600, false);
    } catch (const std::system_error& failure) {
        // Once in place the library is whole; the engine syncs the folder
        // again when it first makes its journal there.
        if (!copy || !copy->placed())
            copyFailed(sample, library, QString::fromLocal8Bit(failure.code().message().c_str()));
    }
}
