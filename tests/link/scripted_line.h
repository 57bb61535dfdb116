#pragma once

#include "common/errors.h"
#include "link/serial_line.h"

#include <QList>
#include <QTimer>

#include <functional>

// A serial line whose other side is the test: it records what was sent and delivers bytes when
// and how the test says.
class ScriptedLine final : public SerialLine
{
    Q_OBJECT
public:
    QList<QByteArray> frames;                       // every send, in order
    QString openFailure;                            // open() refuses with this text when set
    int sentDelayMs = 0;                            // how long the bytes take to leave
    std::function<void(const QByteArray &)> onSend; // the other side's reaction
    int opens = 0;

    void open() override
    {
        if (!openFailure.isEmpty())
            throw PlatformError(openFailure);
        m_open = true;
        ++opens;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void send(const QByteArray &bytes) override
    {
        if (!m_open)
            throw PlatformError(QStringLiteral("not open"));
        frames << bytes;
        QTimer::singleShot(sentDelayMs, this, [this] { Q_EMIT sent(); });
        if (onSend)
            onSend(bytes);
    }
    QByteArray takeReceived() override
    {
        QByteArray all;
        all.swap(m_queue);
        return all;
    }

    void arrive(const QByteArray &bytes)
    {
        m_queue += bytes;
        Q_EMIT received();
    }
    void arriveAfter(int ms, const QByteArray &bytes)
    {
        QTimer::singleShot(ms, Qt::PreciseTimer, this, [this, bytes] { arrive(bytes); });
    }
    void breakAfter(int ms, const QString &why)
    {
        QTimer::singleShot(ms, this, [this, why] {
            m_open = false;
            Q_EMIT failed(why);
        });
    }

private:
    bool m_open = false;
    QByteArray m_queue;
};
