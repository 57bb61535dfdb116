// set.ini: reading and writing single keys the way the profile functions do.
#include "common/errors.h"
#include "link/com_setting.h"
#include "link/config_location.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "link/serial_devices.h"
#ifdef Q_OS_UNIX
#include "support/file_size_limit.h"
#endif

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// A set.ini of exactly size bytes holding Port_num=2, padded with a comment.
QByteArray iniOfSize(qsizetype size)
{
    QByteArray bytes("[COM]\nPort_num=2\n;");
    bytes += QByteArray(size - bytes.size() - 1, '-');
    return bytes + '\n';
}
} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString path() const { return m_dir->filePath(QStringLiteral("set.ini")); }
    // set.ini with this content; a null content leaves it missing.
    QString withFile(const QByteArray &content)
    {
        QFile f(path());
        if (!content.isNull() && f.open(QIODevice::WriteOnly))
            f.write(content);
        return path();
    }
    QByteArray text()
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    // Key Port_num of section COM, "0" when missing.
    void readingFindsTheKeyLikeTheProfileFunctions_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no file") << QByteArray() << "0";
        QTest::newRow("no such key") << QByteArray("[COM_MB]\nPort_num=7\n[COM]\nSpeed=3\n") << "0";
        QTest::newRow("names in any case") << QByteArray("[com]\nPORT_NUM=2\n") << "2";
        QTest::newRow("blanks") << QByteArray("[ COM ]\n  Port_num =   2  \t\n") << "2";
        QTest::newRow("crlf") << QByteArray("[COM]\r\nPort_num=2\r\n") << "2";
        QTest::newRow("quoted") << QByteArray("[COM]\nPort_num=\"2\"\n") << "2";
        QTest::newRow("other section first")
            << QByteArray("[COM_MB]\nPort_num=7\n[COM]\nPort_num=2\n") << "2";
        QTest::newRow("comment not a key") << QByteArray("[COM]\n;Port_num=5\nPort_num=2\n") << "2";
        QTest::newRow("empty value") << QByteArray("[COM]\nPort_num=\n") << "";
        QTest::newRow("cut at 254 characters")
            << QByteArray("[COM]\nPort_num=" + QByteArray(300, '7') + "\n") << QString(254, '7');
    }
    void readingFindsTheKeyLikeTheProfileFunctions()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QCOMPARE(Read_ini(withFile(content), "COM", "Port_num", "0"), expected);
    }

    void writingChangesOnlyItsKey()
    {
        // A new file holds the keys in the order first written, with the system's line ends; a
        // key is replaced whatever its case. "OK" of the COM-port dialog writes them in this order.
        writeComSetting(path(), ComSetting{9, 2, 1, 0, 2});
        Write_ini(path(), "COM", "speed", "4");
        QCOMPARE(text().replace("\r\n", "\n"),
                 "[COM]\nspeed=4\nParity=1\nBit_num=0\nStop_bit=2\nPort_num=9\n");

        // Every other line of a file stays as it is.
        withFile(
            "; PLC port\n[COM_MB]\nParity = 2\n\n[COM]\nSpeed=1\n\n[Devices]\nCOM1=/dev/ttyUSB3\n");
        Write_ini(path(), "COM", "Speed", "4");
        Write_ini(path(), "COM", "Port_num", "9");
        Write_ini(path(), "Extra", "Key", "x");
        QCOMPARE(text(), "; PLC port\n[COM_MB]\nParity = 2\n\n[COM]\nSpeed=4\nPort_num=9\n\n"
                         "[Devices]\nCOM1=/dev/ttyUSB3\n[Extra]\nKey=x\n");

        // A write that cannot be done says so (the COM-port dialog's test shows the message).
        QVERIFY_THROWS_EXCEPTION(PlatformError,
                                 Write_ini(m_dir->filePath("no/such/set.ini"), "A", "B", "1"));
    }

    // set.ini is no place for megabytes (each key read would read them all), nor for a NUL,
    // which cuts a device path or a message short.
    void whatIsNoSetIniIsRefusedNamingIt_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("refusal"); // after the path; none when the value is read
        const QByteArray withNul("[COM]\nPort_num=2\n[Devices]\nCOM1=/dev/ttyUSB0\0 -x\n", 45);
        QTest::newRow("1 MiB") << iniOfSize(1024 * 1024) << "COM"
                               << "Port_num"
                               << "";
        QTest::newRow("a byte over 1 MiB")
            << iniOfSize(1024 * 1024 + 1) << "COM"
            << "Port_num"
            << ": the file holds 1048577 bytes; a set.ini holds at most 1048576.";
        QTest::newRow("a NUL in the value")
            << withNul << "Devices"
            << "COM1"
            << ": the value of COM1 in section [Devices] holds a NUL character";
        QTest::newRow("a NUL in another value") << withNul << "COM"
                                                << "Port_num"
                                                << "";
    }
    void whatIsNoSetIniIsRefusedNamingIt()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, refusal);
        withFile(content);
        try {
            QCOMPARE(Read_ini(path(), section, key, "0"), QString("2"));
            QVERIFY(refusal.isEmpty());
        } catch (const InputError &e) {
            QCOMPARE(e.description(), QDir::toNativeSeparators(path()) + refusal);
        }
    }

    void aSetIniThatCannotBeUsedStopsWhatNeedsIt()
    {
        // Opening COM1 stops on its entry; showing where COM1 leads falls back to the default.
        withFile(QByteArray("[Devices]\nCOM1=/dev/ttyUSB0\0 -x\n", 31));
        QVERIFY_THROWS_EXCEPTION(InputError, comDevice(1, path()));
        setDeviceTargetSource([](const QString &) { return QString(); });
        QCOMPARE(mapComNumber(1, path()).device, QString("/dev/ttyS0"));
        setDeviceTargetSource({});

        // A file too large to be a set.ini is not rewritten either.
        const QByteArray tooLarge = iniOfSize(1024 * 1024 + 1);
        withFile(tooLarge);
        QVERIFY_THROWS_EXCEPTION(InputError, Write_ini(path(), "COM", "Speed", "1"));
        QCOMPARE(text(), tooLarge);
    }

#ifdef Q_OS_UNIX
    void aFailedWriteKeepsTheOldSetIni()
    {
        const QByteArray old = iniOfSize(3000);
        withFile(old);
        {
            const FileSizeLimit noRoom(2048);
            QVERIFY_THROWS_EXCEPTION(PlatformError, Write_ini(path(), "COM", "Speed", "4"));
        }
        QCOMPARE(text(), old);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"set.ini"});
    }
#endif

    void setIniLivesBesideTheProgramWhenItCan()
    {
        QTemporaryDir exe, user, chosen;
        QCOMPARE(resolveSetIniPath({}, exe.path(), user.path()), exe.filePath("set.ini"));
        QCOMPARE(resolveSetIniPath(chosen.path(), exe.path(), user.path()),
                 chosen.filePath("set.ini"));
        // A program folder that does not exist (and so cannot be written) sends it to the user's.
        QCOMPARE(resolveSetIniPath({}, exe.filePath("gone"), user.path()),
                 user.filePath("set.ini"));
        // An installed program's folder is everyone's: only a set.ini already there is used.
        QTemporaryDir installed;
        QCOMPARE(resolveSetIniPath({}, installed.path(), user.path(), true),
                 user.filePath("set.ini"));
        QVERIFY(QFile(exe.filePath("set.ini")).open(QIODevice::WriteOnly));
        QCOMPARE(resolveSetIniPath({}, exe.path(), user.path(), true), exe.filePath("set.ini"));
    }

    // File choosers start where the user can write: a build's or portable copy's own folder, else
    // the documents folder.
    void fileChoosersStartWhereTheUserCanWrite_data()
    {
        QTest::addColumn<QString>("program"); // "build": a folder that is there; else a name
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("inProgramFolder");
        QTest::newRow("a build") << "build" << false << true;
        QTest::newRow("installed program") << "build" << true << false;
        QTest::newRow("program folder gone") << "gone" << false << false;
    }
    void fileChoosersStartWhereTheUserCanWrite()
    {
        QFETCH(QString, program);
        QFETCH(bool, installed);
        QFETCH(bool, inProgramFolder);
        const QString folder = program == "build" ? m_dir->path() : m_dir->filePath(program);
        QCOMPARE(firstFileFolder(folder, "/home/u/Documents", installed),
                 inProgramFolder ? folder : QStringLiteral("/home/u/Documents"));
    }

    // The examples beside the program come first; an installed program finds those of its data
    // folder, whatever the prefix.
    void examplesAreFoundBesideTheProgramOrInItsDataFolder()
    {
        const QDir root(m_dir->path());
        QVERIFY(root.mkpath("opt/bin") && root.mkpath("opt/share/plc-config/examples"));
        QCOMPARE(examplesFolder(root.filePath("opt/bin")),
                 root.filePath("opt/share/plc-config/examples"));
        QVERIFY(root.mkpath("opt/bin/examples"));
        QCOMPARE(examplesFolder(root.filePath("opt/bin")), root.filePath("opt/bin/examples"));
        QCOMPARE(examplesFolder(root.filePath("elsewhere")), QString());
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_ini_file.moc"
