#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <cstdio>

class PlcLink;

// --trace: every frame sent and every arrival on stderr, with the time since the start, control
// characters written by name.
class FrameTrace final : public QObject
{
    Q_OBJECT
public:
    FrameTrace(PlcLink &link, std::FILE *out = stderr);

    static QByteArray readable(const QByteArray &bytes);

private:
    void print(const char *direction, const QByteArray &bytes);

    std::FILE *m_out;
    QElapsedTimer m_clock;
};
