// The 1-wire bus search against the in-process simulated PLC: the start word, the wait, the count
// and the ROM codes read in pieces of 8 sensors, and what stops it.
#include "onewire_fixtures.h"
#include "support/scripted_prompts.h"

#include "common/errors.h"
#include "link/plc_link.h"
#include "onewire/bus_search.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QList<sim::RomCode> busOf(int n)
{
    QList<sim::RomCode> roms;
    for (int i = 0; i < n; ++i)
        roms.append(sim::generatedRom(i));
    return roms;
}

RomTexts textsOf(const sim::RomCode &rom)
{
    RomTexts texts;
    for (int b = 0; b < 8; ++b)
        texts[size_t(b)] =
            QStringLiteral("%1").arg(rom[size_t(b)], 2, 16, QLatin1Char('0')).toUpper();
    return texts;
}

} // namespace

class TestBusSearch : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<sim::SimulatedLine> m_line;
    std::unique_ptr<PlcLink> m_link;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<FakeClock> m_clock;

    sim::PlcModel &plc() { return m_line->model(); }
    Outcome search(QList<RomTexts> &found)
    {
        return searchOnewireBus(*m_link, m_dir->filePath(QStringLiteral("set.ini")), *m_prompts,
                                found);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_line = std::make_unique<sim::SimulatedLine>();
        m_link = std::make_unique<PlcLink>(*m_line);
        m_prompts = std::make_unique<ScriptedPrompts>();
        m_clock = std::make_unique<FakeClock>();
        // The fake clock skips the 3500 ms; the PLC must be done by then too.
        plc().setSearchDelayMs(0);
    }
    void cleanup()
    {
        m_clock.reset();
        m_link.reset();
        m_line.reset();
    }

    void readsTheRomCodesInPiecesOfEightSensors_data()
    {
        QTest::addColumn<int>("sensors");
        QTest::addColumn<QList<QByteArray>>("romReads");
        QTest::newRow("none found: no ROM read") << 0 << QList<QByteArray>{};
        QTest::newRow("3 sensors: 24 bytes at 3002") << 3 << QList<QByteArray>{"E00300218"};
        QTest::newRow("8 sensors: 64 bytes at 3002") << 8 << QList<QByteArray>{"E00300240"};
        QTest::newRow("10 sensors: 64 bytes at 3002, 16 at 3042")
            << 10 << QList<QByteArray>{"E00300240", "E00304210"};
        QTest::newRow("17 sensors: three reads")
            << 17 << QList<QByteArray>{"E00300240", "E00304240", "E00308208"};
    }
    void readsTheRomCodesInPiecesOfEightSensors()
    {
        QFETCH(int, sensors);
        QFETCH(QList<QByteArray>, romReads);
        plc().setBusSensors(busOf(sensors));

        QList<RomTexts> found{RomTexts{}};
        QCOMPARE(search(found), Outcome::Done);

        const QList<QByteArray> expected =
            QList<QByteArray>{"E102000020180", "E00300002", "E00300002"} + romReads;
        // The start word whole, the reads by command, address and count.
        QList<QByteArray> bodies = requestBodies(*m_line);
        QCOMPARE(bodies.size(), expected.size());
        for (int i = 1; i < bodies.size(); ++i)
            bodies[i] = bodies[i].left(9);
        QCOMPARE(bodies, expected);
        QCOMPARE(plc().searchesStarted(), 1);
        QCOMPARE(m_clock->pauses, QList<int>{3500});

        QCOMPARE(found.size(), sensors);
        for (int i = 0; i < sensors; ++i)
            QCOMPARE(found[i], textsOf(sim::generatedRom(i)));
        QVERIFY(m_prompts->shown().isEmpty());
        QVERIFY(!m_line->isOpen());
        QVERIFY(!m_link->busy());
    }

    void aRefusedOrMissingAnswerEndsTheSearchWithNothingFound_data()
    {
        QTest::addColumn<int>("refuseAt");
        QTest::addColumn<int>("silentAt");
        QTest::addColumn<int>("sent");
        QTest::addColumn<QString>("message");
        QTest::newRow("start refused") << 0x2000 << 0 << 1 << "Wrong answer from PLC";
        QTest::newRow("start unanswered") << 0 << 0x2000 << 1 << "Answer timeout from PLC";
        QTest::newRow("count unanswered") << 0 << 0x3000 << 3 << "Answer timeout from PLC";
        QTest::newRow("second piece of ROM codes unanswered")
            << 0 << 0x3042 << 5 << "Answer timeout from PLC";
    }
    void aRefusedOrMissingAnswerEndsTheSearchWithNothingFound()
    {
        QFETCH(int, refuseAt);
        QFETCH(int, silentAt);
        QFETCH(int, sent);
        QFETCH(QString, message);
        plc().setBusSensors(busOf(10));
        if (refuseAt)
            plc().faults().refuseAt.insert(quint16(refuseAt));
        if (silentAt)
            plc().faults().silentAt.insert(quint16(silentAt));

        QList<RomTexts> found{RomTexts{}};
        QCOMPARE(search(found), Outcome::PlcFailed);
        QVERIFY(found.isEmpty());
        QCOMPARE(m_line->sends().size(), sent);
        QCOMPARE(m_prompts->messages(), QStringList{message});
        QCOMPARE(m_prompts->shown().first().title, Prompts::Title());
        QVERIFY(!m_line->isOpen());
        QVERIFY(!m_link->busy());
    }

    void aPortThatCannotBeOpenedIsThrownWithItsDescription()
    {
        m_line->setOpenFailure(QStringLiteral("COM1 (/dev/ttyS0): permission denied"));
        QList<RomTexts> found;
        QVERIFY_THROWS_EXCEPTION(PlatformError, search(found));
        QVERIFY(m_line->sends().isEmpty());
        QVERIFY(!m_link->busy());
    }
};

QTEST_GUILESS_MAIN(TestBusSearch)
#include "tst_bus_search.moc"
