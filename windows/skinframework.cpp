#include "windows/skinframework.h"

#include "core/failures.h"

#include <QFile>
#include <QWidget>

namespace {

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

QVariant SkinFramework::call(Member member, const QVariantList& arguments)
{
    switch (member) {
    case LoadSkin:
        if (arguments.isEmpty())
            Failure::raise(Failure::argumentNotOptional);
        load(arguments.at(0).toString());
        return {};
    case ApplyWindow:
        if (arguments.isEmpty())
            Failure::raise(Failure::argumentNotOptional);
        applyTo(arguments.at(0).value<quintptr>());
        return {};
    default:
        Failure::raise(Failure::unsupportedMember);
    }
}

QVariant SkinFramework::get(Member member) const
{
    switch (member) {
    case Options:
        return options_;
    case Colours:
        return colours_;
    case Member10:
        return member10_;
    default:
        Failure::raise(Failure::unsupportedMember);
    }
}

void SkinFramework::put(Member member, const QVariant& value)
{
    switch (member) {
    case Options:
        options_ = value.toInt();
        break;
    case Colours:
        colours_ = value.toBool();
        break;
    case Member10:
        member10_ = value.toBool();
        break;
    default:
        Failure::raise(Failure::unsupportedMember);
    }
}

void SkinFramework::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Failure::raise(QStringLiteral("Cannot read the skin %1: %2").arg(path, file.errorString()));
    const QString sheet = QString::fromUtf8(file.readAll());
    if (!parses(sheet))
        Failure::raise(QStringLiteral("The skin %1 is not a valid style sheet").arg(path));
    styleSheet_ = sheet;
    loaded_ = true;
}

void SkinFramework::applyTo(quintptr handle) const
{
    QWidget* window = QWidget::find(WId(handle));
    if (!window)
        Failure::raise(QStringLiteral("Invalid window handle"));
    if (!loaded_)
        Failure::raise(QStringLiteral("No skin is loaded"));
    if (colours_)
        window->setStyleSheet(styleSheet_);
}
