// One Brisklet per user session. The first launch owns the name io.brisklet.Brisklet on the session bus
// and answers Activate(folder) on /io/brisklet/Brisklet; a later launch calls that and ends, so its
// window and FOLDER argument go to the running program. The folder travels as bytes ("ay"). Without a
// session bus every launch simply runs.
#pragma once

#include <QDBusConnection>
#include <QObject>

class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.brisklet.Brisklet")
public:
    static inline const QString serviceName = QStringLiteral("io.brisklet.Brisklet");
    static inline const QString objectPath = QStringLiteral("/io/brisklet/Brisklet");

    enum class Claim {
        first,      // this process owns the name and answers later launches
        handedOver, // another process owns it and took the folder: this one ends
        alone,      // no bus, or the owner did not answer: this process runs by itself
    };

    explicit SingleInstance(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the name, or hands folder (absolute, as bytes; may be empty) to the process that has it.
    // Runs before the window exists; the hand-over waits for the owner's answer at most a few seconds.
    Claim claim(const QByteArray& folder);

public Q_SLOTS:
    Q_SCRIPTABLE void Activate(const QByteArray& folder);

Q_SIGNALS:
    // A later launch asked for the window, with its folder (empty when it gave none).
    void activated(const QByteArray& folder);

private:
    QDBusConnection m_bus;
    bool m_owner = false;
};
