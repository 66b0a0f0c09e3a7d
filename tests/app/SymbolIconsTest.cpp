// The symbol table: every name the program and its screens use resolves to a bundled SVG that draws,
// in the requested tint.
#include "shell/Section.h"
#include "shell/SymbolIcons.h"

#include <gtest/gtest.h>

#include <QImage>

TEST(SymbolIcons, EveryTableEntryDrawsFromTheBundledSet)
{
    const QStringList names = SymbolIcons::names();
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QPixmap pixmap = SymbolIcons::pixmap(name, 16, Qt::red);
        ASSERT_FALSE(pixmap.isNull());
        const QImage image = pixmap.toImage();
        int covered = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                covered += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        }
        EXPECT_GT(covered, 8) << "the SVG drew nothing";
    }
}

TEST(SymbolIcons, NamesUsedByTheScreensAreAllInTheTable)
{
    QStringList required;
    for (Section section : Sections::all())
        required << Sections::symbolName(section);
    required << "gearshape" << "arrow.down.circle" << "arrow.down.circle.dotted" << "shippingbox"
             << "exclamationmark.arrow.circlepath"
             // analyzer, deletion history, busy view
             << "clock.arrow.circlepath" << "folder" << "folder.fill" << "doc" << "arrow.turn.left.up" << "lock.fill"
             << "sailboat.fill"
             // smart clean and its catalog
             << "checkmark.seal" << "chevron.down" << "chevron.right" << "iphone" << "hammer" << "brewingstand"
             << "python" << "swift.speedometer" << "cup.and.saucer" << "puzzlepiece.extension"
             << "square.stack.3d.up" << "doc.text.magnifyingglass" << "music.note"
             // uninstaller, dashboard, processes, ports
             << "square.grid.2x2" << "arrow.clockwise" << "internaldrive.fill" << "internaldrive" << "externaldrive"
             << "anchor" << "doc.on.doc" << "globe";
    for (const QString& name : required)
        EXPECT_FALSE(SymbolIcons::resourcePath(name).isEmpty()) << name.toStdString();
}

TEST(SymbolIcons, PixmapIsTintedAndUnknownNamesGiveNothing)
{
    const QImage image = SymbolIcons::pixmap("trash", 32, QColor(10, 200, 30)).toImage();
    bool sawOpaque = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 255) {
                sawOpaque = true;
                EXPECT_EQ(qRed(pixel), 10);
                EXPECT_EQ(qGreen(pixel), 200);
                EXPECT_EQ(qBlue(pixel), 30);
            }
        }
    }
    EXPECT_TRUE(sawOpaque);
    EXPECT_TRUE(SymbolIcons::pixmap("no.such.symbol", 16, Qt::black).isNull());
    EXPECT_TRUE(SymbolIcons::resourcePath("Trash").isEmpty());
    EXPECT_FALSE(SymbolIcons::applicationIcon().isNull());
}
