// Shared pieces: the placeholder table, hex texts of the line, decimal rounding.
#include "common/hex_text.h"
#include "common/text_table.h"

#include <QAbstractItemModelTester>
#include <QtTest>

class TestCommon : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void thePlaceholderRowIsAlwaysThereAndNeverAnItem()
    {
        TextTable t(QStringLiteral("Slot | Address | Num word "));
        QAbstractItemModelTester tester(&t, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(t.titles(), (QStringList{"Slot ", " Address ", " Num word "}));
        QCOMPARE(t.itemCount(), 0);
        QCOMPARE(t.rowCount(), 1);

        QCOMPARE(t.appendItem({"1", "10", "2"}), 0);
        QCOMPARE(t.appendItem({"2", "11"}), 1);
        QCOMPARE(t.itemCount(), 2);
        QCOMPARE(t.rowCells(1), (QStringList{"2", "11", ""}));
        QCOMPARE(t.rowCells(2), (QStringList{"", "", ""})); // the placeholder

        // The placeholder cannot be removed, nor rows outside the table.
        QVERIFY(!t.removeItem(2));
        QVERIFY(!t.removeItem(-1));
        QVERIFY(t.removeItem(0));
        QCOMPARE(t.itemCount(), 1);
        QCOMPARE(t.cell(0, 1), QStringLiteral("11"));
        t.renumber(true);
        QCOMPARE(t.cell(0, 0), QStringLiteral("1"));
        QCOMPARE(t.cell(1, 0), QStringLiteral("2"));

        t.setItems({{"", "a"}, {"", "b"}, {"", "c"}});
        QCOMPARE(t.itemCount(), 3);
        t.renumber(false);
        QCOMPARE(t.cell(3, 0), QString());
        t.clearItems();
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(t.cell(5, 1), QString()); // outside: empty, no crash
    }

    void theNumberColumnIsNotEditableFromAView()
    {
        TextTable t(QStringLiteral("Num|A"));
        t.appendItem({"1", "x"});
        QVERIFY(!(t.flags(t.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(t.flags(t.index(0, 1)) & Qt::ItemIsEditable);
        QVERIFY(t.setData(t.index(0, 1), QStringLiteral("y")));
        QCOMPARE(t.cell(0, 1), QStringLiteral("y"));
    }

    void wordsTravelLowByteFirst_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("line");
        QTest::newRow("C003") << 0xC003 << "03C0";
        QTest::newRow("D403") << 0xD403 << "03D4";
        QTest::newRow("BB80") << 0xBB80 << "80BB";
        QTest::newRow("0") << 0 << "0000";
        QTest::newRow("FFFF") << 0xFFFF << "FFFF";
    }
    void wordsTravelLowByteFirst()
    {
        QFETCH(int, value);
        QFETCH(QString, line);
        QCOMPARE(wordLineHex(quint16(value)), line);
        // Read back from an answer: STX, the digits, ETX, sum.
        QCOMPARE(int(answerWord("\x02" + line.toLatin1() +
                                    "\x03"
                                    "00",
                                0)),
                 value);
    }

    void answersAreReadByPosition()
    {
        const QByteArray answer = "\x02"
                                  "0A0B0C0D"
                                  "\x03"
                                  "00";
        QCOMPARE(int(answerByte(answer, 0)), 0x0A);
        QCOMPARE(int(answerByte(answer, 3)), 0x0D);
        QCOMPARE(int(answerWord(answer, 1)), 0x0D0C);
        QCOMPARE(int(answerByte(answer, 9)), 0); // beyond the data: the sum, then nothing
        QCOMPARE(int(answerByte("\x02"
                                "0a",
                                0)),
                 0); // lower case is not a digit here
        QCOMPARE(byteHex(0xAB), QStringLiteral("AB"));
        QCOMPARE(wordHex(0x0E02), QStringLiteral("0E02"));
    }

    void decimalsRoundHalfToEven_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<bool>("ok");
        QTest::newRow("2.5") << "2.5" << qint64(2) << true;
        QTest::newRow("3.5") << "3.5" << qint64(4) << true;
        QTest::newRow("-2.5") << "-2.5" << qint64(-2) << true;
        QTest::newRow("2.51") << "2.51" << qint64(3) << true;
        QTest::newRow("blanks") << " 7 " << qint64(7) << true;
        QTest::newRow("exponent") << "1e3" << qint64(1000) << true;
        QTest::newRow("empty") << "" << qint64(0) << false;
        QTest::newRow("letters") << "12a" << qint64(0) << false;
        QTest::newRow("huge") << "1e300" << qint64(0) << false;
    }
    void decimalsRoundHalfToEven()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        QFETCH(bool, ok);
        const auto got = roundHalfEven(text);
        QCOMPARE(got.has_value(), ok);
        if (ok)
            QCOMPARE(*got, value);
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
