// A single-selection segmented control: a row of joined, checkable segments sized to their labels.
// selectedIndex() is -1 while nothing is selected.
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

signals:
    // Emitted when the user picks a segment (not for setSelectedIndex).
    void selectionChanged(int index);

private:
    QButtonGroup* m_group = nullptr;
};
