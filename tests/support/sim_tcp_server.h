#pragma once

#include "sim/answer_pacer.h"
#include "sim/plc_model.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// The simulated PLC on a raw TCP port of 127.0.0.1, as a serial server in front of the PLC
// offers it: what a client sends goes to the PLC, its answers come back on the connection.
// One client at a time, as on a serial line: a new connection takes over from the last one.
class SimTcpServer
{
public:
    explicit SimTcpServer(sim::PlcModel &plc) : m_pacer(plc)
    {
        m_listening = m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { accept(); });
        QObject::connect(&m_pacer, &sim::AnswerPacer::answerReady, &m_server,
                         [this](const QByteArray &bytes) {
                             if (m_client)
                                 m_client->write(bytes);
                         });
    }

    bool isListening() const { return m_listening; }
    quint16 port() const { return m_server.serverPort(); }
    // "tcp://127.0.0.1:PORT"
    QString address() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(port()); }
    int connections() const { return m_connections; }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            if (m_client)
                m_client->abort();
            m_pacer.clear();
            m_client = socket;
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                const QByteArray bytes = socket->readAll();
                if (socket == m_client)
                    m_pacer.takeRequests(bytes);
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    QTcpServer m_server;
    sim::AnswerPacer m_pacer;
    QPointer<QTcpSocket> m_client;
    bool m_listening = false;
    int m_connections = 0;
};
