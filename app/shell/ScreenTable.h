// The section-screen table: which screen the section container shows for each section. The container
// builds every screen once, in section order, and keeps them for its whole life.
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
const std::vector<Entry>& table();

} // namespace SectionScreens
