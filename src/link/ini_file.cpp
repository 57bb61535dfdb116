#include "link/ini_file.h"

#include "common/errors.h"
#include "common/file_kind.h"
#include "common/whole_file.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace {

constexpr int MaxValueLength = 254;
// Far more than any set.ini of a few sections; a larger one is not one, and reading it whole at
// every key would stall the start for seconds.
constexpr qint64 MaxIniBytes = 1024 * 1024;

struct IniText
{
    QStringList lines;
    QString eol;
};

IniText parseIni(const QByteArray &contents)
{
    IniText text;
#ifdef Q_OS_WIN
    text.eol = QStringLiteral("\r\n");
#else
    text.eol = QStringLiteral("\n");
#endif
    const QString all = QString::fromLocal8Bit(contents);
    if (all.contains(QLatin1String("\r\n")))
        text.eol = QStringLiteral("\r\n");
    else if (all.contains(QLatin1Char('\n')))
        text.eol = QStringLiteral("\n");
    QString normalised = all;
    normalised.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.lines = normalised.split(QLatin1Char('\n'));
    if (!text.lines.isEmpty() && text.lines.last().isEmpty())
        text.lines.removeLast(); // the final line break
    return text;
}

// The file's contents; nothing for a file that is not there. Only a regular file is read: a FIFO
// would block for ever.
QByteArray fileContents(const QString &path)
{
    if (!QFileInfo::exists(path))
        return {};
    return readWholeFile(path, MaxIniBytes,
                         QStringLiteral("a set.ini holds at most %1").arg(MaxIniBytes));
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<QString> sectionOf(const QString &line)
{
    const QString t = line.trimmed();
    if (t.startsWith(QLatin1Char('[')) && t.contains(QLatin1Char(']')))
        return t.mid(1, t.indexOf(QLatin1Char(']')) - 1).trimmed();
    return std::nullopt;
}

// The key name of a "key=value" line, or nothing for comments and other lines.
std::optional<QString> keyOf(const QString &line)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')))
        return std::nullopt;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0)
        return std::nullopt;
    return t.left(eq).trimmed();
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index range [first, end) of the lines of the first section with that name; first is the
// line after the header. Nothing when the section is missing.
std::optional<std::pair<qsizetype, qsizetype>> findSection(const QStringList &lines,
                                                           const QString &section)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto name = sectionOf(lines[i]);
        if (!name || !sameName(*name, section))
            continue;
        qsizetype end = i + 1;
        while (end < lines.size() && !sectionOf(lines[end]))
            ++end;
        return std::make_pair(i + 1, end);
    }
    return std::nullopt;
}

} // namespace

QString Read_ini(const QString &path, const QString &section, const QString &key,
                 const QString &def)
{
    const QString value = iniValue(fileContents(path), section, key, def);
    // Device paths and messages end at a NUL: what is used would not be what the file says.
    if (value.contains(QChar(0))) {
        throw InputError(QStringLiteral("%1: the value of %2 in section [%3] holds a NUL character")
                             .arg(QDir::toNativeSeparators(path), key, section));
    }
    return value;
}

QString iniValue(const QByteArray &contents, const QString &section, const QString &key,
                 const QString &def)
{
    const IniText text = parseIni(contents);
    const auto range = findSection(text.lines, section);
    if (!range)
        return def.left(MaxValueLength);
    for (qsizetype i = range->first; i < range->second; ++i) {
        const auto name = keyOf(text.lines[i]);
        if (!name || !sameName(*name, key))
            continue;
        const QString &line = text.lines[i];
        QString value = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
        // The profile functions drop one pair of quotes around a whole value.
        if (value.size() >= 2 &&
            ((value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) ||
             (value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))))
            value = value.mid(1, value.size() - 2);
        return value.left(MaxValueLength);
    }
    return def.left(MaxValueLength);
}

QByteArray withIniValue(const QByteArray &contents, const QString &section, const QString &key,
                        const QString &value)
{
    IniText text = parseIni(contents);
    const QString entry = key + QLatin1Char('=') + value;
    const auto range = findSection(text.lines, section);
    if (!range) {
        text.lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        text.lines.append(entry);
    } else {
        bool replaced = false;
        for (qsizetype i = range->first; i < range->second && !replaced; ++i) {
            const auto name = keyOf(text.lines[i]);
            if (name && sameName(*name, key)) {
                text.lines[i] = entry;
                replaced = true;
            }
        }
        if (!replaced) {
            // After the section's last non-blank line, so blank separators stay between sections.
            qsizetype at = range->second;
            while (at > range->first && text.lines[at - 1].trimmed().isEmpty())
                --at;
            text.lines.insert(at, entry);
        }
    }
    QByteArray bytes = text.lines.join(text.eol).toLocal8Bit();
    bytes += text.eol.toLatin1();
    return bytes;
}

void Write_ini(const QString &path, const QString &section, const QString &key,
               const QString &value)
{
    requireRegularFileToWrite(path); // and so a file that is there is one fileContents reads
    writeWholeFile(path, withIniValue(fileContents(path), section, key, value));
}

int readIniNumber(const QString &path, const QString &section, const QString &key)
{
    const QString text = Read_ini(path, section, key, QStringLiteral("0"));
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok) {
        throw PlatformError(
            QStringLiteral("%1: the value \"%2\" of %3 in section [%4] is not a whole number")
                .arg(QDir::toNativeSeparators(path), text, key, section));
    }
    return value;
}

int readIniPosition(const QString &path, const QString &section, const QString &key,
                    qsizetype count)
{
    try {
        bool ok = false;
        const int value = Read_ini(path, section, key, QStringLiteral("0")).toInt(&ok);
        return ok && value >= 0 && value < count ? value : 0;
    } catch (const CommandError &) {
        return 0; // a set.ini that cannot be read reads as a missing one
    }
}
