// The ports section: which processes listen on which TCP ports, one row per transport, port and
// process, with buttons to copy "localhost:PORT", open it in the browser, or stop the process.
//
// The port list is read on the background runner: first when the section first appears, then every
// 5 s while the section is shown, on Refresh and 0.8 s after a stop attempt. One read at a time; old
// rows stay visible during a read and are replaced in place, keeping the selection, the keyboard's row
// and the scroll position; only the first read covers the list with the busy view. A failed read shows
// the empty state with the reason in the summary line, until a read succeeds.
#pragma once

#include "ListScreen.h"
#include "PortRows.h"
#include "PortTableModel.h"
#include "shell/BackgroundRunner.h"
#include "shell/ScreenStyle.h"
#include "shell/SectionScreen.h"

#include <QLabel>
#include <QLineEdit>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>
#include <stop_token>

class PlaceholderViewController;
class RowButtonsDelegate;
class RowTableView;
class SymbolButton;
class VoyageScanningView;
class QMessageBox;
class QToolButton;

class PortsViewController : public QWidget, public SectionScreen {
    Q_OBJECT
public:
    using Scanner = std::function<std::vector<brisklet::PortEntry>(std::stop_token)>;
    using URLOpener = std::function<bool(const QUrl&)>;

    // scanner: the engine's PortScanner::listeningPorts(); openURL: the desktop's default browser.
    explicit PortsViewController(QWidget* parent = nullptr, Scanner scanner = {}, URLOpener openURL = {});
    // The engine's port list, stopped through the token.
    static Scanner engineScanner();

    // How often a shown list reads again.
    static constexpr int liveIntervalMs = 5000;

    void sectionDidAppear() override;
    void sectionDidDisappear() override;
    void sectionRefresh() override { refresh(); }
    void refresh();
    void applyFilter();
    void copyAddress(int row);
    void openInBrowser(int row);
    // Opens the stop confirmation (null when the row cannot be stopped).
    QMessageBox* requestStop(int row);

    RowTableView* tableView() const { return m_tableView; }
    PortTableModel* model() const { return m_model; }
    QToolButton* refreshButton() const;
    QLineEdit* searchField() const { return m_searchField; }
    QLabel* summaryLabel() const { return m_summaryLabel; }
    PlaceholderViewController* emptyView() const { return m_emptyView; }
    VoyageScanningView* scanningView() const { return m_scanningView; }
    const std::vector<PortRow>& allRows() const { return m_allRows; }
    const std::vector<PortRow>& visibleRows() const { return m_model->rows(); }
    bool isScanning() const { return m_reading->isRunning(); }
    bool hasLoaded() const { return m_reading->hasLoaded(); }
    QTimer* liveTimer() const { return m_reading->liveTimer(); }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyEntries(const std::vector<brisklet::PortEntry>& entries, const QString& failure = {});
    void applyColors();
    void showContextMenu(const QPoint& position);

    RowTableView* m_tableView = nullptr;
    SymbolButton* m_refreshButton = nullptr;
    QLineEdit* m_searchField = nullptr;
    QLabel* m_summaryLabel = nullptr;
    SummaryLine* m_summaryLine = nullptr; // what Copy or Stop did stays through the live reads
    PlaceholderViewController* m_emptyView = nullptr;
    PortTableModel* m_model = nullptr;
    RowButtonsDelegate* m_actions = nullptr;
    std::vector<PortRow> m_allRows;
    QString m_failure; // why the last read failed; empty after a good one
    VoyageScanningView* m_scanningView = nullptr;
    std::optional<ListReading> m_reading; // set once the views exist
    Scanner m_scanner;
    URLOpener m_openURL;
    ScreenStyle::LabelTints m_tints;
    BackgroundRunner m_runner{this};
};
