// SunburstViewController: the sunburst pane. A wedge selected in the chart is shown in the list of its
// own folder (an outer-ring wedge lists its siblings); one row selected in the list highlights its wedge.
// A double click on the centre disc goes up.
#pragma once

#include "ChartPaneController.h"

class SunburstView;

class SunburstViewController : public ChartPaneController {
    Q_OBJECT
public:
    explicit SunburstViewController(QWidget* parent = nullptr);
    SunburstView* sunburst() const { return m_sunburst; }
    void showInList(const AnalyzerNodePtr& node);

protected:
    void showChart(const AnalyzerNodePtr& folder) override;
    AnalyzerNodePtr chartSelection() const override;
    std::optional<QColor> chartColor(const AnalyzerTreeNode* node) const override;

private:
    SunburstView* m_sunburst;
};
