#include "DashboardViewController.h"

#include "shell/ElidingLabel.h"
#include "shell/PathBytes.h"
#include "shell/SymbolButton.h"
#include "shell/VolumeCardView.h"

#include "platform/HostProfile.h"
#include "scan/ScanRecords.h"

#include <QDateTime>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLocale>
#include <QProcess>
#include <QScrollArea>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <unistd.h>

#include <algorithm>

namespace {
const QString checkTitle = QStringLiteral("Check for Updates");
const QString emDash = QStringLiteral("—");

QString bytes(std::int64_t count) { return utf8Text(brisklet::ByteFormat::humanReadable(count)); }

// The desktop's own update application: the host profile's, the first that starts.
bool launchUpdateApplication()
{
    for (const std::vector<std::string>& command : brisklet::hostProfile().updaterApplications) {
        if (command.empty())
            continue;
        const QString path = QStandardPaths::findExecutable(utf8Text(command.front()));
        QStringList arguments;
        for (auto argument = command.begin() + 1; argument != command.end(); ++argument)
            arguments << utf8Text(*argument);
        if (!path.isEmpty() && QProcess::startDetached(path, arguments))
            return true;
    }
    return false;
}
} // namespace

DashboardViewController::Sources DashboardViewController::Sources::engine()
{
    Sources sources;
    sources.volumes = [](std::stop_token stop) { return brisklet::VolumeReader::mountedVolumes(stop); };
    sources.memory = [] { return brisklet::SystemStats::memoryUsage(); };
    sources.cpuUsage = [](std::stop_token stop) { return brisklet::SystemStats::cpuUsage(0.3, stop); };
    sources.activeProcessorCount = [] { return static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN))); };
    sources.checkForUpdates = [](std::stop_token stop) { return brisklet::SoftwareUpdateChecker::check(stop); };
    sources.openSoftwareUpdate = launchUpdateApplication;
    sources.systemDescription = [] {
        return utf8Text(brisklet::SoftwareUpdateChecker::currentSystemDescription());
    };
    return sources;
}

DashboardViewController::DashboardViewController(QWidget* parent, Sources sources)
    : QWidget(parent), m_sources(std::move(sources))
{
    setObjectName(QStringLiteral("screen.dashboard"));
    m_refreshButton = new SymbolButton(QStringLiteral("arrow.clockwise"), QStringLiteral("Refresh"), this);

    auto* header = new QHBoxLayout;
    header->addWidget(ScreenStyle::titleLabel(QStringLiteral("Dashboard"), this));
    header->addStretch(1);
    header->addWidget(m_refreshButton);

    m_diskCard = new StatCardView(QStringLiteral("DISK"), this);
    m_memoryCard = new StatCardView(QStringLiteral("MEMORY"), this);
    m_cpuCard = new StatCardView(QStringLiteral("CPU"), this);
    auto* cards = new QHBoxLayout;
    cards->setSpacing(16);
    for (StatCardView* card : {m_diskCard, m_memoryCard, m_cpuCard}) {
        card->setFixedHeight(150);
        cards->addWidget(card, 1);
    }

    m_externalSection = new QWidget(this);
    auto* externalHeader = new QLabel(QStringLiteral("External Disks"), m_externalSection);
    externalHeader->setFont(ScreenStyle::font(13, QFont::DemiBold));
    m_tints.add(externalHeader, ScreenStyle::LabelLevel::secondary);
    auto* list = new QWidget;
    list->setAutoFillBackground(false);
    m_externalCards = new QVBoxLayout(list);
    m_externalCards->setContentsMargins(0, 0, 0, 0);
    m_externalCards->setSpacing(12);
    m_externalCards->setAlignment(Qt::AlignTop);
    auto* scroll = new QScrollArea(m_externalSection);
    scroll->setWidget(list);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setAccessibleName(QStringLiteral("External Disks"));
    auto* externalLayout = new QVBoxLayout(m_externalSection);
    externalLayout->setContentsMargins(0, 0, 0, 0);
    externalLayout->setSpacing(12);
    externalLayout->addWidget(externalHeader);
    externalLayout->addWidget(scroll, 1);
    m_externalSection->setMinimumHeight(112 + 12 + QFontMetrics(externalHeader->font()).height());
    m_externalSection->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_externalSection->hide();

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    m_systemDescriptionLabel = new QLabel(this);
    m_systemDescriptionLabel->setFont(ScreenStyle::font(12, QFont::Medium));
    m_systemDescriptionLabel->setTextFormat(Qt::PlainText);
    // Plain text (it may quote a tool's own output), cut with an ellipsis where the window is narrow.
    m_updateStatusLabel = new ElidingLabel(QStringLiteral("Updates haven’t been checked."), this);
    m_updateStatusLabel->setFont(ScreenStyle::font(11));
    m_updateStatusLabel->setAccessibleName(QStringLiteral("Update status"));
    m_tints.add(m_updateStatusLabel, ScreenStyle::LabelLevel::secondary);
    m_checkUpdatesButton = new QPushButton(checkTitle, this);
    m_checkUpdatesButton->setToolTip(QStringLiteral(
        "Check the distribution's package sources for available updates. Does not download or install anything."));
    m_softwareUpdateButton = new QPushButton(utf8Text(brisklet::hostProfile().openUpdaterTitle), this);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addWidget(m_checkUpdatesButton);
    buttons->addWidget(m_softwareUpdateButton);
    buttons->addStretch(1);
    auto* panel = new QVBoxLayout;
    panel->setSpacing(8);
    panel->addWidget(separator);
    panel->addWidget(m_systemDescriptionLabel);
    panel->addWidget(m_updateStatusLabel);
    panel->addLayout(buttons);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(28, 24, 28, 16);
    page->setSpacing(0);
    page->addLayout(header);
    page->addSpacing(20);
    page->addLayout(cards);
    page->addSpacing(24);
    page->addWidget(m_externalSection);
    page->addStretch(1);
    page->addSpacing(24);
    page->addLayout(panel);

    connect(m_refreshButton, &QToolButton::clicked, this, &DashboardViewController::refresh);
    connect(m_checkUpdatesButton, &QPushButton::clicked, this, &DashboardViewController::checkForUpdates);
    connect(m_softwareUpdateButton, &QPushButton::clicked, this, &DashboardViewController::openSoftwareUpdate);

    m_runner.run([describe = m_sources.systemDescription](std::stop_token) { return describe(); },
                 [this](const QString& text) { m_systemDescriptionLabel->setText(text); });

    // The first reading, then one every four seconds for the screen's life.
    refresh();
    m_liveTimer = new QTimer(this);
    m_liveTimer->setInterval(refreshIntervalMilliseconds);
    connect(m_liveTimer, &QTimer::timeout, this, &DashboardViewController::refresh);
    m_liveTimer->start();
}

QToolButton* DashboardViewController::refreshButton() const { return m_refreshButton; }

void DashboardViewController::refresh()
{
    readFigures();
    sampleCPU();
}

void DashboardViewController::readFigures()
{
    if (!m_isReadingVolumes) {
        m_isReadingVolumes = true;
        m_runner.run([volumes = m_sources.volumes](std::stop_token stop) { return volumes(stop); },
                     [this](const std::vector<brisklet::VolumeInfo>& volumes) {
                         m_isReadingVolumes = false;
                         renderVolumes(volumes);
                     },
                     [this](const QString&) { m_isReadingVolumes = false; });
    }
    if (!m_isReadingMemory) {
        m_isReadingMemory = true;
        m_runner.run([memory = m_sources.memory](std::stop_token) { return memory(); },
                     [this](const std::optional<brisklet::SystemStats::MemoryUsage>& usage) {
                         m_isReadingMemory = false;
                         renderMemory(usage);
                     },
                     [this](const QString&) { m_isReadingMemory = false; });
    }
}

void DashboardViewController::sampleCPU()
{
    if (m_isSamplingCPU)
        return;
    m_isSamplingCPU = true;
    m_runner.run(
        [cpu = m_sources.cpuUsage, processors = m_sources.activeProcessorCount](std::stop_token stop) {
            return std::make_pair(cpu(stop), processors());
        },
        [this](const std::pair<std::optional<double>, int>& result) {
            m_isSamplingCPU = false;
            renderCPU(result.first, result.second);
        },
        [this](const QString&) {
            m_isSamplingCPU = false;
            renderCPU(std::nullopt, 0);
        });
}

void DashboardViewController::renderVolumes(const std::vector<brisklet::VolumeInfo>& volumes)
{
    while (QLayoutItem* item = m_externalCards->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (volumes.empty()) {
        m_diskCard->show(emDash, QStringLiteral("no volume found"), 0, QString());
        m_externalSection->hide();
        return;
    }
    const auto root = std::find_if(volumes.begin(), volumes.end(), [](const brisklet::VolumeInfo& v) { return v.isRoot; });
    const brisklet::VolumeInfo& shown = root != volumes.end() ? *root : volumes.front();
    const std::int64_t used = shown.totalBytes - shown.freeBytes;
    m_diskCard->show(bytes(used), QStringLiteral("used of ") + bytes(shown.totalBytes),
                     shown.totalBytes > 0 ? static_cast<double>(used) / static_cast<double>(shown.totalBytes) : 0.0,
                     bytes(shown.freeBytes) + QStringLiteral(" available"));

    bool anyExternal = false;
    for (const brisklet::VolumeInfo& volume : volumes) {
        if (volume.isRoot || volume.isInternal)
            continue;
        auto* card = new VolumeCardView(volume);
        card->setFixedHeight(112);
        m_externalCards->addWidget(card);
        anyExternal = true;
    }
    m_externalSection->setVisible(anyExternal);
}

void DashboardViewController::renderMemory(const std::optional<brisklet::SystemStats::MemoryUsage>& usage)
{
    if (!usage) {
        m_memoryCard->show(emDash, QStringLiteral("unavailable"), 0, QString());
        return;
    }
    m_memoryCard->show(bytes(usage->usedBytes), QStringLiteral("used of ") + bytes(usage->totalBytes),
                       usage->usedFraction(), bytes(usage->availableBytes()) + QStringLiteral(" available"));
}

void DashboardViewController::renderCPU(std::optional<double> usage, int processors)
{
    const double share = usage.value_or(0.0);
    m_cpuCard->show(QString::asprintf("%.0f%%", share * 100), QStringLiteral("in use"), share,
                    QString::number(processors) + (processors == 1 ? QStringLiteral(" core") : QStringLiteral(" cores")));
}

QString DashboardViewController::updateMessage(const brisklet::SoftwareUpdateStatus& status)
{
    return utf8Text(brisklet::SoftwareUpdateChecker::statusMessage(status));
}

void DashboardViewController::checkForUpdates()
{
    if (m_isCheckingUpdates)
        return;
    m_isCheckingUpdates = true;
    m_checkUpdatesButton->setEnabled(false);
    m_checkUpdatesButton->setText(QStringLiteral("Checking"));
    m_updateStatusLabel->setText(utf8Text(brisklet::hostProfile().updateCheckProgress));
    m_updateStatusLabel->setToolTip(QString());
    m_runner.run([check = m_sources.checkForUpdates](std::stop_token stop) { return check(stop); },
                 [this](const brisklet::SoftwareUpdateStatus& status) {
                     const QString when = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
                     finishCheck(updateMessage(status) + QStringLiteral(" Checked ") + when + QStringLiteral("."));
                 },
                 [this](const QString& error) { finishCheck(error); });
}

void DashboardViewController::finishCheck(const QString& text)
{
    m_updateStatusLabel->setText(text);
    m_updateStatusLabel->setToolTip(text);
    m_isCheckingUpdates = false;
    m_checkUpdatesButton->setEnabled(true);
    m_checkUpdatesButton->setText(checkTitle);
}

void DashboardViewController::openSoftwareUpdate()
{
    m_runner.run([open = m_sources.openSoftwareUpdate](std::stop_token) { return open(); },
                 [this](bool opened) {
                     if (!opened) {
                         const QString failure = utf8Text(brisklet::hostProfile().openUpdaterFailure);
                         m_updateStatusLabel->setText(failure);
                         m_updateStatusLabel->setToolTip(failure);
                     }
                 });
}

void DashboardViewController::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        m_tints.apply();
    QWidget::changeEvent(event);
}
