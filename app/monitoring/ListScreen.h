// What the processes and ports screens share: the page frame and the reading cycle.
//
// The frame: a header row (bold title, space, search field, the screen's own controls, Refresh), the
// subtitle, the table with any views that take its place (an empty state), the busy view and the
// summary line. Ctrl+F, Escape and Down work between the search field and the table; Tab goes from the
// search field through the controls and Refresh to the table.
//
// The reading cycle: one read at a time; while it runs Refresh is disabled and the summary says what is
// being read; before the first answer the busy view covers the table and summary, later reads keep the
// old rows visible. A live list reads again at a fixed interval while its screen is shown: the timer
// runs from the section's appearance to its disappearance, and a tick while the window is hidden or a
// read runs does nothing. A live read is quiet: the summary keeps its line and Refresh stays enabled
// (a keyboard focus on it stays there); a Refresh pressed meanwhile does nothing.
//
// Columns: one column stretches over what the others leave. When the table is too narrow for every
// column at its preferred width, the yielding columns give way in the order given, each down to its
// minimum, before the stretching column goes below its own minimum; so a small window keeps every
// column on screen without a sideways scroll bar. Widths are refitted at every resize of the table.
//
// The place in a list: rows are replaced as a whole, so what the user had there (selected rows, the
// keyboard's row, the scroll position) is taken by row key before and put back after; rows that went
// leave the selection.
#pragma once

#include "shell/ScreenStyle.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QTableView;
class QTimer;
class QWidget;
class RowTableView;
class SummaryLine;
class SymbolButton;
class VoyageScanningView;

struct ListPage {
    SymbolButton* refreshButton = nullptr;
    QLineEdit* searchField = nullptr;
    RowTableView* tableView = nullptr;
    QLabel* summaryLabel = nullptr;
    VoyageScanningView* scanningView = nullptr;
};

struct ListPageTexts {
    QString title;
    QString subtitle;
    QString searchPlaceholder;
    QString searchName; // accessible name of the search field
    QString tableName;  // accessible name of the table
};

// Builds the frame on screen; controls sit between the search field and Refresh, alternates share the
// table's place. Tinted labels are recorded in tints.
ListPage buildListPage(QWidget* screen, const ListPageTexts& texts, const QList<QWidget*>& controls,
                       const QList<QWidget*>& alternates, ScreenStyle::LabelTints& tints);

class ListReading {
public:
    // Covers the page's table and summary while the first read runs.
    ListReading(const ListPage& page, QString readingText);

    // False while a read runs (the caller then does nothing); otherwise the read has begun.
    bool begin();
    // The answer arrived: Refresh comes back and, the first time, the busy view gives the list back.
    void finish();
    // True only for the first call: the first appearance of the section starts the first read.
    bool firstAppearance();
    // Reads again every intervalMs while the screen is shown; read is the screen's refresh.
    void setLive(QWidget* screen, int intervalMs, std::function<void()> read);
    // The section appeared or went: the live timer starts or stops.
    void setShown(bool shown);
    QTimer* liveTimer() const { return m_timer; }

    bool isRunning() const { return m_running; }
    bool hasLoaded() const { return m_loaded; }

private:
    QWidget* m_refreshButton;
    QLabel* m_summary;
    VoyageScanningView* m_busyView;
    QList<QWidget*> m_covered;
    QString m_readingText;
    bool m_running = false;
    bool m_loaded = false;
    bool m_appeared = false;
    bool m_quiet = false; // the read being begun is the live timer's
    QTimer* m_timer = nullptr;
    QPointer<QObject> m_restoreWatch; // while a minimised window owes a read
};

struct ColumnWidth {
    int column = 0;
    int preferred = 0;
    int minimum = 0;
};

// Fits view's columns to its width; columns named in neither place keep their size.
void fitColumns(QTableView* view, int stretchColumn, int stretchMinimum, const QList<ColumnWidth>& yielding);

class ListPlace {
public:
    using Key = std::function<QString(int row)>;

    // Takes the place in view, its rows named by key.
    ListPlace(const QTableView* view, const Key& key);
    // Puts it back on the view's new rows.
    void restore(QTableView* view, const Key& key) const;

private:
    QSet<QString> m_selected;
    QString m_current;
    int m_currentRow = 0;
    int m_currentColumn = 0;
    int m_scroll = 0;
};
