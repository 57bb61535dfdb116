// The 1-wire bus search against the in-process simulated PLC: the start word, the wait, the count
// and the ROM codes read in pieces of 8 sensors, and what stops it.
#include "onewire_fixtures.h"

#include "common/errors.h"
#include "support/wait_for_task.h"
#include "onewire/bus_search.h"

#include <QtTest>

#include <memory>
#include <tuple>

namespace {

QList<sim::RomCode> busOf(int n)
{
    QList<sim::RomCode> roms;
    for (int i = 0; i < n; ++i)
        roms.append(sim::generatedRom(i));
    return roms;
}

} // namespace

class TestBusSearch : public QObject
{
    Q_OBJECT

    std::unique_ptr<Bench> m_b;

    Result<QList<RomTexts>> search()
    {
        return waitForTask(searchOnewireBus(m_b->link, m_b->ini(), m_b->prompts));
    }

private Q_SLOTS:
    void init() { m_b = std::make_unique<Bench>(); }
    void cleanup() { m_b.reset(); }

    void readsTheRomCodesInPiecesOfEightSensors_data()
    {
        QTest::addColumn<int>("sensors");
        QTest::addColumn<QByteArray>("romReads");
        QTest::newRow("none found: no ROM read") << 0 << QByteArray();
        // The read while the PLC is still busy is not used: a damaged answer to it is not read
        // again.
        QTest::newRow("the first count read damaged") << -1 << QByteArray();
        QTest::newRow("8 sensors: 64 bytes at 3002") << 8 << QByteArray(" E00300240");
        QTest::newRow("10 sensors: 64 bytes at 3002, 16 at 3042")
            << 10 << QByteArray(" E00300240 E00304210");
        QTest::newRow("17 sensors: three reads")
            << 17 << QByteArray(" E00300240 E00304240 E00308208");
    }
    void readsTheRomCodesInPiecesOfEightSensors()
    {
        QFETCH(int, sensors);
        QFETCH(QByteArray, romReads);
        if (sensors < 0) {
            m_b->plc().faults().damageAt = {0x3000};
            m_b->plc().faults().damageCount = 1;
            sensors = 0;
        }
        m_b->plc().setBusSensors(busOf(sensors));

        const auto found = search();
        QVERIFY(found.done());

        QCOMPARE(requests(m_b->line), "E102000020180 E00300002 E00300002" + romReads);
        QCOMPARE(m_b->plc().searchesStarted(), 1);
        QCOMPARE(m_b->clock.pauses, QList<int>{3500});

        QCOMPARE(found->size(), sensors);
        for (int i = 0; i < sensors; ++i) {
            const sim::RomCode rom = sim::generatedRom(i);
            QCOMPARE(QStringList(found->at(i).begin(), found->at(i).end()).join(QString()),
                     QByteArray(reinterpret_cast<const char *>(rom.data()), 8).toHex().toUpper());
        }
        QVERIFY(m_b->prompts.shown().isEmpty());
        QVERIFY(!m_b->line.isOpen());
        QVERIFY(!m_b->link.busy());
    }

    void aRefusedOrMissingAnswerEndsTheSearchWithNothingFound_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("sent");
        QTest::newRow("start refused") << false << 0x2000 << 1;
        QTest::newRow("start unanswered") << true << 0x2000 << 1;
        QTest::newRow("count unanswered") << true << 0x3000 << 3;
        QTest::newRow("second piece of ROM codes unanswered") << true << 0x3042 << 5;
    }
    void aRefusedOrMissingAnswerEndsTheSearchWithNothingFound()
    {
        QFETCH(bool, silent);
        QFETCH(int, address);
        QFETCH(int, sent);
        m_b->plc().setBusSensors(busOf(10));
        auto &faults = m_b->plc().faults();
        (silent ? faults.silentAt : faults.refuseAt).insert(quint16(address));

        QCOMPARE(search().outcome(), Outcome::PlcFailed);
        QCOMPARE(m_b->line.sends().size(), sent);
        QCOMPARE(m_b->prompts.messages(),
                 QStringList{silent ? "Answer timeout from PLC" : "Wrong answer from PLC"});
        QCOMPARE(m_b->prompts.shown().first().title, Prompts::Title());
        QVERIFY(!m_b->line.isOpen());
        QVERIFY(!m_b->link.busy());
    }

    void aPortThatCannotBeOpenedIsThrownWithItsDescription()
    {
        m_b->line.setOpenFailure(QStringLiteral("COM1 (/dev/ttyS0): permission denied"));
        // The open fails before the search brings anything back.
        QVERIFY_THROWS_EXCEPTION(PlatformError, std::ignore = search());
        QVERIFY(m_b->line.sends().isEmpty());
        QVERIFY(!m_b->link.busy());
    }
};

QTEST_GUILESS_MAIN(TestBusSearch)
#include "tst_bus_search.moc"
