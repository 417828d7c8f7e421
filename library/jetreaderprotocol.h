#pragma once

// How the Access reader (jetreader/, a program of its own) answers the
// conversion that starts it:
//
//     quillrace-jetreader <Access file> <new library>
//
// The new library is an empty file the caller has made; the reader fills it
// and exits with Converted. Any other exit leaves the caller to delete it. On
// a refusal the reader exits with its reason and writes at most one line to
// standard output: the key, the code page or the words that go with it.
// Before that, while it reads, it writes lines of progress there:
//
//     progress <stories read> <stories the table says it holds>
//
// once the table is found, every progressEvery stories and once all are read.
// Plain C++ only: the reader has no Qt.
namespace JetReader {

inline constexpr const char* programName = "quillrace-jetreader";
inline constexpr const char* progressWord = "progress";
inline constexpr unsigned progressEvery = 1000;

// Table story as the reader makes it, and as the build makes the sample's
// before data/stories.sql fills it: keys handed out as AutoNumber does, never
// one that was used before.
inline constexpr const char* storyTable =
    "create table story (id integer primary key autoincrement, fldstory text)";

enum Exit : int {
    Converted = 0,
    Usage = 2,
    NoStoryTable = 10,
    NoIdColumn = 11,
    NoTextColumn = 12,
    Password = 13,
    Encrypted = 14,
    Damaged = 15,         // the line says where
    UnknownCodePage = 16, // the line is the code page
    SharedKey = 17,       // the line is the key two stories share
    MissingKey = 18,
    DiskFull = 19,
    WriteFailed = 20, // the line is the engine's text
    OutOfMemory = 21,
};

} // namespace JetReader
