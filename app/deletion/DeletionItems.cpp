#include "DeletionItems.h"

#include "scan/ScanRecords.h"

QString formatBytes(qint64 bytes)
{
    return utf8Text(brisklet::ByteFormat::humanReadable(bytes));
}

QString linkedSize(qint64 bytes)
{
    return formatBytes(bytes) + QStringLiteral(" \u21c4");
}

QString countedElsewhereNote(const QString& countedAt)
{
    if (countedAt.isEmpty())
        return QStringLiteral("Hard link: its size is counted at another of its links");
    return QStringLiteral("Hard link: its size is counted at %1").arg(countedAt);
}
