#include "NotificationCenter.h"

NotificationCenter& NotificationCenter::shared()
{
    static NotificationCenter* center = new NotificationCenter; // lives for the whole process
    return *center;
}

void NotificationCenter::post(const QString& name, QObject* object, const QVariantMap& userInfo)
{
    emit posted(name, object, userInfo);
}

QMetaObject::Connection NotificationCenter::addObserver(const QString& name, QObject* context, Handler handler)
{
    return connect(this, &NotificationCenter::posted, context,
                   [name, handler = std::move(handler)](const QString& postedName, QObject* object,
                                                        const QVariantMap& userInfo) {
                       if (postedName == name)
                           handler(object, userInfo);
                   });
}

void NotificationCenter::removeObserver(const QMetaObject::Connection& connection)
{
    disconnect(connection);
}
