// The alert shown when the desktop has nothing to open a place with (no file manager answers, no web
// browser is set): it names the place, selectable, and offers to copy it so it can be opened by hand.
// Window-modal and not waited for.
#pragma once

#include <QString>

class QMessageBox;
class QWidget;

namespace OpenFailureAlert {

inline constexpr const char* objectName = "alert.openFailed";

// title: the window's title ("No File Manager Found"); explanation: what could not be done; place: the
// path or address, shown below it and copied as plain text. Returns the shown alert, which deletes itself when closed.
QMessageBox* show(QWidget* parent, const QString& title, const QString& explanation, const QString& place);

} // namespace OpenFailureAlert
