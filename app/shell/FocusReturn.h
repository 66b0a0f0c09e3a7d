// A control that is disabled while the work it started runs (Rescan, Refresh) keeps the keyboard.
//
// Disabling the focused widget makes Qt pass the focus on, often to a far place (the sidebar when the
// rest of the screen is covered). The widget notes where the focus went; when it is enabled again it
// takes the focus back, unless the user has moved it meanwhile.
#pragma once

class QWidget;

namespace FocusReturn {

void install(QWidget* widget);

} // namespace FocusReturn
