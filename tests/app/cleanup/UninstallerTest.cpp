// The uninstaller over application folders in a temporary home: the real catalog, leftover scanner and Trash.
#include "../AppTestSupport.h"
#include "../ShownNames.h"
#include "CleanupTestHome.h"
#include "cleanup/ApplicationListModel.h"
#include "cleanup/ApplicationRowDelegate.h"
#include "cleanup/UninstallerViewController.h"
#include "deletion/DeletionItems.h"
#include "deletion/DestructiveButton.h"
#include "deletion/ReviewSheetViewController.h"
#include "deletion/TrashFlowController.h"
#include "shell/PlaceholderViewController.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPainter>
#include <QStandardItemModel>
#include <QThreadPool>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class UninstallerTest : public ::testing::Test {
protected:
    CleanupTestHome home;
    std::set<std::string> running;
    std::unique_ptr<UninstallerViewController> screen;

    void SetUp() override
    {
        ASSERT_TRUE(home.dir.isValid());
        bundle("Draw", "org.inkscape.draw", 30000);
        bundle("Krita", "org.kde.krita", 20000);
        bundle("Safari", "com.apple.Safari", 10000);
    }
    void bundle(const QString& name, const QString& id, qint64 bytes)
    {
        home.write("Applications/" + name + ".app/Contents/Info.plist", 0,
                   CleanupTestHome::plist({{"CFBundleName", name}, {"CFBundleIdentifier", id}}));
        home.write("Applications/" + name + ".app/Contents/MacOS/" + name, bytes);
    }
    bool listingFails = false;

    void open()
    {
        UninstallerViewController::Sources sources{
            home.dir.path(),
            [this](const std::string& root) {
                if (listingFails)
                    throw std::runtime_error("The disk went away.");
                return std::vector<std::string>{root + "/Applications"};
            },
            [this](const std::vector<brisklet::ApplicationEntry>&) { return running; }};
        screen = std::make_unique<UninstallerViewController>(sources, nullptr);
        screen->show();
        ASSERT_TRUE(waitFor([this] { return !screen->isWorking() && !screen->isSizing(); }));
    }
    ApplicationListModel* model() const { return screen->model(); }
    void tick(const char* name)
    {
        for (int row = 0; row < model()->rowCount(); ++row) {
            if (model()->index(row).data().toString() == QLatin1String(name))
                model()->setData(model()->index(row), Qt::Checked, Qt::CheckStateRole);
        }
    }
    QStringList names() const
    {
        QStringList shown;
        for (int row = 0; row < model()->rowCount(); ++row)
            shown << model()->index(row).data().toString();
        return shown;
    }
};

TEST_F(UninstallerTest, SearchMatchesAnIdentifierFragmentAndBlankSearchShowsAll)
{
    open();
    EXPECT_EQ(names(), (QStringList{"Draw", "Krita", "Safari"})); // largest first once measured
    screen->searchField()->setText(" \tINKSCAPE ");
    EXPECT_EQ(names(), QStringList{"Draw"});
    screen->searchField()->setText("   ");
    EXPECT_EQ(names().size(), 3);
    screen->searchField()->setText("nothing like it");
    EXPECT_TRUE(screen->summaryLabel()->text().isEmpty());
}

TEST_F(UninstallerTest, GuardsRefuseProtectedOnlyAskOnMixedAndRefuseRunningApps)
{
    open();
    // A ticked application whose identifier became a system one on a rescan stays ticked.
    tick("Draw");
    tick("Krita");
    bundle("Draw", "com.apple.draw", 30000);
    screen->scan();
    ASSERT_TRUE(waitFor([this] { return !screen->isWorking(); }));
    ASSERT_EQ(model()->checkedApps().size(), 2u);
    const auto answer = [this](const QString& text, const QString& detail, bool confirm) {
        screen->uninstall();
        ASSERT_TRUE(waitFor([this] { return screen->currentAlert() && !screen->isWorking(); })) << text.toStdString();
        QMessageBox* alert = screen->currentAlert();
        EXPECT_EQ(alert->text(), text);
        EXPECT_EQ(alert->informativeText(), detail);
        EXPECT_FALSE(screen->flow()->reviewSheet());
        for (QAbstractButton* button : alert->buttons()) {
            // What the button shows: a lone & marks a mnemonic and is not drawn, && draws one &.
            QString shown = button->text();
            shown.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(u'&').replace(u'\x01', u'&');
            EXPECT_FALSE(shown.contains(QStringLiteral("  "))) << shown.toStdString();
            if (button->text().contains(QStringLiteral("Skip"))) {
                EXPECT_EQ(shown, QStringLiteral("Skip & Uninstall"));
            }
        }
        if (confirm)
            alert->buttons().constFirst()->click();
        else
            alert->reject();
        ASSERT_TRUE(waitFor([this, alert] { return screen->currentAlert() != alert; }));
    };
    answer("Skip system applications?", "Draw came with the package manager and will be skipped. Uninstall the rest?", false);
    running = {"org.kde.krita"};
    answer("Skip system applications?", "Draw came with the package manager and will be skipped. Uninstall the rest?", true);
    answer("Quit these apps first: Krita.", {}, false);
    model()->setChecked(1, false);
    model()->setChecked(0, false);
    ASSERT_EQ(model()->checkedApps().size(), 1u);
    answer("These are system applications installed by the package manager and can't be uninstalled here.", {}, false);
    EXPECT_TRUE(QFileInfo::exists(home.path("Applications/Krita.app")));
}

TEST_F(UninstallerTest, SummaryWhileSizingAndAfterAndButtonTitle)
{
    ApplicationListModel list;
    brisklet::ApplicationEntry a{"A", "org.a", "/x/A.app", 0, {}, false};
    brisklet::ApplicationEntry b{"B", "org.b", "/x/B.app", 0, {}, false};
    list.setApplications({a, b}, {});
    EXPECT_EQ(list.summary(), "2 apps · measuring sizes, " + formatBytes(0) + " so far");
    list.recordSize("/x/A.app", 1500000000);
    EXPECT_EQ(list.summary(), "2 apps · measuring sizes, " + formatBytes(1500000000) + " so far");
    list.recordSize("/x/B.app", 0);
    EXPECT_EQ(list.summary(), "2 apps · " + formatBytes(1500000000) + " total");
    list.setChecked(0, true);
    EXPECT_EQ(list.summary(), "1 app selected · " + formatBytes(1500000000));
    EXPECT_EQ(list.uninstallTitle(), "Uninstall");
    list.setChecked(1, true);
    EXPECT_EQ(list.uninstallTitle(), "Uninstall 2 Apps");
}

TEST_F(UninstallerTest, RescanForgetsSizesMeasuresAfreshAndKeepsTheKeyboardOnRescan)
{
    open();
    bundle("Krita", "org.kde.krita", 90000);
    screen->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
    screen->rescanButton()->setFocus(Qt::TabFocusReason);
    screen->rescanButton()->click();
    screen->scan(); // ignored while listing
    ASSERT_TRUE(waitFor([this] { return !screen->isWorking(); }));
    EXPECT_TRUE(screen->rescanButton()->hasFocus()) << "the keyboard stays on Rescan, disabled meanwhile";
    EXPECT_TRUE(model()->sizes().isEmpty());
    EXPECT_TRUE(screen->isSizing());
    ASSERT_TRUE(waitFor([this] { return !screen->isSizing(); }));
    EXPECT_EQ(names().front(), "Krita");
}

TEST_F(UninstallerTest, UninstalledAppsLeaveTheListWithTheirLeftoversWithoutRescan)
{
    open();
    const QString cache = home.write(".cache/org.kde.krita/blob", 5000);
    tick("Krita");
    EXPECT_EQ(screen->uninstallButton()->text(), "Uninstall");
    screen->uninstallButton()->click();
    ASSERT_TRUE(waitFor([this] { return screen->flow()->reviewSheet() != nullptr; }));
    QStringList reviewed;
    for (const auto& item : screen->flow()->reviewSheet()->items())
        reviewed << item.path;
    EXPECT_EQ(reviewed, (QStringList{home.path("Applications/Krita.app"), home.path(".cache/org.kde.krita")}));
    ASSERT_TRUE(confirmSheet(screen->flow()->reviewSheet()));
    ASSERT_TRUE(waitFor([this] { return names().size() == 2; }));
    EXPECT_FALSE(screen->isWorking());
    EXPECT_FALSE(QFileInfo::exists(cache));
    EXPECT_TRUE(model()->checkedApps().empty());
    EXPECT_TRUE(screen->summaryLabel()->text().startsWith("Moved 2 items"));
}

TEST_F(UninstallerTest, PutBackLineOutlivesTheListingThatFollowsUntilTheUserTicks)
{
    open();
    tick("Krita");
    screen->uninstallButton()->click();
    ASSERT_TRUE(waitFor([this] { return screen->flow()->reviewSheet() != nullptr; }));
    ASSERT_TRUE(confirmSheet(screen->flow()->reviewSheet()));
    ASSERT_TRUE(waitFor([this] { return names().size() == 2 && !screen->flow()->isRunning(); }));
    screen->flow()->undo();
    ASSERT_TRUE(waitFor([this] { return names().size() == 3 && !screen->isWorking() && !screen->isSizing(); }));
    const QString line = screen->summaryLabel()->text();
    EXPECT_TRUE(line.startsWith("Put back 1 item")) << line.toStdString();
    EXPECT_TRUE(line.endsWith(model()->summary())) << line.toStdString();
    tick("Draw");
    EXPECT_EQ(screen->summaryLabel()->text(), model()->summary());
}

TEST_F(UninstallerTest, SettingsAnotherInstalledProgramAlsoUsesAreOfferedUnticked)
{
    // dpkg is installed on every Debian system: ~/.config/dpkg is never only a "dpkg" AppImage's.
    home.write("Applications/dpkg.AppImage", 4096);
    home.write(".config/dpkg/settings", 4096);
    open();
    tick("dpkg");
    screen->uninstallButton()->click();
    ASSERT_TRUE(waitFor([this] { return screen->flow()->reviewSheet() != nullptr; }));
    QStringList reviewed, ticked;
    for (const auto& item : screen->flow()->reviewSheet()->items())
        (item.checked ? ticked : reviewed) << item.path;
    EXPECT_EQ(ticked, QStringList{home.path("Applications/dpkg.AppImage")});
    EXPECT_EQ(reviewed, QStringList{home.path(".config/dpkg")});
    // The reason shows in the row, under the name.
    const int row = screen->flow()->reviewSheet()->items()[0].checked ? 1 : 0;
    QTableView* table = screen->flow()->reviewSheet()->tableView();
    EXPECT_EQ(table->model()->index(row, 0).data(Qt::AccessibleDescriptionRole).toString(),
              "Also used by dpkg, installed on this computer");
    EXPECT_GT(table->rowHeight(row), table->rowHeight(1 - row));
    screen->flow()->reviewSheet()->cancelClicked();
}

TEST_F(UninstallerTest, KeyboardRowSurvivesSearchAndResortAndUninstallWaitsWhileTheReviewIsOpen)
{
    open();
    QTableView* table = screen->tableView();
    const auto currentName = [table] { return table->currentIndex().data().toString(); };
    table->setCurrentIndex(model()->index(1));
    ASSERT_EQ(currentName(), "Krita");
    screen->searchField()->setText("kr");
    EXPECT_EQ(currentName(), "Krita");
    screen->searchField()->clear();
    EXPECT_EQ(currentName(), "Krita");
    model()->recordSize(home.path("Applications/Krita.app"), qint64(1) << 30);
    model()->sortBySize();
    EXPECT_EQ(table->currentIndex().row(), 0);
    EXPECT_EQ(currentName(), "Krita");
    EXPECT_TRUE(table->selectionModel()->isRowSelected(0, {}));

    tick("Krita");
    screen->uninstallButton()->click();
    ASSERT_TRUE(waitFor([this] { return screen->flow()->reviewSheet() != nullptr; }));
    EXPECT_FALSE(screen->uninstallButton()->isEnabled());
    screen->uninstall(); // refused at once instead of gathering leftovers for nothing
    EXPECT_FALSE(screen->isWorking());
    screen->flow()->reviewSheet()->cancelClicked();
    EXPECT_TRUE(waitFor([this] { return screen->uninstallButton()->isEnabled(); }));
}

TEST_F(UninstallerTest, AFailedListingSaysWhyInsteadOfNoAppsFound)
{
    listingFails = true;
    open();
    EXPECT_EQ(screen->emptyView()->titleText(), "Couldn't list applications");
    EXPECT_EQ(screen->emptyView()->subtitleText(), "The disk went away.");
    listingFails = false;
    screen->scan();
    ASSERT_TRUE(waitFor([this] { return !screen->isWorking(); }));
    EXPECT_EQ(screen->emptyView()->titleText(), "No apps found");
}

TEST_F(UninstallerTest, LookAlikeAppImagesAreMeasuredAndUninstalledByTheirBytesAndMarkupNamesShowAsWritten)
{
    const std::string ticked = pathBytes(home.path("Applications")) + "/Caf\xE9-1.0-x86_64.AppImage";
    const std::string other = pathBytes(home.path("Applications")) + "/Caf\xE8-1.0-x86_64.AppImage";
    std::ofstream(ticked) << std::string(4096, 'x');
    std::ofstream(other) << std::string(8192, 'x');
    home.write("Applications/<h1>big.app/Contents/Info.plist", 0,
               CleanupTestHome::plist({{"CFBundleName", "&lt;h1&gt;big"}, {"CFBundleIdentifier", "org.big"}}));
    running = {"org.big"};
    open(); // every size measured
    tick("<h1>big");
    for (int row = 0; row < model()->rowCount(); ++row)
        if (model()->index(row).data(ApplicationListModel::PathRole).toString() == pathFromBytes(ticked))
            model()->setChecked(row, true);
    screen->uninstall(); // "Quit these apps first: <h1>big."
    ASSERT_TRUE(waitFor([this] { return screen->currentAlert() && !screen->isWorking(); }));
    ShownNames shown{{"<h1>big"}};
    EXPECT_GE(shown.walk(screen.get()).seen, 2);
    EXPECT_TRUE(shown.misread.isEmpty()) << shown.misread.join("\n").toStdString();
    screen->currentAlert()->close();
    running.clear();
    ASSERT_TRUE(waitFor([this] { screen->uninstall(); return screen->flow()->reviewSheet() != nullptr; }));
    const auto& items = screen->flow()->reviewSheet()->items();
    EXPECT_EQ(std::count_if(items.begin(), items.end(), [&](const auto& item) { return item.path == pathFromBytes(ticked); }), 1);
    ASSERT_TRUE(confirmSheet(screen->flow()->reviewSheet()));
    ASSERT_TRUE(waitFor([this] { return names().size() == 4; }));
    EXPECT_NE(::access(ticked.c_str(), F_OK), 0);
    EXPECT_EQ(::access(other.c_str(), F_OK), 0);
}

} // namespace

TEST(ApplicationRowDelegate, PaintingReadsNoIconFileTheRowGetsItsPictureFromAWorker)
{
    CleanupTestHome home;
    QImage red(64, 64, QImage::Format_ARGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(home.path("red.png")));
    ASSERT_EQ(::mkfifo(pathBytes(home.path("pipe.png")).c_str(), 0600), 0); // would hang a blocking read
    QStandardItemModel model;
    for (const QString& icon : {home.path("red.png"), home.path("pipe.png")}) {
        auto* row = new QStandardItem(QStringLiteral("Paint"));
        row->setData(icon, ApplicationListModel::IconRole);
        model.appendRow(row);
    }
    QTableView view;
    view.setModel(&model);
    ApplicationRowDelegate delegate;
    const auto redPixels = [&](int row) {
        QImage canvas(400, 52, QImage::Format_ARGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.widget = &view;
        option.rect = canvas.rect();
        delegate.paint(&painter, option, model.index(row, 0));
        painter.end();
        int count = 0;
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                count += canvas.pixel(x, y) == qRgb(255, 0, 0);
        return count;
    };
    EXPECT_EQ(redPixels(0), 0) << "the first paint drew the file's picture: it was read on the GUI thread";
    redPixels(1);
    ASSERT_TRUE(waitFor([&] { return redPixels(0) > 500; }));
    EXPECT_TRUE(BackgroundRunner::pool()->waitForDone(10000)) << "a worker hangs on the pipe";
}

// A read on a hung mount never returns: a new listing must not start it again (each would hold one more
// thread of the shared pool); a read that fails shows the initial's tile, not a blank one for ever.
TEST(ApplicationRowDelegate, HungIconReadsAreNeverRepeatedNorFillThePoolAndAFailedReadShowsTheTile)
{
    std::atomic<bool> open = false;
    std::atomic<int> hung = 0;
    const QStringList icons{"fails", "none", "/hung/a.png", "/hung/b.png", "/hung/c.png"};
    QStandardItemModel model;
    for (const QString& icon : icons) {
        model.appendRow(new QStandardItem(QStringLiteral("Paint")));
        model.setData(model.index(model.rowCount() - 1, 0), icon, ApplicationListModel::IconRole);
    }
    QTableView view;
    view.setModel(&model);
    ApplicationRowDelegate delegate(nullptr, [&](const std::string& icon) {
        if (icon == "fails")
            throw std::runtime_error("unreadable");
        if (icon != "none")
            ++hung, open.wait(false);
        return QImage();
    });
    const auto paint = [&](int row) {
        QImage canvas(400, 52, QImage::Format_ARGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        QStyleOptionViewItem option;
        option.widget = &view;
        option.rect = canvas.rect();
        delegate.paint(&painter, option, model.index(row, 0));
        return canvas;
    };
    for (int listing = 0; listing < 3; ++listing) {
        delegate.clearIconCache(icons);
        for (int row = 0; row < model.rowCount(); ++row)
            paint(row);
        QCoreApplication::processEvents();
    }
    open = true;
    open.notify_all();
    EXPECT_TRUE(waitFor([&] { return hung >= 3 && BackgroundRunner::pool()->activeThreadCount() == 0; }));
    settleBackground();
    EXPECT_EQ(hung.load(), 3) << "a read still running was started again for a new listing";
    EXPECT_TRUE(paint(0) == paint(1)) << "a failed read left a blank tile";
}
