// The Smart Clean section: measures the cleanup catalog of a home folder, lists the categories that
// exist under their group headings, and sends the chosen folders or members through the trash flow.
//
// Protocol:
//  - The first show starts a measurement; "Rescan" starts another; a put-back ends in one. While one
//    runs (isScanning) the busy view covers the list, every action button is disabled and another
//    request is ignored. Starting one forgets the trash flow's batch: it can no longer be undone here.
//  - A measurement replaces the list and clears the selection; the simulator category opens expanded.
//  - "Clean Selected" hands the selection (ticked folders, chosen members of partial categories) to the
//    trash flow; what it moved leaves the list without measuring again. The flow's line stays in front
//    of the summary until the user ticks or rescans, or a while passes (SummaryLine).
//  - The summary's "reclaimable" figure is what removing the selection would free: each chosen item is
//    judged and measured on a worker as the trash step will (a refused item frees nothing; a file with
//    another hard link counts only when its last link goes with the selection). Until that answer comes
//    the measured sizes stand; a newer selection stops the older question and drops its answer, and an
//    answer never replaces a status line of the trash flow. Items stay measured until the next
//    measurement or move.
//  - Engine work runs through the screen's BackgroundRunners; a destroyed screen gets no late answer.
#pragma once

#include "platform/HostProfile.h"

#include "clean/CleanCategory.h"
#include "platform/ReleasedSpace.h"
#include "shell/BackgroundRunner.h"
#include "shell/ScreenStyle.h"
#include "shell/SectionScreen.h"

#include <QModelIndex>
#include <QSet>
#include <QString>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class SummaryLine;
class DestructiveButton;
class PlaceholderViewController;
class QLabel;
class QMenu;
class QPushButton;
class QTreeView;
class SmartCleanModel;
class TrashFlowController;
class VoyageScanningView;

class SmartCleanViewController : public QWidget, public SectionScreen {
    Q_OBJECT
public:
    void sectionRefresh() override { scan(); }
    explicit SmartCleanViewController(QWidget* parent = nullptr);
    // home: the folder whose catalog is measured (the user's home folder by default); profile: the host
    // profile whose catalog it is.
    SmartCleanViewController(const QString& home, QWidget* parent,
                             const brisklet::HostProfile& profile = brisklet::hostProfile());
    ~SmartCleanViewController() override;

    void scan();
    void cleanSelected();
    // The context menu of a row: none for a heading.
    QMenu* contextMenuFor(const QModelIndex& index);
    // "Copy Path": the row's paths joined by line feeds.
    void copyPaths(const QModelIndex& index);

    bool isScanning() const { return m_isScanning; }
    // What removing the current selection frees, once measured.
    std::optional<qint64> releasedBytes() const { return m_releasedBytes; }
    SmartCleanModel* model() const { return m_model; }
    QTreeView* treeView() const { return m_tree; }
    QPushButton* rescanButton() const { return m_rescan; }
    QPushButton* selectAllButton() const { return m_selectAll; }
    QPushButton* deselectAllButton() const { return m_deselectAll; }
    DestructiveButton* cleanButton() const { return m_clean; }
    QLabel* summaryLabel() const { return m_summary; }
    PlaceholderViewController* placeholder() const { return m_placeholder; }
    VoyageScanningView* busyView() const { return m_busy; }
    TrashFlowController* flow() const { return m_flow; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void finishScan(std::vector<brisklet::CleanCategoryResult> results, const QString& failure = {},
                    std::map<std::string, std::string> countedLinks = {});
    void movedAway(const QSet<QString>& paths);
    void restoreExpansion();
    void showContent();
    void updateSummary();
    void updateButtons();
    // Asks a worker what removing the selected items frees.
    void measureRelease();

    // One item as the trash step would take it: refused, or measured for what its removal frees.
    struct Removal {
        bool refused = false;
        brisklet::platform::ItemUsage usage;
    };
    using Removals = std::map<std::string, std::shared_ptr<const Removal>>; // by path bytes
    struct ReleaseAnswer {
        std::vector<std::shared_ptr<const Removal>> removals; // per item asked about
        qint64 releasedBytes = 0;
    };

    QString m_home;
    const brisklet::HostProfile* m_profile;
    bool m_isScanning = false;
    bool m_listChanging = false; // the list is replaced or shrinks: its selection signals are not the user's
    bool m_started = false;
    QSet<QString> m_expandedIDs;
    ScreenStyle::LabelTints m_tints;
    SmartCleanModel* m_model = nullptr;
    QTreeView* m_tree = nullptr;
    PlaceholderViewController* m_placeholder = nullptr;
    VoyageScanningView* m_busy = nullptr;
    QPushButton* m_rescan = nullptr;
    QPushButton* m_selectAll = nullptr;
    QPushButton* m_deselectAll = nullptr;
    DestructiveButton* m_clean = nullptr;
    QPushButton* m_undo = nullptr;
    QLabel* m_summary = nullptr;
    SummaryLine* m_summaryLine = nullptr;
    TrashFlowController* m_flow = nullptr;
    Removals m_removals;
    std::optional<qint64> m_releasedBytes;
    BackgroundRunner m_runner{this};
    BackgroundRunner m_releaseRunner{this}; // one question at a time: stopped for each newer selection
};
