// Return and Enter press the focused button, as Space does, everywhere in the program.
//
// Qt lets Return press a button only when it is a dialog's default or auto-default one, so in the main
// window Return on a focused "Clean Selected" did nothing. One application-wide filter gives every
// focused, enabled push or tool button the key; a key with a modifier other than the keypad's is left
// to shortcuts.
#pragma once

class QCoreApplication;

namespace ButtonKeys {

// Installs the filter once on the application; later calls do nothing.
void install(QCoreApplication* application);

} // namespace ButtonKeys
