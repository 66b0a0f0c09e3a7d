#include "AnalyzerViewController.h"

#include "AnalyzerHistory.h"
#include "AnalyzerStartView.h"
#include "ChartContentsList.h"
#include "ChartText.h"
#include "MountWatcher.h"
#include "RecentScansView.h"
#include "ScanChangesBar.h"
#include "ScanOutlineViewController.h"
#include "SunburstView.h"
#include "SunburstViewController.h"
#include "TreemapView.h"
#include "TreemapViewController.h"
#include "deletion/AuditHistoryViewController.h"
#include "deletion/DestructiveButton.h"
#include "deletion/TrashFlowController.h"
#include "scan/ScanDefaults.h"
#include "shell/AppPreferences.h"
#include "shell/ElidingLabel.h"
#include "shell/PathBytes.h"
#include "shell/PlainText.h"
#include "shell/ScreenStyle.h"
#include "shell/SegmentedControl.h"
#include "shell/SummaryLine.h"
#include "shell/SymbolIcons.h"
#include "shell/VoyageProgressView.h"
#include "shell/VoyageScanningView.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QTableView>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
constexpr int sideMargin = 28;
constexpr int topMargin = 24;
constexpr int bottomMargin = 20;

QSettings preferences() { return QSettings(AppPreferences::settingsOrganization, AppPreferences::settingsApplication); }

QString bytes(std::int64_t count) { return utf8Text(brisklet::ByteFormat::humanReadable(count)); }

// "1 file", "2 files": a count with its noun, singular for exactly one.
QString counted(std::int64_t count, const char* singular, const char* plural)
{
    return QStringLiteral("%1 %2").arg(count).arg(utf8Text(count == 1 ? singular : plural));
}

QWidget* row(QWidget* parent, QHBoxLayout*& layout, int spacing)
{
    auto* widget = new QWidget(parent);
    layout = new QHBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return widget;
}
} // namespace

// What a scan's worker hands back: the tree it built from the result and the figures of the status line.
struct AnalyzerViewController::Outcome {
    AnalyzerNodePtr tree;
    std::shared_ptr<const brisklet::ScanSummary> summary; // for the store; null when scans are not kept
    std::shared_ptr<const ScanChanges> changes; // since the root's newest stored scan, if any
    std::optional<std::uint64_t> historyAsOf;   // the store's generation as the walk began
    brisklet::ScanTotals totals;
    brisklet::ScanState state = brisklet::ScanState::complete;
    Clock::time_point walked;
};

AnalyzerViewController::AnalyzerViewController(std::shared_ptr<brisklet::AuditLog> audit, QWidget* parent)
    : FolderDropView(parent), m_audit(std::move(audit))
{
    setObjectName(QStringLiteral("screen.analyzer"));
    makeScanner = [] { return std::make_shared<const brisklet::DiskScanner>(scanOptions()); };
    isGoneFromDisk = [](const std::string& path) { return ChartText::goneFromDisk(path); };
    m_pollTimer.setInterval(150);
    connect(&m_pollTimer, &QTimer::timeout, this, &AnalyzerViewController::pollTick);
    buildView();
    restoreLastFolder();
}

AnalyzerViewController::~AnalyzerViewController() = default;

brisklet::DiskScanner::Options AnalyzerViewController::scanOptions()
{
    return {brisklet::ScanDefaults::readsInFlight(), brisklet::ScanDefaults::foldDirectoryNames(),
            brisklet::ScanDefaults::rootSkipNames(), 16 * 1024 * 1024, 100, 15.0,
            brisklet::ScanDefaults::unfoldedDirectoryPaths()};
}

void AnalyzerViewController::buildView()
{
    onFolderDropped = [this](const QString& folder) { analyze(folder); };

    // Toolbar: New Scan at the left; history, trash and cancel at the right; the pane switch centred.
    QHBoxLayout* toolbar = nullptr;
    auto* toolbarButtons = row(nullptr, toolbar, 8);
    m_newScanButton = new QPushButton(QStringLiteral("New Scan"), toolbarButtons);
    m_newScanButton->setToolTip(QStringLiteral("Back to the disks and folder picker (Ctrl+N)"));
    m_newScanButton->hide();
    connect(m_newScanButton, &QPushButton::clicked, this, &AnalyzerViewController::newScanClicked);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), toolbarButtons);
    m_cancelButton->setToolTip(QStringLiteral("Stop the scan (Esc)"));
    m_cancelButton->setEnabled(false);
    m_cancelButton->hide();
    connect(m_cancelButton, &QPushButton::clicked, this, &AnalyzerViewController::cancelClicked);
    // Escape cancels wherever the focus is in the window: in voyage mode the toolbar's Cancel is hidden.
    // Off otherwise, so the panes keep their own use of the key.
    m_escapeShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_escapeShortcut->setEnabled(false);
    connect(m_escapeShortcut, &QShortcut::activated, this, &AnalyzerViewController::cancelClicked);
    m_trashButton = new DestructiveButton(QStringLiteral("Move to Trash"), toolbarButtons);
    m_trashButton->setEnabled(false);
    connect(m_trashButton, &QPushButton::clicked, this, &AnalyzerViewController::trashClicked);
    // Delete anywhere on the screen does what the button does, and only while the button could.
    m_deleteShortcut = new QShortcut(QKeySequence::Delete, this, this, &AnalyzerViewController::trashClicked);
    m_deleteShortcut->setContext(Qt::WidgetWithChildrenShortcut);
    m_deleteShortcut->setEnabled(false);
    m_historyButton = new QToolButton(toolbarButtons);
    m_historyButton->setIcon(SymbolIcons::icon(QStringLiteral("clock.arrow.circlepath")));
    m_historyButton->setAccessibleName(QStringLiteral("Recent activity"));
    m_historyButton->setToolTip(QStringLiteral("Recent deletions"));
    m_historyButton->setAutoRaise(true);
    m_historyButton->setFocusPolicy(Qt::StrongFocus);
    connect(m_historyButton, &QToolButton::clicked, this, &AnalyzerViewController::historyClicked);
    m_history = new AnalyzerHistory(this);
    m_changesBar = new ScanChangesBar(this);
    m_changesBar->onPick = [this](std::int64_t earlierId) { m_history->compareWith(earlierId); };
    m_changesBar->onColouring = [this](bool) { showChanges(); };
    connect(m_history, &AnalyzerHistory::changesChanged, this, &AnalyzerViewController::showChanges);
    toolbar->addWidget(m_newScanButton);
    toolbar->addStretch(1);
    toolbar->addWidget(m_historyButton);
    toolbar->addWidget(m_trashButton);
    toolbar->addWidget(m_cancelButton);

    m_segmented = new SegmentedControl({QStringLiteral("Blocks"), QStringLiteral("Pie"), QStringLiteral("List")});
    for (int i = 0; i < m_segmented->count(); ++i)
        m_segmented->segment(i)->setFixedWidth(72);
    m_segmented->setSelectedIndex(0);
    m_segmented->setAccessibleName(QStringLiteral("View"));
    m_segmented->hide();
    connect(m_segmented, &SegmentedControl::selectionChanged, this, &AnalyzerViewController::segmentChanged);

    m_toolbarRow = new QWidget(this);
    auto* toolbarGrid = new QGridLayout(m_toolbarRow);
    toolbarGrid->setContentsMargins(0, 0, 0, 0);
    toolbarGrid->addWidget(toolbarButtons, 0, 0);
    toolbarGrid->addWidget(m_segmented, 0, 0, Qt::AlignCenter);
    toolbarButtons->setParent(m_toolbarRow);
    m_segmented->setParent(m_toolbarRow);
    m_segmented->raise();

    // Progress row of a rescan: the small voyage and the progress text.
    QHBoxLayout* progress = nullptr;
    m_progressRow = row(this, progress, 12);
    m_voyageView = new VoyageProgressView(VoyageProgressView::compact(), m_progressRow);
    m_voyageView->setFixedSize(200, 26);
    auto* progressLine = new ElidingLabel(QString(), m_progressRow);
    progressLine->setElideMode(Qt::ElideMiddle); // the folder's path, cut in its middle when long
    m_progressLabel = progressLine;
    PlainText::apply(m_progressLabel); // names folders
    m_progressLabel->setAccessibleDescription(QStringLiteral("Scan progress")); // the name stays the text itself
    ScreenStyle::setTextColor(m_progressLabel, ScreenStyle::LabelLevel::secondary);
    progress->addWidget(m_voyageView);
    progress->addWidget(m_progressLabel, 1);
    m_progressRow->hide();

    // Status row: the status line and the trash flow's put-back (and free) buttons.
    QHBoxLayout* status = nullptr;
    m_statusRow = row(this, status, 8);
    m_statusLabel = new QLabel(m_statusRow);
    m_statusLabel->setFont(ScreenStyle::font(11));
    PlainText::apply(m_statusLabel); // names folders
    m_statusLabel->setAccessibleDescription(QStringLiteral("Status"));
    m_statusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_statusLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ScreenStyle::setTextColor(m_statusLabel, ScreenStyle::LabelLevel::secondary);
    m_statusLine = new SummaryLine(m_statusLabel, [this] { return m_status; });
    m_statusLine->onShown = [this](const QString& shown) {
        m_statusLabel->setToolTip(PlainText::toolTip(shown)); // the line elides in a narrow window
    };
    setStatus(QStringLiteral("Pick a folder or a disk to analyze."));
    m_undoButton = new QPushButton(QStringLiteral("Undo"), m_statusRow);
    m_undoButton->setToolTip(QStringLiteral("Put the last trashed items back"));
    m_undoButton->hide();
    status->addWidget(m_statusLabel, 1);
    status->addStretch(0);
    status->addWidget(m_undoButton);

    // Content: the start view, the busy view and the three panes share one cell; one shows at a time.
    m_contentContainer = new QWidget(this);
    auto* content = new QGridLayout(m_contentContainer);
    content->setContentsMargins(0, 0, 0, 0);
    m_startView = new AnalyzerStartView(m_contentContainer);
    m_startView->onPickFolder = [this] { chooseFolder(); };
    m_startView->onPickVolume = [this](const QString& mountPoint) { analyze(mountPoint); };
    m_startView->recentScans()->onPick = [this](const QString& folder) { analyze(folder); };
    m_scanningView = new VoyageScanningView(m_contentContainer);
    m_scanningView->cancelButton()->show();
    m_scanningView->onCancel = [this] { cancelClicked(); };
    m_scanningView->hide();
    m_treemap = new TreemapViewController(m_contentContainer);
    m_pie = new SunburstViewController(m_contentContainer);
    m_outline = new ScanOutlineViewController(m_contentContainer);
    for (QWidget* child : {static_cast<QWidget*>(m_startView), static_cast<QWidget*>(m_scanningView),
                           static_cast<QWidget*>(m_treemap), static_cast<QWidget*>(m_pie), static_cast<QWidget*>(m_outline)})
        content->addWidget(child, 0, 0);
    m_treemap->hide();
    m_pie->hide();
    m_outline->hide();

    m_rootLayout = new QVBoxLayout(this);
    m_rootLayout->setSpacing(0);
    m_gapBelowToolbar = new QSpacerItem(0, 20, QSizePolicy::Minimum, QSizePolicy::Fixed);
    m_gapBelowProgress = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    m_gapAboveStatus = new QSpacerItem(0, 12, QSizePolicy::Minimum, QSizePolicy::Fixed);
    m_rootLayout->addWidget(m_toolbarRow);
    m_rootLayout->addItem(m_gapBelowToolbar);
    m_rootLayout->addWidget(m_progressRow);
    m_rootLayout->addItem(m_gapBelowProgress);
    m_rootLayout->addWidget(m_changesBar); // above the panes, shown with changes to show
    m_rootLayout->addWidget(m_contentContainer, 1);
    m_rootLayout->addItem(m_gapAboveStatus);
    m_rootLayout->addWidget(m_statusRow);
    applyGaps();
    // Tab follows reading order, not the order of creation: the toolbar left to right, the comparison
    // bar, the content (each pane orders its own Up, chart and list), then the status row.
    const QList<QWidget*> tabOrder = {m_newScanButton, m_segmented, m_historyButton, m_trashButton, m_cancelButton,
                                      m_changesBar, m_startView, m_scanningView, m_treemap, m_pie, m_outline, m_undoButton};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);

    // Panes report their selections; the chart panes' list menus ask to trash one item.
    m_treemap->onSelectionChange = [this](int count) { m_treemapSelectionCount = count; updateTrashButton(); };
    m_pie->onSelectionChange = [this](int count) { m_pieSelectionCount = count; updateTrashButton(); };
    m_outline->onSelectionChange = [this](int count) { m_outlineSelectionCount = count; updateTrashButton(); };
    const auto requestTrash = [this](const QList<TrashCandidate>& items) {
        if (!m_isScanning) // the tree is about to be replaced; the trash button is off for the same reason
            m_trashFlow->reviewAndTrash(items);
    };
    m_treemap->onTrashRequest = requestTrash;
    m_pie->onTrashRequest = requestTrash;

    m_trashFlow = new TrashFlowController(this, m_undoButton, [this](const QString& line) { setStatus(line); }, m_audit);
    m_trashFlow->onMoved = [this](const QSet<QString>& paths) {
        const PathSet moved = pathSet(paths);
        m_outline->removePaths(moved);
        m_pie->removePaths(moved);
        m_treemap->removePaths(moved);
        updateTrashButton();
    };
    connect(m_trashFlow, &TrashFlowController::busyChanged, this, &AnalyzerViewController::updateTrashButton);
    m_trashFlow->onRestored = [this] {
        // The sizes changed on disk: the whole folder is scanned again, unless the user went back to the
        // picker while the items were being put back and expects no scan until they pick one.
        if (m_lastFolder && state() != State::picker) {
            m_statusLine->setNote(std::exchange(m_status, {})); // what was put back, in front of the new totals
            startScan();
        }
    };
}

void AnalyzerViewController::applyGaps()
{
    // Voyage mode shows the busy view edge to edge; otherwise the rows keep their margins and gaps.
    const bool bare = m_isScanning && m_isVoyageMode;
    if (bare)
        m_rootLayout->setContentsMargins(0, 0, 0, 0);
    else
        m_rootLayout->setContentsMargins(sideMargin, topMargin, sideMargin, bottomMargin);
    const bool progress = !m_progressRow->isHidden();
    m_gapBelowToolbar->changeSize(0, bare ? 0 : (progress ? 12 : 20), QSizePolicy::Minimum, QSizePolicy::Fixed);
    m_gapBelowProgress->changeSize(0, progress ? 12 : 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    m_gapAboveStatus->changeSize(0, bare ? 0 : 12, QSizePolicy::Minimum, QSizePolicy::Fixed);
    m_changesBar->setVisible(!bare && m_history->changes());
    m_rootLayout->invalidate();
}

void AnalyzerViewController::restoreLastFolder()
{
    const QString stored = pathFromBytes(preferences().value(AppPreferences::lastFolderKey).toByteArray());
    if (stored.isEmpty())
        return;
    // The folder may sit on a mount that hangs: asked on a worker. A folder picked meanwhile wins.
    m_lastFolderRunner.run(
        [path = pathBytes(stored)](std::stop_token) {
            struct stat status {};
            return ::stat(path.c_str(), &status) == 0;
        },
        [this, stored](bool exists) {
            if (exists && !m_lastFolder)
                m_lastFolder = stored;
        });
}

void AnalyzerViewController::chooseFolder()
{
    auto* dialog = new QFileDialog(window(), QStringLiteral("Choose a folder to analyze"));
    dialog->setDirectoryUrl(urlFromPath(m_lastFolder.value_or(QDir::homePath())));
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Analyze"));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The URL keeps the bytes of a name that is not UTF-8, which the picked file's text does not.
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        const QList<QUrl> picked = dialog->selectedUrls();
        const QString folder = picked.isEmpty() ? QString() : pathFromUrl(picked.first());
        if (folder.isEmpty())
            return;
        if (!folder.contains(QChar::ReplacementCharacter)) {
            analyze(folder);
            return;
        }
        // A name read as UTF-8 on its way here: found again by its bytes, off the GUI thread, unless
        // another scan started meanwhile. With no single match, the scan of the name as given says the
        // folder does not exist.
        m_lastFolderRunner.run([folder](std::stop_token) { return folderOnDisk(folder); },
                               [this, folder, generation = m_scanGeneration](const std::optional<QString>& found) {
                                   if (generation == m_scanGeneration)
                                       analyze(found.value_or(folder));
                               });
    });
    dialog->open();
}

std::optional<QString> AnalyzerViewController::folderOnDisk(const QString& picked)
{
    // The names as such a dialog shows them: each run of bytes that is not UTF-8 as one U+FFFD.
    const auto shown = [](const QString& name) {
        QString text;
        for (const QChar c : name) {
            const bool lost = c == QChar::ReplacementCharacter || (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF);
            if (!lost || text.isEmpty() || text.back() != QChar::ReplacementCharacter)
                text.append(lost ? QChar(QChar::ReplacementCharacter) : c);
        }
        return text;
    };
    std::string found;
    struct stat status {};
    for (const QString& name : picked.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        std::string next = found + '/' + pathBytes(name);
        if (::lstat(next.c_str(), &status) != 0) {
            DIR* folder = ::opendir(found.empty() ? "/" : found.c_str());
            if (!folder)
                return std::nullopt;
            int matches = 0;
            while (const dirent* entry = ::readdir(folder)) {
                if (shown(pathFromBytes(std::string_view(entry->d_name))) == shown(name) && ++matches == 1)
                    next = found + '/' + entry->d_name;
            }
            ::closedir(folder);
            if (matches != 1)
                return std::nullopt;
        }
        found = std::move(next);
    }
    if (::stat(found.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
        return std::nullopt;
    return pathFromBytes(found);
}

void AnalyzerViewController::analyze(const QString& folder)
{
    // One folder, one history: "tree/", "./tree" and "tree/../tree" are stored as the same root.
    m_lastFolder = pathFromBytes(brisklet::ScanHistory::rootKey(pathBytes(folder)));
    preferences().setValue(AppPreferences::lastFolderKey, pathByteArray(*m_lastFolder));
    startScan();
}

void AnalyzerViewController::sectionRefresh()
{
    if (m_isScanning)
        return;
    if (state() == State::result)
        startScan();
    else
        m_startView->refreshVolumes();
}

void AnalyzerViewController::startScan()
{
    if (!m_lastFolder)
        return;
    m_keepStopped->store(true); // stopped by the user: what it walked is kept
    m_scanRunner.stopAll();     // the running scan stops and its answer is dropped
    dropMissingCheck();     // the tree it looks at is about to be replaced
    const std::uint64_t generation = ++m_scanGeneration;
    m_timing = {Clock::now(), {}, {}};
    setScanning(true);
    m_progressLabel->setText(QStringLiteral("Preparing"));
    m_scanningView->progressLabel()->setText(QStringLiteral("Preparing"));

    auto stats = std::make_shared<brisklet::ScanStats>();
    m_activeStats = stats;
    std::shared_ptr<const brisklet::DiskScanner> scanner = makeScanner();
    startPolling();
    const std::string root = brisklet::ScanHistory::rootKey(pathBytes(*m_lastFolder));
    std::shared_ptr<brisklet::ScanHistory> history = AppPreferences::rememberScans() ? AnalyzerHistory::store() : nullptr;
    const std::int64_t startedAt = QDateTime::currentMSecsSinceEpoch();
    const std::optional<std::uint64_t> historyAsOf = history ? std::optional(history->generation()) : std::nullopt;
    // Set when the user stops this scan; a stop because the screen or the program goes stores
    // nothing, so quitting never waits on the store.
    auto keepStopped = std::make_shared<std::atomic<bool>>(false);
    m_keepStopped = keepStopped;
    m_scanRunner.run(
        [scanner, stats, root, history, startedAt, historyAsOf, keepStopped](std::stop_token stop) {
            // The root's newest stored scan is read while the walk runs: the summary keeps the files it
            // kept, and the result is compared with it before it is shown.
            std::optional<brisklet::ScanSnapshot> earlier;
            std::jthread reading;
            if (history)
                reading = std::jthread([&history, &earlier, &root] { earlier = history->newestSnapshot(root); });
            brisklet::ScanResult result;
            try {
                result = scanner->scan(root, stats, stop);
            } catch (const brisklet::DiskScanner::Stopped& stopped) {
                // What was walked is kept, marked cancelled (the screen shows nothing of it), unless
                // the root itself was never read: there is nothing to keep.
                if (history && keepStopped->load() && stopped.walked().root.children) {
                    reading.join();
                    AnalyzerHistory::storeStopped(*history, root, stopped.walked(), startedAt, earlier ? &*earlier : nullptr,
                                                  historyAsOf);
                }
                throw;
            }
            Outcome outcome;
            outcome.historyAsOf = historyAsOf;
            if (history) { // before the tree takes the scan's nodes apart
                reading.join();
                outcome.summary = std::make_shared<const brisklet::ScanSummary>(
                    brisklet::ScanHistory::summarize(root, result, startedAt, QDateTime::currentMSecsSinceEpoch(),
                                                     false, earlier ? &*earlier : nullptr));
            }
            outcome.walked = Clock::now();
            outcome.totals = result.totals;
            outcome.state = result.state;
            result.largeFiles = {};
            // The changes are worked out beside the tree, so they are shown with it.
            std::jthread comparing;
            if (earlier)
                comparing = std::jthread([&earlier, &outcome] {
                    outcome.changes = std::make_shared<const ScanChanges>(
                        brisklet::ScanHistory::compare(*earlier, brisklet::ScanHistory::snapshot(*outcome.summary)));
                });
            outcome.tree = AnalyzerTreeNode::build(std::move(result.root));
            if (comparing.joinable())
                comparing.join();
#ifdef __GLIBC__
            malloc_trim(0); // hand the scan's freed nodes back before the tree is shown
#endif
            return outcome;
        },
        [this, generation](Outcome outcome) {
            if (generation == m_scanGeneration)
                finishScan(outcome);
        },
        [this, generation](const QString& description) {
            if (generation == m_scanGeneration)
                failScan(description);
        });
}

void AnalyzerViewController::startPolling()
{
    m_pollTimer.start(); // each tick reads m_activeStats, the counters of the newest scan
}

void AnalyzerViewController::stopPolling() { m_pollTimer.stop(); }

QString AnalyzerViewController::progressText(const brisklet::ScanProgress& progress, const QString& root)
{
    // The folder below the scanned one ("Music/Albums/2019"): a last name alone ("d") says little.
    std::string_view path = progress.currentPath;
    std::string below = pathBytes(root);
    if (below.empty() || below.back() != '/')
        below += '/';
    if (path.size() > below.size() && path.starts_with(below))
        path.remove_prefix(below.size());
    else // the root itself: its own name
        path.remove_prefix(path.find_last_of('/') + 1);
    return QStringLiteral("%1 · %2 · %3")
        .arg(counted(progress.files, "file", "files"), bytes(progress.bytes), visibleText(pathFromBytes(path)));
}

void AnalyzerViewController::pollTick()
{
    if (!m_activeStats)
        return;
    const QString text = progressText(m_activeStats->snapshot(), m_lastFolder.value_or(QString()));
    m_progressLabel->setText(text);
    m_scanningView->progressLabel()->setText(text);
}

QString AnalyzerViewController::resultStatus(const brisklet::ScanTotals& totals, const QString& rootName,
                                             const std::optional<brisklet::ScanProgress>& partial)
{
    QString text = QStringLiteral("%1 · %2 in %3").arg(counted(totals.files, "file", "files"), bytes(totals.bytes), rootName);
    if (partial) {
        if (partial->timedOutDirectories > 0)
            text += QStringLiteral(" · %1 skipped")
                        .arg(counted(partial->timedOutDirectories, "unresponsive location", "unresponsive locations"));
        if (partial->permissionDenials > 0)
            text += QStringLiteral(" · %1 (Full Disk Access would improve coverage)")
                        .arg(counted(partial->permissionDenials, "unreadable location", "unreadable locations"));
    }
    return text;
}

void AnalyzerViewController::finishScan(Outcome& outcome)
{
    m_timing.finished = Clock::now();
    stopPolling();
    m_timing.walked = outcome.walked;
    const bool fromPicker = m_isVoyageMode;
    setScanning(false);
    AnalyzerNodePtr previous = m_outline->root();
    dropMissingCheck();
    m_outline->present(outcome.tree);
    m_pie->present(outcome.tree);
    m_treemap->present(outcome.tree);
    if (previous) // a big tree takes a while to free: not on the GUI thread
        m_releaseRunner.run([previous = std::move(previous)](std::stop_token) mutable { previous.reset(); }, [] {});
    m_segmented->show();
    m_startView->hide();
    m_newScanButton->show();
    segmentChanged(m_segmented->selectedIndex());
    if (fromPicker) // the focused Cancel of the busy view is gone: the keyboard goes on in the result
        shownPaneView()->setFocus(Qt::OtherFocusReason);

    std::optional<brisklet::ScanProgress> partial;
    if (outcome.state == brisklet::ScanState::partial && m_activeStats)
        partial = m_activeStats->snapshot();
    m_activeStats.reset();
    m_status = resultStatus(outcome.totals, ChartText::name(*outcome.tree), partial);
    m_statusLine->update();
    m_history->scanShown(std::move(outcome.summary), std::move(outcome.changes), outcome.historyAsOf);
}

void AnalyzerViewController::showChanges()
{
    const std::shared_ptr<const ScanChanges>& changes = m_history->changes();
    if (m_outline->model()->changes() != changes) { // not when only the list of earlier scans is new
        m_outline->setChanges(changes);
        m_treemap->contentsList()->setChanges(changes);
        m_pie->contentsList()->setChanges(changes);
    }
    m_changesBar->setChanges(changes, m_history->earlierScans());
    applyGaps();
    std::function<std::optional<QColor>(const AnalyzerTreeNode&)> colouring;
    if (changes && m_changesBar->colouring())
        colouring = [changes](const AnalyzerTreeNode& node) { return changes->color(node); };
    m_treemap->treemap()->fillOverride = colouring;
    m_pie->sunburst()->fillOverride = colouring;
    m_treemap->treemap()->update();
    m_pie->sunburst()->update();
    m_treemap->contentsList()->tableView()->viewport()->update();
    m_pie->contentsList()->tableView()->viewport()->update();
}

void AnalyzerViewController::failScan(const QString& description)
{
    stopPolling();
    m_activeStats.reset();
    setStatus(QStringLiteral("Scan failed: ") + description);
    setScanning(false);
}

void AnalyzerViewController::cancelClicked()
{
    if (!m_isScanning)
        return;
    ++m_scanGeneration; // a late answer is ignored
    m_keepStopped->store(true);
    m_scanRunner.stopAll();
    stopPolling();
    m_activeStats.reset();
    setScanning(false);
    setStatus(QStringLiteral("Scan cancelled."));
}

void AnalyzerViewController::newScanClicked()
{
    if (m_isScanning || m_trashFlow->isRunning()) // the moved items would land in a tree left behind
        return;
    m_trashFlow->clearLastBatch();
    m_trashFlow->syncBatchButtons();
    m_segmented->hide();
    m_treemap->hide();
    m_pie->hide();
    m_outline->hide();
    m_treemapSelectionCount = m_pieSelectionCount = m_outlineSelectionCount = 0;
    updateTrashButton();
    m_startView->refreshVolumes();
    m_startView->show();
    m_startView->selectButton()->setFocus(Qt::OtherFocusReason); // the focused pane is hidden
    m_newScanButton->hide();
    m_history->clear();
    setStatus(QStringLiteral("Pick a folder or a disk to analyze."));
}

void AnalyzerViewController::setScanning(bool scanning)
{
    m_isScanning = scanning;
    if (scanning) {
        m_trashFlow->clearLastBatch();
        m_trashFlow->syncBatchButtons();
    }
    m_startView->setBusy(scanning);
    setAcceptDrops(!scanning); // like the drop zone: a drop must not swap the folder under a running scan
    m_cancelButton->setVisible(scanning);
    m_cancelButton->setEnabled(scanning);
    m_escapeShortcut->setEnabled(scanning);
    if (scanning)
        enterScanPresentation();
    else
        exitScanPresentation();
    updateTrashButton();
}

void AnalyzerViewController::enterScanPresentation()
{
    if (m_segmented->isHidden()) {
        m_isVoyageMode = true;
        m_startView->hide();
        m_toolbarRow->hide();
        m_statusRow->hide();
        m_scanningView->show();
        m_scanningView->setSailing(true);
        m_scanningView->cancelButton()->setFocus();
    } else {
        m_isVoyageMode = false;
        m_progressRow->show();
        m_voyageView->startVoyage();
    }
    applyGaps();
}

void AnalyzerViewController::exitScanPresentation()
{
    if (m_isVoyageMode) {
        m_isVoyageMode = false;
        m_scanningView->setSailing(false);
        m_scanningView->hide();
        m_toolbarRow->show();
        m_statusRow->show();
        m_startView->show();
        m_startView->selectButton()->setFocus(Qt::OtherFocusReason); // the busy view's Cancel had it
    } else {
        m_progressRow->hide();
        m_voyageView->stopVoyage();
    }
    applyGaps();
}

void AnalyzerViewController::segmentChanged(int index)
{
    m_pie->setVisible(index == 1);
    m_outline->setVisible(index == 2);
    m_treemap->setVisible(index != 1 && index != 2);
    updateTrashButton();
}

QWidget* AnalyzerViewController::shownPaneView() const
{
    switch (m_segmented->selectedIndex()) {
    case 1:
        return m_pie->sunburst();
    case 2:
        return m_outline->outlineView();
    default:
        return m_treemap->treemap();
    }
}

int AnalyzerViewController::shownSelectionCount() const
{
    switch (m_segmented->selectedIndex()) {
    case 1:
        return m_pieSelectionCount;
    case 2:
        return m_outlineSelectionCount;
    default:
        return m_treemapSelectionCount;
    }
}

void AnalyzerViewController::updateTrashButton()
{
    // Like the cleanup screens: while the trash flow works or waits for an answer, it would refuse
    // another review, and New Scan would leave its outcome without a tree.
    const bool flowRunning = m_trashFlow && m_trashFlow->isRunning();
    const bool flowBusy = m_trashFlow && m_trashFlow->isBusy();
    m_newScanButton->setEnabled(!m_isScanning && !flowRunning);
    const int count = shownSelectionCount();
    m_trashButton->setEnabled(count >= 1 && !m_isScanning && !flowBusy);
    m_deleteShortcut->setEnabled(m_trashButton->isEnabled());
    m_trashButton->setTitle(count < 2 ? QStringLiteral("Move to Trash") : QStringLiteral("Move %1 to Trash").arg(count));
}

void AnalyzerViewController::trashClicked()
{
    if (m_isScanning || m_trashFlow->isBusy())
        return;
    switch (m_segmented->selectedIndex()) {
    case 1:
        m_trashFlow->reviewAndTrash(m_pie->selectedTrashItems());
        break;
    case 2:
        m_trashFlow->reviewAndTrash(m_outline->selectedTrashItems());
        break;
    default:
        m_trashFlow->reviewAndTrash(m_treemap->selectedTrashItems());
    }
}

void AnalyzerViewController::historyClicked()
{
    auto* history = new AuditHistoryViewController(m_audit, this);
    history->open();
}

AnalyzerViewController::State AnalyzerViewController::state() const
{
    if (m_isScanning)
        return m_isVoyageMode ? State::voyage : State::rescanning;
    return m_segmented->isHidden() ? State::picker : State::result;
}

AnalyzerNodePtr AnalyzerViewController::shownTree() const { return m_outline->root(); }

void AnalyzerViewController::setStatus(const QString& text)
{
    m_status = text;
    m_statusLine->release(); // a new line replaces a put-back note too
    m_statusLine->update();
}

void AnalyzerViewController::refreshMissing()
{
    if (m_isScanning || !m_outline->root())
        return;
    if (m_missingCheckRunning->load()) { // one check at a time, even when a mount hangs it
        m_missingCheckAgain = true;
        return;
    }
    m_missingCheckAgain = false;
    // The rows the three panes show; the panes share nodes, so each is looked at once.
    std::vector<AnalyzerNodePtr> nodes;
    NodeSet seen;
    for (std::vector<AnalyzerNodePtr> shown :
         {m_outline->missingCheckItems(), m_pie->missingCheckItems(), m_treemap->missingCheckItems()})
        for (AnalyzerNodePtr& node : shown)
            if (seen.insert(node.get()).second)
                nodes.push_back(std::move(node));
    std::vector<std::string> paths;
    paths.reserve(nodes.size());
    for (const AnalyzerNodePtr& node : nodes)
        paths.push_back(node->entry().path());

    // The flag clears on the worker when the work ends, before its answer is posted (so the answer may
    // start the next check), or when a dropped work is discarded without running.
    struct RunningMark {
        explicit RunningMark(std::shared_ptr<std::atomic<bool>> flag) : running(std::move(flag)) { running->store(true); }
        ~RunningMark() { running->store(false); }
        RunningMark(const RunningMark&) = delete;
        RunningMark& operator=(const RunningMark&) = delete;
        std::shared_ptr<std::atomic<bool>> running;
    };
    m_missingRunner.run(
        [paths = std::move(paths), gone = isGoneFromDisk,
         mark = std::make_shared<RunningMark>(m_missingCheckRunning)](std::stop_token stop) {
            struct Ending {
                std::atomic<bool>& running;
                ~Ending() { running.store(false); }
            } ending{*mark->running};
            std::vector<char> missing;
            missing.reserve(paths.size());
            for (const std::string& path : paths) {
                if (stop.stop_requested())
                    throw brisklet::Cancelled();
                missing.push_back(gone(path));
            }
            return missing;
        },
        [this, nodes = std::move(nodes)](const std::vector<char>& missing) { showMissing(nodes, missing); });
}

void AnalyzerViewController::showMissing(const std::vector<AnalyzerNodePtr>& nodes, const std::vector<char>& missing)
{
    NodeSet changed;
    for (std::size_t i = 0; i < nodes.size() && i < missing.size(); ++i)
        if (nodes[i]->isMissing() != static_cast<bool>(missing[i])) {
            nodes[i]->setMissing(missing[i]);
            changed.insert(nodes[i].get());
        }
    if (!changed.empty()) {
        m_outline->showMissingChanges(changed);
        m_pie->showMissingChanges(changed);
        m_treemap->showMissingChanges(changed);
    }
    if (m_missingCheckAgain)
        refreshMissing();
}

void AnalyzerViewController::dropMissingCheck()
{
    m_missingRunner.stopAll();
    m_missingCheckAgain = false;
}

void AnalyzerViewController::volumesChanged()
{
    if (!m_startView->isHidden())
        m_startView->refreshVolumes();
}

void AnalyzerViewController::appBecameActive() { refreshMissing(); }

void AnalyzerViewController::sectionDidAppear()
{
    m_startView->refreshVolumes();
    if (!m_mountWatcher) {
        m_mountWatcher = new MountWatcher(this);
        connect(m_mountWatcher, &MountWatcher::mountsChanged, this, &AnalyzerViewController::volumesChanged);
    }
    if (!m_activeConnection)
        m_activeConnection = connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                appBecameActive();
        });
    refreshMissing();
}

void AnalyzerViewController::sectionDidDisappear()
{
    delete m_mountWatcher;
    disconnect(m_activeConnection);
    m_activeConnection = {};
}
