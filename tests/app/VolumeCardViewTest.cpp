// The volume card's texts and bar, including a volume that reports no capacity or does not answer.
#include "shell/VolumeCardView.h"

#include <gtest/gtest.h>

TEST(VolumeCardView, ShowsUsageAndKeepsTheBarEmptyWithoutCapacityOrAnswer)
{
    brisklet::VolumeInfo stick{.id = "/media/u/STICK", .name = "STICK", .mountPoint = "/media/u/STICK",
                               .totalBytes = 4'000'000'000, .freeBytes = 1'000'000'000,
                               .isInternal = false, .isRoot = false};
    const VolumeCardView card(stick);
    EXPECT_EQ(card.usageLabel()->text(), QStringLiteral("3 GB used of 4 GB"));
    EXPECT_EQ(card.availableLabel()->text(), QStringLiteral("1 GB available"));
    EXPECT_EQ(card.bar()->value(), 750);
    EXPECT_EQ(card.symbolName(), QStringLiteral("externaldrive"));

    brisklet::VolumeInfo empty = stick;
    empty.totalBytes = 0;
    empty.isRoot = true;
    const VolumeCardView broken(empty);
    EXPECT_EQ(broken.bar()->value(), 0);
    EXPECT_EQ(broken.symbolName(), QStringLiteral("internaldrive.fill"));

    brisklet::VolumeInfo dead{.id = "/mnt/share", .name = "share", .mountPoint = "/mnt/share", .unavailable = true};
    const VolumeCardView unanswered(dead);
    EXPECT_EQ(unanswered.usageLabel()->text(), QStringLiteral("Unavailable: not answering"));
    EXPECT_EQ(unanswered.availableLabel()->text(), QString());
}
