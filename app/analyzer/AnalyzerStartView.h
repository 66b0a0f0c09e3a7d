// AnalyzerStartView: the disk and folder picker shown before a scan.
//
// A centred column 560 wide: the heading, one clickable card per mounted volume, and the dashed drop
// zone with "Select Folder". Clicking a card asks to scan its mount point (onPickVolume); the drop zone
// and its button ask to choose a folder (onPickFolder). While busy (a scan runs) the zone and the button
// are disabled and card clicks are ignored.
//
// refreshVolumes() reads the mounted volumes on a worker and rebuilds the cards when the answer comes;
// a newer refresh drops the answer of an older one, so the cards always show the latest reading; it also
// refreshes the recent scans listed under the drop zone.
#pragma once

#include "shell/BackgroundRunner.h"
#include "system/VolumeReader.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;
class RecentScansView;
class VolumeCardView;

// The dashed panel that stands for "choose a folder": a click anywhere on it calls onClick.
class DropZoneView : public QWidget {
    Q_OBJECT
public:
    explicit DropZoneView(QWidget* parent = nullptr);
    QPushButton* selectButton() const { return m_selectButton; }
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPushButton* m_selectButton = nullptr;
};

// A volume card that can be clicked, or pressed with Return or Space when focused.
class ClickableVolumeCard : public QWidget {
    Q_OBJECT
public:
    explicit ClickableVolumeCard(const brisklet::VolumeInfo& volume, QWidget* parent = nullptr);
    VolumeCardView* card() const { return m_card; }
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    VolumeCardView* m_card = nullptr;
};

class AnalyzerStartView : public QWidget {
    Q_OBJECT
public:
    explicit AnalyzerStartView(QWidget* parent = nullptr);

    void refreshVolumes();
    // Replaces the cards with one per volume.
    void showVolumes(const std::vector<brisklet::VolumeInfo>& volumes);

    bool isBusy() const { return m_isBusy; }
    void setBusy(bool busy);

    DropZoneView* dropZone() const { return m_dropZone; }
    QPushButton* selectButton() const;
    std::vector<ClickableVolumeCard*> cards() const;
    RecentScansView* recentScans() const { return m_recentScans; }

    std::function<void()> onPickFolder;
    std::function<void(const QString& mountPoint)> onPickVolume;

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColors();

    QLabel* m_icon = nullptr;
    QLabel* m_hint = nullptr;
    QVBoxLayout* m_diskStack = nullptr;
    DropZoneView* m_dropZone = nullptr;
    RecentScansView* m_recentScans = nullptr;
    bool m_isBusy = false;
    BackgroundRunner m_volumeRunner{this};
};
