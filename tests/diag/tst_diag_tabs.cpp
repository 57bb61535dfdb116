// The two diagnostics tabs: their grids at start-up, and the read buttons clicked.
#include "support/scripted_prompts.h"

#include "app/main_tab.h"
#include "diag/modbus_diag_tab.h"
#include "diag/onewire_diag_tab.h"
#include "link/plc_link.h"
#include "sim/sim_line.h"

#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using sim::PlcModel;

namespace {

QStringList rowOf(const QTableView *grid, int row)
{
    QStringList cells;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        cells << grid->model()->index(row, c).data().toString();
    return cells;
}

void click(QWidget *tab, const char *button)
{
    QTest::mouseClick(tab->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
}

} // namespace

class TestDiagTabs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gridsStartEmptyAndEachButtonFillsItsOwn()
    {
        QTemporaryDir dir;
        sim::SimulatedLine line;
        PlcModel &plc = line.model();
        plc.setWord(sim::Addr::Uart1Port, 0xC002);
        plc.setErrorBuffer(PlcModel::ErrorBuffer::Uart1, QByteArray::fromHex("8403"));
        plc.setWord(sim::Addr::Uart2Port, 0xC801);
        plc.setErrorBuffer(PlcModel::ErrorBuffer::Uart2, QByteArray::fromHex("80"));
        plc.setWord(sim::Addr::AuxMode, 0x0001);
        plc.setErrorBuffer(PlcModel::ErrorBuffer::OneWire, QByteArray::fromHex("C5"));
        PlcLink link(line);
        ScriptedPrompts prompts;
        const TabContext context{link, dir.filePath(QStringLiteral("set.ini")), prompts};
        ModbusDiagTab modbus(context);
        OnewireDiagTab onewire(context);
        modbus.startUp();
        onewire.startUp();
        modbus.show();
        onewire.show();
        const auto *mb1 = modbus.findChild<QTableView *>(QStringLiteral("MB_grid"));
        const auto *mb2 = modbus.findChild<QTableView *>(QStringLiteral("MB_grid2"));
        const auto *w1 = onewire.findChild<QTableView *>(QStringLiteral("W1_grid"));

        const QString modbusHeader = "Slot  |  Errors  type   |   Short descriptions of error    ";
        const QString onewireHeader = "Num |  Errors  type   |   Short descriptions of error ";
        for (const auto &[grid, header] :
             {std::pair{mb1, modbusHeader}, std::pair{mb2, modbusHeader},
              std::pair{w1, onewireHeader}}) {
            QStringList titles;
            for (int c = 0; c < grid->model()->columnCount(); ++c)
                titles << grid->model()->headerData(c, Qt::Horizontal).toString();
            QCOMPARE(titles.join('|'), header);
            QCOMPARE(rowOf(grid, 0), (QStringList{"", "", ""}));
            QCOMPARE(grid->model()->rowCount(), 1);
            QCOMPARE(grid->model()->index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
                     Qt::Alignment(Qt::AlignCenter));
            QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        }
        QCOMPARE(modbus.plcControls().size(), 2);
        QCOMPARE(onewire.plcControls().size(), 1);

        click(&modbus, "Command4");
        QCOMPARE(rowOf(mb1, 0), (QStringList{"1", "Active error", " timeout error occurred  "}));
        QCOMPARE(rowOf(mb1, 1), (QStringList{"2", "Active error", " receive data error "}));
        QCOMPARE(rowOf(mb1, 2), (QStringList{"3", "", ""}));
        QCOMPARE(mb2->model()->rowCount(), 1);
        click(&modbus, "Command6");
        QCOMPARE(rowOf(mb2, 0), (QStringList{"1", "Inactive error", ""}));
        QCOMPARE(mb1->model()->rowCount(), 3);
        click(&onewire, "Command5");
        QCOMPARE(rowOf(w1, 0), (QStringList{"1", "Active error", "Timeout error number :5"}));
        QVERIFY(prompts.shown().isEmpty());
    }
};

QTEST_MAIN(TestDiagTabs)
#include "tst_diag_tabs.moc"
