#include "widgets/controls.h"

#include <QAbstractItemView>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolTip>

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

QLineEdit *makeBox(QWidget *parent, const QString &name, const QString &accessibleName,
                   const QString &text)
{
    auto *box = new QLineEdit(text, parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    return box;
}

QComboBox *makeList(QWidget *parent, const QString &name, const QStringList &items)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    return list;
}

QHBoxLayout *dialogButtons(QDialog *dialog, QPushButton *ok, QPushButton *cancel)
{
    ok->setDefault(true);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

QButtonGroup *makeOptions(QWidget *parent, QBoxLayout *layout, const QString &name,
                          const QStringList &captions, std::function<void(int index)> checked)
{
    auto *group = new QButtonGroup(parent);
    group->setObjectName(name);
    for (int i = 0; i < captions.size(); ++i) {
        auto *option = new QRadioButton(captions[i], parent);
        option->setObjectName(QStringLiteral("%1_%2").arg(name).arg(i));
        group->addButton(option, i);
        layout->addWidget(option);
    }
    QObject::connect(group, &QButtonGroup::idToggled, group,
                     [checked = std::move(checked)](int id, bool on) {
                         if (on)
                             checked(id);
                     });
    return group;
}

QLabel *labelFor(QWidget *control, const QString &text)
{
    auto *label = new QLabel(text, control->parentWidget());
    label->setBuddy(control);
    return label;
}

namespace {
void paintAsHeader(QStyleOptionViewItem *option)
{
    option->backgroundBrush = option->palette.button();
    option->palette.setBrush(QPalette::Text, option->palette.buttonText());
}
} // namespace

void FixedColumnDelegate::initStyleOption(QStyleOptionViewItem *option,
                                          const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() == 0)
        paintAsHeader(option);
}

CellRuleDelegate::CellRuleDelegate(QObject *parent, CellRule rule, FirstColumn first, CellRule hint)
    : QStyledItemDelegate(parent), m_rule(std::move(rule)), m_first(first), m_hint(std::move(hint))
{}

CellRuleDelegate::Mark CellRuleDelegate::markOf(const QModelIndex &index) const
{
    if (index.column() == 0 && m_first == FirstColumn::Fixed)
        return Mark::None;
    if (!m_rule(index).isEmpty())
        return Mark::Error;
    if (m_warnings && !m_warnings(index).isEmpty())
        return Mark::Warning;
    return Mark::None;
}

QColor CellRuleDelegate::colourOf(Mark mark)
{
    switch (mark) {
    case Mark::Error:
        return QColor(0xff, 0xb0, 0xb0);
    case Mark::Warning:
        return QColor(0xff, 0xd8, 0x80);
    case Mark::None:
        break;
    }
    return {};
}

QString CellRuleDelegate::toolTipOf(const QModelIndex &index) const
{
    switch (markOf(index)) {
    case Mark::Error:
        return m_rule(index);
    case Mark::Warning: {
        // What the value means still helps to see why it is warned about.
        const QString hint = m_hint ? m_hint(index) : QString();
        return m_warnings(index) + (hint.isEmpty() ? QString() : QLatin1Char('\n') + hint);
    }
    case Mark::None:
        break;
    }
    return m_hint ? m_hint(index) : QString();
}

void CellRuleDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() == 0 && m_first == FirstColumn::Fixed) {
        paintAsHeader(option);
        return;
    }
    const Mark mark = markOf(index);
    if (mark != Mark::None) {
        option->backgroundBrush = colourOf(mark);
        option->palette.setColor(QPalette::Text, Qt::black);
    }
}

bool CellRuleDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                 const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() == QEvent::ToolTip) {
        const QString tip = toolTipOf(index);
        if (!tip.isEmpty()) {
            QToolTip::showText(event->globalPos(), tip, view);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
