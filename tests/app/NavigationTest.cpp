// Switching sections by click and by notification: the container and the sidebar always agree, bad
// requests change nothing, and every screen object is built once and comes back unchanged.
#include "AppTestSupport.h"

#include "shell/BackgroundRunner.h"
#include "shell/NotificationCenter.h"
#include "shell/SectionContainerViewController.h"
#include "shell/SectionScreen.h"
#include "shell/SidebarRowView.h"
#include "shell/SidebarViewController.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QLabel>
#include <QTest>
#include <QThread>

#include <atomic>

namespace {

// Counts how often screens are created and how often a screen is shown again.
struct ScreenLog {
    std::map<Section, int> made;
    std::map<QWidget*, int> shows;
};

class ShowCounter : public QObject {
public:
    explicit ShowCounter(ScreenLog& log) : m_log(log) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            ++m_log.shows[static_cast<QWidget*>(watched)];
        return false;
    }

private:
    ScreenLog& m_log;
};

SectionScreens::Table countingTable(ScreenLog& log, ShowCounter* counter, bool withPorts = true)
{
    SectionScreens::Table table;
    for (Section section : Sections::all()) {
        if (section == Section::ports && !withPorts)
            continue;
        table.push_back({section, [&log, counter, section](QWidget*) {
                             ++log.made[section];
                             auto* screen = new QLabel(Sections::title(section));
                             screen->installEventFilter(counter);
                             return static_cast<QWidget*>(screen);
                         }});
    }
    return table;
}

void postSwitch(const QVariantMap& userInfo)
{
    NotificationCenter::shared().post(NotificationNames::switchSection, nullptr, userInfo);
}

struct Shell {
    ScreenLog log;
    ShowCounter counter{log};
    UpdateController updates{std::make_shared<FakeFeed>()};
    QWidget window;
    SectionContainerViewController* container;
    SidebarViewController* sidebar;

    explicit Shell(bool withPorts = true)
    {
        container = new SectionContainerViewController(&window, countingTable(log, &counter, withPorts));
        sidebar = new SidebarViewController(updates, &window);
        QPointer<SectionContainerViewController> weak(container);
        sidebar->onSelect = [weak](Section s) {
            if (weak)
                weak->show(s);
        };
        window.show();
    }

    QWidget* screen(Section s) { return container->controllers().at(s); }
};

} // namespace

TEST(SectionRawValues, OnlyExactRawValuesParse)
{
    EXPECT_EQ(Sections::fromRawValue("ports"), Section::ports);
    EXPECT_EQ(Sections::fromRawValue("smartClean"), Section::smartClean);
    EXPECT_EQ(Sections::fromRawValue("Ports"), std::nullopt);
    EXPECT_EQ(Sections::fromRawValue("processes"), std::nullopt);
    EXPECT_EQ(Sections::fromRawValue(""), std::nullopt);
    for (Section s : Sections::all())
        EXPECT_EQ(Sections::fromRawValue(Sections::rawValue(s)), s);
}

TEST(SectionContainer, StartsOnTheDashboardWithAllScreensBuiltOnce)
{
    Shell shell;
    EXPECT_EQ(shell.container->current(), shell.screen(Section::dashboard));
    EXPECT_EQ(shell.sidebar->highlightedSection(), Section::dashboard);
    EXPECT_EQ(shell.log.made.size(), 6u);
    for (const auto& [section, count] : shell.log.made)
        EXPECT_EQ(count, 1) << Sections::rawValue(section).toStdString();
}

TEST(SectionContainer, RowClickShowsAndHighlightsAndReturnsTheSameScreen)
{
    Shell shell;
    QWidget* analyzer = shell.screen(Section::analyzer);
    QTest::mouseClick(shell.sidebar->rowViews().at(Section::analyzer), Qt::LeftButton);
    EXPECT_EQ(shell.container->current(), analyzer);
    EXPECT_TRUE(analyzer->isVisible());
    EXPECT_FALSE(shell.screen(Section::dashboard)->isVisible());
    EXPECT_EQ(shell.sidebar->highlightedSection(), Section::analyzer);

    QTest::mouseClick(shell.sidebar->rowViews().at(Section::dashboard), Qt::LeftButton);
    QTest::mouseClick(shell.sidebar->rowViews().at(Section::analyzer), Qt::LeftButton);
    EXPECT_EQ(shell.container->current(), analyzer) << "the same screen object comes back";
    for (const auto& [section, count] : shell.log.made)
        EXPECT_EQ(count, 1);
}

TEST(SectionContainer, ClickingTheShownSectionChangesNothing)
{
    Shell shell;
    QTest::mouseClick(shell.sidebar->rowViews().at(Section::crew), Qt::LeftButton);
    QWidget* crew = shell.container->current();
    const int shows = shell.log.shows[crew];
    QTest::mouseClick(shell.sidebar->rowViews().at(Section::crew), Qt::LeftButton);
    EXPECT_EQ(shell.container->current(), crew);
    EXPECT_EQ(shell.log.shows[crew], shows) << "the screen was removed and added again";
}

TEST(SectionContainer, SwitchNotificationShowsAndHighlights)
{
    Shell shell;
    postSwitch({{"section", "ports"}});
    EXPECT_EQ(shell.container->current(), shell.screen(Section::ports));
    EXPECT_EQ(shell.sidebar->highlightedSection(), Section::ports);
    const auto& rows = shell.sidebar->rowViews();
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const auto& r) { return r.second->isHighlighted(); }), 1);
}

TEST(SectionContainer, InvalidOrMissingSectionInNotificationChangesNothing)
{
    Shell shell;
    postSwitch({{"section", "analyzer"}});
    QWidget* shown = shell.container->current();
    const std::vector<QVariantMap> bad = {
        {{"section", "Ports"}},
        {{"section", "nowhere"}},
        {{"section", 5}},
        {{"section", QStringList{"ports"}}},
        {{"Section", "ports"}},
        {},
    };
    for (const QVariantMap& userInfo : bad) {
        postSwitch(userInfo);
        EXPECT_EQ(shell.container->current(), shown);
        EXPECT_EQ(shell.sidebar->highlightedSection(), Section::analyzer);
    }
}

TEST(SectionContainer, SectionWithoutAScreenIsIgnored)
{
    Shell shell(false);
    EXPECT_EQ(shell.container->controllers().count(Section::ports), 0u);
    shell.container->show(Section::ports);
    EXPECT_EQ(shell.container->current(), shell.screen(Section::dashboard));
}

TEST(SectionContainer, ReleasedContainerIgnoresClicksAndNotifications)
{
    Shell shell;
    delete shell.container;
    QTest::mouseClick(shell.sidebar->rowViews().at(Section::uninstaller), Qt::LeftButton);
    EXPECT_EQ(shell.sidebar->highlightedSection(), Section::uninstaller);
    postSwitch({{"section", "ports"}}); // would crash if the released container still observed
    EXPECT_EQ(shell.sidebar->highlightedSection(), Section::ports);
}

TEST(SidebarRows, HighlightedRowUsesWhiteTextOthersTheLabelColour)
{
    Shell shell;
    shell.sidebar->highlight(Section::smartClean);
    for (const auto& [section, row] : shell.sidebar->rowViews()) {
        const QColor text = row->label()->palette().color(QPalette::WindowText);
        if (section == Section::smartClean)
            EXPECT_EQ(text, QColor(Qt::white));
        else
            EXPECT_EQ(text, shell.sidebar->palette().color(QPalette::WindowText));
    }
}

namespace {
// A screen with one operation that runs until the test releases it.
struct WorkingScreen : QLabel, SectionScreen {
    explicit WorkingScreen(QWidget* parent) : QLabel(QStringLiteral("idle"), parent) {}
    void start(std::shared_ptr<std::atomic<bool>> release)
    {
        setText(QStringLiteral("running"));
        runner.run([release](std::stop_token stop) { while (!*release && !stop.stop_requested()) QThread::msleep(1); },
                   [this] { setText(QStringLiteral("finished")); });
    }
    void sectionDidAppear() override { ++appeared; }
    void sectionDidDisappear() override { ++disappeared; }
    int appeared = 0, disappeared = 0;
    BackgroundRunner runner{this};
};
} // namespace

TEST(SectionContainer, ScreenLeftMidOperationIsFoundInTheSameStateAndToldWhenItShows)
{
    SectionScreens::Table table;
    for (Section section : Sections::all())
        table.push_back({section, [](QWidget* parent) -> QWidget* { return new WorkingScreen(parent); }});
    QWidget window;
    auto* container = new SectionContainerViewController(&window, table);
    window.show();
    const std::map<Section, QWidget*> screens = container->controllers();
    auto* analyzer = static_cast<WorkingScreen*>(screens.at(Section::analyzer));
    EXPECT_EQ(analyzer->parentWidget(), container) << "built as the container's child";
    container->show(Section::analyzer);
    auto release = std::make_shared<std::atomic<bool>>(false);
    analyzer->start(release);
    for (Section section : Sections::all())
        container->show(section);
    container->show(Section::analyzer);
    EXPECT_EQ(container->controllers(), screens) << "the same six objects";
    EXPECT_EQ(container->current(), analyzer);
    EXPECT_EQ(analyzer->text(), "running") << "hidden work was reset or lost";
    EXPECT_EQ(std::pair(analyzer->appeared, analyzer->disappeared), std::pair(3, 2));

    container->show(Section::ports);
    *release = true;
    EXPECT_TRUE(waitFor([&] { return analyzer->text() == "finished"; })) << "a hidden screen's answer was dropped";
}
