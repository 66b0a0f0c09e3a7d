#include "ScanChangesBar.h"

#include "shell/ElidingLabel.h"
#include "shell/PathBytes.h"
#include "shell/PlainText.h"
#include "shell/ScreenStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Shrunk on the left, grown on the right, each deeper towards its end: the colours the charts use,
// with the unchanged grey between them.
class ChangeScale : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {96, 10}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient gradient(0, 0, width(), 0);
        constexpr int steps = 8;
        for (int i = 0; i <= steps; ++i) {
            const double strength = 1.0 - static_cast<double>(i) / steps;
            gradient.setColorAt(0.47 * i / steps, ScanChanges::shrunkColor(strength));
            gradient.setColorAt(1.0 - 0.47 * i / steps, ScanChanges::grownColor(strength));
        }
        gradient.setColorAt(0.5, ScanChanges::unchangedColor());
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawRoundedRect(QRectF(0, (height() - 10) / 2.0, width(), 10), 3, 3);
    }
};

// A square of one colour, as the charts fill an item.
class Swatch : public QWidget {
public:
    Swatch(const QColor& color, QWidget* parent) : QWidget(parent), m_color(color) {}
    QSize sizeHint() const override { return {10, 10}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_color);
        painter.drawRoundedRect(QRectF(0, (height() - 10) / 2.0, 10, 10), 2, 2);
    }

private:
    QColor m_color;
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
        placeLegend();
        if (onColouring)
            onColouring(on);
    });

    m_legend = new QWidget(this);
    auto* legendLayout = new QHBoxLayout(m_legend);
    legendLayout->setContentsMargins(6, 0, 0, 0);
    legendLayout->setSpacing(6);
    const auto caption = [this](const QString& text, QPalette::ColorRole role = QPalette::PlaceholderText) {
        auto* label = new QLabel(text, m_legend);
        label->setFont(ScreenStyle::font(12));
        label->setForegroundRole(role);
        label->setTextFormat(Qt::PlainText);
        return label;
    };
    // The ends of the scale say what its deepest colours stand for: the largest change, either way.
    m_shrunkEnd = caption({}, QPalette::WindowText);
    m_grownEnd = caption({}, QPalette::WindowText);
    legendLayout->addWidget(caption(QStringLiteral("Shrunk")));
    legendLayout->addWidget(m_shrunkEnd);
    legendLayout->addWidget(new ChangeScale(m_legend));
    legendLayout->addWidget(m_grownEnd);
    legendLayout->addWidget(caption(QStringLiteral("Grown")));
    legendLayout->addSpacing(10);
    legendLayout->addWidget(new Swatch(ScanChanges::unchangedColor(), m_legend));
    legendLayout->addWidget(caption(QStringLiteral("Unchanged")));
    m_legend->setAccessibleName(QStringLiteral("Changes legend"));
    m_legend->hide();

    m_goneLabel = new ElidingLabel(QString(), this); // the first to give way in a narrow window
    m_goneLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_goneLabel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred); // its width while there is room
    m_goneLabel->setFont(ScreenStyle::font(12));
    m_goneLabel->setForegroundRole(QPalette::PlaceholderText);
    m_goneLabel->setTextFormat(Qt::PlainText);

    m_row = new QHBoxLayout;
    m_row->setSpacing(8);
    m_row->addWidget(m_sinceButton);
    m_row->addWidget(m_colourButton);
    m_row->addWidget(m_legend);
    m_row->addStretch(1);
    m_row->addWidget(m_goneLabel);
    m_legendRow = new QHBoxLayout;
    m_legendRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->setSpacing(8);
    layout->addLayout(m_row);
    layout->addLayout(m_legendRow);
    hide();
}

void ScanChangesBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeLegend();
}

void ScanChangesBar::placeLegend()
{
    // Beside the buttons when it fits there with some of the gone line; else on a row of its own.
    const int spacing = m_row->spacing();
    const int needed = m_sinceButton->sizeHint().width() + m_colourButton->sizeHint().width() +
                       m_legend->sizeHint().width() + 3 * spacing + std::min(m_goneLabel->sizeHint().width(), 120);
    const bool beside = m_legend->isHidden() || needed <= width();
    if (beside == (m_row->indexOf(m_legend) >= 0))
        return;
    m_row->removeWidget(m_legend);
    m_legendRow->removeWidget(m_legend);
    m_legend->layout()->setContentsMargins(beside ? 6 : 0, 0, 0, 0);
    (beside ? m_row : m_legendRow)->insertWidget(beside ? 2 : 0, m_legend);
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
    const QString largest = utf8Text(brisklet::ByteFormat::humanReadable(changes->largestDifference()));
    m_shrunkEnd->setText(QLatin1Char('-') + largest);
    m_grownEnd->setText(QLatin1Char('+') + largest);
    const QString meaning =
        QStringLiteral("Shrunk items cool, grown and new ones warm, deeper with the change: the deepest for %1 or "
                       "more. Unchanged items grey; items too small to be compared one by one in their usual colours.")
            .arg(largest);
    m_legend->setToolTip(PlainText::toolTip(meaning));
    m_legend->setAccessibleDescription(meaning);
    placeLegend();
    m_goneLabel->setText(changes->goneText());
    m_goneLabel->setToolTip(changes->goneToolTip());
    m_goneLabel->setAccessibleDescription(changes->goneList());
    const QStringList labels = ScanChanges::scanLabels(earlier);
    for (std::size_t i = 0; i < earlier.size(); ++i) {
        const brisklet::StoredScan& scan = earlier[i];
        QAction* action = menu->addAction(labels[static_cast<qsizetype>(i)]);
        action->setCheckable(true);
        action->setChecked(scan.id == changes->earlier().id);
        const std::int64_t id = scan.id;
        connect(action, &QAction::triggered, this, [this, id] {
            if (onPick)
                onPick(id);
        });
    }
}
