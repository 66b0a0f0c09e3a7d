// AnalyzerHistory: the analyzer's side of the scan history. After each scan it stores the scan and
// compares it with the previous scan of the same root; on request it compares with an earlier one.
//
// Every database call runs on the screen's BackgroundRunner: the GUI thread only hands over a summary
// made on the scan's worker and receives the finished ScanChanges. A new scan (clear) drops any answer
// still on its way, so changes never belong to a tree no longer shown. Storing follows the "Remember
// scans" preference; without it nothing is stored and no changes are shown.
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

    // A scan was shown: stores its summary, then compares it with the root's previous scan.
    void scanShown(std::shared_ptr<const brisklet::ScanSummary> summary);
    // Compares the shown scan with an earlier stored scan of its root.
    void compareWith(std::int64_t earlierId);
    // Forget the shown changes and whatever is still being worked out.
    void clear();

    const std::shared_ptr<const ScanChanges>& changes() const { return m_changes; }
    // The stored scans of the shown root before the shown one, newest first.
    const std::vector<brisklet::StoredScan>& earlierScans() const { return m_earlierScans; }
    std::optional<std::int64_t> shownScanId() const { return m_shownScanId; }

    // The store this process uses (one connection, shared by the screens; opened on first use).
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
