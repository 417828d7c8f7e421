// quillrace-jetreader: converts the story table of a Microsoft Access file
// into a new library. It runs as a process of its own, under the limits its
// caller sets, because it reads a file from elsewhere with a library that has
// been seen to crash on damaged ones. library/jetreaderprotocol.h says how it
// answers.

#include "jetreader/accessfile.h"
#include "jetreader/librarywriter.h"

#include <cstdint>
#include <cstdio>
#include <new>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <Access file> <new library>\n", JetReader::programName);
        return JetReader::Usage;
    }
    try {
        AccessFile file(argv[1]);
        LibraryWriter library(argv[2]);
        std::uint64_t read = 0, claimed = 0;
        const auto progress = [&] {
            std::printf("%s %llu %llu\n", JetReader::progressWord, (unsigned long long)read,
                        (unsigned long long)claimed);
            std::fflush(stdout);
        };
        file.readStories(
            [&](std::uint64_t stories) {
                claimed = stories;
                progress();
            },
            [&](const AccessFile::Row& row) {
                library.add(row);
                if (++read % JetReader::progressEvery == 0)
                    progress();
            });
        progress();
        library.finish(file.retiredKey());
        return JetReader::Converted;
    } catch (const Refusal& refusal) {
        std::printf("%s\n", refusal.line.c_str());
        return refusal.exit;
    } catch (const std::bad_alloc&) {
        return JetReader::OutOfMemory;
    }
}
