#pragma once

#include "link/frame_tap.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QTime>

#include <chrono>
#include <deque>
#include <vector>

// The frame monitor's rows: one per frame sent, one per answer (the arrivals of one exchange put
// together, or what came before the wait ended), a separator per command naming it, and notes.
// The newest rows are kept, at most `capacity` of them (when full, the oldest hundredth goes);
// a first row counts those dropped. While paused, new rows are held back and come on resume.
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

    // While paused, rows are held back (the newest `capacity` of them) and added on resume.
    void setPaused(bool paused);
    bool paused() const { return m_paused; }
    // Empties the log, what it holds back and its counts; the exchanges under way are still
    // followed.
    void clear();

    // The time column in the time of day (originTime being originMs) instead of ms.
    void setClockTimes(bool on);
    void setOriginTime(const QTime &originTime) { m_originTime = originTime; }

    qint64 frames() const { return m_frames; }     // sent and received, shown or held
    qint64 notShown() const { return m_notShown; } // frames held back while paused
    qint64 dropped() const { return m_dropped; }   // rows that fell off the top

    // Whether a row is a frame (not a command's separator or a note).
    static bool isFrame(RowKind kind)
    {
        return kind != RowKind::Separator && kind != RowKind::Note;
    }

    // A row's columns, separated by tabs.
    QString rowText(int row) const;
    // The whole log, every column: a header line, then each row as rowText gives it.
    QByteArray tableText() const;

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
    std::deque<Row> m_held;
    qint64 m_heldDropped = 0; // held rows that made room for newer ones
    bool m_paused = false;
    bool m_clockTimes = false;
    QTime m_originTime;
    QHash<const PlcLink *, Exchange> m_exchanges;
};
