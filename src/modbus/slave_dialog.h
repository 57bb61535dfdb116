#pragma once

#include "modbus/slave_form.h"

#include <QDialog>
#include <QStringList>

class Prompts;
class QComboBox;
class QLineEdit;

// The modal slave add/modify dialog ("Slave" of UART 1, "Slave2" of UART 2): shows a SlaveForm,
// and on "OK" checks it, reporting the first wrong field, or closes with the cells to write.
class SlaveDialog final : public QDialog
{
    Q_OBJECT
public:
    SlaveDialog(const QString &name, const QString &caption, const SlaveForm &form,
                Prompts &prompts, QWidget *parent = nullptr);

    // The fields as they stand.
    SlaveForm form() const;
    // After "OK": the six cell texts Address to Timeout.
    const QStringList &cells() const { return m_cells; }

private:
    void onOk();

    Prompts &m_prompts;
    QLineEdit *m_address;       // mb_address
    QLineEdit *m_numWord;       // mb_slave_count
    QComboBox *m_function;      // mb_func
    QLineEdit *m_slaveNumber;   // T_slave
    QLineEdit *m_addressMaster; // mb_master_addr
    QLineEdit *m_timeout;       // mb_timeout
    QLineEdit *m_addressSlave;  // mb_slave_addr
    QStringList m_cells;
};
