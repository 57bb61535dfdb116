#pragma once

#include <QString>

// set.ini: a sections-and-keys text file read and written one key at a time, the way the
// Windows profile functions do it. Section and key names match without regard to case, blanks
// around a value are dropped, other lines stay exactly as they are, new keys are appended to
// their section in the order they are first written. QSettings re-orders and re-escapes keys and
// is case-sensitive on Linux, so it does not fit here.

// The value of key in section, or def when the file, section or key is missing. Values longer
// than 254 characters are cut there. Anything but a regular file, a file over 1 MiB and a value
// holding a NUL character are refused (InputError naming the file, and the key for a NUL).
QString Read_ini(const QString &path, const QString &section, const QString &key,
                 const QString &def);

// Creates or replaces the key, creating the file and the section when missing, as a whole-file
// write (the old file survives a failure). Throws PlatformError with the reason when the file
// cannot be written.
void Write_ini(const QString &path, const QString &section, const QString &key,
               const QString &value);

// The same two on a file's contents in memory.
QString iniValue(const QByteArray &contents, const QString &section, const QString &key,
                 const QString &def);
QByteArray withIniValue(const QByteArray &contents, const QString &section, const QString &key,
                        const QString &value);

// Reads a key holding a whole number (default 0). Throws PlatformError naming the file, section
// and key when the text is not a whole number.
int readIniNumber(const QString &path, const QString &section, const QString &key);

// A list position stored under key: one that is no whole number or names no item of a list of
// count items reads as 0, the first item. For what must not fail on a hand-edited set.ini.
int readIniPosition(const QString &path, const QString &section, const QString &key,
                    qsizetype count);
