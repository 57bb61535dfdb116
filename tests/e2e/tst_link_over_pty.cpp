// The PLC link over a real serial port (QSerialPort on a pty) against plc-sim in its own process.
#include "plc_sim_process.h"

#include "common/errors.h"
#include "link/config_bracket.h"
#include "link/plc_link.h"
#include "link/qt_serial_line.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

class TestLinkOverPty : public QObject
{
    Q_OBJECT

    std::unique_ptr<QtSerialLine> lineTo(const QString &path)
    {
        auto line = std::make_unique<QtSerialLine>([path](int) { return path; });
        line->setSettings(QStringLiteral("115200,E,8,1"));
        return line;
    }

private Q_SLOTS:
    void connectionTestAndConfigurationRoundTrip()
    {
        PlcSimProcess sim;
        QVERIFY(sim.start({QStringLiteral("--cpu-type"), QStringLiteral("4660")}));
        auto line = lineTo(sim.linkPath());
        PlcLink link(*line);
        LinkTransfer transfer(link, QString(), LinkTransfer::Settings::AsTheyAre);
        transfer.open();

        QCOMPARE(link.Send_control_char(500, Ctl::ENQ).codeText(), QStringLiteral("6"));
        QCOMPARE(link.Read_plc_word(500, QStringLiteral("0E02")).value_or(0), quint16(4660));

        QVERIFY(link.Write_plc_block(1000, "E11", "3000", "02", "0FFF").accepted());
        QVERIFY(link.Write_plc_block(650, "E11", "2502", "08", "010A6400C8006410").accepted());
        QVERIFY(link.Write_plc_block(1000, "E11", "3000", "02", "0000").accepted());
        const auto back = link.Read_plc_block(650, QStringLiteral("2502"), QStringLiteral("08"));
        QVERIFY(back.has_value());
        QCOMPARE(back->mid(1, 16), QByteArray("010A6400C8006410"));

        // Many exchanges in a row: nothing is lost or taken for the wrong request.
        for (int i = 0; i < 50; ++i) {
            const QString address = QStringLiteral("%1").arg(0x2502 + (i % 2) * 4, 4, 16).toUpper();
            const auto got = link.Read_plc_block(650, address, QStringLiteral("02"));
            QVERIFY(got.has_value());
            QCOMPARE(got->mid(1, 4), QByteArray(i % 2 ? "C800" : "010A"));
        }
    }

    void aPlcSimKilledMidAnswerEndsTheWaitAndTheLineCanOpenAgain()
    {
        PlcSimProcess sim;
        // Each answer in 4 pieces, 300 ms apart: the kill lands in the middle of one.
        QVERIFY(sim.start({QStringLiteral("--split"), QStringLiteral("4"), QStringLiteral("--gap"),
                           QStringLiteral("300")}));
        auto line = lineTo(sim.linkPath());
        PlcLink link(*line);
        QString failure;
        QElapsedTimer clock;
        {
            LinkTransfer transfer(link, QString(), LinkTransfer::Settings::AsTheyAre);
            transfer.open();
            QTimer::singleShot(450, [&] { sim.kill(); });
            clock.start();
            try {
                link.Read_plc_block(5000, QStringLiteral("2000"), QStringLiteral("08"));
            } catch (const PlatformError &e) {
                failure = e.description();
            }
        }
        QVERIFY2(!failure.isEmpty(), "the wait went on as if nothing happened");
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(failure.contains(QStringLiteral("COM1")), qPrintable(failure));
        QVERIFY(!line->isOpen());

        // Opening while the device is gone says so; once it is back, the link works again.
        {
            LinkTransfer transfer(link, QString(), LinkTransfer::Settings::AsTheyAre);
            QVERIFY_THROWS_EXCEPTION(PlatformError, transfer.open());
        }
        PlcSimProcess again;
        QVERIFY(again.start());
        auto line2 = lineTo(again.linkPath());
        PlcLink link2(*line2);
        LinkTransfer transfer(link2, QString(), LinkTransfer::Settings::AsTheyAre);
        transfer.open();
        QCOMPARE(link2.Send_control_char(500, Ctl::ENQ).codeText(), QStringLiteral("6"));
    }

    void aPortThatDoesNotExistIsNamedInTheError()
    {
        auto line = lineTo(QStringLiteral("/dev/ttyNOSUCH9"));
        line->setPortNumber(3);
        try {
            line->open();
            QFAIL("opened a missing device");
        } catch (const PlatformError &e) {
            QVERIFY2(e.description().startsWith(
                         QStringLiteral("COM3 (/dev/ttyNOSUCH9): no such device")),
                     qPrintable(e.description()));
        }
    }

    void settingsThePortCannotTakeAreRefusedReadably()
    {
        PlcSimProcess sim;
        QVERIFY(sim.start());
        auto line = lineTo(sim.linkPath());
        line->setSettings(QStringLiteral("9600,N,9,1"));
        try {
            line->open();
            QFAIL("9 data bits were taken");
        } catch (const PlatformError &e) {
            QVERIFY2(e.description().contains(QStringLiteral("9 data bits")),
                     qPrintable(e.description()));
        }
        QVERIFY(!line->isOpen());
    }
};

QTEST_GUILESS_MAIN(TestLinkOverPty)
#include "tst_link_over_pty.moc"
