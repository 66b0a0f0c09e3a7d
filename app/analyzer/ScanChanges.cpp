#include "ScanChanges.h"

#include "platform/FileServices.h"
#include "shell/PathBytes.h"
#include "shell/PlainText.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

namespace {

constexpr std::size_t listedGone = 10;

// "name (2.1 GB)" a line, the largest first, then "and 4 more".
QString listOf(const std::vector<const brisklet::ScanChange*>& gone, const std::function<std::string_view(const std::string&)>& label)
{
    QStringList lines;
    for (std::size_t i = 0; i < gone.size() && i < listedGone; ++i)
        lines << visibleText(pathFromBytes(label(gone[i]->path))) + QStringLiteral(" (") +
                     utf8Text(brisklet::ByteFormat::humanReadable(*gone[i]->earlierBytes)) + QLatin1Char(')');
    if (gone.size() > listedGone)
        lines << QStringLiteral("and %1 more").arg(gone.size() - listedGone);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

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

    for (const auto& [path, change] : m_byPath) {
        if (!change.isGone() || path == m_later.root)
            continue;
        const std::string folder = brisklet::platform::parentPath(path);
        if (const brisklet::ScanChange* above = find(folder); above && above->isGone())
            continue; // goes with its folder
        m_gone.push_back(&change);
        m_goneIn[folder].push_back(&change);
        m_goneBytes += change.earlierBytes.value_or(0);
    }
    const auto largestFirst = [](const brisklet::ScanChange* a, const brisklet::ScanChange* b) {
        return std::tie(*b->earlierBytes, a->path) < std::tie(*a->earlierBytes, b->path);
    };
    std::sort(m_gone.begin(), m_gone.end(), largestFirst);
    for (auto& [folder, gone] : m_goneIn)
        std::sort(gone.begin(), gone.end(), largestFirst);
}

QString ScanChanges::goneText() const
{
    if (m_gone.empty())
        return {};
    return (m_gone.size() == 1 ? QStringLiteral("1 item gone") : QStringLiteral("%1 items gone").arg(m_gone.size())) +
           QStringLiteral(" (") + utf8Text(brisklet::ByteFormat::humanReadable(m_goneBytes)) + QLatin1Char(')');
}

QString ScanChanges::goneList() const
{
    const std::string& root = m_later.root;
    return listOf(m_gone, [&root](const std::string& path) {
        std::string_view below = path;
        below.remove_prefix(std::min(below.size(), root.size()));
        while (!below.empty() && below.front() == '/')
            below.remove_prefix(1);
        return below;
    });
}

QString ScanChanges::goneList(const AnalyzerTreeNode& folder) const
{
    if (folder.isAggregated())
        return {};
    const auto found = m_goneIn.find(folder.entry().path());
    if (found == m_goneIn.end())
        return {};
    return listOf(found->second, [](const std::string& path) {
        return std::string_view(path).substr(path.find_last_of('/') + 1);
    });
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
    return find(node.entry().path());
}

QString ScanChanges::goneToolTip() const { return toolTipOf(goneList()); }

QString ScanChanges::goneToolTip(const AnalyzerTreeNode& folder) const { return toolTipOf(goneList(folder)); }

QString ScanChanges::toolTipOf(const QString& goneList) const
{
    return goneList.isEmpty() ? QString()
                              : PlainText::toolTip(QStringLiteral("Gone ") + since(m_earlier.finishedAtMs) +
                                                   QStringLiteral(":\n") + goneList);
}

QString ScanChanges::text(const brisklet::ScanChange& change)
{
    if (change.notCompared)
        return QStringLiteral("not compared");
    if (change.earlierBelowLargeFile) // below the kept size before, or not there: the least it grew
        return QStringLiteral("+") + utf8Text(brisklet::ByteFormat::humanReadable(std::max<std::int64_t>(change.difference(), 0))) +
               QStringLiteral(" or more");
    if (change.laterBelowLargeFile) // below the kept size now, or not there: the least it shrank
        return QStringLiteral("-") + utf8Text(brisklet::ByteFormat::humanReadable(std::max<std::int64_t>(-change.difference(), 0))) +
               QStringLiteral(" or more");
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

namespace {

// "3 Dec, 14:05", the year added when it is not this year's.
QString dateOf(std::int64_t finishedAtMs)
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(finishedAtMs);
    const bool thisYear = when.date().year() == QDate::currentDate().year();
    return when.toString(thisYear ? QStringLiteral("d MMM, HH:mm") : QStringLiteral("d MMM yyyy, HH:mm"));
}

QString incompleteMark(const brisklet::StoredScan& scan)
{
    const bool incomplete = scan.cancelled || scan.state != brisklet::ScanState::complete;
    return incomplete ? QStringLiteral(" (incomplete)") : QString();
}

} // namespace

QString ScanChanges::since(std::int64_t finishedAtMs) { return QStringLiteral("since ") + dateOf(finishedAtMs); }

QString ScanChanges::since(const brisklet::StoredScan& earlier)
{
    return since(earlier.finishedAtMs) + incompleteMark(earlier);
}

QString ScanChanges::columnTitle(bool twoLines) const
{
    return QStringLiteral("Change since") + (twoLines ? QLatin1Char('\n') : QLatin1Char(' ')) + dateOf(m_earlier.finishedAtMs) +
           incompleteMark(m_earlier);
}

namespace {

QString labelOf(const brisklet::StoredScan& scan, const QString& format)
{
    QString label = QDateTime::fromMSecsSinceEpoch(scan.finishedAtMs).toString(format) + QStringLiteral(" \u00b7 ") +
                    utf8Text(brisklet::ByteFormat::humanReadable(scan.totals.bytes));
    if (scan.cancelled)
        label += QStringLiteral(" \u00b7 cancelled");
    else if (scan.state == brisklet::ScanState::partial)
        label += QStringLiteral(" \u00b7 partial");
    return label;
}

const QString labelFormats[] = {QStringLiteral("d MMM yyyy, HH:mm"), QStringLiteral("d MMM yyyy, HH:mm:ss"),
                                QStringLiteral("d MMM yyyy, HH:mm:ss.zzz")};

} // namespace

QString ScanChanges::scanLabel(const brisklet::StoredScan& scan) { return labelOf(scan, labelFormats[0]); }

QStringList ScanChanges::scanLabels(const std::vector<brisklet::StoredScan>& scans)
{
    QStringList labels;
    for (const brisklet::StoredScan& scan : scans)
        labels << scanLabel(scan);
    for (std::size_t finer = 1; finer < std::size(labelFormats); ++finer) {
        QHash<QString, int> uses;
        for (const QString& label : labels)
            ++uses[label];
        bool alike = false;
        for (qsizetype i = 0; i < labels.size(); ++i) {
            if (uses.value(labels[i]) < 2)
                continue;
            labels[i] = labelOf(scans[static_cast<std::size_t>(i)], labelFormats[finer]);
            alike = true;
        }
        if (!alike)
            break;
    }
    return labels;
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
    if (!change || change->notCompared)
        return std::nullopt;
    const std::int64_t difference = change->difference();
    if (difference == 0)
        return unchangedColor();
    // A square root, so that changes a tenth of the largest still read clearly.
    const double strength = std::sqrt(static_cast<double>(std::abs(difference)) / static_cast<double>(m_largest));
    return difference > 0 ? grownColor(strength) : shrunkColor(strength);
}
