#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// A failure that ends the user's command: raised where it happens and caught once at the
// command's boundary, which shows the description. Catch this where any such failure only means
// "not now" (a setting that cannot be read or stored); catch the kinds below where they are told
// apart (the command line's exit status).
class CommandError : public std::exception
{
public:
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_utf8.constData(); }

protected:
    explicit CommandError(QString description)
        : m_description(std::move(description)), m_utf8(m_description.toUtf8())
    {}

private:
    QString m_description;
    QByteArray m_utf8;
};

// A failure of the platform (a port, a file that cannot be written, the updater that does not
// start).
class PlatformError : public CommandError
{
public:
    explicit PlatformError(QString description) : CommandError(std::move(description)) {}
};

// Bad input rather than a failing platform: a cell or box that does not convert to a number, an
// unreadable or invalid project file. Shown the same way; the command line exits with 2 for it.
class InputError : public CommandError
{
public:
    explicit InputError(QString description) : CommandError(std::move(description)) {}
};

// The running transfer was cut off on purpose (the window is closing): no failure, nothing to
// show, so no CommandError either; a catch of one never swallows it.
class TransferAborted : public std::exception
{
public:
    const char *what() const noexcept override { return "The transfer was cancelled"; }
};
