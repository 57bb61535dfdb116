#pragma once

#include <QString>

#include <optional>

// A serial port reached over the network through a serial device server: rfc2217://HOST:PORT
// (Telnet with the COM port option: the line settings travel to the server) or tcp://HOST:PORT
// (a raw socket: the server's own settings rule the line).
struct NetworkAddress
{
    enum class Protocol { Rfc2217, RawTcp };
    Protocol protocol = Protocol::Rfc2217;
    QString host; // a name, an IPv4 address, or an IPv6 address without brackets
    quint16 port = 0;

    // "rfc2217://10.0.0.5:4001"; an IPv6 host in brackets.
    QString text() const;
    // "10.0.0.5:4001": the server, as messages name it.
    QString server() const;
    friend bool operator==(const NetworkAddress &, const NetworkAddress &) = default;

    // Whether the text is meant as a network address at all (it starts with a scheme and "://"),
    // sound or not: such a text is never taken for a device path.
    static bool looksLikeOne(const QString &text);
    // The address, or nothing when the text is not a sound one (see problem()).
    static std::optional<NetworkAddress> parse(const QString &text);
    // What is wrong with a text that looksLikeOne() but does not parse, as a sentence.
    static QString problem(const QString &text);
};
