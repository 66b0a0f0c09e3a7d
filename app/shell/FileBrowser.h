// The desktop's file browser, as the screens use it.
#pragma once

#include <QString>

class QWidget;

namespace FileBrowser {

// Opens the file browser with path selected: org.freedesktop.FileManager1.ShowItems over the session
// bus, or, when no file manager answers that, the enclosing folder with its default handler; when
// nothing can open it either, an alert over parent (if it still exists) shows the path to copy.
void reveal(const QString& path, QWidget* parent);

} // namespace FileBrowser
