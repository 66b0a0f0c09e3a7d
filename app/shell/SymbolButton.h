// A flat button showing one named symbol, redrawn in the palette's button text colour whenever the
// appearance changes. Its description is the accessible name and the tool tip.
#pragma once

#include <QToolButton>

class SymbolButton : public QToolButton {
    Q_OBJECT
public:
    SymbolButton(const QString& symbolName, const QString& description, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyIcon();
    QString m_symbolName;
};
