#include "VoyageProgressView.h"

#include "ScreenStyle.h"
#include "SymbolIcons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTimerEvent>

#include <cmath>
#include <functional>
#include <numbers>

namespace {
constexpr int frameMilliseconds = 1000 / 30;
constexpr double phaseStep = 0.09;
constexpr double twoPi = 2 * std::numbers::pi;

// A wave filled down to the bottom edge; heights are measured up from the bottom.
QPainterPath wavePath(double width, double height, const std::function<double(double)>& heightAt)
{
    QPainterPath path;
    path.moveTo(0, height);
    for (double x = 0; x <= width + 2; x += 2)
        path.lineTo(x, height - heightAt(x));
    path.lineTo(width, height);
    path.closeSubpath();
    return path;
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}
} // namespace

VoyageProgressView::VoyageProgressView(const Configuration& configuration, QWidget* parent)
    : QWidget(parent), m_configuration(configuration)
{
    setAccessibleName(QStringLiteral("Scan under way"));
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void VoyageProgressView::setBoatColor(std::optional<QColor> color)
{
    m_boatColor = color;
    update();
}

void VoyageProgressView::startVoyage()
{
    if (m_sailing)
        return;
    m_sailing = true;
    updateTimer();
    update();
}

void VoyageProgressView::stopVoyage()
{
    if (!m_sailing)
        return;
    m_sailing = false;
    updateTimer();
    update();
}

void VoyageProgressView::updateTimer()
{
    const bool wanted = m_sailing && isVisible();
    if (wanted && !m_timer.isActive())
        m_timer.start(frameMilliseconds, Qt::PreciseTimer, this);
    else if (!wanted && m_timer.isActive())
        m_timer.stop();
}

void VoyageProgressView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateTimer();
}

void VoyageProgressView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updateTimer();
}

void VoyageProgressView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    m_phase += phaseStep;
    update();
}

const QPixmap& VoyageProgressView::boatPixmap(int side, const QColor& tint)
{
    // Rendering the symbol is the dearest step of a frame; it changes only with the tint or the scale.
    const qreal ratio = devicePixelRatioF();
    if (m_boatPixmap.isNull() || m_boatSide != side || m_boatTint != tint || m_boatPixmap.devicePixelRatio() != ratio) {
        m_boatPixmap = SymbolIcons::pixmap(QStringLiteral("sailboat.fill"), side, tint, ratio);
        m_boatSide = side;
        m_boatTint = tint;
    }
    return m_boatPixmap;
}

QSize VoyageProgressView::sizeHint() const
{
    return m_configuration.immersive ? QSize(480, 320) : QSize(200, 26);
}

void VoyageProgressView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // Smooth pixmaps too: the rocking boat is a rotated picture, whose edges would otherwise be stepped.
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const double w = width();
    const double h = height();
    const double a = m_configuration.amplitude;
    const double l = m_configuration.wavelength;
    const double p = m_phase;
    const double base = h * m_configuration.waterlineFraction;
    const bool dark = ScreenStyle::isDark(palette());
    // The system cyan in the dark appearance, teal in the light one.
    const QColor water = dark ? QColor(100, 210, 255) : QColor(48, 176, 199);
    painter.setPen(Qt::NoPen);

    painter.setBrush(withAlpha(water, dark ? 0.3 : 0.28));
    painter.drawPath(wavePath(w, h, [&](double x) { return std::sin(twoPi * x / (1.4 * l) + 0.6 * p) * 0.8 * a + 1.8 * a + base; }));

    const auto front = [&](double x) { return std::sin(twoPi * x / l - p) * a + base; };
    painter.setBrush(withAlpha(water, dark ? 0.5 : 0.62));
    painter.drawPath(wavePath(w, h, front));

    if (m_sailing) {
        const double side = m_configuration.boatSide;
        const double x = w / 2;
        const QColor tint = m_boatColor.value_or(dark ? QColor::fromRgbF(0.98f, 0.95f, 0.86f) : QColor(Qt::black));
        const QPixmap& boat = boatPixmap(qRound(side), tint);
        painter.save();
        painter.translate(x, h - front(x));
        if (m_configuration.immersive) {
            const double slope = std::cos(twoPi * x / l - p) * twoPi * a / l;
            // Counter-clockwise in the upward-pointing frame is clockwise on screen.
            painter.rotate(-0.7 * std::atan(slope) * 180.0 / std::numbers::pi);
        }
        painter.drawPixmap(QRectF(-side / 2, -side + 0.18 * side, side, side), boat, QRectF(boat.rect()));
        painter.restore();
    }

    if (m_configuration.immersive) {
        const QPainterPath foreground = wavePath(w, h, [&](double x) {
            return std::sin(twoPi * x / (0.8 * l) + 1.3 * p + 1.2) * 1.2 * a + base - 0.4 * a;
        });
        // From the crest of this wave down to the bottom edge.
        QLinearGradient gradient(0, foreground.boundingRect().top(), 0, h);
        gradient.setColorAt(0, withAlpha(water, dark ? 0.75 : 0.85));
        gradient.setColorAt(1, dark ? QColor::fromRgbF(0.02f, 0.2f, 0.3f) : QColor::fromRgbF(0.05f, 0.4f, 0.52f));
        painter.setBrush(gradient);
        painter.drawPath(foreground);
    }
}
