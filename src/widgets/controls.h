#pragma once

#include <QColor>
#include <QString>
#include <QStyledItemDelegate>

#include <functional>

class QBoxLayout;
class QButtonGroup;
class QComboBox;
class QDialog;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Small makers for the controls every tab has: each control carries its control name as its
// object name, and an input carries a name for screen readers.

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption);
// A text box without a label beside it: the accessible name says what it holds.
QLineEdit *makeBox(QWidget *parent, const QString &name, const QString &accessibleName,
                   const QString &text = {});
QComboBox *makeList(QWidget *parent, const QString &name, const QStringList &items);
// The row of buttons that end a dialog, at its right: ok is the default button (the caller
// connects it), cancel rejects the dialog. Other widgets may be inserted before the stretch.
QHBoxLayout *dialogButtons(QDialog *dialog, QPushButton *ok, QPushButton *cancel);

// An option-button array: buttons name_0, name_1 ... with the captions, added to layout one after
// the other. Whatever checks an option (mouse, keyboard, a screen reader's toggle action, code)
// calls checked with its index, once per change.
QButtonGroup *makeOptions(QWidget *parent, QBoxLayout *layout, const QString &name,
                          const QStringList &captions, std::function<void(int index)> checked);

// The label beside a control, which screen readers and the label's access key lead to it.
QLabel *labelFor(QWidget *control, const QString &text);

// Paints the first column of a grid like its header: it numbers or names the rows, it is not data.
class FixedColumnDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const final;
};

// The rule a cell breaks, as a sentence ("Address: a whole number from 0 to 248"), or an empty
// text for a cell a write would take.
using CellRule = std::function<QString(const QModelIndex &)>;

// Paints a cell that breaks its rule with a red background and gives the rule as its tooltip, so
// a wrong value shows before a write refuses it; a cell that breaks none but is warned about (a
// finding of the configuration check) is painted amber with the warning as its tooltip; any other
// cell may have a hint as its tooltip (what its value means). The first column may be painted as
// FixedColumnDelegate paints it.
class CellRuleDelegate final : public QStyledItemDelegate
{
public:
    enum class FirstColumn { Data, Fixed };
    CellRuleDelegate(QObject *parent, CellRule rule, FirstColumn first, CellRule hint = {});

    // The warnings about a cell, one a line; empty for none.
    void setWarnings(CellRule warnings) { m_warnings = std::move(warnings); }
    enum class Mark { None, Error, Warning };
    Mark markOf(const QModelIndex &index) const;
    QString toolTipOf(const QModelIndex &index) const;
    static QColor colourOf(Mark mark);

    bool helpEvent(class QHelpEvent *event, class QAbstractItemView *view,
                   const QStyleOptionViewItem &option, const QModelIndex &index) final;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const final;

private:
    CellRule m_rule;
    FirstColumn m_first;
    CellRule m_hint;
    CellRule m_warnings;
};
