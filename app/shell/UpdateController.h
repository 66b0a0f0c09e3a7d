// The single owner of two facts: whether a newer build is published and how far its download has come.
// Checks the feed at start and every 7,200 s, reports the result when the user asked, downloads the image
// into the Downloads folder with progress, opens it, and offers a retry after a failure.
//
// All state changes, alerts and notifications happen on the GUI thread; feed calls run through the
// shell's BackgroundRunner, and nothing here ever waits for them. At most one check and one download
// are in flight: a check is skipped while one runs or while downloading, and the answer of a check
// that was already running when a download started is ignored. A download's progress and completion
// are applied only while the state is still that download; anything later is dropped. Every change of
// state emits stateChanged and posts "briskletUpdateStateChanged"; assigning an equal state announces
// nothing.
#pragma once

#include "BackgroundRunner.h"
#include "UpdateFeed.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class UpdateController : public QObject {
    Q_OBJECT
public:
    struct State {
        enum class Kind { none, available, downloading, downloaded, failed };
        Kind kind = Kind::none;
        brisklet::UpdateManifest manifest; // meaningful except for none
        double progress = 0.0;             // downloading
        QString file;                      // downloaded: path of the verified image
        QString message;                   // failed: the error's description

        static State none() { return {}; }
        static State available(const brisklet::UpdateManifest& m) { return {Kind::available, m, 0.0, {}, {}}; }
        static State downloading(const brisklet::UpdateManifest& m, double p) { return {Kind::downloading, m, p, {}, {}}; }
        static State downloaded(const brisklet::UpdateManifest& m, const QString& f) { return {Kind::downloaded, m, 0.0, f, {}}; }
        static State failed(const brisklet::UpdateManifest& m, const QString& text) { return {Kind::failed, m, 0.0, {}, text}; }

        std::optional<brisklet::UpdateManifest> payloadManifest() const;
        bool operator==(const State& other) const;
    };

    struct Alert {
        QString messageText;
        QString informativeText;
        QStringList buttons; // empty: the single default acknowledgement button
    };

    // How the sidebar's update button looks for a state. For none only visible (false) is meaningful:
    // the button keeps its last title, symbol and tooltip.
    struct ButtonLook {
        bool visible = false;
        QString title;
        QString symbolName;
        bool enabled = true;
        QString toolTip;
    };
    static ButtonLook buttonLook(const State& state);

    // What the controller touches outside itself; every member has a working default.
    struct Environment {
        // Shows a modal alert and returns the index of the chosen button.
        std::function<int(const Alert&)> presentAlert;
        // Opens a file with the desktop's default handler.
        std::function<void(const QString&)> openFile;
        // The folder downloads go to.
        std::function<QString()> downloadsFolder;
        qint64 currentBuild = -1;    // < 0: the running build
        QString displayVersion;      // empty: the running version
    };

    static constexpr int checkIntervalSeconds = 7200;

    // The application's instance, created on first use with the engine's feed and never released.
    static UpdateController& shared();

    explicit UpdateController(std::shared_ptr<UpdateFeed> feed, QObject* parent = nullptr);
    UpdateController(std::shared_ptr<UpdateFeed> feed, Environment environment, QObject* parent = nullptr);
    ~UpdateController() override;

    const State& state() const { return m_state; }
    bool isChecking() const { return m_isChecking; }
    // The periodic check timer; null until start().
    QTimer* timer() const { return m_timer; }
    qint64 currentBuild() const { return m_currentBuild; }

    // Checks at once, then every checkIntervalSeconds. A second call does nothing.
    void start();
    // Stops the timer and asks the work in flight to stop; its answers are dropped. Returns at once.
    void shutdown();

public slots:
    // The "Check for Updates" menu item: a user-initiated check, or the answer of the one running, or
    // word that a download is under way.
    void checkForUpdatesFromMenu();
    // The update button and the alert's "Download" button.
    void performPrimaryAction();

signals:
    void stateChanged();

private:
    void check(bool userInitiated);
    void finishCheck(const std::optional<brisklet::UpdateManifest>& manifest, bool userInitiated);
    void reportCheck(const std::optional<brisklet::UpdateManifest>& manifest);
    void download(const brisklet::UpdateManifest& manifest);
    void reportProgress(std::uint64_t download, double fraction);
    void finishDownload(std::uint64_t download, const std::optional<QString>& file, const QString& failure);
    // Whether the state is still the download numbered download.
    bool isCurrentDownload(std::uint64_t download) const;
    void setState(const State& state);

    std::shared_ptr<UpdateFeed> m_feed;
    Environment m_environment;
    qint64 m_currentBuild = 0;
    QString m_displayVersion;
    State m_state;
    QTimer* m_timer = nullptr;
    bool m_isChecking = false;
    bool m_reportRunningCheck = false; // the menu asked while a periodic check ran
    std::uint64_t m_download = 0; // numbers the downloads started
    BackgroundRunner m_checks{this};
    BackgroundRunner m_downloads{this};
};
