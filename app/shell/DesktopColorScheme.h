// The desktop's light or dark preference, read from the XDG desktop portal over D-Bus and followed
// live. The portal's Settings interface answers Read("org.freedesktop.appearance", "color-scheme") with
// 0 (no preference), 1 (prefer dark) or 2 (prefer light) and signals every change with SettingChanged.
//
// The first answer is asked for without waiting (the GUI thread never blocks on the bus); changed()
// is emitted when it arrives and on every later change. Without a session bus, a portal or the key,
// the preference stays unknown and nothing is emitted.
#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusVariant;

class DesktopColorScheme : public QObject {
    Q_OBJECT
public:
    enum class Preference { unknown, none, dark, light };

    explicit DesktopColorScheme(const QDBusConnection& bus, QObject* parent = nullptr);
    // The one on the user's session bus, created on first use and kept for the application's life.
    static DesktopColorScheme& session();

    Preference preference() const { return m_preference; }
    // Whether the first read has been answered (successfully or not).
    bool hasAnswered() const { return m_answered; }

signals:
    void changed(DesktopColorScheme::Preference preference);

private slots:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void update(const QVariant& value);

    QDBusConnection m_bus;
    Preference m_preference = Preference::unknown;
    bool m_answered = false;
};
