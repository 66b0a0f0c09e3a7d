#include "AnalyzerScreenshots.h"

#include "AnalyzerTreeNode.h"
#include "ChartContentsList.h"
#include "ScanOutlineViewController.h"
#include "SunburstView.h"
#include "SunburstViewController.h"
#include "TreemapView.h"
#include "TreemapViewController.h"
#include "scan/DiskScanner.h"
#include "scan/ScanDefaults.h"
#include "shell/AppPreferences.h"

#include <QApplication>
#include <QDir>
#include <QTableView>
#include <QThread>
#include <QTreeView>
#include <QVBoxLayout>

namespace AnalyzerScreenshots {

namespace {

AnalyzerNodePtr scanTree(const std::string& root)
{
    const brisklet::DiskScanner scanner({2, brisklet::ScanDefaults::foldDirectoryNames(),
                                         brisklet::ScanDefaults::rootSkipNames(), 16 * 1024 * 1024, 100, 15.0});
    return AnalyzerTreeNode::build(std::move(scanner.scan(root, std::make_shared<brisklet::ScanStats>()).root));
}

bool grab(QWidget* pane, const QString& path)
{
    QWidget window;
    window.setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(28, 20, 28, 20);
    pane->setParent(&window);
    layout->addWidget(pane);
    window.resize(1100, 660);
    window.show();
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    const bool ok = window.grab().save(path, "PNG");
    pane->setParent(nullptr);
    return ok;
}

bool writeAppearance(const AnalyzerNodePtr& tree, const QDir& dir, const QString& appearance)
{
    bool ok = true;
    TreemapViewController blocks;
    blocks.present(tree);
    if (!tree->children().empty())
        blocks.treemap()->select(tree->children().front().get());
    ok = grab(&blocks, dir.filePath(QStringLiteral("analyzer-blocks-%1.png").arg(appearance))) && ok;

    SunburstViewController pie;
    pie.present(tree);
    if (!pie.sunburst()->wedges().empty())
        pie.sunburst()->setSelected(pie.sunburst()->wedges().front().node);
    ok = grab(&pie, dir.filePath(QStringLiteral("analyzer-pie-%1.png").arg(appearance))) && ok;

    ScanOutlineViewController list;
    list.present(tree);
    list.outlineView()->setCurrentIndex(list.model()->index(1, 0));
    ok = grab(&list, dir.filePath(QStringLiteral("analyzer-list-%1.png").arg(appearance))) && ok;
    return ok;
}

} // namespace

bool writeAll(const QString& folder)
{
    AnalyzerNodePtr tree;
    try {
        const QByteArray root = qEnvironmentVariableIsSet("BRISKLET_SCREENSHOT_FOLDER")
                                    ? qgetenv("BRISKLET_SCREENSHOT_FOLDER")
                                    : QByteArray("/usr/share");
        tree = scanTree(root.toStdString());
    } catch (const std::exception&) {
        return false;
    }
    const QDir dir(folder);
    const AppPreferences::Appearance found = AppPreferences::appliedAppearance();
    AppPreferences::applyAppearance(AppPreferences::Appearance::light);
    bool ok = writeAppearance(tree, dir, QStringLiteral("light"));
    AppPreferences::applyAppearance(AppPreferences::Appearance::dark);
    ok = writeAppearance(tree, dir, QStringLiteral("dark")) && ok;
    AppPreferences::applyAppearance(found);
    return ok;
}

} // namespace AnalyzerScreenshots
