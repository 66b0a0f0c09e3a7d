#include "UpdateController.h"

#include "AppInfo.h"
#include "NotificationCenter.h"
#include "PathBytes.h"
#include "platform/FileServices.h"
#include "platform/HostProfile.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include <utility>

namespace {
QString text(const std::string& value) { return utf8Text(value); }

int presentWithMessageBox(const UpdateController::Alert& alert)
{
    QMessageBox box(QApplication::activeWindow());
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle(AppInfo::name);
    box.setText(alert.messageText);
    box.setInformativeText(alert.informativeText);
    QList<QAbstractButton*> buttons;
    if (alert.buttons.isEmpty()) {
        buttons << box.addButton(QMessageBox::Ok);
    } else {
        for (int i = 0; i < alert.buttons.size(); ++i) {
            QPushButton* button = box.addButton(alert.buttons.at(i), i == 0 ? QMessageBox::AcceptRole
                                                                            : QMessageBox::RejectRole);
            buttons << button;
            if (i == 0)
                box.setDefaultButton(button);
        }
    }
    box.exec();
    return static_cast<int>(buttons.indexOf(box.clickedButton()));
}
} // namespace

std::optional<brisklet::UpdateManifest> UpdateController::State::payloadManifest() const
{
    if (kind == Kind::none)
        return std::nullopt;
    return manifest;
}

bool UpdateController::State::operator==(const State& other) const
{
    if (kind != other.kind)
        return false;
    switch (kind) {
    case Kind::none: return true;
    case Kind::available: return manifest == other.manifest;
    case Kind::downloading: return manifest == other.manifest && progress == other.progress;
    case Kind::downloaded: return manifest == other.manifest && file == other.file;
    case Kind::failed: return manifest == other.manifest && message == other.message;
    }
    return false;
}

UpdateController::ButtonLook UpdateController::buttonLook(const State& state)
{
    ButtonLook look;
    const QString version = text(state.manifest.version);
    switch (state.kind) {
    case State::Kind::none:
        look.visible = false;
        break;
    case State::Kind::available:
        look.visible = true;
        look.title = QStringLiteral("Update ") + version;
        look.symbolName = QStringLiteral("arrow.down.circle");
        look.toolTip = QStringLiteral("Download Brisklet ") + version + QStringLiteral(" to your Downloads folder.");
        if (state.manifest.notes)
            look.toolTip += QStringLiteral("\n\n") + text(*state.manifest.notes);
        break;
    case State::Kind::downloading:
        look.visible = true;
        look.title = QString::number(static_cast<long long>(state.progress * 100.0)) + QStringLiteral("%");
        look.symbolName = QStringLiteral("arrow.down.circle.dotted");
        look.enabled = false;
        look.toolTip = QStringLiteral("Downloading");
        break;
    case State::Kind::downloaded:
        look.visible = true;
        look.title = QStringLiteral("Open ") + version;
        look.symbolName = QStringLiteral("shippingbox");
        look.toolTip = QStringLiteral("Open ") + visibleText(pathName(state.file))
                       + text(brisklet::hostProfile().downloadedUpdateHint);
        break;
    case State::Kind::failed:
        look.visible = true;
        look.title = QStringLiteral("Retry ") + version;
        look.symbolName = QStringLiteral("exclamationmark.arrow.circlepath");
        look.toolTip = state.message;
        break;
    }
    return look;
}

UpdateController& UpdateController::shared()
{
    static UpdateController* controller = [] {
        auto* c = new UpdateController(makeDefaultUpdateFeed());
        // Worker threads must not outlive the event loop they report to.
        if (QCoreApplication* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, c, &UpdateController::shutdown);
        return c;
    }();
    return *controller;
}

UpdateController::UpdateController(std::shared_ptr<UpdateFeed> feed, QObject* parent)
    : UpdateController(std::move(feed), Environment{}, parent)
{
}

UpdateController::UpdateController(std::shared_ptr<UpdateFeed> feed, Environment environment, QObject* parent)
    : QObject(parent), m_feed(std::move(feed)), m_environment(std::move(environment))
{
    if (!m_environment.presentAlert)
        m_environment.presentAlert = presentWithMessageBox;
    if (!m_environment.openFile)
        m_environment.openFile = [](const QString& path) { QDesktopServices::openUrl(urlFromPath(path)); };
    if (!m_environment.downloadsFolder) {
        m_environment.downloadsFolder = [] {
            const std::string folder = brisklet::platform::downloadsDirectory();
            if (!folder.empty())
                return pathFromBytes(folder);
            return pathFromBytes(brisklet::platform::joinPath(brisklet::platform::homeDirectory(), "Downloads"));
        };
    }
    m_currentBuild = m_environment.currentBuild >= 0 ? m_environment.currentBuild : AppInfo::currentBuild();
    m_displayVersion = m_environment.displayVersion.isEmpty() ? AppInfo::appVersion() : m_environment.displayVersion;
}

UpdateController::~UpdateController() = default; // the runners ask their work to stop

void UpdateController::shutdown()
{
    if (m_timer)
        m_timer->stop();
    m_checks.stopAll();
    m_downloads.stopAll();
}

void UpdateController::start()
{
    if (m_timer)
        return;
    check(false);
    m_timer = new QTimer(this);
    m_timer->setInterval(checkIntervalSeconds * 1000);
    m_timer->setTimerType(Qt::VeryCoarseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] { check(false); });
    m_timer->start();
}

void UpdateController::checkForUpdatesFromMenu()
{
    // Asked from the menu, there is always an answer: a running check reports when it ends, and a
    // download under way says so rather than checking.
    if (m_state.kind == State::Kind::downloading) {
        Alert alert;
        alert.messageText = QStringLiteral("Brisklet ") + text(m_state.manifest.version) + QStringLiteral(" is downloading");
        alert.informativeText = QStringLiteral("It opens when the download is complete.");
        m_environment.presentAlert(alert);
        return;
    }
    if (m_isChecking) {
        m_reportRunningCheck = true;
        return;
    }
    check(true);
}

void UpdateController::check(bool userInitiated)
{
    if (m_isChecking)
        return;
    if (m_state.kind == State::Kind::downloading)
        return;
    m_isChecking = true;
    m_checks.run(
        [feed = m_feed](std::stop_token stop) -> std::optional<brisklet::UpdateManifest> {
            try {
                return feed->fetchManifest(stop);
            } catch (...) {
                return std::nullopt; // a fetch reports failure as no manifest, whatever went wrong
            }
        },
        [this, userInitiated](const std::optional<brisklet::UpdateManifest>& manifest) {
            finishCheck(manifest, userInitiated);
        });
}

void UpdateController::finishCheck(const std::optional<brisklet::UpdateManifest>& manifest, bool userInitiated)
{
    m_isChecking = false;
    userInitiated = std::exchange(m_reportRunningCheck, false) || userInitiated;
    // A download started while this check ran; its state is not the check's to replace, and an alert
    // offering a download would be stale.
    if (m_state.kind == State::Kind::downloading)
        return;
    if (manifest) {
        if (m_currentBuild >= manifest->build) {
            setState(State::none());
        } else if (m_state.payloadManifest() != manifest) {
            setState(State::available(*manifest));
        }
    }
    if (userInitiated)
        reportCheck(manifest);
}

void UpdateController::reportCheck(const std::optional<brisklet::UpdateManifest>& manifest)
{
    Alert alert;
    if (manifest && m_currentBuild < manifest->build) {
        alert.messageText = QStringLiteral("Brisklet ") + text(manifest->version) + QStringLiteral(" is available");
        alert.informativeText = QStringLiteral("You have version ") + m_displayVersion + QStringLiteral(".");
        if (manifest->notes)
            alert.informativeText += QStringLiteral("\n") + text(*manifest->notes);
        alert.buttons = {QStringLiteral("Download"), QStringLiteral("Later")};
        if (m_environment.presentAlert(alert) == 0)
            performPrimaryAction();
        return;
    }
    if (manifest) {
        alert.messageText = QStringLiteral("Brisklet is up to date");
        alert.informativeText = QStringLiteral("Version ") + m_displayVersion + QStringLiteral(" is the newest version.");
    } else {
        alert.messageText = QStringLiteral("Couldn't check for updates");
        alert.informativeText = QStringLiteral("Brisklet couldn't reach ") + m_feed->hostName()
                                + QStringLiteral(". Check your connection and try again.");
    }
    m_environment.presentAlert(alert);
}

void UpdateController::performPrimaryAction()
{
    switch (m_state.kind) {
    case State::Kind::available:
    case State::Kind::failed:
        download(m_state.manifest);
        break;
    case State::Kind::downloaded:
        if (brisklet::platform::exists(pathBytes(m_state.file)))
            m_environment.openFile(m_state.file);
        else
            download(m_state.manifest);
        break;
    case State::Kind::downloading:
    case State::Kind::none:
        break;
    }
}

void UpdateController::download(const brisklet::UpdateManifest& manifest)
{
    const std::uint64_t number = ++m_download;
    setState(State::downloading(manifest, 0.0));
    const std::string folder = pathBytes(m_environment.downloadsFolder());
    auto report = m_downloads.reporter<double>([this, number](double fraction) { reportProgress(number, fraction); });
    m_downloads.run(
        [feed = m_feed, manifest, folder, report](std::stop_token stop) {
            // The button shows whole percents: only a new one crosses to the GUI thread, not every
            // block the transfer reports.
            const auto progress = [report, shownPercent = std::make_shared<int>(-1)](double fraction) {
                const int percent = static_cast<int>(fraction * 100.0);
                if (percent != *shownPercent) {
                    *shownPercent = percent;
                    report(fraction);
                }
            };
            return pathFromBytes(feed->download(manifest, folder, progress, stop));
        },
        [this, number](const QString& file) { finishDownload(number, file, {}); },
        [this, number](const QString& failure) { finishDownload(number, std::nullopt, failure); });
}

bool UpdateController::isCurrentDownload(std::uint64_t download) const
{
    return download == m_download && m_state.kind == State::Kind::downloading;
}

void UpdateController::reportProgress(std::uint64_t download, double fraction)
{
    // A late report must not revive a finished download or touch a different one.
    if (isCurrentDownload(download))
        setState(State::downloading(m_state.manifest, fraction));
}

void UpdateController::finishDownload(std::uint64_t download, const std::optional<QString>& file, const QString& failure)
{
    if (!isCurrentDownload(download))
        return;
    const brisklet::UpdateManifest manifest = m_state.manifest;
    if (!file) {
        setState(State::failed(manifest, failure));
        return;
    }
    setState(State::downloaded(manifest, *file));
    m_environment.openFile(*file);
}

void UpdateController::setState(const State& state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
    NotificationCenter::shared().post(NotificationNames::updateStateChanged, this);
}
