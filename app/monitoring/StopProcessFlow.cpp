#include "StopProcessFlow.h"

#include "shell/AlertRoom.h"
#include "system/ProcessControl.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace StopProcessFlow {

namespace {
// Process names are chosen by the processes themselves: a name like "<h1>x" must show as written,
// never as markup (a message box reads its texts as rich text when they look like it).
void showPlainText(QMessageBox* box)
{
    box->setTextFormat(Qt::PlainText);
    for (QLabel* label : box->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
}

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
        alert->setInformativeText(QString::fromStdString(error.description()));
        showPlainText(alert);
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
    showPlainText(sheet);
    QPushButton* stop = sheet->addButton(QStringLiteral("Stop Process"), QMessageBox::AcceptRole);
    QPushButton* cancel = sheet->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    sheet->setDefaultButton(stop);
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
