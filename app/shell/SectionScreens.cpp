#include "SectionScreens.h"

#include "PlaceholderViewController.h"
#include "cleanup/SmartCleanViewController.h"
#include "cleanup/UninstallerViewController.h"

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
        {Section::dashboard, [](QWidget* parent) { return placeholderFor(Section::dashboard, parent); }},
        {Section::analyzer, [](QWidget* parent) { return placeholderFor(Section::analyzer, parent); }},
        {Section::smartClean, [](QWidget* parent) { return new SmartCleanViewController(parent); }},
        {Section::uninstaller, [](QWidget* parent) { return new UninstallerViewController(parent); }},
        {Section::crew, [](QWidget* parent) { return placeholderFor(Section::crew, parent); }},
        {Section::ports, [](QWidget* parent) { return placeholderFor(Section::ports, parent); }},
    };
    return entries;
}

} // namespace SectionScreens
