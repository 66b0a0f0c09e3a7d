#include "UninstallerViewController.h"

#include "ApplicationListModel.h"
#include "ApplicationRowDelegate.h"
#include "CleanupWidgets.h"
#include "shell/SummaryLine.h"
#include "shell/FileBrowser.h"
#include "shell/FocusReturn.h"
#include "shell/ItemActivation.h"
#include "apps/AppCatalog.h"
#include "apps/LeftoverScanner.h"
#include "deletion/DestructiveButton.h"
#include "deletion/TrashFlowController.h"
#include "platform/FileServices.h"
#include "platform/HostProfile.h"
#include "shell/PathBytes.h"
#include "shell/PlaceholderViewController.h"
#include "shell/PlainText.h"
#include "shell/RowCopy.h"
#include "shell/VoyageScanningView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <map>

namespace {
constexpr int sizingSlots = 3;
const QString emptyTitle = QStringLiteral("No apps found");
const QString emptySubtitle = utf8Text(brisklet::hostProfile().uninstallerEmptySubtitle);

QStringList namesOf(const std::vector<brisklet::ApplicationEntry>& applications)
{
    QStringList names;
    for (const brisklet::ApplicationEntry& application : applications)
        names << visibleText(pathFromBytes(application.name));
    return names;
}
} // namespace

UninstallerViewController::Sources UninstallerViewController::userSources()
{
    return {pathFromBytes(brisklet::platform::homeDirectory()),
            [](const std::string& home) { return brisklet::AppCatalog::scanRoots(home); },
            brisklet::AppCatalog::runningBundleIDs};
}

UninstallerViewController::UninstallerViewController(QWidget* parent) : UninstallerViewController(userSources(), parent)
{
}

UninstallerViewController::UninstallerViewController(Sources sources, QWidget* parent)
    : QWidget(parent), m_sources(std::move(sources))
{
    setObjectName(QStringLiteral("screen.uninstaller"));
    setAccessibleName(QStringLiteral("Uninstaller"));

    m_search = new QLineEdit(this);
    m_search->setPlaceholderText(QStringLiteral("Search apps"));
    m_search->setAccessibleName(QStringLiteral("Search apps"));
    m_search->setClearButtonEnabled(true);
    m_search->setMaximumWidth(240);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, m_search, [this] { m_search->setFocus(Qt::ShortcutFocusReason); });
    m_rescan = new QPushButton(QStringLiteral("Rescan"), this);
    m_rescan->setToolTip(QStringLiteral("List the installed applications again"));
    connect(m_rescan, &QPushButton::clicked, this, &UninstallerViewController::scan);
    FocusReturn::install(m_rescan);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    titleRow->addWidget(CleanupWidgets::title(QStringLiteral("Uninstaller"), this));
    titleRow->addStretch(1);
    titleRow->addWidget(m_search);
    titleRow->addWidget(m_rescan);

    m_model = new ApplicationListModel(this);
    m_delegate = new ApplicationRowDelegate(this);
    m_table = new QTableView(this);
    m_table->setTabKeyNavigation(false); // Tab leaves the list; the arrows move in it
    m_table->setModel(m_model);
    m_table->setItemDelegate(m_delegate);
    m_table->setObjectName(QStringLiteral("app"));
    m_table->setAccessibleName(QStringLiteral("Applications"));
    m_table->horizontalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_delegate->sizeHint({}, {}).height());
    m_table->setAlternatingRowColors(true);
    m_table->setShowGrid(false);
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_table->setMinimumWidth(420);
    RowCopy::enable(m_table);
    ItemActivation::onOpen(m_table, [this](const QModelIndex& index) {
        FileBrowser::reveal(index.data(ApplicationListModel::PathRole).toString(), this);
    });
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_keptCurrent = m_table->currentIndex().data(ApplicationListModel::PathRole).toString();
        m_keptSelection.clear();
        for (const QModelIndex& row : m_table->selectionModel()->selectedRows())
            m_keptSelection << row.data(ApplicationListModel::PathRole).toString();
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, &UninstallerViewController::restoreKeptRows);
    connect(m_search, &QLineEdit::textChanged, m_model, &ApplicationListModel::setSearchText);
    connect(m_model, &ApplicationListModel::summaryChanged, this, [this] {
        updateSummary();
        updateEmptyState();
    });

    m_empty = new PlaceholderViewController(QStringLiteral("square.grid.2x2"), emptyTitle, emptySubtitle, this);
    m_empty->hide();
    m_busy = new VoyageScanningView(this);
    m_busy->hide();

    m_bottomBar = new QWidget(this);
    m_summary = CleanupWidgets::summary(m_bottomBar, m_tints);
    m_undo = CleanupWidgets::undoButton(QStringLiteral("Put the last uninstalled items back"), m_bottomBar);
    m_uninstall = new DestructiveButton(QStringLiteral("Uninstall"), m_bottomBar);
    connect(m_uninstall, &QPushButton::clicked, this, &UninstallerViewController::uninstall);
    auto* bottomRow = new QHBoxLayout(m_bottomBar);
    bottomRow->setContentsMargins(0, 0, 0, 0);
    bottomRow->setSpacing(8);
    bottomRow->addWidget(m_summary, 1);
    bottomRow->addWidget(m_undo);
    bottomRow->addWidget(m_uninstall);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 20);
    layout->setSpacing(6);
    layout->addLayout(titleRow);
    layout->addWidget(CleanupWidgets::subtitle(
        QStringLiteral("Uninstall apps together with their caches, preferences, and leftovers. Everything is "
                       "reviewed first and undoable."),
        this, m_tints));
    layout->addSpacing(10);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_empty, 1);
    layout->addWidget(m_busy, 1);
    layout->addSpacing(6);
    layout->addWidget(m_bottomBar);

    m_spinner.setInterval(50);
    connect(&m_spinner, &QTimer::timeout, this, [this] {
        m_spinnerPhase += 0.06;
        m_delegate->setSpinnerPhase(m_spinnerPhase);
        m_table->viewport()->update();
    });

    m_summaryLine = new SummaryLine(m_summary, [this] { return m_model->summary(); });
    m_flow = new TrashFlowController(this, m_undo, [this](const QString& line) { m_summaryLine->setNote(line); });
    m_flow->onMoved = [this](const QSet<QString>& paths) { m_model->removePaths(paths); };
    m_flow->onRestored = [this] { scan(); };
    // What the flow moved or put back stays beside its Undo until the user turns to the list again.
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.contains(Qt::CheckStateRole))
                    m_summaryLine->release();
            });
    connect(m_search, &QLineEdit::textEdited, m_summaryLine, &SummaryLine::release);
    connect(m_rescan, &QPushButton::clicked, m_summaryLine, &SummaryLine::release);
    connect(m_flow, &TrashFlowController::busyChanged, this, &UninstallerViewController::updateButtons);
    updateSummary();
    scan();
}

UninstallerViewController::~UninstallerViewController() = default;

void UninstallerViewController::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_tints.apply();
}

bool UninstallerViewController::isSizing() const
{
    return m_model->isSizing();
}

void UninstallerViewController::cover(const QString& text)
{
    m_isCovered = true;
    m_search->setEnabled(false);
    m_busy->begin({m_table, m_empty, m_bottomBar}, text);
}

void UninstallerViewController::uncover()
{
    m_isCovered = false;
    m_search->setEnabled(true);
    m_busy->end();
}

void UninstallerViewController::scan()
{
    // A list read while items move to the Trash could show them again.
    if (m_isWorking || m_flow->isRunning())
        return;
    m_isWorking = true;
    m_flow->clearLastBatch();
    m_flow->syncBatchButtons();
    m_sizing.stopAll();
    m_sizingQueue.clear();
    m_sizingInFlight = 0;
    m_spinner.stop();
    updateButtons();
    cover(QStringLiteral("Reading applications"));

    const Sources sources = m_sources;
    m_runner.run(
        [sources](std::stop_token) {
            Listing listing;
            listing.applications = brisklet::AppCatalog::listApplications(sources.roots(pathBytes(sources.home)));
            listing.running = sources.running(listing.applications);
            return listing;
        },
        [this](Listing listing) { finishListing(std::move(listing)); },
        [this](const QString& failure) {
            finishListing({}, failure);
            m_summary->setText(QStringLiteral("Listing applications failed: %1").arg(failure));
        });
}

void UninstallerViewController::finishListing(Listing listing, const QString& failure)
{
    m_isWorking = false;
    updateButtons();
    // An empty list after a failure says why, not that there are no apps.
    if (failure.isEmpty())
        m_empty->setTexts(emptyTitle, emptySubtitle);
    else
        m_empty->setTexts(QStringLiteral("Couldn't list applications"), failure);
    uncover();
    QStringList icons;
    for (const brisklet::ApplicationEntry& application : listing.applications)
        if (application.icon)
            icons.append(pathFromBytes(*application.icon));
    m_delegate->clearIconCache(icons);
    m_model->setApplications(std::move(listing.applications), listing.running);
    startSizing(m_model->allApps());
}

void UninstallerViewController::startSizing(const std::vector<brisklet::ApplicationEntry>& applications)
{
    for (const brisklet::ApplicationEntry& application : applications)
        m_sizingQueue.push_back(pathFromBytes(application.path));
    if (!m_sizingQueue.empty())
        m_spinner.start();
    for (int slot = 0; slot < sizingSlots; ++slot)
        measureNext();
}

void UninstallerViewController::measureNext()
{
    if (m_sizingQueue.empty()) {
        if (m_sizingInFlight == 0 && m_spinner.isActive()) {
            m_spinner.stop();
            m_model->sortBySize();
        }
        return;
    }
    const QString path = m_sizingQueue.front();
    m_sizingQueue.pop_front();
    ++m_sizingInFlight;
    m_sizing.run(
        [path = pathBytes(path)](std::stop_token stop) {
            return brisklet::AppCatalog::measureSize(path, brisklet::AppCatalog::sizingOptions(), stop);
        },
        [this, path](std::int64_t bytes) {
            --m_sizingInFlight;
            m_model->recordSize(path, bytes);
            measureNext();
        },
        [this, path](const QString&) {
            --m_sizingInFlight;
            m_model->recordSize(path, 0);
            measureNext();
        });
}

void UninstallerViewController::uninstall()
{
    if (m_isWorking || m_alert || m_flow->isBusy())
        return;
    std::vector<brisklet::ApplicationEntry> protectedOnes;
    std::vector<brisklet::ApplicationEntry> removable;
    for (brisklet::ApplicationEntry& application : m_model->checkedApps())
        (application.isProtected ? protectedOnes : removable).push_back(std::move(application));
    if (removable.empty()) {
        if (!protectedOnes.empty())
            showAlert(utf8Text(brisklet::hostProfile().systemAppsCannotBeUninstalled));
        return;
    }
    if (protectedOnes.empty()) {
        prepare(std::move(removable));
        return;
    }
    const QString skip = utf8Text(brisklet::hostProfile().skipSystemAppsQuestion);
    auto* question = new QMessageBox(QMessageBox::Question, skip, skip, QMessageBox::NoButton, window());
    question->setInformativeText(namesOf(protectedOnes).join(QStringLiteral(", "))
                                 + utf8Text(brisklet::hostProfile().systemAppsSkipped));
    PlainText::apply(question); // names applications
    QPushButton* confirm = question->addButton(QStringLiteral("Skip && Uninstall"), QMessageBox::AcceptRole); // && shows one &
    question->addButton(QMessageBox::Cancel);
    question->setDefaultButton(confirm);
    question->setAttribute(Qt::WA_DeleteOnClose);
    question->setWindowModality(Qt::WindowModal);
    connect(question, &QMessageBox::finished, this, [this, question, confirm, removable] {
        if (question->clickedButton() == confirm)
            prepare(removable);
    });
    m_alert = question;
    question->open();
}

void UninstallerViewController::prepare(std::vector<brisklet::ApplicationEntry> removable)
{
    if (m_isWorking)
        return;
    m_isWorking = true;
    updateButtons();
    cover(QStringLiteral("Scanning leftovers"));

    std::map<std::string, std::int64_t> measured;
    for (auto it = m_model->sizes().cbegin(); it != m_model->sizes().cend(); ++it)
        measured.emplace(pathBytes(it.key()), it.value());
    const Sources sources = m_sources;
    const brisklet::DiskScanner::Options leftoverOptions = CleanupWidgets::measuringOptions();
    m_runner.run(
        [sources, removable = std::move(removable), measured = std::move(measured), leftoverOptions](std::stop_token stop) {
            Preparation preparation;
            // Nothing is removed while one of its applications runs.
            const std::set<std::string> running = sources.running(removable);
            for (const brisklet::ApplicationEntry& application : removable) {
                if (application.bundleID && running.contains(*application.bundleID))
                    preparation.runningNames << visibleText(pathFromBytes(application.name));
            }
            if (!preparation.runningNames.isEmpty())
                return preparation;
            const std::string home = pathBytes(sources.home);
            for (const brisklet::ApplicationEntry& application : removable) {
                const auto known = measured.find(application.path);
                const std::int64_t size = known != measured.end()
                    ? known->second
                    : brisklet::AppCatalog::measureSize(application.path, brisklet::AppCatalog::sizingOptions(), stop);
                preparation.items.append({pathFromBytes(application.path), size, true});
                // What another installed program may also use is offered, but left for the user to tick.
                for (const brisklet::Leftover& leftover :
                     brisklet::LeftoverScanner::leftovers(application, home, leftoverOptions, stop)) {
                    preparation.items.append({pathFromBytes(leftover.path()), leftover.sizeBytes,
                                              leftover.isDirectory, !leftover.shared});
                    // The review says why, under the name.
                    if (leftover.shared)
                        preparation.items.back().note = utf8Text(leftover.sharedReason);
                }
            }
            return preparation;
        },
        [this](const Preparation& preparation) { finishPreparation(preparation); },
        [this](const QString& failure) {
            finishPreparation({}, QStringLiteral("Looking for leftovers failed: %1").arg(failure));
        });
}

void UninstallerViewController::finishPreparation(const Preparation& preparation, const QString& failure)
{
    m_isWorking = false;
    uncover();
    updateSummary();
    if (!failure.isEmpty())
        showAlert(failure);
    else if (!preparation.runningNames.isEmpty())
        showAlert(QStringLiteral("Quit these apps first: %1.").arg(preparation.runningNames.join(QStringLiteral(", "))));
    else if (preparation.items.isEmpty())
        showAlert(QStringLiteral("Nothing to uninstall."));
    else
        m_flow->reviewAndTrash(preparation.items);
}

void UninstallerViewController::restoreKeptRows()
{
    QItemSelection selection;
    QModelIndex current;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QModelIndex index = m_model->index(row);
        const QString path = index.data(ApplicationListModel::PathRole).toString();
        if (m_keptSelection.contains(path))
            selection.select(index, index);
        if (path == m_keptCurrent)
            current = index;
    }
    if (current.isValid())
        m_table->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void UninstallerViewController::showAlert(const QString& message)
{
    m_alert = CleanupWidgets::alert(this, message);
}

void UninstallerViewController::updateEmptyState()
{
    if (m_isCovered)
        return;
    const bool empty = m_model->visibleApps().empty();
    m_empty->setVisible(empty);
    m_table->setVisible(!empty);
}

void UninstallerViewController::updateSummary()
{
    updateButtons();
    m_uninstall->setTitle(m_model->uninstallTitle());
    if (m_summaryLine)
        m_summaryLine->update();
    else
        m_summary->setText(m_model->summary());
}

void UninstallerViewController::updateButtons()
{
    const bool flowBusy = m_flow && m_flow->isBusy();
    m_uninstall->setEnabled(!m_model->checkedApps().empty() && !m_isWorking && !flowBusy);
    m_rescan->setEnabled(!m_isWorking && !(m_flow && m_flow->isRunning()));
}
