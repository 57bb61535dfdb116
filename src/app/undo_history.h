#pragma once

#include "onewire/aux_port.h"
#include "project/project_file.h"

#include <QList>
#include <QObject>
#include <QStringList>

class QAction;
class QMenuBar;
class QTimer;
class QUndoStack;

// The three ports as they stand at one moment, every cell of their tables included (the
// placeholder rows too): what an undo step goes back to.
struct PortsSnapshot
{
    struct Modbus
    {
        PortMode mode = PortMode::NotUse;
        int speed = -1;
        int parity = -1;
        int bitNumber = -1;
        int stopBit = -1;
        QString slaveAddress;
        QString slaveTimeout;
        QList<QStringList> rows;
        friend bool operator==(const Modbus &, const Modbus &) = default;
    };
    struct Aux
    {
        AuxMode mode = AuxMode::NotUse;
        FieldNetSettings fieldNet;
        QList<QStringList> rows;
        friend bool operator==(const Aux &, const Aux &) = default;
    };
    Modbus uart1;
    Modbus uart2;
    Aux aux;
    friend bool operator==(const PortsSnapshot &, const PortsSnapshot &) = default;

    static PortsSnapshot take(const ProjectPorts &ports);
    // Puts the ports back as they were; what is the same already is left alone, so a table that
    // did not change keeps its selection.
    void restore(const ProjectPorts &ports) const;
    // "UART 1", "UART 1 and 1-wire": the ports that differ from other.
    QString portsChangedFrom(const PortsSnapshot &other) const;
};

// Undo and Redo over everything the ports hold: a cell, a row, a mode, a list, a box. All that
// changes before the event loop comes back (an edit, a dialog's OK, a load, an upload, an import)
// is one step.
class UndoHistory final : public QObject
{
    Q_OBJECT
public:
    UndoHistory(const ProjectPorts &ports, QObject *parent = nullptr);
    ~UndoHistory() override;

    QUndoStack &stack() const { return *m_stack; }
    QAction *undoAction() const { return m_undo; }
    QAction *redoAction() const { return m_redo; }

    // The ports as they are now are where the history begins (after start-up).
    void restart();
    // The ports as they are now are what the project file holds.
    void markClean();
    // A change still waiting for the event loop is taken as a step now.
    void recordPending();
    void undo();
    void redo();
    // While a transfer runs the ports are read and written by it: no undo or redo meanwhile.
    void setBlocked(bool blocked);
    // Whether the ports shown descend from what the project file was last loaded or saved with:
    // false once undo went back past that (the project before a load), or after such an undo
    // was followed by another change.
    bool followsSavedState() const;

    // While one is alive, what changes makes a single step, however often the event loop comes
    // back in between (the three uploads of "Upload from PLC").
    class Step
    {
    public:
        explicit Step(UndoHistory &history);
        ~Step();
        Step(const Step &) = delete;
        Step &operator=(const Step &) = delete;

    private:
        UndoHistory &m_history;
    };

private:
    void watch(const ModbusPort &port);
    void watchTable(const TextTable &table);
    void changed();
    void record();
    void moveTo(const PortsSnapshot &state);
    void refreshActions();

    class Change;

    ProjectPorts m_ports;
    QUndoStack *m_stack;
    QTimer *m_pending;
    QAction *m_undo;
    QAction *m_redo;
    PortsSnapshot m_current;
    bool m_moving = false;
    bool m_blocked = false;
    int m_holds = 0;
};

// "&Edit" with Undo and Redo, after the first menu of the bar.
void addEditMenu(QMenuBar *bar, UndoHistory &history);
