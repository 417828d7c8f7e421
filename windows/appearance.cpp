#include "windows/appearance.h"

#include "core/failures.h"
#include "report/errorreport.h"
#include "windows/mousepointer.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

namespace Appearance {

namespace {

// A system colour's palette roles: its own, and that of the text that goes
// on it. "Window background" is the Base role, every other the button face's.
std::pair<QPalette::ColorRole, QPalette::ColorRole> systemRoles(quint32 value)
{
    if ((value & 0xFF) == (windowBackground & 0xFF))
        return {QPalette::Base, QPalette::Text};
    return {QPalette::Button, QPalette::ButtonText};
}

// The text colour that belongs with a background: for a system colour the
// palette's own partner, so a dark desktop theme stays readable; for a fixed
// colour black or white, whichever stands out more (relative luminance above
// 0.179 reads better in black).
QColor textColourOn(quint32 value)
{
    if (value & 0x80000000u)
        return QApplication::palette().color(systemRoles(value).second);
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor back = toColor(value);
    const double luminance =
        0.2126 * linear(back.red()) + 0.7152 * linear(back.green()) + 0.0722 * linear(back.blue());
    return luminance > 0.179 ? QColor(Qt::black) : QColor(Qt::white);
}

} // namespace

QColor toColor(quint32 value)
{
    if (value & 0x80000000u)
        return QApplication::palette().color(systemRoles(value).first);
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

void setBackColor(QWidget* widget, quint32 value)
{
    // A background never comes without its text colour: the desktop's text
    // colour on a background the desktop did not choose may be unreadable.
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, toColor(value));
    palette.setColor(QPalette::WindowText, textColourOn(value));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void applySystemColours(QWidget* window)
{
    setBackColor(window, buttonFace);
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (qobject_cast<QLabel*>(control) || qobject_cast<QGroupBox*>(control) ||
            qobject_cast<QCheckBox*>(control) || qobject_cast<QRadioButton*>(control))
            setBackColor(control, buttonFace);
    }
}

QString programFile(const QString& folder, const QString& name)
{
    return folder + QDir::separator() + QDir::toNativeSeparators(name);
}

bool fileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).lastModified().isValid();
}

QFont arialBold(double points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

void centreOnScreen(QWidget& window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
}

namespace {

// The program's icon, whose pictures are read once, when a picture is first
// asked for: a window is shown and painted before the platform asks for its
// icon, if it ever does.
class ProgramIconEngine final : public QIconEngine
{
public:
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return pictures().pixmap(size, mode, state);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        pictures().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return pictures().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        if (mode != QIcon::Normal || state != QIcon::Off)
            return {};
        return {QSize(32, 32), QSize(256, 256)};
    }
    QIconEngine* clone() const override { return new ProgramIconEngine; }

private:
    static const QIcon& pictures()
    {
        // Kept for the whole run, never destroyed after the application.
        static const QIcon* const icon = [] {
            auto* icon = new QIcon(QStringLiteral(":/icons/quillrace.png"));
            icon->addFile(QStringLiteral(":/icons/quillrace-256.png"));
            return icon;
        }();
        return *icon;
    }
};

} // namespace

QIcon programIcon()
{
    return QIcon(new ProgramIconEngine);
}

namespace {

struct CursorPicture
{
    QImage image;
    QPoint hotSpot; // in the picture's own pixels
};

// Every picture of a cursor or icon file, the smallest first. A cursor file
// (type 2) keeps each picture's hotspot in its directory entry where an icon
// keeps its planes and bit count; an icon used as a cursor points with its
// top-left corner.
QList<CursorPicture> readCursorFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Failure::raise(Failure::invalidPicture);
    QByteArray head;
    const auto word = [&](qsizetype at) {
        return at + 1 < head.size() ? quint8(head[at]) | quint8(head[at + 1]) << 8 : 0;
    };
    head = file.peek(6);
    const int count = std::max(word(4), 1);
    head = file.peek(6 + 16 * qint64(count)); // the directory, before the reader moves on
    QImageReader reader(&file, "ico");
    QList<CursorPicture> pictures;
    for (int i = 0; i < count && reader.jumpToImage(i); ++i) {
        CursorPicture picture{reader.read(), {}};
        if (picture.image.isNull())
            continue;
        if (word(2) == 2)
            picture.hotSpot = QPoint(word(6 + 16 * i + 4), word(6 + 16 * i + 6));
        pictures.append(picture);
    }
    if (pictures.isEmpty())
        Failure::raise(Failure::invalidPicture);
    std::stable_sort(pictures.begin(), pictures.end(), [](const auto& a, const auto& b) {
        return a.image.width() < b.image.width();
    });
    return pictures;
}

} // namespace

QCursor loadCursor(const QString& path, qreal devicePixelRatio)
{
    // The smallest picture is the cursor's size in logical pixels; the screen
    // wants that many times its device pixel ratio. The first picture at least
    // that large is made to fit, else the largest: a whole multiple keeps its
    // pixels sharp, any other size is smoothed.
    const QList<CursorPicture> pictures = readCursorFile(path);
    const int wanted = qRound(pictures.first().image.width() * devicePixelRatio);
    const auto fits = std::find_if(pictures.cbegin(), pictures.cend(),
                                   [&](const auto& p) { return p.image.width() >= wanted; });
    const CursorPicture& picture = fits != pictures.cend() ? *fits : pictures.last();
    QImage image = picture.image;
    QPointF hotSpot = picture.hotSpot;
    if (image.width() != wanted) {
        hotSpot *= double(wanted) / image.width();
        image = image.scaledToWidth(wanted, wanted % image.width() == 0 ? Qt::FastTransformation
                                                                        : Qt::SmoothTransformation);
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    // Qt takes a cursor's hotspot in logical pixels, except on X11, whose
    // platform plugin (Qt 6.4) hands it to the server as it is, in the
    // picture's own pixels.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        hotSpot /= devicePixelRatio;
    return QCursor(pixmap, qRound(hotSpot.x()), qRound(hotSpot.y()));
}

void loadHandCursor(Steps& step, int testLine, int loadLine, const QString& programFolder,
                    MousePointer& pointer)
{
    const QString file = programFile(programFolder, QStringLiteral("HAND-M.CUR"));
    if (step.test(testLine, [&] { return fileExists(file); }))
        step(loadLine, [&] {
            pointer.setCustomCursor(loadCursor(file, pointer.window().devicePixelRatioF()));
        });
}

} // namespace Appearance
