#include "io/io_table.h"

#include "common/text_table.h"

QStringList IoTable::choiceTexts()
{
    return {QStringLiteral("Input -X"), QStringLiteral("Output-Y"), QStringLiteral("Not use")};
}

QString IoTable::pointLabel(int p)
{
    // The number takes a blank in the place of its sign, hence two blanks after "IO".
    return QStringLiteral("IO  ") + QString::number(p);
}

QString IoTable::programName(Type type, int number)
{
    switch (type) {
    case Input:
        return QLatin1Char('X') + QString::number(number, 8);
    case Output:
        return QLatin1Char('Y') + QString::number(number, 8);
    case Unused:
        break;
    }
    return {};
}

int IoTable::Lowest_free(const Flags &flags)
{
    for (int i = 0; i < PointCount; ++i) {
        if (flags[i] == 0)
            return i;
    }
    return 0;
}

IoTable::IoTable(QObject *parent) : QAbstractTableModel(parent) {}

void IoTable::startUp()
{
    beginResetModel();
    m_started = true;
    m_ioType.fill(Unused);
    m_inUsed.fill(0);
    m_outUsed.fill(0);
    m_function.fill(QString());
    m_name.fill(QString());
    endResetModel();
}

void IoTable::Choose_io_function(int p, int choice)
{
    if (!isPoint(p) || choice < InputX || choice > NotUse)
        return;

    const int next_out = Lowest_free(m_outUsed);
    const int next_in = Lowest_free(m_inUsed);
    switch (choice) {
    case InputX:
        if (next_in + next_out == p)
            m_ioType[p] = Input;
        break;
    case OutputY:
        if (next_in + next_out == p)
            m_ioType[p] = Output;
        break;
    case NotUse:
        m_ioType[p] = Unused;
        break;
    }
    assignNumbers();
    m_function[p] = choiceTexts().at(choice);
    Q_EMIT dataChanged(index(0, FunctionColumn), index(PointCount - 1, NameColumn));
}

void IoTable::assignNumbers()
{
    int inputs = 0;
    int outputs = 0;
    m_inUsed.fill(0);
    m_outUsed.fill(0);
    for (int p = 0; p < PointCount; ++p) {
        const auto type = static_cast<Type>(m_ioType[p]);
        switch (type) {
        case Input:
            m_inUsed[inputs] = 1;
            m_name[p] = programName(type, inputs++);
            break;
        case Output:
            m_outUsed[outputs] = 1;
            m_name[p] = programName(type, outputs++);
            break;
        case Unused:
            m_name[p].clear();
            break;
        }
    }
}

quint8 IoTable::io_type(int p) const
{
    return isPoint(p) ? m_ioType[p] : quint8(Unused);
}

QString IoTable::functionText(int p) const
{
    return isPoint(p) ? m_function[p] : QString();
}

QString IoTable::programName(int p) const
{
    return isPoint(p) ? m_name[p] : QString();
}

int IoTable::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_started ? PointCount + 1 : 1;
}

int IoTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant IoTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !checkIndex(index))
        return {};
    if (role != Qt::DisplayRole)
        return {};
    const int p = index.row();
    if (!isPoint(p))
        return QString();
    switch (index.column()) {
    case AddressColumn:
        return pointLabel(p);
    case FunctionColumn:
        return m_function[p];
    case NameColumn:
        return m_name[p];
    default:
        return {};
    }
}

QVariant IoTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        const QStringList titles = TextTable::splitHeader(headerFormat());
        if (section >= 0 && section < titles.size())
            return titles[section];
        return {};
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags IoTable::flags(const QModelIndex &index) const
{
    if (!index.isValid() || !checkIndex(index))
        return Qt::NoItemFlags;
    // The address column is part of the frame. Nothing is edited in place: the Function cells
    // are edited through the drop-down list, the names follow from the roles.
    if (index.column() == AddressColumn)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
