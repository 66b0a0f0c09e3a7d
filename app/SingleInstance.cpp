#include "SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

SingleInstance::SingleInstance(QDBusConnection bus, QObject* parent) : QObject(parent), m_bus(std::move(bus)) {}

SingleInstance::~SingleInstance()
{
    if (m_owner) {
        m_bus.unregisterObject(objectPath);
        m_bus.unregisterService(serviceName);
    }
}

SingleInstance::Claim SingleInstance::claim(const QByteArray& folder)
{
    if (!m_bus.isConnected() || !m_bus.interface())
        return Claim::alone;
    // The object first, so a launch that finds the name finds someone to answer.
    if (!m_bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots))
        return Claim::alone;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = m_bus.interface()->registerService(
        serviceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_owner = true;
        return Claim::first;
    }
    m_bus.unregisterObject(objectPath);
    if (!reply.isValid())
        return Claim::alone;
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName, objectPath, serviceName, QStringLiteral("Activate"));
    call << folder;
    const QDBusMessage answer = m_bus.call(call, QDBus::Block, 5000);
    return answer.type() == QDBusMessage::ReplyMessage ? Claim::handedOver : Claim::alone;
}

void SingleInstance::Activate(const QByteArray& folder)
{
    emit activated(folder);
}
