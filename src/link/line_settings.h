#pragma once

#include <QString>
#include <QStringList>

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

// The choices of the line settings lists, in list order. What set.ini and the project files keep
// is the position of a choice in its list.
namespace LineChoices {
// "9600" ... "500000": what the Modbus ports offer.
QStringList speeds();
// "9600" ... "115200": what the PLC port and the Field Net port offer.
QStringList portSpeeds();
// "N", "O", "E": the parity letters of a line settings text, in the order of the PLC port's list.
QStringList parityLetters();
QStringList dataBits(); // "7", "8", "9"
QStringList stopBits(); // "1", "1.5", "2"
} // namespace LineChoices
