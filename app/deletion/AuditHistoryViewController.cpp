#include "AuditHistoryViewController.h"

#include "shell/PathBytes.h"
#include "DeletionItems.h"
#include "DestructiveButton.h"
#include "SheetParts.h"
#include "shell/PlainText.h"
#include "shell/ScreenStyle.h"

#include <QAbstractTableModel>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {
struct Column {
    const char* identifier;
    const char* title;
    int width;
};
constexpr std::array<Column, 5> columns{{{"when", "When", 80},
                                         {"action", "Action", 70},
                                         {"size", "Size", 90},
                                         {"path", "Path", 340},
                                         {"result", "Result", 70}}};

QDateTime toDateTime(std::chrono::system_clock::time_point time)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms);
}
} // namespace

// The entries, newest first, one row each.
class AuditHistoryModel : public QAbstractTableModel {
public:
    AuditHistoryModel(QWidget* sheet) : QAbstractTableModel(sheet), m_sheet(sheet) {}

    void setEntries(std::vector<brisklet::AuditLog::Entry> entries)
    {
        beginResetModel();
        m_entries = std::move(entries);
        endResetModel();
    }
    const std::vector<brisklet::AuditLog::Entry>& entries() const { return m_entries; }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(columns.size());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
            return {};
        const Column& column = columns[static_cast<std::size_t>(section)];
        if (role == Qt::TextAlignmentRole) // over the cells' own alignment
            return QVariant::fromValue((utf8Text(column.identifier) == QLatin1String("size") ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        return role == Qt::DisplayRole ? QVariant(utf8Text(column.title)) : QVariant();
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
            return {};
        const brisklet::AuditLog::Entry& entry = m_entries[static_cast<std::size_t>(index.row())];
        const QString column = utf8Text(columns[static_cast<std::size_t>(index.column())].identifier);
        switch (role) {
        case Qt::DisplayRole:
            return AuditHistoryViewController::cellText(entry, column, QDateTime::currentDateTime());
        case Qt::ToolTipRole:
            if (column == QLatin1String("when"))
                return QLocale().toString(toDateTime(entry.timestamp), QLocale::LongFormat);
            if (column == QLatin1String("result"))
                return PlainText::toolTip(AuditHistoryViewController::resultTooltip(entry));
            return PlainText::toolTip(AuditHistoryViewController::cellText(entry, column, QDateTime::currentDateTime()));
        case Qt::FontRole:
            return ScreenStyle::font(11);
        case Qt::ForegroundRole:
            if (column == QLatin1String("path") || (column == QLatin1String("result") && entry.result == "ok"))
                return ScreenStyle::labelColor(m_sheet->palette(), ScreenStyle::LabelLevel::secondary);
            if (column == QLatin1String("result"))
                return DestructiveButton::destructiveColor();
            return {};
        case Qt::TextAlignmentRole:
            if (column == QLatin1String("size"))
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
        }
    }

private:
    QWidget* m_sheet;
    std::vector<brisklet::AuditLog::Entry> m_entries;
};

AuditHistoryViewController::AuditHistoryViewController(std::shared_ptr<brisklet::AuditLog> audit, QWidget* parent)
    : QDialog(parent ? parent->window() : nullptr)
{
    QLabel* title = SheetParts::frameSheet(this, QStringLiteral("Recent Activity"));

    m_model = new AuditHistoryModel(this);
    m_tableView = SheetParts::table(this, m_model, QStringLiteral("Recent activity"), 22);
    m_tableView->setFrameShape(QFrame::StyledPanel);
    m_tableView->setMinimumHeight(240);
    QHeaderView* header = m_tableView->horizontalHeader();
    for (std::size_t i = 0; i < columns.size(); ++i)
        header->resizeSection(static_cast<int>(i), columns[i].width);
    // The longest action would otherwise read "delet…ently"; the path column gives up the room.
    const int actionWidth = QFontMetrics(ScreenStyle::font(11)).horizontalAdvance(QStringLiteral("deleted permanently")) + 16;
    header->resizeSection(1, std::max(columns[1].width, actionWidth));
    header->setSectionResizeMode(3, QHeaderView::Stretch);

    m_emptyLabel = new QLabel(QStringLiteral("Loading…"), this);
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_tints.add(m_emptyLabel, ScreenStyle::LabelLevel::secondary);

    m_stack = new QStackedWidget(this);
    m_stack->setMinimumHeight(240);
    m_stack->addWidget(m_emptyLabel);
    m_stack->addWidget(m_tableView);

    m_doneButton = new QPushButton(QStringLiteral("Done"), this);
    m_doneButton->setDefault(true);
    connect(m_doneButton, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_doneButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 16);
    layout->setSpacing(10);
    layout->addWidget(title);
    layout->addWidget(m_stack, 1);
    layout->addLayout(buttons);

    // "5 min. ago" grows older while the sheet is open.
    auto* tick = new QTimer(this);
    connect(tick, &QTimer::timeout, this, [this] {
        if (m_model->rowCount() > 0)
            emit m_model->dataChanged(m_model->index(0, 0), m_model->index(m_model->rowCount() - 1, 0), {Qt::DisplayRole});
    });
    tick->start(30'000);

    // Waiting for the log's writer and reading a file that only grows are worker jobs.
    std::shared_ptr<brisklet::AuditLog> log = audit ? std::move(audit) : brisklet::AuditLog::shared();
    m_runner.run(
        [log](std::stop_token) {
            log->flush();
            std::vector<brisklet::AuditLog::Entry> entries = log->recentEntries(entryLimit);
            std::reverse(entries.begin(), entries.end());
            return entries;
        },
        [this](std::vector<brisklet::AuditLog::Entry> entries) { show(std::move(entries)); },
        [this](const QString&) { show({}); });
}

AuditHistoryViewController::~AuditHistoryViewController() = default;

const std::vector<brisklet::AuditLog::Entry>& AuditHistoryViewController::entries() const
{
    return m_model->entries();
}

void AuditHistoryViewController::show(std::vector<brisklet::AuditLog::Entry> entries)
{
    m_loaded = true;
    m_model->setEntries(std::move(entries));
    if (m_model->rowCount() == 0) {
        m_emptyLabel->setText(QStringLiteral("No deletions recorded yet."));
        m_stack->setCurrentWidget(m_emptyLabel);
        m_doneButton->setFocus();
    } else {
        m_stack->setCurrentWidget(m_tableView);
        m_tableView->selectionModel()->setCurrentIndex(m_model->index(0, 0), QItemSelectionModel::NoUpdate);
        m_tableView->setFocus();
    }
}

QString AuditHistoryViewController::cellText(const brisklet::AuditLog::Entry& entry, const QString& column,
                                             const QDateTime& now)
{
    if (column == QLatin1String("when"))
        return relativeWhen(toDateTime(entry.timestamp), now);
    if (column == QLatin1String("action"))
        return entry.operation == "purge" ? QStringLiteral("deleted permanently") : utf8Text(entry.operation);
    if (column == QLatin1String("size"))
        return entry.bytes > 0 ? formatBytes(entry.bytes) : QStringLiteral("—");
    if (column == QLatin1String("path"))
        return visibleText(pathFromBytes(entry.path));
    if (column == QLatin1String("result"))
        return utf8Text(entry.result);
    return {};
}

QString AuditHistoryViewController::resultTooltip(const brisklet::AuditLog::Entry& entry)
{
    const QString result = utf8Text(entry.result);
    if (entry.result == "ok")
        return result;
    // Lines written before reasons were kept have none. The reason may name a path: its bytes decode as one.
    return entry.reason.empty() ? QStringLiteral("%1 (no reason was recorded)").arg(result)
                                : visibleText(pathFromBytes(entry.reason));
}

QString AuditHistoryViewController::relativeWhen(const QDateTime& when, const QDateTime& now)
{
    const qint64 seconds = when.secsTo(now);
    const bool past = seconds >= 0;
    const qint64 span = past ? seconds : -seconds;
    if (span < 1)
        return QStringLiteral("now");
    struct Unit {
        qint64 seconds;
        const char* singular;
        const char* plural;
    };
    static const Unit units[] = {{365 * 86400, "yr.", "yr."}, {30 * 86400, "mo.", "mo."}, {7 * 86400, "wk.", "wk."},
                                 {86400, "day", "days"},       {3600, "hr.", "hr."},      {60, "min.", "min."},
                                 {1, "sec.", "sec."}};
    for (const Unit& unit : units) {
        if (span >= unit.seconds) {
            const qint64 count = span / unit.seconds;
            const QString amount = QStringLiteral("%1 %2").arg(count).arg(utf8Text(count == 1 ? unit.singular : unit.plural));
            return past ? QStringLiteral("%1 ago").arg(amount) : QStringLiteral("in %1").arg(amount);
        }
    }
    return QStringLiteral("now");
}

void AuditHistoryViewController::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_tints.apply();
}
