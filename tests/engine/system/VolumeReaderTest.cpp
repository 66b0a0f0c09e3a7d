#include "MountNamespace.h"
#include "ProcessCounts.h"
#include "SystemTestSupport.h"
#include "system/VolumeReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <utility>
#include <unistd.h>

using namespace brisklet;
using brisklet::test::TempTree;

namespace {

// One /proc/self/mountinfo line; spaces in the target are written as \040 like the kernel does.
std::string mountLine(int id, const std::string& target, const std::string& type, const std::string& source) {
    std::string escaped;
    for (const char c : target)
        escaped += c == ' ' ? std::string("\\040") : std::string(1, c);
    return std::to_string(id) + " 1 8:" + std::to_string(id) + " / " + escaped + " rw,relatime - " + type + " " +
           source + " rw\n";
}

struct FakeMachine {
    TempTree tree;
    std::vector<std::string> logLines;
    VolumeReader::Source source;

    explicit FakeMachine(const std::string& table) {
        source.mountTable = tree.writeFile("mountinfo", table);
        source.rootFolder = tree.path("root");
        source.userName = "tester";
        source.log = [this](const std::string& line) { logLines.push_back(line); };
        tree.makeDir("root");
    }
    std::vector<std::string> mountPoints(const std::vector<VolumeInfo>& volumes) const {
        std::vector<std::string> points;
        for (const VolumeInfo& volume : volumes)
            points.push_back(volume.mountPoint);
        return points;
    }
};

} // namespace

TEST(VolumeListing, RootFirstThenSortedExternalMountsWithEachDecisionLogged) {
    FakeMachine machine(mountLine(1, "/", "ext4", "/dev/fakeroot") +
                        mountLine(2, "/media/tester/USB", "vfat", "/dev/sdz1") +
                        mountLine(3, "/media/tester/.hidden", "ext4", "/dev/sdz2") +
                        mountLine(4, "/mnt/Recovery", "ext4", "/dev/sdz3") +
                        mountLine(5, "/mnt/recovery", "ext4", "/dev/sdz4") +
                        mountLine(6, "/mnt/link", "ext4", "/dev/sdz5") + // a link to USB: the same volume
                        mountLine(7, "/mnt/auto", "autofs", "systemd-1") +
                        mountLine(8, "/mnt/missing", "ext4", "/dev/sdz6") +
                        mountLine(9, "/mnt/zero", "proc", "proc") +     // no capacity
                        mountLine(10, "/srv/data", "ext4", "/dev/sdz7") + // not an external-volume folder
                        mountLine(11, "/media/other/Theirs", "ext4", "/dev/sdz8") +
                        mountLine(12, "/media/tester/My Disk", "ext4", "/dev/sdz9"));
    TempTree& tree = machine.tree;
    for (const char* folder : {"root/media/tester/USB", "root/media/tester/.hidden", "root/mnt/Recovery",
                               "root/mnt/recovery", "root/mnt/auto", "root/srv/data", "root/media/other/Theirs",
                               "root/media/tester/My Disk"})
        tree.makeDir(folder);
    tree.symlink("root/mnt/link", "../media/tester/USB");
    tree.symlink("root/mnt/zero", "/proc");
    // A removable stick with a label, as udev and sysfs describe it.
    tree.writeFile("root/dev/sdz1", "");
    tree.symlink("root/dev/disk/by-label/My\\x20Stick", "../../sdz1");
    tree.writeFile("root/sys/class/block/sdz1/removable", "1\n");
    tree.writeFile("root/sys/class/block/sdz4/removable", "0\n");

    const auto volumes = VolumeReader::mountedVolumes(machine.source);
    ASSERT_EQ(machine.mountPoints(volumes),
              (std::vector<std::string>{"/", "/media/tester/My Disk", "/media/tester/USB", "/mnt/recovery"}));

    const VolumeInfo& root = volumes[0];
    EXPECT_EQ(root.id, "/");
    EXPECT_EQ(root.name, "Computer");
    EXPECT_TRUE(root.isRoot);
    EXPECT_TRUE(root.isInternal);
    EXPECT_GT(root.totalBytes, 0);
    EXPECT_GE(root.freeBytes, 0);
    EXPECT_LE(root.freeBytes, root.totalBytes);

    EXPECT_EQ(volumes[1].name, "My Disk");
    EXPECT_FALSE(volumes[1].isInternal); // a device the kernel cannot describe is internal only at "/"
    EXPECT_EQ(volumes[2].name, "My Stick");
    EXPECT_FALSE(volumes[2].isInternal);
    EXPECT_FALSE(volumes[2].isRoot);
    EXPECT_EQ(volumes[3].name, "recovery");
    EXPECT_TRUE(volumes[3].isInternal);

    const std::string size = std::to_string(volumes[1].totalBytes);
    EXPECT_EQ(machine.logLines, (std::vector<std::string>{
                                    "[Brisklet.Volumes] Skip hidden/system entry: .hidden",
                                    "[Brisklet.Volumes] Include My Disk at /media/tester/My Disk (" + size + " bytes)",
                                    "[Brisklet.Volumes] Skip hidden/system entry: Recovery",
                                    "[Brisklet.Volumes] Include My Stick at /media/tester/USB (" + size + " bytes)",
                                    "[Brisklet.Volumes] Skip unavailable/zero-capacity volume: /mnt/auto",
                                    "[Brisklet.Volumes] Skip duplicate: /mnt/link -> /media/tester/USB",
                                    "[Brisklet.Volumes] Skip unavailable/zero-capacity volume: /mnt/missing",
                                    "[Brisklet.Volumes] Include recovery at /mnt/recovery (" + size + " bytes)",
                                    "[Brisklet.Volumes] Skip virtual file system: /mnt/zero (proc)",
                                    "[Brisklet.Volumes] Returning: /, /media/tester/My Disk, /media/tester/USB, "
                                    "/mnt/recovery",
                                }));
}

TEST(VolumeListing, LinkToRootIsADuplicateOnlyWhenRootWasIncluded) {
    const std::string rest = mountLine(2, "/mnt/rootlink", "ext4", "/dev/sdz1");
    {
        FakeMachine machine(mountLine(1, "/", "ext4", "/dev/fakeroot") + rest);
        machine.tree.symlink("root/mnt/rootlink", machine.tree.path("root"));
        const auto volumes = VolumeReader::mountedVolumes(machine.source);
        EXPECT_EQ(machine.mountPoints(volumes), std::vector<std::string>{"/"});
        EXPECT_EQ(machine.logLines.front(), "[Brisklet.Volumes] Skip duplicate: /mnt/rootlink -> /");
    }
    {
        // The root is an automounter map here, so it is left out and the link is queried like any other.
        FakeMachine machine(mountLine(1, "/", "autofs", "systemd-1") + rest);
        machine.tree.symlink("root/mnt/rootlink", machine.tree.path("root"));
        const auto volumes = VolumeReader::mountedVolumes(machine.source);
        EXPECT_EQ(machine.mountPoints(volumes), std::vector<std::string>{"/mnt/rootlink"});
    }
}

TEST(VolumeListing, OnlyDirectChildrenOfTheVolumeFoldersAndNoVirtualFileSystems) {
    FakeMachine machine(mountLine(1, "/", "ext4", "/dev/fakeroot") + mountLine(2, "/mnt/disk", "ext4", "/dev/sdz1") +
                        mountLine(3, "/mnt/disk/scratch", "tmpfs", "tmpfs") +
                        mountLine(4, "/mnt/disk/image", "ext4", "/dev/loop0") +
                        mountLine(5, "/mnt/ram", "tmpfs", "tmpfs") +
                        mountLine(6, "/media/tester/app", "squashfs", "/dev/loop1") +
                        mountLine(7, "/mnt/merged", "overlay", "overlay"));
    for (const char* folder : {"root/mnt/disk/scratch", "root/mnt/disk/image", "root/mnt/ram", "root/media/tester/app",
                               "root/mnt/merged"})
        machine.tree.makeDir(folder);
    const auto volumes = VolumeReader::mountedVolumes(machine.source);
    EXPECT_EQ(machine.mountPoints(volumes), (std::vector<std::string>{"/", "/mnt/disk"}));
}

TEST(VolumeListing, OverMountedPointUsesTheVisibleMountOnce) {
    // An automount point after its file system was mounted on top of it.
    FakeMachine machine(mountLine(1, "/", "ext4", "/dev/fakeroot") + mountLine(2, "/mnt/data", "autofs", "systemd-1") +
                        mountLine(3, "/mnt/data", "ext4", "/dev/sdz1"));
    machine.tree.makeDir("root/mnt/data");
    const auto volumes = VolumeReader::mountedVolumes(machine.source);
    EXPECT_EQ(machine.mountPoints(volumes), (std::vector<std::string>{"/", "/mnt/data"}));
}

TEST(VolumeListing, AShareThatStoppedAnsweringIsUnavailableAndHoldsBackNothingElse) {
    if (!test::inPrivateMountNamespace())
        return;
    FakeMachine machine(mountLine(1, "/", "ext4", "/dev/fakeroot") + mountLine(2, "/mnt/dead", "fuse.sshfs", "host:") +
                        mountLine(3, "/mnt/disk", "ext4", "/dev/sdz1"));
    machine.tree.makeDir("root/mnt/disk");
    std::string failure;
    int share = test::mountStallingFuse(machine.tree.path("root/mnt/dead"), failure);
    if (share < 0)
        GTEST_SKIP() << failure << ": no share that stops answering can be made";
    machine.source.answerTime = std::chrono::milliseconds(200);
    const auto listOnce = [&] {
        auto listing = std::async(std::launch::async, [&] { return VolumeReader::mountedVolumes(machine.source); });
        if (listing.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            ::close(std::exchange(share, -1)); // lets the listing end, so the test can report it
            ADD_FAILURE() << "the listing waited on the dead share";
        }
        return listing.get();
    };
    const auto volumes = listOnce();
    EXPECT_EQ(machine.mountPoints(volumes), (std::vector<std::string>{"/", "/mnt/dead", "/mnt/disk"}));
    ASSERT_EQ(volumes.size(), 3u);
    EXPECT_TRUE(volumes[1].unavailable);
    EXPECT_EQ(volumes[1].totalBytes, 0);
    EXPECT_FALSE(volumes[2].unavailable);
    const std::string unanswered = "[Brisklet.Volumes] Unavailable volume (no answer in time): /mnt/dead";
    EXPECT_EQ(std::count(machine.logLines.begin(), machine.logLines.end(), unanswered), 1);
    // Another listing waits on the query still pending instead of leaving a second thread behind.
    const int threads = test::threadCount();
    EXPECT_EQ(machine.mountPoints(listOnce()), (std::vector<std::string>{"/", "/mnt/dead", "/mnt/disk"}));
    EXPECT_EQ(test::threadCount(), threads);
    EXPECT_EQ(std::count(machine.logLines.begin(), machine.logLines.end(), unanswered), 2);
    ::close(share);
}

TEST(VolumeListing, UnreadableTableLeavesOnlyTheRoot) {
    FakeMachine machine("");
    machine.source.mountTable = machine.tree.path("no-such-table");
    const auto volumes = VolumeReader::mountedVolumes(machine.source);
    EXPECT_EQ(machine.mountPoints(volumes), std::vector<std::string>{"/"});
    EXPECT_EQ(machine.logLines,
              std::vector<std::string>{"[Brisklet.Volumes] Cannot enumerate " + machine.source.mountTable +
                                       ": No such file or directory"});
}

TEST(VolumeListing, TheRealMachineListsTheRootFirst) {
    const auto volumes = VolumeReader::mountedVolumes();
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(volumes[0].mountPoint, "/");
    EXPECT_TRUE(volumes[0].isRoot);
    EXPECT_GT(volumes[0].totalBytes, 0);
    const auto root = VolumeReader::volume("/");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->name, volumes[0].name);
    EXPECT_EQ(VolumeReader::volume("/no/such/mount/point"), std::nullopt);
}

TEST(VolumeFigures, UsedFractionStaysWithinZeroAndOne) {
    VolumeInfo volume{.id = "/", .name = "x", .mountPoint = "/", .totalBytes = 0, .freeBytes = 0,
                      .isInternal = true, .isRoot = true};
    EXPECT_DOUBLE_EQ(volume.usedFraction(), 0.0);
    volume.totalBytes = 100;
    volume.freeBytes = 150;
    EXPECT_DOUBLE_EQ(volume.usedFraction(), 0.0);
    volume.freeBytes = 25;
    EXPECT_DOUBLE_EQ(volume.usedFraction(), 0.75);
    EXPECT_EQ(volume.usedBytes(), 75);
}
