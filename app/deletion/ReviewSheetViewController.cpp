#include "ReviewSheetViewController.h"

#include "shell/PathBytes.h"
#include "SheetParts.h"
#include "shell/PlainText.h"
#include "shell/ScreenStyle.h"
#include "DestructiveButton.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QPainter>
#include <QTextLayout>
#include <QtMath>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QEvent>
#include <QTimer>
#include <QFileIconProvider>
#include <QMimeDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <map>

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
        return section >= 0 && section < Column::columns ? utf8Text(titles[section]) : QVariant();
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags result = QAbstractTableModel::flags(index);
        const auto& items = m_sheet->items();
        if (index.isValid() && index.row() < static_cast<int>(items.size()) && items[static_cast<std::size_t>(index.row())].refused)
            return result & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
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
        const QString name = visibleText(pathName(item.path));
        const QString folder = visibleText(pathFolder(item.path));
        switch (role) {
        case Qt::DisplayRole:
            if (index.column() == Column::name)
                return name;
            if (index.column() == Column::size)
                return item.keptBytes > 0 ? linkedSize(item.shownBytes) : formatBytes(item.shownBytes);
            return folder;
        case Qt::ToolTipRole: // shown as written, never as markup
            if (index.column() == Column::name)
                return PlainText::toolTip(item.note.isEmpty() ? visibleText(item.path)
                                                              : visibleText(item.path) + QLatin1Char('\n') + item.note);
            if (index.column() == Column::size && item.keptBytes > 0)
                return QStringLiteral("%1 on disk; other hard links keep %2 of it").arg(formatBytes(item.shownBytes), formatBytes(item.keptBytes));
            if (index.column() == Column::size)
                return formatBytes(item.shownBytes);
            return PlainText::toolTip(folder);
        case Qt::AccessibleDescriptionRole: // also the line under the name (CheckOutlineDelegate)
            return index.column() == Column::name ? item.note : QString();
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
    // By the name's type alone: looking at the file would be file-system work on the GUI thread.
    QIcon icon(int row, const ReviewSheetViewController::Item& item) const
    {
        if (m_icons.size() != m_sheet->items().size())
            m_icons.assign(m_sheet->items().size(), QIcon());
        QIcon& cached = m_icons[static_cast<std::size_t>(row)];
        if (cached.isNull()) {
            const QIcon plain = m_provider.icon(item.isDirectory ? QFileIconProvider::Folder : QFileIconProvider::File);
            if (item.isDirectory) {
                cached = plain;
            } else {
                const QMimeType type = QMimeDatabase().mimeTypeForFile(pathName(item.path), QMimeDatabase::MatchExtension);
                cached = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), plain));
            }
        }
        return cached;
    }

    ReviewSheetViewController* m_sheet;
    QFileIconProvider m_provider;
    mutable std::vector<QIcon> m_icons;
};

namespace {
constexpr int rowHeight = 26;
constexpr auto slowCheck = std::chrono::milliseconds(400); // a check this long says so on the button

QFont noteFont()
{
    return ScreenStyle::font(11);
}

// A note laid out to a width, broken between words and, where one word (a long folder name) is wider
// than the cell, inside it: nothing runs past the cell to be clipped.
void layOutNote(QTextLayout& layout, int width)
{
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setFont(noteFont());
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
}

// Why the trash step refuses an item, in words a user reads at a glance (the engine's own text goes
// to the audit log).
QString refusalReason(const brisklet::PathValidator::Rejection& refusal)
{
    using Kind = brisklet::PathValidator::Rejection::Kind;
    const QString where = visibleText(pathFromBytes(refusal.location));
    switch (refusal.kind) {
    case Kind::protectedPrefix:
        return QStringLiteral("Protected: everything in %1 belongs to the system").arg(where);
    case Kind::protectedPath:
        return QStringLiteral("Protected: the system or your desktop needs this folder");
    case Kind::rootLevelPath:
        return QStringLiteral("Protected: a top-level folder of the system");
    case Kind::volumeRoot:
        return QStringLiteral("Protected: a whole volume never goes to the Trash");
    case Kind::holdsMount:
        return QStringLiteral("Holds the volume mounted at %1; unmount it first").arg(where);
    case Kind::nonexistent:
        return QStringLiteral("No longer on disk");
    case Kind::notAbsolute:
        return QStringLiteral("Not a full path");
    }
    return {};
}

// Draws the note of a row under its name, wrapped to the cell's width, and an outline around the check
// box in a dark appearance, where the style's own outline is nearly the colour of the rows and an
// unticked box would not show. A row's height (sizeHint) has room for its whole note.
class CheckOutlineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int width = QStyledItemDelegate::sizeHint(option, index).width();
        const QString note = index.data(Qt::AccessibleDescriptionRole).toString();
        if (note.isEmpty())
            return {width, rowHeight};
        const QRect area = noteArea(option, index);
        QTextLayout layout(note);
        layOutNote(layout, area.width());
        return {width, area.top() - option.rect.top() + qCeil(layout.boundingRect().height()) + 4};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QWidget* view = option.widget;
        QStyle* style = view ? view->style() : QApplication::style();
        const QString note = index.data(Qt::AccessibleDescriptionRole).toString();
        // A row with a note: the usual row in the upper part, the note under the name in the lower.
        QStyleOptionViewItem top = option;
        if (!note.isEmpty()) {
            QStyleOptionViewItem panel = option;
            initStyleOption(&panel, index);
            style->drawPrimitive(QStyle::PE_PanelItemViewItem, &panel, painter, view);
            top.rect.setHeight(rowHeight);
        }
        QStyledItemDelegate::paint(painter, top, index);
        if (!note.isEmpty()) {
            const bool refused = !(index.flags() & Qt::ItemIsEnabled);
            painter->save();
            painter->setFont(noteFont());
            painter->setPen(option.state & QStyle::State_Selected ? option.palette.color(QPalette::HighlightedText)
                            : refused ? DestructiveButton::destructiveColor()
                                      : ScreenStyle::labelColor(option.palette, ScreenStyle::LabelLevel::secondary));
            const QRect area = noteArea(option, index);
            QTextLayout layout(note);
            layOutNote(layout, area.width());
            painter->setClipRect(area, Qt::IntersectClip);
            layout.draw(painter, area.topLeft());
            painter->restore();
        }
        if (!ScreenStyle::isDark(option.palette) || !(index.flags() & Qt::ItemIsUserCheckable))
            return;
        QStyleOptionViewItem item = top;
        initStyleOption(&item, index);
        const QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, view);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(ScreenStyle::labelColor(option.palette, ScreenStyle::LabelLevel::tertiary), 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        painter->restore();
    }

private:
    // Under the name, from the name's left edge to the cell's right one, down to the cell's bottom.
    QRect noteArea(const QStyleOptionViewItem& option, const QModelIndex& index) const
    {
        const QWidget* view = option.widget;
        QStyle* style = view ? view->style() : QApplication::style();
        QStyleOptionViewItem upper = option;
        upper.rect.setHeight(rowHeight);
        initStyleOption(&upper, index);
        const int left = style->subElementRect(QStyle::SE_ItemViewItemText, &upper, view).left();
        const int top = option.rect.top() + rowHeight - 4;
        return QRect(left, top, std::max(40, option.rect.right() - left - 4), std::max(0, option.rect.bottom() - top));
    }
};
} // namespace

ReviewSheetViewController::ReviewSheetViewController(const QList<TrashCandidate>& items, ConfirmAction onConfirm,
                                                     CancelAction onCancel, QWidget* parent)
    : QDialog(parent ? parent->window() : nullptr), m_onConfirm(std::move(onConfirm)), m_onCancel(std::move(onCancel))
{
    m_items.reserve(static_cast<std::size_t>(items.size()));
    for (const TrashCandidate& candidate : items) {
        Item item{candidate.path, candidate.sizeBytes, candidate.isDirectory, candidate.startsTicked};
        item.note = visibleText(candidate.note);
        item.shownBytes = candidate.sizeBytes;
        m_items.push_back(std::move(item));
    }
    std::stable_sort(m_items.begin(), m_items.end(),
                     [](const Item& a, const Item& b) { return a.sizeBytes > b.sizeBytes; });
    for (const Item& item : m_items)
        m_callerNotes.push_back(item.note);

    QLabel* title = SheetParts::frameSheet(this, QStringLiteral("Move to Trash"));

    m_subtitleLabel = new QLabel(this);
    m_subtitleLabel->setFont(ScreenStyle::font(12));
    m_tints.add(m_subtitleLabel, ScreenStyle::LabelLevel::secondary);

    m_model = new ReviewItemsModel(this);
    m_tableView = SheetParts::table(this, m_model, QStringLiteral("Items to move to the Trash"), rowHeight);
    m_tableView->setItemDelegate(new CheckOutlineDelegate(m_tableView));
    m_tableView->setIconSize(QSize(18, 18));
    m_tableView->setMinimumHeight(240);
    QHeaderView* header = m_tableView->horizontalHeader();
    header->setSectionResizeMode(ReviewItemsModel::name, QHeaderView::Stretch);
    header->setSectionResizeMode(ReviewItemsModel::size, QHeaderView::Interactive);
    header->setSectionResizeMode(ReviewItemsModel::where, QHeaderView::Stretch);
    header->resizeSection(ReviewItemsModel::size, 100);
    connect(header, &QHeaderView::sectionResized, this, [this](int section) {
        if (section == ReviewItemsModel::name)
            updateRowHeights(); // the notes wrap anew
    });
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

    updateRowHeights();
    updateSummary();
    m_tableView->setFocus();
    check();
    QTimer::singleShot(slowCheck, this, [this] {
        m_slowCheck = true;
        if (!m_ready)
            updateSummary();
    });
}

void ReviewSheetViewController::check()
{
    std::vector<std::string> paths;
    for (const Item& item : m_items)
        paths.push_back(pathBytes(item.path));
    m_runner.run(
        [paths](std::stop_token) {
            std::vector<std::optional<brisklet::PathValidator::Rejection>> refusals;
            for (const std::string& path : paths)
                refusals.push_back(brisklet::TrashService::refusal(path));
            return refusals;
        },
        [this, paths](const std::vector<std::optional<brisklet::PathValidator::Rejection>>& refusals) {
            applyRefusals(refusals);
            // Then what each item gives back; a refused one is never moved, so it is not walked.
            m_runner.run(
                [paths, refusals](std::stop_token stop) {
                    std::vector<brisklet::platform::ItemUsage> usage(paths.size());
                    for (std::size_t i = 0; i < paths.size() && !stop.stop_requested(); ++i)
                        if (!refusals[i])
                            usage[i] = brisklet::TrashService::measureRemoval(paths[i], stop);
                    return usage;
                },
                [this](std::vector<brisklet::platform::ItemUsage> usage) { applyUsage(std::move(usage)); });
        },
        [this](const QString& failure) {
            // Unjudged items are not offered: the sheet can still be cancelled.
            const std::vector<std::optional<brisklet::PathValidator::Rejection>> none(m_items.size());
            for (Item& item : m_items) {
                item.refused = true;
                item.checked = false;
                item.note = QStringLiteral("Could not be checked: %1").arg(failure);
            }
            applyRefusals(none);
        });
}

void ReviewSheetViewController::applyRefusals(const std::vector<std::optional<brisklet::PathValidator::Rejection>>& refusals)
{
    for (std::size_t row = 0; row < m_items.size(); ++row) {
        Item& item = m_items[row];
        if (row < refusals.size() && refusals[row]) {
            item.refused = true;
            item.checked = false;
            item.note = refusalReason(*refusals[row]);
        }
        if (item.refused)
            m_model->rowChanged(static_cast<int>(row));
    }
    m_ready = true;
    keepKeyboardOffRefusedRows();
    updateRowHeights();
    updateSummary();
}

void ReviewSheetViewController::keepKeyboardOffRefusedRows()
{
    QItemSelectionModel* selection = m_tableView->selectionModel();
    const auto offered = [this](int row) { return !m_items[static_cast<std::size_t>(row)].refused; };
    const int rows = static_cast<int>(m_items.size());
    for (int row = 0; row < rows; ++row)
        if (!offered(row))
            selection->select(m_model->index(row, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    const QModelIndex current = selection->currentIndex();
    const int from = current.isValid() ? current.row() : 0;
    if (current.isValid() && offered(from))
        return;
    int target = -1;
    for (int row = from; row < rows && target < 0; ++row)
        if (offered(row))
            target = row;
    for (int row = from - 1; row >= 0 && target < 0; --row)
        if (offered(row))
            target = row;
    if (target < 0)
        selection->clearCurrentIndex();
    else
        selection->setCurrentIndex(m_model->index(target, current.isValid() ? current.column() : ReviewItemsModel::name),
                                   QItemSelectionModel::NoUpdate);
}

void ReviewSheetViewController::applyUsage(std::vector<brisklet::platform::ItemUsage> usage)
{
    if (usage.size() != m_items.size())
        return;
    m_usage = std::move(usage);
    m_measured = true;
    for (std::size_t row = 0; row < m_items.size(); ++row) {
        if (m_items[row].refused)
            continue;
        qint64 held = m_usage[row].ownBytes;
        for (const auto& file : m_usage[row].linkedFiles)
            held += file.bytes;
        m_items[row].shownBytes = held;
    }
    updateRelease();
    updateSummary();
}

// What the ticked rows give back together, and for each row what other links keep of it: a file with
// a link outside the ticked rows (and outside the row itself, for an unticked one) keeps its bytes.
void ReviewSheetViewController::updateRelease()
{
    if (!m_measured)
        return;
    std::vector<bool> ticked;
    for (const Item& item : m_items)
        ticked.push_back(item.checked);
    const std::vector<std::int64_t> together = brisklet::TrashService::releasedBytes(m_usage, ticked);
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::uint64_t> leaving; // links the ticked rows take
    for (std::size_t row = 0; row < m_items.size(); ++row)
        if (ticked[row])
            for (const auto& file : m_usage[row].linkedFiles)
                leaving[{file.device, file.inode}] += file.linksHere;
    for (std::size_t row = 0; row < m_items.size(); ++row) {
        Item& item = m_items[row];
        if (item.refused)
            continue;
        item.releasedBytes = together[row];
        item.keptBytes = 0;
        for (const auto& file : m_usage[row].linkedFiles) {
            const auto found = leaving.find({file.device, file.inode});
            const std::uint64_t links = (found == leaving.end() ? 0 : found->second) + (item.checked ? 0 : file.linksHere);
            if (links < file.links)
                item.keptBytes += file.bytes;
        }
        if (!m_callerNotes[row].isEmpty())
            item.note = m_callerNotes[row];
        else if (item.keptBytes == 0)
            item.note.clear();
        else if (item.shownBytes <= item.keptBytes)
            item.note = QStringLiteral("also linked elsewhere: frees no space until every link is removed");
        else
            item.note = QStringLiteral("also linked elsewhere: frees only %1 until every link is removed")
                            .arg(formatBytes(item.shownBytes - item.keptBytes));
        m_model->rowChanged(static_cast<int>(row));
    }
    updateRowHeights();
}

void ReviewSheetViewController::updateRowHeights()
{
    QStyleOptionViewItem option;
    option.initFrom(m_tableView->viewport());
    option.widget = m_tableView;
    option.font = m_tableView->font();
    option.decorationSize = m_tableView->iconSize();
    option.rect = QRect(0, 0, m_tableView->columnWidth(ReviewItemsModel::name), rowHeight);
    for (std::size_t row = 0; row < m_items.size(); ++row) {
        const int height = m_items[row].note.isEmpty()
            ? rowHeight
            : m_tableView->itemDelegate()->sizeHint(option, m_model->index(static_cast<int>(row), ReviewItemsModel::name)).height();
        m_tableView->setRowHeight(static_cast<int>(row), height);
    }
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
    if (item.refused)
        return;
    item.checked = !item.checked;
    m_model->rowChanged(row);
    updateRelease();
    updateSummary();
}

void ReviewSheetViewController::updateSummary()
{
    qint64 checkedCount = 0;
    qint64 checkedBytes = 0;
    qint64 refused = 0;
    for (const Item& item : m_items) {
        refused += item.refused ? 1 : 0;
        if (item.checked) {
            ++checkedCount;
            checkedBytes += m_measured ? item.releasedBytes : item.sizeBytes;
        }
    }
    const qint64 offered = static_cast<qint64>(m_items.size()) - refused; // the rows that can be ticked
    const QString size = formatBytes(checkedBytes);
    QString subtitle = checkedCount == offered && offered > 0
        ? QStringLiteral("%1 item%2 · %3").arg(offered).arg(pluralEnding(offered), size)
        : QStringLiteral("%1 of %2 selected · %3").arg(checkedCount).arg(offered).arg(size);
    if (offered == 0 && refused > 0) // no counts of nothing
        subtitle = refused == 1 ? QStringLiteral("This item can't be moved")
                                : QStringLiteral("None of these %1 items can be moved").arg(refused);
    else if (refused > 0)
        subtitle += QStringLiteral(" · %1 can't be moved").arg(refused);
    m_subtitleLabel->setText(subtitle);
    const QString title = checkedCount == 1 ? QStringLiteral("Move 1 Item to Trash")
                                            : QStringLiteral("Move %1 Items to Trash").arg(checkedCount);
    if (!m_ready && m_slowCheck) {
        // Keep the width the title needs, so the row of buttons does not jump when it comes back.
        m_confirmButton->setTitle(title);
        m_confirmButton->setMinimumWidth(m_confirmButton->sizeHint().width());
        m_confirmButton->setTitle(QStringLiteral("Checking…"));
    } else {
        m_confirmButton->setMinimumWidth(0);
        m_confirmButton->setTitle(title);
    }
    m_confirmButton->setEnabled(m_ready && checkedCount > 0);
}

void ReviewSheetViewController::confirmClicked()
{
    if (m_ready && m_confirmButton->isEnabled())
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
