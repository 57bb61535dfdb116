#include "sim/plc_model.h"

#include <QFileDevice>
#include <QIODevice>

#include <algorithm>

Q_LOGGING_CATEGORY(plcSimLog, "plc.sim", QtInfoMsg)

namespace sim {

namespace {

constexpr char Stx = 0x02;
constexpr char Etx = 0x03;
constexpr char Enq = 0x05;
constexpr char Ack = 0x06;
constexpr char Nak = 0x15;

// "E11", address, count and 255 data bytes: nothing longer can be a request.
constexpr int MaxBody = 3 + 4 + 2 + 2 * 255;
constexpr int MaxLogEntries = 4096;

const char HexDigits[] = "0123456789ABCDEF";

int upperHexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int anyHexDigit(char c)
{
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return upperHexDigit(c);
}

// Addresses, counts and sums are formatted by the tool, always in upper case.
int upperHex(const QByteArray &text)
{
    int value = 0;
    for (const char c : text) {
        const int d = upperHexDigit(c);
        if (d < 0)
            return -1;
        value = value * 16 + d;
    }
    return text.isEmpty() ? -1 : value;
}

void appendHex(QByteArray &out, quint8 byte)
{
    out += HexDigits[byte >> 4];
    out += HexDigits[byte & 0x0F];
}

QByteArray sumOf(const QByteArray &afterStx)
{
    quint8 sum = 0;
    for (const char c : afterStx)
        sum = static_cast<quint8>(sum + static_cast<quint8>(c));
    QByteArray out;
    appendHex(out, sum);
    return out;
}

QByteArray dataFrame(const QByteArray &hexData)
{
    const QByteArray afterStx = hexData + Etx;
    return Stx + afterStx + sumOf(afterStx);
}

} // namespace

quint8 romCrc(const RomCode &rom)
{
    quint8 crc = 0;
    for (int i = 0; i < 7; ++i) {
        quint8 byte = rom[static_cast<size_t>(i)];
        for (int bit = 0; bit < 8; ++bit) {
            const bool mix = (crc ^ byte) & 1;
            crc >>= 1;
            if (mix)
                crc ^= 0x8C;
            byte >>= 1;
        }
    }
    return crc;
}

RomCode generatedRom(int index)
{
    // A scrambled serial number, with the index itself in bytes 5 and 6 so that no two differ
    // only by chance.
    quint32 x = static_cast<quint32>(index + 1) * 0x9E3779B9u;
    x ^= x >> 15;
    x *= 0x2C1B3C6Du;
    x ^= x >> 12;
    RomCode rom{0x28,
                static_cast<quint8>(x),
                static_cast<quint8>(x >> 8),
                static_cast<quint8>(x >> 16),
                static_cast<quint8>(x >> 24),
                static_cast<quint8>(index),
                static_cast<quint8>(index >> 8),
                0};
    rom[7] = romCrc(rom);
    return rom;
}

bool parseRom(const QString &text, RomCode *rom)
{
    const QByteArray latin = text.trimmed().toLatin1();
    if (latin.size() != 16)
        return false;
    RomCode parsed{};
    for (int i = 0; i < 8; ++i) {
        const int high = anyHexDigit(latin.at(2 * i));
        const int low = anyHexDigit(latin.at(2 * i + 1));
        if (high < 0 || low < 0)
            return false;
        parsed[static_cast<size_t>(i)] = static_cast<quint8>(high * 16 + low);
    }
    *rom = parsed;
    return true;
}

QByteArray PlcModel::Answer::bytes() const
{
    QByteArray all;
    for (const QByteArray &piece : pieces)
        all += piece;
    return all;
}

PlcModel::PlcModel() : m_memory(MemorySize, '\0'), m_searchResult(2 + 8 * MaxFoundSensors, '\0')
{
    m_started.start();
    setClock(nullptr);
    setCpuType(DefaultCpuType);
}

void PlcModel::setClock(Clock clock)
{
    if (clock)
        m_clock = std::move(clock);
    else
        m_clock = [this] { return m_started.elapsed(); };
}

QByteArray PlcModel::feed(const QByteArray &bytes)
{
    QByteArray out;
    for (const Answer &a : feedAnswers(bytes))
        out += a.bytes();
    return out;
}

QList<PlcModel::Answer> PlcModel::feedAnswers(const QByteArray &bytes)
{
    QList<Answer> answers;
    for (const char c : bytes)
        take(c, answers);
    flushIgnored();
    return answers;
}

void PlcModel::take(char c, QList<Answer> &answers)
{
    switch (m_state) {
    case State::Idle:
        if (c == Stx) {
            flushIgnored();
            m_body.clear();
            m_sum.clear();
            m_state = State::Body;
        } else if (c == Enq) {
            flushIgnored();
            ++m_requests;
            log(LogEntry::Kind::Request, QByteArray(1, Enq));
            if (m_faults.silent)
                log(LogEntry::Kind::Note, {}, QStringLiteral("silent: no answer"));
            else
                answer(QByteArray(1, Ack), answers);
        } else {
            m_ignored += c;
        }
        return;
    case State::Body:
    case State::Sum:
        // A new frame or an enquiry inside a frame: the frame was cut off, so the parser
        // resynchronises on the byte that interrupted it.
        if (c == Stx || c == Enq) {
            m_ignored = Stx + m_body;
            if (m_state == State::Sum)
                m_ignored += Etx + m_sum;
            log(LogEntry::Kind::Ignored, m_ignored, QStringLiteral("cut-off frame"));
            m_ignored.clear();
            m_state = State::Idle;
            take(c, answers);
            return;
        }
        if (m_state == State::Body) {
            if (c == Etx) {
                m_state = State::Sum;
            } else if (m_body.size() >= MaxBody) {
                m_ignored = Stx + m_body + c;
                log(LogEntry::Kind::Ignored, m_ignored, QStringLiteral("frame too long"));
                m_ignored.clear();
                m_state = State::Idle;
            } else {
                m_body += c;
            }
            return;
        }
        m_sum += c;
        if (m_sum.size() == 2) {
            m_state = State::Idle;
            finishFrame(answers);
        }
        return;
    }
}

void PlcModel::flushIgnored()
{
    if (m_ignored.isEmpty())
        return;
    log(LogEntry::Kind::Ignored, m_ignored);
    m_ignored.clear();
}

void PlcModel::finishFrame(QList<Answer> &answers)
{
    ++m_requests;
    const QByteArray afterStx = m_body + Etx;
    log(LogEntry::Kind::Request, Stx + afterStx + m_sum);
    if (m_faults.silent) {
        log(LogEntry::Kind::Note, {}, QStringLiteral("silent: no answer"));
        return;
    }
    updateSearch();
    if (m_sum != sumOf(afterStx)) {
        refuse(QStringLiteral("bad checksum, expected %1").arg(QLatin1String(sumOf(afterStx))),
               answers);
        return;
    }
    QString refusal;
    bool silent = false;
    m_requestCount = 0;
    if (hungUp()) {
        log(LogEntry::Kind::Note, {}, QStringLiteral("hung up"));
        return;
    }
    QByteArray reply = execute(m_body, &refusal, &silent);
    if (silent) {
        log(LogEntry::Kind::Note, {}, QStringLiteral("silent at this address: no answer"));
        return;
    }
    if (!refusal.isEmpty()) {
        refuse(refusal, answers);
        return;
    }
    if (m_requestCount > 0 && covers(m_faults.damageAt, m_requestAddress, m_requestCount) &&
        m_faults.damageCount != 0) {
        // A write's answer becomes an 'X'; a data answer gets its first digit changed.
        reply[reply.size() == 1 ? 0 : 1] = reply.size() == 1 ? 'X' : reply[1] == '0' ? '1' : '0';
        log(LogEntry::Kind::Note, {}, QStringLiteral("answer damaged"));
        if (m_faults.damageCount > 0)
            --m_faults.damageCount;
    }
    answer(reply, answers);
    if (m_requestCount > 0 && covers(m_faults.floodAt, m_requestAddress, m_requestCount)) {
        m_flooding = true;
        qCDebug(plcSimLog, "fault: flooding the line from now on");
    }
}

QByteArray PlcModel::execute(const QByteArray &body, QString *refusal, bool *silent)
{
    if (body.startsWith("E00") || body.startsWith("E10") || body.startsWith("E11")) {
        const QByteArray command = body.left(3);
        const int address = upperHex(body.mid(3, 4));
        const int count = upperHex(body.mid(7, 2));
        if (body.size() < 9 || address < 0 || count < 0) {
            *refusal = QStringLiteral("malformed address or count");
            return {};
        }
        if (address + count > MemorySize) {
            *refusal = QStringLiteral("beyond the end of memory");
            return {};
        }
        const auto a = static_cast<quint16>(address);
        m_requestAddress = a;
        m_requestCount = std::max(count, 1);
        if (covers(m_faults.silentAt, a, count)) {
            *silent = true;
            return {};
        }
        if (command == "E00") {
            if (body.size() != 9) {
                *refusal = QStringLiteral("a read carries no data");
                return {};
            }
            return blockRead(a, count);
        }
        if (body.size() != 9 + 2 * count) {
            *refusal =
                QStringLiteral("%1 data digits for a count of %2").arg(body.size() - 9).arg(count);
            return {};
        }
        // The tool sends ROM bytes as the user typed them, so data digits may be lower case.
        QByteArray bytes;
        for (int i = 0; i < count; ++i) {
            const int high = anyHexDigit(body.at(9 + 2 * i));
            const int low = anyHexDigit(body.at(10 + 2 * i));
            if (high < 0 || low < 0) {
                *refusal = QStringLiteral("data byte %1 is not hex").arg(i);
                return {};
            }
            bytes += static_cast<char>(high * 16 + low);
        }
        if (covers(m_faults.refuseAt, a, count)) {
            *refusal = QStringLiteral("refused at this address");
            return {};
        }
        blockWrite(command, a, bytes);
        return QByteArray(1, Ack);
    }
    if (body.startsWith('0')) {
        const int address = upperHex(body.mid(1, 4));
        if (body.size() != 7 || address < 0 || body.mid(5, 2) != "02") {
            *refusal = QStringLiteral("malformed word read");
            return {};
        }
        if (address + 2 > MemorySize) {
            *refusal = QStringLiteral("beyond the end of memory");
            return {};
        }
        const auto a = static_cast<quint16>(address);
        m_requestAddress = a;
        m_requestCount = 2;
        if (covers(m_faults.silentAt, a, 2)) {
            *silent = true;
            return {};
        }
        return wordRead(a);
    }
    *refusal = QStringLiteral("unknown command");
    return {};
}

bool PlcModel::covers(const QSet<quint16> &addresses, quint16 address, int count) const
{
    return std::any_of(addresses.cbegin(), addresses.cend(),
                       [&](quint16 a) { return a >= address && a < address + std::max(count, 1); });
}

QByteArray PlcModel::blockRead(quint16 address, int count)
{
    QByteArray hex;
    for (const char b : readBytes(address, count))
        appendHex(hex, static_cast<quint8>(b));
    return dataFrame(hex);
}

QByteArray PlcModel::wordRead(quint16 address)
{
    const QByteArray bytes = readBytes(address, 2);
    QByteArray hex;
    appendHex(hex, static_cast<quint8>(bytes.at(0)));
    appendHex(hex, static_cast<quint8>(bytes.at(1)));
    return dataFrame(hex);
}

void PlcModel::blockWrite(const QByteArray &command, quint16 address, const QByteArray &bytes)
{
    m_writes.append(Write{address, command, bytes, m_bracketOpen});
    QByteArray stored = bytes;
    for (const quint16 wrong : std::as_const(m_faults.storeWrongAt)) {
        if (wrong >= address && wrong < address + stored.size()) {
            stored[wrong - address] = static_cast<char>(~stored[wrong - address]);
            qCDebug(plcSimLog, "fault: the byte at %04X is stored inverted", wrong);
        }
    }
    setMemory(address, stored);
    if (address == Addr::Bracket && bytes.size() == 2) {
        if (bytes == QByteArray("\x0F\xFF", 2)) {
            m_bracketOpen = true;
            ++m_bracketsOpened;
        } else if (bytes == QByteArray(2, '\0')) {
            m_bracketOpen = false;
            ++m_bracketsClosed;
        }
    }
    if (address == Addr::SearchStart && bytes.startsWith(QByteArray("\x01\x80", 2))) {
        m_searching = true;
        m_searchStartedAt = now();
        ++m_searchesStarted;
        m_searchResult.fill('\0');
        log(LogEntry::Kind::Note, {},
            QStringLiteral("bus search started, done in %1 ms").arg(m_searchDelayMs));
    }
    if (m_writeObserver)
        m_writeObserver(address, static_cast<int>(bytes.size()));
}

void PlcModel::updateSearch()
{
    if (!m_searching || now() - m_searchStartedAt < m_searchDelayMs)
        return;
    m_searching = false;
    const int n = static_cast<int>(std::min<qsizetype>(m_busSensors.size(), MaxFoundSensors));
    m_searchResult[0] = static_cast<char>(n & 0xFF);
    m_searchResult[1] = static_cast<char>(n >> 8);
    for (int i = 0; i < n; ++i) {
        for (int b = 0; b < 8; ++b)
            m_searchResult[2 + 8 * i + b] = static_cast<char>(m_busSensors.at(i)[size_t(b)]);
    }
    log(LogEntry::Kind::Note, {}, QStringLiteral("bus search done: %1 sensors").arg(n));
}

int PlcModel::foundSensors()
{
    updateSearch();
    return static_cast<quint8>(m_searchResult.at(0)) | static_cast<quint8>(m_searchResult.at(1))
                                                           << 8;
}

void PlcModel::setBusSensors(const QList<RomCode> &roms)
{
    m_busSensors = roms.mid(0, MaxFoundSensors);
}

QByteArray PlcModel::memory(quint16 address, int count) const
{
    count = std::clamp(count, 0, MemorySize - address);
    return m_memory.mid(address, count);
}

void PlcModel::setMemory(quint16 address, const QByteArray &bytes)
{
    const int n = std::min<int>(static_cast<int>(bytes.size()), MemorySize - address);
    std::copy_n(bytes.constData(), n, m_memory.data() + address);
}

quint16 PlcModel::word(quint16 address) const
{
    const QByteArray b = memory(address, 2);
    return b.size() < 2 ? 0
                        : static_cast<quint16>(static_cast<quint8>(b.at(0)) |
                                               static_cast<quint8>(b.at(1)) << 8);
}

void PlcModel::setWord(quint16 address, quint16 value)
{
    QByteArray bytes(2, '\0');
    bytes[0] = static_cast<char>(value & 0xFF);
    bytes[1] = static_cast<char>(value >> 8);
    setMemory(address, bytes);
}

QByteArray PlcModel::readBytes(quint16 address, int count)
{
    updateSearch();
    QByteArray out = memory(address, count);
    for (int i = 0; i < out.size(); ++i) {
        const int r = address + i - Addr::SearchCount;
        if (r >= 0 && r < m_searchResult.size())
            out[i] = m_searchResult.at(r);
    }
    return out;
}

void PlcModel::setErrorBuffer(ErrorBuffer buffer, const QByteArray &bytes)
{
    const quint16 base = buffer == ErrorBuffer::Uart1   ? Addr::Uart1Errors
                         : buffer == ErrorBuffer::Uart2 ? Addr::Uart2Errors
                                                        : Addr::OneWireErrors;
    QByteArray all = bytes.left(128);
    all.append(128 - all.size(), '\0');
    setMemory(base, all);
}

QList<PlcModel::Write> PlcModel::writesAt(quint16 address) const
{
    QList<Write> out;
    for (const Write &w : m_writes) {
        if (w.address == address)
            out.append(w);
    }
    return out;
}

void PlcModel::refuse(const QString &why, QList<Answer> &answers)
{
    ++m_naks;
    log(LogEntry::Kind::Note, {}, QStringLiteral("refused: %1").arg(why));
    answer(QByteArray(1, Nak), answers);
}

void PlcModel::answer(QByteArray bytes, QList<Answer> &answers)
{
    Answer a;
    a.delayMs = m_faults.delayMs;
    if (m_faults.lateOnceMs > 0) {
        a.delayMs = m_faults.lateOnceMs;
        m_faults.lateOnceMs = 0;
    }
    a.gapMs = m_faults.gapMs;
    bytes = m_faults.strayBefore + bytes + m_faults.strayAfter;
    const int n = static_cast<int>(std::clamp<qsizetype>(m_faults.pieces, 1, bytes.size()));
    const int size = static_cast<int>(bytes.size());
    for (int i = 0, from = 0; i < n; ++i) {
        const int len = size / n + (i < size % n ? 1 : 0);
        a.pieces.append(bytes.mid(from, len));
        from += len;
    }
    QString note;
    if (a.delayMs > 0)
        note = QStringLiteral("after %1 ms").arg(a.delayMs);
    if (n > 1)
        note += QStringLiteral("%1in %2 pieces %3 ms apart")
                    .arg(note.isEmpty() ? QString() : QStringLiteral(", "))
                    .arg(n)
                    .arg(a.gapMs);
    log(LogEntry::Kind::Answer, bytes, note);
    answers.append(a);
}

void PlcModel::log(LogEntry::Kind kind, const QByteArray &bytes, const QString &note)
{
    if (m_log.size() >= MaxLogEntries)
        m_log.removeFirst();
    m_log.append(LogEntry{now(), kind, bytes, note});
    qCDebug(plcSimLog).noquote() << formatLogEntry(m_log.constLast());
    if (m_logDevice) {
        m_logDevice->write(formatLogEntry(m_log.constLast()).toUtf8() + '\n');
        if (auto *file = qobject_cast<QFileDevice *>(m_logDevice))
            file->flush();
    }
}

QString PlcModel::readable(const QByteArray &bytes)
{
    static const char *const names[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK"};
    QString out;
    for (const char c : bytes) {
        const auto u = static_cast<quint8>(c);
        if (u < 7)
            out += QStringLiteral("<%1>").arg(QLatin1String(names[u]));
        else if (u == 0x15)
            out += QStringLiteral("<NAK>");
        else if (u < 0x20 || u >= 0x7F)
            out += QStringLiteral("<%1>").arg(u, 2, 16, QLatin1Char('0')).toUpper();
        else
            out += QLatin1Char(c);
    }
    return out;
}

QString PlcModel::formatLogEntry(const LogEntry &entry)
{
    static const char *const kinds[] = {"request", "answer", "ignored", "note"};
    QString line = QStringLiteral("%1 ms  %2 %3")
                       .arg(entry.ms, 9)
                       .arg(QLatin1String(kinds[static_cast<int>(entry.kind)]), -8)
                       .arg(readable(entry.bytes));
    if (!entry.note.isEmpty())
        line += (entry.bytes.isEmpty() ? QString() : QStringLiteral("  ")) + entry.note;
    return line;
}

} // namespace sim
