// Figures for the monitoring screens' GUI-thread work: one dashboard tick (starting the background
// reads, then filling the cards from a reading of this machine plus three external disks, laying out and
// painting the screen), and filtering plus sorting 1,000 processes for the processes list. Medians of
// 21 runs of this thread's CPU time, each printed beside its target. Run through bench/monitoring.
#include "monitoring/DashboardViewController.h"
#include "monitoring/ProcessRows.h"
#include "monitoring/ProcessTableModel.h"

#include <QApplication>
#include <QPixmap>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

// CPU time of this thread: what the GUI thread spends, unaffected by other work preempting it on a
// shared machine.
double threadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double medianMilliseconds(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = threadMilliseconds();
        work();
        times.push_back(threadMilliseconds() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void print(const char* figure, double measured, const char* target)
{
    std::printf("%-64s %8.2f ms   target %s\n", figure, measured, target);
}

std::vector<brisklet::ProcessEntry> processes(std::size_t count)
{
    static const char* names[] = {"bash", "Zsh", "chrome", "code", "postgres", "systemd", "node", "python3",
                                  "kworker/0:1", "Xorg", "pipewire", "gnome-shell", "firefox", "sshd"};
    static const char* users[] = {"root", "alice", "postgres", "messagebus"};
    std::mt19937 random(7);
    std::vector<brisklet::ProcessEntry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        // Many processes idle at exactly 0 so the name tie-break does real work.
        const double cpu = random() % 3 == 0 ? (random() % 2000) / 1000.0 : 0.0;
        entries.push_back({static_cast<std::int32_t>(100 + i * 7), names[random() % std::size(names)],
                           users[random() % std::size(users)], cpu, std::int64_t(4096) * std::int64_t(random() % 100000)});
    }
    return entries;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    constexpr int runs = 21;

    // The dashboard: its engine reads happen once, up front; what is measured is the GUI thread's share.
    auto volumes = brisklet::VolumeReader::mountedVolumes();
    for (int i = 0; i < 3; ++i)
        volumes.push_back({"/media/u/DISK" + std::to_string(i), "DISK" + std::to_string(i),
                           "/media/u/DISK" + std::to_string(i), 64'000'000'000, 20'000'000'000, false, false});
    const auto memory = brisklet::SystemStats::memoryUsage();
    DashboardViewController::Sources idle;
    idle.volumes = [](std::stop_token) { return std::vector<brisklet::VolumeInfo>{}; };
    idle.memory = [] { return std::optional<brisklet::SystemStats::MemoryUsage>{}; };
    idle.cpuUsage = [](std::stop_token) { return std::optional<double>{}; };
    idle.activeProcessorCount = [] { return 2; };
    idle.checkForUpdates = [](std::stop_token) { return brisklet::SoftwareUpdateStatus::noUpdates(); };
    idle.openSoftwareUpdate = [] { return false; };
    idle.systemDescription = [] { return QStringLiteral("Debian GNU/Linux 12"); };
    DashboardViewController dashboard(nullptr, idle);
    dashboard.resize(960, 720);
    dashboard.show();
    QPixmap canvas(dashboard.size());
    const double tick = medianMilliseconds(runs, [&] {
        dashboard.refresh(); // starts the reads (skipped while the previous ones still run)
        dashboard.renderVolumes(volumes);
        dashboard.renderMemory(memory);
        dashboard.renderCPU(0.37, 2);
        QApplication::sendPostedEvents(); // layout of the rebuilt cards
        dashboard.render(&canvas);        // one full paint
    });
    print("dashboard tick on the GUI thread (3 external disks, full paint)", tick, "< 5 ms");
    print("  of which filling the cards", medianMilliseconds(runs, [&] {
        dashboard.renderVolumes(volumes);
        dashboard.renderMemory(memory);
        dashboard.renderCPU(0.37, 2);
    }), "");
    print("  of which one full paint", medianMilliseconds(runs, [&] { dashboard.render(&canvas); }), "");

    const auto all = ProcessRows::fromSample(processes(1000));
    ProcessTableModel model;
    std::size_t kept = 0;
    const double filterSort = medianMilliseconds(runs, [&] {
        auto rows = ProcessRows::visible(all, QStringLiteral("o"), ProcessRows::SortKey::cpu);
        kept = rows.size();
        model.setRows(std::move(rows));
    });
    print("filter (\"o\") and sort 1,000 processes by CPU into the table model", filterSort, "< 16 ms");
    const double everything = medianMilliseconds(runs, [&] {
        model.setRows(ProcessRows::visible(all, QString(), ProcessRows::SortKey::memory));
    });
    print("no filter, sort 1,000 processes by memory into the table model", everything, "< 16 ms");
    const double conversion = medianMilliseconds(runs, [&] { ProcessRows::fromSample(processes(1000)); });
    print("turning a sample of 1,000 processes into rows (once per sample)", conversion, "< 16 ms");
    std::printf("(%zu of 1,000 processes matched \"o\")\n", kept);
    return 0;
}
