// The six sections of the main window, in the order used wherever all of them are listed, and the
// sidebar groups that present them.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

enum class Section { dashboard, analyzer, smartClean, uninstaller, crew, ports };

namespace Sections {

// Every section in listing order.
const std::vector<Section>& all();

QString rawValue(Section section);
// Exact raw values only ("ports", never "Ports"); anything else yields no section.
std::optional<Section> fromRawValue(const QString& raw);

QString title(Section section);
QString symbolName(Section section);

struct Group {
    QString header;
    std::vector<Section> sections;
};
const std::vector<Group>& sidebarGroups();

} // namespace Sections
