#include "ProcessRows.h"

#include "shell/PathBytes.h"
#include "scan/ScanRecords.h"
#include "shell/SearchText.h"

#include "system/ProcessControl.h"

#include <algorithm>

namespace ProcessRows {

namespace {
// A process names itself (prctl, or the file name it was started from), so its name can hold line breaks
// and other control characters; shown as they are they would break the row's one line and the copied text.
QString oneLine(const std::string& text)
{
    QString line = utf8Text(text);
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QChar::ReplacementCharacter;
    return line;
}
} // namespace

SortKey sortKeyForSegment(int segment) { return segment == 1 ? SortKey::memory : SortKey::cpu; }

std::vector<ProcessRow> fromSample(const std::vector<brisklet::ProcessEntry>& sample,
                                   const std::unordered_map<std::int32_t, ProcessApplication>& applications)
{
    std::vector<ProcessRow> rows;
    rows.reserve(sample.size());
    for (const brisklet::ProcessEntry& entry : sample) {
        ProcessRow row{entry,
                       oneLine(entry.name),
                       oneLine(entry.user),
                       QString::number(entry.pid),
                       brisklet::ProcessControl::isProtected(entry.pid) || entry.kernelThread,
                       {},
                       utf8Text(entry.commandLine),
                       {}};
        row.processName = row.name;
        if (const auto found = applications.find(entry.pid); found != applications.end()) {
            row.name = oneLine(utf8String(found->second.name));
            row.icon = found->second.icon;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

QString rowKey(const ProcessRow& row)
{
    return row.pidText + QLatin1Char(':') + QString::number(row.entry.startTicks);
}

QString commandText(const ProcessRow& row) { return row.command.isEmpty() ? row.processName : row.command; }

std::vector<ProcessRow> visible(const std::vector<ProcessRow>& all, const QString& search, SortKey key)
{
    const QString text = SearchText::trimmed(search);
    std::vector<ProcessRow> kept;
    if (text.isEmpty()) {
        kept = all;
    } else {
        for (const ProcessRow& row : all)
            if (row.name.contains(text, Qt::CaseInsensitive) || row.processName.contains(text, Qt::CaseInsensitive) ||
                row.user.contains(text, Qt::CaseInsensitive) || row.pidText.contains(text))
                kept.push_back(row);
    }
    sort(kept, key);
    return kept;
}

void sort(std::vector<ProcessRow>& rows, SortKey key)
{
    // std::string compares bytes, which for UTF-8 is code-point order.
    if (key == SortKey::memory) {
        std::stable_sort(rows.begin(), rows.end(), [](const ProcessRow& a, const ProcessRow& b) {
            if (a.entry.residentBytes != b.entry.residentBytes)
                return a.entry.residentBytes > b.entry.residentBytes;
            return a.entry.name < b.entry.name;
        });
    } else {
        std::stable_sort(rows.begin(), rows.end(), [](const ProcessRow& a, const ProcessRow& b) {
            if (a.entry.cpuFraction != b.entry.cpuFraction)
                return a.entry.cpuFraction > b.entry.cpuFraction;
            return a.entry.name < b.entry.name;
        });
    }
}

QString cpuText(double cpuFraction)
{
    return QString::asprintf("%.1f%%", std::min(100.0 * cpuFraction, 999.0));
}

bool isBusy(double cpuFraction) { return cpuFraction > 0.8; }

QString detailText(const ProcessRow& row)
{
    QString text = QStringLiteral("PID ") + row.pidText + QStringLiteral(" · ") + row.user;
    if (row.isProtected)
        text += QStringLiteral(" · protected");
    return text;
}

QString summaryText(const std::vector<ProcessRow>& rows)
{
    std::int64_t resident = 0;
    for (const ProcessRow& row : rows)
        resident += row.entry.residentBytes;
    return QString::number(rows.size()) + QStringLiteral(" processes · ") +
           utf8Text(brisklet::ByteFormat::humanReadable(resident)) + QStringLiteral(" resident");
}

} // namespace ProcessRows
