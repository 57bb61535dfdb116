#include "common/rows_text.h"

#include <QStringList>

QString rowsText(const QList<int> &rows)
{
    QStringList runs;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype end = i;
        while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1)
            ++end;
        if (end == i + 1)
            runs << QString::number(rows[i]) << QString::number(rows[end]);
        else
            runs << (end == i ? QString::number(rows[i])
                              : QStringLiteral("%1 to %2").arg(rows[i]).arg(rows[end]));
        i = end + 1;
    }
    return QLatin1String(rows.size() == 1 ? "row " : "rows ") + runs.join(QStringLiteral(", "));
}
