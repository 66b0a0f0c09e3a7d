// The chart palette: OKLCH conversion against reference colours, the documented family values, depth
// clamps and the text-colour switch.
#include "shell/Palette.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
void expectRgb(const QColor& color, double r, double g, double b, double tolerance = 0.002)
{
    EXPECT_NEAR(color.redF(), r, tolerance) << color.name().toStdString();
    EXPECT_NEAR(color.greenF(), g, tolerance) << color.name().toStdString();
    EXPECT_NEAR(color.blueF(), b, tolerance) << color.name().toStdString();
    EXPECT_EQ(color.alphaF(), 1.0f);
}

bool same(const QColor& a, const QColor& b) { return a.rgba64() == b.rgba64(); }

// Equal up to rounding of the inputs (0.60 + 0.07 is not exactly 0.67).
bool close(const QColor& a, const QColor& b)
{
    return std::abs(a.redF() - b.redF()) < 1e-4 && std::abs(a.greenF() - b.greenF()) < 1e-4
           && std::abs(a.blueF() - b.blueF()) < 1e-4 && a.alphaF() == b.alphaF();
}
} // namespace

TEST(PaletteOklch, ConvertsReferenceColours)
{
    expectRgb(Palette::oklch(1.0, 0.0, 0.0), 1.0, 1.0, 1.0);
    expectRgb(Palette::oklch(0.0, 0.0, 0.0), 0.0, 0.0, 0.0);
    // #ff0000, #00ff00 and #0000ff as published in OKLCH.
    expectRgb(Palette::oklch(0.627955, 0.257683, 29.2339), 1.0, 0.0, 0.0, 0.003);
    expectRgb(Palette::oklch(0.866440, 0.294827, 142.4953), 0.0, 1.0, 0.0, 0.003);
    expectRgb(Palette::oklch(0.452014, 0.313214, 264.0520), 0.0, 0.0, 1.0, 0.003);
    // Mid grey #808080.
    expectRgb(Palette::oklch(0.599871, 0.0, 0.0), 128.0 / 255, 128.0 / 255, 128.0 / 255);
}

TEST(PaletteOklch, OutOfGamutComponentsAreClamped)
{
    const QColor vivid = Palette::oklch(0.9, 0.4, 30.0);
    for (double component : {vivid.redF(), vivid.greenF(), vivid.blueF()}) {
        EXPECT_GE(component, 0.0);
        EXPECT_LE(component, 1.0);
    }
    expectRgb(Palette::oklch(1.5, 0.0, 0.0), 1.0, 1.0, 1.0);
}

TEST(PaletteFamilies, FirstFourFamiliesMatchTheirDocumentedValues)
{
    struct Expected {
        int index;
        double lightness, chroma, hue;
        bool white;
    };
    const Expected families[] = {
        {0, 0.72, 0.14, 25.0, false},
        {1, 0.60, 0.14, 162.508, true},
        {2, 0.83, 0.11, 300.016, false},
        {3, 0.72, 0.14, 77.524, false},
    };
    for (const Expected& e : families) {
        SCOPED_TRACE(e.index);
        EXPECT_NEAR(Palette::familyHue(e.index), e.hue, 1e-9);
        const DistinctColor color = Palette::distinct(e.index);
        EXPECT_TRUE(close(color.fill, Palette::oklch(e.lightness, e.chroma, e.hue)));
        EXPECT_EQ(color.prefersWhiteText, e.white);
        if (e.white)
            EXPECT_TRUE(same(color.text, QColor::fromRgbF(1, 1, 1, 1)));
        else
            EXPECT_TRUE(close(color.text, Palette::oklch(0.30, 0.05, e.hue)));
    }
}

TEST(PaletteFamilies, FamiliesSharingLightnessStepHueBy52Point524Degrees)
{
    EXPECT_NEAR(Palette::familyHue(3) - Palette::familyHue(0), 52.524, 1e-9);
    EXPECT_NEAR(Palette::familyHue(6) - Palette::familyHue(3), 52.524, 1e-9);
    EXPECT_FALSE(same(Palette::distinct(0).fill, Palette::distinct(3).fill));
    EXPECT_NEAR(Palette::familyHue(1000), std::fmod(1000 * 137.508 + 25, 360.0), 1e-9);
}

TEST(PaletteDepth, SiblingParityPicksTheTextLightnessAndChromaAreClampedAndDepthZeroIsTheTop)
{
    struct Case {
        int family, depth, sibling;
        QColor fill;
        bool whiteText;
    };
    const Case cases[] = {
        {1, 1, 0, Palette::oklch(0.67, 0.115, 162.508), false}, // the even sibling of the middle lightness
        {1, 1, 1, Palette::oklch(0.61, 0.115, 162.508), true},
        {1, 1, 3, Palette::oklch(0.61, 0.115, 162.508), true}, // only the parity of the sibling matters
        {2, 4, 0, Palette::oklch(0.88, 0.06, 300.016), false},
        {2, 2, 0, Palette::oklch(0.88, 0.06, 300.016), false},
        {0, 3, 0, Palette::oklch(0.88, 0.065, 25.0), false},
        {0, 10, 1, Palette::oklch(0.88, 0.06, 25.0), false},
        {4, 0, 1, Palette::distinct(4).fill, Palette::distinct(4).prefersWhiteText},
        {4, -2, 1, Palette::distinct(4).fill, Palette::distinct(4).prefersWhiteText},
    };
    for (const Case& c : cases) {
        const DistinctColor color = Palette::distinct(c.family, c.depth, c.sibling);
        EXPECT_TRUE(c.depth <= 0 ? same(color.fill, c.fill) : close(color.fill, c.fill)) << c.family << "/" << c.depth << "/" << c.sibling;
        if (c.depth == 1 || c.depth <= 0) {
            EXPECT_EQ(color.prefersWhiteText, c.whiteText) << c.family << "/" << c.depth << "/" << c.sibling;
        }
    }
}

TEST(PaletteOther, OtherColourIsTheNeutralGreyAndStable)
{
    EXPECT_TRUE(same(Palette::otherColor(), Palette::oklch(0.74, 0.01, 250)));
    EXPECT_TRUE(same(Palette::distinct(5, 2, 1).fill, Palette::distinct(5, 2, 1).fill));
}
