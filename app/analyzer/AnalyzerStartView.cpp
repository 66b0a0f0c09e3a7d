#include "AnalyzerStartView.h"

#include "RecentScansView.h"
#include "platform/SystemLog.h"
#include "shell/LayoutWidgets.h"
#include "shell/PathBytes.h"
#include "shell/PlainText.h"
#include "shell/ScreenStyle.h"
#include "shell/SymbolIcons.h"
#include "shell/VolumeCardView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
constexpr int columnWidth = 560;
constexpr int columnMinimumWidth = 320;
constexpr int cardHeight = 112;
constexpr int dropZoneHeight = 104;
} // namespace

DropZoneView::DropZoneView(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(dropZoneHeight);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(QStringLiteral("Folder drop zone"));

    auto* text = new QLabel(QStringLiteral("Select a folder, or drag & drop it here"), this);
    text->setFont(ScreenStyle::font(13));
    text->setAlignment(Qt::AlignCenter);
    m_selectButton = new QPushButton(QStringLiteral("Select Folder"), this);
    m_selectButton->setIcon(SymbolIcons::icon(QStringLiteral("folder")));
    m_selectButton->setCursor(Qt::PointingHandCursor);
    m_selectButton->setToolTip(QStringLiteral("Choose a folder to analyze"));
    connect(m_selectButton, &QPushButton::clicked, this, [this] {
        if (isEnabled() && onClick)
            onClick();
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(10);
    layout->addStretch(1);
    layout->addWidget(text);
    layout->addWidget(m_selectButton, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

void DropZoneView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(ScreenStyle::labelColor(palette(), ScreenStyle::LabelLevel::tertiary), 1.5);
    pen.setDashPattern({4, 8.0 / 3}); // 6 on, 4 off at a width of 1.5
    painter.setPen(pen);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 10, 10);
}

void DropZoneView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && isEnabled() && onClick)
        onClick();
}

ClickableVolumeCard::ClickableVolumeCard(const brisklet::VolumeInfo& volume, QWidget* parent) : QWidget(parent)
{
    m_card = new VolumeCardView(volume, this);
    m_card->setAttribute(Qt::WA_TransparentForMouseEvents);
    const QString name = visibleText(pathFromBytes(volume.name));
    setToolTip(PlainText::toolTip(QStringLiteral("Scan ") + name));
    setAccessibleName(QStringLiteral("Scan ") + name);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setFixedHeight(cardHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_card);
}

void ClickableVolumeCard::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
        onClick();
}

void ClickableVolumeCard::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && onClick) {
        onClick();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ClickableVolumeCard::paintEvent(QPaintEvent*)
{
    if (!hasFocus())
        return;
    // The keyboard focus as an accent outline around the card.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 10, 10);
}

AnalyzerStartView::AnalyzerStartView(QWidget* parent) : QWidget(parent)
{
    m_icon = new QLabel(this);
    m_icon->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel(QStringLiteral("Choose a folder to analyze"), this);
    title->setFont(ScreenStyle::font(14, QFont::DemiBold));
    title->setAlignment(Qt::AlignCenter);
    m_hint = new QLabel(QStringLiteral("Or click a disk below to scan the whole volume."), this);
    m_hint->setFont(ScreenStyle::font(12));
    m_hint->setAlignment(Qt::AlignCenter);

    m_diskStack = new QVBoxLayout;
    m_diskStack->setSpacing(12);
    m_dropZone = new DropZoneView(this);
    m_dropZone->onClick = [this] {
        if (!m_isBusy && onPickFolder)
            onPickFolder();
    };

    // As wide as the design where there is room; narrower beside the sidebar of a small window.
    auto* column = new QWidget;
    column->setMinimumWidth(columnMinimumWidth);
    column->setMaximumWidth(columnWidth);
    auto* columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(0, 8, 0, 8);
    columnLayout->setSpacing(6);
    columnLayout->addWidget(m_icon);
    columnLayout->addWidget(title);
    columnLayout->addWidget(m_hint);
    columnLayout->addSpacing(14);
    columnLayout->addLayout(m_diskStack);
    columnLayout->addSpacing(12);
    columnLayout->addWidget(m_dropZone);
    m_recentScans = new RecentScansView(column);
    columnLayout->addSpacing(12);
    columnLayout->addWidget(m_recentScans);
    columnLayout->addStretch(1);

    auto* page = new QWidget;
    auto* pageLayout = new QHBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addStretch(1);
    pageLayout->addWidget(column, 100);
    pageLayout->addStretch(1);

    // Many volumes scroll rather than push the drop zone off screen.
    auto* scroll = new QScrollArea(this);
    // Tab goes to the cards and the drop zone's button, which it scrolls into view, not to the area.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    page->setAutoFillBackground(false);
    scroll->setWidget(page);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    applyColors();
}

QPushButton* AnalyzerStartView::selectButton() const { return m_dropZone->selectButton(); }

std::vector<ClickableVolumeCard*> AnalyzerStartView::cards() const
{
    return widgetsIn<ClickableVolumeCard>(m_diskStack);
}

void AnalyzerStartView::setBusy(bool busy)
{
    m_isBusy = busy;
    m_dropZone->setEnabled(!busy);
    selectButton()->setEnabled(!busy);
}

void AnalyzerStartView::refreshVolumes()
{
    m_recentScans->refresh();
    m_volumeRunner.stopAll(); // the newest reading wins
    m_volumeRunner.run([](std::stop_token stop) { return brisklet::VolumeReader::mountedVolumes(stop); },
                       [this](const std::vector<brisklet::VolumeInfo>& volumes) { showVolumes(volumes); });
}

void AnalyzerStartView::showVolumes(const std::vector<brisklet::VolumeInfo>& volumes)
{
    while (QLayoutItem* item = m_diskStack->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    std::string names;
    for (const brisklet::VolumeInfo& volume : volumes) {
        if (volume.unavailable)
            continue; // a share that does not answer offers nothing to scan
        names += (names.empty() ? "" : ", ") + volume.name;
        auto* card = new ClickableVolumeCard(volume, this);
        const QString mountPoint = pathFromBytes(volume.mountPoint);
        card->onClick = [this, mountPoint] {
            if (!m_isBusy && onPickVolume)
                onPickVolume(mountPoint);
        };
        m_diskStack->addWidget(card);
    }
    brisklet::systemLogDebug("[Brisklet.Volumes.UI] Building " + std::to_string(volumes.size()) + " cards: " + names);
}

void AnalyzerStartView::applyColors()
{
    const QColor secondary = ScreenStyle::labelColor(palette(), ScreenStyle::LabelLevel::secondary);
    m_icon->setPixmap(SymbolIcons::pixmap(QStringLiteral("folder"), 22, secondary, devicePixelRatioF()));
    ScreenStyle::setTextColor(m_hint, ScreenStyle::LabelLevel::secondary);
}

void AnalyzerStartView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        applyColors();
    QWidget::changeEvent(event);
}
