#include "MainWindowController.h"

#include "ButtonKeys.h"
#include "AppPreferences.h"
#include "MainMenu.h"
#include "NotificationCenter.h"
#include "SectionScreen.h"
#include "SectionContainerViewController.h"
#include "SidebarViewController.h"
#include "SymbolIcons.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QWindow>

namespace {
// Before the window is mapped its frame is unknown: room for a title bar and borders.
constexpr QSize frameAllowance(16, 48);
} // namespace

MainWindowController::MainWindowController(UpdateController& updateController, SectionScreens::Table screens,
                                           QMenuBar* menuBar, QObject* parent)
    : QObject(parent), m_window(std::make_unique<QMainWindow>())
{
    ButtonKeys::install(QCoreApplication::instance());
    m_window->setWindowTitle(QStringLiteral("Brisklet"));
    m_window->setWindowIcon(SymbolIcons::applicationIcon());
    m_window->setMinimumSize(minimumWidth, minimumHeight);
    if (menuBar)
        m_window->setMenuBar(menuBar);
    // The sizes are the content's; the menu bar comes on top of them.
    const int menuHeight = menuBar ? menuBar->sizeHint().height() : 0;
    m_window->resize(defaultWidth, defaultHeight + menuHeight);

    m_container = new SectionContainerViewController(nullptr, std::move(screens));
    m_sidebar = new SidebarViewController(updateController);
    QPointer<SectionContainerViewController> weakContainer(m_container);
    m_sidebar->onSelect = [weakContainer](Section section) {
        if (weakContainer)
            weakContainer->show(section);
    };

    m_split = new QSplitter(Qt::Horizontal);
    m_split->setObjectName(QStringLiteral("main.split"));
    m_split->setHandleWidth(1);
    m_split->setChildrenCollapsible(false);
    m_sidebar->setMinimumWidth(sidebarMinimumWidth);
    m_sidebar->setMaximumWidth(sidebarMaximumWidth);
    m_split->addWidget(m_sidebar);
    m_split->addWidget(m_container);
    m_split->setCollapsible(0, false);
    m_split->setCollapsible(1, false);
    // Resizing the window resizes the content; the sidebar keeps its width.
    m_split->setStretchFactor(0, 0);
    m_split->setStretchFactor(1, 1);
    m_split->setSizes({sidebarMinimumWidth + 20, defaultWidth - sidebarMinimumWidth - 20});

    QSettings settings(AppPreferences::settingsOrganization, AppPreferences::settingsApplication);
    const QByteArray saved = settings.value(AppPreferences::splitKey).toByteArray();
    if (!saved.isEmpty())
        m_split->restoreState(saved);
    // The divider is written once per drag, when the mouse lets go of it, not on every move.
    connect(m_split, &QSplitter::splitterMoved, this, [this] { m_splitMoved = true; });
    m_split->handle(1)->installEventFilter(this);

    m_window->setCentralWidget(m_split);

    if (!menuBar)
        return;
    const auto item = [menuBar](const QString& name) { return menuBar->findChild<QAction*>(name); };
    if (QAction* newScan = item(MainMenu::newScanItem))
        connect(newScan, &QAction::triggered, this, [this] {
            NotificationCenter::shared().post(NotificationNames::switchSection, nullptr,
                                              {{NotificationNames::sectionKey, Sections::rawValue(Section::analyzer)}});
            if (auto* screen = dynamic_cast<SectionScreen*>(m_container->current()))
                screen->sectionNewScan();
        });
    if (QAction* refresh = item(MainMenu::refreshItem))
        connect(refresh, &QAction::triggered, this, [this] {
            if (auto* screen = dynamic_cast<SectionScreen*>(m_container->current()))
                screen->sectionRefresh();
        });
    if (QAction* preferences = item(MainMenu::preferencesItem))
        connect(preferences, &QAction::triggered, m_sidebar, &SidebarViewController::showSettings);
}

MainWindowController::~MainWindowController() = default;

void MainWindowController::showWindow()
{
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize room = roomOn(*screen);
        m_window->setMinimumSize(m_window->minimumSize().boundedTo(room));
        m_window->resize(m_window->size().boundedTo(room));
        QRect frame(QPoint(0, 0), m_window->size() + frameAllowance);
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    const bool firstShow = !m_window->windowHandle();
    m_window->show();
    // Moved to a smaller screen, the window may shrink to fit it.
    if (QWindow* handle = m_window->windowHandle(); handle && firstShow)
        connect(handle, &QWindow::screenChanged, this, [this](QScreen* screen) {
            if (screen)
                m_window->setMinimumSize(QSize(minimumWidth, minimumHeight).boundedTo(roomOn(*screen)));
        });
}

QSize MainWindowController::roomOn(const QScreen& screen)
{
    return (screen.availableGeometry().size() - frameAllowance).expandedTo(QSize(320, 240));
}

bool MainWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && m_splitMoved) {
        m_splitMoved = false;
        saveSplit();
    }
    return QObject::eventFilter(watched, event);
}

void MainWindowController::saveSplit()
{
    QSettings settings(AppPreferences::settingsOrganization, AppPreferences::settingsApplication);
    settings.setValue(AppPreferences::splitKey, m_split->saveState());
}
