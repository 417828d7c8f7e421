#include "jetfixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <stdexcept>

namespace JetFixture {

QString reader()
{
    return QStringLiteral(JET_READER);
}

QString faultyReader(const QString& fault)
{
    return QStringLiteral(FAULTY_READERS "/jetreader_") + fault;
}

QList<ProgramFolder::Row> make(const QString& path, const QStringList& options, const QString& rows,
                               const Patch& patch)
{
    QTemporaryDir scratch;
    const QString expected = scratch.filePath(QStringLiteral("expected.json"));
    QProcess makejet;
    if (!rows.isEmpty())
        makejet.setStandardInputFile(QDir(QStringLiteral(JET_FIXTURES)).filePath(rows));
    makejet.start(QStringLiteral("python3"), QStringList{QStringLiteral(MAKEJET), path} + options +
                                                 QStringList{QStringLiteral("--expect"), expected});
    if (!makejet.waitForFinished(120000) || makejet.exitStatus() != QProcess::NormalExit ||
        makejet.exitCode() != 0)
        throw std::runtime_error("makejet.py failed: " +
                                 makejet.readAllStandardError().toStdString());
    if (patch) {
        QByteArray patched = bytes(path);
        patch(patched);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(patched) != patched.size())
            throw std::runtime_error("cannot patch " + path.toStdString());
    }
    return JetFixture::rows(expected);
}

QList<ProgramFolder::Row> rows(const QString& jsonPath)
{
    QList<ProgramFolder::Row> rows;
    const QJsonArray array = QJsonDocument::fromJson(bytes(jsonPath)).array();
    for (const QJsonValue& pair : array) {
        const QJsonValue text = pair[1];
        rows.append({pair[0].toInteger(),
                     text.isNull() ? std::nullopt : std::optional<QString>(text.toString())});
    }
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    return rows;
}

QByteArray bytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

} // namespace JetFixture
