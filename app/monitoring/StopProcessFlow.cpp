#include "StopProcessFlow.h"

#include "shell/AlertRoom.h"
#include "shell/PathBytes.h"
#include "shell/PlainText.h"
#include "system/ProcessControl.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace StopProcessFlow {

namespace {
void terminate(QWidget* screen, const Request& request, const std::function<void(const QString&)>& report)
{
    try {
        brisklet::ProcessControl::terminate(request.pid, request.startTicks);
        report(QStringLiteral("Stopped “") + request.name + QStringLiteral("” (PID ") +
               QString::number(request.pid) + QStringLiteral(")."));
    } catch (const brisklet::ProcessControl::KillError& error) {
        auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Brisklet"),
                                      QStringLiteral("Couldn't stop “") + request.name + QStringLiteral("”."),
                                      QMessageBox::Ok, screen->window());
        alert->setInformativeText(utf8Text(error.description()));
        PlainText::apply(alert);
        alert->setObjectName(QStringLiteral("stopFailedAlert"));
        alert->setAttribute(Qt::WA_DeleteOnClose);
        alert->setWindowModality(Qt::WindowModal);
        alert->open();
    }
}
} // namespace

QMessageBox* confirm(QWidget* screen, const Request& request, std::function<void(const QString&)> report,
                     std::function<void()> refresh)
{
    auto* sheet = new QMessageBox(QMessageBox::Warning, QStringLiteral("Stop Process"), request.message,
                                  QMessageBox::NoButton, screen->window());
    sheet->setObjectName(QStringLiteral("stopConfirmation"));
    sheet->setInformativeText(request.informativeText);
    PlainText::apply(sheet);
    QPushButton* stop = sheet->addButton(QStringLiteral("Stop Process"), QMessageBox::AcceptRole);
    QPushButton* cancel = sheet->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    sheet->setDefaultButton(cancel); // stopping loses the process's work: Return must not do it
    sheet->setEscapeButton(cancel);
    giveAlertRoom(sheet);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    QPointer<QWidget> guard(screen);
    QObject::connect(sheet, &QMessageBox::buttonClicked, screen, [=](QAbstractButton* clicked) {
        if (clicked != stop || !guard)
            return;
        terminate(guard, request, report);
        QTimer::singleShot(refreshDelayMilliseconds, guard, refresh);
    });
    sheet->open();
    return sheet;
}

} // namespace StopProcessFlow
