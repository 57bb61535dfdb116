#pragma once

#include "link/line_settings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// The least a PLC link needs from a serial port: a COM number, a settings text, open and close,
// send, take what arrived, and signals for arrivals, for sent bytes and for a port that broke.
// Implemented over QSerialPort for real ports and ptys, and by the simulated PLC in tests.
class SerialLine : public QObject
{
    Q_OBJECT
public:
    explicit SerialLine(QObject *parent = nullptr) : QObject(parent) {}

    // COM number, 1 to 10 in the window. Refused (PlatformError) while the line is open.
    void setPortNumber(int number);
    int portNumber() const { return m_portNumber; }

    // A line settings text such as 9600,N,8,1. A text that is not of that form is refused with
    // PlatformError; the settings in force stay as they were.
    void setSettings(const QString &text);
    QString settingsText() const { return m_settings.text(); }
    const LineSettings &settings() const { return m_settings; }

    // Settings or a port chosen from outside set.ini (the command line's --line and --port):
    // they stay in force, and later setSettings / setPortNumber calls leave them as they are.
    void pinSettings(const QString &text);
    void pinPortNumber(int number);
    bool settingsPinned() const { return m_settingsPinned; }
    bool portPinned() const { return m_portPinned; }
    // set.ini's choices rule again (the user chose a port in the COM-port dialog).
    void unpin() { m_settingsPinned = m_portPinned = false; }

    // "COM3 (/dev/ttyUSB2)": how the line names itself in messages.
    virtual QString describe() const;

    // Opens with the current port number and settings; PlatformError with a sentence a person
    // can act on when that fails.
    // A line that needs time to open (a network line connects and agrees its settings with the
    // server first) returns at once with opening() true; opened() or failed() follows. Closing it
    // meanwhile gives up on the opening.
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool opening() const { return false; }
    // Hands the bytes to the line at once. PlatformError when the line is closed or broken.
    virtual void send(const QByteArray &bytes) = 0;
    // Everything received so far, removed from the queue; never blocks.
    virtual QByteArray takeReceived() = 0;
    // A request went unanswered and the line is being drained: whatever is still on its way is
    // unwanted. A network line asks its server to drop what it holds for us.
    virtual void discardPending() {}

    // Why the line broke while it was open (a device that went away), until it is opened again;
    // empty otherwise. A line that broke says this, not merely that it is closed.
    QString brokenReason() const { return m_brokenReason; }

Q_SIGNALS:
    // A line that was opening is open now.
    void opened();
    void received();
    // Everything handed to send() has left for the device.
    void sent();
    // The port broke while open (device unplugged, peer gone), or could not be opened after all.
    void failed(const QString &description);

protected:
    virtual void settingsChanged() {}
    // For implementations: the line broke while open. Remembers why and emits failed().
    void reportBroken(const QString &description);
    // For implementations, when the line opens.
    void clearBroken() { m_brokenReason.clear(); }

private:
    int m_portNumber = 1;
    LineSettings m_settings;
    bool m_settingsPinned = false;
    bool m_portPinned = false;
    QString m_brokenReason;
};
