#include "ChildProcess.h"
#include "SystemTestSupport.h"
#include "system/PortScanner.h"
#include "system/ProcFiles.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_set>

using namespace brisklet;

namespace {

std::string lines(std::initializer_list<const char*> items) {
    std::string text;
    for (const char* item : items)
        text += std::string(item) + "\n";
    return text;
}

PortEntry entry(std::string address, std::uint16_t port, std::int32_t pid, std::string name) {
    return PortEntry{.transport = PortEntry::Transport::tcp,
                     .localAddress = std::move(address),
                     .port = port,
                     .pid = pid,
                     .processName = std::move(name),
                     .command = std::nullopt,
                     .parentChain = {},
                     .user = {},
                     .startTicks = 0,
                     .uid = std::nullopt,
                     .inode = 0};
}

// A listening socket on the loopback address (127.0.0.1 or ::1) with a port the kernel picks; port 0
// when it could not be opened.
struct ListeningSocket {
    int family;
    int fd = -1;
    std::uint16_t port = 0;
    explicit ListeningSocket(int family = AF_INET) : family(family) {
        fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in6 address{}; // large enough for either family
        socklen_t length = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        if (family == AF_INET) {
            auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
            v4->sin_family = AF_INET;
            v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        } else {
            address.sin6_family = AF_INET6;
            address.sin6_addr = in6addr_loopback;
        }
        auto* any = reinterpret_cast<sockaddr*>(&address);
        if (bind(fd, any, length) == 0 && listen(fd, 4) == 0 && getsockname(fd, any, &length) == 0)
            port = ntohs(address.sin6_port); // the port sits at the same offset in both
    }
    ~ListeningSocket() { close(fd); }
    std::uint64_t inode() const {
        struct stat status {};
        return fstat(fd, &status) == 0 ? status.st_ino : 0;
    }
};

} // namespace

TEST(LsofFieldParsing, KeepsBothSocketsOfOneProcessInStableOrder) {
    const auto parsed = PortScanner::parse(lines({"p100", "cnode", "f23", "PTCP", "TST=LISTEN", "n*:3000", "f24", "PTCP",
                                                  "TST=LISTEN", "n[::1]:3000"}));
    EXPECT_EQ(parsed, (std::vector<PortEntry>{entry("*", 3000, 100, "node"), entry("[::1]", 3000, 100, "node")}));
}

TEST(LsofFieldParsing, FilesWithoutDescriptorLinesAreNotMergedIntoOne) {
    // The shape Linux lsof prints for -F pcPTn: no "f" line, each file starts with its protocol.
    const auto parsed = PortScanner::parse(lines({"p9013", "cpython3", "PTCP", "n[::1]:55577", "TST=LISTEN", "TQR=0",
                                                  "TQS=0", "PTCP", "n127.0.0.1:53075", "TST=LISTEN", "TQR=0", "TQS=0"}));
    EXPECT_EQ(parsed, (std::vector<PortEntry>{entry("127.0.0.1", 53075, 9013, "python3"),
                                              entry("[::1]", 55577, 9013, "python3")}));
}

TEST(LsofFieldParsing, SkipsDuplicatesConnectedSocketsStatelessAndNonTcpFiles) {
    const auto parsed = PortScanner::parse(lines({
        "p100", "cnode",
        "f3", "PTCP", "TST=LISTEN", "n*:8080",
        "f4", "PTCP", "TST=LISTEN", "n*:8080",                          // same socket again
        "f5", "PTCP", "TST=LISTEN", "n127.0.0.1:5000->127.0.0.1:61000", // connected
        "f6", "PTCP", "TQR=0", "n*:6000",                               // no state at all
        "f7", "PUDP", "TST=LISTEN", "n*:53",                            // not TCP
        "f8", "PTCP", "TST=ESTABLISHED", "n*:7000",
        "f9", "PTCP", "TST=listen", "n*:*",                             // no port
        "f10", "PTCP", "TST=listen", "n10.0.0.1:70000",                 // port out of range
        "f11", "PTCP", "Tst=listen", "n*:7100",                         // state tag spelled otherwise
        "f12", "PTCP", "TST=listen", "n*:7200",                         // lower-case state is fine
    }));
    EXPECT_EQ(parsed, (std::vector<PortEntry>{entry("*", 7200, 100, "node"), entry("*", 8080, 100, "node")}));
}

TEST(LsofFieldParsing, NamesPidOnlyProcessesAndSortsByPortThenPid) {
    const auto parsed = PortScanner::parse(lines({
        "p300", "cnginx", "f1", "PTCP", "TST=LISTEN", "n*:8080",
        "p200", "f1", "PTCP", "TST=LISTEN", "n*:443",
        "p100", "cnginx", "f1", "PTCP", "TST=LISTEN", "n*:80",
        "p150", "chttpd", "f1", "PTCP", "TST=LISTEN", "n*:8080",
    }));
    ASSERT_EQ(parsed.size(), 4u);
    EXPECT_EQ(parsed[0], entry("*", 80, 100, "nginx"));
    EXPECT_EQ(parsed[1], entry("*", 443, 200, "PID 200"));
    EXPECT_EQ(parsed[2], entry("*", 8080, 150, "httpd"));
    EXPECT_EQ(parsed[3], entry("*", 8080, 300, "nginx"));
}

TEST(LsofFieldParsing, IgnoresGarbageAndBlocksWithoutAUsablePid) {
    const auto parsed = PortScanner::parse(lines({"", "garbage", "xyz", "pabc", "cghost", "f1", "PTCP", "TST=LISTEN",
                                                  "n*:1234", "p-", "\xff\xfe", "p77", "f1", "PTCP", "TST=LISTEN",
                                                  "n*:22"}));
    EXPECT_EQ(parsed, (std::vector<PortEntry>{entry("*", 22, 77, "PID 77")}));
    EXPECT_TRUE(PortScanner::parse("").empty());
}

TEST(AddressSplitting, HandlesWildcardIPv4BracketedIPv6AndBadPorts) {
    using Result = std::optional<std::pair<std::string, std::uint16_t>>;
    EXPECT_EQ(PortScanner::splitAddressPort("*:8080"), Result({"*", 8080}));
    EXPECT_EQ(PortScanner::splitAddressPort("127.0.0.1:5000"), Result({"127.0.0.1", 5000}));
    EXPECT_EQ(PortScanner::splitAddressPort("[::1]:3000"), Result({"[::1]", 3000}));
    EXPECT_EQ(PortScanner::splitAddressPort("[fe80::1%eth0]:65535"), Result({"[fe80::1%eth0]", 65535}));
    EXPECT_EQ(PortScanner::splitAddressPort("no-colon"), std::nullopt);
    EXPECT_EQ(PortScanner::splitAddressPort("*:*"), std::nullopt);
    EXPECT_EQ(PortScanner::splitAddressPort("*:"), std::nullopt);
    EXPECT_EQ(PortScanner::splitAddressPort("*:65536"), std::nullopt);
    EXPECT_EQ(PortScanner::splitAddressPort("[::1]3000"), std::nullopt);
    EXPECT_EQ(PortScanner::splitAddressPort("[::1]:"), std::nullopt);
    EXPECT_EQ(PortScanner::splitAddressPort("*:80a"), std::nullopt);
}

TEST(PortReach, LoopbackIsThisComputerWildcardsAllNetworksOtherAddressesTheirOwn) {
    const std::pair<const char*, PortReach> cases[] = {
        {"127.0.0.1", PortReach::thisComputer},   {"127.53.0.1", PortReach::thisComputer},
        {"[::1]", PortReach::thisComputer},       {"[::ffff:127.0.0.1]", PortReach::thisComputer},
        {"*", PortReach::allNetworks},            {"0.0.0.0", PortReach::allNetworks},
        {"[::]", PortReach::allNetworks},         {"[::ffff:0.0.0.0]", PortReach::allNetworks},
        {"192.168.1.5", PortReach::oneAddress},   {"[fe80::1%eth0]", PortReach::oneAddress},
        {"128.0.0.1", PortReach::oneAddress},     {"[::2]", PortReach::oneAddress},
    };
    for (const auto& [address, reach] : cases)
        EXPECT_EQ(reachOf(address), reach) << address;
}

TEST(PortEntryProperties, IdClassificationAndHashFollowTheFields) {
    PortEntry vite = entry("127.0.0.1", 5173, 4242, "node");
    EXPECT_EQ(vite.id(), "TCP-127.0.0.1-5173-4242");
    EXPECT_EQ(vite.localURLText(), "localhost:5173");
    EXPECT_TRUE(vite.isHTTPLikely());
    EXPECT_FALSE(vite.isSystemPort());
    EXPECT_FALSE(entry("*", 5432, 1, "postgres").isHTTPLikely());
    EXPECT_TRUE(entry("*", 631, 1, "cupsd").isSystemPort());
    EXPECT_FALSE(entry("*", 1024, 1, "x").isSystemPort());

    PortEntry withCommand = vite;
    withCommand.command = "node vite";
    EXPECT_NE(vite, withCommand);
    std::unordered_set<PortEntry> set{vite, withCommand, vite};
    EXPECT_EQ(set.size(), 2u);
}

TEST(LsofFailure, DescribesTheStatus) {
    EXPECT_EQ(PortScanner::ScanError::lsofFailed(2).description(), "lsof exited with status 2.");
}

TEST(PsListing, ParentChainStopsAtInitAndAfterFourNames) {
    const auto context = PortScanner::ProcessContext::fromPsOutput(lines({
        "150 1 /Applications/Terminal /Applications/Terminal",
        "200 150 /usr/bin/login login -pf me",
        "300 200 /bin/zsh -zsh",
        "400 300 /usr/local/bin/npm npm run dev",
        "500 400 /usr/local/bin/node node server.js",
    }));
    EXPECT_EQ(context.parentChain(500, 4), (std::vector<std::string>{"node", "npm", "zsh", "login"}));
    EXPECT_EQ(context.parentChain(500, 0), std::vector<std::string>{});
    EXPECT_EQ(context.parentChain(150, 4), std::vector<std::string>{});
    EXPECT_EQ(context.parentChain(999, 4), std::vector<std::string>{});
    EXPECT_EQ(context.command(400), "npm run dev");
}

TEST(PsListing, SpaceSeparatedExecutablePathsAreCutAtTheFirstSpace) {
    const auto context = PortScanner::ProcessContext::fromPsOutput(lines({
        "42 1 /usr/sbin/tool /usr/sbin/tool -d",
        "7 1 /Applications/My Tool.app/Contents/MacOS/My Tool /Applications/My Tool.app/Contents/MacOS/My Tool",
    }));
    EXPECT_EQ(context.parent(42), std::make_pair(std::int32_t(1), std::string("tool")));
    EXPECT_EQ(context.command(42), "/usr/sbin/tool -d");
    EXPECT_EQ(context.parent(7), std::make_pair(std::int32_t(1), std::string("My")));
    EXPECT_EQ(context.command(7),
              "Tool.app/Contents/MacOS/My Tool /Applications/My Tool.app/Contents/MacOS/My Tool");
}

TEST(PsListing, PaddedNameColumnKeepsNamesWithSpacesAndCleanCommands) {
    // procps pads comm= to 15 characters; names may hold spaces.
    const auto context = PortScanner::ProcessContext::fromPsOutput(
        "    1     0 systemd         /sbin/init\n"
        " 8632  8629 a b c           /tmp/a b c 5\n"
        " 8634  8629 averyveryverylo /tmp/averyveryverylongname 5\n"
        "   12     2 kworker/0:1-eve [kworker/0:1-events]\n");
    EXPECT_EQ(context.parent(8632), std::make_pair(std::int32_t(8629), std::string("a b c")));
    EXPECT_EQ(context.command(8632), "/tmp/a b c 5");
    EXPECT_EQ(context.parent(8634), std::make_pair(std::int32_t(8629), std::string("averyveryverylo")));
    EXPECT_EQ(context.parent(12), std::make_pair(std::int32_t(2), std::string("kworker/0:1-eve")));
    EXPECT_EQ(context.command(1), "/sbin/init");
}

TEST(PsListing, PaddedNameColumnCountsWideAndCombiningCharactersAsPsPrintsThem) {
    // In a UTF-8 locale procps pads by display cells: a CJK character takes two, a combining accent none.
    // One such name must not make every other line fall back to the space-separated reading.
    const auto context = PortScanner::ProcessContext::fromPsOutput(
        "    1     0 systemd         /sbin/init\n"
        " 4242     1 \u65e5\u672c\u8a9e\u30c6\u30b9      /opt/jp/app --serve\n"
        " 4243     1 Cafe\u0301 Bar        /opt/cafe/bar\n"
        " 4244     1 Web Content     /usr/lib/firefox/firefox -contentproc\n");
    EXPECT_EQ(context.parent(4242),
              std::make_pair(std::int32_t(1), std::string("\u65e5\u672c\u8a9e\u30c6\u30b9")));
    EXPECT_EQ(context.command(4242), "/opt/jp/app --serve");
    EXPECT_EQ(context.parent(4243), std::make_pair(std::int32_t(1), std::string("Cafe\u0301 Bar")));
    EXPECT_EQ(context.command(4243), "/opt/cafe/bar");
    EXPECT_EQ(context.parent(4244), std::make_pair(std::int32_t(1), std::string("Web Content")));
    EXPECT_EQ(context.command(4244), "/usr/lib/firefox/firefox -contentproc");
}

TEST(PsListing, RealPsInAUtf8LocaleKeepsSpacedNamesBesideAWideName) {
    const pid_t wide = test::startSleepingChild("\u65e5\u672c\u8a9e\u30c6\u30b9");
    const pid_t spaced = test::startSleepingChild("brisk spaced");
    const char* previous = std::getenv("LC_ALL");
    const std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
    setenv("LC_ALL", "C.UTF-8", 1); // ps inherits it and prints the wide name as it is
    const auto context = PortScanner::ProcessContext::current();
    saved ? setenv("LC_ALL", saved->c_str(), 1) : unsetenv("LC_ALL");
    test::stopChild(wide);
    test::stopChild(spaced);

    ASSERT_TRUE(context.parent(spaced));
    EXPECT_EQ(context.parent(spaced)->second, "brisk spaced");
    ASSERT_TRUE(context.parent(wide));
    EXPECT_EQ(context.parent(wide)->second, "\u65e5\u672c\u8a9e\u30c6\u30b9");
}

TEST(PsListing, ANarrowColumnsSettingDoesNotCutCommandLines) {
    // procps cuts every line at $COLUMNS, which a terminal or `watch` may have exported.
    std::ifstream cmdline("/proc/self/cmdline");
    std::string ownCommand, argument;
    while (std::getline(cmdline, argument, '\0'))
        ownCommand += (ownCommand.empty() ? "" : " ") + argument;
    ASSERT_GT(ownCommand.size(), 40u);
    const char* previous = std::getenv("COLUMNS");
    const std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
    setenv("COLUMNS", "40", 1);
    const auto context = PortScanner::ProcessContext::current();
    saved ? setenv("COLUMNS", saved->c_str(), 1) : unsetenv("COLUMNS");
    EXPECT_EQ(context.command(getpid()), ownCommand);
}

TEST(PsListing, SkipsMalformedLinesAndLetsLaterLinesWin) {
    const auto context = PortScanner::ProcessContext::fromPsOutput(lines({
        "", "   ", "PID PPID COMM COMMAND", "12", "12 x tool", "x 12 tool", "99999999999 1 big",
        "\t33 1 /bin/first first\t", "33 2 /bin/second second -v", "34 1 /bin/short",
        "35   1   /bin/padded     padded  --flag",
    }));
    EXPECT_EQ(context.parent(12), std::nullopt);
    EXPECT_EQ(context.parent(33), std::make_pair(std::int32_t(2), std::string("second")));
    EXPECT_EQ(context.command(33), "second -v");
    EXPECT_EQ(context.parent(34), std::make_pair(std::int32_t(1), std::string("short")));
    EXPECT_EQ(context.command(34), std::nullopt);
    EXPECT_EQ(context.command(35), "padded  --flag");
}

TEST(ListeningPorts, FindsASocketOfAChildWithCommandLineAndParents) {
    ListeningSocket socket;
    ASSERT_NE(socket.port, 0);
    // The child inherits the socket and gets a name with a space, as ps prints it padded.
    const pid_t child = test::startSleepingChild("brisk listen");
    ASSERT_GT(child, 0);
    const std::string ownName = test::processName(getpid());

    const std::uint64_t childStart = ProcStat::read(child)->startTicks;
    const auto ports = PortScanner::listeningPorts();
    test::stopChild(child);

    std::ifstream cmdline("/proc/self/cmdline");
    std::string ownExecutable;
    std::getline(cmdline, ownExecutable, '\0');
    bool foundChild = false, foundSelf = false;
    for (const PortEntry& port : ports) {
        if (port.port != socket.port)
            continue;
        EXPECT_EQ(port.localAddress, "127.0.0.1");
        EXPECT_EQ(port.user, getpwuid(geteuid())->pw_name);
        ASSERT_TRUE(port.command.has_value());
        EXPECT_TRUE(port.command->starts_with(ownExecutable)) << *port.command;
        if (port.pid == child) {
            foundChild = true;
            EXPECT_EQ(port.startTicks, childStart);
            EXPECT_TRUE(std::string("brisk listen").starts_with(port.processName)) << port.processName;
            ASSERT_GE(port.parentChain.size(), 2u);
            EXPECT_EQ(port.parentChain[0], "brisk listen");
            EXPECT_EQ(port.parentChain[1], ownName);
        } else if (port.pid == getpid()) {
            foundSelf = true;
            ASSERT_FALSE(port.parentChain.empty());
            EXPECT_EQ(port.parentChain[0], ownName);
        }
    }
    EXPECT_TRUE(foundChild);
    EXPECT_TRUE(foundSelf);
    EXPECT_TRUE(test::hasNoChildren());
}

TEST(ListeningPorts, ControlBytesInACommandLineAreShownAsSpaces) {
    // Any local user chooses their arguments: a newline would split a printed row, an escape sequence
    // would reach the terminal of whoever lists the ports.
    ListeningSocket socket;
    ASSERT_NE(socket.port, 0);
    const pid_t child = fork();
    if (child == 0) {
        fcntl(socket.fd, F_SETFD, 0); // the exec'd program holds the socket
        execl("/usr/bin/python3", "python3", "-c", "import time; time.sleep(30)", "\n\x1b[2J",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);
    std::optional<std::string> command;
    for (int attempt = 0; attempt < 200 && !command; ++attempt) {
        for (const PortEntry& port : PortScanner::listeningPorts())
            if (port.pid == child && port.command && port.command->starts_with("python3 -c"))
                command = port.command;
        if (!command)
            usleep(10'000);
    }
    test::stopChild(child);
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(*command, "python3 -c import time; time.sleep(30)   [2J");
}

TEST(KernelSockets, NetlinkAndProcNetAgreeOnIPv4AndIPv6Listeners) {
    // Each source read independently: the fallback must decode the kernel's word order the same way.
    ListeningSocket v4;
    ListeningSocket v6(AF_INET6);
    ASSERT_NE(v4.port, 0);
    const auto netlink = PortScanner::netlinkListeningSockets();
    const auto procNet = PortScanner::procNetListeningSockets();
    ASSERT_TRUE(netlink.has_value());
    ASSERT_TRUE(procNet.has_value());
    for (const ListeningSocket* socket : {&v4, &v6}) {
        if (socket->port == 0)
            continue; // no IPv6 here
        const PortScanner::KernelSocket expected{.localAddress = socket->family == AF_INET ? "127.0.0.1" : "[::1]",
                                                 .port = socket->port,
                                                 .uid = std::uint32_t(geteuid()),
                                                 .inode = socket->inode()};
        EXPECT_EQ(std::count(netlink->begin(), netlink->end(), expected), 1) << expected.localAddress;
        EXPECT_EQ(std::count(procNet->begin(), procNet->end(), expected), 1) << expected.localAddress;
    }
}

TEST(ListeningPorts, AnotherUsersSocketIsListedWithItsUserAndNoProcess) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run the listener and the listing as two other users";
    // The listener runs as nobody; the listing as a third user, who cannot read nobody's descriptors.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t listener = fork();
    if (listener == 0) {
        const gid_t group = test::unprivilegedGid();
        if (setgroups(1, &group) != 0 || setgid(group) != 0 || setuid(test::unprivilegedUid()) != 0)
            _exit(1);
        ListeningSocket socket;
        [[maybe_unused]] auto written = write(ready[1], &socket.port, sizeof socket.port);
        for (;;)
            pause();
    }
    close(ready[1]);
    std::uint16_t port = 0;
    ASSERT_EQ(read(ready[0], &port, sizeof port), ssize_t(sizeof port));
    close(ready[0]);
    ASSERT_NE(port, 0);
    const std::string nobody = getpwuid(test::unprivilegedUid())->pw_name;

    const int unprivileged = test::runAsUser(4242, 4242, [port, nobody] {
        for (const PortEntry& entry : PortScanner::listeningPorts())
            if (entry.port == port)
                return entry.user == nobody && !entry.hasProcess() && entry.processName.empty() && !entry.command ? 0 : 3;
        return 4; // not listed at all
    });
    // Root reads every process: the same socket with its process.
    const auto asRoot = PortScanner::listeningPorts();
    test::stopChild(listener);
    EXPECT_EQ(unprivileged, 0);
    const auto found = std::find_if(asRoot.begin(), asRoot.end(), [port](const PortEntry& e) { return e.port == port; });
    ASSERT_NE(found, asRoot.end());
    EXPECT_EQ(found->pid, listener);
    EXPECT_EQ(found->user, nobody);
}
