#include "OpenFailureAlert.h"

#include "PathBytes.h"
#include "AlertRoom.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace OpenFailureAlert {

QMessageBox* show(QWidget* parent, const QString& title, const QString& explanation, const QString& place)
{
    auto* alert = new QMessageBox(QMessageBox::Information, title, explanation, QMessageBox::NoButton, parent);
    alert->setObjectName(utf8Text(objectName));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setTextFormat(Qt::PlainText);
    alert->setInformativeText(place);
    // A name is never markup; the place can be selected as well as copied.
    if (auto* details = alert->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        details->setTextFormat(Qt::PlainText);
        details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    QPushButton* copy = alert->addButton(QStringLiteral("Copy"), QMessageBox::ActionRole);
    copy->setAccessibleDescription(place);
    alert->addButton(QMessageBox::Close);
    alert->setDefaultButton(copy);
    giveAlertRoom(alert);
    QObject::connect(copy, &QPushButton::clicked, alert, [place] { QApplication::clipboard()->setText(place); });
    alert->open();
    return alert;
}

} // namespace OpenFailureAlert
