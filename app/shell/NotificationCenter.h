// The process-wide notification centre: components post a named notification with an optional sender
// object and a user-info map; observers subscribe by name. Delivery is synchronous on the posting
// thread (the GUI thread in this program); an observer's subscription ends with its context object.
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace NotificationNames {
inline const QString switchSection = QStringLiteral("briskletSwitchSection");
inline const QString updateStateChanged = QStringLiteral("briskletUpdateStateChanged");
// Every stored scan was forgotten: nothing shown may still compare with one.
inline const QString scansForgotten = QStringLiteral("briskletScansForgotten");
// User-info key of switchSection: a Section raw value.
inline const QString sectionKey = QStringLiteral("section");
} // namespace NotificationNames

class NotificationCenter : public QObject {
    Q_OBJECT
public:
    static NotificationCenter& shared();

    void post(const QString& name, QObject* object = nullptr, const QVariantMap& userInfo = {});

    using Handler = std::function<void(QObject* object, const QVariantMap& userInfo)>;
    // Calls handler for every notification named name until context is destroyed or removeObserver.
    QMetaObject::Connection addObserver(const QString& name, QObject* context, Handler handler);
    void removeObserver(const QMetaObject::Connection& connection);

signals:
    void posted(const QString& name, QObject* object, const QVariantMap& userInfo);
};
