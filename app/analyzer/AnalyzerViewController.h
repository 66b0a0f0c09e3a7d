// AnalyzerViewController: the Disk Analyzer section. The user picks a volume or a folder, watches the
// scan, and explores the result as blocks (treemap), pie (sunburst) or list (outline); selected items go
// to the Trash through the shared trash flow and can be put back, which scans the folder again.
//
// States (state()):
//   picker      start view, toolbar (New Scan hidden), status line
//   voyage      a scan started from the picker: only the full-size busy view, with Cancel
//   result      pane switch, one pane, New Scan, trash button
//   rescanning  a scan over a shown result (after a put-back): the panes stay, the progress row shows
// A failed or cancelled scan returns to where it started: picker from voyage, the old result from a
// rescan.
//
// Scans: each runs on a worker through the screen's BackgroundRunner with its own ScanStats, which a
// 0.15 s timer polls into the progress texts. A new scan or Cancel stops the running one and starts a new
// generation; only an answer of the newest generation touches the screen. The worker also builds the
// analyzer tree, so the GUI thread only presents it. Nothing here waits for a worker.
//
// The missing-item check (on appearing and when the program is active again: which shown rows are gone
// from disk) and the last folder's check at launch run on workers too, since a hung mount would freeze
// the window; a check's answer for a tree that was replaced meanwhile is dropped.
//
// The scan options are fixed (scanOptions()): the engine's default reads in flight, the standard fold
// and root-skip names (the cache home walked into where the host profile says so), large files from
// 16 MiB (top 100), 15 s per folder.
//
// History: with "Remember scans" on, the worker also reads the root's newest stored scan while it walks,
// summarises the scan for the store and compares the two beside building the tree, so the result comes
// with its changes: the outline and contents lists gain their Change column and the screen the changes
// bar as the result is shown. AnalyzerHistory then stores the scan off the GUI thread.
#pragma once

#include "AnalyzerTreeNode.h"
#include "FolderDropView.h"
#include "scan/DiskScanner.h"
#include "shell/BackgroundRunner.h"
#include "shell/SectionScreen.h"

#include <QPointer>
#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brisklet {
class AuditLog;
}

class AnalyzerHistory;
class AnalyzerStartView;
class ScanChangesBar;
class SummaryLine;
class DestructiveButton;
class MountWatcher;
class QLabel;
class QPushButton;
class QShortcut;
class QSpacerItem;
class QToolButton;
class QVBoxLayout;
class ScanOutlineViewController;
class SegmentedControl;
class SunburstViewController;
class TrashFlowController;
class TreemapViewController;
class VoyageProgressView;
class VoyageScanningView;

class AnalyzerViewController : public FolderDropView, public SectionScreen {
    Q_OBJECT
public:
    enum class State { picker, voyage, result, rescanning };
    using Clock = std::chrono::steady_clock;

    // audit: the log the trash flow and the history use (the shared one when empty).
    explicit AnalyzerViewController(std::shared_ptr<brisklet::AuditLog> audit = {}, QWidget* parent = nullptr);
    ~AnalyzerViewController() override;

    static brisklet::DiskScanner::Options scanOptions();
    // The folder on disk a picked path names. A file dialog that read the names as UTF-8 hands back
    // U+FFFD for what was not (its own list leaves such names out; a desktop's dialog shows them): each
    // such name is matched against its folder's entries read as bytes. Empty when no entry, or more than
    // one, matches. Asks the file system: only on a worker.
    static std::optional<QString> folderOnDisk(const QString& picked);
    // Makes the scanner of each scan (the analyzer options by default); tests add a hook or a short
    // time-out.
    std::function<std::shared_ptr<const brisklet::DiskScanner>()> makeScanner;
    // The missing-item check's question for one path, asked on a worker (ChartText::goneFromDisk);
    // tests watch or hold it.
    std::function<bool(const std::string& path)> isGoneFromDisk;

    void analyze(const QString& folder);
    void startScan();
    void chooseFolder();
    void cancelClicked();
    void newScanClicked();
    void trashClicked();
    void historyClicked();
    void segmentChanged(int index);
    void updateTrashButton();
    void restoreLastFolder();
    void volumesChanged();
    void appBecameActive();

    void sectionDidAppear() override;
    void sectionDidDisappear() override;
    // F5: the shown result scanned again, or the disks of the picker read again.
    void sectionRefresh() override;
    void sectionNewScan() override { newScanClicked(); }

    State state() const;
    bool isScanning() const { return m_isScanning; }
    bool isVoyageMode() const { return m_isVoyageMode; }
    const std::optional<QString>& lastFolder() const { return m_lastFolder; }
    // The tree on screen (null before the first result).
    AnalyzerNodePtr shownTree() const;

    // When the newest scan started, when its walk ended (on the worker) and when its result reached the
    // screen, for the benchmark.
    struct Timing {
        Clock::time_point started;
        Clock::time_point walked;
        Clock::time_point finished;
    };
    const Timing& lastTiming() const { return m_timing; }

    AnalyzerStartView* startView() const { return m_startView; }
    VoyageScanningView* scanningView() const { return m_scanningView; }
    TreemapViewController* treemapPane() const { return m_treemap; }
    SunburstViewController* piePane() const { return m_pie; }
    ScanOutlineViewController* outlinePane() const { return m_outline; }
    SegmentedControl* segmented() const { return m_segmented; }
    QPushButton* newScanButton() const { return m_newScanButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    DestructiveButton* trashButton() const { return m_trashButton; }
    QPushButton* undoButton() const { return m_undoButton; }
    QToolButton* historyButton() const { return m_historyButton; }
    QLabel* statusLabel() const { return m_statusLabel; }
    QLabel* progressLabel() const { return m_progressLabel; }
    QWidget* toolbarRow() const { return m_toolbarRow; }
    QWidget* progressRow() const { return m_progressRow; }
    QWidget* statusRow() const { return m_statusRow; }
    TrashFlowController* trashFlow() const { return m_trashFlow; }
    AnalyzerHistory* history() const { return m_history; }
    ScanChangesBar* changesBar() const { return m_changesBar; }

    // The status line of a finished scan: totals, then the skipped and unreadable counts when above 0.
    static QString resultStatus(const brisklet::ScanTotals& totals, const QString& rootName,
                                const std::optional<brisklet::ScanProgress>& partial);
    // One poll's progress text: files, bytes and the folder read last, as a path below root.
    static QString progressText(const brisklet::ScanProgress& progress, const QString& root);

private:
    struct Outcome;

    void buildView();
    void setScanning(bool scanning);
    void enterScanPresentation();
    void exitScanPresentation();
    void applyGaps();
    void startPolling();
    void stopPolling();
    void pollTick();
    void finishScan(Outcome& outcome);
    void failScan(const QString& description);
    void refreshMissing();
    void showMissing(const std::vector<AnalyzerNodePtr>& nodes, const std::vector<char>& missing);
    void dropMissingCheck();
    void showChanges();
    void setStatus(const QString& text);
    int shownSelectionCount() const;
    QWidget* shownPaneView() const; // the chart or outline of the shown pane

    std::shared_ptr<brisklet::AuditLog> m_audit;
    std::optional<QString> m_lastFolder;
    QString m_status; // the screen's own line; a put-back note stands in front of the rescan's totals
    std::uint64_t m_scanGeneration = 0;
    std::shared_ptr<brisklet::ScanStats> m_activeStats;
    QTimer m_pollTimer;
    bool m_isScanning = false;
    bool m_isVoyageMode = false;
    Timing m_timing;

    TreemapViewController* m_treemap = nullptr;
    SunburstViewController* m_pie = nullptr;
    ScanOutlineViewController* m_outline = nullptr;
    int m_treemapSelectionCount = 0;
    int m_pieSelectionCount = 0;
    int m_outlineSelectionCount = 0;
    TrashFlowController* m_trashFlow = nullptr;

    SegmentedControl* m_segmented = nullptr;
    QPushButton* m_newScanButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QShortcut* m_escapeShortcut = nullptr;
    QShortcut* m_deleteShortcut = nullptr;
    DestructiveButton* m_trashButton = nullptr;
    QPushButton* m_undoButton = nullptr;
    QToolButton* m_historyButton = nullptr;
    QLabel* m_statusLabel = nullptr;
    SummaryLine* m_statusLine = nullptr;
    QLabel* m_progressLabel = nullptr;
    QWidget* m_toolbarRow = nullptr;
    QWidget* m_progressRow = nullptr;
    QWidget* m_statusRow = nullptr;
    VoyageProgressView* m_voyageView = nullptr;
    VoyageScanningView* m_scanningView = nullptr;
    AnalyzerStartView* m_startView = nullptr;
    QWidget* m_contentContainer = nullptr;
    QVBoxLayout* m_rootLayout = nullptr;
    QSpacerItem* m_gapBelowToolbar = nullptr;
    QSpacerItem* m_gapBelowProgress = nullptr;
    QSpacerItem* m_gapAboveStatus = nullptr;

    AnalyzerHistory* m_history = nullptr;
    ScanChangesBar* m_changesBar = nullptr;
    QPointer<MountWatcher> m_mountWatcher;
    QMetaObject::Connection m_activeConnection;
    // Set by a missing-item check's work until it ends (a hung mount may hold it); another check asked
    // for meanwhile runs after it.
    std::shared_ptr<std::atomic<bool>> m_missingCheckRunning = std::make_shared<std::atomic<bool>>(false);
    bool m_missingCheckAgain = false;
    // The running scan's: set when the user stops it, so its worker keeps what it walked.
    std::shared_ptr<std::atomic<bool>> m_keepStopped = std::make_shared<std::atomic<bool>>(false);
    BackgroundRunner m_missingRunner{this};
    BackgroundRunner m_lastFolderRunner{this};
    BackgroundRunner m_releaseRunner{this};
    BackgroundRunner m_scanRunner{this}; // last: its destructor stops the scan before the members go
};
