#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace Cli {

// One of a command's two outputs: the process's stdout or stderr as they are, or, for one of
// several ports run at once, whole lines with the port in front, so that two ports never meet
// within a line.
class OutputStream
{
public:
    explicit OutputStream(std::FILE *file, const QString &port = {});

    void write(const QByteArray &bytes);
    void write(const QString &text) { write(text.toLocal8Bit()); }
    // What was written so far reaches the file (a port's unfinished line stays until it ends).
    void flush();
    // The unfinished last line of a port, ended, so a port that stops mid-line loses nothing.
    void finish();
    // Progress is drawn only on a terminal of its own, never between a port's lines.
    bool isTerminal() const;

private:
    std::FILE *m_file;
    QByteArray m_prefix;
    QByteArray m_pending;
};

// What a command prints (stdout) and its messages and trace (stderr).
struct Output
{
    OutputStream out{stdout};
    OutputStream err{stderr};
};

} // namespace Cli
