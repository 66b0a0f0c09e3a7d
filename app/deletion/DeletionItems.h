// The records the deletion flow passes between screens, the review sheet and the trash step.
#pragma once

#include "safety/TrashOutcomes.h"
#include "shell/PathBytes.h"

#include <QString>
#include <QtGlobal>

#include <optional>
#include <string>
#include <string_view>

// An item a screen asks to remove: its absolute path, its size as the screen measured it, whether it
// is a folder, and whether the review offers it ticked (not when it may belong to something else too,
// and then note says why, in the row).
struct TrashCandidate {
    QString path;
    qint64 sizeBytes = 0;
    bool isDirectory = false;
    bool startsTicked = true;
    QString note = {};
};

// An item the user confirmed in the review sheet.
struct ConfirmedItem {
    QString path;
    qint64 sizeBytes = 0;
    bool operator==(const ConfirmedItem&) const = default;
};

// An item the trash step moved, as the Trash reported it. identity makes undo and free act on that very
// item only; releasedBytes is what deleting the batch for good gives back (sizeBytes is the screen's).
struct TrashedItem {
    QString trashPath;
    QString originalPath;
    qint64 sizeBytes = 0;
    std::optional<brisklet::TrashedIdentity> identity = std::nullopt;
    qint64 releasedBytes = 0;
    bool operator==(const TrashedItem&) const = default;
};

// "s" unless count is exactly 1.
inline QString pluralEnding(qint64 count)
{
    return count == 1 ? QString() : QStringLiteral("s");
}

// A size as the engine formats it everywhere.
QString formatBytes(qint64 bytes);

// A size that is not all this item's to give back: a file with other hard links keeps its blocks until
// the last link goes. The size, then a link mark.
QString linkedSize(qint64 bytes);
// What a list's tooltip adds for a file shown with linkedSize() because its size is counted at another
// of its hard links: that link's path when known (shown as text), else that it is another one.
QString countedElsewhereNote(const QString& countedAt = {});
