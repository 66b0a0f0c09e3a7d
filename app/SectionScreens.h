// The program's section-screen table: the six screens, one per section, in section order. The
// container builds every screen once and keeps them for its whole life.
#pragma once

#include "shell/ScreenTable.h"

namespace SectionScreens {

const Table& table();

} // namespace SectionScreens
