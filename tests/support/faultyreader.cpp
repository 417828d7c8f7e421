// A test-only stand-in for quillrace-jetreader that fails as FAULT says, so
// that a reader that crashes, hangs or takes memory without end can be tested
// without a fault switch in the real one.

#include "library/jetreaderprotocol.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>
#include <unistd.h>

int main(int argc, char* argv[])
{
    constexpr std::string_view fault = FAULT;
    if (fault == "crash")
        std::raise(SIGSEGV);
    if (fault == "hang" && argc == 3) {
        if (std::FILE* file = std::fopen(argv[2], "w"))
            std::fprintf(file, "%d\n", int(getpid())), std::fclose(file);
        for (;;)
            pause();
    }
    // Should the limit not hold, the hog still stops at 1 GiB.
    try {
        for (int i = 0; i < 64; ++i)
            std::memset(new char[16 << 20], 1, 16 << 20);
    } catch (const std::bad_alloc&) {
        return JetReader::OutOfMemory;
    }
    return JetReader::Converted;
}
