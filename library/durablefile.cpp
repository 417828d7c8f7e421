#include "library/durablefile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

[[noreturn]] static void fail()
{
    throw std::system_error(errno, std::generic_category());
}

Descriptor::~Descriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void syncFolder(const QString& folder)
{
    const Descriptor fd(
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd < 0 || ::fsync(fd) != 0)
        fail();
}

DurableFile::DurableFile(const QString& path, const QString& temporary,
                         std::function<void(Step)> observer)
    : path_(path), temporary_(QFile::encodeName(temporary)),
      observer_(observer ? std::move(observer) : [](Step) {})
{
    const bool unique = temporary_.endsWith("XXXXXX");
    if (!unique)
        ::unlink(temporary_.constData());
    fd_ = unique ? ::mkostemp(temporary_.data(), O_CLOEXEC)
                 : ::open(temporary_.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ < 0)
        fail();
}

DurableFile::~DurableFile()
{
    ::close(fd_);
    if (!placed_)
        ::unlink(temporary_.constData());
}

void DurableFile::copyFrom(int source)
{
    off_t at = 0;
    for (ssize_t sent; (sent = ::sendfile(fd_, source, &at, 1 << 30)) != 0;)
        if (sent < 0)
            fail();
}

bool DurableFile::place(mode_t mode, bool replace)
{
    if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0)
        fail();
    observer_(Step::Synced);
    const QByteArray path = QFile::encodeName(path_);
    const char* temporary = temporary_.constData();
    if (::renameat2(AT_FDCWD, temporary, AT_FDCWD, path.constData(),
                    replace ? 0 : RENAME_NOREPLACE) != 0) {
        // A file system that cannot rename without replacing (NFS among them)
        // can still link without replacing.
        if (replace || errno != EINVAL || ::link(temporary, path.constData()) != 0) {
            if (errno == EEXIST && !replace)
                return false;
            fail();
        }
        ::unlink(temporary);
    }
    placed_ = true;
    observer_(Step::Placed);
    syncFolder(QFileInfo(path_).absolutePath());
    observer_(Step::FolderSynced);
    return true;
}
