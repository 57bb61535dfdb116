// set.ini: reading and writing single keys the way the profile functions do.
#include "common/errors.h"
#include "link/config_location.h"
#include "link/ini_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestIniFile : public QObject
{
    Q_OBJECT

    QString writeFile(const QTemporaryDir &dir, const QByteArray &content)
    {
        const QString path = dir.filePath(QStringLiteral("set.ini"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        return path;
    }
    QByteArray readFile(const QString &path)
    {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

private Q_SLOTS:
    void missingFileSectionOrKeyGiveTheDefault()
    {
        QTemporaryDir dir;
        const QString none = dir.filePath(QStringLiteral("set.ini"));
        QCOMPARE(Read_ini(none, "COM", "Speed", "0"), QStringLiteral("0"));
        const QString path = writeFile(dir, "[COM]\nSpeed=3\n");
        QCOMPARE(Read_ini(path, "COM_MB", "Speed", "0"), QStringLiteral("0"));
        QCOMPARE(Read_ini(path, "COM", "Parity", "0"), QStringLiteral("0"));
        QCOMPARE(Read_ini(path, "COM", "Speed", "0"), QStringLiteral("3"));
    }

    void namesMatchWithoutCaseAndBlanksAroundValuesAreDropped_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QByteArray("[COM]\nPort_num=2\n") << "2";
        QTest::newRow("section case") << QByteArray("[com]\nPort_num=2\n") << "2";
        QTest::newRow("key case") << QByteArray("[COM]\nPORT_NUM=2\n") << "2";
        QTest::newRow("blanks") << QByteArray("[ COM ]\n  Port_num =   2  \t\n") << "2";
        QTest::newRow("crlf") << QByteArray("[COM]\r\nPort_num=2\r\n") << "2";
        QTest::newRow("quoted") << QByteArray("[COM]\nPort_num=\"2\"\n") << "2";
        QTest::newRow("other section first")
            << QByteArray("[COM_MB]\nPort_num=7\n[COM]\nPort_num=2\n") << "2";
        QTest::newRow("comment not a key") << QByteArray("[COM]\n;Port_num=5\nPort_num=2\n") << "2";
        QTest::newRow("empty value") << QByteArray("[COM]\nPort_num=\n") << "";
    }
    void namesMatchWithoutCaseAndBlanksAroundValuesAreDropped()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QCOMPARE(Read_ini(writeFile(dir, content), "COM", "Port_num", "0"), expected);
    }

    void longValuesAreCutAt254Characters()
    {
        QTemporaryDir dir;
        const QByteArray longValue(300, '7');
        const QString path = writeFile(dir, "[COM]\nSpeed=" + longValue + "\n");
        QCOMPARE(Read_ini(path, "COM", "Speed", "0").size(), 254);
    }

    void creationWritesKeysInTheOrderFirstWritten()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("set.ini"));
        for (const char *key : {"Speed", "Parity", "Bit_num", "Stop_bit", "Port_num"})
            Write_ini(path, "COM", QLatin1String(key), QStringLiteral("1"));
        Write_ini(path, "COM", "speed", QStringLiteral("4")); // replaces, whatever the case
        QByteArray text = readFile(path);
        text.replace("\r\n", "\n");
        QCOMPARE(text, QByteArray("[COM]\nspeed=4\nParity=1\nBit_num=1\nStop_bit=1\nPort_num=1\n"));
        QCOMPARE(Read_ini(path, "com", "SPEED", "0"), QStringLiteral("4"));
    }

    void writingKeepsEveryOtherLineAsItIs()
    {
        QTemporaryDir dir;
        const QByteArray before = "; PLC port\n[COM_MB]\nParity = 2\n\n[COM]\nSpeed=1\n\n"
                                  "[Devices]\nCOM1=/dev/ttyUSB3\n";
        const QString path = writeFile(dir, before);
        Write_ini(path, "COM", "Speed", "4");
        Write_ini(path, "COM", "Port_num", "9");
        Write_ini(path, "Extra", "Key", "x");
        QCOMPARE(readFile(path), QByteArray("; PLC port\n[COM_MB]\nParity = 2\n\n[COM]\nSpeed=4\n"
                                            "Port_num=9\n\n[Devices]\nCOM1=/dev/ttyUSB3\n"
                                            "[Extra]\nKey=x\n"));
    }

    void aFailedWriteIsReportedWithItsReason()
    {
        QTemporaryDir dir;
        // A folder where the file should be: nothing can write it, even as root.
        const QString path = dir.filePath(QStringLiteral("set.ini"));
        QDir().mkpath(path);
        try {
            Write_ini(path, "COM", "Speed", "1");
            QFAIL("the write was reported as done");
        } catch (const PlatformError &e) {
            QVERIFY2(e.description().contains(QStringLiteral("set.ini")),
                     qPrintable(e.description()));
        }
        // A folder that does not exist either.
        QVERIFY_THROWS_EXCEPTION(
            PlatformError, Write_ini(dir.filePath("no/such/folder/set.ini"), "COM", "S", "1"));
    }

    void numbersThatAreNotWholeNumbersNameTheirKey()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, "[COM]\nSpeed=fast\nParity= 2 \n");
        QCOMPARE(readIniNumber(path, "COM", "Parity"), 2);
        QCOMPARE(readIniNumber(path, "COM", "Bit_num"), 0);
        try {
            readIniNumber(path, "COM", "Speed");
            QFAIL("no error");
        } catch (const PlatformError &e) {
            QVERIFY(e.description().contains(QStringLiteral("\"fast\"")));
            QVERIFY(e.description().contains(QStringLiteral("Speed")));
        }
    }

    void setIniLivesBesideTheProgramWhenItCan()
    {
        QTemporaryDir exe, user, explicitDir;
        // Writable program folder.
        QCOMPARE(resolveSetIniPath({}, exe.path(), user.path()),
                 QDir(exe.path()).absoluteFilePath("set.ini"));
        // An explicit folder wins.
        QCOMPARE(resolveSetIniPath(explicitDir.path(), exe.path(), user.path()),
                 QDir(explicitDir.path()).absoluteFilePath("set.ini"));
        // A program folder that does not exist (and so cannot be written) sends it to the user's.
        QCOMPARE(resolveSetIniPath({}, exe.filePath("gone"), user.path()),
                 QDir(user.path()).absoluteFilePath("set.ini"));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_ini_file.moc"
