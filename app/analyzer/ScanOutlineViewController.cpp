#include "ScanOutlineViewController.h"

#include "ChartText.h"
#include "shell/ItemActivation.h"
#include "shell/PlainText.h"
#include "shell/RowCopy.h"
#include "shell/ScreenStyle.h"
#include "shell/FileBrowser.h"
#include "shell/SymbolIcons.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPalette>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <unordered_map>

namespace {

QString symbolFor(const AnalyzerTreeNode& node)
{
    if (node.unreadable())
        return QStringLiteral("lock.fill");
    if (node.folded())
        return QStringLiteral("shippingbox");
    return node.entry().isDirectory ? QStringLiteral("folder.fill") : QStringLiteral("doc");
}

// Icon, name and detail on one line; a missing item's name struck through in the tertiary colour.
class OutlineRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width() + 120, 26};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        background.icon = QIcon();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);

        const auto* model = static_cast<const AnalyzerOutlineModel*>(index.model());
        const AnalyzerTreeNode* node = model->node(index);
        if (!node)
            return;
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& palette = option.palette;
        const QColor text = selected ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::Text);
        const QColor secondary = selected ? text : ScreenStyle::labelColor(palette, ScreenStyle::LabelLevel::secondary);
        const QColor tertiary = selected ? text : ScreenStyle::labelColor(palette, ScreenStyle::LabelLevel::tertiary);
        if (index.column() == AnalyzerOutlineModel::changeColumn) {
            painter->save();
            painter->setFont(ScreenStyle::font(11));
            painter->setPen(secondary);
            painter->drawText(option.rect.adjusted(4, 0, -8, 0), Qt::AlignVCenter | Qt::AlignRight,
                              index.data(Qt::DisplayRole).toString());
            painter->restore();
            return;
        }

        QRect area = option.rect.adjusted(4, 0, -4, 0);
        const qreal ratio = painter->device()->devicePixelRatioF();
        const QPixmap icon = SymbolIcons::pixmap(symbolFor(*node), 12, node->unreadable() ? tertiary : secondary, ratio);
        painter->drawPixmap(area.left(), area.center().y() - 6, icon);
        area.setLeft(area.left() + 12 + 6);

        const auto [name, detail] = model->rowText(*node);
        QFont nameFont = ScreenStyle::font(12);
        nameFont.setStrikeOut(node->isMissing());
        const QFont detailFont = ScreenStyle::font(11);
        const QFontMetrics detailMetrics(detailFont);
        const int detailWidth = detailMetrics.horizontalAdvance(detail);
        const QFontMetrics nameMetrics(nameFont);
        const int nameRoom = std::max(area.width() - detailWidth - 10, 20);
        const QString shownName = nameMetrics.elidedText(name, Qt::ElideMiddle, nameRoom);
        painter->save();
        painter->setFont(nameFont);
        painter->setPen(node->isMissing() ? tertiary : text);
        painter->drawText(area, Qt::AlignVCenter | Qt::AlignLeft, shownName);
        area.setLeft(area.left() + nameMetrics.horizontalAdvance(shownName) + 10);
        painter->setFont(detailFont);
        painter->setPen(secondary);
        painter->drawText(area, Qt::AlignVCenter | Qt::AlignLeft, detail);
        painter->restore();
    }
};

} // namespace

void AnalyzerOutlineModel::setRoot(const AnalyzerNodePtr& root)
{
    beginResetModel();
    m_root = root;
    m_changeOrder.clear();
    m_rootSize = root ? std::max<std::int64_t>(root->sizeBytes(), 1) : 1;
    endResetModel();
}

void AnalyzerOutlineModel::reload() { setRoot(m_root); }

AnalyzerTreeNode* AnalyzerOutlineModel::node(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<AnalyzerTreeNode*>(index.internalPointer()) : m_root.get();
}

std::pair<QString, QString> AnalyzerOutlineModel::rowText(const AnalyzerTreeNode& node) const
{
    QString detail = ChartText::size(node);
    if (&node != m_root.get()) {
        const double share = static_cast<double>(countedSize(node)) / static_cast<double>(m_rootSize);
        detail += QStringLiteral("  \u00b7  ") +
                  (share > 0.001 ? QString::asprintf("%.0f%%", share * 100) : QStringLiteral("0%"));
    }
    return {ChartText::name(node), detail};
}

QModelIndex AnalyzerOutlineModel::index(int row, int column, const QModelIndex& parent) const
{
    const AnalyzerTreeNode* owner = node(parent);
    if (!owner || column < 0 || column >= columnCount() || row < 0 || row >= static_cast<int>(owner->children().size()))
        return {};
    return createIndex(row, column, childAt(*owner, row));
}

const std::vector<AnalyzerTreeNode*>* AnalyzerOutlineModel::changeOrder(const AnalyzerTreeNode& owner) const
{
    if (!m_byChange || !m_changes)
        return nullptr;
    auto found = m_changeOrder.find(&owner);
    if (found == m_changeOrder.end()) {
        std::vector<std::pair<std::int64_t, AnalyzerTreeNode*>> keyed;
        keyed.reserve(owner.children().size());
        for (const AnalyzerNodePtr& child : owner.children())
            keyed.emplace_back(ScanChanges::sortKey(m_changes->find(*child)), child.get());
        const bool descending = *m_byChange == Qt::DescendingOrder;
        std::stable_sort(keyed.begin(), keyed.end(),
                         [descending](const auto& a, const auto& b) { return descending ? a.first > b.first : a.first < b.first; });
        std::vector<AnalyzerTreeNode*> order;
        order.reserve(keyed.size());
        for (const auto& [key, child] : keyed)
            order.push_back(child);
        found = m_changeOrder.emplace(&owner, std::move(order)).first;
    }
    return &found->second;
}

AnalyzerTreeNode* AnalyzerOutlineModel::childAt(const AnalyzerTreeNode& owner, int row) const
{
    if (const auto* order = changeOrder(owner))
        return (*order)[static_cast<std::size_t>(row)];
    return owner.children()[static_cast<std::size_t>(row)].get();
}

int AnalyzerOutlineModel::rowOf(const AnalyzerTreeNode& owner, const AnalyzerTreeNode* child) const
{
    if (const auto* order = changeOrder(owner)) {
        const auto found = std::find(order->begin(), order->end(), child);
        return found == order->end() ? -1 : static_cast<int>(found - order->begin());
    }
    const auto& siblings = owner.children();
    const auto found = std::find_if(siblings.begin(), siblings.end(),
                                    [child](const AnalyzerNodePtr& sibling) { return sibling.get() == child; });
    return found == siblings.end() ? -1 : static_cast<int>(found - siblings.begin());
}

void AnalyzerOutlineModel::setChanges(std::shared_ptr<const ScanChanges> changes)
{
    beginResetModel();
    m_changes = std::move(changes);
    m_changeOrder.clear();
    if (!m_changes)
        m_byChange.reset();
    endResetModel();
}

QVariant AnalyzerOutlineModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole) // over the column's own text
        return QVariant::fromValue(Qt::AlignVCenter | (section == changeColumn ? Qt::AlignRight : Qt::AlignLeft));
    if (role != Qt::DisplayRole)
        return {};
    if (section == changeColumn)
        return m_changes ? m_changes->columnTitle() : QStringLiteral("Change");
    return QStringLiteral("Name");
}

void AnalyzerOutlineModel::sort(int column, Qt::SortOrder order)
{
    const std::optional<Qt::SortOrder> byChange =
        column == changeColumn && m_changes ? std::optional(order) : std::nullopt;
    if (byChange == m_byChange)
        return;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<std::pair<AnalyzerTreeNode*, int>> kept;
    kept.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before)
        kept.emplace_back(node(index), index.column());
    m_byChange = byChange;
    m_changeOrder.clear();
    QModelIndexList after;
    for (const auto& [item, column] : kept) {
        const AnalyzerTreeNode* owner = item ? item->parent() : nullptr;
        const int row = owner ? rowOf(*owner, item) : -1;
        after.push_back(row < 0 ? QModelIndex() : createIndex(row, column, item));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

QModelIndex AnalyzerOutlineModel::parent(const QModelIndex& child) const
{
    const AnalyzerTreeNode* item = child.isValid() ? node(child) : nullptr;
    const AnalyzerTreeNode* owner = item ? item->parent() : nullptr;
    if (!owner || owner == m_root.get())
        return {};
    const AnalyzerTreeNode* grandparent = owner->parent();
    if (!grandparent)
        return {};
    const int row = rowOf(*grandparent, owner);
    if (row < 0)
        return {};
    return createIndex(row, 0, const_cast<AnalyzerTreeNode*>(owner));
}

int AnalyzerOutlineModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const AnalyzerTreeNode* owner = node(parent);
    return owner ? static_cast<int>(owner->children().size()) : 0;
}

int AnalyzerOutlineModel::columnCount(const QModelIndex&) const { return m_changes ? 2 : 1; }

bool AnalyzerOutlineModel::hasChildren(const QModelIndex& parent) const
{
    const AnalyzerTreeNode* owner = node(parent);
    return owner && owner->hasChildren();
}

QVariant AnalyzerOutlineModel::data(const QModelIndex& index, int role) const
{
    const AnalyzerTreeNode* item = index.isValid() ? node(index) : nullptr;
    if (!item)
        return {};
    if (role == changeRole || index.column() == changeColumn) {
        // Looked up only for the roles that show it: a view asks for many more.
        const auto change = [this, item] { return m_changes ? m_changes->find(*item) : nullptr; };
        if (role == changeRole)
            return QVariant::fromValue<qint64>(ScanChanges::sortKey(change()));
        if (role == Qt::DisplayRole || role == RowCopy::TextRole || role == Qt::AccessibleTextRole) {
            const brisklet::ScanChange* found = change();
            return found ? ScanChanges::text(*found) : QString();
        }
        if (role == Qt::ToolTipRole && m_changes && item->entry().isDirectory)
            return m_changes->goneToolTip(*item);
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return ChartText::name(*item);
    case detailRole:
        return rowText(*item).second;
    case symbolRole:
        return symbolFor(*item);
    case RowCopy::TextRole: {
        const auto [name, detail] = rowText(*item);
        return name + QLatin1Char('\t') + detail;
    }
    case Qt::ToolTipRole:
        return item->isMissing() ? ChartText::missingTooltip() : PlainText::toolTip(visibleText(ChartText::path(*item)) + ChartText::linkNote(*item));
    case Qt::AccessibleTextRole: {
        const auto [name, detail] = rowText(*item);
        return name + QStringLiteral(", ") + detail;
    }
    default:
        return {};
    }
}

ScanOutlineViewController::ScanOutlineViewController(QWidget* parent)
    : QWidget(parent), m_model(new AnalyzerOutlineModel(this)), m_outlineView(new QTreeView(this))
{
    setAccessibleName(QStringLiteral("List"));
    m_outlineView->setModel(m_model);
    m_outlineView->setAccessibleName(QStringLiteral("Scan outline"));
    m_outlineView->setHeaderHidden(true);
    m_outlineView->setUniformRowHeights(true);
    m_outlineView->setAlternatingRowColors(false);
    m_outlineView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_outlineView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_outlineView->setFrameShape(QFrame::NoFrame);
    m_outlineView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_outlineView->setItemDelegate(new OutlineRowDelegate(m_outlineView));
    m_outlineView->header()->setStretchLastSection(true);
    m_outlineView->viewport()->setAutoFillBackground(false);
    // On the window's background: only the base colour is the view's own, so its text, branch arrows and
    // scroll bar keep following the appearance (a style sheet would fix them at the first one).
    QPalette clearBase;
    clearBase.setColor(QPalette::Base, Qt::transparent);
    m_outlineView->setPalette(clearBase);
    RowCopy::enable(m_outlineView);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_outlineView);

    connect(m_outlineView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { reportSelection(); });
    onReveal = [this](const QString& path) { FileBrowser::reveal(path, this); };
    ItemActivation::onOpen(m_outlineView, [this](const QModelIndex& index) {
        if (const AnalyzerTreeNode* item = m_model->node(index); item && index.isValid() && onReveal)
            onReveal(ChartText::path(*item));
    });
}

template <class Visit>
void ScanOutlineViewController::walkRows(Visit visit) const
{
    std::vector<QModelIndex> pending;
    for (int row = 0; row < m_model->rowCount(); ++row)
        pending.push_back(m_model->index(row, 0));
    while (!pending.empty()) {
        const QModelIndex index = pending.back();
        pending.pop_back();
        if (visit(index, m_model->node(index)))
            for (int row = 0; row < m_model->rowCount(index); ++row)
                pending.push_back(m_model->index(row, 0, index));
    }
}

template <class Visit>
void ScanOutlineViewController::forEachShownRow(Visit visit) const
{
    walkRows([this, &visit](const QModelIndex& index, AnalyzerTreeNode* node) {
        visit(index, node);
        return m_outlineView->isExpanded(index);
    });
}

void ScanOutlineViewController::setChanges(std::shared_ptr<const ScanChanges> changes)
{
    // Which rows are open survives the new column: the reset forgets it, so it is read first.
    std::vector<AnalyzerTreeNode*> expanded;
    walkRows([this, &expanded](const QModelIndex& index, AnalyzerTreeNode* node) {
        if (!m_outlineView->isExpanded(index))
            return false;
        expanded.push_back(node);
        return true;
    });
    const bool shown = changes != nullptr;
    m_model->setChanges(std::move(changes));
    QHeaderView* header = m_outlineView->header();
    m_outlineView->setHeaderHidden(!shown);
    m_outlineView->setSortingEnabled(shown);
    if (shown) {
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        header->setSectionResizeMode(AnalyzerOutlineModel::changeColumn, QHeaderView::Fixed);
        // Wide enough for its title, which says what it compares with.
        const QString title = m_model->headerData(AnalyzerOutlineModel::changeColumn, Qt::Horizontal, Qt::DisplayRole).toString();
        header->resizeSection(AnalyzerOutlineModel::changeColumn, std::max(96, ChartText::headerWidth(header, title)));
    } else {
        header->setStretchLastSection(true);
    }
    // Parents come before their children in the list, so each is open before its rows are looked up.
    const std::unordered_set<AnalyzerTreeNode*> open(expanded.begin(), expanded.end());
    walkRows([this, &open](const QModelIndex& index, AnalyzerTreeNode* node) {
        if (!open.contains(node))
            return false;
        m_outlineView->expand(index);
        return true;
    });
    reportSelection();
}

void ScanOutlineViewController::expandTopLevel()
{
    for (int row = 0; row < m_model->rowCount(); ++row)
        m_outlineView->expand(m_model->index(row, 0));
}

void ScanOutlineViewController::reportSelection()
{
    if (onSelectionChange) // what the review sheet will list, so the trash button counts the same
        onSelectionChange(static_cast<int>(selectedTrashNodes().size()));
}

void ScanOutlineViewController::present(const AnalyzerNodePtr& node)
{
    m_model->setRoot(node);
    expandTopLevel();
    reportSelection();
}

void ScanOutlineViewController::removePaths(const PathSet& paths)
{
    if (!m_model->root())
        return;
    m_model->root()->removePaths(paths);
    m_model->reload();
    expandTopLevel();
    reportSelection();
}

std::vector<AnalyzerNodePtr> ScanOutlineViewController::missingCheckItems() const
{
    std::vector<AnalyzerNodePtr> nodes;
    forEachShownRow([&nodes](const QModelIndex& index, AnalyzerTreeNode* item) {
        if (!item->isAggregated()) // a row's node is its parent's child at that row
            nodes.push_back(item->parent()->children()[static_cast<std::size_t>(index.row())]);
    });
    return nodes;
}

void ScanOutlineViewController::showMissingChanges(const NodeSet& changed)
{
    bool shown = false;
    forEachShownRow([this, &changed, &shown](const QModelIndex& index, AnalyzerTreeNode* item) {
        if (changed.contains(item)) {
            m_model->rowChanged(index);
            shown = true;
        }
    });
    if (shown)
        reportSelection();
}

std::vector<const AnalyzerTreeNode*> ScanOutlineViewController::selectedTrashNodes() const
{
    const AnalyzerTreeNode* root = m_model->root().get();
    if (!root)
        return {};
    // Row order, without asking the view where each row is (it searches its rows every time) or the
    // selection about each row (it compares every range): a selection range holds rows of one folder,
    // and a row sorts by its folder's row numbers from the top level down, then by its own row.
    struct Folder {
        std::vector<int> key;
        bool inside = false; // the folder is selected or inside a selected one
    };
    std::unordered_map<const AnalyzerTreeNode*, int> rowInParent; // filled a whole sibling list at a time
    std::unordered_map<const AnalyzerTreeNode*, Folder> folders;
    const auto folderOf = [&](const AnalyzerTreeNode* node) -> Folder& {
        const auto [entry, added] = folders.try_emplace(node);
        for (const AnalyzerTreeNode* up = node; added && up != root && up->parent(); up = up->parent()) {
            auto found = rowInParent.find(up);
            if (found == rowInParent.end()) {
                const std::vector<AnalyzerNodePtr>& siblings = up->parent()->children();
                for (std::size_t i = 0; i < siblings.size(); ++i)
                    rowInParent.emplace(siblings[i].get(), static_cast<int>(i));
                found = rowInParent.find(up);
            }
            entry->second.key.push_back(found->second);
        }
        if (added)
            std::reverse(entry->second.key.begin(), entry->second.key.end());
        return entry->second;
    };
    struct Row {
        const AnalyzerTreeNode* node;
        const Folder* folder;
        int row;
    };
    std::vector<Row> rows;
    NodeSet chosen;
    for (const QItemSelectionRange& range : m_outlineView->selectionModel()->selection()) {
        const AnalyzerTreeNode* folder = m_model->node(range.parent());
        if (!range.isValid() || !folder)
            continue;
        const Folder* info = &folderOf(folder);
        const int last = std::min(range.bottom(), static_cast<int>(folder->children().size()) - 1);
        for (int row = range.top(); row <= last; ++row) {
            const AnalyzerTreeNode* node = folder->children()[static_cast<std::size_t>(row)].get();
            if (chosen.insert(node).second)
                rows.push_back({node, info, row});
        }
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        if (a.folder == b.folder)
            return a.row < b.row;
        const std::vector<int>& x = a.folder->key;
        const std::vector<int>& y = b.folder->key;
        const std::size_t common = std::min(x.size(), y.size());
        for (std::size_t i = 0; i < common; ++i)
            if (x[i] != y[i])
                return x[i] < y[i];
        if (x.size() == y.size()) // two folders at one place: only a detached one, never shown
            return a.row < b.row;
        // One folder holds the other: compare the shallower row with the deeper one's step at its level.
        if (x.size() < y.size())
            return a.row <= y[common]; // equal: a is the deeper row's ancestor, shown before it
        return x[common] < b.row;
    });

    // An item inside a selected folder goes to the Trash with the folder; listed on its own it would
    // only fail afterwards, as gone, and read as refused. Asked once per folder.
    for (auto& [node, folder] : folders)
        for (const AnalyzerTreeNode* up = node; up && !folder.inside; up = up->parent())
            folder.inside = chosen.contains(up);
    std::vector<const AnalyzerTreeNode*> nodes;
    for (const Row& row : rows)
        if (!row.folder->inside && !row.node->isMissing())
            nodes.push_back(row.node);
    return nodes;
}

QList<TrashCandidate> ScanOutlineViewController::selectedTrashItems() const
{
    const std::vector<const AnalyzerTreeNode*> nodes = selectedTrashNodes();
    QList<TrashCandidate> items;
    items.reserve(static_cast<qsizetype>(nodes.size()));
    for (const AnalyzerTreeNode* item : nodes)
        items.push_back(trashCandidate(*item));
    return items;
}
