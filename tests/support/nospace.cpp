// Preloaded (LD_PRELOAD) by a test: writes fail as they do on a full disk,
// wherever the test runs, without a file system of its own. With
// NOSPACE_SUFFIX set, only files whose name ends so are full, and hard links
// fail as on a file system without them; without it, every write fails.

#include <dlfcn.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/types.h>
#include <unistd.h>

namespace {

bool full(int fd)
{
    const char* suffix = std::getenv("NOSPACE_SUFFIX");
    if (!suffix)
        return true;
    char name[4096];
    const ssize_t length =
        readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), name, sizeof name);
    const size_t wanted = std::strlen(suffix);
    return length >= ssize_t(wanted) && std::memcmp(name + length - wanted, suffix, wanted) == 0;
}

template <class Call> Call next(const char* name)
{
    return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

ssize_t write(int fd, const void* buffer, size_t size)
{
    if (!full(fd))
        return next<ssize_t (*)(int, const void*, size_t)>("write")(fd, buffer, size);
    errno = ENOSPC;
    return -1;
}

ssize_t pwrite64(int fd, const void* buffer, size_t size, off64_t at)
{
    if (!full(fd))
        return next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64")(fd, buffer, size,
                                                                                at);
    errno = ENOSPC;
    return -1;
}

ssize_t pwrite(int fd, const void* buffer, size_t size, off_t at)
{
    return pwrite64(fd, buffer, size, at);
}

ssize_t sendfile64(int out, int in, off64_t* at, size_t size)
{
    if (!full(out))
        return next<ssize_t (*)(int, int, off64_t*, size_t)>("sendfile64")(out, in, at, size);
    errno = ENOSPC;
    return -1;
}

ssize_t sendfile(int out, int in, off_t* at, size_t size)
{
    return sendfile64(out, in, reinterpret_cast<off64_t*>(at), size);
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    if (!std::getenv("NOSPACE_SUFFIX"))
        return next<int (*)(int, const char*, int, const char*, int)>("linkat")(
            fromFolder, from, toFolder, to, flags);
    errno = EPERM;
    return -1;
}

} // extern "C"
