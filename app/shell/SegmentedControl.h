// A single-selection segmented control: a row of joined segments sized to their labels. selectedIndex()
// is -1 while nothing is selected.
//
// The control is one stop in the Tab order and draws a focus ring around its segments; Left/Right
// (and Up/Down, Home/End) pick the neighbouring, first or last segment, as a click does. Return is left
// to the window, so in a dialog it still presses the default button. Segments are accessible as
// checkable buttons named after their labels.
#pragma once

#include <QButtonGroup>
#include <QStringList>
#include <QWidget>

class QPushButton;

class SegmentedControl : public QWidget {
    Q_OBJECT
public:
    explicit SegmentedControl(const QStringList& labels, QWidget* parent = nullptr);

    int count() const;
    int selectedIndex() const;
    void setSelectedIndex(int index);
    QPushButton* segment(int index) const;
    // Distance from the top of the control to the labels' baseline, for aligning a row on it.
    int firstBaseline() const;

signals:
    // Emitted when the user picks a segment, by mouse or keyboard (not for setSelectedIndex).
    void selectionChanged(int index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void pick(int index);

    QButtonGroup* m_group = nullptr;
};
