// Chart colours chosen in OKLCH so equal steps look equal: an evenly spread hue per top-level family,
// lighter and less saturated shades for deeper levels, a readable text colour for every fill and one
// neutral colour for aggregated items. Pure functions; identical inputs give identical colours.
#pragma once

#include <QColor>

#include <array>

struct DistinctColor {
    QColor fill;
    QColor text;
    bool prefersWhiteText = false;
};

namespace Palette {

inline constexpr std::array<double, 3> distinctLightness = {0.72, 0.60, 0.83};
inline constexpr double goldenHueStep = 137.508;
inline constexpr double hueOffset = 25.0;
inline constexpr double textThreshold = 0.65;

// Lightness 0...1, chroma, hue in degrees -> an opaque sRGB colour, components clamped to 0...1.
QColor oklch(double lightness, double chroma, double hueDegrees);

// The hue of a family (index must not be negative; a negative index is treated as 0).
double familyHue(int index);

DistinctColor distinct(int index);
// A node depth levels below its family head; only the parity of sibling matters.
DistinctColor distinct(int index, int depth, int sibling);

const QColor& otherColor();

} // namespace Palette
