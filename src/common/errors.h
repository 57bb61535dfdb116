#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// A failure of the platform (a port, a file, a number that does not convert). Raised where it
// happens and caught once at the boundary of the user's command, which shows the description.
class PlatformError : public std::exception
{
public:
    explicit PlatformError(QString description)
        : m_description(std::move(description)), m_utf8(m_description.toUtf8())
    {}
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

// Bad input rather than a failing platform: a cell or box that does not convert to a number, an
// unreadable or invalid project file. Shown the same way; the command line exits with 2 for it.
class InputError : public PlatformError
{
public:
    using PlatformError::PlatformError;
};

// The running transfer was cut off on purpose (the window is closing). Nothing to show.
class TransferAborted : public PlatformError
{
public:
    TransferAborted() : PlatformError(QStringLiteral("The transfer was cancelled")) {}
};
