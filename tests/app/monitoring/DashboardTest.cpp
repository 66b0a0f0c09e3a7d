// The dashboard's cards for present and absent figures, its external-disk section, one CPU measurement
// at a time, and the update panel for every outcome.
#include "../AppTestSupport.h"
#include "monitoring/DashboardViewController.h"
#include "shell/VolumeCardView.h"

#include <gtest/gtest.h>

#include <QVBoxLayout>

#include <atomic>
#include <latch>

namespace {
brisklet::VolumeInfo volume(std::string name, bool isRoot, bool isInternal)
{
    return {"/v/" + name, name, "/v/" + name, 1'000'000'000, 250'000'000, isInternal, isRoot};
}

// Sources whose answers the test sets; every call is counted.
struct Fixture {
    std::vector<brisklet::VolumeInfo> volumes;
    std::optional<brisklet::SystemStats::MemoryUsage> memory;
    std::optional<double> cpu;
    std::atomic<int> cpuCalls{0};
    std::latch cpuGate{1};
    std::function<brisklet::SoftwareUpdateStatus()> check = [] { return brisklet::SoftwareUpdateStatus::noUpdates(); };
    bool canOpen = false;

    DashboardViewController::Sources sources()
    {
        DashboardViewController::Sources s;
        s.volumes = [this](std::stop_token) { return volumes; };
        s.memory = [this] { return memory; };
        s.cpuUsage = [this](std::stop_token) {
            ++cpuCalls;
            cpuGate.wait();
            return cpu;
        };
        s.activeProcessorCount = [] { return 10; };
        s.checkForUpdates = [this](std::stop_token) { return check(); };
        s.openSoftwareUpdate = [this] { return canOpen; };
        s.systemDescription = [] { return QStringLiteral("Debian GNU/Linux 12 (6.1.0)"); };
        return s;
    }
};

QStringList texts(const StatCardView* card)
{
    return {card->valueLabel()->text(), card->ofLabel()->text(), card->footerLabel()->text()};
}
} // namespace

TEST(Dashboard, CardsShowFiguresOrDashesAndOneCpuMeasurementRunsAtATime)
{
    Fixture fixture;
    fixture.volumes = {volume("Data", false, true), volume("STICK", false, false)};
    DashboardViewController screen(nullptr, fixture.sources());
    ASSERT_TRUE(waitFor([&] { return fixture.cpuCalls.load() == 1; })); // the first measurement, held
    screen.refresh();
    screen.refresh();
    ASSERT_TRUE(waitFor([&] { return !screen.isReadingFigures(); }));
    fixture.cpuGate.count_down();
    ASSERT_TRUE(waitFor([&] { return !screen.isSamplingCPU(); }));
    EXPECT_EQ(fixture.cpuCalls.load(), 1);

    // No start-up volume marked: the first one is shown; the external one gets a card.
    EXPECT_EQ(texts(screen.diskCard()), (QStringList{"750 MB", "used of 1 GB", "250 MB available"}));
    EXPECT_EQ(texts(screen.memoryCard()), (QStringList{"—", "unavailable", ""}));
    EXPECT_EQ(texts(screen.cpuCard()), (QStringList{"0%", "in use", "10 cores"}));
    EXPECT_FALSE(screen.externalSection()->isHidden());
    ASSERT_EQ(screen.externalCards()->count(), 1);
    EXPECT_EQ(static_cast<VolumeCardView*>(screen.externalCards()->itemAt(0)->widget())->volume().name, "STICK");

    screen.renderVolumes({});
    EXPECT_EQ(texts(screen.diskCard()), (QStringList{"—", "no volume found", ""}));
    EXPECT_TRUE(screen.externalSection()->isHidden());
    EXPECT_EQ(screen.externalCards()->count(), 0);

    screen.renderMemory(brisklet::SystemStats::MemoryUsage{8'000'000'000, 2'000'000'000});
    EXPECT_EQ(texts(screen.memoryCard()), (QStringList{"2 GB", "used of 8 GB", "6 GB available"}));
    screen.renderCPU(0.374, 1);
    EXPECT_EQ(texts(screen.cpuCard()), (QStringList{"37%", "in use", "1 core"}));
}

TEST(Dashboard, UpdatePanelReportsEachOutcomeAndAllowsOneCheckAtATime)
{
    using brisklet::AvailableSoftwareUpdate;
    using brisklet::SoftwareUpdateStatus;

    Fixture fixture;
    fixture.cpuGate.count_down();
    std::latch checkGate{1};
    std::atomic<int> checks{0};
    fixture.check = [&] {
        ++checks;
        checkGate.wait();
        return SoftwareUpdateStatus::available({{"Safari", "17.6"}});
    };
    DashboardViewController screen(nullptr, fixture.sources());
    EXPECT_EQ(screen.updateStatusLabel()->text(), QStringLiteral("Updates haven’t been checked."));
    screen.checkForUpdates();
    screen.checkForUpdates();
    EXPECT_EQ(screen.checkUpdatesButton()->text(), QStringLiteral("Checking"));
    EXPECT_FALSE(screen.checkUpdatesButton()->isEnabled());
    checkGate.count_down();
    ASSERT_TRUE(waitFor([&] { return !screen.isCheckingUpdates(); }));
    EXPECT_EQ(checks.load(), 1);
    EXPECT_TRUE(screen.updateStatusLabel()->text().startsWith(
        QStringLiteral("1 update available: Safari (17.6). Checked ")));
    EXPECT_EQ(screen.updateStatusLabel()->toolTip(), screen.updateStatusLabel()->text());
    EXPECT_EQ(screen.checkUpdatesButton()->text(), QStringLiteral("Check for Updates"));
    EXPECT_TRUE(screen.checkUpdatesButton()->isEnabled());

    fixture.check = []() -> SoftwareUpdateStatus { throw brisklet::SoftwareUpdateCheckError::timedOut(); };
    screen.checkForUpdates();
    ASSERT_TRUE(waitFor([&] { return !screen.isCheckingUpdates(); }));
    EXPECT_EQ(screen.updateStatusLabel()->text(),
              QString::fromStdString(brisklet::SoftwareUpdateCheckError::timedOut().description()));

    screen.openSoftwareUpdate();
    ASSERT_TRUE(waitFor([&] { return screen.updateStatusLabel()->text().startsWith(QStringLiteral("Could not open")); }));
}
