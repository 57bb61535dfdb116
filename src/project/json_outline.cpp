#include "project/json_outline.h"

#include "common/untrusted_text.h"

#include <QRegularExpression>
#include <QSet>

#include <cstring>

#include <vector>

void FaultList::add(const QString &fault)
{
    if (full())
        ++m_more;
    else
        m_shown << fault;
}

QString FaultList::text() const
{
    QStringList lines = m_shown;
    if (m_more > 0)
        lines << QStringLiteral("and %1 more").arg(m_more);
    return lines.join(QLatin1Char('\n'));
}

QString jsonMemberPlace(const QString &place, const QString &key)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,59}$"));
    if (!plain.match(key).hasMatch())
        return place + QLatin1Char('[') + quotedText(key) + QLatin1Char(']');
    return place.isEmpty() ? key : place + QLatin1Char('.') + key;
}

namespace {

// The parser refuses deeper texts; the pass stops there too.
constexpr int MostDepth = 1024;
// After a syntax error the parser is given only this much more of the text, so that whatever it
// might still accept there stays small.
constexpr int ReadBeyondStop = 64;

class Outliner
{
public:
    Outliner(const QByteArray &text, int mostItems, int mostValues, FaultList &faults)
        : m_text(text), m_mostItems(mostItems), m_mostValues(mostValues), m_faults(faults)
    {}

    JsonOutline run()
    {
        m_out.readable = m_text;
        if (!pass())
            stopped();
        return std::move(m_out);
    }

private:
    enum class Expect { First, Next, AfterComma };
    struct Frame
    {
        bool object;
        qsizetype open; // where its bracket stands
        QString place;  // empty inside a list that is not read
        bool skipping;  // inside a list that is not read: nothing kept or counted
        Expect expect = Expect::First;
        qsizetype items = 0;
        bool overLong = false;
        qsizetype firstComma = -1, lastComma = -1;
        QSet<QString> keys;
    };

    // false at a syntax error (or too large a text).
    bool pass()
    {
        space();
        if (!value(QString(), false))
            return false;
        while (!m_stack.empty()) {
            Frame &f = m_stack.back();
            space();
            if (atEnd())
                return false;
            const char close = f.object ? '}' : ']';
            const char c = m_text[m_at];
            if (f.expect != Expect::AfterComma && c == close) {
                ++m_at;
                closeFrame();
                continue;
            }
            if (f.expect == Expect::Next) {
                if (c != ',')
                    return false;
                if (f.firstComma < 0)
                    f.firstComma = m_at;
                f.lastComma = m_at;
                ++m_at;
                f.expect = Expect::AfterComma;
                continue;
            }
            f.expect = Expect::Next;
            ++f.items;
            QString place;
            if (f.object) {
                const qsizetype keyAt = m_at;
                QString key;
                if (!string(f.skipping ? nullptr : &key))
                    return false;
                space();
                if (!take(':'))
                    return false;
                space();
                if (!f.skipping) {
                    place = jsonMemberPlace(f.place, key);
                    if (f.keys.contains(key) && m_faults.full())
                        m_faults.add(QString()); // only counted: no need to find its line
                    else if (f.keys.contains(key))
                        fault(place,
                              QStringLiteral("the key comes twice (line %1)").arg(lineAt(keyAt)));
                    else
                        f.keys.insert(key);
                }
            } else if (!f.skipping) {
                if (f.items > m_mostItems) {
                    f.overLong = true;
                    f.skipping = true;
                } else {
                    place = QStringLiteral("%1[%2]").arg(f.place).arg(f.items - 1);
                }
            }
            // f may move when value() opens a frame.
            if (!value(place, f.skipping))
                return false;
        }
        space();
        return atEnd();
    }

    bool value(const QString &place, bool skipping)
    {
        if (!skipping && ++m_values > m_mostValues) {
            fault(QStringLiteral("line %1, column %2").arg(lineAt(m_at)).arg(columnAt(m_at)),
                  QStringLiteral("more than %1 values; no project holds that many")
                      .arg(m_mostValues));
            m_out.tooLarge = true;
            return false;
        }
        if (atEnd())
            return false;
        switch (m_text[m_at]) {
        case '{':
        case '[':
            if (m_stack.size() >= MostDepth)
                return false;
            m_stack.push_back(Frame{
                m_text[m_at] == '{', m_at, place, skipping, Expect::First, 0, false, -1, -1, {}});
            ++m_at;
            return true;
        case '"':
            return string(nullptr);
        case 't':
            return word("true");
        case 'f':
            return word("false");
        case 'n':
            return word("null");
        default:
            return number();
        }
    }

    void closeFrame()
    {
        const Frame f = std::move(m_stack.back());
        m_stack.pop_back();
        if (!f.overLong)
            return;
        fault(f.place, QStringLiteral("%1 items, at most %2").arg(f.items).arg(m_mostItems));
        blank(f.open + 1, m_at - 1);
    }

    // At a syntax error the list it cuts off is not read either, but its first item and the one
    // at fault stay, so that the parser finds the error as it stands in the whole text. The
    // parser is kept from reading far beyond.
    void stopped()
    {
        for (const Frame &f : m_stack) {
            if (f.overLong)
                blank(f.firstComma, f.lastComma);
        }
        m_out.readable.truncate(m_at + ReadBeyondStop);
    }

    void blank(qsizetype from, qsizetype to)
    {
        char *bytes = m_out.readable.data();
        for (qsizetype i = from; i < to; ++i) {
            if (bytes[i] != '\n')
                bytes[i] = ' ';
        }
    }

    // A string at m_at, decoded into text when asked. Escapes are taken leniently: the parser
    // judges them.
    bool string(QString *text)
    {
        if (!take('"'))
            return false;
        const qsizetype start = m_at;
        bool escaped = false;
        while (!atEnd() && m_text[m_at] != '"') {
            if (m_text[m_at] == '\\') {
                escaped = true;
                ++m_at;
            }
            ++m_at;
        }
        if (atEnd())
            return false;
        if (text)
            *text = decoded(QByteArrayView(m_text).sliced(start, m_at - start), escaped);
        ++m_at;
        return true;
    }

    static QString decoded(QByteArrayView raw, bool escaped)
    {
        if (!escaped)
            return QString::fromUtf8(raw);
        QString out;
        QByteArray plain;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\' || i + 1 >= raw.size()) {
                plain += raw[i];
                continue;
            }
            out += QString::fromUtf8(plain);
            plain.clear();
            const char e = raw[++i];
            static const char from[] = "bfnrt";
            static const char to[] = "\b\f\n\r\t";
            if (const char *at = std::strchr(from, e); at && e) {
                out += QLatin1Char(to[at - from]);
            } else if (e == 'u' && i + 4 < raw.size()) {
                bool ok = false;
                const ushort unit = raw.sliced(i + 1, 4).toByteArray().toUShort(&ok, 16);
                out += ok ? QChar(unit) : QChar(u'u');
                if (ok)
                    i += 4;
            } else {
                out += QLatin1Char(e);
            }
        }
        return out + QString::fromUtf8(plain);
    }

    // A number, taken leniently: the parser judges its form.
    bool number()
    {
        const qsizetype start = m_at;
        while (!atEnd() && std::strchr("0123456789+-.eE", m_text[m_at]) && m_text[m_at])
            ++m_at;
        return m_at > start;
    }

    bool word(const char *w)
    {
        const qsizetype length = qsizetype(std::strlen(w));
        if (QByteArrayView(m_text).sliced(m_at).startsWith(QByteArrayView(w, length))) {
            m_at += length;
            return true;
        }
        return false;
    }

    void space()
    {
        while (!atEnd() && std::strchr(" \t\n\r", m_text[m_at]) && m_text[m_at])
            ++m_at;
    }

    bool take(char c)
    {
        if (atEnd() || m_text[m_at] != c)
            return false;
        ++m_at;
        return true;
    }
    bool atEnd() const { return m_at >= m_text.size(); }

    int lineAt(qsizetype at) const { return int(QByteArrayView(m_text).first(at).count('\n')) + 1; }
    qsizetype columnAt(qsizetype at) const
    {
        return at - (QByteArrayView(m_text).first(at).lastIndexOf('\n') + 1) + 1;
    }

    void fault(const QString &place, const QString &what)
    {
        m_faults.add(place + QStringLiteral(": ") + what);
    }

    const QByteArray &m_text;
    const int m_mostItems;
    const int m_mostValues;
    FaultList &m_faults;
    JsonOutline m_out;
    std::vector<Frame> m_stack;
    qsizetype m_at = 0;
    int m_values = 0;
};

} // namespace

JsonOutline outlineJson(const QByteArray &text, int mostItems, int mostValues, FaultList &faults)
{
    return Outliner(text, mostItems, mostValues, faults).run();
}
