#include "CrewViewController.h"

#include "shell/PathBytes.h"
#include "RowButtonsDelegate.h"
#include "StopProcessFlow.h"
#include "shell/SummaryLine.h"
#include "TwoLineDelegate.h"
#include "shell/RowTableView.h"
#include "shell/SegmentedControl.h"
#include "shell/SymbolButton.h"
#include "shell/SymbolIcons.h"
#include "shell/VoyageScanningView.h"

#include "platform/HostProfile.h"
#include "system/ProcessLister.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>

namespace {
constexpr double sampleSeconds = 0.35;
const QString readingText = QStringLiteral("Reading processes");
} // namespace

CrewViewController::CrewViewController(QWidget* parent, Sampler sampler)
    : QWidget(parent), m_sampler(std::move(sampler))
{
    setObjectName(QStringLiteral("screen.crew"));
    if (!m_sampler)
        m_sampler = [sampler = std::make_shared<brisklet::ProcessLister::ContinuousSampler>(sampleSeconds)](
                        std::stop_token stop) { return sampler->sample(stop); };

    m_sortControl = new SegmentedControl({QStringLiteral("CPU"), QStringLiteral("Memory")}, this);
    m_sortControl->setSelectedIndex(0);
    m_sortControl->setAccessibleName(QStringLiteral("Sort by"));
    const ListPage page = buildListPage(
        this,
        {QStringLiteral("Processes"),
         QStringLiteral("Every process on ") + utf8Text(brisklet::hostProfile().thisComputer) +
             QStringLiteral(" with its CPU and memory. Stop what you don't need; protected system processes can't "
                            "be stopped."),
         QStringLiteral("Search name, PID, or user"), QStringLiteral("Search processes"), QStringLiteral("Processes")},
        {m_sortControl}, {}, m_tints);
    m_refreshButton = page.refreshButton;
    m_searchField = page.searchField;
    m_tableView = page.tableView;
    m_summaryLabel = page.summaryLabel;
    m_summaryLine = new SummaryLine(m_summaryLabel, [this] { return ProcessRows::summaryText(m_model->rows()); });
    m_scanningView = page.scanningView;
    m_reading.emplace(page, readingText);
    m_reading->setLive(this, liveIntervalMs, [this] { refresh(); });
    m_applications = std::make_shared<ApplicationLookup>(QStringList{QIcon::themeName(), QIcon::fallbackThemeName()});

    m_model = new ProcessTableModel(this);
    m_tableView->setModel(m_model);
    m_tableView->setAlternatingRowColors(true);
    m_tableView->horizontalHeader()->hide();
    m_tableView->verticalHeader()->setDefaultSectionSize(44);
    m_tableView->setItemDelegateForColumn(ProcessTableModel::nameColumn,
                                          new TwoLineDelegate(ScreenStyle::font(13, QFont::DemiBold),
                                                              ScreenStyle::font(10), 28, m_tableView));
    m_stopDelegate = new RowButtonsDelegate({{QString(), QStringLiteral("Stop"), 64}}, m_tableView);
    m_stopDelegate->isEnabled = [this](int row, int) { return m_model->canStop(row); };
    m_stopDelegate->toolTip = [this](int row, int) {
        return ProcessTableModel::stopToolTip(!m_model->canStop(row));
    };
    m_tableView->setItemDelegateForColumn(ProcessTableModel::stopColumn, m_stopDelegate);
    // The name and its command line take what the figures and the button leave.
    fitColumns(m_tableView, ProcessTableModel::nameColumn, 160,
               {{ProcessTableModel::memoryColumn, 96, 80},
                {ProcessTableModel::cpuColumn, 80, 64},
                {ProcessTableModel::stopColumn, 84, 84}});

    connect(m_refreshButton, &QToolButton::clicked, this, &CrewViewController::refresh);
    connect(m_searchField, &QLineEdit::textChanged, this, &CrewViewController::applyFilter);
    // The visible list always equals the filtered sample, so re-filtering re-sorts it and keeps the
    // keyboard on the same process.
    connect(m_sortControl, &SegmentedControl::selectionChanged, this, &CrewViewController::applyFilter);
    // The stop flow's line gives way when the user turns to the list again.
    connect(m_searchField, &QLineEdit::textEdited, m_summaryLine, &SummaryLine::release);
    connect(m_sortControl, &SegmentedControl::selectionChanged, m_summaryLine, &SummaryLine::release);
    connect(m_stopDelegate, &RowButtonsDelegate::clicked, this, [this](int row, int) { requestStop(row); });
    connect(m_tableView, &RowTableView::rowDeleteRequested, this, [this](int row) { requestStop(row); });
    m_tableView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tableView, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        const int row = m_tableView->indexAt(position).row();
        if (row < 0)
            return;
        QMenu menu(this);
        menu.addAction(QStringLiteral("Copy"), this, [this] {
            QApplication::clipboard()->setText(m_tableView->selectedRowsText());
        });
        menu.addSeparator();
        // The list may be read again while the menu is open: the process is found again by its key.
        const QString key = ProcessRows::rowKey(m_model->rows()[static_cast<std::size_t>(row)]);
        menu.addAction(QStringLiteral("Stop Process…"), this, [this, key] {
            const auto& rows = m_model->rows();
            for (std::size_t i = 0; i < rows.size(); ++i)
                if (ProcessRows::rowKey(rows[i]) == key)
                    requestStop(static_cast<int>(i));
        })->setEnabled(m_model->canStop(row));
        menu.exec(m_tableView->viewport()->mapToGlobal(position));
    });
    applyColors();
}

QToolButton* CrewViewController::refreshButton() const { return m_refreshButton; }

void CrewViewController::sectionDidAppear()
{
    m_reading->setShown(true);
    if (m_reading->firstAppearance())
        refresh();
}

void CrewViewController::sectionDidDisappear() { m_reading->setShown(false); }

void CrewViewController::refresh()
{
    if (!m_reading->begin())
        return;
    m_runner.run(
        [sampler = m_sampler, applications = m_applications](std::stop_token stop) {
            Reading reading{sampler(stop), {}};
            reading.applications = applications->identify(reading.processes);
            return reading;
        },
        [this](Reading reading) { applySample(std::move(reading)); },
        // An unreadable process table lists nothing; the screen never stays stuck reading.
        [this](const QString&) { applySample({}); });
}

void CrewViewController::applySample(Reading reading)
{
    std::unordered_map<std::int32_t, ProcessApplication> applications;
    const qreal ratio = devicePixelRatioF();
    for (const auto& [pid, identity] : reading.applications) {
        QPixmap& icon = m_icons[identity.iconKey];
        if (icon.isNull() && !identity.icon.isNull()) {
            icon = QPixmap::fromImage(identity.icon);
            icon.setDevicePixelRatio(std::max<qreal>(ratio, identity.icon.width() / 28.0));
        }
        applications.emplace(pid, ProcessApplication{identity.name, icon});
    }
    m_allProcesses = ProcessRows::fromSample(reading.processes, applications);
    m_reading->finish();
    applyFilter();
}

void CrewViewController::applyFilter()
{
    const ListPlace::Key key = [this](int row) { return ProcessRows::rowKey(m_model->rows()[static_cast<std::size_t>(row)]); };
    const ListPlace place(m_tableView, key);
    m_model->setRows(ProcessRows::visible(m_allProcesses, m_searchField->text(),
                                          ProcessRows::sortKeyForSegment(m_sortControl->selectedIndex())));
    place.restore(m_tableView, key);
    m_summaryLine->update();
}

QMessageBox* CrewViewController::requestStop(int row)
{
    if (!m_model->canStop(row))
        return nullptr;
    const ProcessRow& process = m_model->rows()[static_cast<std::size_t>(row)];
    StopProcessFlow::Request request;
    request.pid = process.entry.pid;
    request.startTicks = process.entry.startTicks;
    request.name = process.name;
    request.message = QStringLiteral("Stop “") + process.name + QStringLiteral("” (PID ") + process.pidText +
                      QStringLiteral(")?");
    request.informativeText = QStringLiteral("It will be sent a termination signal (SIGTERM). Unsaved work in that "
                                             "process is lost. Other processes that depend on it may misbehave.");
    return StopProcessFlow::confirm(
        this, request, [this](const QString& text) { m_summaryLine->setNote(text); }, [this] { refresh(); });
}

void CrewViewController::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        applyColors();
    QWidget::changeEvent(event);
}

void CrewViewController::applyColors()
{
    m_tints.apply();
    const QPalette palette = QApplication::palette(this);
    m_model->setGenericIcon(SymbolIcons::pixmap(QStringLiteral("gearshape"), 20,
                                                ScreenStyle::labelColor(palette, ScreenStyle::LabelLevel::tertiary),
                                                devicePixelRatioF()));
    m_model->setColors(ScreenStyle::labelColor(palette, ScreenStyle::LabelLevel::secondary),
                       ScreenStyle::isDark(palette) ? QColor(255, 69, 58) : QColor(255, 59, 48));
}
