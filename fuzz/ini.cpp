// Fuzz target: set.ini's reader and writer. Whatever the file holds, a key written is read back
// as written, and the other keys read as they did.
#include "link/ini_file.h"

#include <QCoreApplication>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray contents(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString section = QStringLiteral("COM");
    const QStringList keys = {QStringLiteral("Speed"), QStringLiteral("Parity"),
                              QStringLiteral("Port_num")};
    QStringList before;
    for (const QString &key : keys)
        before << iniValue(contents, section, key, QStringLiteral("0"));
    const QByteArray after = withIniValue(contents, section, keys[0], QStringLiteral("3"));
    if (iniValue(after, section, keys[0], QString()) != QLatin1String("3"))
        __builtin_trap();
    for (int i = 1; i < keys.size(); ++i) {
        if (iniValue(after, section, keys[i], QStringLiteral("0")) != before[i])
            __builtin_trap();
    }
    return 0;
}
