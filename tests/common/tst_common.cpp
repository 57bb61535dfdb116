// Shared pieces: the placeholder table, hex texts of the line, decimal rounding, the folders
// of the program's parts.
#include "support/scripted_prompts.h"

#include "common/command.h"
#include "common/errors.h"
#include "common/hex_text.h"
#include "common/program_folders.h"
#include "common/text_table.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
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
        QCOMPARE(t.appendItem({"1", "10", "2"}), 0);
        QCOMPARE(t.appendItem({"2", "11"}), 1);
        QCOMPARE(t.rowCells(1), (QStringList{"2", "11", ""}));
        QCOMPARE(t.rowCells(2), (QStringList{"", "", ""})); // the placeholder

        // The placeholder cannot be removed, nor rows outside the table.
        QVERIFY(!t.removeItem(2));
        QVERIFY(!t.removeItem(-1));
        QVERIFY(t.removeItem(0));
        t.renumber(true);
        QCOMPARE(t.items(), (QList<QStringList>{{"1", "11", ""}}));
        QCOMPARE(t.cell(1, 0), QStringLiteral("2"));

        t.setItems({{"", "a"}, {"", "b"}, {"", "c"}});
        t.renumber(false);
        QCOMPARE(t.cell(3, 0), QString());
        t.clearItems();
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(t.cell(5, 1), QString()); // outside: empty, no crash

        // The number column is not editable from a view.
        t.appendItem({"1", "x"});
        QVERIFY(!(t.flags(t.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(t.setData(t.index(0, 1), QStringLiteral("y")));
        QCOMPARE(t.cell(0, 1), QStringLiteral("y"));
    }

    // 16-bit words lie in PLC memory and travel low byte first.
    void wordsTravelLowByteFirst_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("line");
        QTest::newRow("C003") << 0xC003 << "03C0";
        QTest::newRow("BB80") << 0xBB80 << "80BB";
        QTest::newRow("0") << 0 << "0000";
        QTest::newRow("FFFF") << 0xFFFF << "FFFF";
    }
    void wordsTravelLowByteFirst()
    {
        QFETCH(int, value);
        QFETCH(QString, line);
        QCOMPARE(hexText(wordBytes(quint16(value))), line);
        QCOMPARE(int(wordAt(hexBytes("AA" + line), 1)), value);
    }

    void hexTextsOfTheLine()
    {
        QCOMPARE(hexBytes(u"0A0b0C7"), QByteArray::fromHex("0A000C")); // "0b" is no pair; 7 odd
        QCOMPARE(int(wordAt(QByteArray::fromHex("0A0B0C"), 2)), 0x0C); // its high byte is missing
        QCOMPARE(hexDigit(u'b'), -1);
        QCOMPARE(hexDigit(u'b', HexCase::Either), 11);
    }

    void decimalsRoundHalfToEven_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<qint64>>("value");
        QTest::newRow("2.5") << "2.5" << std::optional<qint64>(2);
        QTest::newRow("3.5") << "3.5" << std::optional<qint64>(4);
        QTest::newRow("-2.5") << "-2.5" << std::optional<qint64>(-2);
        QTest::newRow("2.51") << "2.51" << std::optional<qint64>(3);
        QTest::newRow("blanks") << " 7 " << std::optional<qint64>(7);
        QTest::newRow("exponent") << "1e3" << std::optional<qint64>(1000);
        QTest::newRow("empty") << "" << std::optional<qint64>();
        QTest::newRow("letters") << "12a" << std::optional<qint64>();
        QTest::newRow("huge") << "1e300" << std::optional<qint64>();
    }
    void decimalsRoundHalfToEven()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<qint64>, value);
        QCOMPARE(roundHalfEven(text), value);
    }

    // An installed program looks in its library folder after its own, found from its own.
    // Whatever ends a command early is dealt with at its boundary: a failing platform and bad
    // input are shown and end it as failed, a transfer cut off (the window closing) ends quietly.
    void theBoundaryShowsFailuresAndEndsAbortsQuietly_data()
    {
        QTest::addColumn<QString>("thrown");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("ran to its end") << "" << int(CommandEnd::Kind::Completed) << QStringList();
        QTest::newRow("the platform failed")
            << "platform" << int(CommandEnd::Kind::Failed) << QStringList{"COM3: gone"};
        QTest::newRow("bad input")
            << "input" << int(CommandEnd::Kind::Failed) << QStringList{"Row 1: x is not a number"};
        QTest::newRow("the transfer was cut off")
            << "aborted" << int(CommandEnd::Kind::Aborted) << QStringList();
    }
    void theBoundaryShowsFailuresAndEndsAbortsQuietly()
    {
        QFETCH(QString, thrown);
        QFETCH(int, kind);
        QFETCH(QStringList, shown);
        ScriptedPrompts prompts;
        const CommandEnd end = runCommandEnd(prompts, [&] {
            if (thrown == "platform")
                throw PlatformError(QStringLiteral("COM3: gone"));
            if (thrown == "input")
                throw InputError(QStringLiteral("Row 1: x is not a number"));
            if (thrown == "aborted")
                throw TransferAborted();
        });
        QCOMPARE(int(end.kind), kind);
        QCOMPARE(prompts.messages(), shown);
        QCOMPARE(end.failure, shown.value(0));
    }

    void anInstalledProgramAlsoLooksInItsLibraryFolder()
    {
        QTemporaryDir prefix;
        const QString bin = prefix.filePath("bin"), parts = installedPartsFolder(bin);
        QCOMPARE(programPartFolders(bin), QStringList{bin});
        QVERIFY2(parts.startsWith(prefix.filePath("lib/")) && parts.endsWith("/plc-config"),
                 qPrintable(parts));
        QVERIFY(QDir().mkpath(parts));
        QCOMPARE(programPartFolders(bin), (QStringList{bin, parts}));
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"
