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
#include <QImageReader>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>

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

QIcon programIcon()
{
    QIcon icon(QStringLiteral(":/icons/quillrace.png"));
    icon.addFile(QStringLiteral(":/icons/quillrace-256.png"));
    return icon;
}

QCursor loadCursor(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Failure::raise(Failure::invalidPicture);
    const QByteArray head = file.peek(14);
    QImageReader reader(&file, "ico");
    const QImage image = reader.read();
    if (image.isNull())
        Failure::raise(Failure::invalidPicture);
    // A cursor file (type 2) keeps its hotspot where an icon keeps its planes
    // and bit count; an icon used as a cursor points with its top-left corner.
    int x = 0, y = 0;
    const auto word = [&](int at) { return quint8(head[at]) | quint8(head[at + 1]) << 8; };
    if (head.size() >= 14 && word(2) == 2) {
        x = word(10);
        y = word(12);
    }
    return QCursor(QPixmap::fromImage(image), x, y);
}

void loadHandCursor(Steps& step, int testLine, int loadLine, const QString& programFolder,
                    MousePointer& pointer)
{
    const QString file = programFile(programFolder, QStringLiteral("HAND-M.CUR"));
    if (step.test(testLine, [&] { return fileExists(file); }))
        step(loadLine, [&] { pointer.setCustomCursor(loadCursor(file)); });
}

} // namespace Appearance
