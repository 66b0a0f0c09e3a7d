// SunburstView: one folder as up to three rings of wedges around a disc naming the folder.
//
// display(root) lays out wedges once, depth first: a ring-0 wedge, then its ring-1 wedges each followed by
// their ring-2 wedges. Each level shows at most 40 children plus one aggregated "Other (N)" wedge; a wedge
// of 0.8 degrees or less is dropped with its subtree and only wedges over 3 degrees show their children.
// Angles are degrees counter-clockwise from the right, starting at 90 (the top) and ending at 450.
// Resizing changes only the radii, never the angles.
//
// A click selects a wedge (onSelect); a double click on a folder wedge asks to drill (onDrill) and one on
// the disc asks to go up (onUp). From the keyboard Left and Right move to the previous or next sibling
// (Shift with them extends the selection, reported with onExtend), Down to the selected folder's first
// child (drilling in when its children are not drawn), Up to its parent (going up a level from the
// first ring, selecting the folder it came from), Return drills and Backspace goes up.
#pragma once

#include "AnalyzerTreeNode.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QPainterPath;

class SunburstView : public QWidget {
    Q_OBJECT
public:
    static constexpr int maxChildren = 40;
    static constexpr double minimumSpan = 0.8;   // degrees; at or below, a wedge is not drawn
    static constexpr double childrenSpan = 3.0;  // degrees; at or below, its children are not drawn

    struct Wedge {
        AnalyzerNodePtr node;
        int level = 0;
        double startAngle = 0;
        double endAngle = 0;
        QColor fill;
        int index = 0;
    };
    struct Geometry {
        double outerRadius = 0;
        double hole = 0;
        double ringWidth = 0;
        QPointF centre;
    };

    explicit SunburstView(QWidget* parent = nullptr);

    void display(const AnalyzerNodePtr& root);
    const std::vector<Wedge>& wedges() const { return m_wedges; }
    const AnalyzerNodePtr& selected() const { return m_selected; }
    // Sets the highlighted wedge's node without reporting it, and redraws.
    void setSelected(const AnalyzerNodePtr& node);
    const AnalyzerNodePtr& displayRoot() const { return m_displayRoot; }
    const QString& rootName() const { return m_rootName; }
    const QString& rootSizeText() const { return m_rootSizeText; }
    std::optional<QColor> color(const AnalyzerTreeNode* node) const;
    Geometry geometry() const;

    // Children with size >= 1, largest first; over 40, the rest become one aggregated node.
    static std::vector<AnalyzerNodePtr> preparedChildren(const AnalyzerNodePtr& node);
    // The centre label: the name itself when it fits 1.7 x the disc radius, else its first 18
    // characters and an ellipsis.
    static QString centreName(const QString& name, const QFontMetricsF& metrics, double hole, bool* fits = nullptr);

    std::function<void(const AnalyzerNodePtr&)> onSelect;
    std::function<void(const AnalyzerNodePtr&)> onDrill;
    // A colouring over the palette's (the Changes colouring): its colour where it gives one. Call
    // update() after changing it.
    std::function<std::optional<QColor>(const AnalyzerTreeNode&)> fillOverride;
    std::function<void()> onUp;
    std::function<void(const std::vector<AnalyzerNodePtr>&)> onExtend;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    void layout(const AnalyzerNodePtr& node, int sibling, int level, double start, double end);
    // The wedge index under point, -1 for none, -2 for the disc.
    int hit(const QPointF& point) const;
    void click(const QPointF& point, int clickCount);
    void selectWedge(int index);
    QPainterPath wedgePath(const Wedge& wedge, const Geometry& geometry) const;

    std::vector<Wedge> m_wedges;
    AnalyzerNodePtr m_selected;
    std::vector<AnalyzerNodePtr> m_extended; // a selection extended from the keyboard, m_selected among them
    AnalyzerNodePtr m_displayRoot;
    QString m_rootName;
    QString m_rootSizeText;
};
