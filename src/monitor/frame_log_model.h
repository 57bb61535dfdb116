#pragma once

#include "link/frame_tap.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>
#include <QString>

#include <chrono>
#include <vector>

// The frame monitor's rows: one per frame sent, one per answer (the arrivals of one exchange put
// together, or what came before the wait ended), a separator per command naming it, and notes.
// The newest rows are kept, at most `capacity` of them (when full, the oldest hundredth goes);
// a first row counts those dropped.
class FrameLogModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { TimeColumn, DirectionColumn, FrameColumn, MeaningColumn, ColumnCount };
    enum class RowKind : quint8 {
        Separator, // a command's start: "Write to PLC, UART 1, 14:02:11"
        Sent,      // a request frame
        Answer,    // the answer that came whole
        Missing,   // what came of an answer that did not come whole (maybe nothing)
        Late,      // bytes that came after their wait and were dropped
        Note,      // what the monitor itself says: rows dropped or not shown
    };
    enum Role { RowKindRole = Qt::UserRole, SumWrongRole };
    static constexpr int DefaultCapacity = 20000;

    // Times are shown in ms from originMs on the application's clock.
    explicit FrameLogModel(qint64 originMs, int capacity = DefaultCapacity,
                           QObject *parent = nullptr);

    // One event from the tap.
    void take(const LinkEvent &event);

    // While paused, frames are counted and their exchanges followed, but no row is added.
    void setPaused(bool paused);
    bool paused() const { return m_paused; }
    // Empties the log and its counts; the exchanges under way are still followed.
    void clear();

    qint64 frames() const { return m_frames; }     // sent and received, shown or not
    qint64 notShown() const { return m_notShown; } // frames that came while paused
    qint64 dropped() const { return m_dropped; }   // rows that fell off the top

    // A row's columns, separated by tabs.
    QString rowText(int row) const;
    // The whole log as --trace writes it: "   12.345 > <STX>...", with "# " lines for the
    // separators, the notes and the answers that did not come whole.
    QByteArray traceText() const;

    int rowCount(const QModelIndex &parent = {}) const final;
    int columnCount(const QModelIndex &parent = {}) const final;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const final;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const final;

Q_SIGNALS:
    void countsChanged();

private:
    struct Row
    {
        qint64 ms = 0;
        RowKind kind = RowKind::Note;
        bool sumWrong = false;
        QByteArray bytes;
        QString text; // the meaning, or a separator's or note's text
    };
    // The request a link waits on the answer to, and what has come so far.
    struct Exchange
    {
        QByteArray request;
        QByteArray answer;
    };

    void add(Row &&row);
    const Row *rowAt(int row) const; // nullptr for the note of dropped rows

    qint64 m_origin;
    int m_capacity;
    std::vector<Row> m_ring;
    int m_first = 0; // oldest row in the ring
    int m_size = 0;
    qint64 m_dropped = 0;
    qint64 m_frames = 0;
    qint64 m_notShown = 0;
    qint64 m_notShownAtPause = 0;
    bool m_paused = false;
    QHash<const PlcLink *, Exchange> m_exchanges;
};
