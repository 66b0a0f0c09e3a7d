#include "SectionScreens.h"

#include "PlaceholderViewController.h"
#include "analyzer/AnalyzerViewController.h"
#include "monitoring/CrewViewController.h"
#include "monitoring/DashboardViewController.h"
#include "monitoring/PortsViewController.h"

namespace SectionScreens {

namespace {
// Stands in for a section whose own screen is not part of the program yet.
QWidget* placeholderFor(Section section, QWidget* parent)
{
    auto* screen = new PlaceholderViewController(Sections::symbolName(section), Sections::title(section),
                                                 QStringLiteral("This section is on its way."), parent);
    screen->setObjectName(QStringLiteral("screen.") + Sections::rawValue(section));
    return screen;
}
} // namespace

const std::vector<Entry>& table()
{
    static const std::vector<Entry> entries = {
        {Section::dashboard, [](QWidget* parent) { return new DashboardViewController(parent); }},
        {Section::analyzer, [](QWidget* parent) -> QWidget* { return new AnalyzerViewController({}, parent); }},
        {Section::smartClean, [](QWidget* parent) { return placeholderFor(Section::smartClean, parent); }},
        {Section::uninstaller, [](QWidget* parent) { return placeholderFor(Section::uninstaller, parent); }},
        {Section::crew, [](QWidget* parent) { return new CrewViewController(parent); }},
        {Section::ports, [](QWidget* parent) { return new PortsViewController(parent); }},
    };
    return entries;
}

} // namespace SectionScreens
