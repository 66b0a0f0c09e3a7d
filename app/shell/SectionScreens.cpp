#include "SectionScreens.h"

#include "PlaceholderViewController.h"

namespace SectionScreens {

namespace {
// Stands in for a section whose own screen is not part of the program yet.
QWidget* placeholderFor(Section section)
{
    auto* screen = new PlaceholderViewController(Sections::symbolName(section), Sections::title(section),
                                                 QStringLiteral("This section is on its way."));
    screen->setObjectName(QStringLiteral("screen.") + Sections::rawValue(section));
    return screen;
}
} // namespace

const std::vector<Entry>& table()
{
    static const std::vector<Entry> entries = {
        {Section::dashboard, [] { return placeholderFor(Section::dashboard); }},
        {Section::analyzer, [] { return placeholderFor(Section::analyzer); }},
        {Section::smartClean, [] { return placeholderFor(Section::smartClean); }},
        {Section::uninstaller, [] { return placeholderFor(Section::uninstaller); }},
        {Section::crew, [] { return placeholderFor(Section::crew); }},
        {Section::ports, [] { return placeholderFor(Section::ports); }},
    };
    return entries;
}

} // namespace SectionScreens
