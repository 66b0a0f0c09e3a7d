#include "SegmentedControl.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace {
constexpr int kRing = 3;       // room around the segments for the focus ring
constexpr qreal kRadius = 6;

// One segment: the selected one filled with the accent colour, the others plain, joined into one
// rounded outline by the first and last segments' outer corners. Segments never take the focus
// themselves: the control does.
class Segment : public QPushButton {
public:
    Segment(const QString& text, bool first, bool last, QWidget* parent)
        : QPushButton(text, parent), m_first(first), m_last(last)
    {
        setCheckable(true);
        setAutoDefault(false);
        setFocusPolicy(Qt::NoFocus);
        setAccessibleName(text);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics = fontMetrics();
        return {metrics.horizontalAdvance(text()) + 2 * metrics.height(), metrics.height() + 10};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        path.addRoundedRect(box, kRadius, kRadius);
        // Square off the inner corners.
        if (!m_first)
            path.addRect(QRectF(box.left(), box.top(), kRadius * 2, box.height()));
        if (!m_last)
            path.addRect(QRectF(box.right() - kRadius * 2, box.top(), kRadius * 2, box.height()));
        path = path.simplified();
        const QPalette& p = palette();
        const QColor fill = isChecked() ? p.color(QPalette::Active, QPalette::Highlight)
                                        : (isDown() ? p.color(QPalette::Midlight) : p.color(QPalette::Button));
        painter.fillPath(path, fill);
        painter.setPen(QPen(p.color(QPalette::Mid), 1));
        painter.drawPath(path);
        painter.setPen(isChecked() ? p.color(QPalette::HighlightedText) : p.color(QPalette::ButtonText));
        painter.drawText(rect(), Qt::AlignCenter, text());
    }

private:
    bool m_first;
    bool m_last;
};
} // namespace

SegmentedControl::SegmentedControl(const QStringList& labels, QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kRing, kRing, kRing, kRing);
    layout->setSpacing(0);
    for (int i = 0; i < labels.size(); ++i) {
        auto* button = new Segment(labels.at(i), i == 0, i == labels.size() - 1, this);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        m_group->addButton(button, i);
        layout->addWidget(button);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_group, &QButtonGroup::idClicked, this, &SegmentedControl::selectionChanged);
}

int SegmentedControl::count() const { return static_cast<int>(m_group->buttons().size()); }

int SegmentedControl::selectedIndex() const { return m_group->checkedId(); }

void SegmentedControl::setSelectedIndex(int index)
{
    if (QAbstractButton* button = m_group->button(index)) {
        button->setChecked(true);
        return;
    }
    // Clear the selection: exclusivity would keep the checked button otherwise.
    m_group->setExclusive(false);
    for (QAbstractButton* button : m_group->buttons())
        button->setChecked(false);
    m_group->setExclusive(true);
}

QPushButton* SegmentedControl::segment(int index) const
{
    return qobject_cast<QPushButton*>(m_group->button(index));
}

int SegmentedControl::firstBaseline() const
{
    const QPushButton* first = segment(0);
    if (!first)
        return fontMetrics().ascent();
    const QFontMetrics metrics = first->fontMetrics();
    const int height = first->height() > 0 && first->isVisible() ? first->height() : first->sizeHint().height();
    return kRing + (height - metrics.height()) / 2 + metrics.ascent();
}

void SegmentedControl::pick(int index)
{
    if (index < 0 || index >= count() || index == selectedIndex())
        return;
    setSelectedIndex(index);
    emit selectionChanged(index);
}

void SegmentedControl::keyPressEvent(QKeyEvent* event)
{
    const int last = count() - 1;
    const int current = selectedIndex();
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up: pick(current < 0 ? 0 : current - 1); break;
    case Qt::Key_Right:
    case Qt::Key_Down: pick(current < 0 ? 0 : current + 1); break;
    case Qt::Key_Home: pick(0); break;
    case Qt::Key_End: pick(last); break;
    default: QWidget::keyPressEvent(event); return; // Return, Escape, Tab: the window's
    }
    event->accept();
}

void SegmentedControl::paintEvent(QPaintEvent*)
{
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor ring = palette().color(QPalette::Active, QPalette::Highlight);
    ring.setAlphaF(0.6f);
    painter.setPen(QPen(ring, 2));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), kRadius + 2, kRadius + 2);
}

void SegmentedControl::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void SegmentedControl::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}
