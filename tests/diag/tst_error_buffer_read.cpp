// Reading the error buffers from the simulated PLC: the frames sent, the rows shown, and what a
// silent PLC or a failing port does to the grid and the line.
#include "support/scripted_prompts.h"

#include "common/command.h"
#include "common/errors.h"
#include "common/text_table.h"
#include "diag/error_buffer.h"
#include "diag/error_buffer_read.h"
#include "link/plc_link.h"
#include "sim/sim_line.h"

#include <QTemporaryDir>
#include <QtTest>

using sim::PlcModel;
using Rows = QList<QStringList>;

namespace {

QByteArray frame(const char *body, const char *sum)
{
    return '\x02' + QByteArray(body) + '\x03' + QByteArray(sum);
}

// Block reads of the status words and buffers, with the sums the PLC expects.
const QByteArray Uart1Word = frame("E00200802", "D4"), Uart2Word = frame("E00200602", "D2");
const QByteArray Uart1First = frame("E00360040", "D5"), Uart1Second = frame("E00364040", "D9");
const QByteArray Uart2First = frame("E00368040", "DD"), Uart2Second = frame("E0036C040", "E8");
const QByteArray AuxWord = frame("E00200A02", "DD");
const QByteArray WireFirst = frame("E00370040", "D6"), WireSecond = frame("E00374040", "DA");

const Rows Previous = {{"1", "Active error", "MBErr 8"}, {"2", "", ""}};
const Rows PreviousShown = Previous + Rows{{"", "", ""}}; // with the placeholder row

Rows gridRows(const TextTable &grid)
{
    Rows rows;
    for (int r = 0; r < grid.rowCount(); ++r)
        rows.append(grid.rowCells(r));
    return rows;
}

// A line to the simulated PLC whose chosen send fails with the port left open, as a driver
// error does.
class FlakyLine final : public SerialLine
{
    Q_OBJECT
public:
    explicit FlakyLine(PlcModel &plc) : m_inner(plc)
    {
        connect(&m_inner, &SerialLine::received, this, &SerialLine::received);
        connect(&m_inner, &SerialLine::sent, this, &SerialLine::sent);
    }
    int failAtSend = 0; // counts down; the send that reaches 0 fails

    void open() override { m_inner.open(); }
    void close() override { m_inner.close(); }
    bool isOpen() const override { return m_inner.isOpen(); }
    void send(const QByteArray &bytes) override
    {
        if (failAtSend > 0 && --failAtSend == 0)
            throw PlatformError(QStringLiteral("COM1: sending failed (I/O error)"));
        m_inner.send(bytes);
    }
    QByteArray takeReceived() override { return m_inner.takeReceived(); }

private:
    sim::SimulatedLine m_inner;
};

} // namespace

class TestErrorBufferRead : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString ini() const { return m_dir.filePath(QStringLiteral("set.ini")); }
private Q_SLOTS:
    void theStatusWordDecidesTheRows_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<QList<QByteArray>>("sends");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("C003 three slaves")
            << 0xC003 << QList<QByteArray>{Uart1Word, Uart1First}
            << Rows{{"1", "Active error", " timeout error occurred  "},
                    {"2", "No error", ""},
                    {"3", "Active error", ""},
                    {"4", "", ""}};
        QTest::newRow("4003 slave leaves the grid")
            << 0x4003 << QList<QByteArray>{Uart1Word} << PreviousShown;
        QTest::newRow("C000 keeps row 1")
            << 0xC000 << QList<QByteArray>{Uart1Word} << Rows{Previous.first()};
    }
    void theStatusWordDecidesTheRows()
    {
        QFETCH(int, word);
        QFETCH(QList<QByteArray>, sends);
        QFETCH(Rows, rows);
        sim::SimulatedLine line;
        line.model().setWord(sim::Addr::Uart1Port, quint16(word));
        line.model().setErrorBuffer(PlcModel::ErrorBuffer::Uart1, QByteArray::fromHex("840009"));
        PlcLink link(line);
        ScriptedPrompts prompts;
        TextTable grid(modbusDiagHeader());
        grid.setItems(Previous);
        QCOMPARE(Read_modbus_buffer(link, ini(), prompts, 1, grid), Outcome::Done);
        QCOMPARE(line.sends(), sends);
        QCOMPARE(gridRows(grid), rows);
        QVERIFY(prompts.shown().isEmpty() && !line.isOpen());
    }

    void moreThan64SlavesReadTheSecondBlock_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("word");
        QTest::addColumn<QList<QByteArray>>("sends");
        QTest::addColumn<QString>("slot67");
        QTest::newRow("UART 1, 128 slaves")
            << 1 << 0xC080 << QList<QByteArray>{Uart1Word, Uart1First, Uart1Second}
            << "Inactive error";
        QTest::newRow("UART 2, 70 slaves, old errors")
            << 2 << 0xC046 << QList<QByteArray>{Uart2Word, Uart2First, Uart2Second} << "Old error";
    }
    void moreThan64SlavesReadTheSecondBlock()
    {
        QFETCH(int, port);
        QFETCH(int, word);
        QFETCH(QList<QByteArray>, sends);
        QFETCH(QString, slot67);
        QByteArray bytes(128, '\0');
        bytes[0] = char(0x80);
        bytes[63] = 0x05;
        bytes[64] = 0x01;
        bytes[66] = char(0x80);
        bytes[69] = 0x12;
        sim::SimulatedLine line;
        line.model().setWord(port == 1 ? sim::Addr::Uart1Port : sim::Addr::Uart2Port, word);
        line.model().setErrorBuffer(
            port == 1 ? PlcModel::ErrorBuffer::Uart1 : PlcModel::ErrorBuffer::Uart2, bytes);
        PlcLink link(line);
        ScriptedPrompts prompts;
        TextTable grid(modbusDiagHeader());

        QCOMPARE(Read_modbus_buffer(link, ini(), prompts, port, grid), Outcome::Done);
        QCOMPARE(line.sends(), sends);
        const int slaves = word & 0xFF;
        QCOMPARE(grid.itemCount(), slaves);
        QCOMPARE(grid.rowCells(0), (QStringList{"1", "Inactive error", ""}));
        QCOMPARE(grid.rowCells(63), (QStringList{"64", "Active error", "master is busy now "}));
        QCOMPARE(grid.rowCells(64),
                 (QStringList{"65", "Active error", "illegal register address "}));
        QCOMPARE(grid.rowCells(66), (QStringList{"67", slot67, ""}));
        QCOMPARE(grid.rowCells(69), (QStringList{"70", "Active error", "MBErr 17"}));
        QCOMPARE(grid.rowCells(slaves), (QStringList{QString::number(slaves + 1), "", ""}));
    }

    void aSilentPlcChangesNothingAndSaysSo_data()
    {
        QTest::addColumn<int>("silentAt");
        QTest::newRow("no status word") << 0x2008;
        QTest::newRow("no second block") << 0x3640;
    }
    void aSilentPlcChangesNothingAndSaysSo()
    {
        QFETCH(int, silentAt);
        sim::SimulatedLine line;
        line.model().setWord(sim::Addr::Uart1Port, 0xC046);
        line.model().faults().silentAt = {quint16(silentAt)};
        PlcLink link(line);
        ScriptedPrompts prompts;
        TextTable grid(modbusDiagHeader());
        grid.setItems(Previous);

        QCOMPARE(Read_modbus_buffer(link, ini(), prompts, 1, grid), Outcome::PlcFailed);
        QCOMPARE(prompts.messages(), QStringList{"Answer timeout from PLC"});
        QCOMPARE(prompts.shown().first().title, Prompts::Title());
        QCOMPARE(grid.items(), Previous);
        QVERIFY(!line.isOpen());
    }

    void aFailureWithThePortOpenClosesItAndTheNextReadWorks()
    {
        PlcModel plc;
        plc.setWord(sim::Addr::Uart1Port, 0xC001);
        FlakyLine line(plc);
        line.failAtSend = 2; // the block read
        PlcLink link(line);
        ScriptedPrompts prompts;
        TextTable grid(modbusDiagHeader());
        auto read = [&] {
            return runCommand(prompts, [&] { Read_modbus_buffer(link, ini(), prompts, 1, grid); });
        };

        QVERIFY(!read());
        QCOMPARE(prompts.messages(), QStringList{"COM1: sending failed (I/O error)"});
        QVERIFY(!line.isOpen());
        QVERIFY(read());
        QCOMPARE(prompts.messages().size(), 1);
        QCOMPARE(grid.rowCells(0), (QStringList{"1", "No error", ""}));
    }

    void theOnewireBufferDecodesBySensorNumber()
    {
        QByteArray bytes(70, '\0');
        bytes[0] = char(0xC5);
        bytes[1] = 0x25;
        bytes[9] = char(0xE2);
        bytes[69] = char(0xE2);
        sim::SimulatedLine line;
        line.model().setWord(sim::Addr::AuxMode, 0xC046);
        line.model().setErrorBuffer(PlcModel::ErrorBuffer::OneWire, bytes);
        PlcLink link(line);
        ScriptedPrompts prompts;
        TextTable grid(onewireDiagHeader());

        QCOMPARE(Read_onewire_buffer(link, ini(), prompts, grid), Outcome::Done);
        QCOMPARE(line.sends(), (QList<QByteArray>{AuxWord, WireFirst, WireSecond}));
        QCOMPARE(grid.rowCount(), 71);
        QCOMPARE(grid.rowCells(0), (QStringList{"1", "Active error", "Timeout error number :5"}));
        QCOMPARE(grid.rowCells(1), (QStringList{"2", "No error", "Number of error :5"}));
        QCOMPARE(grid.rowCells(2), (QStringList{"3", "No error", ""}));
        QCOMPARE(grid.rowCells(9), (QStringList{"10", "Active error", "No device found error :2"}));
        QCOMPARE(grid.rowCells(69), (QStringList{"70", "Active error", "No any device error :2"}));
    }
};

QTEST_GUILESS_MAIN(TestErrorBufferRead)
#include "tst_error_buffer_read.moc"
