// The PLC's port picks its kind at every opening: a COM number that set.ini maps to a serial
// server reaches it over TCP, one mapped to a device opens the device, and what --port gives
// stands alone; messages name the COM number and what it leads to.
#include "support/sim_tcp_server.h"
#include "support/wait_for_task.h"

#include "common/clock.h"
#include "common/errors.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "link/network_address.h"
#include "link/plc_address.h"
#include "link/plc_link.h"
#include "link/port_line.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
// A TCP port of 127.0.0.1 that nobody listens on.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}
} // namespace

class TestPortLine : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    sim::PlcModel m_plc;
    std::unique_ptr<SimTcpServer> m_server;
    SteadyClock m_clock; // the server answers in real time
    FrameTap m_tap;

    QString ini() const { return m_dir->filePath(QStringLiteral("set.ini")); }
    // The line of the window: COM3, led where set.ini [Devices] says.
    std::unique_ptr<PortLine> comLine()
    {
        const QString path = ini();
        auto line = std::make_unique<PortLine>([path](int n) { return comDevice(n, path); });
        line->setPortNumber(3);
        return line;
    }
    // Opens the line through a link and reads the CPU type; the reason when that fails.
    QString readCpuType(SerialLine &line)
    {
        PlcLink link(line, m_clock, m_tap);
        QString read;
        try {
            LinkTransfer transfer(link, QString(), QString(), LinkTransfer::Settings::AsTheyAre);
            waitForTask(transfer.open());
            const auto type = waitForTask(link.Read_plc_word(Timeout::Word, Addr::CpuType));
            read = type ? QString::number(*type) : QStringLiteral("no answer");
        } catch (const CommandError &e) {
            read = e.description();
        }
        waitForTask(link.idle()); // the link lets go of the line before it goes
        return read;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_plc.setCpuType(4660);
        m_server = std::make_unique<SimTcpServer>(m_plc);
        QVERIFY(m_server->isListening());
    }

    // Where COM3 leads, what the line calls itself then, and what an opening there gives.
    void aComNumberLeadsWhereSetIniSays_data()
    {
        QTest::addColumn<QString>("mapped"); // "SERVER": the simulated PLC's TCP port
        QTest::addColumn<QString>("read");   // the CPU type, or the reason it was not read
        const QString closed = QStringLiteral("tcp://127.0.0.1:%1").arg(closedPort());
        const QString noPort = QStringLiteral("rfc2217://127.0.0.1");
        const QString missing = QStringLiteral("/nonexistent/plc-adapter");
        QTest::newRow("a serial server") << "SERVER"
                                         << "4660";
        QTest::newRow("a server that refuses")
            << closed << "COM3: connection refused by " + closed.mid(6);
        QTest::newRow("an address without its TCP port")
            << noPort << "COM3: " + NetworkAddress::problem(noPort);
        QTest::newRow("a device") << missing << "COM3 (" + missing + "): no such device";
    }
    void aComNumberLeadsWhereSetIniSays()
    {
        QFETCH(QString, mapped);
        QFETCH(QString, read);
        mapped.replace("SERVER", m_server->address());
        Write_ini(ini(), "Devices", "COM3", mapped);
        const auto line = comLine();
        QCOMPARE(line->describe(), "COM3 (" + mapped + ")");
        const QString got = readCpuType(*line);
        QVERIFY2(got.startsWith(read), qPrintable(got));
        QCOMPARE(m_server->connections(), mapped == m_server->address() ? 1 : 0);
        QVERIFY(!line->isOpen());
    }

    // A changed mapping is followed at the next opening, without a new line; a line never
    // opened refuses to send.
    void theKindIsPickedAtEveryOpening()
    {
        const auto line = comLine();
        Write_ini(ini(), "Devices", "COM3", m_server->address());
        QVERIFY_THROWS_EXCEPTION(PlatformError, line->send("x"));
        QCOMPARE(readCpuType(*line), QStringLiteral("4660"));
        Write_ini(ini(), "Devices", "COM3", "/nonexistent/ttyUSB9");
        QVERIFY(readCpuType(*line).startsWith("COM3 (/nonexistent/ttyUSB9): no such device"));
        m_plc.setCpuType(77);
        Write_ini(ini(), "Devices", "COM3", m_server->address());
        line->setPortNumber(4);
        Write_ini(ini(), "Devices", "COM4", m_server->address());
        QCOMPARE(readCpuType(*line), QStringLiteral("77"));
        QCOMPARE(m_server->connections(), 2);
        QCOMPARE(line->describe(), "COM4 (" + m_server->address() + ")");
    }

    // --port with an address: the line is the server's alone, whatever set.ini maps.
    void anAddressGivenForTheRunStandsAlone()
    {
        const QString closed = QStringLiteral("tcp://127.0.0.1:%1").arg(closedPort());
        Write_ini(ini(), "Devices", "COM1", m_server->address());
        PortLine line([closed](int) { return closed; });
        line.nameByDevice();
        QCOMPARE(line.describe(), closed);
        QSignalSpy failed(&line, &SerialLine::failed);
        QCOMPARE(readCpuType(line), "connection refused by " + closed.mid(6));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(line.brokenReason(), "connection refused by " + closed.mid(6));
        QCOMPARE(m_server->connections(), 0);
    }

    // A server or device is one line's at a time: another line of the program that leads there,
    // by another name, is refused and told who holds it, until the holder closes.
    void aPortHeldByOneLineIsRefusedToAnother()
    {
        Write_ini(ini(), "Devices", "COM3", m_server->address());
        const auto holder = comLine();
        holder->setHolder(QStringLiteral("the production window"));
        PlcLink link(*holder, m_clock, m_tap);
        {
            LinkTransfer held(link, QString(), QString(), LinkTransfer::Settings::AsTheyAre);
            waitForTask(held.open());
            const QString server = QString(m_server->address()).replace("tcp://", "rfc2217://");
            PortLine other([server](int) { return server; });
            other.nameByDevice();
            QCOMPARE(readCpuType(other), server + ": in use by the production window");
        }
        waitForTask(link.idle());
        QCOMPARE(readCpuType(*comLine()), QStringLiteral("4660"));
    }
};

QTEST_GUILESS_MAIN(TestPortLine)
#include "tst_port_line.moc"
