// AnalyzerHistory: the analyzer's side of the scan history. After each scan it shows the scan's changes
// since the previous scan of the same root and stores the scan; on request it compares with an earlier
// one.
//
// The Change column does not wait for the store: the scan's worker reads the root's newest stored scan
// while it walks and compares the result with it in memory beside building the tree, so scanShown
// receives the changes ready. It then stores the scan and lists the root's earlier scans; should the
// stored previous scan differ from the one compared with (another program stored one meanwhile), the
// changes are worked out again against it.
//
// Every database call runs on the screen's BackgroundRunner: the GUI thread only hands over what the
// scan's worker made and receives the stored id, the list and any new ScanChanges. A new scan (clear)
// drops any answer still on its way, so changes never belong to a tree no longer shown. Storing follows
// the "Remember scans" preference; without it nothing is stored and no changes are shown.
//
// A cancelled scan is not shown, but what it walked is stored, marked cancelled, by the scan's own
// worker (storeStopped) when the user stopped it after its root was read: the store never offers it
// as a baseline, and the list of earlier scans names it so.
//
// Forgetting wins: when every scan is forgotten (scansForgotten) the shown changes and the earlier scans
// go, and a scan begun before the forget, complete or cancelled, is neither stored nor compared (its asOf
// generation is older).
#pragma once

#include "ScanChanges.h"
#include "history/ScanHistory.h"
#include "shell/BackgroundRunner.h"

#include <QObject>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class AnalyzerHistory : public QObject {
    Q_OBJECT
public:
    explicit AnalyzerHistory(QObject* parent = nullptr);

    // A scan was shown: shows changes (since the root's newest stored scan as the walk began, null when
    // there was none), then stores the summary. asOf: the store's generation() as the walk began (by
    // default, now).
    void scanShown(std::shared_ptr<const brisklet::ScanSummary> summary,
                   std::shared_ptr<const ScanChanges> changes = nullptr, std::optional<std::uint64_t> asOf = std::nullopt);
    // Compares the shown scan with an earlier stored scan of its root.
    void compareWith(std::int64_t earlierId);
    // Forget the shown changes and whatever is still being worked out.
    void clear();

    const std::shared_ptr<const ScanChanges>& changes() const { return m_changes; }
    // The stored scans of the shown root before the shown one, newest first.
    const std::vector<brisklet::StoredScan>& earlierScans() const { return m_earlierScans; }
    std::optional<std::int64_t> shownScanId() const { return m_shownScanId; }

    // Stores a stopped scan, marked cancelled. On the scan's worker; never throws. asOf: the store's
    // generation() as the walk began.
    static void storeStopped(brisklet::ScanHistory& history, const std::string& root,
                             const brisklet::ScanResult& walked, std::int64_t startedAtMs,
                             const brisklet::ScanSnapshot* earlier, std::optional<std::uint64_t> asOf);

    // The store this process uses (ScanHistoryStore: one connection, shared with the settings sheet).
    static std::shared_ptr<brisklet::ScanHistory> store();

signals:
    void changesChanged();

private:
    struct Answer {
        std::optional<std::int64_t> shownId;
        std::vector<brisklet::StoredScan> earlier;
        std::shared_ptr<const ScanChanges> changes;
    };
    void apply(Answer answer);

    std::shared_ptr<const ScanChanges> m_changes;
    std::vector<brisklet::StoredScan> m_earlierScans;
    std::optional<std::int64_t> m_shownScanId;
    BackgroundRunner m_runner{this};
};
