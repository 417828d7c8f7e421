#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

// The stored bytes of a Jet text or memo value, turned into UTF-8 exactly:
// every character kept, U+0000 included. A lone UTF-16 surrogate has no UTF-8
// form and becomes U+FFFD, the one change made.
namespace JetText {

// Jet 4 and ACE: UTF-16LE, or Jet's compressed form when the bytes begin with
// 0xFF 0xFE. False when the bytes are neither (an odd count of bytes).
bool decodeJet4(std::string_view bytes, std::string& utf8);

// Jet 3: the bytes in one code page of the file, each character as stored.
// The system's converters for some code pages (1255, 1258) join a letter and
// the mark after it into one character and hold a last letter back for a mark
// that may follow; a page of single bytes is therefore read through a table
// made one byte at a time, and only pages of two-byte characters are streamed.
class CodePage
{
public:
    // False when the system cannot read that code page.
    bool open(int codePage);
    ~CodePage();

    // A byte the code page leaves undefined becomes the character of the same
    // number, as Windows reads such bytes.
    void decode(std::string_view bytes, std::string& utf8);

private:
    // One byte alone, flushed: false when it only starts a character.
    bool decodeByte(unsigned char byte, std::string& utf8);
    void decodeStream(std::string_view bytes, std::string& utf8);

    iconv_t iconv_ = iconv_t(-1);
    bool twoByte_ = false;
    std::string single_[256]; // each byte's UTF-8, for a page of single bytes
};

} // namespace JetText
