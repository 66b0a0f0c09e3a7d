// Shows the selected section's screen. All screens are built together on first use and kept for the
// container's life, so each keeps its state and timers while hidden; switching only swaps which one
// is shown. Follows "briskletSwitchSection"; requests without a valid section raw value are ignored.
#pragma once

#include "Section.h"
#include "ScreenTable.h"

#include <QWidget>

#include <map>
#include <vector>

class SectionContainerViewController : public QWidget {
    Q_OBJECT
public:
    // screens: the section-screen table to build from.
    SectionContainerViewController(QWidget* parent, SectionScreens::Table screens);
    ~SectionContainerViewController() override;

    using QWidget::show;
    void show(Section section);
    // The screen now shown, or null.
    QWidget* current() const { return m_current; }
    const std::map<Section, QWidget*>& controllers();

private:
    SectionScreens::Table m_screens;
    std::map<Section, QWidget*> m_controllers;
    bool m_built = false;
    QWidget* m_current = nullptr;
    QMetaObject::Connection m_observer;
};
