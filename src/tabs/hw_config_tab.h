#pragma once

#include "io/io_table.h"
#include "tabs/main_tab.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTableView;

// The "HW config" tab: the input-output table with its drop-down editor, and the general service
// commands of the PLC (restart, firmware update).
class HwConfigTab final : public MainTab
{
    Q_OBJECT
public:
    explicit HwConfigTab(const TabContext &context, QWidget *parent = nullptr);

    // The IO table's header line and 21 point rows, and the drop-down list, prepared and hidden.
    void startUp() final;

    IoTable &ioTable() { return m_ioTable; }
    // The one folder the firmware updater is looked for in ("update/update" there); unless set,
    // the program's part folders.
    void setProgramFolder(const QString &folder) { m_programFolder = folder; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) final;

private:
    void buildIoFrame();
    void buildGeneralFrame();
    // The firmware updater's field under the update button: its path is the user's to set.
    QLayout *buildUpdaterField();
    void showUpdater();
    QStringList updaterFolders() const;
    // "Restart PLC" and "Start update firmware": the status bar tells how they ended.
    QCoro::Task<> restartPlcCommand();
    QCoro::Task<> startFirmwareUpdateCommand();
    // Shows the list over the Function cell of the clicked or activated row, if it is a point.
    void onCellClicked(const QModelIndex &index);
    void onListChosen(int choice);
    void placeList();
    void hideList();

    IoTable m_ioTable;
    QString m_programFolder;
    QGroupBox *m_ioFrame;         // Frame5
    QGroupBox *m_generalFrame;    // Frame4
    QTableView *m_grid = nullptr; // MSFlexGrid1
    QComboBox *m_list = nullptr;  // Combo1
    QLineEdit *m_updater = nullptr;
    // The point the list was shown for; -1 while it is hidden.
    int m_listPoint = -1;
};
