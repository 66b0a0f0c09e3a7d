#include "ChartContentsList.h"

#include "ChartText.h"
#include "ElidedLabel.h"
#include "deletion/DeletionItems.h"
#include "shell/ItemActivation.h"
#include "shell/RowCopy.h"
#include "shell/ScreenStyle.h"
#include "shell/Palette.h"
#include "platform/HostProfile.h"

#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPixmap swatch(const QColor& color)
{
    constexpr int side = 14;
    constexpr qreal ratio = 3; // sharp at 1x and 2x
    QPixmap pixmap(QSize(side, side) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(QRectF(0, 0, side, side), 4, 4);
    return pixmap;
}

// Rows are selected whole; the per-cell focus frame would box only the name.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }
};

// The focus mark the delegate leaves out: one accent frame around the whole current row (around the
// list when it has none), so the keyboard's place shows as it does on the chart.
class ContentsTableView : public QTableView {
public:
    using QTableView::QTableView;

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override
    {
        QTableView::currentChanged(current, previous);
        viewport()->update(); // the frame spans the row, beyond the cells the base repaints
    }

    void paintEvent(QPaintEvent* event) override
    {
        QTableView::paintEvent(event);
        if (!hasFocus())
            return;
        QRect frame = viewport()->rect();
        QColor color = ChartText::accent(palette());
        if (const QModelIndex current = currentIndex(); current.isValid()) {
            frame = visualRect(current.siblingAtColumn(0)).united(visualRect(current.siblingAtColumn(model()->columnCount() - 1)));
            if (selectionModel()->isRowSelected(current.row()))
                color = palette().color(QPalette::HighlightedText); // the accent would vanish in the highlight
        }
        QPainter painter(viewport());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(color, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(frame).adjusted(1, 1, -1, -1), 3, 3);
    }
};

} // namespace

// The rows of the list: the shown folder's children, largest first. Column 0 is the swatch and name,
// column 1 the size.
class ContentsListModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    static constexpr int changeColumn = 2;
    static constexpr int changeRole = Qt::UserRole + 10; // the difference in bytes (0 without one)

    std::vector<AnalyzerNodePtr> items;
    std::function<std::optional<QColor>(const AnalyzerTreeNode*)> colorProvider;
    std::shared_ptr<const ScanChanges> changes;
    bool byChange = false;
    Qt::SortOrder changeOrder = Qt::DescendingOrder;

    void setItems(std::vector<AnalyzerNodePtr> nodes)
    {
        beginResetModel();
        items = std::move(nodes);
        orderByChange();
        endResetModel();
    }
    void setChanges(std::shared_ptr<const ScanChanges> shown)
    {
        beginResetModel();
        changes = std::move(shown);
        if (!changes)
            byChange = false;
        orderByChange();
        endResetModel();
    }
    void rowChanged(int row) { emit dataChanged(index(row, 0), index(row, columnCount({}) - 1)); }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : static_cast<int>(items.size()); }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : changes ? 3 : 2; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal)
            return {};
        if (role == Qt::TextAlignmentRole) // over the column's own text
            return QVariant::fromValue(Qt::AlignVCenter | (section == 0 ? Qt::AlignLeft : Qt::AlignRight));
        if (role != Qt::DisplayRole)
            return {};
        if (section == changeColumn && changes) // on two lines: the column is narrow
            return changes->columnTitle(true);
        return section == 0 ? QStringLiteral("Name") : section == 1 ? QStringLiteral("Size") : QStringLiteral("Change");
    }

    // The Change column orders by the change; the others keep the largest first.
    void sort(int column, Qt::SortOrder order) override
    {
        const auto largestFirst = [](const AnalyzerNodePtr& a, const AnalyzerNodePtr& b) { return a->sizeBytes() > b->sizeBytes(); };
        // Already so: no layout change, which would have the view measure every row again.
        if (!(column == changeColumn && changes) && !byChange && std::is_sorted(items.begin(), items.end(), largestFirst))
            return;
        emit layoutAboutToBeChanged();
        const QModelIndexList before = persistentIndexList();
        std::vector<std::pair<AnalyzerTreeNode*, int>> kept;
        for (const QModelIndex& index : before)
            kept.emplace_back(items[static_cast<std::size_t>(index.row())].get(), index.column());
        byChange = column == changeColumn && changes;
        changeOrder = order;
        if (!byChange)
            std::stable_sort(items.begin(), items.end(), largestFirst);
        orderByChange();
        QModelIndexList after;
        for (const auto& [node, column] : kept) {
            const auto found = std::find_if(items.begin(), items.end(), [node](const AnalyzerNodePtr& item) { return item.get() == node; });
            after.push_back(index(static_cast<int>(found - items.begin()), column));
        }
        changePersistentIndexList(before, after);
        emit layoutChanged();
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= static_cast<int>(items.size()))
            return {};
        const AnalyzerTreeNode& node = *items[static_cast<std::size_t>(index.row())];
        if (index.column() == changeColumn || role == changeRole)
            return changeData(node, role);
        const bool name = index.column() == 0;
        const QPalette palette = QGuiApplication::palette();
        switch (role) {
        case Qt::DisplayRole:
        case RowCopy::TextRole:
            return name ? ChartText::name(node) : ChartText::size(node);
        case Qt::DecorationRole:
            if (!name)
                return {};
            return swatchFor(colorProvider ? colorProvider(&node).value_or(Palette::otherColor()) : Palette::otherColor());
        case Qt::FontRole: {
            QFont font = ScreenStyle::font(12);
            font.setStrikeOut(name && node.isMissing());
            return font;
        }
        case Qt::ForegroundRole:
            if (node.isMissing())
                return ScreenStyle::labelColor(palette, ScreenStyle::LabelLevel::tertiary);
            return name ? palette.color(QPalette::WindowText) : ScreenStyle::labelColor(palette, ScreenStyle::LabelLevel::secondary);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignVCenter | (name ? Qt::AlignLeft : Qt::AlignRight));
        case Qt::ToolTipRole:
            return node.isMissing() ? ChartText::missingTooltip() : ChartText::tooltip(node);
        case Qt::AccessibleTextRole:
            return ChartText::label(node);
        default:
            return {};
        }
    }

private:
    void orderByChange()
    {
        if (!byChange || !changes)
            return;
        std::vector<std::pair<std::int64_t, AnalyzerNodePtr>> keyed;
        keyed.reserve(items.size());
        for (AnalyzerNodePtr& item : items)
            keyed.emplace_back(ScanChanges::sortKey(changes->find(*item)), std::move(item));
        std::stable_sort(keyed.begin(), keyed.end(), [this](const auto& a, const auto& b) {
            return changeOrder == Qt::DescendingOrder ? a.first > b.first : a.first < b.first;
        });
        for (std::size_t i = 0; i < keyed.size(); ++i)
            items[i] = std::move(keyed[i].second);
    }

    QVariant changeData(const AnalyzerTreeNode& node, int role) const
    {
        // Looked up only for the roles that show it: a view asks for many more.
        const auto change = [this, &node] { return changes ? changes->find(node) : nullptr; };
        switch (role) {
        case changeRole:
            return QVariant::fromValue<qint64>(ScanChanges::sortKey(change()));
        case Qt::DisplayRole:
        case RowCopy::TextRole:
        case Qt::AccessibleTextRole:
            if (const brisklet::ScanChange* found = change())
                return ScanChanges::text(*found);
            return QString();
        case Qt::ToolTipRole:
            return changes && node.entry().isDirectory ? changes->goneToolTip(node) : QVariant();
        case Qt::FontRole:
            return ScreenStyle::font(12);
        case Qt::ForegroundRole:
            return ScreenStyle::labelColor(QGuiApplication::palette(), ScreenStyle::LabelLevel::secondary);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignVCenter | Qt::AlignRight);
        default:
            return {};
        }
    }

    QPixmap swatchFor(const QColor& color) const
    {
        auto found = m_swatches.constFind(color.rgba());
        if (found == m_swatches.constEnd())
            found = m_swatches.insert(color.rgba(), swatch(color));
        return *found;
    }
    mutable QHash<QRgb, QPixmap> m_swatches;
};

ChartContentsList::ChartContentsList(QWidget* parent) : QWidget(parent), m_model(new ContentsListModel(this))
{
    m_titleLabel = new ElidedLabel(Qt::ElideRight, ScreenStyle::LabelLevel::primary, this);
    m_titleLabel->setFont(ScreenStyle::font(15));
    m_totalLabel = new ElidedLabel(Qt::ElideNone, ScreenStyle::LabelLevel::secondary, this);
    m_totalLabel->setFont(ScreenStyle::monospacedFont(15));
    m_pathLabel = new ElidedLabel(Qt::ElideRight, ScreenStyle::LabelLevel::tertiary, this);
    m_pathLabel->setFont(ScreenStyle::monospacedFont(10));

    m_tableView = new ContentsTableView(this);
    m_tableView->setTabKeyNavigation(false); // Tab leaves the list; the arrows move in it
    m_tableView->setModel(m_model);
    m_tableView->setItemDelegate(new RowDelegate(m_tableView));
    m_tableView->setAccessibleName(QStringLiteral("Folder contents"));
    m_tableView->horizontalHeader()->hide();
    m_tableView->verticalHeader()->hide();
    m_tableView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_tableView->verticalHeader()->setDefaultSectionSize(24);
    m_tableView->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_tableView->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_tableView->setShowGrid(false);
    m_tableView->setFrameShape(QFrame::NoFrame);
    m_tableView->setTextElideMode(Qt::ElideMiddle);
    m_tableView->setWordWrap(false);
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_tableView->setIconSize(QSize(14, 14));
    m_tableView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tableView->viewport()->setAutoFillBackground(false);
    // On the window's background: only the base colour is the view's own, so its text, branch arrows and
    // scroll bar keep following the appearance (a style sheet would fix them at the first one).
    QPalette clearBase;
    clearBase.setColor(QPalette::Base, Qt::transparent);
    m_tableView->setPalette(clearBase);
    RowCopy::enable(m_tableView);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(m_titleLabel, 1);
    header->addWidget(m_totalLabel, 0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addLayout(header);
    layout->addWidget(m_tableView, 1);
    layout->addWidget(m_pathLabel);

    connect(m_tableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { userSelectionChanged(); });
    ItemActivation::onOpen(m_tableView, [this](const QModelIndex& index) {
        if (index.row() >= static_cast<int>(m_model->items.size()))
            return;
        const AnalyzerNodePtr node = m_model->items[static_cast<std::size_t>(index.row())];
        if (node->hasChildren() && onDrill)
            onDrill(node);
    });
    connect(m_tableView, &QTableView::customContextMenuRequested, this, [this](const QPoint& position) {
        const QModelIndex index = m_tableView->indexAt(position);
        m_clickedRow = index.isValid() ? index.row() : -1;
        QMenu* menu = buildContextMenu(this);
        m_contextMenu = menu;
        menu->exec(m_tableView->viewport()->mapToGlobal(position));
        menu->deleteLater();
        m_clickedRow = -1;
    });
}

const std::vector<AnalyzerNodePtr>& ChartContentsList::items() const { return m_model->items; }

void ChartContentsList::showFolder(const AnalyzerNodePtr& folder, const AnalyzerNodePtr& selected)
{
    // A menu opened on a row acts on that row's node: once the list shows another folder or another
    // tree (a rescan ended, a removal), the node may be stale, so the menu goes.
    if (m_contextMenu)
        m_contextMenu->close();
    m_folder = folder;
    std::vector<AnalyzerNodePtr> rows;
    if (folder) {
        rows = folder->children();
        std::stable_sort(rows.begin(), rows.end(),
                         [](const AnalyzerNodePtr& a, const AnalyzerNodePtr& b) { return a->sizeBytes() > b->sizeBytes(); });
    }
    m_model->colorProvider = colorProvider;
    m_isSyncing = true;
    m_model->setItems(std::move(rows));
    m_isSyncing = false;
    m_clickedRow = -1;
    m_titleLabel->setText(folder ? ChartText::name(*folder) : QString());
    m_totalLabel->setText(folder ? ChartText::size(*folder) : QString());
    select(selected.get());
}

void ChartContentsList::select(const AnalyzerTreeNode* node)
{
    m_isSyncing = true;
    const std::vector<AnalyzerNodePtr>& rows = m_model->items;
    const auto found = std::find_if(rows.begin(), rows.end(), [node](const AnalyzerNodePtr& row) { return node && row.get() == node; });
    if (found != rows.end()) {
        const QModelIndex index = m_model->index(static_cast<int>(found - rows.begin()), 0);
        m_tableView->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_tableView->scrollTo(index);
        showPath(node);
    } else {
        m_tableView->selectionModel()->clearSelection();
        showPath(m_folder.get());
    }
    m_isSyncing = false;
}

void ChartContentsList::selectNodes(const std::vector<AnalyzerNodePtr>& nodes)
{
    if (nodes.size() <= 1) {
        select(nodes.empty() ? nullptr : nodes.front().get());
        return;
    }
    m_isSyncing = true;
    QItemSelection selection;
    const std::vector<AnalyzerNodePtr>& rows = m_model->items;
    for (std::size_t row = 0; row < rows.size(); ++row)
        if (std::find(nodes.begin(), nodes.end(), rows[row]) != nodes.end())
            selection.select(m_model->index(static_cast<int>(row), 0),
                             m_model->index(static_cast<int>(row), m_model->columnCount({}) - 1));
    m_tableView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    showPath(m_folder.get());
    m_isSyncing = false;
}

std::vector<AnalyzerNodePtr> ChartContentsList::selectedNodes() const
{
    QModelIndexList rows = m_tableView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<AnalyzerNodePtr> nodes;
    for (const QModelIndex& row : rows)
        if (row.row() < static_cast<int>(m_model->items.size()))
            nodes.push_back(m_model->items[static_cast<std::size_t>(row.row())]);
    return nodes;
}

void ChartContentsList::userSelectionChanged()
{
    if (m_isSyncing)
        return;
    const std::vector<AnalyzerNodePtr> nodes = selectedNodes();
    showPath(nodes.empty() ? m_folder.get() : nodes.back().get());
    if (onSelect)
        onSelect(nodes);
}

void ChartContentsList::showPath(const AnalyzerTreeNode* node)
{
    m_pathLabel->setText(node ? visibleText(ChartText::path(*node)) : QString());
}

AnalyzerNodePtr ChartContentsList::clickedNode() const
{
    int row = m_clickedRow;
    if (row < 0) {
        const QModelIndex current = m_tableView->selectionModel()->currentIndex();
        if (current.isValid() && m_tableView->selectionModel()->isRowSelected(current.row()))
            row = current.row();
        else if (const QModelIndexList selected = m_tableView->selectionModel()->selectedRows(); !selected.isEmpty())
            row = selected.first().row();
    }
    if (row < 0 || row >= static_cast<int>(m_model->items.size()))
        return nullptr;
    return m_model->items[static_cast<std::size_t>(row)];
}

QMenu* ChartContentsList::buildContextMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    const AnalyzerNodePtr node = clickedNode();
    if (!node)
        return menu;
    QAction* drill = menu->addAction(QStringLiteral("Drill In"), this, [this, node] {
        if (onDrill)
            onDrill(node);
    });
    drill->setEnabled(node->hasChildren());
    menu->addAction(utf8Text(brisklet::hostProfile().revealInFileManagerTitle), this, [this, node] {
        if (onReveal)
            onReveal(node);
    });
    menu->addSeparator();
    QAction* trash = menu->addAction(QStringLiteral("Move to Trash"), this, [this, node] {
        if (onTrash)
            onTrash(node);
    });
    trash->setEnabled(!node->isMissing()); // a gone item has nothing left to move
    return menu;
}

void ChartContentsList::setChanges(std::shared_ptr<const ScanChanges> changes)
{
    const bool shown = changes != nullptr;
    m_isSyncing = true;
    const AnalyzerNodePtr selected = clickedNode();
    QHeaderView* header = m_tableView->horizontalHeader();
    // Each step below would have the header measure the Size column over every row again: measured
    // once, at the end.
    header->setSectionResizeMode(1, QHeaderView::Fixed);
    m_model->setChanges(std::move(changes));
    if (shown) { // as wide as the widest change, without measuring any row
        const QFontMetrics metrics(ScreenStyle::font(12));
        header->setSectionResizeMode(ContentsListModel::changeColumn, QHeaderView::Fixed);
        header->resizeSection(ContentsListModel::changeColumn,
                              std::max({metrics.horizontalAdvance(QStringLiteral("-999 bytes")) + 16,
                                        metrics.horizontalAdvance(QStringLiteral("-88.8 MB")) + 16,
                                        ChartText::headerWidth(header, m_model->headerData(ContentsListModel::changeColumn,
                                                                                           Qt::Horizontal, Qt::DisplayRole)
                                                                            .toString())}));
    }
    header->setVisible(shown);
    if (shown && !m_tableView->isSortingEnabled())
        header->setSortIndicator(1, Qt::DescendingOrder); // largest first, as without the column
    m_tableView->setSortingEnabled(shown);
    header->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_isSyncing = false;
    select(selected.get());
}

std::vector<AnalyzerNodePtr> ChartContentsList::missingCheckItems() const
{
    std::vector<AnalyzerNodePtr> nodes;
    for (const AnalyzerNodePtr& node : m_model->items)
        if (!node->isAggregated())
            nodes.push_back(node);
    return nodes;
}

bool ChartContentsList::showMissingChanges(const NodeSet& changed)
{
    bool shown = false;
    for (std::size_t row = 0; row < m_model->items.size(); ++row)
        if (changed.contains(m_model->items[row].get())) {
            m_model->rowChanged(static_cast<int>(row));
            shown = true;
        }
    return shown;
}
