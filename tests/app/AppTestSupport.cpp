#include "AppTestSupport.h"

#include "Error.h"
#include "shell/AppPreferences.h"
#include "deletion/ReviewSheetViewController.h"
#include "shell/BackgroundRunner.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QSettings>
#include <QThreadPool>
#include <QTest>

void clearSettings()
{
    QSettings settings(AppPreferences::settingsOrganization, AppPreferences::settingsApplication);
    settings.clear();
    settings.sync();
}

void settleBackground()
{
    BackgroundRunner::pool()->waitForDone(10000);
    QCoreApplication::processEvents();
}

bool waitFor(const std::function<bool()>& predicate)
{
    return QTest::qWaitFor(predicate, 10000);
}

bool sheetReady(ReviewSheetViewController* sheet)
{
    const QPointer<ReviewSheetViewController> guard(sheet);
    return guard && waitFor([guard] { return !guard || guard->isReady(); }) && guard;
}

bool confirmSheet(ReviewSheetViewController* sheet)
{
    if (!sheetReady(sheet))
        return false;
    sheet->confirmClicked();
    return true;
}

brisklet::UpdateManifest manifest(std::int64_t build, const std::string& version, std::optional<std::string> notes)
{
    brisklet::UpdateManifest m;
    m.version = version;
    m.build = build;
    m.url = "https://updates.example.test/Brisklet-" + version + ".deb";
    m.sha256 = std::string(64, 'a');
    m.notes = std::move(notes);
    return m;
}

void FakeFeed::waitIfHeld(bool fetch, std::stop_token stop)
{
    std::unique_lock lock(m_mutex);
    const std::uint64_t generation = m_generation;
    m_released.wait(lock, stop, [&] {
        return m_generation != generation || !(fetch ? m_holdFetch : m_holdDownload);
    });
}

std::optional<brisklet::UpdateManifest> FakeFeed::fetchManifest(std::stop_token stop)
{
    ++m_fetches;
    if (onFetch)
        onFetch();
    waitIfHeld(true, stop);
    std::lock_guard lock(m_mutex);
    return m_manifest;
}

std::string FakeFeed::download(const brisklet::UpdateManifest&, const std::string& directory,
                               const std::function<void(double)>& progress, std::stop_token stop)
{
    ++m_downloads;
    std::vector<double> steps;
    std::optional<std::string> failure;
    std::string result;
    {
        std::lock_guard lock(m_mutex);
        m_lastDirectory = directory;
        m_lastProgress = progress;
        steps = m_steps;
        failure = m_failure;
        result = m_downloadResult;
    }
    for (double step : steps)
        progress(step);
    waitIfHeld(false, stop);
    if (failure)
        throw brisklet::Error(*failure);
    return result;
}

void FakeFeed::setManifest(std::optional<brisklet::UpdateManifest> value)
{
    std::lock_guard lock(m_mutex);
    m_manifest = std::move(value);
}

void FakeFeed::holdFetch(bool hold)
{
    {
        std::lock_guard lock(m_mutex);
        m_holdFetch = hold;
    }
    m_released.notify_all();
}

void FakeFeed::holdDownload(bool hold)
{
    {
        std::lock_guard lock(m_mutex);
        m_holdDownload = hold;
    }
    m_released.notify_all();
}

void FakeFeed::release()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
        m_holdFetch = false;
        m_holdDownload = false;
    }
    m_released.notify_all();
}

void FakeFeed::setDownloadResult(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    m_downloadResult = path;
    m_failure.reset();
}

void FakeFeed::setDownloadFailure(const std::string& description)
{
    std::lock_guard lock(m_mutex);
    m_failure = description;
}

void FakeFeed::setProgressSteps(std::vector<double> steps)
{
    std::lock_guard lock(m_mutex);
    m_steps = std::move(steps);
}

std::string FakeFeed::lastDirectory() const
{
    std::lock_guard lock(m_mutex);
    return m_lastDirectory;
}

std::function<void(double)> FakeFeed::lastProgress() const
{
    std::lock_guard lock(m_mutex);
    return m_lastProgress;
}
