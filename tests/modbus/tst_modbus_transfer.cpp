// "Write to PLC" and "Upload from PLC" of both Modbus ports against the simulated PLC: the
// frames it received, in order, and what the port holds afterwards.
#include "support/sim_bench.h"

#include "common/clock.h"
#include "common/errors.h"
#include "link/plc_link.h"
#include "modbus/modbus_port.h"
#include "modbus/modbus_upload.h"
#include "modbus/modbus_write.h"
#include "modbus/slave_table.h"
#include "sim/sim_line.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// A write as the PLC took it: "E11 2008 03D4" (data in line order).
QString writeText(const sim::PlcModel::Write &w)
{
    return QStringLiteral("%1 %2 %3")
        .arg(QString::fromLatin1(w.command))
        .arg(w.address, 4, 16, QLatin1Char('0'))
        .arg(QString::fromLatin1(w.bytes.toHex()))
        .toUpper()
        .trimmed();
}

QStringList writesOf(const sim::PlcModel &model)
{
    QStringList texts;
    for (const auto &w : model.writes())
        texts << writeText(w);
    return texts;
}

// Slaves that pass the check; row i differs from its neighbours in every field.
QList<QStringList> validRows(int count)
{
    QList<QStringList> rows;
    for (int i = 0; i < count; ++i) {
        rows.append({QString(), QString::number(1 + i % 200), QString::number(1 + i % 50),
                     QString::number(10 * i), QString::number(20 * i), QString::number(i % 5),
                     QString::number(100 + i)});
    }
    return rows;
}

const QString Bracket = QStringLiteral("E11 3000 0FFF");
const QString BracketClose = QStringLiteral("E11 3000 0000");

} // namespace

class TestModbusTransfer : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_bench;

    QString ini() const { return m_bench->ini(); }
    sim::PlcModel &plc() { return m_bench->line.model(); }
    static const ModbusPortInfo &info(bool uart1)
    {
        return uart1 ? ModbusPortInfo::uart1() : ModbusPortInfo::uart2();
    }
    static void setRows(ModbusPort &port, const QList<QStringList> &rows)
    {
        port.slaves().setItems(rows);
        port.slaves().renumber(true);
    }
    static void prepare(ModbusPort &port, PortMode mode, int slaves)
    {
        port.setMode(mode);
        setRows(port, validRows(slaves));
    }
    // The requests as sent, between STX and ETX: "E00200802".
    QList<QByteArray> requests() const
    {
        QList<QByteArray> bodies;
        for (const QByteArray &frame : m_bench->line.sends())
            bodies << frame.mid(1, frame.indexOf('\x03') - 1);
        return bodies;
    }
    Outcome write(const ModbusPort &port)
    {
        return writeModbusPort(m_bench->link, ini(), m_bench->prompts, port);
    }
    Outcome upload(ModbusPort &port)
    {
        return uploadModbusPort(m_bench->link, ini(), m_bench->prompts, port);
    }

private Q_SLOTS:
    void init() { m_bench = std::make_unique<Bench>(); }
    void cleanup() { m_bench.reset(); }

    void masterWritesTheTableInPieces_data()
    {
        QTest::addColumn<bool>("uart1");
        QTest::addColumn<int>("slaves");
        QTest::addColumn<QString>("portWord");   // as received, in line order
        QTest::addColumn<QStringList>("pieces"); // address and byte count of each record write
        QTest::newRow("UART 1, empty table")
            << true << 0 << "E11 2008 00C4" << QStringList{"2502/0"};
        QTest::newRow("UART 1, 3 slaves in one request")
            << true << 3 << "E11 2008 03C4" << QStringList{"2502/24"};
        QTest::newRow("UART 1, 8 slaves: one full piece")
            << true << 8 << "E11 2008 08C4" << QStringList{"2502/64"};
        QTest::newRow("UART 1, 9 slaves")
            << true << 9 << "E11 2008 09C4" << QStringList{"2502/64", "2542/8"};
        QStringList full1, full2;
        for (int k = 0; k < 16; ++k) {
            full1 << QStringLiteral("%1/64").arg(0x2502 + 64 * k, 4, 16).toUpper();
            full2 << QStringLiteral("%1/64").arg(0x2902 + 64 * k, 4, 16).toUpper();
        }
        // The last pieces end at 2901 and 2D01.
        QTest::newRow("UART 1, 128 slaves") << true << 128 << "E11 2008 80C4" << full1;
        QTest::newRow("UART 2, 128 slaves") << false << 128 << "E11 2006 80C4" << full2;
    }
    void masterWritesTheTableInPieces()
    {
        QFETCH(bool, uart1);
        QFETCH(int, slaves);
        QFETCH(QString, portWord);
        QFETCH(QStringList, pieces);
        ModbusPort port(info(uart1));
        port.setSpeed(4);  // 115200
        port.setParity(0); // Odd
        prepare(port, PortMode::Master, slaves);

        QCOMPARE(write(port), Outcome::Done);

        const QStringList writes = writesOf(plc());
        QCOMPARE(writes.size(), pieces.size() + 4);
        QCOMPARE(writes.first(), Bracket);
        QCOMPARE(writes[1], portWord);
        QStringList sent;
        for (const auto &w : plc().writes().mid(2, pieces.size())) {
            QVERIFY(w.inBracket);
            sent << QStringLiteral("%1/%2").arg(w.address, 4, 16).toUpper().arg(w.bytes.size());
        }
        QCOMPARE(sent, pieces);
        QCOMPARE(writes[writes.size() - 2], BracketClose);
        QCOMPARE(writes.last(), QStringLiteral("E10 2002 0080"));
        // Everything the table holds arrived where it belongs.
        const quint16 base = info(uart1).recordsAddress;
        QCOMPARE(QString::fromLatin1(plc().memory(base, 8 * slaves).toHex()).toUpper(),
                 Encode_slave_table(port.slaves()));
        if (slaves == 0)
            QVERIFY(m_bench->line.sentBytes().contains("E11250200\x03"));

        // Pieces pause 100 ms each and move the bar to 100; the end pauses once more.
        const int pieceCount = slaves >= 8 ? int(pieces.size()) : 0;
        QCOMPARE(m_bench->clock.pauses, QList<int>(pieceCount + 1, 100));
        QCOMPARE(m_bench->prompts.progressValues().size(), pieceCount);
        if (pieceCount > 0)
            QCOMPARE(m_bench->prompts.progressValues().last(), 100);
        QCOMPARE(m_bench->prompts.progressShows(), 1);
        QVERIFY(!m_bench->prompts.progressVisible());
        QVERIFY(!m_bench->line.isOpen());
        QCOMPARE(m_bench->prompts.messages(), QStringList());
        QCOMPARE(m_bench->prompts.questions(),
                 QStringList{"You are shure for download configuration to the PLC ? "});
        QCOMPARE(m_bench->prompts.shown().first().title, Prompts::Title(QString()));
    }

    void threeSlavesGoOutAsTheirRecords()
    {
        ModbusPort port(ModbusPortInfo::uart1());
        port.setMode(PortMode::Master);
        setRows(port, {{"", "1", "10", "100", "200", "1", "100"},
                       {"", "2", "4", "0", "300", "4", "250"},
                       {"", "3", "16", "10", "400", "0", "500"}});
        QCOMPARE(write(port), Outcome::Done);
        QCOMPARE(writesOf(plc()),
                 (QStringList{Bracket, "E11 2008 03D4",
                              "E11 2502 010A6400C8006410020400002C01FA4003100A009001F401",
                              BracketClose, "E10 2002 0080"}));
    }

    void slaveAndNotUseWriteOnlyThePortWord_data()
    {
        QTest::addColumn<bool>("uart1");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("portWord"); // empty: refused with the message
        QTest::addColumn<QString>("message");
        const QString digits = QStringLiteral("Please, use only digit n the address field ");
        const QString range =
            QStringLiteral("Please, use valid range - address range from 1 to 247 ");
        QTest::newRow("UART 1, address 1.4 goes as 1") << true << 1 << "1.4"
                                                       << "E11 2008 0154" << QString();
        QTest::newRow("UART 2, address 247") << false << 1 << "247"
                                             << "E11 2006 F754" << QString();
        QTest::newRow("letters") << true << 1 << "one"
                                 << "" << digits;
        QTest::newRow("empty") << true << 1 << ""
                               << "" << digits;
        QTest::newRow("0") << true << 1 << "0"
                           << "" << range;
        QTest::newRow("248") << false << 1 << "248"
                             << "" << range;
        QTest::newRow("UART 2, not use switches the port off") << false << 2 << "1"
                                                               << "E11 2006 0000" << QString();
    }
    void slaveAndNotUseWriteOnlyThePortWord()
    {
        QFETCH(bool, uart1);
        QFETCH(int, mode);
        QFETCH(QString, address);
        QFETCH(QString, portWord);
        QFETCH(QString, message);
        ModbusPort port(info(uart1));
        prepare(port, static_cast<PortMode>(mode), 3); // checked, but not sent
        port.setSlaveAddress(address);
        QCOMPARE(write(port), message.isEmpty() ? Outcome::Done : Outcome::Invalid);
        if (message.isEmpty()) {
            QCOMPARE(writesOf(plc()), (QStringList{Bracket, portWord, BracketClose,
                                                   mode == 1 ? "E10 2002 0080" : "E10 2002 8000"}));
            QVERIFY(m_bench->prompts.messages().isEmpty());
        } else {
            QVERIFY(m_bench->line.sends().isEmpty());
            QCOMPARE(m_bench->prompts.messages(), QStringList{message});
            QCOMPARE(m_bench->prompts.shown().last().title,
                     Prompts::Title(QStringLiteral("Error in configurations")));
        }
        QVERIFY(m_bench->clock.pauses.isEmpty());
        QCOMPARE(m_bench->prompts.progressShows(), 0);
        QVERIFY(!m_bench->line.isOpen());
    }

    void aTableErrorBlocksEveryMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("slaves");
        QTest::addColumn<QString>("message");
        const QString tooMany = QStringLiteral("You configuration has error in the number of "
                                               "slaves. \r\nMaximum allowed number is 128 ");
        const QString timeout = QStringLiteral(
            "You configuration has error in the Timeout - row 2\r\nColumn [Timeout,[ms]]");
        QTest::newRow("master, 129 slaves") << 0 << 129 << tooMany;
        QTest::newRow("slave, 129 slaves") << 1 << 129 << tooMany;
        QTest::newRow("not use, 129 slaves") << 2 << 129 << tooMany;
        QTest::newRow("slave, timeout 5000 in row 2") << 1 << 3 << timeout;
    }
    void aTableErrorBlocksEveryMode()
    {
        QFETCH(int, mode);
        QFETCH(int, slaves);
        QFETCH(QString, message);
        ModbusPort port(ModbusPortInfo::uart1());
        prepare(port, static_cast<PortMode>(mode), slaves);
        port.slaves().setCell(1, SlaveColumn::Timeout, QStringLiteral("5000"));
        QCOMPARE(write(port), Outcome::Invalid);
        QCOMPARE(m_bench->prompts.messages(), QStringList{message});
        QCOMPARE(m_bench->prompts.shown().last().title,
                 Prompts::Title(QStringLiteral("Error in configurations")));
        QVERIFY(m_bench->line.sends().isEmpty());
    }

    void aCellThatIsNoNumberEndsTheWriteUnsent()
    {
        ModbusPort port(ModbusPortInfo::uart1());
        prepare(port, PortMode::Master, 2);
        port.slaves().setCell(1, SlaveColumn::NumWord, QString()); // emptied with Delete
        QVERIFY_THROWS_EXCEPTION(InputError, write(port));
        QVERIFY(m_bench->line.sends().isEmpty());
        QVERIFY(!m_bench->link.busy());
    }

    void cancelSendsNothing()
    {
        ModbusPort port(ModbusPortInfo::uart1());
        prepare(port, PortMode::Master, 200); // not even checked
        m_bench->prompts.queueAnswer(false);
        QCOMPARE(write(port), Outcome::Cancelled);
        QVERIFY(m_bench->line.sends().isEmpty());
        QVERIFY(m_bench->prompts.messages().isEmpty());
        QVERIFY(!m_bench->line.isOpen());
    }

    void aRefusedPieceEndsTheWrite()
    {
        ModbusPort port(ModbusPortInfo::uart1());
        prepare(port, PortMode::Master, 20); // pieces at 2502, 2542, 2582
        plc().faults().refuseAt = {0x2582};
        QCOMPARE(write(port), Outcome::PlcFailed);
        const QStringList writes = writesOf(plc());
        QCOMPARE(writes.size(), 4); // bracket, port word, two pieces
        QCOMPARE(plc().writes()[2].address, quint16(0x2502));
        QCOMPARE(plc().writes()[3].address, quint16(0x2542));
        QVERIFY(plc().writesAt(0x2002).isEmpty());
        QVERIFY(plc().bracketOpen()); // the closing request never went
        QCOMPARE(m_bench->prompts.messages(), QStringList{"Wrong answer from PLC"});
        QVERIFY(!m_bench->prompts.progressVisible());
        QVERIFY(!m_bench->line.isOpen());
    }

    void uploadRebuildsAMasterPort()
    {
        plc().setWord(sim::Addr::Uart1Port, 0xD403);
        plc().setMemory(sim::Addr::Uart1Slaves, QByteArray::fromHex("010A6400C8006410"
                                                                    "020400002C01FA40"
                                                                    "03100A009001F401"));
        ModbusPort port(ModbusPortInfo::uart1());
        setRows(port, validRows(5));
        QSignalSpy modes(&port, &ModbusPort::modeSelected);
        QCOMPARE(upload(port), Outcome::Done);

        QCOMPARE(port.mode(), PortMode::Master);
        QCOMPARE(modes.size(), 1);
        QCOMPARE(port.speed(), 4);
        QCOMPARE(port.parity(), 2);
        QCOMPARE(port.slaves().items(),
                 (QList<QStringList>{{"1", "1", "10", "100", "200", "1", "100"},
                                     {"2", "2", "4", "0", "300", "4", "250"},
                                     {"3", "3", "16", "10", "400", "0", "500"}}));
        QCOMPARE(port.slaves().rowCells(3), (QStringList{"4", "", "", "", "", "", ""}));
        QCOMPARE(requests(), (QList<QByteArray>{"E00200802", "E00250218"}));
        QVERIFY(m_bench->prompts.messages().isEmpty());
        QVERIFY(!m_bench->line.isOpen());
    }

    void uploadReads128SlavesInFullPieces()
    {
        plc().setWord(sim::Addr::Uart2Port, 0xC080);
        QByteArray records;
        for (int k = 0; k < 128; ++k)
            records += QByteArray::fromHex("05FFFFFF00000110");
        plc().setMemory(sim::Addr::Uart2Slaves, records);
        ModbusPort port(ModbusPortInfo::uart2());
        QCOMPARE(upload(port), Outcome::Done);
        QCOMPARE(port.slaves().itemCount(), 128);
        QCOMPARE(port.slaves().rowCells(127),
                 (QStringList{"128", "5", "255", "65535", "0", "1", "1"}));
        QCOMPARE(port.slaves().cell(128, 0), QStringLiteral("129"));
        QCOMPARE(port.speed(), 0);
        QCOMPARE(port.parity(), 0);
        QCOMPARE(requests().size(), 17);
        QCOMPARE(requests()[1], "E00290240");
        QCOMPARE(requests().last(), "E002CC240");
        QCOMPARE(m_bench->prompts.progressValues().size(), 16);
        QCOMPARE(m_bench->prompts.progressValues().last(), 100);
        QVERIFY(!m_bench->prompts.progressVisible());
    }

    void uploadOfAnEmptyMasterLeavesABlankPlaceholder()
    {
        plc().setWord(sim::Addr::Uart1Port, 0xC400);
        ModbusPort port(ModbusPortInfo::uart1());
        setRows(port, validRows(2));
        QCOMPARE(upload(port), Outcome::Done);
        QCOMPARE(port.mode(), PortMode::Master);
        QCOMPARE(port.slaves().itemCount(), 0);
        // No stale slave left in the placeholder row, which a write would never send.
        QCOMPARE(port.slaves().rowCells(0), QStringList(7, QString()));
        QCOMPARE(m_bench->line.sends().size(), 1);
    }

    void uploadOfASlavePortKeepsTheTable_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("parity");
        QTest::newRow("5401: slave 1, 115200, None") << 0x5401 << 1 << "1" << 4 << 2;
        QTest::newRow("49F7: slave 247, 19200, Even") << 0x49F7 << 1 << "247" << 1 << 1;
        // "Not use" touches neither the lists nor the address.
        QTest::newRow("0000: not use") << 0x0000 << 2 << "9" << 7 << 0;
    }
    void uploadOfASlavePortKeepsTheTable()
    {
        QFETCH(int, word);
        QFETCH(int, mode);
        QFETCH(QString, address);
        QFETCH(int, speed);
        QFETCH(int, parity);
        plc().setWord(sim::Addr::Uart1Port, quint16(word));
        ModbusPort port(ModbusPortInfo::uart1());
        port.setMode(PortMode::Master);
        port.setSpeed(7);
        port.setParity(0);
        port.setSlaveAddress(QStringLiteral("9"));
        setRows(port, validRows(2));
        const QList<QStringList> rows = port.slaves().items();
        QCOMPARE(upload(port), Outcome::Done);
        QCOMPARE(port.mode(), static_cast<PortMode>(mode));
        QCOMPARE(port.slaveAddress(), address);
        QCOMPARE(port.speed(), speed);
        QCOMPARE(port.parity(), parity);
        QCOMPARE(port.slaves().items(), rows);
        QCOMPARE(m_bench->line.sends().size(), 1);
    }

    void aFailedUploadLeavesThePortAsItWas_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("silentAt");
        QTest::addColumn<QString>("message");
        const QString timeout = QStringLiteral("Answer timeout from PLC");
        QTest::newRow("silent PLC") << 0xC403 << true << 0 << timeout;
        QTest::newRow("second piece unanswered") << 0xC409 << false << 0x2542 << timeout;
        QTest::newRow("parity bits 11 and 12 both set")
            << 0xDC03 << false << 0
            << "UART 1: the PLC sent the port settings word DC03, whose parity bits name no "
               "parity. Nothing was changed.";
        QTest::newRow("no known pattern")
            << 0x8000 << false << 0
            << "UART 1: the PLC sent the port settings word 8000, which is no known port "
               "setting. Nothing was changed.";
        QTest::newRow("more than 128 slaves")
            << 0xC481 << false << 0
            << "UART 1: the PLC sent the port settings word C481, which names more than 128 "
               "slaves. Nothing was changed.";
    }
    void aFailedUploadLeavesThePortAsItWas()
    {
        QFETCH(int, word);
        QFETCH(bool, silent);
        QFETCH(int, silentAt);
        QFETCH(QString, message);
        plc().setWord(sim::Addr::Uart1Port, quint16(word));
        plc().faults().silent = silent;
        if (silentAt)
            plc().faults().silentAt = {quint16(silentAt)};

        ModbusPort port(ModbusPortInfo::uart1());
        port.setMode(PortMode::Slave);
        port.setSpeed(1);
        port.setSlaveAddress(QStringLiteral("17"));
        setRows(port, validRows(2));
        const QList<QStringList> rows = port.slaves().items();
        QSignalSpy changes(&port, &ModbusPort::settingsChanged);
        QSignalSpy modes(&port, &ModbusPort::modeSelected);
        QSignalSpy resets(&port.slaves(), &QAbstractItemModel::modelReset);

        QCOMPARE(upload(port), Outcome::PlcFailed);
        QCOMPARE(m_bench->prompts.messages(), QStringList{message});
        QCOMPARE(port.mode(), PortMode::Slave);
        QCOMPARE(port.speed(), 1);
        QCOMPARE(port.slaveAddress(), QStringLiteral("17"));
        QCOMPARE(port.slaves().items(), rows);
        QVERIFY(changes.isEmpty() && modes.isEmpty() && resets.isEmpty());
        QVERIFY(!m_bench->prompts.progressVisible());
        QVERIFY(!m_bench->line.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestModbusTransfer)
#include "tst_modbus_transfer.moc"
