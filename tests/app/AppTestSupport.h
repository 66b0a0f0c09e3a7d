// Shared helpers of the app tests: a scriptable update feed, settings reset, waiting on the event loop.
#pragma once

#include "shell/UpdateController.h"
#include "shell/UpdateFeed.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Removes every stored preference.
void clearSettings();

// Lets the background work that is not held finish and its answers run.
void settleBackground();

// Runs the event loop until predicate holds (true) or a generous liveness limit passes (false).
bool waitFor(const std::function<bool()>& predicate);

class ReviewSheetViewController;
// Waits until the review sheet has judged its items and so takes a confirmation; false without a sheet.
bool sheetReady(ReviewSheetViewController* sheet);
// sheetReady, then confirms the sheet with its ticked rows.
bool confirmSheet(ReviewSheetViewController* sheet);

brisklet::UpdateManifest manifest(std::int64_t build, const std::string& version = "1.4.2",
                                  std::optional<std::string> notes = std::nullopt);

// An update feed whose answers the test sets; fetches and downloads can be held until released.
class FakeFeed : public UpdateFeed {
public:
    std::optional<brisklet::UpdateManifest> fetchManifest(std::stop_token stop) override;
    std::string download(const brisklet::UpdateManifest& manifest, const std::string& directory,
                         const std::function<void(double)>& progress, std::stop_token stop) override;
    QString hostName() const override { return QStringLiteral("updates.example.test"); }

    void setManifest(std::optional<brisklet::UpdateManifest> value);
    // Fetches and downloads wait while held: until release(), or hold...(false) for one kind.
    void holdFetch(bool hold);
    void holdDownload(bool hold);
    void release();
    // The download returns this path (or throws failure when set).
    void setDownloadResult(const std::string& path);
    void setDownloadFailure(const std::string& description);
    // Fractions reported, in order, before the download returns.
    void setProgressSteps(std::vector<double> steps);

    int fetchCount() const { return m_fetches.load(); }
    int downloadCount() const { return m_downloads.load(); }
    std::string lastDirectory() const;
    // The progress callback of the last download, kept to report after it finished.
    std::function<void(double)> lastProgress() const;
    // Hook run on the worker thread at the start of each fetch.
    std::function<void()> onFetch;

private:
    void waitIfHeld(bool fetch, std::stop_token stop);

    mutable std::mutex m_mutex;
    std::condition_variable_any m_released;
    std::optional<brisklet::UpdateManifest> m_manifest;
    bool m_holdFetch = false;
    bool m_holdDownload = false;
    std::uint64_t m_generation = 0;
    std::string m_downloadResult = "/nonexistent/Brisklet-1.4.2.deb";
    std::optional<std::string> m_failure;
    std::vector<double> m_steps;
    std::string m_lastDirectory;
    std::function<void(double)> m_lastProgress;
    std::atomic<int> m_fetches{0};
    std::atomic<int> m_downloads{0};
};
