#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

// A temporary program folder of its own for one test: dbStory.mdb with the
// stories given (keys 1, 2, ... in that order), or no library at all. The
// library is written through SQLite directly, never through the code under test.
class ProgramFolder
{
public:
    explicit ProgramFolder(const QStringList& stories = {});

    // A folder without dbStory.mdb.
    static ProgramFolder withoutLibrary();

    QString path() const { return dir_.path(); }
    QString libraryPath() const;
    QString filePath(const QString& name) const;

    // The rows on file, in key order; a null story reads as nullopt.
    struct Row
    {
        qint64 id;
        std::optional<QString> story;
    };
    QList<Row> rows() const;
    QStringList stories() const;

    // Runs SQL against the library directly (to plant nulls, or to lock it).
    void exec(const QString& sql) const;

    void writeFile(const QString& name, const QByteArray& bytes) const;

private:
    struct NoLibrary {};
    explicit ProgramFolder(NoLibrary) {}
    QTemporaryDir dir_;
};
