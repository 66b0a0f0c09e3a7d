// A switch of the appearance while the program runs: every visible text, symbol, list and scroll bar of
// every screen takes the new palette's colours, light, dark and light again (as after a restart).
#include "AppTestSupport.h"

#include "SectionScreens.h"
#include "analyzer/AnalyzerViewController.h"

#include "shell/AppPreferences.h"
#include "shell/MainMenu.h"
#include "shell/MainWindowController.h"
#include "shell/NotificationCenter.h"
#include "shell/Section.h"
#include "shell/SegmentedControl.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QScrollBar>
#include <QTemporaryDir>

namespace {
double luminance(const QColor& color)
{
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

// Contrast ratio of a colour drawn over the background (its alpha blended in), 1 to 21.
double contrast(const QColor& drawn, const QColor& background)
{
    const double a = drawn.alphaF();
    const QColor blended = QColor::fromRgbF(drawn.redF() * a + background.redF() * (1 - a),
                                            drawn.greenF() * a + background.greenF() * (1 - a),
                                            drawn.blueF() * a + background.blueF() * (1 - a));
    const double l1 = luminance(blended), l2 = luminance(background);
    return (std::max(l1, l2) + 0.05) / (std::min(l1, l2) + 0.05);
}

// The mean colour of a symbol's drawn pixels.
QColor symbolColor(const QIcon& icon, bool enabled)
{
    const QImage image = icon.pixmap(QSize(16, 16), enabled ? QIcon::Normal : QIcon::Disabled).toImage();
    double r = 0, g = 0, b = 0, weight = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            r += c.redF() * c.alphaF();
            g += c.greenF() * c.alphaF();
            b += c.blueF() * c.alphaF();
            weight += c.alphaF();
        }
    return weight > 0 ? QColor::fromRgbF(r / weight, g / weight, b / weight) : QColor(Qt::transparent);
}

std::string describe(const QWidget* widget)
{
    QString name = widget->accessibleName();
    if (const auto* label = qobject_cast<const QLabel*>(widget); name.isEmpty() && label)
        name = label->text().left(40);
    return (QString::fromLatin1(widget->metaObject()->className()) + QStringLiteral(" \"") + name +
            QStringLiteral("\" in ") + (widget->parentWidget() ? widget->parentWidget()->objectName() : QString()))
        .toStdString();
}

void expectReadable(QWidget* screen, const std::string& where)
{
    const QPalette palette = QApplication::palette();
    const QColor background = palette.color(QPalette::Window);
    const double least = 2.0;
    for (QLabel* label : screen->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(screen) || label->text().isEmpty())
            continue;
        const QColor text = label->palette().color(label->foregroundRole());
        if (text.rgb() == palette.color(QPalette::HighlightedText).rgb())
            continue; // on an accent fill (a selected row, the voyage picture), not on the window
        EXPECT_GE(contrast(text, background), least) << where << ": " << describe(label);
    }
    for (QAbstractButton* button : screen->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(screen) || button->icon().isNull() || button->inherits("AccentButton"))
            continue;
        EXPECT_GE(contrast(symbolColor(button->icon(), button->isEnabled()), background), least)
            << where << ": symbol of " << describe(button);
    }
    for (QAbstractItemView* view : screen->findChildren<QAbstractItemView*>()) {
        if (!view->isVisibleTo(screen))
            continue;
        const QColor base = view->palette().color(QPalette::Base).alpha() == 0 ? background : view->palette().color(QPalette::Base);
        EXPECT_GE(contrast(view->palette().color(QPalette::Text), base), 4.5) << where << ": text of " << describe(view);
        EXPECT_EQ(view->verticalScrollBar()->palette().color(QPalette::Button), palette.color(QPalette::Button))
            << where << ": scroll bar of " << describe(view);
    }
}
} // namespace

TEST(LiveAppearance, EveryScreenFollowsASwitchToDarkAndBackToLight)
{
    clearSettings();
    AppPreferences::applyAppearance(AppPreferences::Appearance::light);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("photos/2024")));
    QFile file(folder.filePath(QStringLiteral("photos/2024/a.jpg")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(64 * 1024, 'x'));
    file.close();

    UpdateController updates{std::make_shared<FakeFeed>()};
    MainWindowController controller{updates, SectionScreens::table(), MainMenu::install(updates)};
    controller.showWindow();
    const auto show = [](Section section) {
        NotificationCenter::shared().post(NotificationNames::switchSection, nullptr,
                                          {{NotificationNames::sectionKey, Sections::rawValue(section)}});
        QApplication::processEvents();
    };
    show(Section::analyzer);
    auto* analyzer = controller.window()->findChild<AnalyzerViewController*>();
    ASSERT_NE(analyzer, nullptr);
    analyzer->analyze(folder.path());
    ASSERT_TRUE(waitFor([&] { return analyzer->state() == AnalyzerViewController::State::result; }));

    for (const auto appearance : {AppPreferences::Appearance::dark, AppPreferences::Appearance::light}) {
        AppPreferences::applyAppearance(appearance);
        const std::string look = appearance == AppPreferences::Appearance::dark ? "dark" : "light";
        for (Section section : Sections::all()) {
            show(section);
            if (section != Section::analyzer) {
                expectReadable(controller.window(), look + " " + Sections::rawValue(section).toStdString());
                continue;
            }
            for (int pane = 0; pane < analyzer->segmented()->count(); ++pane) {
                analyzer->segmented()->setSelectedIndex(pane);
                analyzer->segmentChanged(pane);
                QApplication::processEvents();
                expectReadable(controller.window(), look + " analyzer pane " + std::to_string(pane));
            }
        }
    }
    AppPreferences::applyAppearance(AppPreferences::Appearance::system);
}
