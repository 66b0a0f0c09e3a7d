// The processes section: every process with its CPU and memory use, searchable and sorted, and a Stop
// button that sends SIGTERM after a confirmation.
//
// Sampling runs on the background runner, together with naming the processes that run desktop
// applications; the first one starts when the section first appears, later ones every 2 s while the
// section is shown, on Refresh and 0.8 s after a stop attempt. Each reading measures CPU use since the
// previous one (at least 0.35 s; a fresh pair of snapshots after a pause).
// One sample at a time: Refresh is disabled and ignored while one runs. Only the first sample covers
// the list with the busy view; later ones replace the rows in place, keeping the sort, the selection,
// the keyboard's row and the scroll position.
#pragma once

#include "ApplicationLookup.h"
#include "ListScreen.h"
#include "ProcessRows.h"
#include "ProcessTableModel.h"
#include "shell/BackgroundRunner.h"
#include "shell/ScreenStyle.h"
#include "shell/SectionScreen.h"

#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

class RowButtonsDelegate;
class RowTableView;
class SegmentedControl;
class SymbolButton;
class VoyageScanningView;
class QMessageBox;

class CrewViewController : public QWidget, public SectionScreen {
    Q_OBJECT
public:
    using Sampler = std::function<std::vector<brisklet::ProcessEntry>(std::stop_token)>;

    // sampler: the engine's continuous sampler (0.35 s at least) unless a test gives another.
    explicit CrewViewController(QWidget* parent = nullptr, Sampler sampler = {});

    // How often a shown list reads again.
    static constexpr int liveIntervalMs = 2000;

    void sectionDidAppear() override;
    void sectionDidDisappear() override;
    void sectionRefresh() override { refresh(); }
    void refresh();
    void applyFilter();
    // The Stop button of a row: opens the confirmation (null when the row cannot be stopped).
    QMessageBox* requestStop(int row);

    RowTableView* tableView() const { return m_tableView; }
    ProcessTableModel* model() const { return m_model; }
    QToolButton* refreshButton() const;
    QLineEdit* searchField() const { return m_searchField; }
    SegmentedControl* sortControl() const { return m_sortControl; }
    QLabel* summaryLabel() const { return m_summaryLabel; }
    VoyageScanningView* scanningView() const { return m_scanningView; }
    const std::vector<ProcessRow>& allProcesses() const { return m_allProcesses; }
    const std::vector<ProcessRow>& visibleProcesses() const { return m_model->rows(); }
    bool isSampling() const { return m_reading->isRunning(); }
    bool hasLoaded() const { return m_reading->hasLoaded(); }
    QTimer* liveTimer() const { return m_reading->liveTimer(); }

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Reading {
        std::vector<brisklet::ProcessEntry> processes;
        ApplicationLookup::Identities applications;
    };
    void applySample(Reading reading);
    void applyColors();

    RowTableView* m_tableView = nullptr;
    SymbolButton* m_refreshButton = nullptr;
    QLineEdit* m_searchField = nullptr;
    SegmentedControl* m_sortControl = nullptr;
    QLabel* m_summaryLabel = nullptr;
    SummaryLine* m_summaryLine = nullptr; // the stop flow's line stays through the live reads
    ProcessTableModel* m_model = nullptr;
    RowButtonsDelegate* m_stopDelegate = nullptr;
    std::vector<ProcessRow> m_allProcesses;
    VoyageScanningView* m_scanningView = nullptr;
    std::optional<ListReading> m_reading; // set once the views exist
    Sampler m_sampler;
    std::shared_ptr<ApplicationLookup> m_applications;
    QHash<QString, QPixmap> m_icons; // application icons by file, made once
    ScreenStyle::LabelTints m_tints;
    BackgroundRunner m_runner{this};
};
