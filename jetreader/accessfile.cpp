#include "jetreader/accessfile.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>

namespace {

// The flags of a row's offset on its data page.
constexpr int offsetMask = 0x1FFF;
constexpr int deletedRow = 0x8000;
constexpr int movedRow = 0x4000; // the row holds the place of its data on another page
constexpr int longestMove = 8;   // moves of one row followed before the file counts as damaged

constexpr std::uint32_t memoInline = 0x80000000;
constexpr std::uint32_t memoOnePage = 0x40000000;
constexpr std::uint32_t memoLength = 0x3FFFFFFF;

[[noreturn]] void refuse(JetReader::Exit exit, std::string line = {})
{
    throw Refusal{exit, std::move(line)};
}

[[noreturn]] void damaged(const std::string& where)
{
    refuse(JetReader::Damaged, where);
}

std::int32_t signed32(const void* buffer, int offset)
{
    return std::int32_t(std::uint32_t(mdb_get_int32(const_cast<void*>(buffer), offset)));
}

// The part of the first page that Jet enciphers, as stored: all zeros when
// nothing but the file's signature was ever written.
bool blankHeader(const std::string& path)
{
    constexpr long start = 0x18;
    char stored[126] = {};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const bool read = file && std::fseek(file, start, SEEK_SET) == 0 &&
                      std::fread(stored, 1, sizeof stored, file) == sizeof stored;
    if (file)
        std::fclose(file);
    return read && std::all_of(std::begin(stored), std::end(stored), [](char c) { return c == 0; });
}

bool named(const char* name, const char* wanted)
{
    return g_ascii_strcasecmp(name, wanted) == 0;
}

// Jet 4 masks the password with the file's creation date; Jet 3 does not.
bool hasPassword(const unsigned char* header, bool jet3)
{
    unsigned char mask[4] = {};
    if (!jet3) {
        double created = 0;
        std::memcpy(&created, header + 0x72, sizeof created);
        const double whole = std::isfinite(created) ? std::trunc(created) : 0.0;
        const auto m = std::int32_t(std::clamp(whole, double(INT_MIN), double(INT_MAX)));
        std::memcpy(mask, &m, sizeof mask);
    }
    const int length = jet3 ? 20 : 40;
    for (int i = 0; i < length; ++i)
        if ((header[0x42 + i] ^ mask[i % 4]) != 0)
            return true;
    return false;
}

} // namespace

AccessFile::AccessFile(const std::string& path)
{
    // libmdb reads the names of tables and columns through the system's
    // converter for the file's code page, which holds back a last letter in
    // some (1258); as bytes, the names this reader looks for still match, and
    // the texts are read in the file's own code page here.
    setenv("MDB_JET3_CHARSET", "ISO-8859-1", 1);
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0 || !(mdb_ = mdb_open(path.c_str(), MDB_NOFLAGS)))
        damaged("its first page cannot be read");
    pageSize_ = int(mdb_->fmt->pg_size);
    fileSize_ = std::uint64_t(info.st_size);
    jet3_ = mdb_->f->jet_version == MDB_VER_JET3;
    // Jet writes whole pages, and the list of tables is on page 2. libmdb
    // fills the missing part of a page with zeros, which would read as a
    // password, an empty list of tables or a row of nothing.
    if (fileSize_ < std::uint64_t(pageSize_))
        damaged("it ends inside its first page");
    if (fileSize_ % std::uint64_t(pageSize_) != 0)
        damaged("it ends inside page " + std::to_string(pageCount()));
    if (pageCount() <= catalogPage)
        damaged("it ends before page " + std::to_string(pageCount()));
    if (blankHeader(path))
        damaged("its first page holds no description of the file");
    // mdb_open leaves the file's first page in the buffer, its header decrypted.
    if (hasPassword(mdb_->pg_buf, jet3_))
        refuse(JetReader::Password);
    if (mdb_->f->db_key != 0)
        refuse(JetReader::Encrypted);
    if (jet3_ && !codePage_.open(mdb_->f->code_page))
        refuse(JetReader::UnknownCodePage, std::to_string(mdb_->f->code_page));
}

AccessFile::~AccessFile()
{
    if (table_)
        mdb_free_tabledef(table_);
    mdb_close(mdb_);
}

bool AccessFile::readPage(std::uint32_t page)
{
    return page < pageCount() && mdb_read_pg(mdb_, page) == pageSize_;
}

void AccessFile::openTable()
{
    if (!readPage(catalogPage) || mdb_->pg_buf[0] != MDB_PAGE_TABLE)
        damaged("its list of tables cannot be read");
    const auto objects = std::uint32_t(signed32(mdb_->pg_buf, mdb_->fmt->tab_num_rows_offset));
    GPtrArray* catalog = mdb_read_catalog(mdb_, MDB_ANY);
    if (!catalog)
        damaged("its list of tables cannot be read");
    // Access finds a table by its name without regard to case. libmdb lists
    // deleted objects too, so a second table story is one deleted but not yet
    // compacted away, and which is which cannot be told.
    MdbCatalogEntry* story = nullptr;
    for (guint i = 0; i < catalog->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (entry->object_type != MDB_TABLE || mdb_is_system_table(entry) ||
            !named(entry->object_name, "story"))
            continue;
        if (story)
            damaged("it lists a table story twice; compacting it in Microsoft Access mends that");
        story = entry;
    }
    // libmdb ends the list quietly at a page it cannot read, which would make a
    // file cut short look as if it had no table story.
    if (catalog->len < objects)
        damaged("its list of tables cannot be read");
    if (!story)
        refuse(JetReader::NoStoryTable);
    if (!(table_ = mdb_read_table(story)) || !mdb_read_columns(table_))
        damaged("the definition of its table story cannot be read");
    for (guint i = 0; i < table_->num_cols; ++i) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
        if (named(column->name, "id")) {
            idColumn_ = column;
            idIndex_ = int(i);
        } else if (named(column->name, "fldstory")) {
            textColumn_ = column;
            textIndex_ = int(i);
        }
    }
    const auto idType = idColumn_ ? idColumn_->col_type : 0;
    if (idType != MDB_BYTE && idType != MDB_INT && idType != MDB_LONGINT)
        refuse(JetReader::NoIdColumn);
    if (!textColumn_ || (textColumn_->col_type != MDB_MEMO && textColumn_->col_type != MDB_TEXT))
        refuse(JetReader::NoTextColumn);
    fields_.resize(table_->num_cols);
    textColumn_->bind_ptr = chunk_;
    // An AutoNumber key's counter follows the row count in the table's definition.
    if (idColumn_->is_long_auto) {
        if (!readPage(std::uint32_t(table_->entry->table_pg)))
            damaged("the definition of its table story cannot be read");
        retiredKey_ = signed32(mdb_->pg_buf, mdb_->fmt->tab_num_rows_offset + 4);
    }
}

void AccessFile::readStories(const std::function<void(std::uint64_t)>& opened,
                             const std::function<void(const Row&)>& take)
{
    openTable();
    opened(table_->num_rows);
    // The table's usage map names its pages in rising order; libmdb reads it,
    // and leaves none when the page that holds it is missing.
    if (!table_->usage_map || table_->map_sz < 1)
        damaged("the list of its table's pages cannot be read");
    std::uint32_t page = 0;
    for (;;) {
        const gint32 next = mdb_map_find_next(mdb_, table_->usage_map, guint(table_->map_sz), page);
        if (next == 0)
            break;
        if (next < 0 || std::uint32_t(next) <= page)
            damaged("the list of its table's pages cannot be read");
        page = std::uint32_t(next);
        readPage(page, take);
    }
    // A page the map lost would otherwise lose its stories without a word.
    if (rowsRead_ < table_->num_rows)
        damaged("it says it holds " + std::to_string(table_->num_rows) + " stories, but only " +
                std::to_string(rowsRead_) + " can be read");
}

void AccessFile::readPage(std::uint32_t page, const std::function<void(const Row&)>& take)
{
    const std::string where = " on page " + std::to_string(page);
    if (!readPage(page))
        damaged("it ends before page " + std::to_string(page));
    // The map may name a page another table has taken since; libmdb skips those too.
    if (mdb_->pg_buf[0] != MDB_PAGE_DATA ||
        std::uint32_t(signed32(mdb_->pg_buf, 4)) != table_->entry->table_pg)
        return;
    const int rowCountAt = mdb_->fmt->row_count_offset;
    const int rows = mdb_get_int16(mdb_->pg_buf, rowCountAt);
    if (rowCountAt + 2 + 2 * rows > pageSize_)
        damaged("the rows" + where + " cannot be found");
    for (int r = 0; r < rows; ++r) {
        int start = 0;
        size_t size = 0;
        const bool found = mdb_find_row(mdb_, r, &start, &size) == 0 && size > 0;
        if (start & deletedRow) {
            // Its key stays retired when its bytes still say which it was.
            try {
                if (found)
                    retiredKey_ =
                        std::max(retiredKey_, readRow(start & offsetMask, size, false).id);
            } catch (const Refusal&) {
            }
            continue;
        }
        if (!found)
            damaged("a row" + where + " cannot be found");
        if (start & movedRow) {
            take(readMovedRow(start & offsetMask, size, where));
            if (!readPage(page))
                damaged("it ends before page " + std::to_string(page));
        } else {
            take(readRow(start & offsetMask, size, true));
        }
        ++rowsRead_;
    }
}

AccessFile::Row AccessFile::readMovedRow(int start, size_t size, const std::string& where)
{
    for (int move = 0; move < longestMove; ++move) {
        if (size < 4)
            damaged("a row" + where + " points nowhere");
        // The pointer's low byte is the row, the three above it the page.
        const auto target = std::uint32_t(signed32(mdb_->pg_buf, start));
        if (!readPage(target >> 8) || mdb_->pg_buf[0] != MDB_PAGE_DATA ||
            std::uint32_t(signed32(mdb_->pg_buf, 4)) != table_->entry->table_pg ||
            int(target & 0xFF) >= mdb_get_int16(mdb_->pg_buf, mdb_->fmt->row_count_offset) ||
            mdb_find_row(mdb_, int(target & 0xFF), &start, &size) != 0 || size == 0)
            damaged("a row" + where + " points to a row that is not there");
        if (!(start & movedRow))
            return readRow(start & offsetMask, size, true);
        start &= offsetMask;
    }
    damaged("a row" + where + " moved more than " + std::to_string(longestMove) + " times");
}

AccessFile::Row AccessFile::readRow(int start, size_t size, bool withText)
{
    const std::string where = "a row on page " + std::to_string(mdb_->cur_pg);
    const int present = mdb_crack_row(table_, start, size, fields_.data());
    if (present < 0)
        damaged(where + " cannot be taken apart");
    const auto isNull = [&](int index, const MdbColumn* column) {
        const MdbField& field = fields_[size_t(index)];
        if (field.siz < 0 || field.start < start || size_t(field.start + field.siz) > start + size)
            damaged(where + " has a field outside it");
        // A column added after the row was written has no bit in its mask.
        return field.is_null || column->col_num >= present;
    };
    Row row;
    if (isNull(idIndex_, idColumn_))
        refuse(JetReader::MissingKey);
    const MdbField& id = fields_[size_t(idIndex_)];
    const unsigned char* value = mdb_->pg_buf + id.start;
    if (idColumn_->col_type == MDB_BYTE && id.siz == 1)
        row.id = value[0];
    else if (idColumn_->col_type == MDB_INT && id.siz == 2)
        row.id = std::int16_t(mdb_get_int16(mdb_->pg_buf, id.start));
    else if (idColumn_->col_type == MDB_LONGINT && id.siz == 4)
        row.id = signed32(mdb_->pg_buf, id.start);
    else
        damaged(where + " has a key of the wrong size");
    if (!withText || isNull(textIndex_, textColumn_))
        return row;
    const MdbField& text = fields_[size_t(textIndex_)];
    if (textColumn_->col_type == MDB_MEMO)
        readMemo(text.start, text.siz);
    else
        bytes_.assign(reinterpret_cast<const char*>(mdb_->pg_buf) + text.start, size_t(text.siz));
    row.text.emplace();
    const bool decoded = jet3_ ? (codePage_.decode(bytes_, *row.text), true)
                               : JetText::decodeJet4(bytes_, *row.text);
    if (!decoded)
        damaged(where + " holds a text that is not UTF-16");
    return row;
}

void AccessFile::readMemo(int start, int size)
{
    const std::string where = "a long text on page " + std::to_string(mdb_->cur_pg);
    bytes_.clear();
    if (size < MDB_MEMO_OVERHEAD)
        damaged(where + " has no header");
    char header[MDB_MEMO_OVERHEAD];
    std::memcpy(header, mdb_->pg_buf + start, sizeof header);
    const auto word = std::uint32_t(signed32(header, 0));
    const size_t length = word & memoLength;
    if (length == 0)
        return;
    // A length the file cannot hold would only make the reading grow.
    if (length > fileSize_)
        damaged(where + " claims more bytes than the file holds");
    textColumn_->cur_value_start = start;
    textColumn_->cur_value_len = size;
    size_t got = mdb_ole_read(mdb_, textColumn_, header, sizeof chunk_);
    bytes_.append(chunk_, std::min(got, length));
    if (!(word & (memoInline | memoOnePage))) {
        // A chain of pages, each naming the next: one seen twice is a loop.
        std::set<std::uint32_t> seen{std::uint32_t(signed32(header, 4))};
        while (bytes_.size() < length && textColumn_->cur_blob_pg_row != 0) {
            if (!seen.insert(textColumn_->cur_blob_pg_row).second)
                damaged(where + " runs in a loop of pages");
            if (!(got = mdb_ole_read_next(mdb_, textColumn_, header)))
                break;
            bytes_.append(chunk_, std::min(got, length - bytes_.size()));
        }
    }
    if (bytes_.size() != length)
        damaged(where + " is shorter than it says");
}
