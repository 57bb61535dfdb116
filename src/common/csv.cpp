#include "common/csv.h"

#include "common/errors.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {

const QChar Quote = u'"';

bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

[[noreturn]] void fault(int line, const char *what)
{
    throw InputError(QStringLiteral("line %1: %2").arg(line).arg(QLatin1String(what)));
}

QString decodedText(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder whole(QStringDecoder::Utf8);
    QString text = whole.decode(bytes);
    if (!whole.hasError())
        return text;
    // Named by its line, so the bad byte can be found.
    const QList<QByteArray> lines = bytes.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QStringDecoder decoder(QStringDecoder::Utf8);
        (void)QString(decoder.decode(lines[i]));
        if (decoder.hasError())
            fault(i + 1, "the text is not UTF-8");
    }
    fault(int(lines.size()), "the text is not UTF-8");
}

// The separator of the first line: the one of the two found more often outside quotes.
QChar separatorOf(const QString &text)
{
    int commas = 0, semicolons = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == Quote)
            quoted = !quoted;
        else if (!quoted && isLineEnd(c))
            break;
        else if (!quoted && c == u',')
            ++commas;
        else if (!quoted && c == u';')
            ++semicolons;
    }
    return semicolons > commas ? u';' : u',';
}

} // namespace

class CsvReader::Parser
{
public:
    explicit Parser(const QString &text) : m_text(text), m_separator(separatorOf(text)) {}

    bool atEnd() const { return m_at >= m_text.size(); }

    CsvRecord record(qsizetype mostFields)
    {
        CsvRecord record{m_line, {}, 0};
        do {
            QString f = field();
            if (mostFields < 0 || record.fieldCount < mostFields)
                record.fields << std::move(f);
            ++record.fieldCount;
        } while (take(m_separator));
        if (!take(u'\n') && take(u'\r'))
            take(u'\n');
        ++m_line;
        return record;
    }

private:
    bool next(QChar c) const { return !atEnd() && m_text[m_at] == c; }
    bool take(QChar c)
    {
        if (!next(c))
            return false;
        ++m_at;
        return true;
    }
    bool atFieldEnd() const { return atEnd() || next(m_separator) || isLineEnd(m_text[m_at]); }

    QString field()
    {
        QString value;
        if (!take(Quote)) {
            while (!atFieldEnd()) {
                if (next(Quote))
                    fault(m_line, "a quote inside a field that does not start with one");
                value += m_text[m_at++];
            }
            return value;
        }
        const int opened = m_line;
        for (;;) {
            if (atEnd())
                fault(opened, "a quoted field is not closed");
            const QChar c = m_text[m_at++];
            if (c == Quote) {
                if (!take(Quote))
                    break;
            } else if (c == u'\n' || (c == u'\r' && !next(u'\n'))) {
                ++m_line;
            }
            value += c;
        }
        if (!atFieldEnd())
            fault(m_line, "text after the closing quote of a field");
        return value;
    }

    const QString &m_text;
    const QChar m_separator;
    qsizetype m_at = 0;
    int m_line = 1;
};

CsvReader::CsvReader(const QByteArray &bytes)
    : m_text(decodedText(bytes)), m_parser(std::make_unique<Parser>(m_text))
{}

CsvReader::~CsvReader() = default;

bool CsvReader::atEnd() const
{
    return m_parser->atEnd();
}

CsvRecord CsvReader::next(qsizetype mostFields)
{
    return m_parser->record(mostFields);
}

QList<CsvRecord> readCsv(const QByteArray &bytes)
{
    CsvReader reader(bytes);
    QList<CsvRecord> all;
    while (!reader.atEnd())
        all << reader.next();
    return all;
}

QByteArray writeCsv(const QList<QStringList> &rows)
{
    QString out;
    for (const QStringList &row : rows) {
        QStringList fields;
        for (QString f : row) {
            // Semicolons too, so that the separator read back is the comma; and a leading
            // U+FEFF, which a reader would take for a byte order mark.
            static const QRegularExpression special(QStringLiteral("[,;\"\r\n]|^\uFEFF"));
            if (f.contains(special))
                f = Quote + f.replace(Quote, QStringLiteral("\"\"")) + Quote;
            fields << f;
        }
        out += fields.join(u',') + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}
