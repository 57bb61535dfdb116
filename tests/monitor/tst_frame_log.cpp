// What the monitor makes of frames, the rows it keeps, and the one tap it shares with --trace and
// the plc.link log.
#include "support/sim_bench.h"

#include "cli/frame_trace.h"
#include "link/frame_tap.h"
#include "link/plc_address.h"
#include "monitor/frame_decoder.h"
#include "monitor/frame_log_model.h"
#include "support/wait_for_task.h"

#include <QAbstractItemModelTester>
#include <QLoggingCategory>
#include <QtTest>

#include <cstdio>

using namespace std::chrono_literals;

namespace {
const QByteArray BracketOpen = frame("E113000020FFF", "D1");
const QByteArray ReadUart1Word = framed("E00200802");
const QByteArray ReadFound = framed("E00300002");
const QByteArray ReadCpu = frame("00E0202", "6C");
QStringList logged; // what the plc.link category printed
} // namespace

class TestFrameLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void requestsReadAsTheirAddressesMean_data()
    {
        auto row = [](const char *name, const QByteArray &request, const QString &meaning,
                      bool sumWrong = false) {
            QTest::newRow(name) << request << meaning << sumWrong;
        };
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("meaning");
        QTest::addColumn<bool>("sumWrong");
        const QByteArray zeros(128, '0');
        row("bracket open", BracketOpen, "configuration bracket open");
        row("bracket close", frame("E113000020000", "8F"), "configuration bracket close");
        row("UART 1 master word", framed("E1120080204D4"),
            "UART 1 port word: Modbus master, 115200, None, 4 slaves");
        row("UART 2 slave word", framed("E112006020548"),
            "UART 2 port word: Modbus slave, 9600, Even, address 5");
        row("first piece of slave records", framed("E11250240" + zeros),
            "UART 1 slave records, slots 1 to 8");
        row("one UART 2 record", framed("E11290208" + zeros.left(16)),
            "UART 2 slave records, slot 1");
        row("records read from the second piece", framed("E00254210"),
            "read UART 1 slave records, slots 9 to 10");
        row("sensor piece", framed("E11200C40" + zeros), "1-wire sensor records, sensors 1 to 7");
        row("aux mode word", framed("E11200A0203C0"),
            "auxiliary port mode word: 1-wire master, 3 sensors");
        row("control word", framed("E102002020080"), "control word: restart polling");
        row("bus search", framed("E102000020180"), "bus search started");
        row("restart", framed("E113011027B49"), "service word: restart");
        row("ROM codes", framed("E00300240"), "read ROM codes of sensors 1 to 8");
        row("second half of the 1-wire error buffer", framed("E00374040"),
            "read 1-wire error buffer, sensors 65 to 128");
        row("sensors found", ReadFound, "read number of sensors found");
        row("CPU type", ReadCpu, "read CPU type");
        row("enquiry", Enq, "enquiry");
        row("wrong sum", frame("E113000020FFF", "D2"), "configuration bracket open", true);
    }
    void requestsReadAsTheirAddressesMean()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, meaning);
        QFETCH(bool, sumWrong);
        const FrameReading reading = readRequest(request);
        QCOMPARE(reading.meaning, meaning);
        QCOMPARE(reading.sumWrong, sumWrong);
    }

    void answersReadInTheLightOfTheirRequest_data()
    {
        auto row = [](const char *name, const QByteArray &request, const QByteArray &answer,
                      bool complete, const QString &meaning, bool sumWrong = false) {
            QTest::newRow(name) << request << answer << complete << meaning << sumWrong;
        };
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("meaning");
        QTest::addColumn<bool>("sumWrong");
        row("accepted", BracketOpen, Ack, true, "answer: accepted");
        row("refused", BracketOpen, Nak, true, "answer: refused (15)");
        row("noise only", BracketOpen, QByteArray("X"), false, "answer: damaged (noise only)");
        row("noise, then accepted", BracketOpen, "\r\n" + Ack, true,
            "answer: accepted (noise before the answer)");
        row("silent", BracketOpen, QByteArray(), false, "no answer within 650 ms");
        row("port word read back", ReadUart1Word, framed("04D4"), true,
            "UART 1 port word: Modbus master, 115200, None, 4 slaves");
        row("sensors found", ReadFound, framed("0300"), true, "bus search found 3 sensors");
        row("noise before", ReadFound, "\r\n" + framed("0300"), true,
            "bus search found 3 sensors (noise before the frame)");
        row("a noise STX before", ReadFound, "\x02" + framed("0300"), true,
            "bus search found 3 sensors (noise before the frame)");
        row("STX, then the refusal", BracketOpen, QByteArray("\x02\x15"), true,
            "answer: damaged (2)");
        row("CPU type", ReadCpu, framed("3412"), true, "CPU type 4660");
        row("wrong sum", ReadUart1Word, frame("04D4", "00"), true,
            "damaged answer: wrong checksum (DF expected)", true);
        row("cut off", framed("E00250208"), framed("0102030405060708").left(10), false,
            "no answer within 650 ms, 10 of 20 characters came");
    }
    void answersReadInTheLightOfTheirRequest()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        QFETCH(bool, complete);
        QFETCH(QString, meaning);
        QFETCH(bool, sumWrong);
        const FrameReading reading = readAnswer(request, answer, complete, Timeout::Data);
        QCOMPARE(reading.meaning, meaning);
        QCOMPARE(reading.sumWrong, sumWrong);
    }

    // Old rows drop off under a note that counts them. Paused, rows wait in order and come on
    // resume; the newest are kept when too many wait.
    void rowsDropOffAndWaitWhilePaused()
    {
        FrameLogModel log(0, 4);
        QAbstractItemModelTester tester(&log);
        LinkEvent late;
        late.kind = LinkEvent::Kind::Dropped;
        auto take = [&](int from, int to) {
            for (int i = from; i <= to; ++i) {
                late.atMs = i;
                late.bytes = QByteArray::number(i);
                log.take(late);
            }
        };
        auto frames = [&] {
            QStringList shown;
            for (int row = 0; row < log.rowCount(); ++row)
                shown << log.index(row, FrameLogModel::FrameColumn).data().toString();
            return shown.join(' ');
        };
        take(1, 7);
        QCOMPARE(frames(), "3 earlier rows dropped 4 5 6 7");
        QVERIFY(log.tableText().startsWith(
            "ms\tDir\tFrame\tMeaning\n\t\t3 earlier rows dropped\t\n4\t<\t4\tcame late"));

        log.clear();
        take(1, 2);
        log.setPaused(true);
        take(3, 4);
        QCOMPARE(frames(), "1 2");
        QCOMPARE(log.notShown(), 2);
        log.setPaused(false);
        QCOMPARE(frames(), "1 2 3 4");
        QCOMPARE(log.notShown(), 0);

        log.clear();
        log.setPaused(true);
        take(1, 6);
        log.setPaused(false);
        QCOMPARE(frames(), "2 earlier rows dropped 3 4 5 6");
    }

    // --trace, the monitor's log and the plc.link category see the same frames.
    void oneTapFeedsTraceMonitorAndLog()
    {
        Bench b;
        FrameLogModel log(0);
        connect(&b.tap, &FrameTap::happened, &log, &FrameLogModel::take);
        std::FILE *traced = std::tmpfile();
        new FrameTrace(b.link, traced);
        logged.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("plc.link.debug=true"));
        const auto before = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &context, const QString &text) {
                if (QByteArray(context.category) == "plc.link")
                    logged << text;
            });
        {
            LinkTransfer transfer(b.link, QString(), QStringLiteral("Connection test"),
                                  LinkTransfer::Settings::AsTheyAre);
            waitForTask(transfer.open());
            waitForTask(b.link.Write_plc_block(1000ms, WriteCommand::Configuration, Addr::Bracket,
                                               QByteArray("\x0F\xFF")));
            b.plc().faults().silent = true;
            waitForTask(b.link.Read_plc_block(Timeout::Word, Addr::Uart1Port, 2));
        }
        waitForTask(b.link.idle());
        qInstallMessageHandler(before);
        QLoggingCategory::setFilterRules(QString());

        QStringList traceFrames;
        std::rewind(traced);
        char line[512];
        while (std::fgets(line, sizeof line, traced))
            traceFrames << QString::fromLatin1(line).mid(10).trimmed();
        std::fclose(traced);
        const QString open = "> " + QString::fromLatin1(readableFrame(BracketOpen));
        const QString read = "> " + QString::fromLatin1(readableFrame(ReadUart1Word));
        QCOMPARE(traceFrames, QStringList({open, "< <ACK>", read}));
        const QString port = b.line.describe() + ' ';
        QCOMPARE(logged, QStringList({port + "-- Connection test", port + open, port + "< <ACK>",
                                      port + read, port + "-- no answer within 350 ms"}));
        QStringList rows;
        for (int row = 0; row < log.rowCount(); ++row)
            rows << log.rowText(row).section('\t', 1);
        QVERIFY(rows.value(0).startsWith("\tConnection test, "));
        QCOMPARE(rows.mid(1),
                 QStringList({QString(open).replace(' ', '\t') + "\tconfiguration bracket open",
                              "<\t<ACK>\tanswer: accepted",
                              QString(read).replace(' ', '\t') + "\tread UART 1 port word",
                              "<\t\tno answer within 350 ms"}));
    }
};

QTEST_MAIN(TestFrameLog)
#include "tst_frame_log.moc"
