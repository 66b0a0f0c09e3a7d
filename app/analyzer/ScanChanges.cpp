#include "ScanChanges.h"

#include "ChartText.h"
#include "shell/PathBytes.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

ScanChanges::ScanChanges(brisklet::ScanComparison comparison)
    : m_earlier(std::move(comparison.earlier)), m_later(std::move(comparison.later))
{
    m_byPath.reserve(comparison.changes.size());
    for (brisklet::ScanChange& change : comparison.changes) {
        if (change.path != m_later.root)
            m_largest = std::max(m_largest, std::abs(change.difference()));
        std::string path = change.path;
        m_byPath.emplace(std::move(path), std::move(change));
    }
}

const brisklet::ScanChange* ScanChanges::find(const std::string& pathBytes) const
{
    const auto found = m_byPath.find(pathBytes);
    return found == m_byPath.end() ? nullptr : &found->second;
}

const brisklet::ScanChange* ScanChanges::find(const AnalyzerTreeNode& node) const
{
    if (node.isAggregated())
        return nullptr;
    return find(pathBytes(ChartText::path(node)));
}

QString ScanChanges::text(const brisklet::ScanChange& change)
{
    if (change.isNew())
        return QStringLiteral("new");
    if (change.isGone())
        return QStringLiteral("gone");
    const std::int64_t difference = change.difference();
    if (difference == 0)
        return {};
    return (difference > 0 ? QStringLiteral("+") : QStringLiteral("-")) +
           utf8Text(brisklet::ByteFormat::humanReadable(std::abs(difference)));
}

std::int64_t ScanChanges::sortKey(const brisklet::ScanChange* change)
{
    return change ? change->difference() : 0;
}

QString ScanChanges::since(std::int64_t finishedAtMs)
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(finishedAtMs);
    const bool thisYear = when.date().year() == QDate::currentDate().year();
    return QStringLiteral("since ") + when.toString(thisYear ? QStringLiteral("d MMM, HH:mm") : QStringLiteral("d MMM yyyy, HH:mm"));
}

QString ScanChanges::scanLabel(const brisklet::StoredScan& scan)
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(scan.finishedAtMs);
    QString label = when.toString(QStringLiteral("d MMM yyyy, HH:mm")) + QStringLiteral(" \u00b7 ") +
                    utf8Text(brisklet::ByteFormat::humanReadable(scan.totals.bytes));
    if (scan.cancelled)
        label += QStringLiteral(" \u00b7 cancelled");
    else if (scan.state == brisklet::ScanState::partial)
        label += QStringLiteral(" \u00b7 partial");
    return label;
}

QColor ScanChanges::grownColor(double strength)
{
    // From a pale amber to a deep red-orange.
    const double s = std::clamp(strength, 0.0, 1.0);
    return QColor::fromHsvF(0.08 - 0.07 * s, 0.25 + 0.65 * s, 0.98 - 0.18 * s);
}

QColor ScanChanges::shrunkColor(double strength)
{
    const double s = std::clamp(strength, 0.0, 1.0);
    return QColor::fromHsvF(0.58, 0.2 + 0.6 * s, 0.97 - 0.22 * s);
}

QColor ScanChanges::unchangedColor() { return QColor(0xc8, 0xcc, 0xd2); }

std::optional<QColor> ScanChanges::color(const AnalyzerTreeNode& node) const
{
    const brisklet::ScanChange* change = find(node);
    if (!change)
        return std::nullopt;
    const std::int64_t difference = change->difference();
    if (difference == 0)
        return unchangedColor();
    // A square root, so that changes a tenth of the largest still read clearly.
    const double strength = std::sqrt(static_cast<double>(std::abs(difference)) / static_cast<double>(m_largest));
    return difference > 0 ? grownColor(strength) : shrunkColor(strength);
}
