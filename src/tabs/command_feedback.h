#pragma once

#include "transfer/plc_verify.h"

#include <QList>
#include <QObject>

#include <functional>

// What the window learns from the commands its tabs run, and what it lets them know: each port
// write and upload reports how it ended (the status bar listens), "Verify after write" says
// whether writes read their port back, and an upload asks first whether it may replace the
// project's unsaved changes. A tab without a window (in a test) has none and runs as before.
class CommandFeedback final : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    bool verifyAfterWrite() const { return m_verify; }
    void setVerifyAfterWrite(bool on) { m_verify = on; }

    // Asked before an upload replaces what the tabs hold; true: go on.
    void setReplaceGuard(std::function<bool()> guard) { m_guard = std::move(guard); }
    bool mayReplaceProject() const { return !m_guard || m_guard(); }

Q_SIGNALS:
    void portWritten(const PortWriteReport &report);
    void portsRead(const QList<PortReadReport> &reports);
    // A command that ends in a sentence of its own ("Restart sent").
    void commandEnded(const QString &text, bool failure);

private:
    bool m_verify = false;
    std::function<bool()> m_guard;
};
