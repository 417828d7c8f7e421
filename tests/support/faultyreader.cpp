// A test-only stand-in for quillrace-jetreader that fails as FAULT says: so
// that the conversion's handling of a reader that crashes, hangs or takes
// memory without end can be tested without a fault switch in the real one.

#include "stories/jetreaderprotocol.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>
#include <unistd.h>
#include <vector>

int main(int argc, char* argv[])
{
    constexpr std::string_view fault = FAULT;
    if (fault == "crash")
        std::raise(SIGSEGV);
    if (fault == "hang" && argc == 3) {
        if (FILE* file = std::fopen(argv[2], "w")) {
            std::fprintf(file, "%d\n", int(getpid()));
            std::fclose(file);
        }
        for (;;)
            pause();
    }
    // A limit that did not hold ends the test's hog at 1 GiB all the same.
    try {
        std::vector<char*> blocks;
        for (int i = 0; i < 64; ++i) {
            blocks.push_back(new char[16 << 20]);
            std::memset(blocks.back(), 1, 16 << 20);
        }
    } catch (const std::bad_alloc&) {
        return JetReader::OutOfMemory;
    }
    return JetReader::Converted;
}
