// The input/output table without its grid: start-up rows, the sequence rule, octal names, and
// the numbers in use matching the names shown after any sequence of choices.
#include "io/io_table.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QtTest>

namespace {

// "0X 1X 2Y 1N": point and choice (X input, Y output, N not used), applied in order.
void apply(IoTable &table, const QString &choices)
{
    for (const QString &step : choices.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        table.Choose_io_function(step.chopped(1).toInt(),
                                 QStringLiteral("XYN").indexOf(step.back()));
}

// The names of the points, "-" for none, up to the last one named.
QString names(const IoTable &table)
{
    QStringList all;
    for (int p = 0; p < IoTable::PointCount; ++p)
        all << (table.programName(p).isEmpty() ? QStringLiteral("-") : table.programName(p));
    while (!all.isEmpty() && all.last() == QLatin1String("-"))
        all.removeLast();
    return all.join(QLatin1Char(' '));
}

} // namespace

class TestIoTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startUpInsertsTheLabelledRowsBeforeTheSpareRow()
    {
        IoTable table;
        QAbstractItemModelTester tester(&table,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(table.rowCount(), 1);
        table.startUp();
        QCOMPARE(table.rowCount(), 22);
        QCOMPARE(table.headerData(2, Qt::Horizontal).toString(), QStringLiteral(" Prog.name "));
        auto text = [&](int row, int column) { return table.index(row, column).data().toString(); };
        QCOMPARE(text(0, 0), QStringLiteral("IO  0"));
        QCOMPARE(text(20, 0), QStringLiteral("IO  20"));
        QCOMPARE(text(21, 0) + text(21, 1) + text(21, 2), QString());
        apply(table, QStringLiteral("0X 1Y"));
        QCOMPARE(text(1, 1) + text(1, 2), QStringLiteral("Output-YY0"));
    }

    void choices_data()
    {
        QTest::addColumn<QString>("choices");
        QTest::addColumn<QString>("names");
        QTest::addColumn<int>("point"); // whose Function text is checked
        QTest::addColumn<QString>("function");
        QTest::newRow("input on IO 0 is X0") << "0X"
                                             << "X0" << 0 << "Input -X";
        QTest::newRow("input on IO 3 first: only its text") << "3X"
                                                            << "" << 3 << "Input -X";
        QTest::newRow("ten inputs: octal names")
            << "0X 1X 2X 3X 4X 5X 6X 7X 8X 9X"
            << "X0 X1 X2 X3 X4 X5 X6 X7 X10 X11" << 9 << "Input -X";
        QTest::newRow("input, input, output, input") << "0X 1X 2Y 3X"
                                                     << "X0 X1 Y0 X2" << 2 << "Output-Y";
        QTest::newRow("Not use clears") << "0X 1X 1N"
                                        << "X0" << 1 << "Not use";
        QTest::newRow("a freed number goes to the next point of its kind")
            << "0X 1Y 2X 3Y 4X 0N 3N"
            << "- Y0 X0 - X1" << 3 << "Not use";
        // Its own number counts as assigned: a point changes role through "Not use".
        QTest::newRow("the last point keeps its role, takes the text")
            << "0X 1X 1Y"
            << "X0 X1" << 1 << "Output-Y";
        QTest::newRow("the last point changes role through Not use") << "0X 1X 1N 1Y"
                                                                     << "X0 Y0" << 1 << "Output-Y";
        QTest::newRow("points outside the table are ignored") << "21X -1Y 0X"
                                                              << "X0" << 0 << "Input -X";
    }
    void choices()
    {
        QFETCH(QString, choices);
        QFETCH(QString, names);
        QFETCH(int, point);
        QFETCH(QString, function);
        IoTable table;
        table.startUp();
        apply(table, choices);
        QCOMPARE(::names(table), names);
        QCOMPARE(table.functionText(point), function);
    }

    // With all 21 input numbers in use, Lowest_free gives 0 and IO 0 counts as the next point.
    void allInputsInUse()
    {
        IoTable table;
        table.startUp();
        for (int p = 0; p < IoTable::PointCount; ++p)
            table.Choose_io_function(p, IoTable::InputX);
        QCOMPARE(table.programName(20), QStringLiteral("X24"));
        apply(table, QStringLiteral("5Y 0Y"));
        QCOMPARE(names(table).left(20), QStringLiteral("Y0 X0 X1 X2 X3 X4 X5"));
    }

    // Any sequence of choices: the flags hold exactly the numbers shown, without gaps and in
    // table order, and a role is taken exactly when the point is the next after the assigned.
    void theNumbersInUseAreTheNamesShown()
    {
        QRandomGenerator random(466);
        IoTable table;
        for (int sequence = 0; sequence < 300; ++sequence) {
            table.startUp();
            for (int step = random.bounded(1, 120); step > 0; --step) {
                int count[3] = {};
                for (int p = 0; p < IoTable::PointCount; ++p)
                    ++count[table.io_type(p)];
                // Mostly near the end of the assigned run, where choices are taken.
                const int p = random.bounded(4) == 0
                                  ? random.bounded(IoTable::PointCount)
                                  : qBound(0, 21 - count[0] + random.bounded(-2, 2), 20);
                const int choice = random.bounded(3);
                const int before = table.io_type(p);
                table.Choose_io_function(p, choice);

                // A kind with all 21 numbers in use counts as 0.
                const int next = count[1] % 21 + count[2] % 21;
                QCOMPARE(int(table.io_type(p)), choice == 2 ? 0 : p == next ? choice + 1 : before);
                QCOMPARE(table.functionText(p), IoTable::choiceTexts().at(choice));

                IoTable::Flags shown[2] = {};
                int numbered[2] = {};
                for (int q = 0; q < IoTable::PointCount; ++q) {
                    const int type = table.io_type(q);
                    const QString name = table.programName(q);
                    if (type == 0) {
                        QVERIFY(name.isEmpty());
                        continue;
                    }
                    QCOMPARE(name.front(), QLatin1Char(type == 1 ? 'X' : 'Y'));
                    const int number = name.mid(1).toInt(nullptr, 8);
                    QCOMPARE(number, numbered[type - 1]++);
                    shown[type - 1][number] = 1;
                }
                QCOMPARE(table.in_used(), shown[0]);
                QCOMPARE(table.out_used(), shown[1]);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestIoTable)
#include "tst_io_table.moc"
