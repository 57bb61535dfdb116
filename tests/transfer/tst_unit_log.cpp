// The record of units: one whole JSON line per unit, keys in a fixed order, read back with every
// line that holds no record named; a log that cannot be kept refuses to open.
#include "common/errors.h"
#include "link/frame_tap.h"
#include "link/serial_devices.h"
#include "support/file_bytes.h"
#include "transfer/unit_log.h"

#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

UnitRecord sampleRecord()
{
    UnitRecord r;
    r.time = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), QTimeZone(2 * 3600));
    r.station = QStringLiteral("line-3");
    r.port = QStringLiteral("COM3");
    r.device = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0, serial A50285BI");
    r.project = QStringLiteral("/home/plc/cabinet.dpc");
    r.sha256 = QString(64, u'a');
    r.ports = QStringList{"uart1", "aux"};
    r.verified = true;
    r.result = writtenAndVerifiedResult();
    r.frames = 18;
    r.seconds = 2.5;
    r.version = QStringLiteral("1.2.0");
    return r;
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The description of the PlatformError that opening a log at path throws; empty when it opens.
QString openingFailure(const QString &path)
{
    try {
        UnitLog log(path);
    } catch (const PlatformError &e) {
        return e.description();
    }
    return {};
}

PortWriteReport portWritten(const char *name, std::optional<QList<PortDifference>> verify)
{
    PortWriteReport p;
    p.port = QLatin1String(name);
    if (verify)
        p.verify = Result(*verify);
    return p;
}

} // namespace

Q_DECLARE_METATYPE(ProjectWriteReport)

class TestUnitLog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void aLineHoldsTheKeysInOrder()
    {
        const QByteArray line = sampleRecord().toJsonLine();
        QCOMPARE(line, QByteArray("{\"time\":\"2026-03-04T03:06:07.089Z\",\"station\":\"line-3\","
                                  "\"port\":\"COM3\",\"device\":\"/dev/serial/by-id/"
                                  "usb-FTDI_FT232R-if00-port0, serial A50285BI\","
                                  "\"project\":\"/home/plc/cabinet.dpc\",\"sha256\":\"") +
                           QByteArray(64, 'a') +
                           "\",\"ports\":[\"uart1\",\"aux\"],\"verified\":true,"
                           "\"result\":\"written and verified\",\"frames\":18,\"seconds\":2.5,"
                           "\"version\":\"1.2.0\"}\n");
    }

    // Whatever a failure says, the record stays one line and reads back as it was.
    void aRecordReadsBackAsWritten_data()
    {
        QTest::addColumn<QString>("result");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("secondsRead");
        QTest::newRow("written") << writtenResult() << 2.5 << 2.5;
        QTest::newRow("a failure over two lines")
            << QStringLiteral("COM3: permission denied;\nadd your user to the dialout group") << 0.5
            << 0.5;
        QTest::newRow("quotes, backslash, tab, umlaut")
            << QStringLiteral("\"C:\\plc\"\tgeändert\r") << 1.0 << 1.0;
        QTest::newRow("seconds to the millisecond") << writtenResult() << 1.23456 << 1.235;
    }
    void aRecordReadsBackAsWritten()
    {
        QFETCH(QString, result);
        QFETCH(double, seconds);
        QFETCH(double, secondsRead);
        UnitRecord r = sampleRecord();
        r.result = result;
        r.seconds = seconds;
        const QByteArray line = r.toJsonLine();
        QCOMPARE(line.indexOf('\n'), line.size() - 1);

        const QString path = m_dir.filePath(QStringLiteral("%1.log").arg(QTest::currentDataTag()));
        UnitLog(path).append(r);
        QCOMPARE(fileBytes(path), line);
        const UnitLogContents read = readUnitLog(path);
        QCOMPARE(read.problems, QStringList());
        QCOMPARE(read.lines, QList<QByteArray>{line.chopped(1)});
        QCOMPARE(read.records.size(), 1);
        r.seconds = secondsRead;
        QCOMPARE(read.records.first().toJsonLine(), r.toJsonLine());
    }

    // Lines that hold no record are named with their numbers and skipped; the rest are read.
    void linesThatHoldNoRecordAreNamed_data()
    {
        const QByteArray good = sampleRecord().toJsonLine();
        QByteArray noFrames = good;
        noFrames.replace("\"frames\":18,", "");
        QByteArray framesAsText = good;
        framesAsText.replace("\"frames\":18", "\"frames\":\"18\"");
        QByteArray badTime = good;
        badTime.replace("2026-03-04T", "2026-13-04T");
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<int>("records");
        QTest::addColumn<QStringList>("problems"); // after "FILE, "
        QTest::newRow("whole") << good + good << 2 << QStringList();
        QTest::newRow("the last line cut short")
            << good + good.left(40) << 1 << QStringList{"line 2: cut short"};
        QTest::newRow("the last line whole without its end")
            << good + good.chopped(1) << 2 << QStringList();
        QTest::newRow("garbage between records")
            << good + "garbage\n" + good + "[1,2]\n" + good << 3
            << QStringList{"line 2: no JSON", "line 4: not a JSON object"};
        QTest::newRow("a key missing")
            << noFrames + good << 1 << QStringList{"line 1: no \"frames\""};
        QTest::newRow("a count as text")
            << good + framesAsText << 1 << QStringList{"line 2: \"frames\" is not a number"};
        QTest::newRow("a time that is none")
            << badTime << 0 << QStringList{"line 1: \"time\" is no date and time"};
        QTest::newRow("an empty line")
            << good + "\n" + good << 2 << QStringList{"line 2: an empty line"};
        QTest::newRow("Windows line ends") << good.chopped(1) + "\r\n" + good << 2 << QStringList();
    }
    void linesThatHoldNoRecordAreNamed()
    {
        QFETCH(QByteArray, log);
        QFETCH(int, records);
        QFETCH(QStringList, problems);
        const QString path = m_dir.filePath(QStringLiteral("read.log"));
        write(path, log);
        const UnitLogContents read = readUnitLog(path);
        QCOMPARE(read.records.size(), records);
        QCOMPARE(read.lines.size(), records);
        QCOMPARE(read.problems.size(), problems.size());
        for (qsizetype i = 0; i < problems.size(); ++i) {
            const QString expected =
                QDir::toNativeSeparators(path) + QStringLiteral(", ") + problems[i];
            QVERIFY2(read.problems[i].startsWith(expected), qPrintable(read.problems[i]));
        }
    }

    // A crash in the middle of a line leaves it cut; the next record starts a line of its own,
    // and two logs of one file never put their lines into each other.
    void appendingAfterACutLine()
    {
        const QByteArray cut = sampleRecord().toJsonLine().left(30);
        const QString path = m_dir.filePath(QStringLiteral("cut.log"));
        write(path, cut);
        // And a log in a folder not made yet.
        const QString fresh = m_dir.filePath(QStringLiteral("not/yet/there.log"));
        {
            UnitLog first(path), second(path), third(fresh);
            first.append(sampleRecord());
            second.append(sampleRecord());
            first.append(sampleRecord());
            third.append(sampleRecord());
        }
        const UnitLogContents read = readUnitLog(path);
        QCOMPARE(read.records.size(), 3);
        QCOMPARE(read.problems.size(), 1);
        QVERIFY2(read.problems.first().contains(QStringLiteral(", line 1: no JSON")),
                 qPrintable(read.problems.first()));
        QVERIFY(fileBytes(path).startsWith(cut + '\n'));
        QCOMPARE(readUnitLog(fresh).records.size(), 1);
    }

    void aLogThatCannotBeKeptIsNamed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a folder in its place") << "folder"
                                               << "it is a folder";
#ifdef Q_OS_UNIX
        QTest::newRow("a read-only folder") << "read-only"
                                            << "ermission denied";
        QTest::newRow("a FIFO") << "fifo"
                                << "it is a FIFO";
#endif
    }
    void aLogThatCannotBeKeptIsNamed()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("units.log"));
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(path));
#ifdef Q_OS_UNIX
        if (kind == QLatin1String("read-only")) {
            if (::geteuid() == 0)
                QSKIP("root writes into a read-only folder");
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        }
        if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif
        const QString failure = openingFailure(path);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(failure.contains(QDir::toNativeSeparators(path)), qPrintable(failure));
        QVERIFY2(failure.contains(reason), qPrintable(failure));
    }

    // What one port's write gives the record: the result as the user saw it.
    void theResultOfAWrite_data()
    {
        QTest::addColumn<ProjectWriteReport>("report");
        QTest::addColumn<QString>("failure"); // given by the caller
        QTest::addColumn<QString>("result");
        const QList<PortDifference> none;
        const std::optional<QList<PortDifference>> noVerify;

        ProjectWriteReport verified;
        verified.ports = {portWritten("UART 1", none), portWritten("1-wire", none)};
        QTest::newRow("written and verified")
            << verified << QString() << writtenAndVerifiedResult();

        ProjectWriteReport written;
        written.ports = {portWritten("UART 1", noVerify), portWritten("1-wire", noVerify)};
        QTest::newRow("written, no verify asked") << written << QString() << writtenResult();

        ProjectWriteReport refused = verified;
        refused.outcome = Outcome::PlcFailed;
        refused.ports.last() = portWritten("1-wire", noVerify);
        refused.ports.last().write.outcome = Outcome::PlcFailed;
        refused.ports.last().write.failure.message = QStringLiteral("Wrong answer from PLC");
        QTest::newRow("refused by the PLC") << refused << QString() << "Wrong answer from PLC";

        ProjectWriteReport differs = verified;
        differs.ports.last() =
            portWritten("1-wire", QList<PortDifference>{{"1-wire", 0, "Speed", "115200", "9600"}});
        QTest::newRow("verify found a difference")
            << differs << QString() << "verify found 1-wire, Speed: written 115200, PLC holds 9600";

        ProjectWriteReport unread = verified;
        unread.ports.last().verify = Result<QList<PortDifference>>(
            PlcFailure{QStringLiteral("Answer timeout from PLC"), true});
        QTest::newRow("the read-back failed") << unread << QString() << "Answer timeout from PLC";

        // Every port went through, yet a port was still to come when the run was stopped.
        ProjectWriteReport partial;
        partial.ports = {portWritten("UART 1", none)};
        QTest::newRow("stopped") << partial << "stopped"
                                 << "stopped";
        QTest::newRow("one port short") << partial << QString() << "not written to the end";

        ProjectWriteReport invalid;
        invalid.outcome = Outcome::Invalid;
        QTest::newRow("refused by a check")
            << invalid << QString() << "the configuration has an error";
        QTest::newRow("a failure thrown") << ProjectWriteReport() << "COM3: no such device"
                                          << "COM3: no such device";
    }
    void theResultOfAWrite()
    {
        QFETCH(ProjectWriteReport, report);
        QFETCH(QString, failure);
        QFETCH(QString, result);
        const UnitRun run{.port = QStringLiteral("COM3"),
                          .device = QString(),
                          .project = QStringLiteral("cabinet.dpc"),
                          .sha256 = QString(64, u'0'),
                          .frames = 7,
                          .seconds = 1.5,
                          .failure = failure};
        const UnitRecord r = unitRecord(report, {ProjectPort::Uart1, ProjectPort::Aux}, run);
        QCOMPARE(r.result, result);
        QCOMPARE(r.verified, result == writtenAndVerifiedResult());
        QCOMPARE(r.succeeded(), result.startsWith(QStringLiteral("written")));
        QCOMPARE(r.ports, (QStringList{"uart1", "aux"}));
        QCOMPARE(r.project, QFileInfo(QStringLiteral("cabinet.dpc")).absoluteFilePath());
        QCOMPARE(r.frames, 7);
    }

    void theDeviceOfAPort_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("device");
        const QString byId = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
        QTest::newRow("a device with a serial number")
            << "/dev/ttyUSB0" << byId + QStringLiteral(", serial A50285BI");
        QTest::newRow("its stable name") << byId << byId + QStringLiteral(", serial A50285BI");
        QTest::newRow("no serial number") << "/dev/ttyACM0"
                                          << "/dev/ttyACM0";
        QTest::newRow("a COM number through set.ini")
            << "COM3" << byId + QStringLiteral(", serial A50285BI");
        QTest::newRow("a COM number to a line not listed") << "COM4"
                                                           << "/tmp/plc-pty";
        QTest::newRow("a line not listed") << "/tmp/plc-pty"
                                           << "";
        QTest::newRow("a serial server") << "rfc2217://10.0.0.5:4001"
                                         << "";
        QTest::newRow("a COM number to a serial server") << "COM5"
                                                         << "";
    }
    void theDeviceOfAPort()
    {
        QFETCH(QString, port);
        QFETCH(QString, device);
        setSerialDeviceSource([] {
            return QList<SerialDevice>{{"/dev/ttyACM0", QString(), "maker", "board", QString()},
                                       {"/dev/ttyUSB0",
                                        "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "FTDI",
                                        "FT232R USB UART", "A50285BI"}};
        });
        setDeviceTargetSource([](const QString &) { return QString(); });
        const QString ini = m_dir.filePath(QStringLiteral("set.ini"));
        write(ini, "[Devices]\nCOM3=/dev/ttyUSB0\nCOM4=/tmp/plc-pty\nCOM5=tcp://10.0.0.5:4001\n");
        const QString found = unitDevice(port, ini);
        setSerialDeviceSource({});
        setDeviceTargetSource({});
        QCOMPARE(found, device);
    }

    void aFileThatCannotBeReadIsNamed()
    {
        const QString absent = m_dir.filePath(QStringLiteral("absent"));
        const std::function<void()> reads[] = {[&] { fileSha256(absent); },
                                               [&] { readUnitLog(absent); }};
        for (const auto &read : reads) {
            try {
                read();
                QFAIL("read a file that is not there");
            } catch (const PlatformError &e) {
                QVERIFY2(e.description().contains(QDir::toNativeSeparators(absent)),
                         qPrintable(e.description()));
            }
        }
    }

    // Frames sent count, answers do not; a counter of one link leaves the others' out.
    void framesCounted()
    {
        FrameTap tap;
        const auto *a = reinterpret_cast<const PlcLink *>(&tap);
        const auto *b = reinterpret_cast<const PlcLink *>(this);
        FrameCounter all(tap), ofA(tap, a);
        for (const auto &[kind, link] : {std::pair{LinkEvent::Kind::Sent, a},
                                         {LinkEvent::Kind::Received, a},
                                         {LinkEvent::Kind::Answered, a},
                                         {LinkEvent::Kind::Sent, b},
                                         {LinkEvent::Kind::Sent, a}}) {
            LinkEvent e;
            e.kind = kind;
            e.link = link;
            tap.publish(e);
        }
        QCOMPARE(all.count(), 3);
        QCOMPARE(ofA.count(), 2);
        ofA.reset();
        QCOMPARE(ofA.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestUnitLog)
#include "tst_unit_log.moc"
