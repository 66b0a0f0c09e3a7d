#include "SummaryLine.h"

#include <QLabel>

SummaryLine::SummaryLine(QLabel* label, std::function<QString()> summary)
    : QObject(label), m_label(label), m_summary(std::move(summary))
{
    m_expiry.setSingleShot(true);
    m_expiry.setInterval(noteLifetimeMs);
    connect(&m_expiry, &QTimer::timeout, this, &SummaryLine::release);
}

void SummaryLine::setNote(const QString& note)
{
    m_note = note;
    m_expiry.start();
    update();
}

void SummaryLine::update()
{
    const QString summary = m_summary();
    m_label->setText(m_note.isEmpty() ? summary : summary.isEmpty() ? m_note : m_note + QStringLiteral("  ") + summary);
    if (onShown)
        onShown(m_label->text());
}

void SummaryLine::release()
{
    m_expiry.stop();
    if (m_note.isEmpty())
        return;
    m_note.clear();
    update();
}
