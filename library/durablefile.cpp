#include "library/durablefile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail()
{
    throw std::system_error(errno, std::generic_category());
}

int create(QByteArray& temporary)
{
    if (temporary.endsWith("XXXXXX"))
        return ::mkostemp(temporary.data(), O_CLOEXEC);
    ::unlink(temporary.constData());
    return ::open(temporary.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}

} // namespace

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
    : path_(path), temporary_(QFile::encodeName(temporary)), observer_(std::move(observer)),
      fd_(create(temporary_))
{
    if (fd_ < 0)
        fail();
}

DurableFile::~DurableFile()
{
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
    const auto tell = [this](Step step) {
        if (observer_)
            observer_(step);
    };
    if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0)
        fail();
    tell(Step::Synced);
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
    tell(Step::Placed);
    syncFolder(QFileInfo(path_).absolutePath());
    tell(Step::FolderSynced);
    return true;
}
