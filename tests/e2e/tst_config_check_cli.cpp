// `plc-config check`: the findings of the example projects, one a line or as JSON, and the exit
// status that tells a script whether there are warnings.
#include "plc_sim_process.h"

#include "common/whole_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

class TestConfigCheckCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

private Q_SLOTS:
    void findingsAndExitStatus_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("json");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expected"); // what is printed; empty: not compared
        const QString examples = QFINDTESTDATA("../../examples");
        // One line for each kind of finding, and nothing else.
        const QString mistakes = QFINDTESTDATA("../fixtures/check/mistakes.txt");
        for (const bool json : {false, true})
            QTest::newRow(json ? "as JSON" : "one of each finding")
                << examples + "/mistakes.dpc" << json << 3 << mistakes;
        QTest::newRow("the two-masters example")
            << examples + "/two-masters.dpc" << false << 0 << QString();
        QTest::newRow("no such file") << "missing.dpc" << false << 2 << QString();
    }
    void findingsAndExitStatus()
    {
        QFETCH(QString, file);
        QFETCH(bool, json);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        const Run r =
            runPlcConfig(m_config.path(), QStringList{"check", file} +
                                              (json ? QStringList{"--json"} : QStringList{}));
        QCOMPARE(r.exitCode, exitCode);
        if (expected.isEmpty())
            return;
        const QList<QByteArray> lines = readTextFile(expected).split('\n');
        if (!json) {
            QCOMPARE(r.out.split('\n'), lines);
            return;
        }
        // The same findings as the lines, in the same order.
        const QJsonArray findings = QJsonDocument::fromJson(r.out).array();
        QCOMPARE(findings.size(), lines.size() - 1);
        QVERIFY(lines.last().isEmpty() &&
                lines[0].endsWith(findings[0]["text"].toString().toUtf8()));
    }
};

QTEST_GUILESS_MAIN(TestConfigCheckCli)
#include "tst_config_check_cli.moc"
