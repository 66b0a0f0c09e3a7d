// The sidebar: grouped section rows (exactly one highlighted: the section on show), the "Settings"
// button and the update button, which mirrors the update controller's state. Follows
// "briskletSwitchSection" (highlight) and "briskletUpdateStateChanged" (redraw the update button).
#pragma once

#include "Section.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>

class QPushButton;
class SidebarRowView;
class UpdateController;

class SidebarViewController : public QWidget {
    Q_OBJECT
public:
    explicit SidebarViewController(UpdateController& updateController, QWidget* parent = nullptr);

    std::function<void(Section)> onSelect;

    const std::map<Section, SidebarRowView*>& rowViews() const { return m_rowViews; }
    QPushButton* updateButton() const { return m_updateButton; }
    QPushButton* settingsButton() const { return m_settingsButton; }
    // The settings sheet while it is open.
    QDialog* settingsSheet() const { return m_settingsSheet; }
    // The section whose row is highlighted.
    std::optional<Section> highlightedSection() const;

    // Marks exactly that row as selected; a focused row hands the focus to it.
    void highlight(Section section);
    // Moves the selection from a row by step (see SidebarRowView::onStep), switching sections.
    void stepSelection(Section from, int step);

public slots:
    void showSettings();
    void updateClicked();
    void renderUpdateState();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refreshSettingsIcon();

    UpdateController& m_updateController;
    std::map<Section, SidebarRowView*> m_rowViews;
    QPushButton* m_settingsButton = nullptr;
    QPushButton* m_updateButton = nullptr;
    QString m_updateSymbol;
    QPointer<QDialog> m_settingsSheet;
};
