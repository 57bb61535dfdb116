// The production window driven as a user would, offscreen, against eight plc-sim PLCs: every
// port written and verified at once, one PLC refusing a piece and one going away mid-write; both
// fail with their reasons in their rows and in the log while the others are verified, and Retry
// failed, once the faults are gone, verifies them too.
#include "plc_sim_process.h"
#include "support/scripted_prompts.h"
#include "support/widget_driver.h"

#include "support/small_project.h"

#include "common/clock.h"
#include "link/ini_file.h"
#include "link/serial_devices.h"
#include "production/production_run.h"
#include "production/production_window.h"
#include "transfer/unit_log.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

class TestProductionWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        setSerialDeviceSource([] { return QList<SerialDevice>(); });
    }

    // Every control has its name, and every input a label or a name a screen reader says.
    void everyControlIsNamed()
    {
        QTemporaryDir dir;
        SteadyClock clock;
        ScriptedPrompts prompts;
        ProductionWindow window(dir.filePath("set.ini"), clock, prompts);
        QList<const QWidget *> labelled;
        for (const QLabel *label : window.findChildren<QLabel *>())
            labelled << label->buddy();
        for (const QWidget *w : window.findChildren<QWidget *>()) {
            const bool input = qobject_cast<const QLineEdit *>(w) ||
                               qobject_cast<const QTableWidget *>(w) ||
                               qobject_cast<const QAbstractButton *>(w);
            if (!input || w->parentWidget() != &window)
                continue;
            QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
            const auto *button = qobject_cast<const QAbstractButton *>(w);
            QVERIFY2(labelled.contains(w) || !w->accessibleName().isEmpty() ||
                         (button && !button->text().isEmpty()),
                     qPrintable(w->objectName()));
        }
    }

    void eightPlcsWrittenAndVerifiedFromTheWindow()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("set.ini");
        const QString log = dir.filePath("units.jsonl");
        Write_ini(ini, "Production", "Log", log);
        const QString project = dir.filePath("cabinet.dpc");
        writeSmallProject(project);

        // PLC 4 refuses the UART 1 slave table; PLC 6 hangs up at its tenth request.
        SimulatedPlcs plcs;
        QList<QStringList> faults(8);
        faults[3] = {"--refuse-at", "2502"};
        faults[5] = {"--hang-up-at", "10"};
        QVERIFY(plcs.start(faults));

        SteadyClock clock;
        ScriptedPrompts prompts;
        ProductionWindow window(ini, clock, prompts);
        window.show();
        WidgetDriver ui(&window);
        // One PLC is one port, whatever its name: the first twice is refused.
        for (const QString &port : plcs.ports + QStringList{plcs.sims[0]->linkPath()}) {
            ui.find<QLineEdit>("addPortText")->setText(port);
            ui.click("addPort");
        }
        QCOMPARE(prompts.messages().size(), 1);
        QVERIFY2(prompts.messages().at(0).contains("listed already"),
                 qPrintable(prompts.messages().at(0)));
        prompts.queueFile(project);
        ui.click("chooseProject");
        QCOMPARE(ui.find<QLineEdit>("project")->text(), QDir::toNativeSeparators(project));
        QCOMPARE(ui.find<QLabel>("projectSha256")->toolTip(), fileSha256(project));

        auto *rows = ui.find<QTableWidget>("ports");
        QCOMPARE(rows->rowCount(), 8);
        auto states = [rows] {
            QStringList out;
            for (int row = 0; row < rows->rowCount(); ++row)
                out << rows->item(row, ProductionWindow::StateColumn)->text();
            return out;
        };
        // PLC 1 is given line settings of its own (a pty takes no settings: only kept here).
        rows->item(0, ProductionWindow::LineColumn)->setText(QStringLiteral("19200,E,8,1"));
        ProductionRun &run = window.run();
        QCOMPARE(run.rows().at(0).port.line, "19200,E,8,1");
        QSignalSpy finished(&run, &ProductionRun::finished);
        ui.click("writeAll");
        QVERIFY(run.running());
        QVERIFY(!ui.find<QPushButton>("writeAll")->isEnabled());
        QVERIFY(ui.find<QPushButton>("stop")->isEnabled());
        QVERIFY(finished.wait(120000));
        QCOMPARE(run.problem(), QString());

        QStringList expected(8, QStringLiteral("done"));
        expected[3] = QStringLiteral("failed: Wrong answer from PLC");
        expected[5] = states().at(5);
        QCOMPARE(states(), expected);
        QVERIFY2(expected[5].startsWith("failed: ") && expected[5] != "failed: ",
                 qPrintable(expected[5]));
        QVERIFY(ui.find<QPushButton>("retryFailed")->isEnabled());

        UnitLogContents contents = readUnitLog(log);
        QCOMPARE(contents.problems, QStringList());
        QCOMPARE(contents.records.size(), 8);
        int verified = 0;
        for (const UnitRecord &r : std::as_const(contents.records)) {
            verified += r.verified;
            if (r.port == plcs.ports[3])
                QCOMPARE(r.result, "Wrong answer from PLC");
            if (r.port == plcs.ports[5])
                QCOMPARE("failed: " + r.result, expected[5]);
        }
        QCOMPARE(verified, 6);

        // The faults gone, Retry failed writes those two alone.
        for (const int i : {3, 5}) {
            plcs.sims[i]->kill();
            QVERIFY(plcs.sims[i]->start());
        }
        ui.click("retryFailed");
        QVERIFY(finished.wait(120000));
        QCOMPARE(states(), QStringList(8, QStringLiteral("done")));
        contents = readUnitLog(log);
        QCOMPARE(contents.problems, QStringList());
        QCOMPARE(contents.records.size(), 10);
        QStringList retried{contents.records[8].port, contents.records[9].port};
        retried.sort();
        QCOMPARE(retried, (QStringList{plcs.ports[3], plcs.ports[5]}));
        QVERIFY(contents.records[8].verified && contents.records[9].verified);
        QVERIFY(!ui.find<QPushButton>("retryFailed")->isEnabled());
        QCOMPARE(ui.find<QLabel>("summary")->text(), "8 done, 0 failed, 0 stopped");
        // The station's ports are kept for the next time the window opens.
        ProductionWindow again(ini, clock, prompts);
        QCOMPARE(again.run().rows().size(), 8);
        QCOMPARE(again.run().rows().at(0).port.line, "19200,E,8,1");
    }
};

QTEST_MAIN(TestProductionWindow)

#include "tst_production_window.moc"
