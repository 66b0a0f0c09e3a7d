// Shared look of the screens: type sizes given on the 13-point body scale of the original design and
// turned into fonts relative to the application font (so a larger desktop font grows every screen),
// the label colour levels, and the rounded card every summary tile is drawn as.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <utility>
#include <vector>

class QLabel;
class QPainter;

namespace ScreenStyle {

// The application font scaled by designSize / 13, with the given weight.
QFont font(qreal designSize, QFont::Weight weight = QFont::Normal);
// The same in the fixed-pitch family, for digits that must line up.
QFont monospacedFont(qreal designSize, QFont::Weight weight = QFont::Normal);

enum class LabelLevel { primary, secondary, tertiary, quaternary };
// The palette's text colour faded to the level's strength.
QColor labelColor(const QPalette& palette, LabelLevel level);
// Sets a label-like widget's text colour to the given level of the application palette, and again
// whenever that palette changes (a switch of the appearance), for as long as the widget lives.
void setTextColor(QWidget* widget, LabelLevel level);

// The tinted labels of one screen, set again together by apply().
class LabelTints {
public:
    void add(QWidget* widget, LabelLevel level);
    void apply() const;

private:
    std::vector<std::pair<QPointer<QWidget>, LabelLevel>> m_labels;
};

bool isDark(const QPalette& palette);

// A screen's title: 26 on the design scale, bold.
QLabel* titleLabel(const QString& text, QWidget* parent = nullptr);

// A card: a 10-pixel rounded rectangle in a faint fill with a one-pixel separator-coloured border.
void paintCard(QPainter& painter, const QRectF& rect, const QPalette& palette);

} // namespace ScreenStyle
