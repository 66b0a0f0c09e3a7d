// One volume as a card: drive symbol, name and mount point, "X used of Y", a usage bar and the free
// space. Built once from a VolumeInfo and never updated; a new reading gets a new card. Display only:
// hosts that want a clickable card wrap it.
#pragma once

#include "ScreenStyle.h"
#include "system/VolumeReader.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

class VolumeCardView : public QWidget {
    Q_OBJECT
public:
    explicit VolumeCardView(const brisklet::VolumeInfo& volume, QWidget* parent = nullptr);

    const brisklet::VolumeInfo& volume() const { return m_volume; }
    // "internaldrive.fill" for the start-up volume, "internaldrive" for another internal one,
    // "externaldrive" otherwise.
    QString symbolName() const;

    QLabel* nameLabel() const { return m_name; }
    QLabel* mountPointLabel() const { return m_mountPoint; }
    QLabel* usageLabel() const { return m_usage; }
    QLabel* availableLabel() const { return m_available; }
    QProgressBar* bar() const { return m_bar; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyColors();

    brisklet::VolumeInfo m_volume;
    QLabel* m_icon = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_mountPoint = nullptr;
    QLabel* m_usage = nullptr;
    QLabel* m_available = nullptr;
    QProgressBar* m_bar = nullptr;
    ScreenStyle::LabelTints m_tints;
};
