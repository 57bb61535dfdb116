#include "monitor/frame_log_model.h"

#include "monitor/frame_decoder.h"

#include <algorithm>

FrameLogModel::FrameLogModel(qint64 originMs, int capacity, QObject *parent)
    : QAbstractTableModel(parent), m_origin(originMs), m_capacity(std::max(capacity, 1)),
      m_originTime(QTime::currentTime())
{
    m_ring.resize(size_t(m_capacity));
}

void FrameLogModel::take(const LinkEvent &event)
{
    Row row;
    row.ms = event.atMs - m_origin;
    switch (event.kind) {
    case LinkEvent::Kind::TransferStarted:
        row.kind = RowKind::Separator;
        row.text = (event.name.isEmpty() ? QStringLiteral("Transfer") : event.name) +
                   QStringLiteral(", ") + event.startedAt.toString(QStringLiteral("HH:mm:ss"));
        break;
    case LinkEvent::Kind::Sent: {
        m_exchanges.insert(event.link, {event.bytes, {}});
        const FrameReading reading = readRequest(event.bytes);
        row.kind = RowKind::Sent;
        row.bytes = event.bytes;
        row.text = reading.meaning;
        row.sumWrong = reading.sumWrong;
        break;
    }
    case LinkEvent::Kind::Received:
        m_exchanges[event.link].answer += event.bytes;
        return;
    case LinkEvent::Kind::Answered:
    case LinkEvent::Kind::Unanswered:
    case LinkEvent::Kind::CutShort: {
        const Exchange exchange = m_exchanges.take(event.link);
        const bool complete = event.kind == LinkEvent::Kind::Answered;
        row.kind = complete ? RowKind::Answer : RowKind::Missing;
        row.bytes = exchange.answer;
        if (event.kind == LinkEvent::Kind::CutShort) {
            row.text = event.aborted
                           ? tr("aborted")
                           : QStringLiteral("wait cut short: the command ended or the line failed");
        } else {
            const FrameReading reading =
                readAnswer(exchange.request, exchange.answer, complete, event.timeout);
            row.text = reading.meaning;
            row.sumWrong = reading.sumWrong;
        }
        break;
    }
    case LinkEvent::Kind::Dropped:
        row.kind = RowKind::Late;
        row.bytes = event.bytes;
        row.text = QStringLiteral("came late, dropped before the next request");
        break;
    }
    if (isFrame(row.kind))
        ++m_frames;
    if (!m_paused) {
        add(std::move(row));
    } else {
        if (isFrame(row.kind))
            ++m_notShown;
        if (m_held.size() == size_t(m_capacity)) {
            m_held.pop_front();
            ++m_heldDropped;
        }
        m_held.push_back(std::move(row));
    }
    Q_EMIT countsChanged();
}

void FrameLogModel::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    if (!paused && m_heldDropped > 0) {
        // The held rows fill the log: every row before them is gone, and the note counts them.
        beginResetModel();
        m_dropped += m_size + m_heldDropped;
        m_first = 0;
        m_size = int(m_held.size());
        std::move(m_held.begin(), m_held.end(), m_ring.begin());
        endResetModel();
    } else if (!paused) {
        for (Row &row : m_held)
            add(std::move(row));
    }
    if (!paused) {
        m_held.clear();
        m_heldDropped = m_notShown = 0;
    }
    Q_EMIT countsChanged();
}

void FrameLogModel::setClockTimes(bool on)
{
    if (on == m_clockTimes)
        return;
    m_clockTimes = on;
    Q_EMIT headerDataChanged(Qt::Horizontal, TimeColumn, TimeColumn);
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, TimeColumn), index(rowCount() - 1, TimeColumn));
}

void FrameLogModel::clear()
{
    beginResetModel();
    for (Row &row : m_ring)
        row = Row();
    m_first = m_size = 0;
    m_held.clear();
    m_dropped = m_frames = m_notShown = m_heldDropped = 0;
    endResetModel();
    Q_EMIT countsChanged();
}

void FrameLogModel::add(Row &&row)
{
    if (m_size == m_capacity) {
        // The oldest rows go, a hundredth of the log at once: a view and a filter shift all
        // their rows for each removal. The first time, the note of dropped rows takes the oldest
        // row's place at the top; after that it counts on.
        const int chunk = std::max(1, m_capacity / 100);
        const int removed = m_dropped > 0 ? chunk : chunk - 1;
        if (removed > 0)
            beginRemoveRows({}, 1, removed);
        for (int i = 0; i < chunk; ++i)
            m_ring[size_t((m_first + i) % m_capacity)] = Row();
        m_first = (m_first + chunk) % m_capacity;
        m_size -= chunk;
        m_dropped += chunk;
        if (removed > 0)
            endRemoveRows();
        Q_EMIT dataChanged(index(0, 0), index(0, ColumnCount - 1));
    }
    const int at = rowCount();
    beginInsertRows({}, at, at);
    m_ring[size_t((m_first + m_size) % m_capacity)] = std::move(row);
    ++m_size;
    endInsertRows();
}

const FrameLogModel::Row *FrameLogModel::rowAt(int row) const
{
    if (m_dropped > 0) {
        if (row == 0)
            return nullptr;
        --row;
    }
    return &m_ring[size_t((m_first + row) % m_capacity)];
}

int FrameLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_size + (m_dropped > 0 ? 1 : 0);
}

int FrameLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FrameLogModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Row *row = rowAt(index.row());
    const RowKind kind = row ? row->kind : RowKind::Note;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: // the whole text of a cut-off frame or meaning
        break;
    case RowKindRole:
        return int(kind);
    case SumWrongRole:
        return row && row->sumWrong;
    case Qt::TextAlignmentRole:
        if (index.column() == TimeColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
    if (!row) {
        if (index.column() == FrameColumn)
            return QStringLiteral("%1 earlier rows dropped").arg(m_dropped);
        return {};
    }
    switch (index.column()) {
    case TimeColumn:
        if (m_clockTimes)
            return m_originTime.addMSecs(int(row->ms % (24 * 3600 * 1000)))
                .toString(QStringLiteral("HH:mm:ss.zzz"));
        return QString::number(row->ms);
    case DirectionColumn:
        if (kind == RowKind::Sent)
            return QStringLiteral(">");
        if (kind == RowKind::Separator || kind == RowKind::Note)
            return {};
        return QStringLiteral("<");
    case FrameColumn:
        if (kind == RowKind::Separator || kind == RowKind::Note)
            return row->text;
        return QString::fromLatin1(readableFrame(row->bytes));
    case MeaningColumn:
        if (kind == RowKind::Separator || kind == RowKind::Note)
            return {};
        return row->text;
    default:
        return {};
    }
}

QVariant FrameLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TimeColumn:
        return m_clockTimes ? tr("Time") : QStringLiteral("ms");
    case DirectionColumn:
        return QStringLiteral("Dir");
    case FrameColumn:
        return QStringLiteral("Frame");
    case MeaningColumn:
        return QStringLiteral("Meaning");
    default:
        return {};
    }
}

QString FrameLogModel::rowText(int row) const
{
    QStringList cells;
    for (int column = 0; column < ColumnCount; ++column)
        cells << data(index(row, column)).toString();
    return cells.join(QLatin1Char('\t'));
}

QByteArray FrameLogModel::tableText() const
{
    QStringList header;
    for (int column = 0; column < ColumnCount; ++column)
        header << headerData(column, Qt::Horizontal).toString();
    QByteArray text = header.join(QLatin1Char('\t')).toUtf8() + '\n';
    for (int row = 0; row < rowCount(); ++row)
        text += rowText(row).toUtf8() + '\n';
    return text;
}
