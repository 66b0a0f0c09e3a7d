#include "Screenshots.h"

#include "analyzer/AnalyzerScreenshots.h"
#include "cleanup/CleanupScreenshots.h"
#include "cleanup/SmartCleanViewController.h"
#include "cleanup/UninstallerViewController.h"
#include "deletion/DeletionScreenshots.h"
#include "monitoring/CrewViewController.h"
#include "monitoring/DashboardViewController.h"
#include "monitoring/PortsViewController.h"
#include "analyzer/AnalyzerViewController.h"

#include "shell/AppDelegate.h"
#include "shell/AppPreferences.h"
#include "shell/MainMenu.h"
#include "shell/MainWindowController.h"
#include "shell/NotificationCenter.h"
#include "shell/OpenFailureAlert.h"
#include "shell/PathBytes.h"
#include "shell/Palette.h"
#include "shell/PictureWatch.h"
#include "shell/Section.h"
#include "shell/SidebarRowView.h"
#include "shell/SegmentedControl.h"
#include "shell/SidebarViewController.h"
#include "shell/SymbolIcons.h"
#include "shell/UpdateFeed.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTextStream>
#include <QWindow>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <stdexcept>

namespace Screenshots {

namespace {
class DemoFeed : public UpdateFeed {
public:
    std::optional<brisklet::UpdateManifest> fetchManifest(std::stop_token) override
    {
        brisklet::UpdateManifest manifest;
        manifest.version = "0.2.0";
        manifest.build = 2;
        manifest.url = "https://updates.brisklet.io/brisklet/Brisklet-0.2.0.deb";
        manifest.sha256 = std::string(64, '0');
        manifest.notes = "Faster scans of large folders.";
        return manifest;
    }
    std::string download(const brisklet::UpdateManifest&, const std::string&, const std::function<void(double)>&,
                         std::stop_token) override
    {
        throw std::runtime_error("Downloads are disabled while taking screenshots.");
    }
    QString hostName() const override { return QStringLiteral("updates.brisklet.io"); }
};

// True once the section's screen has its first answers (before that it shows a busy view or blanks).
std::function<bool()> hasSettled(QWidget* window, Section section)
{
    switch (section) {
    case Section::dashboard:
        if (const auto* screen = window->findChild<DashboardViewController*>())
            return [screen] { return !screen->isSamplingCPU() && !screen->isReadingFigures(); };
        break;
    case Section::smartClean:
        if (const auto* screen = window->findChild<SmartCleanViewController*>())
            return [screen] { return !screen->isScanning(); };
        break;
    case Section::uninstaller:
        if (const auto* screen = window->findChild<UninstallerViewController*>())
            return [screen] { return !screen->isWorking() && !screen->isSizing(); };
        break;
    case Section::crew:
        if (const auto* screen = window->findChild<CrewViewController*>())
            return [screen] { return screen->hasLoaded() && !screen->isSampling(); };
        break;
    case Section::ports:
        if (const auto* screen = window->findChild<PortsViewController*>())
            return [screen] { return screen->hasLoaded() && !screen->isScanning(); };
        break;
    case Section::analyzer:
        break;
    }
    return [] { return true; };
}

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
}

// Swatches of the chart palette: twelve families across, depths 0 to 4 down (even and odd siblings),
// each labelled in its own text colour, and the "other" colour at the end.
QImage paletteSheet()
{
    constexpr int cell = 64;
    constexpr int families = 12;
    constexpr int rows = 9;
    QImage image(families * cell, (rows + 1) * cell / 2 + 8, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    for (int family = 0; family < families; ++family) {
        for (int row = 0; row < rows; ++row) {
            const int depth = (row + 1) / 2;
            const int sibling = row == 0 ? 0 : (row + 1) % 2;
            const DistinctColor color = Palette::distinct(family, depth, sibling);
            const QRect box(family * cell, row * cell / 2, cell - 2, cell / 2 - 2);
            painter.fillRect(box, color.fill);
            painter.setPen(color.text);
            painter.drawText(box, Qt::AlignCenter,
                             QStringLiteral("%1·%2%3").arg(family).arg(depth).arg(sibling ? QStringLiteral("o") : QString()));
        }
    }
    const QRect other(0, rows * cell / 2 + 4, families * cell - 2, cell / 2 - 4);
    painter.fillRect(other, Palette::otherColor());
    painter.setPen(Qt::black);
    painter.drawText(other, Qt::AlignCenter, QStringLiteral("other"));
    return image;
}

// Every symbol of the table with its name, to check the stand-ins at a glance.
QImage symbolSheet()
{
    const QStringList names = SymbolIcons::names();
    constexpr int columns = 4;
    constexpr int cellWidth = 280;
    constexpr int cellHeight = 36;
    const int rows = static_cast<int>((names.size() + columns - 1) / columns);
    QImage image(columns * cellWidth, rows * cellHeight + 16, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(QColor(0x1d, 0x1d, 0x1f));
    for (int i = 0; i < names.size(); ++i) {
        const int x = (i % columns) * cellWidth + 8;
        const int y = (i / columns) * cellHeight + 8;
        painter.drawPixmap(x, y + 4, SymbolIcons::pixmap(names.at(i), 20, QColor(0x1d, 0x1d, 0x1f)));
        painter.drawText(QRect(x + 30, y, cellWidth - 40, 28), Qt::AlignVCenter | Qt::AlignLeft, names.at(i));
    }
    return image;
}

bool save(QWidget* widget, const QString& path)
{
    settle();
    PictureWatch::taken(widget);
    return widget->grab().save(path, "PNG");
}

// The four menus of the menu bar, each opened below its title, and the Help menu's two windows.
bool writeMenus(QMainWindow* window, const QDir& dir, const QString& look)
{
    bool ok = true;
    for (QAction* title : window->menuBar()->actions()) {
        QMenu* menu = title->menu();
        if (!menu)
            continue;
        const QRect place = window->menuBar()->actionGeometry(title);
        menu->popup(window->menuBar()->mapToGlobal(place.bottomLeft()));
        const QString name = title->text().remove(QLatin1Char('&')).toLower();
        ok = save(menu, dir.filePath(QStringLiteral("menu-%1-%2.png").arg(name, look))) && ok;
        menu->hide();
    }
    const struct {
        void (*show)(QWidget*);
        const char* dialog;
        const char* picture;
    } windows[] = {{&MainMenu::showAbout, "dialog.about", "about"},
                   {&MainMenu::showKeyboardShortcuts, "dialog.keyboardShortcuts", "shortcuts"}};
    for (const auto& shown : windows) {
        shown.show(window);
        auto* dialog = window->findChild<QDialog*>(QLatin1String(shown.dialog), Qt::FindDirectChildrenOnly);
        if (!dialog)
            return false;
        ok = save(dialog, dir.filePath(QStringLiteral("%1-%2.png").arg(QLatin1String(shown.picture), look))) && ok;
        dialog->close();
        settle();
    }
    return ok;
}

// The dashboard, processes and ports in both appearances, the dashboard once more after a real update
// check of this machine (it may take up to two minutes), and the menus.
bool writeMonitoringAndMenus(MainWindowController& controller, const QDir& dir)
{
    QMainWindow* window = controller.window();
    const QString scale = QString::number(qRound(window->devicePixelRatioF()));
    bool ok = true;
    bool checked = false;
    for (const auto appearance : {AppPreferences::Appearance::light, AppPreferences::Appearance::dark}) {
        AppPreferences::applyAppearance(appearance);
        const QString look = appearance == AppPreferences::Appearance::dark ? QStringLiteral("dark") : QStringLiteral("light");
        for (const Section section : {Section::dashboard, Section::crew, Section::ports}) {
            showSettled(window, section);
            const QString name = QStringLiteral("monitoring-%1-%2@%3x.png").arg(Sections::rawValue(section), look, scale);
            ok = save(window, dir.filePath(name)) && ok;
        }
        showSettled(window, Section::dashboard);
        if (auto* dashboard = window->findChild<DashboardViewController*>(); dashboard && !checked) {
            dashboard->checkForUpdates();
            const QDeadlineTimer limit(150'000);
            while (dashboard->isCheckingUpdates() && !limit.hasExpired()) {
                QApplication::processEvents();
                QThread::msleep(20);
            }
            checked = true;
        }
        ok = save(window, dir.filePath(QStringLiteral("dashboard-update-check-%1@%2x.png").arg(look, scale))) && ok;
        ok = writeMenus(window, dir, look) && ok;
    }
    return ok;
}

// The whole screen as the display server shows it, window manager's frame included.
bool grabScreen(const QString& path)
{
    settle();
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->grabWindow(0).save(path, "PNG");
}

// On a real display server with a window manager: every section (the Disk Analyzer's three panes
// after a scan of BRISKLET_SCREENSHOT_FOLDER) as launched, after a live switch to the other
// appearance and after one back, then at the window's minimum size; the sheets; and a line per
// picture with the window's frame and minimum against the screen's available area.
bool writeDesktopTour(MainWindowController& controller, const QDir& dir)
{
    QMainWindow* window = controller.window();
    const auto scale = QString::number(window->devicePixelRatioF());
    QFile geometryFile(dir.filePath(QStringLiteral("geometry@%1x.txt").arg(scale)));
    if (!geometryFile.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream geometry(&geometryFile);
    const QDeadlineTimer mapped(3'000);
    while (!mapped.hasExpired()) { // the window manager frames and places the window
        QApplication::processEvents();
        QThread::msleep(20);
    }
    bool ok = true;
    const auto shoot = [&](const QString& name) {
        const QString file = QStringLiteral("%1@%2x.png").arg(name, scale);
        const QRect frame = window->frameGeometry();
        const QRect room = window->screen()->availableGeometry();
        geometry << file << ": frame " << frame.x() << "," << frame.y() << " " << frame.width() << "x"
                 << frame.height() << ", minimum " << window->minimumWidth() << "x" << window->minimumHeight()
                 << ", available " << room.width() << "x" << room.height()
                 << (room.contains(frame) ? "" : "  OUTSIDE") << "\n";
        ok = grabScreen(dir.filePath(file)) && ok;
    };
    const QString folder = qEnvironmentVariable("BRISKLET_SCREENSHOT_FOLDER", QDir::homePath());
    auto* analyzer = window->findChild<AnalyzerViewController*>();
    const auto allSections = [&](const QString& phase) {
        for (Section section : Sections::all()) {
            showSettled(window, section);
            if (section != Section::analyzer || !analyzer) {
                shoot(QStringLiteral("%1-%2").arg(phase, Sections::rawValue(section)));
                continue;
            }
            if (analyzer->state() == AnalyzerViewController::State::picker) {
                shoot(QStringLiteral("%1-analyzer-start").arg(phase));
                analyzer->analyze(folder);
                const QDeadlineTimer limit(60'000);
                while (analyzer->state() != AnalyzerViewController::State::result && !limit.hasExpired()) {
                    QApplication::processEvents();
                    QThread::msleep(20);
                }
            }
            for (int pane = 0; pane < analyzer->segmented()->count(); ++pane) {
                analyzer->segmented()->setSelectedIndex(pane);
                analyzer->segmentChanged(pane);
                shoot(QStringLiteral("%1-analyzer-%2").arg(phase).arg(pane));
            }
            analyzer->segmented()->setSelectedIndex(0);
            analyzer->segmentChanged(0);
        }
    };
    const bool startedDark = AppPreferences::appliedAppearance() == AppPreferences::Appearance::dark;
    const auto first = startedDark ? AppPreferences::Appearance::dark : AppPreferences::Appearance::light;
    const auto other = startedDark ? AppPreferences::Appearance::light : AppPreferences::Appearance::dark;
    const QString firstName = startedDark ? QStringLiteral("dark") : QStringLiteral("light");
    const QString otherName = startedDark ? QStringLiteral("light") : QStringLiteral("dark");
    allSections(QStringLiteral("launched-") + firstName);
    AppPreferences::applyAppearance(other);
    allSections(QStringLiteral("switched-to-") + otherName);

    // The sheets, in the switched appearance.
    controller.sidebar()->showSettings();
    if (QDialog* sheet = controller.sidebar()->settingsSheet()) {
        shoot(QStringLiteral("sheet-settings-") + otherName);
        sheet->close();
    }
    if (analyzer) {
        showSettled(window, Section::analyzer);
        analyzer->historyClicked();
        shoot(QStringLiteral("sheet-history-") + otherName);
        for (QWidget* sheet : QApplication::topLevelWidgets())
            if (sheet != window && sheet->isVisible() && qobject_cast<QDialog*>(sheet))
                sheet->close();
    }
    showSettled(window, Section::crew);
    if (auto* crew = window->findChild<CrewViewController*>()) {
        if (QMessageBox* stop = crew->requestStop(0)) {
            shoot(QStringLiteral("sheet-stop-") + otherName);
            stop->reject();
        }
    }
    QMessageBox* alert = OpenFailureAlert::show(window, QStringLiteral("No File Manager Found"),
                                                QStringLiteral("No file manager could show this item. Its path:"),
                                                folder + QStringLiteral("/Videos/holiday-2023.mp4"));
    shoot(QStringLiteral("sheet-open-failed-") + otherName);
    alert->close();

    AppPreferences::applyAppearance(first);
    allSections(QStringLiteral("switched-back-to-") + firstName);
    window->resize(window->minimumSize());
    allSections(QStringLiteral("minimum-") + firstName);
    return ok;
}
} // namespace

std::shared_ptr<UpdateFeed> demoFeed() { return std::make_shared<DemoFeed>(); }

bool useThrowAwayHome(std::unique_ptr<QTemporaryDir>& holder)
{
    const QString temp = QDir(QDir::tempPath()).canonicalPath();
    const QString home = QDir(qEnvironmentVariable("HOME")).canonicalPath();
    if (!temp.isEmpty() && !home.isEmpty() && home.startsWith(temp + QLatin1Char('/')))
        return true;
    auto folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/brisklet-pictures-XXXXXX"));
    if (!folder->isValid())
        return false;
    const QString path = folder->path();
    const struct {
        const char* variable;
        const char* below;
    } places[] = {{"HOME", ""},
                  {"XDG_CONFIG_HOME", "/.config"},
                  {"XDG_DATA_HOME", "/.local/share"},
                  {"XDG_CACHE_HOME", "/.cache"},
                  {"XDG_STATE_HOME", "/.local/state"}};
    for (const auto& place : places) {
        const QString where = path + QLatin1String(place.below);
        if (!QDir().mkpath(where) || !qputenv(place.variable, pathByteArray(where)))
            return false;
    }
    holder = std::move(folder);
    return true;
}

void showSettled(QWidget* window, Section section)
{
    NotificationCenter::shared().post(NotificationNames::switchSection, nullptr,
                                      {{NotificationNames::sectionKey, Sections::rawValue(section)}});
    const std::function<bool()> ready = hasSettled(window, section);
    const QDeadlineTimer limit(10'000);
    while (!ready() && !limit.hasExpired()) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    settle(); // the answer's layout and paint
}

bool writeAll(AppDelegate& delegate, const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    const QDir dir(folder);
    MainWindowController* controller = delegate.windowController();
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        return writeDesktopTour(*controller, dir);
    QMainWindow* window = controller->window();
    bool ok = true;

    int number = 1;
    for (Section section : Sections::all()) {
        showSettled(window, section);
        const QString name = QStringLiteral("%1-%2.png").arg(number++, 2, 10, QLatin1Char('0')).arg(Sections::rawValue(section));
        ok = save(window, dir.filePath(name)) && ok;
    }

    NotificationCenter::shared().post(NotificationNames::switchSection, nullptr,
                                      {{NotificationNames::sectionKey, Sections::rawValue(Section::dashboard)}});
    controller->sidebar()->showSettings();
    if (QDialog* sheet = controller->sidebar()->settingsSheet()) {
        ok = save(sheet, dir.filePath(QStringLiteral("07-settings.png"))) && ok;
        sheet->close();
    }

    // The sidebar as a keyboard user finds it: the focus ring on the selected row.
    const auto sidebarWithFocus = [&](const QString& name) {
        window->activateWindow();
        controller->sidebar()->rowViews().at(Section::dashboard)->setFocus(Qt::TabFocusReason);
        return save(controller->sidebar(), dir.filePath(name));
    };
    ok = sidebarWithFocus(QStringLiteral("07-sidebar-focus.png")) && ok;

    AppPreferences::applyAppearance(AppPreferences::Appearance::dark);
    ok = sidebarWithFocus(QStringLiteral("08-sidebar-focus-dark.png")) && ok;
    ok = save(window, dir.filePath(QStringLiteral("08-dashboard-dark.png"))) && ok;
    controller->sidebar()->showSettings();
    if (QDialog* sheet = controller->sidebar()->settingsSheet()) {
        ok = save(sheet, dir.filePath(QStringLiteral("09-settings-dark.png"))) && ok;
        sheet->close();
    }
    ok = paletteSheet().save(dir.filePath(QStringLiteral("10-chart-palette.png")), "PNG") && ok;
    ok = symbolSheet().save(dir.filePath(QStringLiteral("11-symbols.png")), "PNG") && ok;
    ok = AnalyzerScreenshots::writeAll(folder) && ok;
    ok = CleanupScreenshots::writeAll(folder) && ok;
    ok = DeletionScreenshots::writeAll(folder) && ok;
    ok = writeMonitoringAndMenus(*controller, dir) && ok;
    return ok;
}

} // namespace Screenshots
