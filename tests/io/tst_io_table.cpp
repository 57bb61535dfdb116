// The input/output table without its grid: start-up rows, the sequence rule, octal names, and
// the numbers in use matching the names shown after any sequence of choices.
#include "io/io_table.h"

#include <QRandomGenerator>
#include <QtTest>

// "0X 1X 2Y 1N": point and choice (X input, Y output, N not used), applied in order.
static void apply(IoTable &table, const QString &choices)
{
    for (const QString &step : choices.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        table.Choose_io_function(step.chopped(1).toInt(),
                                 QStringLiteral("XYN").indexOf(step.back()));
}

class TestIoTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The names of the points after the choices: "-" for none, up to the last one named.
    void choices_data()
    {
        QTest::addColumn<QString>("choicesAndNames"); // "choices -> names"
        QTest::newRow("input on IO 3 first: only its text") << "3X -> ";
        QTest::newRow("ten inputs: octal names")
            << "0X 1X 2X 3X 4X 5X 6X 7X 8X 9X -> X0 X1 X2 X3 X4 X5 X6 X7 X10 X11";
        QTest::newRow("input, input, output, input") << "0X 1X 2Y 3X -> X0 X1 Y0 X2";
        QTest::newRow("a freed number goes to the next point of its kind")
            << "0X 1Y 2X 3Y 4X 0N 3N -> - Y0 X0 - X1";
        // Its own number counts as assigned: a point changes role through "Not use".
        QTest::newRow("the last point keeps its role") << "0X 1X 1Y -> X0 X1";
        QTest::newRow("the last point changes role through Not use") << "0X 1X 1N 1Y -> X0 Y0";
        QTest::newRow("points outside the table are ignored") << "21X -1Y 0X -> X0";
        QString allInputs;
        for (int p = 0; p < IoTable::PointCount; ++p)
            allInputs += QStringLiteral("%1X ").arg(p);
        // With every input number in use, the next point counts as IO 0.
        QTest::newRow("all 21 inputs, then outputs on 5 and 0")
            << allInputs + "5Y 0Y -> Y0 X0 X1 X2 X3 X4 X5 X6 X7 X10 X11 X12 X13 X14 X15 X16 X17 "
                           "X20 X21 X22 X23";
    }
    void choices()
    {
        QFETCH(QString, choicesAndNames);
        IoTable table;
        table.startUp();
        apply(table, choicesAndNames.section(QStringLiteral("->"), 0, 0));
        QString shown;
        for (int p = 0; p < IoTable::PointCount; ++p)
            shown +=
                ' ' + (table.programName(p).isEmpty() ? QStringLiteral("-") : table.programName(p));
        while (shown.endsWith(QLatin1String(" -")))
            shown.chop(2);
        QCOMPARE(shown.trimmed(), choicesAndNames.section(QStringLiteral("-> "), 1).trimmed());
    }

    // Any sequence of choices: a role is taken exactly when the point is the next after the
    // assigned ones, the names run without gaps in table order, and the flags hold exactly the
    // numbers shown.
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

                int numbered[3] = {};
                IoTable::Flags used[3] = {};
                for (int q = 0; q < IoTable::PointCount; ++q) {
                    const int type = table.io_type(q), number = numbered[type]++;
                    used[type][number] = 1;
                    QCOMPARE(table.programName(q),
                             type ? QChar(" XY"[type]) + QString::number(number, 8) : QString());
                }
                QCOMPARE(table.in_used(), used[1]);
                QCOMPARE(table.out_used(), used[2]);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestIoTable)
#include "tst_io_table.moc"
