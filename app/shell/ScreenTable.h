// The shape of the section-screen table: which screen the section container shows for each section.
// The shell only builds from a table; the program's own table, which knows the six screens, sits on the
// floor above (SectionScreens.h beside main.cpp).
#pragma once

#include "Section.h"

#include <QWidget>

#include <functional>
#include <vector>

namespace SectionScreens {

struct Entry {
    Section section;
    // Builds the screen as a child of parent (the container).
    std::function<QWidget*(QWidget* parent)> make;
};

// One row per section that has a screen, in the order of Sections::all().
using Table = std::vector<Entry>;

} // namespace SectionScreens
