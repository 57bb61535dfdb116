#pragma once

#include "transfer/port_compare.h"

#include <QDialog>

// "Compare with PLC"'s result when the PLC holds something else than the window: one row per
// difference (port, slot, field, in the window, in the PLC). It only shows; nothing changes. It
// stays open beside the window; a double-click (or Enter) on a difference asks to go to its cell.
class CompareDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit CompareDialog(const QList<PortDifference> &differences, QWidget *parent = nullptr);

Q_SIGNALS:
    void differenceChosen(const PortDifference &difference);
};
