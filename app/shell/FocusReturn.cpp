#include "FocusReturn.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {

class FocusKeeper : public QObject {
public:
    explicit FocusKeeper(QWidget* widget) : QObject(widget), m_widget(widget) { widget->installEventFilter(this); }

    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::FocusOut:
            // Qt marks the widget disabled first, then passes the focus on, then tells of the change.
            m_parked = !m_widget->isEnabled();
            m_parkedAt = QApplication::focusWidget();
            break;
        case QEvent::FocusIn: m_parked = false; break;
        case QEvent::EnabledChange:
            if (m_parked && m_widget->isEnabled()) {
                m_parked = false;
                if (QApplication::focusWidget() == m_parkedAt.data() && m_widget->isVisible())
                    m_widget->setFocus(Qt::OtherFocusReason);
            }
            break;
        default: break;
        }
        return false;
    }

private:
    QWidget* m_widget;
    bool m_parked = false;
    QPointer<QWidget> m_parkedAt; // null when the focus went nowhere
};

} // namespace

namespace FocusReturn {

void install(QWidget* widget) { new FocusKeeper(widget); }

} // namespace FocusReturn
