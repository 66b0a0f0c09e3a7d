// A list's one-line summary with a note in front of it: what an action just did ("Moved 3 items to the
// Trash", "Put back 3 items", "Stopped …"). The note stays through the list's own changes (sizes
// arriving, the list read again) until the user acts on the list (release) or noteLifetimeMs pass;
// then the list's summary is shown alone again. update() is how the screen shows a changed summary.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QLabel;

class SummaryLine : public QObject {
public:
    static constexpr int noteLifetimeMs = 30000;

    // Lives as long as label; summary gives the list's present summary.
    SummaryLine(QLabel* label, std::function<QString()> summary);
    void setNote(const QString& note);
    void update();
    void release();
    QString note() const { return m_note; }

    // Called with the line each time it is shown (a tooltip that follows it, say).
    std::function<void(const QString& shown)> onShown;

private:
    QLabel* m_label;
    std::function<QString()> m_summary;
    QString m_note;
    QTimer m_expiry;
};
