#include "cli/frame_trace.h"

#include "link/plc_link.h"

FrameTrace::FrameTrace(PlcLink &link, std::FILE *out) : QObject(&link), m_out(out)
{
    m_clock.start();
    connect(&link, &PlcLink::frameSent, this, [this](const QByteArray &b) { print(">", b); });
    connect(&link, &PlcLink::bytesReceived, this, [this](const QByteArray &b) { print("<", b); });
}

QByteArray FrameTrace::readable(const QByteArray &bytes)
{
    QByteArray out;
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

void FrameTrace::print(const char *direction, const QByteArray &bytes)
{
    std::fprintf(m_out, "%9.3f %s %s\n", m_clock.nsecsElapsed() / 1e9, direction,
                 readable(bytes).constData());
    std::fflush(m_out);
}
