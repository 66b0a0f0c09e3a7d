#include "PortsViewController.h"

#include "shell/PathBytes.h"
#include "RowButtonsDelegate.h"
#include "StopProcessFlow.h"
#include "shell/SummaryLine.h"
#include "TwoLineDelegate.h"
#include "shell/OpenFailureAlert.h"
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
    m_summaryLine = new SummaryLine(m_summaryLabel, [this] {
        return m_failure.isEmpty() ? PortRows::summaryText(m_model->rows().size()) : PortRows::failureText(m_failure);
    });
    m_scanningView = page.scanningView;
    m_reading.emplace(page, readingText);
    m_reading->setLive(this, liveIntervalMs, [this] { refresh(); });

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
    m_tableView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The process says whose the port is; its reach is a phrase that elides, and the buttons never shrink.
    fitColumns(m_tableView, PortTableModel::processColumn, 200,
               {{PortTableModel::portColumn, 80, 60},
                {PortTableModel::addressColumn, 220, 120},
                {PortTableModel::actionsColumn, 136, 136}});


    connect(m_refreshButton, &QToolButton::clicked, this, &PortsViewController::refresh);
    connect(m_searchField, &QLineEdit::textChanged, this, &PortsViewController::applyFilter);
    connect(m_searchField, &QLineEdit::textEdited, m_summaryLine, &SummaryLine::release);
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
    applyColors();
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
    m_reading->setShown(true);
    if (m_reading->firstAppearance())
        refresh();
}

void PortsViewController::sectionDidDisappear() { m_reading->setShown(false); }

void PortsViewController::refresh()
{
    if (!m_reading->begin())
        return;
    m_runner.run([scanner = m_scanner](std::stop_token stop) { return scanner(stop); },
                 [this](std::vector<brisklet::PortEntry> entries) { applyEntries(entries); },
                 // No socket source could be read: nothing to list, and the summary says why.
                 [this](const QString& reason) { applyEntries({}, reason); });
}

void PortsViewController::applyEntries(const std::vector<brisklet::PortEntry>& entries, const QString& failure)
{
    m_reading->finish();
    m_failure = failure;
    m_allRows = PortRows::group(entries);
    applyFilter();
}

void PortsViewController::applyFilter()
{
    // Keep the user's place on the same sockets across refreshes and searches.
    const ListPlace::Key key = [this](int index) { return PortRows::rowKey(*m_model->row(index)); };
    const ListPlace place(m_tableView, key);
    m_model->setRows(PortRows::visible(m_allRows, m_searchField->text()));
    place.restore(m_tableView, key);
    const bool empty = m_model->rows().empty();
    // Before the first read the busy view owns the list's visibility.
    if (m_reading->hasLoaded()) {
        m_emptyView->setVisible(empty);
        m_tableView->setVisible(!empty);
    }
    m_summaryLine->update();
}

void PortsViewController::copyAddress(int row)
{
    const PortRow* port = m_model->row(row);
    if (!port)
        return;
    const QString address = QStringLiteral("localhost:") + QString::number(port->port);
    QApplication::clipboard()->setText(address);
    m_summaryLine->setNote(QStringLiteral("Copied ") + address + QStringLiteral("."));
}

void PortsViewController::openInBrowser(int row)
{
    if (!m_model->isActionEnabled(row, PortTableModel::openAction))
        return;
    const QUrl url(PortRows::browserAddress(m_model->row(row)->port), QUrl::StrictMode);
    if (url.isValid() && !m_openURL(url))
        OpenFailureAlert::show(this, QStringLiteral("No Web Browser Found"),
                               QStringLiteral("No web browser could open this address:"), url.toString());
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
        this, request, [this](const QString& text) { m_summaryLine->setNote(text); }, [this] { refresh(); });
}

void PortsViewController::showContextMenu(const QPoint& position)
{
    const int row = m_tableView->indexAt(position).row();
    if (row < 0)
        return;
    // The list may be read again while the menu is open: the row is found again by its socket.
    const PortRow* chosen = m_model->row(row);
    const auto rowNow = [this, key = PortRows::rowKey(*chosen)] {
        for (int i = 0; i < m_model->rowCount(); ++i)
            if (PortRows::rowKey(*m_model->row(i)) == key)
                return i;
        return -1;
    };
    QMenu menu(this);
    menu.addAction(m_model->actionToolTip(row, PortTableModel::copyAction), this, [this, rowNow] { copyAddress(rowNow()); });
    QAction* open = menu.addAction(QStringLiteral("Open in Browser"), this, [this, rowNow] { openInBrowser(rowNow()); });
    open->setEnabled(m_model->isActionEnabled(row, PortTableModel::openAction));
    menu.addSeparator();
    QAction* stop = menu.addAction(QStringLiteral("Stop Process…"), this, [this, rowNow] { requestStop(rowNow()); });
    stop->setEnabled(m_model->isActionEnabled(row, PortTableModel::stopAction));
    menu.exec(m_tableView->viewport()->mapToGlobal(position));
}

void PortsViewController::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        m_tints.apply();
        applyColors();
    }
    QWidget::changeEvent(event);
}

void PortsViewController::applyColors()
{
    const QPalette palette = QApplication::palette(this);
    // Orange on either background, dark enough on a light one to read as text.
    m_model->setColors(ScreenStyle::labelColor(palette, ScreenStyle::LabelLevel::secondary),
                       ScreenStyle::isDark(palette) ? QColor(255, 159, 10) : QColor(191, 87, 0));
}
