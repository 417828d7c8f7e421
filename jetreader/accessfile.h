#pragma once

#include "jetreader/jettext.h"
#include "library/jetreaderprotocol.h"

#include <mdbtools.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Why the file cannot be converted: the reader's exit and its one line.
struct Refusal
{
    JetReader::Exit exit;
    std::string line;
};

// The table story of a Jet 3, Jet 4 or ACE file, read through libmdb, which
// finds the pages; the rows are taken apart here. libmdb's own row and text
// readers are not used: they return deleted rows, skip rows moved to another
// page, and cut, merge and mangle texts. Every failure throws a Refusal, and
// every walk along the file's own pointers is bounded, so a damaged file ends
// in a refusal rather than in a loop.
class AccessFile
{
public:
    // Opens the file read-only; refuses a password, encryption, a code page
    // the system lacks, or a file libmdb cannot open.
    explicit AccessFile(const std::string& path);
    ~AccessFile();
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    struct Row
    {
        std::int64_t id = 0;
        std::optional<std::string> text; // UTF-8; nullopt for a null field
    };
    // Finds table story (by name without regard to case), tells `opened` how
    // many rows it says it holds, then calls `take` with every live row, in
    // the file's order.
    void readStories(const std::function<void(std::uint64_t)>& opened,
                     const std::function<void(const Row&)>& take);
    // The highest key the table has given out beyond its live rows: deleted
    // rows' keys and the AutoNumber counter. 0 when none.
    std::int64_t retiredKey() const { return retiredKey_; }

private:
    static constexpr std::uint32_t catalogPage = 2;

    std::uint32_t pageCount() const { return std::uint32_t(fileSize_ / std::uint64_t(pageSize_)); }
    // Reads a page of the file into libmdb's buffer; false past its end.
    bool readPage(std::uint32_t page);
    void openTable();
    void readPage(std::uint32_t page, const std::function<void(const Row&)>& take);
    Row readMovedRow(int start, size_t size, const std::string& where);
    Row readRow(int start, size_t size, bool withText);
    // Into bytes_, as stored.
    void readMemo(int start, int size);

    MdbHandle* mdb_ = nullptr;
    MdbTableDef* table_ = nullptr;
    MdbColumn* idColumn_ = nullptr;
    MdbColumn* textColumn_ = nullptr;
    int idIndex_ = -1;
    int textIndex_ = -1;
    int pageSize_ = 0;
    std::uint64_t fileSize_ = 0;
    bool jet3_ = false;
    JetText::CodePage codePage_; // Jet 3 only
    std::vector<MdbField> fields_;
    std::uint64_t rowsRead_ = 0;
    std::int64_t retiredKey_ = 0;
    std::string bytes_;           // the stored bytes of the text being read
    char chunk_[MDB_PGSIZE] = {}; // libmdb copies one page's part of a long text here
};
