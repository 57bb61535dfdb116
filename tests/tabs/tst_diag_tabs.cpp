// The two diagnostics tabs: their grids at start-up, and the read buttons clicked.
#include "support/sim_bench.h"
#include "support/widget_driver.h"

#include "common/text_table.h"
#include "tabs/error_buffer_tab.h"

#include <QTableView>
#include <QtTest>

class TestDiagTabs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gridsStartEmptyAndEachButtonFillsItsOwn()
    {
        Bench b;
        using Buffer = sim::PlcModel::ErrorBuffer;
        b.plc().setWord(sim::Addr::Uart1Port, 0xC002);
        b.plc().setErrorBuffer(Buffer::Uart1, QByteArray::fromHex("8403"));
        b.plc().setWord(sim::Addr::Uart2Port, 0xC801);
        b.plc().setErrorBuffer(Buffer::Uart2, QByteArray::fromHex("80"));
        b.plc().setWord(sim::Addr::AuxMode, 0x0001);
        b.plc().setErrorBuffer(Buffer::OneWire, QByteArray::fromHex("C5"));
        const TabContext context{b.link, b.ini(), b.prompts};
        const std::unique_ptr<ErrorBufferTab> modbus(ErrorBufferTab::modbus(context));
        const std::unique_ptr<ErrorBufferTab> onewire(ErrorBufferTab::onewire(context));
        modbus->startUp();
        onewire->startUp();
        WidgetDriver mb(modbus.get()), w1(onewire.get());
        TextTable *uart1 = modbus->bufferTable(0), *uart2 = modbus->bufferTable(1);
        TextTable *wire = onewire->bufferTable(0);

        // Each grid shows its own fresh table: header line, one empty row, centred, read-only.
        const QString modbusHeader = "Slot  |  Errors  type   |   Short descriptions of error    ";
        const QString onewireHeader = "Num |  Errors  type   |   Short descriptions of error ";
        for (const auto &[grid, table, header] :
             {std::tuple{mb.find<QTableView>("MB_grid"), uart1, modbusHeader},
              std::tuple{mb.find<QTableView>("MB_grid2"), uart2, modbusHeader},
              std::tuple{w1.find<QTableView>("W1_grid"), wire, onewireHeader}}) {
            QCOMPARE(grid->model(), table);
            QCOMPARE(TextTable::splitHeader(header), table->titles());
            QCOMPARE(table->rowCount(), 1);
            QCOMPARE(table->rowCells(0), (QStringList{"", "", ""}));
            QCOMPARE(table->index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
                     Qt::Alignment(Qt::AlignCenter));
            QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        }
        QCOMPARE(modbus->plcControls().size(), 2);
        QCOMPARE(onewire->plcControls().size(), 1);

        mb.click("Command4");
        finish(b.link);
        QCOMPARE(uart1->items(),
                 (QList<QStringList>{{"1", "Active error", " timeout error occurred  "},
                                     {"2", "Active error", " receive data error "}}));
        QCOMPARE(uart2->rowCount(), 1);
        mb.click("Command6");
        finish(b.link);
        QCOMPARE(uart2->items(), (QList<QStringList>{{"1", "Inactive error", ""}}));
        w1.click("Command5");
        finish(b.link);
        QCOMPARE(wire->items(),
                 (QList<QStringList>{{"1", "Active error", "Timeout error number :5"}}));
        QVERIFY(b.prompts.shown().isEmpty());
    }
};

QTEST_MAIN(TestDiagTabs)
#include "tst_diag_tabs.moc"
