#include "cli/cli_session.h"

#include "cli/frame_trace.h"
#include "common/errors.h"
#include "link/com_setting.h"
#include "link/config_location.h"
#include "link/device_map.h"
#include "link/plc_link.h"
#include "link/port_choice.h"
#include "link/port_line.h"

#include <QCommandLineParser>

#include <cstdio>

namespace Cli {

const char *const Usage = "usage: plc-config [OPTIONS] COMMAND [ARGS]";

int exitFor(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done:
        return ExitDone;
    case Outcome::Invalid:
        return ExitInput;
    case Outcome::Cancelled:
    case Outcome::PlcFailed:
        break;
    }
    return ExitPlc;
}

[[noreturn]] void usageError(const QString &why)
{
    throw InputError(QStringLiteral("%1\n%2").arg(why, QLatin1String(Usage)));
}

QString setIniPath(const QCommandLineParser &parser)
{
    return defaultSetIniPath(parser.value(QStringLiteral("config-dir")));
}

Session::Session(const QCommandLineParser &parser, const QStringList &positional, Output &output)
    : m_parser(parser), m_args(positional), m_output(output), m_prompts(output.err)
{
    m_iniPath = setIniPath(parser);
}

Session::~Session() = default;

void Session::out(const QString &text)
{
    m_output.out.write(text.toLocal8Bit() + '\n');
}

QCoro::Task<> Session::linkIdle()
{
    if (m_link)
        co_await m_link->idle();
}

QString Session::portName() const
{
    const QString port = m_parser.value(QStringLiteral("port"));
    return port.isEmpty() ? comName(readComSetting(m_iniPath).portNumber()) : port;
}

PlcLink &Session::link()
{
    if (!m_link) {
        const QString port = m_parser.value(QStringLiteral("port"));
        const QString iniPath = m_iniPath;
        QString device; // or a serial server's address
        int comNumber = 0;
        if (!port.isEmpty()) {
            // The simulated PLC is the window's; here it is plc-sim's device.
            const auto chosen = parsePortText(port);
            if (chosen && chosen->kind == PortChoice::Kind::Com)
                comNumber = chosen->comNumber;
            else if (chosen && !chosen->target().isEmpty())
                device = chosen->target();
            else if (NetworkAddress::looksLikeOne(port))
                usageError(QStringLiteral("--port: %1").arg(NetworkAddress::problem(port)));
            else
                usageError(QStringLiteral("--port takes COM1 to COM10, a device path, "
                                          "rfc2217://HOST:PORT or tcp://HOST:PORT, not \"%1\"")
                               .arg(port));
        }
        m_line = std::make_unique<PortLine>(
            [iniPath, device](int n) { return device.isEmpty() ? comDevice(n, iniPath) : device; });
        if (comNumber)
            m_line->pinPortNumber(comNumber);
        else if (!device.isEmpty()) {
            m_line->pinPortNumber(1);
            m_line->nameByDevice();
        }
        const QString line = m_parser.value(QStringLiteral("line"));
        if (!line.isEmpty()) {
            try {
                m_line->pinSettings(line);
            } catch (const PlatformError &e) {
                throw InputError(e.description());
            }
        }
        m_link = std::make_unique<PlcLink>(*m_line, m_clock, m_tap);
        if (m_parser.isSet(QStringLiteral("trace")))
            new FrameTrace(*m_link, m_output.err); // owned by the link
    }
    return *m_link;
}

} // namespace Cli
