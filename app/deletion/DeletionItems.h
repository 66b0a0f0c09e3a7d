// The records the deletion flow passes between screens, the review sheet and the trash step.
#pragma once

#include "shell/PathBytes.h"

#include <QString>
#include <QtGlobal>

#include <string>
#include <string_view>

// An item a screen asks to remove: its absolute path, its size as the screen measured it, and whether it
// is a folder.
struct TrashCandidate {
    QString path;
    qint64 sizeBytes = 0;
    bool isDirectory = false;
};

// An item the user confirmed in the review sheet.
struct ConfirmedItem {
    QString path;
    qint64 sizeBytes = 0;
    bool operator==(const ConfirmedItem&) const = default;
};

// An item the trash step moved, as the Trash reported it.
struct TrashedItem {
    QString trashPath;
    QString originalPath;
    qint64 sizeBytes = 0;
    bool operator==(const TrashedItem&) const = default;
};

// "s" unless count is exactly 1.
inline QString pluralEnding(qint64 count)
{
    return count == 1 ? QString() : QStringLiteral("s");
}

// A name or path as a one-line label or a copied row shows it: a control character (a newline, a tab)
// would break the row or the line, so each shows as U+FFFD. Only for showing, never for the path itself.
QString visibleText(QString text);

// A size as the engine formats it everywhere.
QString formatBytes(qint64 bytes);
