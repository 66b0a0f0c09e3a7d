// The settings sheet: the application's icon, name and version, the appearance choice (applied and
// stored the moment a segment is picked) and the feedback mail link. "Done" (also Return) closes the
// window that shows it; there is nothing to cancel.
// Scan history: "Remember scans" (stored at once) and "Forget All Scans…", which asks first (Cancel is
// the default), empties the process's shared store on a worker (with the copies of broken stores moved
// aside) and then posts scansForgotten.
#pragma once

#include "BackgroundRunner.h"

#include <QMessageBox>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>

class QCheckBox;
class QPushButton;
class SegmentedControl;

class SettingsViewController : public QWidget {
    Q_OBJECT
public:
    explicit SettingsViewController(QWidget* parent = nullptr);

    SegmentedControl* appearanceControl() const { return m_appearanceControl; }
    QPushButton* feedbackButton() const { return m_feedbackButton; }
    QPushButton* doneButton() const { return m_doneButton; }
    QCheckBox* rememberScansBox() const { return m_rememberScans; }
    QPushButton* forgetScansButton() const { return m_forgetScans; }
    // The question "Forget All Scans…" opens (null when none is open).
    QMessageBox* forgetQuestion() const { return m_forgetQuestion; }

    static inline const QString feedbackAddress = QStringLiteral("feedback@brisklet.io");
    static inline const QString feedbackSubject = QStringLiteral("Brisklet feedback");
    // "mailto:" + address + "?subject=" + the percent-encoded subject; invalid when it cannot be formed.
    static QUrl feedbackUrl();
    // Where URLs are opened; the desktop's default handler unless replaced (tests).
    static void setUrlOpener(std::function<void(const QUrl&)> opener);

public slots:
    void appearanceChanged();
    void sendFeedback();
    void close();
    void forgetScansClicked();

private:
    QCheckBox* m_rememberScans = nullptr;
    QPushButton* m_forgetScans = nullptr;
    QPointer<QMessageBox> m_forgetQuestion;
    BackgroundRunner m_runner{this};
    SegmentedControl* m_appearanceControl = nullptr;
    QPushButton* m_feedbackButton = nullptr;
    QPushButton* m_doneButton = nullptr;
};
