#include "SectionScreens.h"

#include "analyzer/AnalyzerViewController.h"
#include "cleanup/SmartCleanViewController.h"
#include "cleanup/UninstallerViewController.h"
#include "monitoring/CrewViewController.h"
#include "monitoring/DashboardViewController.h"
#include "monitoring/PortsViewController.h"

namespace SectionScreens {

const Table& table()
{
    static const Table entries = {
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
