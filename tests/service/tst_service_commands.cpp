// Restart and firmware update against the simulated PLC: the frames, the questions, set.ini,
// and the updater started after the port is closed, whatever the PLC answered.
#include "support/fake_clock.h"
#include "support/scripted_prompts.h"

#include "common/clock.h"
#include "common/errors.h"
#include "link/ini_file.h"
#include "link/plc_link.h"
#include "service/service_commands.h"
#include "sim/sim_line.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

class TestServiceCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<sim::SimulatedLine> m_line;
    std::unique_ptr<PlcLink> m_link;
    ScriptedPrompts m_prompts;
    FakeClock m_clock;

    QString iniPath() const { return m_dir->filePath(QStringLiteral("set.ini")); }
    QString marker(const char *name) const { return m_dir->filePath(QLatin1String(name)); }
    Outcome update()
    {
        return startFirmwareUpdate(*m_link, iniPath(), m_prompts, updaterPath(m_dir->path()));
    }

    // update/update with the given text. The default script notes its working folder in
    // "started", then waits (at most 10 s) for "go" before it writes "finished".
    void makeUpdater(QByteArray script = {}, bool executable = true)
    {
        const QByteArray dir = m_dir->path().toUtf8();
        if (script.isEmpty())
            script = "#!/bin/sh\npwd > '" + dir + "/s' && mv '" + dir + "/s' '" + dir +
                     "/started'\ni=0\nwhile [ ! -e '" + dir +
                     "/go' ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"
                     "echo > '" +
                     dir + "/finished'\n";
        QDir(m_dir->path()).mkpath(QStringLiteral("update"));
        QFile file(updaterPath(m_dir->path()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_line = std::make_unique<sim::SimulatedLine>();
        m_link = std::make_unique<PlcLink>(*m_line);
        m_prompts = ScriptedPrompts();
        m_clock.pauses.clear();
        m_clock.onPause = nullptr;
        setAppClock(&m_clock);
    }
    void cleanup()
    {
        // An updater that was started finishes before its folder goes.
        if (QFile::exists(marker("started"))) {
            QFile(marker("go")).open(QIODevice::WriteOnly);
            QTRY_VERIFY(QFile::exists(marker("finished")));
        }
        setAppClock(nullptr);
        m_link.reset();
        m_line.reset();
        m_dir.reset();
    }

    void eachCommandAsksThenWritesItsWordOnce_data()
    {
        QTest::addColumn<bool>("isUpdate");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QByteArray>("frame"); // as the PLC's documentation gives it
        QTest::newRow("restart") << false << "You are shure for restart PLC ? "
                                 << QByteArray("\x02"
                                               "E113011027B49\x03"
                                               "B7");
        QTest::newRow("firmware update")
            << true << "You are shure for update firmware for the PLC ? "
            << QByteArray("\x02"
                          "E113010026D2A\x03"
                          "BD");
    }
    void eachCommandAsksThenWritesItsWordOnce()
    {
        QFETCH(bool, isUpdate);
        QFETCH(QString, question);
        QFETCH(QByteArray, frame);
        makeUpdater();
        m_prompts.queueAnswer(false);
        QCOMPARE(isUpdate ? update() : restartPlc(*m_link, iniPath(), m_prompts),
                 Outcome::Cancelled);
        QCOMPARE(m_line->openCount(), 0); // Cancel: no port, nothing sent

        m_prompts.queueAnswer(true);
        QCOMPARE(isUpdate ? update() : restartPlc(*m_link, iniPath(), m_prompts), Outcome::Done);
        QCOMPARE(m_prompts.questions(), QStringList(2, question));
        QCOMPARE(m_prompts.shown().first().title, Prompts::Title(QString()));
        QCOMPARE(m_line->sends(), QList<QByteArray>{frame});
        QCOMPARE(m_line->model().bracketsOpened(), 0);
        QVERIFY(!m_line->isOpen() && !m_link->busy());
        QCOMPARE(m_prompts.messages(), QStringList());
        QTRY_COMPARE(QFile::exists(marker("started")), isUpdate);
    }

    // The COM-port dialog writes the new port to set.ini and the caption shows it at once: the
    // restart has to go out there too, not on the port the line had before.
    void restartGoesOutOnThePortSetIniNames()
    {
        Write_ini(iniPath(), "COM", "Port_num", "0");
        Open_com_port(*m_line, iniPath()); // as at start-up
        Write_ini(iniPath(), "COM", "Port_num", "3");
        Write_ini(iniPath(), "COM", "Speed", "4");
        QString lineWhenSent;
        connect(m_line.get(), &SerialLine::sent, this, [&] {
            lineWhenSent =
                QStringLiteral("COM%1 ").arg(m_line->portNumber()) + m_line->settingsText();
        });
        m_prompts.queueAnswer(true);
        QCOMPARE(restartPlc(*m_link, iniPath(), m_prompts), Outcome::Done);
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
        if (fault)
            (fault == 1 ? m_line->model().faults().silentAt : m_line->model().faults().refuseAt)
                .insert(0x3010);
        bool closedAndNotStarted = false;
        m_clock.onPause = [&] {
            closedAndNotStarted = !m_line->isOpen() && !QFile::exists(marker("started"));
        };
        m_prompts.queueAnswer(true);
        QCOMPARE(update(), Outcome::Done);
        QCOMPARE(m_line->sends().size(), 1);
        QCOMPARE(m_clock.pauses, QList<int>{100});
        QVERIFY(closedAndNotStarted);
        QCOMPARE(m_prompts.messages(), QStringList());

        // The command has returned while the updater still waits: it was not waited for.
        QTRY_VERIFY(QFile::exists(marker("started")));
        QVERIFY(!QFile::exists(marker("finished")));
        QFile started(marker("started")); // in its own folder
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(started.readAll().trimmed(), (m_dir->path() + QStringLiteral("/update")).toUtf8());
    }

    void anUpdaterThatDoesNotStartIsReportedAfterTheWordWasSent_data()
    {
        QTest::addColumn<QByteArray>("script"); // empty: no file
        QTest::addColumn<bool>("executable");
        QTest::addColumn<QString>("said");
        QTest::newRow("missing") << QByteArray() << false << "was not found";
        QTest::newRow("not executable")
            << QByteArray("#!/bin/sh\n") << false << "is not a program that can be started";
        QTest::newRow("its interpreter is missing")
            << QByteArray("#!/nonexistent/sh\n") << true << "cannot be started: ";
    }
    void anUpdaterThatDoesNotStartIsReportedAfterTheWordWasSent()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, executable);
        QFETCH(QString, said);
        if (!script.isEmpty())
            makeUpdater(script, executable);
        m_prompts.queueAnswer(true);
        try {
            update();
            QFAIL("an updater that does not start must be reported");
        } catch (const PlatformError &e) {
            const QString expected =
                QStringLiteral("The firmware updater %1 %2")
                    .arg(QDir::toNativeSeparators(updaterPath(m_dir->path())), said);
            QVERIFY2(e.description().startsWith(expected), qPrintable(e.description()));
            // The PLC already switched over when the user reads this.
            QCOMPARE(m_line->model().writesAt(0x3010).size(), 1);
            QVERIFY(!m_line->isOpen() && !m_link->busy());
        }
    }
};

QTEST_GUILESS_MAIN(TestServiceCommands)
#include "tst_service_commands.moc"
