#include "PortsViewController.h"

#include "shell/PathBytes.h"
#include "RowButtonsDelegate.h"
#include "StopProcessFlow.h"
#include "TwoLineDelegate.h"
#include "shell/PlaceholderViewController.h"
#include "shell/RowTableView.h"
#include "shell/SymbolButton.h"
#include "shell/VoyageScanningView.h"

#include "platform/HostProfile.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>

#include <optional>
#include <tuple>

namespace {
const QString readingText = QStringLiteral("Reading open ports");
} // namespace

PortsViewController::PortsViewController(QWidget* parent, Scanner scanner, URLOpener openURL)
    : QWidget(parent), m_scanner(std::move(scanner)), m_openURL(std::move(openURL))
{
    setObjectName(QStringLiteral("screen.ports"));
    if (!m_scanner)
        m_scanner = engineScanner();
    if (!m_openURL)
        m_openURL = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    m_emptyView = new PlaceholderViewController(QStringLiteral("anchor"), QStringLiteral("No listening ports"),
                                                QStringLiteral("Sockets opened by your processes appear here"), this);
    m_emptyView->hide();
    const ListPage page = buildListPage(this,
                                        {QStringLiteral("Ports"),
                                         QStringLiteral("Listening TCP ports and the processes using them."),
                                         QStringLiteral("Search port or process"), QStringLiteral("Search ports"),
                                         QStringLiteral("Listening ports")},
                                        {}, {m_emptyView}, m_tints);
    m_refreshButton = page.refreshButton;
    m_searchField = page.searchField;
    m_tableView = page.tableView;
    m_summaryLabel = page.summaryLabel;
    m_scanningView = page.scanningView;
    m_reading.emplace(page, readingText);

    m_model = new PortTableModel(this);
    m_tableView->setModel(m_model);
    m_tableView->setTextElideMode(Qt::ElideMiddle);
    m_tableView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tableView->verticalHeader()->setDefaultSectionSize(42);
    m_tableView->setItemDelegateForColumn(PortTableModel::processColumn,
                                          new TwoLineDelegate(ScreenStyle::font(13, QFont::Medium),
                                                              ScreenStyle::font(11), 0, m_tableView));
    m_actions = new RowButtonsDelegate({{QStringLiteral("doc.on.doc"), QString(), 28},
                                        {QStringLiteral("globe"), QString(), 28},
                                        {QString(), QStringLiteral("Stop"), 64}},
                                       m_tableView);
    m_actions->isEnabled = [this](int row, int action) {
        return m_model->isActionEnabled(row, static_cast<PortTableModel::Action>(action));
    };
    m_actions->toolTip = [this](int row, int action) {
        return m_model->actionToolTip(row, static_cast<PortTableModel::Action>(action));
    };
    m_tableView->setItemDelegateForColumn(PortTableModel::actionsColumn, m_actions);
    QHeaderView* columns = m_tableView->horizontalHeader();
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setSectionResizeMode(PortTableModel::portColumn, QHeaderView::Interactive);
    columns->setSectionResizeMode(PortTableModel::processColumn, QHeaderView::Stretch);
    columns->setSectionResizeMode(PortTableModel::addressColumn, QHeaderView::Interactive);
    columns->setSectionResizeMode(PortTableModel::actionsColumn, QHeaderView::Fixed);
    columns->setMinimumSectionSize(80);
    columns->resizeSection(PortTableModel::portColumn, 86);
    columns->resizeSection(PortTableModel::addressColumn, 260);
    columns->resizeSection(PortTableModel::actionsColumn, 136);


    connect(m_refreshButton, &QToolButton::clicked, this, &PortsViewController::refresh);
    connect(m_searchField, &QLineEdit::textChanged, this, &PortsViewController::applyFilter);
    connect(m_actions, &RowButtonsDelegate::clicked, this, [this](int row, int action) {
        switch (static_cast<PortTableModel::Action>(action)) {
        case PortTableModel::copyAction: copyAddress(row); break;
        case PortTableModel::openAction: openInBrowser(row); break;
        case PortTableModel::stopAction: requestStop(row); break;
        }
    });
    connect(m_tableView, &RowTableView::rowActivated, this, &PortsViewController::openInBrowser);
    connect(m_tableView, &RowTableView::rowDeleteRequested, this, [this](int row) { requestStop(row); });
    connect(m_tableView, &QWidget::customContextMenuRequested, this, &PortsViewController::showContextMenu);
    m_model->setSecondaryColor(ScreenStyle::labelColor(QApplication::palette(this), ScreenStyle::LabelLevel::secondary));
}

PortsViewController::Scanner PortsViewController::engineScanner()
{
    // The token reaches lsof and ps, so a screen that goes away (or the program quitting) ends a hanging
    // lsof at once instead of holding a pool thread until its time-out.
    return [](std::stop_token stop) { return brisklet::PortScanner::listeningPorts(stop); };
}

QToolButton* PortsViewController::refreshButton() const { return m_refreshButton; }

void PortsViewController::sectionDidAppear()
{
    if (m_reading->firstAppearance())
        refresh();
}

void PortsViewController::refresh()
{
    if (!m_reading->begin())
        return;
    m_runner.run(
        [scanner = m_scanner](std::stop_token stop) -> std::vector<brisklet::PortEntry> {
            try {
                return scanner(stop);
            } catch (const brisklet::Cancelled&) {
                throw;
            } catch (const std::exception&) {
                return {}; // lsof missing or failing: no ports to show
            }
        },
        [this](std::vector<brisklet::PortEntry> entries) { applyEntries(entries); });
}

void PortsViewController::applyEntries(const std::vector<brisklet::PortEntry>& entries)
{
    m_reading->finish();
    m_allRows = PortRows::group(entries);
    applyFilter();
}

void PortsViewController::applyFilter()
{
    // Keep the keyboard on the same socket across refreshes and searches.
    const PortRow* current = m_model->row(m_tableView->currentIndex().row());
    const auto kept = current ? std::optional(std::tuple(current->transport, current->port, current->pid)) : std::nullopt;
    m_model->setRows(PortRows::visible(m_allRows, m_searchField->text()));
    for (int i = 0; kept && i < m_model->rowCount(); ++i)
        if (const PortRow* row = m_model->row(i); std::tuple(row->transport, row->port, row->pid) == *kept) {
            m_tableView->setCurrentIndex(m_model->index(i, 0));
            break;
        }
    const bool empty = m_model->rows().empty();
    // Before the first read the busy view owns the list's visibility.
    if (m_reading->hasLoaded()) {
        m_emptyView->setVisible(empty);
        m_tableView->setVisible(!empty);
    }
    m_summaryLabel->setText(PortRows::summaryText(m_model->rows().size()));
}

void PortsViewController::copyAddress(int row)
{
    const PortRow* port = m_model->row(row);
    if (!port)
        return;
    const QString address = QStringLiteral("localhost:") + QString::number(port->port);
    QApplication::clipboard()->setText(address);
    m_summaryLabel->setText(QStringLiteral("Copied ") + address + QStringLiteral("."));
}

void PortsViewController::openInBrowser(int row)
{
    if (!m_model->isActionEnabled(row, PortTableModel::openAction))
        return;
    const QUrl url(PortRows::browserAddress(m_model->row(row)->port), QUrl::StrictMode);
    if (url.isValid())
        m_openURL(url);
}

QMessageBox* PortsViewController::requestStop(int row)
{
    if (!m_model->isActionEnabled(row, PortTableModel::stopAction))
        return nullptr;
    const PortRow& port = *m_model->row(row);
    StopProcessFlow::Request request;
    request.pid = port.pid;
    request.startTicks = port.startTicks;
    request.name = port.processName;
    request.message = QStringLiteral("Stop port ") + QString::number(port.port) + QStringLiteral("?");
    if (port.port < 1024)
        request.informativeText = QStringLiteral("This is a privileged system port. Stopping its process may affect ") +
                                  utf8Text(brisklet::hostProfile().systemServicesWarning) +
                                  QStringLiteral(".\n\n");
    request.informativeText += QStringLiteral("“") + port.processName + QStringLiteral("” (PID ") +
                               QString::number(port.pid) + QStringLiteral(") opened this ") +
                               PortRows::transportName(port.transport) +
                               QStringLiteral(" socket. Stopping it sends SIGTERM; unsaved work in that process is lost.");
    return StopProcessFlow::confirm(
        this, request, [this](const QString& text) { m_summaryLabel->setText(text); }, [this] { refresh(); });
}

void PortsViewController::showContextMenu(const QPoint& position)
{
    const int row = m_tableView->indexAt(position).row();
    if (row < 0)
        return;
    QMenu menu(this);
    menu.addAction(m_model->actionToolTip(row, PortTableModel::copyAction), this, [this, row] { copyAddress(row); });
    QAction* open = menu.addAction(QStringLiteral("Open in Browser"), this, [this, row] { openInBrowser(row); });
    open->setEnabled(m_model->isActionEnabled(row, PortTableModel::openAction));
    menu.addSeparator();
    QAction* stop = menu.addAction(QStringLiteral("Stop Process…"), this, [this, row] { requestStop(row); });
    stop->setEnabled(m_model->isActionEnabled(row, PortTableModel::stopAction));
    menu.exec(m_tableView->viewport()->mapToGlobal(position));
}

void PortsViewController::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        m_tints.apply();
        m_model->setSecondaryColor(ScreenStyle::labelColor(QApplication::palette(this), ScreenStyle::LabelLevel::secondary));
    }
    QWidget::changeEvent(event);
}
