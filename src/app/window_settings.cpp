#include "app/window_settings.h"

#include "common/errors.h"
#include "link/ini_file.h"

namespace {

const QString Options = QStringLiteral("Options");
const QString Recent = QStringLiteral("Recent");
// set.ini cuts longer values.
constexpr int LongestValue = 254;

QString value(const QString &iniPath, const QString &section, const QString &key)
{
    try {
        return Read_ini(iniPath, section, key, QString());
    } catch (const CommandError &) {
        return {};
    }
}

QString recentKey(int i)
{
    return QStringLiteral("File%1").arg(i + 1);
}

} // namespace

WindowSettings WindowSettings::read(const QString &iniPath)
{
    WindowSettings s;
    s.verify = value(iniPath, Options, QStringLiteral("Verify")) == QLatin1String("1");
    // "x,y,width,height"; anything else, or a window too small to use, is no place.
    const QStringList place = value(iniPath, Options, QStringLiteral("Geometry")).split(',');
    QList<int> n;
    bool ok = place.size() == 4;
    for (const QString &p : place) {
        bool number = false;
        n << p.trimmed().toInt(&number);
        ok = ok && number;
    }
    if (ok && n[2] >= 200 && n[3] >= 150)
        s.geometry = QRect(n[0], n[1], n[2], n[3]);
    s.folder = value(iniPath, Options, QStringLiteral("Folder"));
    return s;
}

void WindowSettings::write(const QString &iniPath) const
{
    writeVerifySetting(iniPath, verify);
    if (geometry.isValid()) {
        Write_ini(iniPath, Options, QStringLiteral("Geometry"),
                  QStringLiteral("%1,%2,%3,%4")
                      .arg(geometry.x())
                      .arg(geometry.y())
                      .arg(geometry.width())
                      .arg(geometry.height()));
    }
    writeFolderSetting(iniPath, folder);
}

void writeFolderSetting(const QString &iniPath, const QString &folder)
{
    if (!folder.isEmpty() && folder.size() <= LongestValue)
        Write_ini(iniPath, Options, QStringLiteral("Folder"), folder);
}

void writeVerifySetting(const QString &iniPath, bool on)
{
    Write_ini(iniPath, Options, QStringLiteral("Verify"),
              on ? QStringLiteral("1") : QStringLiteral("0"));
}

QStringList readRecentFiles(const QString &iniPath)
{
    QStringList files;
    for (int i = 0; i < MaxRecentFiles; ++i) {
        const QString file = value(iniPath, Recent, recentKey(i));
        if (!file.isEmpty() && !files.contains(file))
            files << file;
    }
    return files;
}

void writeRecentFiles(const QString &iniPath, const QStringList &files)
{
    for (int i = 0; i < MaxRecentFiles; ++i)
        Write_ini(iniPath, Recent, recentKey(i), files.value(i));
}

QStringList withRecentFile(QStringList files, const QString &path)
{
    files.removeAll(path);
    if (path.size() <= LongestValue)
        files.prepend(path);
    return files.mid(0, MaxRecentFiles);
}
