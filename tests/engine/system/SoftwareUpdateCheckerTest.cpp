#include "SystemTestSupport.h"
#include "platform/HostProfile.h"
#include "platform/Subprocess.h"
#include "system/SoftwareUpdateChecker.h"

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace brisklet;
using brisklet::test::TempTree;
using Checker = SoftwareUpdateCheckError;

namespace {

const char* const noUpdatesOutput = "Software Update Tool\n\nFinding available software\nNo new software available.\n";
const char* const oneUpdateOutput = "Software Update Tool\n\nFinding available software\n"
                                    "Software Update found the following new or updated software:\n"
                                    "* Label: macOS Sonoma 14.6-23G80\n"
                                    "\tTitle: macOS Sonoma 14.6, Version: 14.6, Size: 1234567K, Recommended: YES, "
                                    "Action: restart,\n";

Checker::Kind failureOf(std::string_view output, int exitCode) {
    try {
        SoftwareUpdateChecker::parse(output, exitCode);
    } catch (const Checker& error) {
        return error.kind();
    }
    ADD_FAILURE() << "no error for: " << output;
    return Checker::Kind::timedOut;
}

// Every test gets a temporary folder of its own, so leftover capture files show.
class UpdateToolRunner : public ::testing::Test {
protected:
    void SetUp() override {
        const char* previous = std::getenv("TMPDIR");
        m_previous = previous ? std::optional<std::string>(previous) : std::nullopt;
        m_temp = tools.makeDir("tmp");
        setenv("TMPDIR", m_temp.c_str(), 1);
        m_descriptors = test::openDescriptorCount();
    }
    void TearDown() override {
        EXPECT_TRUE(tempIsEmpty()) << "a capture file was left behind";
        EXPECT_EQ(test::openDescriptorCount(), m_descriptors);
        EXPECT_TRUE(test::hasNoChildren());
        if (m_previous)
            setenv("TMPDIR", m_previous->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    bool tempIsEmpty() const {
        DIR* dir = opendir(m_temp.c_str());
        int entries = 0;
        while (const dirent* entry = dir ? readdir(dir) : nullptr)
            entries += entry->d_name[0] != '.';
        if (dir)
            closedir(dir);
        return entries == 0;
    }
    SoftwareUpdateStatus runScript(const std::string& body, double timeout = 30) {
        static int counter = 0;
        return SoftwareUpdateChecker::run(test::writeScript(tools, "tool" + std::to_string(++counter), body),
                                          {"--list"}, std::chrono::duration<double>(timeout));
    }
    pid_t pidFromFile(const std::string& name) {
        std::ifstream in(tools.path(name));
        pid_t pid = 0;
        in >> pid;
        return pid;
    }

    TempTree tools;

private:
    std::string m_temp;
    std::optional<std::string> m_previous;
    int m_descriptors = 0;
};

} // namespace

TEST(UpdateListParsing, NoUpdatesAndOneSystemUpdate) {
    EXPECT_EQ(SoftwareUpdateChecker::parse(noUpdatesOutput, 0), SoftwareUpdateStatus::noUpdates());
    const auto status = SoftwareUpdateChecker::parse(oneUpdateOutput, 0);
    ASSERT_TRUE(status.hasUpdates());
    ASSERT_EQ(status.updates().size(), 1u);
    EXPECT_EQ(status.updates()[0], (AvailableSoftwareUpdate{"macOS Sonoma 14.6", "14.6"}));
    EXPECT_TRUE(status.updates()[0].isMacOS());
}

TEST(UpdateListParsing, TwoUpdatesInPrintedOrderWithDashLabelsAndCrLf) {
    const auto status = SoftwareUpdateChecker::parse("- Label: Safari17.6\r\n   Title: Safari 17.6, Version: 17.6, Size: 1K,"
                                                     "\r\n* Label: Sec\r\nTitle:Security Update 2024-004 Ventura,"
                                                     "Version:1.0,Size:9K\r\n",
                                                     0);
    ASSERT_EQ(status.updates().size(), 2u);
    EXPECT_EQ(status.updates()[0], (AvailableSoftwareUpdate{"Safari 17.6", "17.6"}));
    EXPECT_FALSE(status.updates()[0].isMacOS());
    EXPECT_EQ(status.updates()[1], (AvailableSoftwareUpdate{"Security Update 2024-004 Ventura", "1.0"}));
    EXPECT_TRUE(status.updates()[1].isMacOS());
}

TEST(UpdateListParsing, UnpairedOrUnknownShapesAreUnrecognized) {
    const std::string twoLabels = std::string(oneUpdateOutput) + "* Label: Another-1\n";
    EXPECT_EQ(failureOf(twoLabels, 0), Checker::Kind::unrecognizedOutput);
    EXPECT_EQ(failureOf("Title: A, Version: 1, Size: 2K\n", 0), Checker::Kind::unrecognizedOutput);
    EXPECT_EQ(failureOf("", 0), Checker::Kind::unrecognizedOutput);
    EXPECT_EQ(failureOf("* Label: X\nNo new software available.\n", 0), Checker::Kind::unrecognizedOutput);
    EXPECT_EQ(failureOf("No new software available\n", 0), Checker::Kind::unrecognizedOutput);
    EXPECT_EQ(SoftwareUpdateChecker::parse("\t No new software available. \r\n", 0), SoftwareUpdateStatus::noUpdates());
    EXPECT_EQ(failureOf(std::string(10000, 'x') + "\nTitle: " + std::string(100000, 'y') + "\n", 0),
              Checker::Kind::unrecognizedOutput);
}

TEST(UpdateListParsing, ErrorsCarryTheExitCodeAndTheTailAndNameAptGetOnLinux) {
    try {
        SoftwareUpdateChecker::parse(" boom \n", 1);
        ADD_FAILURE();
    } catch (const Checker& error) {
        EXPECT_EQ(error, Checker::commandFailed(1, "boom"));
        EXPECT_EQ(error.description(), "apt-get could not complete the check (1). boom");
    }
    // Exit 0 with an error word: the raw tail, by characters, never a broken one.
    const std::string output = "Error: " + std::string(600, 'a') + "\xC3\xA9\xC3\xA9\n";
    try {
        SoftwareUpdateChecker::parse(output, 0);
        ADD_FAILURE();
    } catch (const Checker& error) {
        const std::string tail = std::string(497, 'a') + "\xC3\xA9\xC3\xA9\n";
        EXPECT_EQ(error, Checker::commandFailed(0, tail));
        EXPECT_EQ(error.description(), "apt-get could not complete the check (0). " + tail);
    }
    EXPECT_EQ(failureOf("Download FAILED\n", 0), Checker::Kind::commandFailed);
    EXPECT_EQ(failureOf("request timed out\n", 0), Checker::Kind::commandFailed);
    EXPECT_EQ(Checker::timedOut().description(), "The update check timed out. Try again or open the software updater.");
    EXPECT_EQ(Checker::unrecognizedOutput().description(),
              "Could not determine available updates. Open the software updater to check.");
    EXPECT_EQ(Checker::describe(Checker::Kind::timedOut, 0, "", originalHostProfile()),
              "The update check timed out. Try again or open Software Update.");
}

TEST(AptSimulationParsing, UpgradesWithNewVersionsAndBaseSystemMarks) {
    const std::string summary = "Calculating upgrade...\n3 upgraded, 1 newly installed, 0 to remove and 0 not upgraded.\n";
    const std::string upgrades =
        "Inst base-files [12.4+deb12u11] (12.4+deb12u15 Debian:12.15/oldstable [amd64])\n"
        "Inst liberror-perl [0.17029-2] (0.17029-3 Debian:12/stable [all]) []\n"
        "Inst linux-image-6.1.0-29-amd64 (6.1.123-1 Debian-Security:12/stable-security [amd64])\n"
        "Inst linux-image-amd64 [6.1.112-1] (6.1.123-1 Debian-Security:12/stable-security [amd64])\n"
        "Conf base-files (12.4+deb12u15 Debian:12.15/oldstable [amd64])\n";
    const std::set<std::string> base{"base-files"};
    EXPECT_EQ(SoftwareUpdateChecker::parseAptSimulation(summary + upgrades, 0, base),
              SoftwareUpdateStatus::available({{"base-files", "12.4+deb12u15", true},
                                               {"liberror-perl", "0.17029-3", false},
                                               {"linux-image-amd64", "6.1.123-1", true, true}}));
    EXPECT_EQ(SoftwareUpdateChecker::parseAptSimulation(
                  "W: some warning\r\n0 upgraded, 0 newly installed, 0 to remove and 0 not upgraded.\r\n", 0, base),
              SoftwareUpdateStatus::noUpdates());
    const auto failure = [&base](std::string_view output, int exitCode) {
        try {
            SoftwareUpdateChecker::parseAptSimulation(output, exitCode, base);
        } catch (const Checker& error) {
            return error;
        }
        return Checker::timedOut();
    };
    EXPECT_EQ(failure(" E: Could not open lock file \n", 100), Checker::commandFailed(100, "E: Could not open lock file"));
    EXPECT_EQ(failure(summary + "E: broken\n", 0).kind(), Checker::Kind::commandFailed);
    EXPECT_EQ(failure(upgrades, 0), Checker::unrecognizedOutput());
    EXPECT_EQ(failure("", 0), Checker::unrecognizedOutput());

    EXPECT_EQ(SoftwareUpdateChecker::baseSystemPackages("Package: bash\nEssential: yes\n\nPackage: vim\nPriority: optional\n"
                                                        "\nPackage: apt\nPriority: important\nPackage: dpkg\n"
                                                        "Priority: required"),
              (std::set<std::string>{"bash", "apt", "dpkg"}));
}

TEST(AptSimulationParsing, SecurityUpdatesAreThoseOfASecurityArchive) {
    const std::string output =
        "Inst libgcrypt20 [1.10.1-3] (1.10.1-3+deb12u1 Debian:12.15/oldstable, Debian-Security:12/oldstable-security [amd64])\n"
        "Inst liblzma5 [5.4.1-1] (5.4.1-1+deb12u2 Debian-Security:12/stable-security [amd64]) []\n"
        "Inst tool [1.0] (1.1 Debian:12/stable-security-notes [amd64])\n"
        "Inst bash [5.2.15-2+b8] (5.2.15-2+b13 Debian:12.15/oldstable [amd64])\n"
        "3 upgraded, 0 newly installed, 0 to remove and 0 not upgraded.\n";
    const SoftwareUpdateStatus status = SoftwareUpdateChecker::parseAptSimulation(output, 0, {});
    std::vector<bool> security;
    for (const AvailableSoftwareUpdate& update : status.updates())
        security.push_back(update.isSecurity);
    EXPECT_EQ(security, (std::vector<bool>{true, true, false, false}));
}

TEST(UpdateStatusMessage, LinuxCountsUpdatesAndSecurityUpdatesTheOriginalNamesItsSystemUpdates) {
    const auto update = [](const char* name, const char* version, bool security) {
        return AvailableSoftwareUpdate{name, version, false, security};
    };
    std::vector<AvailableSoftwareUpdate> many;
    for (int i = 0; i < 12; ++i)
        many.push_back(update(("pkg" + std::to_string(i)).c_str(), "1", i % 4 == 3));
    const struct {
        SoftwareUpdateStatus status;
        const HostProfile& profile;
        std::string message;
    } cases[] = {
        {SoftwareUpdateStatus::noUpdates(), hostProfile(), "The system is up to date."},
        {SoftwareUpdateStatus::available({update("bash", "5.2", false)}), hostProfile(), "1 update available: bash (5.2)."},
        {SoftwareUpdateStatus::available({update("openssl", "3.0.15", true)}), hostProfile(),
         "1 update available, a security update: openssl (3.0.15)."},
        {SoftwareUpdateStatus::available({update("bash", "5.2", false), update("openssl", "3.0.15", true)}), hostProfile(),
         "2 updates available, 1 of them a security update: openssl (3.0.15), bash (5.2)."},
        {SoftwareUpdateStatus::available(many), hostProfile(),
         "12 updates available, 3 of them security updates: pkg3 (1), pkg7 (1), pkg11 (1), \u2026"},
        {SoftwareUpdateStatus::noUpdates(), originalHostProfile(), "No macOS updates available."},
        {SoftwareUpdateStatus::available({{"Safari", "17.6"}}), originalHostProfile(),
         "Other software updates are available; no macOS update was listed."},
        {SoftwareUpdateStatus::available({{"macOS Sonoma 14.6", "14.6"}, {"Safari", "17.6"}, {"macOS Sequoia 15.0", "15.0"}}),
         originalHostProfile(), "macOS update available: macOS Sonoma 14.6 (14.6), macOS Sequoia 15.0 (15.0)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SoftwareUpdateChecker::statusMessage(c.status, c.profile), c.message);
}

TEST(SystemDescription, NameVersionAndKernelRelease) {
    const char* const debian = "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
                               "VERSION_ID=\"12\"\nID=debian\n";
    EXPECT_EQ(SoftwareUpdateChecker::describeSystem(debian, "6.1.0-28-amd64"), "Debian GNU/Linux 12 (6.1.0-28-amd64)");
    EXPECT_EQ(SoftwareUpdateChecker::describeSystem("NAME=Arch\\ Linux\nNAME='Arch Linux'\n", "6.9.1"),
              "Arch Linux (6.9.1)");
    EXPECT_EQ(SoftwareUpdateChecker::describeSystem(debian, ""), "Debian GNU/Linux 12");
    EXPECT_EQ(SoftwareUpdateChecker::describeSystem("", "6.1"), "Linux (6.1)");
    const std::string& current = SoftwareUpdateChecker::currentSystemDescription();
    EXPECT_FALSE(current.empty());
    EXPECT_NE(current.find(" ("), std::string::npos) << current;
}

TEST_F(UpdateToolRunner, ReadsBothOutputStreamsOfAFinishedTool) {
    EXPECT_EQ(runScript(std::string("printf '%s' '") + noUpdatesOutput + "'"), SoftwareUpdateStatus::noUpdates());
    EXPECT_EQ(runScript(std::string("printf '%s' '") + oneUpdateOutput + "' >&2").updates().size(), 1u);
    try {
        runScript("echo '  it broke  ' >&2; exit 2");
        ADD_FAILURE();
    } catch (const Checker& error) {
        EXPECT_EQ(error, Checker::commandFailed(2, "it broke"));
    }
}

TEST_F(UpdateToolRunner, AptShapedOutputIsReadThroughTheSameRunner) {
    const std::string tool = test::writeScript(tools, "apt-get", "printf 'Reading package lists...\\n"
                                               "Inst example-tool [3.0-13] (3.0-13+deb12u1 Debian:12.15/oldstable [amd64])\\n"
                                               "1 upgraded, 0 newly installed, 0 to remove and 0 not upgraded.\\n'");
    EXPECT_EQ(SoftwareUpdateChecker::run(tool, {"-s"}, std::chrono::seconds(30), {},
                                         SoftwareUpdateChecker::OutputShape::aptSimulation),
              SoftwareUpdateStatus::available({{"example-tool", "3.0-13+deb12u1", false}}));
}

TEST_F(UpdateToolRunner, ToolSeesCLocaleNullInputAPrivateCaptureFileAndNoOtherDescriptor) {
    // A descriptor this process opened without close-on-exec must not reach the tool.
    const int stray = open("/dev/null", O_RDONLY);
    ASSERT_GE(dup2(stray, 77), 0);
    close(stray);
    const auto status = runScript(R"(
mode=$(stat -L -c %a /proc/$$/fd/1)
if [ "$LC_ALL" = C ] && [ "$LANG" = C ] && ! read -r line && [ "$mode" = 600 ] && [ ! -e /proc/$$/fd/77 ]; then
  echo 'No new software available.'
else
  echo "unexpected: LC_ALL=$LC_ALL LANG=$LANG mode=$mode"; ls -l /proc/$$/fd
fi)");
    close(77);
    EXPECT_EQ(status, SoftwareUpdateStatus::noUpdates());
}

TEST_F(UpdateToolRunner, HangingToolIsStoppedWithEverythingItStarted) {
    try {
        runScript("echo $$ > '" + tools.path("pid") + "'; sleep 60 & echo $! > '" + tools.path("child") + "'; wait",
                  0.3);
        ADD_FAILURE() << "no time-out";
    } catch (const Checker& error) {
        EXPECT_EQ(error, Checker::timedOut());
    }
    EXPECT_TRUE(test::processEnds(pidFromFile("pid")));
    EXPECT_TRUE(test::processEnds(pidFromFile("child")));
}

TEST_F(UpdateToolRunner, ToolIgnoringSigtermIsKilled) {
    try {
        runScript("trap '' TERM; echo $$ > '" + tools.path("pid") + "'; sleep 60 & echo $! > '" +
                      tools.path("child") + "'; while :; do wait; done",
                  0.3);
        ADD_FAILURE() << "no time-out";
    } catch (const Checker& error) {
        EXPECT_EQ(error, Checker::timedOut());
    }
    EXPECT_TRUE(test::processEnds(pidFromFile("pid")));
    EXPECT_TRUE(test::processEnds(pidFromFile("child")));
}

TEST_F(UpdateToolRunner, FloodingToolIsCutOffAtTheCaptureLimit) {
    try {
        runScript("exec yes 'flood of text'");
        ADD_FAILURE() << "a flood passed as a result";
    } catch (const Checker& error) {
        EXPECT_EQ(error.kind(), Checker::Kind::commandFailed);
        EXPECT_NE(error.exitCode(), 0);
    }
}

TEST_F(UpdateToolRunner, StopRequestEndsTheToolAndCancels) {
    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop.request_stop();
    });
    const std::string tool = test::writeScript(tools, "slow", "echo $$ > '" + tools.path("pid") + "'; exec sleep 60");
    EXPECT_THROW(SoftwareUpdateChecker::run(tool, {}, std::chrono::seconds(60), stop.get_token()), Cancelled);
    EXPECT_TRUE(test::processEnds(pidFromFile("pid")));
}

TEST_F(UpdateToolRunner, MissingOrNonExecutableToolCannotStart) {
    try {
        SoftwareUpdateChecker::run(tools.path("absent"), {"--list"}, std::chrono::seconds(5));
        ADD_FAILURE();
    } catch (const platform::LaunchError& error) {
        EXPECT_EQ(error.description(), "Could not start " + tools.path("absent") + ": No such file or directory.");
    }
    const std::string plain = tools.writeFile("plain", "#!/bin/sh\necho hi\n");
    try {
        SoftwareUpdateChecker::run(plain, {}, std::chrono::seconds(5));
        ADD_FAILURE();
    } catch (const platform::LaunchError& error) {
        EXPECT_EQ(error.errorNumber(), EACCES);
    }
    if (access(hostProfile().updateToolPath.c_str(), F_OK) != 0) {
        try {
            SoftwareUpdateChecker::check();
            ADD_FAILURE();
        } catch (const platform::LaunchError& error) {
            EXPECT_EQ(error.description(),
                      "Could not start " + hostProfile().updateToolPath + ": No such file or directory.");
        }
    }
}

TEST_F(UpdateToolRunner, UnwritableTemporaryFolderFailsReadably) {
    setenv("TMPDIR", tools.path("no/such/folder").c_str(), 1);
    try {
        runScript("echo 'No new software available.'");
        ADD_FAILURE();
    } catch (const platform::LaunchError&) {
        ADD_FAILURE() << "the tool should not have been started";
    } catch (const Error& error) {
        EXPECT_NE(error.description().find("no/such/folder"), std::string::npos) << error.description();
    }
}
