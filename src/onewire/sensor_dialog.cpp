#include "onewire/sensor_dialog.h"

#include "onewire/sensor_table.h"
#include "widgets/controls.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <QValidator>

namespace {

// A ROM code pasted whole: 16 hex digits, optionally grouped by blanks, colons or dashes.
QString wholeRomCode(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("[\\s:-]")));
    static const QRegularExpression code(QStringLiteral("^[0-9A-Fa-f]{16}$"));
    return code.match(text).hasMatch() ? text : QString();
}

// A ROM byte box takes at most two hex digits; the first box also takes a whole ROM code, which
// the dialog then spreads over the eight boxes.
class RomByteValidator final : public QValidator
{
public:
    RomByteValidator(bool takesWholeCode, QObject *parent)
        : QValidator(parent), m_wholeCode(takesWholeCode)
    {}
    State validate(QString &input, int &) const final
    {
        static const QRegularExpression byte(QStringLiteral("^[0-9A-Fa-f]{0,2}$"));
        if (byte.match(input).hasMatch())
            return Acceptable;
        return m_wholeCode && !wholeRomCode(input).isEmpty() ? Acceptable : Invalid;
    }

private:
    bool m_wholeCode;
};

} // namespace

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
        box->setValidator(new RomByteValidator(k == 0, box));
        label->setBuddy(box);
        label->setAlignment(Qt::AlignCenter);
        bytes->addWidget(label, 0, k);
        bytes->addWidget(box, 1, k);
        m_bytes[size_t(k)] = box;
    }

    connect(m_bytes[0], &QLineEdit::textEdited, this, [this](const QString &text) {
        const QString code = wholeRomCode(text);
        for (int k = 0; k < 8 && !code.isEmpty(); ++k)
            m_bytes[size_t(k)]->setText(code.mid(2 * k, 2).toUpper());
    });

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
