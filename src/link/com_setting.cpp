#include "link/com_setting.h"

#include "common/errors.h"
#include "common/prompts.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "link/plc_link.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

const QString Section = QStringLiteral("COM");

int position(const QString &iniPath, const QString &key, int itemCount)
{
    bool ok = false;
    const int value = Read_ini(iniPath, Section, key, QStringLiteral("0")).toInt(&ok);
    return ok && value >= 0 && value < itemCount ? value : 0;
}

} // namespace

QStringList comPortItems()
{
    QStringList items;
    for (int n = 1; n <= 10; ++n)
        items << comName(n);
    return items;
}

QStringList comSpeedItems()
{
    return {QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
            QStringLiteral("57600"), QStringLiteral("115200")};
}

QStringList comParityItems()
{
    return {QStringLiteral("N"), QStringLiteral("O"), QStringLiteral("E")};
}

QStringList comBitItems()
{
    return {QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")};
}

QStringList comStopBitItems()
{
    return {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};
}

QString ComSetting::settingsText() const
{
    return QStringList{comSpeedItems().value(speed), comParityItems().value(parity),
                       comBitItems().value(bitNum), comStopBitItems().value(stopBit)}
        .join(QLatin1Char(','));
}

ComSetting readComSetting(const QString &iniPath)
{
    ComSetting s;
    s.portNum = position(iniPath, QStringLiteral("Port_num"), comPortItems().size());
    s.speed = position(iniPath, QStringLiteral("Speed"), comSpeedItems().size());
    s.parity = position(iniPath, QStringLiteral("Parity"), comParityItems().size());
    s.bitNum = position(iniPath, QStringLiteral("Bit_num"), comBitItems().size());
    s.stopBit = position(iniPath, QStringLiteral("Stop_bit"), comStopBitItems().size());
    return s;
}

void writeComSetting(const QString &iniPath, const ComSetting &setting)
{
    Write_ini(iniPath, Section, QStringLiteral("Speed"), QString::number(setting.speed));
    Write_ini(iniPath, Section, QStringLiteral("Parity"), QString::number(setting.parity));
    Write_ini(iniPath, Section, QStringLiteral("Bit_num"), QString::number(setting.bitNum));
    Write_ini(iniPath, Section, QStringLiteral("Stop_bit"), QString::number(setting.stopBit));
    Write_ini(iniPath, Section, QStringLiteral("Port_num"), QString::number(setting.portNum));
}

namespace {

// The test's exchanges; the text to show, and the port's reason for a failure or an empty text.
struct TestResult
{
    QString text;
    Outcome outcome = Outcome::PlcFailed;
    QString reason;
};

TestResult runConnectionTest(PlcLink &link, const ComSetting &setting)
{
    TestResult result;
    SerialLine &line = link.line();
    // Closes the line however the test ends; the dialog's settings, not set.ini, are applied.
    LinkTransfer transfer(link, QString(), LinkTransfer::Settings::AsTheyAre);
    auto step = [&](const auto &action) {
        if (!result.reason.isEmpty())
            return;
        try {
            action();
        } catch (const TransferAborted &) {
            throw;
        } catch (const PlatformError &e) {
            result.reason = e.description();
        }
    };

    transfer.close();
    // A step that fails leaves the rest undone: the old settings must not pass for the new ones.
    step([&] { line.setPortNumber(setting.portNumber()); });
    step([&] { line.setSettings(setting.settingsText()); });
    step([&] { transfer.open(); });

    WriteAnswer enquiry;
    step([&] { enquiry = link.Send_control_char(100, Ctl::ENQ); });
    if (enquiry.code != Ctl::ACK) {
        result.text = QStringLiteral(
            "No first answer from PLC. Check cable connection,port setting,and e.t.c.");
        return result;
    }
    std::optional<quint16> type;
    step([&] { type = link.Read_plc_word(100, QStringLiteral("0E02")); });
    if (!type) {
        result.text = QStringLiteral(
            "No second answer from PLC with type. Check cable connection,port setting,and e.t.c.");
        return result;
    }
    result.text =
        QStringLiteral("Successful connect to the CPU with type ") + QString::number(*type);
    result.outcome = Outcome::Done;
    return result;
}

} // namespace

Outcome testConnection(PlcLink &link, Prompts &prompts, const ComSetting &setting)
{
    // The line is closed and free again before the user reads the result.
    const TestResult result = runConnectionTest(link, setting);
    prompts.message(result.reason.isEmpty() ? result.text
                                            : result.text + QStringLiteral("\n\n") + result.reason);
    return result.outcome;
}

ComDeviceInfo describeComDevice(int comNumber, const QString &iniPath)
{
    const ComMapping mapping = mapComNumber(comNumber, iniPath);
    ComDeviceInfo info;
    info.device = mapping.device;
    if (mapping.fromOverride)
        info.mappedBy = QStringLiteral("for this run only");
    else if (mapping.fromIni)
        info.mappedBy = QStringLiteral("in set.ini [Devices]");

    // A by-id link and the device it points at are one port.
    const QString canonical = QFileInfo(info.device).canonicalFilePath();
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        const bool same = port.portName() == info.device || port.systemLocation() == info.device ||
                          (!canonical.isEmpty() &&
                           QFileInfo(port.systemLocation()).canonicalFilePath() == canonical);
        if (!same)
            continue;
        info.present = true;
        QStringList details;
        if (!port.description().isEmpty())
            details << port.description();
        if (!port.manufacturer().isEmpty())
            details << port.manufacturer();
        if (!port.serialNumber().isEmpty())
            details << QStringLiteral("serial ") + port.serialNumber();
        info.details = details.join(QStringLiteral(", "));
        break;
    }
#ifndef Q_OS_WIN
    // Pseudo-terminals (the simulated PLC) are not listed as serial ports but work as one.
    if (!info.present)
        info.present = !canonical.isEmpty();
#endif
    return info;
}

QString comDeviceText(const ComDeviceInfo &info)
{
    QString text = QStringLiteral("Device: ") + info.device;
    if (!info.mappedBy.isEmpty())
        text += QStringLiteral(" (mapped %1)").arg(info.mappedBy);
    text += QLatin1Char('\n');
    if (!info.present)
        text += QStringLiteral("Not present now; it can still be chosen and stored");
    else if (info.details.isEmpty())
        text += QStringLiteral("Present");
    else
        text += QStringLiteral("Present: ") + info.details;
    return text;
}
