#pragma once

#include <QString>

// A line settings text such as 9600,N,8,1 or 115200,E,7,1.5, taken apart.
struct LineSettings
{
    enum class Parity { None, Odd, Even, Mark, Space };
    enum class StopBits { One, OneAndHalf, Two };

    int baudRate = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    // Throws PlatformError with a readable sentence when the text is not of that form.
    static LineSettings parse(const QString &text);
    QString text() const;
    // Bits on the line per character: start, data, parity and stop bits.
    double bitsPerCharacter() const;
    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};
