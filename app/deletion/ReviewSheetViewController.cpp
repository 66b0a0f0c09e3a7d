#include "ReviewSheetViewController.h"

#include "SheetParts.h"
#include "shell/PlainText.h"
#include "shell/ScreenStyle.h"
#include "DestructiveButton.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

// The sheet's rows as a table model: check box, icon and name; size; the folder that holds the item.
// Icons are looked up the first time a row is drawn.
class ReviewItemsModel : public QAbstractTableModel {
public:
    enum Column { name, size, where, columns };

    ReviewItemsModel(ReviewSheetViewController* sheet) : QAbstractTableModel(sheet), m_sheet(sheet) {}

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_sheet->items().size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : Column::columns; }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole) // over the cells' own alignment
            return QVariant::fromValue((section == Column::size ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const char* const titles[] = {"Item", "Size", "Where"};
        return section >= 0 && section < Column::columns ? QString::fromLatin1(titles[section]) : QVariant();
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags result = QAbstractTableModel::flags(index);
        if (index.column() == Column::name)
            result |= Qt::ItemIsUserCheckable;
        return result;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto& items = m_sheet->items();
        if (!index.isValid() || index.row() >= static_cast<int>(items.size()))
            return {};
        const ReviewSheetViewController::Item& item = items[static_cast<std::size_t>(index.row())];
        const QString name = visibleText(QFileInfo(item.path).fileName());
        const QString folder = visibleText(QFileInfo(item.path).path());
        switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            if (role == Qt::ToolTipRole && index.column() != Column::size) // shown as written, never as markup
                return PlainText::toolTip(index.column() == Column::name ? visibleText(item.path) : folder);
            if (index.column() == Column::name)
                return name;
            if (index.column() == Column::size)
                return formatBytes(item.sizeBytes);
            return folder;
        case Qt::CheckStateRole:
            if (index.column() == Column::name)
                return item.checked ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::DecorationRole:
            if (index.column() == Column::name)
                return icon(index.row(), item);
            return {};
        case Qt::FontRole: {
            if (index.column() == Column::name)
                return ScreenStyle::font(12, QFont::Medium);
            if (index.column() == Column::size)
                return ScreenStyle::font(11);
            return ScreenStyle::font(12);
        }
        case Qt::ForegroundRole:
            if (index.column() == Column::where)
                return ScreenStyle::labelColor(m_sheet->palette(), ScreenStyle::LabelLevel::secondary);
            return {};
        case Qt::TextAlignmentRole:
            if (index.column() == Column::size)
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::AccessibleTextRole:
            if (index.column() == Column::name)
                return QStringLiteral("%1, %2").arg(name, item.checked ? QStringLiteral("ticked") : QStringLiteral("not ticked"));
            return {};
        default:
            return {};
        }
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::CheckStateRole || index.column() != Column::name || !index.isValid())
            return false;
        const bool wanted = value.toInt() == Qt::Checked;
        if (m_sheet->items()[static_cast<std::size_t>(index.row())].checked != wanted)
            m_sheet->toggle(index.row());
        return true;
    }

    void rowChanged(int row) { emit dataChanged(index(row, 0), index(row, Column::columns - 1)); }

private:
    QIcon icon(int row, const ReviewSheetViewController::Item& item) const
    {
        if (m_icons.size() != m_sheet->items().size())
            m_icons.assign(m_sheet->items().size(), QIcon());
        QIcon& cached = m_icons[static_cast<std::size_t>(row)];
        if (cached.isNull()) {
            const QFileInfo info(item.path);
            cached = info.exists() ? m_provider.icon(info)
                                   : m_provider.icon(item.isDirectory ? QFileIconProvider::Folder : QFileIconProvider::File);
        }
        return cached;
    }

    ReviewSheetViewController* m_sheet;
    QFileIconProvider m_provider;
    mutable std::vector<QIcon> m_icons;
};

namespace {
// Draws an outline around the check box in a dark appearance, where the style's own outline is nearly
// the colour of the rows and an unticked box would not show at all.
class CheckOutlineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (!ScreenStyle::isDark(option.palette) || !(index.flags() & Qt::ItemIsUserCheckable))
            return;
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QWidget* view = option.widget;
        QStyle* style = view ? view->style() : QApplication::style();
        const QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, view);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(ScreenStyle::labelColor(option.palette, ScreenStyle::LabelLevel::tertiary), 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        painter->restore();
    }
};
} // namespace

ReviewSheetViewController::ReviewSheetViewController(const QList<TrashCandidate>& items, ConfirmAction onConfirm,
                                                     CancelAction onCancel, QWidget* parent)
    : QDialog(parent ? parent->window() : nullptr), m_onConfirm(std::move(onConfirm)), m_onCancel(std::move(onCancel))
{
    m_items.reserve(static_cast<std::size_t>(items.size()));
    for (const TrashCandidate& candidate : items)
        m_items.push_back({candidate.path, candidate.sizeBytes, candidate.isDirectory, candidate.startsTicked});
    std::stable_sort(m_items.begin(), m_items.end(),
                     [](const Item& a, const Item& b) { return a.sizeBytes > b.sizeBytes; });

    QLabel* title = SheetParts::frameSheet(this, QStringLiteral("Move to Trash"));

    m_subtitleLabel = new QLabel(this);
    m_subtitleLabel->setFont(ScreenStyle::font(12));
    m_tints.add(m_subtitleLabel, ScreenStyle::LabelLevel::secondary);

    m_model = new ReviewItemsModel(this);
    m_tableView = SheetParts::table(this, m_model, QStringLiteral("Items to move to the Trash"), 26);
    m_tableView->setItemDelegate(new CheckOutlineDelegate(m_tableView));
    m_tableView->setIconSize(QSize(18, 18));
    m_tableView->setMinimumHeight(240);
    QHeaderView* header = m_tableView->horizontalHeader();
    header->setSectionResizeMode(ReviewItemsModel::name, QHeaderView::Stretch);
    header->setSectionResizeMode(ReviewItemsModel::size, QHeaderView::Interactive);
    header->setSectionResizeMode(ReviewItemsModel::where, QHeaderView::Stretch);
    header->resizeSection(ReviewItemsModel::size, 100);
    m_tableView->installEventFilter(this);
    if (!m_items.empty())
        m_tableView->selectionModel()->setCurrentIndex(m_model->index(0, ReviewItemsModel::name), QItemSelectionModel::NoUpdate);

    m_summaryLabel = new QLabel(QStringLiteral("Items go to the Trash — nothing is deleted permanently."), this);
    m_summaryLabel->setFont(ScreenStyle::font(11));
    m_tints.add(m_summaryLabel, ScreenStyle::LabelLevel::secondary);

    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    // Return presses the focused button (Cancel when the user tabbed to it), else the confirm button.
    m_cancelButton->setAutoDefault(true);
    connect(m_cancelButton, &QPushButton::clicked, this, &ReviewSheetViewController::cancelClicked);
    m_confirmButton = new DestructiveButton(QString(), this);
    m_confirmButton->setDefault(true); // Return presses it; Escape goes to reject()
    connect(m_confirmButton, &QPushButton::clicked, this, &ReviewSheetViewController::confirmClicked);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_summaryLabel, 1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_confirmButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 16);
    layout->setSpacing(8);
    layout->addWidget(title);
    layout->addWidget(m_subtitleLabel);
    layout->addWidget(m_tableView, 1);
    layout->addSpacing(4);
    layout->addLayout(buttons);

    updateSummary();
    m_tableView->setFocus();
}

QList<ReviewSheetViewController::Item> ReviewSheetViewController::checkedItems() const
{
    QList<Item> result;
    for (const Item& item : m_items) {
        if (item.checked)
            result.append(item);
    }
    return result;
}

void ReviewSheetViewController::toggle(int row)
{
    if (row < 0 || row >= static_cast<int>(m_items.size()))
        return;
    Item& item = m_items[static_cast<std::size_t>(row)];
    item.checked = !item.checked;
    m_model->rowChanged(row);
    updateSummary();
}

void ReviewSheetViewController::updateSummary()
{
    qint64 checkedCount = 0;
    qint64 checkedBytes = 0;
    for (const Item& item : m_items) {
        if (item.checked) {
            ++checkedCount;
            checkedBytes += item.sizeBytes;
        }
    }
    const qint64 total = static_cast<qint64>(m_items.size());
    const QString size = formatBytes(checkedBytes);
    if (checkedCount == total)
        m_subtitleLabel->setText(QStringLiteral("%1 item%2 · %3").arg(total).arg(pluralEnding(total), size));
    else
        m_subtitleLabel->setText(QStringLiteral("%1 of %2 selected · %3").arg(checkedCount).arg(total).arg(size));
    m_confirmButton->setTitle(checkedCount == 1 ? QStringLiteral("Move 1 Item to Trash")
                                                : QStringLiteral("Move %1 Items to Trash").arg(checkedCount));
    m_confirmButton->setEnabled(checkedCount > 0);
}

void ReviewSheetViewController::confirmClicked()
{
    if (m_confirmButton->isEnabled())
        finish(true);
}

void ReviewSheetViewController::cancelClicked()
{
    finish(false);
}

void ReviewSheetViewController::reject()
{
    finish(false);
}

void ReviewSheetViewController::finish(bool confirmed)
{
    if (m_finished)
        return;
    m_finished = true;
    QList<ConfirmedItem> chosen;
    for (const Item& item : checkedItems())
        chosen.append({item.path, item.sizeBytes});
    // Close first: the callbacks may open the next sheet over the same window.
    ConfirmAction onConfirm = std::move(m_onConfirm);
    CancelAction onCancel = std::move(m_onCancel);
    if (confirmed)
        QDialog::accept();
    else
        QDialog::reject();
    if (confirmed && onConfirm)
        onConfirm(chosen);
    else if (!confirmed && onCancel)
        onCancel();
}

bool ReviewSheetViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tableView && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            // Space ticks or unticks the selected rows (the current one when nothing is selected).
            QList<int> rows;
            for (const QModelIndex& index : m_tableView->selectionModel()->selectedRows())
                rows.append(index.row());
            if (rows.isEmpty() && m_tableView->currentIndex().isValid())
                rows.append(m_tableView->currentIndex().row());
            for (int row : rows)
                toggle(row);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ReviewSheetViewController::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_tints.apply();
}
