// ScanChangesBar: the analyzer's row about changes since an earlier scan of the shown root.
//
// "Changes since 3 Dec, 14:05" is a menu button: its menu lists the earlier stored scans of the root
// (date, total, state), the compared one checked; picking one reports onPick. "Colour Changes" switches
// the treemap and sunburst to the Changes colouring (grown warm, shrunk cool, by the size of the change)
// and shows its legend: the scale with the change its deepest colours stand for at each end (the
// largest of either way, "-1.2 GB" and "+1.2 GB"), and the unchanged grey. The menu's labels are to the
// minute, finer only where two scans would read the same. In a narrow window the gone line gives way
// first and the legend moves to a row of its own below the buttons. "3 items gone (2.1 GB)" follows when items of the earlier scan are gone, its tool
// tip listing the largest. The bar is hidden while there is nothing to compare with.
#pragma once

#include "ScanChanges.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QToolButton;

class ScanChangesBar : public QWidget {
    Q_OBJECT
public:
    explicit ScanChangesBar(QWidget* parent = nullptr);

    void setChanges(const std::shared_ptr<const ScanChanges>& changes, const std::vector<brisklet::StoredScan>& earlier);
    bool colouring() const;
    void setColouring(bool on);

    QPushButton* sinceButton() const { return m_sinceButton; }
    QToolButton* colourButton() const { return m_colourButton; }
    QWidget* legend() const { return m_legend; }
    // The figures at the ends of the legend's scale.
    QLabel* shrunkEnd() const { return m_shrunkEnd; }
    QLabel* grownEnd() const { return m_grownEnd; }
    QLabel* goneLabel() const { return m_goneLabel; }

    std::function<void(std::int64_t)> onPick;
    std::function<void(bool)> onColouring;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeLegend();

    QHBoxLayout* m_row = nullptr;
    QHBoxLayout* m_legendRow = nullptr;
    QPushButton* m_sinceButton = nullptr;
    QToolButton* m_colourButton = nullptr;
    QWidget* m_legend = nullptr;
    QLabel* m_shrunkEnd = nullptr;
    QLabel* m_grownEnd = nullptr;
    QLabel* m_goneLabel = nullptr;
};
