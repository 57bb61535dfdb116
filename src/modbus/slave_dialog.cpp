#include "modbus/slave_dialog.h"

#include "common/prompts.h"
#include "modbus/modbus_port.h"
#include "widgets/controls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SlaveDialog::SlaveDialog(const QString &name, const QString &caption, const SlaveForm &form,
                         Prompts &prompts, QWidget *parent)
    : QDialog(parent), m_prompts(prompts)
{
    setObjectName(name);
    setWindowTitle(caption);
    setModal(true);

    auto *frame = new QGroupBox(QStringLiteral("Slave setting"), this);
    auto *grid = new QGridLayout(frame);
    int row = 0;
    auto addField = [&](QWidget *field, const char *objectName, const QString &label) {
        field->setObjectName(QLatin1String(objectName));
        grid->addWidget(labelFor(field, label), row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    };
    auto lineEdit = [&](const QString &text) {
        auto *edit = new QLineEdit(text, frame);
        edit->setMinimumWidth(120);
        return edit;
    };

    addField(m_address = lineEdit(form.address), "mb_address",
             QStringLiteral("Slave modbus address"));
    addField(m_numWord = lineEdit(form.numWord), "mb_slave_count",
             QStringLiteral("Word/Coil  number to read/write-slave part"));
    m_function = new QComboBox(frame);
    m_function->addItems(PortLists::functions());
    m_function->setCurrentIndex(form.function);
    addField(m_function, "mb_func", QStringLiteral("Function type"));
    addField(m_slaveNumber = lineEdit(form.slaveNumber), "T_slave", QStringLiteral("Slave number"));
    m_slaveNumber->setReadOnly(true);
    m_slaveNumber->setFocusPolicy(Qt::NoFocus);
    addField(m_addressMaster = lineEdit(form.addressMaster), "mb_master_addr",
             QStringLiteral("Master address to place Word/Coil from slave"));
    addField(m_timeout = lineEdit(form.timeout), "mb_timeout", QStringLiteral("Timeout,[msec]"));
    addField(m_addressSlave = lineEdit(form.addressSlave), "mb_slave_addr",
             QStringLiteral("Slave address point start read/write"));

    QPushButton *ok = makeButton(this, QStringLiteral("Command2"), QStringLiteral("OK"));
    connect(ok, &QPushButton::clicked, this, &SlaveDialog::onOk);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(dialogButtons(
        this, ok, makeButton(this, QStringLiteral("Command1"), QStringLiteral("Close"))));
}

SlaveForm SlaveDialog::form() const
{
    SlaveForm form;
    form.address = m_address->text();
    form.numWord = m_numWord->text();
    form.function = m_function->currentIndex();
    form.slaveNumber = m_slaveNumber->text();
    form.addressMaster = m_addressMaster->text();
    form.timeout = m_timeout->text();
    form.addressSlave = m_addressSlave->text();
    return form;
}

void SlaveDialog::onOk()
{
    const SlaveFormCheck check = checkSlaveForm(form());
    if (!check.accepted()) {
        m_prompts.message(check.wrongValue, QStringLiteral("Error in data"));
        return;
    }
    m_cells = check.cells;
    accept();
}
