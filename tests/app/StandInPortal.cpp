// Stand-in for the desktop portal's Settings on a private bus: StandInPortal BUS-ADDRESS COLOR-SCHEME.
// Answers Read of the colour scheme like the real portal (a variant in a variant), prints "ready" once
// the name is owned, and emits SettingChanged for each number read on standard input.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusVariant>
#include <QSocketNotifier>

#include <cstdio>
#include <iostream>
#include <string>

class Settings : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint scheme = 0;

public slots:
    QDBusVariant Read(const QString&, const QString&) { return QDBusVariant(QVariant::fromValue(QDBusVariant(scheme))); }

signals:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLocal8Bit(argv[1]), "portal");
    Settings settings;
    settings.scheme = QString::fromLocal8Bit(argv[2]).toUInt();
    if (!bus.registerObject("/org/freedesktop/portal/desktop", &settings,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)
        || !bus.registerService("org.freedesktop.portal.Desktop"))
        return 1;
    std::cout << "ready" << std::endl;

    QSocketNotifier input(fileno(stdin), QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        std::string line;
        if (!std::getline(std::cin, line))
            return QCoreApplication::quit();
        settings.scheme = QString::fromStdString(line).toUInt();
        emit settings.SettingChanged("org.freedesktop.appearance", "color-scheme", QDBusVariant(settings.scheme));
    });
    return app.exec();
}

#include "StandInPortal.moc"
