#pragma once

#include "jetreader/accessfile.h"

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// The new library: table story as every library the program makes has it,
// its keys handed out as AutoNumber does, filled in one transaction. The file
// is a temporary one that the caller syncs and renames, so the engine keeps
// no journal and does not sync. Every failure throws a Refusal.
class LibraryWriter
{
public:
    // `path` names an existing empty file.
    explicit LibraryWriter(const std::string& path);
    ~LibraryWriter();
    LibraryWriter(const LibraryWriter&) = delete;
    LibraryWriter& operator=(const LibraryWriter&) = delete;

    // The key and the text exactly as given; a key already taken refuses.
    void add(const AccessFile::Row& row);
    // No key up to `retiredKey` is ever handed out; then commits and closes.
    void finish(std::int64_t retiredKey);

private:
    void execute(const char* sql);
    [[noreturn]] void fail();

    sqlite3* db_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
};
