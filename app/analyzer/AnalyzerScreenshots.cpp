#include "AnalyzerScreenshots.h"

#include "AnalyzerHistory.h"
#include "AnalyzerStartView.h"
#include "ScanChangesBar.h"
#include "AnalyzerViewController.h"
#include "ChartContentsList.h"
#include "ScanOutlineViewController.h"
#include "SunburstView.h"
#include "SunburstViewController.h"
#include "TreemapViewController.h"
#include "deletion/TrashFlowController.h"
#include "shell/PictureWatch.h"
#include "shell/AppPreferences.h"
#include "shell/SegmentedControl.h"
#include "shell/VoyageScanningView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QTreeView>
#include <QVBoxLayout>

#include <functional>

namespace AnalyzerScreenshots {

namespace {

bool settleUntil(const std::function<bool()>& done, int milliseconds = 20000)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents();
        QThread::msleep(10);
    }
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    return true;
}

bool save(QWidget* window, const QDir& dir, const QString& name, const QString& appearance)
{
    PictureWatch::taken(window);
    return window->grab().save(dir.filePath(QStringLiteral("analyzer-%1-%2.png").arg(name, appearance)), "PNG");
}

// A scanner slowed down enough that a running scan can be photographed.
std::shared_ptr<const brisklet::DiskScanner> slowScanner()
{
    return std::make_shared<const brisklet::DiskScanner>(AnalyzerViewController::scanOptions(),
                                                        [](const std::string&, std::string_view operation) {
                                                            if (operation == "open")
                                                                QThread::msleep(40);
                                                        });
}

void selectRows(QAbstractItemView* view, int count)
{
    QItemSelection selection;
    for (int row = 0; row < count && row < view->model()->rowCount(); ++row)
        selection.select(view->model()->index(row, 0), view->model()->index(row, view->model()->columnCount() - 1));
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

// The analyzer filling a plain window of the pictures' size, shown and told it appeared.
AnalyzerViewController* shownScreen(QWidget& window)
{
    window.setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* screen = new AnalyzerViewController({}, &window);
    layout->addWidget(screen);
    window.resize(1100, 720);
    window.show();
    screen->sectionDidAppear();
    return screen;
}

// The review sheet drawn over the screen the way a window-modal sheet hangs from its window.
QImage withSheet(QWidget* screen, QWidget* sheet)
{
    PictureWatch::taken(screen);
    PictureWatch::taken(sheet);
    QImage image = screen->grab().toImage();
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(0, 0, 0, 60));
    const QPixmap sheetPicture = sheet->grab();
    const qreal ratio = sheetPicture.devicePixelRatio();
    const QSizeF size = sheetPicture.size() / ratio;
    const QPointF at((screen->width() - size.width()) / 2, 0);
    painter.setPen(QPen(QColor(0, 0, 0, 90), 1));
    painter.drawRect(QRectF(at, size).adjusted(-1, -1, 0, 0));
    painter.drawPixmap(at, sheetPicture);
    return image;
}

bool writeAppearance(const QString& root, const QDir& dir, const QString& appearance)
{
    QWidget window;
    AnalyzerViewController* screen = shownScreen(window);
    bool ok = settleUntil([screen] { return !screen->startView()->cards().empty(); });
    ok = save(&window, dir, QStringLiteral("picker"), appearance) && ok;

    screen->makeScanner = slowScanner;
    screen->analyze(root);
    ok = settleUntil([screen] { return screen->scanningView()->progressLabel()->text() != QStringLiteral("Preparing"); }) && ok;
    QThread::msleep(300);
    QApplication::processEvents();
    ok = save(&window, dir, QStringLiteral("voyage"), appearance) && ok;
    screen->cancelClicked();

    screen->makeScanner = [] { return std::make_shared<const brisklet::DiskScanner>(AnalyzerViewController::scanOptions()); };
    screen->startScan();
    ok = settleUntil([screen] { return screen->state() == AnalyzerViewController::State::result; }) && ok;
    if (!ok || !screen->shownTree())
        return false;

    selectRows(screen->treemapPane()->contentsList()->tableView(), 1);
    ok = settleUntil([] { return true; }) && save(&window, dir, QStringLiteral("blocks"), appearance) && ok;
    screen->segmented()->setSelectedIndex(1);
    screen->segmentChanged(1);
    SunburstView* sunburst = screen->piePane()->sunburst();
    if (!sunburst->wedges().empty())
        sunburst->setSelected(sunburst->wedges().front().node);
    ok = settleUntil([] { return true; }) && save(&window, dir, QStringLiteral("pie"), appearance) && ok;
    screen->segmented()->setSelectedIndex(2);
    screen->segmentChanged(2);
    selectRows(screen->outlinePane()->outlineView(), 4);
    ok = settleUntil([] { return true; }) && save(&window, dir, QStringLiteral("list"), appearance) && ok;

    screen->trashClicked();
    if (ReviewSheetViewController* sheet = screen->trashFlow()->reviewSheet()) {
        settleUntil([sheet] { return sheet->isMeasured(); });
        ok = withSheet(&window, sheet).save(dir.filePath(QStringLiteral("analyzer-review-%1.png").arg(appearance)), "PNG") && ok;
        sheet->cancelClicked();
    } else {
        ok = false;
    }

    screen->makeScanner = slowScanner;
    screen->segmented()->setSelectedIndex(0);
    screen->segmentChanged(0);
    screen->startScan();
    ok = settleUntil([screen] { return screen->progressLabel()->text() != QStringLiteral("Preparing"); }) && ok;
    ok = save(&window, dir, QStringLiteral("rescan"), appearance) && ok;
    screen->cancelClicked();
    return ok;
}

// A folder of projects scanned, changed (one grows, one shrinks, one is new, one is gone) and scanned
// again: the Change column and the Changes colouring.
void fill(const QString& path, qint64 megabytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile out(path);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(QByteArray(megabytes * 1024 * 1024, '\0'));
}

bool writeChanges(const QDir& dir, const QString& appearance)
{
    const QString root = QDir::homePath() + QStringLiteral("/Projects");
    QDir(root).removeRecursively();
    fill(root + "/website/node_modules/bundle.js", 6);
    fill(root + "/website/media/hero.mp4", 9);
    fill(root + "/photos-2025/raw/trip.cr3", 24);
    fill(root + "/photos-2025/edits/trip.jpg", 4);
    fill(root + "/thesis/thesis.pdf", 5);
    fill(root + "/old-vm/disk.qcow2", 7);

    QWidget window;
    AnalyzerViewController* screen = shownScreen(window);
    screen->analyze(root);
    bool ok = settleUntil([screen] { return screen->history()->shownScanId().has_value(); });

    fill(root + "/website/media/hero.mp4", 31);
    fill(root + "/website/media/teaser.mp4", 12);
    fill(root + "/photos-2025/raw/trip.cr3", 8);
    QDir(root + "/old-vm").removeRecursively();
    fill(root + "/game-build/export/game.pak", 14);
    screen->startScan();
    ok = settleUntil([screen] { return screen->history()->changes() != nullptr; }) && ok;

    screen->segmented()->setSelectedIndex(2);
    screen->segmentChanged(2);
    screen->outlinePane()->model()->sort(AnalyzerOutlineModel::changeColumn, Qt::DescendingOrder);
    screen->outlinePane()->outlineView()->header()->setSortIndicator(AnalyzerOutlineModel::changeColumn, Qt::DescendingOrder);
    ok = settleUntil([] { return true; }) && save(&window, dir, QStringLiteral("changes-list"), appearance) && ok;
    screen->changesBar()->setColouring(true);
    screen->segmented()->setSelectedIndex(0);
    screen->segmentChanged(0);
    ok = settleUntil([] { return true; }) && save(&window, dir, QStringLiteral("changes-blocks"), appearance) && ok;
    screen->segmented()->setSelectedIndex(1);
    screen->segmentChanged(1);
    ok = settleUntil([] { return true; }) && save(&window, dir, QStringLiteral("changes-pie"), appearance) && ok;
    // As wide as the screen gets in the narrowest window beside the widest sidebar.
    window.resize(720, 720);
    ok = settleUntil([] { return true; }) && save(&window, dir, QStringLiteral("changes-narrow"), appearance) && ok;
    QDir(root).removeRecursively();
    return ok;
}

} // namespace

bool writeAll(const QString& folder)
{
    const QString root = qEnvironmentVariableIsSet("BRISKLET_SCREENSHOT_FOLDER")
                             ? qEnvironmentVariable("BRISKLET_SCREENSHOT_FOLDER")
                             : QStringLiteral("/usr/share");
    const QDir dir(folder);
    const AppPreferences::Appearance found = AppPreferences::appliedAppearance();
    AppPreferences::applyAppearance(AppPreferences::Appearance::light);
    bool ok = writeAppearance(root, dir, QStringLiteral("light"));
    ok = writeChanges(dir, QStringLiteral("light")) && ok;
    AppPreferences::applyAppearance(AppPreferences::Appearance::dark);
    ok = writeAppearance(root, dir, QStringLiteral("dark")) && ok;
    ok = writeChanges(dir, QStringLiteral("dark")) && ok;
    AppPreferences::applyAppearance(found);
    return ok;
}

} // namespace AnalyzerScreenshots
