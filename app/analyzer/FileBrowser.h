// The desktop's file browser and clipboard, as the analyzer panes use them.
#pragma once

#include <QString>
#include <Qt>

class QAbstractItemView;

namespace FileBrowser {

// Opens the file browser with path selected: org.freedesktop.FileManager1.ShowItems over the session
// bus, or, when no file manager answers that, the enclosing folder with its default handler.
void reveal(const QString& path);

// The role whose text a row copies, one value per column.
inline constexpr int copyTextRole = Qt::UserRole + 100;

// Ctrl+C in view copies the selected rows as text, one line per row, columns separated by tabs.
void enableRowCopy(QAbstractItemView* view);
// The text enableRowCopy puts on the clipboard, rows in view order.
QString selectedRowsText(const QAbstractItemView* view);

} // namespace FileBrowser
