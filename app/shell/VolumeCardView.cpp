#include "VolumeCardView.h"

#include "PathBytes.h"
#include "PlainText.h"
#include "SymbolIcons.h"
#include "scan/ScanRecords.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace {
QString bytes(std::int64_t count) { return utf8Text(brisklet::ByteFormat::humanReadable(count)); }
} // namespace

VolumeCardView::VolumeCardView(const brisklet::VolumeInfo& volume, QWidget* parent)
    : QWidget(parent), m_volume(volume)
{
    const QString name = visibleText(pathFromBytes(volume.name));
    setAccessibleName(name);

    m_icon = new QLabel(this);
    m_icon->setAccessibleName(name);
    m_name = new QLabel(name, this);
    m_name->setFont(ScreenStyle::font(15, QFont::DemiBold));
    PlainText::apply(m_name); // anyone can label a stick "<h1>…"
    m_mountPoint = new QLabel(visibleText(pathFromBytes(volume.mountPoint)), this);
    m_mountPoint->setFont(ScreenStyle::monospacedFont(11));
    PlainText::apply(m_mountPoint);
    m_mountPoint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_mountPoint->setToolTip(PlainText::toolTip(m_mountPoint->text()));
    // A volume that did not answer (a share whose server went away) has no figures to show.
    m_usage = new QLabel(volume.unavailable ? QStringLiteral("Unavailable: not answering")
                                            : bytes(volume.usedBytes()) + QStringLiteral(" used of ") + bytes(volume.totalBytes),
                         this);
    m_usage->setFont(ScreenStyle::font(12));
    m_available = new QLabel(volume.unavailable ? QString() : bytes(volume.freeBytes) + QStringLiteral(" available"), this);
    m_available->setFont(ScreenStyle::font(12));

    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 1000);
    m_bar->setValue(static_cast<int>(std::lround(volume.usedFraction() * 1000)));
    m_bar->setTextVisible(false);
    m_bar->setFixedHeight(6);
    m_bar->setAccessibleName(name + QStringLiteral(" usage"));

    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(10);
    nameRow->addWidget(m_name, 0, Qt::AlignBaseline);
    nameRow->addWidget(m_mountPoint, 1, Qt::AlignBaseline);

    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    text->addLayout(nameRow);
    text->addWidget(m_usage);

    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(m_icon, 0, Qt::AlignTop);
    top->addLayout(text, 1);

    auto* card = new QVBoxLayout(this);
    card->setContentsMargins(16, 14, 16, 14);
    card->setSpacing(0);
    card->addLayout(top);
    card->addSpacing(8);
    card->addStretch(1);
    card->addWidget(m_bar);
    card->addSpacing(6);
    card->addWidget(m_available);

    m_tints.add(m_mountPoint, ScreenStyle::LabelLevel::tertiary);
    m_tints.add(m_available, ScreenStyle::LabelLevel::secondary);
    applyColors();
}

QString VolumeCardView::symbolName() const
{
    if (m_volume.isRoot)
        return QStringLiteral("internaldrive.fill");
    return m_volume.isInternal ? QStringLiteral("internaldrive") : QStringLiteral("externaldrive");
}

void VolumeCardView::applyColors()
{
    m_tints.apply();
    const QColor tint = ScreenStyle::labelColor(QApplication::palette(this), ScreenStyle::LabelLevel::secondary);
    const int side = QFontMetrics(m_name->font()).height();
    m_icon->setPixmap(SymbolIcons::pixmap(symbolName(), side, tint, devicePixelRatioF()));
}

void VolumeCardView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        applyColors();
    QWidget::changeEvent(event);
}

void VolumeCardView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ScreenStyle::paintCard(painter, rect(), palette());
}
