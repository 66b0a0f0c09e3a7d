#include "SectionScreens.h"

#include "analyzer/AnalyzerViewController.h"
#include "cleanup/SmartCleanViewController.h"
#include "cleanup/UninstallerViewController.h"
#include "monitoring/CrewViewController.h"
#include "monitoring/DashboardViewController.h"
#include "monitoring/PortsViewController.h"

namespace SectionScreens {

const std::vector<Entry>& table()
{
    static const std::vector<Entry> entries = {
        {Section::dashboard, [](QWidget* parent) { return new DashboardViewController(parent); }},
        {Section::analyzer, [](QWidget* parent) -> QWidget* { return new AnalyzerViewController({}, parent); }},
        {Section::smartClean, [](QWidget* parent) { return new SmartCleanViewController(parent); }},
        {Section::uninstaller, [](QWidget* parent) { return new UninstallerViewController(parent); }},
        {Section::crew, [](QWidget* parent) { return new CrewViewController(parent); }},
        {Section::ports, [](QWidget* parent) { return new PortsViewController(parent); }},
    };
    return entries;
}

} // namespace SectionScreens
