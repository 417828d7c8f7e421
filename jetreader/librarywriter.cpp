#include "jetreader/librarywriter.h"

#include <sqlite3.h>

#include <cerrno>

LibraryWriter::LibraryWriter(const std::string& path)
{
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        fail();
    execute("pragma journal_mode = off");
    execute("pragma synchronous = off");
    execute(JetReader::storyTable);
    execute("begin");
    if (sqlite3_prepare_v2(db_, "insert into story (id, fldstory) values (?, ?)", -1, &insert_,
                           nullptr) != SQLITE_OK)
        fail();
}

LibraryWriter::~LibraryWriter()
{
    sqlite3_finalize(insert_);
    sqlite3_close(db_);
}

void LibraryWriter::add(const AccessFile::Row& row)
{
    sqlite3_bind_int64(insert_, 1, row.id);
    // With its length, so that a U+0000 in the text ends nothing.
    if (row.text)
        sqlite3_bind_text64(insert_, 2, row.text->data(), row.text->size(), SQLITE_STATIC,
                            SQLITE_UTF8);
    else
        sqlite3_bind_null(insert_, 2);
    const int stepped = sqlite3_step(insert_);
    sqlite3_reset(insert_);
    if (stepped == SQLITE_CONSTRAINT)
        throw Refusal{JetReader::SharedKey, std::to_string(row.id)};
    if (stepped != SQLITE_DONE)
        fail();
}

void LibraryWriter::finish(std::int64_t retiredKey)
{
    // The engine keeps the highest key it gave or was given; a higher retired
    // one takes its place.
    const std::string key = std::to_string(retiredKey);
    execute(
        ("update sqlite_sequence set seq = max(seq, " + key + ") where name = 'story'").c_str());
    execute(("insert into sqlite_sequence (name, seq) select 'story', " + key +
             " where not exists (select 1 from sqlite_sequence where name = 'story')")
                .c_str());
    execute("commit");
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    if (sqlite3_close(db_) != SQLITE_OK)
        fail();
    db_ = nullptr;
}

void LibraryWriter::execute(const char* sql)
{
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail();
}

void LibraryWriter::fail()
{
    const int error = db_ ? sqlite3_system_errno(db_) : 0;
    if ((db_ && sqlite3_errcode(db_) == SQLITE_FULL) || error == ENOSPC || error == EDQUOT)
        throw Refusal{JetReader::DiskFull, {}};
    throw Refusal{JetReader::WriteFailed, db_ ? sqlite3_errmsg(db_) : "out of memory"};
}
