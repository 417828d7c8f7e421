#include "windows/skinframework.h"

#include <QFile>
#include <QWidget>

#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString& description)
{
    throw std::runtime_error(description.toStdString());
}

// Qt reports a style sheet it cannot parse only as a warning while polishing
// a widget; the probe catches that warning.
bool parseFailed = false;
QtMessageHandler previousHandler = nullptr;

void probeHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("Could not parse")))
        parseFailed = true;
    else if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

bool SkinFramework::parses(const QString& sheet)
{
    parseFailed = false;
    previousHandler = qInstallMessageHandler(probeHandler);
    {
        QWidget probe;
        probe.setStyleSheet(sheet);
        probe.ensurePolished();
    }
    qInstallMessageHandler(previousHandler);
    return !parseFailed;
}

QVariant SkinFramework::call(int member, const QVariantList& arguments)
{
    switch (member) {
    case 2:
        if (arguments.isEmpty())
            fail(QStringLiteral("Argument not optional"));
        load(arguments.at(0).toString());
        return {};
    case 3:
        if (arguments.isEmpty())
            fail(QStringLiteral("Argument not optional"));
        applyTo(arguments.at(0).value<quintptr>());
        return {};
    default:
        fail(QStringLiteral("Object doesn't support this property or method"));
    }
}

QVariant SkinFramework::get(int member) const
{
    switch (member) {
    case 1:
        return options_;
    case 5:
        return colours_;
    case 10:
        return member10_;
    default:
        fail(QStringLiteral("Object doesn't support this property or method"));
    }
}

void SkinFramework::put(int member, const QVariant& value)
{
    switch (member) {
    case 1:
        options_ = value.toInt();
        break;
    case 5:
        colours_ = value.toBool();
        break;
    case 10:
        member10_ = value.toBool();
        break;
    default:
        fail(QStringLiteral("Object doesn't support this property or method"));
    }
}

void SkinFramework::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot read the skin %1: %2").arg(path, file.errorString()));
    const QString sheet = QString::fromUtf8(file.readAll());
    if (!parses(sheet))
        fail(QStringLiteral("The skin %1 is not a valid style sheet").arg(path));
    styleSheet_ = sheet;
    loaded_ = true;
}

void SkinFramework::applyTo(quintptr handle) const
{
    QWidget* window = QWidget::find(WId(handle));
    if (!window)
        fail(QStringLiteral("Invalid window handle"));
    if (!loaded_)
        fail(QStringLiteral("No skin is loaded"));
    if (colours_)
        window->setStyleSheet(styleSheet_);
}
