#pragma once

#include <QList>
#include <QString>

// "row 4", "rows 1 to 3, 5": table rows (from 1, in rising order) as a sentence names them.
QString rowsText(const QList<int> &rows);
