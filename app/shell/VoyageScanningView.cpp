#include "VoyageScanningView.h"

#include "ElidingLabel.h"

#include "PlainText.h"
#include "ScreenStyle.h"

#include <QGraphicsDropShadowEffect>
#include <QGridLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

VoyageScanningView::VoyageScanningView(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_voyage = new VoyageProgressView(VoyageProgressView::immersive(), this);

    auto* progress = new ElidingLabel(QString(), this); // one line; a long folder path is cut in its middle
    progress->setElideMode(Qt::ElideMiddle);
    m_progressLabel = progress;
    PlainText::apply(m_progressLabel); // names the folder being read
    m_progressLabel->setFont(ScreenStyle::font(13));
    m_progressLabel->setAlignment(Qt::AlignCenter);
    QPalette labelPalette = m_progressLabel->palette();
    labelPalette.setColor(QPalette::WindowText, QColor::fromRgbF(1, 1, 1, 0.9f));
    m_progressLabel->setPalette(labelPalette);
    auto* shadow = new QGraphicsDropShadowEffect(m_progressLabel);
    shadow->setColor(QColor::fromRgbF(0, 0, 0, 0.35f));
    shadow->setBlurRadius(2);
    shadow->setOffset(0, 1);
    m_progressLabel->setGraphicsEffect(shadow);

    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->hide();
    connect(m_cancelButton, &QPushButton::clicked, this, [this] {
        if (onCancel)
            onCancel();
    });

    auto* stack = new QVBoxLayout;
    stack->setSpacing(14);
    stack->addWidget(m_progressLabel);
    stack->addWidget(m_cancelButton, 0, Qt::AlignHCenter);

    // The voyage fills the view; the text and button float over its lower part.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_voyage, 0, 0);
    auto* overlay = new QVBoxLayout;
    overlay->setContentsMargins(32, 0, 32, 36);
    overlay->addStretch(1);
    overlay->addLayout(stack);
    grid->addLayout(overlay, 0, 0);
    hide();
}

void VoyageScanningView::begin(const QList<QWidget*>& hiding, const QString& text)
{
    if (m_covered.empty()) {
        for (QWidget* view : hiding) {
            m_covered.emplace_back(view, view->isHidden());
            view->hide();
        }
    }
    m_progressLabel->setText(text);
    show();
    setSailing(true);
}

void VoyageScanningView::end()
{
    setSailing(false);
    hide();
    for (const auto& [view, wasHidden] : m_covered)
        if (view)
            view->setHidden(wasHidden);
    m_covered.clear();
}

void VoyageScanningView::setSailing(bool sailing)
{
    if (sailing)
        m_voyage->startVoyage();
    else
        m_voyage->stopVoyage();
}

void VoyageScanningView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && m_cancelButton->isVisible()) {
        m_cancelButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
