#pragma once

#include "programfolder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Microsoft Access files for tests, written at test time by makejet.py (run
// with python3) from the small JSON files in tests/library/jet/.
namespace JetFixture {

// The built reader program, and the test-only readers that fail on purpose:
// "crash" (a segmentation fault), "hang" (it writes its process id into the
// new library's file, then waits for ever) and "hog" (memory without end).
QString reader();
QString faultyReader(const QString& fault);

// A change to a fixture's bytes: damage, or a form makejet cannot write.
using Patch = std::function<void(QByteArray&)>;

// Writes an Access file at `path` with makejet's options, its stories from the
// JSON file `rows` (a name in jet/, or a whole path; none with
// --random-stories), and patches it.
// Returns the rows a reader must give: every row but the deleted ones, by key.
QList<ProgramFolder::Row> make(const QString& path, const QStringList& options,
                               const QString& rows = {}, const Patch& patch = {});
// The rows of a JSON file of [id, text or null] pairs, ordered by key.
QList<ProgramFolder::Row> rows(const QString& jsonPath);

QByteArray bytes(const QString& path);

} // namespace JetFixture
