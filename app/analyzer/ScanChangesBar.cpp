#include "ScanChangesBar.h"

#include "shell/ScreenStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace {

// Shrunk on the left, unchanged in the middle, grown on the right: the colours the charts use.
class ChangeScale : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {120, 10}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient gradient(0, 0, width(), 0);
        gradient.setColorAt(0.0, ScanChanges::shrunkColor(1));
        gradient.setColorAt(0.45, ScanChanges::shrunkColor(0));
        gradient.setColorAt(0.5, ScanChanges::unchangedColor());
        gradient.setColorAt(0.55, ScanChanges::grownColor(0));
        gradient.setColorAt(1.0, ScanChanges::grownColor(1));
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        const QRectF bar(0, (height() - 10) / 2.0, width(), 10);
        painter.drawRoundedRect(bar, 3, 3);
    }
};

} // namespace

ScanChangesBar::ScanChangesBar(QWidget* parent) : QWidget(parent)
{
    m_sinceButton = new QPushButton(this);
    m_sinceButton->setAutoDefault(false);
    m_sinceButton->setAccessibleName(QStringLiteral("Compared scan"));
    m_sinceButton->setMenu(new QMenu(m_sinceButton));

    m_colourButton = new QToolButton(this);
    m_colourButton->setText(QStringLiteral("Colour Changes"));
    m_colourButton->setCheckable(true);
    m_colourButton->setToolTip(QStringLiteral("Colour the chart by how much each item grew or shrank"));
    connect(m_colourButton, &QToolButton::toggled, this, [this](bool on) {
        m_legend->setVisible(on);
        if (onColouring)
            onColouring(on);
    });

    m_legend = new QWidget(this);
    auto* legendLayout = new QHBoxLayout(m_legend);
    legendLayout->setContentsMargins(6, 0, 0, 0);
    legendLayout->setSpacing(6);
    const auto caption = [this](const QString& text) {
        auto* label = new QLabel(text, m_legend);
        label->setFont(ScreenStyle::font(11));
        label->setForegroundRole(QPalette::PlaceholderText);
        return label;
    };
    legendLayout->addWidget(caption(QStringLiteral("Shrunk")));
    legendLayout->addWidget(new ChangeScale(m_legend));
    legendLayout->addWidget(caption(QStringLiteral("Grown")));
    m_legend->setAccessibleName(QStringLiteral("Changes legend: shrunk cool, grown warm"));
    m_legend->hide();

    m_goneLabel = new QLabel(this);
    m_goneLabel->setFont(ScreenStyle::font(12));
    m_goneLabel->setForegroundRole(QPalette::PlaceholderText);
    m_goneLabel->setTextFormat(Qt::PlainText);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->setSpacing(8);
    layout->addWidget(m_sinceButton);
    layout->addWidget(m_colourButton);
    layout->addWidget(m_legend);
    layout->addStretch(1);
    layout->addWidget(m_goneLabel);
    hide();
}

bool ScanChangesBar::colouring() const { return m_colourButton->isChecked(); }

void ScanChangesBar::setColouring(bool on) { m_colourButton->setChecked(on); }

void ScanChangesBar::setChanges(const std::shared_ptr<const ScanChanges>& changes,
                                const std::vector<brisklet::StoredScan>& earlier)
{
    setVisible(changes != nullptr);
    QMenu* menu = m_sinceButton->menu();
    menu->clear();
    if (!changes)
        return;
    m_sinceButton->setText(QStringLiteral("Changes ") + ScanChanges::since(changes->earlier()));
    m_goneLabel->setText(changes->goneText());
    m_goneLabel->setToolTip(changes->goneToolTip());
    m_goneLabel->setAccessibleDescription(changes->goneList());
    for (const brisklet::StoredScan& scan : earlier) {
        QAction* action = menu->addAction(ScanChanges::scanLabel(scan));
        action->setCheckable(true);
        action->setChecked(scan.id == changes->earlier().id);
        const std::int64_t id = scan.id;
        connect(action, &QAction::triggered, this, [this, id] {
            if (onPick)
                onPick(id);
        });
    }
}
