// Every text the program shows on a Linux desktop is free of the other platform's names. The pictures
// of scripts/screenshots open every section, sheet, menu, alert and window; while they are taken, each
// shown widget and every open window is read: texts, tooltips, accessible names, window titles, actions
// and the data of every item model. The host profile's texts for alerts no picture opens are read too.
#include "Screenshots.h"
#include "SectionScreens.h"

#include "platform/HostProfile.h"
#include "shell/AppDelegate.h"
#include "shell/PictureWatch.h"
#include "shell/UpdateController.h"
#include "system/SoftwareUpdateChecker.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const QRegularExpression otherPlatform(
    QStringLiteral("\\bMac\\b|macOS|\\bApple\\b|Finder|System Settings|Xcode|\\biOS\\b|\u2318"));

class TextReader {
public:
    QSet<QString> found; // "where: text" of every offending text

    void check(const QString& where, const QString& text)
    {
        if (otherPlatform.match(text).hasMatch())
            found.insert(where + QStringLiteral(": ") + text);
    }

    void readModel(const QString& where, const QAbstractItemModel* model, const QModelIndex& parent = {})
    {
        if (!model)
            return;
        for (int row = 0; row < model->rowCount(parent); ++row) {
            for (int column = 0; column < model->columnCount(parent); ++column) {
                const QModelIndex index = model->index(row, column, parent);
                for (int role : {int(Qt::DisplayRole), int(Qt::ToolTipRole), int(Qt::AccessibleTextRole),
                                 int(Qt::AccessibleDescriptionRole), int(Qt::StatusTipRole)})
                    check(where, index.data(role).toString());
                if (column == 0 && model->hasChildren(index))
                    readModel(where, model, index);
            }
        }
        for (int column = 0; column < model->columnCount(parent); ++column)
            check(where, model->headerData(column, Qt::Horizontal).toString());
    }

    void readActions(const QString& where, const QList<QAction*>& actions)
    {
        for (QAction* action : actions) {
            check(where, action->text());
            check(where, action->toolTip());
            check(where, action->statusTip());
            if (action->menu())
                readActions(where, action->menu()->actions());
        }
    }

    void read(QWidget* widget)
    {
        const QString where = widget->metaObject()->className() + QStringLiteral(" ") + widget->objectName();
        check(where, widget->windowTitle());
        check(where, widget->toolTip());
        check(where, widget->accessibleName());
        check(where, widget->accessibleDescription());
        check(where, widget->statusTip());
        readActions(where, widget->actions());
        if (auto* label = qobject_cast<QLabel*>(widget))
            check(where, label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            check(where, button->text());
        if (auto* field = qobject_cast<QLineEdit*>(widget)) {
            check(where, field->text());
            check(where, field->placeholderText());
        }
        if (auto* box = qobject_cast<QGroupBox*>(widget))
            check(where, box->title());
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            readModel(where, combo->model());
        if (auto* view = qobject_cast<QAbstractItemView*>(widget))
            readModel(where, view->model());
        for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            read(child);
    }
};

} // namespace

TEST(Wording, EveryShownTextOfTheLinuxProfileIsFreeOfTheOtherPlatformsNames)
{
    TextReader reader;
    int pictures = 0;
    PictureWatch::setObserver([&](QWidget* shown) {
        ++pictures;
        reader.read(shown);
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible())
                reader.read(window);
    });
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // The analyzer's pictures scan a small tree of the temporary home, not the machine's files.
    const QString tree = QDir::homePath() + QStringLiteral("/Demo");
    for (const char* name : {"Videos/clip.mkv", "Documents/notes.txt", "Projects/site/index.html"}) {
        QDir().mkpath(QFileInfo(tree + "/" + name).path());
        QFile file(tree + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(64 * 1024, 'x'));
    }
    qputenv("BRISKLET_SCREENSHOT_FOLDER", QFile::encodeName(tree));
    UpdateController updates(Screenshots::demoFeed());
    AppDelegate delegate(SectionScreens::table(), &updates);
    delegate.applicationDidFinishLaunching();
    // Whether every picture settles in time on a small tree is scripts/screenshots' concern; here
    // what counts is what was on screen.
    Screenshots::writeAll(delegate, folder.path());
    PictureWatch::setObserver({});
    EXPECT_GT(pictures, 40) << "the pictures open every screen, sheet and menu";

    // Alerts no picture opens, and the update check's answers and errors.
    const brisklet::HostProfile& profile = brisklet::hostProfile();
    for (const std::string* text :
         {&profile.revealInFileManagerTitle, &profile.systemAppDetailPrefix, &profile.downloadedUpdateHint,
          &profile.updaterName, &profile.thisComputer, &profile.systemServicesWarning, &profile.updateCheckProgress,
          &profile.openUpdaterTitle, &profile.openUpdaterFailure, &profile.uninstallerEmptySubtitle,
          &profile.systemAppsCannotBeUninstalled, &profile.skipSystemAppsQuestion, &profile.systemAppsSkipped})
        reader.check(QStringLiteral("host profile"), QString::fromStdString(*text));
    using Checker = brisklet::SoftwareUpdateCheckError;
    for (const auto kind : {Checker::Kind::commandFailed, Checker::Kind::timedOut, Checker::Kind::unrecognizedOutput})
        reader.check(QStringLiteral("update check"), QString::fromStdString(Checker::describe(kind, 1, "", profile)));
    for (const auto& status : {brisklet::SoftwareUpdateStatus::noUpdates(),
                               brisklet::SoftwareUpdateStatus::available({{"openssl", "3.0.15", true, true}})})
        reader.check(QStringLiteral("update check"),
                     QString::fromStdString(brisklet::SoftwareUpdateChecker::statusMessage(status)));

    QStringList found = reader.found.values();
    found.sort();
    EXPECT_TRUE(found.isEmpty()) << found.join(QLatin1Char('\n')).toStdString();
}
