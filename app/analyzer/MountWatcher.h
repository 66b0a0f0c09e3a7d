// MountWatcher: tells when something is mounted or unmounted.
//
// The kernel flags /proc/self/mountinfo with an exceptional condition whenever the mount table changes;
// a socket notifier watches for it, so nothing polls. A burst of changes (a disk with several
// partitions) is reported once, 250 ms after the last one. GUI thread only.
#pragma once

#include <QObject>
#include <QTimer>

class QSocketNotifier;

class MountWatcher : public QObject {
    Q_OBJECT
public:
    explicit MountWatcher(QObject* parent = nullptr);
    ~MountWatcher() override;

signals:
    void mountsChanged();

private:
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_settle;
};
