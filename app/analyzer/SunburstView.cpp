#include "SunburstView.h"

#include "ChartText.h"
#include "shell/ScreenStyle.h"
#include "shell/Palette.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double overlap = 0.45; // degrees each wedge reaches into its neighbours, so no seams show
constexpr double ringGap = 0.8;  // pixels left free on each side of a ring
constexpr double hitSlack = 0.01;
} // namespace

SunburstView::SunburstView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Sunburst"));
    setMinimumSize(160, 160);
}

std::vector<AnalyzerNodePtr> SunburstView::preparedChildren(const AnalyzerNodePtr& node)
{
    std::vector<AnalyzerNodePtr> prepared = visibleChildren(*node);
    if (prepared.size() > maxChildren) {
        std::int64_t rest = 0;
        for (std::size_t i = maxChildren; i < prepared.size(); ++i)
            rest += countedSize(*prepared[i]);
        const std::string name = "Other (" + std::to_string(prepared.size() - maxChildren) + ")";
        prepared.resize(maxChildren);
        prepared.push_back(AnalyzerTreeNode::makeAggregated(node.get(), name, rest));
    }
    return prepared;
}

void SunburstView::display(const AnalyzerNodePtr& root)
{
    m_selected.reset();
    m_extended.clear();
    if (onSelect)
        onSelect(nullptr);
    m_wedges.clear();
    m_displayRoot = root;
    m_rootName = root ? ChartText::name(*root) : QString();
    m_rootSizeText = root ? ChartText::size(*root) : QString();
    if (root) {
        const std::vector<AnalyzerNodePtr> children = preparedChildren(root);
        std::int64_t sum = 0;
        for (const AnalyzerNodePtr& child : children)
            sum += countedSize(*child);
        const double total = static_cast<double>(std::max<std::int64_t>(sum, 1));
        double angle = 90;
        for (std::size_t i = 0; i < children.size(); ++i) {
            const double end = angle + static_cast<double>(countedSize(*children[i])) * 360.0 / total;
            layout(children[i], static_cast<int>(i), 0, angle, end);
            angle = end;
        }
    }
    setAccessibleDescription(m_rootName + QStringLiteral(", ") + m_rootSizeText);
    update();
}

void SunburstView::layout(const AnalyzerNodePtr& node, int sibling, int level, double start, double end)
{
    const double span = end - start;
    if (level >= 3 || span <= minimumSpan)
        return;
    QColor fill;
    if (node->isAggregated()) {
        fill = Palette::otherColor();
    } else {
        const std::optional<FamilyPlacement> placement =
            m_displayRoot ? node->familyPlacement(*m_displayRoot) : std::nullopt;
        fill = Palette::distinct(placement ? placement->index : 0, placement ? placement->depth : 0, sibling).fill;
    }
    m_wedges.push_back(Wedge{node, level, start, end, fill, static_cast<int>(m_wedges.size())});
    if (!node->hasChildren() || level >= 2 || span <= childrenSpan)
        return;
    const std::vector<AnalyzerNodePtr> children = preparedChildren(node);
    std::int64_t sum = 0;
    for (const AnalyzerNodePtr& child : children)
        sum += countedSize(*child);
    const double total = static_cast<double>(std::max<std::int64_t>(sum, 1));
    double angle = start;
    for (std::size_t i = 0; i < children.size(); ++i) {
        const double childEnd = angle + span * static_cast<double>(countedSize(*children[i])) / total;
        layout(children[i], static_cast<int>(i), level + 1, angle, childEnd);
        angle = childEnd;
    }
}

void SunburstView::setSelected(const AnalyzerNodePtr& node)
{
    m_selected = node;
    m_extended.clear();
    update();
}

std::optional<QColor> SunburstView::color(const AnalyzerTreeNode* node) const
{
    if (!node)
        return std::nullopt;
    for (const Wedge& wedge : m_wedges)
        if (wedge.node.get() == node)
            return fillOverride && !node->isAggregated() ? fillOverride(*node).value_or(wedge.fill) : wedge.fill;
    const AnalyzerTreeNode* parent = node->parent();
    if (node->sizeBytes() < 1 || !parent)
        return std::nullopt;
    int sibling = 0;
    int position = 0;
    for (const AnalyzerNodePtr& child : parent->children()) {
        if (child->sizeBytes() < 1)
            continue;
        if (child.get() == node) {
            sibling = position;
            break;
        }
        ++position;
    }
    if (sibling >= maxChildren)
        return std::nullopt;
    if (node->isAggregated())
        return Palette::otherColor();
    const std::optional<FamilyPlacement> placement = m_displayRoot ? node->familyPlacement(*m_displayRoot) : std::nullopt;
    return Palette::distinct(placement ? placement->index : 0, placement ? placement->depth : 0, sibling).fill;
}

SunburstView::Geometry SunburstView::geometry() const
{
    Geometry geometry;
    geometry.outerRadius = std::max(std::min(width(), height()) * 0.5 - 6, 10.0);
    geometry.hole = geometry.outerRadius * 0.4;
    geometry.ringWidth = (geometry.outerRadius - geometry.hole) / 3;
    geometry.centre = QRectF(rect()).center();
    return geometry;
}

QString SunburstView::centreName(const QString& name, const QFontMetricsF& metrics, double hole, bool* fits)
{
    const bool whole = metrics.horizontalAdvance(name) <= 1.7 * hole;
    if (fits)
        *fits = whole;
    if (whole)
        return name;
    // Characters as the reader sees them: an emoji or an accented letter is never cut in half.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, name);
    qsizetype end = 0;
    for (int count = 0; count < 18; ++count) {
        const qsizetype next = characters.toNextBoundary();
        if (next < 0)
            break;
        end = next;
    }
    return name.left(end) + QChar(0x2026);
}

int SunburstView::hit(const QPointF& point) const
{
    const Geometry g = geometry();
    const double dx = point.x() - g.centre.x();
    const double dy = g.centre.y() - point.y(); // angles count with y pointing up
    const double distance = std::hypot(dx, dy);
    if (distance < g.hole)
        return -2;
    if (distance > g.outerRadius)
        return -1;
    double angle = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
    if (angle < 90)
        angle += 360;
    for (const Wedge& wedge : m_wedges) {
        const double inner = g.hole + wedge.level * g.ringWidth;
        if (distance >= inner && distance <= inner + g.ringWidth && angle >= wedge.startAngle - hitSlack &&
            angle <= wedge.endAngle + hitSlack)
            return wedge.index;
    }
    return -1;
}

void SunburstView::selectWedge(int index)
{
    if (index < 0 || index >= static_cast<int>(m_wedges.size()))
        return;
    m_selected = m_wedges[static_cast<std::size_t>(index)].node;
    m_extended.clear();
    setAccessibleDescription(ChartText::label(*m_selected));
    update();
    if (onSelect)
        onSelect(m_selected);
}

void SunburstView::click(const QPointF& point, int clickCount)
{
    const int index = hit(point);
    if (index == -2) {
        if (clickCount >= 2 && onUp)
            onUp();
        return;
    }
    if (index < 0)
        return;
    const AnalyzerNodePtr node = m_wedges[static_cast<std::size_t>(index)].node;
    selectWedge(index);
    if (clickCount >= 2 && node->hasChildren() && onDrill)
        onDrill(node);
}

void SunburstView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        click(event->position(), 1);
    QWidget::mousePressEvent(event);
}

void SunburstView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        click(event->position(), 2);
}

void SunburstView::keyPressEvent(QKeyEvent* event)
{
    int current = -1;
    for (const Wedge& wedge : m_wedges)
        if (wedge.node == m_selected)
            current = wedge.index;
    const int count = static_cast<int>(m_wedges.size());
    const auto parentOf = [](const AnalyzerNodePtr& node) { return node ? node->parent() : nullptr; };
    // The wedge after (or before) from whose node has the given parent, in ring order.
    const auto sibling = [&](int from, int direction, const AnalyzerTreeNode* parent) {
        for (int i = from + direction; i >= 0 && i < count; i += direction)
            if (parentOf(m_wedges[static_cast<std::size_t>(i)].node) == parent)
                return i;
        return -1;
    };
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Left: {
        if (current < 0) {
            selectWedge(count > 0 ? 0 : -1);
            return;
        }
        const int target = sibling(current, event->key() == Qt::Key_Right ? 1 : -1, parentOf(m_selected));
        if (target < 0)
            return;
        if (extend) {
            if (std::find(m_extended.begin(), m_extended.end(), m_selected) == m_extended.end())
                m_extended.push_back(m_selected);
            m_extended.push_back(m_wedges[static_cast<std::size_t>(target)].node);
            m_selected = m_wedges[static_cast<std::size_t>(target)].node;
            update();
            if (onExtend)
                onExtend(m_extended);
        } else {
            selectWedge(target);
        }
        return;
    }
    case Qt::Key_Down:
        if (current < 0) {
            selectWedge(count > 0 ? 0 : -1);
        } else if (const int child = sibling(current, 1, m_selected.get()); child >= 0) {
            selectWedge(child);
        } else if (m_selected->hasChildren() && onDrill) {
            // Its children are not drawn at this depth: show the folder itself, then its first child.
            const AnalyzerNodePtr folder = m_selected;
            onDrill(folder);
            if (m_displayRoot == folder)
                selectWedge(count > 0 ? 0 : -1);
        }
        return;
    case Qt::Key_Up:
        if (current >= 0 && parentOf(m_selected) != m_displayRoot.get()) {
            for (const Wedge& wedge : m_wedges)
                if (wedge.node.get() == parentOf(m_selected))
                    return selectWedge(wedge.index);
        } else if (const AnalyzerNodePtr from = m_displayRoot; from && onUp) {
            onUp();
            for (const Wedge& wedge : m_wedges)
                if (m_displayRoot != from && wedge.node == from)
                    return selectWedge(wedge.index);
        }
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_selected && m_selected->hasChildren() && onDrill)
            onDrill(m_selected);
        return;
    case Qt::Key_Backspace:
        if (onUp)
            onUp();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool SunburstView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = hit(help->pos());
        if (index >= 0)
            QToolTip::showText(help->globalPos(), ChartText::tooltip(*m_wedges[static_cast<std::size_t>(index)].node), this);
        else if (index == -2 && m_displayRoot)
            QToolTip::showText(help->globalPos(), ChartText::tooltip(*m_displayRoot), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

QPainterPath SunburstView::wedgePath(const Wedge& wedge, const Geometry& g) const
{
    const double inner = g.hole + wedge.level * g.ringWidth + ringGap;
    const double outer = g.hole + (wedge.level + 1) * g.ringWidth - ringGap;
    const QRectF outerRect(g.centre.x() - outer, g.centre.y() - outer, 2 * outer, 2 * outer);
    const QRectF innerRect(g.centre.x() - inner, g.centre.y() - inner, 2 * inner, 2 * inner);
    const double start = wedge.startAngle - overlap;
    const double end = wedge.endAngle + overlap;
    QPainterPath path;
    path.arcMoveTo(outerRect, start);
    path.arcTo(outerRect, start, end - start);
    path.arcTo(innerRect, end, start - end);
    path.closeSubpath();
    return path;
}

void SunburstView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Geometry g = geometry();
    const Wedge* selectedWedge = nullptr;
    for (const Wedge& wedge : m_wedges) {
        painter.fillPath(wedgePath(wedge, g), fillOverride && !wedge.node->isAggregated()
                                                  ? fillOverride(*wedge.node).value_or(wedge.fill)
                                                  : wedge.fill);
        if (m_selected && wedge.node == m_selected)
            selectedWedge = &wedge;
    }
    painter.setPen(QPen(ChartText::accent(palette()), 2.5));
    painter.setBrush(Qt::NoBrush);
    for (const Wedge& wedge : m_wedges)
        if (wedge.node != m_selected && std::find(m_extended.begin(), m_extended.end(), wedge.node) != m_extended.end())
            painter.drawPath(wedgePath(wedge, g));
    if (selectedWedge)
        painter.drawPath(wedgePath(*selectedWedge, g));
    if (!m_displayRoot)
        return;
    const QFont nameFont = ScreenStyle::font(14, QFont::DemiBold);
    const QFontMetricsF nameMetrics(nameFont);
    bool fits = false;
    const QString name = centreName(m_rootName, nameMetrics, g.hole, &fits);
    painter.setFont(nameFont);
    painter.setPen(palette().color(QPalette::WindowText));
    const double nameBaseline = g.centre.y() - (fits ? 4 : 2);
    painter.drawText(QPointF(g.centre.x() - nameMetrics.horizontalAdvance(name) / 2, nameBaseline), name);
    const QFont sizeFont = ScreenStyle::monospacedFont(11);
    const QFontMetricsF sizeMetrics(sizeFont);
    painter.setFont(sizeFont);
    painter.setPen(ScreenStyle::labelColor(palette(), ScreenStyle::LabelLevel::secondary));
    painter.drawText(QPointF(g.centre.x() - sizeMetrics.horizontalAdvance(m_rootSizeText) / 2, g.centre.y() + 16),
                     m_rootSizeText);
    // The focus mark rings the centre, selected wedge or not, so the keyboard's place always shows.
    if (hasFocus()) {
        painter.setPen(QPen(ChartText::accent(palette()), 2));
        painter.drawEllipse(g.centre, g.hole - 3, g.hole - 3);
    }
}
