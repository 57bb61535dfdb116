#pragma once

#include <QWidget>

class Clock;
class ProductionRun;
class Prompts;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

// The window "Production": one project written, with verify, to every checked port of the
// station at once, a row per port with its progress, state and time, and each unit recorded in
// the log. Non-modal: the main window stays usable beside it, a port in use by either being
// refused to the other.
class ProductionWindow final : public QWidget
{
    Q_OBJECT
public:
    enum Column { PortColumn, LineColumn, DeviceColumn, ProgressColumn, StateColumn, TimeColumn };

    ProductionWindow(const QString &iniPath, Clock &clock, Prompts &prompts,
                     QWidget *parent = nullptr);
    ~ProductionWindow() override;

    ProductionRun &run() const { return *m_run; }
    // The main window's project: its file, and whether it has changes that file lacks.
    void setOpenProject(const QString &file, bool changed);
    // The project to write.
    void setProject(const QString &file);
    void setVerify(bool verify);
    // Adds a port as the Add box does; false (and a message) when the text names none, or a port
    // listed already.
    bool addPort(const QString &text);
    // The serial devices and set.ini's COM numbers offered again.
    void refreshPorts();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showRows();
    void showRow(int row);
    void showProject();
    void showRunning(bool running);
    void showTimes();
    void keepPorts();
    void itemEdited(int row, int column);
    void chooseProject();
    void chooseLog();
    void removeChosenPort();

    QString m_iniPath;
    Prompts &m_prompts;
    ProductionRun *m_run;
    QString m_openProject;
    bool m_openProjectChanged = false;
    bool m_showing = false; // the table is being filled, not edited

    QLineEdit *m_project;
    QPushButton *m_useOpen;
    QLabel *m_sha;
    QLabel *m_projectNote;
    QLineEdit *m_log;
    QTableWidget *m_ports;
    QLineEdit *m_add;
    QCheckBox *m_verify;
    QPushButton *m_writeAll;
    QPushButton *m_stop;
    QPushButton *m_retry;
    QLabel *m_summary;
    QTimer *m_clockTick;
};
