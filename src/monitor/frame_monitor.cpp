#include "monitor/frame_monitor.h"

#include "common/clock.h"
#include "common/command.h"
#include "common/errors.h"
#include "common/prompts.h"
#include "common/whole_file.h"
#include "link/frame_tap.h"
#include "monitor/frame_log_model.h"
#include "widgets/controls.h"

#include <QAction>
#include <QBoxLayout>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>

#include <algorithm>

namespace {

// Separators in bold on the header's colour, a frame whose sum is wrong in red.
class FrameRowDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const final
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto kind = FrameLogModel::RowKind(index.data(FrameLogModel::RowKindRole).toInt());
        if (kind == FrameLogModel::RowKind::Separator) {
            option->font.setBold(true);
            option->backgroundBrush = option->palette.button();
        } else if (kind == FrameLogModel::RowKind::Note) {
            option->font.setItalic(true);
        }
        if (index.column() == FrameLogModel::FrameColumn &&
            index.data(FrameLogModel::SumWrongRole).toBool()) {
            option->palette.setColor(QPalette::Text, Qt::red);
            option->palette.setColor(QPalette::HighlightedText, Qt::red);
        }
    }
};

} // namespace

FrameMonitor::FrameMonitor(Prompts &prompts, QWidget *parent)
    : QWidget(parent, Qt::Window), m_prompts(prompts),
      m_log(new FrameLogModel(appClock().nowMs(), FrameLogModel::DefaultCapacity, this)),
      m_shown(new QSortFilterProxyModel(this)), m_frames(new QTableView(this)),
      m_pause(makeButton(this, QStringLiteral("Pause"), QStringLiteral("&Pause"))),
      m_copy(makeButton(this, QStringLiteral("Copy"), QStringLiteral("C&opy"))),
      m_filter(new QLineEdit(this)), m_counts(new QLabel(this)), m_scroll(new QTimer(this))
{
    setObjectName(QStringLiteral("FrameMonitor"));
    setWindowTitle(QStringLiteral("Frame monitor"));
    resize(1000, 560);

    m_shown->setSourceModel(m_log);
    m_shown->setFilterKeyColumn(-1);
    m_shown->setFilterCaseSensitivity(Qt::CaseInsensitive);

    m_frames->setObjectName(QStringLiteral("Frames"));
    m_frames->setAccessibleName(QStringLiteral("Frames"));
    m_frames->setModel(m_shown);
    m_frames->setItemDelegate(new FrameRowDelegate(m_frames));
    m_frames->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_frames->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_frames->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_frames->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_frames->setWordWrap(false);
    m_frames->setTextElideMode(Qt::ElideRight);
    m_frames->verticalHeader()->hide();
    m_frames->verticalHeader()->setDefaultSectionSize(m_frames->fontMetrics().height() + 4);
    m_frames->horizontalHeader()->setStretchLastSection(true);
    m_frames->setColumnWidth(FrameLogModel::TimeColumn, 72);
    m_frames->setColumnWidth(FrameLogModel::DirectionColumn, 36);
    m_frames->setColumnWidth(FrameLogModel::FrameColumn, 340);

    m_pause->setCheckable(true);
    QPushButton *clear = makeButton(this, QStringLiteral("Clear"), QStringLiteral("C&lear"));
    QPushButton *save = makeButton(this, QStringLiteral("Save"), QStringLiteral("&Save..."));
    m_filter->setObjectName(QStringLiteral("Filter"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setPlaceholderText(QStringLiteral("rows containing this text"));
    m_counts->setObjectName(QStringLiteral("Counts"));
    m_copy->setEnabled(false);

    auto *bar = new QHBoxLayout;
    for (QPushButton *b : {m_pause, clear, m_copy, save})
        bar->addWidget(b);
    bar->addSpacing(12);
    bar->addWidget(labelFor(m_filter, QStringLiteral("&Filter:")));
    bar->addWidget(m_filter, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_frames, 1);
    layout->addWidget(m_counts);
    setTabOrder(m_filter, m_frames);

    auto *copyKey = new QAction(this);
    copyKey->setShortcut(QKeySequence::Copy);
    copyKey->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_frames->addAction(copyKey);
    auto *findKey = new QAction(this);
    findKey->setShortcut(QKeySequence::Find);
    findKey->setShortcutContext(Qt::WindowShortcut);
    addAction(findKey);

    connect(copyKey, &QAction::triggered, this, &FrameMonitor::copySelection);
    connect(findKey, &QAction::triggered, this, [this] { m_filter->setFocus(); });
    connect(m_copy, &QPushButton::clicked, this, &FrameMonitor::copySelection);
    connect(save, &QPushButton::clicked, this, &FrameMonitor::saveLog);
    connect(clear, &QPushButton::clicked, m_log, &FrameLogModel::clear);
    connect(m_pause, &QPushButton::toggled, m_log, &FrameLogModel::setPaused);
    connect(m_filter, &QLineEdit::textChanged, m_shown,
            &QSortFilterProxyModel::setFilterFixedString);
    connect(m_log, &FrameLogModel::countsChanged, this, &FrameMonitor::showCounts);
    connect(m_frames->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_copy->setEnabled(m_frames->selectionModel()->hasSelection()); });
    // New rows are followed while the view shows the end; scrolled back, it stays put.
    connect(m_shown, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar *bar = m_frames->verticalScrollBar();
        m_followEnd = m_scroll->isActive() || bar->value() == bar->maximum();
    });
    // Once per turn of the event loop, however many rows came: scrolling lays the view out.
    m_scroll->setSingleShot(true);
    m_scroll->setInterval(0);
    connect(m_scroll, &QTimer::timeout, m_frames, &QTableView::scrollToBottom);
    connect(m_shown, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_followEnd)
            m_scroll->start();
    });
    showCounts();
}

void FrameMonitor::open()
{
    if (!m_listening)
        m_listening =
            connect(&FrameTap::instance(), &FrameTap::happened, m_log, &FrameLogModel::take);
    show();
    raise();
    activateWindow();
}

void FrameMonitor::closeEvent(QCloseEvent *event)
{
    disconnect(m_listening);
    m_listening = {};
    QWidget::closeEvent(event);
}

void FrameMonitor::showCounts()
{
    QString text = QStringLiteral("%1 frames").arg(m_log->frames());
    if (m_log->notShown() > 0)
        text += QStringLiteral(", %1 not shown while paused").arg(m_log->notShown());
    if (m_log->dropped() > 0)
        text += QStringLiteral(", %1 earlier rows dropped").arg(m_log->dropped());
    m_counts->setText(text);
}

void FrameMonitor::copySelection()
{
    QList<int> rows;
    for (const QModelIndex &index : m_frames->selectionModel()->selectedRows())
        rows << m_shown->mapToSource(index).row();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (const int row : rows)
        lines << m_log->rowText(row);
    QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void FrameMonitor::saveLog()
{
    runCommand(m_prompts, [this] {
        FileChoice choice;
        choice.title = QStringLiteral("Save frame log");
        choice.filters = {QStringLiteral("Text (*.txt)"), QStringLiteral("All file (*.*)")};
        choice.defaultSuffix = QStringLiteral("txt");
        choice.startFolder = QDir::homePath();
        if (const auto path = m_prompts.chooseFileToSave(choice))
            writeWholeFile(*path, m_log->traceText());
    });
}

QAction *addFrameMonitorItem(QMenu *menu, QWidget *window, Prompts &prompts)
{
    QAction *item = menu->addAction(QStringLiteral("Frame monitor"));
    item->setObjectName(QStringLiteral("Frame_monitor"));
    QObject::connect(item, &QAction::triggered, window, [window, &prompts] {
        auto *monitor = window->findChild<FrameMonitor *>(QString(), Qt::FindDirectChildrenOnly);
        if (!monitor)
            monitor = new FrameMonitor(prompts, window);
        monitor->open();
    });
    return item;
}
