#pragma once

#include "programfolder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Microsoft Access files for tests, written at test time by makejet.py (run
// with python3) from the small JSON files in tests/stories/jet/.
namespace JetFixture {

// The built reader program, and the test-only readers that fail on purpose:
// "crash" (a segmentation fault), "hang" (it writes its process id into the
// new library's file, then waits for ever) and "hog" (memory without end).
QString reader();
QString faultyReader(const QString& fault);

// Writes an Access file at `path` with makejet's options, its stories from the
// JSON file `rows` in jet/ (none with --random-stories). Returns the rows a
// reader must give: every row but the deleted ones, ordered by key.
QList<ProgramFolder::Row> make(const QString& path, const QStringList& options,
                               const QString& rows = {});
// The rows of a JSON file of [id, text or null] pairs, ordered by key.
QList<ProgramFolder::Row> rows(const QString& jsonPath);

QByteArray bytes(const QString& path);
void write(const QString& path, const QByteArray& bytes);

} // namespace JetFixture
