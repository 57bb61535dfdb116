// The PLC link over a real serial port (QSerialPort on a pty) against plc-sim in its own process.
#include "plc_sim_process.h"
#include "support/scripted_prompts.h"

#include "common/clock.h"
#include "common/errors.h"
#include "support/wait_for_task.h"
#include "link/plc_address.h"
#include "link/plc_link.h"
#include "link/qt_serial_line.h"
#include "link/transfer_steps.h"

#include <QtTest>

using namespace std::chrono_literals;

class TestLinkOverPty : public QObject
{
    Q_OBJECT

    static std::unique_ptr<QtSerialLine> lineTo(const QString &path)
    {
        auto line = std::make_unique<QtSerialLine>([path](int) { return path; });
        line->setSettings(QStringLiteral("115200,E,8,1"));
        return line;
    }

private Q_SLOTS:
    void connectionTestAndConfigurationRoundTrip()
    {
        PlcSimProcess sim;
        QVERIFY(sim.start({"--cpu-type", "4660"}));
        auto line = lineTo(sim.linkPath());
        // Settings the port cannot take are refused readably.
        line->setSettings(QStringLiteral("9600,N,9,1"));
        try {
            line->open();
            QFAIL("9 data bits were taken");
        } catch (const PlatformError &e) {
            QVERIFY2(e.description().contains("9 data bits"), qPrintable(e.description()));
        }
        QVERIFY(!line->isOpen());
        line->setSettings(QStringLiteral("115200,E,8,1"));
        SteadyClock clock;
        FrameTap tap;
        PlcLink link(*line, clock, tap);
        LinkTransfer transfer(link, QString(), LinkTransfer::Settings::AsTheyAre);
        waitForTask(transfer.open());

        QCOMPARE(waitForTask(link.Send_control_char(500ms, Ctl::ENQ)).codeText(),
                 QStringLiteral("6"));
        QCOMPARE(waitForTask(link.Read_plc_word(500ms, Addr::CpuType)),
                 std::optional<quint16>(4660));
        const QByteArray slave = QByteArray::fromHex("010A6400C8006410");
        ScriptedPrompts prompts;
        WriteReport report;
        ConfigWriter writer(link, prompts, report);
        QVERIFY(waitForTask(writer.openBracket()));
        QVERIFY(waitForTask(writer.write(Timeout::Data, Addr::Uart1Slaves, slave)));
        QVERIFY(waitForTask(writer.closeBracket()));
        QCOMPARE(waitForTask(link.Read_plc_block(Timeout::Data, Addr::Uart1Slaves, 8)),
                 std::optional(slave));

        // Many exchanges in a row: nothing is lost or taken for the wrong request.
        for (int i = 0; i < 50; ++i) {
            const auto got =
                waitForTask(link.Read_plc_block(Timeout::Data, Addr::Uart1Slaves + (i % 2) * 4, 2));
            QCOMPARE(got, std::optional(slave.mid((i % 2) * 4, 2)));
        }
    }

    void aPlcSimKilledMidAnswerEndsTheWaitAndTheLineCanOpenAgain()
    {
        PlcSimProcess sim;
        // Each answer in 4 pieces, 300 ms apart; plc-sim goes once the first has come.
        QVERIFY(sim.start({"--split", "4", "--gap", "300"}));
        auto line = lineTo(sim.linkPath());
        SteadyClock clock;
        FrameTap tap;
        PlcLink link(*line, clock, tap);
        bool killed = false;
        connect(&tap, &FrameTap::happened, &link, [&](const LinkEvent &e) {
            if (e.kind == LinkEvent::Kind::Received && !std::exchange(killed, true))
                sim.kill();
        });
        try {
            LinkTransfer transfer(link, QString(), LinkTransfer::Settings::AsTheyAre);
            waitForTask(transfer.open());
            waitForTask(link.Read_plc_block(5000ms, 0x2000, 8));
            QFAIL("the wait missed the failure and ended as a timeout");
        } catch (const PlatformError &e) {
            QVERIFY2(e.description().contains("COM1"), qPrintable(e.description()));
        }
        QVERIFY(!line->isOpen());

        // Once the device is back (opening without it: the COM-port dialog's e2e test), the link
        // works again.
        PlcSimProcess again; // where the first one was
        QVERIFY(again.start({QStringLiteral("--link"), sim.linkPath()}));
        LinkTransfer transfer(link, QString(), LinkTransfer::Settings::AsTheyAre);
        waitForTask(transfer.open());
        QCOMPARE(waitForTask(link.Send_control_char(500ms, Ctl::ENQ)).codeText(),
                 QStringLiteral("6"));
    }
};

QTEST_GUILESS_MAIN(TestLinkOverPty)
#include "tst_link_over_pty.moc"
