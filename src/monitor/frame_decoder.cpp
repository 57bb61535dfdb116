#include "monitor/frame_decoder.h"

#include "common/hex_text.h"
#include "diag/error_buffer.h"
#include "link/line_settings.h"
#include "link/plc_address.h"
#include "link/plc_link.h"
#include "modbus/modbus_port.h"
#include "modbus/port_word.h"
#include "modbus/slave_table.h"
#include "onewire/aux_encoding.h"
#include "onewire/bus_search.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <utility>

using std::chrono::milliseconds;

namespace {

// A table in PLC memory: records of a fixed size from start on.
struct Area
{
    quint16 start;
    int recordBytes;
    int records;
    QString name; // "UART 1 slave records, "
    QString one;  // "slot"
    QString many; // "slots"
};

const QList<Area> &areas()
{
    // Looked up by where a request starts; the Modbus records come first because the 128th
    // sensor record lies where UART 1's first slave record does.
    static const QList<Area> all = [] {
        QList<Area> list;
        for (const ModbusPortInfo *info : {&ModbusPortInfo::uart1(), &ModbusPortInfo::uart2()}) {
            list.append({info->recordsAddress, SlaveRecordBytes, MaxSlaves,
                         info->name + QStringLiteral(" slave records, "), QStringLiteral("slot"),
                         QStringLiteral("slots")});
        }
        list.append({Addr::SensorArea, SensorRecordBytes, SensorTable::MaxSensors,
                     QStringLiteral("1-wire sensor records, "), QStringLiteral("sensor"),
                     QStringLiteral("sensors")});
        list.append({Addr::SearchRoms, RomCodeBytes, SensorTable::MaxSensors,
                     QStringLiteral("ROM codes of "), QStringLiteral("sensor"),
                     QStringLiteral("sensors")});
        for (const ErrorBufferLayout &layout :
             {modbusErrorBuffer(1), modbusErrorBuffer(2), onewireErrorBuffer()}) {
            const bool sensors = layout.wordAddress == Addr::AuxMode;
            list.append({layout.buffer, 1, MaxErrorSlots,
                         layout.name + QStringLiteral(" error buffer, "),
                         sensors ? QStringLiteral("sensor") : QStringLiteral("slot"),
                         sensors ? QStringLiteral("sensors") : QStringLiteral("slots")});
        }
        return list;
    }();
    return all;
}

// "UART 1 slave records, slots 1 to 8" for the bytes from address on, or nothing outside the
// tables.
std::optional<QString> areaText(quint16 address, int bytes)
{
    for (const Area &area : areas()) {
        const int offset = address - area.start;
        if (offset < 0 || offset >= area.recordBytes * area.records)
            continue;
        const int first = offset / area.recordBytes + 1;
        const int last = std::max(first, (offset + bytes - 1) / area.recordBytes + 1);
        if (first == last)
            return area.name + area.one + QLatin1Char(' ') + QString::number(first);
        return area.name + area.many + QStringLiteral(" %1 to %2").arg(first).arg(last);
    }
    return std::nullopt;
}

const ModbusPortInfo *portWithWordAt(quint16 address)
{
    for (const ModbusPortInfo *info : {&ModbusPortInfo::uart1(), &ModbusPortInfo::uart2()}) {
        if (info->portWordAddress == address)
            return info;
    }
    return nullptr;
}

QString portWordText(quint16 word)
{
    static const QStringList modes = PortLists::modes();
    static const QStringList speeds = LineChoices::speeds();
    static const QStringList parities = PortLists::parities();
    const auto decoded = Decode_port_word(word);
    if (!decoded)
        return QStringLiteral("%1, no known setting").arg(wordHex(word));
    if (decoded->mode == PortMode::NotUse)
        return modes.at(int(PortMode::NotUse));
    const QString line =
        QStringLiteral("%1, %2, %3")
            .arg(modes.at(int(decoded->mode)), speeds.value(decoded->speed, QStringLiteral("?")),
                 parities.value(decoded->parity, QStringLiteral("parity %1").arg(decoded->parity)));
    if (decoded->mode == PortMode::Master)
        return line + QStringLiteral(", %1 slaves").arg(decoded->countOrAddress);
    return line + QStringLiteral(", address %1").arg(decoded->countOrAddress);
}

QString auxWordText(quint16 word)
{
    static const QStringList modes = auxModeNames();
    const AuxWord decoded = Decode_aux_word(word);
    switch (decoded.mode) {
    case AuxMode::OnewireMaster:
        return modes.at(int(decoded.mode)) +
               QStringLiteral(", %1 sensors").arg(decoded.sensorCount);
    case AuxMode::FieldNet: {
        const FieldNetSettings &f = decoded.fieldNet;
        return QStringList{modes.at(int(decoded.mode)), FieldNetSettings::speeds().value(f.speed),
                           FieldNetSettings::dataBitsItems().value(f.dataBits),
                           FieldNetSettings::parities().value(f.parity),
                           FieldNetSettings::stopBitsItems().value(f.stopBits)}
            .join(QStringLiteral(", "));
    }
    case AuxMode::NotUse:
        break;
    }
    return modes.at(int(AuxMode::NotUse));
}

// A named word and its value, as written or read back.
std::optional<QString> wordText(quint16 address, quint16 word)
{
    if (const ModbusPortInfo *info = portWithWordAt(address))
        return info->name + QStringLiteral(" port word: ") + portWordText(word);
    if (address == Addr::AuxMode)
        return QStringLiteral("auxiliary port mode word: ") + auxWordText(word);
    return std::nullopt;
}

// The control and service addresses: what each is called, and the words written to them that
// have a meaning of their own.
struct ControlAddress
{
    quint16 address;
    const char *name;                          // followed by any other word, in hex
    std::pair<quint16, const char *> words[2]; // a text of nullptr: no word
};
const ControlAddress ControlAddresses[] = {
    {Addr::Bracket,
     "configuration bracket: ",
     {{PlcWord::BracketOpen, "configuration bracket open"},
      {PlcWord::BracketClose, "configuration bracket close"}}},
    {Addr::ControlWord,
     "control word: ",
     {{PlcWord::RestartPolling, "control word: restart polling"},
      {PlcWord::StopPort, "control word: stop polling"}}},
    {Addr::SearchStart, "bus search word: ", {{PlcWord::StartSearch, "bus search started"}}},
    {Addr::Restart, "service word at 3011: ", {{PlcWord::Restart, "service word: restart"}}},
    {Addr::FirmwareUpdate,
     "service word at 3010: ",
     {{PlcWord::FirmwareUpdate, "service word: firmware update"}}},
};

// What a write of data to address does.
QString writeText(quint16 address, const QByteArray &data)
{
    const quint16 word = wordAt(data, 0);
    if (data.size() == 2) {
        if (auto named = wordText(address, word))
            return *named;
        for (const ControlAddress &control : ControlAddresses) {
            if (control.address != address)
                continue;
            for (const auto &[known, text] : control.words) {
                if (text && known == word)
                    return QLatin1String(text);
            }
            return QLatin1String(control.name) + wordHex(word);
        }
    }
    if (auto area = areaText(address, int(data.size())))
        return *area;
    return QStringLiteral("%1 bytes at %2").arg(data.size()).arg(wordHex(address));
}

// What a read of count bytes from address asks for.
QString readText(quint16 address, int count)
{
    if (count == 2) {
        if (const ModbusPortInfo *info = portWithWordAt(address))
            return info->name + QStringLiteral(" port word");
        if (address == Addr::AuxMode)
            return QStringLiteral("auxiliary port mode word");
        if (address == Addr::SearchCount)
            return QStringLiteral("number of sensors found");
    }
    if (auto area = areaText(address, count))
        return *area;
    return QStringLiteral("%1 bytes at %2").arg(count).arg(wordHex(address));
}

// What the data of a sound read answer say.
QString dataText(const RequestFrame &request, const QByteArray &data)
{
    if (request.command == "0") {
        if (request.address == Addr::CpuType)
            return QStringLiteral("CPU type %1").arg(wordAt(data, 0));
        return QStringLiteral("word %1").arg(wordAt(data, 0));
    }
    if (data.size() == 2) {
        if (auto named = wordText(request.address, wordAt(data, 0)))
            return *named;
        if (request.address == Addr::SearchCount)
            return QStringLiteral("bus search found %1 sensors").arg(quint8(data.at(0)));
    }
    return readText(request.address, request.count);
}

QString noAnswerText(milliseconds timeout)
{
    return QStringLiteral("no answer within %1 ms").arg(timeout.count());
}

} // namespace

std::optional<RequestFrame> parseRequest(const QByteArray &frame)
{
    const qsizetype etx = frame.size() - 3;
    if (etx < 2 || frame.at(0) != Ctl::STX || frame.at(etx) != Ctl::ETX)
        return std::nullopt;
    const QByteArray body = frame.mid(1, etx - 1);
    RequestFrame request;
    request.command = body.startsWith('E') ? body.left(3) : body.left(1);
    const QByteArray fields = body.mid(request.command.size());
    if (fields.size() < 6 || (request.command != "0" && request.command != "E00" &&
                              request.command != "E10" && request.command != "E11"))
        return std::nullopt;
    for (const char c : fields) {
        if (hexDigit(QLatin1Char(c)) < 0)
            return std::nullopt;
    }
    request.address = quint16(Hex_to_int(QString::fromLatin1(fields.left(4))));
    request.count = int(Hex_to_int(QString::fromLatin1(fields.mid(4, 2))));
    request.data = hexBytes(QString::fromLatin1(fields.mid(6)));
    request.sumRight = frame.mid(etx + 1) == PlcLink::checksum(frame.mid(1, etx));
    return request;
}

FrameReading readRequest(const QByteArray &frame)
{
    if (frame.size() == 1 && frame.at(0) == Ctl::ENQ)
        return {QStringLiteral("enquiry")};
    const auto request = parseRequest(frame);
    if (!request)
        return {QStringLiteral("not a request frame")};
    FrameReading reading;
    reading.sumWrong = !request->sumRight;
    if (request->command == "0")
        reading.meaning = request->address == Addr::CpuType
                              ? QStringLiteral("read CPU type")
                              : QStringLiteral("read word at ") + wordHex(request->address);
    else if (request->command == "E00")
        reading.meaning = QStringLiteral("read ") + readText(request->address, request->count);
    else
        reading.meaning = writeText(request->address, request->data);
    return reading;
}

FrameReading readAnswer(const QByteArray &requestFrame, const QByteArray &answer, bool complete,
                        milliseconds timeout)
{
    const auto request = parseRequest(requestFrame);
    const bool awaitsData = request && (request->command == "E00" || request->command == "0");
    if (!awaitsData) {
        // A write or the enquiry: one character, after whatever noise the link skipped.
        const auto start = std::find_if(answer.cbegin(), answer.cend(), [](char c) {
            return PlcLink::startsAnswer(c, PlcLink::Awaiting::Character);
        });
        const QByteArray reply(start, answer.cend() - start);
        if (reply.isEmpty() && !answer.isEmpty())
            return {QStringLiteral("answer: damaged (noise only)")};
        // STX that breaks off is a damaged answer, not silence.
        if (!complete && !reply.startsWith(Ctl::STX))
            return {noAnswerText(timeout)};
        const QString noise =
            start != answer.cbegin() ? QStringLiteral(" (noise before the answer)") : QString();
        const WriteAnswer a = PlcLink::answerOf(reply, complete);
        switch (a.kind) {
        case AnswerKind::Accepted:
            return {QStringLiteral("answer: accepted") + noise};
        case AnswerKind::Refused:
            return {QStringLiteral("answer: refused (%1)").arg(a.codeText()) + noise};
        case AnswerKind::NoAnswer:
            return {QStringLiteral("answer: %1, taken for no answer").arg(a.codeText()) + noise};
        case AnswerKind::Damaged:
            break;
        }
        return {QStringLiteral("answer: damaged (%1)").arg(a.codeText()) + noise};
    }

    // Whatever came before the frame's STX is noise, as the link reads it.
    const int dataBytes = request->command == "0" ? 2 : request->count;
    const int awaited = 2 * dataBytes + 4;
    const qsizetype stx = PlcLink::frameStart(answer, awaited);
    const QByteArray frame = stx < 0 ? QByteArray() : answer.mid(stx);
    const QString noise = stx > 0 ? QStringLiteral(" (noise before the frame)") : QString();
    if (!complete) {
        const QString none = noAnswerText(timeout);
        if (frame.isEmpty())
            return {answer.isEmpty() ? none : none + QStringLiteral(", only noise came")};
        return {none + QStringLiteral(", %1 of %2 characters came")
                           .arg(std::min<qsizetype>(frame.size(), awaited))
                           .arg(awaited)};
    }
    if (const auto data = PlcLink::frameData(frame, dataBytes))
        return {dataText(*request, *data) + noise};

    // Damaged: a wrong sum on an otherwise sound frame is told apart from a broken frame.
    const int etx = 1 + 2 * dataBytes;
    FrameReading reading;
    const QByteArray expected = PlcLink::checksum(frame.mid(1, etx));
    if (frame.size() >= etx + 3 && frame.at(etx) == Ctl::ETX &&
        PlcLink::frameData(frame.left(etx + 1) + expected, dataBytes)) {
        reading.sumWrong = true;
        reading.meaning = QStringLiteral("damaged answer: wrong checksum (%1 expected)")
                              .arg(QString::fromLatin1(expected));
    } else {
        reading.meaning =
            QStringLiteral("damaged answer: not a frame of %1 data bytes").arg(dataBytes);
    }
    return reading;
}
