#include "SunburstViewController.h"

#include "ChartContentsList.h"
#include "SunburstView.h"

SunburstViewController::SunburstViewController(QWidget* parent)
    : ChartPaneController(new SunburstView, parent), m_sunburst(static_cast<SunburstView*>(chart()))
{
    setAccessibleName(QStringLiteral("Pie"));
    m_sunburst->onSelect = [this](const AnalyzerNodePtr& node) {
        showInList(node);
        reportSelection(trashableCount({node}));
    };
    m_sunburst->onDrill = [this](const AnalyzerNodePtr& node) { drill(node); };
    m_sunburst->onUp = [this] { upClicked(); };
    m_sunburst->onExtend = [this](const std::vector<AnalyzerNodePtr>& nodes) {
        showInList(nodes.back());
        contentsList()->selectNodes(nodes);
        reportSelection(trashableCount(nodes));
    };
    contentsList()->onSelect = [this](const std::vector<AnalyzerNodePtr>& nodes) {
        m_sunburst->setSelected(nodes.size() == 1 ? nodes.front() : nullptr);
        reportSelection(trashableCount(nodes));
    };
}

void SunburstViewController::showInList(const AnalyzerNodePtr& node)
{
    const AnalyzerNodePtr& current = currentRoot();
    if (!current)
        return;
    AnalyzerNodePtr folder = current;
    if (node && node != current && node->parent()) {
        const AnalyzerTreeNode* parent = node->parent();
        folder = parent == current.get() ? current : parent == rootNode().get() ? rootNode() : parent->sharedFromParent();
        if (!folder)
            folder = current;
    }
    if (contentsList()->folder() == folder)
        contentsList()->select(node.get());
    else
        contentsList()->showFolder(folder, node);
}

void SunburstViewController::showChart(const AnalyzerNodePtr& folder) { m_sunburst->display(folder); }
AnalyzerNodePtr SunburstViewController::chartSelection() const { return m_sunburst->selected(); }

std::optional<QColor> SunburstViewController::chartColor(const AnalyzerTreeNode* node) const
{
    return m_sunburst->color(node);
}
