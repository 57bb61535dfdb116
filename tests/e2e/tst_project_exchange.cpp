// The project's text forms from the command line: export and import give the project back, a
// bad input writes nothing, and the printed sheet holds every slave row.
#include "plc_sim_process.h"
#include "support/file_bytes.h"
#include "support/full_project.h"

#include "project/project_file.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtTest>

class TestProjectExchange : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_example = QFINDTESTDATA("../../examples/two-masters.dpc");

    QString path(const QString &name) const { return m_dir.filePath(name); }
    Run plcConfig(const QStringList &args) { return runPlcConfig(m_dir.path(), args); }
    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    QString pdfText(const QString &pdf)
    {
        const QString tool = QStandardPaths::findExecutable("pdftotext");
        if (tool.isEmpty())
            return QStringLiteral("pdftotext is missing (poppler-utils)");
        return QString::fromUtf8(runProgram(tool, {"-layout", pdf, "-"}).out).simplified();
    }

private Q_SLOTS:
    void exportAndImportGiveTheProjectBack()
    {
        QCOMPARE(plcConfig({"export", m_example, path("p.json")}).exitCode, 0);
        QCOMPARE(plcConfig({"import", path("p.json"), path("p.dpc")}).exitCode, 0);
        QCOMPARE(fileBytes(path("p.dpc")), fileBytes(m_example));

        // A table through a spreadsheet into a project of its own, then into one that holds it.
        QCOMPARE(plcConfig({"export", m_example, "--csv", "uart2", path("u2.csv")}).exitCode, 0);
        QCOMPARE(plcConfig({"import-table", path("t.dpc"), "uart2", path("u2.csv")}).exitCode, 0);
        const Run refused = plcConfig({"import-table", path("t.dpc"), "uart2", path("u2.csv")});
        QVERIFY2(refused.exitCode == 2 && refused.err.contains("UART 2 slave table holds rows"),
                 refused.err.constData());
        QCOMPARE(
            plcConfig({"import-table", path("t.dpc"), "uart2", path("u2.csv"), "--force"}).exitCode,
            0);
        QCOMPARE(plcConfig({"export", path("t.dpc"), "--csv", "uart2", path("t.csv")}).exitCode, 0);
        QCOMPARE(fileBytes(path("t.csv")), fileBytes(path("u2.csv")));
    }

    // Whatever a project file holds, however unwise for the PLC, comes back through its JSON.
    void everyExampleComesBack()
    {
        const QDir examples = QFileInfo(m_example).dir();
        for (const QString &name : examples.entryList({"*.dpc"})) {
            const QString example = examples.filePath(name);
            QFile::remove(path("back.json"));
            QFile::remove(path("back.dpc"));
            QCOMPARE(plcConfig({"export", example, path("back.json")}).exitCode, 0);
            const Run imported = plcConfig({"import", path("back.json"), path("back.dpc")});
            QVERIFY2(imported.exitCode == 0, imported.err.constData());
            const Run shown = plcConfig({"show", "--json", example});
            QCOMPARE(plcConfig({"show", "--json", path("back.dpc")}).out, shown.out);
        }
    }

    void badInputsWriteNothing_data()
    {
        QTest::addColumn<QStringList>("args"); // IN and OUT stand for the two files
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("fault");
        const QStringList import = {"import", "IN", "OUT", "--force"};
        const QStringList table = {"import-table", "OUT", "uart1", "IN", "--force"};
        QTest::newRow("truncated JSON") << import << QByteArray("{\"uart1\": {")
                                        << "in: line 1, column 12: unterminated object";
        QTest::newRow("unknown key") << import << QByteArray("{\"format\": 1, \"colour\": 3}")
                                     << "in: colour: unknown key\nin: uart1: missing";
        QTest::newRow("CSV without Timeout") << table
                                             << QByteArray("Address,Num word,Address slave,"
                                                           "Address master,Function\n")
                                             << "in: line 1: no column \"Timeout,[ms]\"";
        QTest::newRow("empty CSV") << table << QByteArray() << "in: the text is empty";
        QTest::newRow("key that would retitle the terminal")
            << import << QByteArray("{\"format\": 1, \"\x1b]0;owned\x07\": 3}")
            << "in: [\"\\u001B]0;owned\\u0007\"]: unknown key";
        QTest::newRow("CSV cell that would clear the screen")
            << table
            << QByteArray("Address,Num word,Address slave,Address master,Function,"
                          "\"Timeout,[ms]\"\n\x1b[2J,1,0,0,1,100\n")
            << "in: line 2: Row 1, column [Address]: \"\\u001B[2J\" is not a number";
    }
    void badInputsWriteNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(QString, fault);
        write("in", input);
        QFile::remove(path("out"));
        QVERIFY(QFile::copy(m_example, path("out")));
        const QByteArray before = fileBytes(path("out"));
        args.replaceInStrings(QRegularExpression("^IN$"), path("in"));
        args.replaceInStrings(QRegularExpression("^OUT$"), path("out"));
        const Run r = plcConfig(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(QString::fromUtf8(r.err).contains(fault.replace("in: ", path("in") + ": ")),
                 r.err.constData());
        QVERIFY2(!r.err.contains('\x1b'), r.err.constData());
        QCOMPARE(fileBytes(path("out")), before);
    }

    // Every slave row of the example, with its function by name; the PDF and the HTML are the
    // same sheet.
    void theSheetHoldsEverySlaveRow()
    {
        QCOMPARE(plcConfig({"report", m_example, path("sheet.pdf")}).exitCode, 0);
        QCOMPARE(plcConfig({"report", m_example, path("sheet.html")}).exitCode, 0);
        const QString text = pdfText(path("sheet.pdf"));
        QVERIFY2(text.contains("Project two-masters.dpc"), qPrintable(text));
        for (const char *row :
             {"1 1 10 0 100 1 Read holding register 500", "2 2 4 30 110 4 Read input register 500",
              "3 3 2 200 120 2 Write multiply register 300", "4 3 16 0 1000 0 Read coils 300",
              "1 10 8 0 1100 0 Read coils 250", "2 10 8 16 1110 3 Write coils 250",
              "3 11 6 0 200 1 Read holding register 400"})
            QVERIFY2(text.contains(row), row);
        QVERIFY(fileBytes(path("sheet.html")).contains(">3 Write coils</td>"));
    }

    // 128 slaves span pages, the header row on each.
    void aFullTableRepeatsItsHeader()
    {
        writeProjectFile(path("full.dpc"), fullProjectRecord());
        QCOMPARE(plcConfig({"report", path("full.dpc"), path("full.pdf")}).exitCode, 0);
        const QString text = pdfText(path("full.pdf"));
        QVERIFY2(text.count("Slot Address Num word Address slave Address master") >= 6,
                 qPrintable(text));
        QVERIFY(text.contains("128 127 28 2540 2519 2 Write multiply register 3938"));
    }
};

QTEST_GUILESS_MAIN(TestProjectExchange)
#include "tst_project_exchange.moc"
