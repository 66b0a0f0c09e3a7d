#include "ScanOutlineViewController.h"

#include "ChartText.h"
#include "shell/RowCopy.h"
#include "shell/ScreenStyle.h"
#include "shell/FileBrowser.h"
#include "shell/SymbolIcons.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <unordered_set>

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
    if (!owner || column != 0 || row < 0 || row >= static_cast<int>(owner->children().size()))
        return {};
    return createIndex(row, 0, owner->children()[static_cast<std::size_t>(row)].get());
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
    const auto& siblings = grandparent->children();
    const auto found = std::find_if(siblings.begin(), siblings.end(),
                                    [owner](const AnalyzerNodePtr& sibling) { return sibling.get() == owner; });
    if (found == siblings.end())
        return {};
    return createIndex(static_cast<int>(found - siblings.begin()), 0, const_cast<AnalyzerTreeNode*>(owner));
}

int AnalyzerOutlineModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const AnalyzerTreeNode* owner = node(parent);
    return owner ? static_cast<int>(owner->children().size()) : 0;
}

int AnalyzerOutlineModel::columnCount(const QModelIndex&) const { return 1; }

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
        return item->isMissing() ? ChartText::missingTooltip() : visibleText(ChartText::path(*item)) + ChartText::linkNote(*item);
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
    m_outlineView->setStyleSheet(QStringLiteral("QTreeView { background: transparent; }"));
    RowCopy::enable(m_outlineView);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_outlineView);

    connect(m_outlineView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { reportSelection(); });
    connect(m_outlineView, &QTreeView::activated, this, [this](const QModelIndex& index) {
        if (const AnalyzerTreeNode* item = m_model->node(index); item && index.isValid())
            FileBrowser::reveal(ChartText::path(*item));
    });
}

void ScanOutlineViewController::expandTopLevel()
{
    for (int row = 0; row < m_model->rowCount(); ++row)
        m_outlineView->expand(m_model->index(row, 0));
}

void ScanOutlineViewController::reportSelection()
{
    if (onSelectionChange)
        onSelectionChange(static_cast<int>(m_outlineView->selectionModel()->selectedRows().size()));
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

void ScanOutlineViewController::refreshMissing()
{
    std::vector<QModelIndex> pending;
    for (int row = 0; row < m_model->rowCount(); ++row)
        pending.push_back(m_model->index(row, 0));
    while (!pending.empty()) {
        const QModelIndex index = pending.back();
        pending.pop_back();
        AnalyzerTreeNode* item = m_model->node(index);
        if (!item->isAggregated()) {
            const bool missing = ChartText::goneFromDisk(*item);
            if (missing != item->isMissing()) {
                item->setMissing(missing);
                m_model->rowChanged(index);
            }
        }
        if (m_outlineView->isExpanded(index))
            for (int row = 0; row < m_model->rowCount(index); ++row)
                pending.push_back(m_model->index(row, 0, index));
    }
}

QList<TrashCandidate> ScanOutlineViewController::selectedTrashItems() const
{
    QModelIndexList rows = m_outlineView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [this](const QModelIndex& a, const QModelIndex& b) {
        return m_outlineView->visualRect(a).top() < m_outlineView->visualRect(b).top();
    });
    // An item inside a selected folder goes to the Trash with the folder; listed on its own it would
    // only fail afterwards, as gone, and read as refused.
    std::unordered_set<const AnalyzerTreeNode*> chosen;
    for (const QModelIndex& row : rows)
        chosen.insert(m_model->node(row));
    const auto insideChosen = [&chosen](const AnalyzerTreeNode* item) {
        for (const AnalyzerTreeNode* up = item->parent(); up; up = up->parent())
            if (chosen.contains(up))
                return true;
        return false;
    };
    QList<TrashCandidate> items;
    for (const QModelIndex& row : rows) {
        const AnalyzerTreeNode* item = m_model->node(row);
        if (item && item != m_model->root().get() && !item->isMissing() && !insideChosen(item))
            items.push_back(trashCandidate(*item));
    }
    return items;
}
