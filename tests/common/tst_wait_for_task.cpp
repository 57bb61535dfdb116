#include "common/errors.h"
#include "common/result.h"
#include "support/wait_for_task.h"

#include <QtTest>

#include <QCoroTimer>

#include <chrono>

using namespace std::chrono_literals;

namespace {

// A command's task: it waits for the event loop first when asked, then fails or gives a value
// that has no default. A failure the wait did not pass on would leave it running for ever.
QCoro::Task<Result<int>> command(bool waits, bool fails)
{
    if (waits)
        co_await QCoro::sleepFor(1ms);
    if (fails)
        throw PlatformError(QStringLiteral("COM3: no such device"));
    co_return Result(7);
}

} // namespace

class TestWaitForTask : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void givesTheValueOrThrowsTheFailure_data()
    {
        QTest::addColumn<bool>("waits");
        QTest::addColumn<bool>("fails");
        QTest::newRow("value at once") << false << false;
        QTest::newRow("value after a wait") << true << false;
        QTest::newRow("failure at once") << false << true;
        QTest::newRow("failure after a wait") << true << true;
    }
    void givesTheValueOrThrowsTheFailure()
    {
        QFETCH(bool, waits);
        QFETCH(bool, fails);
        if (fails) {
            QVERIFY_THROWS_EXCEPTION(PlatformError, waitForTask(command(waits, fails)));
        } else {
            const Result<int> result = waitForTask(command(waits, fails));
            QVERIFY(result.done());
            QCOMPARE(*result, 7);
        }
    }
};

QTEST_GUILESS_MAIN(TestWaitForTask)
#include "tst_wait_for_task.moc"
