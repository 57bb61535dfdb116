#include "link/com_setting.h"

#include "common/errors.h"
#include "common/prompts.h"
#include "link/device_map.h"
#include "link/ini_file.h"
#include "link/line_settings.h"
#include "link/network_address.h"
#include "link/plc_address.h"
#include "link/plc_link.h"
#include "link/serial_devices.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <functional>

namespace {

const QString Section = QStringLiteral("COM");

} // namespace

QStringList comPortItems()
{
    QStringList items;
    for (int n = 1; n <= 10; ++n)
        items << comName(n);
    return items;
}

QString ComSetting::settingsText() const
{
    return QStringList{
        LineChoices::portSpeeds().value(speed), LineChoices::parityLetters().value(parity),
        LineChoices::dataBits().value(bitNum), LineChoices::stopBits().value(stopBit)}
        .join(QLatin1Char(','));
}

ComSetting readComSetting(const QString &iniPath)
{
    ComSetting s;
    s.portNum =
        readIniPosition(iniPath, Section, QStringLiteral("Port_num"), comPortItems().size());
    s.speed = readIniPosition(iniPath, Section, QStringLiteral("Speed"),
                              LineChoices::portSpeeds().size());
    s.parity = readIniPosition(iniPath, Section, QStringLiteral("Parity"),
                               LineChoices::parityLetters().size());
    s.bitNum = readIniPosition(iniPath, Section, QStringLiteral("Bit_num"),
                               LineChoices::dataBits().size());
    s.stopBit = readIniPosition(iniPath, Section, QStringLiteral("Stop_bit"),
                                LineChoices::stopBits().size());
    return s;
}

namespace {

// The settings text section "COM" describes, and the keys whose values name no choice.
std::pair<QString, QStringList> storedSettings(const QString &iniPath)
{
    // Each field with its comma, as far as the stored positions name one.
    const QStringList lists[] = {LineChoices::portSpeeds(), LineChoices::parityLetters(),
                                 LineChoices::dataBits(), LineChoices::stopBits()};
    const char *const keys[] = {"Speed", "Parity", "Bit_num", "Stop_bit"};
    QString text;
    QStringList outside;
    for (int i = 0; i < 4; ++i) {
        const int v = readIniNumber(iniPath, Section, QLatin1String(keys[i]));
        if (v >= 0 && v < lists[i].size())
            text += lists[i][v] + (i < 3 ? QStringLiteral(",") : QString());
        else
            outside << QStringLiteral("%1=%2").arg(QLatin1String(keys[i])).arg(v);
    }
    return {text, outside};
}

} // namespace

QString comSettingsText(const QString &iniPath)
{
    return storedSettings(iniPath).first;
}

void Open_com_port(SerialLine &line, const QString &iniPath)
{
    if (!line.settingsPinned()) {
        const auto [text, outside] = storedSettings(iniPath);
        try {
            line.setSettings(text);
        } catch (const CommandError &e) {
            if (outside.isEmpty())
                throw;
            // The line names the text it refused; the user has to know which key made it so.
            throw PlatformError(
                QStringLiteral("%1; in section [COM] of %2, %3 names no choice of its list")
                    .arg(e.description(), QDir::toNativeSeparators(iniPath),
                         outside.join(QStringLiteral(", "))));
        }
    }
    if (!line.portPinned()) {
        const int stored = readIniNumber(iniPath, Section, QStringLiteral("Port_num"));
        if (stored < 0 || stored > 254) {
            throw PlatformError(QStringLiteral("%1: Port_num=%2 in section [COM] names no COM port "
                                               "(0 is COM1, 9 is COM10)")
                                    .arg(QDir::toNativeSeparators(iniPath))
                                    .arg(stored));
        }
        line.setPortNumber(stored + 1);
    }
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

// A request of the test unless a step failed already; a platform failure becomes the test's
// reason, and the request's answer is then as if nothing came.
template <typename Answer>
QCoro::Task<Answer> testStep(TestResult &result, std::function<QCoro::Task<Answer>()> request)
{
    if (!result.reason.isEmpty())
        co_return Answer{};
    try {
        co_return co_await request();
    } catch (const TransferAborted &) {
        throw;
    } catch (const PlatformError &e) {
        result.reason = e.description();
    }
    co_return Answer{};
}

QCoro::Task<TestResult> runConnectionTest(PlcLink &link, ComSetting setting, QString portProblem)
{
    TestResult result;
    result.reason = portProblem;
    SerialLine &line = link.line();
    // Closes the line however the test ends; the dialog's settings, not set.ini, are applied.
    LinkTransfer transfer(link, QString(), QStringLiteral("Connection test"),
                          LinkTransfer::Settings::AsTheyAre);
    auto step = [&](const auto &action) {
        if (!result.reason.isEmpty())
            return;
        try {
            action();
        } catch (const CommandError &e) {
            result.reason = e.description();
        }
    };

    co_await transfer.close();
    // A step that fails leaves the rest undone: the old settings must not pass for the new ones.
    step([&] { line.setPortNumber(setting.portNumber()); });
    step([&] { line.setSettings(setting.settingsText()); });
    if (result.reason.isEmpty()) {
        try {
            co_await transfer.open();
        } catch (const CommandError &e) {
            result.reason = e.description();
        }
    }

    const WriteAnswer enquiry = co_await testStep<WriteAnswer>(
        result, [&] { return link.Send_control_char(Timeout::ConnectionTest, Ctl::ENQ); });
    PlcRead<quint16> type;
    if (enquiry.code == Ctl::ACK) {
        type = co_await testStep<PlcRead<quint16>>(
            result, [&] { return link.Read_plc_word(Timeout::ConnectionTest, Addr::CpuType); });
    }
    // An enquiry left unanswered is drained from the line before the user reads the result.
    co_await transfer.close();

    if (enquiry.code != Ctl::ACK) {
        result.text = QStringLiteral(
            "No first answer from PLC. Check cable connection,port setting,and e.t.c.");
    } else if (!type) {
        result.text = QStringLiteral(
            "No second answer from PLC with type. Check cable connection,port setting,and e.t.c.");
    } else {
        result.text =
            QStringLiteral("Successful connect to the CPU with type ") + QString::number(*type);
        result.outcome = Outcome::Done;
    }
    co_return result;
}

} // namespace

QCoro::Task<Outcome> testConnection(PlcLink &link, Prompts &prompts, ComSetting setting,
                                    QString portProblem)
{
    // The line is closed and free again before the user reads the result.
    const TestResult result = co_await runConnectionTest(link, setting, portProblem);
    prompts.message(result.reason.isEmpty() ? result.text
                                            : result.text + QStringLiteral("\n\n") + result.reason);
    co_return result.outcome;
}

ComDeviceInfo describeDevice(const QString &device)
{
    ComDeviceInfo info;
    info.device = device;
    if (NetworkAddress::looksLikeOne(device)) {
        // Whether the server is there shows only when the port opens; Test tries it.
        info.network = true;
        info.present = NetworkAddress::parse(device).has_value();
        if (!info.present)
            info.details = NetworkAddress::problem(device);
        return info;
    }
    for (const SerialDevice &found : serialDevices()) {
        if (!found.isNamedBy(info.device))
            continue;
        info.present = info.listed = true;
        info.details = found.details();
        break;
    }
#ifndef Q_OS_WIN
    // Pseudo-terminals (the simulated PLC) are not listed as serial ports but work as one.
    if (!info.present)
        info.present = !deviceTarget(info.device).isEmpty();
#endif
    return info;
}

ComDeviceInfo describeComDevice(int comNumber, const QString &iniPath)
{
    const ComMapping mapping = mapComNumber(comNumber, iniPath);
    ComDeviceInfo info = describeDevice(mapping.device);
    if (mapping.simulated)
        info.mappedBy = QStringLiteral("to the simulated PLC");
    else if (mapping.fromOverride)
        info.mappedBy = QStringLiteral("for this run only");
    else if (mapping.fromIni)
        info.mappedBy = QStringLiteral("in set.ini [Devices]");
    return info;
}

namespace {
QString serverText(const ComDeviceInfo &info)
{
    auto tr = [](const char *text) { return QCoreApplication::translate("ComSetting", text); };
    QString text = tr("Serial server: %1").arg(info.device);
    if (!info.mappedBy.isEmpty())
        text += QStringLiteral(" (mapped %1)").arg(info.mappedBy);
    text += QLatin1Char('\n');
    const auto address = NetworkAddress::parse(info.device);
    if (!address)
        return text + info.details;
    if (address->protocol == NetworkAddress::Protocol::Rfc2217)
        return text + tr("Reached over the network; the line settings are sent to the server");
    return text + tr("Reached over the network as a raw TCP port; the server's own line settings "
                     "apply");
}
} // namespace

QString comDeviceText(const ComDeviceInfo &info)
{
    if (info.network)
        return serverText(info);
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
