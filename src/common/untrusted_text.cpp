#include "common/untrusted_text.h"

namespace {

bool needsEscape(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

void appendEscape(QString &out, QChar c)
{
    out +=
        QLatin1String("\\u") + QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
}

// Appends the shown form of the character at text[i] (a surrogate pair counts as one) and
// returns the number of UTF-16 units it took.
qsizetype appendShown(QString &out, QStringView text, qsizetype i, bool quoted, bool keepLineBreaks)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        if (needsEscape(QChar::surrogateToUcs4(c, text[i + 1]))) {
            appendEscape(out, c);
            appendEscape(out, text[i + 1]);
        } else {
            out += text.mid(i, 2);
        }
        return 2;
    }
    if (keepLineBreaks && (c == u'\n' || c == u'\r' || c == u'\t'))
        out += c;
    else if (c == u'\n')
        out += QLatin1String("\\n");
    else if (c == u'\r')
        out += QLatin1String("\\r");
    else if (c == u'\t')
        out += QLatin1String("\\t");
    else if (quoted && (c == u'"' || c == u'\\'))
        out += QLatin1Char('\\') + c;
    else if (needsEscape(c.unicode()))
        appendEscape(out, c);
    else
        out += c;
    return 1;
}

// The shown form, cut after `most` characters with "..." in place of the last three.
QString cut(QStringView text, int most, bool quoted)
{
    constexpr int Ellipsis = 3;
    QString out;
    qsizetype fitsBesideEllipsis = 0; // the length of the pieces that leave room for "..."
    for (qsizetype i = 0; i < text.size();) {
        i += appendShown(out, text, i, quoted, false);
        if (out.size() > most) {
            out.truncate(fitsBesideEllipsis);
            return out + QStringLiteral("...");
        }
        if (out.size() <= most - Ellipsis)
            fitsBesideEllipsis = out.size();
    }
    return out;
}

} // namespace

QString escapedText(QStringView text, bool keepLineBreaks)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();)
        i += appendShown(out, text, i, false, keepLineBreaks);
    return out;
}

QString quotedText(QStringView text, int most)
{
    return QLatin1Char('"') + cut(text, most, true) + QLatin1Char('"');
}

QString shortText(QStringView text, int most)
{
    return cut(text, most, false);
}
