// TreemapView: the children of one folder as squarified rectangles, painted in one pass.
//
// display() lays the folder's children out once in the unit square (squarifiedBlocks); a resize only
// scales the unit rectangles to the widget (no new layout), rounding outwards to whole pixels and hiding
// cells under one pixel in either dimension. At most 250 cells are shown; the rest are summed into one
// aggregated "Other (N items)" cell in the neutral colour, made anew on every display.
//
// A cell is a record, not a widget: the view paints all of them, hit-tests clicks and answers tooltips.
// One click selects a cell and reports it (onSelect); a double click on a folder asks to drill (onDrill).
// select()/clearSelection() change the highlight without reporting. From the keyboard Left and Right
// move the selection to the previous or next sibling in layout order, Shift with them extends it
// (onExtend reports every selected node), Down drills into the selected folder and selects its first
// child, Up goes to the enclosing folder (onUp) and selects the folder it came from, Return drills.
#pragma once

#include "AnalyzerTreeNode.h"

#include <QColor>
#include <QRect>
#include <QRectF>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

struct TreemapCellView {
    AnalyzerNodePtr node;
    QColor fill;
    QColor text;
    bool isSelected = false;
    QRect frame;        // the unit rectangle scaled to the view, integral outwards
    bool hidden = true; // under one pixel wide or high before rounding
};

class TreemapView : public QWidget {
    Q_OBJECT
public:
    static constexpr int maxCells = 250;

    struct Block {
        AnalyzerNodePtr node;
        double fraction = 0;
        QRectF unit;
    };
    struct Entry {
        TreemapCellView cell;
        QRectF unit;
    };

    explicit TreemapView(QWidget* parent = nullptr);

    void display(const AnalyzerNodePtr& folder);
    void select(const AnalyzerTreeNode* node);
    void clearSelection();
    const AnalyzerNodePtr& selected() const { return m_selected; }
    std::optional<QColor> color(const AnalyzerTreeNode* node) const;
    const std::vector<Entry>& entries() const { return m_entries; }
    // How many unit layouts ran since construction (a resize must not add one).
    int layoutCount() const { return m_layoutCount; }

    static std::vector<Block> squarifiedBlocks(const std::vector<AnalyzerNodePtr>& nodes);
    static void squarify(const std::vector<Block>& blocks, std::size_t start, std::vector<Block> row, double x,
                         double y, double w, double h, std::vector<Block>& result);

    std::function<void(const AnalyzerNodePtr&)> onSelect;
    std::function<void(const AnalyzerNodePtr&)> onDrill;
    // A colouring over the palette's (the Changes colouring): its colour where it gives one. Call
    // update() after changing it.
    std::function<std::optional<QColor>(const AnalyzerTreeNode&)> fillOverride;
    std::function<void()> onUp;
    std::function<void(const std::vector<AnalyzerNodePtr>&)> onExtend;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    void placeCells();
    int cellAt(const QPoint& point) const;
    void selectCell(int index);
    void drillCell(int index);
    // Adds the cell to the selection and makes it the keyboard's.
    void extendTo(int index);
    int selectedIndex() const;

    AnalyzerNodePtr m_folder; // keeps the aggregated cell's parent alive
    std::vector<Entry> m_entries;
    AnalyzerNodePtr m_selected;
    int m_layoutCount = 0;
};
