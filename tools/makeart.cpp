// Builds the program's pictures from their sources at build time:
//   makeart cursor <source.txt> <out.cur>   a Windows cursor file from text art
//   makeart icon <size> <out.png>           the program's icon at one size

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

int fail(const char* what)
{
    std::fprintf(stderr, "makeart: %s\n", what);
    return 1;
}

void put16(QByteArray& out, int value)
{
    out.append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
}

void put32(QByteArray& out, quint32 value)
{
    put16(out, int(value & 0xFFFF));
    put16(out, int(value >> 16));
}

// One picture of the cursor source: square rows of '#', 'o' and '.', and the
// hotspot that goes with it.
struct CursorPicture
{
    QStringList rows;
    int hotX = 0, hotY = 0;
};

// The pictures of the source, each begun by its "hotspot x y" line. Empty when
// a picture is not square or has no rows.
QList<CursorPicture> readCursorSource(QFile& source)
{
    QList<CursorPicture> pictures;
    QTextStream in(&source);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith(u'#') || line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String("hotspot"))) {
            const QStringList parts = line.split(u' ', Qt::SkipEmptyParts);
            pictures.append({{}, parts.value(1).toInt(), parts.value(2).toInt()});
        } else if (!pictures.isEmpty()) {
            pictures.last().rows.append(line);
        }
    }
    for (const CursorPicture& picture : std::as_const(pictures)) {
        const qsizetype size = picture.rows.size();
        if (size == 0 || size > 255 ||
            std::any_of(picture.rows.cbegin(), picture.rows.cend(),
                        [size](const QString& row) { return row.size() > size; }))
            return {};
    }
    return pictures;
}

// The image data of one picture as a cursor file stores it: the header, 32-bit
// pixels and the AND mask (rows padded to whole 32-bit words), bottom row first.
QByteArray cursorImage(const CursorPicture& picture)
{
    const int size = int(picture.rows.size());
    QByteArray pixels, mask;
    for (int y = size - 1; y >= 0; --y) {
        QByteArray maskRow((size + 31) / 32 * 4, '\0');
        for (int x = 0; x < size; ++x) {
            const QString& row = picture.rows[y];
            const QChar c = x < row.size() ? row.at(x) : QChar(u'.');
            const bool clear = c == u'.';
            const quint8 shade = c == u'o' ? 0xFF : 0x00;
            pixels.append(char(shade)).append(char(shade)).append(char(shade));
            pixels.append(char(clear ? 0x00 : 0xFF));
            if (clear)
                maskRow[x / 8] = char(maskRow[x / 8] | (0x80 >> (x % 8)));
        }
        mask += maskRow;
    }
    QByteArray header; // BITMAPINFOHEADER: the height counts picture and mask
    put32(header, 40);
    put32(header, size);
    put32(header, size * 2);
    put16(header, 1);
    put16(header, 32);
    put32(header, 0);
    put32(header, quint32(pixels.size() + mask.size()));
    for (int i = 0; i < 4; ++i)
        put32(header, 0);
    return header + pixels + mask;
}

// A cursor file holds every picture of the source, each with its hotspot in its
// directory entry, so a program can take the one that fits the screen.
int makeCursor(const QString& sourcePath, const QString& outPath)
{
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail("cannot read the cursor source");
    const QList<CursorPicture> pictures = readCursorSource(source);
    if (pictures.isEmpty())
        return fail("each picture of the cursor source must be square, as many rows as wide");

    QByteArray directory, images;
    put16(directory, 0);
    put16(directory, 2); // a cursor
    put16(directory, int(pictures.size()));
    const int dataStart = 6 + 16 * int(pictures.size());
    for (const CursorPicture& picture : pictures) {
        const QByteArray image = cursorImage(picture);
        const char size = char(picture.rows.size());
        directory.append(size).append(size).append(char(0)).append(char(0));
        put16(directory, picture.hotX);
        put16(directory, picture.hotY);
        put32(directory, quint32(image.size()));
        put32(directory, quint32(dataStart + images.size()));
        images += image;
    }

    QFile out(outPath);
    const QByteArray file = directory + images;
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        return fail("cannot write the cursor");
    return 0;
}

// A quill over a blue key cap, drawn in a 64-unit square at any size.
int makeIcon(int size, const QString& outPath)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    QLinearGradient cap(0, 0, 0, 64);
    cap.setColorAt(0, QColor(0x3d, 0x7e, 0xd8));
    cap.setColorAt(1, QColor(0x1b, 0x3f, 0x8f));
    p.setPen(QPen(QColor(0x12, 0x2b, 0x63), 2));
    p.setBrush(cap);
    p.drawRoundedRect(QRectF(3, 3, 58, 58), 11, 11);

    QPainterPath feather;
    feather.moveTo(50, 8);
    feather.cubicTo(36, 10, 22, 24, 18, 44);
    feather.lineTo(24, 40);
    feather.cubicTo(36, 36, 48, 24, 50, 8);
    p.setPen(QPen(QColor(0x8a, 0x6d, 0x1f), 1.2));
    p.setBrush(QColor(0xf6, 0xd3, 0x65));
    p.drawPath(feather);

    p.setPen(QPen(QColor(0xff, 0xff, 0xff), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(46, 13), QPointF(14, 54)); // the shaft and nib
    p.setPen(QPen(QColor(0xff, 0xff, 0xff), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 56), QPointF(34, 56)); // the line it writes
    p.end();
    return image.save(outPath, "PNG") ? 0 : fail("cannot write the icon");
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("cursor"))
        return makeCursor(args[2], args[3]);
    if (args.size() == 4 && args[1] == QLatin1String("icon"))
        return makeIcon(args[2].toInt(), args[3]);
    return fail("usage: makeart cursor <source.txt> <out.cur> | icon <size> <out.png>");
}
