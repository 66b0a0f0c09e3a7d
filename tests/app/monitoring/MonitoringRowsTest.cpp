// The list rules of the processes and ports screens, apart from widgets: search, order, cell texts.
#include "monitoring/PortRows.h"
#include "monitoring/ProcessRows.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {
brisklet::ProcessEntry process(std::int32_t pid, std::string name, std::string user, double cpu, std::int64_t bytes)
{
    return {pid, std::move(name), std::move(user), cpu, bytes, 0};
}

QStringList names(const std::vector<ProcessRow>& rows)
{
    QStringList result;
    for (const ProcessRow& row : rows)
        result << row.name + QLatin1Char('/') + row.pidText;
    return result;
}

brisklet::PortEntry port(std::uint16_t number, std::int32_t pid, std::string address, std::string name = "node")
{
    brisklet::PortEntry entry;
    entry.port = number;
    entry.pid = pid;
    entry.localAddress = std::move(address);
    entry.processName = std::move(name);
    return entry;
}
} // namespace

TEST(ProcessRows, SearchMatchesNameUserOrPidAndSortsWithCodePointTies)
{
    const auto rows = ProcessRows::fromSample({
        process(5012, "bash", "alice", 0.5, 100),
        process(77, "Zsh", "alice", 0.5, 100),
        process(78, "zsh", "alice", 0.5, 100), // same keys as the next one: sample order stays
        process(79, "zsh", "alice", 0.5, 100),
        process(90, "postgres", "root", 0.1, 900),
        process(91, "x501y", "bob", 0.0, 5),
    });
    struct Case {
        QString search;
        ProcessRows::SortKey key;
        QStringList expected;
    } cases[] = {
        {QString(), ProcessRows::SortKey::cpu, {"Zsh/77", "bash/5012", "zsh/78", "zsh/79", "postgres/90", "x501y/91"}},
        {QString(), ProcessRows::SortKey::memory, {"postgres/90", "Zsh/77", "bash/5012", "zsh/78", "zsh/79", "x501y/91"}},
        {QStringLiteral(" \t501\t "), ProcessRows::SortKey::cpu, {"bash/5012", "x501y/91"}},
        {QStringLiteral("ROOT"), ProcessRows::SortKey::cpu, {"postgres/90"}},
        {QStringLiteral("ZSH"), ProcessRows::SortKey::cpu, {"Zsh/77", "zsh/78", "zsh/79"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(names(ProcessRows::visible(rows, c.search, c.key)), c.expected) << c.search.toStdString();
    EXPECT_EQ(ProcessRows::sortKeyForSegment(1), ProcessRows::SortKey::memory);
    EXPECT_EQ(ProcessRows::sortKeyForSegment(-1), ProcessRows::SortKey::cpu);
}

TEST(ProcessRows, CpuFigureIsCappedAndRedOnlyAboveEightTenths)
{
    EXPECT_EQ(ProcessRows::cpuText(0.85), QStringLiteral("85.0%"));
    EXPECT_EQ(ProcessRows::cpuText(12.5), QStringLiteral("999.0%"));
    EXPECT_TRUE(ProcessRows::isBusy(0.85));
    EXPECT_FALSE(ProcessRows::isBusy(0.8));

    const auto rows = ProcessRows::fromSample({process(1, "init", "root", 0, 1000), process(getpid(), "self", "me", 0, 24),
                                               process(4242, "one", "me", 0, 0)});
    EXPECT_EQ(ProcessRows::detailText(rows[0]), QStringLiteral("PID 1 · root · protected"));
    EXPECT_TRUE(rows[1].isProtected);
    EXPECT_EQ(ProcessRows::detailText(rows[2]), QStringLiteral("PID 4242 · me"));
    EXPECT_EQ(ProcessRows::summaryText({rows[2]}), QStringLiteral("1 processes · 0 bytes resident"));
    EXPECT_EQ(ProcessRows::fromSample({process(42, "a\nb\t\x7f", "me\r", 0, 0)})[0].name, QStringLiteral("a\uFFFDb\uFFFD\uFFFD"));
}

TEST(PortRows, GroupsAddressesPerPortAndPidInOrder)
{
    const auto rows = PortRows::group({port(3000, 40, "[::1]"), port(80, 7, "*"), port(3000, 40, "*"),
                                       port(3000, 40, "*"), port(3000, 12, "127.0.0.1")});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].port, 80);
    EXPECT_EQ(rows[1].pid, 12);
    EXPECT_EQ(PortRows::addressText(rows[2]), QStringLiteral("* · [::1]"));
    // Reach: the widest of the row's addresses.
    const auto reach = [](std::vector<std::string> addresses) {
        std::vector<brisklet::PortEntry> entries;
        for (std::string& address : addresses)
            entries.push_back(port(80, 1, std::move(address)));
        return PortRows::reachText(PortRows::group(entries).front());
    };
    EXPECT_EQ(reach({"[::1]", "*"}), QStringLiteral("All networks"));
    EXPECT_EQ(reach({"[::1]", "127.0.0.1"}), QStringLiteral("This computer only"));
    EXPECT_EQ(reach({"127.0.0.1", "192.168.1.5", "10.0.0.2"}), QStringLiteral("10.0.0.2 · 192.168.1.5"));
}

TEST(PortRows, SearchTakesPortPrefixesAndNameOrAddressContainment)
{
    const auto rows = PortRows::group({port(80, 10, "*"), port(8000, 11, "*"), port(8080, 12, "*"),
                                       port(8888, 13, "*"), port(5432, 14, "10.0.0.80", "postgres"),
                                       port(9000, 15, "*", "app80d")});
    QList<int> found;
    for (const PortRow& row : PortRows::visible(rows, QStringLiteral(" 80 ")))
        found << row.port;
    EXPECT_EQ(found, (QList<int>{80, 5432, 8000, 8080, 9000}));
    EXPECT_EQ(PortRows::visible(rows, QStringLiteral("POSTGRES")).size(), 1u);
}

TEST(PortRows, DetailLineAndBrowserAddressFollowThePort)
{
    PortRow row;
    row.port = 631;
    row.pid = 1;
    row.isProtected = true;
    row.parentChain = QStringList{QStringLiteral("cupsd"), QStringLiteral("systemd")};
    EXPECT_EQ(PortRows::detailText(row), QStringLiteral("PID 1 · protected · system port · via cupsd › systemd"));
    row = PortRow{};
    row.port = 1024;
    row.pid = 9;
    EXPECT_EQ(PortRows::detailText(row), QStringLiteral("PID 9"));
    // Another user's socket: named by its owner, said to be theirs, and not stoppable.
    brisklet::PortEntry foreign = port(631, 0, "*", "");
    foreign.user = "cups";
    const PortRow other = PortRows::group({foreign}).front();
    EXPECT_EQ(other.processName, QStringLiteral("cups"));
    EXPECT_EQ(PortRows::detailText(other), QStringLiteral("Belongs to another user · system port"));
    EXPECT_TRUE(other.isProtected);

    EXPECT_EQ(PortRows::browserAddress(443), QStringLiteral("https://localhost:443"));
    EXPECT_EQ(PortRows::browserAddress(8443), QStringLiteral("https://localhost:8443"));
    EXPECT_EQ(PortRows::browserAddress(8080), QStringLiteral("http://localhost:8080"));
    EXPECT_FALSE(PortRows::isHTTPLikely(5432));
    EXPECT_EQ(PortRows::summaryText(0), QString());
    EXPECT_EQ(PortRows::summaryText(1), QStringLiteral("1 listening TCP port"));
    EXPECT_EQ(PortRows::summaryText(2), QStringLiteral("2 listening TCP ports"));
}

TEST(PortRows, UnreadableSocketsKeepTheirOwnersApartAndOwnOnesAreNotCalledAnotherUsers)
{
    const auto unreadable = [](std::uint32_t uid, std::string address) {
        brisklet::PortEntry entry = port(8080, 0, std::move(address), "");
        entry.uid = uid;
        entry.user = "uid " + std::to_string(uid);
        return entry;
    };
    const std::uint32_t me = geteuid();
    // Two users' sockets on one reused port, one of them on two addresses.
    const auto rows = PortRows::group({unreadable(me + 1, "*"), unreadable(me, "*"), unreadable(me, "[::]")});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(PortRows::rowKey(rows[0]), PortRows::rowKey(rows[1]));
    EXPECT_EQ(PortRows::addressText(rows[0]), QStringLiteral("* · [::]"));
    EXPECT_EQ(PortRows::detailText(rows[0]), QStringLiteral("Its process cannot be read"));
    EXPECT_EQ(PortRows::detailText(rows[1]), QStringLiteral("Belongs to another user"));
}
