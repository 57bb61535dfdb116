#pragma once

#include <QByteArray>

// Frames as the protocol's tables write them: STX, the body, ETX, then the two sum digits.
inline QByteArray frame(const char *body, const char *sum)
{
    return QByteArray("\x02") + body + "\x03" + sum;
}

// A frame whose sum is worked out here, by the rule of the tables (the byte sum of everything
// after STX up to and including ETX, two upper-case hex digits): for answers a test makes up.
inline QByteArray framed(const QByteArray &body)
{
    const QByteArray afterStx = body + '\x03';
    unsigned sum = 0;
    for (const char c : afterStx)
        sum += static_cast<unsigned char>(c);
    return '\x02' + afterStx + QByteArray::number(sum & 0xFF, 16).toUpper().rightJustified(2, '0');
}

inline const QByteArray Enq("\x05");
inline const QByteArray Ack("\x06");
inline const QByteArray Nak("\x15");
