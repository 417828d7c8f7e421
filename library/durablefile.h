#pragma once

#include <QString>

#include <functional>
#include <system_error>

#include <sys/types.h>

// One open file descriptor, closed with its holder.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor();
    Q_DISABLE_COPY_MOVE(Descriptor)
    operator int() const { return fd_; }

private:
    int fd_;
};

// A file that appears under its name whole or not at all, whatever ends the
// program or the machine meanwhile: written under a temporary name beside its
// place, synced, renamed into place and made lasting by one sync of the
// folder. Until it is placed, the temporary file goes with the object. Every
// failure of the system throws std::system_error with its error number.
class DurableFile
{
public:
    // Told to the observer once done, in this order.
    enum class Step { Synced, Placed, FolderSynced };

    // Makes the temporary file, empty and for its owner alone. A name ending
    // in XXXXXX is made unique, for writers that may run at once; any other
    // is the caller's alone (under a lock of its own), and a file left under
    // it by a write cut short goes first.
    DurableFile(const QString& path, const QString& temporary,
                std::function<void(Step)> observer = {});
    ~DurableFile();
    Q_DISABLE_COPY_MOVE(DurableFile)

    // Appends every byte of `source`, read from its start.
    void copyFrom(int source);
    // Gives the file `mode`, syncs it, renames it into place and syncs the
    // folder. A file already in its place stays unless `replace`; then this
    // gives false and the temporary file goes.
    bool place(mode_t mode, bool replace);
    // True once renamed into place, even when the folder's sync then failed.
    bool placed() const { return placed_; }

private:
    QString path_;
    QByteArray temporary_;
    std::function<void(Step)> observer_;
    int fd_ = -1;
    bool placed_ = false;
};

// Makes lasting what was renamed or linked in the folder.
void syncFolder(const QString& folder);
