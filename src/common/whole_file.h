#pragma once

#include <QByteArray>
#include <QString>

// Files read and written whole: project files, their text forms, tables and sheets.

// Writes the whole file anew through a temporary file renamed over the old one, so neither a
// longer old file nor a failed write leaves a mixed or half-written file. Only a regular file
// is replaced (PlatformError otherwise).
void writeWholeFile(const QString &path, const QByteArray &bytes);

// The whole of a regular file of at most maxBytes; InputError naming the file otherwise, with
// `expected` saying what such a file holds ("a project file holds 15040").
QByteArray readWholeFile(const QString &path, qint64 maxBytes, const QString &expected);
// A text form read whole (JSON, CSV): up to 4 MiB, far more than any project's.
QByteArray readTextFile(const QString &path);

// Refuses (InputError) to replace an existing file unless told to: what the commands that write
// a file do without --force.
void requireNewFile(const QString &path, bool replace);
