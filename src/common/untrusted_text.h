#pragma once

#include <QString>
#include <QStringView>

// Text that came from outside (a file's contents, a cell, a key, a file name) on its way into a
// message for a terminal or a message box. Characters that steer a terminal or hide and reorder
// what is shown (control characters, bidirectional marks, zero-width and format characters, line
// and paragraph separators, lone surrogates) are written as \uXXXX escapes, and \n, \r, \t as
// those two-character escapes, so what the user reads is what the input holds.

// The characters above escaped; line breaks and tabs kept when keepLineBreaks (for a message
// whose own lines matter).
QString escapedText(QStringView text, bool keepLineBreaks = false);

// A value for a message: in double quotes, with quotes and backslashes escaped as well, and cut
// after `most` characters between the quotes (an escape is never split) with "..." at the end.
constexpr int MostShownCharacters = 60;
QString quotedText(QStringView text, int most = MostShownCharacters);

// As quotedText, without the quotes: for a text that reads as a number.
QString shortText(QStringView text, int most = MostShownCharacters);
