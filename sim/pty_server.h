#pragma once

#include "sim/answer_pacer.h"
#include "sim/plc_model.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace sim {

// Serves a PlcModel on a pseudo-terminal: a client opens the slave device as if it were the
// PLC's serial port. Runs in the caller's event loop; delays and pieces go through timers.
class PtyServer : public QObject
{
    Q_OBJECT
public:
    explicit PtyServer(PlcModel &model, QObject *parent = nullptr);
    ~PtyServer() override;

    PlcModel &model() { return m_model; }

    // Opens the pseudo-terminal; false, with errorString(), when the system refuses.
    bool start();
    // Closes it and removes the symlink.
    void stop();
    bool isRunning() const { return m_master >= 0; }
    // The slave device, such as /dev/pts/7; empty when not running.
    QString devicePath() const { return m_devicePath; }

    // A symlink at path to the device, made now or at start() and removed by stop(). A symlink
    // already there (left by a killed run) is replaced; any other file is not.
    bool setLinkPath(const QString &path);
    QString linkPath() const { return m_linkPath; }

    QString errorString() const { return m_error; }

    // The settings a client gave the line, as "115200,E,8,1"; empty when not running. A
    // pseudo-terminal keeps speed and stop bits; Linux's always has 8 data bits and no parity.
    QString lineSettings() const;

    // Answers take as long as on a wire with this many microseconds per character (see
    // AnswerPacer); 0: as soon as the PLC has them.
    void setCharTimeUs(double us) { m_pacer.setCharTimeUs(us); }

Q_SIGNALS:
    // The PLC hung up (a fault asked for): the pseudo-terminal is closed.
    void hungUp();

private:
    bool fail(const QString &what);
    bool makeLink();
    void removeLink();
    void readRequests();
    // Notes the line settings in the log when they differ from those at the last request.
    void noteLineSettings();
    void queueAnswer(const QByteArray &bytes);
    void writePending();

    PlcModel &m_model;
    AnswerPacer m_pacer;
    int m_master = -1;
    int m_slaveHold = -1;
    QString m_devicePath;
    QString m_linkPath;
    bool m_linkMade = false;
    QString m_error;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer m_resumeTimer;
    QByteArray m_out;
    QString m_notedSettings;
};

} // namespace sim
