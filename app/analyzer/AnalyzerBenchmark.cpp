#include "AnalyzerBenchmark.h"

#include "AnalyzerHistory.h"
#include "AnalyzerViewController.h"
#include "shell/AppDelegate.h"
#include "shell/MainWindowController.h"
#include "shell/NotificationCenter.h"
#include "shell/Section.h"
#include "shell/VoyageScanningView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>

#include <time.h>
#include <unistd.h>

namespace AnalyzerBenchmark {

namespace {
using Clock = AnalyzerViewController::Clock;

double seconds(Clock::duration span) { return std::chrono::duration<double>(span).count(); }

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

long long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long long pages = 0;
    long long resident = 0;
    statm >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}
// Polls the event loop until done() or a minute has passed; whether done() came true.
template <class Done>
bool waitFor(Done done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 60'000) {
        QApplication::processEvents();
        usleep(1000);
    }
    return done();
}

// Once the first scan is stored, scans the tree again and times the Change column: from the second
// result reaching the screen to the history's changes for it.
std::optional<double> secondScanChangesMs(AnalyzerViewController& screen)
{
    AnalyzerHistory* history = screen.history();
    if (!waitFor([history] { return history->shownScanId().has_value(); }))
        return std::nullopt;
    std::optional<Clock::time_point> changed;
    QObject::connect(history, &AnalyzerHistory::changesChanged, &screen, [history, &changed] {
        if (history->changes() && !changed)
            changed = Clock::now();
    });
    screen.startScan();
    if (!waitFor([&screen] { return !screen.isScanning(); }) || !waitFor([&changed] { return changed.has_value(); }))
        return std::nullopt;
    return std::chrono::duration<double, std::milli>(*changed - screen.lastTiming().finished).count();
}
} // namespace

int run(AppDelegate& delegate, const QString& tree)
{
    NotificationCenter::shared().post(NotificationNames::switchSection, nullptr,
                                      {{NotificationNames::sectionKey, Sections::rawValue(Section::analyzer)}});
    QMainWindow* window = delegate.windowController()->window();
    auto* screen = window->findChild<AnalyzerViewController*>();
    if (!screen) {
        std::fprintf(stderr, "analyzer-benchmark: no analyzer screen\n");
        return 2;
    }
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();

    std::vector<Clock::time_point> ticks;
    std::vector<double> cpuTicks; // the GUI thread's CPU time at each tick
    ticks.reserve(1 << 16);
    cpuTicks.reserve(1 << 16);
    QSet<QString> texts;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, screen, [&] {
        ticks.push_back(Clock::now());
        cpuTicks.push_back(threadCpuSeconds());
        texts.insert(screen->scanningView()->progressLabel()->text());
    });
    watch.start();
    const double cpu0 = threadCpuSeconds();
    screen->analyze(tree);
    while (screen->isScanning())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    watch.stop();
    if (qEnvironmentVariableIsSet("BRISKLET_BENCH_GAPS"))
        std::fprintf(stderr, "gui cpu %.3f s\n", threadCpuSeconds() - cpu0);
    if (screen->state() != AnalyzerViewController::State::result) {
        std::fprintf(stderr, "analyzer-benchmark: the scan failed: %s\n", qPrintable(screen->statusLabel()->text()));
        return 1;
    }
    window->repaint(); // paints the result now, as the next frame would
    const Clock::time_point shown = Clock::now();
    const AnalyzerViewController::Timing timing = screen->lastTiming();

    double stall = 0;
    double busy = 0;
    for (std::size_t i = 1; i < ticks.size() && ticks[i] <= timing.walked; ++i) {
        stall = std::max(stall, seconds(ticks[i] - ticks[i - 1]));
        busy = std::max(busy, cpuTicks[i] - cpuTicks[i - 1]);
        if (qEnvironmentVariableIsSet("BRISKLET_BENCH_GAPS") && seconds(ticks[i] - ticks[i - 1]) > 0.03)
            std::fprintf(stderr, "gap %.1f ms at %.3f s\n", seconds(ticks[i] - ticks[i - 1]) * 1000, seconds(ticks[i - 1] - timing.started));
    }
    for (int i = 0; i < 50; ++i) { // let deferred deletes and late events settle before reading memory
        QApplication::processEvents();
        usleep(10000);
    }
    std::printf("scan_s=%.3f stall_ms=%.1f busy_ms=%.1f updates=%lld shown_s=%.3f rss_bytes=%lld",
                seconds(timing.walked - timing.started), stall * 1000, busy * 1000, static_cast<long long>(texts.size()),
                seconds(shown - timing.walked), residentBytes());
    if (qEnvironmentVariableIsSet("BRISKLET_BENCH_CHANGES")) {
        const std::optional<double> changesMs = secondScanChangesMs(*screen);
        if (!changesMs) {
            std::fprintf(stderr, "\nanalyzer-benchmark: the second scan showed no changes\n");
            return 1;
        }
        std::printf(" changes_ms=%.1f", *changesMs);
    }
    std::printf("\n");
    std::fflush(stdout);
    return 0;
}

} // namespace AnalyzerBenchmark
