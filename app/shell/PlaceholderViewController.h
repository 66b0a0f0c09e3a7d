// A centred empty-state message: a large faint symbol, a title and a subtitle. Screens use it for empty
// and unavailable states; the shell uses it for sections whose screen is not built yet.
#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>

class PlaceholderViewController : public QWidget {
    Q_OBJECT
public:
    PlaceholderViewController(const QString& symbolName, const QString& title, const QString& subtitle,
                              QWidget* parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    QString titleText() const { return m_titleText; }
    QString subtitleText() const { return m_subtitleText; }
    // Says something else, e.g. why a list could not be read instead of that it is empty.
    void setTexts(const QString& title, const QString& subtitle);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColors();
    void fitSubtitle();

    QString m_symbolName;
    QString m_titleText;
    QString m_subtitleText;
    QLabel* m_symbol = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
};
