#pragma once

#include "common/outcome.h"

#include <QString>
#include <QStringList>

#include <QCoroTask>

class PlcLink;
class Prompts;
class SerialLine;

// The PLC port as the COM-port dialog chooses it: each choice is a position in its list, which is
// what section "COM" of set.ini stores. The list texts are the pieces of the line settings text.
struct ComSetting
{
    int portNum = 0; // 0: COM1 ... 9: COM10
    int speed = 0;
    int parity = 0;
    int bitNum = 0;
    int stopBit = 0;

    int portNumber() const { return portNum + 1; }
    // "115200,E,8,1": the chosen list texts joined with commas.
    QString settingsText() const;
    friend bool operator==(const ComSetting &, const ComSetting &) = default;
};

// The dialog's lists, in order.
QStringList comPortItems(); // "COM1" ... "COM10"; the others are those of LineChoices

// Section "COM" as the dialog shows it. A value that is no whole number or lies outside its list
// shows the list's first item, so that the dialog is where a spoilt set.ini gets put right.
ComSetting readComSetting(const QString &iniPath);
// Stores the five positions in the order "Speed", "Parity", "Bit_num", "Stop_bit", "Port_num".
// Throws PlatformError with the reason when set.ini cannot be written.
void writeComSetting(const QString &iniPath, const ComSetting &setting);

// Applies section "COM" of set.ini to the line: settings text and port number. The line is not
// opened. A value outside its list leaves its field out, and the line refuses the text; a value
// that is no whole number throws PlatformError naming the key.
void Open_com_port(SerialLine &line, const QString &iniPath);
// The settings text section "COM" describes.
QString comSettingsText(const QString &iniPath);

// The connection test: on the link's own line, with the given settings (set.ini is not read),
// sends ENQ and, when the PLC acknowledges it, reads the CPU type word at 0E02; the result is
// shown as one message. A port that cannot be set up or opened shows "No first answer ..." with
// the port's own reason under it. The line is closed at the end. Done when the type came.
// portProblem: why the port cannot be reached at all (a text that names no port); nothing is
// sent then and the reason is shown under the first message.
QCoro::Task<Outcome> testConnection(PlcLink &link, Prompts &prompts, ComSetting setting,
                                    QString portProblem = {});

// Where a COM number leads on this computer, for the user to see beside the port list.
struct ComDeviceInfo
{
    QString device;       // "/dev/ttyUSB0"; on Windows "COM3"; or "rfc2217://10.0.0.5:4001"
    QString mappedBy;     // "in set.ini [Devices]", "for this run only"; empty: the usual mapping
    bool present = false; // the device is there now
    bool listed = false;  // among the serial devices the system lists
    QString details;      // description, manufacturer, serial number, where the system knows them
    bool network = false; // a serial server's address; details: what is wrong with it, if anything
};
ComDeviceInfo describeComDevice(int comNumber, const QString &iniPath);
// The same for a device path or a serial server's address, mapped by nothing.
ComDeviceInfo describeDevice(const QString &device);
// Two lines: the device and how it was mapped; whether it is there and what it is. For a serial
// server: its address and how it was mapped; how it is reached.
QString comDeviceText(const ComDeviceInfo &info);
