// The busy views: covering gives every view its own visibility back, and the animation never runs twice
// or while nobody can see it.
#include "shell/VoyageScanningView.h"

#include <gtest/gtest.h>

#include <QVBoxLayout>

TEST(VoyageScanningView, EndRestoresEachViewsOwnVisibilityEvenAfterASecondBegin)
{
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    auto* shown = new QWidget;
    auto* alreadyHidden = new QWidget;
    auto* busy = new VoyageScanningView;
    layout->addWidget(shown);
    layout->addWidget(alreadyHidden);
    layout->addWidget(busy);
    alreadyHidden->hide();
    host.show();

    busy->begin({shown, alreadyHidden}, QStringLiteral("Reading processes"));
    EXPECT_TRUE(shown->isHidden());
    EXPECT_FALSE(busy->isHidden());
    EXPECT_TRUE(busy->voyage()->isTimerRunning());

    // A second begin while covering must not record the now-hidden views as "was hidden".
    busy->begin({shown, alreadyHidden}, QStringLiteral("Still reading"));
    EXPECT_EQ(busy->progressLabel()->text(), QStringLiteral("Still reading"));

    busy->end();
    EXPECT_FALSE(shown->isHidden());
    EXPECT_TRUE(alreadyHidden->isHidden());
    EXPECT_TRUE(busy->isHidden());
    EXPECT_FALSE(busy->voyage()->isSailing());

    // Covering again after an end records afresh.
    alreadyHidden->show();
    busy->begin({alreadyHidden}, QStringLiteral("Again"));
    busy->end();
    EXPECT_FALSE(alreadyHidden->isHidden());
}

TEST(VoyageProgressView, TimerRunsOnlyWhileSailingAndVisible)
{
    QWidget host;
    auto* voyage = new VoyageProgressView(VoyageProgressView::compact(), &host);
    host.show();

    voyage->stopVoyage(); // not sailing: nothing to stop
    EXPECT_FALSE(voyage->isSailing());
    voyage->startVoyage();
    voyage->startVoyage();
    EXPECT_TRUE(voyage->isTimerRunning());

    voyage->hide();
    EXPECT_FALSE(voyage->isTimerRunning());
    EXPECT_TRUE(voyage->isSailing());
    voyage->show();
    EXPECT_TRUE(voyage->isTimerRunning());

    voyage->stopVoyage();
    EXPECT_FALSE(voyage->isTimerRunning());
}
