#include "link/network_address.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QRegularExpression>

namespace {
QString schemeOf(NetworkAddress::Protocol protocol)
{
    return protocol == NetworkAddress::Protocol::Rfc2217 ? QStringLiteral("rfc2217")
                                                         : QStringLiteral("tcp");
}

// scheme://host:port, the host a name, an IPv4 address or a bracketed IPv6 address.
const QRegularExpression &addressPattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^([A-Za-z0-9+.-]+)://(\[[0-9A-Fa-f:.%]+\]|[^\s/\\:@\[\]]+)(?::(\d{1,5}))?$)"));
    return pattern;
}
} // namespace

QString NetworkAddress::server() const
{
    const QString shownHost =
        host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("%1:%2").arg(shownHost).arg(port);
}

QString NetworkAddress::text() const
{
    return QStringLiteral("%1://%2").arg(schemeOf(protocol), server());
}

bool NetworkAddress::looksLikeOne(const QString &text)
{
    static const QRegularExpression scheme(QStringLiteral(R"(^\s*[A-Za-z][A-Za-z0-9+.-]*://)"));
    return scheme.match(text).hasMatch();
}

std::optional<NetworkAddress> NetworkAddress::parse(const QString &text)
{
    const auto match = addressPattern().match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    NetworkAddress address;
    const QString scheme = match.captured(1).toLower();
    if (scheme == QLatin1String("rfc2217"))
        address.protocol = Protocol::Rfc2217;
    else if (scheme == QLatin1String("tcp"))
        address.protocol = Protocol::RawTcp;
    else
        return std::nullopt;
    QString host = match.captured(2);
    if (host.startsWith(QLatin1Char('['))) {
        host = host.mid(1, host.size() - 2);
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
    }
    bool ok = false;
    const int port = match.captured(3).toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return std::nullopt;
    address.host = host;
    address.port = static_cast<quint16>(port);
    return address;
}

QString NetworkAddress::problem(const QString &typed)
{
    const QString text = typed.trimmed();
    const QString scheme = text.section(QStringLiteral("://"), 0, 0).toLower();
    if (scheme != QLatin1String("rfc2217") && scheme != QLatin1String("tcp")) {
        return QCoreApplication::translate(
                   "NetworkAddress",
                   "\"%1\": a serial server is reached by rfc2217://HOST:PORT or tcp://HOST:PORT")
            .arg(text);
    }
    const auto match = addressPattern().match(text);
    if (match.hasMatch() && match.captured(3).isEmpty()) {
        return QCoreApplication::translate("NetworkAddress",
                                           "\"%1\" names no TCP port: write %2://HOST:PORT, "
                                           "such as %2://192.168.1.20:4001")
            .arg(text, scheme);
    }
    if (match.hasMatch()) {
        return QCoreApplication::translate("NetworkAddress",
                                           "\"%1\": the TCP port must be 1 to 65535")
            .arg(text);
    }
    return QCoreApplication::translate("NetworkAddress",
                                       "\"%1\" is no network address: write %2://HOST:PORT, "
                                       "such as %2://192.168.1.20:4001")
        .arg(text, scheme);
}
