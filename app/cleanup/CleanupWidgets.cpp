#include "CleanupWidgets.h"

#include "scan/ScanDefaults.h"
#include "shell/ElidingLabel.h"
#include "shell/PlainText.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QThread>

#include <algorithm>

namespace CleanupWidgets {

QLabel* title(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(ScreenStyle::font(26, QFont::Bold));
    label->setAccessibleName(text);
    return label;
}

QLabel* subtitle(const QString& text, QWidget* parent, ScreenStyle::LabelTints& tints)
{
    auto* label = new QLabel(text, parent);
    label->setFont(ScreenStyle::font(12));
    label->setWordWrap(true);
    tints.add(label, ScreenStyle::LabelLevel::secondary);
    return label;
}

QLabel* summary(QWidget* parent, ScreenStyle::LabelTints& tints)
{
    // The flow's line in front of the list's summary can be long: cut, and whole in the tooltip.
    auto* label = new ElidingLabel({}, parent);
    label->setFont(ScreenStyle::font(11));
    label->setAccessibleName(QStringLiteral("Summary"));
    PlainText::apply(label); // the flow's lines quote failures, which name files
    label->setMinimumWidth(120);
    tints.add(label, ScreenStyle::LabelLevel::secondary);
    return label;
}

QPushButton* undoButton(const QString& toolTip, QWidget* parent)
{
    auto* button = new QPushButton(QStringLiteral("Undo"), parent);
    button->setToolTip(toolTip);
    button->hide();
    return button;
}

void drawLine(QPainter* painter, const QRect& rect, const QFont& font, const QColor& color, const QString& text,
              Qt::Alignment alignment)
{
    painter->setFont(font);
    painter->setPen(color);
    // Elided to the width already; not clipped to the height, which would cut underscores and descenders.
    painter->drawText(rect, int(alignment) | Qt::TextDontClip, QFontMetrics(font).elidedText(text, Qt::ElideMiddle, rect.width()));
}

void drawTwoLines(QPainter* painter, const QRect& rect, const TextLine& title, const TextLine& detail)
{
    const int titleHeight = QFontMetrics(title.font).height();
    const int detailHeight = QFontMetrics(detail.font).height();
    const int top = rect.center().y() - (titleHeight + detailHeight + 2) / 2;
    drawLine(painter, QRect(rect.left(), top, rect.width(), titleHeight), title.font, title.color, title.text);
    drawLine(painter, QRect(rect.left(), top + titleHeight + 2, rect.width(), detailHeight), detail.font, detail.color,
             detail.text);
}

void drawCheckBox(QPainter* painter, const QRect& rect, Qt::CheckState state, bool enabled, const QPalette& palette,
                  bool onSelection)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(rect.width(), rect.height()) - 1;
    const QRectF box(rect.center().x() - side / 2 + 0.5, rect.center().y() - side / 2 + 0.5, side, side);
    QColor accent = palette.color(QPalette::Highlight);
    QColor outline = ScreenStyle::labelColor(palette, ScreenStyle::LabelLevel::secondary);
    QColor mark = Qt::white;
    if (onSelection) { // inverted, so the box stands out from the selection colour
        mark = accent;
        accent = palette.color(QPalette::HighlightedText);
        outline = accent;
    }
    if (!enabled) {
        accent.setAlphaF(0.35f);
        outline = ScreenStyle::labelColor(palette, ScreenStyle::LabelLevel::quaternary);
    }
    if (state == Qt::Unchecked) {
        painter->setPen(QPen(outline, 1.2));
        painter->setBrush(palette.color(QPalette::Base));
        painter->drawRoundedRect(box, 3, 3);
    } else {
        painter->setPen(Qt::NoPen);
        painter->setBrush(accent);
        painter->drawRoundedRect(box, 3, 3);
        painter->setPen(QPen(mark, std::max(1.6, side / 8), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->setBrush(Qt::NoBrush);
        if (state == Qt::PartiallyChecked) {
            painter->drawLine(QPointF(box.left() + side * 0.25, box.center().y()),
                              QPointF(box.right() - side * 0.25, box.center().y()));
        } else {
            const QPointF tick[] = {{box.left() + side * 0.24, box.top() + side * 0.52},
                                    {box.left() + side * 0.43, box.top() + side * 0.72},
                                    {box.left() + side * 0.77, box.top() + side * 0.3}};
            painter->drawPolyline(tick, 3);
        }
    }
    painter->restore();
}

RowPaint drawRowBase(QPainter* painter, QStyleOptionViewItem option, bool checkEnabled)
{
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    RowPaint row;
    row.check = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, widget);
    const Qt::CheckState state = option.checkState;
    option.text.clear();
    option.icon = QIcon();
    option.features &= ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration
                         | QStyleOptionViewItem::HasCheckIndicator);
    style->drawControl(QStyle::CE_ItemViewItem, &option, painter, widget);
    const bool selected = option.state & QStyle::State_Selected;
    drawCheckBox(painter, row.check, state, checkEnabled, option.palette, selected);
    row.primary = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    // On the selection's strong colour the small texts stay unfaded, as faded they are hard to read.
    row.secondary = row.primary;
    row.tertiary = row.primary;
    if (!selected) {
        row.secondary.setAlphaF(0.62f);
        row.tertiary.setAlphaF(0.45f);
    }
    row.ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    return row;
}

QMessageBox* alert(QWidget* host, const QString& message)
{
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Brisklet"), message, QMessageBox::Ok,
                                host ? host->window() : nullptr);
    PlainText::apply(box); // names applications and files
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(host ? Qt::WindowModal : Qt::ApplicationModal);
    box->open();
    return box;
}

brisklet::DiskScanner::Options measuringOptions()
{
    return {std::clamp(QThread::idealThreadCount(), 2, 12),
            brisklet::ScanDefaults::foldDirectoryNames(),
            brisklet::ScanDefaults::rootSkipNames(),
            16 * 1024 * 1024,
            100,
            8.0};
}

} // namespace CleanupWidgets
