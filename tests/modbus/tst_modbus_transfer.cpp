// "Write to PLC" and "Upload from PLC" of both Modbus ports against the simulated PLC: the
// requests it received, in order, and what the port holds afterwards.
#include "support/sim_bench.h"

#include "common/errors.h"
#include "modbus/modbus_port.h"
#include "modbus/modbus_upload.h"
#include "modbus/modbus_write.h"
#include "modbus/slave_table.h"
#include "support/wait_for_task.h"

#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

// Slaves that pass the check; row i differs from its neighbours in every field.
QList<QStringList> validRows(int count)
{
    QList<QStringList> rows;
    for (int i = 0; i < count; ++i) {
        rows.append({QString::number(i + 1), QString::number(1 + i % 200),
                     QString::number(1 + i % 50), QString::number(10 * i), QString::number(20 * i),
                     QString::number(i % 5), QString::number(100 + i)});
    }
    return rows;
}

const QString Open = QStringLiteral("E11 3000 02 0FFF");
const QString Close = QStringLiteral("E11 3000 02 0000");
const QString Restart = QStringLiteral("E10 2002 02 0080");
const QString Timeout = QStringLiteral("Answer timeout from PLC");

// The bar after each of 16 pieces of 64 bytes: done * 100 / total, rounded down.
const QList<int> SixteenPieces{6, 12, 18, 25, 31, 37, 43, 50, 56, 62, 68, 75, 81, 87, 93, 100};

// Three slaves as the grid shows them, and their records.
const QList<QStringList> ThreeSlaves{{"1", "1", "10", "100", "200", "1", "100"},
                                     {"2", "2", "4", "0", "300", "4", "250"},
                                     {"3", "3", "16", "10", "400", "0", "500"}};
const QByteArray ThreeRecords =
    QByteArray::fromHex("010A6400C8006410020400002C01FA4003100A009001F401");

// One "Upload from PLC" into a UART 1 master port with two slaves at 500000, Odd, address 9.
struct UploadCase
{
    quint16 word = 0;
    QByteArray records{};
    int silentAt = 0;             // the PLC drops the request covering it; -1: every request
    QList<int> settings{0, 7, 0}; // mode, speed, parity afterwards
    QString address = QStringLiteral("9");
    QList<QStringList> slaves = validRows(2);
    QStringList reads{QStringLiteral("E00 2008 02")};
    QList<int> progress{};
    QString message{}; // a failure's
};

} // namespace

class TestModbusTransfer : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_bench;
    std::unique_ptr<ModbusPort> m_port;

    sim::PlcModel &plc() { return m_bench->plc(); }
    ScriptedPrompts &prompts() { return m_bench->prompts; }
    ModbusPort &makePort(bool uart1, PortMode mode, const QList<QStringList> &rows)
    {
        m_port =
            std::make_unique<ModbusPort>(uart1 ? ModbusPortInfo::uart1() : ModbusPortInfo::uart2());
        m_port->setMode(mode);
        m_port->slaves().setItems(rows);
        m_port->slaves().renumber(true);
        return *m_port;
    }
    // The requests as sent: command, address, byte count, and the data when it is one word
    // ("E11 2008 02 03D4"; a table piece shows as "E11 2502 40").
    QStringList requests() const
    {
        QStringList texts;
        for (const QByteArray &frame : m_bench->line.sends()) {
            const QString b = QString::fromLatin1(frame.mid(1, frame.indexOf('\x03') - 1));
            texts << b.left(3) + ' ' + b.mid(3, 4) + ' ' + b.mid(7, 2) +
                         (b.size() == 13 ? ' ' + b.mid(9) : QString());
        }
        return texts;
    }
    WriteReport m_report;
    Outcome write()
    {
        waitForTask(writeModbusPort(m_bench->link, m_bench->ini(), prompts(), *m_port, m_report));
        return m_report.outcome;
    }

private Q_SLOTS:
    void init()
    {
        m_port.reset();
        m_bench.reset(); // its clock first: a clock leaving puts the default one back
        m_bench = std::make_unique<Bench>();
    }

    void aMasterWriteSendsTheTableInPieces_data()
    {
        QTest::addColumn<int>("slaves");
        QTest::addColumn<int>("refuseAt");     // the PLC refuses the piece written there
        QTest::addColumn<QStringList>("sent"); // after the bracket's opening
        QTest::addColumn<QList<int>>("progress");
        const QStringList end{Close, Restart};
        QStringList all{"E11 2008 02 80D4"};
        for (int k = 0; k < 16; ++k)
            all << QStringLiteral("E11 %1 40").arg(0x2502 + 64 * k, 4, 16).toUpper();
        QTest::newRow("empty table: one empty request")
            << 0 << 0 << QStringList{"E11 2008 02 00D4", "E11 2502 00"} + end << QList<int>();
        QTest::newRow("8 slaves: one full piece")
            << 8 << 0 << QStringList{"E11 2008 02 08D4", "E11 2502 40"} + end << QList<int>{100};
        QTest::newRow("9 slaves: 64 bytes and 8")
            << 9 << 0 << QStringList{"E11 2008 02 09D4", "E11 2502 40", "E11 2542 08"} + end
            << QList<int>{88, 100};
        // The last piece ends at 2901.
        QTest::newRow("128 slaves") << 128 << 0 << all + end << SixteenPieces;
        // The first two pieces stay written; neither the bracket's end nor the control word
        // follows.
        QTest::newRow("20 slaves, the third piece refused")
            << 20 << 0x2582
            << QStringList{"E11 2008 02 14D4", "E11 2502 40", "E11 2542 40", "E11 2582 20"}
            << QList<int>{40, 80};
    }
    void aMasterWriteSendsTheTableInPieces()
    {
        QFETCH(int, slaves);
        QFETCH(int, refuseAt);
        QFETCH(QStringList, sent);
        QFETCH(QList<int>, progress);
        const QByteArray records =
            Encode_slave_table(makePort(true, PortMode::Master, validRows(slaves)).slaves());
        if (refuseAt)
            plc().faults().refuseAt = {quint16(refuseAt)};
        QCOMPARE(write(), refuseAt ? Outcome::PlcFailed : Outcome::Done);
        QCOMPARE(requests(), QStringList{Open} + sent);
        // The report counts what went out of what was meant to, and whether the PLC may now hold
        // part of it.
        QCOMPARE(m_report.framesSent, sent.size() + 1);
        QCOMPARE(m_report.framesPlanned, 4 + std::max(1, int(records.size() + 63) / 64));
        QCOMPARE(m_report.partial(), refuseAt != 0);
        QCOMPARE(prompts().messages(),
                 refuseAt ? QStringList{"Wrong answer from PLC"} : QStringList());
        QCOMPARE(plc().bracketOpen(), refuseAt != 0);
        // What was accepted arrived where it belongs, inside the bracket.
        const int stored = refuseAt ? 64 * progress.size() : records.size();
        QCOMPARE(plc().memory(sim::Addr::Uart1Slaves, stored), records.left(stored));
        for (const auto &w : plc().writes())
            QVERIFY(w.inBracket || w.address == sim::Addr::Bracket ||
                    w.address == sim::Addr::ControlWord);
        // A pause after each piece, and one at the end of a write that went through.
        QCOMPARE(m_bench->clock.pauses, QList<int>(progress.size() + (refuseAt ? 0 : 1), 100));
        QCOMPARE(prompts().progressValues(), progress);
        QVERIFY(!prompts().progressVisible());
        QVERIFY(!m_bench->line.isOpen());
        QCOMPARE(prompts().questions(),
                 QStringList{"You are shure for download configuration to the PLC ? "});
    }

    void slaveAndNotUseWriteOnlyThePortWord()
    {
        // The table is checked, but not sent.
        makePort(true, PortMode::Slave, validRows(3)).setSlaveAddress(QStringLiteral("1.4"));
        QCOMPARE(write(), Outcome::Done);
        makePort(false, PortMode::NotUse, validRows(3));
        QCOMPARE(write(), Outcome::Done);
        QCOMPARE(requests(), (QStringList{Open, "E11 2008 02 0154", Close, Restart, // 1.4 goes as 1
                                          Open, "E11 2006 02 0000", Close, "E10 2002 02 8000"}));
        QVERIFY(prompts().messages().isEmpty());
        QVERIFY(m_bench->clock.pauses.isEmpty());
        QCOMPARE(prompts().progressShows(), 0);
        QVERIFY(!m_bench->line.isOpen());
    }

    // A PLC that restarts its polling may leave the control word unanswered: the write still
    // went through, and the line is drained and closed before it returns, the link free.
    void anUnansweredControlWordIsDrainedBeforeTheWriteEnds_data()
    {
        QTest::addColumn<PortMode>("mode");
        QTest::addColumn<QString>("control");
        QTest::newRow("master") << PortMode::Master << Restart;
        QTest::newRow("not use") << PortMode::NotUse << QStringLiteral("E10 2002 02 8000");
    }
    void anUnansweredControlWordIsDrainedBeforeTheWriteEnds()
    {
        QFETCH(PortMode, mode);
        QFETCH(QString, control);
        makePort(true, mode, ThreeSlaves);
        plc().faults().silentAt = {sim::Addr::ControlWord};
        QCOMPARE(write(), Outcome::Done);
        QCOMPARE(requests().constLast(), control);
        QVERIFY(!m_bench->line.isOpen());
        QVERIFY(!m_bench->link.busy());
        QVERIFY(prompts().messages().isEmpty());
    }

    void aRefusedWriteSendsNothing_data()
    {
        QTest::addColumn<PortMode>("mode");
        QTest::addColumn<int>("slaves");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("message"); // empty: the user cancels
        const QString digits = "Please, use only digit n the address field ";
        const QString range = "Please, use valid range - address range from 1 to 247 ";
        const QString tooMany = QStringLiteral("You configuration has error in the number of "
                                               "slaves. \r\nMaximum allowed number is 128 ");
        const auto master = PortMode::Master, slave = PortMode::Slave;
        QTest::newRow("cancelled: not even checked") << master << 200 << "1"
                                                     << "";
        QTest::newRow("address letters") << slave << 3 << "one" << digits;
        QTest::newRow("address 0") << slave << 3 << "0" << range;
        QTest::newRow("address 248") << slave << 3 << "248" << range;
        QTest::newRow("master, 129 slaves") << master << 129 << "1" << tooMany;
        QTest::newRow("not use, 129 slaves") << PortMode::NotUse << 129 << "1" << tooMany;
    }
    void aRefusedWriteSendsNothing()
    {
        QFETCH(PortMode, mode);
        QFETCH(int, slaves);
        QFETCH(QString, address);
        QFETCH(QString, message);
        makePort(true, mode, validRows(slaves)).setSlaveAddress(address);
        prompts().queueAnswer(!message.isEmpty());
        QCOMPARE(write(), message.isEmpty() ? Outcome::Cancelled : Outcome::Invalid);
        QCOMPARE(prompts().messages(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty())
            QCOMPARE(prompts().shown().last().title, Prompts::Title("Error in configurations"));
        QVERIFY(m_bench->line.sends().isEmpty());
        QVERIFY(!m_bench->line.isOpen());
    }

    void aCellThatIsNoNumberEndsTheWriteUnsent()
    {
        ModbusPort &port = makePort(true, PortMode::Master, validRows(2));
        port.slaves().setCell(1, SlaveColumn::NumWord, {}); // emptied
        QVERIFY_THROWS_EXCEPTION(InputError, write());
        QVERIFY(m_bench->line.sends().isEmpty());
        QVERIFY(!m_bench->link.busy());
    }

    void anUploadReplacesWhatThePortHolds_data()
    {
        QTest::addColumn<UploadCase>("c");
        auto refused = [](const char *word, const char *why) {
            return QStringLiteral("UART 1: the PLC sent the port settings word %1, %2. Nothing was "
                                  "changed.")
                .arg(QLatin1String(word), QLatin1String(why));
        };
        QList<QStringList> many;
        QStringList reads{"E00 2008 02"};
        for (int k = 0; k < 128; ++k)
            many.append({QString::number(k + 1), "5", "255", "65535", "0", "1", "1"});
        for (int k = 0; k < 16; ++k)
            reads << QStringLiteral("E00 %1 40").arg(0x2502 + 64 * k, 4, 16).toUpper();
        QTest::newRow("D403: master, 3 slaves")
            << UploadCase{.word = 0xD403,
                          .records = ThreeRecords,
                          .settings = {0, 4, 2},
                          .slaves = ThreeSlaves,
                          .reads = {"E00 2008 02", "E00 2502 18"},
                          .progress = {100}};
        QTest::newRow("C080: master, 128 slaves in full pieces")
            << UploadCase{.word = 0xC080,
                          .records = QByteArray::fromHex("05FFFFFF00000110").repeated(128),
                          .settings = {0, 0, 0},
                          .slaves = many,
                          .reads = reads,
                          .progress = SixteenPieces};
        // No stale slave left in the placeholder row, which a write would never send.
        QTest::newRow("C400: master without slaves")
            << UploadCase{.word = 0xC400, .settings = {0, 4, 0}, .slaves = {}};
        // The slave modes keep the table; "Not use" touches neither the lists nor the address.
        QTest::newRow("5401: slave 1, 115200, None")
            << UploadCase{.word = 0x5401, .settings = {1, 4, 2}, .address = "1"};
        QTest::newRow("0000: not use") << UploadCase{.word = 0x0000, .settings = {2, 7, 0}};
        // A failed upload brings nothing: the port stays as it was.
        QTest::newRow("silent PLC")
            << UploadCase{.word = 0xC403, .silentAt = -1, .message = Timeout};
        QTest::newRow("second piece unanswered")
            << UploadCase{.word = 0xC409,
                          .silentAt = 0x2542,
                          .reads = {"E00 2008 02", "E00 2502 40", "E00 2542 08"},
                          .progress = {88},
                          .message = Timeout};
        QTest::newRow("parity bits 11 and 12 both set") << UploadCase{
            .word = 0xDC03, .message = refused("DC03", "whose parity bits name no parity")};
        QTest::newRow("no known pattern") << UploadCase{
            .word = 0x8000, .message = refused("8000", "which is no known port setting")};
        QTest::newRow("more than 128 slaves") << UploadCase{
            .word = 0xC481, .message = refused("C481", "which names more than 128 slaves")};
    }
    void anUploadReplacesWhatThePortHolds()
    {
        QFETCH(UploadCase, c);
        plc().setWord(sim::Addr::Uart1Port, c.word);
        plc().setMemory(sim::Addr::Uart1Slaves, c.records);
        plc().faults().silent = c.silentAt < 0;
        if (c.silentAt > 0)
            plc().faults().silentAt = {quint16(c.silentAt)};
        ModbusPort &port = makePort(true, PortMode::Master, validRows(2));
        port.setSpeed(7);
        port.setParity(0);
        port.setSlaveAddress(QStringLiteral("9"));

        const auto uploaded =
            waitForTask(uploadModbusPort(m_bench->link, m_bench->ini(), prompts(), port.info()));
        QCOMPARE(uploaded.outcome(), c.message.isEmpty() ? Outcome::Done : Outcome::PlcFailed);
        if (uploaded)
            applyUploadedPort(port, *uploaded);
        QCOMPARE((QList<int>{int(port.mode()), port.speed(), port.parity()}), c.settings);
        QCOMPARE(port.slaveAddress(), c.address);
        QCOMPARE(port.slaves().items(), c.slaves);
        // The placeholder shows the next slot once there are slaves.
        QStringList placeholder(SlaveColumn::Count, QString());
        if (!c.slaves.isEmpty())
            placeholder[0] = QString::number(c.slaves.size() + 1);
        QCOMPARE(port.slaves().rowCells(c.slaves.size()), placeholder);
        QCOMPARE(requests(), c.reads);
        QCOMPARE(prompts().progressValues(), c.progress);
        QCOMPARE(prompts().messages(),
                 c.message.isEmpty() ? QStringList() : QStringList{c.message});
        QVERIFY(!prompts().progressVisible());
        QVERIFY(!m_bench->line.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestModbusTransfer)
#include "tst_modbus_transfer.moc"
