#include "PortRows.h"

#include "shell/PathBytes.h"
#include "shell/SearchText.h"

#include "system/ProcessControl.h"

#include <algorithm>
#include <map>
#include <tuple>

#include <unistd.h>

namespace PortRows {

std::vector<PortRow> group(const std::vector<brisklet::PortEntry>& entries)
{
    // Transport order puts TCP before UDP, as the rows are sorted. Sockets of different users that
    // share a port (SO_REUSEPORT) and show no process stay apart by their owner.
    using Key = std::tuple<int, std::uint16_t, std::int32_t, std::int64_t>;
    const std::uint32_t me = geteuid();
    std::map<Key, PortRow> groups;
    std::map<Key, std::vector<std::string>> addresses;
    for (const brisklet::PortEntry& entry : entries) {
        const std::int64_t owner = entry.hasProcess() || !entry.uid ? -1 : std::int64_t(*entry.uid);
        const Key key{static_cast<int>(entry.transport), entry.port, entry.pid, owner};
        auto [it, inserted] = groups.try_emplace(key);
        if (inserted) {
            PortRow& row = it->second;
            row.transport = entry.transport;
            row.port = entry.port;
            row.pid = entry.pid;
            row.uid = entry.uid;
            row.isOwn = entry.uid == me;
            row.startTicks = entry.startTicks;
            // Without a readable process the socket's owner is all there is to name.
            row.processName = utf8Text(entry.hasProcess() ? entry.processName : entry.user);
            if (entry.command)
                row.command = utf8Text(*entry.command);
            for (const std::string& name : entry.parentChain)
                row.parentChain << utf8Text(name);
            row.isProtected = brisklet::ProcessControl::isProtected(entry.pid);
        }
        std::vector<std::string>& list = addresses[key];
        if (std::find(list.begin(), list.end(), entry.localAddress) == list.end())
            list.push_back(entry.localAddress);
    }
    std::vector<PortRow> rows;
    rows.reserve(groups.size());
    for (auto& [key, row] : groups) {
        std::vector<std::string>& list = addresses[key];
        std::sort(list.begin(), list.end()); // bytes of UTF-8: code-point order
        for (const std::string& address : list)
            row.addresses << utf8Text(address);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<PortRow> visible(const std::vector<PortRow>& all, const QString& search)
{
    const QString text = SearchText::trimmed(search);
    if (text.isEmpty())
        return all;
    std::vector<PortRow> kept;
    for (const PortRow& row : all)
        if (QString::number(row.port).startsWith(text) || row.processName.contains(text, Qt::CaseInsensitive) ||
            addressText(row).contains(text, Qt::CaseInsensitive) || reachText(row).contains(text, Qt::CaseInsensitive))
            kept.push_back(row);
    return kept;
}

QString rowKey(const PortRow& row)
{
    QString key = transportName(row.transport) + QLatin1Char('-') + QString::number(row.port) + QLatin1Char('-') +
                  QString::number(row.pid);
    if (row.pid == 0 && row.uid)
        key += QStringLiteral("-uid") + QString::number(*row.uid);
    return key;
}

QString addressText(const PortRow& row) { return row.addresses.join(QStringLiteral(" · ")); }

bool isOpenToAllNetworks(const PortRow& row)
{
    return std::any_of(row.addresses.begin(), row.addresses.end(), [](const QString& address) {
        return brisklet::reachOf(utf8String(address)) == brisklet::PortReach::allNetworks;
    });
}

QString reachText(const PortRow& row)
{
    if (isOpenToAllNetworks(row))
        return QStringLiteral("All networks");
    QStringList reached;
    for (const QString& address : row.addresses)
        if (brisklet::reachOf(utf8String(address)) == brisklet::PortReach::oneAddress)
            reached << address;
    return reached.isEmpty() ? QStringLiteral("This computer only") : reached.join(QStringLiteral(" · "));
}

QString failureText(const QString& reason)
{
    return QStringLiteral("Couldn't read the listening ports. ") + reason;
}

QString detailText(const PortRow& row)
{
    if (row.pid == 0)
        return unreadableText(row) + (row.port < 1024 ? QStringLiteral(" · system port") : QString());
    QString text = QStringLiteral("PID ") + QString::number(row.pid);
    if (row.isProtected)
        text += QStringLiteral(" · protected");
    if (row.port < 1024)
        text += QStringLiteral(" · system port");
    if (!row.parentChain.isEmpty())
        text += QStringLiteral(" · via ") + row.parentChain.join(QStringLiteral(" › "));
    return text;
}

QString unreadableText(const PortRow& row)
{
    return row.isOwn ? QStringLiteral("Its process cannot be read") : QStringLiteral("Belongs to another user");
}

QString summaryText(std::size_t count)
{
    if (count == 0)
        return {};
    return QString::number(count) + QStringLiteral(" listening TCP port") + (count == 1 ? QString() : QStringLiteral("s"));
}

QString browserAddress(std::uint16_t port)
{
    const bool secure = port == 443 || port == 8443;
    return (secure ? QStringLiteral("https") : QStringLiteral("http")) + QStringLiteral("://localhost:") + QString::number(port);
}

bool isHTTPLikely(std::uint16_t port)
{
    brisklet::PortEntry entry;
    entry.port = port;
    return entry.isHTTPLikely();
}

QString transportName(brisklet::PortEntry::Transport transport)
{
    const std::string_view raw = brisklet::toRawString(transport);
    return utf8Text(raw);
}

} // namespace PortRows
