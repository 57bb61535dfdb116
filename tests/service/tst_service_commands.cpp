// Restart and firmware update against the simulated PLC: the frames, the questions, set.ini,
// and the updater: checked before anything is asked, started after the port is closed.
#include "support/sim_bench.h"

#include "common/errors.h"
#include "support/wait_for_task.h"
#include "link/com_setting.h"
#include "service/service_commands.h"

#include <QDir>
#include <QtTest>

#include <memory>

class TestServiceCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b;

    QString folder() const { return m_b->dir.path(); }
    QString marker(const char *name) const { return m_b->dir.filePath(QLatin1String(name)); }
    Outcome update()
    {
        return waitForTask(
            startFirmwareUpdate(m_b->link, m_b->ini(), m_b->prompts, updaterPath({folder()})));
    }
    Outcome restart()
    {
        return waitForTask(restartPlc(m_b->link, m_b->ini(), m_b->prompts)).outcome();
    }

    // update/update with the given text. The default script notes its working folder in
    // "started", then waits for "go" (at most 10 s) before it writes "finished".
    void makeUpdater(QByteArray script = {}, bool executable = true)
    {
        const QByteArray dir = folder().toUtf8();
        if (script.isEmpty())
            script = "#!/bin/sh\npwd > '" + dir + "/s' && mv '" + dir + "/s' '" + dir +
                     "/started'\ni=0\nwhile [ ! -e '" + dir +
                     "/go' ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\necho > '" + dir +
                     "/finished'\n";
        QDir(folder()).mkpath(QStringLiteral("update"));
        QFile file(updaterPath({folder()}));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }

private Q_SLOTS:
    void init() { m_b = std::make_unique<Bench>(); }
    void cleanup()
    {
        // An updater that was started finishes before its folder goes.
        if (QFile::exists(marker("started"))) {
            QFile(marker("go")).open(QIODevice::WriteOnly);
            QTRY_VERIFY(QFile::exists(marker("finished")));
        }
        m_b.reset();
    }

    void eachCommandAsksThenWritesItsWordOnce_data()
    {
        QTest::addColumn<bool>("isUpdate");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("restart") << false << "You are shure for restart PLC ? "
                                 << frame("E113011027B49", "B7");
        QTest::newRow("firmware update")
            << true << "You are shure for update firmware for the PLC ? "
            << frame("E113010026D2A", "BD");
    }
    void eachCommandAsksThenWritesItsWordOnce()
    {
        QFETCH(bool, isUpdate);
        QFETCH(QString, question);
        QFETCH(QByteArray, sent);
        makeUpdater();
        m_b->prompts.queueAnswer(false);
        QCOMPARE(isUpdate ? update() : restart(), Outcome::Cancelled);
        QCOMPARE(m_b->line.openCount(), 0); // Cancel: no port, nothing sent

        m_b->prompts.queueAnswer(true);
        QCOMPARE(isUpdate ? update() : restart(), Outcome::Done);
        QCOMPARE(m_b->prompts.questions(), QStringList(2, question));
        QCOMPARE(m_b->prompts.shown().first().title, Prompts::Title(QString()));
        QCOMPARE(m_b->line.sends(), QList<QByteArray>{sent});
        QCOMPARE(m_b->plc().bracketsOpened(), 0);
        QVERIFY(!m_b->line.isOpen() && !m_b->link.busy());
        QCOMPARE(m_b->prompts.messages(), QStringList());
        QTRY_COMPARE(QFile::exists(marker("started")), isUpdate);
    }

    // The COM-port dialog writes the new port to set.ini and the caption shows it at once: the
    // restart has to go out there too, not on the port the line had before.
    void restartGoesOutOnThePortSetIniNames()
    {
        m_b->setIni("COM", "Port_num", "0");
        Open_com_port(m_b->line, m_b->ini()); // as at start-up
        m_b->setIni("COM", "Port_num", "3");
        m_b->setIni("COM", "Speed", "4");
        QString lineWhenSent;
        connect(&m_b->line, &SerialLine::sent, this, [&] {
            lineWhenSent = QStringLiteral("COM%1 %2")
                               .arg(m_b->line.portNumber())
                               .arg(m_b->line.settingsText());
        });
        QCOMPARE(restart(), Outcome::Done);
        QCOMPARE(lineWhenSent, QStringLiteral("COM4 115200,N,7,1"));
    }

    void theUpdaterStarts100msAfterThePortClosed_data()
    {
        QTest::addColumn<int>("fault"); // 0 none, 1 no answer, 2 refused
        QTest::newRow("accepted") << 0;
        QTest::newRow("no answer") << 1;
        QTest::newRow("refused") << 2;
    }
    void theUpdaterStarts100msAfterThePortClosed()
    {
        QFETCH(int, fault);
        makeUpdater();
        auto &faults = m_b->plc().faults();
        if (fault)
            (fault == 1 ? faults.silentAt : faults.refuseAt).insert(0x3010);
        bool closedAndNotStarted = false;
        m_b->clock.onPause = [&] {
            closedAndNotStarted = !m_b->line.isOpen() && !QFile::exists(marker("started"));
        };
        QCOMPARE(update(), Outcome::Done);
        QCOMPARE(m_b->line.sends().size(), 1);
        QCOMPARE(m_b->clock.pauses, QList<int>{100});
        QVERIFY(closedAndNotStarted);
        QCOMPARE(m_b->prompts.messages(), QStringList());

        // The command has returned while the updater still waits: it was not waited for.
        QTRY_VERIFY(QFile::exists(marker("started")));
        QVERIFY(!QFile::exists(marker("finished")));
        QFile started(marker("started")); // in its own folder
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(started.readAll().trimmed(), (folder() + QStringLiteral("/update")).toUtf8());
    }

    // An updater that is not there, or is no program, would leave the PLC waiting for a firmware
    // that never comes: it is named before anything is asked or sent. One that is a program but
    // fails to start can only be found once the word went out.
    void anUpdaterThatCannotStartIsNamed_data()
    {
        QTest::addColumn<QByteArray>("script"); // empty: no file
        QTest::addColumn<bool>("executable");
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("sent");
        QTest::newRow("missing") << QByteArray() << false << "was not found" << 0;
        QTest::newRow("not executable")
            << QByteArray("#!/bin/sh\n") << false << "is not a program that can be started" << 0;
        QTest::newRow("its interpreter is missing")
            << QByteArray("#!/nonexistent/sh\n") << true << "cannot be started: " << 1;
    }
    void anUpdaterThatCannotStartIsNamed()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, executable);
        QFETCH(QString, said);
        QFETCH(int, sent);
        if (!script.isEmpty())
            makeUpdater(script, executable);
        try {
            update();
            QFAIL("an updater that does not start must be reported");
        } catch (const PlatformError &e) {
            const QString expected =
                QStringLiteral("The firmware updater %1 %2")
                    .arg(QDir::toNativeSeparators(updaterPath({folder()})), said);
            QVERIFY2(e.description().startsWith(expected), qPrintable(e.description()));
        }
        QCOMPARE(m_b->prompts.questions().size(), sent);
        QCOMPARE(m_b->plc().writesAt(0x3010).size(), sent);
        QVERIFY(!m_b->line.isOpen() && !m_b->link.busy());
    }
};

QTEST_GUILESS_MAIN(TestServiceCommands)
#include "tst_service_commands.moc"
