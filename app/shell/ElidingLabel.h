// A one-line label whose text is cut with an ellipsis (at the end, or in the middle for a path) when the
// window is too narrow for it,
// instead of running past the window's edge. text() stays the whole text; the tooltip shows it whole
// while it is cut (unless a tooltip of its own is set). Plain text only.
#pragma once

#include <QLabel>

class ElidingLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidingLabel(const QString& text = {}, QWidget* parent = nullptr);

    void setElideMode(Qt::TextElideMode mode) { m_mode = mode; update(); }
    QSize minimumSizeHint() const override;
    // Whether the text is cut at the label's present width.
    bool isElided() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::TextElideMode m_mode = Qt::ElideRight;
};
