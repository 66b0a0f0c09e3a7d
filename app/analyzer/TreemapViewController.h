// TreemapViewController: the treemap pane. A cell selected in the chart is selected in the list; one row
// selected in the list highlights its cell, several clear the highlight.
#pragma once

#include "ChartPaneController.h"

class TreemapView;

class TreemapViewController : public ChartPaneController {
    Q_OBJECT
public:
    explicit TreemapViewController(QWidget* parent = nullptr);
    TreemapView* treemap() const { return m_treemap; }

protected:
    void showChart(const AnalyzerNodePtr& folder) override;
    AnalyzerNodePtr chartSelection() const override;
    std::optional<QColor> chartColor(const AnalyzerTreeNode* node) const override;

private:
    TreemapView* m_treemap;
};
