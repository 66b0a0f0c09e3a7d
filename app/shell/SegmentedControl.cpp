#include "SegmentedControl.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace {
// One segment: the selected one filled with the accent colour, the others plain, joined into one
// rounded outline by the first and last segments' outer corners.
class Segment : public QPushButton {
public:
    Segment(const QString& text, bool first, bool last, QWidget* parent)
        : QPushButton(text, parent), m_first(first), m_last(last)
    {
        setCheckable(true);
    }

    QSize sizeHint() const override
    {
        return {fontMetrics().horizontalAdvance(text()) + 24, qMax(24, fontMetrics().height() + 8)};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const qreal radius = 6;
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        path.addRoundedRect(box, radius, radius);
        // Square off the inner corners.
        if (!m_first)
            path.addRect(QRectF(box.left(), box.top(), radius * 2, box.height()));
        if (!m_last)
            path.addRect(QRectF(box.right() - radius * 2, box.top(), radius * 2, box.height()));
        const QPalette& p = palette();
        const QColor fill = isChecked() ? p.color(QPalette::Active, QPalette::Highlight)
                                        : (isDown() ? p.color(QPalette::Midlight) : p.color(QPalette::Button));
        painter.fillPath(path.simplified(), fill);
        painter.setPen(QPen(p.color(QPalette::Mid), 1));
        painter.drawPath(path.simplified());
        painter.setPen(isChecked() ? QColor(Qt::white) : p.color(QPalette::ButtonText));
        painter.drawText(rect(), Qt::AlignCenter, text());
        if (hasFocus()) {
            QPen focus(p.color(QPalette::Highlight), 1, Qt::DotLine);
            painter.setPen(focus);
            painter.drawRect(QRectF(rect()).adjusted(3, 3, -3.5, -3.5));
        }
    }

private:
    bool m_first;
    bool m_last;
};
} // namespace

SegmentedControl::SegmentedControl(const QStringList& labels, QWidget* parent) : QWidget(parent)
{
    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < labels.size(); ++i) {
        auto* button = new Segment(labels.at(i), i == 0, i == labels.size() - 1, this);
        button->setFocusPolicy(Qt::TabFocus);
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
