#include "jetreader/jettext.h"

#include <cerrno>

namespace JetText {
namespace {

void appendCodePoint(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The engine would pair a lone high surrogate with whatever follows it, so
// pairs are joined here and lone halves replaced before it sees the text.
void appendUtf16(std::string& out, std::u16string_view units)
{
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        const bool high = u >= 0xD800 && u < 0xDC00;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            appendCodePoint(out,
                            0x10000 + ((char32_t(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            appendCodePoint(out, 0xFFFD);
        } else {
            appendCodePoint(out, u);
        }
    }
}

char16_t unitAt(std::string_view bytes, size_t i)
{
    return char16_t(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1])
                                                               << 8);
}

} // namespace

bool decodeJet4(std::string_view bytes, std::string& utf8)
{
    utf8.clear();
    std::u16string units;
    units.reserve(bytes.size() / 2 + 1);
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        // Compressed: single bytes for U+0001 to U+00FF; a zero byte where a
        // character would start switches to and from plain UTF-16LE pairs.
        bool compressed = true;
        for (size_t i = 2; i < bytes.size();) {
            if (bytes[i] == '\0') {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                units += char16_t(static_cast<unsigned char>(bytes[i++]));
            } else if (i + 1 < bytes.size()) {
                units += unitAt(bytes, i);
                i += 2;
            } else {
                return false;
            }
        }
    } else {
        if (bytes.size() % 2 != 0)
            return false;
        for (size_t i = 0; i < bytes.size(); i += 2)
            units += unitAt(bytes, i);
    }
    utf8.reserve(units.size() * 3 / 2);
    appendUtf16(utf8, units);
    return true;
}

bool CodePage::open(int codePage)
{
    const std::string name = "CP" + std::to_string(codePage);
    iconv_ = iconv_open("UTF-8", name.c_str());
    if (iconv_ == iconv_t(-1))
        return false;
    for (int byte = 0; byte < 256 && !twoByte_; ++byte)
        twoByte_ = !decodeByte(static_cast<unsigned char>(byte), single_[byte]);
    return true;
}

CodePage::~CodePage()
{
    if (iconv_ != iconv_t(-1))
        iconv_close(iconv_);
}

bool CodePage::decodeByte(unsigned char byte, std::string& utf8)
{
    iconv(iconv_, nullptr, nullptr, nullptr, nullptr);
    char in[1] = {char(byte)};
    char buffer[16];
    char* from = in;
    char* out = buffer;
    size_t inLeft = 1;
    size_t outLeft = sizeof buffer;
    if (iconv(iconv_, &from, &inLeft, &out, &outLeft) == size_t(-1) && errno == EINVAL)
        return false;
    iconv(iconv_, nullptr, nullptr, &out, &outLeft);
    utf8.assign(buffer, size_t(out - buffer));
    if (inLeft != 0) // undefined
        appendCodePoint(utf8, byte);
    return true;
}

void CodePage::decode(std::string_view bytes, std::string& utf8)
{
    utf8.clear();
    if (twoByte_)
        return decodeStream(bytes, utf8);
    utf8.reserve(bytes.size());
    for (const char byte : bytes)
        utf8 += single_[static_cast<unsigned char>(byte)];
}

void CodePage::decodeStream(std::string_view bytes, std::string& utf8)
{
    iconv(iconv_, nullptr, nullptr, nullptr, nullptr);
    char buffer[4096];
    auto* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    for (bool flushed = false; !flushed;) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        // With no bytes left, the last call flushes what the converter holds.
        flushed = inLeft == 0;
        const size_t done = flushed ? iconv(iconv_, nullptr, nullptr, &out, &outLeft)
                                    : iconv(iconv_, &in, &inLeft, &out, &outLeft);
        utf8.append(buffer, size_t(out - buffer));
        if (!flushed && done == size_t(-1) && (errno == EILSEQ || errno == EINVAL)) {
            appendCodePoint(utf8, static_cast<unsigned char>(*in));
            ++in;
            --inLeft;
            iconv(iconv_, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

} // namespace JetText
