// The first window on small screens at every scale. The scale factor is read once when the application
// starts, so each scale runs in a child process of this test program on an offscreen screen of a set size.
#include "AppTestSupport.h"

#include "SectionScreens.h"

#include "shell/MainMenu.h"
#include "shell/MainWindowController.h"
#include "shell/NotificationCenter.h"
#include "shell/Section.h"
#include "shell/SectionContainerViewController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QScrollArea>
#include <QScreen>
#include <QTemporaryDir>

namespace {
const char* const childVariable = "BRISKLET_WINDOW_FIT_CHILD";
}

// Run by the test below in a child process; skipped in the parent's own run.
TEST(WindowFitChild, WindowAndEverySectionFitTheScreen)
{
    if (!qEnvironmentVariableIsSet(childVariable))
        GTEST_SKIP() << "runs in a child process at a set scale";
    clearSettings();
    UpdateController updates{std::make_shared<FakeFeed>()};
    MainWindowController controller{updates, SectionScreens::table(), MainMenu::install(updates)};
    QMainWindow* window = controller.window();
    controller.showWindow();
    QApplication::processEvents();

    const QRect available = window->screen()->availableGeometry();
    EXPECT_TRUE(available.contains(window->frameGeometry()))
        << "window " << window->frameGeometry().x() << "," << window->frameGeometry().y() << " "
        << window->frameGeometry().width() << "x" << window->frameGeometry().height() << " on "
        << available.width() << "x" << available.height();
    EXPECT_LE(window->minimumWidth(), available.width());
    EXPECT_LE(window->minimumHeight(), available.height());

    // At its minimum size every section still has the room its layout asks for: nothing is squeezed
    // under another control or cut at the window's edge.
    window->resize(window->minimumSize());
    for (Section section : Sections::all()) {
        NotificationCenter::shared().post(NotificationNames::switchSection, nullptr,
                                          {{NotificationNames::sectionKey, Sections::rawValue(section)}});
        QApplication::processEvents();
        QWidget* screen = controller.container()->current();
        ASSERT_NE(screen, nullptr);
        const QSize needed = window->minimumSizeHint();
        EXPECT_TRUE(needed.width() <= window->width() && needed.height() <= window->height())
            << Sections::rawValue(section).toStdString() << " needs " << needed.width() << "x" << needed.height()
            << ", the window is " << window->width() << "x" << window->height() << " (screen asks "
            << screen->minimumSizeHint().width() << "x" << screen->minimumSizeHint().height() << ")";
        // A search field's hint says what it finds, so it is not cut short either.
        for (const QLineEdit* field : screen->findChildren<QLineEdit*>())
            if (field->isVisible() && !field->placeholderText().isEmpty()) {
                EXPECT_LE(field->fontMetrics().horizontalAdvance(field->placeholderText()), field->contentsRect().width() - 8)
                    << field->placeholderText().toStdString();
            }
        // Nor is anything cut at a scrolling area's side, where no scroll bar would reach it.
        for (QAbstractScrollArea* area : screen->findChildren<QAbstractScrollArea*>()) {
            const auto* scroll = qobject_cast<QScrollArea*>(area);
            const auto* table = qobject_cast<QTableView*>(area);
            const int content = scroll && scroll->widget() ? scroll->widget()->minimumSizeHint().width()
                                : table                    ? table->horizontalHeader()->length()
                                                           : 0;
            if (area->isVisible()) {
                EXPECT_LE(content, area->viewport()->width()) << Sections::rawValue(section).toStdString();
            }
        }
    }
}

TEST(WindowFit, FirstWindowAndItsMinimumFitSmallScreensAtEveryScale)
{
    const struct {
        const char* scale;
        QSize screen;
    } cases[] = {{"1", {1366, 768}}, {"1.5", {1366, 768}}, {"2", {1600, 1000}}};
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("scale ") + c.scale);
        const QString config = folder.filePath(QStringLiteral("screen-%1.json").arg(QLatin1String(c.scale)));
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": %1, "height": %2}]})")
                       .arg(c.screen.width())
                       .arg(c.screen.height())
                       .toUtf8());
        file.close();

        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(childVariable), QStringLiteral("1"));
        environment.insert(QStringLiteral("BRISKLET_TEST_PLATFORM"), QStringLiteral("offscreen:configfile=") + config);
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QLatin1String(c.scale));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=WindowFitChild.*")});
        ASSERT_TRUE(child.waitForFinished(120'000));
        EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
    }
}
