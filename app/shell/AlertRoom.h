// Room in a message box: Qt's own sets its texts and buttons close to each other and to its edges, and
// with a short question the box is barely wider than its buttons. This gives it the margins and the
// width of a desktop alert. Call once its texts and buttons are set.
#pragma once

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>

inline void giveAlertRoom(QMessageBox* box)
{
    auto* grid = qobject_cast<QGridLayout*>(box->layout());
    if (!grid)
        return;
    const int line = QFontMetrics(box->font()).height();
    grid->setContentsMargins(2 * line, qRound(1.5 * line), 2 * line, qRound(1.2 * line));
    grid->setVerticalSpacing(line * 3 / 4);
    grid->setHorizontalSpacing(line);
    // A least width of about 50 average characters, so a short question does not make a narrow box.
    grid->addItem(new QSpacerItem(50 * QFontMetrics(box->font()).averageCharWidth(), 0, QSizePolicy::Minimum,
                                  QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}
