#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <cstdio>

class PlcLink;
struct LinkEvent;

// --trace: every frame the link sends and every arrival on stderr, with the time since the start,
// control characters written by name.
class FrameTrace final : public QObject
{
    Q_OBJECT
public:
    FrameTrace(PlcLink &link, std::FILE *out = stderr);

private:
    void print(const LinkEvent &event);

    const PlcLink &m_link;
    std::FILE *m_out;
    QElapsedTimer m_clock;
};
