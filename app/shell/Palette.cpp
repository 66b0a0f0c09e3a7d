#include "Palette.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Palette {

namespace {
double toSrgb(double linear)
{
    const double encoded = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
    if (!(encoded > 0.0)) // also catches NaN from a negative base
        return 0.0;
    return std::min(encoded, 1.0);
}

double baseLightness(int index) { return distinctLightness[static_cast<std::size_t>(std::max(index, 0) % 3)]; }
double baseChroma(double lightness) { return lightness > 0.8 ? 0.11 : 0.14; }

DistinctColor make(double lightness, double chroma, double hue)
{
    DistinctColor color;
    color.fill = oklch(lightness, chroma, hue);
    if (lightness > textThreshold) {
        color.text = oklch(0.30, 0.05, hue);
        color.prefersWhiteText = false;
    } else {
        color.text = QColor::fromRgbF(1.0f, 1.0f, 1.0f, 1.0f);
        color.prefersWhiteText = true;
    }
    return color;
}
} // namespace

QColor oklch(double lightness, double chroma, double hueDegrees)
{
    const double radians = hueDegrees * std::numbers::pi / 180.0;
    const double a = chroma * std::cos(radians);
    const double b = chroma * std::sin(radians);

    // OKLab -> LMS (nonlinear), cubed, -> linear sRGB.
    const double l_ = lightness + 0.3963377774 * a + 0.2158037573 * b;
    const double m_ = lightness - 0.1055613458 * a - 0.0638541728 * b;
    const double s_ = lightness - 0.0894841775 * a - 1.2914855480 * b;
    const double l = l_ * l_ * l_;
    const double m = m_ * m_ * m_;
    const double s = s_ * s_ * s_;

    const double red = 4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s;
    const double green = -1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s;
    const double blue = -0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s;

    return QColor::fromRgbF(static_cast<float>(toSrgb(red)), static_cast<float>(toSrgb(green)),
                            static_cast<float>(toSrgb(blue)), 1.0f);
}

double familyHue(int index)
{
    return std::fmod(std::max(index, 0) * goldenHueStep + hueOffset, 360.0);
}

DistinctColor distinct(int index)
{
    const double lightness = baseLightness(index);
    return make(lightness, baseChroma(lightness), familyHue(index));
}

DistinctColor distinct(int index, int depth, int sibling)
{
    if (depth <= 0)
        return distinct(index);
    const double base = baseLightness(index);
    double lightness = base + 0.07 * depth;
    if (sibling % 2 != 0)
        lightness -= 0.06;
    lightness = std::clamp(lightness, 0.55, 0.88);
    const double chroma = std::max(baseChroma(base) - 0.025 * depth, 0.06);
    return make(lightness, chroma, familyHue(index));
}

const QColor& otherColor()
{
    static const QColor color = oklch(0.74, 0.01, 250.0);
    return color;
}

} // namespace Palette
