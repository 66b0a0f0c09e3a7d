#include "TrashFlowHostScreen.h"

#include "shell/PathBytes.h"
#include "AuditHistoryViewController.h"
#include "SheetParts.h"
#include "shell/PlainText.h"
#include "shell/ScreenStyle.h"
#include "TrashFlowController.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <sys/stat.h>

// The items still on screen: name, size, folder.
class CandidateListModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setItems(QList<TrashCandidate> items)
    {
        beginResetModel();
        m_items = std::move(items);
        endResetModel();
    }
    const QList<TrashCandidate>& items() const { return m_items; }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : static_cast<int>(m_items.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
            return QVariant::fromValue((section == 1 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return section == 0 ? QStringLiteral("Name") : section == 1 ? QStringLiteral("Size") : QStringLiteral("Where");
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_items.size())
            return {};
        const TrashCandidate& item = m_items.at(index.row());
        if (role == Qt::DisplayRole) {
            if (index.column() == 0)
                return visibleText(pathName(item.path));
            return index.column() == 1 ? formatBytes(item.sizeBytes) : visibleText(pathFolder(item.path));
        }
        if (role == Qt::TextAlignmentRole && index.column() == 1)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::ToolTipRole)
            return PlainText::toolTip(visibleText(item.path));
        return {};
    }

private:
    QList<TrashCandidate> m_items;
};

namespace {
bool somethingAt(const QString& path)
{
    struct stat info {};
    return ::lstat(pathBytes(path).c_str(), &info) == 0;
}
} // namespace

TrashFlowHostScreen::TrashFlowHostScreen(std::shared_ptr<brisklet::AuditLog> audit, QWidget* parent)
    : QWidget(parent), m_audit(std::move(audit))
{
    m_model = new CandidateListModel(this);
    m_tableView = SheetParts::table(this, m_model, QStringLiteral("Items"));
    m_tableView->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tableView->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setAccessibleName(QStringLiteral("Status"));
    PlainText::apply(m_statusLabel); // the flow's lines quote failures, which name files
    m_statusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_historyButton = new QPushButton(QStringLiteral("History"), this);
    m_historyButton->setToolTip(QStringLiteral("Show recent trash, put-back and permanent-delete actions"));
    connect(m_historyButton, &QPushButton::clicked, this, &TrashFlowHostScreen::showHistory);
    m_undoButton = new QPushButton(QStringLiteral("Put Back"), this);
    m_undoButton->setToolTip(QStringLiteral("Put the items just moved to the Trash back where they were"));
    m_undoButton->hide();
    m_trashButton = new QPushButton(QStringLiteral("Move to Trash…"), this);
    connect(m_trashButton, &QPushButton::clicked, this, &TrashFlowHostScreen::trashSelection);
    // Delete in the list asks for the same review as the button.
    auto* deleteKey = new QShortcut(QKeySequence::Delete, m_tableView, this, &TrashFlowHostScreen::trashSelection);
    deleteKey->setContext(Qt::WidgetShortcut);

    auto* row = new QHBoxLayout;
    row->addWidget(m_historyButton);
    row->addWidget(m_statusLabel, 1);
    row->addWidget(m_undoButton);
    row->addWidget(m_trashButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tableView, 1);
    layout->addLayout(row);

    m_flow = new TrashFlowController(this, m_undoButton, [this](const QString& line) { m_statusLabel->setText(line); },
                                     m_audit);
    m_flow->onMoved = [this](const QSet<QString>& paths) {
        QList<TrashCandidate> left;
        for (const TrashCandidate& item : m_model->items()) {
            if (!paths.contains(item.path))
                left.append(item);
        }
        m_model->setItems(left);
    };
    m_flow->onRestored = [this] {
        QList<TrashCandidate> present;
        for (const TrashCandidate& item : std::as_const(m_allItems)) {
            if (somethingAt(item.path))
                present.append(item);
        }
        m_model->setItems(present);
    };
}

TrashFlowHostScreen::~TrashFlowHostScreen() = default;

void TrashFlowHostScreen::setItems(const QList<TrashCandidate>& items)
{
    m_allItems = items;
    m_model->setItems(items);
}

QList<TrashCandidate> TrashFlowHostScreen::shownItems() const
{
    return m_model->items();
}

void TrashFlowHostScreen::trashSelection()
{
    QList<TrashCandidate> chosen;
    const QModelIndexList rows = m_tableView->selectionModel()->selectedRows();
    for (const QModelIndex& index : rows)
        chosen.append(m_model->items().at(index.row()));
    m_flow->reviewAndTrash(chosen.isEmpty() ? m_model->items() : chosen);
}

void TrashFlowHostScreen::showHistory()
{
    (new AuditHistoryViewController(m_audit, this))->open();
}
