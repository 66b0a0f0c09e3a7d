// The ports list's rules, apart from any widget.
//
// Grouping: entries with the same transport, port and pid become one row (sockets without a readable
// process: also the same owner); its addresses are the group's distinct local addresses in code-point
// order, the rest comes from the group's first entry. Rows are ordered TCP first, then by port, then
// by pid, then by owner.
// Reach: who can connect, from the row's local addresses: "All networks" when any is a wildcard,
// otherwise its addresses that are not loopback ones, otherwise "This computer only".
// Search: the text trimmed of spaces and tabs; empty keeps all. Otherwise a row stays when its port
// begins with the text (80 finds 80, 8000 and 8080, not 8888), or its process name, its joined
// addresses or its reach contain the text case-insensitively.
#pragma once

#include "system/PortScanner.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

struct PortRow {
    brisklet::PortEntry::Transport transport = brisklet::PortEntry::Transport::tcp;
    std::uint16_t port = 0;
    std::int32_t pid = 0; // 0: the socket's process cannot be read
    std::optional<std::uint32_t> uid; // the socket's owner, when known
    bool isOwn = false;               // owned by this program's user
    std::uint64_t startTicks = 0;
    QString processName;
    QStringList addresses;
    std::optional<QString> command;
    QStringList parentChain;
    bool isProtected = false;
};

namespace PortRows {

std::vector<PortRow> group(const std::vector<brisklet::PortEntry>& entries);
std::vector<PortRow> visible(const std::vector<PortRow>& all, const QString& search);
// Names a row across reads, to keep the user's place: "TCP-8080-4242", "TCP-631-0-uid7" for a socket
// without a readable process.
QString rowKey(const PortRow& row);

QString addressText(const PortRow& row);
QString reachText(const PortRow& row);
// True when the port is open to every network: shown in the warning colour.
bool isOpenToAllNetworks(const PortRow& row);
// The summary after a failed read: the reason, with no rows to count.
QString failureText(const QString& reason);
// "PID 631 · protected · system port · via cupsd › systemd". Without a readable process: "Belongs to
// another user · system port", or for one's own socket (a process in another PID namespace, or one
// that is not dumpable) "Its process cannot be read".
QString detailText(const PortRow& row);
// Why a socket without a readable process cannot be stopped here.
QString unreadableText(const PortRow& row);
// "3 listening TCP ports"; empty for no rows.
QString summaryText(std::size_t count);
// The address Open shows: https for 443 and 8443, http otherwise.
QString browserAddress(std::uint16_t port);
bool isHTTPLikely(std::uint16_t port);
// "TCP" or "UDP".
QString transportName(brisklet::PortEntry::Transport transport);

} // namespace PortRows
