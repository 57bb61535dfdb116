#include "cli/frame_trace.h"

#include "link/frame_tap.h"
#include "link/plc_link.h"

FrameTrace::FrameTrace(PlcLink &link, std::FILE *out)
    : QObject(&link), m_link(link), m_ownOut(std::in_place, out), m_out(*m_ownOut)
{
    m_clock.start();
    connect(&link.tap(), &FrameTap::happened, this, &FrameTrace::print);
}

FrameTrace::FrameTrace(PlcLink &link, Cli::OutputStream &out)
    : QObject(&link), m_link(link), m_out(out)
{
    m_clock.start();
    connect(&link.tap(), &FrameTap::happened, this, &FrameTrace::print);
}

void FrameTrace::print(const LinkEvent &event)
{
    if (event.link != &m_link)
        return;
    const char *direction = nullptr;
    if (event.kind == LinkEvent::Kind::Sent)
        direction = ">";
    else if (event.kind == LinkEvent::Kind::Received)
        direction = "<";
    else
        return;
    const QByteArray line = traceLine(m_clock.nsecsElapsed() / 1e9, direction, event.bytes);
    m_out.write(line);
    m_out.flush();
}
