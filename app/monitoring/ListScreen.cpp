#include "ListScreen.h"

#include "shell/FocusReturn.h"
#include "shell/RowTableView.h"
#include "shell/SymbolButton.h"
#include "shell/VoyageScanningView.h"

#include <algorithm>

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

ListPage buildListPage(QWidget* screen, const ListPageTexts& texts, const QList<QWidget*>& controls,
                       const QList<QWidget*>& alternates, ScreenStyle::LabelTints& tints)
{
    ListPage page;
    page.refreshButton = new SymbolButton(QStringLiteral("arrow.clockwise"), QStringLiteral("Refresh"), screen);
    FocusReturn::install(page.refreshButton);
    page.searchField = new QLineEdit(screen);
    page.searchField->setPlaceholderText(texts.searchPlaceholder);
    page.searchField->setAccessibleName(texts.searchName);
    page.searchField->setClearButtonEnabled(true);
    // 220 wide where there is room; in a small window no narrower than its hint, which says what it finds.
    const QMargins margins = page.searchField->textMargins() + page.searchField->contentsMargins();
    const int hintWidth = page.searchField->fontMetrics().horizontalAdvance(texts.searchPlaceholder) +
                          margins.left() + margins.right() + page.searchField->sizeHint().height() + 12;
    page.searchField->setMinimumWidth(std::clamp(hintWidth, 140, 220));
    page.searchField->setMaximumWidth(220);
    page.searchField->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(ScreenStyle::titleLabel(texts.title, screen));
    header->addStretch(1);
    header->addWidget(page.searchField, 1);
    for (QWidget* control : controls)
        header->addWidget(control);
    header->addWidget(page.refreshButton);

    auto* subtitle = new QLabel(texts.subtitle, screen);
    subtitle->setFont(ScreenStyle::font(12));
    subtitle->setWordWrap(true);
    tints.add(subtitle, ScreenStyle::LabelLevel::secondary);

    page.tableView = new RowTableView(screen);
    page.tableView->setAccessibleName(texts.tableName);
    page.summaryLabel = new QLabel(screen);
    page.summaryLabel->setFont(ScreenStyle::font(11));
    page.summaryLabel->setTextFormat(Qt::PlainText); // it quotes process names
    page.summaryLabel->setAccessibleName(QStringLiteral("Summary"));
    tints.add(page.summaryLabel, ScreenStyle::LabelLevel::secondary);
    page.scanningView = new VoyageScanningView(screen);

    auto* layout = new QVBoxLayout(screen);
    layout->setContentsMargins(28, 24, 28, 16);
    layout->setSpacing(6);
    layout->addLayout(header);
    layout->addWidget(subtitle);
    layout->addSpacing(10);
    layout->addWidget(page.tableView, 1);
    for (QWidget* alternate : alternates)
        layout->addWidget(alternate, 1);
    layout->addWidget(page.scanningView, 1);
    layout->addWidget(page.summaryLabel);

    page.tableView->attachSearchField(page.searchField, screen);
    QWidget* previous = page.searchField;
    for (QWidget* next : controls + QList<QWidget*>{page.refreshButton, page.tableView}) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    }
    return page;
}

ListReading::ListReading(const ListPage& page, QString readingText)
    : m_refreshButton(page.refreshButton), m_summary(page.summaryLabel), m_busyView(page.scanningView),
      m_covered{page.tableView, page.summaryLabel}, m_readingText(std::move(readingText))
{
}

bool ListReading::begin()
{
    if (m_running)
        return false;
    m_running = true;
    if (m_quiet && m_loaded)
        return true;
    m_refreshButton->setEnabled(false);
    m_summary->setText(m_readingText);
    if (!m_loaded)
        m_busyView->begin(m_covered, m_readingText);
    return true;
}

void ListReading::finish()
{
    m_running = false;
    m_refreshButton->setEnabled(true);
    if (!m_loaded) {
        m_loaded = true;
        m_busyView->end();
    }
}

bool ListReading::firstAppearance()
{
    const bool first = !m_appeared;
    m_appeared = true;
    return first;
}

// Calls onRestore once, when the watched window stops being minimised, then goes.
class RestoreWatch : public QObject {
public:
    // Owned by screen, whose reads it makes.
    RestoreWatch(QWidget* screen, QWidget* window, std::function<void()> onRestore)
        : QObject(screen), m_window(window), m_onRestore(std::move(onRestore))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::WindowStateChange && !m_window->isMinimized()) {
            m_window->removeEventFilter(this);
            deleteLater();
            m_onRestore();
        }
        return false;
    }

private:
    QWidget* m_window;
    std::function<void()> m_onRestore;
};

void ListReading::setLive(QWidget* screen, int intervalMs, std::function<void()> read)
{
    m_timer = new QTimer(screen);
    m_timer->setInterval(intervalMs);
    auto liveRead = [this, read = std::move(read)] {
        m_quiet = true;
        read();
        m_quiet = false;
    };
    QObject::connect(m_timer, &QTimer::timeout, screen, [this, screen, liveRead] {
        // A minimised or hidden window shows nothing, so nothing is read for it; a minimised one reads
        // once when it comes back rather than show a list up to one interval old.
        if (!screen->isVisible() || m_running)
            return;
        QWidget* window = screen->window();
        if (!window->isMinimized()) {
            liveRead();
            return;
        }
        if (m_restoreWatch)
            return;
        m_restoreWatch = new RestoreWatch(screen, window, [this, screen, liveRead] {
            if (m_timer->isActive() && screen->isVisible() && !m_running)
                liveRead();
        });
    });
}

void ListReading::setShown(bool shown)
{
    if (!m_timer)
        return;
    if (shown)
        m_timer->start();
    else
        m_timer->stop();
}

namespace {
class ColumnFitter : public QObject {
public:
    ColumnFitter(QTableView* view, int stretchColumn, int stretchMinimum, QList<ColumnWidth> yielding)
        : QObject(view), m_view(view), m_stretchMinimum(stretchMinimum), m_yielding(std::move(yielding))
    {
        QHeaderView* header = view->horizontalHeader();
        int smallest = stretchMinimum;
        for (const ColumnWidth& width : m_yielding) {
            header->setSectionResizeMode(width.column, QHeaderView::Fixed);
            smallest = std::min(smallest, width.minimum);
        }
        header->setMinimumSectionSize(smallest);
        header->setSectionResizeMode(stretchColumn, QHeaderView::Stretch);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->viewport()->installEventFilter(this);
        fit();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            fit();
        return QObject::eventFilter(watched, event);
    }

private:
    void fit()
    {
        int wanted = m_stretchMinimum;
        for (const ColumnWidth& width : m_yielding)
            wanted += width.preferred;
        int missing = std::max(0, wanted - m_view->viewport()->width());
        for (const ColumnWidth& width : m_yielding) {
            const int given = std::min(missing, width.preferred - width.minimum);
            missing -= given;
            m_view->horizontalHeader()->resizeSection(width.column, width.preferred - given);
        }
    }

    QTableView* m_view;
    int m_stretchMinimum;
    QList<ColumnWidth> m_yielding;
};
} // namespace

void fitColumns(QTableView* view, int stretchColumn, int stretchMinimum, const QList<ColumnWidth>& yielding)
{
    new ColumnFitter(view, stretchColumn, stretchMinimum, yielding);
}

ListPlace::ListPlace(const QTableView* view, const Key& key)
    : m_scroll(view->verticalScrollBar()->value())
{
    if (const QItemSelectionModel* selection = view->selectionModel())
        for (const QModelIndex& index : selection->selectedRows())
            m_selected.insert(key(index.row()));
    if (const QModelIndex current = view->currentIndex(); current.isValid()) {
        m_current = key(current.row());
        m_currentRow = current.row();
        m_currentColumn = current.column();
    }
}

void ListPlace::restore(QTableView* view, const Key& key) const
{
    QAbstractItemModel* model = view->model();
    QItemSelectionModel* selection = view->selectionModel();
    if (!model || !selection)
        return;
    QItemSelection kept;
    const int rows = model->rowCount();
    const int lastColumn = model->columnCount() - 1;
    bool currentKept = false;
    for (int row = 0; row < rows && (!m_selected.isEmpty() || !m_current.isNull()); ++row) {
        const QString name = key(row);
        if (m_selected.contains(name))
            kept.select(model->index(row, 0), model->index(row, lastColumn));
        if (!m_current.isNull() && name == m_current) {
            selection->setCurrentIndex(model->index(row, m_currentColumn), QItemSelectionModel::NoUpdate);
            currentKept = true;
        }
    }
    // The keyboard's row left the list (a stopped process): the row now in its place takes the keyboard,
    // without being selected, so the next Delete cannot stop what the user never chose.
    if (!m_current.isNull() && !currentKept && rows > 0)
        selection->setCurrentIndex(model->index(std::min(m_currentRow, rows - 1), m_currentColumn),
                                   QItemSelectionModel::NoUpdate);
    selection->select(kept, QItemSelectionModel::ClearAndSelect);
    // The new rows' extent is laid out later, which clamps the position if the list got shorter; until
    // then the range must not clamp it to the empty list's.
    QScrollBar* bar = view->verticalScrollBar();
    bar->setMaximum(std::max(bar->maximum(), m_scroll));
    bar->setValue(m_scroll);
}
