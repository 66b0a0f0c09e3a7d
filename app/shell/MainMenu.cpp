#include "MainMenu.h"

#include "AppInfo.h"
#include "EditActions.h"
#include "NotificationCenter.h"
#include "PathBytes.h"
#include "Section.h"
#include "UpdateController.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTableWidget>
#include <QHeaderView>
#include <QVBoxLayout>

#include <iterator>

namespace {
QAction* addItem(QMenu* menu, const QString& title, const QKeySequence& key = {}, const QString& name = {})
{
    QAction* action = menu->addAction(title);
    if (!key.isEmpty())
        action->setShortcut(key);
    if (!name.isEmpty())
        action->setObjectName(name);
    return action;
}

// The View menu's items: the sidebar titles with a mnemonic each.
QString sectionItemTitle(Section section)
{
    switch (section) {
    case Section::dashboard: return QStringLiteral("&Dashboard");
    case Section::analyzer: return QStringLiteral("Disk &Analyzer");
    case Section::smartClean: return QStringLiteral("&Smart Clean");
    case Section::uninstaller: return QStringLiteral("U&ninstaller");
    case Section::crew: return QStringLiteral("&Processes");
    case Section::ports: return QStringLiteral("P&orts");
    }
    return {};
}

const QString projectUrl = QStringLiteral("https://brisklet.io/");
const QString licenceUrl = QStringLiteral("https://www.gnu.org/licenses/gpl-3.0.html");

// One window per parent and kind: a second request raises the open one.
QDialog* existing(QWidget* parent, const QString& name)
{
    if (!parent)
        return nullptr;
    auto* dialog = parent->findChild<QDialog*>(name, Qt::FindDirectChildrenOnly);
    if (dialog) {
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
    }
    return dialog;
}

QDialog* newDialog(QWidget* parent, const QString& name, const QString& title)
{
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(name);
    dialog->setWindowTitle(title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    return dialog;
}
} // namespace

namespace MainMenu {

QString versionText(const QString& version, const QString& build)
{
    // Builds are numbered after the release by default; a package rebuilt under the same version says so.
    if (build.isEmpty() || build == QStringLiteral("1") || build == version)
        return version;
    return QStringLiteral("%1 (%2)").arg(version, build);
}

QMenuBar* install(UpdateController& updateController)
{
    auto* bar = new QMenuBar;

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    addItem(file, QStringLiteral("New &Scan"), QKeySequence(Qt::CTRL | Qt::Key_N), newScanItem);
    QObject::connect(addItem(file, QStringLiteral("Check for &Updates")), &QAction::triggered, &updateController,
                     &UpdateController::checkForUpdatesFromMenu);
    file->addSeparator();
    QAction* quit = addItem(file, QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    QObject::connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    new EditActions(edit);
    edit->addSeparator();
    QAction* preferences =
        addItem(edit, QStringLiteral("Pr&eferences"), QKeySequence(Qt::CTRL | Qt::Key_Comma), preferencesItem);
    preferences->setMenuRole(QAction::PreferencesRole);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    int number = 0;
    for (const Section section : Sections::all()) {
        const QKeyCombination key(Qt::ControlModifier, Qt::Key(Qt::Key_1 + number++));
        QAction* show = addItem(view, sectionItemTitle(section), QKeySequence(key));
        show->setObjectName(QStringLiteral("menu.section.") + Sections::rawValue(section));
        QObject::connect(show, &QAction::triggered, [section] {
            NotificationCenter::shared().post(NotificationNames::switchSection, nullptr,
                                              {{NotificationNames::sectionKey, Sections::rawValue(section)}});
        });
    }
    view->addSeparator();
    addItem(view, QStringLiteral("&Refresh"), QKeySequence(Qt::Key_F5), refreshItem);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    QObject::connect(addItem(help, QStringLiteral("&Keyboard Shortcuts"), QKeySequence::HelpContents), &QAction::triggered, bar,
                     [bar] { showKeyboardShortcuts(bar->window()); });
    QAction* about = addItem(help, QStringLiteral("&About Brisklet"));
    about->setMenuRole(QAction::AboutRole);
    QObject::connect(about, &QAction::triggered, bar, [bar] { showAbout(bar->window()); });
    return bar;
}

void showKeyboardShortcuts(QWidget* parent)
{
    const QString name = QStringLiteral("dialog.keyboardShortcuts");
    if (existing(parent, name))
        return;
    QDialog* dialog = newDialog(parent, name, QStringLiteral("Keyboard Shortcuts"));
    const struct {
        const char* keys;
        const char* what;
    } rows[] = {
        {"Ctrl+N", "New scan in the Disk Analyzer"},
        {"Ctrl+1 \u2026 Ctrl+6", "Show a section, in sidebar order"},
        {"F5", "Refresh the shown section"},
        {"Ctrl+F", "Search the shown list"},
        {"Ctrl+C", "Copy the selected rows"},
        {"Ctrl+A", "Select all rows"},
        {"Delete", "Move the selected items to the Trash"},
        {"Delete", "Stop the selected process (Processes, Ports)"},
        {"Return", "Open the selected port in the browser"},
        {"Left, Right", "Previous or next item in a chart"},
        {"Shift+Left, Shift+Right", "Add the previous or next item to the selection"},
        {"Down", "Into the selected folder in a chart"},
        {"Up", "To the enclosing folder in a chart"},
        {"Return", "Open the selected folder in a chart; press the focused button"},
        {"Backspace, Alt+Up", "Up one level in a chart"},
        {"Escape", "Cancel a scan or close a sheet"},
        {"Ctrl+,", "Preferences"},
        {"Ctrl+Q", "Quit"},
    };
    auto* table = new QTableWidget(static_cast<int>(std::size(rows)), 2, dialog);
    table->setHorizontalHeaderLabels({QStringLiteral("Keys"), QStringLiteral("Action")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    table->setShowGrid(false);
    table->setAccessibleName(QStringLiteral("Keyboard shortcuts"));
    for (int row = 0; row < static_cast<int>(std::size(rows)); ++row) {
        const QString keys = utf8Text(rows[row].keys);
        table->setItem(row, 0, new QTableWidgetItem(keys));
        table->setItem(row, 1, new QTableWidgetItem(utf8Text(rows[row].what)));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(table);
    layout->addWidget(buttons);
    // As large as the table, so no row hides and nothing scrolls sideways, within the screen's free area.
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QSize size = dialog->sizeHint();
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(48, 96)); // room for the title bar
    dialog->resize(size);
    dialog->show();
}

void showAbout(QWidget* parent)
{
    const QString name = QStringLiteral("dialog.about");
    if (existing(parent, name))
        return;
    QDialog* dialog = newDialog(parent, name, QStringLiteral("About Brisklet"));
    auto* title = new QLabel(QStringLiteral("<b style=\"font-size:16pt\">Brisklet</b>"), dialog);
    auto* version = new QLabel(QStringLiteral("Version ") + versionText(AppInfo::appVersion(), AppInfo::appBuild()), dialog);
    version->setObjectName(QStringLiteral("about.version"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* summary = new QLabel(QStringLiteral("Reclaims disk space and looks after the computer."), dialog);
    auto* licence = new QLabel(
        QStringLiteral("Free software under the GNU General Public License, version 3 or later "
                       "(GPL-3.0-or-later). It comes with absolutely no warranty."),
        dialog);
    licence->setObjectName(QStringLiteral("about.licence"));
    licence->setWordWrap(true);
    auto* links = new QLabel(QStringLiteral("<a href=\"%1\">Website</a> \u00B7 <a href=\"%2\">Licence text</a>")
                                 .arg(projectUrl, licenceUrl),
                             dialog);
    links->setObjectName(QStringLiteral("about.links"));
    links->setOpenExternalLinks(true);
    links->setTextInteractionFlags(Qt::TextBrowserInteraction);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    auto* layout = new QVBoxLayout(dialog);
    layout->setSpacing(10);
    for (QLabel* label : {title, version, summary, licence, links}) {
        label->setAlignment(Qt::AlignHCenter);
        layout->addWidget(label);
    }
    layout->addStretch(1);
    layout->addWidget(buttons);
    dialog->setFixedWidth(420);
    dialog->show();
}

} // namespace MainMenu
