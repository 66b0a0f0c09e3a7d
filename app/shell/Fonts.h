// Font sizes relative to the application font, so the desktop's font choice and scale apply to every
// label. Sizes are given in the design's points, where 13 is body text: relative(base, 11) is a little
// smaller than the desktop's body font, relative(base, 22) a title of about twice its size.
#pragma once

#include <QApplication>
#include <QFont>

namespace Fonts {

inline QFont relative(qreal designPoints, QFont::Weight weight = QFont::Normal, QFont base = QApplication::font())
{
    constexpr qreal bodyPoints = 13.0;
    if (base.pointSizeF() > 0)
        base.setPointSizeF(base.pointSizeF() * designPoints / bodyPoints);
    else if (base.pixelSize() > 0)
        base.setPixelSize(qMax(1, qRound(base.pixelSize() * designPoints / bodyPoints)));
    base.setWeight(weight);
    return base;
}

} // namespace Fonts
