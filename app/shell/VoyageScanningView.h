// The busy view that covers a screen's content while it reads or measures: a full-size voyage, one
// line of progress text and an optional Cancel button (hidden unless the host shows it).
//
// begin(views, text) hides the given views, remembering whether each was already hidden, shows itself
// and starts sailing. While covering, another begin() only changes the text: the views and flags of the
// first begin() stay recorded. end() stops sailing, hides itself and gives every recorded view its
// recorded visibility back, so a view that was hidden before stays hidden. Hosts place it where the
// covered content was (usually in the same layout). Escape presses a shown Cancel button.
#pragma once

#include "VoyageProgressView.h"

#include <QLabel>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

class VoyageScanningView : public QWidget {
    Q_OBJECT
public:
    explicit VoyageScanningView(QWidget* parent = nullptr);

    void begin(const QList<QWidget*>& hiding, const QString& text);
    void end();
    void setSailing(bool sailing);

    VoyageProgressView* voyage() const { return m_voyage; }
    QLabel* progressLabel() const { return m_progressLabel; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    std::function<void()> onCancel;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    VoyageProgressView* m_voyage = nullptr;
    QLabel* m_progressLabel = nullptr;
    QPushButton* m_cancelButton = nullptr;
    std::vector<std::pair<QPointer<QWidget>, bool>> m_covered; // view, was hidden
};
