#include "app/compare_dialog.h"

#include "widgets/controls.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CompareDialog::CompareDialog(const QList<PortDifference> &differences, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("compareDialog"));
    setWindowTitle(QStringLiteral("Compare with PLC"));

    auto *table = new QTableWidget(int(differences.size()), 5, this);
    table->setObjectName(QStringLiteral("differences"));
    table->setHorizontalHeaderLabels({QStringLiteral("Port"), QStringLiteral("Slot"),
                                      QStringLiteral("Field"), QStringLiteral("In the window"),
                                      QStringLiteral("In the PLC")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < differences.size(); ++row) {
        const PortDifference &d = differences[row];
        const QString slot = d.slot > 0 ? QString::number(d.slot) : QString();
        const QString cells[] = {d.port, slot, d.field, d.ours, d.plc};
        for (int c = 0; c < 5; ++c)
            table->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
    table->resizeColumnsToContents();
    connect(table, &QAbstractItemView::activated, this, [this, differences](const QModelIndex &i) {
        Q_EMIT differenceChosen(differences.value(i.row()));
    });

    auto *heading =
        new QLabel(QStringLiteral("The PLC holds %1 setting(s) that differ from the window:")
                       .arg(differences.size()),
                   this);
    heading->setBuddy(table);
    QPushButton *close = makeButton(this, QStringLiteral("closeCompare"), QStringLiteral("Close"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    setAttribute(Qt::WA_DeleteOnClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(table, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    // Enter goes to the chosen difference; Esc closes.
    close->setAutoDefault(false);
    resize(640, 360);
}
