#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

// A Microsoft Access story library (Jet 3, Jet 4 or ACE) where the program's
// own library belongs is turned into one of the program's own, under the same
// name in the same folder. The Access file is read by the reader program
// (jetreader/) in a process of its own, under a time and a memory limit, into
// a new library beside it; the Access file is kept byte for byte under a name
// of its own, and the new library is then renamed over it (DurableFile). At
// every instant the library's name holds either the untouched Access file or
// the whole new library, and a conversion cut short anywhere is finished by
// the next one.
namespace AccessConversion {

// The conversion's steps in their order, each told to the observer once done;
// the last three are the new library's DurableFile::Step.
enum class Step {
    ReaderStarted,
    ReaderFinished, // the new library is whole, beside the Access file
    AccessFileKept, // under its kept name too, and lasting
    LibrarySynced,
    LibraryInPlace, // renamed over the Access file
    Done,           // and lasting
};

// What a conversion under way tells, for a window that shows it working.
struct Progress
{
    bool waiting = false; // for another copy of the program, converting the same file
    qint64 read = 0;      // stories read so far
    qint64 claimed = 0;   // the stories the Access file says it holds
};

struct Options
{
    std::chrono::milliseconds timeLimit{120'000};
    // The longest wait for another copy's conversion of the same file.
    std::chrono::milliseconds lockLimit{150'000};
    qint64 memoryLimit = qint64(512) << 20; // bytes of address space for the reader
    std::function<void(Step)> observer;
    std::function<void(const Progress&)> progress;
    // Asked while the conversion waits and reads; true stops it, as a refusal.
    std::function<bool()> cancelled;
};

struct Result
{
    qint64 stories = 0;
    QString keptAs; // the kept Access file's name, in the library's folder
};

// When the file at `libraryPath` is an Access database, converts it with the
// reader program at `readerPath`; otherwise does nothing and gives nullopt
// (a missing or unreadable file is left to the store's open, and so is the
// library another copy of the program converted while this one waited). A
// conversion that cannot be made throws StoreError saying why, in the user's
// words, and leaves the file byte for byte as it was and no other file behind.
// Events are handled while it waits for the other copy and for the reader.
std::optional<Result> convertIfAccess(const QString& libraryPath, const QString& readerPath,
                                      const Options& options = {});

// What the user is told after a conversion.
QString convertedMessage(const QString& libraryName, const Result& result);

} // namespace AccessConversion
