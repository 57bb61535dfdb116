#pragma once

#include <QDialog>

#include <array>

class QLineEdit;
class SensorTable;

// "Slave_1wire": adds a sensor into the placeholder row of the sensor table, or overwrites the
// selected row, with the texts as typed. It keeps nothing between openings.
class SensorDialog final : public QDialog
{
    Q_OBJECT
public:
    // The value of "modify": 1 adds, 2 modifies.
    enum class Purpose { Add = 1, Modify = 2 };

    // row: the selected row ("Grid1_index"); for Modify it must be a sensor or the placeholder.
    SensorDialog(SensorTable &table, Purpose purpose, int row, QWidget *parent = nullptr);

    QLineEdit *byteBox(int k) const { return m_bytes[size_t(k)]; }
    QLineEdit *addressBox() const { return m_address; }

private:
    void addOrModify();

    SensorTable &m_table;
    Purpose m_purpose;
    int m_row;
    std::array<QLineEdit *, 8> m_bytes{};
    QLineEdit *m_address = nullptr;
};
