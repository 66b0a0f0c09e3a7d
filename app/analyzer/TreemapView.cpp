#include "TreemapView.h"

#include "ChartText.h"
#include "shell/ScreenStyle.h"
#include "shell/Palette.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The worse aspect ratio of a row with fraction sum sum, largest max and smallest min along side s.
double worst(double sum, double max, double min, double s)
{
    const double s2 = s * s;
    const double sum2 = sum * sum;
    return std::max(s2 * max / sum2, sum2 / (s2 * min));
}

// A row fills a column at the left of the rectangle when it is wider than high, else a strip at the top.
void placeRow(const std::vector<TreemapView::Block>& row, double sum, double x, double y, double w, double h,
              std::vector<TreemapView::Block>& result)
{
    if (sum <= 0)
        return;
    const bool column = w >= h;
    const double thickness = column ? sum / h : sum / w;
    double offset = column ? y : x;
    for (TreemapView::Block block : row) {
        const double length = block.fraction / thickness;
        block.unit = column ? QRectF(x, offset, thickness, length) : QRectF(offset, y, length, thickness);
        offset += length;
        result.push_back(std::move(block));
    }
}

void fillRounded(QPainter& painter, const QRectF& rect, qreal radius, const QColor& color)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.fillPath(path, color);
}

} // namespace

TreemapView::TreemapView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setAccessibleName(QStringLiteral("Treemap"));
    setMinimumSize(120, 120);
}

std::vector<TreemapView::Block> TreemapView::squarifiedBlocks(const std::vector<AnalyzerNodePtr>& nodes)
{
    double total = 0;
    for (const AnalyzerNodePtr& node : nodes)
        total += static_cast<double>(countedSize(*node));
    std::vector<Block> result;
    if (total <= 0)
        return result;
    std::vector<Block> blocks;
    blocks.reserve(nodes.size());
    for (const AnalyzerNodePtr& node : nodes)
        blocks.push_back(Block{node, static_cast<double>(countedSize(*node)) / total, QRectF()});
    std::stable_sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) { return a.fraction > b.fraction; });
    result.reserve(blocks.size());
    squarify(blocks, 0, {}, 0, 0, 1, 1, result);
    return result;
}

// The recursion of the squarified algorithm written as a loop: each pass either adds the next block to
// the row (when that does not worsen the row's worst aspect ratio; ties add) or fixes the row and goes
// on in the rectangle left over.
void TreemapView::squarify(const std::vector<Block>& blocks, std::size_t start, std::vector<Block> row, double x,
                           double y, double w, double h, std::vector<Block>& result)
{
    double sum = 0;
    double max = 0;
    double min = std::numeric_limits<double>::infinity();
    for (const Block& block : row) {
        sum += block.fraction;
        max = std::max(max, block.fraction);
        min = std::min(min, block.fraction);
    }
    std::size_t next = start;
    while (true) {
        if (next >= blocks.size()) {
            placeRow(row, sum, x, y, w, h, result);
            return;
        }
        const Block& candidate = blocks[next];
        if (row.empty() || worst(sum + candidate.fraction, std::max(max, candidate.fraction),
                                 std::min(min, candidate.fraction), std::min(w, h)) <= worst(sum, max, min, std::min(w, h))) {
            row.push_back(candidate);
            sum += candidate.fraction;
            max = std::max(max, candidate.fraction);
            min = std::min(min, candidate.fraction);
            ++next;
            continue;
        }
        placeRow(row, sum, x, y, w, h, result);
        if (w >= h) {
            x += sum / h;
            w -= sum / h;
        } else {
            y += sum / w;
            h -= sum / w;
        }
        row.clear();
        sum = 0;
        max = 0;
        min = std::numeric_limits<double>::infinity();
    }
}

void TreemapView::display(const AnalyzerNodePtr& folder)
{
    m_selected.reset();
    if (onSelect)
        onSelect(nullptr);
    m_entries.clear();
    m_folder = folder;
    if (folder) {
        std::vector<AnalyzerNodePtr> visible = visibleChildren(*folder);
        if (visible.size() > maxCells) {
            std::int64_t rest = 0;
            for (std::size_t i = maxCells; i < visible.size(); ++i)
                rest += countedSize(*visible[i]);
            const std::size_t others = visible.size() - maxCells;
            const std::string name = "Other (" + std::to_string(others) + (others == 1 ? " item)" : " items)");
            visible.resize(maxCells);
            visible.push_back(AnalyzerTreeNode::makeAggregated(folder.get(), name, rest));
        }
        const std::vector<Block> blocks = squarifiedBlocks(visible);
        ++m_layoutCount;
        m_entries.reserve(blocks.size());
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            TreemapCellView cell;
            cell.node = blocks[i].node;
            if (cell.node->isAggregated()) {
                cell.fill = Palette::otherColor();
                cell.text = QColor(0x30, 0x33, 0x38);
            } else {
                const DistinctColor color = Palette::distinct(static_cast<int>(i));
                cell.fill = color.fill;
                cell.text = color.text;
            }
            m_entries.push_back(Entry{std::move(cell), blocks[i].unit});
        }
    }
    placeCells();
    update();
}

void TreemapView::placeCells()
{
    const double width = this->width();
    const double height = this->height();
    for (Entry& entry : m_entries) {
        const QRectF scaled(entry.unit.x() * width, entry.unit.y() * height, entry.unit.width() * width,
                            entry.unit.height() * height);
        entry.cell.frame = scaled.toAlignedRect();
        entry.cell.hidden = scaled.width() < 1 || scaled.height() < 1;
    }
}

void TreemapView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeCells();
}

void TreemapView::select(const AnalyzerTreeNode* node)
{
    m_selected.reset();
    for (Entry& entry : m_entries) {
        entry.cell.isSelected = node && entry.cell.node.get() == node;
        if (entry.cell.isSelected)
            m_selected = entry.cell.node;
    }
    update();
}

void TreemapView::clearSelection()
{
    for (Entry& entry : m_entries)
        entry.cell.isSelected = false;
    m_selected.reset();
    update();
}

std::optional<QColor> TreemapView::color(const AnalyzerTreeNode* node) const
{
    for (const Entry& entry : m_entries)
        if (entry.cell.node.get() == node)
            return fillOverride && !node->isAggregated() ? fillOverride(*node).value_or(entry.cell.fill) : entry.cell.fill;
    return std::nullopt;
}

int TreemapView::cellAt(const QPoint& point) const
{
    // Rounding outwards lets neighbours share a pixel; the later cell was painted on top.
    for (int i = static_cast<int>(m_entries.size()) - 1; i >= 0; --i) {
        const TreemapCellView& cell = m_entries[static_cast<std::size_t>(i)].cell;
        if (!cell.hidden && cell.frame.contains(point))
            return i;
    }
    return -1;
}

int TreemapView::selectedIndex() const
{
    // With several cells selected the keyboard is on the last one it reached.
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].cell.isSelected && m_entries[i].cell.node == m_selected)
            return static_cast<int>(i);
    return -1;
}

void TreemapView::selectCell(int index)
{
    if (index < 0 || index >= static_cast<int>(m_entries.size()))
        return;
    for (Entry& entry : m_entries)
        entry.cell.isSelected = false;
    TreemapCellView& cell = m_entries[static_cast<std::size_t>(index)].cell;
    cell.isSelected = true;
    m_selected = cell.node;
    setAccessibleDescription(ChartText::label(*cell.node));
    update();
    if (onSelect)
        onSelect(m_selected);
}

void TreemapView::drillCell(int index)
{
    if (index < 0 || index >= static_cast<int>(m_entries.size()))
        return;
    const AnalyzerNodePtr node = m_entries[static_cast<std::size_t>(index)].cell.node;
    if (node->hasChildren() && onDrill)
        onDrill(node);
}

void TreemapView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        selectCell(cellAt(event->position().toPoint()));
    QWidget::mousePressEvent(event);
}

void TreemapView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        drillCell(cellAt(event->position().toPoint()));
}

void TreemapView::keyPressEvent(QKeyEvent* event)
{
    const int count = static_cast<int>(m_entries.size());
    const int current = selectedIndex();
    const auto next = [&](int from, int direction) {
        for (int i = from + direction; i >= 0 && i < count; i += direction)
            if (!m_entries[static_cast<std::size_t>(i)].cell.hidden)
                return i;
        return -1;
    };
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Left: {
        const int direction = event->key() == Qt::Key_Right ? 1 : -1;
        const int target = current < 0 ? next(-1, 1) : next(current, direction);
        if (target < 0)
            return;
        if (extend && current >= 0)
            extendTo(target);
        else
            selectCell(target);
        return;
    }
    case Qt::Key_Down:
        if (current >= 0 && m_entries[static_cast<std::size_t>(current)].cell.node->hasChildren()) {
            const AnalyzerNodePtr folder = m_entries[static_cast<std::size_t>(current)].cell.node;
            drillCell(current);
            if (m_folder == folder)
                selectCell(next(-1, 1));
        } else if (current < 0) {
            selectCell(next(-1, 1));
        }
        return;
    case Qt::Key_Up:
        if (const AnalyzerNodePtr from = m_folder; from && onUp) {
            onUp();
            for (int i = 0; m_folder != from && i < count && i < static_cast<int>(m_entries.size()); ++i)
                if (m_entries[static_cast<std::size_t>(i)].cell.node == from)
                    return selectCell(i);
        }
        return;
    case Qt::Key_Home:
        selectCell(count > 0 ? 0 : -1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        drillCell(current);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TreemapView::extendTo(int index)
{
    TreemapCellView& cell = m_entries[static_cast<std::size_t>(index)].cell;
    cell.isSelected = true;
    m_selected = cell.node; // the keyboard goes on from here
    update();
    std::vector<AnalyzerNodePtr> nodes;
    for (const Entry& entry : m_entries)
        if (entry.cell.isSelected)
            nodes.push_back(entry.cell.node);
    if (onExtend)
        onExtend(nodes);
}

bool TreemapView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = cellAt(help->pos());
        if (index >= 0)
            QToolTip::showText(help->globalPos(), ChartText::tooltip(*m_entries[static_cast<std::size_t>(index)].cell.node), this,
                               m_entries[static_cast<std::size_t>(index)].cell.frame);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void TreemapView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont font = ScreenStyle::font(11);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    auto paintCell = [&](const TreemapCellView& cell, int border, const QColor& borderColor) {
        const QRectF frame(cell.frame);
        if (border > 0)
            fillRounded(painter, frame, 3, borderColor);
        const std::optional<QColor> changed =
            fillOverride && !cell.node->isAggregated() ? fillOverride(*cell.node) : std::nullopt;
        fillRounded(painter, frame.adjusted(border, border, -border, -border), std::max(3 - border, 1),
                    changed.value_or(cell.fill));
        if (cell.frame.width() < 56 || cell.frame.height() < 22)
            return;
        painter.setPen(changed ? (changed->lightnessF() < 0.55 ? QColor(Qt::white) : QColor(0x30, 0x33, 0x38)) : cell.text);
        const QRect text = cell.frame.adjusted(6, 4, -6, -4);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignTop,
                         metrics.elidedText(ChartText::name(*cell.node), Qt::ElideRight, text.width()));
        if (cell.frame.height() >= 40)
            painter.drawText(text.adjusted(0, metrics.lineSpacing(), 0, 0), Qt::AlignLeft | Qt::AlignTop,
                             ChartText::size(*cell.node));
    };
    std::vector<const TreemapCellView*> selectedCells;
    for (const Entry& entry : m_entries) {
        const TreemapCellView& cell = entry.cell;
        if (cell.hidden)
            continue;
        if (cell.isSelected) {
            selectedCells.push_back(&cell); // painted last, so no neighbour covers its border
            continue;
        }
        // The border rule: a 1-pixel separator in the window colour, none on cells under 4 pixels.
        paintCell(cell, cell.frame.width() >= 4 && cell.frame.height() >= 4 ? 1 : 0, palette().color(QPalette::Window));
    }
    for (const TreemapCellView* cell : selectedCells)
        paintCell(*cell, 3, ChartText::accent(palette()));
    // The focus mark frames the whole chart, selected cell or not, so the keyboard's place always shows.
    if (hasFocus() && !m_entries.empty()) {
        painter.setPen(QPen(ChartText::accent(palette()), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
    }
}
