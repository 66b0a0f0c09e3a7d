#include "ScreenStyle.h"

#include "Fonts.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QWidget>

namespace ScreenStyle {

QFont font(qreal designSize, QFont::Weight weight)
{
    return Fonts::relative(designSize, weight);
}

QFont monospacedFont(qreal designSize, QFont::Weight weight)
{
    // The fixed-pitch family at the body text's size, so both scale alike.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QFont body = QApplication::font();
    if (body.pointSizeF() > 0)
        fixed.setPointSizeF(body.pointSizeF());
    else if (body.pixelSize() > 0)
        fixed.setPixelSize(body.pixelSize());
    return Fonts::relative(designSize, weight, fixed);
}

QColor labelColor(const QPalette& palette, LabelLevel level)
{
    QColor color = palette.color(QPalette::WindowText);
    switch (level) {
    case LabelLevel::primary: break;
    case LabelLevel::secondary: color.setAlphaF(0.62f); break;
    case LabelLevel::tertiary: color.setAlphaF(0.42f); break;
    case LabelLevel::quaternary: color.setAlphaF(0.25f); break;
    }
    return color;
}

namespace {
const char* const levelProperty = "brisklet.labelLevel";

void applyTextColor(QWidget* widget, LabelLevel level)
{
    QPalette palette = widget->palette();
    const QColor color = labelColor(QApplication::palette(widget), level);
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette); // an unchanged palette sends no further change event
}

// A widget's own colours stay as set when the application palette changes; this puts the tinted ones
// back in the new palette's text colour, for every tinted widget, without each screen having to.
class TintKeeper : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
            auto* widget = qobject_cast<QWidget*>(watched);
            const QVariant level = watched->property(levelProperty);
            if (widget && level.isValid())
                applyTextColor(widget, static_cast<LabelLevel>(level.toInt()));
        }
        return false;
    }
};

TintKeeper& tintKeeper()
{
    static auto* keeper = new TintKeeper(qApp);
    return *keeper;
}
} // namespace

void setTextColor(QWidget* widget, LabelLevel level)
{
    if (!widget->property(levelProperty).isValid())
        widget->installEventFilter(&tintKeeper());
    widget->setProperty(levelProperty, static_cast<int>(level));
    applyTextColor(widget, level);
}

void LabelTints::add(QWidget* widget, LabelLevel level)
{
    m_labels.emplace_back(widget, level);
    setTextColor(widget, level);
}

void LabelTints::apply() const
{
    for (const auto& [widget, level] : m_labels)
        if (widget)
            setTextColor(widget, level);
}

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QLabel* titleLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font(26, QFont::Bold));
    label->setAccessibleName(text);
    return label;
}

void paintCard(QPainter& painter, const QRectF& rect, const QPalette& palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette.color(QPalette::WindowText);
    fill.setAlphaF(isDark(palette) ? 0.07f : 0.04f);
    QColor border = palette.color(QPalette::WindowText);
    border.setAlphaF(0.12f);
    painter.setPen(QPen(border, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    painter.restore();
}

} // namespace ScreenStyle
