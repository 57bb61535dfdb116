#pragma once

#include "cli/cli_output.h"

#include <QElapsedTimer>
#include <QObject>

#include <cstdio>
#include <optional>

class PlcLink;
struct LinkEvent;

// --trace: every frame the link sends and every arrival on stderr, with the time since the start,
// control characters written by name.
class FrameTrace final : public QObject
{
    Q_OBJECT
public:
    FrameTrace(PlcLink &link, std::FILE *out = stderr);
    // On a command's stderr, which may be one port's of several.
    FrameTrace(PlcLink &link, Cli::OutputStream &out);

private:
    void print(const LinkEvent &event);

    const PlcLink &m_link;
    std::optional<Cli::OutputStream> m_ownOut;
    Cli::OutputStream &m_out;
    QElapsedTimer m_clock;
};
