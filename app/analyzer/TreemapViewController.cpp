#include "TreemapViewController.h"

#include "ChartContentsList.h"
#include "TreemapView.h"

TreemapViewController::TreemapViewController(QWidget* parent)
    : ChartPaneController(new TreemapView, parent), m_treemap(static_cast<TreemapView*>(chart()))
{
    setAccessibleName(QStringLiteral("Blocks"));
    m_treemap->onSelect = [this](const AnalyzerNodePtr& node) {
        contentsList()->select(node.get());
        reportSelection(trashableCount({node}));
    };
    m_treemap->onDrill = [this](const AnalyzerNodePtr& node) { drill(node); };
    m_treemap->onUp = [this] { upClicked(); };
    m_treemap->onExtend = [this](const std::vector<AnalyzerNodePtr>& nodes) {
        contentsList()->selectNodes(nodes);
        reportSelection(trashableCount(nodes));
    };
    contentsList()->onSelect = [this](const std::vector<AnalyzerNodePtr>& nodes) {
        if (nodes.size() == 1)
            m_treemap->select(nodes.front().get());
        else
            m_treemap->clearSelection();
        reportSelection(trashableCount(nodes));
    };
}

void TreemapViewController::showChart(const AnalyzerNodePtr& folder) { m_treemap->display(folder); }
AnalyzerNodePtr TreemapViewController::chartSelection() const { return m_treemap->selected(); }

std::optional<QColor> TreemapViewController::chartColor(const AnalyzerTreeNode* node) const
{
    return m_treemap->color(node);
}
