// Figures for the analyzer's charts: converting a 540,000-entry scan into the analyzer tree (time, heap
// bytes per node beyond the name and path strings, the scan released), laying out a treemap of a folder
// of 10,000 children and a sunburst of 41 wedges per parent, that a resize lays nothing out again, what
// a move to the Trash costs the GUI thread (the tree's removal as the three panes run it) and how long the
// outline takes to list 50,000 selected rows for the trash button and the review sheet, and to copy them.
// Prints each figure beside its target. Run through bench/analyzer-charts.
#include "analyzer/AnalyzerTreeNode.h"
#include "analyzer/ScanOutlineViewController.h"
#include "analyzer/SunburstView.h"
#include "analyzer/TreemapView.h"
#include "shell/RowCopy.h"

#include <QApplication>
#include <QItemSelection>
#include <QTreeView>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of the calling thread: on a shared machine the wall clock also counts other programs' turns.
double threadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

std::size_t heapInUse() { return mallinfo2().uordblks; }

// A tree shaped like a home folder: a few wide folders, mostly small files with names of real lengths,
// sizes in whole blocks (so many sizes tie and the name order is exercised).
class TreeMaker {
public:
    explicit TreeMaker(std::size_t entries) : m_left(entries) {}

    brisklet::ScanNode make(const std::string& path, const std::string& name, int depth)
    {
        brisklet::ScanNode node{{name, path, 0, true, brisklet::ScanState::complete}, std::vector<brisklet::ScanNode>{}};
        std::uniform_int_distribution<int> fanout(depth == 0 ? 30 : 4, depth == 0 ? 30 : 40);
        const int children = fanout(m_random);
        for (int i = 0; i < children && m_left > 0; ++i) {
            --m_left;
            const bool isFolder = depth < 7 && m_random() % 5 == 0;
            std::string childName = (isFolder ? "folder-" : m_random() % 3 == 0 ? "IMG_20241005_" : "f") +
                                    std::to_string(m_random() % 100000) + (isFolder ? "" : ".dat");
            const std::string childPath = path + "/" + childName;
            brisklet::ScanNode child = isFolder ? make(childPath, childName, depth + 1)
                                                : brisklet::ScanNode{{std::move(childName), childPath,
                                                                      std::int64_t(4096 * (1 + m_random() % 8)), false,
                                                                      brisklet::ScanState::complete},
                                                                     std::nullopt};
            node.entry.sizeBytes += child.entry.sizeBytes;
            node.children->push_back(std::move(child));
        }
        return node;
    }
    std::size_t left() const { return m_left; }

private:
    std::size_t m_left;
    std::mt19937_64 m_random{7};
};

brisklet::ScanNode scanOf(std::size_t entries)
{
    TreeMaker maker(entries - 1);
    brisklet::ScanNode root{{"home", "/home/user", 0, true, brisklet::ScanState::complete}, std::vector<brisklet::ScanNode>{}};
    for (int i = 0; maker.left() > 0; ++i) {
        brisklet::ScanNode top = maker.make("/home/user/top-" + std::to_string(i), "top-" + std::to_string(i), 1);
        root.entry.sizeBytes += top.entry.sizeBytes;
        root.children->push_back(std::move(top));
    }
    return root;
}

// Heap held by the name and path strings of node's tree (their characters only).
std::size_t stringHeap(const brisklet::ScanNode& node, std::size_t& count)
{
    std::vector<std::string> copies;
    node.walk([&copies](const brisklet::ScanNode& n) {
        copies.push_back(n.entry.name);
        copies.push_back(n.entry.path());
    });
    count = copies.size() / 2;
    copies.shrink_to_fit();
    const std::size_t before = heapInUse();
    std::vector<std::string> second;
    second.reserve(copies.size());
    const std::size_t withVector = heapInUse();
    for (const std::string& s : copies)
        second.push_back(s);
    (void)before;
    return heapInUse() - withVector;
}

void report(const char* what, double value, const char* unit, double target, bool lowerIsBetter = true)
{
    const bool ok = lowerIsBetter ? value <= target : value >= target;
    std::printf("%-52s %10.2f %-6s target %s %g  %s\n", what, value, unit, lowerIsBetter ? "<=" : ">=", target,
                ok ? "ok" : "MISSED");
}

void conversion(std::size_t entries)
{
    std::vector<double> times;
    std::vector<double> releases;
    double bytesPerNode = 0;
    std::size_t nodes = 0;
    std::size_t leftInScan = 0;
    for (int run = 0; run < 3; ++run) {
        malloc_trim(0);
        const std::size_t base = heapInUse();
        brisklet::ScanResult result;
        result.root = scanOf(entries);
        std::size_t strings = 0;
        if (run == 0)
            strings = stringHeap(result.root, nodes);
        const std::size_t withScan = heapInUse();
        const Clock::time_point start = Clock::now();
        AnalyzerNodePtr tree = AnalyzerTreeNode::build(std::move(result.root));
        times.push_back(millisecondsSince(start));
        const std::size_t withTree = heapInUse();
        if (run == 0) {
            bytesPerNode = (double(withTree) - double(base) - double(strings)) / double(nodes);
            leftInScan = result.root.children ? result.root.children->size() : 0;
            std::printf("scan held %.1f MB; tree holds %.1f MB for %zu nodes (%.1f MB of it name and path text)\n",
                        double(withScan - base) / 1e6, double(withTree - base) / 1e6, nodes, double(strings) / 1e6);
        }
        const Clock::time_point released = Clock::now();
        tree.reset();
        releases.push_back(millisecondsSince(released));
    }
    std::sort(releases.begin(), releases.end());
    std::printf("releasing the tree (when a new scan replaces it): %.0f ms\n", releases[1]);
    std::sort(times.begin(), times.end());
    report("convert 540,000-entry scan (median of 3)", times[1], "ms", 500);
    report("heap per node beyond name and path text", bytesPerNode, "bytes", 200);
    report("scan folders left unreleased after conversion", double(leftInScan), "", 0);
}

AnalyzerNodePtr wideFolder(int children)
{
    std::vector<brisklet::ScanNode> files;
    std::mt19937 random(3);
    for (int i = 0; i < children; ++i)
        files.push_back({{"file-" + std::to_string(i), "/wide/file-" + std::to_string(i),
                          std::int64_t(1 + random() % 1'000'000), false, brisklet::ScanState::complete},
                         std::nullopt});
    brisklet::ScanNode root{{"wide", "/wide", 0, true, brisklet::ScanState::complete}, std::move(files)};
    for (const brisklet::ScanNode& child : *root.children)
        root.entry.sizeBytes += child.entry.sizeBytes;
    return AnalyzerTreeNode::build(std::move(root));
}

// Three levels of 60 folders each, so every parent shows 40 wedges and one "Other".
AnalyzerNodePtr deepFolder()
{
    std::mt19937 random(5);
    const auto level = [&random](auto& self, const std::string& path, int depth) -> brisklet::ScanNode {
        brisklet::ScanNode node{{path.substr(path.rfind('/') + 1), path, 0, depth < 3, brisklet::ScanState::complete},
                                std::nullopt};
        if (depth == 3) {
            node.entry.sizeBytes = 1 + random() % 100000;
            return node;
        }
        node.children.emplace();
        for (int i = 0; i < 60; ++i) {
            node.children->push_back(self(self, path + "/n" + std::to_string(i), depth + 1));
            node.entry.sizeBytes += node.children->back().entry.sizeBytes;
        }
        return node;
    };
    return AnalyzerTreeNode::build(level(level, "/deep", 0));
}

template <class Work>
double medianMilliseconds(int runs, Work work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        work();
        times.push_back(millisecondsSince(start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void charts()
{
    const AnalyzerNodePtr wide = wideFolder(10'000);
    TreemapView treemap;
    treemap.resize(900, 600);
    treemap.show();
    report("treemap of 10,000 children (median of 21)", medianMilliseconds(21, [&] { treemap.display(wide); }), "ms", 16);
    std::printf("treemap cells: %zu\n", treemap.entries().size());
    const int layouts = treemap.layoutCount();
    const double resize = medianMilliseconds(21, [&, i = 0]() mutable {
        treemap.resize(900 + (++i % 7) * 10, 600);
        QApplication::processEvents();
    });
    report("treemap resize (scaling only, median of 21)", resize, "ms", 16);
    report("treemap layouts run by 21 resizes", treemap.layoutCount() - layouts, "", 0);

    const AnalyzerNodePtr deep = deepFolder();
    SunburstView sunburst;
    sunburst.resize(700, 700);
    sunburst.show();
    report("sunburst, 41 wedges per parent (median of 21)", medianMilliseconds(21, [&] { sunburst.display(deep); }), "ms", 16);
    int ring0 = 0;
    for (const SunburstView::Wedge& wedge : sunburst.wedges())
        ring0 += wedge.level == 0;
    std::printf("sunburst wedges: %zu, %d in the inner ring\n", sunburst.wedges().size(), ring0);
    const double firstEnd = sunburst.wedges().front().endAngle;
    sunburst.resize(500, 400);
    QApplication::processEvents();
    report("sunburst angles changed by a resize", sunburst.wedges().front().endAngle != firstEnd, "", 0);
    report("sunburst paint (median of 11)", medianMilliseconds(11, [&] { sunburst.repaint(); }), "ms", 16);
    report("treemap paint (median of 11)", medianMilliseconds(11, [&] { treemap.repaint(); }), "ms", 16);
}

// One item removed from a 540,000-entry tree, the way a move to the Trash reaches it: the outline, the
// sunburst and the treemap pane each ask the shared tree to drop the moved paths.
void removal(std::size_t entries)
{
    std::vector<double> times;
    for (int run = 0; run < 3; ++run) {
        AnalyzerNodePtr tree = AnalyzerTreeNode::build(scanOf(entries));
        AnalyzerNodePtr deepest = tree;
        while (deepest->hasChildren())
            deepest = deepest->children()[deepest->children().size() / 2];
        const PathSet moved{deepest->entry().path()};
        const Clock::time_point start = Clock::now();
        for (int pane = 0; pane < 3; ++pane)
            tree->removePaths(moved);
        times.push_back(millisecondsSince(start));
    }
    std::sort(times.begin(), times.end());
    report("remove 1 item from 540,000 entries, 3 panes (median)", times[1], "ms", 16);
}

// 50 folders of 1,000 files, each expanded, every file selected: what the trash button counts and the
// review sheet receives.
void outlineSelection()
{
    brisklet::ScanNode root{{"sel", "/sel", 0, true, brisklet::ScanState::complete}, std::vector<brisklet::ScanNode>{}};
    for (int f = 0; f < 50; ++f) {
        const std::string folderPath = "/sel/folder-" + std::to_string(f);
        brisklet::ScanNode folder{{"folder-" + std::to_string(f), folderPath, 0, true, brisklet::ScanState::complete},
                                  std::vector<brisklet::ScanNode>{}};
        for (int i = 0; i < 1000; ++i) {
            folder.children->push_back({{"file-" + std::to_string(i), folderPath + "/file-" + std::to_string(i),
                                         std::int64_t(4096 * (1 + (i * 7 + f) % 13)), false, brisklet::ScanState::complete},
                                        std::nullopt});
            folder.entry.sizeBytes += folder.children->back().entry.sizeBytes;
        }
        root.entry.sizeBytes += folder.entry.sizeBytes;
        root.children->push_back(std::move(folder));
    }
    ScanOutlineViewController outline;
    outline.resize(700, 600);
    outline.show();
    outline.present(AnalyzerTreeNode::build(std::move(root)));
    QApplication::processEvents();
    QItemSelection selection;
    const QAbstractItemModel* model = outline.outlineView()->model();
    for (int f = 0; f < model->rowCount(); ++f) {
        const QModelIndex folder = model->index(f, 0);
        selection.select(model->index(0, 0, folder), model->index(model->rowCount(folder) - 1, 0, folder));
    }
    outline.outlineView()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    // Each figure twice: wall clock, and the GUI thread's own CPU time, which the machine's other work
    // does not inflate.
    const auto measure = [](const char* what, auto work) {
        std::vector<double> cpu;
        const double wall = medianMilliseconds(5, [&] {
            const double start = threadCpuMilliseconds();
            work();
            cpu.push_back(threadCpuMilliseconds() - start);
        });
        std::sort(cpu.begin(), cpu.end());
        report(what, wall, "ms", 50);
        report("  the same in CPU time of the GUI thread", cpu[cpu.size() / 2], "ms", 50);
    };
    std::size_t counted = 0;
    qsizetype listed = 0;
    measure("outline: 50,000 selected rows counted, row order", [&] { counted = outline.selectedTrashNodes().size(); });
    measure("outline: 50,000 selected rows as trash items", [&] { listed = outline.selectedTrashItems().size(); });
    qsizetype copied = 0;
    measure("outline: 50,000 selected rows copied (Ctrl+C)",
            [&] { copied = RowCopy::selectedRowsText(outline.outlineView()).count(QLatin1Char('\n')) + 1; });
    std::printf("lines copied: %lld\n", static_cast<long long>(copied));
    std::printf("outline rows selected: %lld, counted %zu, listed for the Trash: %lld\n",
                static_cast<long long>(outline.outlineView()->selectionModel()->selectedRows().size()), counted,
                static_cast<long long>(listed));
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::ifstream load("/proc/loadavg");
    std::string loadAverage;
    std::getline(load, loadAverage);
    std::printf("load average at start: %s\n", loadAverage.c_str());
    // One part by name (conversion, charts, removal, outline), or all of them.
    const std::string only = argc > 1 ? argv[1] : "";
    if (only.empty() || only == "conversion")
        conversion(540'000);
    if (only.empty() || only == "charts")
        charts();
    if (only.empty() || only == "removal")
        removal(540'000);
    if (only.empty() || only == "outline")
        outlineSelection();
    return 0;
}
