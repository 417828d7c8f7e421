#pragma once

#include <QString>

// Where the story library lives. A build or a user's own install keeps it in
// the program folder, beside the executable. A program folder the user cannot
// write to (a system install, a read-only medium) would make every Add, Edit
// and Delete fail, so there each user keeps a library of their own, which
// starts as a copy of the sample in the program folder.
namespace LibraryFolder {

// The program folder when this user can write to it, else (and always in a
// system package) the user's own: $XDG_DATA_HOME/quillrace, by default
// ~/.local/share/quillrace.
QString choose(const QString& programFolder);

// Gives a library folder other than the program folder its first library: a
// copy of the program folder's dbStory.mdb, written under a temporary name,
// flushed to disk and only then renamed into place, so a half copy is never
// opened. A library already there is never touched, not even by a copy that
// another start-up finished first. Without a sample nothing is copied and the
// library stays missing. A failed copy throws with its reason and leaves
// nothing behind.
void copySampleIfMissing(const QString& libraryFolder, const QString& programFolder);

} // namespace LibraryFolder
