// The Uninstaller section: lists the installed applications, measures their sizes in the background,
// and hands ticked applications with their leftover files to the trash flow.
//
// Protocol:
//  - A listing starts when the screen is built, on "Rescan" and after a put-back. While a listing or an
//    uninstall preparation runs (isWorking) another request is ignored and the busy view covers the list.
//  - After a listing, sizes are measured at most three at a time, in list order; rows spin until
//    measured, then the list is ordered largest first. A new listing drops the sizing under way.
//  - "Uninstall" refuses a selection of protected applications only, asks before skipping protected ones
//    in a mixed selection, and refuses while a chosen application runs; otherwise it gathers each
//    bundle and its leftovers (one application after another) and opens the review sheet.
//  - What the trash flow moved leaves the list without listing again. The flow's line (what it moved or
//    put back) stays in front of the summary until the user ticks, searches or rescans, or a while
//    passes (SummaryLine).
//  - Engine work runs through BackgroundRunners; a destroyed screen, or one that started over, gets no
//    stale answer. Messages are sheets that return at once.
#pragma once

#include "apps/ApplicationEntry.h"
#include "deletion/DeletionItems.h"
#include "shell/BackgroundRunner.h"
#include "shell/ScreenStyle.h"
#include "shell/SectionScreen.h"

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

class SummaryLine;
class ApplicationListModel;
class ApplicationRowDelegate;
class DestructiveButton;
class PlaceholderViewController;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class TrashFlowController;
class VoyageScanningView;

class UninstallerViewController : public QWidget, public SectionScreen {
    Q_OBJECT
public:
    void sectionRefresh() override { scan(); }
    // Where applications come from: the home folder (leftovers are searched there), the folders listed,
    // and which listed applications run now.
    struct Sources {
        QString home;
        std::function<std::vector<std::string>(const std::string& home)> roots;
        std::function<std::set<std::string>(const std::vector<brisklet::ApplicationEntry>&)> running;
    };
    // The current user's sources.
    static Sources userSources();

    explicit UninstallerViewController(QWidget* parent = nullptr);
    UninstallerViewController(Sources sources, QWidget* parent);
    ~UninstallerViewController() override;

    void scan();
    void uninstall();

    bool isWorking() const { return m_isWorking; }
    bool isSizing() const;
    ApplicationListModel* model() const { return m_model; }
    QTableView* tableView() const { return m_table; }
    QLineEdit* searchField() const { return m_search; }
    QPushButton* rescanButton() const { return m_rescan; }
    DestructiveButton* uninstallButton() const { return m_uninstall; }
    QLabel* summaryLabel() const { return m_summary; }
    PlaceholderViewController* emptyView() const { return m_empty; }
    VoyageScanningView* busyView() const { return m_busy; }
    TrashFlowController* flow() const { return m_flow; }
    // The message or question on screen, if any.
    QMessageBox* currentAlert() const { return m_alert; }

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Listing {
        std::vector<brisklet::ApplicationEntry> applications;
        std::set<std::string> running;
    };
    struct Preparation {
        QStringList runningNames; // set when a chosen application runs: nothing is gathered
        QList<TrashCandidate> items;
    };

    void finishListing(Listing listing, const QString& failure = {});
    void startSizing(const std::vector<brisklet::ApplicationEntry>& applications);
    void measureNext();
    void prepare(std::vector<brisklet::ApplicationEntry> removable);
    void finishPreparation(const Preparation& preparation, const QString& failure = {});
    void cover(const QString& text);
    void uncover();
    void updateEmptyState();
    void updateSummary();
    void updateButtons();
    void showAlert(const QString& message);
    void restoreKeptRows();

    Sources m_sources;
    bool m_isWorking = false;
    bool m_isCovered = false;
    std::deque<QString> m_sizingQueue;
    int m_sizingInFlight = 0;
    QTimer m_spinner;
    qreal m_spinnerPhase = 0;
    ScreenStyle::LabelTints m_tints;
    ApplicationListModel* m_model = nullptr;
    ApplicationRowDelegate* m_delegate = nullptr;
    QTableView* m_table = nullptr;
    QLineEdit* m_search = nullptr;
    QPushButton* m_rescan = nullptr;
    VoyageScanningView* m_busy = nullptr;
    PlaceholderViewController* m_empty = nullptr;
    QWidget* m_bottomBar = nullptr;
    QLabel* m_summary = nullptr;
    SummaryLine* m_summaryLine = nullptr;
    QPushButton* m_undo = nullptr;
    DestructiveButton* m_uninstall = nullptr;
    TrashFlowController* m_flow = nullptr;
    QPointer<QMessageBox> m_alert;
    // The current and selected rows' paths across a re-sort or a new search, which rebuild the list.
    QString m_keptCurrent;
    QStringList m_keptSelection;
    BackgroundRunner m_runner{this};
    BackgroundRunner m_sizing{this};
};
