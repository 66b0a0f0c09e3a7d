#include "ChartPaneController.h"

#include "ChartContentsList.h"
#include "ChartText.h"
#include "ElidedLabel.h"
#include "shell/FileBrowser.h"
#include "shell/ScreenStyle.h"
#include "shell/SymbolIcons.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QShortcut>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

TrashCandidate trashCandidate(const AnalyzerTreeNode& node)
{
    return {ChartText::path(node), countedSize(node), node.entry().isDirectory};
}

PathSet pathSet(const QSet<QString>& paths)
{
    PathSet set;
    for (const QString& path : paths)
        set.insert(pathBytes(path));
    return set;
}

ChartPaneController::ChartPaneController(QWidget* chart, QWidget* parent) : QWidget(parent), m_chart(chart)
{
    m_upButton = new QToolButton(this);
    m_upButton->setIcon(SymbolIcons::icon(QStringLiteral("arrow.turn.left.up")));
    m_upButton->setAccessibleName(QStringLiteral("Enclosing folder"));
    m_upButton->setToolTip(QStringLiteral("Go to the enclosing folder"));
    m_upButton->setAutoRaise(true);
    m_upButton->setEnabled(false);
    connect(m_upButton, &QToolButton::clicked, this, [this] { upClicked(); });

    m_breadcrumb = new ElidedLabel(Qt::ElideMiddle, ScreenStyle::LabelLevel::secondary, this);
    m_breadcrumb->setFont(ScreenStyle::monospacedFont(11));

    m_contentsList = new ChartContentsList(this);
    m_contentsList->setFixedWidth(300);
    m_contentsList->onDrill = [this](const AnalyzerNodePtr& node) { drill(node); };
    m_contentsList->onReveal = [this](const AnalyzerNodePtr& node) { FileBrowser::reveal(ChartText::path(*node), this); };
    m_contentsList->onTrash = [this](const AnalyzerNodePtr& node) {
        if (onTrashRequest && !node->isAggregated() && !node->isMissing())
            onTrashRequest({trashCandidate(*node)});
    };
    m_contentsList->colorProvider = [this](const AnalyzerTreeNode* node) { return chartColor(node); };

    auto* navigation = new QHBoxLayout;
    navigation->setSpacing(8);
    navigation->setContentsMargins(4, 4, 4, 0);
    navigation->addWidget(m_upButton);
    navigation->addWidget(m_breadcrumb, 1);
    auto* chartArea = new QVBoxLayout;
    chartArea->setSpacing(10);
    chartArea->setContentsMargins(0, 0, 0, 0);
    chartArea->addLayout(navigation);
    auto* chartBox = new QHBoxLayout;
    chartBox->setContentsMargins(4, 0, 4, 4);
    chartBox->addWidget(chart);
    chartArea->addLayout(chartBox, 1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);
    layout->addLayout(chartArea, 1);
    layout->addWidget(m_contentsList);
    // Reading order: the Up arrow, the chart, then the list beside it. The chart is made before the pane,
    // so without this it would come last in the window's chain.
    QWidget::setTabOrder(m_upButton, chart);
    QWidget::setTabOrder(chart, m_contentsList->tableView());

    for (const QKeySequence& key : {QKeySequence(Qt::ALT | Qt::Key_Up), QKeySequence(Qt::Key_Backspace)}) {
        auto* up = new QShortcut(key, this);
        up->setContext(Qt::WidgetWithChildrenShortcut);
        connect(up, &QShortcut::activated, this, [this] { upClicked(); });
    }
}

void ChartPaneController::showFolder(const AnalyzerNodePtr& folder)
{
    showChart(folder);
    m_contentsList->showFolder(folder, nullptr);
    syncNavigation();
}

void ChartPaneController::present(const AnalyzerNodePtr& node)
{
    m_rootNode = node;
    m_currentRoot = node;
    showFolder(node);
}

void ChartPaneController::drill(const AnalyzerNodePtr& node)
{
    if (!node || !node->hasChildren())
        return;
    m_currentRoot = node;
    showFolder(node);
}

void ChartPaneController::upClicked()
{
    if (!m_currentRoot || !m_currentRoot->parent())
        return;
    const AnalyzerTreeNode* parent = m_currentRoot->parent();
    const AnalyzerNodePtr cameFrom = m_currentRoot;
    drill(parent == m_rootNode.get() ? m_rootNode : parent->sharedFromParent());
    // As in a file manager, the folder just left is selected, so Return goes back and the arrows start there.
    m_contentsList->select(cameFrom.get());
    if (m_contentsList->onSelect)
        m_contentsList->onSelect({cameFrom});
}

void ChartPaneController::syncNavigation()
{
    m_upButton->setEnabled(m_currentRoot != m_rootNode);
    m_breadcrumb->setText(m_currentRoot ? visibleText(ChartText::path(*m_currentRoot)) : QString());
}

QString ChartPaneController::breadcrumb() const { return m_breadcrumb->text(); }

void ChartPaneController::removePaths(const PathSet& paths)
{
    if (!m_rootNode)
        return;
    m_rootNode->removePaths(paths);
    if (m_currentRoot && m_currentRoot != m_rootNode) {
        const std::string& rootPath = m_rootNode->entry().path();
        const std::string& shownPath = m_currentRoot->entry().path();
        bool attached = false;
        for (const AnalyzerTreeNode* node = m_currentRoot->parent(); node && !attached; node = node->parent())
            attached = node == m_rootNode.get();
        // A folder whose ancestor went to the Trash is no longer in this tree: show the root.
        if (!attached || paths.contains(shownPath) ||
            (shownPath != rootPath && !shownPath.starts_with(rootPath == "/" ? rootPath : rootPath + "/")))
            m_currentRoot = m_rootNode;
    }
    showFolder(m_currentRoot ? m_currentRoot : m_rootNode);
}

QList<TrashCandidate> ChartPaneController::selectedTrashItems() const
{
    std::vector<AnalyzerNodePtr> nodes = m_contentsList->selectedNodes();
    if (nodes.empty())
        if (AnalyzerNodePtr selected = chartSelection())
            nodes.push_back(std::move(selected));
    QList<TrashCandidate> items;
    for (const AnalyzerNodePtr& node : nodes)
        if (!node->isMissing() && !node->isAggregated())
            items.push_back(trashCandidate(*node));
    return items;
}

std::vector<AnalyzerNodePtr> ChartPaneController::missingCheckItems() const { return m_contentsList->missingCheckItems(); }

void ChartPaneController::showMissingChanges(const NodeSet& changed)
{
    if (m_contentsList->showMissingChanges(changed))
        reportSelection(static_cast<int>(selectedTrashItems().size()));
}

void ChartPaneController::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) // the symbol is tinted for the appearance
        m_upButton->setIcon(SymbolIcons::icon(QStringLiteral("arrow.turn.left.up")));
}

void ChartPaneController::reportSelection(int count)
{
    if (onSelectionChange)
        onSelectionChange(count);
}

int ChartPaneController::trashableCount(const std::vector<AnalyzerNodePtr>& nodes)
{
    return static_cast<int>(std::count_if(nodes.begin(), nodes.end(), [](const AnalyzerNodePtr& node) {
        return node && !node->isAggregated() && !node->isMissing();
    }));
}
