#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <array>

// The PLC's 21 input/output points: the role of each (input X, output Y or not used), the text
// of its Function cell and its program name, with the X and Y numbers in use. It is the store
// the IO grid shows: a header line, one row per point ("IO  0" to "IO  20") and one more empty
// row that is never a point.
//
// Numbers follow table order. After every choice that changes a role, the inputs are numbered
// X0, X1, ... from IO 0 down and the outputs Y0, Y1, ... likewise, so a number given back by
// "Not use" or a change of role is taken by the next point of that kind, and in_used()/out_used()
// hold exactly the numbers shown, without gaps.
class IoTable final : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int PointCount = 21;
    // The row after the points: empty, never edited.
    static constexpr int SpareRow = PointCount;

    enum Column { AddressColumn, FunctionColumn, NameColumn, ColumnCount };
    // The list items, in list order.
    enum Choice { InputX = 0, OutputY = 1, NotUse = 2 };
    // io_type values.
    enum Type : quint8 { Unused = 0, Input = 1, Output = 2 };

    using Flags = std::array<quint8, PointCount>;

    static QString headerFormat() { return QStringLiteral("Address | Function | Prog.name "); }
    // "Input -X", "Output-Y", "Not use".
    static QStringList choiceTexts();
    // "IO  0" ... "IO  20".
    static QString pointLabel(int p);
    // "X10" for input number 8: the letter and the number in octal.
    static QString programName(Type type, int number);
    // The lowest index whose flag is 0; 0 when every flag is set.
    static int Lowest_free(const Flags &flags);

    // An empty grid: the header line and the spare row only, until startUp().
    explicit IoTable(QObject *parent = nullptr);

    // The start-up state: the 21 point rows in front of the spare row, every point unused and
    // every number free.
    void startUp();
    bool isStarted() const { return m_started; }

    // Applies one list choice to point p (the list's index, Choice). An input or output is
    // taken only by the point right after the assigned ones (p equal to the count of numbers in
    // use); otherwise only the Function text changes, without a message.
    void Choose_io_function(int p, int choice);

    quint8 io_type(int p) const;
    const Flags &in_used() const { return m_inUsed; }
    const Flags &out_used() const { return m_outUsed; }
    QString functionText(int p) const;
    QString programName(int p) const;

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = {}) const final;
    int columnCount(const QModelIndex &parent = {}) const final;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const final;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const final;
    Qt::ItemFlags flags(const QModelIndex &index) const final;

private:
    bool isPoint(int p) const { return m_started && p >= 0 && p < PointCount; }
    // Names and flags from the roles, in table order.
    void assignNumbers();

    bool m_started = false;
    std::array<quint8, PointCount> m_ioType{};
    Flags m_inUsed{};
    Flags m_outUsed{};
    std::array<QString, PointCount> m_function;
    std::array<QString, PointCount> m_name;
};
