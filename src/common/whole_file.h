#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// Files read and written whole: project files, their text forms, tables and sheets.

// Writes the whole file anew: every byte into a new file beside it, checked and put on the disk,
// which is then renamed over the old one. A file that may be written but not replaced in its
// folder is written in place, after room for it is reserved. On any failure (a full disk) the
// old file stays byte for byte, nothing new is left behind, and PlatformError names the file and
// the reason. Only a regular file is replaced; a link is written through.
void writeWholeFile(const QString &path, const QByteArray &bytes);

// The whole of a regular file of at most maxBytes; InputError naming the file otherwise, with
// `expected` saying what such a file holds ("a project file holds 15040").
QByteArray readWholeFile(const QString &path, qint64 maxBytes, const QString &expected);
// A text form read whole (JSON, CSV): up to 4 MiB, far more than any project's.
QByteArray readTextFile(const QString &path);

// Refuses (InputError) to replace an existing file, or a link even to nothing, unless told to:
// what the commands that write a file do without --force.
void requireNewFile(const QString &path, bool replace);

// Puts what was written to an open file on the disk itself, not only in the system's cache
// (fsync; FlushFileBuffers on Windows); false, errno saying why on POSIX, when it could not.
bool syncFileToDisk(QFile &file);
