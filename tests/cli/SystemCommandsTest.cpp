#include "platform/Subprocess.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <nlohmann/json.hpp>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

using brisklet::platform::runCapturingOutput;
using nlohmann::json;

namespace {

json runJson(const std::vector<std::string>& arguments) {
    const auto run = runCapturingOutput(BRISKLET_CLI_PATH, arguments);
    EXPECT_EQ(run.status, 0) << run.output;
    return json::parse(run.output);
}

std::set<std::string> keysOf(const json& object) {
    std::set<std::string> keys;
    for (const auto& [key, value] : object.items())
        keys.insert(key);
    return keys;
}

} // namespace

TEST(PortsCommand, ListsASocketOpenedByTheTestAsJsonAndText) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(fd, 4), 0);
    ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int port = ntohs(address.sin_port);

    const json ports = runJson({"ports", "--json"});
    const auto text = runCapturingOutput(BRISKLET_CLI_PATH, {"ports"});
    close(fd);

    ASSERT_TRUE(ports.is_array());
    bool found = false;
    for (const json& entry : ports) {
        EXPECT_EQ(keysOf(entry), (std::set<std::string>{"transport", "localAddress", "port", "pid", "processName",
                                                         "command", "parentChain", "user"}));
        if (entry["port"] == port && entry["pid"] == getpid()) {
            found = true;
            EXPECT_EQ(entry["transport"], "TCP");
            EXPECT_EQ(entry["localAddress"], "127.0.0.1");
            EXPECT_TRUE(entry["command"].is_string());
            EXPECT_FALSE(entry["parentChain"].empty());
        }
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.output.find("127.0.0.1"), std::string::npos) << text.output;
    EXPECT_NE(text.output.find(std::to_string(port)), std::string::npos) << text.output;
}

TEST(PsCommand, SortsByMemoryOrCpuAndListsTheCaller) {
    for (const std::string sort : {"memory", "cpu"}) {
        const json processes = runJson({"ps", "--sort", sort, "--json"});
        ASSERT_TRUE(processes.is_array());
        ASSERT_FALSE(processes.empty());
        const std::string key = sort == "memory" ? "residentBytes" : "cpuFraction";
        bool foundCaller = false;
        for (size_t i = 0; i < processes.size(); ++i) {
            EXPECT_EQ(keysOf(processes[i]),
                      (std::set<std::string>{"pid", "name", "user", "cpuFraction", "residentBytes"}));
            if (i > 0) {
                EXPECT_GE(processes[i - 1][key].get<double>(), processes[i][key].get<double>());
            }
            foundCaller = foundCaller || processes[i]["pid"] == getpid();
        }
        EXPECT_TRUE(foundCaller);
    }
}

TEST(StatsCommand, FiguresAreInRange) {
    const json stats = runJson({"stats", "--json"});
    ASSERT_TRUE(stats["cpuUsage"].is_number());
    EXPECT_GE(stats["cpuUsage"].get<double>(), 0.0);
    EXPECT_LE(stats["cpuUsage"].get<double>(), 1.0);
    EXPECT_GT(stats["memory"]["totalBytes"].get<std::int64_t>(), 0);
    EXPECT_LE(stats["memory"]["usedBytes"].get<std::int64_t>(), stats["memory"]["totalBytes"].get<std::int64_t>());
    EXPECT_FALSE(stats["system"].get<std::string>().empty());
}

TEST(VolumesCommand, StartsWithTheRoot) {
    const json volumes = runJson({"volumes", "--json"});
    ASSERT_TRUE(volumes.is_array());
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(keysOf(volumes[0]), (std::set<std::string>{"id", "name", "mountPoint", "totalBytes", "freeBytes",
                                                          "isInternal", "isRoot", "unavailable"}));
    EXPECT_EQ(volumes[0]["mountPoint"], "/");
    EXPECT_EQ(volumes[0]["isRoot"], true);
}

TEST(UpdatesCommand, ListsWhatThePackageManagerWouldUpgradeOrSaysThereIsNothing) {
    if (access("/usr/bin/apt-get", X_OK) != 0) {
        const auto run = runCapturingOutput(BRISKLET_CLI_PATH, {"updates"});
        EXPECT_EQ(run.status, 1); // the readable failure goes to standard error
        return;
    }
    const json document = runJson({"updates", "--json"});
    EXPECT_EQ(keysOf(document), (std::set<std::string>{"system", "updates"}));
    for (const json& update : document["updates"]) {
        EXPECT_EQ(keysOf(update), (std::set<std::string>{"title", "version", "isSystem"}));
        EXPECT_FALSE(update["version"].get<std::string>().empty()) << update;
    }
    const auto text = runCapturingOutput(BRISKLET_CLI_PATH, {"updates"});
    EXPECT_EQ(text.status, 0);
    const std::size_t count = document["updates"].size();
    const std::string expected = count == 0 ? "No updates available.\n"
                                            : std::to_string(count) + (count == 1 ? " update, " : " updates, ");
    EXPECT_NE(text.output.find(expected), std::string::npos) << text.output;
}

TEST(SystemCommandUsage, BadOptionsExitTwoAndHelpDocumentsExitCodes) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"ps", "--sort", "name"}, {"ps", "--sort"}, {"ports", "--bogus"},
          {"stats", "extra"}, {"volumes", "--sort", "cpu"}, {"updates", "now"}})
        EXPECT_EQ(runCapturingOutput(BRISKLET_CLI_PATH, arguments).status, 2) << arguments[0];
    for (const char* command : {"ports", "ps", "stats", "volumes", "updates"}) {
        const auto help = runCapturingOutput(BRISKLET_CLI_PATH, {command, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.output.find("Exit status"), std::string::npos) << command;
        EXPECT_NE(help.output.find("--json"), std::string::npos) << command;
    }
}
