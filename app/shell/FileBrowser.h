// The desktop's file browser, as the screens use it.
#pragma once

#include <QString>

namespace FileBrowser {

// Opens the file browser with path selected: org.freedesktop.FileManager1.ShowItems over the session
// bus, or, when no file manager answers that, the enclosing folder with its default handler.
void reveal(const QString& path);

} // namespace FileBrowser
