// The analyzer screen under a stopwatch: `brisklet --analyzer-benchmark TREE` opens the real main
// window (headless under the offscreen platform), switches to the Disk Analyzer, scans TREE from the
// screen and prints one line of raw figures for bench/analyzer-screen:
//   scan_s=  time from analyze() until the scanner returned (on its worker)
//   stall_ms=  the longest gap between two ticks of a 5 ms GUI-thread timer while the scan ran
//   busy_ms=  the most CPU time the GUI thread spent between two such ticks: its own longest stretch of
//             work, which the machine's load does not inflate
//   updates=  how many different progress texts the screen showed meanwhile
//   shown_s=  time from the scanner's return until the result was painted
//   rss_bytes=  the program's resident memory once the result is shown
// With BRISKLET_BENCH_GAPS set, every gap above 30 ms and the GUI thread's CPU time during the scan go to
// standard error.
#pragma once

#include <QString>

class AppDelegate;

namespace AnalyzerBenchmark {

// Runs the measurement and returns the process exit code (0 when the scan produced a result).
int run(AppDelegate& delegate, const QString& tree);

} // namespace AnalyzerBenchmark
