#include "app/undo_history.h"

#include "app/project_state.h"
#include "common/text_table.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QUndoCommand>
#include <QUndoStack>

namespace {

QList<QStringList> rowsOf(const TextTable &table)
{
    QList<QStringList> rows;
    for (int r = 0; r < table.rowCount(); ++r)
        rows << table.rowCells(r);
    return rows;
}

void restoreRows(TextTable &table, const QList<QStringList> &rows)
{
    if (rowsOf(table) == rows || rows.isEmpty())
        return;
    table.setItems(rows.mid(0, rows.size() - 1));
    // The placeholder may hold text (its Slot number, a modify aimed at it).
    const QStringList &placeholder = rows.last();
    for (int c = 0; c < placeholder.size(); ++c)
        table.setCell(table.itemCount(), c, placeholder[c]);
}

PortsSnapshot::Modbus modbusOf(const ModbusPort &port)
{
    return {port.mode(),    port.speed(),        port.parity(),       port.bitNumber(),
            port.stopBit(), port.slaveAddress(), port.slaveTimeout(), rowsOf(port.slaves())};
}

void restoreModbus(ModbusPort &port, const PortsSnapshot::Modbus &state)
{
    restoreRows(port.slaves(), state.rows);
    port.setSpeed(state.speed);
    port.setParity(state.parity);
    port.setBitNumber(state.bitNumber);
    port.setStopBit(state.stopBit);
    port.setSlaveAddress(state.slaveAddress);
    port.setSlaveTimeout(state.slaveTimeout);
    // Selecting a mode acts like a click, which shows and hides frames: only when it differs.
    if (port.mode() != state.mode)
        port.setMode(state.mode);
}

} // namespace

PortsSnapshot PortsSnapshot::take(const ProjectPorts &ports)
{
    PortsSnapshot s;
    s.uart1 = modbusOf(ports.uart1);
    s.uart2 = modbusOf(ports.uart2);
    s.aux = {ports.aux.mode(), ports.aux.fieldNet(), rowsOf(ports.aux.sensors())};
    return s;
}

void PortsSnapshot::restore(const ProjectPorts &ports) const
{
    restoreModbus(ports.uart1, uart1);
    restoreModbus(ports.uart2, uart2);
    restoreRows(ports.aux.sensors(), aux.rows);
    if (ports.aux.fieldNet() != aux.fieldNet)
        ports.aux.setFieldNet(aux.fieldNet);
    if (ports.aux.mode() != aux.mode)
        ports.aux.setMode(aux.mode);
}

QString PortsSnapshot::portsChangedFrom(const PortsSnapshot &other) const
{
    QStringList names;
    if (uart1 != other.uart1)
        names << QStringLiteral("UART 1");
    if (uart2 != other.uart2)
        names << QStringLiteral("UART 2");
    if (aux != other.aux)
        names << auxPortName();
    if (names.size() < 2)
        return names.value(0);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

// One step: the ports before and after it. The change has happened when the step is pushed, so
// the first redo does nothing.
class UndoHistory::Change final : public QUndoCommand
{
public:
    Change(UndoHistory &history, PortsSnapshot before, PortsSnapshot after)
        : m_history(history), m_before(std::move(before)), m_after(std::move(after))
    {
        setText(QObject::tr("change of %1").arg(m_after.portsChangedFrom(m_before)));
    }
    void undo() final { m_history.moveTo(m_before); }
    void redo() final
    {
        if (std::exchange(m_pushed, false))
            return;
        m_history.moveTo(m_after);
    }

private:
    UndoHistory &m_history;
    PortsSnapshot m_before;
    PortsSnapshot m_after;
    bool m_pushed = true;
};

UndoHistory::UndoHistory(const ProjectPorts &ports, QObject *parent)
    : QObject(parent), m_ports(ports), m_stack(new QUndoStack(this)), m_pending(new QTimer(this)),
      m_undo(new QAction(tr("&Undo"), this)), m_redo(new QAction(tr("&Redo"), this)),
      m_current(PortsSnapshot::take(ports))
{
    m_pending->setSingleShot(true);
    m_pending->setInterval(0);
    connect(m_pending, &QTimer::timeout, this, &UndoHistory::record);

    watch(ports.uart1);
    watch(ports.uart2);
    watchTable(ports.uart1.slaves());
    watchTable(ports.uart2.slaves());
    connect(&ports.aux, &AuxPort::modeChanged, this, &UndoHistory::changed);
    connect(&ports.aux, &AuxPort::fieldNetChanged, this, &UndoHistory::changed);
    watchTable(ports.aux.sensors());

    // A line edit or a cell editor with the focus takes these keys for its own undo first.
    m_undo->setObjectName(QStringLiteral("edit_undo"));
    m_undo->setShortcut(QKeySequence::Undo);
    m_redo->setObjectName(QStringLiteral("edit_redo"));
    QList<QKeySequence> redoKeys{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};
    for (const QKeySequence &keys : QKeySequence::keyBindings(QKeySequence::Redo)) {
        if (!redoKeys.contains(keys))
            redoKeys << keys;
    }
    m_redo->setShortcuts(redoKeys);
    connect(m_undo, &QAction::triggered, this, &UndoHistory::undo);
    connect(m_redo, &QAction::triggered, this, &UndoHistory::redo);
    auto follow = [](QAction *action, const QString &verb) {
        return [action, verb](const QString &what) {
            action->setText(what.isEmpty() ? verb : verb + QLatin1Char(' ') + what);
        };
    };
    connect(m_stack, &QUndoStack::undoTextChanged, this, follow(m_undo, tr("&Undo")));
    connect(m_stack, &QUndoStack::redoTextChanged, this, follow(m_redo, tr("&Redo")));
    // A change not yet taken as a step can be undone too: the action stays on while one waits.
    connect(m_stack, &QUndoStack::canUndoChanged, this, &UndoHistory::refreshActions);
    connect(m_stack, &QUndoStack::canRedoChanged, this, &UndoHistory::refreshActions);
    refreshActions();
}

UndoHistory::~UndoHistory() = default;

void UndoHistory::watch(const ModbusPort &port)
{
    connect(&port, &ModbusPort::settingsChanged, this, &UndoHistory::changed);
    connect(&port, &ModbusPort::modeSelected, this, &UndoHistory::changed);
}

void UndoHistory::watchTable(const TextTable &table)
{
    onTableChange(table, this, [this] { changed(); });
}

void UndoHistory::changed()
{
    if (m_moving)
        return;
    if (m_holds == 0)
        m_pending->start();
    m_undo->setEnabled(!m_blocked);
}

void UndoHistory::refreshActions()
{
    m_undo->setEnabled(!m_blocked && (m_stack->canUndo() || m_pending->isActive()));
    m_redo->setEnabled(!m_blocked && m_stack->canRedo());
}

void UndoHistory::setBlocked(bool blocked)
{
    m_blocked = blocked;
    refreshActions();
}

bool UndoHistory::followsSavedState() const
{
    // The stack forgets its clean state (-1) when a change replaces the steps undone past it.
    return m_stack->cleanIndex() >= 0 && m_stack->index() >= m_stack->cleanIndex();
}

void UndoHistory::restart()
{
    m_pending->stop();
    m_stack->clear();
    m_current = PortsSnapshot::take(m_ports);
    refreshActions();
}

void UndoHistory::markClean()
{
    recordPending();
    m_stack->setClean();
}

void UndoHistory::recordPending()
{
    if (m_pending->isActive())
        record();
}

void UndoHistory::record()
{
    m_pending->stop();
    PortsSnapshot now = PortsSnapshot::take(m_ports);
    if (now == m_current) {
        // Changed and changed back (a refused cell): nothing to undo.
        refreshActions();
        return;
    }
    PortsSnapshot before = std::exchange(m_current, now);
    m_stack->push(new Change(*this, std::move(before), std::move(now)));
}

void UndoHistory::undo()
{
    if (m_blocked)
        return;
    recordPending();
    m_stack->undo();
}

void UndoHistory::redo()
{
    if (m_blocked)
        return;
    recordPending();
    m_stack->redo();
}

void UndoHistory::moveTo(const PortsSnapshot &state)
{
    // What the restore changes is the step itself, not a new one.
    m_moving = true;
    state.restore(m_ports);
    m_moving = false;
    m_current = state;
}

UndoHistory::Step::Step(UndoHistory &history) : m_history(history)
{
    m_history.recordPending();
    ++m_history.m_holds;
}

UndoHistory::Step::~Step()
{
    if (--m_history.m_holds == 0)
        m_history.record();
}

void addEditMenu(QMenuBar *bar, UndoHistory &history)
{
    const QList<QAction *> menus = bar->actions();
    auto *edit = new QMenu(QObject::tr("&Edit"), bar);
    edit->setObjectName(QStringLiteral("edit"));
    edit->addAction(history.undoAction());
    edit->addAction(history.redoAction());
    bar->insertMenu(menus.value(1), edit);
}
