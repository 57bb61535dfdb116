#include "onewire/sensor_dialog.h"

#include "onewire/sensor_table.h"
#include "widgets/controls.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SensorDialog::SensorDialog(SensorTable &table, Purpose purpose, int row, QWidget *parent)
    : QDialog(parent), m_table(table), m_purpose(purpose), m_row(row)
{
    setObjectName(QStringLiteral("Slave_1wire"));
    setWindowTitle(QStringLiteral("Add/modify 1-wire slave"));
    setModal(true);

    // The captions as the dialog shows them: two of them without their space.
    static const char *const captions[8] = {"Byte 0", "Byte1",  "Byte 2", "Byte3",
                                            "Byte 4", "Byte 5", "Byte 6", "Byte 7"};
    auto *bytes = new QGridLayout;
    for (int k = 0; k < 8; ++k) {
        auto *label = new QLabel(QLatin1String(captions[k]), this);
        auto *box = new QLineEdit(QStringLiteral("00"), this);
        box->setObjectName(QStringLiteral("Text1_%1").arg(k));
        box->setAlignment(Qt::AlignCenter);
        box->setMaximumWidth(56);
        label->setBuddy(box);
        label->setAlignment(Qt::AlignCenter);
        bytes->addWidget(label, 0, k);
        bytes->addWidget(box, 1, k);
        m_bytes[size_t(k)] = box;
    }

    m_address = new QLineEdit(this);
    m_address->setObjectName(QStringLiteral("Text2"));
    m_address->setMaximumWidth(100);
    QLabel *addressLabel = labelFor(m_address, QStringLiteral("Address"));

    QPushButton *ok = makeButton(this, QStringLiteral("Command2"), QStringLiteral("Add/modify"));
    connect(ok, &QPushButton::clicked, this, &SensorDialog::addOrModify);
    QHBoxLayout *bottom = dialogButtons(
        this, ok, makeButton(this, QStringLiteral("Command1"), QStringLiteral("Cancel")));
    bottom->insertWidget(0, addressLabel);
    bottom->insertWidget(1, m_address);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bytes);
    layout->addLayout(bottom);

    if (m_purpose == Purpose::Add) {
        m_address->setText(defaultRegisterText(m_table, m_row));
    } else {
        const SensorRow current = m_table.sensor(m_row);
        for (int k = 0; k < 8; ++k)
            m_bytes[size_t(k)]->setText(current.rom[size_t(k)]);
        m_address->setText(current.reg);
    }
}

void SensorDialog::addOrModify()
{
    SensorRow sensor;
    for (int k = 0; k < 8; ++k)
        sensor.rom[size_t(k)] = m_bytes[size_t(k)]->text();
    sensor.reg = m_address->text();
    if (m_purpose == Purpose::Add)
        m_table.addSensor(sensor);
    else
        m_table.setSensor(m_row, sensor);
    accept();
}
