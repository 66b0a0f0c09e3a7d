#include "AnalyzerHistory.h"

#include "shell/NotificationCenter.h"
#include "shell/ScanHistoryStore.h"

#include <QDateTime>

AnalyzerHistory::AnalyzerHistory(QObject* parent) : QObject(parent)
{
    NotificationCenter::shared().addObserver(NotificationNames::scansForgotten, this,
                                             [this](QObject*, const QVariantMap&) { clear(); });
}

std::shared_ptr<brisklet::ScanHistory> AnalyzerHistory::store() { return ScanHistoryStore::shared(); }

void AnalyzerHistory::storeStopped(brisklet::ScanHistory& history, const std::string& root,
                                   const brisklet::ScanResult& walked, std::int64_t startedAtMs,
                                   const brisklet::ScanSnapshot* earlier, std::optional<std::uint64_t> asOf)
{
    try {
        history.store(brisklet::ScanHistory::summarize(root, walked, startedAtMs,
                                                       QDateTime::currentMSecsSinceEpoch(), true, earlier),
                      asOf);
    } catch (const std::exception&) {
        // Out of memory while summarising: the scan is dropped as before.
    }
}

void AnalyzerHistory::clear()
{
    m_runner.stopAll();
    const bool had = m_changes || m_shownScanId;
    m_changes.reset();
    m_earlierScans.clear();
    m_shownScanId.reset();
    if (had)
        emit changesChanged();
}

void AnalyzerHistory::scanShown(std::shared_ptr<const brisklet::ScanSummary> summary,
                                std::shared_ptr<const ScanChanges> changes, std::optional<std::uint64_t> asOf)
{
    m_runner.stopAll();
    const std::uint64_t generation = asOf.value_or(store()->generation());
    if (generation != store()->generation())
        changes.reset(); // compared with scans forgotten since
    Answer shown{std::nullopt, {}, std::move(changes)};
    if (shown.changes)
        shown.earlier = {shown.changes->earlier()};
    apply(shown);
    if (!summary)
        return;
    m_runner.run(
        [history = store(), summary = std::move(summary), answer = std::move(shown), generation](std::stop_token) mutable {
            answer.shownId = history->store(*summary, generation);
            if (!answer.shownId) {
                if (history->generation() != generation) // forgotten meanwhile
                    answer = {};
                return std::move(answer);
            }
            answer.earlier.clear();
            for (brisklet::StoredScan& scan : history->scans(summary->root))
                if (scan.id != *answer.shownId)
                    answer.earlier.push_back(std::move(scan));
            const auto previous = history->previousScan(*answer.shownId);
            if (!previous)
                answer.changes.reset();
            else if (!answer.changes || answer.changes->earlier().id != previous->id)
                if (auto comparison = history->compare(previous->id, *answer.shownId))
                    answer.changes = std::make_shared<const ScanChanges>(std::move(*comparison));
            return std::move(answer);
        },
        [this](Answer answer) { apply(std::move(answer)); });
}

void AnalyzerHistory::compareWith(std::int64_t earlierId)
{
    if (!m_shownScanId || (m_changes && m_changes->earlier().id == earlierId))
        return;
    m_runner.stopAll();
    Answer kept{m_shownScanId, m_earlierScans, nullptr};
    m_runner.run(
        [history = store(), kept = std::move(kept), earlierId](std::stop_token) mutable {
            if (auto comparison = history->compare(earlierId, *kept.shownId))
                kept.changes = std::make_shared<const ScanChanges>(std::move(*comparison));
            return std::move(kept);
        },
        [this](Answer answer) {
            if (answer.changes)
                apply(std::move(answer));
        });
}

void AnalyzerHistory::apply(Answer answer)
{
    m_shownScanId = answer.shownId;
    m_earlierScans = std::move(answer.earlier);
    m_changes = std::move(answer.changes);
    emit changesChanged();
}
