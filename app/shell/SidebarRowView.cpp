#include "SidebarRowView.h"

#include "Fonts.h"
#include "SymbolIcons.h"
#include "ToneLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <climits>

namespace {
constexpr qreal kRadius = 6;

class RowAccessible : public QAccessibleWidget {
public:
    explicit RowAccessible(SidebarRowView* row) : QAccessibleWidget(row, QAccessible::ListItem) {}

    SidebarRowView* row() const { return static_cast<SidebarRowView*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return Sections::title(row()->section());
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectable = true;
        s.selected = row()->isHighlighted();
        return s;
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString& name) override
    {
        if (name == pressAction())
            row()->tap();
    }
};

QAccessibleInterface* rowAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("SidebarRowView"))
        if (auto* row = qobject_cast<SidebarRowView*>(object))
            return new RowAccessible(row);
    return nullptr;
}
} // namespace

SidebarRowView::SidebarRowView(Section section, std::function<void(Section)> onTap, QWidget* parent)
    : QWidget(parent), m_section(section), m_onTap(std::move(onTap))
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(rowAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    const QFont font = Fonts::relative(13, QFont::Medium);
    setFixedHeight(qMax(30, QFontMetrics(font).height() + 12));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::ClickFocus);
    setAccessibleName(Sections::title(section));

    m_iconView = new QLabel(this);
    m_iconView->setFixedSize(16, 16);
    m_iconView->setAlignment(Qt::AlignCenter);
    m_iconView->setAccessibleDescription(Sections::title(section));

    m_label = new QLabel(Sections::title(section), this);
    m_label->setFont(font);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 0, 10, 0);
    layout->setSpacing(8);
    layout->addWidget(m_iconView, 0, Qt::AlignVCenter);
    layout->addWidget(m_label, 1, Qt::AlignVCenter);

    applyLook();
}

void SidebarRowView::setHighlighted(bool highlighted)
{
    if (m_highlighted == highlighted)
        return;
    m_highlighted = highlighted;
    // The selected row is the sidebar's stop in the Tab order.
    setFocusPolicy(highlighted ? Qt::StrongFocus : Qt::ClickFocus);
    applyLook();
    update();
    QAccessible::State changed;
    changed.selected = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void SidebarRowView::tap()
{
    if (m_onTap)
        m_onTap(m_section);
}

void SidebarRowView::applyLook()
{
    const QColor labelColor = palette().color(QPalette::WindowText);
    const QColor text = m_highlighted ? QColor(Qt::white) : labelColor;
    const QColor tint = m_highlighted ? QColor(Qt::white) : toneColor(labelColor, TextTone::secondary);
    QPalette labelPalette = m_label->palette();
    labelPalette.setColor(QPalette::WindowText, text);
    m_label->setPalette(labelPalette);
    m_iconView->setPixmap(SymbolIcons::pixmap(Sections::symbolName(m_section), 14, tint, devicePixelRatioF()));
}

void SidebarRowView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Active, QPalette::Highlight);
    if (m_highlighted) {
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), kRadius, kRadius);
        painter.fillPath(path, accent);
    }
    if (hasFocus()) {
        // On the accent background the ring is white; elsewhere it is the accent.
        QColor ring = m_highlighted ? QColor(255, 255, 255, 200) : accent;
        painter.setPen(QPen(ring, 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), kRadius - 2, kRadius - 2);
    }
}

void SidebarRowView::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void SidebarRowView::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        tap();
}

void SidebarRowView::keyPressEvent(QKeyEvent* event)
{
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Up: step = -1; break;
    case Qt::Key_Down: step = 1; break;
    case Qt::Key_Home: step = INT_MIN; break;
    case Qt::Key_End: step = INT_MAX; break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        event->accept();
        tap();
        return;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
    if (onStep)
        onStep(step);
}

void SidebarRowView::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void SidebarRowView::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void SidebarRowView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        applyLook();
    QWidget::changeEvent(event);
}
