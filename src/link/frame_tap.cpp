#include "link/frame_tap.h"

#include <cstdio>

// Off unless asked for: a debug category is on by default.
Q_LOGGING_CATEGORY(plcLinkLog, "plc.link", QtInfoMsg)

namespace {

void logEvent(const LinkEvent &e)
{
    if (!plcLinkLog().isDebugEnabled())
        return;
    const QString &port = e.port;
    const auto text = [&] { return QString::fromLatin1(readableFrame(e.bytes)); };
    switch (e.kind) {
    case LinkEvent::Kind::TransferStarted:
        qCDebug(plcLinkLog).noquote() << port << "--" << e.name;
        break;
    case LinkEvent::Kind::Sent:
        qCDebug(plcLinkLog).noquote() << port << ">" << text();
        break;
    case LinkEvent::Kind::Received:
        qCDebug(plcLinkLog).noquote() << port << "<" << text();
        break;
    case LinkEvent::Kind::Unanswered:
        qCDebug(plcLinkLog).noquote() << port << "-- no answer within" << e.timeout.count() << "ms";
        break;
    case LinkEvent::Kind::CutShort:
        qCDebug(plcLinkLog).noquote() << port << "-- wait cut short";
        break;
    case LinkEvent::Kind::Dropped:
        qCDebug(plcLinkLog).noquote() << port << "< (late, dropped)" << text();
        break;
    case LinkEvent::Kind::Answered:
        break;
    }
}

} // namespace

FrameTap::FrameTap(QObject *parent) : QObject(parent)
{
    connect(this, &FrameTap::happened, this, &logEvent);
}

QByteArray readableFrame(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + 16);
    for (const char c : bytes) {
        switch (c) {
        case 0x02:
            out += "<STX>";
            break;
        case 0x03:
            out += "<ETX>";
            break;
        case 0x05:
            out += "<ENQ>";
            break;
        case 0x06:
            out += "<ACK>";
            break;
        case 0x15:
            out += "<NAK>";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
                out += "<" + QByteArray::number(static_cast<unsigned char>(c), 16).toUpper() + ">";
            else
                out += c;
        }
    }
    return out;
}

QByteArray traceLine(double seconds, const char *direction, const QByteArray &bytes)
{
    char head[64];
    std::snprintf(head, sizeof head, "%9.3f %s ", seconds, direction);
    return head + readableFrame(bytes) + '\n';
}
