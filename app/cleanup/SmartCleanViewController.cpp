#include "SmartCleanViewController.h"

#include "CleanupWidgets.h"
#include "shell/SummaryLine.h"
#include "SmartCleanDelegate.h"
#include "SmartCleanModel.h"
#include "shell/FileBrowser.h"
#include "shell/FocusReturn.h"
#include "clean/CleanCatalog.h"
#include "deletion/DestructiveButton.h"
#include "deletion/TrashFlowController.h"
#include "platform/FileServices.h"
#include "platform/HostProfile.h"
#include "safety/TrashService.h"
#include "shell/PlaceholderViewController.h"
#include "shell/RowCopy.h"
#include "shell/VoyageScanningView.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
const QString simulatorID = QStringLiteral("ios-simulators");
const QString emptyTitle = QStringLiteral("Nothing to clean");
const QString emptySubtitle = QStringLiteral("No known caches or logs were found");
} // namespace

SmartCleanViewController::SmartCleanViewController(QWidget* parent)
    : SmartCleanViewController(pathFromBytes(brisklet::platform::homeDirectory()), parent)
{
}

SmartCleanViewController::SmartCleanViewController(const QString& home, QWidget* parent,
                                                   const brisklet::HostProfile& profile)
    : QWidget(parent), m_home(home), m_profile(&profile)
{
    setObjectName(QStringLiteral("screen.smartClean"));
    setAccessibleName(QStringLiteral("Smart Clean"));

    m_rescan = new QPushButton(QStringLiteral("Rescan"), this);
    m_rescan->setToolTip(QStringLiteral("Measure the caches again"));
    connect(m_rescan, &QPushButton::clicked, this, &SmartCleanViewController::scan);
    FocusReturn::install(m_rescan);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(CleanupWidgets::title(QStringLiteral("Smart Clean"), this));
    titleRow->addStretch(1);
    titleRow->addWidget(m_rescan);

    m_model = new SmartCleanModel(this);
    m_tree = new QTreeView(this);
    m_tree->setModel(m_model);
    m_tree->setItemDelegate(new SmartCleanDelegate(m_tree));
    m_tree->setObjectName(QStringLiteral("category"));
    m_tree->setAccessibleName(QStringLiteral("Categories"));
    m_tree->setHeaderHidden(true);
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setAllColumnsShowFocus(true);
    m_tree->setMinimumWidth(420);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    RowCopy::enable(m_tree);
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QModelIndex index = m_tree->indexAt(at);
        if (!index.isValid() && m_tree->hasFocus()) // the menu key asks for the current row
            index = m_tree->currentIndex();
        if (QMenu* menu = contextMenuFor(index))
            menu->popup(m_tree->viewport()->mapToGlobal(m_tree->visualRect(index).center()));
    });
    connect(m_tree, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (const int result = m_model->resultOf(index); result >= 0)
            m_expandedIDs.insert(utf8Text(m_model->results()[result].category.id));
    });
    connect(m_tree, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (const int result = m_model->resultOf(index); result >= 0)
            m_expandedIDs.remove(utf8Text(m_model->results()[result].category.id));
    });
    connect(m_model, &SmartCleanModel::selectionChanged, this, [this] {
        // A tick of the user's, not the list changing under it, lets the flow's line go.
        if (!m_listChanging && m_summaryLine)
            m_summaryLine->release();
        updateSummary();
    });

    m_placeholder = new PlaceholderViewController(QStringLiteral("checkmark.seal"), emptyTitle, emptySubtitle, this);
    m_placeholder->hide();
    m_busy = new VoyageScanningView(this);
    m_busy->hide();

    m_summary = CleanupWidgets::summary(this, m_tints);
    m_selectAll = new QPushButton(QStringLiteral("Select All"), this);
    connect(m_selectAll, &QPushButton::clicked, m_model, &SmartCleanModel::selectAll);
    m_deselectAll = new QPushButton(QStringLiteral("Deselect All"), this);
    connect(m_deselectAll, &QPushButton::clicked, m_model, &SmartCleanModel::deselectAll);
    m_undo = CleanupWidgets::undoButton(QStringLiteral("Put the last trashed items back"), this);
    m_clean = new DestructiveButton(QStringLiteral("Clean Selected"), this);
    connect(m_clean, &QPushButton::clicked, this, &SmartCleanViewController::cleanSelected);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->setSpacing(8);
    bottomRow->addWidget(m_summary, 1);
    bottomRow->addWidget(m_selectAll);
    bottomRow->addWidget(m_deselectAll);
    bottomRow->addWidget(m_undo);
    bottomRow->addWidget(m_clean);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 20);
    layout->setSpacing(6);
    layout->addLayout(titleRow);
    layout->addWidget(CleanupWidgets::subtitle(
        QStringLiteral("Reclaim space from caches, logs, and developer leftovers. Expand a category to keep "
                       "specific items. Everything is undoable."),
        this, m_tints));
    layout->addSpacing(10);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_placeholder, 1);
    layout->addWidget(m_busy, 1);
    layout->addSpacing(6);
    layout->addLayout(bottomRow);

    // The flow's line about what it moved or put back stays until the user ticks or rescans.
    m_summaryLine = new SummaryLine(m_summary, [this] { return m_model->summary(m_releasedBytes); });
    m_flow = new TrashFlowController(this, m_undo, [this](const QString& line) { m_summaryLine->setNote(line); });
    m_flow->onMoved = [this](const QSet<QString>& paths) { movedAway(paths); };
    m_flow->onRestored = [this] { scan(); };
    connect(m_rescan, &QPushButton::clicked, m_summaryLine, &SummaryLine::release);
    connect(m_flow, &TrashFlowController::busyChanged, this, &SmartCleanViewController::updateButtons);
    setTabOrder(m_rescan, m_tree);
    updateSummary();
}

SmartCleanViewController::~SmartCleanViewController() = default;

void SmartCleanViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_started) {
        m_started = true;
        scan();
    }
}

void SmartCleanViewController::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_tints.apply();
}

void SmartCleanViewController::scan()
{
    // Measured while items move to the Trash, they could be offered again.
    if (m_isScanning || m_flow->isRunning())
        return;
    m_isScanning = true;
    m_started = true;
    m_flow->clearLastBatch();
    m_flow->syncBatchButtons();
    m_releaseRunner.stopAll();
    m_removals.clear();
    updateButtons();
    m_summary->clear();
    m_busy->begin({m_tree, m_placeholder}, QStringLiteral("Measuring caches"));

    const std::string home = pathBytes(m_home);
    const brisklet::DiskScanner::Options options = CleanupWidgets::measuringOptions();
    m_runner.run(
        [home, options, profile = m_profile](std::stop_token stop) {
            auto results = brisklet::CleanCatalog::measure(brisklet::CleanCatalog::categories(home, *profile), options, stop);
            auto counted = SmartCleanModel::findCountedLinks(results);
            return std::pair{std::move(results), std::move(counted)};
        },
        [this](std::pair<std::vector<brisklet::CleanCategoryResult>, SmartCleanModel::CountedLinks> measured) {
            finishScan(std::move(measured.first), {}, std::move(measured.second));
        },
        [this](const QString& failure) {
            finishScan({}, failure);
            m_summary->setText(QStringLiteral("Measuring failed: %1").arg(failure));
        });
}

void SmartCleanViewController::finishScan(std::vector<brisklet::CleanCategoryResult> results, const QString& failure,
                                          std::map<std::string, std::string> countedLinks)
{
    m_isScanning = false;
    // Nothing measured after a failure says why, not that there is nothing to clean.
    if (failure.isEmpty())
        m_placeholder->setTexts(emptyTitle, emptySubtitle);
    else
        m_placeholder->setTexts(QStringLiteral("Couldn't measure the caches"), failure);
    m_busy->end();
    {
        const QScopedValueRollback changing(m_listChanging, true);
        m_model->setResults(std::move(results), std::move(countedLinks));
    }
    if (m_model->categoryIndex(simulatorID).isValid())
        m_expandedIDs.insert(simulatorID);
    restoreExpansion();
    showContent();
    updateSummary();
}

void SmartCleanViewController::movedAway(const QSet<QString>& paths)
{
    m_removals.clear(); // what is left may have lost links to what moved
    {
        const QScopedValueRollback changing(m_listChanging, true);
        m_model->removeMoved(paths);
    }
    restoreExpansion();
    showContent();
    updateSummary();
}

void SmartCleanViewController::restoreExpansion()
{
    for (const QString& id : QSet<QString>(m_expandedIDs)) {
        const QModelIndex index = m_model->categoryIndex(id);
        if (index.isValid())
            m_tree->expand(index);
    }
}

void SmartCleanViewController::showContent()
{
    const bool empty = m_model->results().empty();
    m_tree->setVisible(!empty);
    m_placeholder->setVisible(empty);
}

void SmartCleanViewController::updateSummary()
{
    updateButtons();
    if (m_isScanning)
        return;
    measureRelease();
    if (m_summaryLine)
        m_summaryLine->update();
    else
        m_summary->setText(m_model->summary(m_releasedBytes));
}

void SmartCleanViewController::measureRelease()
{
    m_releaseRunner.stopAll();
    const QList<TrashCandidate> items = m_model->itemsToClean();
    m_releasedBytes.reset();
    if (items.isEmpty()) {
        m_releasedBytes = 0;
        return;
    }
    std::vector<std::string> paths;
    for (const TrashCandidate& item : items)
        paths.push_back(pathBytes(item.path));
    m_releaseRunner.run(
        [paths, known = m_removals](std::stop_token stop) {
            ReleaseAnswer answer;
            std::vector<brisklet::platform::ItemUsage> usage;
            std::vector<bool> removed;
            for (const std::string& path : paths) {
                if (stop.stop_requested())
                    return answer; // dropped: a newer selection asked
                std::shared_ptr<const Removal> removal;
                if (const auto found = known.find(path); found != known.end()) {
                    removal = found->second;
                } else {
                    auto measured = std::make_shared<Removal>();
                    measured->refused = brisklet::TrashService::rejection(path).has_value();
                    if (!measured->refused)
                        measured->usage = brisklet::TrashService::measureRemoval(path, stop);
                    removal = std::move(measured);
                }
                answer.removals.push_back(removal);
                usage.push_back(removal->usage);
                removed.push_back(!removal->refused);
            }
            for (const std::int64_t bytes : brisklet::TrashService::releasedBytes(usage, removed))
                answer.releasedBytes += bytes;
            return answer;
        },
        [this, paths](const ReleaseAnswer& answer) {
            if (answer.removals.size() != paths.size())
                return;
            for (std::size_t i = 0; i < paths.size(); ++i)
                m_removals[paths[i]] = answer.removals[i];
            m_releasedBytes = answer.releasedBytes;
            m_summaryLine->update(); // the trash flow's note, if any, stays in front
        });
}

void SmartCleanViewController::updateButtons()
{
    const int selected = m_model->selectedCount();
    const bool flowBusy = m_flow && m_flow->isBusy();
    m_clean->setEnabled(!m_isScanning && !flowBusy && selected > 0);
    m_selectAll->setEnabled(!m_isScanning && !m_model->results().empty() && !m_model->everythingTicked());
    m_deselectAll->setEnabled(!m_isScanning && selected > 0);
    m_rescan->setEnabled(!m_isScanning && !(m_flow && m_flow->isRunning()));
}

void SmartCleanViewController::cleanSelected()
{
    const QList<TrashCandidate> items = m_model->itemsToClean();
    if (items.isEmpty() || m_flow->isBusy() || m_isScanning)
        return;
    m_flow->reviewAndTrash(items);
}

QMenu* SmartCleanViewController::contextMenuFor(const QModelIndex& index)
{
    const QStringList paths = m_model->pathsAt(index);
    if (paths.isEmpty())
        return nullptr;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(utf8Text(brisklet::hostProfile().revealInFileManagerTitle), this, [this, paths] {
        for (const QString& path : paths)
            FileBrowser::reveal(path, this);
    });
    const QPersistentModelIndex row(index);
    menu->addAction(QStringLiteral("Copy Path"), this, [this, row] { copyPaths(row); });
    return menu;
}

void SmartCleanViewController::copyPaths(const QModelIndex& index)
{
    const QStringList paths = m_model->pathsAt(index);
    if (!paths.isEmpty())
        QApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
}
