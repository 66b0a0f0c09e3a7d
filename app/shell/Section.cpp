#include "Section.h"

#include "PathBytes.h"

namespace Sections {

namespace {
struct Row {
    Section section;
    const char* raw;
    const char* title;
    const char* symbol;
};

constexpr Row kRows[] = {
    {Section::dashboard, "dashboard", "Dashboard", "gauge"},
    {Section::analyzer, "analyzer", "Disk Analyzer", "chart.pie"},
    {Section::smartClean, "smartClean", "Smart Clean", "sparkles"},
    {Section::uninstaller, "uninstaller", "Uninstaller", "trash"},
    {Section::crew, "crew", "Processes", "list.bullet.rectangle"},
    {Section::ports, "ports", "Ports", "network"},
};

const Row& row(Section section)
{
    for (const Row& r : kRows) {
        if (r.section == section)
            return r;
    }
    return kRows[0];
}
} // namespace

const std::vector<Section>& all()
{
    static const std::vector<Section> sections = [] {
        std::vector<Section> result;
        for (const Row& r : kRows)
            result.push_back(r.section);
        return result;
    }();
    return sections;
}

QString rawValue(Section section) { return utf8Text(row(section).raw); }
QString title(Section section) { return utf8Text(row(section).title); }
QString symbolName(Section section) { return utf8Text(row(section).symbol); }

std::optional<Section> fromRawValue(const QString& raw)
{
    for (const Row& r : kRows) {
        if (raw == utf8Text(r.raw))
            return r.section;
    }
    return std::nullopt;
}

const std::vector<Group>& sidebarGroups()
{
    static const std::vector<Group> groups = {
        {QStringLiteral("Dashboard"), {Section::dashboard}},
        {QStringLiteral("Disk"), {Section::analyzer, Section::smartClean, Section::uninstaller}},
        {QStringLiteral("System"), {Section::crew}},
        {QStringLiteral("Tools"), {Section::ports}},
    };
    return groups;
}

} // namespace Sections
