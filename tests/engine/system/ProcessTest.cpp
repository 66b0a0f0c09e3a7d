#include "ChildProcess.h"
#include "SystemTestSupport.h"
#include "system/ProcFiles.h"
#include "system/ProcessControl.h"
#include "system/ProcessLister.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brisklet;
using ProcessLister::RawSample;

namespace {

RawSample raw(std::int32_t pid, std::uint64_t cpuNanos, std::uint64_t startTicks = 1, std::string name = "p") {
    return RawSample{.pid = pid,
                     .name = std::move(name),
                     .user = "me",
                     .footprintBytes = 4096,
                     .cpuNanos = cpuNanos,
                     .startTicks = startTicks};
}

const ProcessEntry* findPid(const std::vector<ProcessEntry>& entries, pid_t pid) {
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const ProcessEntry& e) { return e.pid == pid; });
    return found == entries.end() ? nullptr : &*found;
}

const RawSample* findPid(const std::vector<RawSample>& samples, pid_t pid) {
    const auto found = std::find_if(samples.begin(), samples.end(), [&](const RawSample& s) { return s.pid == pid; });
    return found == samples.end() ? nullptr : &*found;
}

// Processor time a process has used so far (user and system), in clock ticks, read independently of
// the code under test.
long long cpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2)); // from field 3, the state
    std::string skipped;
    for (int field = 3; field <= 13; ++field)
        fields >> skipped;
    long long user = 0, system = 0;
    fields >> user >> system;
    return user + system;
}

std::uint64_t startTicks(pid_t pid) {
    const auto stat = ProcStat::read(pid);
    return stat ? stat->startTicks : 0;
}

void expectRefusal(std::int32_t pid, std::uint64_t start, ProcessControl::KillError::Kind kind) {
    try {
        ProcessControl::terminate(pid, start);
        ADD_FAILURE() << "signalled " << pid;
    } catch (const ProcessControl::KillError& error) {
        EXPECT_EQ(error.kind(), kind) << pid << ": " << error.description();
    }
}

} // namespace

TEST(ProcessSampling, CpuShareIsTheCounterDifferenceOverTheInterval) {
    const auto entries = ProcessLister::combine(
        {raw(10, 1'000'000'000), raw(11, 0), raw(12, 5'000'000'000), raw(99, 7)},
        {raw(11, 2'500'000'000), raw(10, 1'500'000'000), raw(13, 9'000'000'000), raw(10, 9'999'000'000'000)}, 1.0);
    ASSERT_EQ(entries.size(), 3u); // 12 and 99 ended; the second 10 is a repeat
    EXPECT_EQ(entries[0].pid, 11);
    EXPECT_DOUBLE_EQ(entries[0].cpuFraction, 2.5);
    EXPECT_EQ(entries[1].pid, 10);
    EXPECT_DOUBLE_EQ(entries[1].cpuFraction, 0.5);
    EXPECT_EQ(entries[2].pid, 13); // started in between
    EXPECT_DOUBLE_EQ(entries[2].cpuFraction, 0.0);
    EXPECT_EQ(entries[1].residentBytes, 4096);
    EXPECT_DOUBLE_EQ(ProcessLister::combine({raw(1, 0)}, {raw(1, 4'000'000'000)}, 2.0)[0].cpuFraction, 2.0);
    EXPECT_DOUBLE_EQ(ProcessLister::combine({raw(1, 0)}, {raw(1, ~0ULL)}, 0.001)[0].cpuFraction, 1000.0);
}

TEST(ProcessSampling, ReusedPidOrBackwardsCounterIsNotAThousandCores) {
    // The pid now belongs to a process that started later.
    auto reused = ProcessLister::combine({raw(20, 9'000'000'000, 100)}, {raw(20, 1'000'000, 500)}, 1.0);
    EXPECT_DOUBLE_EQ(reused[0].cpuFraction, 0.0);
    auto backwards = ProcessLister::combine({raw(21, 9'000'000'000, 100)}, {raw(21, 1'000'000, 100)}, 1.0);
    EXPECT_DOUBLE_EQ(backwards[0].cpuFraction, 0.0);
}

TEST(ProcessSnapshot, ReadsOwnProcessAndNamesWithSpacesAndParentheses) {
    const pid_t odd = test::startSleepingChild("x) (y z");
    const pid_t zombie = fork();
    if (zombie == 0)
        _exit(0);
    ASSERT_TRUE(test::processEnds(zombie)); // now a zombie until reaped

    const auto samples = ProcessLister::rawSnapshot("/proc", ProcessLister::SnapshotDepth::withCommand);
    const RawSample* self = findPid(samples, getpid());
    const RawSample* child = findPid(samples, odd);
    const RawSample* dead = findPid(samples, zombie);
    test::stopChild(odd);
    int status;
    waitpid(zombie, &status, 0);

    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->name, test::processName(getpid()));
    const passwd* account = getpwuid(geteuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(self->user, account->pw_name);
    EXPECT_GT(self->footprintBytes, 0);
    EXPECT_GT(self->startTicks, 0u);
    char executable[PATH_MAX];
    ASSERT_NE(::realpath("/proc/self/exe", executable), nullptr);
    EXPECT_EQ(self->executable, executable); // what names the application it runs
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->name, "x) (y z");
    EXPECT_EQ(dead, nullptr);
    const std::string cmdline = std::string("sleep") + '\0' + "300" + '\0' + "a\nb" + '\0' + '\0';
    EXPECT_EQ(ProcessLister::commandLineText(cmdline), "sleep 300 a b");
    EXPECT_EQ(findPid(samples, 0), nullptr);
}

TEST(ProcessSnapshot, UnknownAccountShowsTheUid) {
    if (geteuid() != 0 || getpwuid(4242) != nullptr)
        GTEST_SKIP() << "needs root and a uid without an account";
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        if (setresuid(4242, 4242, 4242) != 0)
            _exit(1);
        [[maybe_unused]] auto ignored = write(ready[1], "x", 1);
        for (;;)
            pause();
    }
    close(ready[1]);
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    const auto samples = ProcessLister::rawSnapshot();
    test::stopChild(child);
    const RawSample* sample = findPid(samples, child);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->user, "uid 4242");
}

TEST(ProcessSampling, BusyChildAtTheShareItReallyGotAndSleepingChildNearZero) {
    const pid_t busy = test::startBusyChild();
    const pid_t sleeping = test::startSleepingChild("brisk sleeper");
    const long long ticksBefore = cpuTicks(busy);
    const auto start = std::chrono::steady_clock::now();
    const auto entries = ProcessLister::sample(1.0);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double got = double(cpuTicks(busy) - ticksBefore) / double(sysconf(_SC_CLK_TCK)) / elapsed.count();
    test::stopChild(busy);
    test::stopChild(sleeping);

    const ProcessEntry* busyEntry = findPid(entries, busy);
    const ProcessEntry* sleepingEntry = findPid(entries, sleeping);
    ASSERT_NE(busyEntry, nullptr);
    ASSERT_NE(sleepingEntry, nullptr);
    // The spinning child gets what a shared machine leaves it: compare with the share it really got
    // around the sample, and never above one core.
    EXPECT_GE(busyEntry->cpuFraction, got / 3) << "the child really used " << got << " of a core";
    EXPECT_LT(busyEntry->cpuFraction, 1.3);
    EXPECT_LT(sleepingEntry->cpuFraction, 0.02);
    EXPECT_EQ(sleepingEntry->name, "brisk sleeper");
    EXPECT_GT(sleepingEntry->residentBytes, 0);
}

TEST(ProcessSampling, StopRequestShortensTheWaitButStillReturnsAList) {
    std::stop_source stop;
    stop.request_stop();
    const auto entries = ProcessLister::sample(3600, stop.get_token());
    EXPECT_NE(findPid(entries, getpid()), nullptr);
}

TEST(ProcessTermination, ProtectsInitTheKernelAndItself) {
    EXPECT_TRUE(ProcessControl::isProtected(0));
    EXPECT_TRUE(ProcessControl::isProtected(1));
    EXPECT_TRUE(ProcessControl::isProtected(-1)); // kill(-1) would reach every process
    EXPECT_TRUE(ProcessControl::isProtected(getpid()));
    EXPECT_TRUE(ProcessControl::isProtected(2));
    EXPECT_FALSE(ProcessControl::isProtected(3));
    for (const std::int32_t pid : {0, 1, 2, -1, -5, std::int32_t(getpid())}) {
        try {
            ProcessControl::terminate(pid, startTicks(pid));
            ADD_FAILURE() << "terminated " << pid;
        } catch (const ProcessControl::KillError& error) {
            EXPECT_EQ(error, ProcessControl::KillError::protectedProcess());
            EXPECT_EQ(error.description(), "This process is protected and can't be stopped from Brisklet.");
        }
    }
}

TEST(ProcessTermination, SendsSigtermAndReportsAnExitedProcess) {
    const pid_t child = test::startSleepingChild();
    const std::uint64_t start = startTicks(child);
    ASSERT_NO_THROW(ProcessControl::terminate(child, start));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    try {
        ProcessControl::terminate(child, start);
        ADD_FAILURE() << "no error for an exited process";
    } catch (const ProcessControl::KillError& error) {
        EXPECT_EQ(error.kind(), ProcessControl::KillError::Kind::noSuchProcess);
        EXPECT_EQ(error.description(), "The process already exited.");
    }
}

TEST(ProcessTermination, APidThatNowNamesAnotherProcessIsNotSignalled) {
    // The listed process started at another time than the one that holds the pid now.
    const pid_t child = test::startSleepingChild();
    expectRefusal(child, startTicks(child) + 1, ProcessControl::KillError::Kind::noSuchProcess);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, WNOHANG), 0) << "the child was signalled";
    test::stopChild(child);
}

TEST(ProcessTermination, KernelThreadsAreProtected) {
    // kthreadd, and another kernel thread when this kernel shows one.
    std::vector<pid_t> threads{2};
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        const pid_t pid = pid_t(std::atoi(entry->d_name));
        if (const auto stat = ProcStat::read(pid); pid > 2 && stat && stat->isKernelThread()) {
            threads.push_back(pid);
            break;
        }
    }
    if (proc)
        closedir(proc);
    for (const pid_t pid : threads)
        expectRefusal(pid, startTicks(pid), ProcessControl::KillError::Kind::protectedProcess);
    // The listing marks them, so the screens disable their Stop before anyone presses it.
    const auto listed = ProcessLister::combine({}, ProcessLister::rawSnapshot(), 1.0);
    std::vector<pid_t> checked{getpid()};
    if (threads.size() > 1) // pid 2 is kthreadd only outside a pid namespace
        checked.push_back(threads.back());
    for (const pid_t pid : checked) {
        const auto found = std::find_if(listed.begin(), listed.end(), [pid](const auto& e) { return e.pid == pid; });
        ASSERT_NE(found, listed.end()) << pid;
        EXPECT_EQ(found->kernelThread, pid != getpid()) << pid;
    }
}

TEST(ProcessTermination, AnotherUsersProcessNeedsPrivileges) {
    const pid_t target = getpid();
    const std::uint64_t start = startTicks(target);
    const int result = test::runUnprivileged([target, start] {
        if (geteuid() == 0)
            return 2;
        try {
            ProcessControl::terminate(target, start);
            return 3;
        } catch (const ProcessControl::KillError& error) {
            return error.kind() == ProcessControl::KillError::Kind::notPermitted ? 0 : 4;
        }
    });
    if (result == 2)
        GTEST_SKIP() << "could not drop privileges";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ProcessControl::KillError::notPermitted().description(),
              "Stopping this process needs more privileges \xE2\x80\x94 it belongs to another user or the system.");
    EXPECT_EQ(ProcessControl::KillError::failed(22).description(), "The system refused the request (errno 22).");
    EXPECT_EQ(ProcessControl::KillError::failed(22), ProcessControl::KillError::failed(22));
    EXPECT_FALSE(ProcessControl::KillError::failed(22) == ProcessControl::KillError::failed(1));
}

TEST(ProcessSnapshot, VanishedZombieNamelessAndMalformedEntriesAreSkipped) {
    test::TempTree proc;
    const std::string tail = " 1 100 100 0 -1 4194304 10 0 0 0 150 50 0 0 20 0 1 0 999 12345 25\n";
    proc.writeFile("100/stat", "100 (a) b) c) S" + tail);
    proc.writeFile("100/status", "Name:\ta) b) c\nUid:\t0\t4242\t0\t0\nGid:\t0\t0\t0\t0\n");
    proc.writeFile("100/statm", "1000 25 10 1 0 5 0\n");
    proc.makeDir("101"); // gone between listing and reading
    proc.writeFile("102/stat", "102 (dead) Z" + tail);
    proc.writeFile("102/status", "Uid:\t0\t0\t0\t0\n");
    proc.writeFile("103/stat", "103 (nostatm) R" + tail);
    proc.writeFile("103/status", "Uid:\t0\t0\t0\t0\n");
    proc.writeFile("104/stat", "104 () S" + tail);
    proc.writeFile("104/status", "Uid:\t0\t0\t0\t0\n");
    proc.writeFile("106/stat", "106 (short) S 1 2 3\n");
    proc.writeFile("106/status", "Uid:\t0\t0\t0\t0\n");
    proc.writeFile("107/stat", "107 (nostatus) S" + tail);
    for (const char* name : {"+105", "abc", "0", "-3"})
        proc.writeFile(std::string(name) + "/stat", "1 (x) S" + tail);
    proc.symlink("self", proc.path("100"));

    const auto samples = ProcessLister::rawSnapshot(proc.root());
    ASSERT_EQ(samples.size(), 2u);
    const RawSample* odd = findPid(samples, 100);
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->name, "a) b) c");
    const passwd* account = getpwuid(4242);
    EXPECT_EQ(odd->user, account ? std::string(account->pw_name) : std::string("uid 4242"));
    EXPECT_EQ(odd->cpuNanos, 200 * 1'000'000'000ULL / std::uint64_t(sysconf(_SC_CLK_TCK)));
    EXPECT_EQ(odd->footprintBytes, 25 * sysconf(_SC_PAGESIZE));
    EXPECT_EQ(odd->startTicks, 999u);
    const RawSample* noStatm = findPid(samples, 103);
    ASSERT_NE(noStatm, nullptr);
    EXPECT_EQ(noStatm->footprintBytes, 0);
}
