// Preloaded (LD_PRELOAD) into the reader by a test: every write fails as it
// does on a full disk, wherever the test runs, without a file system of its
// own.

#include <cerrno>
#include <sys/types.h>

extern "C" {

ssize_t write(int, const void*, size_t)
{
    errno = ENOSPC;
    return -1;
}

ssize_t pwrite(int, const void*, size_t, off_t)
{
    errno = ENOSPC;
    return -1;
}

ssize_t pwrite64(int, const void*, size_t, off64_t)
{
    errno = ENOSPC;
    return -1;
}

} // extern "C"
