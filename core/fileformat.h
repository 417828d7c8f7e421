#pragma once

#include <QByteArrayView>

// What a story library file is, told by its first bytes: a library of this
// program (an SQLite database), a Microsoft Access database (Jet 3, Jet 4 or
// ACE), or anything else, an empty file among them.
enum class FileFormat { SQLite, Access, Other };

// Access files begin 00 01 00 00, then the format's name.
inline constexpr qsizetype accessSignatureLength = 19;

inline FileFormat fileFormat(QByteArrayView header)
{
    if (header.startsWith(QByteArrayView("\x00\x01\x00\x00", 4)) &&
        (header.sliced(4).startsWith("Standard Jet DB") ||
         header.sliced(4).startsWith("Standard ACE DB")))
        return FileFormat::Access;
    return header.startsWith(QByteArrayView("SQLite format 3\0", 16)) ? FileFormat::SQLite
                                                                      : FileFormat::Other;
}
