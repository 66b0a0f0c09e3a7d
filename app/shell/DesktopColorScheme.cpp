#include "DesktopColorScheme.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString interface = QStringLiteral("org.freedesktop.portal.Settings");
const QString group = QStringLiteral("org.freedesktop.appearance");
const QString key = QStringLiteral("color-scheme");

// Read wraps the value in one variant more than the signal does; unwrap all of them.
QVariant unwrapped(QVariant value)
{
    while (value.userType() == qMetaTypeId<QDBusVariant>())
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}
} // namespace

DesktopColorScheme::DesktopColorScheme(const QDBusConnection& bus, QObject* parent) : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected()) {
        m_answered = true;
        return;
    }
    m_bus.connect(service, path, interface, QStringLiteral("SettingChanged"), this,
                  SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Read"));
    read << group << key;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        m_answered = true;
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (!reply.isError())
            update(reply.argumentAt(0));
    });
}

DesktopColorScheme& DesktopColorScheme::session()
{
    static DesktopColorScheme* shared = new DesktopColorScheme(QDBusConnection::sessionBus(), QCoreApplication::instance());
    return *shared;
}

void DesktopColorScheme::settingChanged(const QString& changedGroup, const QString& changedKey,
                                        const QDBusVariant& value)
{
    if (changedGroup == group && changedKey == key)
        update(value.variant());
}

void DesktopColorScheme::update(const QVariant& value)
{
    bool ok = false;
    const uint scheme = unwrapped(value).toUInt(&ok);
    Preference preference = Preference::unknown;
    if (ok) {
        switch (scheme) {
        case 0: preference = Preference::none; break;
        case 1: preference = Preference::dark; break;
        case 2: preference = Preference::light; break;
        default: break; // a value added later: treated as no preference we know
        }
    }
    if (preference == m_preference)
        return;
    m_preference = preference;
    emit changed(preference);
}
