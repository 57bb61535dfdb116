// Reading the error buffers from the simulated PLC: the frames sent, the rows shown, and what a
// silent PLC or a broken line does to the grid and the line.
#include "support/sim_bench.h"

#include "common/command.h"
#include "common/text_table.h"
#include "support/wait_for_task.h"
#include "diag/error_buffer.h"
#include "diag/error_buffer_read.h"

#include <QtTest>

#include <memory>

namespace {

// Block reads of the status words and buffers, with the sums the PLC expects.
const QByteArray Uart1Word = frame("E00200802", "D4"), Uart2Word = frame("E00200602", "D2");
const QByteArray Uart1First = frame("E00360040", "D5"), Uart1Second = frame("E00364040", "D9");
const QByteArray Uart2First = frame("E00368040", "DD"), Uart2Second = frame("E0036C040", "E8");
const QByteArray AuxWord = frame("E00200A02", "DD");
const QByteArray WireFirst = frame("E00370040", "D6"), WireSecond = frame("E00374040", "DA");

const QList<QStringList> Previous = {{"1", "Active error", "MBErr 8"}, {"2", "", ""}};

} // namespace

class TestErrorBufferRead : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b;
    TextTable m_grid{modbusDiagHeader()};

    Outcome readUart1()
    {
        return waitForTask(Read_modbus_buffer(m_b->link, m_b->ini(), m_b->prompts, 1, m_grid));
    }

private Q_SLOTS:
    void init()
    {
        m_b = std::make_unique<Bench>();
        m_grid.setItems(Previous);
        m_grid.renumber(true);
    }
    void cleanup() { m_b.reset(); }

    // The same buffer read through each status word: as many slots as it counts, in blocks of
    // 64, each decoded by its buffer's rules and its slot number.
    void readsTheSlotsTheStatusWordCounts_data()
    {
        QTest::addColumn<int>("port"); // UART 1 or 2; 0: the 1-wire buffer
        QTest::addColumn<int>("word");
        QTest::addColumn<QByteArray>("sent");
        // "number|type|description", found by the number; the last one is the grid's last row.
        QTest::addColumn<QStringList>("rows");
        const QString timeout = "1|Active error| timeout error occurred  ";
        QTest::newRow("C003 three slaves")
            << 1 << 0xC003 << Uart1Word + Uart1First
            << QStringList{timeout, "2|Active error|", "3|No error|", "4||"};
        QTest::newRow("4003 a slave keeps no buffer: the grid stays")
            << 1 << 0x4003 << Uart1Word << QStringList{"1|Active error|MBErr 8", "2||", "3||"};
        QTest::newRow("C000 no slot: row 1 stays alone")
            << 1 << 0xC000 << Uart1Word << QStringList{"1|Active error|MBErr 8"};
        QTest::newRow("UART 1, 128 slaves: two blocks")
            << 1 << 0xC080 << Uart1Word + Uart1First + Uart1Second
            << QStringList{timeout, "65|Active error|illegal register address ",
                           "67|Inactive error|", "129||"};
        QTest::newRow("UART 2, 70 slaves, slots from 65 old")
            << 2 << 0xC046 << Uart2Word + Uart2First + Uart2Second
            << QStringList{timeout, "67|Old error|", "70|Active error|", "71||"};
        QTest::newRow("1-wire, 70 sensors")
            << 0 << 0xC046 << AuxWord + WireFirst + WireSecond
            << QStringList{"1|Active error|Number of error :4", "2|No error|Number of error :5",
                           "10|Active error|No device found error :2",
                           "70|Active error|No any device error :2", "71||"};
    }
    void readsTheSlotsTheStatusWordCounts()
    {
        QFETCH(int, port);
        QFETCH(int, word);
        QFETCH(QByteArray, sent);
        QFETCH(QStringList, rows);
        QByteArray bytes(128, '\0');
        for (const auto &[slot, b] :
             {std::pair{1, 0x84}, {2, 0x25}, {10, 0xE2}, {65, 0x01}, {67, 0x80}, {70, 0xE2}})
            bytes[slot - 1] = char(b);
        const auto layout = port == 0 ? onewireErrorBuffer() : modbusErrorBuffer(port);
        m_b->plc().setWord(layout.wordAddress, quint16(word));
        m_b->plc().setMemory(layout.buffer, bytes);

        QCOMPARE(waitForTask(readErrorBuffer(m_b->link, m_b->ini(), m_b->prompts, layout, m_grid)),
                 Outcome::Done);
        QCOMPARE(m_b->line.sentBytes(), sent);
        for (const QString &row : rows)
            QCOMPARE(m_grid.rowCells(row.section('|', 0, 0).toInt() - 1).join('|'), row);
        QCOMPARE(m_grid.rowCount(), rows.last().section('|', 0, 0).toInt());
        QVERIFY(m_b->prompts.shown().isEmpty() && !m_b->line.isOpen());
    }

    // A failed read changes nothing and says why, and the next read works. A silent PLC must not
    // read as zeros, which would show every slot as "No error".
    void aFailedReadChangesNothing_data()
    {
        QTest::addColumn<int>("silentAt"); // 0: the line breaks at the second block's read instead
        QTest::addColumn<QString>("message");
        QTest::newRow("no status word") << 0x2008 << "Answer timeout from PLC";
        QTest::newRow("no second block") << 0x3640 << "Answer timeout from PLC";
        QTest::newRow("the line breaks") << 0 << "COM1: the device was removed";
    }
    void aFailedReadChangesNothing()
    {
        QFETCH(int, silentAt);
        QFETCH(QString, message);
        m_b->plc().setWord(sim::Addr::Uart1Port, 0xC046);
        m_b->plc().faults().silentAt = {quint16(silentAt)};
        if (silentAt == 0)
            m_b->line.breakOnSend(3, message);
        std::optional<Outcome> outcome;
        const auto read = [&] { return runCommand(m_b->prompts, [&] { outcome = readUart1(); }); };
        QCOMPARE(read(), silentAt != 0); // a broken line is thrown
        QCOMPARE(outcome, silentAt != 0 ? std::optional(Outcome::PlcFailed) : std::nullopt);
        QCOMPARE(m_b->prompts.messages(), QStringList{message});
        QCOMPARE(m_grid.items(), Previous);
        QVERIFY(!m_b->line.isOpen() && !m_b->link.busy());

        m_b->plc().faults().silentAt.clear();
        QVERIFY(read());
        QCOMPARE(m_grid.itemCount(), 70);
        QCOMPARE(m_b->prompts.messages(), QStringList{message}); // nothing more to say
    }
};

QTEST_GUILESS_MAIN(TestErrorBufferRead)
#include "tst_error_buffer_read.moc"
