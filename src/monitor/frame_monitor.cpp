#include "monitor/frame_monitor.h"

#include "common/clock.h"
#include "common/command.h"
#include "common/errors.h"
#include "common/prompts.h"
#include "common/whole_file.h"
#include "link/frame_tap.h"
#include "link/plc_link.h"
#include "monitor/frame_log_model.h"
#include "widgets/controls.h"
#include "widgets/window_placement.h"

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QClipboard>
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

FrameMonitor::FrameMonitor(LinkContext context, Prompts &prompts, QWidget *parent)
    : QWidget(parent, Qt::Window), m_prompts(prompts),
      m_log(new FrameLogModel(context.clock.nowMs(), FrameLogModel::DefaultCapacity, this)),
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
    auto *clockTimes = new QCheckBox(tr("Clock &time"), this);
    clockTimes->setObjectName(QStringLiteral("ClockTime"));
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
    bar->addWidget(clockTimes);
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
    connect(clockTimes, &QCheckBox::toggled, m_log, &FrameLogModel::setClockTimes);
    connect(m_filter, &QLineEdit::textChanged, m_shown,
            &QSortFilterProxyModel::setFilterFixedString);
    connect(m_filter, &QLineEdit::textChanged, this, &FrameMonitor::showCounts);
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
    connect(m_shown, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                m_shownFrames += shownFramesIn(first, last);
                if (m_followEnd)
                    m_scroll->start();
                showCounts();
            });
    // The count of the frames the filter keeps follows every row that comes or goes.
    connect(m_shown, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) {
                m_shownFrames -= shownFramesIn(first, last);
            });
    connect(m_shown, &QAbstractItemModel::rowsRemoved, this, &FrameMonitor::showCounts);
    const auto recount = [this] {
        m_shownFrames = shownFramesIn(0, m_shown->rowCount() - 1);
        showCounts();
    };
    connect(m_shown, &QAbstractItemModel::modelReset, this, recount);
    connect(m_shown, &QAbstractItemModel::layoutChanged, this, recount);
    connect(&context.tap, &FrameTap::happened, m_log, &FrameLogModel::take);
    showCounts();
}

void FrameMonitor::open()
{
    showBeside(this, parentWidget());
}

qint64 FrameMonitor::shownFramesIn(int first, int last) const
{
    qint64 count = 0;
    for (int row = first; row <= last; ++row) {
        const auto kind =
            FrameLogModel::RowKind(m_shown->index(row, 0).data(FrameLogModel::RowKindRole).toInt());
        count += FrameLogModel::isFrame(kind) ? 1 : 0;
    }
    return count;
}

void FrameMonitor::showCounts()
{
    QString text = m_filter->text().isEmpty()
                       ? QStringLiteral("%1 frames").arg(m_log->frames())
                       : tr("%1 of %2 frames shown").arg(m_shownFrames).arg(m_log->frames());
    if (m_log->notShown() > 0)
        text += tr(", %1 held while paused").arg(m_log->notShown());
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
        choice.filters = {QStringLiteral("Tab-separated text (*.txt *.tsv)"),
                          QStringLiteral("All file (*.*)")};
        choice.defaultSuffix = QStringLiteral("txt");
        choice.startFolder = QDir::homePath();
        if (const auto path = m_prompts.chooseFileToSave(choice))
            writeWholeFile(*path, m_log->tableText());
    });
}

QAction *addFrameMonitorItem(QMenu *menu, QWidget *window, LinkContext context, Prompts &prompts)
{
    QAction *item = menu->addAction(QStringLiteral("Frame monitor"));
    item->setObjectName(QStringLiteral("Frame_monitor"));
    auto *monitor = new FrameMonitor(context, prompts, window);
    QObject::connect(item, &QAction::triggered, monitor, &FrameMonitor::open);
    return item;
}
