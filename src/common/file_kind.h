#pragma once

#include <QString>

// Projects and settings are read from, and written over, regular files only: a FIFO would block
// the program forever, and writing "over" a device node would replace the device with a file.

// What is at path when it is something other than a regular file ("a FIFO", "a character
// device", "a directory", ...); an empty text for a regular file or nothing at all.
QString nonRegularKind(const QString &path);

// Throws PlatformError (InputError when reading) naming the path and what it is, unless path is
// a regular file or does not exist.
void requireRegularFileToRead(const QString &path);
void requireRegularFileToWrite(const QString &path);
