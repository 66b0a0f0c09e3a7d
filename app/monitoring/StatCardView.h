// One live figure of the dashboard as a card: title, big value, what the value is of, a bar from 0 to 1
// and a footer. The value, of- and footer texts start empty and the bar at 0; the dashboard fills them.
#pragma once

#include "shell/ScreenStyle.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

class StatCardView : public QWidget {
    Q_OBJECT
public:
    explicit StatCardView(const QString& title, QWidget* parent = nullptr);

    // Sets every part at once; fraction is clamped to 0...1.
    void show(const QString& value, const QString& of, double fraction, const QString& footer);
    using QWidget::show;

    QLabel* titleLabel() const { return m_titleLabel; }
    QLabel* valueLabel() const { return m_valueLabel; }
    QLabel* ofLabel() const { return m_ofLabel; }
    QProgressBar* bar() const { return m_bar; }
    QLabel* footerLabel() const { return m_footerLabel; }
    double fraction() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QLabel* m_titleLabel = nullptr;
    QLabel* m_valueLabel = nullptr;
    QLabel* m_ofLabel = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_footerLabel = nullptr;
    ScreenStyle::LabelTints m_tints;
};
