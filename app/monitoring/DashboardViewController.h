// The dashboard: disk, memory and CPU cards, one card per external disk, and the system-update panel.
//
// Every 4 s for the application's whole life (also while another section shows), and on Refresh, the
// volumes and the memory are read on the background runner (one read of each at a time, apart, so a
// volume slow to answer holds back only the disk cards) and a CPU measurement of
// 0.3 s is started unless one is still running; each answer fills its cards on the GUI thread. The
// external-disk cards are rebuilt from every reading and their section hides when there are none.
// "Check for Updates" runs the system's update check (one at a time) and reports the outcome or the
// engine's error text; nothing is ever started automatically. The button beside it launches the
// distribution's update application. Its texts come from the host profile.
#pragma once

#include "StatCardView.h"
#include "shell/BackgroundRunner.h"
#include "shell/ScreenStyle.h"
#include "shell/SectionScreen.h"

#include "system/SoftwareUpdateChecker.h"
#include "system/SystemStats.h"
#include "system/VolumeReader.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

class QScrollArea;
class QToolButton;
class QVBoxLayout;
class SymbolButton;

class DashboardViewController : public QWidget, public SectionScreen {
    Q_OBJECT
public:
    void sectionRefresh() override { refresh(); }
    // Where the figures come from; the engine and the desktop unless a test gives others. All of them
    // run on the background runner.
    struct Sources {
        std::function<std::vector<brisklet::VolumeInfo>(std::stop_token)> volumes;
        std::function<std::optional<brisklet::SystemStats::MemoryUsage>()> memory;
        std::function<std::optional<double>(std::stop_token)> cpuUsage;
        std::function<int()> activeProcessorCount;
        std::function<brisklet::SoftwareUpdateStatus(std::stop_token)> checkForUpdates;
        // Starts the update application; false when none could be started.
        std::function<bool()> openSoftwareUpdate;
        std::function<QString()> systemDescription;
        static Sources engine();
    };

    static constexpr int refreshIntervalMilliseconds = 4000;

    explicit DashboardViewController(QWidget* parent = nullptr, Sources sources = Sources::engine());

    void refresh();
    void checkForUpdates();
    void openSoftwareUpdate();

    // What the status label says after a successful check at the given time.
    static QString updateMessage(const brisklet::SoftwareUpdateStatus& status);

    StatCardView* diskCard() const { return m_diskCard; }
    StatCardView* memoryCard() const { return m_memoryCard; }
    StatCardView* cpuCard() const { return m_cpuCard; }
    QWidget* externalSection() const { return m_externalSection; }
    QVBoxLayout* externalCards() const { return m_externalCards; }
    QLabel* updateStatusLabel() const { return m_updateStatusLabel; }
    QLabel* systemDescriptionLabel() const { return m_systemDescriptionLabel; }
    QPushButton* checkUpdatesButton() const { return m_checkUpdatesButton; }
    QPushButton* softwareUpdateButton() const { return m_softwareUpdateButton; }
    QToolButton* refreshButton() const;
    QTimer* liveTimer() const { return m_liveTimer; }
    bool isCheckingUpdates() const { return m_isCheckingUpdates; }
    bool isSamplingCPU() const { return m_isSamplingCPU; }
    bool isReadingFigures() const { return m_isReadingVolumes || m_isReadingMemory; }

    // Fill the cards from one reading (run on the GUI thread when the reading arrives).
    void renderVolumes(const std::vector<brisklet::VolumeInfo>& volumes);
    void renderMemory(const std::optional<brisklet::SystemStats::MemoryUsage>& usage);
    void renderCPU(std::optional<double> usage, int processors);

protected:
    void changeEvent(QEvent* event) override;

private:
    void readFigures();
    void sampleCPU();
    void finishCheck(const QString& text);

    SymbolButton* m_refreshButton = nullptr;
    StatCardView* m_diskCard = nullptr;
    StatCardView* m_memoryCard = nullptr;
    StatCardView* m_cpuCard = nullptr;
    QWidget* m_externalSection = nullptr;
    QVBoxLayout* m_externalCards = nullptr;
    QLabel* m_systemDescriptionLabel = nullptr;
    QLabel* m_updateStatusLabel = nullptr;
    QPushButton* m_checkUpdatesButton = nullptr;
    QPushButton* m_softwareUpdateButton = nullptr;
    bool m_isCheckingUpdates = false;
    QTimer* m_liveTimer = nullptr;
    bool m_isSamplingCPU = false;
    bool m_isReadingVolumes = false;
    bool m_isReadingMemory = false;
    Sources m_sources;
    ScreenStyle::LabelTints m_tints;
    BackgroundRunner m_runner{this};
};
