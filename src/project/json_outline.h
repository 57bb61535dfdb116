#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Faults as a reader names them, "place: what", one per line. Beyond the first `most` they are
// only counted, so a text full of faults costs no more than one with a few.
class FaultList
{
public:
    explicit FaultList(int most = 20) : m_most(most) {}
    void add(const QString &fault);
    // Whether a further fault would only be counted (its text need not be made).
    bool full() const { return m_shown.size() >= m_most; }
    bool isEmpty() const { return m_shown.isEmpty(); }
    qsizetype count() const { return m_shown.size() + m_more; }
    // The faults kept, one a line, then "and N more".
    QString text() const;

private:
    int m_most;
    QStringList m_shown;
    qsizetype m_more = 0;
};

// The place of a member of the object at place: "uart1.speed"; a key that is not a plain name
// (letters, digits, "_") is quoted and escaped: uart1["sp eed"]. The root's members have no
// leading dot.
QString jsonMemberPlace(const QString &place, const QString &key);

// What one pass over a JSON text finds before it is parsed, building nothing: a key that comes
// twice in one object (QJsonDocument keeps the last silently), a list longer than mostItems, and
// more values than mostValues in all. Over-long lists are not read: their items are blanked out
// of `readable` (line breaks kept, so positions stay true), the list's fault is in `faults`, and
// nothing inside them counts. At a syntax error the pass stops and leaves the naming of it to
// the parser of `readable`.
struct JsonOutline
{
    QByteArray readable;
    // More values than any project holds: the pass stopped, and the text is not to be parsed.
    bool tooLarge = false;
};
JsonOutline outlineJson(const QByteArray &text, int mostItems, int mostValues, FaultList &faults);
